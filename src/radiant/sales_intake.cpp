#include "radiant/sales_intake.h"

#include <algorithm>
#include <vector>

#include "app/messages/program_messages.h"
#include "platform/finally.h"
#include "platform/paths.h"
#include "radiant/journal_split.h"
#include "settings/radiant_setup.h"

namespace tw::radiant {
namespace {

constexpr double kHalfSecond = 0.5 / 86400.0;

bool EndsInXml(const std::string& name) {
    if (name.size() < 3)
        return false;
    std::string last = name.substr(name.size() - 3);
    std::transform(last.begin(), last.end(), last.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return last == "XML";
}

bool NameHoldsAck(const std::string& name) {
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper.find("ACK") != std::string::npos;
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

// ---- RadiantCopySalesFiles ----

RadiantCopySalesFiles::RadiantCopySalesFiles(CountedPtr<Monitor::ProcessData> sourceProcessor,
                                             CountedPtr<Monitor::ProcessData> destinationProcessor,
                                             std::string dataDirectory)
    : CopyFiles(std::move(sourceProcessor), std::move(destinationProcessor),
                std::move(dataDirectory), false, false, false) {}

bool RadiantCopySalesFiles::ShouldTransfer(FileSystem& /*source*/, const FileInfo& file,
                                           FileSystem& /*destination*/) {
    // A directory named like an export ("OLD.XML") cannot be copied; offering it would fail
    // the pass on every poll.
    return !file.isDirectory && EndsInXml(file.name);
}

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
    if (NameHoldsAck(entry.name))
        return true;
    if (!start.IsValid() || !entry.modified.IsValid())
        return true;
    return entry.modified.DaysSince(start) > kHalfSecond;
}

// ---- RadiantPollerFileMaskHandler ----

RadiantPollerFileMaskHandler::RadiantPollerFileMaskHandler(
    CountedPtr<FileSystemMonitor::CopyFiles> transfer, CountedPtr<FileSystem> source,
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
    offered.anyListed = source_->List(list, path, mask_, false);
    if (secondPath && offered.anyListed) {
        FormatMessageTo(logMessages(), "Receiving files from 2nd path, %s", directory.c_str());
    }

    std::vector<const FileInfo*> entries;
    for (const auto& [name, info] : list) entries.push_back(&info);
    // Oldest first (files without a time before all others), so that a failure leaves every
    // later file for the next pass.
    std::sort(entries.begin(), entries.end(), [](const FileInfo* a, const FileInfo* b) {
        const double at = a->modified.IsValid() ? a->modified.LinearDays() : -1e18;
        const double bt = b->modified.IsValid() ? b->modified.LinearDays() : -1e18;
        return at != bt ? at < bt : a->name < b->name;
    });

    std::vector<platform::OleDate> received;
    const FileInfo* failed = nullptr;
    for (const FileInfo* entry : entries) {
        if (!deletePOSSourceFile_ && !IsNewFile(*entry, start))
            continue;
        const bool taken = salesTransfer_->ShouldTransfer(*source_, *entry, *destination_);
        if (!TransferFile(*entry)) {
            failed = entry;
            offered.ok = false;
            break;
        }
        if (taken && entry->modified.IsValid())
            received.push_back(entry->modified);
    }
    if (deletePOSSourceFile_)
        return offered;
    for (const auto& time : received) {
        // A file received with the same time as the one that failed must not carry
        // FileDateTime past the failed one.
        if (failed != nullptr && failed->modified.IsValid() &&
            time.DaysSince(failed->modified) >= -kHalfSecond) {
            continue;
        }
        if (Later(time, offered.newest))
            offered.newest = time;
    }
    return offered;
}

bool RadiantPollerFileMaskHandler::TransferSales() {
    if (!transfer_->Begin())
        return false;
    const platform::OleDate start =
        settings_ != nullptr ? settings_->FileDateTime() : DefaultFileDateTime();

    const Offered first = OfferDirectory(directory_, start, false);
    bool ok = first.ok;
    if (settings_ != nullptr && Later(first.newest, start)) {
        settings_->SetFileDateTime(first.newest);
        if (!settings_->SaveSettings()) {
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
