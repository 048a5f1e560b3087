// "QORCom.ReadEMailPOP3" and its older twin against a scripted POP3 server: how replies arrive,
// what the server refuses or garbles, and where attachments end up.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "comlite/bstr.h"
#include "comlite/com_ptr.h"
#include "qorcom/common/base64.h"
#include "qorcom/mail/attachment_store.h"
#include "qorcom/mail/read_email_pop3.h"
#include "qorcom/mail/read_mail_pop3.h"
#include "qorcom_test_support.h"
#include "support/scratch_dir.h"
#include "transfer/fake_ftp_server.h"

namespace tw::qorcom {
namespace {

using comlite::Bstr;
using test::FakeFtpServer;
using test::FakeFtpSession;

void Pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
}

void LogOn(FakeFtpSession& s) {
    s.Reply("+OK POP3 ready");
    s.Answer("+OK");
    s.Answer("+OK logged in");
}

// The lines of a RETR reply: "+OK", the message dot-stuffed, the end line.
std::string RetrReply(const std::string& message) {
    std::string stuffed = "+OK message follows\r\n";
    std::istringstream lines(message);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        stuffed += (line.starts_with('.') ? "." : "") + line + "\r\n";
    }
    return stuffed + ".\r\n";
}

mail::Pop3Limits Quick() {
    mail::Pop3Limits limits;
    limits.connectTimeout = std::chrono::milliseconds(2000);
    limits.idleTimeout = std::chrono::milliseconds(2000);
    return limits;
}

comlite::ComPtr<IQORReadEMailPOP3> MakeReader(const mail::Pop3Limits& limits = Quick()) {
    auto reader = test::Create<IQORReadEMailPOP3>(CLSID_QORReadEMailPOP3, IID_IQORReadEMailPOP3);
    static_cast<CReadEMailPOP3*>(reader.Get())->SetLimits(limits);
    return reader;
}

HRESULT Init(IQORReadEMailPOP3* reader, const FakeFtpServer& server) {
    return reader->Init(Bstr::FromUtf8("127.0.0.1:" + std::to_string(server.Port())).Get(),
                        Bstr::FromUtf8("poller").Get(), Bstr::FromUtf8("secret").Get());
}

bool Call(HRESULT (STDMETHODCALLTYPE IQORReadEMail::*member)(VARIANT_BOOL*),
          IQORReadEMailPOP3* reader) {
    VARIANT_BOOL result = VARIANT_FALSE;
    EXPECT_EQ((reader->*member)(&result), S_OK);
    return result == VARIANT_TRUE;
}

struct ReadResult {
    HRESULT hr = E_FAIL;
    bool ok = false;
    std::string from, to, cc, bcc, subject, date, body, attachment;
};

template <class Reader>
ReadResult ReadCurrent(Reader* reader) {
    ReadResult r;
    Bstr from, to, cc, bcc, subject, date, body, attachment;
    VARIANT_BOOL ok = VARIANT_FALSE;
    r.hr = reader->Read(from.Put(), to.Put(), cc.Put(), bcc.Put(), subject.Put(), date.Put(),
                        body.Put(), attachment.Put(), &ok);
    r.ok = ok == VARIANT_TRUE;
    r.from = from.Utf8();
    r.to = to.Utf8();
    r.cc = cc.Utf8();
    r.bcc = bcc.Utf8();
    r.subject = subject.Utf8();
    r.date = date.Utf8();
    r.body = body.Utf8();
    r.attachment = attachment.Utf8();
    return r;
}

