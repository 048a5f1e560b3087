#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "settings/radiant_setup.h"
#include "settings/site_file.h"
#include "support/recording_messages.h"
#include "support/replacement_watch.h"
#include "support/scratch_dir.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const std::string kFixtures = std::string(TW_FIXTURES_DIR) + "/settings/";

class FakeLauncher : public platform::ProcessLauncher {
public:
    platform::ProcessOutcome Run(const std::vector<std::string>& argv,
                                 const platform::ProcessOptions& options) override {
        calls.push_back(argv);
        lastOptions = options;
        if (onRun)
            onRun();
        return outcome;
    }
    platform::ProcessOutcome outcome{platform::ProcessOutcome::Status::Exited, 0};
    std::vector<std::vector<std::string>> calls;
    platform::ProcessOptions lastOptions;
    std::function<void()> onRun;
};

// A program directory and site 1 laid out as Ravelin leaves them, with POSIX paths.
struct PosixSite {
    PosixSite() {
        fs::create_directories(program);
        fs::create_directories(data);
        fs::create_directories(logs);
        dir.Write("prog/RAVELIN.001",
                  FormatSiteFile(
                      {dir.Path() + "/site001", dir.Path() + "/tambor/", dir.Path() + "/logs"}));
    }
    test::ScratchDir dir;
    const std::string program = dir.Path() + "/prog/";
    const std::string data = dir.Path() + "/site001/";
    const std::string logs = dir.Path() + "/logs/";
    FakeLauncher launcher;
};

// ---- a site written on Windows ----

class WindowsSite : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(program);
        fs::create_directories(data);
        fs::copy_file(kFixtures + "windows_site/RAVELIN.001", program + "RAVELIN.001");
        for (const char* name : {"Setup.001", "postsetup.001", "QORDMAP.001"}) {
            fs::copy_file(kFixtures + "windows_site/" + name, data + name);
        }
    }
    void MapDriveC() { dir.Write("prog/PATHMAP", "C: = " + dir.Path() + "/c\n"); }

    test::ScratchDir dir;
    const std::string program = dir.Path() + "/prog/";
    const std::string data = dir.Path() + "/c/QOR/DATA/001/";
    FakeLauncher launcher;
    test::RecordedMessages messages;
};

TEST_F(WindowsSite, LoadsToTheValuesWritten) {
    MapDriveC();
    RadiantSetup setup(1, program, launcher);
    ASSERT_TRUE(setup.Load());
    EXPECT_THAT(messages.error.Texts(), IsEmpty());
    EXPECT_TRUE(launcher.calls.empty());

    // Stored paths keep their Windows text; files are reached through the drive mapping.
    EXPECT_EQ(setup.DataDirectory(), "C:\\QOR\\DATA\\001\\");
    EXPECT_EQ(setup.BackOfficeDirectory(), "c:\\qor\\tambor\\");
    EXPECT_EQ(setup.LogDirectory(), "C:\\QOR\\LOGS\\");
    EXPECT_EQ(setup.LocalDataDirectory(), data);
    EXPECT_EQ(setup.DataFilePath("MCT.XML"), data + "MCT.XML");
    EXPECT_EQ(setup.LocalLogDirectory(), dir.Path() + "/c/QOR/LOGS/");

    EXPECT_EQ(setup.importDestinationPath, "\\\\RADIANT\\Import");
    EXPECT_EQ(setup.salesPath, "\\\\RADIANT\\Export\\Sales");
    EXPECT_EQ(setup.exSalesPath, "");
    EXPECT_FALSE(setup.sendItems);
    EXPECT_TRUE(setup.receiveSales) << "the tail of an over-long line is no line of its own";
    EXPECT_EQ(setup.journalName, std::string(245, 'x') + "ReceiveSales = FALSE");
    EXPECT_FALSE(setup.deletePOSSourceFile);
    EXPECT_EQ(setup.userName, "manager");
    EXPECT_EQ(setup.password, "pos pass");
    EXPECT_TRUE(setup.useRas);
    EXPECT_EQ(setup.rasEntry, "Store 12");
    EXPECT_EQ(setup.rasPhoneNumber, "555-0100");
    EXPECT_EQ(setup.rasCallbackNumber, "");
    EXPECT_EQ(setup.rasUserName, "dialer");
    EXPECT_EQ(setup.rasPassword, "secret");
    EXPECT_EQ(setup.rasDomain, "WORKGROUP");
    EXPECT_EQ(setup.rasLoginRetries, 12);
    EXPECT_FALSE(setup.useSevenZip);
    EXPECT_EQ(setup.FileDateTime(), platform::OleDate::FromCivil(2023, 12, 31, 23, 59, 58));
    EXPECT_EQ(setup.naxmlVersion, "3.2 based");
    // POSTSETUP is read after SETUP and wins for the keys both hold.
    EXPECT_EQ(setup.unknownItemDept, 42);
    EXPECT_TRUE(setup.totalDeposits);
    EXPECT_EQ(setup.registerNumber, 3);
    EXPECT_FALSE(setup.postNewItems);

    StdStringMapping* departments = setup.FindStringMapping(mapkind::kDepartment);
    ASSERT_NE(departments, nullptr);
    EXPECT_EQ(departments->GetPairs(),
              (std::vector<StringPair>{{"1", "10"}, {"2", "20"}, {"abc", "lower"}}));
}

