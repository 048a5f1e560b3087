// Tidewell polls a simulated POS whose directories are reached over FTPS (vsftpd on loopback,
// requiring TLS on the logon and every data connection): the sales are received and the POS's
// copies deleted, a maintenance file is delivered, and the POS's results are read back, as with a
// local POS.

#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "interop/ftp_servers.h"
#include "platform/process.h"
#include "platform/text_file.h"
#include "support/scratch_dir.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using test::VsftpdServer;

class FtpsPosTest : public ::testing::Test {
protected:
    platform::ProcessOutcome Run(std::vector<std::string> argv) { return launcher.Run(argv, {}); }

    // Everything below the POS directories belongs to the test user, as a POS's files would.
    void GiveToTestUser(const std::string& path) {
        const passwd* user = ::getpwnam(VsftpdServer::kUser);
        ASSERT_NE(user, nullptr);
        ASSERT_EQ(::chown(path.c_str(), user->pw_uid, user->pw_gid), 0) << path;
        if (fs::is_directory(path)) {
            for (const auto& entry : fs::recursive_directory_iterator(path)) {
                ASSERT_EQ(::chown(entry.path().c_str(), user->pw_uid, user->pw_gid), 0);
            }
        }
    }

    int Count(const std::string& text) {
        int n = 0;
        for (const auto& line : platform::ReadLines(dir.File("home/001/POLL.LOG"))
                                    .value_or(std::vector<std::string>{}))
            n += line.find(text) != std::string::npos;
        return n;
    }

    VsftpdServer server;
    test::ScratchDir dir;
    test::ScopedEnv home{"TIDEWELL_HOME", dir.File("home")};
    test::ScopedEnv locks{"TIDEWELL_LOCK_DIR", dir.Path()};
    test::ScopedEnv noX{"DISPLAY", std::nullopt};
    test::ScopedEnv noWayland{"WAYLAND_DISPLAY", std::nullopt};
    test::ScopedEnv noQt{"QT_QPA_PLATFORM", std::nullopt};
    platform::PosixProcessLauncher launcher;
};

TEST_F(FtpsPosTest, TidewellReceivesSalesAndDeliversMaintenanceOverFtps) {
    std::string why;
    ASSERT_TRUE(server.Start(&why)) << why;
    const std::string pos = server.LocalDirectory();
    ASSERT_TRUE(Run({POSSIM_PROGRAM, "export-dir", "--out", pos + "/export", "--seed", "7",
                     "--events", "150"})
                    .Succeeded());
    fs::create_directories(pos + "/import");
    GiveToTestUser(pos + "/export");
    GiveToTestUser(pos + "/import");

    // The server shows the user's home as its root.
    const std::string url = std::string("ftps://") + VsftpdServer::kUser +
                            "@127.0.0.1:" + std::to_string(VsftpdServer::kPort) + "/" +
                            server.RemoteDirectory();
    fs::create_directories(dir.File("home"));
    ASSERT_TRUE(Run({PASS_PROGRAM, "history", dir.File("home/POLHISTD.STA")}).Succeeded());
    ASSERT_TRUE(Run({PASS_PROGRAM, "history", dir.File("home/POLHISTS.STA")}).Succeeded());
    dir.Write("home/SETUP.STA", "SalesPath=" + url + "/export/\r\nImportDestinationPath=" + url +
                                    "/import/\r\nSendItems=TRUE\r\nReceiveSales=TRUE\r\n"
                                    "DeletePOSSourceFile=TRUE\r\n7Z=FALSE\r\nPassword=" +
                                    VsftpdServer::kPassword + "\r\n");
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
    GiveToTestUser(pos + "/import");
    const auto second = Run({TIDEWELL_PROGRAM, "1", "/AUTO"});
    EXPECT_TRUE(second.Succeeded()) << second.exitCode;
    EXPECT_EQ(Count("Department maintenance file successful."), 1);
}

}  // namespace
}  // namespace tw
