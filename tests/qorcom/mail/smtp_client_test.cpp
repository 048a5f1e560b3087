// The SMTP engine and "QORCom.SendEMailSMTP" / "QORCom.SendMailSMTP" against a scripted server:
// greetings, authentication, STARTTLS, replies in odd pieces, refused transactions, and the
// exact bytes that go on the wire.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "comlite/bstr.h"
#include "platform/process.h"
#include "qorcom/frame/errors.h"
#include "qorcom/interfaces/send_mail.h"
#include "qorcom/mail/send_email_smtp.h"
#include "qorcom/mail/send_mail_smtp.h"
#include "qorcom/mail/smtp_client.h"
#include "qorcom_test_support.h"
#include "support/scratch_dir.h"
#include "transfer/fake_ftp_server.h"

namespace tw::qorcom::mail {
namespace {

using comlite::Bstr;
using test::FakeFtpServer;
using test::FakeFtpSession;
using Lines = std::vector<std::string>;

SmtpLimits Quick() {
    SmtpLimits limits;
    limits.connectTimeout = std::chrono::milliseconds(2000);
    limits.idleTimeout = std::chrono::milliseconds(2000);
    return limits;
}

std::string Server(const FakeFtpServer& server) {
    return "127.0.0.1:" + std::to_string(server.Port());
}

// The greeting, and the EHLO answered with the given extensions after the greeting line.
void Greet(FakeFtpSession& s, const Lines& extensions = {"8BITMIME"}) {
    s.Reply("220 fake.example ESMTP");
    s.Read();  // EHLO
    std::string reply = extensions.empty() ? "250 fake.example" : "250-fake.example";
    for (std::size_t i = 0; i < extensions.size(); ++i)
        reply += (i + 1 < extensions.size() ? "\r\n250-" : "\r\n250 ") + extensions[i];
    s.Reply(reply);
}

// Reads message lines up to the final "."; false when the client went away first.
bool ReadData(FakeFtpSession& s) {
    for (;;) {
        const std::size_t before = s.commands.size();
        const std::string line = s.Read();
        if (s.commands.size() == before)
            return false;
        if (line == ".")
            return true;
    }
}

// MAIL, the RCPTs, DATA and its lines up to the final ".".
void Accept(FakeFtpSession& s, int recipients, const std::string& end = "250 2.0.0 queued") {
    s.Answer("250 2.1.0 OK");
    for (int i = 0; i < recipients; ++i) s.Answer("250 2.1.5 OK");
    s.Answer("354 End data with <CR><LF>.<CR><LF>");
    if (ReadData(s))
        s.Reply(end);
}

// The commands that are not message text: up to "DATA" and after the final ".".
Lines CommandsOnly(const Lines& all) {
    Lines out;
    bool inData = false;
    for (const std::string& line : all) {
        if (inData) {
            inData = line != ".";
            continue;
        }
        out.push_back(line);
        inData = line == "DATA";
    }
    return out;
}

// The message lines between "DATA" and "." of the n-th message.
Lines MessageLines(const Lines& all, int n = 0) {
    Lines out;
    bool inData = false;
    for (const std::string& line : all) {
        if (inData && line == ".") {
            if (n-- == 0)
                return out;
            inData = false;
        } else if (inData) {
            if (n == 0)
                out.push_back(line);
        } else if (line == "DATA") {
            inData = true;
        }
    }
    return out;
}

std::unique_ptr<CMailMessage> Simple(const std::string& body = "Hello\n") {
    auto m = std::make_unique<CMailMessage>(1796682574);
    std::string error;
    EXPECT_TRUE(m->AddMultipleRecipients("Station <s1@example.com>", RecipientType::kTo, &error));
    EXPECT_TRUE(m->SetSender("office@example.com", "", &error));
    m->SetSubject("Report");
    m->SetBody(body);
    return m;
}

bool Send(CSMTP& client, CMailMessage& m) {
    return client.FormatMailMessage(m) && client.SendMessage(m);
}

std::string Ehlo() {
    char name[81] = {};
    ::gethostname(name, 80);
    return std::string("EHLO ") + name;
}

// ---- Reply parsing ----

TEST(SmtpReplyTest, ServerAndPortForms) {
    std::string host;
    int port = 25;
    EXPECT_TRUE(SplitServerPort("mail.example.com", &host, &port));
    EXPECT_EQ(host, "mail.example.com");
    EXPECT_EQ(port, 25);
    EXPECT_TRUE(SplitServerPort(" 10.0.0.5:2525 ", &host, &port));
    EXPECT_EQ(host, "10.0.0.5");
    EXPECT_EQ(port, 2525);
    port = 25;
    EXPECT_TRUE(SplitServerPort("[::1]:587", &host, &port));
    EXPECT_EQ(host, "::1");
    EXPECT_EQ(port, 587);
    port = 25;
    EXPECT_TRUE(SplitServerPort("fe80::1", &host, &port));
    EXPECT_EQ(host, "fe80::1");
    EXPECT_EQ(port, 25);
    for (const char* bad : {"", "host:", "host:0", "host:70000", "host:2x", "[::1", "[::1]x"})
        EXPECT_FALSE(SplitServerPort(bad, &host, &port)) << bad;
}

TEST(SmtpReplyTest, DotStuffingDoublesEveryLeadingDotAfterMakingLineEndsCrLf) {
    EXPECT_EQ(DotStuff(".\r\nx"), "..\r\nx");
    EXPECT_EQ(DotStuff("a\r\n.\r\n.\r\nb"), "a\r\n..\r\n..\r\nb");
    EXPECT_EQ(DotStuff(".hidden\n..two\r.\r\n"), "..hidden\r\n...two\r\n..\r\n");
    EXPECT_EQ(DotStuff("a.b\r\n"), "a.b\r\n");
}

TEST(SmtpReplyTest, LimitsFromTheEnvironment) {
    {
        tw::test::ScopedEnv connect("QORCOM_SMTP_CONNECT_TIMEOUT", "7");
        tw::test::ScopedEnv idle("QORCOM_SMTP_IDLE_TIMEOUT", "9");
        const SmtpLimits limits = SmtpLimits::FromEnvironment();
        EXPECT_EQ(limits.connectTimeout, std::chrono::milliseconds(7000));
        EXPECT_EQ(limits.idleTimeout, std::chrono::milliseconds(9000));
    }
    tw::test::ScopedEnv idle("QORCOM_SMTP_IDLE_TIMEOUT", "-3");
    EXPECT_EQ(SmtpLimits::FromEnvironment().idleTimeout, std::chrono::milliseconds(120000));
}

// ---- Greeting and authentication ----

TEST(SmtpClientTest, EhloRefusedFallsBackToHeloWithoutAuthentication) {
    FakeFtpServer server([](FakeFtpSession& s) {
        s.Reply("220 old.example SMTP");
        s.Answer("502 5.5.2 Error: command not recognized");
        s.Answer("250 old.example");
        Accept(s, 1);
        s.Answer("221 Bye");
    });
    CSMTP client(Server(server), "user", "secret", 25, Quick());
    ASSERT_TRUE(client.Connect()) << client.LastError();
    auto m = Simple();
    ASSERT_TRUE(Send(client, *m)) << client.LastError();
    EXPECT_TRUE(client.Disconnect());
    const std::string helo = "HELO" + Ehlo().substr(4);
    EXPECT_EQ(CommandsOnly(server.Commands()),
              (Lines{Ehlo(), helo, "MAIL From: <office@example.com>", "RCPT TO: <s1@example.com>",
                     "DATA", "QUIT"}));
}

TEST(SmtpClientTest, AuthenticationFollowsTheServersOrder) {
    const auto logOn = [](const std::string& mechanisms, const std::string& user) {
        FakeFtpServer server([&](FakeFtpSession& s) {
            Greet(s, {"SIZE 1000", "AUTH " + mechanisms, "HELP"});
            const bool login = s.Read() == "AUTH LOGIN";
            s.Reply(login ? "334 VXNlcm5hbWU6" : "334 ");
            if (login)
                s.Answer("334 UGFzc3dvcmQ6");
            s.Answer("235 2.7.0 Authentication successful");
            s.Answer("221 Bye");
        });
        CSMTP client(Server(server), user, "s3cret", 25, Quick());
        EXPECT_TRUE(client.Connect()) << client.LastError();
        client.Disconnect();
        Lines commands = server.Commands();
        commands.erase(commands.begin());  // EHLO
        return commands;
    };
    EXPECT_EQ(logOn("LOGIN PLAIN", "poller"),
              (Lines{"AUTH LOGIN", Base64Text("poller"), Base64Text("s3cret"), "QUIT"}));
    EXPECT_EQ(logOn("CRAM-MD5 plain login", "poller"),
              (Lines{"AUTH PLAIN", Base64Text(std::string("\0poller\0s3cret", 14)), "QUIT"}));
}

TEST(SmtpClientTest, EmptyUserNameSendsNoAuth) {
    FakeFtpServer server([](FakeFtpSession& s) {
        Greet(s, {"AUTH PLAIN LOGIN"});
        s.Answer("221 Bye");
    });
    CSMTP client(Server(server), "", "secret", 25, Quick());
    ASSERT_TRUE(client.Connect()) << client.LastError();
    client.Disconnect();
    EXPECT_EQ(server.Commands(), (Lines{Ehlo(), "QUIT"}));
}

TEST(SmtpClientTest, WrongPasswordGivesTheServersReply) {
    FakeFtpServer server([](FakeFtpSession& s) {
        Greet(s, {"AUTH PLAIN"});
        s.Answer("334 ");
        s.Answer("535 5.7.8 Authentication credentials invalid");
    });
    CSMTP client(Server(server), "poller", "wrong", 25, Quick());
    EXPECT_FALSE(client.Connect());
    EXPECT_EQ(client.LastError(), "535 5.7.8 Authentication credentials invalid");
    EXPECT_FALSE(client.Connected());
}

// With SecureLogin, mail without credentials may still go in clear, as before; credentials
// never do.
TEST(SmtpClientTest, SecureLoginWithoutStartTlsSendsMailButNeverCredentials) {
    {
        FakeFtpServer server([](FakeFtpSession& s) {
            Greet(s, {"AUTH PLAIN"});
            Accept(s, 1);
            s.Answer("221 Bye");
        });
        CSMTP client(Server(server), "", "", 25, Quick());
        client.SetSecureLogin(true);
        ASSERT_TRUE(client.Connect()) << client.LastError();
        auto m = Simple();
        EXPECT_TRUE(Send(client, *m)) << client.LastError();
        client.Disconnect();
        EXPECT_EQ(CommandsOnly(server.Commands()),
                  (Lines{Ehlo(), "MAIL From: <office@example.com>", "RCPT TO: <s1@example.com>",
                         "DATA", "QUIT"}));
    }
    FakeFtpServer server([](FakeFtpSession& s) {
        Greet(s, {"AUTH PLAIN"});
        s.Answer("334 ");
        s.Answer("235 2.7.0 Authentication successful");
    });
    CSMTP client(Server(server), "poller", "secret", 25, Quick());
    client.SetSecureLogin(true);
    EXPECT_FALSE(client.Connect());
    EXPECT_EQ(client.LastError(), "Server does not offer STARTTLS; credentials not sent.");
    client.Disconnect();
    EXPECT_EQ(server.Commands(), (Lines{Ehlo()}));
}

class SmtpTlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::PosixProcessLauncher launcher;
        ASSERT_TRUE(launcher
                        .Run({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days",
                              "2", "-subj", "/CN=localhost", "-keyout", dir_.File("key.pem"),
                              "-out", dir_.File("cert.pem")},
                             {})
                        .Succeeded());
    }
    tw::test::ScratchDir dir_;
};

