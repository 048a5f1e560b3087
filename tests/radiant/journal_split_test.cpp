#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "journal_builder.h"
#include "radiant/journal_archive.h"
#include "radiant/journal_split.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"
#include "xml_probe.h"

namespace tw::radiant {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;

// Every regular file under root, by path relative to root.
std::map<std::string, std::string> FilesUnder(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), root).string()] = test::ReadAll(entry.path());
        }
    }
    return files;
}

// Same names and, file by file, the same bytes (the first differences only).
void ExpectSameFiles(const std::map<std::string, std::string>& actual,
                     const std::map<std::string, std::string>& expected) {
    std::vector<std::string> actualNames, expectedNames;
    for (const auto& [name, text] : actual) actualNames.push_back(name);
    for (const auto& [name, text] : expected) expectedNames.push_back(name);
    ASSERT_EQ(actualNames, expectedNames);
    int differences = 0;
    for (const auto& [name, text] : actual) {
        if (text != expected.at(name) && ++differences <= 2) {
            const std::string& other = expected.at(name);
            std::size_t at = 0;
            while (at < text.size() && at < other.size() && text[at] == other[at]) ++at;
            const std::size_t from = at < 80 ? 0 : at - 80;
            ADD_FAILURE() << name << " differs at byte " << at << ":\n"
                          << text.substr(from, 240) << "\n---- expected\n"
                          << other.substr(from, 240);
        }
    }
}

