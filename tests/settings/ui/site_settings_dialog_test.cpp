#include "settings/ui/site_settings_dialog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "support/posix_site.h"
#include "support/recording_messages.h"
#include "support/scripted_prompter.h"

namespace tw::ui {
namespace {

using ::testing::ElementsAre;

int argc = 1;
char arg0[] = "site_settings_dialog_test";
char* argv[] = {arg0, nullptr};

class PhoneBook final : public DialUpDirectory {
public:
    Listing ListEntries() override { return {true, {"Shop 12", "Backup line"}}; }
};

// Runs act on the dialog once it is the active modal window.
void WhenModal(std::function<void(QDialog&)> act) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto* dialog = dynamic_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        timer->stop();
        timer->deleteLater();
        act(*dialog);
    });
    timer->start(10);
}

template <typename Widget>
Widget* Child(QWidget& parent, const char* name) {
    auto* widget = parent.findChild<Widget*>(QString::fromUtf8(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

void Click(QDialog& dialog, QDialogButtonBox::StandardButton which) {
    dialog.findChild<QDialogButtonBox*>()->button(which)->click();
}

class SiteSettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(setup.Load()); }
    QApplication app{argc, argv};
    test::RecordedMessages messages;
    test::PosixSite site;
    RadiantSetup setup{1, site.program};
    test::ScriptedPrompter prompter;
};

TEST_F(SiteSettingsDialogTest, EveryFieldChangedAndOkReachesTheSetupFile) {
    setup.SetFileDateTime(platform::OleDate::FromCivil(2026, 5, 6, 7, 8, 9));
    PhoneBook phoneBook;
    SiteSettingsForm form(setup, prompter, phoneBook);
    SiteSettingsDialog dialog(form);
    EXPECT_EQ(dialog.windowTitle(), "Site Settings");
    EXPECT_TRUE(Child<QGroupBox>(dialog, "dialUpGroup")->isEnabled());
    QComboBox* naxml = Child<QComboBox>(dialog, "naxmlVersion");
    ASSERT_EQ(naxml->count(), 2);
    EXPECT_EQ(naxml->itemText(0), "3.2 based");
    EXPECT_EQ(naxml->currentText(), "3.3");

    Child<QCheckBox>(dialog, "receiveSales")->setChecked(false);
    Child<QCheckBox>(dialog, "sendItems")->setChecked(false);
    Child<QCheckBox>(dialog, "deletePOSSourceFile")->setChecked(false);
    Child<QCheckBox>(dialog, "useRas")->setChecked(true);
    const std::pair<const char*, const char*> lines[] = {
        {"importDestinationPath", "/srv/pos/import/"},
        {"salesPath", "\\\\POS1\\Export\\"},
        {"exSalesPath", "/srv/pos/extra/"},
        {"userName", "STORE\\clerk"},
        {"password", "lógin"},
        {"rasPhoneNumber", "555-0112"},
        {"rasCallbackNumber", "555-0199"},
        {"rasUserName", "dialer"},
        {"rasPassword", "Passw0rd!"},
        {"rasDomain", "SHOPS"},
    };
    for (const auto& [name, text] : lines) Child<QLineEdit>(dialog, name)->setText(text);
    Child<QComboBox>(dialog, "rasEntry")->setCurrentText("Backup line");
    naxml->setCurrentText("3.2 based");
    prompter.Answer(true);
    Child<QPushButton>(dialog, "resetStartOfPolling")->click();
    ASSERT_EQ(prompter.Questions().size(), 1u);
    EXPECT_EQ(prompter.Questions()[0].text, "Reset start polling date time?");

    Click(dialog, QDialogButtonBox::Ok);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    RadiantSetup reread(1, site.program);
    ASSERT_TRUE(reread.Load());
    const SiteSettingsValues values = ValuesOf(reread);
    EXPECT_FALSE(values.receiveSales || values.sendItems || values.deletePOSSourceFile);
    EXPECT_TRUE(values.useRas);
    EXPECT_EQ(values.importDestinationPath, "/srv/pos/import/");
    EXPECT_EQ(values.salesPath, "\\\\POS1\\Export\\");
    EXPECT_EQ(values.exSalesPath, "/srv/pos/extra/");
    EXPECT_EQ(values.userName, "STORE\\clerk");
    EXPECT_EQ(values.password, "lógin");
    EXPECT_EQ(values.rasEntry, "Backup line");
    EXPECT_EQ(values.rasPhoneNumber, "555-0112");
    EXPECT_EQ(values.rasCallbackNumber, "555-0199");
    EXPECT_EQ(values.rasUserName, "dialer");
    EXPECT_EQ(values.rasPassword, "Passw0rd!");
    EXPECT_EQ(values.rasDomain, "SHOPS");
    EXPECT_EQ(values.naxmlVersion, "3.2 based");
    EXPECT_EQ(reread.FileDateTime(), DefaultFileDateTime());
    EXPECT_THAT(messages.error.Texts(), ElementsAre());
}

TEST_F(SiteSettingsDialogTest, AFailedSaveKeepsTheDialogOpenUntilCancelled) {
    std::filesystem::create_directory(site.data + "SETUP.001");  // the save cannot replace it
    bool stayedOpen = false;
    std::vector<std::string> errorsAfterOk;
    WhenModal([&](QDialog& dialog) {
        Child<QLineEdit>(dialog, "salesPath")->setText("/srv/pos/export/");
        Click(dialog, QDialogButtonBox::Ok);
        stayedOpen = dialog.isVisible();
        errorsAfterOk = messages.error.Texts();
        Click(dialog, QDialogButtonBox::Cancel);
    });
    NoDialUp noDialUp;
    EXPECT_FALSE(EditSiteSettings(nullptr, setup, prompter, noDialUp));
    EXPECT_TRUE(stayedOpen);
    EXPECT_THAT(errorsAfterOk, ElementsAre("Unable to save poller settings."));
    EXPECT_EQ(setup.salesPath, "") << "the unsaved value does not linger in the settings";
}

TEST_F(SiteSettingsDialogTest, WithoutDialUpTheStoredValuesStayButCannotBeEdited) {
    setup.useRas = true;
    setup.rasEntry = "Shop 12";
    NoDialUp noDialUp;
    SiteSettingsForm form(setup, prompter, noDialUp);
    SiteSettingsDialog dialog(form);
    EXPECT_FALSE(Child<QGroupBox>(dialog, "dialUpGroup")->isEnabled());
    EXPECT_FALSE(Child<QComboBox>(dialog, "rasEntry")->isEnabled());
    EXPECT_EQ(Child<QComboBox>(dialog, "rasEntry")->currentText(), "Shop 12");
    EXPECT_EQ(dialog.Values(), form.Initial());
}

}  // namespace
}  // namespace tw::ui
