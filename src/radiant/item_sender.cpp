#include "radiant/item_sender.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <optional>

#include "messages/program_messages.h"
#include "platform/file_ops.h"
#include "platform/ole_date.h"
#include "platform/text_file.h"
#include "platform/wildcard.h"

namespace tw::radiant {
namespace {

constexpr const char* kMaintenanceFileNames[] = {"ITT.XML", "MCT.XML", "ILT.XML",
                                                 "CBT.XML", "MMT.XML", kSemaphoreFileName};
// The order of the tables in the semaphore: departments before the items that refer to them,
// items before the lists, combos and offers built from them.
constexpr const char* kSemaphoreTableOrder[] = {"MCT", "ITT", "ILT", "CBT", "MMT"};

bool ContainsTable(std::string_view name, std::string_view table) {
    return platform::UpperCaseAscii(name).find(table) != std::string::npos;
}

// A file this sender delivered: a table's three letters, the version code and the 14-digit
// stamp, as MakeDestinationPath makes them; the POS may have changed the case.
bool IsDeliveredFileName(std::string_view name) {
    constexpr std::size_t kDigits = 3 + 14;
    constexpr std::string_view kExtension = ".XML";
    if (name.size() != 3 + kDigits + kExtension.size())
        return false;
    const std::string upper = platform::UpperCaseAscii(name);
    const std::string_view table = std::string_view(upper).substr(0, 3);
    const bool isTable = std::find(std::begin(kSemaphoreTableOrder), std::end(kSemaphoreTableOrder),
                                   table) != std::end(kSemaphoreTableOrder);
    const bool stamped = std::all_of(upper.begin() + 3, upper.begin() + 3 + kDigits,
                                     [](unsigned char c) { return std::isdigit(c) != 0; });
    return isTable && stamped && upper.ends_with(kExtension);
}

// Appends name unless names holds it already in any case.
void AddOnce(std::vector<std::string>& names, const std::string& name) {
    const bool present = std::any_of(names.begin(), names.end(), [&](const std::string& held) {
        return platform::EqualsIgnoreCase(held, name);
    });
    if (!present)
        names.push_back(name);
}

// A name taken from a file's content may only ever name a file of the import directory.
bool IsPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\:") == std::string_view::npos;
}

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1));
}

// Reads a file of a file system through a local temporary copy; nullopt when it is not there.
std::optional<std::string> ReadThrough(FileSystem& fileSystem, const std::string& path) {
    auto temp = platform::TempFile::Create("FS");
    if (!temp)
        return std::nullopt;
    temp->Close();
    if (!fileSystem.GetFile(path, temp->Path()))
        return std::nullopt;
    return platform::ReadFile(temp->Path());
}

}  // namespace

bool IsMaintenanceFileName(std::string_view name) {
    return std::find(std::begin(kMaintenanceFileNames), std::end(kMaintenanceFileNames), name) !=
           std::end(kMaintenanceFileNames);
}

const char* NaxmlVersionCode(double naxmlVersion) {
    if (naxmlVersion == 3.3)
        return "330";
    return naxmlVersion >= 3.4 ? "340" : "320";
}

std::string BackupPath(std::string_view path) {
    const std::string_view directory = platform::DirectoryPart(path);
    std::string name = platform::UpperCaseAscii(platform::FileNamePart(path));
    const auto extension = name.find(".XML");
    if (extension == std::string::npos) {
        name += "BAK.XML";
    } else {
        name.replace(extension, 4, "BAK.XML");
    }
    return std::string(directory) + name;
}

std::string FormatFileList(const std::vector<std::string>& names) {
    std::string text = "<?xml version=\"1.0\" ?>\r\n<FileList>\r\n";
    for (const char* table : kSemaphoreTableOrder) {
        for (const auto& name : names) {
            if (ContainsTable(name, table)) {
                text += " <File>" + name + "</File>\r\n";
            }
        }
    }
    text += "</FileList>";
    return text;
}

std::vector<std::string> ParseFileList(std::string_view text) {
    std::vector<std::string> names;
    if (text.find("<FileList>") == std::string_view::npos)
        return names;
    static constexpr std::string_view kOpen = "<File>", kClose = "</File>";
    for (auto at = text.find(kOpen); at != std::string_view::npos; at = text.find(kOpen, at)) {
        at += kOpen.size();
        const auto end = text.find(kClose, at);
        if (end == std::string_view::npos)
            break;
        names.push_back(Trimmed(text.substr(at, end - at)));
        at = end + kClose.size();
    }
    return names;
}

// ---- RadiantItemSourceFilesProcessor ----

RadiantItemSourceFilesProcessor::RadiantItemSourceFilesProcessor(CountedPtr<FileSystem> fileSystem,
                                                                 platform::PathResolver resolver)
    : CopySourceFilesProcessor(std::move(fileSystem), false), resolver_(std::move(resolver)) {}

void RadiantItemSourceFilesProcessor::Sending(const std::string& path) {
    sending_.erase(path);
    leftNewer_.erase(path);
    if (const auto local = resolver_.ResolveLocal(path, nullptr)) {
        if (auto bytes = platform::ReadFile(*local))
            sending_[path] = std::move(*bytes);
    }
}

