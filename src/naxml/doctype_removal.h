#pragma once
// Removing the document type declaration from a received XML file, so that no reader of the
// file (ours or the back office's) is sent after a DTD named in it.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "platform/file_env.h"

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

enum class DoctypeRemoval {
    NotPresent,  // nothing to remove
    Removed,     // the file is rewritten without it
    Refused,     // the text without it is not acceptable (it used the declaration's entities)
    Failed,      // the file could not be rewritten (*error says why)
};

// Rewrites the file without its document type declaration, every other byte unchanged (the XML
// declaration and its encoding, line ends, the rest of the document), keeping the file's
// modification time. The new text is written to a partial file beside it (synced, so a power cut
// cannot leave a file whose name survived without its bytes), handed to acceptable (when given)
// and renamed over the file only when acceptable says yes. Only the first megabyte is searched
// for the declaration. Unless Removed, the file is as it was.
DoctypeRemoval RemoveDocumentTypeDeclaration(
    const std::string& path, std::string* error,
    const std::function<bool(const std::string& rewrittenPath)>& acceptable = nullptr,
    platform::FileEnv& env = platform::DefaultFileEnv());

}  // namespace tw
