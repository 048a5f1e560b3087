// The MAPI mail components and their older adapters over the simulated mail provider.

#include <dlfcn.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "mail/mini_mime.h"
#include "qorcom/mail/mapi_adapters.h"
#include "qorcom/mail/read_email_mapi.h"
#include "qorcom/mail/send_email_mapi.h"
#include "qorcom_test_support.h"
#include "support/scratch_dir.h"

namespace tw::qorcom {
namespace {

using comlite::Bstr;
using comlite::ComPtr;
using comlite::Variant;
namespace fs = std::filesystem;

Bstr B(const std::string& text) {
    return Bstr::FromUtf8(text);
}

long OutstandingMessages() {
    void* library = dlopen(QORCOM_SIM_MAPI, RTLD_NOW | RTLD_NOLOAD);
    if (!library)
        return -1;  // never loaded: nothing handed out
    auto count = reinterpret_cast<long (*)()>(dlsym(library, "QorcomMapiSimOutstanding"));
    const long n = count ? count() : -2;
    dlclose(library);
    return n;
}

class QorcomMapiTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir.File("inbox"));
        fs::create_directories(dir.File("outbox"));
        (void)test::TakeError();
    }

    ComPtr<IQORSendEMailMAPI> NewSender() {
        return test::Create<IQORSendEMailMAPI>(CLSID_QORSendEMailMAPI, IID_IQORSendEMailMAPI);
    }
    ComPtr<IQORReadEMailMAPI> NewReader() {
        return test::Create<IQORReadEMailMAPI>(CLSID_QORReadEMailMAPI, IID_IQORReadEMailMAPI);
    }
    ComPtr<IQORReadEMailMAPI> LoggedOnReader() {
        auto reader = NewReader();
        EXPECT_EQ(reader->Init(B("Shop").Get(), B("pw").Get(), 0, VARIANT_FALSE), S_OK)
            << test::TakeError();
        return reader;
    }
    std::vector<std::string> Outbox() const {
        std::vector<std::string> files;
        for (const auto& e : fs::directory_iterator(dir.File("outbox")))
            files.push_back(e.path().string());
        std::sort(files.begin(), files.end());
        return files;
    }
    void Seed(const std::string& id, const std::string& text) { dir.Write("inbox/" + id, text); }

    struct Fields {
        std::string from, to, cc, bcc, subject, date, body, attachment;
        VARIANT_BOOL result = 0;
    };
    static Fields ReadFields(IQORReadEMail* reader, HRESULT expected = S_OK) {
        Bstr b[8];
        Fields f;
        EXPECT_EQ(reader->Read(b[0].Put(), b[1].Put(), b[2].Put(), b[3].Put(), b[4].Put(),
                               b[5].Put(), b[6].Put(), b[7].Put(), &f.result),
                  expected);
        std::string* out[8] = {&f.from,    &f.to,   &f.cc,   &f.bcc,
                               &f.subject, &f.date, &f.body, &f.attachment};
        for (int i = 0; i < 8; ++i) *out[i] = b[i].Utf8();
        return f;
    }

    tw::test::ScratchDir dir;
    tw::test::ScopedEnv provider{"QORCOM_MAPI_PROVIDER", QORCOM_SIM_MAPI};
    tw::test::ScopedEnv inbox{"QORCOM_MAPI_SIM_INBOX", dir.File("inbox")};
    tw::test::ScopedEnv outbox{"QORCOM_MAPI_SIM_OUTBOX", dir.File("outbox")};
    tw::test::ScopedEnv log{"QORCOM_MAPI_SIM_LOG", dir.File("calls.log")};
    tw::test::ScopedEnv results{"QORCOM_MAPI_SIM_RESULTS", std::nullopt};
    tw::test::ScopedEnv missing{"QORCOM_MAPI_SIM_MISSING", std::nullopt};
    tw::test::ScopedEnv attachments{"QORCOM_MAIL_ATTACHMENTS", dir.File("saved")};
};