bool RadiantItemSourceFilesProcessor::Process(const std::string& path) {
    // A rename, not a copy followed by a delete: the file is either the backup or still
    // waiting to be sent, never gone.
    const std::string backup = BackupPath(path);
    std::string error;
    const auto from = resolver_.ResolveLocal(path, &error);
    if (const auto sent = sending_.find(path); from && sent != sending_.end()) {
        const std::string bytes = std::move(sent->second);
        sending_.erase(sent);
        const auto now = platform::ReadFile(*from);
        if (now && *now != bytes) {
            FormatMessageTo(logMessages(),
                            "%s changed while it was sent; it goes with the next poll.",
                            path.c_str());
            leftNewer_.insert(path);
            return true;
        }
    }
    const auto to = from ? resolver_.ResolveLocal(backup, &error) : std::nullopt;
    int errorNumber = 0;
    if (from && to && platform::RenameFile(*from, *to, &errorNumber))
        return true;
    if (errorNumber != 0)
        error = platform::SystemErrorText(errorNumber);
    FormatMessageTo(errorMessages(), "Unable to rename %s to %s, last error: %s", path.c_str(),
                    backup.c_str(), error.c_str());
    return false;
}

// ---- RadiantCopyItemFiles ----

RadiantCopyItemFiles::RadiantCopyItemFiles(CountedPtr<Monitor::ProcessData> sourceProcessor,
                                           CountedPtr<Monitor::ProcessData> destinationProcessor,
                                           std::string importDirectory, double naxmlVersion,
                                           const platform::Clock& clock)
    : PollerCopyItemFiles(std::move(sourceProcessor), std::move(destinationProcessor),
                          std::move(importDirectory), false, false, false),
      naxmlVersion_(naxmlVersion),
      clock_(clock) {}

bool RadiantCopyItemFiles::Begin() {
    keptAfterDelivery_.clear();
    unannounced_.clear();
    announced_.clear();
    // An empty path would be the current directory: the files would be "delivered" there and
    // put aside as sent.
    if (destinationDirectory_.find_first_not_of(" \t") == std::string::npos) {
        SendMessageText(errorMessages(),
                        "Maintenance files are not sent: ImportDestinationPath is empty.");
        return false;
    }
    return PollerCopyItemFiles::Begin();
}

bool RadiantCopyItemFiles::ShouldTransfer(FileSystem& /*source*/, const FileInfo& file,
                                          FileSystem& /*destination*/) {
    return IsMaintenanceFileName(file.name);
}

std::string RadiantCopyItemFiles::MakeDestinationPath(FileSystem& /*source*/,
                                                      FileSystem& /*destination*/,
                                                      const FileInfo& file) {
    platform::CivilTime now;
    platform::OleDate::FromFileTime(clock_.Now()).ToCivil(now);
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "%s%04d%02d%02d%02d%02d%02d",
                  NaxmlVersionCode(naxmlVersion_), now.year, now.month, now.day, now.hour,
                  now.minute, now.second);
    return destinationDirectory_ + file.name.substr(0, 3) + stamp + ".XML";
}

bool RadiantCopyItemFiles::FindUnannouncedDeliveries(FileSystem& destination) {
    unannounced_.clear();
    announced_.clear();
    DirFileList list;
    destination.List(list, destinationDirectory_, "*.XML", false);
    std::vector<std::string> delivered;
    for (const auto& [name, info] : list) {
        if (info.isDirectory)
            continue;
        if (platform::MatchMask("SEM*.XML", name)) {
            const auto text = ReadThrough(destination, info.Path());
            if (!text) {
                // Most likely the POS took it meanwhile, and its files with it. Announcing
                // what it may still list could make the POS import a file twice; the next
                // pass looks again.
                announced_.clear();
                return false;
            }
            for (const auto& listed : ParseFileList(*text))
                announced_.insert(platform::UpperCaseAscii(listed));
        } else if (IsDeliveredFileName(name)) {
            delivered.push_back(name);
        }
    }
    for (const auto& name : delivered) {
        if (announced_.count(platform::UpperCaseAscii(name)) == 0)
            unannounced_.push_back(name);
    }
    // Name order: within a table, the oldest delivery first.
    std::sort(unannounced_.begin(), unannounced_.end(),
              [](const std::string& a, const std::string& b) {
                  return platform::UpperCaseAscii(a) < platform::UpperCaseAscii(b);
              });
    return !unannounced_.empty();
}

