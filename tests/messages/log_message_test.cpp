#include <sys/stat.h>

#include <gtest/gtest.h>

#include "messages/message.h"
#include "messages/screen_queue.h"
#include "messages/string_table.h"
#include "messages/ui_interfaces.h"
#include "platform/text_file.h"
#include "support/recording_messages.h"
#include "support/replacement_watch.h"
#include "support/scratch_dir.h"

namespace tw {
namespace {

class FixedClock : public platform::Clock {
public:
    std::time_t Now() const override { return now; }
    std::time_t now = 1768465815;  // Thu Jan 15 02:30:15 2026 in Chicago
};

// Records what reached it.
class RecordingMessage : public Message {
public:
    void Output(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

class LogTest : public ::testing::Test {
protected:
    std::vector<std::string> Lines(const std::string& path) { return *platform::ReadLines(path); }

    test::ScratchDir dir;
    test::ScopedEnv lockDir{"TIDEWELL_LOCK_DIR", dir.Path()};
    test::ScopedTimeZone zone{"America/Chicago"};
    FixedClock clock;
};

const std::string kHeader =
    "Site # Date       Time          Message\n" + std::string(79, '-') + "\n";

TEST_F(LogTest, NewLogGetsHeaderAndLinesAreInColumns) {
    LogMessage log(0, 0.5, clock);
    const auto path = dir.File("POLL.LOG");
    ASSERT_TRUE(log.SetPath(path));
    EXPECT_EQ(test::ReadAll(path), kHeader);
    log.SetSiteNumber(5);
    FormatMessageTo(log, "Copied %d files from %s.", 3, "/pos/export");
    EXPECT_EQ(test::ReadAll(path),
              kHeader + "5      Thu Jan 15 02:30:15 2026 Copied 3 files from /pos/export.\n");
    EXPECT_EQ(Lines(path)[2].substr(32), "Copied 3 files from /pos/export.");
    EXPECT_EQ(log.Count(), 1);
}

TEST_F(LogTest, NoPathMeansNothingIsWrittenButCountStillRises) {
    LogMessage log(0, 0.5, clock);
    FormatMessageTo(log, "lost");
    EXPECT_EQ(log.Count(), 1);
    EXPECT_FALSE(log.SetPath(dir.File("no/such/dir/POLL.LOG")));
    EXPECT_TRUE(log.SetPath(""));
}

TEST_F(LogTest, LogDeletedBehindOurBackIsRecreatedWithHeader) {
    LogMessage log(0, 0.5, clock);
    const auto path = dir.File("POLL.LOG");
    log.SetPath(path);
    ::unlink(path.c_str());
    FormatMessageTo(log, "after");
    EXPECT_EQ(Lines(path).size(), 3u);
    EXPECT_EQ(Lines(path)[0], "Site # Date       Time          Message");
}

TEST_F(LogTest, TrimsA300000ByteLogAtByte150000) {
    // Lines of varied length so the cut falls inside a line.
    std::string content = kHeader;
    int n = 0;
    while (content.size() < 300000) {
        ++n;
        content += "1      Thu Jan 15 02:30:15 2026 line " + std::to_string(n) +
                   std::string(static_cast<std::size_t>(n % 37), 'x') + "\n";
    }
    content.resize(300000);
    content.back() = '\n';
    const auto path = dir.Write("POLL.LOG", content);
    const std::size_t firstNewline = content.find('\n', 150000);
    const std::string kept = content.substr(firstNewline + 1);

    LogMessage log(262144, 0.5, clock);
    log.SetPath(path);
    FormatMessageTo(log, "new line");
    EXPECT_EQ(test::ReadAll(path), kHeader + kept + "1      Thu Jan 15 02:30:15 2026 new line\n");
}

TEST_F(LogTest, TrimRules) {
    const auto path = dir.Write("POLL.LOG", kHeader + std::string(500, 'a') + "\n");
    const std::string before = test::ReadAll(path);
    // Not above the limit, or trimming disabled: untouched.
    for (auto [maxBytes, fraction] : {std::pair{1000, 0.5}, {0, 0.5}, {100, 0.0}}) {
        LogMessage log(maxBytes, fraction, clock);
        log.SetPath(path);
        ASSERT_TRUE(platform::WriteFileAtomically(path, before));
        FormatMessageTo(log, "x");
        EXPECT_EQ(test::ReadAll(path), before + "1      Thu Jan 15 02:30:15 2026 x\n");
    }
    // The end of the file comes before a newline after the cut: nothing is replaced.
    const std::string oneLongLine = kHeader + std::string(5000, 'b');
    ASSERT_TRUE(platform::WriteFileAtomically(path, oneLongLine));
    EXPECT_FALSE(TrimLogFile(path, 4000));
    EXPECT_EQ(test::ReadAll(path), oneLongLine);
    // A trimmed log keeps its file mode.
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(platform::WriteFileAtomically(path, kHeader + "one\ntwo\nthree\n"));
    ASSERT_TRUE(TrimLogFile(path, kHeader.size() + 2));
    EXPECT_EQ(test::ReadAll(path), kHeader + "two\nthree\n");
    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// maxBytes is the largest size a log keeps: at exactly that size it takes one more line
// untrimmed, and only the write after that, finding it larger, trims it.
TEST_F(LogTest, ALogIsTrimmedOnlyOnceItIsLargerThanItsLimit) {
    std::string content = kHeader;
    for (int n = 0; n < 20; ++n)
        content += "1      Thu Jan 15 02:30:15 2026 line " + std::to_string(n) + "\n";
    const auto path = dir.Write("POLL.LOG", content);
    LogMessage log(static_cast<std::int32_t>(content.size()), 0.5, clock);
    log.SetPath(path);

    FormatMessageTo(log, "at the limit");
    const std::string atLimit = content + "1      Thu Jan 15 02:30:15 2026 at the limit\n";
    EXPECT_EQ(test::ReadAll(path), atLimit);

    FormatMessageTo(log, "past it");
    const std::string trimmed = test::ReadAll(path);
    const std::size_t cut = atLimit.find('\n', atLimit.size() / 2) + 1;
    EXPECT_EQ(trimmed, kHeader + atLimit.substr(cut) + "1      Thu Jan 15 02:30:15 2026 past it\n");
}

// A trimmed log is a new file renamed over the old one: a reader holding the log open keeps
// reading the lines it had, and a link at the log's path is replaced, not written through.
TEST_F(LogTest, TrimmingReplacesTheLogNeverWritesIntoIt) {
    using Via = test::ReplacementWatch::Via;
    for (const Via via : {Via::Descriptor, Via::SymbolicLink}) {
        const auto path = dir.Write("POLL.LOG", kHeader + "one\ntwo\nthree\n");
        test::ReplacementWatch watch(path, via);
        ASSERT_TRUE(TrimLogFile(path, kHeader.size() + 2));
        EXPECT_TRUE(watch.Replaced());
        EXPECT_EQ(test::ReadAll(path), kHeader + "two\nthree\n");
    }
}

TEST_F(LogTest, VersionLogSkipsConsecutiveDuplicates) {
    LogMessageNoConsecutiveDuplicates log(8192, 0.5, clock);
    const auto path = dir.File("VersionPOS.001");
    log.SetPath(path);
    FormatMessageTo(log, "POS 3.4.1  ");  // the first text after the header is always written
    FormatMessageTo(log, "POS 3.4.1");
    clock.now += 60;
    FormatMessageTo(log, "POS 3.4.1");
    FormatMessageTo(log, "POS 3.4.2");
    FormatMessageTo(log, "POS 3.4.1");
    FormatMessageTo(log, "pos 3.4.1");  // case matters
    auto lines = Lines(path);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[2].substr(32), "POS 3.4.1");
    EXPECT_EQ(lines[3].substr(32), "POS 3.4.2");
    EXPECT_EQ(lines[4].substr(32), "POS 3.4.1");
    EXPECT_EQ(lines[5].substr(32), "pos 3.4.1");
    EXPECT_EQ(log.Count(), 6);
}

TEST_F(LogTest, LastLineTextRules) {
    using L = LogMessageNoConsecutiveDuplicates;
    EXPECT_EQ(L::LastLineText(dir.File("missing")), "");
    EXPECT_EQ(L::LastLineText(dir.Write("a", "1      Thu Jan 15 02:30:15 2026 only line\n")), "");
    EXPECT_EQ(L::LastLineText(dir.Write("b", kHeader)), "");
    EXPECT_EQ(
        L::LastLineText(dir.Write("c", kHeader + "1      Thu Jan 15 02:30:15 2026   t x  \r\n")),
        "t x");
    const std::string longLine(10000, 'z');
    EXPECT_EQ(
        L::LastLineText(dir.Write("d", kHeader + "1      Thu Jan 15 02:30:15 2026 " + longLine)),
        longLine);
    EXPECT_EQ(L::LastLineText(dir.Write("e", kHeader + "short\n")), "");
}

TEST_F(LogTest, ErrorMessageGoesToLogScreenAndBox) {
    struct Box : Prompter {
        void ShowMessage(const std::string& text) override { shown.push_back(text); }
        bool AskYesNo(const std::string&, const std::string&) override { return false; }
        std::vector<std::string> shown;
    } box;
    struct List : MessageListControl {
        int ItemCount() const override { return static_cast<int>(items.size()); }
        void AppendItem(const std::string& t) override { items.push_back(t); }
        void DeleteItem(int i) override { items.erase(items.begin() + i); }
        void ScrollToBottom() override {}
        std::vector<std::string> items;
    } list;
    MessageDocument document;
    document.SetView(&list);
    ScreenMessageQueue queue(&document, false);
    ErrorMessage errors(262144, 0.5, &queue, true, &box, clock);
    errors.SetPath(dir.File("POLL.LOG"));
    FormatMessageTo(errors, "Cannot open %s.", "/x/SETUP.001");
    errors.SetShowMessageBox(false);
    FormatMessageTo(errors, "second");
    ASSERT_TRUE(queue.WaitUntilIdle(std::chrono::seconds(10)));
    EXPECT_EQ(box.shown, std::vector<std::string>{"Cannot open /x/SETUP.001."});
    EXPECT_EQ(list.items, (std::vector<std::string>{"Cannot open /x/SETUP.001.", "second"}));
    EXPECT_EQ(Lines(dir.File("POLL.LOG")).size(), 4u);
    EXPECT_EQ(errors.Count(), 2);

    HeadlessStatusSink status;
    StatusMessage statusMessages(&status);
    FormatMessageTo(statusMessages, "Saving Tax Maintenance File %s.", "MCT.XML");
    EXPECT_EQ(status.Text(), "Saving Tax Maintenance File MCT.XML.");
}

TEST(Formatting, LongResultsAreCutNeverOverflow) {
    RecordingMessage message;
    const std::string path(2000, 'p');
    FormatMessageTo(message, "Error finding file matching %s.  Error %d: %s", path.c_str(), 2,
                    "No such file or directory");
    ASSERT_EQ(message.texts.size(), 1u);
    EXPECT_EQ(message.texts[0].size(), kMaxMessageChars);
    EXPECT_EQ(message.texts[0].substr(0, 40), "Error finding file matching " + path.substr(0, 12));
    // Characters, not bytes, and never half a character.
    std::string euros;
    for (int i = 0; i < 1100; ++i) euros += "\xE2\x82\xAC";
    SendMessageText(message, euros);
    EXPECT_EQ(message.texts[1].size(), kMaxMessageChars * 3);
    EXPECT_EQ(message.Count(), 2);
    EXPECT_EQ(CutToChars("ab\xE2\x82", 3), "ab\xE2");  // a broken sequence counts by bytes
}

TEST(ProgramMessages, DiscardUntilInstalledAndRestoreAfter) {
    FormatMessageTo(errorMessages(), "before");
    const auto countBefore = errorMessages().Count();
    {
        test::RecordedMessages recorded;
        FormatMessageTo(errorMessages(), "Cannot open %s.", "x");
        FormatMessageTo(logMessages(), "progress");
        EXPECT_EQ(recorded.error.Texts(), std::vector<std::string>{"Cannot open x."});
        EXPECT_EQ(recorded.log.Texts(), std::vector<std::string>{"progress"});
    }
    EXPECT_EQ(errorMessages().Count(), countBefore);
}

TEST(Formatting, ResourcesAndExceptions) {
    RecordingMessage message;
    FormatResourceMessageTo(message, strings::kStartingMonitoring, "/pos/sales/");
    FormatResourceMessageTo(message, strings::kMonitoringStopped);
    FormatResourceMessageTo(message, 9999);
    ReportDispatchException(
        message, DispatchException(static_cast<std::int32_t>(0x8004201E), "Queue is full!"));
    ReportException(message, std::runtime_error(std::string(300, 'e')));
    ASSERT_EQ(message.texts.size(), 5u);
    EXPECT_EQ(message.texts[0], "Starting monitoring of /pos/sales/.");
    EXPECT_EQ(message.texts[1], "Monitoring stopped.");
    EXPECT_EQ(message.texts[2], "Message 9999.");
    EXPECT_EQ(message.texts[3], "Exception 201e: Queue is full!");
    EXPECT_EQ(message.texts[4], "Exception: " + std::string(255, 'e'));
    EXPECT_EQ(message.Count(), 5);
}

}  // namespace
}  // namespace tw
