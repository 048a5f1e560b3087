#pragma once
// Reading the entries of an existing archive whole, to prove what it holds.
//
// An archive's directory can be intact while the data of an entry is not; only reading the
// entry to its end shows it. An entry is intact when it is stored or deflated, not encrypted,
// and its data gives exactly the size and CRC-32 that the directory records for it. The stored
// (compressed) bytes of an intact entry can be handed on as they are, so that CZipper::CopyEntry
// copies the entry into another archive without compressing it again.
//
// The directory is read by the fast walk of central_directory.h; an archive whose directory
// that walk does not fully understand does not open here.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zip/unzipper.h"

namespace tw::zip {

// Reads one archive at a time. Not thread-safe; one object per thread.
class ArchiveEntries {
public:
    ArchiveEntries();
    ~ArchiveEntries();
    ArchiveEntries(const ArchiveEntries&) = delete;
    ArchiveEntries& operator=(const ArchiveEntries&) = delete;

    // Closes first; opens the archive at path and reads its whole directory. False, with no
    // entries, when the file cannot be read or its directory cannot be read to its end.
    bool Open(const std::string& path);
    void Close();

    // The directory, in its order.
    const std::vector<ZipEntryInfo>& Entries() const { return entries_; }

    // Called with each piece of an entry's stored data, in order; false stops the reading.
    using StoredDataSink = std::function<bool(const unsigned char* data, std::size_t size)>;

    // Reads entry index to its end: true when it is intact. With a sink, every piece of stored
    // data goes to it as well; a damaged entry may have handed some pieces on before the read
    // fails, so a sink that must not take part of an entry reads only entries found intact.
    bool Read(std::size_t index, const StoredDataSink& sink = nullptr);

private:
    class Source;
    class Inflater;

    std::unique_ptr<Source> source_;
    std::unique_ptr<Inflater> inflater_;
    std::vector<ZipEntryInfo> entries_;
    std::vector<std::uint64_t> localHeaders_;  // where each entry's local header begins
};

// The CRC-32 an archive entry made from these bytes records.
std::uint32_t Crc32Of(std::string_view bytes);

// The size and CRC-32 of files' content, as an archive entry made from the file records them.
// Keeps one read buffer for every file it is given. Not thread-safe.
class ContentChecksum {
public:
    ContentChecksum();
    // False when path (links followed) is not a regular file or cannot be read to its end.
    bool Of(const std::string& path, std::uint64_t& size, std::uint32_t& crc);

private:
    std::vector<char> buffer_;
};

}  // namespace tw::zip
