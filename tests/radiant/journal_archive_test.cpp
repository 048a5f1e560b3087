#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/ole_date.h"
#include "radiant/journal_archive.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"
#include "zip/entry_damage.h"
#include "zip/unzipper.h"
#include "zip/zipper.h"

namespace tw::radiant {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Pair;
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

// The content of every file entry that reads back whole with a matching checksum, by name.
std::map<std::string, std::string> IntactContents(const std::string& archive) {
    std::map<std::string, std::string> contents;
    zip::CUnzipper reader;
    if (!reader.OpenUnzip(archive))
        return contents;
    std::string content;
    for (bool more = reader.GoToFirstEntry(); more; more = reader.GoToNextEntry()) {
        zip::ZipEntryInfo info;
        if (reader.CurrentEntry(info) && !info.isDirectory && reader.ReadCurrent(content))
            contents[info.name] = content;
    }
    return contents;
}

// Flips a byte inside the stored data of one entry of the archive file.
void DamageEntry(const std::string& archive, const std::string& name) {
    std::string bytes = test::ReadAll(archive);
    ASSERT_TRUE(test::DamageEntry(bytes, name, 200)) << name << " in " << archive;
    std::ofstream(archive, std::ios::binary | std::ios::trunc) << bytes;
}

// An event file's worth of text that deflates to more than a few bytes.
std::string Body(int n) {
    std::string text = "<SaleEvent n=\"" + std::to_string(n) + "\">";
    for (int i = 0; i < 150; ++i)
        text += "<Line>" + std::to_string((i * 7919 + n * 104729) % 100003) + "</Line>";
    return text + "</SaleEvent>";
}

// Limits the size of files this process may write, standing in for a full disk.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~ScopedFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    sighandler_t oldHandler_;
};

