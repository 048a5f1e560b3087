#pragma once
// Reading zip archives: listing entries and extracting them into a folder.
//
// Extraction never leaves the target folder: entries whose names are absolute, carry a drive
// prefix ("C:") or a ".." component are refused, links are never created (a link entry is
// refused), and no existing link below the target folder is followed. Each file is written to
// a temporary file next to its target and renamed over it only after the entry was read to its
// end with a matching checksum, so a damaged entry never destroys a good file.
//
// Names inside archives written elsewhere may use "\" between folders; it counts as "/".

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system_text.h"

namespace tw::zip {

class BufferedArchiveReader;

// One entry of an archive's directory.
struct ZipEntryInfo {
    std::string name;  // "/" between folders (a "\" in the archive is read as "/")
    std::uint32_t versionMadeBy = 0;
    std::uint32_t versionNeeded = 0;
    std::uint32_t flags = 0;
    std::uint32_t compressionMethod = 0;
    std::uint32_t dosDate = 0;  // DOS date in the high 16 bits, DOS time in the low 16
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint32_t externalAttributes = 0;
    bool isDirectory = false;  // the DOS directory bit, a Unix folder mode or a name ending in "/"

    // The Unix file mode kept in the high 16 bits of the attributes by Unix writers, else 0.
    std::uint32_t UnixMode() const;
    bool IsSymbolicLink() const;
};

// Reads one archive at a time. Not thread-safe; one object per thread.
class CUnzipper {
public:
    CUnzipper();
    virtual ~CUnzipper();
    CUnzipper(const CUnzipper&) = delete;
    CUnzipper& operator=(const CUnzipper&) = delete;

    // UnzipTo(DefaultDir(), flatten) when open.
    virtual bool UnzipAll(bool flatten);
    // Extracts every entry into folder (created with every missing level). False when nothing
    // is open, the folder cannot be made, the archive is empty or unreadable, or an entry fails;
    // extraction stops at the first failed entry.
    virtual bool UnzipTo(const std::string& folder, bool flatten);
    // Closes first; opens the archive at path (made absolute). The default folder becomes the
    // path without its extension.
    virtual bool OpenUnzip(const std::string& path);
    // Extracts the current entry into folder (empty: the default folder). With flatten only
    // the entry's last name is used, otherwise its whole relative path (missing folders are
    // made). Folder entries are skipped with success. After a complete write the file's
    // modification time is set from the entry's DOS time (local time) and, for entries written
    // on Unix, its permission bits.
    virtual bool ExtractCurrent(const std::string& folder, bool flatten);
    // Reads the current file entry whole into content. False, with content unspecified, when
    // the entry cannot be read to its end or its size or CRC-32 differ from the directory's.
    bool ReadCurrent(std::string& content);

    void Close();
    bool IsOpen() const { return unzip_ != nullptr; }
    const std::string& DefaultDir() const { return defaultDir_; }

    // Walking the directory.
    std::uint64_t EntryCount() const;
    bool GoToFirstEntry();
    // False after the last entry or on a damaged directory (see LastError).
    bool GoToNextEntry();
    bool CurrentEntry(ZipEntryInfo& info);
    // Calls visit for every entry from the first until it returns false. True when the whole
    // directory was read without error (also when visit stopped it).
    bool VisitEntries(const std::function<bool(const ZipEntryInfo&)>& visit);

    // The minizip status of the last failed walking call (UNZ_END_OF_LIST_OF_FILE at the end).
    int LastError() const { return lastError_; }

private:
    bool ExtractTo(const ZipEntryInfo& info, const std::string& target);
    // Reads the current entry to its end, each piece to sink; false on a read error, a false
    // sink, or a size or CRC-32 that differs from info's.
    bool ReadCurrentTo(const ZipEntryInfo& info, const std::function<bool(std::string_view)>& sink);

    std::unique_ptr<BufferedArchiveReader> file_;
    void* unzip_ = nullptr;  // the minizip handle
    std::string archivePath_;
    std::string defaultDir_;
    std::vector<char> nameBuffer_;
    std::vector<char> buffer_;  // the copy buffer, allocated once per object
    int lastError_ = 0;
};

// An extractor that takes only entries with a valid DOS time at most maxAgeDays whole days
// (rounded) older than now; the others are skipped with success.
class UnZipWithDate : public CUnzipper {
public:
    explicit UnZipWithDate(const platform::Clock& clock = platform::SystemClock::Instance())
        : clock_(clock) {}
    bool ExtractCurrent(const std::string& folder, bool flatten) override;

    int maxAgeDays = 99;

private:
    const platform::Clock& clock_;
};

// The DOS date and time (high and low 16 bits) as local civil fields; false when they do not
// form a valid date and time.
bool DosDateToCivil(std::uint32_t dosDate, int& year, int& month, int& day, int& hour, int& minute,
                    int& second);

}  // namespace tw::zip
