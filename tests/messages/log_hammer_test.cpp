#include <sys/stat.h>

#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "messages/message.h"
#include "platform/process.h"
#include "platform/text_file.h"
#include "support/scratch_dir.h"

namespace tw {
namespace {

// Two processes with two threads each append to one log small enough to be trimmed many times.
// Every line must stay whole, the header intact, each writer's lines in order, and the newest
// line last.
TEST(LogHammer, TwoProcessesTwoThreadsTrimmingAllTheTime) {
    test::ScratchDir dir;
    test::ScopedEnv lockDir("TIDEWELL_LOCK_DIR", dir.Path());
    const std::string log = dir.File("POLL.LOG");
    constexpr int kLines = 3000;
    constexpr int kMaxBytes = 16 * 1024;

    platform::PosixProcessLauncher launcher;
    auto writer = [&](const char* id) {
        return launcher.Run(
            {LOG_HAMMER_WRITER, log, id, "2", std::to_string(kLines), std::to_string(kMaxBytes)},
            {});
    };
    platform::ProcessOutcome first, second;
    std::thread a([&] { first = writer("1"); });
    std::thread b([&] { second = writer("2"); });
    a.join();
    b.join();
    ASSERT_TRUE(first.Succeeded());
    ASSERT_TRUE(second.Succeeded());

    auto lines = platform::ReadLines(log);
    ASSERT_TRUE(lines);
    ASSERT_GE(lines->size(), 3u);
    EXPECT_EQ((*lines)[0], "Site # Date       Time          Message");
    EXPECT_EQ((*lines)[1], std::string(79, '-'));
    const std::regex shape(R"([12]      [A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\d \d\d:\d\d:\d\d \d{4} )"
                           R"(W([12])-T([01])-L(\d+) p+)");
    int previous[3][2] = {{-1, -1}, {-1, -1}, {-1, -1}};
    int lastNumber = -1;
    for (std::size_t i = 2; i < lines->size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match((*lines)[i], m, shape)) << "line " << i << ": " << (*lines)[i];
        const int w = std::stoi(m[1]), t = std::stoi(m[2]);
        const std::size_t padding = (*lines)[i].size() - (*lines)[i].find(' ', 32) - 1;
        ASSERT_EQ(padding, 40u + 17u * t) << "line " << i << " was cut or merged";
        lastNumber = std::stoi(m[3]);
        ASSERT_GT(lastNumber, previous[w][t]) << "line " << i << " repeated or out of order";
        previous[w][t] = lastNumber;
    }
    // Trimming drops the oldest lines only: the newest line written is the file's last.
    EXPECT_EQ(lastNumber, kLines - 1);
    struct stat st {};
    ASSERT_EQ(::stat(log.c_str(), &st), 0);
    EXPECT_LE(st.st_size, kMaxBytes + 1024) << "the log was not kept trimmed";
}

}  // namespace
}  // namespace tw
