#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/ole_date.h"
#include "radiant/journal_archive.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"
#include "zip/unzipper.h"
#include "zip/zipper.h"

namespace tw::radiant {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

class FixedClock : public platform::Clock {
public:
    std::time_t Now() const override { return now; }
    std::time_t now = 0;
};

// Answers every start with a scripted outcome, after an optional action that stands in for
// what the archiver would have written.
class FakeLauncher : public platform::ProcessLauncher {
public:
    platform::ProcessOutcome Run(const std::vector<std::string>& argv,
                                 const platform::ProcessOptions& options) override {
        calls.push_back(argv);
        limits.push_back(options.timeLimit);
        if (action)
            action(argv);
        return outcome;
    }
    std::vector<std::vector<std::string>> calls;
    std::vector<std::optional<std::chrono::milliseconds>> limits;
    std::function<void(const std::vector<std::string>&)> action;
    platform::ProcessOutcome outcome;
};

std::vector<std::string> EntryNames(const std::string& archive) {
    std::vector<std::string> names;
    zip::CUnzipper reader;
    if (!reader.OpenUnzip(archive))
        return {"<cannot open>"};
    reader.VisitEntries([&](const zip::ZipEntryInfo& entry) {
        names.push_back(entry.name);
        return true;
    });
    return names;
}

std::time_t LocalTime(int year, int month, int day, int hour = 12) {
    std::time_t t = 0;
    platform::OleDate::FromCivil(year, month, day, hour, 0, 0).ToFileTime(t);
    return t;
}

void SetModified(const std::string& path, std::time_t t) {
    fs::last_write_time(
        path, std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(t)));
}

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string rest = path ? path : "";
    for (std::size_t start = 0; start <= rest.size();) {
        std::size_t end = rest.find(':', start);
        if (end == std::string::npos)
            end = rest.size();
        std::error_code ec;
        if (end > start && fs::exists(rest.substr(start, end - start) + "/" + program, ec)) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

class JournalArchiveTest : public ::testing::Test {
protected:
    JournalArchiveTest() {
        clock_.now = LocalTime(2024, 3, 20);
        options_.clock = &clock_;
        options_.launcher = &launcher_;
    }

    std::string Data(const std::string& relative) const { return data_ + relative; }

    // An event file of a day folder, named as journal splitting names them.
    std::string Event(const std::string& day, const std::string& name,
                      const std::string& body = "<SaleEvent/>") {
        return dir_.Write("data/" + day.substr(3, 2) + "/" + day + "/" + name, body);
    }

    std::vector<std::string> Logged() const { return messages_.log.Texts(); }

    test::ScopedTimeZone zone_{"EST5EDT,M3.2.0,M11.1.0"};
    test::ScratchDir dir_;
    test::RecordedMessages messages_;
    std::string data_ = dir_.Path() + "/data/";
    FixedClock clock_;
    FakeLauncher launcher_;
    JournalArchiveOptions options_;
};

TEST_F(JournalArchiveTest, ZipPacksEveryDayFolderAndRemovesIt) {
    Event("jrn0305", "jrn20240305101500-1-77.xml");
    Event("jrn0305", "jrn20240305101600-2-78.XML");
    Event("jrn0306", "jrn20240306090000-1-80.xml");
    Event("jrn1231", "jrn20231231235900-1-1.xml");
    Event("jrn03051", "jrn20240305101500-1-99.xml");  // eight characters: not a day folder
    dir_.Write("data/03/jrn0307", "a file, not a folder");

    ASSERT_TRUE(ArchiveJournals(data_, false, options_));

    EXPECT_THAT(
        EntryNames(Data("03/JRN0305.ZIP")),
        ElementsAre("jrn0305/", "jrn20240305101500-1-77.xml", "jrn20240305101600-2-78.XML"));
    EXPECT_THAT(EntryNames(Data("03/JRN0306.ZIP")),
                ElementsAre("jrn0306/", "jrn20240306090000-1-80.xml"));
    EXPECT_THAT(EntryNames(Data("12/JRN1231.ZIP")),
                ElementsAre("jrn1231/", "jrn20231231235900-1-1.xml"));
    EXPECT_FALSE(fs::exists(Data("03/jrn0305")));
    EXPECT_FALSE(fs::exists(Data("12/jrn1231")));
    EXPECT_TRUE(fs::exists(Data("03/jrn03051/jrn20240305101500-1-99.xml")));
    EXPECT_FALSE(fs::exists(Data("03/JRN03051.ZIP")));
    EXPECT_THAT(Logged(), IsEmpty());
    EXPECT_EQ(messages_.screen.Texts().size(), 4u);
    EXPECT_THAT(messages_.screen.Texts()[0], "Archiving " +
                                                 Data("03/jrn0305/jrn20240305101500-1-77.xml") +
                                                 " to " + Data("03/JRN0305.ZIP"));
}

TEST_F(JournalArchiveTest, RelativeDataDirectoryIsTakenFromTheWorkingDirectory) {
    Event("jrn0305", "e1.xml");
    const fs::path previous = fs::current_path();
    fs::current_path(dir_.Path());
    const bool archived = ArchiveJournals("data", false, options_);
    fs::current_path(previous);
    EXPECT_TRUE(archived);
    EXPECT_THAT(EntryNames(Data("03/JRN0305.ZIP")), ElementsAre("jrn0305/", "e1.xml"));
    EXPECT_FALSE(fs::exists(Data("03/jrn0305")));
}

TEST_F(JournalArchiveTest, DayFolderAlreadyInTheArchiveIsAddedAgainWithoutDuplicates) {
    Event("jrn0305", "jrn20240305101500-1-77.xml");
    Event("jrn0305", "jrn20240305101600-2-78.xml");
    ASSERT_TRUE(ArchiveJournals(data_, false, options_));
    // A run interrupted after writing the archive but before removing the folder, then a later
    // journal of the same day.
    Event("jrn0305", "jrn20240305101500-1-77.xml");
    Event("jrn0305", "jrn20240305101600-2-78.xml");
    Event("jrn0305", "jrn20240305180000-1-90.xml");
    // The remains of a writer killed half-way: a temporary copy the next run must not mind.
    dir_.Write("data/03/.~twJRN0305.ZIP.a1b2c3", "PK\x03\x04 partial");

    ASSERT_TRUE(ArchiveJournals(data_, false, options_));
    EXPECT_THAT(EntryNames(Data("03/JRN0305.ZIP")),
                ElementsAre("jrn0305/", "jrn20240305101500-1-77.xml", "jrn20240305101600-2-78.xml",
                            "jrn20240305180000-1-90.xml"));
    EXPECT_FALSE(fs::exists(Data("03/jrn0305")));
    EXPECT_THAT(messages_.screen.Texts(), Contains(HasSubstr("jrn20240305180000-1-90.xml")));
    EXPECT_EQ(messages_.screen.Texts().size(), 3u) << "present names are not archived again";
}

TEST_F(JournalArchiveTest, ArchivesOlderThanThirtyDaysStartAfresh) {
    // 30 and 31 civil days before 20 March, across the change to summer time on 10 March.
    for (int age : {30, 31}) {
        SCOPED_TRACE(age);
        const std::string day = age == 30 ? "jrn0218" : "jrn0217";
        const std::string archive = Data("02/" + zip::EntryKey(day) + ".ZIP");
        Event(day, "last-year.xml");
        ASSERT_TRUE(ArchiveJournals(data_, false, options_));
        platform::OleDate written = platform::OleDate::FromFileTime(clock_.now).AddDays(-age);
        std::time_t t = 0;
        ASSERT_TRUE(written.ToFileTime(t));
        SetModified(archive, t);
        Event(day, "this-year.xml");
        ASSERT_TRUE(ArchiveJournals(data_, false, options_));
        if (age == 30) {
            EXPECT_THAT(EntryNames(archive),
                        ElementsAre(day + "/", "last-year.xml", "this-year.xml"));
        } else {
            EXPECT_THAT(EntryNames(archive), ElementsAre(day + "/", "this-year.xml"));
            EXPECT_THAT(Logged(), ElementsAre("Old zip file removed, " + archive));
        }
    }
}

TEST_F(JournalArchiveTest, DamagedArchiveIsSetAsideAndANewOneMade) {
    dir_.Write("data/03/JRN0305.ZIP", "not a zip archive");
    Event("jrn0305", "e1.xml");
    ASSERT_TRUE(ArchiveJournals(data_, false, options_));
    EXPECT_EQ(test::ReadAll(Data("03/JRN0305-ERR1.ZIP")), "not a zip archive");
    EXPECT_THAT(EntryNames(Data("03/JRN0305.ZIP")), ElementsAre("jrn0305/", "e1.xml"));
    EXPECT_FALSE(fs::exists(Data("03/jrn0305")));
    EXPECT_THAT(Logged(), ElementsAre("Open zip file failed, " + Data("03/JRN0305.ZIP")));
}

TEST_F(JournalArchiveTest, EleventhSetAsideCopyPushesTheOldestOut) {
    const std::string month = Data("03");
    for (int i = 1; i <= 11; ++i) {
        dir_.Write("data/03/JRN0305.ZIP", "damaged " + std::to_string(i));
        DoderiziVizorozUrav copies("JRN0305.ZIP", month, month);
        ASSERT_TRUE(copies.Copy()) << i;
    }
    for (int n = 1; n <= 10; ++n) {
        EXPECT_EQ(test::ReadAll(Data("03/JRN0305-ERR" + std::to_string(n) + ".ZIP")),
                  "damaged " + std::to_string(12 - n));
    }
    EXPECT_FALSE(fs::exists(Data("03/JRN0305-ERR11.ZIP")));

    CascadeCopy plain("notes.txt", month, Data("backup"));
    std::string name;
    plain.NumberedName(3, name);
    EXPECT_EQ(name, "3notes.txt");
    dir_.Write("data/03/notes.txt", "n");
    EXPECT_TRUE(plain.Copy());
    EXPECT_EQ(test::ReadAll(Data("backup/1notes.txt")), "n");
    EXPECT_EQ(plain.status, "Success");
}

TEST_F(JournalArchiveTest, UnreadableEventFileStaysWithItsFolder) {
    Event("jrn0305", "a.xml");
    Event("jrn0305", "c.xml");
    fs::create_symlink(dir_.File("nowhere.xml"), Data("03/jrn0305/b.xml"));
    Event("jrn0306", "d.xml");
    ASSERT_TRUE(ArchiveJournals(data_, false, options_));
    EXPECT_THAT(EntryNames(Data("03/JRN0305.ZIP")), ElementsAre("jrn0305/", "a.xml", "c.xml"));
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(Data("03/jrn0305"))) {
        left.push_back(e.path().filename().string());
    }
    EXPECT_THAT(left, ElementsAre("b.xml"));
    EXPECT_THAT(Logged(), ElementsAre("Failed append file to the zip, " + Data("03/JRN0305.ZIP"),
                                      "Remove directory " + Data("03/jrn0305") + " error"));
    EXPECT_FALSE(fs::exists(Data("03/jrn0306"))) << "the run went on";
}

