#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "messages/ui_interfaces.h"
#include "naxml/maintenance/maintenance_writers.h"
#include "radiant/item_sender.h"
#include "radiant/poll_monitor.h"
#include "site_fixture.h"
#include "support/recording_messages.h"

namespace tw::radiant {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::IsEmpty;
using ::testing::Not;

// Maintenance going to the POS and results coming back over whole polls, with the POS's import
// side played by the simulator.
class MaintenanceExchange : public ::testing::Test {
protected:
    MaintenanceExchange() {
        fs::create_directories(import);
        site.setup->importDestinationPath = import;
        site.setup->sendItems = true;
        site.setup->receiveSales = false;
        site.setup->deletePOSSourceFile = true;
        site.setup->naxmlVersion = "3.3";
    }

    void Poll() {
        HeadlessUiBridge bridge;
        JournalProcessingOptions options;
        options.archive.launcher = &site.launcher;
        CountedPtr<PollerWaiter> monitor =
            BuildRadiantPollMonitor(&bridge, *site.setup, {}, options);
        ASSERT_TRUE(monitor->Start());
        monitor->WaitForThread();
        EXPECT_EQ(monitor->LastResult(), Monitor::kSuccess);
    }

    // The POS imports what the semaphore lists; LHSITEDB rejects every second record.
    void PosResponds() {
#ifdef TW_POSSIM
        platform::PosixProcessLauncher launcher;
        platform::ProcessOptions options;
        options.timeLimit = std::chrono::minutes(1);
        ASSERT_TRUE(
            launcher.Run({TW_POSSIM, "respond", "--import", import, "--reject-every", "2"}, options)
                .Succeeded());
#else
        GTEST_SKIP() << "possim is not built";
#endif
    }

    std::set<std::string> ImportNames() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(import)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    std::string Delivered(const std::string& table) const {
        const std::regex stamped(table + "330[0-9]{14}\\.XML");
        for (const auto& name : ImportNames()) {
            if (std::regex_match(name, stamped))
                return name;
        }
        return {};
    }

    test::RecordedMessages messages;
    test::TestSite site;
    const std::string import = site.dir.Path() + "/import/";
};

TEST_F(MaintenanceExchange, FilesGoWithTheirSemaphoreAndTheResultsComeBack) {
    naxml::MaintenanceSite maintenance{1, "Tidewell 1.1.1.9", site.data};
    naxml::PendingDeletions deletions;
    ASSERT_TRUE(naxml::SaveDepartmentFile(
        maintenance, std::vector<naxml::DepartmentRow>{{"5", "Dairy"}}, deletions));
    ASSERT_TRUE(naxml::SaveItemListFile(
        maintenance,
        std::vector<naxml::ItemListRow>{{"L1", "Fruit", "012345678905;upcA;0;;12;"},
                                        {"L2", "Milk", "012345678912;upcA;0;;5;"}},
        deletions));
    site.dir.Write("site001/itt.xml", "<items/>");

    Poll();

    const std::string mct = Delivered("MCT"), ilt = Delivered("ILT"), sem = Delivered("SEM");
    ASSERT_FALSE(mct.empty());
    ASSERT_FALSE(ilt.empty());
    ASSERT_FALSE(sem.empty());
    EXPECT_EQ(ImportNames(), (std::set<std::string>{mct, ilt, sem})) << "itt.xml is not sent";
    EXPECT_EQ(test::ReadAll(import + sem), "<?xml version=\"1.0\" ?>\r\n<FileList>\r\n <File>" +
                                               mct + "</File>\r\n <File>" + ilt +
                                               "</File>\r\n</FileList>");

    PosResponds();
    if (IsSkipped() || HasFatalFailure())
        return;
    ASSERT_EQ(ImportNames().size(), 1u) << "the POS took the delivery and left its results";
    const std::string results = *ImportNames().begin();

    messages.log.Clear();
    Poll();

    EXPECT_THAT(messages.log.Texts(),
                Contains("NAXML Maintenance Results file: Assigned " + site.data + results +
                         " to " + site.data + "ILG.XML."));
    EXPECT_THAT(messages.log.Texts(), Contains("Department maintenance file successful."));
    EXPECT_THAT(messages.log.Texts(),
                Contains("Item Group maintenance file: NAXMLDB success=2 warn=0 fail=0, "
                         "LHSITEDB success=1 warn=0 fail=1"));
    EXPECT_THAT(messages.log.Texts(), Not(Contains(testing::StartsWith("Transfered"))));
    EXPECT_TRUE(ImportNames().empty());

    // A semaphore that did not reach the POS is delivered by the next poll.
    const std::string left =
        "<?xml version=\"1.0\" ?>\r\n<FileList>\r\n"
        " <File>MCT33020261205100000.XML</File>\r\n"
        "</FileList>";
    site.dir.Write("site001/SEM.XML", left);
    Poll();
    const std::string again = Delivered("SEM");
    ASSERT_FALSE(again.empty());
    EXPECT_EQ(test::ReadAll(import + again), left);
    EXPECT_THAT(messages.error.Texts(), IsEmpty());
}

// The import directory is reached by its own path, not by the sales path's: here the sales
// are on a share (that answers nothing) and the import directory is on this machine.
TEST_F(MaintenanceExchange, TheImportDirectoryIsReachedByItsOwnPath) {
    site.setup->salesPath = "smb://127.0.0.1:1/Export/";
    site.dir.Write("import/ILG20261205100600.XML", "<results/>");

    Poll();
    EXPECT_THAT(messages.log.Texts(),
                Contains("NAXML Maintenance Results file: Assigned " + site.data +
                         "ILG20261205100600.XML to " + site.data + "ILG.XML."));

    site.dir.Write("site001/MCT.XML", "<departments/>");
    Poll();
    EXPECT_FALSE(Delivered("MCT").empty());
    EXPECT_FALSE(Delivered("SEM").empty());
    EXPECT_THAT(messages.error.Texts(), IsEmpty());
}

}  // namespace
}  // namespace tw::radiant