bool RadiantCopyItemFiles::WriteFileList(FileSystem& source, const FileInfo& file,
                                         FileSystem& destination) {
    if (platform::UpperCaseAscii(file.name).find("SEM") == std::string::npos ||
        (sentFiles_.empty() && unannounced_.empty())) {
        return true;
    }
    const std::string path = file.directory + kSemaphoreFileName;

    std::vector<std::string> names;
    if (const auto previous = ReadThrough(source, path)) {
        for (const auto& name : ParseFileList(*previous)) {
            const bool waiting =
                IsPlainFileName(name) && announced_.count(platform::UpperCaseAscii(name)) == 0 &&
                CopyFiles::DestinationExists(destinationDirectory_ + name, destination);
            if (waiting)
                AddOnce(names, name);
        }
    }
    for (const auto& name : unannounced_) AddOnce(names, name);
    for (const auto& name : sentFiles_) AddOnce(names, name);

    // Written locally first and put into place as a whole: a pass that dies half-way leaves
    // either the old semaphore or the new one.
    std::string reason;
    auto temp = platform::TempFile::Create("FS");
    int error = 0;
    if (!temp) {
        reason = platform::SystemErrorText(errno);
    } else {
        temp->Close();
        if (!platform::WriteFileAtomically(temp->Path(), FormatFileList(names), &error)) {
            reason = platform::SystemErrorText(error);
        } else if (source.PutFile(temp->Path(), path)) {
            return true;
        } else {
            reason = source.GetLastErrorText();
        }
    }
    FormatMessageTo(errorMessages(), "Unable to write %s, last error: %s", path.c_str(),
                    reason.c_str());
    return false;
}

bool RadiantCopyItemFiles::TransferFile(FileSystem& source, const FileInfo& file,
                                        FileSystem& destination) {
    if (!ShouldTransfer(source, file, destination))
        return false;
    const std::string target = MakeDestinationPath(source, destination, file);
    // A semaphore that cannot be written must not be replaced by an older one still there.
    if (!WriteFileList(source, file, destination))
        return false;
    const std::string sourcePath = file.directory + file.name;
    auto* itemSource = dynamic_cast<RadiantItemSourceFilesProcessor*>(sourceProcessor_.Get());
    if (itemSource != nullptr)
        itemSource->Sending(sourcePath);
    if (!CopyOne(source, file, destination, target))
        return false;

    const bool backedUp = sourceProcessor_ ? sourceProcessor_->Process(sourcePath) : true;
    const bool reported = destinationProcessor_ ? destinationProcessor_->Process(target) : true;
    sentFiles_.push_back(platform::UpperCaseAscii(platform::FileNamePart(target)));
    if (!backedUp || (itemSource != nullptr && itemSource->LeftNewer(sourcePath)))
        keptAfterDelivery_.insert(sourcePath);
    return backedUp && reported;
}

bool RadiantCopyItemFiles::KeptAfterDelivery(const FileInfo& file) const {
    return keptAfterDelivery_.count(file.directory + file.name) != 0;
}

// ---- RadiantPollerItemFileMaskHandler ----

RadiantPollerItemFileMaskHandler::RadiantPollerItemFileMaskHandler(
    CountedPtr<RadiantCopyItemFiles> transfer, CountedPtr<FileSystem> source,
    CountedPtr<FileSystem> destination, std::string directory, std::string mask)
    : FileMaskHandler(transfer, std::move(source), std::move(destination), std::move(directory),
                      std::move(mask)),
      itemTransfer_(std::move(transfer)) {}

std::vector<FileInfo> RadiantPollerItemFileMaskHandler::ListFiles(FileInfo* semaphore) {
    DirFileList list;
    source_->List(list, directory_, mask_, false);
    std::vector<FileInfo> files;
    for (const auto& [name, info] : list) {
        // A directory cannot be sent, whatever its name: offering it would only fail.
        if (info.isDirectory)
            continue;
        if (name == kSemaphoreFileName) {
            if (semaphore != nullptr)
                *semaphore = info;
        } else {
            files.push_back(info);
        }
    }
    std::sort(files.begin(), files.end(), [](const FileInfo& a, const FileInfo& b) {
        return platform::UpperCaseAscii(a.name) < platform::UpperCaseAscii(b.name);
    });
    return files;
}

bool RadiantPollerItemFileMaskHandler::DoPass() {
    bool result = transfer_->Begin();
    if (result) {
        const bool unannounced = itemTransfer_->FindUnannouncedDeliveries(*destination_);
        FileInfo leftSemaphore;
        const std::size_t sentBefore = itemTransfer_->SentFiles().size();
        for (const FileInfo& file : ListFiles(&leftSemaphore)) {
            TransferFile(file);
        }
        // Delivered, not "transferred without a fault": a file that reached the POS but
        // could not be backed up still needs the semaphore that announces it.
        const bool delivered = itemTransfer_->SentFiles().size() > sentBefore;
        if (delivered) {
            // Files whose copy failed get a second chance before the semaphore goes.
            for (const FileInfo& file : ListFiles(nullptr)) {
                if (!itemTransfer_->KeptAfterDelivery(file))
                    TransferFile(file);
            }
        }
        if (delivered || unannounced) {
            FileInfo semaphore;
            semaphore.directory = directory_;
            semaphore.name = kSemaphoreFileName;
            TransferFile(semaphore);
        } else if (!leftSemaphore.name.empty()) {
            // A semaphore whose own delivery failed goes as it was written.
            TransferFile(leftSemaphore);
        }
    }
    const bool ended = transfer_->End();
    return result && ended;
}

}  // namespace tw::radiant
