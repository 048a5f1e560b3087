#include <minizip/zip.h>

#include "zip/zipper.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <thread>

#include "messages/message.h"
#include "messages/program_messages.h"
#include "platform/paths.h"
#include "zip/archive_entries.h"
#include "zip/compression_queue.h"
#include "zip/entry_deflater.h"
#include "zip/path_names.h"
#include "zip/source_file.h"
#include "zip/staged_archive_file.h"
#include "zip/unzipper.h"

namespace tw::zip {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kCopyBufferBytes = 64 * 1024;
constexpr std::size_t kMaxEntryNameBytes = 0xFFFF;  // the name length field has 16 bits
constexpr unsigned long kMadeByUnix = (3u << 8) | 20u;
constexpr unsigned long kUtf8NamesFlag = 0x800;
constexpr unsigned long kDosDirectoryBit = 0x10;
constexpr unsigned kUnixDirectory = 0040000;
constexpr unsigned kMaxCompressionThreads = 4;
// minizip writes no zip64 end records for more entries than this (it stores a count of 0xFFFF
// that readers cannot resolve), so an archive is never taken past it.
constexpr std::uint64_t kMaxEntries = 0xFFFE;

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The name of a directory entry, taken from its path without parsing it into components.
std::string DirectoryEntryName(const std::filesystem::directory_entry& entry) {
    const std::string& path = entry.path().native();
    return path.substr(path.rfind('/') + 1);
}

bool IsAbsolute(std::string_view path) {
    return !path.empty() && path.front() == '/';
}

}  // namespace

std::string EntryKey(std::string_view entryName) {
    std::string key(entryName);
    MakeEntryKey(key);
    return key;
}