TEST(HeaderDateTime, ReadsTheFieldsByPosition) {
    struct Case {
        const char* date;
        const char* time;
        bool valid;
        int year, month, day, hour, minute;
    };
    const Case cases[] = {
        {"2026-03-05", "23:59:59", true, 2026, 3, 5, 23, 59},  // seconds are dropped
        {"20260305", "07:5x", true, 2026, 3, 5, 7, 5},         // leading digits count
        {"2026-03-05", "7:05", true, 2026, 3, 5, 0, 0},        // too short: midnight
        {"2026-3-5", "10:00", false, 0, 0, 0, 0, 0},
        {"2026-02-30", "10:00", false, 0, 0, 0, 0, 0},
        {"", "10:00", false, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const platform::OleDate value = HeaderDateTime(c.date, c.time);
        EXPECT_EQ(value.IsValid(), c.valid) << c.date << " " << c.time;
        if (!c.valid)
            continue;
        platform::CivilTime civil;
        ASSERT_TRUE(value.ToCivil(civil));
        EXPECT_EQ(civil.year, c.year);
        EXPECT_EQ(civil.month, c.month);
        EXPECT_EQ(civil.day, c.day);
        EXPECT_EQ(civil.hour, c.hour) << c.time;
        EXPECT_EQ(civil.minute, c.minute) << c.time;
    }
}

TEST(EventNames, OnlyWellFormedPartsBecomeNames) {
    ASSERT_TRUE(ParseEventDate(" 2026-03-05 "));
    EXPECT_EQ(ParseEventDate("2026-03-05")->month, "03");
    EXPECT_EQ(ParseEventDate("2026-03-05+01:00")->day, "05");
    for (const char* bad : {"2026-3-5", "2026-13-01", "2026-02-29", "../../05", "2026-03-05/..",
                            "2026-03-05x", "", "2026-03-0a"}) {
        EXPECT_FALSE(ParseEventDate(bad)) << bad;
    }
    EXPECT_EQ(ParseEventTime("23:59:10"), "235910");
    EXPECT_EQ(ParseEventTime("23:59:10.25-05:00"), "235910");
    for (const char* bad : {"24:00:00", "7:05:00", "12:00", "12:00:00/..", "12:60:00", ""}) {
        EXPECT_FALSE(ParseEventTime(bad)) << bad;
    }
    // Only what is unsafe in a file name is refused: blanks and letters of any language are
    // what real registers are called.
    for (const std::string& good :
         {std::string(), std::string("1"), std::string("REG-01"), std::string("a.b_c"),
          std::string("Reg 2"), std::string("Kasse \xC3\xA4"), std::string("#1 (front)"),
          std::string(64, 'x')}) {
        EXPECT_TRUE(IsUsableEventId(good)) << good;
    }
    for (const std::string& bad :
         {std::string("."), std::string(".."), std::string(".hidden"), std::string("a/b"),
          std::string("a\\b"), std::string("a\nb"), std::string("a\x7f"), std::string("a:b"),
          std::string("a*"), std::string("a?"), std::string("<a>"), std::string("a|b"),
          std::string("\"a\""), std::string(65, 'x')}) {
        EXPECT_FALSE(IsUsableEventId(bad)) << bad;
    }
}

class JournalSplitTest : public ::testing::Test {
protected:
    std::string WriteJournal(const std::string& name, const test::JournalLayout& layout) {
        return dir.Write("in/" + name, test::JournalXml(layout));
    }
    JournalHeaderTimes SplitFile(const std::string& path, const std::string& into) {
        const XmlFileSurvey survey = SurveyXmlFile(path);
        EXPECT_TRUE(survey.wellFormed) << survey.error.reason;
        JournalSplitter splitter(into);
        return splitter.Split(path, survey);
    }

    test::ScratchDir dir;
    const std::string data = dir.Path() + "/data/";
    test::RecordedMessages messages;
};

TEST_F(JournalSplitTest, EachEventBecomesADocumentOfItsOwnInItsDayFolder) {
    test::JournalLayout layout;
    layout.events = test::EventsFrom(3, 5, 10, 0, 61);
    layout.events[2].registerId = "R-2.b";
    layout.afterEvents = "<JournalSummary><EventCount>3</EventCount></JournalSummary><!-- end -->";
    fs::create_directories(data);
    const JournalHeaderTimes times = SplitFile(WriteJournal("naxml-posjournal1.xml", layout), data);

    EXPECT_EQ(times.endTime, platform::OleDate::FromCivil(2026, 3, 6, 2, 0));
    EXPECT_EQ(times.beginTime, platform::OleDate::FromCivil(2026, 3, 5, 22, 0));
    const auto files = FilesUnder(data);
    ASSERT_THAT(files, SizeIs(3)) << "the summary after the events is no event";
    const std::string folder = "03/jrn0305/";
    ASSERT_TRUE(files.count(folder + "jrn20260305100000-1-100001.xml"));
    ASSERT_TRUE(files.count(folder + "jrn20260305100101-2-100002.xml"));
    ASSERT_TRUE(files.count(folder + "jrn20260305100202-R-2.b-100003.xml"));
    EXPECT_TRUE(fs::is_directory(data + "03")) << "the header's month";
    EXPECT_THAT(messages.log.Texts(),
                Contains("Split to: " + data + folder + "jrn20260305100101-2-100002.xml"));

    const test::XmlProbe event(data + folder + "jrn20260305100101-2-100002.xml");
    ASSERT_TRUE(event.Loaded());
    EXPECT_EQ(event.String("/n:NAXML-POSJournal/@version"), "3.4");
    EXPECT_EQ(event.Number("count(/n:NAXML-POSJournal/*)"), 2);
    EXPECT_EQ(event.String("/n:NAXML-POSJournal/n:TransmissionHeader/n:VendorModelVersion"),
              "Radiant RPOS 4.2.1");
    EXPECT_EQ(event.Number("count(/n:NAXML-POSJournal/n:JournalReport/*)"), 2);
    EXPECT_EQ(event.String("/n:NAXML-POSJournal/n:JournalReport/n:JournalHeader/n:EndTime"),
              "02:00:00");
    EXPECT_EQ(event.String("/n:NAXML-POSJournal/n:JournalReport/n:SaleEvent/n:TransactionID"),
              "100002");
    EXPECT_EQ(event.String("//n:SaleEvent//n:ItemLine[1]/n:Description"),
              "Caf\xC3\xA9 & cr\xC3\xA8me <12oz>");
    EXPECT_EQ(event.Number("count(//n:ItemLine)"), 2);
    EXPECT_EQ(event.String("//*[local-name()='Note']"), " ") << "significant blanks stay";
    // The namespaces are declared once, on the root.
    const std::string text = files.at(folder + "jrn20260305100101-2-100002.xml");
    EXPECT_EQ(text.find("xmlns="), text.rfind("xmlns="));
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", 0), 0u);
}

TEST_F(JournalSplitTest, StreamingAndWholeDocumentReadingWriteTheSameFiles) {
    test::JournalLayout layout;
    layout.events = test::EventsFrom(40, 5, 23, 50, 37);
    const std::string path = WriteJournal("NAXML-POSJournal.xml", layout);
    for (const char* into : {"stream", "whole", "reordered"}) fs::create_directories(data + into);
    SplitFile(path, data + "stream");
    XmlDocument journal;
    ASSERT_TRUE(journal.Load(path, true));
    JournalSplitter whole(data + "whole");
    whole.SplitDocument(journal);
    const auto streamed = FilesUnder(data + "stream");
    EXPECT_THAT(streamed, SizeIs(40));
    ExpectSameFiles(FilesUnder(data + "whole"), streamed);
    EXPECT_TRUE(streamed.count("03/jrn0306/jrn20260306000029-3-100018.xml"))
        << "events after midnight go to the next day's folder";

    // Parts in an order the streaming reader cannot keep (the transmission header after the
    // report) are read as a whole document, with the same result.
    std::string reordered = test::JournalXml(layout);
    const auto begin = reordered.find("  <TransmissionHeader>");
    const auto end = reordered.find("</TransmissionHeader>\n") + 22;
    const std::string transmission = reordered.substr(begin, end - begin);
    reordered.erase(begin, end - begin);
    reordered.insert(reordered.find("</NAXML-POSJournal>"), transmission);
    const std::string other = dir.Write("in/reordered.xml", reordered);
    SplitFile(other, data + "reordered");
    ExpectSameFiles(FilesUnder(data + "reordered"), streamed);
}

TEST_F(JournalSplitTest, BlankTextIsDroppedAsTheParserDropsItFromWholeDocuments) {
    test::JournalLayout layout;
    layout.events = test::EventsFrom(1, 5, 12, 0, 60);
    layout.events[0].extra =
        "<Mixed>hi <b/> <c/>\n</Mixed><Only>  </Only><Lead>\n  <b/>\n</Lead>"
        "<Commented>  <!-- c -->  <d/>  </Commented>"
        "<Kept xml:space=\"preserve\">  <b/>  <c/>  </Kept><Tail><b/>x<c/>  </Tail>\n";
    const std::string path = WriteJournal("naxml-posjournal.xml", layout);
    fs::create_directories(data);
    SplitFile(path, data);
    XmlDocument whole;  // the parser's own rule
    ASSERT_TRUE(whole.Load(path));
    const std::string event =
        XmlDocument::NodeXml(XmlDocument::FindByName(whole.DocumentNode(), "SaleEvent"));
    const std::string written = test::ReadAll(data + "03/jrn0305/jrn20260305120000-1-100001.xml");
    EXPECT_NE(written.find(event), std::string::npos) << written << "\n---- expected within\n"
                                                      << event;
}

TEST_F(JournalSplitTest, HostileNamesNeverLeaveTheDataDirectory) {
    test::JournalLayout layout;
    layout.events = test::EventsFrom(8, 5, 12, 0, 60);
    layout.events[0].transactionId = "../../../escape";
    layout.events[1].registerId = "/etc";
    layout.events[2].transactionId = "..";
    layout.events[3].registerId = ".hidden";
    layout.events[4].endDate = "2026-03-05/../../../x";  // falls back to the header's date
    layout.events[5].endDate = "";                       // so does a missing one
    layout.events[6].endTime = "../12:00:00";            // the header's time stands in
    layout.events[7].transactionId = std::string(65, '9');
    const std::string path = WriteJournal("naxml-posjournal.xml", layout);
    fs::create_directories(data);
    SplitFile(path, data);

    for (const auto& entry : fs::recursive_directory_iterator(dir.Path())) {
        const std::string where = entry.path().string() + "/";
        EXPECT_TRUE(where.rfind(dir.Path() + "/in/", 0) == 0 || where.rfind(data, 0) == 0) << where;
    }
    const auto files = FilesUnder(data);
    EXPECT_THAT(files, SizeIs(3));
    EXPECT_TRUE(files.count("03/jrn0306/jrn20260306120400-2-100005.xml"));
    EXPECT_TRUE(files.count("03/jrn0306/jrn20260306120500-3-100006.xml"));
    EXPECT_TRUE(files.count("03/jrn0305/jrn20260305020000-1-100007.xml"));
    EXPECT_THAT(messages.error.Texts(), SizeIs(5));
    EXPECT_THAT(messages.error.Texts()[0],
                HasSubstr("unusable register or transaction ID; it was not split."));
}

// Two events that would share a name (the same end, register and no transaction ID) both get
// a file: an event file is never replaced by other bytes. Registers called as people call them
// are names too. Splitting the journal again, before or after its day was archived, adds
// nothing: every event is filed once.
TEST_F(JournalSplitTest, EveryEventGetsOneFileHoweverOftenItsJournalIsSplit) {
    test::JournalLayout layout;
    layout.events = test::EventsFrom(4, 5, 12, 0, 60);
    for (int i : {0, 1}) {
        layout.events[i].transactionId.clear();
        layout.events[i].registerId = "1";
        layout.events[i].endTime = "12:00:00";
    }
    layout.events[1].itemLines = 3;  // another sale at the same second
    layout.events[2].registerId = "Reg 2";
    layout.events[3].registerId = "Kasse \xC3\xA4";
    const std::string path = WriteJournal("naxml-posjournal.xml", layout);
    fs::create_directories(data);
    SplitFile(path, data);
    const auto first = FilesUnder(data);
    EXPECT_THAT(first, SizeIs(4));
    EXPECT_TRUE(first.count("03/jrn0305/jrn20260305120000-1-.xml"));
    EXPECT_TRUE(first.count("03/jrn0305/jrn20260305120000-1-~2.xml"));
    EXPECT_TRUE(first.count("03/jrn0305/jrn20260305120200-Reg 2-100003.xml"));
    EXPECT_TRUE(first.count("03/jrn0305/jrn20260305120300-Kasse \xC3\xA4-100004.xml"));
    EXPECT_THAT(messages.error.Texts(), IsEmpty());

    SplitFile(path, data);
    ExpectSameFiles(FilesUnder(data), first);

    ASSERT_TRUE(ArchiveJournals(data, false));
    ASSERT_FALSE(fs::exists(data + "03/jrn0305"));
    SplitFile(path, data);
    EXPECT_THAT(FilesUnder(data + "03/jrn0305"), IsEmpty()) << "the archive holds them all";
}

TEST_F(JournalSplitTest, AnEventWithoutAnyUsableDateIsReportedAndNotWritten) {
    test::JournalLayout layout;
    layout.endDate = "not a date";
    layout.events = test::EventsFrom(2, 5, 12, 0, 60);
    layout.events[1].endDate = "garbage\n";
    fs::create_directories(data);
    const JournalHeaderTimes times = SplitFile(WriteJournal("naxml-posjournal.xml", layout), data);
    EXPECT_FALSE(times.endTime.IsValid());
    EXPECT_THAT(FilesUnder(data), SizeIs(1));
    EXPECT_THAT(messages.error.Texts(),
                ElementsAre("Event 2-100002 of " + dir.Path() +
                            "/in/naxml-posjournal.xml has no usable end date; it was not split."));
}

TEST_F(JournalSplitTest, MissingPartsAreReportedAndGiveNoEvents) {
    struct Case {
        std::string xml;
        std::string message;
    };
    const Case cases[] = {
        {"<Other><JournalReport/></Other>", "NAXML-POSJournal tag not found"},
        {"<NAXML-POSJournal><JournalHeader/><SaleEvent/></NAXML-POSJournal>",
         "JournalReport tag not found."},
        {"<NAXML-POSJournal><JournalReport><SaleEvent/></JournalReport></NAXML-POSJournal>",
         "JournalHeader tag not found"},
    };
    for (const auto& c : cases) {
        messages.log.Clear();
        const std::string path = dir.Write("in/j.xml", c.xml);
        const JournalHeaderTimes times = SplitFile(path, data);
        EXPECT_FALSE(times.endTime.IsValid());
        EXPECT_THAT(messages.log.Texts(), ElementsAre(c.message));
        EXPECT_FALSE(fs::exists(data));
    }
}

TEST_F(JournalSplitTest, SurveyFindsPartsAndRejectsWhatIsNotWellFormed) {
    test::JournalLayout layout;
    layout.events = test::EventsFrom(2, 5, 12, 0, 60);
    const XmlFileSurvey good = SurveyXmlFile(WriteJournal("good.xml", layout));
    EXPECT_TRUE(good.wellFormed);
    EXPECT_FALSE(good.hasMovementHeader);
    EXPECT_TRUE(good.root.Contains(good.report));
    EXPECT_TRUE(good.report.Contains(good.header));
    EXPECT_LT(good.transmission.end, good.report.start);

    const std::string full = test::JournalXml(layout);
    const XmlFileSurvey truncated =
        SurveyXmlFile(dir.Write("in/cut.xml", full.substr(0, full.size() / 2)));
    EXPECT_FALSE(truncated.wellFormed);
    EXPECT_GT(truncated.error.line, 1);
    EXPECT_FALSE(SurveyXmlFile(dir.File("in/absent.xml")).wellFormed);
    EXPECT_FALSE(SurveyXmlFile(dir.Write("in/ns.xml", "<a><p:b/></a>")).wellFormed);
    EXPECT_TRUE(
        SurveyXmlFile(dir.Write("in/m.xml", test::MovementReportXml("MSM", "2026-03-05", "06:00",
                                                                    "2026-03-05", "14:00")))
            .hasMovementHeader);
    EXPECT_THAT(messages.log.Texts(), IsEmpty()) << "a survey reports nothing";
}

}  // namespace
}  // namespace tw::radiant
