#include "radiant/poll_monitor.h"

#include <charconv>

#include "radiant/item_sender.h"
#include "radiant/results_reader.h"
#include "radiant/sales_intake.h"
#include "settings/radiant_setup.h"

namespace tw::radiant {
namespace {

using FileSystemMonitor::CopyDestinationFilesProcessor;
using Monitor::SingleWaiter;
using Monitor::WaitTimeoutHandler;

constexpr std::uint32_t kMainIntervalMs = 30000;
constexpr const char* kExportMask = "*.XML";
constexpr const char* kResultsMask = "ILG*.XML";

PosFileSystemSettings PosSettingsOf(const RadiantSetup& settings) {
    PosFileSystemSettings pos;
    pos.salesPath = settings.salesPath;
    pos.userName = settings.userName;
    pos.password = settings.password;
    pos.useRas = settings.useRas;
    pos.rasEntry = settings.rasEntry;
    pos.rasPhoneNumber = settings.rasPhoneNumber;
    pos.rasCallbackNumber = settings.rasCallbackNumber;
    pos.rasUserName = settings.rasUserName;
    pos.rasPassword = settings.rasPassword;
    pos.rasDomain = settings.rasDomain;
    pos.rasLoginRetries = settings.rasLoginRetries;
    return pos;
}

template <typename T, typename... Args>
CountedPtr<T> Make(Args&&... args) {
    return MakeCounted<T>(std::forward<Args>(args)...);
}

}  // namespace

double NaxmlVersionNumber(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return 0.0;
    double value = 0.0;
    const char* begin = text.data() + first;
    const auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
    return error == std::errc() ? value : 0.0;
}

CountedPtr<PollerWaiter> BuildRadiantPollMonitor(UiBridge* notify, RadiantSetup& settings,
                                                 const RasAutomationFactory& createRas,
                                                 const JournalProcessingOptions& options) {
    const std::string dataDirectory = settings.LocalDataDirectory();
    const auto site = static_cast<std::int16_t>(settings.SiteNumber());
    const bool deleteSource = settings.deletePOSSourceFile;

    platform::FileEnv* env = options.env;
    // The data directory's record of received files that are not filed yet: the sales copy
    // adds to it, journal processing takes up and forgets what it lists.
    auto received = std::make_shared<ReceivedList>(
        env != nullptr ? *env : platform::DefaultFileEnv(), dataDirectory, site);
    // 1. The back office: A for sales, B for the sender, and one for the reader of its own.
    CountedPtr<FileSystem> backOfficeA(new LocalWinFileSystem(settings.Resolver(), env));
    CountedPtr<FileSystem> backOfficeB(new LocalWinFileSystem(settings.Resolver()));
    CountedPtr<FileSystem> backOfficeResults(new LocalWinFileSystem(settings.Resolver()));
    // 2-4. The processors on the back-office side.
    auto salesProcessor = Make<RadiantDestinationSalesFilesProcessor>(
        backOfficeA, dataDirectory, site, settings.journalName, settings.useSevenZip, options,
        received);
    auto itemSourceProcessor =
        Make<RadiantItemSourceFilesProcessor>(backOfficeB, settings.Resolver());
    auto resultsProcessor =
        Make<RadiantDestinationResultsFilesProcessor>(backOfficeResults, dataDirectory, site);
    // 5. The POS side: one file system (and dial-up connector) per side.
    const PosFileSystemSettings pos = PosSettingsOf(settings);
    CountedPtr<FileSystem> posSales = MakePosFileSystem(pos, settings.Resolver(), createRas);
    CountedPtr<FileSystem> posItems =
        MakePosFileSystem(settings.importDestinationPath, pos, settings.Resolver(), createRas);
    CountedPtr<FileSystem> posResults =
        MakePosFileSystem(settings.importDestinationPath, pos, settings.Resolver(), createRas);
    // 6. One pass at once; the interval never elapses in a single-pass monitor.
    auto mainWait = Make<WaitTimeoutHandler>(kMainIntervalMs, true);
    // 7. Source processors of the POS side. The sales copy lets its processor delete a POS
    // file only once the received copy is durable and complete.
    auto salesSource = Make<FileSystemMonitor::CopySourceFilesProcessor>(posSales, deleteSource);
    auto resultsSource = Make<RadiantPosSourceFilesProcessor>(posResults, deleteSource,
                                                              settings.LocalDataDirectory());
    // 8-9. The copies into the data directory.
    auto salesTransfer =
        Make<RadiantCopySalesFiles>(salesSource, salesProcessor, dataDirectory, received, env);
    auto resultsTransfer =
        Make<RadiantCopyResultsFiles>(resultsSource, resultsProcessor, dataDirectory);
    // 10. The two waiters of each pass run their pass at once.
    auto itemWait = Make<WaitTimeoutHandler>(0, true);
    auto resultsWait = Make<WaitTimeoutHandler>(0, true);
    // 11-12. The copy into the POS's import directory.
    std::string importDirectory = settings.importDestinationPath;
    posItems->AddSeparator(importDirectory);
    auto itemDestination = Make<CopyDestinationFilesProcessor>(posItems);
    auto itemTransfer =
        Make<RadiantCopyItemFiles>(itemSourceProcessor, itemDestination, importDirectory,
                                   NaxmlVersionNumber(settings.naxmlVersion));
    // 13-14. The handlers of the two waiters connect their sides at every pass.
    auto itemHandler = Make<RadiantPollerItemFileMaskHandler>(itemTransfer, backOfficeB, posItems,
                                                              dataDirectory, kExportMask);
    itemHandler->connectSourceEachPass = itemHandler->connectDestinationEachPass = true;
    std::string resultsDirectory = settings.importDestinationPath;
    posResults->AddSeparator(resultsDirectory);
    auto resultsHandler = Make<RadiantPollerResultsFileMaskHandler>(
        resultsTransfer, posResults, backOfficeResults, resultsDirectory, kResultsMask);
    resultsHandler->connectSourceEachPass = resultsHandler->connectDestinationEachPass = true;
    // 15-16. Single-pass waiters on threads of their own.
    CountedPtr<Monitor::Waiter> itemWaiter(new SingleWaiter(itemWait, itemHandler));
    itemWaiter->SetSinglePass(true);
    CountedPtr<Monitor::Waiter> resultsWaiter(new SingleWaiter(resultsWait, resultsHandler));
    resultsWaiter->SetSinglePass(true);
    // 17. The sales handler connects its sides once, at the start of the monitor.
    auto salesHandler = Make<RadiantPollerFileMaskHandler>(
        salesTransfer, posSales, backOfficeA, settings.salesPath, kExportMask, itemWaiter,
        resultsWaiter, settings.receiveSales, settings.sendItems, deleteSource,
        settings.exSalesPath, &settings);
    salesHandler->connectSourceAtStart = salesHandler->connectDestinationAtStart = true;
    // 18-19. The monitor itself, single pass.
    CountedPtr<PollerWaiter> monitor(new PollerWaiter(notify, mainWait, salesHandler));
    monitor->SetSinglePass(true);
    return monitor;
}

}  // namespace tw::radiant