void MakeEntryKey(std::string& key) {
    for (char& c : key) {
        if (c == '\\') {
            c = '/';
        } else if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
}

// ---- CZipper ----

CZipper::CZipper() : deflater_(std::make_unique<EntryDeflater>()), buffer_(kCopyBufferBytes) {}

CZipper::~CZipper() {
    Close();
}

void CZipper::ResetCounters() {
    filesAdded_ = 0;
    foldersAdded_ = 0;
    bytesAdded_ = 0;
}

void CZipper::MarkArchiveFailed() {
    archiveFailed_ = true;
}

bool CZipper::HasEntry(const std::string&) const {
    return false;
}

void CZipper::EntryAdded(const std::string&, const std::string&) {}

std::string CZipper::Absolute(const std::string& path) const {
    return IsAbsolute(path) ? path : rootDir_ + path;
}

bool CZipper::OpenZip(const std::string& path, const std::optional<std::string>& root,
                      bool append) {
    return OpenZip(path, root, append ? ZipOpenMode::CreateAfter : ZipOpenMode::Create);
}

bool CZipper::OpenZip(const std::string& path, const std::optional<std::string>& root,
                      ZipOpenMode mode) {
    Close();
    filesFailed_ = 0;
    entriesWritten_ = 0;
    archiveFailed_ = false;
    if (path.empty() || !PathLengthAllowed(path))
        return false;
    std::error_code ec;
    const std::string absolute = fs::absolute(path, ec).string();
    if (ec || !PathLengthAllowed(absolute))
        return false;
    const fs::file_status status = fs::status(absolute, ec);
    if (fs::is_directory(status))
        return false;
    if (!fs::exists(status))
        mode = ZipOpenMode::Create;

    auto staged = std::make_unique<StagedArchiveFile>(absolute, mode != ZipOpenMode::Create);
    zlib_filefunc64_def functions{};
    staged->FillFunctions(functions);
    zipFile zip = zipOpen2_64(absolute.c_str(), static_cast<int>(mode), nullptr, &functions);
    if (zip == nullptr) {
        staged->Abandon();
        return false;
    }
    zip_ = zip;
    staged_ = std::move(staged);
    mode_ = mode;
    archivePath_ = absolute;
    entryCount_ = 0;
    fullReported_ = false;
    if (mode == ZipOpenMode::AddInto) {
        CUnzipper existing;
        if (existing.OpenUnzip(absolute))
            entryCount_ = existing.EntryCount();
    }
    if (!root) {
        rootDir_ = std::string(platform::DirectoryPart(absolute));
    } else {
        rootDir_ = platform::AddSeparator(*root);
    }
    ResetCounters();
    return true;
}

bool CZipper::Close() {
    rootDir_.clear();
    ResetCounters();
    if (zip_ == nullptr)
        return true;
    // An addition that wrote nothing leaves the archive as it is instead of rewriting it.
    if (mode_ == ZipOpenMode::AddInto && entriesWritten_ == 0)
        staged_->DiscardWrites();
    const int closed = zipClose(static_cast<zipFile>(zip_), nullptr);
    zip_ = nullptr;
    bool ok = closed == ZIP_OK && !archiveFailed_;
    if (ok) {
        ok = staged_->Commit();
    } else {
        staged_->Abandon();
    }
    if (!ok)
        archiveFailed_ = true;
    staged_.reset();
    return ok;
}

bool CZipper::ResolveFile(const std::string& path, bool flatten, std::string& source,
                          std::string& entryName) const {
    if (path.empty() || !PathLengthAllowed(path))
        return false;
    source = Absolute(path);
    if (!PathLengthAllowed(source))
        return false;
    if (flatten) {
        entryName = std::string(platform::FileNamePart(path));
        return IsPlainName(entryName);
    }
    std::string_view relative = path;
    if (IsAbsolute(path)) {
        if (rootDir_.empty() || path.compare(0, rootDir_.size(), rootDir_) != 0)
            return false;
        relative.remove_prefix(rootDir_.size());
    }
    return MakeEntryName(relative, entryName) && !entryName.empty();
}

bool CZipper::AddFile(const std::string& path, bool flatten) {
    std::string source, entryName;
    if (zip_ == nullptr || !ResolveFile(path, flatten, source, entryName)) {
        ++filesFailed_;
        return false;
    }
    if (HasEntry(entryName))
        return true;
    return AddFileEntry(source, entryName);
}

bool CZipper::AddFileAs(const std::string& path, const std::string& folder) {
    std::string_view folderName = folder;
    while (!folderName.empty() && platform::IsSeparator(folderName.front())) {
        folderName.remove_prefix(1);
    }
    std::string entryName;
    if (zip_ == nullptr || folderName.find(':') != std::string::npos ||
        !MakeEntryName(folderName, entryName)) {
        ++filesFailed_;
        return false;
    }
    const std::string fileName(platform::FileNamePart(path));
    if (!IsPlainName(fileName) || !PathLengthAllowed(path)) {
        ++filesFailed_;
        return false;
    }
    entryName = entryName.empty() ? fileName : entryName + "/" + fileName;
    if (HasEntry(entryName))
        return true;
    return AddFileEntry(Absolute(path), entryName);
}

bool CZipper::HasRoom() {
    if (entryCount_ < kMaxEntries)
        return true;
    if (!fullReported_) {
        FormatMessageTo(errorMessages(), "Archive %s holds the most entries it can (%llu).",
                        archivePath_.c_str(), static_cast<unsigned long long>(kMaxEntries));
        fullReported_ = true;
    }
    return false;
}

bool CZipper::OpenRawEntry(const std::string& entryName, const SourceFileInfo& source, bool zip64) {
    zip_fileinfo info{};
    info.dosDate = source.dosDate;
    info.external_fa = source.externalAttributes;
    // Entries are written raw: the data is deflated by a stream kept for many entries (see
    // EntryDeflater) instead of one that minizip would set up for each entry.
    return zipOpenNewFileInZip4_64(static_cast<zipFile>(zip_), entryName.c_str(), &info, nullptr, 0,
                                   nullptr, 0, nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 1,
                                   -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                                   kMadeByUnix, IsAscii(entryName) ? 0 : kUtf8NamesFlag,
                                   zip64 ? 1 : 0) == ZIP_OK;
}

void CZipper::EntryWritten(const std::string& entryName, const std::string& source,
                           std::uint64_t size) {
    staged_->Seal();
    ++filesAdded_;
    ++entriesWritten_;
    ++entryCount_;
    bytesAdded_ += static_cast<std::int64_t>(size);
    EntryAdded(entryName, source);
}

bool CZipper::AddFileEntry(const std::string& source, const std::string& entryName) {
    if (zip_ == nullptr || archiveFailed_ || entryName.size() > kMaxEntryNameBytes || !HasRoom()) {
        ++filesFailed_;
        return false;
    }
    const fs::path sourcePath(source);
    SourceFileInfo info;
    std::FILE* file =
        ExamineSourceFile(sourcePath, info) ? std::fopen(source.c_str(), "rb") : nullptr;
    if (file == nullptr) {
        ++filesFailed_;
        return false;
    }
    // Reads go straight into the copy buffer: no stdio buffer to allocate and size.
    std::setvbuf(file, nullptr, _IONBF, 0);
    // The first piece is read before the entry is opened, so a file that cannot be read at
    // all leaves no trace in the archive.
    std::size_t got = std::fread(buffer_.data(), 1, buffer_.size(), file);
    std::error_code ec;
    std::uintmax_t size = got;
    if (got == buffer_.size())
        size = fs::file_size(sourcePath, ec);  // may need zip64 fields
    if ((got < buffer_.size() && std::ferror(file)) || ec) {
        std::fclose(file);
        ++filesFailed_;
        return false;
    }
    if (!OpenRawEntry(entryName, info, size >= 0xFFFFFFFFu)) {
        std::fclose(file);
        ++filesFailed_;
        MarkArchiveFailed();
        return false;
    }
    zipFile zip = static_cast<zipFile>(zip_);
    const auto write = [zip](const unsigned char* data, unsigned length) {
        return zipWriteInFileInZip(zip, data, length) == ZIP_OK;
    };
    bool ok = deflater_->Reset();
    bool readFailed = false;
    while (ok) {
        const bool last = got < buffer_.size();
        if (last && std::ferror(file))
            readFailed = true;
        ok = deflater_->Compress(buffer_.data(), got, last, write);
        if (last)
            break;
        got = std::fread(buffer_.data(), 1, buffer_.size(), file);
    }
    // The entry is closed whatever happened, so minizip's state stays consistent.
    const int closed = zipCloseFileInZipRaw64(zip, deflater_->InputBytes(), deflater_->Crc());
    std::fclose(file);
    if (!ok || closed != ZIP_OK || readFailed) {
        // An entry once opened cannot be taken out again: the whole session is void, and
        // Close leaves the archive as it was.
        ++filesFailed_;
        MarkArchiveFailed();
        return false;
    }
    EntryWritten(entryName, source, deflater_->InputBytes());
    return true;
}

bool CZipper::AddCompressedEntry(const std::string& entryName, const std::string& source,
                                 const CompressedFile& result) {
    if (archiveFailed_ || entryName.size() > kMaxEntryNameBytes || !HasRoom()) {
        ++filesFailed_;
        return false;
    }
    if (!OpenRawEntry(entryName, result.info, false)) {
        ++filesFailed_;
        MarkArchiveFailed();
        return false;
    }
    zipFile zip = static_cast<zipFile>(zip_);
    const bool written =
        result.compressed.empty() ||
        zipWriteInFileInZip(zip, result.compressed.data(),
                            static_cast<unsigned>(result.compressed.size())) == ZIP_OK;
    if (zipCloseFileInZipRaw64(zip, result.size, result.crc) != ZIP_OK || !written) {
        ++filesFailed_;
        MarkArchiveFailed();
        return false;
    }
    EntryWritten(entryName, source, result.size);
    return true;
}

bool CZipper::CopyEntry(ArchiveEntries& source, std::size_t index) {
    if (zip_ == nullptr || archiveFailed_ || index >= source.Entries().size()) {
        ++filesFailed_;
        return false;
    }
    const ZipEntryInfo& entry = source.Entries()[index];
    if (HasEntry(entry.name))
        return true;
    if (entry.name.size() > kMaxEntryNameBytes || !HasRoom()) {
        ++filesFailed_;
        return false;
    }
    zip_fileinfo info{};
    info.dosDate = entry.dosDate;
    info.external_fa = entry.externalAttributes;
    const bool deflated = entry.compressionMethod == Z_DEFLATED;
    const bool zip64 = entry.uncompressedSize >= 0xFFFFFFFFu || entry.compressedSize >= 0xFFFFFFFFu;
    zipFile zip = static_cast<zipFile>(zip_);
    if (zipOpenNewFileInZip4_64(zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                static_cast<int>(entry.compressionMethod),
                                deflated ? Z_DEFAULT_COMPRESSION : 0, 1, -MAX_WBITS, DEF_MEM_LEVEL,
                                Z_DEFAULT_STRATEGY, nullptr, 0, entry.versionMadeBy,
                                entry.flags & kUtf8NamesFlag, zip64 ? 1 : 0) != ZIP_OK) {
        ++filesFailed_;
        MarkArchiveFailed();
        return false;
    }
    const bool copied = source.Read(index, [zip](const unsigned char* data, std::size_t size) {
        return zipWriteInFileInZip(zip, data, static_cast<unsigned>(size)) == ZIP_OK;
    });
    if (zipCloseFileInZipRaw64(zip, entry.uncompressedSize, entry.crc) != ZIP_OK || !copied) {
        ++filesFailed_;
        MarkArchiveFailed();
        return false;
    }
    staged_->Seal();
    ++entriesWritten_;
    ++entryCount_;
    EntryAdded(entry.name, std::string());
    return true;
}

bool CZipper::WriteFolderEntry(const std::string& entryName, const std::string& folder) {
    if (HasEntry(entryName))
        return true;
    if (archiveFailed_ || entryName.size() > kMaxEntryNameBytes || !HasRoom())
        return false;
    std::error_code ec;
    fs::file_time_type modified = fs::last_write_time(folder, ec);
    if (ec)
        modified = fs::file_time_type::clock::now();
    zip_fileinfo info{};
    info.dosDate = DosDateOf(modified);
    info.external_fa = static_cast<unsigned long>(kUnixDirectory | 0755u) << 16 | kDosDirectoryBit;
    zipFile zip = static_cast<zipFile>(zip_);
    int rc =
        zipOpenNewFileInZip4_64(zip, entryName.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, 0,
                                0, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                                kMadeByUnix, IsAscii(entryName) ? 0 : kUtf8NamesFlag, 0);
    if (rc == ZIP_OK)
        rc = zipCloseFileInZip(zip);
    if (rc != ZIP_OK) {
        MarkArchiveFailed();
        return false;
    }
    staged_->Seal();
    ++entriesWritten_;
    ++entryCount_;
    EntryAdded(entryName, std::string());
    return true;
}

bool CZipper::AddFolder(const std::string& folder, bool flatten) {
    ++foldersAdded_;
    if (zip_ == nullptr || folder.empty() || !PathLengthAllowed(folder))
        return false;
    std::string absolute = Absolute(folder);
    while (absolute.size() > 1 && absolute.back() == '/') absolute.pop_back();
    if (!PathLengthAllowed(absolute))
        return false;

    std::string entryName;
    if (flatten) {
        entryName = fs::path(absolute).stem().string();
        if (!IsPlainName(entryName))
            return false;
    } else {
        std::string_view relative = absolute;
        if (IsAbsolute(absolute)) {
            const std::string_view root = std::string_view(rootDir_).substr(
                0, rootDir_.empty() ? 0 : rootDir_.size() - 1);  // without its final "/"
            if (relative.compare(0, root.size(), root) != 0 ||
                (relative.size() > root.size() && relative[root.size()] != '/')) {
                return false;
            }
            relative.remove_prefix(root.size());
            if (!relative.empty())
                relative.remove_prefix(1);  // the "/" after the root
        }
        if (!MakeEntryName(relative, entryName))
            return false;
    }

    bool ok = true;
    // The root folder itself has no entry of its own.
    if (!entryName.empty() && !WriteFolderEntry(entryName + "/", absolute)) {
        ++filesFailed_;
        ok = false;
    }
    return AddFolderItems(absolute, flatten) && ok;
}

bool CZipper::AddFolderItems(const std::string& folder, bool flatten) {
    std::vector<std::string> files, folders;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = DirectoryEntryName(*it);
        if (name.empty() || name.front() == '.')
            continue;
        std::error_code typeError;
        if (it->is_directory(typeError)) {
            if (!it->is_symlink(typeError))
                folders.push_back(std::move(name));  // not followed
        } else {
            files.push_back(std::move(name));
        }
    }
    if (ec) {
        ++filesFailed_;
        return false;
    }
    // A fixed order makes archives of the same folder alike.
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());

    // The files: checked and named here, read and compressed by the queue's workers, written
    // in order as their results come in.
    bool ok = true;
    std::vector<std::string> sources, entryNames;
    std::string path;
    for (const std::string& name : files) {
        path.assign(folder).append("/").append(name);
        std::string source, entryName;
        if (zip_ == nullptr || !ResolveFile(path, flatten, source, entryName)) {
            ++filesFailed_;
            ok = false;
        } else if (!HasEntry(entryName)) {
            sources.push_back(std::move(source));
            entryNames.push_back(std::move(entryName));
        }
    }
    if (!sources.empty()) {
        CompressionQueue queue(
            sources, std::clamp(std::thread::hardware_concurrency(), 1u, kMaxCompressionThreads));
        for (std::size_t i = 0; i < sources.size(); ++i) {
            if (archiveFailed_) {
                // Nothing more can be written: the rest fail without waiting for them.
                filesFailed_ += static_cast<int>(sources.size() - i);
                ok = false;
                break;
            }
            const CompressionQueue::Result& result = queue.Wait(i);
            // An entry of the same name (in other case) may have been added meanwhile.
            if (!HasEntry(entryNames[i])) {
                bool added;
                if (result.tooLarge) {
                    added = AddFileEntry(sources[i], entryNames[i]);
                } else if (result.ok) {
                    added = AddCompressedEntry(entryNames[i], sources[i], result);
                } else {
                    ++filesFailed_;
                    added = false;
                }
                ok = added && ok;
            }
            queue.Release(i);
        }
    }
    for (const std::string& name : folders) {
        path.assign(folder).append("/").append(name);
        ok = AddFolder(path, flatten) && ok;
    }
    return ok;
}

