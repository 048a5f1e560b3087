// "QORCom.SendEMailSMTP" against aiosmtpd with STARTTLS and AUTH, the server started by this
// program; what arrived is read back from the server's Maildir. When the server cannot start,
// every test fails (an interop run must never pass by skipping).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "comlite/bstr.h"
#include "interop/smtp_server.h"
#include "qorcom/common/base64.h"
#include "qorcom/frame/errors.h"
#include "qorcom/interfaces/send_mail.h"
#include "qorcom/qorcom_test_support.h"
#include "support/scratch_dir.h"

namespace tw {
namespace {

using comlite::Bstr;
using test::AioSmtpServer;

class AioSmtpEnvironment : public ::testing::Environment {
public:
    void SetUp() override { running = server.Start(&why); }
    void TearDown() override { server.Stop(); }
    AioSmtpServer server;
    std::string why;
    bool running = false;
};

AioSmtpEnvironment* environment = nullptr;

// The Maildir keeps the server's line ends (LF); the tests read lines either way.
std::string Unix(std::string text) {
    for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;) text.erase(at, 1);
    return text;
}

// The header lines, each with a line end before it.
std::string Header(const std::string& message) {
    return "\n" + message.substr(0, message.find("\n\n") + 1);
}

class SmtpInteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(environment->running) << environment->why;
        std::error_code ignored;
        for (const auto& entry :
             std::filesystem::directory_iterator(environment->server.Maildir() + "/new", ignored))
            std::filesystem::remove(entry.path(), ignored);
        mail_ =
            qorcom::test::Create<IQORSendEMailSMTP>(CLSID_QORSendEMailSMTP, IID_IQORSendEMailSMTP);
        ASSERT_TRUE(mail_);
    }
    void TearDown() override {
        if (mail_)
            mail_->Close();
    }
    HRESULT Init(int port, const std::string& password = AioSmtpServer::kPassword,
                 const std::string& host = "127.0.0.1") {
        return mail_->Init(Bstr::FromUtf8(host + ":" + std::to_string(port)).Get(),
                           Bstr::FromUtf8(AioSmtpServer::kUser).Get(),
                           Bstr::FromUtf8(password).Get());
    }
    void Set(HRESULT (STDMETHODCALLTYPE IQORSendEMailSMTP::*put)(BSTR), const std::string& v) {
        EXPECT_EQ((mail_.Get()->*put)(Bstr::FromUtf8(v).Get()), S_OK);
    }
    HRESULT Send() {
        LONG result = 1;
        const HRESULT hr = mail_->Send(&result);
        EXPECT_EQ(result, 0);
        return hr;
    }
    comlite::ComPtr<IQORSendEMailSMTP> mail_;
    test::ScratchDir dir_;
};

TEST_F(SmtpInteropTest, StartTlsLoginDeliversHeadersDotLinesAndExactAttachments) {
    std::string binary;
    for (int i = 0; i < 3000; ++i) binary += static_cast<char>((i * 7 + i / 256) % 256);
    const std::string file = dir_.Write("sales.bin", binary);
    mail_->put_SecureLogin(VARIANT_TRUE);
    ASSERT_EQ(Init(AioSmtpServer::kPort), S_OK) << qorcom::test::TakeError();
    Set(&IQORSendEMailSMTP::put_From, "office@example.com");
    Set(&IQORSendEMailSMTP::put_FromScreenName, "Head Office");
    Set(&IQORSendEMailSMTP::put_To, "Station One <s1@example.com>; s2@example.com");
    Set(&IQORSendEMailSMTP::put_CC, "cc@example.com");
    Set(&IQORSendEMailSMTP::put_BCC, "audit@example.com");
    Set(&IQORSendEMailSMTP::put_Subject, "Tagesbericht Köln");
    Set(&IQORSendEMailSMTP::put_Body, "Report follows.\n.\n..\n.hidden\nGrüße\nend");
    Set(&IQORSendEMailSMTP::put_Attachment, file + ";" + dir_.File("missing.bin"));
    ASSERT_EQ(Send(), S_OK) << qorcom::test::TakeError();
    EXPECT_EQ(mail_->Close(), S_OK);

    const std::vector<std::string> messages = environment->server.Messages();
    ASSERT_EQ(messages.size(), 1u);
    const std::string message = Unix(messages[0]);
    const std::string header = Header(message);
    EXPECT_NE(header.find("\nFrom: \"Head Office\" <office@example.com>\n"), std::string::npos)
        << header;
    EXPECT_NE(header.find("\nTo: Station One<s1@example.com>,<s2@example.com>\nCc: "
                          "<cc@example.com>\nDate: "),
              std::string::npos)
        << header;
    EXPECT_NE(header.find("\nX-Mailer: QORCom Mail\nMIME-Version: 1.0\n"), std::string::npos);
    EXPECT_EQ(header.find("audit@example.com>"), std::string::npos) << "no Bcc header";
    // aiosmtpd records the envelope: every To, CC and BCC recipient got its RCPT.
    EXPECT_NE(header.find("X-RcptTo: s1@example.com, s2@example.com, cc@example.com, "
                          "audit@example.com"),
              std::string::npos)
        << header;
    const std::size_t subject = header.find("Subject: =?UTF-8?B?");
    ASSERT_NE(subject, std::string::npos) << header;
    const std::size_t end = header.find("?=", subject);
    const auto decoded = qorcom::Base64Decode(header.substr(subject + 19, end - subject - 19));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(std::string(decoded->begin(), decoded->end()), "Tagesbericht Köln");

    // The text arrives line for line (8BITMIME is offered, so in 8bit).
    EXPECT_NE(message.find("Content-Transfer-Encoding: 8bit\n\nReport follows.\n.\n..\n.hidden\n"
                           "Grüße\nend\n--QK_MAIL_PaRt_BoUnDaRy_05151998\n"),
              std::string::npos)
        << message;
    // The one attachment that exists, byte for byte.
    const std::size_t part = message.find("filename=\"sales.bin\"");
    ASSERT_NE(part, std::string::npos);
    EXPECT_EQ(message.find("missing.bin"), std::string::npos);
    const std::size_t start = message.find("\n\n", part) + 2;
    const std::size_t stop = message.find("--QK_MAIL_PaRt_BoUnDaRy_05151998--", start);
    const auto bytes = qorcom::Base64Decode(message.substr(start, stop - start));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), binary);
}