TEST_F(WindowsSite, SavingKeepsTheExistingFileNames) {
    MapDriveC();
    RadiantSetup setup(1, program, launcher);
    ASSERT_TRUE(setup.Load());
    ASSERT_TRUE(setup.SaveSettings());
    EXPECT_TRUE(fs::exists(data + "Setup.001"));
    EXPECT_TRUE(fs::exists(data + "postsetup.001"));
    EXPECT_FALSE(fs::exists(data + "SETUP.001"));
    EXPECT_THAT(test::ReadAll(data + "Setup.001"),
                HasSubstr("\nRasEncryptPassword = 084480AEC6A9\n"));
}

TEST_F(WindowsSite, UnmappedDriveFailsWithAClearMessage) {
    RadiantSetup setup(1, program, launcher);
    EXPECT_FALSE(setup.Load());
    EXPECT_THAT(messages.error.Texts(), ElementsAre(HasSubstr("Drive C: is not mapped")));
}

// ---- the site file ----

TEST(SiteFile, CommentRuleFollowsThePathForm) {
    // Windows form: the first '/' starts a comment.
    EXPECT_EQ(SiteFileValue("C:\\QOR\\DATA\\001   / data"), "C:\\QOR\\DATA\\001\\");
    EXPECT_EQ(SiteFileValue("\\\\POS\\Share/comment"), "\\\\POS\\Share\\");
    EXPECT_EQ(SiteFileValue("C:/QOR"), "C:\\");
    EXPECT_EQ(SiteFileValue("C:\\QOR\\"), "C:\\QOR\\");
    // POSIX form: a comment starts at a '/' after a blank or tab.
    EXPECT_EQ(SiteFileValue("/srv/qor/001  / data"), "/srv/qor/001/");
    EXPECT_EQ(SiteFileValue("  /srv/qor/001\t/data"), "/srv/qor/001/");
    EXPECT_EQ(SiteFileValue("/srv/qor/001/"), "/srv/qor/001/");
    EXPECT_EQ(SiteFileValue("//server/share/dir"), "//server/share/dir/");
    EXPECT_EQ(SiteFileValue("/srv/qor/001 /"), "/srv/qor/001/");
    EXPECT_EQ(SiteFileValue(""), "");
}

TEST(SiteFile, WhatRavelinWritesReadsBack) {
    EXPECT_EQ(FormatSiteFile({"C:\\QOR\\001", "C:\\TAMBOR\\", "C:\\QOR\\001"}),
              "C:\\QOR\\001\nC:\\TAMBOR\nC:\\QOR\\001\nC:\\TAMBOR\n");
    EXPECT_EQ(SiteFileValue("C:\\TAMBOR"), "C:\\TAMBOR\\");

    PosixSite site;
    test::RecordedMessages messages;
    EXPECT_EQ(test::ReadAll(site.program + "RAVELIN.001"),
              site.dir.Path() + "/site001\n" + site.dir.Path() + "/tambor\n" + site.dir.Path() +
                  "/logs\n" + site.dir.Path() + "/tambor\n");
    RadiantSetup setup(1, site.program, site.launcher);
    ASSERT_TRUE(setup.Load());
    EXPECT_EQ(setup.DataDirectory(), site.data);
    EXPECT_EQ(setup.LocalDataDirectory(), site.data);
    EXPECT_EQ(setup.BackOfficeDirectory(), site.dir.Path() + "/tambor/");
    EXPECT_EQ(setup.LogDirectory(), site.logs);
}

