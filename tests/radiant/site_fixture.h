#pragma once
// A Radiant site laid out as Ravelin leaves it, with POSIX paths: a program directory holding
// the site file of site 1, the site's data directory with an empty day history, and a POS
// directory beside them. Its settings are loaded.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/process.h"
#include "settings/poll_hist.h"
#include "settings/radiant_setup.h"
#include "settings/site_file.h"
#include "support/scratch_dir.h"

namespace tw::test {

// Settings never start Ravelin here; the journal archiver gets a failure code, so the day
// folders stay to be looked at.
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
    }

    ScratchDir dir;
    ScopedEnv lockDir{"TIDEWELL_LOCK_DIR", dir.Path()};
    const std::string program = dir.Path() + "/prog/";
    const std::string data = dir.Path() + "/site001/";
    const std::string pos = dir.Path() + "/pos/export";  // stored without a separator
    RecordingLauncher launcher;
    std::unique_ptr<RadiantSetup> setup;
};

}  // namespace tw::test
