// "QORCom.ReadEMailPOP3" against dovecot: real messages seeded into a Maildir come back with
// their text and every attachment byte for byte, and a deletion confirmed by Close removes the
// message.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "comlite/bstr.h"
#include "comlite/com_ptr.h"
#include "comlite/error_info.h"
#include "interop/dovecot_server.h"
#include "qorcom/common/base64.h"
#include "qorcom/frame/exports.h"
#include "qorcom/mail/read_email_pop3.h"
#include "support/scratch_dir.h"

namespace tw::qorcom {
namespace {

using comlite::Bstr;
using test::DovecotServer;

// Base64 in lines of 76 characters, each ended by LF as Maildir files hold them.
std::string Base64Lines(const std::string& bytes) {
    const std::string flat =
        Base64Encode(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    std::string lines;
    for (std::size_t at = 0; at < flat.size(); at += 76) lines += flat.substr(at, 76) + "\n";
    return lines;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    return parts;
}

class Pop3InteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        ASSERT_TRUE(server_.Start(&why)) << why;
    }

    static comlite::ComPtr<IQORReadEMailPOP3> Make() {
        comlite::ComPtr<IClassFactory> factory;
        EXPECT_EQ(DllGetClassObject(CLSID_QORReadEMailPOP3, IID_IClassFactory, factory.PutVoid()),
                  S_OK);
        comlite::ComPtr<IQORReadEMailPOP3> reader;
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IQORReadEMailPOP3, reader.PutVoid()), S_OK);
        return reader;
    }

    static HRESULT Init(IQORReadEMailPOP3* reader, const char* password) {
        return reader->Init(
            Bstr::FromUtf8("127.0.0.1:" + std::to_string(DovecotServer::kPort)).Get(),
            Bstr::FromUtf8(DovecotServer::kUser).Get(), Bstr::FromUtf8(password).Get());
    }

    static std::string LastError() {
        comlite::ComPtr<IErrorInfo> info;
        Bstr description;
        if (GetErrorInfo(0, info.Put()) == S_OK && info)
            info->GetDescription(description.Put());
        return description.Utf8();
    }

    static bool Step(HRESULT (STDMETHODCALLTYPE IQORReadEMail::*member)(VARIANT_BOOL*),
                     IQORReadEMailPOP3* reader) {
        VARIANT_BOOL result = VARIANT_FALSE;
        EXPECT_EQ((reader->*member)(&result), S_OK);
        return result == VARIANT_TRUE;
    }

    struct Message {
        std::string from, to, subject, body, attachment;
    };
    static Message Read(IQORReadEMailPOP3* reader) {
        Bstr from, to, cc, bcc, subject, date, body, attachment;
        VARIANT_BOOL ok = VARIANT_FALSE;
        EXPECT_EQ(reader->Read(from.Put(), to.Put(), cc.Put(), bcc.Put(), subject.Put(), date.Put(),
                               body.Put(), attachment.Put(), &ok),
                  S_OK)
            << LastError();
        EXPECT_EQ(ok, VARIANT_TRUE);
        return {from.Utf8(), to.Utf8(), subject.Utf8(), body.Utf8(), attachment.Utf8()};
    }

    DovecotServer server_;
};

