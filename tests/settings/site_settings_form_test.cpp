#include "settings/site_settings_form.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "support/posix_site.h"
#include "support/recording_messages.h"
#include "support/scripted_prompter.h"

namespace tw {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

class ListedDialUp final : public DialUpDirectory {
public:
    explicit ListedDialUp(std::vector<std::string> entries) : entries_(std::move(entries)) {}
    Listing ListEntries() override { return {true, entries_}; }

private:
    std::vector<std::string> entries_;
};

SiteSettingsValues EveryFieldChanged() {
    SiteSettingsValues values;
    values.receiveSales = false;
    values.sendItems = false;
    values.deletePOSSourceFile = false;
    values.useRas = true;
    values.importDestinationPath = "/srv/pos/import/";
    values.salesPath = "\\\\POS1\\Export\\";
    values.exSalesPath = "/srv/pos/extra/";
    values.userName = "STORE\\clerk";
    values.password = "p=w 1";
    values.rasEntry = "Store 7";
    values.rasPhoneNumber = "555-0100";
    values.rasCallbackNumber = "555-0199";
    values.rasUserName = "dialer";
    values.rasPassword = "Passw0rd!";
    values.rasDomain = "SHOPS";
    values.naxmlVersion = "3.2 based";
    return values;
}

class SiteSettingsFormTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(setup.Load()); }
    test::RecordedMessages messages;
    test::PosixSite site;
    RadiantSetup setup{1, site.program};
    test::ScriptedPrompter prompter;
    NoDialUp noDialUp;
};

TEST_F(SiteSettingsFormTest, AcceptedValuesReachTheFilesAndReadBack) {
    SiteSettingsForm form(setup, prompter, noDialUp);
    EXPECT_EQ(form.Initial(), ValuesOf(setup));
    const SiteSettingsValues changed = EveryFieldChanged();
    ASSERT_TRUE(form.Accept(changed));

    RadiantSetup reread(1, site.program);
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(ValuesOf(reread), changed);
    const std::string setupFile = test::ReadAll(site.data + "SETUP.001");
    EXPECT_THAT(setupFile, HasSubstr("RasEncryptPassword = 2B4090AFD4ED94D32C\n"));
    EXPECT_THAT(setupFile, Not(HasSubstr("Passw0rd!")));
    EXPECT_THAT(messages.error.Texts(), ElementsAre());
}

TEST_F(SiteSettingsFormTest, AFailedSaveIsReportedAndTheOldValuesStandUntilARetrySucceeds) {
    // A directory where the file should be: the save fails even for root.
    std::filesystem::create_directory(site.data + "POSTSETUP.001");
    const SiteSettingsValues before = ValuesOf(setup);
    SiteSettingsForm form(setup, prompter, noDialUp);
    EXPECT_FALSE(form.Accept(EveryFieldChanged()));
    EXPECT_THAT(messages.error.Texts(), ElementsAre("Unable to save poller settings."));
    EXPECT_EQ(ValuesOf(setup), before);

    std::filesystem::remove(site.data + "POSTSETUP.001");
    EXPECT_TRUE(form.Accept(EveryFieldChanged()));
    EXPECT_EQ(ValuesOf(setup), EveryFieldChanged());
}

TEST_F(SiteSettingsFormTest, ResetAsksAndOnYesRestartsPollingFromTheDefaultAtOnce) {
    const auto later = platform::OleDate::FromCivil(2026, 3, 4, 5, 6, 7);
    setup.SetFileDateTime(later);
    SiteSettingsForm form(setup, prompter, noDialUp);
    prompter.Answer(false);
    EXPECT_FALSE(form.AskResetStartOfPolling());
    EXPECT_EQ(setup.FileDateTime(), later);
    prompter.Answer(true);
    EXPECT_TRUE(form.AskResetStartOfPolling());
    EXPECT_EQ(setup.FileDateTime(), DefaultFileDateTime());
    ASSERT_EQ(prompter.Questions().size(), 2u);
    EXPECT_EQ(prompter.Questions()[1].title, "Tidewell");
    EXPECT_EQ(prompter.Questions()[1].text, "Reset start polling date time?");
}

TEST_F(SiteSettingsFormTest, ListsKeepTheStoredEntryAndVersion) {
    setup.rasEntry = "Old modem";
    setup.naxmlVersion = "3.4";
    ListedDialUp listed({"Store 7", "Backup"});
    SiteSettingsForm form(setup, prompter, listed);
    EXPECT_TRUE(form.DialUpAvailable());
    EXPECT_THAT(form.DialUpEntries(), ElementsAre("Old modem", "Store 7", "Backup"));
    EXPECT_THAT(form.NaxmlVersions(), ElementsAre("3.2 based", "3.3", "3.4"));

    setup.rasEntry = "Backup";
    setup.naxmlVersion = "3.3";
    SiteSettingsForm withoutDialUp(setup, prompter, noDialUp);
    EXPECT_FALSE(withoutDialUp.DialUpAvailable());
    EXPECT_THAT(withoutDialUp.DialUpEntries(), ElementsAre("Backup"));
    EXPECT_THAT(withoutDialUp.NaxmlVersions(), ElementsAre("3.2 based", "3.3"));
}

}  // namespace
}  // namespace tw
