#include <minizip/unzip.h>

#include "zip/unzipper.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <string_view>

#include "platform/ole_date.h"
#include "platform/paths.h"
#include "platform/text_file.h"
#include "zip/buffered_archive_reader.h"
#include "zip/central_directory.h"
#include "zip/path_names.h"

namespace tw::zip {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kCopyBufferBytes = 64 * 1024;
constexpr std::uint32_t kMadeByUnix = 3;
constexpr std::uint32_t kUnixTypeMask = 0170000;
constexpr std::uint32_t kUnixRegularFile = 0100000;
constexpr std::uint32_t kUnixSymbolicLink = 0120000;

unzFile Handle(void* unzip) {
    return static_cast<unzFile>(unzip);
}

// The folder below base for the entry's folder components, made where missing. An existing
// component that is a link or not a folder is refused, so extraction never leaves base.
bool MakeParents(const fs::path& base, std::string_view entryName, fs::path& folder) {
    folder = base;
    std::size_t start = 0;
    for (std::size_t slash; (slash = entryName.find('/', start)) != std::string_view::npos;
         start = slash + 1) {
        folder /= entryName.substr(start, slash - start);
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(folder, ec);
        if (fs::is_symlink(status))
            return false;
        if (fs::is_directory(status))
            continue;
        if (fs::exists(status) || !fs::create_directory(folder, ec) || ec)
            return false;
    }
    return true;
}

void SetModificationTime(const std::string& path, std::uint32_t dosDate) {
    int year, month, day, hour, minute, second;
    if (!DosDateToCivil(dosDate, year, month, day, hour, minute, second))
        return;
    std::time_t seconds;
    if (!platform::OleDate::FromCivil(year, month, day, hour, minute, second).ToFileTime(seconds)) {
        return;
    }
    const auto system = std::chrono::system_clock::from_time_t(seconds);
    std::error_code ignored;
    fs::last_write_time(path, std::chrono::file_clock::from_sys(system), ignored);
}

}  // namespace

bool DosDateToCivil(std::uint32_t dosDate, int& year, int& month, int& day, int& hour, int& minute,
                    int& second) {
    const std::uint32_t date = dosDate >> 16;
    const std::uint32_t time = dosDate & 0xFFFF;
    year = static_cast<int>((date >> 9) & 0x7F) + 1980;
    month = static_cast<int>((date >> 5) & 0x0F);
    day = static_cast<int>(date & 0x1F);
    hour = static_cast<int>(time >> 11);
    minute = static_cast<int>((time >> 5) & 0x3F);
    second = static_cast<int>(time & 0x1F) * 2;
    return platform::OleDate::FromCivil(year, month, day, hour, minute, second).IsValid();
}

std::uint32_t ZipEntryInfo::UnixMode() const {
    return (versionMadeBy >> 8) == kMadeByUnix ? externalAttributes >> 16 : 0;
}

bool ZipEntryInfo::IsSymbolicLink() const {
    return (UnixMode() & kUnixTypeMask) == kUnixSymbolicLink;
}

// ---- CUnzipper ----

CUnzipper::CUnzipper()
    : file_(std::make_unique<BufferedArchiveReader>()),
      nameBuffer_(512),
      buffer_(kCopyBufferBytes) {}

CUnzipper::~CUnzipper() {
    Close();
}

void CUnzipper::Close() {
    if (unzip_ != nullptr)
        unzClose(Handle(unzip_));
    unzip_ = nullptr;
    archivePath_.clear();
    defaultDir_.clear();
}

bool CUnzipper::OpenUnzip(const std::string& path) {
    Close();
    if (path.empty() || !PathLengthAllowed(path))
        return false;
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    if (ec || fs::is_directory(absolute, ec))
        return false;
    zlib_filefunc64_def functions{};
    file_->FillFunctions(functions);
    unzip_ = unzOpen2_64(absolute.c_str(), &functions);
    if (unzip_ == nullptr)
        return false;
    archivePath_ = absolute.string();
    defaultDir_ = fs::path(absolute).replace_extension().string();
    return true;
}

std::uint64_t CUnzipper::EntryCount() const {
    if (unzip_ == nullptr)
        return 0;
    unz_global_info64 info{};
    if (unzGetGlobalInfo64(Handle(unzip_), &info) != UNZ_OK)
        return 0;
    return info.number_entry;
}

bool CUnzipper::GoToFirstEntry() {
    if (unzip_ == nullptr)
        return false;
    lastError_ = unzGoToFirstFile(Handle(unzip_));
    return lastError_ == UNZ_OK;
}

bool CUnzipper::GoToNextEntry() {
    if (unzip_ == nullptr)
        return false;
    lastError_ = unzGoToNextFile(Handle(unzip_));
    return lastError_ == UNZ_OK;
}

bool CUnzipper::CurrentEntry(ZipEntryInfo& info) {
    if (unzip_ == nullptr)
        return false;
    unz_file_info64 raw{};
    int rc = unzGetCurrentFileInfo64(Handle(unzip_), &raw, nameBuffer_.data(), nameBuffer_.size(),
                                     nullptr, 0, nullptr, 0);
    if (rc == UNZ_OK && raw.size_filename > nameBuffer_.size()) {
        nameBuffer_.resize(raw.size_filename);
        rc = unzGetCurrentFileInfo64(Handle(unzip_), &raw, nameBuffer_.data(), nameBuffer_.size(),
                                     nullptr, 0, nullptr, 0);
    }
    if (rc != UNZ_OK) {
        lastError_ = rc;
        return false;
    }
    info.name.assign(nameBuffer_.data(), raw.size_filename);
    info.versionMadeBy = static_cast<std::uint32_t>(raw.version);
    info.versionNeeded = static_cast<std::uint32_t>(raw.version_needed);
    info.flags = static_cast<std::uint32_t>(raw.flag);
    info.compressionMethod = static_cast<std::uint32_t>(raw.compression_method);
    info.dosDate = static_cast<std::uint32_t>(raw.dosDate);
    info.crc = static_cast<std::uint32_t>(raw.crc);
    info.compressedSize = raw.compressed_size;
    info.uncompressedSize = raw.uncompressed_size;
    info.externalAttributes = static_cast<std::uint32_t>(raw.external_fa);
    ClassifyEntry(info);
    return true;
}

