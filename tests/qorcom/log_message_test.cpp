#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <future>
#include <map>
#include <regex>
#include <sstream>

#include "platform/named_lock.h"
#include "platform/text_file.h"
#include "qorcom/frame/log_message.h"
#include "qorcom_test_support.h"
#include "support/scratch_dir.h"

namespace tw::qorcom {
namespace {

class FixedClock : public platform::Clock {
public:
    std::time_t Now() const override { return now; }
    std::time_t now = 1768465815;  // Thu Jan 15 02:30:15 2026 in Chicago
};

const std::string kSeparator = std::string(79, '-') + "\r\n";
const std::string kPlainHeader = "Date       Time          Message\r\n" + kSeparator;
const std::string kSiteHeader = "Site # Date       Time          Message\r\n" + kSeparator;
const std::string kStamp = "Thu Jan 15 02:30:15 2026";

class QorcomLogMessageTest : public ::testing::Test {
protected:
    std::string Read() const { return tw::test::ReadAll(path); }

    tw::test::ScratchDir dir;
    tw::test::ScopedEnv lockDir{"TIDEWELL_LOCK_DIR", dir.Path()};
    tw::test::ScopedTimeZone zone{"America/Chicago"};
    FixedClock clock;
    LogMessage log{clock};
    std::string path = dir.File("qor.log");
};

TEST_F(QorcomLogMessageTest, NewLogHasTheHeaderBlockAndLinesInTextMode) {
    ASSERT_TRUE(log.SetLogFile(path));
    EXPECT_EQ(Read(), kPlainHeader);
    EXPECT_TRUE(log.IsEmpty());
    EXPECT_EQ(log.GetHeaderSize(), static_cast<std::int32_t>(kPlainHeader.size()));

    log.Output("Paid 100% of %s %d");  // never a format string
    log.Output("two\nlines");
    EXPECT_EQ(Read(),
              kPlainHeader + kStamp + " Paid 100% of %s %d\r\n" + kStamp + " two\r\nlines\r\n");
    EXPECT_FALSE(log.IsEmpty());
    EXPECT_EQ(log.NumMessages(), 2);
    log.ResetNumMessages();
    EXPECT_EQ(log.NumMessages(), 0);
}

TEST_F(QorcomLogMessageTest, SitePaddingAndHeaderDefaultsFollowTheSite) {
    log.SetHeader("Custom %s\n");
    log.SetSite("12");
    EXPECT_EQ(log.Header(), "Site # Date       Time          Message\n") << "empty to set resets";
    log.SetHeader("Custom %s\n");
    log.SetHeaderSeparator("== %d ==\n");
    log.SetSite("1234567");
    EXPECT_EQ(log.Header(), "Custom %s\n") << "set to set keeps";
    log.SetSite("12");
    ASSERT_TRUE(log.SetLogFile(path));
    EXPECT_EQ(log.GetHeaderSize(), 10 + 9 + 2);
    log.Output("x");
    log.SetSite("1234567");
    log.Output("y");
    EXPECT_EQ(Read(),
              "Custom %s\r\n== %d ==\r\n12     " + kStamp + " x\r\n1234567 " + kStamp + " y\r\n");

    log.SetSite("");
    EXPECT_EQ(log.Header(), "Date       Time          Message\n");
    EXPECT_EQ(log.HeaderSeparator(), std::string(79, '-') + "\n");
}

TEST_F(QorcomLogMessageTest, AnExistingFileIsKeptAndAMissingDirectoryFails) {
    dir.Write("qor.log", "old header\r\nold line\r\n");
    ASSERT_TRUE(log.SetLogFile(path));
    EXPECT_EQ(Read(), "old header\r\nold line\r\n");
    log.ClearLog();
    EXPECT_EQ(Read(), kPlainHeader);

    EXPECT_FALSE(log.SetLogFile(dir.File("missing/qor.log")));
    EXPECT_EQ(log.LogFile(), dir.File("missing/qor.log"));
    log.Output("dropped");
    EXPECT_EQ(log.NumMessages(), 0);
    EXPECT_TRUE(log.IsEmpty()) << "a missing file is empty";
    ASSERT_TRUE(log.SetLogFile(""));
    log.Output("nowhere");
    log.ClearLog();
}

// Fills the log past its limit and returns its content just before the next line.
std::string FillPast(LogMessage& log, const std::string& path, std::int32_t limit) {
    log.SetMaxSize(limit);
    for (int i = 0; tw::test::ReadAll(path).size() <= static_cast<std::size_t>(limit); ++i)
        log.Output("line " + std::to_string(i) + " of the shift report");
    return tw::test::ReadAll(path);
}

TEST_F(QorcomLogMessageTest, AnOversizedLogKeepsItsNewerWholeLinesUnderAFreshHeader) {
    ASSERT_TRUE(log.SetLogFile(path));
    const std::string before = FillPast(log, path, 2000);
    log.SetShrinkFraction(0.4);
    log.Output("after the cut");
    const std::size_t cut = static_cast<std::size_t>(std::floor(before.size() * 0.4));
    const std::string kept = before.substr(before.find('\n', cut) + 1);
    EXPECT_EQ(Read(), kPlainHeader + kept + kStamp + " after the cut\r\n");

    // The cut renamed a complete copy from the log's own directory over the log.
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_NE(entry.path().filename().string().rfind(".~tw", 0), 0u) << entry.path();
}

TEST_F(QorcomLogMessageTest, CuttingOffIsDisabledByZeroLimitsAndImpossibleFractions) {
    ASSERT_TRUE(log.SetLogFile(path));
    for (double fraction : {0.0, -1.0, std::nan(""), 1.0, 1e300}) {
        SCOPED_TRACE(fraction);
        const std::string before = FillPast(log, path, 1000);
        log.SetShrinkFraction(fraction);
        log.Output("kept");
        EXPECT_EQ(Read(), before + kStamp + " kept\r\n");
        log.ClearLog();
        log.SetShrinkFraction(0.5);
    }
    const std::string before = FillPast(log, path, 1000);
    log.SetMaxSize(0);
    log.Output("kept");
    EXPECT_EQ(Read(), before + kStamp + " kept\r\n");
    // A cut that finds no line end after it has nothing to keep: the log is left alone.
    EXPECT_FALSE(CutLogFile(path, Read().size(), kPlainHeader));
    EXPECT_EQ(Read(), before + kStamp + " kept\r\n");
}

// Tidewell's own log writer holds this lock while it writes: both must take the same one.
TEST_F(QorcomLogMessageTest, WritersSerialiseOnTheSameNamedLockAsTidewellsLog) {
    ASSERT_TRUE(log.SetLogFile(path));
    platform::NamedLock tidewell(platform::LogFileLockName(path));
    ASSERT_TRUE(tidewell.Lock());
    auto writing = std::async(std::launch::async, [&] { log.Output("waits"); });
    EXPECT_EQ(writing.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    EXPECT_EQ(Read(), kPlainHeader);
    tidewell.Unlock();
    writing.get();
    EXPECT_EQ(Read(), kPlainHeader + kStamp + " waits\r\n");
}

TEST_F(QorcomLogMessageTest, TwoProcessesWritingAndCuttingKeepWholeLinesInOrder) {
    constexpr int kLines = 1200;
    std::vector<pid_t> writers;
    for (char name : {'A', 'B'}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            LogMessage writer;
            writer.SetSite(std::string(1, name));
            writer.SetMaxSize(6000);
            if (!writer.SetLogFile(path))
                _exit(2);
            for (int i = 0; i < kLines; ++i) writer.Output("entry " + std::to_string(i));
            _exit(0);
        }
        writers.push_back(child);
    }
    // Readers are never locked out and never see the log missing or without its header.
    int badReads = 0, reads = 0;
    for (bool running = true; running;) {
        running = false;
        for (pid_t child : writers) running |= waitpid(child, nullptr, WNOHANG) == 0;
        const auto content = platform::ReadFile(path);
        ++reads;
        if (content && !content->empty() && content->rfind(kSiteHeader, 0) != 0)
            ++badReads;
    }
    EXPECT_EQ(badReads, 0) << "of " << reads << " reads";

    const std::string content = Read();
    ASSERT_EQ(content.rfind(kSiteHeader, 0), 0u);
    const std::regex line(
        R"(([AB])      [A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\d \d\d:\d\d:\d\d \d{4} entry (\d+)\r)");
    std::map<std::string, int> last = {{"A", -1}, {"B", -1}};
    std::size_t lines = 0;
    std::istringstream in(content.substr(kSiteHeader.size()));
    for (std::string text; std::getline(in, text); ++lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(text, m, line)) << text;
        const int number = std::stoi(m[2]);
        EXPECT_GT(number, last[m[1]]) << text;
        last[m[1]] = number;
    }
    EXPECT_LT(content.size(), 6000u + 200u);
    EXPECT_GT(lines, 10u);
    // The writer that finished last wrote the last line; the other's may have been cut off.
    EXPECT_EQ(std::max(last["A"], last["B"]), kLines - 1);
}

TEST_F(QorcomLogMessageTest, TheComponentForwardsToTheWriter) {
    auto object = test::Create<IQORLogMessage>(CLSID_QORLogMessage, IID_IQORLogMessage);
    ASSERT_TRUE(object);
    EXPECT_EQ(object->put_Site(comlite::Bstr::FromUtf8("7").Get()), S_OK);
    EXPECT_EQ(object->put_LogFile(comlite::Bstr::FromUtf8(path).Get()), S_OK);
    EXPECT_EQ(Read(), kSiteHeader);
    LONG size = 0;
    EXPECT_EQ(object->GetHeaderSize(&size), S_OK);
    EXPECT_EQ(size, static_cast<LONG>(kSiteHeader.size()));
    double fraction = 0;
    EXPECT_EQ(object->get_ShrinkPercentage(&fraction), S_OK);
    EXPECT_EQ(fraction, 0.5);
    LONG maxSize = 0;
    EXPECT_EQ(object->get_MaxSize(&maxSize), S_OK);
    EXPECT_EQ(maxSize, 262144);
    EXPECT_EQ(object->Output(comlite::Bstr::FromUtf8("Übertrag %n").Get()), S_OK);
    EXPECT_NE(Read().find("7      "), std::string::npos);
    EXPECT_NE(Read().find(" Übertrag %n\r\n"), std::string::npos);
    VARIANT_BOOL empty = VARIANT_TRUE;
    EXPECT_EQ(object->IsEmpty(&empty), S_OK);
    EXPECT_EQ(empty, VARIANT_FALSE);
    EXPECT_EQ(object->get_Header(nullptr), E_POINTER);
    EXPECT_EQ(object->get_NumMessages(nullptr), E_POINTER);
    EXPECT_EQ(object->IsEmpty(nullptr), E_POINTER);
}

}  // namespace
}  // namespace tw::qorcom
