#pragma once
// The maintenance-file sender of a poll pass: the item waiter's handler, transfer and source
// processor. It runs on its own thread with its own file systems (the back office's B as
// source, the POS's P2 as destination), both connected at the start of each pass.
//
// The editors leave "ITT.XML", "MCT.XML", "ILT.XML", "CBT.XML" and "MMT.XML" in the data
// directory. Each is delivered into the POS's import directory as its three letters, the NAXML
// version code and the local 14-digit time stamp ("MCT33020261206140509.XML"), then renamed to
// its backup name ("MCTBAK.XML") so that it is sent once. Last comes the semaphore, "SEM.XML"
// written in the data directory and delivered under a stamped name like the others, which lists
// what the POS received and tells it to import. Every write into either directory is made
// under a temporary name and renamed into place, so the POS never takes a half-written file.

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/file_system_monitor.h"
#include "platform/paths.h"
#include "platform/system_text.h"

namespace tw::radiant {

inline constexpr const char* kSemaphoreFileName = "SEM.XML";

// Whether the sender takes a file of this name: one of the five table files or the semaphore,
// with exact case (the documents' temporary files and a hand-made "itt.xml" are never sent).
bool IsMaintenanceFileName(std::string_view name);

// "330" for NaxmlVersion 3.3, "340" for 3.4 and above, "320" otherwise.
const char* NaxmlVersionCode(double naxmlVersion);

// The backup name of a sent file: the directory kept, the name upper-cased with its first
// ".XML" replaced by "BAK.XML" ("ITT.XML" -> "ITTBAK.XML").
std::string BackupPath(std::string_view path);

// The semaphore's bytes: the declaration, "<FileList>", one " <File>name</File>" line per
// delivered table file grouped MCT, ITT, ILT, CBT, MMT (by the letters the name contains, in
// any case; each group in the given order), and "</FileList>". Lines end in CR LF; nothing
// follows "</FileList>". Other names are left out.
std::string FormatFileList(const std::vector<std::string>& names);

// The names a semaphore lists, in order; empty for text that is not such a list.
std::vector<std::string> ParseFileList(std::string_view text);

// The source side of the item copy, over the back office's file system. A delivered file is
// renamed to its backup name, replacing the previous backup of its table. When the rename
// fails the file stays where it is, the failure is reported to errorMessages() and the result
// is false: the file is sent again by the next poll rather than lost.
//
// The editors write these files while the poller runs. Only the file that was sent becomes the
// backup: Sending remembers its bytes before the copy, and a file that differs from them when
// it is to be renamed (saved again meanwhile) stays where it is, for the next pass (LeftNewer).
class RadiantItemSourceFilesProcessor : public FileSystemMonitor::CopySourceFilesProcessor {
public:
    // resolver translates the data directory's stored form (a POSIX path is used as is).
    explicit RadiantItemSourceFilesProcessor(CountedPtr<FileSystem> fileSystem,
                                             platform::PathResolver resolver = {});

    // Remembers the bytes of path, about to be delivered. A file that cannot be read is
    // renamed as before.
    void Sending(const std::string& path);
    // Renames path to its backup unless it changed since Sending. True when renamed or left
    // for the next pass; false (reported) when the rename failed.
    bool Process(const std::string& path) override;
    // Whether the last Process of path left a newer file in place.
    bool LeftNewer(const std::string& path) const { return leftNewer_.count(path) != 0; }

private:
    platform::PathResolver resolver_;
    std::map<std::string, std::string> sending_;  // path -> bytes being delivered
    std::set<std::string> leftNewer_;
};

// The item copy into the POS's import directory. Used by the item waiter's thread only.
class RadiantCopyItemFiles : public PollerCopyItemFiles {
public:
    // importDirectory: ImportDestinationPath with its separator; naxmlVersion: NaxmlVersion as a
    // number; clock (must outlive the object) gives the delivery time of the stamps.
    RadiantCopyItemFiles(CountedPtr<Monitor::ProcessData> sourceProcessor,
                         CountedPtr<Monitor::ProcessData> destinationProcessor,
                         std::string importDirectory, double naxmlVersion,
                         const platform::Clock& clock = platform::SystemClock::Instance());

