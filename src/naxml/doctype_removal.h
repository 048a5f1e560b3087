#pragma once
// Removing the document type declaration from a received XML file, so that no reader of the
// file (ours or the back office's) is sent after a DTD named in it.

#include <cstddef>
#include <string>
#include <string_view>

namespace tw {

// Where the document type declaration of an XML text lies: [begin, end) in bytes. Found only
// in the prolog (after an optional byte-order mark, XML declaration, comments, processing
// instructions and white space, before the root element). An internal subset is skipped as a
// whole, whatever ">" its declarations, comments or literals hold.
struct DoctypeSpan {
    enum class Result {
        None,        // the prolog has no declaration
        Found,       // begin and end are set
        Incomplete,  // the text ends inside the prolog or inside the declaration
    };
    Result result = Result::None;
    std::size_t begin = 0;
    std::size_t end = 0;
};
DoctypeSpan FindDoctype(std::string_view text);

enum class DoctypeRemoval { NotPresent, Removed, Failed };

// Rewrites the file without its document type declaration, every other byte unchanged (the XML
// declaration and its encoding, line ends, the rest of the document), atomically and keeping
// the file's modification time. Only the first megabyte is searched for the declaration. On
// failure the file is unchanged and *error holds the reason.
DoctypeRemoval RemoveDocumentTypeDeclaration(const std::string& path, std::string* error);

}  // namespace tw
