#include "zip/source_file.h"

#include <chrono>
#include <ctime>

#include "platform/ole_date.h"

namespace tw::zip {

namespace fs = std::filesystem;

namespace {
constexpr unsigned kUnixRegularFile = 0100000;
}

unsigned long DosDateOf(fs::file_time_type fileTime) {
    const auto system = std::chrono::file_clock::to_sys(fileTime);
    const std::time_t seconds = std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(system));
    platform::CivilTime civil;
    if (!platform::OleDate::FromFileTime(seconds).ToCivil(civil) || civil.year < 1980) {
        return (1ul << 5 | 1ul) << 16;  // 1980-01-01 00:00
    }
    if (civil.year > 2107) {
        return (127ul << 9 | 12ul << 5 | 31ul) << 16 | (23ul << 11 | 59ul << 5 | 29ul);
    }
    const auto date =
        static_cast<unsigned long>((civil.year - 1980) << 9 | civil.month << 5 | civil.day);
    const auto time =
        static_cast<unsigned long>(civil.hour << 11 | civil.minute << 5 | civil.second / 2);
    return date << 16 | time;
}

bool ExamineSourceFile(const fs::path& path, SourceFileInfo& info) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::is_regular_file(status))
        return false;
    const fs::file_time_type modified = fs::last_write_time(path, ec);
    if (ec)
        return false;
    info.dosDate = DosDateOf(modified);
    const unsigned mode = kUnixRegularFile | (static_cast<unsigned>(status.permissions()) & 07777);
    info.externalAttributes = static_cast<unsigned long>(mode) << 16;
    return true;
}

}  // namespace tw::zip
