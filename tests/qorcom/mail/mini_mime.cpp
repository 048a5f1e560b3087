#include "mini_mime.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <span>

#include "qorcom/common/base64.h"

namespace tw::qorcom::test {
namespace {

constexpr const char* kBoundary = "mini-boundary-7d1f";

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string_view Trim(std::string_view text) {
    const auto start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos)
        return {};
    return text.substr(start, text.find_last_not_of(" \t\r\n") - start + 1);
}

// Splits header block and body at the first empty line.
void SplitHead(std::string_view text, std::map<std::string, std::string>& headers,
               std::string_view& body) {
    std::string last;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            break;
        if ((line[0] == ' ' || line[0] == '\t') && !last.empty()) {
            headers[last] += " " + std::string(Trim(line));
            continue;
        }
        const auto colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        last = Lower(std::string(Trim(line.substr(0, colon))));
        headers.emplace(last, std::string(Trim(line.substr(colon + 1))));
    }
    body = text;
}

std::string Parameter(const std::string& value, const std::string& name) {
    const std::string lower = Lower(value);
    for (std::size_t at = lower.find(name + "="); at != std::string::npos;
         at = lower.find(name + "=", at + 1)) {
        if (at > 0 && std::isalnum(static_cast<unsigned char>(lower[at - 1])))
            continue;
        std::string_view rest = std::string_view(value).substr(at + name.size() + 1);
        if (!rest.empty() && rest[0] == '"') {
            rest.remove_prefix(1);
            return std::string(rest.substr(0, rest.find('"')));
        }
        return std::string(Trim(rest.substr(0, rest.find(';'))));
    }
    return {};
}

std::string Decode(const std::map<std::string, std::string>& headers, std::string_view body) {
    const auto it = headers.find("content-transfer-encoding");
    if (it != headers.end() && Lower(it->second) == "base64") {
        const auto bytes = Base64Decode(body);
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
    }
    return std::string(body);
}

std::string Value(const std::map<std::string, std::string>& headers, const std::string& key) {
    const auto it = headers.find(key);
    return it == headers.end() ? std::string() : it->second;
}

}  // namespace

MiniMessage ParseMiniMessage(std::string_view text) {
    MiniMessage message;
    std::string_view body;
    SplitHead(text, message.headers, body);
    const std::string type = Value(message.headers, "content-type");
    const std::string boundary = Parameter(type, "boundary");
    if (boundary.empty()) {
        message.body = Decode(message.headers, body);
        return message;
    }
    const std::string delimiter = "--" + boundary;
    std::size_t at = body.find(delimiter);
    while (at != std::string_view::npos) {
        at += delimiter.size();
        if (body.substr(at, 2) == "--")
            break;
        const auto next = body.find("\n" + delimiter, at);
        std::string_view part =
            body.substr(at, next == std::string_view::npos ? body.npos : next - at);
        part.remove_prefix(
            std::min(part.find('\n') + 1, part.size()));  // rest of the boundary line
        if (!part.empty() && part.back() == '\r')
            part.remove_suffix(1);
        std::map<std::string, std::string> headers;
        std::string_view content;
        SplitHead(part, headers, content);
        std::string name = Parameter(Value(headers, "content-disposition"), "filename");
        if (name.empty())
            name = Parameter(Value(headers, "content-type"), "name");
        const std::string decoded = Decode(headers, content);
        if (name.empty() && Lower(Value(headers, "content-type")).rfind("text/", 0) == 0)
            message.body += decoded;
        else
            message.attachments.push_back({name, decoded});
        at = next == std::string_view::npos ? next : next + 1;
    }
    return message;
}

std::string WriteMiniMessage(const std::vector<std::string>& headers, const std::string& body,
                             const std::vector<MiniAttachment>& attachments) {
    std::string text;
    for (const std::string& h : headers) text += h + "\r\n";
    if (attachments.empty())
        return text + "\r\n" + body;
    text += "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"" +
            std::string(kBoundary) + "\"\r\n\r\n";
    text += "--" + std::string(kBoundary) + "\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" +
            body + "\r\n";
    for (const MiniAttachment& a : attachments) {
        text += "--" + std::string(kBoundary) +
                "\r\nContent-Type: application/octet-stream\r\n"
                "Content-Transfer-Encoding: base64\r\n"
                "Content-Disposition: attachment; filename=\"" +
                a.name + "\"\r\n\r\n";
        const std::string encoded = Base64Encode(
            std::span(reinterpret_cast<const std::uint8_t*>(a.bytes.data()), a.bytes.size()));
        for (std::size_t i = 0; i < encoded.size(); i += 76) text += encoded.substr(i, 76) + "\r\n";
    }
    return text + "--" + std::string(kBoundary) + "--\r\n";
}

std::vector<std::string> SplitHeaderList(std::string_view value) {
    std::vector<std::string> items;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= value.size(); ++i) {
        if (i < value.size() && value[i] == '"')
            quoted = !quoted;
        if (i == value.size() || (value[i] == ',' && !quoted)) {
            const std::string_view item = Trim(value.substr(start, i - start));
            if (!item.empty())
                items.emplace_back(item);
            start = i + 1;
        }
    }
    return items;
}

}  // namespace tw::qorcom::test
