#pragma once
// The file mover built on the monitor: a wait-over handler that, on each pass, connects two
// file systems, lists one source directory against a mask and hands every entry to a transfer
// object that decides whether to copy it and where, copies it safely through a temporary file,
// and lets processors act on the source and destination copies.

#include <string>
#include <vector>

#include "monitor/counted_ptr.h"
#include "monitor/file_system.h"
#include "monitor/waiters.h"

namespace tw::FileSystemMonitor {

class TransferFiles;

// Connects the two sides (once, or every pass), runs DoPass, and always disconnects what it
// connected, also when the pass throws. Used by one thread at a time.
class FileSystemWaitOverHandler : public Monitor::WaitOverHandler {
public:
    FileSystemWaitOverHandler(CountedPtr<TransferFiles> transfer, CountedPtr<FileSystem> source,
                              CountedPtr<FileSystem> destination);

    bool Initialise() override;
    bool Process() override;
    bool Finish() override;
    void SetStopRequested(int requested) override;

    virtual bool ConnectSource();
    virtual bool ConnectDestination();
    virtual void DisconnectSource();
    virtual void DisconnectDestination();
    virtual bool DoPass() = 0;
    virtual bool TransferFile(const FileInfo& file) = 0;

    bool connectSourceAtStart = false;
    bool connectDestinationAtStart = false;
    bool connectSourceEachPass = false;
    bool connectDestinationEachPass = false;

protected:
    CountedPtr<TransferFiles> transfer_;
    CountedPtr<FileSystem> source_;
    CountedPtr<FileSystem> destination_;
    int stopRequested_ = 0;

private:
    bool sourceConnectedAtStart_ = false;
    bool destinationConnectedAtStart_ = false;
};

// Offers every entry of one source directory that matches a mask.
class FileMaskHandler : public FileSystemWaitOverHandler {
public:
    FileMaskHandler(CountedPtr<TransferFiles> transfer, CountedPtr<FileSystem> source,
                    CountedPtr<FileSystem> destination, std::string directory, std::string mask);

    // Begin, list, TransferFile for each entry until one fails, End. A listing that finds
    // nothing is not a failure.
    bool DoPass() override;
    bool TransferFile(const FileInfo& file) override;

protected:
    std::string directory_;
    std::string mask_;
};

// Decides per file and moves it; processors act on the copies.
class TransferFiles {
public:
    TransferFiles(CountedPtr<Monitor::ProcessData> sourceProcessor,
                  CountedPtr<Monitor::ProcessData> destinationProcessor);
    virtual ~TransferFiles() = default;

    // Begin/End of the source processor, then of the destination processor (each when present);
    // true only when both are.
    virtual bool Begin();
    virtual bool TransferFile(FileSystem& source, const FileInfo& file,
                              FileSystem& destination) = 0;
    virtual bool End();
    virtual void SetStopRequested(int requested);

protected:
    CountedPtr<Monitor::ProcessData> sourceProcessor_;
    CountedPtr<Monitor::ProcessData> destinationProcessor_;
    int stopRequested_ = 0;
};

// Copies files into destinationDirectory (which may list several targets separated by ";").
class CopyFiles : public TransferFiles {
public:
    CopyFiles(CountedPtr<Monitor::ProcessData> sourceProcessor,
              CountedPtr<Monitor::ProcessData> destinationProcessor,
              std::string destinationDirectory, bool allowEmptyFiles = false,
              bool skipIfDestinationExists = false, bool makeUniqueNames = false);

    // Skip (true) when ShouldTransfer says no; otherwise copy to every target and run the
    // destination processor per target; the source processor (which may delete the source)
    // runs only when every target succeeded.
    bool TransferFile(FileSystem& source, const FileInfo& file, FileSystem& destination) override;

    // False for directories, for empty files unless allowed, and (when asked) for files whose
    // destination already exists.
    virtual bool ShouldTransfer(FileSystem& source, const FileInfo& file, FileSystem& destination);
    // Whether a file of exactly this name (ignoring case) exists at the destination.
    virtual bool DestinationExists(const std::string& path, FileSystem& destination);
    virtual std::string MakeDestinationPath(FileSystem& source, FileSystem& destination,
                                            const FileInfo& file);
    // The safe copy: source to a local temporary file, then into the destination.
    virtual bool CopyOne(FileSystem& source, const FileInfo& file, FileSystem& destination,
                         const std::string& target);
    // path itself, or "_002", "_003", ... inserted before the last "." (appended when there is
    // none), the first that does not exist. Empty after 9,999 tries (reported).
    virtual std::string MakeUniqueName(const std::string& path, FileSystem& destination);
    virtual void SplitDestinations(const std::string& path, std::vector<std::string>& pieces);

    const std::string& DestinationDirectory() const { return destinationDirectory_; }

protected:
    // The two halves of CopyOne, each reporting its failure to errorMessages(): the file into
    // localPath (a temporary file of this machine), and localPath into the destination.
    bool FetchToLocal(FileSystem& source, const FileInfo& file, const std::string& localPath);
    bool DeliverFromLocal(FileSystem& destination, const FileInfo& file,
                          const std::string& localPath, const std::string& target);

    std::string destinationDirectory_;
    bool allowEmptyFiles_;
    bool skipIfDestinationExists_;
    bool makeUniqueNames_;
};

// Base of the per-file processors that act on one file system.
class CopyFilesProcessor : public Monitor::ProcessData {
public:
    explicit CopyFilesProcessor(CountedPtr<FileSystem> fileSystem)
        : fileSystem_(std::move(fileSystem)) {}
    bool Begin() override { return true; }
    bool End() override { return true; }
    void SetStopRequested(int requested) override { stopRequested_ = requested; }

protected:
    CountedPtr<FileSystem> fileSystem_;
    int stopRequested_ = 0;
};

// Deletes each source file after it reached every destination, when asked to.
class CopySourceFilesProcessor : public CopyFilesProcessor {
public:
    CopySourceFilesProcessor(CountedPtr<FileSystem> fileSystem, bool deleteSource)
        : CopyFilesProcessor(std::move(fileSystem)), deleteSource_(deleteSource) {}
    // Always true: a source that cannot be deleted is offered again on the next pass.
    bool Process(const std::string& path) override;
    virtual bool DeleteSourceFile(const std::string& path);

protected:
    bool deleteSource_;
};

// Reports "Transfered %s." for every file written.
class CopyDestinationFilesProcessor : public CopyFilesProcessor {
public:
    using CopyFilesProcessor::CopyFilesProcessor;
    bool Process(const std::string& path) override;
};

}  // namespace tw::FileSystemMonitor

namespace tw {

// Item-file copies: an existing destination is reported as an error.
class PollerCopyItemFiles : public FileSystemMonitor::CopyFiles {
public:
    using CopyFiles::CopyFiles;
    bool DestinationExists(const std::string& path, FileSystem& destination) override;
};

}  // namespace tw