TEST(Pop3Test, RepliesSplitAcrossPacketsOrSharingOneKeepTheSessionInStep) {
    FakeFtpServer server([](FakeFtpSession& s) {
        s.Send("+O");
        Pause();
        s.Send("K ready\r\n");
        s.Read();                            // USER
        s.Send("+OK\r\n+OK logged in\r\n");  // the PASS reply early, in the same packet
        s.Read();                            // PASS
        s.Read();                            // STAT
        s.Send("+OK 1");
        Pause();
        s.Send(" 99\r");
        Pause();
        s.Send("\n");
        s.Read();  // RETR 1
        const std::string reply =
            RetrReply("From: a@b\r\nTo: c@d, e@f\r\nSubject: split\r\n\r\nfirst\r\nsecond\r\n");
        for (std::size_t at = 0; at < reply.size(); at += 7) {
            s.Send(reply.substr(at, 7));
            if (at % 21 == 0)
                Pause();
        }
        s.Answer("+OK bye");
    });
    auto reader = MakeReader();
    ASSERT_EQ(Init(reader.Get(), server), S_OK) << test::TakeError();
    ASSERT_TRUE(Call(&IQORReadEMail::MoveFirst, reader.Get()));
    const ReadResult r = ReadCurrent(reader.Get());
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.from, "a@b");
    EXPECT_EQ(r.to, "c@d;e@f");
    EXPECT_EQ(r.subject, "split");
    EXPECT_EQ(r.body, "first\r\nsecond\r\n");
    EXPECT_EQ(reader->Close(), S_OK);
    EXPECT_EQ(server.Commands(),
              (std::vector<std::string>{"USER poller", "PASS secret", "STAT", "RETR 1", "QUIT"}));
}

TEST(Pop3Test, RefusedPasswordRaisesTheTableTextUnderEitherComponentsName) {
    const auto script = [](FakeFtpSession& s) {
        s.Reply("+OK ready");
        s.Answer("+OK");
        s.Answer("-ERR [AUTH] Authentication failed.");
    };
    {
        FakeFtpServer server(script);
        auto reader = MakeReader();
        EXPECT_EQ(Init(reader.Get(), server), HRESULT(0x8004201E));
        EXPECT_EQ(test::TakeError(),
                  "QORCom.ReadEMailPOP3: Invalid username/password combination.");
    }
    {
        FakeFtpServer server(script);
        auto old = test::Create<IQORReadMailPOP3>(CLSID_QORReadMailPOP3, IID_IQORReadMailPOP3);
        ASSERT_TRUE(old);
        EXPECT_EQ(old->Init(Bstr::FromUtf8("127.0.0.1:" + std::to_string(server.Port())).Get(),
                            Bstr::FromUtf8("poller").Get(), Bstr::FromUtf8("wrong").Get()),
                  HRESULT(0x8004201E));
        EXPECT_EQ(test::TakeError(), "QORCom.ReadMailPOP3: Invalid username/password combination.");
    }
}

// As a script host calls it: the older component by late binding, Read's eight texts as [out]
// arguments, all forwarded to the newer component.
TEST(Pop3Test, TheOlderComponentReadsThroughLateBinding) {
    FakeFtpServer server([](FakeFtpSession& s) {
        LogOn(s);
        s.Answer("+OK 1 100");
        s.Read();
        s.Send(
            RetrReply("From: a@b\r\nTo: c@d, e@f\r\nCc: g@h\r\nSubject: late\r\n"
                      "Content-Type: multipart/mixed; boundary=z\r\n\r\n--z\r\n"
                      "Content-Type: text/plain\r\n\r\nhi\r\n--z\r\n"
                      "Content-Type: application/octet-stream; name=x.bin\r\n\r\n1\r\n--z--\r\n"));
        s.Answer("+OK bye");
    });
    auto old = test::CreateDispatch(CLSID_QORReadMailPOP3);
    ASSERT_TRUE(old);
    comlite::Variant host =
        comlite::Variant::TextUtf8("127.0.0.1:" + std::to_string(server.Port()));
    comlite::Variant user = comlite::Variant::TextUtf8("poller");
    comlite::Variant password = comlite::Variant::TextUtf8("secret");
    ASSERT_EQ(test::Call(old.Get(), "Init", {&host, &user, &password}), S_OK) << test::TakeError();
    EXPECT_EQ(test::Put(old.Get(), "Seperator", comlite::Variant::TextUtf8(", ")), S_OK);
    comlite::Variant result;
    ASSERT_EQ(test::Call(old.Get(), "MoveFirst", {}, &result), S_OK);
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);
    comlite::Variant out[8];
    ASSERT_EQ(test::Call(old.Get(), "Read",
                         {&out[0], &out[1], &out[2], &out[3], &out[4], &out[5], &out[6], &out[7]},
                         &result),
              S_OK)
        << test::TakeError();
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);
    std::vector<std::string> texts;
    for (const comlite::Variant& v : out) texts.push_back(comlite::BstrToUtf8(v.bstrVal));
    EXPECT_EQ(texts,
              (std::vector<std::string>{"a@b", "c@d, e@f", "g@h", "", "late", "", "hi", "x.bin"}));
    EXPECT_EQ(test::Call(old.Get(), "Close", {}), S_OK);
}

