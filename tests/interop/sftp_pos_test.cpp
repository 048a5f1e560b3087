// Tidewell polls a simulated POS whose directories are reached over SFTP (OpenSSH's sshd on
// loopback), logging on with the user's key.

#include <gtest/gtest.h>

#include "interop/remote_pos_test.h"
#include "interop/sshd_server.h"

namespace tw {
namespace {

using test::SshdServer;

class SftpPosTest : public test::RemotePosTest {
protected:
    SshdServer server;
    test::ScopedEnv knownHosts{"QORCOM_SSH_KNOWN_HOSTS", dir.File("known_hosts")};
};

TEST_F(SftpPosTest, TidewellReceivesSalesAndDeliversMaintenanceOverSftp) {
    std::string why;
    ASSERT_TRUE(server.Start(&why)) << why;
    test::ScopedEnv identity{"QORCOM_SSH_IDENTITY", server.ClientKey()};
    const std::string pos = server.DataDirectory();
    const std::string url = std::string("sftp://") + SshdServer::kUser +
                            "@127.0.0.1:" + std::to_string(SshdServer::kPort) + pos;
    PollRemotePos(pos, url, SshdServer::kUser, "");
}

}  // namespace
}  // namespace tw
