#pragma once
// XML written as text, the way a POS writes its exports: one element per line,
// indented, in a stream that never holds the whole document. The simulator
// keeps its own writer so that what it produces is independent of the poller's
// XML code, which the tests compare against it.

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/text_file.h"

namespace tw::possim {

// How the bytes of a document look.
struct XmlStyle {
    bool crlf = false;    // lines end in CR LF instead of LF
    bool bom = false;     // a UTF-8 byte order mark comes first
    bool latin1 = false;  // ISO-8859-1 instead of UTF-8 (characters beyond it as references)
    // A complete document type declaration written after the XML declaration, or
    // empty.
    std::string doctype;
};

using XmlAttributes = std::initializer_list<std::pair<std::string_view, std::string_view>>;

// Escapes UTF-8 text for element content (quotes == false) or an attribute
// value in double quotes (quotes == true) and converts it to the style's
// encoding. Characters that XML 1.0 forbids and malformed UTF-8 become '?'; a
// CR is kept as a character reference so that it survives line-end
// normalisation.
void AppendEscaped(std::string& out, std::string_view text, bool quotes, bool latin1);

// Builds a document in a buffer that the caller drains to a file now and then
// (TakeBuffered), so a journal of any size streams to disk. Element names are
// written as given; they are the simulator's own constants. Not thread-safe.
class XmlTextWriter {
public:
    explicit XmlTextWriter(XmlStyle style);

    // The byte order mark, the XML declaration and the document type declaration.
    void Prolog();
    void Open(std::string_view name, XmlAttributes attributes = {});
    // Closes the innermost open element.
    void Close();
    // Closes every open element.
    void CloseAll();
    // <name>text</name> on one line.
    void Leaf(std::string_view name, std::string_view text, XmlAttributes attributes = {});
    // <name attributes/>.
    void Empty(std::string_view name, XmlAttributes attributes = {});

    std::size_t Buffered() const { return buffer_.size(); }
    // Cuts the buffer to its first size bytes (a file that ends in the middle of
    // a tag).
    void Truncate(std::size_t size);
    // Hands over what is buffered and empties the buffer.
    std::string TakeBuffered();

    int Depth() const { return static_cast<int>(open_.size()); }
    const XmlStyle& Style() const { return style_; }

private:
    void StartLine();
    void EndLine();
    void AppendAttributes(XmlAttributes attributes);

    XmlStyle style_;
    std::string buffer_;
    std::vector<std::string> open_;
};

// A document file written under a temporary name and renamed into place when
// complete, so a poller that lists the directory meanwhile never takes half a
// file. Errors are kept and reported once by Finish.
class XmlOutputFile {
public:
    explicit XmlOutputFile(std::string path) : writer_(std::move(path)) {}

    bool Open();
    // Writes what the writer buffered once it holds at least threshold bytes.
    bool Drain(XmlTextWriter& xml, std::size_t threshold = 1 << 20);
    // Writes the rest and renames the file into place.
    bool Finish(XmlTextWriter& xml);
    // The reason of the first failure ("path: system error text").
    std::string ErrorText() const;

private:
    platform::AtomicFileWriter writer_;
    bool failed_ = false;
};

}  // namespace tw::possim
