// The sendmail mail provider, through the MAPI sending component and called directly, with a
// stand-in sendmail that records what it was given.

#include <dlfcn.h>
#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "mail/mini_mime.h"
#include "qorcom/mail/mapi_provider.h"
#include "qorcom/mail/send_email_mapi.h"
#include "qorcom_test_support.h"
#include "support/scratch_dir.h"

namespace tw::qorcom {
namespace {

using comlite::Bstr;
using comlite::ComPtr;
namespace fs = std::filesystem;

Bstr B(const std::string& text) {
    return Bstr::FromUtf8(text);
}

class QorcomSendmailTest : public ::testing::Test {
protected:
    void SetUp() override { (void)test::TakeError(); }

    // Sends through the component; the HRESULT of Send.
    HRESULT SendThroughComponent(const std::string& attachment = "") {
        auto sender =
            test::Create<IQORSendEMailMAPI>(CLSID_QORSendEMailMAPI, IID_IQORSendEMailMAPI);
        EXPECT_EQ(sender->InitMail(VARIANT_FALSE), S_OK) << test::TakeError();
        sender->put_To(B("Ann Lee <ann@example.com>; bob@example.com").Get());
        sender->put_CC(B("Lee, Carl <carl@example.com>").Get());
        sender->put_BCC(B("dee@example.com").Get());
        sender->put_Subject(B("Caisse n°12").Get());
        sender->put_Body(B("Line one\r\n.\r\nLine three").Get());
        sender->put_Attachment(B(attachment).Get());
        LONG result = -1;
        return sender->Send(&result);
    }

    static const QorMapiProvider* Provider() {
        void* library = dlopen(QORCOM_SENDMAIL_MAPI, RTLD_NOW);
        EXPECT_TRUE(library) << dlerror();
        if (!library)
            return nullptr;
        auto entry =
            reinterpret_cast<QorcomMapiProviderFunction>(dlsym(library, QOR_MAPI_PROVIDER_SYMBOL));
        return entry ? entry() : nullptr;  // the handle stays open: the table lives in it
    }

