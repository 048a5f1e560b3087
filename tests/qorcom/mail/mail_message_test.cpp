// Composing outgoing messages: header lines and their order, the Date zone, MIME parts and their
// Base64, and texts from callers that try to become headers or structure.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "qorcom/common/base64.h"
#include "qorcom/mail/mail_message.h"
#include "qorcom/mail/mime_message.h"
#include "support/scratch_dir.h"

namespace tw::qorcom::mail {
namespace {

// 2026-12-07 22:29:34 UTC, a Monday.
constexpr std::time_t kWhen = 1796682574;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

template <class Message>
void Address(Message& m, const std::string& to, const std::string& cc = "") {
    std::string error;
    ASSERT_TRUE(m.AddMultipleRecipients(to, RecipientType::kTo, &error)) << error;
    ASSERT_TRUE(m.AddMultipleRecipients(cc, RecipientType::kCC, &error)) << error;
}

std::string Format(CMailMessage& m) {
    std::string error;
    EXPECT_TRUE(m.FormatMessage(&error)) << error;
    return m.Header() + m.Body();
}

TEST(MailMessageTest, HeaderLinesInOrderWithTheZoneInHoursAndMinutes) {
    test::ScopedTimeZone india("IST-5:30");
    CMailMessage m(kWhen);
    Address(m, "Station One <s1@example.com>; s2@example.com", "cc@example.com");
    std::string error;
    ASSERT_TRUE(m.AddMultipleRecipients("hidden@example.com", RecipientType::kBCC, &error));
    ASSERT_TRUE(m.SetSender("office@example.com", "Head Office", &error));
    m.SetSubject("Daily report");
    m.SetBody("Totals attached.\nBye\n");
    EXPECT_EQ(Format(m),
              "From: \"Head Office\" <office@example.com>\r\n"
              "To: Station One<s1@example.com>,<s2@example.com>\r\n"
              "Cc: <cc@example.com>\r\n"
              "Date: Tue, 08 Dec 2026 03:59:34 +0530 (IST)\r\n"
              "Subject: Daily report\r\n"
              "X-Mailer: QORCom Mail\r\n"
              "\r\n"
              "Totals attached.\r\nBye\r\n");
    EXPECT_EQ(m.SenderAddress(), "office@example.com");
    EXPECT_EQ(m.Recipients(RecipientType::kBCC).size(), 1u);
}

TEST(MailMessageTest, DateZonesWestOfUtcAndWithoutMinutes) {
    {
        test::ScopedTimeZone newfoundland("NST+3:30");
        EXPECT_EQ(FormatDate(kWhen), "Mon, 07 Dec 2026 18:59:34 -0330 (NST)");
    }
    {
        test::ScopedTimeZone berlin("CET-1CEST,M3.5.0,M10.5.0/3");
        EXPECT_EQ(FormatDate(kWhen), "Mon, 07 Dec 2026 23:29:34 +0100 (CET)");
        EXPECT_EQ(FormatDate(kWhen - 180 * 86400), "Thu, 11 Jun 2026 00:29:34 +0200 (CEST)");
    }
}

TEST(MailMessageTest, NoToRecipientIsRefused) {
    CMailMessage m(kWhen);
    Address(m, "", "cc@example.com");
    std::string error;
    EXPECT_FALSE(m.FormatMessage(&error));
    EXPECT_EQ(error, "No Recipients");
}

TEST(MailMessageTest, AddressListEntries) {
    const auto boxes = ParseAddressList(
        " \"Doe; John\" <j@x.org> ;; plain@x.org;Ann <a@x.org>; \"Q \\\"Z\\\"\" <q@x.org> ");
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].name, "Doe; John");
    EXPECT_EQ(boxes[0].address, "j@x.org");
    EXPECT_EQ(boxes[1].name, "");
    EXPECT_EQ(boxes[1].address, "plain@x.org");
    EXPECT_EQ(boxes[2].name, "Ann");
    EXPECT_EQ(boxes[3].name, "Q \"Z\"");
}

// Caller texts must stay inside their header: a CR LF in a subject or name would start a new
// header (a hidden Bcc), one in an address a new SMTP command.
TEST(MailMessageTest, InjectionAttemptsStayInsideTheirHeaders) {
    CMailMessage m(kWhen);
    std::string error;
    EXPECT_FALSE(
        m.AddMultipleRecipients("ok@x.org; evil@x.org\r\nDATA", RecipientType::kTo, &error));
    EXPECT_EQ(error,
              "Refused: the address \"evil@x.org\\r\\nDATA\" holds a control character or an "
              "angle bracket");
    EXPECT_TRUE(m.Recipients().empty()) << "a refused list adds nothing";
    EXPECT_FALSE(
        m.AddMultipleRecipients("Bob <b@x.org> NOTIFY=NEVER>", RecipientType::kTo, &error));
    EXPECT_FALSE(m.SetSender("me@x.org\r\nDATA", "", &error));
    EXPECT_FALSE(m.SetSender("me@x.org\x01", "", &error));

    Address(m, "Doe, John <j@x.org>;Jo \"Q\" <q@x.org>;Line\r\nBcc: spy@x.org <l@x.org>");
    ASSERT_TRUE(m.SetSender("me@x.org", "Boss\" <x@y>\r\nBcc: spy@x.org", &error));
    m.SetSubject("Hi\r\nBcc: spy@x.org\nX: y");
    const std::vector<std::string> lines = Lines(Format(m));
    EXPECT_EQ(lines[0], "From: \"Boss\\\" <x@y> Bcc: spy@x.org\" <me@x.org>");
    EXPECT_EQ(
        lines[1],
        "To: \"Doe, John\"<j@x.org>,\"Jo \\\"Q\\\"\"<q@x.org>,\"Line Bcc: spy@x.org\"<l@x.org>");
    EXPECT_EQ(lines[3], "Subject: Hi Bcc: spy@x.org X: y");
    for (const std::string& line : lines) EXPECT_NE(line.rfind("Bcc:", 0), 0u) << line;
}

