#pragma once
// The sales side of a Radiant poll pass: the NAXML files the POS exports (its journal and the
// movement reports) are fetched from the POS's sales directory, and from an optional second
// one, into the site's data directory, where journal processing takes them over.
//
// A file counts as received only when its copy in the data directory is durable and complete
// XML. Only then is the POS's copy deleted (DeletePOSSourceFile) or FileDateTime allowed past
// it. What the POS offers is handled with care:
// - only regular files are read: a link, a FIFO or a device is reported and never opened;
// - a name is used only as one file name in the data directory, never split, interpreted or
//   joined into another path; a name unsafe there, or one the back office uses for its own
//   files (maintenance files, slot files, results), is reported and not taken;
// - a file already in the data directory is never overwritten: a copy received earlier that is
//   still waiting to be filed is finished first (journal processing takes it up at the start
//   of the pass), and a back-office file of that name is never touched.
//
// Which files are new: with DeletePOSSourceFile set, every file is taken and the POS copy is
// deleted once received. Otherwise FileDateTime, the newest modification time already
// received, keeps files from being fetched twice: files are offered oldest first, and
// FileDateTime advances only over files received before the first one that was not (a copy
// that failed, a name that cannot be taken, a copy cut short because the POS is still writing);
// the loop goes on past such a file and the files after it are received, but FileDateTime stays
// before it so that it is offered again. A file received again is filed once (journal
// processing recognises it). In the repeated hour of a clock change a local time stands for two
// instants: a file is passed over only when it is surely not newer.

#include <memory>
#include <string>

#include "monitor/counted_ptr.h"
#include "monitor/file_system_monitor.h"
#include "monitor/waiters.h"
#include "platform/file_env.h"
#include "platform/ole_date.h"
#include "radiant/received_list.h"

namespace tw {
class RadiantSetup;
}

namespace tw::radiant {

// The sales copy: files whose names end in "XML" (any case), copied into the data directory
// under their own names. Directories are never taken, whatever their name.
class RadiantCopySalesFiles : public FileSystemMonitor::CopyFiles {
public:
    enum class Outcome {
        Skipped,     // not an export (a directory, another name): silently passed over
        Received,    // durable and complete in the data directory; the POS copy may go
        Incomplete,  // landed, but not complete XML (the POS may still be writing): kept on the
                     // POS, and journal processing sets the copy aside
        Refused,     // not taken (reported): not a regular file, an unusable name, a name taken
        Failed,      // the copy failed (reported)
    };

    // dataDirectory: the data directory as a local path ending in '/'. received: the data
    // directory's received list, shared with journal processing (null: one of its own). env (not
    // owned; null: the real file system). Used by the sales thread only.
    RadiantCopySalesFiles(CountedPtr<Monitor::ProcessData> sourceProcessor,
                          CountedPtr<Monitor::ProcessData> destinationProcessor,
                          std::string dataDirectory,
                          std::shared_ptr<ReceivedList> received = nullptr,
                          platform::FileEnv* env = nullptr);

    bool ShouldTransfer(FileSystem& source, const FileInfo& file, FileSystem& destination) override;
    // One destination only, whatever the name holds (";" too).
    void SplitDestinations(const std::string& path, std::vector<std::string>& pieces) override;
    // Receive; false for Refused and Failed.
    bool TransferFile(FileSystem& source, const FileInfo& file, FileSystem& destination) override;

    // Receives one listed file: records its name in the received list, copies it into the data
    // directory (durably), hands it to the destination processor, and lets the source processor
    // act on the POS copy (delete it) only when the received copy is complete.
    Outcome Receive(FileSystem& source, const FileInfo& file, FileSystem& destination);

    // Removes the partial files an interrupted pass left in the data directory. Call before
    // anything else of the pass writes there.
    void PreparePass();

private:
    Outcome Refuse(const FileInfo& file, const char* why);

    std::shared_ptr<ReceivedList> received_;
    platform::FileEnv& env_;
};

// The POS side of the results copy. A POS file is deleted only when the copy received from it in
// the data directory is complete XML: a file the POS is still writing arrives cut short, and
// deleting the POS's file then would lose what was written after the copy. Such a file stays on
// the POS and is fetched again by the next pass.
class RadiantPosSourceFilesProcessor : public FileSystemMonitor::CopySourceFilesProcessor {
public:
    // localDataDirectory: the data directory as a local path ending in '/'.
    RadiantPosSourceFilesProcessor(CountedPtr<FileSystem> fileSystem, bool deleteSource,
                                   std::string localDataDirectory);
    bool DeleteSourceFile(const std::string& path) override;

private:
    std::string localDataDirectory_;
};

// Whether a name is one the back office gives its own files in the data directory (the
// maintenance files and their backups, the semaphore, the results file, slot files): a POS
// file of that name would overwrite them.
bool IsBackOfficeFileName(std::string_view name);

// Whether a listed file is newer than start (the FileDateTime): a name holding "ACK" is always
// new, and so is every file when start is not a valid date or the file's time is unknown;
// otherwise the file is new unless it is surely not later than start (both are local times; in
// the repeated hour of a clock change they are compared by the instants they may stand for).
bool IsNewFile(const FileInfo& entry, const platform::OleDate& start);

// The sales pass of the poll monitor. Source: the POS file system of the sales side; destination:
// the back office's. Runs on the poll monitor's thread; starts the item and results waiters on
// their own threads and waits for them before the pass ends, also when the sales transfer
// throws.
class RadiantPollerFileMaskHandler : public FileSystemMonitor::FileMaskHandler {
public:
    // salesPath and secondPath are stored POS paths (a separator is added where missing);
    // settings (not owned, may be null) must outlive the handler: its FileDateTime is read and
    // advanced, and saved (alone) when it moved. Either waiter may be empty.
    RadiantPollerFileMaskHandler(CountedPtr<RadiantCopySalesFiles> transfer,
                                 CountedPtr<FileSystem> source, CountedPtr<FileSystem> destination,
                                 std::string salesPath, std::string mask,
                                 CountedPtr<Monitor::Waiter> itemWaiter,
                                 CountedPtr<Monitor::Waiter> resultsWaiter, bool receiveSales,
                                 bool sendItems, bool deletePOSSourceFile, std::string secondPath,
                                 RadiantSetup* settings);

    // Clears what an interrupted pass left (with ReceiveSales), starts the item waiter (with
    // SendItems) and the results waiter, runs the sales transfer (with ReceiveSales), waits for
    // the waiters. False when a waiter could not start or the transfer failed.
    bool DoPass() override;

    // The sales transfer alone: Begin (which finishes earlier work), the sales path, the second
    // path, End.
    bool TransferSales();

private:
    struct Offered {
        bool ok = true;
        platform::OleDate newest;  // the newest time received before any file that was not
    };
    // Offers the new files of one directory, oldest first. A directory that cannot be listed is
    // reported. For the second path, a listing that finds anything is announced.
    Offered OfferDirectory(const std::string& directory, const platform::OleDate& start,
                           bool secondPath);

    CountedPtr<RadiantCopySalesFiles> salesTransfer_;
    CountedPtr<Monitor::Waiter> itemWaiter_;
    CountedPtr<Monitor::Waiter> resultsWaiter_;
    bool receiveSales_;
    bool sendItems_;
    bool deletePOSSourceFile_;
    std::string secondPath_;
    RadiantSetup* settings_;
};

}  // namespace tw::radiant