// ---- loading ----

TEST(RadiantSetupLoad, RefusesAMissingDirectoryOrSiteNumber) {
    test::RecordedMessages messages;
    FakeLauncher launcher;
    EXPECT_FALSE(RadiantSetup(1, "", launcher).Load());
    EXPECT_FALSE(RadiantSetup(0, "/tmp", launcher).Load());
    EXPECT_THAT(messages.error.Texts(), ElementsAre("Invalid ravelin dir.", "Invalid site #."));
    EXPECT_TRUE(launcher.calls.empty());
}

TEST(RadiantSetupLoad, MissingSiteFileStartsRavelinAndWaits) {
    test::RecordedMessages messages;
    test::ScratchDir dir;
    FakeLauncher launcher;
    const std::string program = dir.Path() + "/";
    {
        RadiantSetup setup(3, dir.Path(), launcher);
        EXPECT_FALSE(setup.Load());
    }
    ASSERT_EQ(launcher.calls.size(), 1u);
    EXPECT_THAT(launcher.calls[0], ElementsAre(program + "ravelin", program));
    EXPECT_EQ(launcher.lastOptions.workingDirectory, program);
    EXPECT_FALSE(launcher.lastOptions.timeLimit);
    EXPECT_THAT(messages.error.Texts(), ElementsAre("Cannot open " + program + "RAVELIN.003."));

    // An unattended run must not wait on Ravelin's dialog.
    RadiantSetup unattended(3, dir.Path(), launcher);
    unattended.SetUnattended(true);
    launcher.onRun = [&] {
        dir.Write("RAVELIN.003", FormatSiteFile({dir.Path() + "/003", dir.Path(), dir.Path()}));
    };
    EXPECT_TRUE(unattended.Load());
    ASSERT_EQ(launcher.calls.size(), 2u);
    EXPECT_THAT(launcher.calls[1], ElementsAre(program + "ravelin", program, "/AUTO", "/SITE=3"));
    EXPECT_TRUE(launcher.lastOptions.timeLimit);
}

TEST(RadiantSetupLoad, AnUnattendedRavelinPastItsTimeLimitIsAnError) {
    test::RecordedMessages messages;
    test::ScratchDir dir;
    FakeLauncher launcher;
    launcher.outcome.status = platform::ProcessOutcome::Status::TimedOut;
    // The site file was written before Ravelin hung: the site loads, yet the run must fail.
    launcher.onRun = [&] {
        dir.Write("RAVELIN.004", FormatSiteFile({dir.Path() + "/004", dir.Path(), dir.Path()}));
    };
    RadiantSetup setup(4, dir.Path(), launcher);
    setup.SetUnattended(true);
    EXPECT_TRUE(setup.Load(false));
    EXPECT_THAT(messages.error.Texts(),
                ElementsAre(dir.Path() + "/ravelin did not finish within 10 minutes and was "
                                         "stopped."));
    EXPECT_EQ(messages.error.Count(), 1);
}

TEST(RadiantSetupLoad, StartsTheRealRavelinProgram) {
    test::RecordedMessages messages;
    test::ScratchDir dir;
    // A stand-in that writes the site file the way Ravelin does, from its own arguments.
    const std::string script =
        dir.Write("ravelin",
                  "#!/bin/sh\n"
                  "[ \"$(pwd)/\" = \"$1\" ] || exit 3\n"
                  "[ \"$2 $3\" = \"/AUTO /SITE=2\" ] || exit 4\n"
                  "printf '%s\\n' \"${1}002\" \"$1\" \"${1}002\" \"$1\" > \"${1}RAVELIN.002\"\n");
    fs::permissions(script, fs::perms::owner_all);
    RadiantSetup setup(2, dir.Path());
    setup.SetUnattended(true);
    ASSERT_TRUE(setup.Load(false)) << ::testing::PrintToString(messages.error.Texts());
    EXPECT_EQ(setup.DataDirectory(), dir.Path() + "/002/");
}