TEST(MailMessageTest, TextsThatAreNotAsciiBecomeEncodedWords) {
    CMailMessage m(kWhen);
    Address(m, "Jürgen Müller <jm@x.org>");
    std::string error;
    ASSERT_TRUE(m.SetSender("me@x.org", "Zentrale Köln", &error));
    m.SetSubject("Übersicht");
    const std::vector<std::string> lines = Lines(Format(m));
    EXPECT_EQ(lines[0], "From: =?UTF-8?B?WmVudHJhbGUgS8O2bG4=?= <me@x.org>");
    EXPECT_EQ(lines[1], "To: =?UTF-8?B?SsO8cmdlbiBNw7xsbGVy?=<jm@x.org>");
    EXPECT_EQ(lines[3], "Subject: =?UTF-8?B?w5xiZXJzaWNodA==?=");

    // A long subject is folded into words that each hold whole characters.
    const std::string longSubject(60, 'a');
    const std::string encoded = EncodeHeaderText(longSubject + "é" + longSubject);
    std::string decoded;
    for (const std::string& line : Lines(encoded)) {
        EXPECT_LE(line.size(), 70u);
        const std::size_t start = line.find("=?UTF-8?B?") + 10, end = line.rfind("?=");
        const auto bytes = Base64Decode(line.substr(start, end - start));
        ASSERT_TRUE(bytes);
        decoded.append(bytes->begin(), bytes->end());
    }
    EXPECT_EQ(decoded, longSubject + "é" + longSubject);
}

// The body goes as written when it is plain ASCII; otherwise the message says how it is coded.
TEST(MailMessageTest, BodyCodingFollowsItsTextAndTheServer) {
    const auto coded = [](const std::string& body, bool eightBit) {
        CMailMessage m(kWhen);
        Address(m, "a@x.org");
        m.SetBody(body);
        m.SetEightBitAllowed(eightBit);
        return Format(m);
    };
    EXPECT_EQ(coded("line\rtwo\n", true).find("MIME-Version"), std::string::npos);
    EXPECT_NE(coded("line\rtwo\n", true).find("\r\n\r\nline\r\ntwo\r\n"), std::string::npos);

    const std::string eight = coded("Grüße\n", true);
    EXPECT_NE(eight.find("MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n"
                         "Content-Transfer-Encoding: 8bit\r\n\r\nGrüße\r\n"),
              std::string::npos)
        << eight;
    const std::string quoted = coded("Grüße = gut \n", false);
    EXPECT_NE(quoted.find("Content-Transfer-Encoding: quoted-printable\r\n\r\nGr=C3=BC=C3=9Fe =3D "
                          "gut=20\r\n"),
              std::string::npos)
        << quoted;

    // A line past 998 octets is never sent as it is, even to an 8-bit server.
    const std::string longLine = coded(std::string(2000, 'x') + "\n", true);
    EXPECT_NE(longLine.find("Content-Transfer-Encoding: quoted-printable"), std::string::npos);
    for (const std::string& line : Lines(longLine)) EXPECT_LE(line.size(), 76u);
}