// Every code of the table reaches the caller with its own text and code 0x201F, through
// whichever call failed; codes without a text are numbered.
TEST_F(QorcomMapiTest, EachResultCodeIsRaisedWithItsExactText) {
    const std::pair<unsigned, const char*> table[] = {
        {1, "User canceled MAPI logon."},
        {2, "MAPI failure."},
        {3, "Logon failure.  Make sure there is a default logon."},
        {4, "Disk full."},
        {5, "Insifficient memory."},
        {8, "Too many MAPI sessions open."},
        {9, "Too many files."},
        {10, "Too many recipients."},
        {11, "Attachment not found."},
        {12, "Attachment open failure."},
        {13, "Attachment write failure."},
        {14, "Unknown recipient."},
        {15, "Bad recipient type."},
        {16, "No messages."},
        {17, "Invalid message."},
        {18, "Text too large."},
        {19, "Invalid MAPI session handle."},
        {21, "Ambiguous MAPI recipient."},
        {25, "Invalid recipients."},
        {6, "Unknown MAPI Error 6"},
        {20, "Unknown MAPI Error 20"},
        {26, "Unknown MAPI Error 26"},
    };
    for (const auto& [code, text] : table) {
        SCOPED_TRACE(code);
        {
            tw::test::ScopedEnv script{"QORCOM_MAPI_SIM_RESULTS",
                                       "MAPILogon=" + std::to_string(code)};
            EXPECT_EQ(NewSender()->InitMail(VARIANT_FALSE), QorcomError(0x201F));
            EXPECT_EQ(test::TakeError(), std::string("QORCom.SendEMailMAPI: ") + text);
        }
        tw::test::ScopedEnv script{"QORCOM_MAPI_SIM_RESULTS",
                                   "MAPISendMail=" + std::to_string(code)};
        auto sender = NewSender();
        ASSERT_EQ(sender->InitMail(VARIANT_FALSE), S_OK);
        sender->put_To(B("ann@example.com").Get());
        LONG result = -1;
        EXPECT_EQ(sender->Send(&result), QorcomError(0x201F));
        EXPECT_EQ(test::TakeError(), std::string("QORCom.SendEMailMAPI: ") + text);
    }
    tw::test::ScopedEnv script{"QORCOM_MAPI_SIM_RESULTS", "MAPILogon=3"};
    EXPECT_EQ(NewReader()->Init(B("Shop").Get(), nullptr, 0, VARIANT_FALSE), QorcomError(0x201F));
    EXPECT_EQ(test::TakeError(),
              "QORCom.ReadEMailMAPI: Logon failure.  Make sure there is a default logon.");
}

TEST_F(QorcomMapiTest, WithoutAProviderOrWithOneLackingAFunctionTheCallerIsTold) {
    {
        tw::test::ScopedEnv none{"QORCOM_MAPI_PROVIDER", dir.File("no-such-provider.so")};
        EXPECT_EQ(NewSender()->InitMail(VARIANT_FALSE), QorcomError(0x201F));
        EXPECT_EQ(test::TakeError(), "QORCom.SendEMailMAPI: Unable to initialize MAPI.");
        EXPECT_EQ(NewReader()->Init(nullptr, nullptr, 0, VARIANT_FALSE), QorcomError(0x201F));
        EXPECT_EQ(test::TakeError(), "QORCom.ReadEMailMAPI: Unable to initialize MAPI.");
    }
    {
        tw::test::ScopedEnv lacking{"QORCOM_MAPI_SIM_MISSING", "MAPISendMail"};
        EXPECT_EQ(NewSender()->InitMail(VARIANT_FALSE), QorcomError(0x201F));
        EXPECT_EQ(test::TakeError(), "QORCom.SendEMailMAPI: MAPISendMail not found.");
        // The reader does not need it.
        EXPECT_EQ(NewReader()->Init(nullptr, nullptr, 0, VARIANT_FALSE), S_OK);
    }
    tw::test::ScopedEnv lacking{"QORCOM_MAPI_SIM_MISSING", "MAPIFreeBuffer"};
    EXPECT_EQ(NewReader()->Init(nullptr, nullptr, 0, VARIANT_FALSE), QorcomError(0x201F));
    EXPECT_EQ(test::TakeError(), "QORCom.ReadEMailMAPI: MAPIFreeBuffer not found.");
    EXPECT_EQ(NewSender()->InitMail(VARIANT_FALSE), S_OK);
}