// Bytes after the "220" to STARTTLS came in clear, from anyone on the path: read as the
// server's words they would answer the EHLO inside TLS, and every later reply would answer the
// command before it.
TEST_F(SmtpTlsTest, PlaintextInjectedAfterStartTlsIsDropped) {
    FakeFtpServer server([&](FakeFtpSession& s) {
        Greet(s, {"STARTTLS"});
        s.Read();  // STARTTLS
        s.Send("220 2.0.0 Ready to start TLS\r\n250-evil.example\r\n250 SIZE 1\r\n");
        s.StartTls(dir_.File("cert.pem"), dir_.File("key.pem"));
        s.Read();  // EHLO
        s.Reply("250-fake.example\r\n250 AUTH PLAIN LOGIN");
        s.Answer("334 ");
        s.Answer("235 2.7.0 Authentication successful");
        Accept(s, 1);
        s.Answer("221 Bye");
    });
    CSMTP client(Server(server), "poller", "secret", 25, Quick());
    client.SetSecureLogin(true);
    ASSERT_TRUE(client.Connect()) << client.LastError();
    EXPECT_TRUE(client.TlsActive());
    auto m = Simple();
    EXPECT_TRUE(Send(client, *m)) << client.LastError();
    EXPECT_TRUE(client.Disconnect()) << client.LastError();
    EXPECT_EQ(
        CommandsOnly(server.Commands()),
        (Lines{Ehlo(), "STARTTLS", Ehlo(), "AUTH PLAIN",
               Base64Text(std::string("\0poller\0secret", 14)), "MAIL From: <office@example.com>",
               "RCPT TO: <s1@example.com>", "DATA", "QUIT"}));
}

