#include "naxml/maintenance/root_tag.h"

#include <cerrno>

#include "naxml/maintenance/maintenance_document.h"
#include "platform/text_file.h"

namespace tw::naxml {
namespace {

constexpr int kPiecesExamined = 5;
constexpr std::string_view kDefaultVersion = "3.3";

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || IsLineEnd(c);
}

// Appends text, each line end (CR LF, CR or LF) replaced by replacement.
void AppendReplacingLineEnds(std::string& out, std::string_view text,
                             std::string_view replacement) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!IsLineEnd(text[i])) {
            out.push_back(text[i]);
            continue;
        }
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        out.append(replacement);
    }
}

struct RootStartTag {
    std::string_view text;  // as in the file
    std::size_t end;        // offset just after its '>'
};

std::optional<RootStartTag> FindRootStartTag(std::string_view bytes) {
    std::size_t pos = 0;
    for (int piece = 0; piece < kPiecesExamined && pos < bytes.size(); ++piece) {
        const std::size_t close = bytes.find('>', pos);
        const std::size_t end = close == std::string_view::npos ? bytes.size() : close + 1;
        std::string text;
        for (std::size_t i = pos; i < end; ++i) {
            if (!IsLineEnd(bytes[i]))
                text.push_back(bytes[i]);
        }
        if (text.starts_with("<NAXML-MaintenanceRequest")) {
            const std::size_t begin = bytes.find('<', pos);
            return RootStartTag{bytes.substr(begin, end - begin), end};
        }
        pos = end;
    }
    return std::nullopt;
}

// The value of the version attribute of a start tag, when it is a plain one.
std::optional<std::string_view> VersionOf(std::string_view tag) {
    std::size_t i = 1;
    while (i < tag.size() && !IsBlank(tag[i]) && tag[i] != '>' && tag[i] != '/') ++i;
    while (i < tag.size()) {
        while (i < tag.size() && IsBlank(tag[i])) ++i;
        const std::size_t nameStart = i;
        while (i < tag.size() && !IsBlank(tag[i]) && tag[i] != '=' && tag[i] != '>' &&
               tag[i] != '/') {
            ++i;
        }
        const std::string_view name = tag.substr(nameStart, i - nameStart);
        while (i < tag.size() && IsBlank(tag[i])) ++i;
        if (name.empty() || i >= tag.size() || tag[i] != '=')
            return std::nullopt;
        ++i;
        while (i < tag.size() && IsBlank(tag[i])) ++i;
        if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\''))
            return std::nullopt;
        const std::size_t close = tag.find(tag[i], i + 1);
        if (close == std::string_view::npos)
            return std::nullopt;
        const std::string_view value = tag.substr(i + 1, close - i - 1);
        i = close + 1;
        if (name == "version") {
            if (value.empty() || value.find_first_of("\"<&") != std::string_view::npos) {
                return std::nullopt;
            }
            return value;
        }
    }
    return std::nullopt;
}

std::string NewStartTag(std::string_view oldTag, bool namespaced) {
    const std::string_view version = VersionOf(oldTag).value_or(kDefaultVersion);
    std::string tag = "<";
    tag += kMaintenanceRootElement;
    if (namespaced) {
        tag += " xmlns=\"";
        tag += kNaxmlNamespace;
        tag += "\" xmlns:xsi=\"";
        tag += kSchemaInstanceNamespace;
        tag += "\" xsi:schemaLocation=\"";
        tag += kNaxmlNamespace;
        tag += ' ';
        tag += kMaintenanceSchemaFile;
        tag += '"';
    }
    tag += " version=\"";
    tag += version;
    tag += '"';
    // An empty root keeps its form.
    std::size_t last = oldTag.size() - 1;
    while (last > 0 && IsBlank(oldTag[last - 1])) --last;
    tag += last > 0 && oldTag[last - 1] == '/' ? "/>" : ">";
    return tag;
}

// The end of the markup that starts at rest[i] == '<': just after its terminator, or the end.
std::size_t MarkupEnd(std::string_view rest, std::size_t i, std::string_view& terminator) {
    const std::string_view from = rest.substr(i);
    terminator = ">";
    if (from.starts_with("<!--")) {
        terminator = "-->";
    } else if (from.starts_with("<![CDATA[")) {
        terminator = "]]>";
    } else if (from.starts_with("<?")) {
        terminator = "?>";
    } else {
        // A tag: a '>' inside a quoted attribute value does not end it.
        char quote = 0;
        for (std::size_t k = i + 1; k < rest.size(); ++k) {
            if (quote != 0) {
                if (rest[k] == quote)
                    quote = 0;
            } else if (rest[k] == '"' || rest[k] == '\'') {
                quote = rest[k];
            } else if (rest[k] == '>') {
                return k + 1;
            }
        }
        return rest.size();
    }
    const std::size_t found = rest.find(terminator, i + 1);
    return found == std::string_view::npos ? rest.size() : found + terminator.size();
}

// The content after the root start tag on one line, with the same meaning.
std::string OnOneLine(std::string_view rest) {
    std::string out;
    out.reserve(rest.size());
    std::size_t i = 0;
    while (i < rest.size()) {
        if (rest[i] == '<') {
            std::string_view terminator;
            const std::size_t end = MarkupEnd(rest, i, terminator);
            const std::string_view markup = rest.substr(i, end - i);
            // Parsers read a line end inside a tag (also inside an attribute value) as a blank.
            AppendReplacingLineEnds(out, markup, terminator == "]]>" ? "]]>&#10;<![CDATA[" : " ");
            i = end;
            continue;
        }
        std::size_t next = rest.find('<', i);
        if (next == std::string_view::npos)
            next = rest.size();
        const std::string_view text = rest.substr(i, next - i);
        bool blank = true;
        for (char c : text) blank = blank && IsBlank(c);
        AppendReplacingLineEnds(out, text, blank ? "" : "&#10;");
        i = next;
    }
    return out;
}

bool Rewrite(const std::string& path, bool namespaced) {
    const std::optional<std::string> bytes = platform::ReadFile(path);
    if (!bytes)
        return false;
    const std::optional<std::string> rewritten = WithRootStartTag(*bytes, namespaced);
    return rewritten && platform::WriteFileAtomically(path, *rewritten);
}

}  // namespace

std::optional<std::string> WithRootStartTag(std::string_view bytes, bool namespaced) {
    const std::optional<RootStartTag> root = FindRootStartTag(bytes);
    if (!root)
        return std::nullopt;
    return NewStartTag(root->text, namespaced) + OnOneLine(bytes.substr(root->end));
}

bool SetPlainRoot(const std::string& path) {
    return Rewrite(path, false);
}

bool SetNamespacedRoot(const std::string& path) {
    return Rewrite(path, true);
}

}  // namespace tw::naxml
