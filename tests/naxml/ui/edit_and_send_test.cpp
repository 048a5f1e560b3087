// What a user edits with tidewell-edit reaches the POS with the next automatic run of Tidewell,
// the simulated POS imports it, and its answer comes back as the file's result.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QPushButton>
#include <algorithm>
#include <filesystem>

#include "../maintenance/xpath_query.h"
#include "editor_ui_support.h"
#include "naxml/ui/editor_launch.h"
#include "naxml/ui/grid_dialog.h"
#include "platform/process.h"
#include "platform/text_file.h"
#include "settings/site_file.h"
#include "support/scratch_dir.h"

namespace tw::ui {
namespace {

#if defined(TIDEWELL_PROGRAM) && defined(POSSIM_PROGRAM)
namespace fs = std::filesystem;
using naxml::test::Query;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

platform::ProcessOutcome RunProgram(std::vector<std::string> args) {
    platform::PosixProcessLauncher launcher;
    platform::ProcessOptions options;
    options.timeLimit = std::chrono::minutes(2);
    return launcher.Run(args, options);
}

// Site 1 sending maintenance files to a simulated POS's import directory.
class EditAndSend : public ::testing::Test {
protected:
    void SetUp() override {
        for (const std::string& path : {data, import, pos, dir.File("back")})
            fs::create_directories(path);
        ASSERT_TRUE(platform::WriteFileAtomically(home + "/RAVELIN.001",
                                                  FormatSiteFile({data, dir.File("back"), data})));
        ASSERT_TRUE(platform::WriteFileAtomically(
            data + "/SETUP.001", "SalesPath=" + pos + "\r\nImportDestinationPath=" + import +
                                     "\r\nSendItems=TRUE\r\nReceiveSales=FALSE\r\n"
                                     "NaxmlVersion=3.3\r\n7Z=FALSE\r\n"));
    }

    // Runs Tidewell once; the one maintenance file it delivered (besides the semaphore).
    XmlDocument Send(const std::string& backup) {
        test::ScopedEnv siteHome("TIDEWELL_HOME", home);
        EXPECT_EQ(RunProgram({TIDEWELL_PROGRAM, "--headless", "1", "/AUTO"}).exitCode, 0);
        std::vector<std::string> delivered;
        for (const auto& entry : fs::directory_iterator(import))
            delivered.push_back(entry.path().filename().string());
        EXPECT_EQ(delivered.size(), 2u) << "the file and its semaphore";
        std::sort(delivered.begin(), delivered.end());
        EXPECT_TRUE(fs::exists(data + "/" + backup));
        XmlDocument sent;
        EXPECT_TRUE(!delivered.empty() && sent.Load(import + delivered[0]));
        return sent;
    }

    // The POS imports what was delivered; the next run of Tidewell reads its results back.
    std::vector<std::string> RespondAndPoll() {
        test::ScopedEnv siteHome("TIDEWELL_HOME", home);
        EXPECT_TRUE(RunProgram({POSSIM_PROGRAM, "respond", "--import", import}).Succeeded());
        EXPECT_EQ(RunProgram({TIDEWELL_PROGRAM, "--headless", "1", "/AUTO"}).exitCode, 0);
        return platform::ReadLines(data + "/POLL.LOG").value_or(std::vector<std::string>{});
    }

