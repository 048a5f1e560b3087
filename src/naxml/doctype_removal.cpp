#include "naxml/doctype_removal.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/file_ops.h"
#include "platform/system_text.h"
#include "platform/text_file.h"

namespace tw {
namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr std::size_t kMaxPrologBytes = 1024 * 1024;

bool IsXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool StartsAt(std::string_view text, std::size_t at, std::string_view what) {
    return text.substr(at, what.size()) == what;
}

// The position after the end marker found from at, or npos.
std::size_t After(std::string_view text, std::size_t at, std::string_view marker) {
    const std::size_t found = text.find(marker, at);
    return found == std::string_view::npos ? found : found + marker.size();
}

// The end of a declaration that starts at begin ("<!DOCTYPE"), or npos when the text stops
// first.
std::size_t DoctypeEnd(std::string_view text, std::size_t begin) {
    bool inSubset = false;
    std::size_t at = begin + std::strlen("<!DOCTYPE");
    while (at < text.size()) {
        const char c = text[at];
        if (c == '"' || c == '\'') {
            const std::size_t close = text.find(c, at + 1);
            if (close == std::string_view::npos)
                return close;
            at = close + 1;
        } else if (inSubset && StartsAt(text, at, "<!--")) {
            at = After(text, at + 4, "-->");
            if (at == std::string_view::npos)
                return at;
        } else if (inSubset && StartsAt(text, at, "<?")) {
            at = After(text, at + 2, "?>");
            if (at == std::string_view::npos)
                return at;
        } else if (!inSubset && c == '[') {
            inSubset = true;
            ++at;
        } else if (inSubset && c == ']') {
            inSubset = false;
            ++at;
        } else if (!inSubset && c == '>') {
            return at + 1;
        } else {
            ++at;
        }
    }
    return std::string_view::npos;
}

}  // namespace

DoctypeSpan FindDoctype(std::string_view text) {
    DoctypeSpan span;
    std::size_t at = StartsAt(text, 0, "\xEF\xBB\xBF") ? 3 : 0;
    for (;;) {
        while (at < text.size() && IsXmlSpace(text[at])) ++at;
        if (at >= text.size()) {
            span.result = DoctypeSpan::Result::Incomplete;
            return span;
        }
        // Too short to tell what the markup is yet.
        if (text.size() - at < 9 &&
            std::string_view("<!DOCTYPE").substr(0, text.size() - at) == text.substr(at)) {
            span.result = DoctypeSpan::Result::Incomplete;
            return span;
        }
        if (StartsAt(text, at, "<!DOCTYPE")) {
            const std::size_t end = DoctypeEnd(text, at);
            if (end == std::string_view::npos) {
                span.result = DoctypeSpan::Result::Incomplete;
                return span;
            }
            span.result = DoctypeSpan::Result::Found;
            span.begin = at;
            span.end = end;
            return span;
        }
        std::size_t next = std::string_view::npos;
        if (StartsAt(text, at, "<?")) {
            next = After(text, at + 2, "?>");
        } else if (StartsAt(text, at, "<!--")) {
            next = After(text, at + 4, "-->");
        } else if (text.size() - at < 4 && std::string_view("<!--").starts_with(text.substr(at))) {
            span.result = DoctypeSpan::Result::Incomplete;
            return span;
        } else {
            return span;  // the root element (or something that is not XML): no declaration
        }
        if (next == std::string_view::npos) {
            span.result = DoctypeSpan::Result::Incomplete;
            return span;
        }
        at = next;
    }
}

DoctypeRemoval RemoveDocumentTypeDeclaration(
    const std::string& path, std::string* error,
    const std::function<bool(const std::string& rewrittenPath)>& acceptable,
    platform::FileEnv& env) {
    auto fail = [&](std::string reason) {
        if (error != nullptr)
            *error = std::move(reason);
        return DoctypeRemoval::Failed;
    };
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return fail("Cannot open " + path + ": " + platform::SystemErrorText(errno));

    std::string head;
    DoctypeSpan span;
    char buffer[kChunk];
    for (;;) {
        in.read(buffer, sizeof buffer);
        head.append(buffer, static_cast<std::size_t>(in.gcount()));
        span = FindDoctype(head);
        if (span.result != DoctypeSpan::Result::Incomplete)
            break;
        if (!in || head.size() >= kMaxPrologBytes)
            return DoctypeRemoval::NotPresent;
    }
    if (in.bad())
        return fail("Cannot read " + path + ".");
    if (span.result == DoctypeSpan::Result::None)
        return DoctypeRemoval::NotPresent;

    platform::DirEntry original;
    int statError = 0;
    const bool haveTime = platform::StatPath(path, original, &statError);

    const std::string partial = platform::PartialFilePath(path);
    int writeError = 0;
    auto file = env.NewWritableFile(partial, &writeError);
    if (!file) {
        return fail("Cannot write beside " + path + ": " + platform::SystemErrorText(writeError));
    }
    const std::string_view text(head);
    bool written = file->Append(text.substr(0, span.begin), &writeError) &&
                   file->Append(text.substr(span.end), &writeError);
    while (written && in) {
        in.read(buffer, sizeof buffer);
        written = file->Append(std::string_view(buffer, static_cast<std::size_t>(in.gcount())),
                               &writeError);
    }
    written = written && !in.bad() && file->Sync(&writeError);
    written = file->Close(written ? &writeError : nullptr) && written;
    if (written && haveTime)
        written = env.SetModificationTime(partial, original.modified, &writeError);
    if (!written) {
        env.RemoveFile(partial, nullptr);
        return fail("Cannot rewrite " + path + ": " + platform::SystemErrorText(writeError));
    }
    if (acceptable && !acceptable(partial)) {
        env.RemoveFile(partial, nullptr);
        return DoctypeRemoval::Refused;
    }
    if (!env.Rename(partial, path, &writeError)) {
        env.RemoveFile(partial, nullptr);
        return fail("Cannot replace " + path + ": " + platform::SystemErrorText(writeError));
    }
    return DoctypeRemoval::Removed;
}

}  // namespace tw