TEST_F(SmtpTlsTest, VerifyingASelfSignedServerFailsWithTheTlsMessage) {
    FakeFtpServer server([&](FakeFtpSession& s) {
        Greet(s, {"STARTTLS"});
        s.Answer("220 Ready");
        s.StartTls(dir_.File("cert.pem"), dir_.File("key.pem"));
    });
    CSMTP client(Server(server), "poller", "secret", 25, Quick());
    client.SetSecureLogin(true);
    client.SetVerifyServerCertificate(true);
    EXPECT_FALSE(client.Connect());
    EXPECT_NE(client.LastError().find("CERT_E_"), std::string::npos) << client.LastError();
}

// ---- Replies in pieces ----

TEST(SmtpClientTest, RepliesSplitAcrossPacketsAndLongMultiLineEhlo) {
    FakeFtpServer server([](FakeFtpSession& s) {
        const auto pause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(30)); };
        s.Send("220-fake.example ESMTP\r\n2");
        pause();
        s.Send("20 ready\r\n");
        s.Read();  // EHLO
        // Longer than one read of the client, and cut in the middle of lines.
        std::string ehlo = "250-fake.example\r\n";
        for (int i = 0; i < 400; ++i) ehlo += "250-X-PADDING-" + std::string(60, 'p') + "\r\n";
        ehlo += "250-8BITMIME\r\n250 AUTH LOGIN\r\n";
        for (std::size_t at = 0; at < ehlo.size(); at += 7000) {
            s.Send(ehlo.substr(at, 7000));
            pause();
        }
        s.Read();  // AUTH LOGIN
        s.Send("33");
        pause();
        s.Send("4 VXNlcm5hbWU6\r\n");
        s.Answer("334 UGFzc3dvcmQ6");
        s.Answer("235-first\r\n235 2.7.0 done");
        s.Answer("221 Bye");
    });
    CSMTP client(Server(server), "poller", "secret", 25, Quick());
    ASSERT_TRUE(client.Connect()) << client.LastError();
    client.Disconnect();
    EXPECT_EQ(server.Commands(),
              (Lines{Ehlo(), "AUTH LOGIN", Base64Text("poller"), Base64Text("secret"), "QUIT"}));
}

