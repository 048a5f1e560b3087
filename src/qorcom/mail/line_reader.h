#pragma once
// Whole protocol lines from a byte stream, for the SMTP and POP3 clients. Reading line by line
// through one buffer keeps the bytes that follow a reply for the next read (a reply split
// across packets, or two replies in one packet, are read the same way), and every line and
// every wait is bounded, so a peer that sends garbage or nothing cannot hang or exhaust a poll.
//
// The stream is borrowed and may be swapped (plain TCP, then TLS after STARTTLS); what was
// buffered in clear before the swap is dropped by Discard(), never read as the server's words.
// One thread at a time.

#include <cstddef>
#include <string>

#include "qorcom/transfer/tcp_stream.h"

namespace tw::qorcom::mail {

class LineReader {
public:
    enum class Status {
        kLine,     // *line holds the line without its CR LF (a bare LF also ends a line)
        kEnd,      // the peer closed the connection before a whole line arrived
        kError,    // the stream failed or timed out: *error holds its errno-style code
        kTooLong,  // the line exceeds the limit; the connection cannot be trusted any more
    };

    LineReader(transfer::ByteStream* stream, std::size_t maxLineLength)
        : stream_(stream), maxLine_(maxLineLength) {}

    void SetStream(transfer::ByteStream* stream) { stream_ = stream; }
    // Drops whatever was received and not yet read; returns how many bytes that was.
    std::size_t Discard();
    std::size_t Buffered() const { return buffer_.size() - start_; }

    Status ReadLine(std::string* line, int* error);

private:
    transfer::ByteStream* stream_;
    std::size_t maxLine_;
    std::string buffer_;
    std::size_t start_ = 0;    // the first unread byte of buffer_
    std::size_t scanned_ = 0;  // bytes after start_ already known to hold no line end
};

}  // namespace tw::qorcom::mail