TEST_F(QorcomMapiTest, SendPassesRecipientsSubjectBodyAndAttachmentsToTheProvider) {
    std::string binary;
    for (int i = 0; i < 256; ++i) binary += static_cast<char>(i);
    const std::string report = dir.Write("files/report.csv", "site,total\n12,99.50\n");
    const std::string image = dir.Write("files/logo.bin", binary);

    auto sender = NewSender();
    LONG result = -1;
    EXPECT_EQ(sender->Send(&result), E_POINTER);  // not logged on
    sender->put_Profile(B("Back Office").Get());
    sender->put_Password(B("s3cret").Get());
    sender->put_UIHandle(77);
    ASSERT_EQ(sender->InitMail(VARIANT_FALSE), S_OK) << test::TakeError();
    sender->put_To(B("Ann Lee <ann@example.com>; bob@example.com").Get());
    sender->put_CC(B("\"Carl, C.\" <carl@example.com>").Get());
    sender->put_BCC(B("dee@example.com").Get());
    sender->put_Subject(B("Day 12 totals").Get());
    sender->put_Body(B("Totals attached.\r\nRegards").Get());
    sender->put_Attachment(B(report + "; " + image).Get());
    ASSERT_EQ(sender->Send(&result), S_OK) << test::TakeError();
    EXPECT_EQ(result, 0);
    sender->Close();

    const auto files = Outbox();
    ASSERT_EQ(files.size(), 1u);
    const test::MiniMessage sent = test::ParseMiniMessage(tw::test::ReadAll(files[0]));
    EXPECT_EQ(sent.Header("to"), "Ann Lee <ann@example.com>, bob@example.com");
    EXPECT_EQ(sent.Header("cc"), "Carl, C. <carl@example.com>");
    EXPECT_EQ(sent.Header("bcc"), "dee@example.com");
    EXPECT_EQ(sent.Header("subject"), "Day 12 totals");
    EXPECT_EQ(sent.body, "Totals attached.\r\nRegards");
    ASSERT_EQ(sent.attachments.size(), 2u);
    EXPECT_EQ(sent.attachments[0].name, "report.csv");
    EXPECT_EQ(sent.attachments[0].bytes, "site,total\n12,99.50\n");
    EXPECT_EQ(sent.attachments[1].name, "logo.bin");
    EXPECT_EQ(sent.attachments[1].bytes, binary);
    EXPECT_EQ(tw::test::ReadAll(dir.File("calls.log")),
              "MAPILogon|Back Office|s3cret|2|77\nMAPISendMail|0\nMAPILogoff\n");

    // A missing attachment is the provider's to report.
    ASSERT_EQ(sender->InitMail(VARIANT_TRUE), S_OK);
    sender->put_Attachment(B(dir.File("files/gone.txt")).Get());
    EXPECT_EQ(sender->Send(&result), QorcomError(0x201F));
    EXPECT_EQ(test::TakeError(), "QORCom.SendEMailMAPI: Attachment not found.");
}

// Line breaks in an address would let a caller's text add header lines (a hidden Bcc):
// such an address is refused before anything is sent. In a subject or a display name they
// become spaces, so each stays one header line.
TEST_F(QorcomMapiTest, LineBreaksCannotAddHeaderLines) {
    auto sender = NewSender();
    ASSERT_EQ(sender->InitMail(VARIANT_FALSE), S_OK);
    LONG result = -1;
    for (const char* to : {"ann@example.com\r\nBcc: spy@example.com",
                           "Ann <ann@example.com\nBcc: spy@example.com>"}) {
        sender->put_To(B(to).Get());
        EXPECT_EQ(sender->Send(&result), QorcomError(0x201F)) << to;
        EXPECT_EQ(test::TakeError(), "QORCom.SendEMailMAPI: Invalid recipients.");
    }
    sender->put_CC(B("ok@example.com; x@example.com\rBcc: spy@example.com").Get());
    sender->put_To(B("ann@example.com").Get());
    EXPECT_EQ(sender->Send(&result), QorcomError(0x201F));
    (void)test::TakeError();
    EXPECT_TRUE(Outbox().empty());

    sender->put_CC(nullptr);
    sender->put_To(B("Ann\r\nBcc: spy@example.com <ann@example.com>").Get());
    sender->put_Subject(B("Totals\r\nBcc: spy@example.com\nX-Evil: 1").Get());
    ASSERT_EQ(sender->Send(&result), S_OK) << test::TakeError();
    const auto files = Outbox();
    ASSERT_EQ(files.size(), 1u);
    const test::MiniMessage sent = test::ParseMiniMessage(tw::test::ReadAll(files[0]));
    EXPECT_EQ(sent.Header("subject"), "Totals Bcc: spy@example.com X-Evil: 1");
    EXPECT_EQ(sent.Header("to"), "Ann Bcc: spy@example.com <ann@example.com>");
    EXPECT_EQ(sent.Header("bcc"), "");
    EXPECT_EQ(sent.Header("x-evil"), "");
}

