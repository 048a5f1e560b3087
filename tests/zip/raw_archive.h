#pragma once
// Archives written directly through minizip, with names, times and attributes the zippers
// would never produce (for testing the readers against hostile or foreign archives).

#include <cstdint>
#include <string>
#include <vector>

namespace tw::test {

struct RawEntry {
    std::string name;
    std::string data;
    std::uint32_t dosDate = (44u << 9 | 1u << 5 | 1u) << 16;  // 2024-01-01 00:00
    std::uint32_t externalAttributes = 0;
    std::uint32_t versionMadeBy = 20;  // MS-DOS
    bool stored = false;               // not deflated
    std::string comment = {};          // the entry's comment in the directory
};

// Writes the entries, deflated, to a new archive at path, with the archive comment given;
// false when minizip fails.
bool WriteRawArchive(const std::string& path, const std::vector<RawEntry>& entries,
                     const std::string& archiveComment = {});

// The archive (without a comment) with zip64 end records in front of its end record, whose
// counts then point to them.
std::string WithZip64End(const std::string& archive);

// The DOS date and time of local civil fields.
std::uint32_t DosDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

}  // namespace tw::test