TEST(RadiantSetupLoad, SiteFileNeedsDataAndBackOfficeLines) {
    test::RecordedMessages messages;
    PosixSite site;
    site.dir.Write("prog/RAVELIN.001", site.data + "\n\n" + site.logs + "\n");
    EXPECT_FALSE(RadiantSetup(1, site.program, site.launcher).Load());
    EXPECT_THAT(messages.error.Texts(), ElementsAre("Invalid " + site.program + "RAVELIN.001."));
}

TEST(RadiantSetupLoad, SiteWithoutMapFilesLoadsAndLogsEachMissingMap) {
    test::RecordedMessages messages;
    PosixSite site;
    RadiantSetup setup(1, site.program, site.launcher);
    ASSERT_TRUE(setup.Load());
    EXPECT_THAT(messages.error.Texts(), IsEmpty());
    const std::string prefix = "No mapping in " + site.data;
    EXPECT_THAT(
        messages.log.Texts(),
        ElementsAre(prefix + "QORTMAP.001.", prefix + "QORDMAP.001.", prefix + "QORLMAP.001.",
                    prefix + "QORGMAP.001.", prefix + "QORPMAP.001.", prefix + "QORTGMAP.001."));
    ASSERT_NE(setup.FindStringMapping(mapkind::kDepartment), nullptr);
    EXPECT_TRUE(setup.FindStringMapping(mapkind::kDepartment)->GetPairs().empty());
    EXPECT_EQ(setup.FindStringMapping(mapkind::kQualifier), nullptr);
    EXPECT_EQ(setup.MapFileName(mapkind::kQualifier), "");
    ASSERT_NE(setup.GetListMapping(), nullptr);

    // The defaults stand without key files.
    EXPECT_TRUE(setup.sendItems);
    EXPECT_EQ(setup.rasLoginRetries, 30);
    EXPECT_EQ(setup.FileDateTime(), DefaultFileDateTime());
}

TEST(RadiantSetupLoad, SalesTaxListKeepsDuplicateKeys) {
    test::RecordedMessages messages;
    PosixSite site;
    site.dir.Write("site001/qortmap.001", "7 = State\n3 = County\n7 = City\n");
    RadiantSetup setup(1, site.program, site.launcher);
    ASSERT_TRUE(setup.Load());
    EXPECT_EQ(setup.MapFileName(mapkind::kSalesTax), site.data + "qortmap.001");
    std::string value;
    ASSERT_TRUE(setup.GetListMapping()->Lookup("7", value));
    EXPECT_EQ(value, "City");
}

TEST(RadiantSetupLoad, ReadsNumbersAndBooleansAsTheyAlwaysWere) {
    test::RecordedMessages messages;
    PosixSite site;
    site.dir.Write("site001/SETUP.001",
                   "SendItems = TrUe\nReceiveSales = yes\nRasLoginRetries = 12 tries\n"
                   "UnknownItemDept = -1\nRegisterNumber = none\nFileDateTime = 2024-01-02\n"
                   "RasEncryptPassword = 084480AEC6A9\nRasPassword = plain\n");
    RadiantSetup setup(1, site.program, site.launcher);
    ASSERT_TRUE(setup.Load());
    EXPECT_TRUE(setup.sendItems);
    EXPECT_FALSE(setup.receiveSales);
    EXPECT_EQ(setup.rasLoginRetries, 12);
    EXPECT_EQ(setup.unknownItemDept, 65535);
    EXPECT_EQ(setup.registerNumber, 0);
    EXPECT_EQ(setup.FileDateTime(), DefaultFileDateTime()) << "an unreadable date restarts";
    EXPECT_EQ(setup.rasPassword, "plain") << "the later key wins";
}

// ---- saving ----

constexpr const char* kDefaultSetup =
    "ImportDestinationPath = \n"
    "SalesPath = \n"
    "ExSalesPath = \n"
    "SendItems = TRUE\n"
    "ReceiveSales = TRUE\n"
    "DeletePOSSourceFile = TRUE\n"
    "UserName = \n"
    "Password = \n"
    "UseRas = FALSE\n"
    "RasEntry = \n"
    "RasPhoneNumber = \n"
    "RasCallbackNumber = \n"
    "RasUserName = \n"
    "RasEncryptPassword = \n"
    "RasDomain = \n"
    "RasLoginRetries = 30\n"
    "JournalName = \n"
    "7Z = TRUE\n"
    "FileDateTime = 1/1/1990 00:00:00\n"
    "UnknownItemDept = 99\n"
    "TotalDeposits = FALSE\n"
    "NaxmlVersion = 3.3\n";

