// tidewell-pass: runs one pass of the Radiant poll monitor (sales, and maintenance sent to and
// results read from the POS's import directory), headless, prints what it did and logs it to
// the site's POLL.LOG as Tidewell does; or splits one journal, for the benchmark.

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "messages/program_messages.h"
#include "messages/ui_interfaces.h"
#include "naxml/maintenance/maintenance_writers.h"
#include "naxml/maintenance/pending_deletions.h"
#include "platform/file_env.h"
#include "platform/text_file.h"
#include "platform/version.h"
#include "radiant/journal_split.h"
#include "radiant/poll_monitor.h"
#include "settings/poll_hist.h"
#include "settings/radiant_setup.h"
#include "settings/site_file.h"

namespace {

namespace fs = std::filesystem;
using namespace tw;

constexpr const char* kHelp =
    R"(tidewell-pass - one pass of the Radiant poll monitor, headless

Usage:
  tidewell-pass run --program DIR [--site N] [--quiet] [--line-buffered]
  tidewell-pass run --pos DIR --data DIR [--site N] [--keep-pos-files] [--7z]
                    [--journal-name NAME] [--import DIR [--naxml-version V]] [--no-sales]
                    [--quiet] [--line-buffered]
  tidewell-pass split JOURNAL DATA_DIR [--quiet]
  tidewell-pass history FILE [--slots N]
  tidewell-pass departments DATA_DIR [--site N] CODE=NAME...
  tidewell-pass --help | --version

--quiet leaves out the line per event file and per archive entry. --line-buffered writes
every line out at once, so that a pass killed half-way has printed all it did (the crash
harness reads the last line).

run     builds the site's poll monitor and runs its single pass: fetches the POS's exports,
        splits the journals into event files, ties the files to the day history's sales
        sequences and archives the day folders; prints every report and a summary.
        With --program, the site's settings are read as Tidewell reads them. With --pos and
        --data, an ad-hoc site is set up in a temporary program directory: SalesPath DIR, the
        data directory DIR (a day history of 100 slots is made there when missing), POS copies
        deleted unless --keep-pos-files, zip archives unless --7z. Nothing is sent to the POS
        unless --import names its import directory: then SendItems is on, the maintenance
        files of the data directory are delivered there with their semaphore (NaxmlVersion V,
        default 3.3), and the POS's results files are read back from it. --no-sales turns
        ReceiveSales off. Every error and log report also goes to POLL.LOG in the site's log
        directory (the data directory for an ad-hoc site).
split   splits one journal into DATA_DIR/MM/jrnMMDD/ (and syncs them to disk, as a pass does
        before it files the journal) and prints the count and the time taken.
history makes an empty poll history file of N slots (default 100), as a back-office
        installation provides it (Tidewell itself never creates one).
departments  writes a department maintenance file DATA_DIR/MCT.XML, ready to be sent.

Exit status: 0 done, 1 something was reported as an error, 2 usage error.
)";

// Prints every report with the name of its channel and counts the kinds of progress.
class PrintingMessage : public Message {
public:
    // log (may be null, must outlive the object) also receives every text.
    PrintingMessage(const char* channel, bool quiet, Message* log = nullptr)
        : channel_(channel), quiet_(quiet), log_(log) {}
    void Output(const std::string& text) override {
        if (log_ != nullptr)
            SendMessageText(*log_, text);
        std::lock_guard lock(mutex_);
        for (const char* kind : {"Split to: ", "Assigned ", "Removed: ", "Transfered ",
                                 "NAXML Maintenance Results file: Assigned "}) {
            if (text.rfind(kind, 0) == 0)
                ++counts_[kind];
        }
        // Quiet: no line per event file, nor the archiver's line per entry.
        if (quiet_ && (text.rfind("Split to: ", 0) == 0 || std::string(channel_) == "screen")) {
            return;
        }
        std::printf("%-8s %s\n", channel_, text.c_str());
    }
    int CountOf(const char* kind) {
        std::lock_guard lock(mutex_);
        return counts_[kind];
    }

private:
    const char* channel_;
    bool quiet_;
    Message* log_;
    std::mutex mutex_;
    std::map<std::string, int> counts_;
};

struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    bool Has(const std::string& name) const { return values.count(name) != 0; }
    std::string Get(const std::string& name, const std::string& fallback = "") const {
        const auto found = values.find(name);
        return found == values.end() ? fallback : found->second;
    }
};

int Usage(const std::string& message) {
    std::fprintf(stderr, "tidewell-pass: %s\nTry 'tidewell-pass --help'.\n", message.c_str());
    return 2;
}

