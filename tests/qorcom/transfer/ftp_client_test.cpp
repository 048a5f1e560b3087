// The FTP engine and "QORCom.FTP" against the scripted server: the replies and faults real
// servers do not produce on demand.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "comlite/bstr.h"
#include "platform/process.h"
#include "qorcom/interfaces/ftp.h"
#include "qorcom/transfer/ftp_client.h"
#include "qorcom/transfer/ftp_component.h"
#include "qorcom/transfer/ftp_listing.h"
#include "qorcom/transfer/ieftp_component.h"
#include "qorcom_test_support.h"
#include "support/scratch_dir.h"
#include "transfer/fake_ftp_server.h"

namespace tw::qorcom {
namespace {

using comlite::Bstr;
using test::FakeFtpServer;
using test::FakeFtpSession;
using test::PassiveReply;
using transfer::FtpClient;
using transfer::FtpLimits;

FtpLimits Quick() {
    FtpLimits limits;
    limits.connectTimeout = std::chrono::milliseconds(2000);
    limits.idleTimeout = std::chrono::milliseconds(2000);
    return limits;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool LogOn(FtpClient& client, const FakeFtpServer& server) {
    return client.LogOn("127.0.0.1", server.Port(), "user", "secret", "");
}

// A passive download: the script answers PASV and RETR and sends the data as told.
void ServeDownload(FakeFtpSession& s, const std::string& data, bool reset) {
    const int port = s.ListenPassive();
    s.Answer(PassiveReply(port));
    s.Read();  // RETR
    s.AcceptData();
    s.Reply("150 Opening data connection");
    s.SendData(data);
    s.CloseData(reset);
    s.Reply("226 Transfer complete");
}

// ---- Logon and replies ----

TEST(FtpClientTest, MultiLineGreetingAndUserAcceptedWithoutPassword) {
    FakeFtpServer server([](FakeFtpSession& s) {
        s.Send("220-Welcome\r\n220-to the station\r\n220 Ready\r\n");
        s.Answer("230 No password needed");
    });
    FtpClient client(Quick());
    EXPECT_TRUE(LogOn(client, server)) << client.LastMessage();
    EXPECT_EQ(client.LastMessage(), "230 No password needed");
    client.Quit();
    EXPECT_EQ(server.Commands(), (std::vector<std::string>{"USER user", "QUIT"}));
}

TEST(FtpClientTest, LogonFailuresCloseTheConnection) {
    {
        FakeFtpServer server([](FakeFtpSession& s) {
            s.Reply("220 Ready");
            s.Answer("331 Password required");
            s.Answer("530 Login incorrect.");
        });
        FtpClient client(Quick());
        EXPECT_FALSE(LogOn(client, server));
        EXPECT_EQ(client.LastMessage(), "530 Login incorrect.");
        EXPECT_FALSE(client.Connected());
    }
    {
        FakeFtpServer server([](FakeFtpSession& s) {
            s.Reply("220 Ready");
            s.Answer("331 Password required");
            s.Answer("332 Account needed");
            s.Answer("332 Account needed again");
        });
        FtpClient client(Quick());
        EXPECT_FALSE(LogOn(client, server));
        EXPECT_EQ(client.LastMessage(), "Logon Failed");
        EXPECT_EQ(server.Commands(),
                  (std::vector<std::string>{"USER user", "PASS secret", "ACCT "}));
    }
    {
        FakeFtpServer server([](FakeFtpSession& s) { s.Reply("421 Too many users"); });
        FtpClient client(Quick());
        EXPECT_FALSE(LogOn(client, server));
        EXPECT_EQ(client.LastMessage(), "421 Too many users");
    }
    FtpClient client(Quick());
    EXPECT_FALSE(client.LogOn("127.0.0.1", 1, "u", "p", ""));
    EXPECT_EQ(client.LastMessage(), "Unable to connect to server ");
}

// An endless or silent server must not hang an unattended poll.
TEST(FtpClientTest, SilentServerAndEndlessRepliesFailWithinTheLimits) {
    FtpLimits limits = Quick();
    limits.idleTimeout = std::chrono::milliseconds(300);
    limits.maxLineLength = 100;
    limits.maxReplyLines = 10;
    {
        FakeFtpServer server([](FakeFtpSession& s) { s.Send("220 Half a gree"); });
        FtpClient client(limits);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(LogOn(client, server));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_EQ(client.LastMessage(), "Network error 110 in ReadControlString at ReadString.");
    }
    {
        FakeFtpServer server([](FakeFtpSession& s) { s.Send(std::string(5000, 'x')); });
        FtpClient client(limits);
        EXPECT_FALSE(LogOn(client, server));
        EXPECT_EQ(client.LastMessage(), "Network error 90 in ReadControlString at ReadString.");
    }
    {
        FakeFtpServer server([](FakeFtpSession& s) {
            for (int i = 0; i < 50; ++i) s.Reply("220-and more");
        });
        FtpClient client(limits);
        EXPECT_FALSE(LogOn(client, server));
        EXPECT_EQ(client.LastMessage(), "Network error 90 in ReadControlString at ReadString.");
    }
}

// ---- Through "QORCom.FTP" ----

class FtpComponentTest : public ::testing::Test {
protected:
    void SetUp() override {
        ftp_ = test::Create<IQORFTP>(CLSID_QORFTP, IID_IQORFTP);
        ASSERT_TRUE(ftp_);
    }
    bool Connect(const FakeFtpServer& server, const std::string& servers = "127.0.0.1") {
        ftp_->put_Server(Bstr::FromUtf8(servers).Get());
        ftp_->put_Port(static_cast<SHORT>(server.Port()));
        ftp_->put_UserName(Bstr::FromUtf8("user").Get());
        ftp_->put_Password(Bstr::FromUtf8("secret").Get());
        VARIANT_BOOL ok = VARIANT_FALSE;
        EXPECT_EQ(ftp_->Connect(&ok), S_OK);
        return ok == VARIANT_TRUE;
    }
    bool Get(const std::string& remote, const std::string& local, bool append = false) {
        VARIANT_BOOL ok = VARIANT_FALSE;
        const Bstr r = Bstr::FromUtf8(remote), l = Bstr::FromUtf8(local);
        EXPECT_EQ(append ? ftp_->GetFileAppend(r.Get(), l.Get(), &ok)
                         : ftp_->GetFile(r.Get(), l.Get(), &ok),
                  S_OK);
        return ok == VARIANT_TRUE;
    }
    bool Put(const std::string& local, const std::string& remote) {
        VARIANT_BOOL ok = VARIANT_FALSE;
        EXPECT_EQ(ftp_->PutFile(Bstr::FromUtf8(local).Get(), Bstr::FromUtf8(remote).Get(), &ok),
                  S_OK);
        return ok == VARIANT_TRUE;
    }
    std::string Message() {
        Bstr text;
        ftp_->get_LastErrorMessage(text.Put());
        return text.Utf8();
    }
    std::string Find(bool first, const std::string& mask = "") {
        Bstr entry;
        if (first)
            ftp_->FindFirst(Bstr::FromUtf8(mask).Get(), entry.Put());
        else
            ftp_->FindNext(entry.Put());
        return entry.Utf8();
    }

    comlite::ComPtr<IQORFTP> ftp_;
    tw::test::ScratchDir dir_;
};

TEST_F(FtpComponentTest, ServerListFailsOverAndTheTypeIsSentOnlyWhenItChanges) {
    FakeFtpServer server([](FakeFtpSession& s) {
        s.LogOn();
        ServeDownload(s, "first", false);
        ServeDownload(s, "second", false);
        s.Answer("200 Type set to A");
        ServeDownload(s, "third", false);
    });
    ASSERT_TRUE(Connect(server, " no-such-host.invalid ;; 127.0.0.1\r\n;")) << Message();
    EXPECT_TRUE(Get("a", dir_.File("a"))) << Message();
    EXPECT_TRUE(Get("b", dir_.File("b"))) << Message();
    ftp_->put_ASCII(VARIANT_TRUE);
    EXPECT_TRUE(Get("c", dir_.File("c"))) << Message();
    ftp_->Disconnect();
    EXPECT_EQ(ReadAll(dir_.File("b")), "second");
    EXPECT_EQ(server.Commands(),
              (std::vector<std::string>{"USER user", "PASS secret", "TYPE I", "PASV", "RETR a",
                                        "PASV", "RETR b", "TYPE A", "PASV", "RETR c", "QUIT"}));
}

// The address in a PASV reply is read in both forms, but the data connection always goes to
// the server logged on to: a reply naming 10.0.0.1 must not steer the client there.
TEST_F(FtpComponentTest, PassiveRepliesWithoutParenthesesOrNamingAnotherHost) {
    FakeFtpServer server([](FakeFtpSession& s) {
        s.LogOn();
        int port = s.ListenPassive();
        s.Answer("227 Entering Passive Mode 127,0,0,1," + std::to_string(port / 256) + "," +
                 std::to_string(port % 256));
        s.Read();
        s.AcceptData();
        s.Reply("150 Here it comes");
        s.SendData("plain");
        s.CloseData();
        s.Reply("226 Done");
        port = s.ListenPassive();
        s.Answer(PassiveReply(port, "10,0,0,1"));
        s.Read();
        s.AcceptData();
        s.Reply("150 Here it comes");
        s.SendData("steered");
        s.CloseData();
        s.Reply("226 Done");
    });
    ftp_->put_Passive(VARIANT_TRUE);
    ASSERT_TRUE(Connect(server));
    EXPECT_TRUE(Get("p", dir_.File("p"))) << Message();
    EXPECT_TRUE(Get("q", dir_.File("q"))) << Message();
    EXPECT_EQ(ReadAll(dir_.File("p")), "plain");
    EXPECT_EQ(ReadAll(dir_.File("q")), "steered");
}

// A refused RETR, or a data connection cut short and then confirmed with 226, must leave the
// local file as it was: a plain get writes a temporary file, an append cuts back to the old
// length.
TEST_F(FtpComponentTest, FailedDownloadsLeaveTheLocalFileAsItWas) {
    FakeFtpServer server([](FakeFtpSession& s) {
        s.LogOn();
        const int port = s.ListenPassive();
        s.Answer(PassiveReply(port));
        s.Answer("550 No such file");
        ServeDownload(s, std::string(200000, 'x'), true);
        ServeDownload(s, std::string(200000, 'y'), true);
    });
    const std::string local = dir_.Write("sales.xml", "the old contents");
    ASSERT_TRUE(Connect(server));
    EXPECT_FALSE(Get("missing.xml", local));
    EXPECT_EQ(Message(), "550 No such file");
    EXPECT_EQ(ReadAll(local), "the old contents");
    EXPECT_FALSE(Get("cut.xml", local));
    EXPECT_EQ(Message().rfind("Network error 104: ", 0), 0u) << Message();
    EXPECT_EQ(ReadAll(local), "the old contents");
    EXPECT_FALSE(Get("cut.xml", local, true));
    EXPECT_EQ(ReadAll(local), "the old contents");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 1);
}

TEST_F(FtpComponentTest, ControlCharactersInArgumentsAreRefusedBeforeAnythingIsSent) {
    FakeFtpServer server([](FakeFtpSession& s) { s.LogOn(); });
    ASSERT_TRUE(Connect(server));
    VARIANT_BOOL ok = VARIANT_TRUE;
    ftp_->SendCommand(Bstr::FromUtf8("NOOP\r\nDELE x").Get(), &ok);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_EQ(Message(), transfer::kUnsafeArgument);
    EXPECT_FALSE(Get(std::string("a\0b", 3), dir_.File("a")));
    EXPECT_FALSE(Put(dir_.Write("up", "x"), "up\nDELE y"));
    ok = VARIANT_TRUE;
    ftp_->Rename(Bstr::FromUtf8("a").Get(), Bstr::FromUtf8("b\rRMD c").Get(), &ok);
    EXPECT_EQ(ok, VARIANT_FALSE);
    ftp_->Disconnect();
    EXPECT_EQ(server.Commands(),
              (std::vector<std::string>{"USER user", "PASS secret", "TYPE I", "QUIT"}));
}

TEST_F(FtpComponentTest, ListingDropsTheTotalLineAndEndsWithEmptyStrings) {
    FakeFtpServer server([](FakeFtpSession& s) {
        s.LogOn();
        ServeDownload(s,
                      "total 12\r\n-rw-r--r-- 1 u g 120 Feb  3  2009 a.xml\r\n\r\n"
                      "  drwxr-xr-x 2 u g 4096 Jan 10 12:34 dir\r\n",
                      false);
    });
    ftp_->put_LongFileInfo(VARIANT_TRUE);
    ASSERT_TRUE(Connect(server));
    EXPECT_EQ(Find(true, "*.xml"), "-rw-r--r-- 1 u g 120 Feb  3  2009 a.xml");
    EXPECT_EQ(Find(false), "drwxr-xr-x 2 u g 4096 Jan 10 12:34 dir");
    EXPECT_EQ(Find(false), "");
    EXPECT_EQ(Find(false), "");
    ftp_->Disconnect();
    EXPECT_EQ(server.Commands()[4], "LIST *.xml");
}

TEST_F(FtpComponentTest, ActiveUploadAndAMissingLocalFile) {
    FakeFtpServer server([](FakeFtpSession& s) {
        s.LogOn();
        const std::string port = s.Answer("200 PORT ok");
        s.Read();  // STOR
        s.Reply("150 Send it");
        s.ConnectActive(port);
        s.commands.push_back("data:" + s.ReceiveData());
        s.CloseData();
        s.Reply("226 Stored");
    });
    ftp_->put_Passive(VARIANT_FALSE);
    ASSERT_TRUE(Connect(server));
    EXPECT_FALSE(Put(dir_.File("absent"), "x"));
    EXPECT_EQ(Message(), "Unable to open file on local machine");
    EXPECT_TRUE(Put(dir_.Write("price.xml", "<prices/>"), "price.xml")) << Message();
    ftp_->Disconnect();
    const auto commands = server.Commands();
    ASSERT_EQ(commands.size(), 7u);
    EXPECT_EQ(commands[3].rfind("PORT 127,0,0,1,", 0), 0u);
    EXPECT_EQ(commands[4], "STOR price.xml");
    EXPECT_EQ(commands[5], "data:<prices/>");
}

TEST_F(FtpComponentTest, ARefusedAuthTlsEndsTheLogonBeforeTheUserName) {
    FakeFtpServer server([](FakeFtpSession& s) {
        s.Reply("220 Ready");
        s.Answer("500 AUTH not understood");
    });
    ftp_->put_SecureLogin(VARIANT_TRUE);
    EXPECT_FALSE(Connect(server));
    EXPECT_EQ(Message(), "500 AUTH not understood");
    EXPECT_EQ(server.Commands(), std::vector<std::string>{"AUTH TLS"});
}

// Bytes after the "234" reply came in clear, from anyone on the path: read as the server's
// words they would answer PBSZ, and every later reply would answer the command before it, so
// that USER's "331" would pass for a logon.
TEST_F(FtpComponentTest, RepliesInjectedInClearAfterAuthTlsAreDropped) {
    platform::PosixProcessLauncher launcher;
    ASSERT_TRUE(
        launcher
            .Run({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                  "/CN=localhost", "-keyout", dir_.File("key.pem"), "-out", dir_.File("cert.pem")},
                 {})
            .Succeeded());
    FakeFtpServer server([&](FakeFtpSession& s) {
        s.Reply("220 Ready");
        s.Read();  // AUTH TLS
        s.Send("234 Proceed\r\n230 Injected\r\n");
        s.StartTls(dir_.File("cert.pem"), dir_.File("key.pem"));
        s.Answer("200 PBSZ set");
        s.Answer("331 Password required");
        s.Answer("230 Logged on");
        s.Answer("200 PROT now Clear");
        s.Answer("200 Type set");
    });
    ftp_->put_SecureLogin(VARIANT_TRUE);
    ASSERT_TRUE(Connect(server)) << Message();
    ftp_->Disconnect();
    EXPECT_EQ(server.Commands(),
              (std::vector<std::string>{"AUTH TLS", "PBSZ 0", "USER user", "PASS secret", "PROT C",
                                        "TYPE I", "QUIT"}));
}

// ---- Listing entries ----

TEST(FtpListingTest, UnixAndDosEntries) {
    const platform::OleDate now = platform::OleDate::FromCivil(2026, 6, 15, 9, 0);
    transfer::ListingEntry e;
    ASSERT_TRUE(
        transfer::ParseListingEntry("drwxr-xr-x 2 user group 4096 Jan 10 12:34 dir", now, &e));
    EXPECT_EQ(e.name, "dir");
    EXPECT_TRUE(e.directory);
    EXPECT_EQ(e.date.Days(), platform::OleDate::FromCivil(2026, 1, 10, 12, 34).Days());

    ASSERT_TRUE(transfer::ParseListingEntry("-rw-r--r-- 1 u g 120 Feb  3  2009 a/b.txt", now, &e));
    EXPECT_EQ(e.name, "b.txt");
    EXPECT_EQ(e.size, 120);
    EXPECT_FALSE(e.directory);
    EXPECT_EQ(e.date.Days(), platform::OleDate::FromCivil(2009, 2, 3).Days());

    // No group field; a name with blanks; a size past 4 GiB.
    ASSERT_TRUE(transfer::ParseListingEntry("-rw------- 1 owner 5368709120 Mar 1 2020 big file.dat",
                                            now, &e));
    EXPECT_EQ(e.name, "big file.dat");
    EXPECT_EQ(e.size, 5368709120LL);

    ASSERT_TRUE(transfer::ParseListingEntry("01-05-07  12:15PM  <DIR>  Sales", now, &e));
    EXPECT_EQ(e.name, "Sales");
    EXPECT_TRUE(e.directory);
    EXPECT_EQ(e.date.Days(), platform::OleDate::FromCivil(2007, 1, 5, 12, 15).Days());
    ASSERT_TRUE(transfer::ParseListingEntry("12-31-99  12:05AM      1234 old.txt", now, &e));
    EXPECT_EQ(e.size, 1234);
    EXPECT_EQ(e.date.Days(), platform::OleDate::FromCivil(1999, 12, 31, 0, 5).Days());

    for (const char* bad : {"", "total 12", "-rw-r--r-- 1 u g 120 Foo 3 2009 x",
                            "13-45-07  12:15PM  <DIR>  Sales", "-rw-r--r-- 1 u g 120 Feb 3 2009"}) {
        EXPECT_FALSE(transfer::ParseListingEntry(bad, now, &e)) << bad;
        EXPECT_EQ(e.name, "");
    }
}

// "QORCom.IEFTP" renders entries in the DOS form so that ParseLongFileInfo reads them back.
TEST(FtpListingTest, DosLinesRenderedByTheCurlVariantParseBack) {
    const platform::OleDate now = platform::OleDate::FromCivil(2026, 6, 15, 9, 0);
    transfer::ListingEntry file{"items list.xml", 123456789012LL,
                                platform::OleDate::FromCivil(2026, 3, 4, 0, 5), false};
    transfer::ListingEntry dir{"Sales", 0, platform::OleDate::FromCivil(2007, 1, 5, 12, 15), true};
    EXPECT_EQ(RenderDosListingLine(dir), "01-05-07  12:15PM       <DIR> Sales");
    for (const auto& original : {file, dir}) {
        transfer::ListingEntry back;
        const std::string line = RenderDosListingLine(original);
        ASSERT_TRUE(transfer::ParseListingEntry(line, now, &back)) << line;
        EXPECT_EQ(back.name, original.name);
        EXPECT_EQ(back.size, original.size);
        EXPECT_EQ(back.directory, original.directory);
        EXPECT_EQ(back.date.Days(), original.date.Days());
    }
}

// In January, "Dec 20 10:00" was last December: dated this year it would lie eleven months
// ahead, and a poller comparing dates would skip every later file.
TEST(FtpListingTest, TimeWithoutYearNeverLiesMoreThanADayAhead) {
    const platform::OleDate january = platform::OleDate::FromCivil(2027, 1, 5, 8, 0);
    transfer::ListingEntry e;
    ASSERT_TRUE(transfer::ParseListingEntry("-rw-r--r-- 1 u g 1 Dec 20 10:00 x", january, &e));
    EXPECT_EQ(e.date.Days(), platform::OleDate::FromCivil(2026, 12, 20, 10, 0).Days());
    // Tomorrow (a server clock a little ahead, or another time zone) stays this year.
    ASSERT_TRUE(transfer::ParseListingEntry("-rw-r--r-- 1 u g 1 Jan 6 07:00 x", january, &e));
    EXPECT_EQ(e.date.Days(), platform::OleDate::FromCivil(2027, 1, 6, 7, 0).Days());
}

TEST_F(FtpComponentTest, ParseLongFileInfoGivesSizesPastTwoGiBAsTheLargestLong) {
    Bstr name;
    LONG size = 0;
    DATE date = 0;
    VARIANT_BOOL dir = VARIANT_TRUE, ok = VARIANT_FALSE;
    ftp_->ParseLongFileInfo(Bstr::FromUtf8("-rw-r--r-- 1 u g 5368709120 Mar 1 2020 big").Get(),
                            name.Put(), &size, &date, &dir, &ok);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(size, 0x7FFFFFFF);
    EXPECT_EQ(dir, VARIANT_FALSE);
    EXPECT_EQ(name.Utf8(), "big");
}

}  // namespace
}  // namespace tw::qorcom