std::string Incompressible(std::size_t size) {
    std::mt19937 random(7);
    std::string text(size, '\0');
    for (char& c : text) c = static_cast<char>(random());
    return text;
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
    std::vector<std::string> Errors() const { return messages_.error.Texts(); }

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

TEST_F(JournalArchiveTest, UnreadableArchiveIsSetAsideAsAnErrorAndANewOneMade) {
    dir_.Write("data/03/JRN0305.ZIP", "not a zip archive");
    Event("jrn0305", "e1.xml");
    ASSERT_TRUE(ArchiveJournals(data_, false, options_));
    EXPECT_EQ(test::ReadAll(Data("03/JRN0305-ERR1.ZIP")), "not a zip archive");
    EXPECT_THAT(EntryNames(Data("03/JRN0305.ZIP")), ElementsAre("jrn0305/", "e1.xml"));
    EXPECT_FALSE(fs::exists(Data("03/jrn0305")));
    EXPECT_THAT(Errors(), ElementsAre("Open zip file failed, " + Data("03/JRN0305.ZIP")));
    EXPECT_THAT(Logged(), IsEmpty()) << "reported once, as an error";
}

TEST_F(JournalArchiveTest, DamagedEntryIsReportedAndTheArchiveRebuiltFromWhatIsSound) {
    const std::string archive = Data("03/JRN0305.ZIP");
    for (int n : {1, 2, 3}) Event("jrn0305", "e" + std::to_string(n) + ".xml", Body(n));
    ASSERT_TRUE(ArchiveJournals(data_, false, options_));
    DamageEntry(archive, "e2.xml");
    const std::string damaged = test::ReadAll(archive);
    Event("jrn0305", "e3.xml", Body(3));  // still here after a run cut short
    Event("jrn0305", "e4.xml", Body(4));

    ASSERT_TRUE(ArchiveJournals(data_, false, options_));
    EXPECT_THAT(Errors(), ElementsAre("Damaged entry e2.xml in zip file " + archive));
    EXPECT_TRUE(test::ReadAll(Data("03/JRN0305-ERR1.ZIP")) == damaged) << "set aside whole";
    EXPECT_THAT(EntryNames(archive), ElementsAre("jrn0305/", "e1.xml", "e3.xml", "e4.xml"));
    EXPECT_THAT(
        IntactContents(archive),
        ElementsAre(Pair("e1.xml", Body(1)), Pair("e3.xml", Body(3)), Pair("e4.xml", Body(4))));
    EXPECT_FALSE(fs::exists(Data("03/jrn0305")));

    // The rebuilt archive is sound: the next run adds to it.
    messages_.error.Clear();
    Event("jrn0305", "e5.xml", Body(5));
    ASSERT_TRUE(ArchiveJournals(data_, false, options_));
    EXPECT_THAT(Errors(), IsEmpty());
    EXPECT_EQ(IntactContents(archive).size(), 4u);
    EXPECT_FALSE(fs::exists(Data("03/JRN0305-ERR2.ZIP")));
}

// A pass can die at any instruction: killed at moments spread over an archiving run that makes a
// new archive, adds to one, or rebuilds a damaged one, the archive is always the old one or the
// complete new one, and every event is in the day folder or whole in the archive. The run after
// that finishes the work.
TEST_F(JournalArchiveTest, KilledRunLeavesAnArchiveAndEveryEventSomewhere) {
    enum class Start { NoArchive, SoundArchive, DamagedArchive, UnreadableArchive };
    constexpr int kEvents = 400;
    constexpr int kKills = 10;
    for (Start start :
         {Start::NoArchive, Start::SoundArchive, Start::DamagedArchive, Start::UnreadableArchive}) {
        SCOPED_TRACE(static_cast<int>(start));
        // The starting state: the first half archived (one entry damaged), the rest to do.
        const std::string model = "model" + std::to_string(static_cast<int>(start));
        const std::string modelData = dir_.File(model + "/data");
        const std::string archiveName = "/03/JRN0305.ZIP";
        std::map<std::string, std::string> held, pending;
        for (int n = 0; n < kEvents; ++n) {
            const std::string name = "e" + std::to_string(n) + ".xml";
            const bool archived =
                n < kEvents / 2 && (start == Start::SoundArchive || start == Start::DamagedArchive);
            (archived ? held : pending)[name] = Body(n);
        }
        for (const auto& [name, body] : held) dir_.Write(model + "/data/03/jrn0305/" + name, body);
        if (!held.empty()) {
            ASSERT_TRUE(ArchiveJournals(modelData, false, options_));
        }
        if (start == Start::DamagedArchive) {
            DamageEntry(modelData + archiveName, "e7.xml");
            held.erase("e7.xml");
        }
        if (start == Start::UnreadableArchive)
            dir_.Write(model + "/data" + archiveName, "not a zip archive");
        const std::string original =
            start == Start::NoArchive ? "" : test::ReadAll(modelData + archiveName);
        for (const auto& [name, body] : pending)
            dir_.Write(model + "/data/03/jrn0305/" + name, body);

        // How long an undisturbed run takes, to spread the kills over it.
        const std::string timed = dir_.File("timed/data");
        fs::create_directories(timed);
        fs::copy(modelData, timed, fs::copy_options::recursive);
        const auto began = std::chrono::steady_clock::now();
        ArchiveJournals(timed, false, options_);
        const auto runTime = std::chrono::steady_clock::now() - began;
        fs::remove_all(dir_.File("timed"));

        for (int kill = 0; kill < kKills; ++kill) {
            SCOPED_TRACE(kill);
            const std::string data = dir_.File("kill/data");
            fs::remove_all(dir_.File("kill"));
            fs::create_directories(data);
            fs::copy(modelData, data, fs::copy_options::recursive);
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                ArchiveJournals(data, false, options_);
                ::_exit(0);
            }
            std::this_thread::sleep_for(runTime * kill / kKills);
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);

            const std::string archive = data + archiveName;
            const std::string setAside = data + "/03/JRN0305-ERR1.ZIP";
            ASSERT_TRUE(original.empty() || fs::exists(archive)) << "the archive vanished";
            const bool untouched =
                original.empty() ? !fs::exists(archive) : test::ReadAll(archive) == original;
            auto inArchive = IntactContents(archive);
            if (!untouched) {
                EXPECT_EQ(EntryNames(archive).size(), inArchive.size() + 1) << "all sound";
                for (const auto& [name, body] : held) EXPECT_TRUE(inArchive[name] == body) << name;
            }
            if (start >= Start::DamagedArchive && (!untouched || fs::exists(setAside))) {
                EXPECT_TRUE(test::ReadAll(setAside) == original) << "set aside whole first";
            }
            for (const auto& [name, body] : pending) {
                const std::string file = data + "/03/jrn0305/" + name;
                if (fs::exists(file)) {
                    EXPECT_TRUE(test::ReadAll(file) == body) << name;
                } else {
                    ASSERT_TRUE(inArchive.count(name)) << name << " is nowhere";
                    EXPECT_TRUE(inArchive[name] == body) << name;
                }
            }
        }

        // The next run completes what the last killed one left.
        const std::string data = dir_.File("kill/data");
        ArchiveJournals(data, false, options_);
        EXPECT_FALSE(fs::exists(data + "/03/jrn0305"));
        auto all = held;
        all.insert(pending.begin(), pending.end());
        EXPECT_TRUE(IntactContents(data + archiveName) == all);
        EXPECT_EQ(EntryNames(data + archiveName).size(), all.size() + 1) << "all sound";
        EXPECT_FALSE(fs::exists(data + "/03/JRN0305-ERR2.ZIP")) << "one damaged archive, one copy";
        fs::remove_all(dir_.File("kill"));
        fs::remove_all(dir_.File(model));
    }
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
    EXPECT_THAT(Errors(), ElementsAre("Failed append file to the zip, " + Data("03/JRN0305.ZIP"),
                                      "Remove directory " + Data("03/jrn0305") + " error"));
    EXPECT_THAT(Logged(), IsEmpty());
    EXPECT_FALSE(fs::exists(Data("03/jrn0306"))) << "the run went on";
}

