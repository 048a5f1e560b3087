#include "monitor/file_system_monitor.h"

#include <cstdio>

#include "messages/program_messages.h"
#include "platform/finally.h"
#include "platform/text_file.h"
#include "platform/wildcard.h"

namespace tw::FileSystemMonitor {
namespace {

constexpr int kMaxUniqueNameTries = 9999;

bool CarriesNoSystemError(const std::string& text) {
    return text.empty() || text.find("completed successfully") != std::string::npos;
}

}  // namespace

// ---- FileSystemWaitOverHandler ----

FileSystemWaitOverHandler::FileSystemWaitOverHandler(CountedPtr<TransferFiles> transfer,
                                                     CountedPtr<FileSystem> source,
                                                     CountedPtr<FileSystem> destination)
    : transfer_(std::move(transfer)),
      source_(std::move(source)),
      destination_(std::move(destination)) {}

bool FileSystemWaitOverHandler::Initialise() {
    bool result = true;
    if (connectSourceAtStart) {
        result = ConnectSource();
        sourceConnectedAtStart_ = true;
    }
    if (connectDestinationAtStart) {
        destinationConnectedAtStart_ = true;
        if (!ConnectDestination())
            return false;
    }
    return result;
}

bool FileSystemWaitOverHandler::Process() {
    // Whatever happens below, what this pass connects is disconnected again.
    Finally disconnect([this] {
        if (connectSourceEachPass)
            DisconnectSource();
        if (connectDestinationEachPass)
            DisconnectDestination();
    });
    const bool sourceReady = connectSourceEachPass ? ConnectSource() : true;
    if (connectDestinationEachPass && !ConnectDestination())
        return false;
    if (!sourceReady)
        return false;
    return DoPass();
}

bool FileSystemWaitOverHandler::Finish() {
    if (sourceConnectedAtStart_)
        DisconnectSource();
    if (destinationConnectedAtStart_)
        DisconnectDestination();
    sourceConnectedAtStart_ = destinationConnectedAtStart_ = false;
    return true;
}

void FileSystemWaitOverHandler::SetStopRequested(int requested) {
    stopRequested_ = requested;
    if (transfer_)
        transfer_->SetStopRequested(requested);
}

bool FileSystemWaitOverHandler::ConnectSource() {
    if (source_->Connect())
        return true;
    SendMessageText(errorMessages(), source_->GetLastErrorText());
    return false;
}

bool FileSystemWaitOverHandler::ConnectDestination() {
    if (destination_->Connect())
        return true;
    SendMessageText(errorMessages(), destination_->GetLastErrorText());
    return false;
}

void FileSystemWaitOverHandler::DisconnectSource() {
    source_->Disconnect();
}
void FileSystemWaitOverHandler::DisconnectDestination() {
    destination_->Disconnect();
}

// ---- FileMaskHandler ----

FileMaskHandler::FileMaskHandler(CountedPtr<TransferFiles> transfer, CountedPtr<FileSystem> source,
                                 CountedPtr<FileSystem> destination, std::string directory,
                                 std::string mask)
    : FileSystemWaitOverHandler(std::move(transfer), std::move(source), std::move(destination)),
      directory_(std::move(directory)),
      mask_(std::move(mask)) {}

bool FileMaskHandler::DoPass() {
    bool result = transfer_->Begin();
    if (result) {
        DirFileList list;
        source_->List(list, directory_, mask_, false);
        for (const auto& [name, file] : list) {
            if (!TransferFile(file)) {
                result = false;
                break;
            }
        }
    }
    // End follows every Begin, whatever the transfers did.
    const bool ended = transfer_->End();
    return result && ended;
}

bool FileMaskHandler::TransferFile(const FileInfo& file) {
    return transfer_->TransferFile(*source_, file, *destination_);
}

// ---- TransferFiles ----

TransferFiles::TransferFiles(CountedPtr<Monitor::ProcessData> sourceProcessor,
                             CountedPtr<Monitor::ProcessData> destinationProcessor)
    : sourceProcessor_(std::move(sourceProcessor)),
      destinationProcessor_(std::move(destinationProcessor)) {}

bool TransferFiles::Begin() {
    const bool sourceReady = sourceProcessor_ ? sourceProcessor_->Begin() : true;
    const bool destinationReady = destinationProcessor_ ? destinationProcessor_->Begin() : true;
    return sourceReady && destinationReady;
}

bool TransferFiles::End() {
    const bool sourceDone = sourceProcessor_ ? sourceProcessor_->End() : true;
    const bool destinationDone = destinationProcessor_ ? destinationProcessor_->End() : true;
    return sourceDone && destinationDone;
}

void TransferFiles::SetStopRequested(int requested) {
    stopRequested_ = requested;
    if (sourceProcessor_)
        sourceProcessor_->SetStopRequested(requested);
    if (destinationProcessor_)
        destinationProcessor_->SetStopRequested(requested);
}

// ---- CopyFiles ----

CopyFiles::CopyFiles(CountedPtr<Monitor::ProcessData> sourceProcessor,
                     CountedPtr<Monitor::ProcessData> destinationProcessor,
                     std::string destinationDirectory, bool allowEmptyFiles,
                     bool skipIfDestinationExists, bool makeUniqueNames)
    : TransferFiles(std::move(sourceProcessor), std::move(destinationProcessor)),
      destinationDirectory_(std::move(destinationDirectory)),
      allowEmptyFiles_(allowEmptyFiles),
      skipIfDestinationExists_(skipIfDestinationExists),
      makeUniqueNames_(makeUniqueNames) {}

bool CopyFiles::TransferFile(FileSystem& source, const FileInfo& file, FileSystem& destination) {
    if (!ShouldTransfer(source, file, destination))
        return true;
    const std::string target = MakeDestinationPath(source, destination, file);
    if (target.empty())
        return false;
    std::vector<std::string> pieces;
    SplitDestinations(target, pieces);
    for (const auto& piece : pieces) {
        if (!CopyOne(source, file, destination, piece))
            return false;
        if (destinationProcessor_ && !destinationProcessor_->Process(piece))
            return false;
    }
    // Only now, with every destination written, may the source go.
    return sourceProcessor_ ? sourceProcessor_->Process(file.directory + file.name) : true;
}

bool CopyFiles::ShouldTransfer(FileSystem& source, const FileInfo& file, FileSystem& destination) {
    if (file.isDirectory)
        return false;
    if (!allowEmptyFiles_ && file.size == 0)
        return false;
    if (skipIfDestinationExists_) {
        std::vector<std::string> pieces;
        SplitDestinations(MakeDestinationPath(source, destination, file), pieces);
        for (const auto& piece : pieces) {
            if (DestinationExists(piece, destination))
                return false;
        }
    }
    return true;
}

bool CopyFiles::DestinationExists(const std::string& path, FileSystem& destination) {
    const std::string directory(platform::DirectoryPart(path));
    const std::string name(platform::FileNamePart(path));
    if (name.empty())
        return false;
    DirFileList list;
    // The name may hold '*' or '?': the listing is a first cut, the comparison decides.
    destination.List(list, directory, name, false);
    for (const auto& [listed, info] : list) {
        if (platform::EqualsIgnoreCase(listed, name))
            return true;
    }
    return false;
}

std::string CopyFiles::MakeDestinationPath(FileSystem& /*source*/, FileSystem& destination,
                                           const FileInfo& file) {
    const std::string path = destinationDirectory_ + file.name;
    return makeUniqueNames_ ? MakeUniqueName(path, destination) : path;
}

std::string CopyFiles::MakeUniqueName(const std::string& path, FileSystem& destination) {
    if (!DestinationExists(path, destination))
        return path;
    const std::size_t nameStart = path.size() - platform::FileNamePart(path).size();
    const std::size_t dot = path.rfind('.');
    const std::size_t insertAt = dot == std::string::npos || dot < nameStart ? path.size() : dot;
    for (int n = 2; n <= kMaxUniqueNameTries; ++n) {
        char counter[16];
        std::snprintf(counter, sizeof counter, "_%03d", n);
        std::string candidate = path;
        candidate.insert(insertAt, counter);
        if (!DestinationExists(candidate, destination))
            return candidate;
    }
    FormatMessageTo(errorMessages(), "Unable to find a free name for %s.", path.c_str());
    return {};
}

void CopyFiles::SplitDestinations(const std::string& path, std::vector<std::string>& pieces) {
    pieces.clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find(';', start);
        pieces.push_back(path.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
}

bool CopyFiles::FetchToLocal(FileSystem& source, const FileInfo& file,
                             const std::string& localPath) {
    if (source.GetFile(file.directory + file.name, localPath))
        return true;
    FormatMessageTo(errorMessages(), "Unable copy %s%s to %s, last error: %s",
                    file.directory.c_str(), file.name.c_str(), localPath.c_str(),
                    source.GetLastErrorText().c_str());
    return false;
}

bool CopyFiles::DeliverFromLocal(FileSystem& destination, const FileInfo& file,
                                 const std::string& localPath, const std::string& target) {
    if (destination.PutFile(localPath, target))
        return true;
    const std::string error = destination.GetLastErrorText();
    if (CarriesNoSystemError(error)) {
        FormatMessageTo(errorMessages(), "Unable copy %s%s to %s", file.directory.c_str(),
                        file.name.c_str(), target.c_str());
    } else {
        FormatMessageTo(errorMessages(), "Unable copy %s%s to %s, last error: %s",
                        file.directory.c_str(), file.name.c_str(), target.c_str(), error.c_str());
    }
    return false;
}

bool CopyFiles::CopyOne(FileSystem& source, const FileInfo& file, FileSystem& destination,
                        const std::string& target) {
    auto temp = platform::TempFile::Create("FS");
    if (!temp) {
        FormatMessageTo(errorMessages(), "Unable create temp file at %s",
                        platform::TemporaryDirectory().c_str());
        return false;
    }
    temp->Close();  // removed when temp goes out of scope, whatever happens
    if (!FetchToLocal(source, file, temp->Path()) ||
        !DeliverFromLocal(destination, file, temp->Path(), target)) {
        return false;
    }
    if ((!source.KeepsFileTimes() || !destination.KeepsFileTimes()) && file.modified.IsValid()) {
        destination.SetFileTime(target, file.modified);
    }
    return true;
}

// ---- processors ----

bool CopySourceFilesProcessor::Process(const std::string& path) {
    if (deleteSource_)
        DeleteSourceFile(path);
    return true;
}

bool CopySourceFilesProcessor::DeleteSourceFile(const std::string& path) {
    return fileSystem_->DeleteFile(path);
}

bool CopyDestinationFilesProcessor::Process(const std::string& path) {
    FormatMessageTo(logMessages(), "Transfered %s.", path.c_str());
    return true;
}

}  // namespace tw::FileSystemMonitor

namespace tw {

bool PollerCopyItemFiles::DestinationExists(const std::string& path, FileSystem& destination) {
    if (!CopyFiles::DestinationExists(path, destination))
        return false;
    FormatMessageTo(errorMessages(), "%s already exists.", path.c_str());
    return true;
}

}  // namespace tw