TEST_F(JournalArchiveTest, FilesThatDifferOnlyInCaseAreNotTakenForOneAnother) {
    // An archive written where names were compared without regard to case holds one of them.
    Event("jrn0305", "E1.XML", "upper");
    ASSERT_TRUE(ArchiveJournals(data_, false, options_));
    Event("jrn0305", "e1.xml", "lower");
    Event("jrn0305", "E1.XML", "upper again");
    ASSERT_TRUE(ArchiveJournals(data_, false, options_));
    EXPECT_TRUE(fs::exists(Data("03/jrn0305/e1.xml"))) << "not in the archive: kept";
    EXPECT_FALSE(fs::exists(Data("03/jrn0305/E1.XML")));
}

TEST_F(JournalArchiveTest, ArchiveThatCannotBeSetAsideEndsTheRun) {
    fs::create_directories(Data("03/JRN0305.ZIP/in-the-way"));
    Event("jrn0305", "e1.xml");
    Event("jrn1231", "e2.xml");
    EXPECT_FALSE(ArchiveJournals(data_, false, options_));
    EXPECT_TRUE(fs::exists(Data("03/jrn0305/e1.xml")));
    EXPECT_TRUE(fs::exists(Data("12/jrn1231/e2.xml"))) << "left for the next run";
    EXPECT_THAT(Logged(), Contains("Can not rename bad zip file, " + Data("03/JRN0305.ZIP")));
}