TEST_F(JournalArchiveTest, ArchiveThatCannotBeWrittenIsAnError) {
    const std::string archive = Data("03/JRN0305.ZIP");
    Event("jrn0305", "big.xml", Incompressible(2 << 20));
    Event("jrn0306", "e1.xml");
    {
        ScopedFileSizeLimit full(256 << 10);
        EXPECT_FALSE(ArchiveJournals(data_, false, options_));
    }
    EXPECT_THAT(Errors(), ElementsAre("Failed open new zip file, " + archive));
    EXPECT_FALSE(fs::exists(archive));
    EXPECT_TRUE(fs::exists(Data("03/jrn0305/big.xml")));
    EXPECT_TRUE(fs::exists(Data("03/jrn0306/e1.xml"))) << "left for the next run";

    // Adding to an archive that exists: it stays as it was.
    fs::rename(Data("03/jrn0305/big.xml"), Data("03/big.xml"));
    Event("jrn0305", "e0.xml");
    ASSERT_TRUE(ArchiveJournals(data_, false, options_));
    const std::string before = test::ReadAll(archive);
    fs::create_directories(Data("03/jrn0305"));
    fs::rename(Data("03/big.xml"), Data("03/jrn0305/big.xml"));
    messages_.error.Clear();
    {
        ScopedFileSizeLimit full(256 << 10);
        EXPECT_FALSE(ArchiveJournals(data_, false, options_));
    }
    EXPECT_THAT(Errors(), ElementsAre("Failed append file to the zip, " + archive));
    EXPECT_TRUE(test::ReadAll(archive) == before);
    EXPECT_TRUE(fs::exists(Data("03/jrn0305/big.xml")));
}

TEST_F(JournalArchiveTest, FilesThatDifferOnlyInCaseAreNotTakenForOneAnother) {
    // An archive written where names were compared without regard to case holds one of them.
    Event("jrn0305", "E1.XML", "upper");
    ASSERT_TRUE(ArchiveJournals(data_, false, options_));
    Event("jrn0305", "e1.xml", "lower");
    Event("jrn0305", "E1.XML", "upper");
    ASSERT_TRUE(ArchiveJournals(data_, false, options_));
    EXPECT_TRUE(fs::exists(Data("03/jrn0305/e1.xml"))) << "not in the archive: kept";
    EXPECT_FALSE(fs::exists(Data("03/jrn0305/E1.XML")));
}