bool CUnzipper::VisitEntries(const std::function<bool(const ZipEntryInfo&)>& visit) {
    if (unzip_ == nullptr)
        return false;
    if (EntryCount() == 0)
        return true;
    if (WalkCentralDirectory(archivePath_, visit))
        return true;
    ZipEntryInfo info;
    for (bool more = GoToFirstEntry(); more; more = GoToNextEntry()) {
        if (!CurrentEntry(info))
            return false;
        if (!visit(info))
            return true;
    }
    return lastError_ == UNZ_END_OF_LIST_OF_FILE;
}

bool CUnzipper::UnzipAll(bool flatten) {
    if (unzip_ == nullptr)
        return false;
    return UnzipTo(defaultDir_, flatten);
}

bool CUnzipper::UnzipTo(const std::string& folder, bool flatten) {
    if (unzip_ == nullptr || folder.empty() || !PathLengthAllowed(folder))
        return false;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec))
        return false;
    if (EntryCount() == 0 || !GoToFirstEntry())
        return false;
    do {
        if (!ExtractCurrent(folder, flatten))
            return false;
    } while (GoToNextEntry());
    return lastError_ == UNZ_END_OF_LIST_OF_FILE;
}

bool CUnzipper::ExtractCurrent(const std::string& folder, bool flatten) {
    if (unzip_ == nullptr)
        return false;
    const std::string& base = folder.empty() ? defaultDir_ : folder;
    if (!PathLengthAllowed(base))
        return false;
    std::error_code ec;
    fs::create_directories(base, ec);
    if (!fs::is_directory(base, ec))
        return false;

    ZipEntryInfo info;
    if (!CurrentEntry(info))
        return false;
    if (info.isDirectory)
        return true;
    // Links are never made; names that lead out of the folder are refused.
    std::string relative;
    if (info.IsSymbolicLink() || info.name.find('\0') != std::string::npos ||
        !MakeEntryName(info.name, relative) || relative.empty()) {
        return false;
    }
    fs::path target;
    if (flatten) {
        target = fs::path(base) / std::string(platform::FileNamePart(relative));
    } else {
        fs::path parent;
        if (!MakeParents(base, relative, parent))
            return false;
        target = parent / std::string(platform::FileNamePart(relative));
    }
    if (!PathLengthAllowed(target.native()))
        return false;
    return ExtractTo(info, target.string());
}

bool CUnzipper::ReadCurrentTo(const ZipEntryInfo& info,
                              const std::function<bool(std::string_view)>& sink) {
    if (unzOpenCurrentFile(Handle(unzip_)) != UNZ_OK)
        return false;
    bool ok = true;
    std::uint64_t total = 0;
    while (ok) {
        const int got = unzReadCurrentFile(Handle(unzip_), buffer_.data(),
                                           static_cast<unsigned>(buffer_.size()));
        if (got < 0)
            ok = false;
        if (got <= 0)
            break;
        ok = sink(std::string_view(buffer_.data(), static_cast<std::size_t>(got)));
        total += static_cast<std::uint64_t>(got);
    }
    // minizip checks the CRC-32 when the entry is closed after its last byte.
    const int closed = unzCloseCurrentFile(Handle(unzip_));
    return ok && closed == UNZ_OK && total == info.uncompressedSize;
}

bool CUnzipper::ReadCurrent(std::string& content) {
    content.clear();
    ZipEntryInfo info;
    if (unzip_ == nullptr || !CurrentEntry(info))
        return false;
    return ReadCurrentTo(info, [&](std::string_view piece) {
        content.append(piece);
        return true;
    });
}

bool CUnzipper::ExtractTo(const ZipEntryInfo& info, const std::string& target) {
    // The target is replaced only by a complete entry whose checksum matched.
    platform::AtomicFileWriter writer(target);
    bool ok = writer.Open() &&
              ReadCurrentTo(info, [&](std::string_view piece) { return writer.Write(piece); }) &&
              writer.Commit();
    if (!ok) {
        writer.Abandon();
        return false;
    }
    SetModificationTime(target, info.dosDate);
    const std::uint32_t mode = info.UnixMode();
    if ((mode & kUnixTypeMask) == kUnixRegularFile) {
        std::error_code ignored;
        fs::permissions(target, static_cast<fs::perms>(mode & 0777), ignored);
    }
    return true;
}

// ---- UnZipWithDate ----

bool UnZipWithDate::ExtractCurrent(const std::string& folder, bool flatten) {
    ZipEntryInfo info;
    if (!CurrentEntry(info))
        return false;
    int year, month, day, hour, minute, second;
    if (!DosDateToCivil(info.dosDate, year, month, day, hour, minute, second))
        return true;
    const auto written = platform::OleDate::FromCivil(year, month, day, hour, minute, second);
    const auto now = platform::OleDate::FromFileTime(clock_.Now());
    if (std::round(now.DaysSince(written)) > maxAgeDays)
        return true;
    return CUnzipper::ExtractCurrent(folder, flatten);
}

}  // namespace tw::zip