TEST_F(JournalArchiveTest, SevenZipMissingFromPathLeavesEveryFolder) {
    Event("jrn0305", "e1.xml");
    Event("jrn0306", "e2.xml");
    fs::create_directories(Data("03/jrn0307"));  // no event files: the archiver is not started
    test::ScopedEnv path("PATH", dir_.File("empty-bin"));
    JournalArchiveOptions realLauncher;
    realLauncher.clock = &clock_;
    ArchiveJournals(data_, true, realLauncher);
    EXPECT_TRUE(fs::exists(Data("03/jrn0305/e1.xml")));
    EXPECT_TRUE(fs::exists(Data("03/jrn0306/e2.xml")));
    const auto logged = Logged();
    ASSERT_EQ(logged.size(), 7u);
    EXPECT_EQ(logged[0], "Archiving Journal files..");
    EXPECT_EQ(logged[1], "Archiving Journal files, " + Data("03/JRN0305.ZIP"));
    EXPECT_EQ(logged[2], "Failed launch 7za a -tzip -ssc- -bso0 -bsp0 " + Data("03/JRN0305.ZIP") +
                             " " + Data("03/jrn0305/*.XML") + ", 7za must be in PATH dir");
    EXPECT_THAT(logged[4], HasSubstr("Failed launch 7za"));
    EXPECT_EQ(logged[5], "Archiving Journal files, " + Data("03/JRN0307.ZIP"));
    EXPECT_EQ(logged[6], "Complete.");
}

