#include "radiant/sales_intake.h"

#include <algorithm>
#include <vector>

#include "messages/program_messages.h"
#include "platform/finally.h"
#include "platform/paths.h"
#include "platform/text_file.h"
#include "platform/wildcard.h"
#include "radiant/journal_processing.h"
#include "radiant/journal_split.h"
#include "settings/radiant_setup.h"

namespace tw::radiant {
namespace {

constexpr double kHalfSecond = 0.5 / 86400.0;

// The back office's own files in the data directory, by exact name (any case).
constexpr const char* kBackOfficeFileNames[] = {"ITT.XML", "MCT.XML", "ILT.XML", "CBT.XML",
                                                "MMT.XML", "SEM.XML", "ILG.XML"};

bool EndsInXml(const std::string& name) {
    return name.size() >= 3 && platform::UpperCaseAscii(name.substr(name.size() - 3)) == "XML";
}

bool Later(const platform::OleDate& a, const platform::OleDate& b) {
    return a.IsValid() && (!b.IsValid() || a.DaysSince(b) > 0);
}

std::string TrimmedBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

bool IsBackOfficeFileName(std::string_view name) {
    const std::string upper = platform::UpperCaseAscii(name);
    for (const char* own : kBackOfficeFileNames) {
        if (upper == own)
            return true;
    }
    return upper.ends_with("BAK.XML") || IsSlotFileName(upper);
}

// ---- RadiantCopySalesFiles ----

RadiantCopySalesFiles::RadiantCopySalesFiles(CountedPtr<Monitor::ProcessData> sourceProcessor,
                                             CountedPtr<Monitor::ProcessData> destinationProcessor,
                                             std::string dataDirectory,
                                             std::shared_ptr<ReceivedList> received,
                                             platform::FileEnv* env)
    : CopyFiles(std::move(sourceProcessor), std::move(destinationProcessor),
                platform::AddSeparator(dataDirectory), false, false, false),
      received_(std::move(received)),
      env_(env != nullptr ? *env : platform::DefaultFileEnv()) {
    if (!received_)
        received_ = std::make_shared<ReceivedList>(env_, destinationDirectory_, 0);
}

bool RadiantCopySalesFiles::ShouldTransfer(FileSystem& /*source*/, const FileInfo& file,
                                           FileSystem& /*destination*/) {
    // A directory named like an export ("OLD.XML") cannot be copied; offering it would fail
    // the pass on every poll.
    return !file.isDirectory && EndsInXml(file.name);
}

void RadiantCopySalesFiles::SplitDestinations(const std::string& path,
                                              std::vector<std::string>& pieces) {
    pieces.assign(1, path);
}

bool RadiantCopySalesFiles::TransferFile(FileSystem& source, const FileInfo& file,
                                         FileSystem& destination) {
    const Outcome outcome = Receive(source, file, destination);
    return outcome != Outcome::Refused && outcome != Outcome::Failed;
}

void RadiantCopySalesFiles::PreparePass() {
    RemoveLeftOverPartialFiles(env_, destinationDirectory_);
}

RadiantCopySalesFiles::Outcome RadiantCopySalesFiles::Refuse(const FileInfo& file,
                                                             const char* why) {
    FormatMessageTo(errorMessages(), "%s is not received: %s", file.Path().c_str(), why);
    return Outcome::Refused;
}

RadiantCopySalesFiles::Outcome RadiantCopySalesFiles::Receive(FileSystem& source,
                                                              const FileInfo& file,
                                                              FileSystem& destination) {
    if (!ShouldTransfer(source, file, destination))
        return Outcome::Skipped;
    if (file.isSpecial)
        return Refuse(file, "it is not a regular file.");
    // The name becomes one file name in the data directory and nothing else.
    if (!platform::IsSafeFileName(file.name))
        return Refuse(file, "its name cannot be a file name in the data directory.");
    if (IsBackOfficeFileName(file.name))
        return Refuse(file, "the back office gives its own files that name.");
    const std::string target = destinationDirectory_ + file.name;
    platform::PathStatus existing;
    const bool targetExists = env_.Stat(target, existing, nullptr);
    if (targetExists && received_->Contains(file.name))
        return Refuse(file, "the copy received earlier is not filed yet.");

    auto temp = platform::TempFile::Create("FS");
    if (!temp) {
        FormatMessageTo(errorMessages(), "Unable create temp file at %s",
                        platform::TemporaryDirectory().c_str());
        return Outcome::Failed;
    }
    temp->Close();
    if (!FetchToLocal(source, file, temp->Path()))
        return Outcome::Failed;
    if (targetExists) {
        // Only a copy of this very file may be there: one received by a pass stopped before it
        // could record it. Anything else belongs to the back office.
        if (!platform::SameFileContent(env_, temp->Path(), target))
            return Refuse(file, "the data directory holds another file of that name.");
        if (!received_->Add(file.name))
            return Outcome::Failed;
    } else {
        // Recorded before it lands: whatever happens next, the next pass knows it is ours.
        if (!received_->Add(file.name) ||
            !DeliverFromLocal(destination, file, temp->Path(), target))
            return Outcome::Failed;
        if (!source.KeepsFileTimes() && file.modified.IsValid())
            destination.SetFileTime(target, file.modified);
    }
    const bool complete = SurveyXmlFile(target).wellFormed;
    if (destinationProcessor_ && !destinationProcessor_->Process(target))
        return Outcome::Failed;
    if (!complete) {
        FormatMessageTo(logMessages(), "%s stays on the POS: the copy received is not complete.",
                        file.Path().c_str());
        return Outcome::Incomplete;
    }
    // Only now, with the copy durable and complete, may the POS's copy go.
    if (sourceProcessor_)
        sourceProcessor_->Process(file.Path());
    return Outcome::Received;
}

// ---- RadiantPosSourceFilesProcessor ----

RadiantPosSourceFilesProcessor::RadiantPosSourceFilesProcessor(CountedPtr<FileSystem> fileSystem,
                                                               bool deleteSource,
                                                               std::string localDataDirectory)
    : CopySourceFilesProcessor(std::move(fileSystem), deleteSource),
      localDataDirectory_(std::move(localDataDirectory)) {}

bool RadiantPosSourceFilesProcessor::DeleteSourceFile(const std::string& path) {
    const std::string received = localDataDirectory_ + std::string(platform::FileNamePart(path));
    if (!SurveyXmlFile(received).wellFormed) {
        FormatMessageTo(logMessages(), "%s stays on the POS: the copy received is not complete.",
                        path.c_str());
        return false;
    }
    return CopySourceFilesProcessor::DeleteSourceFile(path);
}

bool IsNewFile(const FileInfo& entry, const platform::OleDate& start) {
    const bool ack = platform::UpperCaseAscii(entry.name).find("ACK") != std::string::npos;
    if (ack || !start.IsValid() || !entry.modified.IsValid())
        return true;
    std::time_t fileEarliest = 0, fileLatest = 0, startEarliest = 0, startLatest = 0;
    if (!entry.modified.ToFileTimeRange(fileEarliest, fileLatest) ||
        !start.ToFileTimeRange(startEarliest, startLatest)) {
        return entry.modified.DaysSince(start) > kHalfSecond;
    }
    // Passed over only when even its latest possible instant is not after start's earliest.
    return fileLatest > startEarliest;
}

// ---- RadiantPollerFileMaskHandler ----

RadiantPollerFileMaskHandler::RadiantPollerFileMaskHandler(
    CountedPtr<RadiantCopySalesFiles> transfer, CountedPtr<FileSystem> source,
    CountedPtr<FileSystem> destination, std::string salesPath, std::string mask,
    CountedPtr<Monitor::Waiter> itemWaiter, CountedPtr<Monitor::Waiter> resultsWaiter,
    bool receiveSales, bool sendItems, bool deletePOSSourceFile, std::string secondPath,
    RadiantSetup* settings)
    : FileMaskHandler(transfer, std::move(source), std::move(destination), std::move(salesPath),
                      std::move(mask)),
      salesTransfer_(std::move(transfer)),
      itemWaiter_(std::move(itemWaiter)),
      resultsWaiter_(std::move(resultsWaiter)),
      receiveSales_(receiveSales),
      sendItems_(sendItems),
      deletePOSSourceFile_(deletePOSSourceFile),
      secondPath_(std::move(secondPath)),
      settings_(settings) {}

bool RadiantPollerFileMaskHandler::DoPass() {
    // Before the waiters start: the sender writes its semaphore into the data directory.
    if (receiveSales_)
        salesTransfer_->PreparePass();
    bool result = true;
    const bool runItems = sendItems_ && itemWaiter_;
    if (runItems && !itemWaiter_->Start())
        result = false;
    if (resultsWaiter_ && !resultsWaiter_->Start())
        result = false;
    // The waiters use their own objects only; they are waited for whatever the sales side does.
    Finally waitForWaiters([&] {
        if (runItems)
            itemWaiter_->WaitForThread();
        if (resultsWaiter_)
            resultsWaiter_->WaitForThread();
    });
    if (receiveSales_) {
        const bool received = TransferSales();
        result = result && received;
    }
    return result;
}

RadiantPollerFileMaskHandler::Offered RadiantPollerFileMaskHandler::OfferDirectory(
    const std::string& directory, const platform::OleDate& start, bool secondPath) {
    Offered offered;
    offered.newest = start;
    std::string path = directory;
    source_->AddSeparator(path);
    DirFileList list;
    if (!source_->List(list, path, mask_, false) && !source_->GetLastErrorText().empty()) {
        // An empty directory is fine; one that is missing or cannot be read is not.
        SendMessageText(errorMessages(), source_->GetLastErrorText());
        offered.ok = false;
        return offered;
    }
    if (secondPath && !list.Empty()) {
        FormatMessageTo(logMessages(), "Receiving files from 2nd path, %s", directory.c_str());
    }

    std::vector<const FileInfo*> entries;
    for (const auto& [name, info] : list) entries.push_back(&info);
    // Oldest first (files without a time before all others), so that FileDateTime can follow.
    std::sort(entries.begin(), entries.end(), [](const FileInfo* a, const FileInfo* b) {
        const double at = a->modified.IsValid() ? a->modified.LinearDays() : -1e18;
        const double bt = b->modified.IsValid() ? b->modified.LinearDays() : -1e18;
        return at != bt ? at < bt : a->name < b->name;
    });

    std::vector<platform::OleDate> received;
    bool anyHeldBack = false;
    platform::OleDate firstHeldBack = platform::OleDate::Invalid();
    for (const FileInfo* entry : entries) {
        if (!deletePOSSourceFile_ && !IsNewFile(*entry, start))
            continue;
        using Outcome = RadiantCopySalesFiles::Outcome;
        const Outcome outcome = salesTransfer_->Receive(*source_, *entry, *destination_);
        if (outcome == Outcome::Refused || outcome == Outcome::Failed)
            offered.ok = false;
        if (outcome == Outcome::Received) {
            if (entry->modified.IsValid())
                received.push_back(entry->modified);
        } else if (outcome != Outcome::Skipped && !entry->isSpecial && !anyHeldBack) {
            // Not received, to be offered again: FileDateTime must stay before it. (What is
            // not a regular file is never taken, so it holds nothing back.)
            anyHeldBack = true;
            firstHeldBack = entry->modified;
        }
    }
    if (deletePOSSourceFile_)
        return offered;
    for (const auto& time : received) {
        // A file received with (about) the same time as one held back must not carry
        // FileDateTime up to it; without a time, what was held back holds everything back.
        if (anyHeldBack &&
            (!firstHeldBack.IsValid() || time.DaysSince(firstHeldBack) >= -kHalfSecond)) {
            continue;
        }
        if (Later(time, offered.newest))
            offered.newest = time;
    }
    return offered;
}

bool RadiantPollerFileMaskHandler::TransferSales() {
    // Begin takes up what earlier passes received but did not file.
    if (!transfer_->Begin())
        return false;
    const platform::OleDate start =
        settings_ != nullptr ? settings_->FileDateTime() : DefaultFileDateTime();

    const Offered first = OfferDirectory(directory_, start, false);
    bool ok = first.ok;
    if (settings_ != nullptr && Later(first.newest, start)) {
        settings_->SetFileDateTime(first.newest);
        if (!settings_->SaveFileDateTime()) {
            SendMessageText(errorMessages(), "Unable to save poller settings.");
        }
    }

    const std::string second = TrimmedBlanks(secondPath_);
    if (!second.empty()) {
        // The second path's times are not stored: FileDateTime follows the sales path only. A
        // failure on the sales path stays a failure.
        const Offered more = OfferDirectory(second, start, true);
        ok = ok && more.ok;
    }

    const bool ended = transfer_->End();
    return ok && ended;
}

}  // namespace tw::radiant