TEST(Pop3Test, MembersBeforeInitAnswerEPointer) {
    auto reader = MakeReader();
    VARIANT_BOOL result;
    EXPECT_EQ(reader->MoveFirst(&result), E_POINTER);
    EXPECT_EQ(reader->MoveNext(&result), E_POINTER);
    EXPECT_EQ(reader->Delete(&result), E_POINTER);
    EXPECT_EQ(reader->Close(), E_POINTER);
    EXPECT_EQ(ReadCurrent(reader.Get()).hr, E_POINTER);
    // The properties are set before Init.
    EXPECT_EQ(reader->put_Seperator(Bstr::FromUtf8("|").Get()), S_OK);
    Bstr separator;
    EXPECT_EQ(reader->get_Seperator(separator.Put()), S_OK);
    EXPECT_EQ(separator.Utf8(), "|");
}

TEST(Pop3Test, AnEmptyMailboxHasNothingToReadAndRetrieveIsNeverSent) {
    FakeFtpServer server([](FakeFtpSession& s) {
        LogOn(s);
        s.Answer("+OK 0 0");
        s.Answer("+OK bye");
    });
    auto reader = MakeReader();
    ASSERT_EQ(Init(reader.Get(), server), S_OK);
    EXPECT_FALSE(Call(&IQORReadEMail::MoveFirst, reader.Get()));
    const ReadResult r = ReadCurrent(reader.Get());
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(Call(&IQORReadEMail::Delete, reader.Get()));
    reader->Close();
    EXPECT_EQ(server.Commands(),
              (std::vector<std::string>{"USER poller", "PASS secret", "STAT", "QUIT"}));
}

// Dot-stuffed lines come back with one dot less; the last message stays current after MoveNext
// fails; deleting message 1 and reading message 2 share one connection.
TEST(Pop3Test, DeleteThenReadTheNextMessageOnOneConnection) {
    FakeFtpServer server([](FakeFtpSession& s) {
        LogOn(s);
        s.Answer("+OK 2 500");
        s.Read();  // RETR 1
        s.Send("+OK\r\nSubject: one\r\n\r\n..starts with a dot\r\n...\r\n..\r\nend\r\n.\r\n");
        s.Answer("+OK marked");  // DELE 1
        s.Read();                // RETR 2
        s.Send(RetrReply("Subject: two\r\n\r\nsecond\r\n"));
        s.Read();  // RETR 2 again after MoveNext failed
        s.Send(RetrReply("Subject: two\r\n\r\nsecond\r\n"));
        s.Answer("+OK bye");
    });
    auto reader = MakeReader();
    ASSERT_EQ(Init(reader.Get(), server), S_OK);
    ASSERT_TRUE(Call(&IQORReadEMail::MoveFirst, reader.Get()));
    ReadResult r = ReadCurrent(reader.Get());
    EXPECT_EQ(r.subject, "one");
    EXPECT_EQ(r.body, ".starts with a dot\r\n..\r\n.\r\nend\r\n");
    EXPECT_TRUE(Call(&IQORReadEMail::Delete, reader.Get()));
    EXPECT_TRUE(Call(&IQORReadEMail::MoveNext, reader.Get()));
    EXPECT_EQ(ReadCurrent(reader.Get()).subject, "two");
    EXPECT_FALSE(Call(&IQORReadEMail::MoveNext, reader.Get()));
    EXPECT_EQ(ReadCurrent(reader.Get()).subject, "two");
    reader->Close();
    EXPECT_EQ(server.Commands(),
              (std::vector<std::string>{"USER poller", "PASS secret", "STAT", "RETR 1", "DELE 1",
                                        "RETR 2", "RETR 2", "QUIT"}));
}