TEST_F(JournalArchiveTest, SevenZipArchivesLowerCaseEventFiles) {
    if (!OnPath("7za"))
        GTEST_SKIP() << "7za is not installed";
    Event("jrn0305", "jrn20240305101500-1-77.xml");
    Event("jrn0305", "jrn20240305101600-2-78.Xml");
    JournalArchiveOptions realLauncher;
    realLauncher.clock = &clock_;
    ArchiveJournals(data_, true, realLauncher);
    EXPECT_THAT(EntryNames(Data("03/JRN0305.ZIP")),
                UnorderedElementsAre("jrn20240305101500-1-77.xml", "jrn20240305101600-2-78.Xml"));
    EXPECT_FALSE(fs::exists(Data("03/jrn0305")));
}

TEST_F(JournalArchiveTest, SevenZipExitCodes) {
    Event("jrn0305", "e1.xml");
    Event("jrn0305", "e2.xml");
    const std::string archive = Data("03/JRN0305.ZIP");

    // A warning: only what the archive lists is deleted.
    launcher_.outcome = {platform::ProcessOutcome::Status::Exited, 1};
    launcher_.action = [&](const std::vector<std::string>&) {
        zip::CZipper partial;
        partial.OpenZip(archive, std::nullopt, zip::ZipOpenMode::Create);
        partial.AddFile(Data("03/jrn0305/e1.xml"), true);
        partial.Close();
    };
    ArchiveJournals(data_, true, options_);
    ASSERT_EQ(launcher_.calls.size(), 1u);
    EXPECT_THAT(launcher_.calls[0], ElementsAre("7za", "a", "-tzip", "-ssc-", "-bso0", "-bsp0",
                                                archive, Data("03/jrn0305/*.XML")));
    EXPECT_EQ(launcher_.limits[0], std::chrono::milliseconds(300000));
    EXPECT_FALSE(fs::exists(Data("03/jrn0305/e1.xml")));
    EXPECT_TRUE(fs::exists(Data("03/jrn0305/e2.xml")));

    // A fatal error sets the archive aside; a second one keeps the first set-aside copy.
    launcher_.action = nullptr;
    launcher_.outcome = {platform::ProcessOutcome::Status::Exited, 2};
    ArchiveJournals(data_, true, options_);
    EXPECT_FALSE(fs::exists(archive));
    EXPECT_THAT(EntryNames(Data("03/JRN0305-ERR.ZIP")), ElementsAre("e1.xml"));
    EXPECT_THAT(Logged(),
                Contains("Corrupt zip " + archive + " renamed to " + Data("03/JRN0305-ERR.ZIP")));
    dir_.Write("data/03/JRN0305.ZIP", "second damaged");
    ArchiveJournals(data_, true, options_);
    EXPECT_THAT(EntryNames(Data("03/JRN0305-ERR.ZIP")), ElementsAre("e1.xml"));
    EXPECT_EQ(test::ReadAll(Data("03/JRN0305-ERR1.ZIP")), "second damaged");

    // Out of time: the folder stays.
    messages_.log.Clear();
    launcher_.outcome = {platform::ProcessOutcome::Status::TimedOut};
    ArchiveJournals(data_, true, options_);
    EXPECT_THAT(Logged(), Contains("User aborted"));
    EXPECT_TRUE(fs::exists(Data("03/jrn0305/e2.xml")));

    launcher_.outcome = {platform::ProcessOutcome::Status::Exited, 7};
    ArchiveJournals(data_, true, options_);
    EXPECT_THAT(Logged(), Contains(HasSubstr(", Code 7")));
    EXPECT_TRUE(fs::exists(Data("03/jrn0305/e2.xml")));
}

TEST_F(JournalArchiveTest, ArchiverOverItsTimeLimitIsEnded) {
    const std::string bin = dir_.Write("bin/7za", "#!/bin/sh\nsleep 30\n");
    fs::permissions(bin, fs::perms(0755));
    test::ScopedEnv path("PATH", dir_.File("bin") + ":/usr/bin:/bin");
    Event("jrn0305", "e1.xml");
    JournalArchiveOptions options;
    options.clock = &clock_;
    options.sevenZipTimeLimit = std::chrono::milliseconds(200);
    const auto start = std::chrono::steady_clock::now();
    ArchiveJournals(data_, true, options);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_THAT(Logged(), Contains("User aborted"));
    EXPECT_TRUE(fs::exists(Data("03/jrn0305/e1.xml")));
}

}  // namespace
}  // namespace tw::radiant