TEST_F(Pop3InteropTest, SeededMessagesComeBackWithEveryAttachmentByteForByte) {
    std::string everyByte;
    for (int i = 0; i < 256; ++i) everyByte += static_cast<char>(i);
    std::string large(300 * 1024, '\0');
    std::mt19937 random(7);
    for (char& c : large) c = static_cast<char>(random());

    ASSERT_TRUE(server_.Seed(
        "1.station5",
        "Return-Path: <s5@example.com>\nFrom: Station 5 <s5@example.com>\n"
        "To: office@example.com,\n head@example.com\nSubject: Day close\n  for site 5\n"
        "Date: Mon, 7 Dec 2026 22:00:00 +0000\nMIME-Version: 1.0\n"
        "Content-Type: multipart/mixed;\n\tboundary=\"==outer==\"\n\n"
        "This is a multi-part message in MIME format.\n\n--==outer==\n"
        "Content-Type: multipart/alternative; boundary=inner\n\n--inner\n"
        "Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: quoted-printable\n\n"
        ".first line starts with a dot\n.\n..\nTotal: 12=2C50 =E2=82=AC\n--inner\n"
        "Content-Type: text/html\n\n<p>Total</p>\n--inner--\n\n--==outer==\n"
        "Content-Type: application/octet-stream; file=\"bytes.bin\"\n"
        "Content-Transfer-Encoding: base64\n"
        "Content-Disposition: attachment; filename=\"bytes.bin\"\n\n" +
            Base64Lines(everyByte) +
            "\n--==outer==\nContent-Type: application/zip;\n "
            "name=\"C:\\\\POS\\\\export\\\\day.zip\"\n"
            "Content-Transfer-Encoding: BASE64\n\n" +
            Base64Lines(large) + "--==outer==--\n"));
    ASSERT_TRUE(server_.Seed("2.station5",
                             "From: s5@example.com\nTo: office@example.com\nSubject: second\n\n"
                             "Nothing attached.\n"));

    auto reader = Make();
    EXPECT_EQ(Init(reader.Get(), "wrong"), HRESULT(0x8004201E));
    EXPECT_EQ(LastError(), "Invalid username/password combination.");

    test::ScratchDir attachments;
    test::ScopedEnv env("QORCOM_MAIL_ATTACHMENTS", attachments.Path());
    reader = Make();
    ASSERT_EQ(Init(reader.Get(), DovecotServer::kPassword), S_OK) << LastError();
    reader->put_SaveAttachments(VARIANT_TRUE);
    ASSERT_TRUE(Step(&IQORReadEMail::MoveFirst, reader.Get()));
    Message m = Read(reader.Get());
    EXPECT_EQ(m.from, "Station 5 <s5@example.com>");
    EXPECT_EQ(m.to, "office@example.com;head@example.com");
    EXPECT_EQ(m.subject, "Day close  for site 5");
    EXPECT_EQ(m.body, ".first line starts with a dot\r\n.\r\n..\r\nTotal: 12,50 \xE2\x82\xAC");
    const std::vector<std::string> saved = Split(m.attachment, ';');
    ASSERT_EQ(saved.size(), 2u) << m.attachment;
    EXPECT_EQ(saved[0], attachments.File("bytes.bin"));
    EXPECT_EQ(saved[1], attachments.File("day.zip"));
    EXPECT_EQ(ReadFile(saved[0]), everyByte);
    EXPECT_TRUE(ReadFile(saved[1]) == large);

    ASSERT_TRUE(Step(&IQORReadEMail::MoveNext, reader.Get()));
    m = Read(reader.Get());
    EXPECT_EQ(m.subject, "second");
    EXPECT_EQ(m.body, "Nothing attached.\r\n");
    EXPECT_EQ(m.attachment, "");
    EXPECT_FALSE(Step(&IQORReadEMail::MoveNext, reader.Get()));
    EXPECT_EQ(reader->Close(), S_OK);
    EXPECT_EQ(server_.MessageCount(), 2);  // reading deletes nothing
}

TEST_F(Pop3InteropTest, ADeletionConfirmedByCloseRemovesTheMessage) {
    ASSERT_TRUE(server_.Seed("1.a", "Subject: first\n\none\n"));
    ASSERT_TRUE(server_.Seed("2.b", "Subject: second\n\ntwo\n"));
    {
        // Released without Close: the server keeps the message marked for deletion.
        auto reader = Make();
        ASSERT_EQ(Init(reader.Get(), DovecotServer::kPassword), S_OK) << LastError();
        ASSERT_TRUE(Step(&IQORReadEMail::MoveFirst, reader.Get()));
        EXPECT_TRUE(Step(&IQORReadEMail::Delete, reader.Get()));
    }
    EXPECT_EQ(server_.MessageCount(), 2);

    auto reader = Make();
    ASSERT_EQ(Init(reader.Get(), DovecotServer::kPassword), S_OK) << LastError();
    ASSERT_TRUE(Step(&IQORReadEMail::MoveFirst, reader.Get()));
    const std::string first = Read(reader.Get()).subject;
    EXPECT_TRUE(Step(&IQORReadEMail::Delete, reader.Get()));
    ASSERT_TRUE(Step(&IQORReadEMail::MoveNext, reader.Get()));
    const std::string second = Read(reader.Get()).subject;
    EXPECT_EQ(reader->Close(), S_OK);
    EXPECT_EQ(server_.MessageCount(), 1);

    reader = Make();
    ASSERT_EQ(Init(reader.Get(), DovecotServer::kPassword), S_OK) << LastError();
    ASSERT_TRUE(Step(&IQORReadEMail::MoveFirst, reader.Get()));
    EXPECT_EQ(Read(reader.Get()).subject, second);
    EXPECT_FALSE(Step(&IQORReadEMail::MoveNext, reader.Get()));
    EXPECT_NE(first, second);
    reader->Close();
}

}  // namespace
}  // namespace tw::qorcom
