#pragma once
// Writing zip archives from files and folders.
//
// An archive is never changed in place: every session writes a temporary file in the archive's
// folder (for an addition, a copy of the original followed by the new entries) and renames it
// over the archive only after the archive was closed without error. A crash, a full disk or a
// failed entry therefore leaves the archive exactly as it was before the session.
//
// Entry names use "/" between folders; a folder entry's name ends in "/". Each file entry is
// deflated at the default level and carries the file's local modification time (DOS format)
// and its Unix attributes. An archive takes at most 65,534 entries (minizip cannot record more
// in a way readers understand); further entries are refused with a message to errorMessages().

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tw {
class Message;
}

namespace tw::zip {

class ArchiveEntries;
class CUnzipper;
struct ZipEntryInfo;
class EntryDeflater;
class StagedArchiveFile;
struct CompressedFile;
struct SourceFileInfo;

// How OpenZip treats an existing archive file. When the file does not exist, every mode
// creates a new archive.
enum class ZipOpenMode {
    Create = 0,       // a new archive replaces the file
    CreateAfter = 1,  // a new archive written behind the file's existing bytes
    AddInto = 2,      // entries added to the existing archive
};

// Longest path, in bytes, accepted for a file or folder; longer ones are refused with a message
// to errorMessages() instead of being cut.
inline constexpr std::size_t kMaxPathBytes = 4095;

// Writes one archive at a time. Not thread-safe: one object belongs to one thread (AddFolder
// runs worker threads of its own and joins them before it returns). Subclasses change which
// entries are skipped and what follows an addition through HasEntry and EntryAdded.
class CZipper {
public:
    CZipper();
    // Closes an open archive (see Close).
    virtual ~CZipper();
    CZipper(const CZipper&) = delete;
    CZipper& operator=(const CZipper&) = delete;

    // Adds a file under folder (names relative to nothing): the entry is folder + "/" + the
    // file's name, without a leading "/". Fails for a folder containing ':' or a ".." component.
    virtual bool AddFileAs(const std::string& path, const std::string& folder);

    // Adds one file. path is absolute, or relative to the root folder. The entry name is the
    // file's name alone when flatten is set, otherwise its path relative to the root folder (an
    // absolute path outside the root fails). A name with a ".." component fails.
    // False when the archive is not open, the file cannot be read or the archive cannot be
    // written; see ArchiveFailed for which.
    virtual bool AddFile(const std::string& path, bool flatten);

    // Adds a folder entry for folder and then everything in it whose name does not begin with
    // '.': its files (by name), then its subfolders through AddFolder (links to folders are
    // not followed). Files are named and checked as AddFile does, with the same hooks, but
    // several are read and compressed at once on worker threads while the entries are
    // written in order. With flatten the folder entry is the folder's last component (less
    // any extension) and files go in under their bare names; otherwise names are relative to
    // the root folder and a folder outside the root fails. False when any part failed; the
    // parts that succeeded stay in the archive.
    virtual bool AddFolder(const std::string& folder, bool flatten);

    // Copies entry index of source as it is stored there: the same name, time, attributes,
    // compression and CRC-32, the data not compressed again. An entry whose name the archive
    // holds is skipped as AddFile skips it. Copy only entries that source found intact: the
    // data is checked again while it is copied, and a damaged entry, once begun, fails the
    // whole session (ArchiveFailed).
    bool CopyEntry(ArchiveEntries& source, std::size_t index);

    // Closes any open archive, then opens path (made absolute) in mode; a mode other than
    // Create falls back to Create when the file does not exist. Entry names are made relative
    // to root: nullopt means the archive's own folder, an empty string means no root.
    virtual bool OpenZip(const std::string& path, const std::optional<std::string>& root,
                         ZipOpenMode mode);
    // The same with a yes/no append flag: append means CreateAfter.
    virtual bool OpenZip(const std::string& path, const std::optional<std::string>& root,
                         bool append);

    // Finishes the archive and puts it in place; clears the root and the counters. True when
    // the archive file now holds everything added in the session. After a failed entry or a
    // failed close the file is left as it was before the session. True when nothing is open.
    bool Close();

    bool IsOpen() const { return zip_ != nullptr; }
    const std::string& RootDir() const { return rootDir_; }
    const std::string& ArchivePath() const { return archivePath_; }

