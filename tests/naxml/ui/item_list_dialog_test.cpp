// The item list editor on screen, offscreen, through the launcher: the back office's items
// (the stand-in, filled as qorpost-import fills it) offered in the entry sub-editor, a choice
// and its check digit reaching the file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <sstream>

#include "../../app/ui/qt_test_support.h"
#include "../maintenance/xpath_query.h"
#include "app/automation/automation_objects.h"
#include "backoffice/import_command.h"
#include "editor_ui_support.h"
#include "naxml/ui/editor_launch.h"
#include "naxml/ui/grid_dialog.h"
#include "platform/os_services.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"

namespace tw::ui {
namespace {

using naxml::test::Query;
using ::testing::ElementsAre;

class ItemListLauncher : public ::testing::Test {
protected:
    void SetUp() override {
        bool loaded = false;
        std::string error;
        void* entry =
            platform::LoadPinnedSymbol(STANDIN_SERVER, "DllRegisterServer", &loaded, &error);
        ASSERT_NE(entry, nullptr) << error;
        ASSERT_EQ(reinterpret_cast<HRESULT (*)()>(entry)(), S_OK);
        const std::string csv = dir.Write("items.csv",
                                          "id,UPC_code,UPC_pack_size,description,pack_size,active\n"
                                          "4711,01234567890,1,Cola,1,1\n"
                                          "123,,1,Gum,4,1\n"
                                          "123456,,1,Big id,1,1\n"
                                          "800,09999999999,1,Gone,1,0\n");
        std::ostringstream out, err;
        ASSERT_EQ(backoffice::RunItemImport({backOffice, csv}, out, err), 0) << err.str();
    }

    test::ScratchDir dir;
    test::ScopedEnv registry{"COMLITE_REGISTRY", dir.File("registry.reg")};
    test::ScopedEnv lockDir{"TIDEWELL_LOCK_DIR", dir.Path()};
    std::string backOffice = dir.Write("qor/.keep", "").substr(0, dir.File("qor/").size());
    std::string data = dir.Write("data/.keep", "").substr(0, dir.File("data/").size());
};

TEST_F(ItemListLauncher, AChosenBackOfficeItemIsWrittenWithItsFormatAndCheckDigit) {
    test::ScriptedPrompter prompter;
    prompter.answers = {true};  // save
    QStringList offered;
    test::WhenShown<ItemEntriesDialog>([&offered](ItemEntriesDialog& entries) {
        EXPECT_EQ(entries.windowTitle(), "ItemList - L7");
        GridView& view = entries.View();
        view.setCurrentIndex(view.model()->index(0, 0));
        test::PressKey(&view, Qt::Key_F2);
        auto* combo = qobject_cast<QComboBox*>(view.OpenEditor());
        ASSERT_NE(combo, nullptr);
        for (int i = 0; i < combo->count(); ++i) offered << combo->itemText(i);
        combo->setCurrentIndex(1);
        test::PressKey(combo, Qt::Key_Return, "\r");
        EXPECT_EQ(view.model()->index(0, 1).data().toString(), "upcA");
        EXPECT_EQ(view.model()->index(0, 2).data().toString(), "0");
        entries.OkButton()->click();
    });
    test::WhenShown<ItemListDialog>([](ItemListDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Item Group Editor");
        EXPECT_EQ(dialog.AddRowButton()->text(), "Add Item List");
        test::TypeIntoCell(dialog.View(), 0, 0, "L7");
        test::TypeIntoCell(dialog.View(), 0, 1, "Drinks");
        dialog.View().setCurrentIndex(dialog.View().model()->index(0, 2));
        test::PressKey(&dialog.View(), Qt::Key_F2);  // opens the entries, modally
        dialog.OkButton()->click();
    });
    ASSERT_EQ(
        RunEditLauncher({"--site-dir", data, "--back-office", backOffice, "itemlists"}, &prompter),
        0);

    EXPECT_EQ(offered,
              (QStringList{"", "01234567890 Pack:1 Cola", "4711 Pack:1 Cola", "123 Pack:4 Gum"}));
    XmlDocument written;
    ASSERT_TRUE(written.Load(data + "ILT.XML"));
    EXPECT_THAT(Query(written, "//ILTDetail/ItemListID"), ElementsAre("L7"));
    EXPECT_THAT(Query(written, "//ItemListEntry/ItemCode/POSCode"), ElementsAre("012345678905"));
    EXPECT_THAT(Query(written, "//ItemListEntry/ItemCode/POSCodeFormat/@format"),
                ElementsAre("upcA"));
    EXPECT_THAT(Query(written, "//ItemListEntry/ItemCode/POSCodeModifier"), ElementsAre("0"));
    EXPECT_THAT(prompter.QuestionTexts(), ElementsAre(naxml::kItemListSaveQuestion));
}

TEST_F(ItemListLauncher, WithoutABackOfficeTheCodeIsPlainText) {
    test::ScriptedPrompter prompter;
    test::WhenShown<ItemEntriesDialog>([](ItemEntriesDialog& entries) {
        GridView& view = entries.View();
        view.setCurrentIndex(view.model()->index(0, 0));
        test::PressKey(&view, Qt::Key_F2);
        EXPECT_EQ(qobject_cast<QComboBox*>(view.OpenEditor()), nullptr);
        entries.reject();
    });
    test::WhenShown<ItemListDialog>([](ItemListDialog& dialog) {
        dialog.OpenEntries(0);
        dialog.reject();
    });
    EXPECT_EQ(RunEditLauncher({"--site-dir", data, "itemlists"}, &prompter), 0);
    EXPECT_EQ(RunEditLauncher({"itemlists"}, &prompter), 2) << "a site directory is needed";
}

// Opened from Tidewell's menu the editor is modeless: it goes when closed, or with the window.
TEST_F(ItemListLauncher, TheModelessEditorGoesWhenClosedOrWithItsWindow) {
    test::ScriptedPrompter prompter;
    naxml::MaintenanceSite site{1, std::string(naxml::kProgramNameAndVersion), data};
    QPointer<ItemListDialog> closed = ShowItemListEditor(site, "", "", prompter, nullptr);
    ASSERT_TRUE(closed);
    EXPECT_TRUE(closed->isVisible());
    closed->reject();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // as the event loop
    EXPECT_TRUE(closed.isNull());

    auto* window = new QWidget;
    QPointer<ItemListDialog> child = ShowItemListEditor(site, "", "", prompter, window);
    delete window;
    EXPECT_TRUE(child.isNull());
}

}  // namespace
}  // namespace tw::ui