// ---- ZipperWithMessage ----

ZipperWithMessage::ZipperWithMessage(Message* sink) : sink_(sink) {}

bool ZipperWithMessage::OpenZip(const std::string& path, const std::optional<std::string>& root,
                                ZipOpenMode mode) {
    if (!CZipper::OpenZip(path, root, mode))
        return false;
    zipPath_ = ArchivePath();
    return true;
}

bool ZipperWithMessage::OpenZip(const std::string& path, const std::optional<std::string>& root,
                                bool append) {
    return OpenZip(path, root, append ? ZipOpenMode::CreateAfter : ZipOpenMode::Create);
}

bool ZipperWithMessage::LoadExistingEntries(CUnzipper& reader) {
    existingEntries_.reserve(existingEntries_.size() + reader.EntryCount());
    return reader.VisitEntries([this](const ZipEntryInfo& entry) {
        existingEntries_.insert(EntryKey(entry.name));
        return true;
    });
}

void ZipperWithMessage::LoadExistingEntries(const std::vector<ZipEntryInfo>& entries) {
    existingEntries_.reserve(existingEntries_.size() + entries.size());
    for (const ZipEntryInfo& entry : entries) existingEntries_.insert(EntryKey(entry.name));
}

bool ZipperWithMessage::ContainsEntry(const std::string& entryName) const {
    if (existingEntries_.empty())
        return false;
    key_.assign(entryName);
    MakeEntryKey(key_);
    return existingEntries_.count(key_) != 0;
}

bool ZipperWithMessage::HasEntry(const std::string& entryName) const {
    return ContainsEntry(entryName);
}

void ZipperWithMessage::EntryAdded(const std::string& entryName, const std::string& sourcePath) {
    existingEntries_.insert(EntryKey(entryName));
    if (sink_ != nullptr && !sourcePath.empty()) {
        FormatMessageTo(*sink_, "Archiving %s to %s", sourcePath.c_str(), zipPath_.c_str());
    }
}

}  // namespace tw::zip
