// What an SMTP server and a caller hand the mail sender: server replies read through the line
// reader in pieces of any size (the first byte chooses the piece size), and the same bytes as
// an address list, header texts and message text. Besides crashes, it checks the promises the
// sender's safety rests on: no reply line past its limit, no encoded header text that could
// start a header of its own, no message text that could end DATA early.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "piece_stream.h"
#include "qorcom/mail/line_reader.h"
#include "qorcom/mail/mail_message.h"
#include "qorcom/mail/smtp_client.h"

namespace {

using namespace tw::qorcom;

void Require(bool promise) {
    if (!promise)
        std::abort();
}

// CR LF only as a fold ("\r\n "), never a bare CR or LF.
bool StaysOneHeader(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n')
            return false;
        if (text[i] == '\r' && text.compare(i, 3, "\r\n ") != 0)
            return false;
        if (text[i] == '\r')
            i += 2;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::size_t piece = 1 + data[0] % 64;
    const std::string_view text = tw::fuzz::AsText(data + 1, size - 1);

    tw::fuzz::PieceStream stream(text, piece);
    mail::LineReader reader(&stream, 256);
    mail::SmtpReply reply;
    for (int replies = 0; replies < 1000; ++replies) {
        if (mail::ReadSmtpReply(reader, 50, &reply) != mail::ReplyStatus::kReply)
            break;
        Require(reply.lines.size() <= 50);
        Require(reply.code == 0 || (reply.code >= 100 && reply.code <= 999));
        for (const std::string& line : reply.lines) Require(line.size() <= 256);
    }

    for (const mail::Mailbox& box : mail::ParseAddressList(text)) {
        if (mail::CheckAddress(box.address).empty())
            Require(box.address.find_first_of("\r\n<>") == std::string::npos);
        Require(StaysOneHeader(mail::EncodeDisplayName(box.name, false)));
    }
    Require(StaysOneHeader(mail::EncodeHeaderText(text)));

    // A line of one "." ends DATA: the stuffed text must never hold one.
    const std::string stuffed = "\r\n" + mail::DotStuff(text);
    Require(stuffed.find("\r\n.\r\n") == std::string::npos);
    Require(stuffed.size() < 3 || stuffed.compare(stuffed.size() - 3, 3, "\r\n.") != 0);
    const std::string lines = mail::NormalizeLineEnds(text);
    for (const char c : mail::QuotedPrintableEncode(lines))
        Require(static_cast<unsigned char>(c) < 0x80);
    Require(!mail::HasOverlongLine(mail::QuotedPrintableEncode(lines)));
    return 0;
}