TEST(SmtpClientTest, FinalLineCodeDecides) {
    FakeFtpServer server(
        [](FakeFtpSession& s) { s.Reply("220-fake.example\r\n554 5.3.2 no service"); });
    CSMTP client(Server(server), "", "", 25, Quick());
    EXPECT_FALSE(client.Connect());
    EXPECT_EQ(client.LastError(), "Server didn't respond.");
}

// A refusal without words still says what failed.
TEST(SmtpClientTest, AnEmptyRefusalGivesTheExpectedRepliesMessage) {
    FakeFtpServer server([](FakeFtpSession& s) {
        Greet(s);
        s.Answer("250 2.1.0 OK");
        s.Answer("250 2.1.5 OK");
        s.Answer("");              // to DATA
        s.Answer("250 2.0.0 OK");  // to RSET
        s.Answer("221 Bye");
    });
    CSMTP client(Server(server), "", "", 25, Quick());
    ASSERT_TRUE(client.Connect()) << client.LastError();
    auto message = Simple();
    EXPECT_FALSE(Send(client, *message));
    EXPECT_EQ(client.LastError(), "SMTP server not ready for data");
    client.Disconnect();
}

TEST(SmtpClientTest, SilentAndFloodingServersFailWithinTheirLimits) {
    {
        FakeFtpServer server([](FakeFtpSession& s) {
            s.Reply("220 fake.example");
            s.Read();
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        });
        SmtpLimits limits = Quick();
        limits.idleTimeout = std::chrono::milliseconds(300);
        CSMTP client(Server(server), "", "", 25, limits);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(client.Connect());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1200));
        EXPECT_EQ(client.LastError(), "Socket Error");
    }
    FakeFtpServer server([](FakeFtpSession& s) {
        s.Reply("220 fake.example");
        s.Read();
        std::string flood;
        for (int i = 0; i < 50; ++i) flood += "250-line\r\n";
        s.Send(flood);
    });
    SmtpLimits limits = Quick();
    limits.maxReplyLines = 20;
    CSMTP client(Server(server), "", "", 25, limits);
    EXPECT_FALSE(client.Connect());
    EXPECT_EQ(client.LastError(), "Socket Error: the server's reply is too long");
}

