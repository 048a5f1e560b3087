#pragma once
// A Radiant site laid out as Ravelin leaves it, with POSIX paths: a program directory holding
// the site file of site 1, the site's data directory with an empty day history, and a POS
// directory beside them. Its settings are loaded.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "messages/ui_interfaces.h"
#include "platform/process.h"
#include "radiant/poll_monitor.h"
#include "settings/poll_hist.h"
#include "settings/radiant_setup.h"
#include "settings/site_file.h"
#include "support/scratch_dir.h"
#include "zip/unzipper.h"

namespace tw::test {

// Settings never start Ravelin here; an external archiver, when a test asks for one, gets a
// failure code, so the day folders stay to be looked at.
class RecordingLauncher : public platform::ProcessLauncher {
public:
    platform::ProcessOutcome Run(const std::vector<std::string>& argv,
                                 const platform::ProcessOptions&) override {
        calls.push_back(argv);
        platform::ProcessOutcome outcome;
        outcome.status = platform::ProcessOutcome::Status::Exited;
        outcome.exitCode = 255;
        return outcome;
    }
    std::vector<std::vector<std::string>> calls;
};

struct TestSite {
    explicit TestSite(int historySlots = 100) {
        std::filesystem::create_directories(program);
        std::filesystem::create_directories(data);
        std::filesystem::create_directories(pos);
        std::filesystem::create_directories(dir.Path() + "/logs");
        dir.Write("prog/RAVELIN.001",
                  FormatSiteFile(
                      {dir.Path() + "/site001", dir.Path() + "/tambor", dir.Path() + "/logs"}));
        EXPECT_TRUE(CreateHistoryFile(data + "POLHISTD.001", historySlots));
        setup = std::make_unique<RadiantSetup>(1, program, launcher);
        EXPECT_TRUE(setup->Load(false));
        setup->salesPath = pos;
        setup->importDestinationPath = dir.Path() + "/import";
        setup->sendItems = false;
        setup->useSevenZip = false;  // the day folders go into zip archives
    }

    ScratchDir dir;
    ScopedEnv lockDir{"TIDEWELL_LOCK_DIR", dir.Path()};
    const std::string program = dir.Path() + "/prog/";
    const std::string data = dir.Path() + "/site001/";
    const std::string pos = dir.Path() + "/pos/export";  // stored without a separator
    RecordingLauncher launcher;
    std::unique_ptr<RadiantSetup> setup;
};

// Runs one poll of the site, as the application does: a new monitor, its single pass. env
// (may be null) carries the file operations of the sales side.
inline void PollSite(TestSite& site, platform::FileEnv* env = nullptr) {
    HeadlessUiBridge bridge;
    radiant::JournalProcessingOptions options;
    options.archive.launcher = &site.launcher;
    options.env = env;
    CountedPtr<PollerWaiter> monitor =
        radiant::BuildRadiantPollMonitor(&bridge, *site.setup, {}, options);
    ASSERT_TRUE(monitor->Start());
    monitor->WaitForThread();
}

// Every event file of the data directory, by name: those in the day folders and the entries of
// the day archives (a name twice is an event filed twice). withSizes adds each file's size to its
// name ("name 1234"), so that a file that lost its bytes shows.
inline std::multiset<std::string> EventFileNames(const std::string& data, bool withSizes = false) {
    namespace fs = std::filesystem;
    std::multiset<std::string> names;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(data, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (it->is_regular_file() && name.rfind("jrn", 0) == 0 && name.ends_with(".xml")) {
            names.insert(withSizes ? name + " " + std::to_string(it->file_size()) : name);
        } else if (it->is_regular_file() && name.rfind("JRN", 0) == 0 && name.ends_with(".ZIP") &&
                   name.find("-ERR") == std::string::npos) {
            zip::CUnzipper reader;
            if (reader.OpenUnzip(it->path().string())) {
                reader.VisitEntries([&](const zip::ZipEntryInfo& entry) {
                    if (!entry.isDirectory) {
                        names.insert(withSizes
                                         ? entry.name + " " + std::to_string(entry.uncompressedSize)
                                         : entry.name);
                    }
                    return true;
                });
            }
        }
    }
    return names;
}

}  // namespace tw::test