TEST(MailMessageTest, QuotedPrintableKeepsLinesShortAndBytesExact) {
    std::string text;
    for (int i = 0; i < 256; ++i) text += static_cast<char>(i == '\r' || i == '\n' ? 'x' : i);
    const std::string encoded = QuotedPrintableEncode(text + "\r\n" + text + "\t");
    for (const std::string& line : Lines(encoded)) {
        EXPECT_LE(line.size(), 76u);
        EXPECT_NE(line.back(), ' ');
        EXPECT_NE(line.back(), '\t');
    }
    // Undo: soft breaks, then =XX.
    std::string decoded;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (encoded.compare(i, 3, "=\r\n") == 0) {
            i += 2;
        } else if (encoded[i] == '=') {
            decoded += static_cast<char>(std::stoi(encoded.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            decoded += encoded[i];
        }
    }
    EXPECT_EQ(decoded, text + "\r\n" + text + "\t");
}

class MimeMessageTest : public ::testing::Test {
protected:
    std::string Compose(const std::string& body, const std::vector<std::string>& files) {
        CMIMEMessage m(kWhen);
        Address(m, "a@x.org");
        m.SetBody(body);
        for (const std::string& file : files) m.AddFileAttachment(file);
        std::string error;
        EXPECT_TRUE(m.FormatMessage(&error)) << error;
        header_ = m.Header();
        return m.Body();
    }
    test::ScratchDir dir_;
    std::string header_;
};

TEST_F(MimeMessageTest, FiftySevenBytesMakeOneLineAndFiftyEightASecond) {
    const std::string body57 = Compose("", {dir_.Write("r57.bin", std::string(57, 'A'))});
    const std::string body58 = Compose("", {dir_.Write("r58.bin", std::string(58, 'A'))});
    const std::string line = Base64Lines(std::string(57, 'A')).substr(0, 76);
    EXPECT_NE(body57.find("\r\n\r\n" + line + "\r\n--QK_MAIL_PaRt_BoUnDaRy_05151998--\r\n"),
              std::string::npos)
        << body57;
    EXPECT_NE(body58.find("\r\n\r\n" + line + "\r\nQQ==\r\n--QK_MAIL_PaRt_BoUnDaRy_05151998--\r\n"),
              std::string::npos)
        << body58;
}

TEST_F(MimeMessageTest, EmptyBodyWithOneAttachmentHasExactlyThatPart) {
    const std::string path = dir_.Write("sales report.txt", "abc");
    EXPECT_EQ(Compose("", {path}),
              "This is a multi-part message in MIME format.\r\n\r\n"
              "--QK_MAIL_PaRt_BoUnDaRy_05151998\r\n"
              "Content-Type: application/octet-stream; file=\"sales report.txt\"\r\n"
              "Content-Transfer-Encoding: base64\r\n"
              "Content-Disposition: attachment; filename=\"sales report.txt\"\r\n"
              "\r\n"
              "YWJj\r\n"
              "--QK_MAIL_PaRt_BoUnDaRy_05151998--\r\n");
    const std::vector<std::string> lines = Lines(header_);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[4], "X-Mailer: QORCom Mail");
    EXPECT_EQ(lines[5], "MIME-Version: 1.0");
    EXPECT_EQ(lines[6], "Content-Type: multipart/mixed; boundary=QK_MAIL_PaRt_BoUnDaRy_05151998");
    EXPECT_EQ(lines[7], "");
}

TEST_F(MimeMessageTest, TextThenAttachmentsAndUnopenableOnesLeftOut) {
    std::string binary;
    for (int i = 0; i < 1000; ++i) binary += static_cast<char>(i % 256);
    const std::string good = dir_.Write("all.bin", binary);
    ::mkdir(dir_.File("folder").c_str(), 0755);
    const std::string body =
        Compose("See attached.\n", {dir_.File("missing.bin"), dir_.File("folder"), good});
    EXPECT_EQ(body.find("missing"), std::string::npos);
    EXPECT_EQ(body.find("folder"), std::string::npos);
    const std::string text =
        "--QK_MAIL_PaRt_BoUnDaRy_05151998\r\nContent-Type: text/plain\r\n"
        "Content-Transfer-Encoding: 7Bit\r\n\r\nSee attached.\r\n"
        "--QK_MAIL_PaRt_BoUnDaRy_05151998\r\nContent-Type: application/octet-stream; "
        "file=\"all.bin\"\r\n";
    ASSERT_NE(body.find(text), std::string::npos) << body;
    // The attachment decodes to its exact bytes, in lines of 76 characters.
    const std::size_t start = body.find("\r\n\r\n", body.find("all.bin")) + 4;
    const std::size_t end = body.find("--QK_MAIL_PaRt_BoUnDaRy_05151998--");
    std::string base64;
    for (const std::string& line : Lines(body.substr(start, end - start))) {
        EXPECT_LE(line.size(), 76u);
        base64 += line;
    }
    const auto bytes = Base64Decode(base64);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), binary);
}

// A body holding the boundary line would end the multipart early: every attachment after it
// would be lost to the reader.
TEST_F(MimeMessageTest, BodyHoldingTheBoundaryCannotHideTheAttachments) {
    const std::string body =
        Compose("quoted:\n--QK_MAIL_PaRt_BoUnDaRy_05151998--\nend\n", {dir_.Write("a.txt", "x")});
    std::size_t count = 0;
    for (const std::string& line : Lines(body))
        count += line.rfind("--QK_MAIL_PaRt_BoUnDaRy_05151998", 0) == 0;
    EXPECT_EQ(count, 3u) << body;
    EXPECT_NE(body.find("Content-Transfer-Encoding: base64\r\n\r\ncXVvdGVk"), std::string::npos);
}

TEST_F(MimeMessageTest, FileNameParametersAreQuotedAndEscaped) {
    EXPECT_EQ(FileNameParameter("/tmp/a\"b\\c.txt"), "\"a\\\"b\\\\c.txt\"");
    EXPECT_EQ(FileNameParameter("/tmp/x\r\ny.txt"), "\"x y.txt\"");
    EXPECT_EQ(FileNameParameter("/tmp/Bericht-ä.txt"), "\"=?UTF-8?B?QmVyaWNodC3DpC50eHQ=?=\"");
}

}  // namespace
}  // namespace tw::qorcom::mail