TEST_F(SmtpInteropTest, PlainAndSeveralMessagesOnOneConnection) {
    mail_->put_SecureLogin(VARIANT_TRUE);
    ASSERT_EQ(Init(AioSmtpServer::kPlainPort), S_OK) << qorcom::test::TakeError();
    Set(&IQORSendEMailSMTP::put_From, "office@example.com");
    Set(&IQORSendEMailSMTP::put_To, "s1@example.com");
    for (const char* subject : {"first", "second", "third"}) {
        Set(&IQORSendEMailSMTP::put_Subject, subject);
        Set(&IQORSendEMailSMTP::put_Body, std::string("Body of the ") + subject + " message.");
        ASSERT_EQ(Send(), S_OK) << qorcom::test::TakeError();
    }
    EXPECT_EQ(mail_->Close(), S_OK);
    const std::vector<std::string> messages = environment->server.Messages();
    ASSERT_EQ(messages.size(), 3u);
    std::vector<std::string> subjects;
    for (const std::string& message : messages) {
        const std::string text = Unix(message);
        const std::size_t at = text.find("\nSubject: ") + 10;
        subjects.push_back(text.substr(at, text.find('\n', at) - at));
        EXPECT_NE(text.find("\n\nBody of the " + subjects.back() + " message."), std::string::npos);
    }
    std::sort(subjects.begin(), subjects.end());
    EXPECT_EQ(subjects, (std::vector<std::string>{"first", "second", "third"}));
}

TEST_F(SmtpInteropTest, WrongPasswordGivesTheServersReply) {
    mail_->put_SecureLogin(VARIANT_TRUE);
    EXPECT_EQ(Init(AioSmtpServer::kPort, "wrong"), qorcom::QorcomError(qorcom::kErrorOperation));
    EXPECT_EQ(qorcom::test::TakeError(),
              "QORCom.SendEMailSMTP: 535 5.7.8 Authentication credentials invalid");
}

// Without SecureLogin the client never starts TLS: this server offers no AUTH in clear, so no
// credentials go, and it refuses the mail with its own reply.
TEST_F(SmtpInteropTest, WithoutTlsNothingIsSent) {
    ASSERT_EQ(Init(AioSmtpServer::kPort), S_OK) << qorcom::test::TakeError();
    Set(&IQORSendEMailSMTP::put_From, "office@example.com");
    Set(&IQORSendEMailSMTP::put_To, "s1@example.com");
    EXPECT_EQ(Send(), qorcom::QorcomError(qorcom::kErrorOperation));
    EXPECT_EQ(qorcom::test::TakeError(),
              "QORCom.SendEMailSMTP: 530 Must issue a STARTTLS command first");
    EXPECT_TRUE(environment->server.Messages().empty());
}

TEST_F(SmtpInteropTest, ServerCertificateIsVerifiedAgainstTheTrustedFile) {
    mail_->put_SecureLogin(VARIANT_TRUE);
    mail_->put_VerifyServerCertificate(VARIANT_TRUE);
    {
        test::ScopedEnv trusted("SSL_CERT_FILE", environment->server.CertificateFile());
        EXPECT_EQ(Init(AioSmtpServer::kPort, AioSmtpServer::kPassword, "localhost"), S_OK)
            << qorcom::test::TakeError();
        mail_->Close();
        // A trusted certificate for another name is refused: the host is checked too.
        EXPECT_EQ(Init(AioSmtpServer::kPort), qorcom::QorcomError(qorcom::kErrorOperation));
        EXPECT_NE(qorcom::test::TakeError().find("CERT_E_CN_NO_MATCH"), std::string::npos);
    }
    test::ScopedEnv untrusted("SSL_CERT_FILE", dir_.Write("none.pem", ""));
    EXPECT_EQ(Init(AioSmtpServer::kPort, AioSmtpServer::kPassword, "localhost"),
              qorcom::QorcomError(qorcom::kErrorOperation));
    EXPECT_NE(qorcom::test::TakeError().find("CERT_E_"), std::string::npos);
}

}  // namespace
}  // namespace tw

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    tw::environment = new tw::AioSmtpEnvironment;
    ::testing::AddGlobalTestEnvironment(tw::environment);
    return RUN_ALL_TESTS();
}
