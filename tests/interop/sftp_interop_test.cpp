// "QORCom.SFTP" against OpenSSH's sshd with its in-process SFTP server on loopback.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "comlite/bstr.h"
#include "comlite/com_ptr.h"
#include "interop/sshd_server.h"
#include "qorcom/frame/exports.h"
#include "qorcom/sessions/sftp.h"
#include "support/scratch_dir.h"

namespace tw::qorcom {
namespace {

using comlite::Bstr;
using test::SshdServer;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class SftpInteropTest : public ::testing::Test {
protected:
    void StartServer(SshdServer::Logins logins = SshdServer::Logins::kPassword) {
        std::string why;
        ASSERT_TRUE(server_.Start(&why, logins)) << why;
    }

    comlite::ComPtr<IQORSFTPwod> Make(const std::string& password, const std::string& identity = "",
                                      bool strict = false) {
        comlite::ComPtr<IClassFactory> factory;
        EXPECT_EQ(DllGetClassObject(CLSID_QORSFTP, IID_IClassFactory, factory.PutVoid()), S_OK);
        comlite::ComPtr<IQORSFTPwod> sftp;
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IQORSFTPwod, sftp.PutVoid()), S_OK);
        static_cast<CSFTP*>(sftp.Get())
            ->SetSshSettings(
                platform::SshSettings{knownHosts_, "", strict, identity, std::chrono::seconds(10)});
        sftp->put_Server(Bstr::FromUtf8("127.0.0.1").Get());
        sftp->put_Port(SshdServer::kPort);
        sftp->put_UserName(Bstr::FromUtf8(SshdServer::kUser).Get());
        sftp->put_Password(Bstr::FromUtf8(password).Get());
        return sftp;
    }

    static bool Connect(IQORSFTPwod* sftp) {
        VARIANT_BOOL ok = VARIANT_FALSE;
        EXPECT_EQ(sftp->Connect(&ok), S_OK);
        return ok == VARIANT_TRUE;
    }
    static std::string LastError(IQORSFTPwod* sftp) {
        Bstr text;
        sftp->get_LastErrorMessage(text.Put());
        return text.Utf8();
    }
    template <class Member, class... Args>
    static bool Do(IQORSFTPwod* sftp, Member member, const Args&... args) {
        VARIANT_BOOL ok = VARIANT_FALSE;
        EXPECT_EQ((sftp->*member)(Bstr::FromUtf8(args).Get()..., &ok), S_OK);
        return ok == VARIANT_TRUE;
    }
    static std::vector<std::string> Find(IQORSFTPwod* sftp, const std::string& mask) {
        std::vector<std::string> names;
        Bstr item;
        EXPECT_EQ(sftp->FindFirst(Bstr::FromUtf8(mask).Get(), item.Put()), S_OK);
        while (!item.Utf8().empty()) {
            names.push_back(item.Utf8());
            Bstr next;
            sftp->FindNext(next.Put());
            item = std::move(next);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    SshdServer server_;
    test::ScratchDir local_;
    std::string knownHosts_ = local_.File("qorcom/known_hosts");
};

TEST_F(SftpInteropTest, PasswordLoginTransfersListsAndRunsCommands) {
    StartServer();
    auto sftp = Make(SshdServer::kPassword);
    // The first host of the list that connects wins.
    sftp->put_Server(Bstr::FromUtf8(" ; nohost.invalid ; 127.0.0.1 ").Get());
    ASSERT_TRUE(Connect(sftp.Get())) << LastError(sftp.Get());
    // Trusted on first use: the key is recorded in the library's own file.
    EXPECT_NE(ReadAll(knownHosts_).find("[127.0.0.1]:42022"), std::string::npos);

    const std::string remote = server_.DataDirectory() + "/in";
    ASSERT_TRUE(Do(sftp.Get(), &IQORSFTPwod::MakeDir, remote)) << LastError(sftp.Get());
    std::string content(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 % 251);
    const std::string source = local_.Write("JRN0101.XML", content);
    for (const char* name : {"JRN0101.XML", "jrn0102.xml", "ITT.DAT"})
        ASSERT_TRUE(Do(sftp.Get(), &IQORSFTPwod::PutFile, source, remote + "/" + name))
            << LastError(sftp.Get());

    EXPECT_EQ(Find(sftp.Get(), remote + "/*.XML"),
              (std::vector<std::string>{"JRN0101.XML", "jrn0102.xml"}));
    EXPECT_EQ(Find(sftp.Get(), remote + "/ITT.DAT"), std::vector<std::string>{"ITT.DAT"});
    sftp->put_LongFileInfo(VARIANT_TRUE);
    const auto lines = Find(sftp.Get(), remote + "/*.DAT");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, 1), "-");
    EXPECT_NE(lines[0].find(std::to_string(content.size())), std::string::npos) << lines[0];

