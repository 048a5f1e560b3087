#pragma once
// What an archive entry records about the file it was made from (internal to the zip library).

#include <cstdint>
#include <filesystem>

namespace tw::zip {

struct SourceFileInfo {
    unsigned long dosDate = 0;             // local modification time, DOS date in the high 16 bits
    unsigned long externalAttributes = 0;  // Unix mode in the high 16 bits
};

// For a regular file (links followed); false for anything else or when it cannot be examined.
// Only regular files are opened afterwards: opening a pipe could wait for ever.
bool ExamineSourceFile(const std::filesystem::path& path, SourceFileInfo& info);

// The DOS date and time (date in the high 16 bits) of a file time, in local time. DOS dates
// cover 1980 to 2107; times outside are clamped.
unsigned long DosDateOf(std::filesystem::file_time_type fileTime);

}  // namespace tw::zip