constexpr const char* kDefaultPostSetup =
    "RegisterNumber = 1\n"
    "PostNewItems = TRUE\n"
    "UnknownItemDept = 99\n"
    "TotalDeposits = FALSE\n"
    "NaxmlVersion = 3.3\n";

TEST(RadiantSetupSave, DefaultsWriteEveryKeyInOrderAndReadBack) {
    test::RecordedMessages messages;
    PosixSite site;
    RadiantSetup setup(1, site.program, site.launcher);
    ASSERT_TRUE(setup.Load(false));
    ASSERT_TRUE(setup.SaveSettings());
    EXPECT_EQ(test::ReadAll(site.data + "SETUP.001"), kDefaultSetup);
    EXPECT_EQ(test::ReadAll(site.data + "POSTSETUP.001"), kDefaultPostSetup);

    RadiantSetup reread(1, site.program, site.launcher);
    ASSERT_TRUE(reread.Load(false));
    ASSERT_TRUE(reread.SaveSettings());
    EXPECT_EQ(test::ReadAll(site.data + "SETUP.001"), kDefaultSetup);
    EXPECT_EQ(test::ReadAll(site.data + "POSTSETUP.001"), kDefaultPostSetup);
}

TEST(RadiantSetupSave, ChangedValuesSurviveSaveAndLoad) {
    test::RecordedMessages messages;
    PosixSite site;
    RadiantSetup setup(1, site.program, site.launcher);
    ASSERT_TRUE(setup.Load(false));
    setup.importDestinationPath = "/srv/pos/import";
    setup.salesPath = "\\\\RADIANT\\Export\nReceiveSales = FALSE";
    setup.sendItems = false;
    setup.useRas = true;
    setup.rasPassword = "Passw0rd!";
    setup.rasLoginRetries = -2;
    setup.useSevenZip = false;
    setup.unknownItemDept = 65535;
    setup.registerNumber = 12;
    setup.postNewItems = false;
    setup.totalDeposits = true;
    setup.naxmlVersion = "3.2 based";
    setup.SetFileDateTime(platform::OleDate::FromCivil(2024, 1, 2, 5, 7, 9));
    ASSERT_TRUE(setup.SaveSettings());
    const std::string written = test::ReadAll(site.data + "SETUP.001");
    EXPECT_THAT(written, HasSubstr("\nRasEncryptPassword = 2B4090AFD4ED94D32C\n"));
    EXPECT_THAT(written, HasSubstr("\nFileDateTime = 01/02/2024 05:07:09\n"));
    EXPECT_THAT(written, HasSubstr("\nUnknownItemDept = 65535\n"));
    EXPECT_THAT(written, HasSubstr("\nRasLoginRetries = -2\n"));

    RadiantSetup reread(1, site.program, site.launcher);
    ASSERT_TRUE(reread.Load(false));
    EXPECT_EQ(reread.importDestinationPath, setup.importDestinationPath);
    EXPECT_EQ(reread.salesPath, "\\\\RADIANT\\Export") << "a value is one line";
    EXPECT_TRUE(reread.receiveSales);
    EXPECT_FALSE(reread.sendItems);
    EXPECT_TRUE(reread.useRas);
    EXPECT_EQ(reread.rasPassword, "Passw0rd!");
    EXPECT_EQ(reread.rasLoginRetries, -2);
    EXPECT_FALSE(reread.useSevenZip);
    EXPECT_EQ(reread.unknownItemDept, 65535);
    EXPECT_EQ(reread.registerNumber, 12);
    EXPECT_FALSE(reread.postNewItems);
    EXPECT_TRUE(reread.totalDeposits);
    EXPECT_EQ(reread.naxmlVersion, "3.2 based");
    EXPECT_EQ(reread.FileDateTime(), setup.FileDateTime());
}

