#pragma once
// Checks on paths and entry names shared by the zipper and the unzipper (internal to the zip
// library).

#include <string>
#include <string_view>

namespace tw::zip {

// False, with a report to errorMessages(), for a path longer than kMaxPathBytes: such a path
// is refused rather than cut.
bool PathLengthAllowed(std::string_view path);

// A single name that can stand for a file: not empty, not "." or "..", no "/" or "\".
bool IsPlainName(std::string_view name);

// An entry name from a relative path: "/" and "\" separate folders, empty and "." components
// are dropped, the rest joined by "/". False for a ".." component, a drive prefix ("C:") or
// a path that begins with a separator. An empty result is allowed (the path named nothing).
bool MakeEntryName(std::string_view relative, std::string& entryName);

}  // namespace tw::zip