const char* const kFirstMessage =
    "From: Shop 12 <shop12@example.com>\r\n"
    "To: Back Office <office@example.com>, audit@example.com\r\n"
    "Cc: area@example.com\r\n"
    "Date: Mon, 7 Dec 2026 06:00:00 +0000\r\n"
    "Subject: Night report\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"b1\"\r\n"
    "\r\n"
    "--b1\r\n"
    "Content-Type: text/plain\r\n"
    "\r\n"
    "All tills balanced.\r\n"
    "--b1\r\n"
    "Content-Type: application/octet-stream\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "Content-Disposition: attachment; filename=\"tills.csv\"\r\n"
    "\r\n"
    "MSwyLDMK\r\n"
    "--b1--\r\n";

const char* const kSecondMessage =
    "From: area@example.com\r\n"
    "To: office@example.com\r\n"
    "Subject: Second\r\n"
    "\r\n"
    "Plain text.\r\n";

TEST_F(QorcomMapiTest, ReadWalksTheInboxAndDeleteRemovesTheCurrentMessage) {
    auto reader = LoggedOnReader();
    VARIANT_BOOL moved = 0;
    ASSERT_EQ(reader->MoveFirst(&moved), S_OK);
    EXPECT_EQ(moved, VARIANT_FALSE);  // empty inbox
    EXPECT_EQ(ReadFields(reader.Get()).result, VARIANT_FALSE);

    Seed("0001.eml", kFirstMessage);
    Seed("0002.eml", kSecondMessage);
    reader->put_Seperator(B(" | ").Get());
    ASSERT_EQ(reader->MoveFirst(&moved), S_OK);
    ASSERT_EQ(moved, VARIANT_TRUE);
    Fields f = ReadFields(reader.Get());
    EXPECT_EQ(f.result, VARIANT_TRUE);
    EXPECT_EQ(f.from, "Shop 12 <shop12@example.com>");
    EXPECT_EQ(f.to, "Back Office <office@example.com> | audit@example.com");
    EXPECT_EQ(f.cc, "area@example.com");
    EXPECT_EQ(f.bcc, "");
    EXPECT_EQ(f.subject, "Night report");
    EXPECT_EQ(f.date, "Mon, 7 Dec 2026 06:00:00 +0000");
    EXPECT_EQ(f.body, "All tills balanced.");
    EXPECT_EQ(f.attachment, "tills.csv");
    EXPECT_FALSE(fs::exists(dir.File("saved")));  // not saving: names only

    VARIANT_BOOL deleted = 0;
    ASSERT_EQ(reader->Delete(&deleted), S_OK);
    EXPECT_EQ(deleted, VARIANT_TRUE);
    EXPECT_FALSE(fs::exists(dir.File("inbox/0001.eml")));
    EXPECT_EQ(reader->Delete(&deleted), S_OK);
    EXPECT_EQ(deleted, VARIANT_FALSE);  // already gone

    ASSERT_EQ(reader->MoveNext(&moved), S_OK);
    ASSERT_EQ(moved, VARIANT_TRUE);
    EXPECT_EQ(ReadFields(reader.Get()).subject, "Second");
    ASSERT_EQ(reader->MoveNext(&moved), S_OK);
    EXPECT_EQ(moved, VARIANT_FALSE);
    EXPECT_EQ(ReadFields(reader.Get()).subject, "Second");  // the position stays

    tw::test::ScopedEnv script{"QORCOM_MAPI_SIM_RESULTS", "MAPIFindNext=19"};
    EXPECT_EQ(reader->MoveFirst(&moved), QorcomError(0x201F));
    EXPECT_EQ(test::TakeError(), "QORCom.ReadEMailMAPI: Invalid MAPI session handle.");
    reader->Close();
    EXPECT_EQ(reader->MoveFirst(&moved), E_POINTER);
}