TEST(RadiantSetupSave, AFailedWriteIsNoSuccess) {
    test::RecordedMessages messages;
    PosixSite site;
    RadiantSetup setup(1, site.program, site.launcher);
    ASSERT_TRUE(setup.Load(false));
    // SETUP cannot be replaced (a directory stands in its place); POSTSETUP still is.
    fs::create_directories(site.data + "SETUP.001");
    EXPECT_FALSE(setup.SaveSettings());
    EXPECT_EQ(test::ReadAll(site.data + "POSTSETUP.001"), kDefaultPostSetup);
    EXPECT_THAT(messages.log.Texts(),
                Contains(HasSubstr("Cannot write " + site.data + "SETUP.001")));
    // No temporary file is left behind to be mistaken for data.
    for (const auto& entry : fs::directory_iterator(site.data)) {
        EXPECT_EQ(entry.path().filename().string().rfind(".~tw", 0), std::string::npos);
    }
}

// The key files are read by the back office while the poller saves them: a reader holding
// one keeps the old settings whole, and a link at a key file's path is replaced, never
// written through.
TEST(RadiantSetupSave, SavingReplacesTheKeyFilesNeverWritesIntoThem) {
    using Via = test::ReplacementWatch::Via;
    test::RecordedMessages messages;
    PosixSite site;
    RadiantSetup setup(1, site.program, site.launcher);
    ASSERT_TRUE(setup.Load(false));
    ASSERT_TRUE(setup.SaveSettings());
    for (const Via via : {Via::Descriptor, Via::SymbolicLink}) {
        test::ReplacementWatch setupWatch(site.data + "SETUP.001", via);
        test::ReplacementWatch postSetupWatch(site.data + "POSTSETUP.001", via);
        setup.registerNumber += 1;
        setup.importDestinationPath += "x";
        ASSERT_TRUE(setup.SaveSettings());
        EXPECT_TRUE(setupWatch.Replaced());
        EXPECT_TRUE(postSetupWatch.Replaced());
    }
}

// ---- small operations ----

TEST(FileDateTime, IsReadMonthFirstWhateverTheLocale) {
    using platform::OleDate;
    EXPECT_EQ(ParseFileDateTime("12/31/2023 23:59:58"),
              OleDate::FromCivil(2023, 12, 31, 23, 59, 58));
    EXPECT_EQ(ParseFileDateTime(" 1/2/2024 5:07:09 "), OleDate::FromCivil(2024, 1, 2, 5, 7, 9));
    EXPECT_EQ(ParseFileDateTime("1/2/2024 05:07"), OleDate::FromCivil(2024, 1, 2, 5, 7, 0));
    EXPECT_EQ(ParseFileDateTime("1/1/1990"), DefaultFileDateTime());
    for (const char* bad : {"13/01/2024 00:00:00", "2024-01-02", "1/2/24 00:00:00",
                            "1/2/2024 00:00:00 PM", "1/2/20245", "1/2/2024 25:00:00", ""}) {
        EXPECT_FALSE(ParseFileDateTime(bad).IsValid()) << bad;
    }
    EXPECT_EQ(FormatFileDateTime(DefaultFileDateTime()), "1/1/1990 00:00:00");
    EXPECT_EQ(FormatFileDateTime(OleDate::FromCivil(2024, 1, 2, 5, 7, 9)), "01/02/2024 05:07:09");
}

TEST(RadiantSetup, CommandLineForEachJob) {
    FakeLauncher launcher;
    RadiantSetup setup(7, "/opt/qor", launcher);
    EXPECT_EQ(setup.CommandLine(PollerSetup::kGetSales | PollerSetup::kSendItems),
              "7 /AUTO /GETSALES /SENDITEMS");
    EXPECT_EQ(setup.CommandLine(PollerSetup::kDialUp), "7 /AUTODIAL");
    EXPECT_EQ(setup.CommandLine(PollerSetup::kDialUp | PollerSetup::kSendFuelPrices),
              "7 /AUTO /SENDFUELPRICES");
    EXPECT_EQ(setup.CommandLine(0), "7");
}

TEST(RadiantSetup, PosVersionIsTheLastLogLine) {
    test::RecordedMessages messages;
    PosixSite site;
    RadiantSetup setup(1, site.program, site.launcher);
    ASSERT_TRUE(setup.Load(false));
    EXPECT_EQ(setup.PosVersion(), " ");
    site.dir.Write("logs/VersionPOS.001",
                   LogMessage::HeaderText() + "1      Wed Jun 30 21:49:08 1993 Radiant 11.02\n");
    EXPECT_EQ(setup.PosVersion(), "Radiant 11.02");
}

}  // namespace
}  // namespace tw
