// Taking received messages apart: a table of tricky messages, the codecs at their edges, and
// attachment names that must not reach the file system as written.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "qorcom/common/base64.h"
#include "qorcom/mail/mime_codecs.h"
#include "qorcom/mail/mime_message.h"
#include "qorcom/mail/mime_parser.h"
#include "support/scratch_dir.h"

namespace tw::qorcom::mail {
namespace {

std::string AllBytes() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    return bytes;
}

struct Expected {
    std::string body;
    std::vector<std::pair<std::string, std::string>> attachments;  // name, bytes
};

struct Case {
    const char* name;
    std::string message;
    Expected expected;
};

std::vector<Case> TrickyMessages() {
    const std::string all = AllBytes();
    return {
        {"plain text without MIME headers",
         "From: a@b\r\nSubject: hi\r\n\r\nline 1\r\nline 2\r\n",
         {"line 1\r\nline 2\r\n", {}}},
        {"Content-Type folded, the boundary on the next line",
         "From: a@b\r\nContent-Type: multipart/mixed;\r\n\tboundary=\"XYZ\"\r\n\r\n"
         "preamble\r\n--XYZ\r\nContent-Type: text/plain\r\n\r\nhello\r\n"
         "--XYZ\r\nContent-Type: application/octet-stream; name=\"a.bin\"\r\n"
         "Content-Transfer-Encoding: base64\r\n\r\n" +
             Base64Lines(all) + "--XYZ--\r\nepilogue\r\n",
         {"hello", {{"a.bin", all}}}},
        {"header names in any case, boundary unquoted",
         "content-TYPE: Multipart/Mixed; BOUNDARY=b1\r\n\r\n--b1\r\n"
         "CONTENT-TYPE: TEXT/PLAIN\r\ncontent-transfer-encoding: QUOTED-PRINTABLE\r\n\r\n"
         "caf=C3=A9\r\n--b1--\r\n",
         {"caf\xC3\xA9", {}}},
        {"nested alternative inside mixed: the text alternative is the body",
         "Content-Type: multipart/mixed; boundary=outer\r\n\r\n--outer\r\n"
         "Content-Type: multipart/alternative; boundary=inner\r\n\r\n--inner\r\n"
         "Content-Type: text/plain; charset=iso-8859-1\r\n"
         "Content-Transfer-Encoding: quoted-printable\r\n\r\nna=EFve =\r\ntext\r\n--inner\r\n"
         "Content-Type: text/html\r\n\r\n<p>naive</p>\r\n--inner--\r\n--outer\r\n"
         "Content-Type: application/pdf\r\nContent-Disposition: attachment; "
         "filename=\"r.pdf\"\r\nContent-Transfer-Encoding: base64\r\n\r\nJVBERg==\r\n"
         "--outer--\r\n",
         {"na\xC3\xAFve text", {{"r.pdf", "%PDF"}}}},
        {"Base64 with line breaks, blanks and junk in it",
         "Content-Type: multipart/mixed; boundary=j\r\n\r\n--j\r\n"
         "Content-Type: application/octet-stream; file=\"x.dat\"\r\n"
         "Content-Transfer-Encoding: base64\r\n\r\nAAEC\r\n A\xFF\x80w*Q\r\nF\t\r\n--j--\r\n",
         {"", {{"x.dat", std::string("\x00\x01\x02\x03\x04\x05", 6)}}}},
        {"quoted-printable: soft breaks, and a broken escape at the very end",
         "Content-Transfer-Encoding: quoted-printable\r\n\r\n=41=\r\nB=\nC=3",
         {"ABC=3", {}}},
        {"eight-bit text that names no charset and is not UTF-8",
         "Content-Transfer-Encoding: 8bit\r\n\r\nPrix \x80 5, caf\xE9\r\n",
         {"Prix \xE2\x82\xAC 5, caf\xC3\xA9\r\n", {}}},
        {"text/xml is text",
         "Content-Type: multipart/mixed; boundary=q\r\n\r\n--q\r\n"
         "Content-Type: text/xml\r\n\r\n<a>1</a>\r\n--q\r\n"
         "Content-Type: text/plain\r\n\r\nsecond\r\n--q--\r\n",
         {"<a>1</a>\r\nsecond", {}}},
        {"names with paths, dots and encoded words",
         "Content-Type: multipart/mixed; boundary=n\r\n\r\n--n\r\n"
         "Content-Type: application/octet-stream; name=\"..\\\\..\\\\evil.exe\"\r\n\r\n1\r\n--n\r\n"
         "Content-Type: application/octet-stream\r\n"
         "Content-Disposition: attachment; filename=\"../../etc/passwd\"\r\n\r\n2\r\n--n\r\n"
         "Content-Type: application/octet-stream; name=\"..\"\r\n\r\n3\r\n--n\r\n"
         "Content-Type: application/octet-stream; name==?utf-8?B?w6l0w6kueG1s?=\r\n\r\n4\r\n"
         "--n\r\nContent-Type: application/octet-stream\r\nContent-Disposition: attachment;\r\n"
         " filename*=utf-8''%E2%82%AC%20report.txt\r\n\r\n5\r\n--n--\r\n",
         {"",
          {{"evil.exe", "1"},
           {"passwd", "2"},
           {"attachment3", "3"},
           {"\xC3\xA9t\xC3\xA9.xml", "4"},
           {"\xE2\x82\xAC report.txt", "5"}}}},
        {"a text part marked as an attachment stays a file",
         "Content-Type: multipart/mixed; boundary=d\r\n\r\n--d\r\n"
         "Content-Type: text/plain\r\nContent-Disposition: attachment; filename=notes.txt\r\n\r\n"
         "kept\r\n--d--\r\n",
         {"", {{"notes.txt", "kept"}}}},
        {"no closing boundary: the last part is kept",
         "Content-Type: multipart/mixed; boundary=t\r\n\r\n--t\r\n"
         "Content-Type: application/zip; name=z.zip\r\n\r\nPK\x03\x04 cut",
         {"", {{"z.zip", "PK\x03\x04 cut"}}}},
        {"a boundary that only begins a line of content is not a delimiter",
         "Content-Type: multipart/mixed; boundary=ab\r\n\r\n--ab\r\n"
         "Content-Type: text/plain\r\n\r\n--abc is text\r\n--ab--\r\n",
         {"--abc is text", {}}},
        {"multipart whose boundary never appears keeps its body as an attachment",
         "Content-Type: multipart/mixed; boundary=missing\r\n\r\nwhole body\r\n",
         {"", {{"attachment1", "whole body\r\n"}}}},
        {"bare LF line ends",
         "Content-Type: multipart/mixed;\n boundary=lf\n\n--lf\nContent-Type: text/plain\n\nx\n"
         "--lf\nContent-Type: image/png; name=p.png\nContent-Transfer-Encoding: base64\n\n"
         "iVBO\n--lf--\n",
         {"x", {{"p.png", "\x89PN"}}}},
    };
}

TEST(MimeParserTest, TrickyMessagesGiveTheirTextAndEveryAttachment) {
    for (const Case& c : TrickyMessages()) {
        SCOPED_TRACE(c.name);
        const ParsedMail mail = ParseMail(c.message);
        EXPECT_EQ(mail.body, c.expected.body);
        ASSERT_EQ(mail.attachments.size(), c.expected.attachments.size());
        for (std::size_t i = 0; i < mail.attachments.size(); ++i) {
            EXPECT_EQ(mail.attachments[i].fileName, c.expected.attachments[i].first);
            EXPECT_EQ(mail.attachments[i].bytes, c.expected.attachments[i].second);
        }
    }
}

std::string WithoutFinalLineEnd(std::string text) {
    if (text.ends_with("\r\n"))
        text.resize(text.size() - 2);
    return text;
}

// What the composer sends, the parser gives back: each case's text and attachments (names and
// bytes) composed into a message of our own and taken apart again.
TEST(MimeParserTest, ComposedMessagesComeBackWhole) {
    for (const Case& c : TrickyMessages()) {
        SCOPED_TRACE(c.name);
        tw::test::ScratchDir files;
        CMIMEMessage composed;
        std::string error;
        ASSERT_TRUE(composed.SetSender("Station 5 <s5@example.com>", "", &error)) << error;
        ASSERT_TRUE(composed.AddMultipleRecipients(
            "office@example.com; Head \"Office\" <head@example.com>", RecipientType::kTo, &error))
            << error;
        ASSERT_TRUE(composed.AddMultipleRecipients("cc@example.com", RecipientType::kCC, &error));
        composed.SetSubject("Caf\xC3\xA9: " + std::string(c.name));
        composed.SetBody(c.expected.body);
        for (const auto& [name, bytes] : c.expected.attachments)
            composed.AddFileAttachment(files.Write(name, bytes));
        ASSERT_TRUE(composed.FormatMessage(&error)) << error;

        const ParsedMail mail = ParseMail(composed.Header() + composed.Body());
        EXPECT_EQ(mail.subject, "Caf\xC3\xA9: " + std::string(c.name));
        EXPECT_EQ(mail.to.size(), 2u);
        EXPECT_EQ(mail.cc,
                  std::vector<std::string>{"<cc@example.com>"});  // as the composer writes it
        EXPECT_EQ(WithoutFinalLineEnd(mail.body), WithoutFinalLineEnd(c.expected.body));
        ASSERT_EQ(mail.attachments.size(), c.expected.attachments.size());
        for (std::size_t i = 0; i < mail.attachments.size(); ++i) {
            EXPECT_EQ(mail.attachments[i].fileName, c.expected.attachments[i].first);
            EXPECT_EQ(mail.attachments[i].bytes, c.expected.attachments[i].second);
        }
    }
}

TEST(MimeParserTest, HeaderFieldsAreUnfoldedDecodedAndSplitIntoAddresses) {
    const ParsedMail mail = ParseMail(
        "FROM: \"Station 5\" <s5@example.com>\r\n"
        "to: a@example.com, \"Smith, J\" <j@example.com>,\r\n  c@example.com\r\n"
        "Cc: =?iso-8859-1?Q?J=F6rg?= <j@x>\r\nBcc: (a, comment) b@x\r\n"
        "Subject: =?utf-8?B?UmVwbHk=?= =?utf-8?Q?_from_5?= today\r\n"
        "Date: Mon, 7 Dec 2026 10:00:00 +0100\r\n\r\nbody");
    EXPECT_EQ(mail.from, "\"Station 5\" <s5@example.com>");
    EXPECT_EQ(mail.to, (std::vector<std::string>{"a@example.com", "\"Smith, J\" <j@example.com>",
                                                 "c@example.com"}));
    EXPECT_EQ(mail.cc, std::vector<std::string>{"J\xC3\xB6rg <j@x>"});
    EXPECT_EQ(mail.bcc, std::vector<std::string>{"(a, comment) b@x"});
    EXPECT_EQ(mail.subject, "Reply from 5 today");
    EXPECT_EQ(mail.date, "Mon, 7 Dec 2026 10:00:00 +0100");
    EXPECT_EQ(mail.body, "body");
}

TEST(MimeParserTest, DeepNestingIsBoundedAndKeepsTheInnermostData) {
    std::string message = "Content-Type: multipart/mixed; boundary=b0\r\n\r\n";
    std::string closing;
    for (int i = 0; i < 40; ++i) {
        message += "--b" + std::to_string(i) + "\r\nContent-Type: multipart/mixed; boundary=b" +
                   std::to_string(i + 1) + "\r\n\r\n";
        closing = "--b" + std::to_string(i) + "--\r\n" + closing;
    }
    message += "--b40\r\nContent-Type: application/octet-stream; name=deep.bin\r\n\r\nDATA\r\n" +
               std::string("--b40--\r\n") + closing;
    const ParsedMail mail = ParseMail(message);
    ASSERT_EQ(mail.attachments.size(), 1u);
    EXPECT_NE(mail.attachments[0].bytes.find("DATA"), std::string::npos);
}

TEST(MimeCodecsTest, Base64DecodingSkipsWhatIsNotInTheAlphabetAndStopsGroupsAtPadding) {
    std::string everyByte = AllBytes();
    // Every byte value outside the alphabet is skipped, never used to index the table.
    // (In byte order the alphabet reads "+/0-9", "=" (which ends no group here), "A-Z", "a-z".)
    EXPECT_EQ(Base64DecodeLenient(everyByte + "QUJD"),
              Base64DecodeLenient("+/0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                  "QUJD"));
    EXPECT_EQ(Base64DecodeLenient("QQ"), "A");  // a short last group as far as it goes
    EXPECT_EQ(Base64DecodeLenient("QUI"), "AB");
    EXPECT_EQ(Base64DecodeLenient("QUJDR"), "ABC");     // a lone character gives nothing
    EXPECT_EQ(Base64DecodeLenient("QQ==QUI="), "AAB");  // padding inside: two pieces joined
    EXPECT_EQ(Base64DecodeLenient("QU\r\nJD\r\n"), "ABC");
}

TEST(MimeCodecsTest, QuotedPrintableEdgesStayWithinTheText) {
    EXPECT_EQ(QuotedPrintableDecode("=41=\r\nB"), "AB");
    EXPECT_EQ(QuotedPrintableDecode("a="), "a=");
    EXPECT_EQ(QuotedPrintableDecode("a=4"), "a=4");
    EXPECT_EQ(QuotedPrintableDecode("a=\r"), "a=\r");
    EXPECT_EQ(QuotedPrintableDecode("=zz=3d=3D"), "=zz==");
    EXPECT_EQ(QuotedPrintableDecode(std::string("x\0y=00", 6)), std::string("x\0y\0", 4));
}

TEST(MimeCodecsTest, MalformedEncodedWordsStayAsWritten) {
    EXPECT_EQ(DecodeEncodedWords("=?utf-8?X?abc?="), "=?utf-8?X?abc?=");
    EXPECT_EQ(DecodeEncodedWords("=?utf-8?B?abc"), "=?utf-8?B?abc");
    EXPECT_EQ(DecodeEncodedWords("a =?utf-8?Q?b?= c"), "a b c");
    EXPECT_EQ(DecodeEncodedWords("=?no-such-charset?Q?x?="), "x");
    EXPECT_EQ(DecodeEncodedWords("=?windows-1252?Q?=80_5?="), "\xE2\x82\xAC 5");
    // A header full of word starts that never end is read in linear time, not quadratic.
    std::string starts;
    for (int i = 0; i < 25000; ++i) starts += "=?a?b?x";
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(DecodeEncodedWords(starts), starts);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(10));
}

TEST(AttachmentNameTest, NamesFromTheMessageBecomeOnePlainFileName) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "attachment7"},
        {".", "attachment7"},
        {"..", "attachment7"},
        {"dir/..", "attachment7"},
        {"C:\\temp\\report.xml", "report.xml"},
        {"/etc/passwd", "passwd"},
        {"a\x01"
         "b\tc\x7f.txt",
         "a_b_c_.txt"},
        {"what?<>|*:\".txt", "what_______.txt"},
        {".hidden", "hidden"},
        {" name. ", "name"},
        {"bad\xFF\xC3utf8", "bad__utf8"},
        {std::string(300, 'x') + ".xml", std::string(196, 'x') + ".xml"},
    };
    for (const auto& [name, clean] : cases) EXPECT_EQ(CleanAttachmentName(name, 7), clean) << name;
}

}  // namespace
}  // namespace tw::qorcom::mail