std::string MessageWithAttachments(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<test::MiniAttachment> attachments;
    for (const auto& [name, bytes] : files) attachments.push_back({name, bytes});
    return test::WriteMiniMessage({"From: x@example.com", "Subject: files"}, "see files",
                                  attachments);
}

// A sender chooses attachment names: none of them may reach outside the attachment directory,
// hide as "." or "..", carry control characters, or replace a file already saved.
TEST_F(QorcomMapiTest, AttachmentNamesAreCleanedAndSavedFilesNeverReplaced) {
    Seed("0001.eml", MessageWithAttachments({{"../../outside.txt", "one"},
                                             {"..\\..\\boot.ini", "two"},
                                             {"a\x01"
                                              "b\x7f.txt",
                                              "three"},
                                             {"..", "four"},
                                             {"", "five"},
                                             {"outside.txt", "six"}}));
    auto reader = LoggedOnReader();
    VARIANT_BOOL moved = 0;
    ASSERT_EQ(reader->MoveFirst(&moved), S_OK);
    EXPECT_EQ(ReadFields(reader.Get()).attachment,
              "outside.txt;boot.ini;a_b_.txt;attachment4;attachment5;outside.txt");

    dir.Write("saved/outside.txt", "kept");
    reader->put_SaveAttachments(VARIANT_TRUE);
    const Fields f = ReadFields(reader.Get());
    ASSERT_EQ(f.result, VARIANT_TRUE) << test::TakeError();
    const std::string saved = dir.File("saved") + "/";
    EXPECT_EQ(f.attachment, saved + "outside (1).txt;" + saved + "boot.ini;" + saved + "a_b_.txt;" +
                                saved + "attachment4;" + saved + "attachment5;" + saved +
                                "outside (2).txt");
    EXPECT_EQ(tw::test::ReadAll(saved + "outside.txt"), "kept");
    EXPECT_EQ(tw::test::ReadAll(saved + "outside (1).txt"), "one");
    EXPECT_EQ(tw::test::ReadAll(saved + "attachment5"), "five");
    EXPECT_EQ(tw::test::ReadAll(saved + "outside (2).txt"), "six");
    EXPECT_FALSE(fs::exists(dir.File("outside.txt")));
    std::size_t entries = 0;
    for (const auto& e : fs::directory_iterator(saved)) {
        EXPECT_NE(e.path().filename().string().rfind(".~", 0), 0u) << "temporary file left";
        ++entries;
    }
    EXPECT_EQ(entries, 7u);
}

// The message a provider hands out is given back on every way out of Read, failures included.
TEST_F(QorcomMapiTest, EveryReadMessageIsFreedWithTheProvider) {
    Seed("0001.eml", kFirstMessage);
    auto reader = LoggedOnReader();
    VARIANT_BOOL moved = 0;
    ASSERT_EQ(reader->MoveFirst(&moved), S_OK);
    EXPECT_EQ(ReadFields(reader.Get()).result, VARIANT_TRUE);
    EXPECT_EQ(OutstandingMessages(), 0);

    {
        tw::test::ScopedEnv script{"QORCOM_MAPI_SIM_RESULTS", "MAPIReadMail=17"};
        EXPECT_EQ(ReadFields(reader.Get(), QorcomError(0x201F)).result, VARIANT_FALSE);
        EXPECT_EQ(test::TakeError(), "QORCom.ReadEMailMAPI: Invalid message.");
        EXPECT_EQ(OutstandingMessages(), 0);
    }

    dir.Write("blocked", "a file where the attachment directory should be");
    tw::test::ScopedEnv blocked{"QORCOM_MAIL_ATTACHMENTS", dir.File("blocked")};
    reader->put_SaveAttachments(VARIANT_TRUE);
    EXPECT_EQ(ReadFields(reader.Get(), QorcomError(0x201F)).result, VARIANT_FALSE);
    EXPECT_EQ(test::TakeError(), "QORCom.ReadEMailMAPI: Attachment write failure.");
    EXPECT_EQ(OutstandingMessages(), 0);
}