    // Counters since the last open.
    int FilesAdded() const { return filesAdded_; }
    int FoldersAdded() const { return foldersAdded_; }
    std::int64_t BytesAdded() const { return bytesAdded_; }
    // Files (and folder entries) that could not be added, for whatever reason.
    int FilesFailed() const { return filesFailed_; }
    // Entries written since the last open, copies and folder entries included (kept after
    // Close). A session that wrote none leaves the archive file as it was.
    int EntriesWritten() const { return entriesWritten_; }
    // True once the archive itself could not be written (as opposed to a source file that
    // could not be read): nothing more can be added and Close leaves the file as it was.
    bool ArchiveFailed() const { return archiveFailed_; }

protected:
    // Whether the archive already holds an entry of this name; such entries are skipped and
    // count as added successfully. The base class knows of no entries.
    virtual bool HasEntry(const std::string& entryName) const;
    // Called after an entry was written; sourcePath is empty for a folder entry.
    virtual void EntryAdded(const std::string& entryName, const std::string& sourcePath);

private:
    // The file to read and the entry name for AddFile's arguments; false when the path cannot
    // be added.
    bool ResolveFile(const std::string& path, bool flatten, std::string& source,
                     std::string& entryName) const;
    // Reads, compresses and writes one file entry (the HasEntry check is the caller's).
    bool AddFileEntry(const std::string& source, const std::string& entryName);
    // Writes an entry compressed elsewhere.
    bool AddCompressedEntry(const std::string& entryName, const std::string& source,
                            const CompressedFile& result);
    bool OpenRawEntry(const std::string& entryName, const SourceFileInfo& source, bool zip64);
    void EntryWritten(const std::string& entryName, const std::string& source, std::uint64_t size);
    bool WriteFolderEntry(const std::string& entryName, const std::string& folder);
    // Whether one more entry fits; reports the first refusal of a session.
    bool HasRoom();
    bool AddFolderItems(const std::string& folder, bool flatten);
    std::string Absolute(const std::string& path) const;
    void MarkArchiveFailed();
    void ResetCounters();

    void* zip_ = nullptr;  // the minizip handle
    std::unique_ptr<StagedArchiveFile> staged_;
    std::unique_ptr<EntryDeflater> deflater_;
    ZipOpenMode mode_ = ZipOpenMode::Create;
    std::string archivePath_;
    std::string rootDir_;
    int filesAdded_ = 0;
    int foldersAdded_ = 0;
    std::int64_t bytesAdded_ = 0;
    int filesFailed_ = 0;
    int entriesWritten_ = 0;
    std::uint64_t entryCount_ = 0;  // entries in the archive, old and new
    bool fullReported_ = false;
    bool archiveFailed_ = false;
    std::vector<char> buffer_;  // the copy buffer, allocated once per object
};

// A zipper that skips entries the archive already holds (or that it added itself), which then
// count as successes, and reports each file it adds as "Archiving %s to %s" (file, archive)
// to its sink.
class ZipperWithMessage : public CZipper {
public:
    // sink may be null (no reports); it is not owned and must outlive the object.
    explicit ZipperWithMessage(Message* sink);

    // As the base, and ZipPath() becomes the absolute archive path.
    bool OpenZip(const std::string& path, const std::optional<std::string>& root,
                 ZipOpenMode mode) override;
    bool OpenZip(const std::string& path, const std::optional<std::string>& root,
                 bool append) override;

    // Loads the names of every entry of the archive open in reader (once, before opening the
    // same archive for adding). False when the archive's directory cannot be read to its end;
    // the names read so far are kept. Entries added later are remembered too. The names stay
    // with the object: use one object per archive.
    bool LoadExistingEntries(CUnzipper& reader);
    // The same from a directory already read.
    void LoadExistingEntries(const std::vector<ZipEntryInfo>& entries);
    std::size_t ExistingEntryCount() const { return existingEntries_.size(); }
    // Whether an entry of this name, compared without regard to case, is known.
    bool ContainsEntry(const std::string& entryName) const;

    // The absolute path of the last archive opened; "none" before the first.
    const std::string& ZipPath() const { return zipPath_; }

protected:
    bool HasEntry(const std::string& entryName) const override;
    void EntryAdded(const std::string& entryName, const std::string& sourcePath) override;

private:
    Message* sink_;
    std::string zipPath_ = "none";
    std::unordered_set<std::string> existingEntries_;  // upper-cased names
    mutable std::string key_;                          // scratch for lookups
};

// An entry name in the form the zippers compare names: "\" read as "/", ASCII upper case.
std::string EntryKey(std::string_view entryName);
// The same in place.
void MakeEntryKey(std::string& key);

}  // namespace tw::zip