std::optional<Arguments> Parse(int argc, char** argv, std::string& error) {
    static const char* const kFlags[] = {"quiet",         "keep-pos-files", "7z",     "no-sales",
                                         "line-buffered", "help",           "version"};
    static const char* const kValued[] = {"program",      "site",   "pos",           "data",
                                          "journal-name", "import", "naxml-version", "slots"};
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0) {
            arguments.positional.push_back(arg);
            continue;
        }
        const std::string name = arg.substr(2);
        if (std::find(std::begin(kFlags), std::end(kFlags), name) != std::end(kFlags)) {
            arguments.values[name] = "1";
        } else if (std::find(std::begin(kValued), std::end(kValued), name) != std::end(kValued)) {
            if (i + 1 >= argc) {
                error = "--" + name + " needs a value";
                return std::nullopt;
            }
            arguments.values[name] = argv[++i];
        } else {
            error = "unknown option " + arg;
            return std::nullopt;
        }
    }
    return arguments;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

int Split(const Arguments& arguments, bool quiet) {
    if (arguments.positional.size() != 3)
        return Usage("split needs JOURNAL and DATA_DIR");
    const std::string journal = arguments.positional[1];
    const std::string data = platform::AddSeparator(arguments.positional[2]);
    PrintingMessage error("error", quiet), log("log", quiet);
    ScopedProgramMessages installed(ProgramMessages{&error, &log, nullptr, nullptr, nullptr});
    std::error_code ignored;
    fs::create_directories(data, ignored);

    const auto start = std::chrono::steady_clock::now();
    const radiant::XmlFileSurvey survey = radiant::SurveyXmlFile(journal);
    if (!survey.wellFormed) {
        std::printf("error    %s\n", FormatXmlParseError(survey.error).c_str());
        return 1;
    }
    radiant::JournalSplitter splitter(data);
    const radiant::JournalHeaderTimes times = splitter.Split(journal, survey);
    // As a pass does before it files the journal: the event files on disk, with one sync.
    int syncError = 0;
    if (!platform::DefaultFileEnv().SyncFileSystem(data, &syncError)) {
        std::printf("error    Unable to flush %s to disk: %s\n", data.c_str(),
                    SystemErrorText(syncError).c_str());
        return 1;
    }
    std::printf("split    %d event files written, %d not written, in %.3f s; journal ends %s\n",
                splitter.EventsWritten(), splitter.EventsRefused() + splitter.EventsFailed(),
                Seconds(start),
                times.endTime.IsValid() ? times.endTime.Format().c_str() : "(invalid)");
    return error.Count() > 0 ? 1 : 0;
}

// Writes a program directory whose site file points at the data directory.
bool MakeAdHocSite(const std::string& program, int site, const std::string& data) {
    std::error_code error;
    fs::create_directories(program, error);
    fs::create_directories(data, error);
    char name[32];
    std::snprintf(name, sizeof name, "RAVELIN.%03d", site);
    const std::string siteFile = FormatSiteFile({data, data, data});
    if (!platform::WriteFileAtomically(program + name, siteFile))
        return false;
    char history[32];
    std::snprintf(history, sizeof history, "POLHISTD.%03d", site);
    const std::string historyPath = platform::AddSeparator(data) + history;
    std::string reason;
    if (!fs::exists(historyPath) && !CreateHistoryFile(historyPath, 100, &reason)) {
        std::fprintf(stderr, "tidewell-pass: cannot make %s: %s\n", historyPath.c_str(),
                     reason.c_str());
        return false;
    }
    return true;
}