// The older objects, called as old scripts call them: by name and by the fixed DISPIDs 1 to 11
// of IQORSendMail.
TEST_F(QorcomMapiTest, TheOlderObjectsForwardToTheNewerOnes) {
    ComPtr<IDispatch> mail = test::CreateDispatch(CLSID_QORSendMail);
    ASSERT_TRUE(mail);
    const char* const names[] = {"Profile", "Password",   "To",       "CC",   "BCC",  "Subject",
                                 "Body",    "Attachment", "InitMail", "Send", "Close"};
    for (int i = 0; i < 11; ++i) EXPECT_EQ(test::IdOf(mail.Get(), names[i]), i + 1) << names[i];

    auto put = [&](DISPID id, const std::string& value) {
        Variant v = Variant::TextUtf8(value);
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&v, &named, 1, 1};
        return mail->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                            nullptr);
    };
    auto call = [&](DISPID id, std::vector<Variant> args, Variant* result) {
        DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
        return mail->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result, nullptr, nullptr);
    };
    ASSERT_EQ(put(1, "Old Profile"), S_OK);
    ASSERT_EQ(put(3, "ann@example.com"), S_OK);
    ASSERT_EQ(put(5, "dee@example.com"), S_OK);
    ASSERT_EQ(put(6, "Old subject"), S_OK);
    ASSERT_EQ(put(7, "Old body"), S_OK);
    Variant result;
    std::vector<Variant> noUi;
    noUi.push_back(Variant::Bool(false));
    ASSERT_EQ(call(9, std::move(noUi), &result), S_OK) << test::TakeError();
    ASSERT_EQ(call(10, {}, &result), S_OK) << test::TakeError();
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(call(11, {}, &result), S_OK);
    ASSERT_EQ(Outbox().size(), 1u);
    const test::MiniMessage sent = test::ParseMiniMessage(tw::test::ReadAll(Outbox()[0]));
    EXPECT_EQ(sent.Header("to"), "ann@example.com");
    EXPECT_EQ(sent.Header("bcc"), "dee@example.com");
    EXPECT_EQ(sent.Header("subject"), "Old subject");
    EXPECT_EQ(tw::test::ReadAll(dir.File("calls.log")).rfind("MAPILogon|Old Profile||2|0\n", 0),
              0u);

    // Errors are the newer object's.
    {
        tw::test::ScopedEnv script{"QORCOM_MAPI_SIM_RESULTS", "MAPILogon=1"};
        std::vector<Variant> args;
        args.push_back(Variant::Bool(false));
        EXPECT_EQ(call(9, std::move(args), &result), QorcomError(0x201F));
        EXPECT_EQ(test::TakeError(), "QORCom.SendEMailMAPI: User canceled MAPI logon.");
    }

    Seed("0001.eml", kSecondMessage);
    ComPtr<IDispatch> reader = test::CreateDispatch(CLSID_QORReadMail);
    ASSERT_TRUE(reader);
    Variant profile = Variant::TextUtf8("Shop"), password = Variant::TextUtf8(""),
            handle = Variant::I4(0), ui = Variant::Bool(false);
    ASSERT_EQ(test::Call(reader.Get(), "Init", {&profile, &password, &handle, &ui}), S_OK)
        << test::TakeError();
    Variant moved;
    ASSERT_EQ(test::Call(reader.Get(), "MoveFirst", {}, &moved), S_OK);
    EXPECT_EQ(moved.boolVal, VARIANT_TRUE);
    Variant out[8], read;
    ASSERT_EQ(
        test::Call(reader.Get(), "Read",
                   {&out[0], &out[1], &out[2], &out[3], &out[4], &out[5], &out[6], &out[7]}, &read),
        S_OK);
    EXPECT_EQ(read.boolVal, VARIANT_TRUE);
    ASSERT_EQ(out[4].vt, VT_BSTR);
    EXPECT_EQ(comlite::BstrToUtf8(out[4].bstrVal), "Second");
    EXPECT_EQ(comlite::BstrToUtf8(out[0].bstrVal), "area@example.com");
}

}  // namespace
}  // namespace tw::qorcom