    // Forgets which files were kept back in the previous pass, then begins the processors.
    // False (reported) without an import directory: nothing may be sent then.
    bool Begin() override;
    // For an accepted name: writes the semaphore when the file is the semaphore, copies the
    // file to its stamped name, then lets the source processor make the backup and the
    // destination processor report "Transfered %s.". Every delivered name is remembered for
    // the semaphore. False when the name is not taken, the copy failed or a processor failed.
    bool TransferFile(FileSystem& source, const FileInfo& file, FileSystem& destination) override;
    // Exactly the names of IsMaintenanceFileName; no size or directory check.
    bool ShouldTransfer(FileSystem& source, const FileInfo& file, FileSystem& destination) override;
    // Import directory + the name's first three characters + version code + local time stamp
    // "YYYYMMDDhhmmss" + ".XML".
    std::string MakeDestinationPath(FileSystem& source, FileSystem& destination,
                                    const FileInfo& file) override;

    // Called at the start of a pass, after Begin. Lists the import directory through the POS's
    // file system and remembers the deliveries there (a table's letters, a version code and a
    // 14-digit stamp, in any case) that no semaphore present there ("SEM*.XML") lists: a pass
    // that could not write or deliver its semaphore, or died before it, left them unannounced,
    // and nothing at the back office remembers them. True when there are any; this pass's
    // semaphore then names them. A semaphore that cannot be read (the POS took it meanwhile)
    // leaves nothing remembered: the next pass looks again rather than announce twice.
    bool FindUnannouncedDeliveries(FileSystem& destination);

    // For a file whose upper-cased name holds "SEM", once something was delivered or found
    // unannounced: writes the file's directory + "SEM.XML" listing, grouped by table, the
    // names of a semaphore left there by an earlier poll whose own delivery failed (those
    // still in the import directory and not listed by a semaphore there), the unannounced
    // deliveries, then this pass's deliveries. False (reported to errorMessages()) when the
    // file cannot be written; true when there was nothing to write.
    bool WriteFileList(FileSystem& source, const FileInfo& file, FileSystem& destination);

    // Whether the file reached the POS in this pass but stayed at the back office because its
    // backup failed: sending it again in the same pass would only deliver it twice.
    bool KeptAfterDelivery(const FileInfo& file) const;

    double NaxmlVersion() const { return naxmlVersion_; }
    // Upper-cased names of the files delivered since the monitor was built, in order.
    const std::vector<std::string>& SentFiles() const { return sentFiles_; }

protected:
    double naxmlVersion_;
    const platform::Clock& clock_;
    std::vector<std::string> sentFiles_;
    std::set<std::string> keptAfterDelivery_;  // source paths, this pass
    std::vector<std::string> unannounced_;     // names in the import directory, this pass
    std::set<std::string> announced_;          // upper-cased names the POS's semaphores list
};

// The item waiter's pass. First finds the deliveries of earlier passes that no semaphore
// announced; then offers the data directory's files in name order, then, when anything was
// delivered, the files once more (those whose copy failed); last, when anything was delivered
// or found unannounced, the semaphore, so that the POS sees it after the files it names. A
// "SEM.XML" found in the data directory (left by a poll whose semaphore did not reach the POS)
// is not offered with the others: it is merged into this pass's semaphore, or delivered as it
// is when there is nothing else to announce. Single files that fail do not fail the pass; only
// a failing Begin or End does.
class RadiantPollerItemFileMaskHandler : public FileSystemMonitor::FileMaskHandler {
public:
    RadiantPollerItemFileMaskHandler(CountedPtr<RadiantCopyItemFiles> transfer,
                                     CountedPtr<FileSystem> source,
                                     CountedPtr<FileSystem> destination, std::string directory,
                                     std::string mask);

    bool DoPass() override;

private:
    // The listed files in name order, without directories and without the semaphore (returned
    // in *semaphore when present).
    std::vector<FileInfo> ListFiles(FileInfo* semaphore);

    CountedPtr<RadiantCopyItemFiles> itemTransfer_;
};

}  // namespace tw::radiant