TEST(Pop3Test, AnOversizedMessageFailsRetrieveAndTheSessionGoesOn) {
    FakeFtpServer server([](FakeFtpSession& s) {
        LogOn(s);
        s.Answer("+OK 2 9000");
        s.Read();
        std::string big = "Subject: big\r\n\r\n";
        for (int i = 0; i < 30; ++i) big += std::string(100, 'x') + "\r\n";
        s.Send(RetrReply(big));
        s.Read();
        s.Send(RetrReply("Subject: small\r\n\r\nfits\r\n"));
        s.Read();  // a single line past the limit ends the session
        s.Send("+OK\r\n" + std::string(70000, 'z'));
        s.Read();
    });
    mail::Pop3Limits limits = Quick();
    limits.maxMessageBytes = 1000;
    auto reader = MakeReader(limits);
    ASSERT_EQ(Init(reader.Get(), server), S_OK);
    ASSERT_TRUE(Call(&IQORReadEMail::MoveFirst, reader.Get()));
    ReadResult r = ReadCurrent(reader.Get());
    EXPECT_EQ(r.hr, HRESULT(0x8004201E));
    EXPECT_FALSE(r.ok);
    const std::string error = test::TakeError();
    EXPECT_TRUE(error.starts_with("QORCom.ReadEMailPOP3: RETRieve failed.")) << error;
    EXPECT_NE(error.find("QORCOM_POP3_MAX_MESSAGE"), std::string::npos) << error;
    ASSERT_TRUE(Call(&IQORReadEMail::MoveNext, reader.Get()));
    r = ReadCurrent(reader.Get());
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.subject, "small");
    EXPECT_EQ(ReadCurrent(reader.Get()).hr, HRESULT(0x8004201E));
    EXPECT_NE(test::TakeError().find("QORCOM_POP3_MAX_MESSAGE"), std::string::npos);
}

// Only "+OK" is success: garbage or a closed connection fails the step, and a count that is
// not a count is not taken.
TEST(Pop3Test, RepliesThatAreNeitherOkNorErrFailTheStep) {
    {
        FakeFtpServer server([](FakeFtpSession& s) { s.Reply("SSH-2.0-OpenSSH_9.2"); });
        auto reader = MakeReader();
        EXPECT_EQ(Init(reader.Get(), server), HRESULT(0x8004201E));
        EXPECT_EQ(test::TakeError(),
                  "QORCom.ReadEMailPOP3: Server didn't connect. (unexpected "
                  "reply \"SSH-2.0-OpenSSH_9.2\")");
    }
    for (const char* stat : {"HTTP/1.1 400 Bad Request", "+OK lots of mail", "+OK 99999999999 1",
                             "+OK -3 0", "+OK 3x 0"}) {
        SCOPED_TRACE(stat);
        FakeFtpServer server([stat](FakeFtpSession& s) {
            LogOn(s);
            s.Answer(stat);
            s.Read();
        });
        auto reader = MakeReader();
        ASSERT_EQ(Init(reader.Get(), server), S_OK);
        EXPECT_FALSE(Call(&IQORReadEMail::MoveFirst, reader.Get()));
        EXPECT_FALSE(ReadCurrent(reader.Get()).ok);
    }
    {
        FakeFtpServer server([](FakeFtpSession& s) {
            LogOn(s);
            s.Answer("+OK 1 10");
            s.Read();  // DELE 1: the connection closes instead of an answer
        });
        auto reader = MakeReader();
        ASSERT_EQ(Init(reader.Get(), server), S_OK);
        ASSERT_TRUE(Call(&IQORReadEMail::MoveFirst, reader.Get()));
        EXPECT_FALSE(Call(&IQORReadEMail::Delete, reader.Get()));
    }
}

TEST(Pop3Test, ASilentServerFailsWithinTheIdleTimeOut) {
    FakeFtpServer server([](FakeFtpSession& s) { s.Read(); });
    mail::Pop3Limits limits = Quick();
    limits.idleTimeout = std::chrono::milliseconds(300);
    auto reader = MakeReader(limits);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Init(reader.Get(), server), HRESULT(0x8004201E));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(test::TakeError().starts_with("QORCom.ReadEMailPOP3: Socket Error " +
                                              std::to_string(ETIMEDOUT)));
}