    test::ScratchDir dir;
    test::ScopedEnv locks{"TIDEWELL_LOCK_DIR", dir.Path()};
    const std::string home = dir.File("home"), data = dir.File("home/001"),
                      import = dir.File("import/"), pos = dir.File("pos/");
    test::ScriptedPrompter prompter;
};

TEST_F(EditAndSend, DepartmentsAreSentAndTheirResultReported) {
    prompter.answers = {true};  // save
    test::WhenShown<DepartmentDialog>([](DepartmentDialog& dialog) {
        test::TypeIntoCell(dialog.View(), 0, 0, "23");
        test::TypeIntoCell(dialog.View(), 0, 1, "Car wash");
        dialog.OkButton()->click();
    });
    ASSERT_EQ(RunEditLauncher({"--site-dir", data, "--site", "1", "departments"}, &prompter), 0);
    ASSERT_TRUE(fs::exists(data + "/MCT.XML"));

    const XmlDocument sent = Send("MCTBAK.XML");
    EXPECT_THAT(Query(sent, "//MCTDetail/MerchandiseCode"), ElementsAre("23"));
    EXPECT_THAT(Query(sent, "//MCTDetail/MerchandiseCodeDescription"), ElementsAre("Car wash"));
    EXPECT_THAT(RespondAndPoll(), Contains(HasSubstr("Department maintenance file successful.")));
}

TEST_F(EditAndSend, CombosAreSentAndTheirResultReported) {
    prompter.answers = {true};  // save
    test::WhenShown<SubListDialog>([](SubListDialog& list) {
        test::TypeIntoCell(list.View(), 0, 1, "2");
        test::TypeIntoCell(list.View(), 0, 3, "1.25");
        list.OkButton()->click();
    });
    test::WhenShown<ComboDialog>([](ComboDialog& dialog) {
        test::TypeIntoCell(dialog.View(), 0, 0, "C1");
        test::TypeIntoCell(dialog.View(), 0, 2, "4.5");
        dialog.View().TableModel().SetCell(0, 3, "L1;;;;;;");
        dialog.OpenComboList(0);
        dialog.OkButton()->click();
    });
    ASSERT_EQ(RunEditLauncher({"--site-dir", data, "--site", "1", "combos"}, &prompter), 0);
    ASSERT_TRUE(fs::exists(data + "/CBT.XML"));

    const XmlDocument sent = Send("CBTBAK.XML");
    EXPECT_THAT(Query(sent, "//CBTDetail/ComboID"), ElementsAre("C1"));
    EXPECT_THAT(Query(sent, "//CBTDetail/ComboPrice"), ElementsAre("4.50"));
    EXPECT_THAT(Query(sent, "//ComboItemList/ComboItemQuantity"), ElementsAre("2"));
    EXPECT_THAT(RespondAndPoll(), Contains(HasSubstr("Promotion maintenance file successful.")));
}

// Tidewell reports no result line of its own for mix-and-match offers: their counts reach the
// results file it keeps.
TEST_F(EditAndSend, MixMatchOffersAreSentAndTheirResultKept) {
    prompter.answers = {true};  // save
    test::WhenShown<SubListDialog>([](SubListDialog& entries) {
        EXPECT_EQ(entries.windowTitle(), "MixMatchEntries - Candy");
        test::TypeIntoCell(entries.View(), 0, 0, "2");
        entries.View().TableModel().SetCell(0, 2, "MixMatchPrice");
        test::TypeIntoCell(entries.View(), 0, 3, "1.50");
        entries.OkButton()->click();
    });
    test::WhenShown<MixMatchDialog>([](MixMatchDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Promotion/Mix Match Editor");
        test::TypeIntoCell(dialog.View(), 0, 0, "Candy");
        test::TypeIntoCell(dialog.View(), 0, 2, "SalesRestrictFlag;prohibitEBT;;TRUE;;;");
        dialog.OpenSubEditor(0, static_cast<int>(naxml::kMixMatchEntriesColumn));
        dialog.OkButton()->click();
    });
    ASSERT_EQ(RunEditLauncher({"--site-dir", data, "--site", "1", "mixmatch"}, &prompter), 0);
    ASSERT_TRUE(fs::exists(data + "/MMT.XML"));

    const XmlDocument sent = Send("MMTBAK.XML");
    EXPECT_THAT(Query(sent, "//n:MMTDetail/n:MixMatchDescription"), ElementsAre("Candy"));
    EXPECT_THAT(Query(sent, "//n:SalesRestrictFlag/@type"), ElementsAre("prohibitEBT"));
    EXPECT_THAT(Query(sent, "//n:MixMatchEntry/n:MixMatchPrice"), ElementsAre("1.50"));
    EXPECT_THAT(RespondAndPoll(), Contains(HasSubstr("NAXML Maintenance Results file")));
    XmlDocument results;
    ASSERT_TRUE(results.Load(data + "/ILG.XML"));
    EXPECT_THAT(Query(results, "//MMTDetail/success/@NAXMLDB"), ElementsAre("1"));
}
#endif

}  // namespace
}  // namespace tw::ui