int Run(const Arguments& arguments, bool quiet) {
    const int site = std::atoi(arguments.Get("site", "1").c_str());
    if (site < 1 || site > 999)
        return Usage("--site must be 1 to 999");
    const bool adHoc = arguments.Has("pos");
    if (adHoc == arguments.Has("program"))
        return Usage("give --program, or --pos and --data");
    if (adHoc && !arguments.Has("data"))
        return Usage("--pos needs --data");
    if (!adHoc &&
        (arguments.Has("import") || arguments.Has("no-sales") || arguments.Has("naxml-version")))
        return Usage("--import, --naxml-version and --no-sales go with --pos");

    std::string program = arguments.Get("program");
    std::error_code ignored;
    if (adHoc) {
        program = platform::TemporaryDirectory() + "/tidewell-pass-" +
                  std::to_string(std::random_device()()) + "/";
        const std::string data = fs::absolute(arguments.Get("data")).string();
        if (!MakeAdHocSite(program, site, data))
            return 1;
    }

    // POLL.LOG is pointed at the site's log directory once the settings are read.
    LogMessage pollLog(262144, 0.5);  // as Tidewell keeps it
    PrintingMessage error("error", quiet, &pollLog), log("log", quiet, &pollLog),
        screen("screen", quiet), status("status", true), version("pos-ver", quiet);
    ScopedProgramMessages installed(ProgramMessages{&error, &log, &screen, &status, &version});

    RadiantSetup setup(site, program);
    setup.SetUnattended(true);
    int result = 0;
    if (!setup.Load(false)) {
        result = 1;
    } else {
        pollLog.SetPath(setup.LogFilePath("POLL.LOG"));
        pollLog.SetSiteNumber(static_cast<std::int16_t>(site));
        if (adHoc) {
            setup.salesPath = fs::absolute(arguments.Get("pos")).string();
            setup.exSalesPath.clear();
            setup.importDestinationPath = arguments.Has("import")
                                              ? fs::absolute(arguments.Get("import")).string()
                                              : setup.salesPath;
            setup.receiveSales = !arguments.Has("no-sales");
            setup.sendItems = arguments.Has("import");
            setup.naxmlVersion = arguments.Get("naxml-version", "3.3");
            setup.deletePOSSourceFile = !arguments.Has("keep-pos-files");
            setup.useSevenZip = arguments.Has("7z");
            setup.journalName = arguments.Get("journal-name");
        }
        std::printf(
            "pass     site %d, sales path %s%s, data directory %s, import directory "
            "%s%s\n",
            site, setup.salesPath.c_str(), setup.receiveSales ? "" : " (not polled)",
            setup.LocalDataDirectory().c_str(), setup.importDestinationPath.c_str(),
            setup.sendItems ? "" : " (nothing sent)");
        const auto start = std::chrono::steady_clock::now();
        HeadlessUiBridge bridge;
        CountedPtr<PollerWaiter> monitor =
            radiant::BuildRadiantPollMonitor(&bridge, setup, RasAutomationFactory());
        if (!monitor->Start()) {
            SendMessageText(error, "Unable to start monitor.");
        } else {
            monitor->WaitForThread();
        }
        std::printf(
            "summary  %d event files split, %d files assigned to slots, %d removed, %d "
            "files delivered to the POS, %d results files read, %d errors, pass result %d, "
            "%.3f s\n",
            log.CountOf("Split to: "), log.CountOf("Assigned "), log.CountOf("Removed: "),
            log.CountOf("Transfered "), log.CountOf("NAXML Maintenance Results file: Assigned "),
            error.Count(), monitor->LastResult(), Seconds(start));
        result = error.Count() > 0 || monitor->LastResult() != Monitor::kSuccess ? 1 : 0;
    }
    if (adHoc)
        fs::remove_all(program, ignored);
    return result;
}

int History(const Arguments& arguments) {
    if (arguments.positional.size() != 2)
        return Usage("history needs FILE");
    int slots = 0;
    const std::string text = arguments.Get("slots", "100");
    std::from_chars(text.data(), text.data() + text.size(), slots);
    std::string error;
    if (!CreateHistoryFile(arguments.positional[1], slots, &error)) {
        std::fprintf(stderr, "tidewell-pass: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

int Departments(const Arguments& arguments) {
    if (arguments.positional.size() < 3)
        return Usage("departments needs DATA_DIR and CODE=NAME");
    naxml::MaintenanceSite site;
    site.directory = platform::AddSeparator(arguments.positional[1]);
    site.siteNumber = std::atoi(arguments.Get("site", "1").c_str());
    std::vector<naxml::DepartmentRow> rows;
    for (std::size_t i = 2; i < arguments.positional.size(); ++i) {
        const std::string& pair = arguments.positional[i];
        const auto eq = pair.find('=');
        if (eq == std::string::npos)
            return Usage("departments are CODE=NAME, not " + pair);
        rows.push_back({pair.substr(0, eq), pair.substr(eq + 1)});
    }
    PrintingMessage error("error", false), log("log", false);
    ScopedProgramMessages installed(ProgramMessages{&error, &log, nullptr, nullptr, nullptr});
    naxml::PendingDeletions none;
    return naxml::SaveDepartmentFile(site, rows, none) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto arguments = Parse(argc, argv, error);
    if (!arguments)
        return Usage(error);
    if (arguments->Has("help")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (arguments->Has("version")) {
        std::fputs(platform::VersionText("tidewell-pass").c_str(), stdout);
        return 0;
    }
    if (arguments->positional.empty())
        return Usage("give a command: run or split");
    const bool quiet = arguments->Has("quiet");
    if (arguments->Has("line-buffered"))
        std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::string& command = arguments->positional[0];
    if (command == "split")
        return Split(*arguments, quiet);
    if (command == "run")
        return Run(*arguments, quiet);
    if (command == "history")
        return History(*arguments);
    if (command == "departments")
        return Departments(*arguments);
    return Usage("unknown command " + command);
}
