#pragma once
// A small reader and writer of MIME messages for the MAPI test provider and the tests that
// check what it wrote: headers (unfolded), a text body, and Base64 attachments of a
// multipart/mixed message. Enough for messages the tests write themselves; not a general
// parser.

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tw::qorcom::test {

struct MiniAttachment {
    std::string name;
    std::string bytes;
};

struct MiniMessage {
    std::map<std::string, std::string> headers;  // keys lower-cased; first of each kept
    std::string body;                            // the text parts, joined
    std::vector<MiniAttachment> attachments;
    std::string Header(const std::string& lowerName) const {
        const auto it = headers.find(lowerName);
        return it == headers.end() ? std::string() : it->second;
    }
};

MiniMessage ParseMiniMessage(std::string_view text);

// headers: "Name: value" lines without line ends. Writes CR LF line ends; with attachments the
// message is multipart/mixed.
std::string WriteMiniMessage(const std::vector<std::string>& headers, const std::string& body,
                             const std::vector<MiniAttachment>& attachments);

// "a, b" header values split at commas outside double quotes, each trimmed.
std::vector<std::string> SplitHeaderList(std::string_view value);

}  // namespace tw::qorcom::test