// ---- Transactions ----

// A refused recipient leaves MAIL open on the server: without RSET the next message on the
// connection is refused with "503".
TEST(SmtpClientTest, RefusedTransactionIsResetAndTheNextMessageGoes) {
    FakeFtpServer server([](FakeFtpSession& s) {
        Greet(s);
        s.Answer("250 2.1.0 OK");
        s.Answer("250 2.1.5 OK");
        s.Answer("550 5.1.1 <nobody@example.com>: Recipient address rejected");
        bool reset = s.Read() == "RSET";
        if (reset) {
            s.Reply("250 2.0.0 OK");
            s.Read();  // MAIL
        }
        s.Reply(reset ? "250 2.1.0 OK" : "503 5.5.1 Error: nested MAIL command");
        s.Answer("250 2.1.5 OK");
        s.Answer("354 go ahead");
        if (!ReadData(s))
            return;
        s.Reply("554 5.7.1 message refused");
        reset = s.Read() == "RSET";
        s.Reply(reset ? "250 2.0.0 OK" : "503 5.5.1 Error: nested MAIL command");
        if (reset)
            Accept(s, 1);
        s.Answer("221 Bye");
    });
    CSMTP client(Server(server), "", "", 25, Quick());
    ASSERT_TRUE(client.Connect()) << client.LastError();
    auto first = Simple();
    std::string error;
    ASSERT_TRUE(first->AddRecipient("nobody@example.com", "", RecipientType::kTo, &error));
    EXPECT_FALSE(Send(client, *first));
    EXPECT_EQ(client.LastError(), "550 5.1.1 <nobody@example.com>: Recipient address rejected");
    auto second = Simple();
    EXPECT_FALSE(Send(client, *second));
    EXPECT_EQ(client.LastError(), "554 5.7.1 message refused");
    auto third = Simple();
    EXPECT_TRUE(Send(client, *third)) << client.LastError();
    client.Disconnect();
    const Lines commands = CommandsOnly(server.Commands());
    EXPECT_EQ(commands,
              (Lines{Ehlo(), "MAIL From: <office@example.com>", "RCPT TO: <s1@example.com>",
                     "RCPT TO: <nobody@example.com>", "RSET", "MAIL From: <office@example.com>",
                     "RCPT TO: <s1@example.com>", "DATA", "RSET", "MAIL From: <office@example.com>",
                     "RCPT TO: <s1@example.com>", "DATA", "QUIT"}));
}