TEST_F(JournalArchiveTest, EventWithOtherContentUnderAnArchivedNameStays) {
    const std::string archive = Data("03/JRN0305.ZIP");
    Event("jrn0305", "e1.xml", Body(1));
    ASSERT_TRUE(ArchiveJournals(data_, false, options_));
    // The same event split again with other content, beside one that is the same again.
    Event("jrn0305", "e1.xml", Body(11));
    Event("jrn0305", "e2.xml", Body(2));
    ASSERT_TRUE(ArchiveJournals(data_, false, options_));
    EXPECT_THAT(IntactContents(archive),
                ElementsAre(Pair("e1.xml", Body(1)), Pair("e2.xml", Body(2))));
    EXPECT_TRUE(test::ReadAll(Data("03/jrn0305/e1.xml")) == Body(11));
    EXPECT_FALSE(fs::exists(Data("03/jrn0305/e2.xml")));
    EXPECT_THAT(Errors(),
                ElementsAre("File " + Data("03/jrn0305/e1.xml") +
                                " differs from its namesake in zip file " + archive + ", kept",
                            "Remove directory " + Data("03/jrn0305") + " error"));

    // The external archiver's archive is held to the same rule.
    messages_.error.Clear();
    launcher_.outcome = {platform::ProcessOutcome::Status::Exited, 0};
    ArchiveJournals(data_, true, options_);
    EXPECT_TRUE(test::ReadAll(Data("03/jrn0305/e1.xml")) == Body(11));
    EXPECT_THAT(Errors(), Contains(HasSubstr(" differs from its namesake in zip file ")));
}

TEST_F(JournalArchiveTest, SevenZipKeepsWhatTheArchiveHolds) {
    if (!OnPath("7za"))
        GTEST_SKIP() << "7za is not installed";
    const std::string archive = Data("03/JRN0305.ZIP");
    JournalArchiveOptions realLauncher;
    realLauncher.clock = &clock_;
    Event("jrn0305", "e1.xml", Body(1));
    ArchiveJournals(data_, true, realLauncher);
    ASSERT_FALSE(fs::exists(Data("03/jrn0305")));
    // Newer, with other content: the archiver must not replace the archived event.
    const std::string again = Event("jrn0305", "e1.xml", Body(11));
    SetModified(again, std::time(nullptr) + 3600);
    Event("jrn0305", "e2.xml", Body(2));
    ArchiveJournals(data_, true, realLauncher);
    EXPECT_THAT(IntactContents(archive),
                ElementsAre(Pair("e1.xml", Body(1)), Pair("e2.xml", Body(2))));
    EXPECT_TRUE(test::ReadAll(Data("03/jrn0305/e1.xml")) == Body(11));
    EXPECT_THAT(Errors(), Contains(HasSubstr(" differs from its namesake in zip file ")));
}

TEST_F(JournalArchiveTest, FolderUnderTheArchiveNameLeavesOnlyItsDay) {
    fs::create_directories(Data("03/JRN0305.ZIP/in-the-way"));
    Event("jrn0305", "e1.xml");
    Event("jrn1231", "e2.xml");
    for (bool sevenZip : {false, true}) {
        SCOPED_TRACE(sevenZip);
        messages_.error.Clear();
        ArchiveJournals(data_, sevenZip, options_);
        EXPECT_TRUE(fs::exists(Data("03/jrn0305/e1.xml")));
        EXPECT_TRUE(fs::exists(Data("03/JRN0305.ZIP/in-the-way")));
        EXPECT_THAT(Errors(),
                    ElementsAre("Zip file " + Data("03/JRN0305.ZIP") + " is not a regular file, " +
                                Data("03/jrn0305") + " not archived"));
    }
    EXPECT_THAT(EntryNames(Data("12/JRN1231.ZIP")), ElementsAre("jrn1231/", "e2.xml"));
    EXPECT_FALSE(fs::exists(Data("12/jrn1231"))) << "the other days went on";
    EXPECT_EQ(launcher_.calls.size(), 0u) << "the archiver was not started for it";
}

