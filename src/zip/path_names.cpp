#include "zip/path_names.h"

#include "messages/message.h"
#include "messages/program_messages.h"
#include "platform/paths.h"
#include "zip/zipper.h"

namespace tw::zip {

bool PathLengthAllowed(std::string_view path) {
    if (path.size() <= kMaxPathBytes)
        return true;
    FormatMessageTo(errorMessages(), "Path too long (%zu bytes), %.200s...", path.size(),
                    std::string(path.substr(0, 200)).c_str());
    return false;
}

bool IsPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string_view::npos;
}

bool MakeEntryName(std::string_view relative, std::string& entryName) {
    entryName.clear();
    if (!relative.empty() && platform::IsSeparator(relative.front()))
        return false;
    if (relative.size() >= 2 && relative[1] == ':' &&
        ((relative[0] >= 'A' && relative[0] <= 'Z') ||
         (relative[0] >= 'a' && relative[0] <= 'z'))) {
        return false;
    }
    while (!relative.empty()) {
        std::size_t end = 0;
        while (end < relative.size() && !platform::IsSeparator(relative[end])) ++end;
        const std::string_view part = relative.substr(0, end);
        relative.remove_prefix(end < relative.size() ? end + 1 : end);
        if (part.empty() || part == ".")
            continue;
        if (part == "..")
            return false;
        if (!entryName.empty())
            entryName += '/';
        entryName.append(part);
    }
    return true;
}

}  // namespace tw::zip