// A line "." inside the text would end DATA early and the rest would be read as commands.
TEST(SmtpClientTest, DotLinesArriveDoubledAndTheRestStaysText) {
    FakeFtpServer server([](FakeFtpSession& s) {
        Greet(s);
        Accept(s, 1);
        s.Answer("221 Bye");
    });
    CSMTP client(Server(server), "", "", 25, Quick());
    ASSERT_TRUE(client.Connect()) << client.LastError();
    auto m = Simple(".\r\nfirst\r\n.\r\n.\r\nRSET\r\n.hidden\n..two\r.");
    ASSERT_TRUE(Send(client, *m)) << client.LastError();
    client.Disconnect();
    const Lines all = server.Commands();
    const Lines text = MessageLines(all);
    const Lines body(std::find(text.begin(), text.end(), "") + 1, text.end());
    EXPECT_EQ(body, (Lines{"..", "first", "..", "..", "RSET", "..hidden", "...two", ".."}));
    EXPECT_EQ(CommandsOnly(all).back(), "QUIT");
}

TEST(SmtpClientTest, ExactCommandAndHeaderBytes) {
    tw::test::ScopedTimeZone india("IST-5:30");
    FakeFtpServer server([](FakeFtpSession& s) {
        Greet(s);
        Accept(s, 3);
        s.Answer("221 Bye");
    });
    CSMTP client(Server(server), "", "", 25, Quick());
    ASSERT_TRUE(client.Connect()) << client.LastError();
    auto m = Simple("Totals\n");
    std::string error;
    ASSERT_TRUE(m->AddMultipleRecipients("c@example.com", RecipientType::kCC, &error));
    ASSERT_TRUE(m->AddMultipleRecipients("b@example.com", RecipientType::kBCC, &error));
    ASSERT_TRUE(m->SetSender("Head Office <office@example.com>", "", &error));
    ASSERT_TRUE(Send(client, *m)) << client.LastError();
    client.Disconnect();
    EXPECT_EQ(server.Commands(),
              (Lines{Ehlo(), "MAIL From: <office@example.com>", "RCPT TO: <s1@example.com>",
                     "RCPT TO: <c@example.com>", "RCPT TO: <b@example.com>", "DATA",
                     "From: \"Head Office\" <office@example.com>", "To: Station<s1@example.com>",
                     "Cc: <c@example.com>", "Date: Tue, 08 Dec 2026 03:59:34 +0530 (IST)",
                     "Subject: Report", "X-Mailer: QORCom Mail", "", "Totals", "", ".", "QUIT"}));
}

// The body's coding follows the extensions of the server's EHLO, whatever came after it.
TEST(SmtpClientTest, TextThatIsNotAsciiGoesIn8BitOnlyToServersThatTakeIt) {
    const auto encoding = [](const Lines& extensions) {
        FakeFtpServer server([&](FakeFtpSession& s) {
            Greet(s, extensions);
            s.Answer("334 ");
            s.Answer("235 2.7.0 Authentication successful");
            Accept(s, 1);
            s.Answer("221 Bye");
        });
        CSMTP client(Server(server), "poller", "secret", 25, Quick());
        EXPECT_TRUE(client.Connect()) << client.LastError();
        auto m = Simple("Grüße\n");
        EXPECT_TRUE(Send(client, *m)) << client.LastError();
        client.Disconnect();
        for (const std::string& line : MessageLines(server.Commands()))
            if (line.rfind("Content-Transfer-Encoding: ", 0) == 0)
                return line.substr(27);
        return std::string();
    };
    EXPECT_EQ(encoding({"8BITMIME", "AUTH PLAIN"}), "8bit");
    EXPECT_EQ(encoding({"AUTH PLAIN"}), "quoted-printable");
}