    const std::string copy = local_.File("copy.xml");
    ASSERT_TRUE(Do(sftp.Get(), &IQORSFTPwod::GetFile, remote + "/jrn0102.xml", copy))
        << LastError(sftp.Get());
    EXPECT_EQ(ReadAll(copy), content);

    // A failed download leaves the local file as it was, and no temporary file.
    const std::string kept = local_.Write("kept.xml", "earlier copy");
    EXPECT_FALSE(Do(sftp.Get(), &IQORSFTPwod::GetFile, remote + "/missing.xml", kept));
    EXPECT_NE(LastError(sftp.Get()).find("No such file"), std::string::npos)
        << LastError(sftp.Get());
    EXPECT_EQ(ReadAll(kept), "earlier copy");

    EXPECT_TRUE(Do(sftp.Get(), &IQORSFTPwod::Rename, remote + "/ITT.DAT", remote + "/ITT.OLD"));
    EXPECT_TRUE(std::filesystem::exists(remote + "/ITT.OLD"));
    EXPECT_FALSE(Do(sftp.Get(), &IQORSFTPwod::RemoveDir, remote));  // not empty
    for (const char* name : {"JRN0101.XML", "jrn0102.xml", "ITT.OLD"})
        EXPECT_TRUE(Do(sftp.Get(), &IQORSFTPwod::DeleteFile, remote + "/" + name));
    EXPECT_FALSE(Do(sftp.Get(), &IQORSFTPwod::DeleteFile, remote + "/ITT.OLD"));
    EXPECT_TRUE(Do(sftp.Get(), &IQORSFTPwod::RemoveDir, remote)) << LastError(sftp.Get());

    EXPECT_TRUE(Do(sftp.Get(), &IQORSFTPwod::SendCommand, std::string("echo hello; echo err >&2")));
    EXPECT_EQ(LastError(sftp.Get()), "hello\nerr\n");
    EXPECT_FALSE(Do(sftp.Get(), &IQORSFTPwod::SendCommand, std::string("exit 3")));
    EXPECT_NE(LastError(sftp.Get()).find("status 3"), std::string::npos) << LastError(sftp.Get());

    EXPECT_EQ(sftp->Disconnect(), S_OK);
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(sftp->MakeDir(Bstr::FromUtf8(remote).Get(), &ok),
              QorcomError(kErrorSftpNotConnected));
}

// A server that asks for the password by keyboard-interactive only (PAM's "Password:").
TEST_F(SftpInteropTest, KeyboardInteractiveLoginAnswersThePassword) {
    StartServer(SshdServer::Logins::kKeyboardInteractiveOnly);
    auto sftp = Make(SshdServer::kPassword);
    EXPECT_TRUE(Connect(sftp.Get())) << LastError(sftp.Get());
    auto wrong = Make("not the password");
    EXPECT_FALSE(Connect(wrong.Get()));
    EXPECT_NE(LastError(wrong.Get()).find("Login failed"), std::string::npos)
        << LastError(wrong.Get());
}

TEST_F(SftpInteropTest, PublicKeyLogin) {
    StartServer();
    auto sftp = Make("", server_.ClientKey());
    ASSERT_TRUE(Connect(sftp.Get())) << LastError(sftp.Get());
    EXPECT_EQ(Find(sftp.Get(), server_.DataDirectory() + "/*"), std::vector<std::string>{});
    auto nokey = Make("");
    EXPECT_FALSE(Connect(nokey.Get()));
}

TEST_F(SftpInteropTest, ChangedHostKeyAndStrictModeAreRefused) {
    StartServer();
    // Strict: an unknown server is refused and nothing is recorded.
    auto strict = Make(SshdServer::kPassword, "", true);
    EXPECT_FALSE(Connect(strict.Get()));
    EXPECT_NE(LastError(strict.Get()).find("is not known and strict host-key checking is on"),
              std::string::npos)
        << LastError(strict.Get());
    EXPECT_FALSE(std::filesystem::exists(knownHosts_));

    auto first = Make(SshdServer::kPassword);
    ASSERT_TRUE(Connect(first.Get())) << LastError(first.Get());
    first->Disconnect();
    const std::string recorded = ReadAll(knownHosts_);
    // Strict again: now the key is known, so it connects.
    EXPECT_TRUE(Connect(strict.Get())) << LastError(strict.Get());

    std::string why;
    ASSERT_TRUE(server_.ReplaceHostKey(&why)) << why;
    StartServer();
    auto second = Make(SshdServer::kPassword);
    EXPECT_FALSE(Connect(second.Get()));
    EXPECT_NE(LastError(second.Get()).find("has changed"), std::string::npos)
        << LastError(second.Get());
    EXPECT_EQ(ReadAll(knownHosts_), recorded);
}

}  // namespace
}  // namespace tw::qorcom