TEST_F(JournalArchiveTest, ArchiveThatCannotBeSetAsideEndsTheRun) {
    dir_.Write("data/03/JRN0305.ZIP", "not a zip archive");
    for (int n = 1; n < 10; ++n)
        dir_.Write("data/03/JRN0305-ERR" + std::to_string(n) + ".ZIP", "x");
    fs::create_directories(Data("03/JRN0305-ERR10.ZIP/in-the-way"));  // copy 9 cannot move up
    Event("jrn0305", "e1.xml");
    Event("jrn1231", "e2.xml");
    EXPECT_FALSE(ArchiveJournals(data_, false, options_));
    EXPECT_EQ(test::ReadAll(Data("03/JRN0305.ZIP")), "not a zip archive");
    EXPECT_TRUE(fs::exists(Data("03/jrn0305/e1.xml")));
    EXPECT_TRUE(fs::exists(Data("12/jrn1231/e2.xml"))) << "left for the next run";
    EXPECT_THAT(Errors(), Contains("Can not rename bad zip file, " + Data("03/JRN0305.ZIP")));
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
    EXPECT_THAT(Logged(),
                ElementsAre("Archiving Journal files..",
                            "Archiving Journal files, " + Data("03/JRN0305.ZIP"),
                            "Archiving Journal files, " + Data("03/JRN0306.ZIP"),
                            "Archiving Journal files, " + Data("03/JRN0307.ZIP"), "Complete."));
    const auto errors = Errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "Failed launch 7za a -tzip -ssc- -bso0 -bsp0 -up1q1r2x1y1z1w1 " +
                             Data("03/JRN0305.ZIP") + " " + Data("03/jrn0305/*.XML") +
                             ", 7za must be in PATH dir");
    EXPECT_THAT(errors[1], HasSubstr("Failed launch 7za"));
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
    EXPECT_THAT(launcher_.calls[0],
                ElementsAre("7za", "a", "-tzip", "-ssc-", "-bso0", "-bsp0", "-up1q1r2x1y1z1w1",
                            archive, Data("03/jrn0305/*.XML")));
    EXPECT_EQ(launcher_.limits[0], std::chrono::milliseconds(300000));
    EXPECT_FALSE(fs::exists(Data("03/jrn0305/e1.xml")));
    EXPECT_TRUE(fs::exists(Data("03/jrn0305/e2.xml")));
    EXPECT_THAT(Errors(), ElementsAre("Remove directory " + Data("03/jrn0305") + " error"));

    // A fatal error sets the archive aside; a second one keeps the first set-aside copy.
    launcher_.action = nullptr;
    launcher_.outcome = {platform::ProcessOutcome::Status::Exited, 2};
    ArchiveJournals(data_, true, options_);
    EXPECT_FALSE(fs::exists(archive));
    EXPECT_THAT(EntryNames(Data("03/JRN0305-ERR.ZIP")), ElementsAre("e1.xml"));
    messages_.error.Clear();
    dir_.Write("data/03/JRN0305.ZIP", "second damaged");
    ArchiveJournals(data_, true, options_);
    EXPECT_THAT(EntryNames(Data("03/JRN0305-ERR.ZIP")), ElementsAre("e1.xml"));
    EXPECT_EQ(test::ReadAll(Data("03/JRN0305-ERR1.ZIP")), "second damaged");
    EXPECT_THAT(Errors(),
                ElementsAre(HasSubstr(", Code 2"), "Corrupt zip " + archive + " renamed to " +
                                                       Data("03/JRN0305-ERR1.ZIP")))
        << "names the copy it wrote";

    // Out of time, or any other failure: the folder stays, and that is an error.
    messages_.error.Clear();
    launcher_.outcome = {platform::ProcessOutcome::Status::TimedOut};
    ArchiveJournals(data_, true, options_);
    EXPECT_THAT(Errors(), ElementsAre("User aborted"));
    EXPECT_TRUE(fs::exists(Data("03/jrn0305/e2.xml")));

    messages_.error.Clear();
    launcher_.outcome = {platform::ProcessOutcome::Status::Exited, 7};
    ArchiveJournals(data_, true, options_);
    EXPECT_THAT(Errors(), ElementsAre(HasSubstr(", Code 7")));
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
    EXPECT_THAT(Errors(), Contains("User aborted"));
    EXPECT_TRUE(fs::exists(Data("03/jrn0305/e1.xml")));
}

}  // namespace
}  // namespace tw::radiant