// ---- The components ----

class SendEMailSmtpTest : public ::testing::Test {
protected:
    void SetUp() override {
        mail_ =
            qorcom::test::Create<IQORSendEMailSMTP>(CLSID_QORSendEMailSMTP, IID_IQORSendEMailSMTP);
        ASSERT_TRUE(mail_);
        static_cast<CSendEMailSMTP*>(mail_.Get())->SetLimits(Quick());
    }
    HRESULT Init(const FakeFtpServer& server, const std::string& user = "") {
        return mail_->Init(Bstr::FromUtf8(Server(server)).Get(), Bstr::FromUtf8(user).Get(),
                           Bstr::FromUtf8("secret").Get());
    }
    void Set(HRESULT (STDMETHODCALLTYPE IQORSendEMailSMTP::*put)(BSTR), const std::string& v) {
        EXPECT_EQ((mail_.Get()->*put)(Bstr::FromUtf8(v).Get()), S_OK);
    }
    comlite::ComPtr<IQORSendEMailSMTP> mail_;
};

TEST_F(SendEMailSmtpTest, MembersBeforeInitAndNullPointers) {
    LONG result = 7;
    EXPECT_EQ(mail_->Send(&result), E_POINTER);
    EXPECT_EQ(mail_->Close(), E_POINTER);
    EXPECT_EQ(mail_->get_To(nullptr), E_POINTER);
    SHORT port = 0;
    EXPECT_EQ(mail_->get_Port(&port), S_OK);
    EXPECT_EQ(port, 25);
    comlite::ComPtr<IQORSendEMail> base;
    EXPECT_EQ(mail_->QueryInterface(IID_IQORSendEMail, base.PutVoid()), S_OK);
}

TEST_F(SendEMailSmtpTest, SendsMessagesWithAttachmentsAndRaisesRefusals) {
    tw::test::ScratchDir dir;
    const std::string file = dir.Write("report.csv", "a;b\n1;2\n");
    FakeFtpServer server([](FakeFtpSession& s) {
        Greet(s);
        Accept(s, 2);
        Accept(s, 1);
        s.Answer("221 Bye");
    });
    ASSERT_EQ(Init(server), S_OK) << qorcom::test::TakeError();
    Set(&IQORSendEMailSMTP::put_From, "office@example.com");
    Set(&IQORSendEMailSMTP::put_FromScreenName, "Head Office");
    Set(&IQORSendEMailSMTP::put_Subject, "Sales");
    Set(&IQORSendEMailSMTP::put_Body, "See attached.");
    Set(&IQORSendEMailSMTP::put_To, "Station One <s1@example.com>");
    Set(&IQORSendEMailSMTP::put_BCC, "audit@example.com");
    Set(&IQORSendEMailSMTP::put_Attachment, " " + file + " ; " + dir.File("missing.csv"));
    LONG result = 7;
    ASSERT_EQ(mail_->Send(&result), S_OK) << qorcom::test::TakeError();
    EXPECT_EQ(result, 0);

    // A refused address is raised before anything is sent; no To at all is "No Recipients".
    Set(&IQORSendEMailSMTP::put_To, "s2@example.com\r\nRSET");
    EXPECT_EQ(mail_->Send(&result), QorcomError(kErrorOperation));
    EXPECT_NE(qorcom::test::TakeError().find("QORCom.SendEMailSMTP: Refused: the address"),
              std::string::npos);
    Set(&IQORSendEMailSMTP::put_To, "");
    EXPECT_EQ(mail_->Send(&result), QorcomError(kErrorOperation));
    EXPECT_EQ(qorcom::test::TakeError(), "QORCom.SendEMailSMTP: No Recipients");

    Set(&IQORSendEMailSMTP::put_To, "s2@example.com");
    Set(&IQORSendEMailSMTP::put_BCC, "");
    Set(&IQORSendEMailSMTP::put_Attachment, "");
    ASSERT_EQ(mail_->Send(&result), S_OK) << qorcom::test::TakeError();
    EXPECT_EQ(mail_->Close(), S_OK);
    LONG after = 0;
    EXPECT_EQ(mail_->Send(&after), QorcomError(kErrorOperation));
    EXPECT_EQ(qorcom::test::TakeError(), "QORCom.SendEMailSMTP: Must be connected");

    const Lines all = server.Commands();
    EXPECT_EQ(CommandsOnly(all),
              (Lines{Ehlo(), "MAIL From: <office@example.com>", "RCPT TO: <s1@example.com>",
                     "RCPT TO: <audit@example.com>", "DATA", "MAIL From: <office@example.com>",
                     "RCPT TO: <s2@example.com>", "DATA", "QUIT"}));
    const Lines first = MessageLines(all, 0);
    EXPECT_EQ(first[0], "From: \"Head Office\" <office@example.com>");
    EXPECT_EQ(std::count(first.begin(), first.end(), "--QK_MAIL_PaRt_BoUnDaRy_05151998"), 2);
    EXPECT_NE(std::find(first.begin(), first.end(),
                        "Content-Disposition: attachment; filename=\"report.csv\""),
              first.end());
    EXPECT_EQ(MessageLines(all, 1).back(), "See attached.");
}

