#include "interop/remote_pos_test.h"

#include <pwd.h>
#include <unistd.h>

#include <filesystem>

#include "platform/text_file.h"

namespace tw::test {

namespace fs = std::filesystem;

void RemotePosTest::GiveTo(const std::string& user, const std::string& path) {
    const passwd* owner = ::getpwnam(user.c_str());
    ASSERT_NE(owner, nullptr) << user;
    ASSERT_EQ(::chown(path.c_str(), owner->pw_uid, owner->pw_gid), 0) << path;
    if (fs::is_directory(path))
        for (const auto& entry : fs::recursive_directory_iterator(path))
            ASSERT_EQ(::chown(entry.path().c_str(), owner->pw_uid, owner->pw_gid), 0);
}

int RemotePosTest::Count(const std::string& text) {
    int n = 0;
    for (const auto& line :
         platform::ReadLines(dir.File("home/001/POLL.LOG")).value_or(std::vector<std::string>{}))
        n += line.find(text) != std::string::npos;
    return n;
}

void RemotePosTest::PollRemotePos(const std::string& pos, const std::string& url,
                                  const std::string& user, const std::string& setupLines) {
    ASSERT_TRUE(Run({POSSIM_PROGRAM, "export-dir", "--out", pos + "/export", "--seed", "7",
                     "--events", "150"})
                    .Succeeded());
    fs::create_directories(pos + "/import");
    ASSERT_NO_FATAL_FAILURE(GiveTo(user, pos + "/export"));
    ASSERT_NO_FATAL_FAILURE(GiveTo(user, pos + "/import"));

    fs::create_directories(dir.File("home"));
    ASSERT_TRUE(Run({PASS_PROGRAM, "history", dir.File("home/POLHISTD.STA")}).Succeeded());
    ASSERT_TRUE(Run({PASS_PROGRAM, "history", dir.File("home/POLHISTS.STA")}).Succeeded());
    dir.Write("home/SETUP.STA", "SalesPath=" + url + "/export/\r\nImportDestinationPath=" + url +
                                    "/import/\r\nSendItems=TRUE\r\nReceiveSales=TRUE\r\n"
                                    "DeletePOSSourceFile=TRUE\r\n7Z=FALSE\r\n" +
                                    setupLines);
    ASSERT_TRUE(Run({RAVELIN_PROGRAM, dir.File("home") + "/", "/AUTO", "/SITE=1",
                     "/TAMBORPATH=" + dir.File("backoffice"), "/TIDEWELL"})
                    .Succeeded());
    ASSERT_TRUE(Run({PASS_PROGRAM, "departments", dir.File("home/001"), "--site", "1", "1=Grocery"})
                    .Succeeded());

    const auto first = Run({TIDEWELL_PROGRAM, "1", "/AUTO"});
    EXPECT_TRUE(first.Succeeded()) << first.exitCode;
    EXPECT_EQ(Count("Split to:"), 150);
    EXPECT_TRUE(fs::is_empty(pos + "/export")) << "the POS's copies are deleted once received";
    EXPECT_EQ(Count("Transfered"), 2) << "the maintenance file and its semaphore";
    bool delivered = false;
    for (const auto& entry : fs::directory_iterator(pos + "/import"))
        delivered |= entry.path().filename().string().find(".~tw") == std::string::npos;
    EXPECT_TRUE(delivered);

    ASSERT_TRUE(Run({POSSIM_PROGRAM, "respond", "--import", pos + "/import"}).Succeeded());
    ASSERT_NO_FATAL_FAILURE(GiveTo(user, pos + "/import"));
    const auto second = Run({TIDEWELL_PROGRAM, "1", "/AUTO"});
    EXPECT_TRUE(second.Succeeded()) << second.exitCode;
    EXPECT_EQ(Count("Department maintenance file successful."), 1);
}

}  // namespace tw::test
