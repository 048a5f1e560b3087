// Tidewell polls a simulated POS whose directories are reached over FTPS (vsftpd on loopback,
// requiring TLS on the logon and every data connection).

#include <gtest/gtest.h>

#include "interop/ftp_servers.h"
#include "interop/remote_pos_test.h"

namespace tw {
namespace {

using test::VsftpdServer;

class FtpsPosTest : public test::RemotePosTest {
protected:
    VsftpdServer server;
};

TEST_F(FtpsPosTest, TidewellReceivesSalesAndDeliversMaintenanceOverFtps) {
    std::string why;
    ASSERT_TRUE(server.Start(&why)) << why;
    // The server shows the user's home as its root.
    const std::string url = std::string("ftps://") + VsftpdServer::kUser +
                            "@127.0.0.1:" + std::to_string(VsftpdServer::kPort) + "/" +
                            server.RemoteDirectory();
    PollRemotePos(server.LocalDirectory(), url, VsftpdServer::kUser,
                  std::string("Password=") + VsftpdServer::kPassword + "\r\n");
}

}  // namespace
}  // namespace tw