TEST_F(SendEMailSmtpTest, InitFailureIsRaisedWithTheClientsText) {
    FakeFtpServer server([](FakeFtpSession& s) { s.Reply("421 4.3.2 busy"); });
    EXPECT_EQ(Init(server), QorcomError(kErrorOperation));
    EXPECT_EQ(qorcom::test::TakeError(), "QORCom.SendEMailSMTP: Server didn't respond.");
    Set(&IQORSendEMailSMTP::put_To, "s1@example.com");
    LONG result = 0;
    EXPECT_EQ(mail_->Send(&result), QorcomError(kErrorOperation));
    EXPECT_EQ(qorcom::test::TakeError(), "QORCom.SendEMailSMTP: Must be connected");
}

TEST(SendMailSmtpTest, TheOlderInterfaceForwardsToANewObject) {
    auto old = qorcom::test::Create<IQORSendMailSMTP>(CLSID_QORSendMailSMTP, IID_IQORSendMailSMTP);
    ASSERT_TRUE(old);
    LONG result = 0;
    EXPECT_EQ(old->Send(Bstr::FromUtf8("a@example.com").Get(), &result), E_POINTER);
    static_cast<CSendEMailSMTP*>(static_cast<CSendMailSMTP*>(old.Get())->Inner())
        ->SetLimits(Quick());
    FakeFtpServer server([](FakeFtpSession& s) {
        Greet(s);
        Accept(s, 2);
        s.Answer("221 Bye");
    });
    ASSERT_EQ(old->Init(Bstr::FromUtf8(Server(server)).Get(), Bstr::FromUtf8("").Get(),
                        Bstr::FromUtf8("").Get()),
              S_OK);
    old->put_From(Bstr::FromUtf8("office@example.com").Get());
    old->put_CC(Bstr::FromUtf8("c@example.com").Get());
    old->put_Subject(Bstr::FromUtf8("Old").Get());
    Bstr cc;
    old->get_CC(cc.Put());
    EXPECT_EQ(cc.Utf8(), "c@example.com");
    ASSERT_EQ(old->Send(Bstr::FromUtf8("a@example.com").Get(), &result), S_OK)
        << qorcom::test::TakeError();
    EXPECT_EQ(old->Close(), S_OK);
    EXPECT_EQ(CommandsOnly(server.Commands()),
              (Lines{Ehlo(), "MAIL From: <office@example.com>", "RCPT TO: <a@example.com>",
                     "RCPT TO: <c@example.com>", "DATA", "QUIT"}));
}

}  // namespace
}  // namespace tw::qorcom::mail