    tw::test::ScratchDir dir;
    tw::test::ScopedEnv provider{"QORCOM_MAPI_PROVIDER", QORCOM_SENDMAIL_MAPI};
    tw::test::ScopedEnv program{"QORCOM_SENDMAIL", FAKE_SENDMAIL_DIR "/sendmail"};
    tw::test::ScopedEnv record{"FAKE_SENDMAIL_DIR", dir.Path()};
    tw::test::ScopedEnv mode{"FAKE_SENDMAIL_MODE", std::nullopt};
};

TEST_F(QorcomSendmailTest, TheMessageIsPipedToSendmailTOi) {
    std::string binary;
    for (int i = 0; i < 300; ++i) binary += static_cast<char>(i * 7);
    const std::string file = dir.Write("files/till 3.dat", binary);
    ASSERT_EQ(SendThroughComponent(file), S_OK) << test::TakeError();
    EXPECT_EQ(tw::test::ReadAll(dir.File("argv")), "-t\n-oi\n");

    const std::string text = tw::test::ReadAll(dir.File("message"));
    EXPECT_EQ(text.find('\r'), std::string::npos) << "sendmail reads LF line ends";
    const test::MiniMessage sent = test::ParseMiniMessage(text);
    EXPECT_EQ(sent.Header("to"), "Ann Lee<ann@example.com>,<bob@example.com>");
    EXPECT_EQ(sent.Header("cc"), "\"Lee, Carl\"<carl@example.com>");
    EXPECT_EQ(sent.Header("bcc"), "<dee@example.com>");
    EXPECT_EQ(sent.Header("from"), std::string(getpwuid(getuid())->pw_name));
    EXPECT_EQ(sent.Header("subject"), "=?UTF-8?B?Q2Fpc3NlIG7CsDEy?=");
    EXPECT_FALSE(sent.Header("date").empty());
    EXPECT_EQ(sent.Header("mime-version"), "1.0");
    EXPECT_EQ(sent.body, "Line one\n.\nLine three");
    ASSERT_EQ(sent.attachments.size(), 1u);
    EXPECT_EQ(sent.attachments[0].name, "till 3.dat");
    EXPECT_EQ(sent.attachments[0].bytes, binary);

    // Without attachments: the text alone, the Bcc recipients still on their line.
    ASSERT_EQ(SendThroughComponent(), S_OK);
    const test::MiniMessage plain = test::ParseMiniMessage(tw::test::ReadAll(dir.File("message")));
    EXPECT_EQ(plain.Header("content-type"), "");
    EXPECT_EQ(plain.Header("bcc"), "<dee@example.com>");
    EXPECT_EQ(plain.body, "Line one\n.\nLine three");
}

// Whatever keeps the message from being handed over is a failure, never a success: a sendmail
// that exits with an error, one that stops reading, one that cannot be started, one that
// does not finish.
TEST_F(QorcomSendmailTest, ASendmailThatFailsIsAMapiFailure) {
    {
        tw::test::ScopedEnv failing{"FAKE_SENDMAIL_MODE", "fail"};
        EXPECT_EQ(SendThroughComponent(), QorcomError(0x201F));
        EXPECT_EQ(test::TakeError(), "QORCom.SendEMailMAPI: MAPI failure.");
    }
    {
        tw::test::ScopedEnv refusing{"FAKE_SENDMAIL_MODE", "refuse"};
        const std::string big = dir.Write("big.bin", std::string(4 << 20, 'x'));
        EXPECT_EQ(SendThroughComponent(big), QorcomError(0x201F));  // and no SIGPIPE ends us
        EXPECT_EQ(test::TakeError(), "QORCom.SendEMailMAPI: MAPI failure.");
    }
    {
        tw::test::ScopedEnv missing{"QORCOM_SENDMAIL", dir.File("no-such-sendmail")};
        EXPECT_EQ(SendThroughComponent(), QorcomError(0x201F));
        EXPECT_EQ(test::TakeError(), "QORCom.SendEMailMAPI: MAPI failure.");
    }
    tw::test::ScopedEnv hanging{"FAKE_SENDMAIL_MODE", "hang"};
    tw::test::ScopedEnv limit{"QORCOM_SENDMAIL_TIMEOUT", "1"};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SendThroughComponent(), QorcomError(0x201F));
    EXPECT_EQ(test::TakeError(), "QORCom.SendEMailMAPI: MAPI failure.");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

// The provider guards its own header lines, whoever calls it.
TEST_F(QorcomSendmailTest, TheProviderRefusesAddressesWithLineBreaksAndFlattensTexts) {
    const QorMapiProvider* mapi = Provider();
    ASSERT_TRUE(mapi);
    QorMapiSession session = 0;
    ASSERT_EQ(mapi->MAPILogon(0, "any", "", 0, 0, &session), QOR_MAPI_SUCCESS_SUCCESS);

    QorMapiRecipDesc injected[] = {{QOR_MAPI_TO, "", "ann@example.com\r\nBcc: spy@example.com"}};
    QorMapiMessage message{};
    message.subject = "Totals";
    message.recipCount = 1;
    message.recips = injected;
    EXPECT_EQ(mapi->MAPISendMail(session, 0, &message, 0, 0), QOR_MAPI_E_INVALID_RECIPS);
    message.recipCount = 0;
    EXPECT_EQ(mapi->MAPISendMail(session, 0, &message, 0, 0), QOR_MAPI_E_INVALID_RECIPS);
    EXPECT_FALSE(fs::exists(dir.File("argv"))) << "sendmail ran";

    QorMapiRecipDesc named[] = {{QOR_MAPI_TO, "Ann\r\nBcc: spy@example.com", "ann@example.com"}};
    message.recipCount = 1;
    message.recips = named;
    message.subject = "Totals\r\nBcc: spy@example.com\nX-Evil: 1";
    message.noteText = "body";
    ASSERT_EQ(mapi->MAPISendMail(session, 0, &message, 0, 0), QOR_MAPI_SUCCESS_SUCCESS);
    const test::MiniMessage sent = test::ParseMiniMessage(tw::test::ReadAll(dir.File("message")));
    EXPECT_EQ(sent.Header("subject"), "Totals Bcc: spy@example.com X-Evil: 1");
    EXPECT_EQ(sent.Header("to"), "\"Ann Bcc: spy@example.com\"<ann@example.com>");
    EXPECT_EQ(sent.Header("bcc"), "");
    EXPECT_EQ(sent.Header("x-evil"), "");

    QorMapiFileDesc gone[] = {{"/nonexistent/report.csv", nullptr, nullptr, 0}};
    message.fileCount = 1;
    message.files = gone;
    EXPECT_EQ(mapi->MAPISendMail(session, 0, &message, 0, 0), QOR_MAPI_E_ATTACHMENT_NOT_FOUND);

    char id[QOR_MAPI_MESSAGE_ID_SIZE] = "x";
    EXPECT_EQ(mapi->MAPIFindNext(session, 0, nullptr, "", 0, 0, id), QOR_MAPI_E_NO_MESSAGES);
    EXPECT_EQ(mapi->MAPILogoff(session, 0, 0, 0), QOR_MAPI_SUCCESS_SUCCESS);
}

}  // namespace
}  // namespace tw::qorcom
