// "QORCom.FTP" against pyftpdlib over plain FTP. The server is started by this program; when it
// cannot start, every test fails (an interop run must never pass by skipping).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "comlite/bstr.h"
#include "interop/ftp_component_test.h"
#include "interop/ftp_servers.h"
#include "qorcom/interfaces/ftp.h"
#include "qorcom/qorcom_test_support.h"
#include "qorcom/transfer/ftp_component.h"
#include "support/scratch_dir.h"

namespace tw {
namespace {

using comlite::Bstr;
using test::PyFtpServer;

class PyFtpEnvironment : public ::testing::Environment {
public:
    void SetUp() override { running = server.Start(&why); }
    void TearDown() override { server.Stop(); }
    PyFtpServer server;
    std::string why;
    bool running = false;
};

PyFtpEnvironment* environment = nullptr;

class PyFtpTest : public test::FtpComponentTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(environment->running) << environment->why;
        ASSERT_NO_FATAL_FAILURE(
            Open(PyFtpServer::kPort, PyFtpServer::kUser, PyFtpServer::kPassword));
    }
    std::string Remote(const std::string& name) { return environment->server.Home() + "/" + name; }
};

TEST_F(PyFtpTest, EveryOperationPassiveAndActive) {
    for (const bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        const std::string dir = passive ? "pasv" : "port";
        ftp_->put_Passive(passive ? VARIANT_TRUE : VARIANT_FALSE);
        ftp_->put_LongFileInfo(VARIANT_TRUE);
        ASSERT_TRUE(Connect()) << Message();
        ASSERT_TRUE(One(&IQORFTP::MakeDir, dir)) << Message();
        const std::string up = local_.Write("up-" + dir, "<prices>\n");
        ASSERT_TRUE(Two(&IQORFTP::PutFile, up, dir + "/price.xml")) << Message();
        ASSERT_TRUE(Two(&IQORFTP::PutFileAppend, up, dir + "/price.xml")) << Message();
        EXPECT_EQ(test::ReadAll(Remote(dir + "/price.xml")), "<prices>\n<prices>\n");

        Bstr line;
        ftp_->FindFirst(Bstr::FromUtf8(dir).Get(), line.Put());
        Bstr name;
        LONG size = 0;
        DATE date = 0;
        VARIANT_BOOL isDir = VARIANT_TRUE, parsed = VARIANT_FALSE;
        ftp_->ParseLongFileInfo(line.Get(), name.Put(), &size, &date, &isDir, &parsed);
        EXPECT_EQ(parsed, VARIANT_TRUE) << line.Utf8();
        EXPECT_EQ(name.Utf8(), "price.xml");
        EXPECT_EQ(size, 18);
        EXPECT_EQ(isDir, VARIANT_FALSE);
        EXPECT_GT(date, 40000.0);
        ftp_->FindNext(line.Put());
        EXPECT_EQ(line.Utf8(), "");

        const std::string down = local_.Write("down-" + dir, "kept:");
        ASSERT_TRUE(Two(&IQORFTP::GetFileAppend, dir + "/price.xml", down)) << Message();
        EXPECT_EQ(test::ReadAll(down), "kept:<prices>\n<prices>\n");
        ASSERT_TRUE(Two(&IQORFTP::GetFile, dir + "/price.xml", down)) << Message();
        EXPECT_EQ(test::ReadAll(down), "<prices>\n<prices>\n");

        ASSERT_TRUE(Two(&IQORFTP::Rename, dir + "/price.xml", dir + "/done.xml")) << Message();
        EXPECT_TRUE(std::filesystem::exists(Remote(dir + "/done.xml")));
        VARIANT_BOOL ok = VARIANT_FALSE;
        ftp_->SendCommand(Bstr::FromUtf8("NOOP").Get(), &ok);
        EXPECT_EQ(ok, VARIANT_TRUE);
        ASSERT_TRUE(One(&IQORFTP::DeleteFile, dir + "/done.xml")) << Message();
        ASSERT_TRUE(One(&IQORFTP::RemoveDir, dir)) << Message();
        EXPECT_FALSE(std::filesystem::exists(Remote(dir)));
        ftp_->Disconnect();
    }
}

TEST_F(PyFtpTest, WrongPasswordAndMissingFile) {
    ftp_->put_Password(Bstr::FromUtf8("wrong").Get());
    EXPECT_FALSE(Connect());
    EXPECT_EQ(Message().substr(0, 4), "530 ") << Message();
    ftp_->put_Password(Bstr::FromUtf8(PyFtpServer::kPassword).Get());
    ASSERT_TRUE(Connect()) << Message();
    const std::string target = local_.Write("sales.xml", "mine");
    EXPECT_FALSE(Two(&IQORFTP::GetFile, "absent.xml", target));
    EXPECT_EQ(Message().substr(0, 4), "550 ") << Message();
    EXPECT_EQ(test::ReadAll(target), "mine");
}

TEST_F(PyFtpTest, ABinaryFileComesBackByteForByte) {
    std::string bytes(8 << 20, '\0');
    std::mt19937 random(7);
    for (char& c : bytes) c = static_cast<char>(random());
    const std::string source = local_.Write("blob", bytes);
    ASSERT_TRUE(Connect()) << Message();
    ASSERT_TRUE(Two(&IQORFTP::PutFile, source, "blob")) << Message();
    ASSERT_TRUE(Two(&IQORFTP::GetFile, "blob", local_.File("back"))) << Message();
    EXPECT_TRUE(test::ReadAll(local_.File("back")) == bytes);
}

TEST_F(PyFtpTest, TheCurlVariantInActiveMode) {
    ftp_ = qorcom::test::Create<IQORFTP>(CLSID_QORIEFTP, IID_IQORFTP);
    ASSERT_TRUE(ftp_);
    ftp_->put_Server(Bstr::FromUtf8("127.0.0.1").Get());
    ftp_->put_Port(PyFtpServer::kPort);
    ftp_->put_UserName(Bstr::FromUtf8(PyFtpServer::kUser).Get());
    ftp_->put_Password(Bstr::FromUtf8(PyFtpServer::kPassword).Get());
    ftp_->put_Passive(VARIANT_FALSE);
    ASSERT_TRUE(Connect()) << Message();
    ASSERT_TRUE(Two(&IQORFTP::PutFile, local_.Write("a", "active"), "active.txt")) << Message();
    EXPECT_EQ(test::ReadAll(Remote("active.txt")), "active");
    Bstr name;
    ftp_->FindFirst(Bstr::FromUtf8("").Get(), name.Put());
    EXPECT_EQ(name.Utf8(), "active.txt");
    ASSERT_TRUE(Two(&IQORFTP::GetFile, "active.txt", local_.File("b"))) << Message();
    EXPECT_EQ(test::ReadAll(local_.File("b")), "active");
    ASSERT_TRUE(One(&IQORFTP::DeleteFile, "active.txt")) << Message();
}

}  // namespace
}  // namespace tw

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    tw::environment = new tw::PyFtpEnvironment;
    ::testing::AddGlobalTestEnvironment(tw::environment);
    return RUN_ALL_TESTS();
}