TEST(Pop3Test, UserNamesThatWouldSmuggleACommandAreRefusedBeforeConnecting) {
    auto reader = MakeReader();
    EXPECT_EQ(reader->Init(Bstr::FromUtf8("127.0.0.1:1").Get(),
                           Bstr::FromUtf8("poller\r\nDELE 1").Get(), Bstr::FromUtf8("x").Get()),
              HRESULT(0x8004201E));
    EXPECT_EQ(test::TakeError(),
              "QORCom.ReadEMailPOP3: Refused: the command holds a CR, LF or NUL character");
}

TEST(Pop3Test, ServerNamesTakeAnOptionalPort) {
    struct Case {
        const char* server;
        bool ok;
        const char* host;
        int port;
    };
    const Case cases[] = {
        {"mail.example.com", true, "mail.example.com", 110},
        {"mail.example.com:1110", true, "mail.example.com", 1110},
        {"[::1]:995", true, "::1", 995},
        {"::1", true, "::1", 110},
        {"host:", false, "", 0},
        {"host:0", false, "", 0},
        {"host:70000", false, "", 0},
        {"host:11x", false, "", 0},
        {"", false, "", 0},
    };
    for (const Case& c : cases) {
        std::string host;
        int port = 0;
        EXPECT_EQ(mail::ParsePop3Server(c.server, &host, &port), c.ok) << c.server;
        if (c.ok) {
            EXPECT_EQ(host, c.host);
            EXPECT_EQ(port, c.port);
        }
    }
}

// Saved attachments land in the attachment directory and nowhere else, each complete, none
// replacing a file that was there.
TEST(Pop3Test, SavedAttachmentsNeverLeaveTheDirectoryNorReplaceAFile) {
    tw::test::ScratchDir scratch;
    const std::string directory = scratch.File("inbox/attachments");
    tw::test::ScopedEnv env("QORCOM_MAIL_ATTACHMENTS", directory);
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    const std::string message =
        "From: s5@example.com\r\nContent-Type: multipart/mixed;\r\n boundary=\"B\"\r\n\r\n"
        "--B\r\nContent-Type: text/plain\r\n\r\nsee files\r\n"
        "--B\r\nContent-Type: application/octet-stream; name=\"a.bin\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\n" +
        Base64Encode(std::span(reinterpret_cast<const std::uint8_t*>(all.data()), all.size())) +
        "\r\n--B\r\nContent-Type: application/octet-stream; name=\"../../escape.txt\"\r\n\r\n"
        "out\r\n--B\r\nContent-Type: application/octet-stream; "
        "name=\"..\"\r\n\r\ndots\r\n--B--\r\n";
    FakeFtpServer server([&](FakeFtpSession& s) {
        LogOn(s);
        s.Answer("+OK 1 1");
        s.Read();
        s.Send(RetrReply(message));
        s.Read();
    });
    std::filesystem::create_directories(directory);
    std::ofstream(directory + "/a.bin") << "older file";
    auto reader = MakeReader();
    ASSERT_EQ(Init(reader.Get(), server), S_OK);
    reader->put_SaveAttachments(VARIANT_TRUE);
    reader->put_Seperator(Bstr::FromUtf8("|").Get());
    ASSERT_TRUE(Call(&IQORReadEMail::MoveFirst, reader.Get()));
    const ReadResult r = ReadCurrent(reader.Get());
    ASSERT_TRUE(r.ok) << test::TakeError();
    EXPECT_EQ(r.body, "see files");
    EXPECT_EQ(r.attachment,
              directory + "/a (1).bin|" + directory + "/escape.txt|" + directory + "/attachment3");
    const auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(read(directory + "/a.bin"), "older file");
    EXPECT_EQ(read(directory + "/a (1).bin"), all);
    EXPECT_EQ(read(directory + "/escape.txt"), "out");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory),
                            std::filesystem::directory_iterator()),
              4);  // no temporary file left behind
    EXPECT_FALSE(std::filesystem::exists(scratch.File("escape.txt")));
    EXPECT_EQ(mail::NumberedFileName("noext", 2), "noext (2)");
    EXPECT_EQ(mail::NumberedFileName("r.tar.gz", 1), "r.tar (1).gz");
}

}  // namespace
}  // namespace tw::qorcom
