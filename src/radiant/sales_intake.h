#pragma once
// The sales side of a Radiant poll pass: the NAXML files the POS exports (its journal and the
// movement reports) are fetched from the POS's sales directory, and from an optional second
// one, into the site's data directory, where journal processing takes them over.
//
// Which files are new: with DeletePOSSourceFile set, every file is taken and the POS copy is
// deleted once received. Otherwise FileDateTime, the newest modification time already
// received, keeps files from being fetched twice: files are offered oldest first, FileDateTime
// advances only over files that arrived, and a failed copy ends the run, so a file is never
// passed over because a newer one arrived before it.

#include <string>

#include "monitor/counted_ptr.h"
#include "monitor/file_system_monitor.h"
#include "monitor/waiters.h"
#include "platform/ole_date.h"

namespace tw {
class RadiantSetup;
}

namespace tw::radiant {

// The sales copy: files whose names end in "XML" (any case), copied into the data directory
// under their own names. Directories are never taken, whatever their name.
class RadiantCopySalesFiles : public FileSystemMonitor::CopyFiles {
public:
    RadiantCopySalesFiles(CountedPtr<Monitor::ProcessData> sourceProcessor,
                          CountedPtr<Monitor::ProcessData> destinationProcessor,
                          std::string dataDirectory);
    bool ShouldTransfer(FileSystem& source, const FileInfo& file, FileSystem& destination) override;
};

// The POS side of the sales and results copies. A POS file is deleted only when the copy
// received from it in the data directory is complete XML: a journal the POS is still writing
// arrives cut short, and deleting the POS's file then would lose every sale written after the
// copy. Such a file stays on the POS and is fetched again by the next pass (journal processing
// sets the cut copy aside and reports it).
class RadiantPosSourceFilesProcessor : public FileSystemMonitor::CopySourceFilesProcessor {
public:
    // localDataDirectory: the data directory as a local path ending in '/'.
    RadiantPosSourceFilesProcessor(CountedPtr<FileSystem> fileSystem, bool deleteSource,
                                   std::string localDataDirectory);
    bool DeleteSourceFile(const std::string& path) override;

private:
    std::string localDataDirectory_;
};

// Whether a listed file is newer than start (the FileDateTime): a name holding "ACK" is always
// new, and so is every file when start is not a valid date or the file's time is unknown;
// otherwise the file is new when its modification time lies more than half a second after
// start. Both are local times: they are compared as they are.
bool IsNewFile(const FileInfo& entry, const platform::OleDate& start);

// The sales pass of the poll monitor. Source: the POS file system of the sales side; destination:
// the back office's. Runs on the poll monitor's thread; starts the item and results waiters on
// their own threads and waits for them before the pass ends, also when the sales transfer
// throws.
class RadiantPollerFileMaskHandler : public FileSystemMonitor::FileMaskHandler {
public:
    // salesPath and secondPath are stored POS paths (a separator is added where missing);
    // settings (not owned) must outlive the handler: its FileDateTime is read and advanced, and
    // it is saved when it moved. Either waiter may be empty.
    RadiantPollerFileMaskHandler(CountedPtr<FileSystemMonitor::CopyFiles> transfer,
                                 CountedPtr<FileSystem> source, CountedPtr<FileSystem> destination,
                                 std::string salesPath, std::string mask,
                                 CountedPtr<Monitor::Waiter> itemWaiter,
                                 CountedPtr<Monitor::Waiter> resultsWaiter, bool receiveSales,
                                 bool sendItems, bool deletePOSSourceFile, std::string secondPath,
                                 RadiantSetup* settings);

    // Starts the item waiter (with SendItems) and the results waiter, runs the sales transfer
    // (with ReceiveSales), waits for the waiters. False when a waiter could not start or the
    // transfer failed.
    bool DoPass() override;

    // The sales transfer alone: Begin, the sales path, the second path, End.
    bool TransferSales();

private:
    struct Offered {
        bool ok = true;
        platform::OleDate newest;  // the newest time received before any failure
        bool anyListed = false;
    };
    // Offers the new files of one directory, oldest first, until one fails. For the second
    // path, a listing that finds anything is announced.
    Offered OfferDirectory(const std::string& directory, const platform::OleDate& start,
                           bool secondPath);

    CountedPtr<FileSystemMonitor::CopyFiles> salesTransfer_;
    CountedPtr<Monitor::Waiter> itemWaiter_;
    CountedPtr<Monitor::Waiter> resultsWaiter_;
    bool receiveSales_;
    bool sendItems_;
    bool deletePOSSourceFile_;
    std::string secondPath_;
    RadiantSetup* settings_;
};

}  // namespace tw::radiant
