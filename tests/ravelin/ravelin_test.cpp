#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/command_line.h"
#include "platform/process.h"
#include "platform/text_file.h"
#include "ravelin/ravelin_app.h"
#include "ravelin/ravelin_flags.h"
#include "ravelin/setup_options.h"
#include "ravelin/site_setup.h"
#include "settings/radiant_setup.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"

namespace tw::ravelin {
namespace {

using ::testing::HasSubstr;

CMainInfo CommandLine(std::vector<const char*> args) {
    args.insert(args.begin(), "/nonexistent/bin/ravelin");
    CMainInfo info;
    info.Parse(static_cast<int>(args.size()), args.data());
    return info;
}

TEST(CommandLine, SwitchRuleAndValues) {
    const auto info = CommandLine({"/srv/qor/", "/AUTO", "-overwrite", "/SITE=3",
                                   "/TAMBORPATH=/srv/back office/", " 7", "/ ERRORPATH = x \n y"});
    EXPECT_EQ(info.parameters,
              (std::vector<std::string>{"/nonexistent/bin/ravelin", "/srv/qor/", " 7"}));
    EXPECT_TRUE(info.HasSwitch("auto"));
    EXPECT_TRUE(info.HasSwitch("OVERWRITE"));
    EXPECT_FALSE(info.HasSwitch("SITE"));
    EXPECT_EQ(info.ValueOf("site"), "3");
    EXPECT_EQ(info.ValueOf("TAMBORPATH"), "/srv/back office/");
    EXPECT_EQ(info.ValueOf("ERRORPATH"), "x");
    EXPECT_EQ(info.ValueOf("MISSING"), "");
    EXPECT_EQ(info.programDirectory, "/nonexistent/bin/");
    EXPECT_FALSE(IsSwitch("/opt/qor/"));
    EXPECT_TRUE(IsSwitch("/SITE=/opt/qor/x"));
    EXPECT_FALSE(IsSwitch("C:\\QOR"));
}

TEST(Flags, BitsAccumulateInTableOrder) {
    EXPECT_EQ(ParseFlags({"auto"}).bits, kAuto);
    EXPECT_EQ(ParseFlags({"GETSALES", "EDITOR"}).bits, 0x110u | 0x2000u);
    EXPECT_EQ(ParseFlags({"SENDITEMS"}).bits, 0x50u);
    EXPECT_EQ(ParseFlags({"AUTOMATIC", "OVERWRITE", "TIDEWELL"}).bits, 0u);
    const auto withRegister = ParseFlags({"x_register_number=12"});
    EXPECT_EQ(withRegister.bits, kRegisterNumber);
    EXPECT_EQ(withRegister.registerNumber, 12);
    EXPECT_EQ(ParseFlags({"REGISTER_NUMBER=0"}).bits, 0u);
}

TEST(PollerTable, TwentyFourRowsTidewellIsFourteenAndLaterRowsWinTheGuess) {
    PollerTable table;
    ASSERT_EQ(table.Rows().size(), 24u);
    EXPECT_EQ(table.FindByBaseName("tidewell")->id, 14);
    EXPECT_EQ(table.FindById(14)->displayName, "Tidewell");
    test::ScratchDir dir;
    EXPECT_EQ(PollerInterfaceGuesser().Guess(table, dir.Path()), 0);
    dir.Write("tidewell", "");
    dir.Write(table.FindById(3)->executableName, "");
    EXPECT_EQ(PollerInterfaceGuesser().Guess(table, dir.Path()), 14);
    dir.Write(table.FindById(20)->executableName, "");
    EXPECT_EQ(PollerInterfaceGuesser().Guess(table, dir.Path()), 20);
}

class SetupTest : public ::testing::Test {
protected:
    SetupPaths Paths() const {
        SetupPaths paths;
        paths.programDirectory = dir.Path() + "/";
        paths.siteRoot = paths.programDirectory;
        paths.backOfficePath = "/srv/back/";
        paths.errorLogPath = paths.programDirectory;
        return paths;
    }
    test::ScratchDir dir;
    test::RecordedMessages messages;
};

TEST_F(SetupTest, EverySiteGetsItsFileDirectoryAndTemplates) {
    dir.Write("RAVELIN.003", "old\n");
    dir.Write("setup.sta", "KEY=1\r\n");
    dir.Write("PostSetup.Sta", "X=2\r\n");
    dir.Write("notes.txt", "");
    const auto info = CommandLine({"/AUTO", "/TIDEWELL"});
    SiteSetup setup(Paths(), info);
    setup.Run(0);
    EXPECT_EQ(messages.screen.Texts(),
              (std::vector<std::string>{"Setting up TIDEWELL interface.", "Setting up site 1.",
                                        "Setting up site 2.", "Setting up site 3."}));
    EXPECT_TRUE(messages.error.Texts().empty());
    EXPECT_EQ(test::ReadAll(dir.File("RAVELIN.001")),
              dir.Path() + "/001\n/srv/back\n" + dir.Path() + "/001\n/srv/back\n");
    EXPECT_EQ(test::ReadAll(dir.File("RAVELIN.003")), "old\n") << "kept without OVERWRITE";
    EXPECT_EQ(test::ReadAll(dir.File("002/SETUP.002")), "KEY=1\r\n");
    EXPECT_EQ(test::ReadAll(dir.File("003/POSTSETUP.003")), "X=2\r\n");
    struct stat st {};
    EXPECT_NE(::stat(dir.File("001/NOTES.001").c_str(), &st), 0);
}

TEST_F(SetupTest, OverwriteRewritesTheSiteFileButNeverATemplateCopy) {
    dir.Write("RAVELIN.001", "old\n");
    dir.Write("001/SETUP.001", "edited by the user");
    dir.Write("SETUP.STA", "template");
    const auto info = CommandLine({"/AUTO", "/OVERWRITE"});
    SiteSetup setup(Paths(), info);
    setup.Run(1);
    EXPECT_EQ(test::ReadAll(dir.File("RAVELIN.001")).substr(0, dir.Path().size() + 4),
              dir.Path() + "/001");
    EXPECT_EQ(test::ReadAll(dir.File("001/SETUP.001")), "edited by the user");
    EXPECT_EQ(messages.screen.Texts()[0], "Setting up UNKNOWN POLLER interface.");
}

TEST_F(SetupTest, APollerInstalledBesideRavelinIsGuessed) {
    test::ScratchDir bin;
    bin.Write("ravelin", "");
    bin.Write("tidewell", "");
    CMainInfo info;
    const std::string self = bin.File("ravelin");
    const char* args[] = {self.c_str(), "/AUTO"};
    info.Parse(2, args);
    SiteSetup(Paths(), info).Run(1);
    EXPECT_EQ(messages.screen.Texts()[0], "Setting up TIDEWELL interface.");
}

TEST_F(SetupTest, HighestSiteAndChosenSite) {
    const auto none = CommandLine({"/AUTO"});
    EXPECT_EQ(SiteSetup(Paths(), none).HighestSiteNumber(), 1);
    dir.Write("ravelin.004", "");
    dir.Write("007/x", "");
    dir.Write("12/x", "");
    EXPECT_EQ(SiteSetup(Paths(), none).HighestSiteNumber(), 7);
    const auto given = CommandLine({"/AUTO", "/SITES=9"});
    EXPECT_EQ(SiteSetup(Paths(), given).HighestSiteNumber(), 9);

    SiteSetup(Paths(), given).Run(10);  // above the given highest: nothing, silently
    struct stat st {};
    EXPECT_NE(::stat(dir.File("010").c_str(), &st), 0);
    EXPECT_TRUE(messages.error.Texts().empty());
    SiteSetup(Paths(), none).Run(8);  // without /SITES a site asked for is set up
    EXPECT_EQ(::stat(dir.File("008").c_str(), &st), 0);
}

TEST_F(SetupTest, UnwritableSiteFileIsReportedAndTheRunGoesOn) {
    ::mkdir(dir.File("RAVELIN.001").c_str(), 0755);  // a directory where the file should be
    dir.Write("SETUP.STA", "t");
    const auto info = CommandLine({"/AUTO", "/OVERWRITE"});
    SiteSetup(Paths(), info).Run(1);
    ASSERT_EQ(messages.error.Texts().size(), 1u);
    EXPECT_EQ(messages.error.Texts()[0], "Cannot open " + dir.File("RAVELIN.001") + ".");
    EXPECT_EQ(test::ReadAll(dir.File("001/SETUP.001")), "t");
}

TEST(RavelinProgram, UnattendedRunWritesASiteTidewellReads) {
    test::ScratchDir dir;
    dir.Write("SETUP.STA", "SalesPath=/pos/export/\r\n");
    platform::PosixProcessLauncher launcher;
    // The program directory is a POSIX path: a parameter, not a switch.
    const auto outcome = launcher.Run({RAVELIN_PROGRAM, dir.Path() + "/", "/AUTO", "/SITE=2",
                                       "/TAMBORPATH=" + dir.Path() + "/back"},
                                      {});
    ASSERT_TRUE(outcome.Succeeded());
    EXPECT_EQ(test::ReadAll(dir.File("RAVELIN.002")), dir.Path() + "/002\n" + dir.Path() +
                                                          "/back\n" + dir.Path() + "/002\n" +
                                                          dir.Path() + "/back\n");
    EXPECT_EQ(test::ReadAll(dir.File("002/SETUP.002")), "SalesPath=/pos/export/\r\n");

    test::RecordedMessages messages;
    RadiantSetup setup(2, dir.Path());
    ASSERT_TRUE(setup.ReadSiteFile());
    EXPECT_EQ(setup.DataDirectory(), dir.Path() + "/002/");
    EXPECT_EQ(setup.BackOfficeDirectory(), dir.Path() + "/back/");
    EXPECT_EQ(setup.LocalLogDirectory(), dir.Path() + "/002/");

    // Without a display an interactive run explains itself and fails, in every build.
    EXPECT_EQ(launcher
                  .Run({"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM",
                        RAVELIN_PROGRAM, dir.Path() + "/"},
                       {})
                  .exitCode,
              1);
    EXPECT_EQ(launcher.Run({RAVELIN_PROGRAM, "--help"}, {}).exitCode, 0);
}

int windowRuns = 0;
int CountingWindow(const CMainInfo&) {
    ++windowRuns;
    return 7;
}

TEST(RavelinProgram, TheWindowOpensOnlyForAnInteractiveRunWithADisplay) {
    test::ScratchDir dir;
    const std::string home = dir.Path() + "/";
    test::ScopedEnv x11{"DISPLAY", std::nullopt};
    test::ScopedEnv wayland{"WAYLAND_DISPLAY", std::nullopt};
    test::ScopedEnv qpa{"QT_QPA_PLATFORM", std::nullopt};
    const char* interactive[] = {"ravelin", home.c_str()};
    std::ostringstream out, err;
    windowRuns = 0;
    EXPECT_EQ(RunRavelin(2, interactive, out, err), 1);
    EXPECT_THAT(err.str(), HasSubstr("not part of this build"));
    err.str("");
    EXPECT_EQ(RunRavelin(2, interactive, out, err, &CountingWindow), 1);
    EXPECT_THAT(err.str(), HasSubstr("needs a display"));
    EXPECT_EQ(windowRuns, 0);
    {
        test::ScopedEnv offscreen{"QT_QPA_PLATFORM", "offscreen"};
        EXPECT_EQ(RunRavelin(2, interactive, out, err, &CountingWindow), 7);
        EXPECT_EQ(windowRuns, 1);
        const char* unattended[] = {"ravelin", home.c_str(), "/AUTO"};
        EXPECT_EQ(RunRavelin(3, unattended, out, err, &CountingWindow), 0);
        EXPECT_EQ(windowRuns, 1) << "/AUTO never opens the window";
    }
}

TEST(SetupOptions, StartFromTheFoundPathsAndAcceptAbsoluteOnes) {
    SetupPaths found;
    found.programDirectory = "/srv/qor/";
    found.backOfficePath = "/srv/back";
    const auto plain = InitialOptions(found, CommandLine({"/AUTO"}), 0);
    EXPECT_EQ(plain.backOfficePath, "/srv/back/");
    EXPECT_EQ(plain.errorLogPath, "/srv/qor/");
    EXPECT_FALSE(plain.useCommonErrorLogPath);
    EXPECT_EQ(plain.siteText, "");
    const auto withLog = InitialOptions(found, CommandLine({"/ERRORPATH=/var/log/qor"}), 4);
    EXPECT_EQ(withLog.errorLogPath, "/var/log/qor/");
    EXPECT_TRUE(withLog.useCommonErrorLogPath);
    EXPECT_EQ(withLog.siteText, "4");

    SetupOptions chosen{"C:\\QOR\\DATA", "logs", true, ""};
    const SetupPaths accepted = AcceptedPaths(chosen, found);
    EXPECT_EQ(accepted.backOfficePath, "C:\\QOR\\DATA\\") << "a Windows path stays as written";
    EXPECT_EQ(accepted.errorLogPath, std::filesystem::current_path().string() + "/logs/");
    EXPECT_TRUE(accepted.useCommonErrorLogPath);

    EXPECT_EQ(ParseSiteText(""), 0);
    EXPECT_EQ(ParseSiteText(" 12 "), 12);
    EXPECT_EQ(ParseSiteText("+5"), 5);
    EXPECT_EQ(ParseSiteText("-3"), -3);
    EXPECT_EQ(ParseSiteText("x"), 0);
}

TEST(SetupOptions, TheBackOfficePathMustLeadToADirectory) {
    test::ScratchDir dir;
    dir.Write("c/QOR/x", "");
    const std::string home = dir.Path() + "/";
    const std::string refusal =
        "The path you specified does not exist.  Please enter a valid path.";
    auto refusalOf = [&](const std::string& path) {
        return RefusalOf({path, home, false, ""}, home).value_or("");
    };
    EXPECT_EQ(refusalOf(dir.Path() + "/c/QOR"), "");
    EXPECT_EQ(refusalOf(dir.Path() + "/c/nothing"), refusal);
    EXPECT_EQ(refusalOf("  "), refusal);
    EXPECT_EQ(refusalOf("C:\\QOR\\"), refusal) << "no drive mapping";
    dir.Write("PATHMAP", "C: = " + dir.Path() + "/c\n");
    EXPECT_EQ(refusalOf("C:\\QOR\\"), "");
    EXPECT_EQ(refusalOf("c:\\Missing"), refusal);
}

TEST(RavelinProgram, ANegativeSiteSetsUpNothingAndSaysSo) {
    test::ScratchDir dir;
    dir.Write("RAVELIN.001", "kept\n");
    dir.Write("RAVELIN.002", "kept\n");
    dir.Write("SETUP.STA", "t");
    const std::string home = dir.Path() + "/";
    const char* args[] = {"ravelin", home.c_str(), "/AUTO", "/SITE=-3", "/OVERWRITE"};
    std::ostringstream out, err;
    EXPECT_EQ(RunRavelin(5, args, out, err), 1);
    EXPECT_THAT(out.str(), HasSubstr("Invalid site number -3: no site was set up."));
    EXPECT_EQ(test::ReadAll(dir.File("RAVELIN.001")), "kept\n");
    EXPECT_EQ(test::ReadAll(dir.File("RAVELIN.002")), "kept\n");
    struct stat st {};
    EXPECT_NE(::stat(dir.File("001").c_str(), &st), 0);
}

TEST(RavelinProgram, ARelativeProgramDirectoryIsWrittenAsAnAbsolutePath) {
    test::ScratchDir dir;
    dir.Write("home/SETUP.STA", "t");
    platform::PosixProcessLauncher launcher;
    platform::ProcessOptions options;
    options.workingDirectory = dir.Path();
    ASSERT_TRUE(launcher.Run({RAVELIN_PROGRAM, "home", "/AUTO", "/SITE=1"}, options).Succeeded());
    const std::string home = dir.Path() + "/home";
    EXPECT_EQ(test::ReadAll(dir.File("home/RAVELIN.001")),
              home + "/001\n" + home + "\n" + home + "/001\n" + home + "\n");
    EXPECT_EQ(test::ReadAll(dir.File("home/001/SETUP.001")), "t");
}

}  // namespace
}  // namespace tw::ravelin
