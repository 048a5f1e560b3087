// The mail clients' line reader over a stream that hands out its bytes in chosen pieces.

#include <gtest/gtest.h>

#include <cerrno>
#include <deque>
#include <string>

#include "qorcom/mail/line_reader.h"

namespace tw::qorcom::mail {
namespace {

// Each Read returns the next piece (or part of it when the buffer is smaller); then the end of
// the stream, or an error when one is set.
class PieceStream final : public transfer::ByteStream {
public:
    explicit PieceStream(std::deque<std::string> pieces, int errorAtEnd = 0)
        : pieces_(std::move(pieces)), errorAtEnd_(errorAtEnd) {}
    long Read(char* buffer, std::size_t size, int* error) override {
        if (pieces_.empty()) {
            *error = errorAtEnd_;
            return errorAtEnd_ ? -1 : 0;
        }
        std::string& piece = pieces_.front();
        const std::size_t n = std::min(size, piece.size());
        piece.copy(buffer, n);
        piece.erase(0, n);
        if (piece.empty())
            pieces_.pop_front();
        ++reads;
        return static_cast<long>(n);
    }
    bool WriteAll(const char*, std::size_t, int*) override { return true; }
    int reads = 0;

private:
    std::deque<std::string> pieces_;
    int errorAtEnd_;
};

std::string Next(LineReader& reader) {
    std::string line;
    int error = 0;
    EXPECT_EQ(reader.ReadLine(&line, &error), LineReader::Status::kLine);
    return line;
}

TEST(LineReaderTest, LinesSplitAcrossPiecesAndSharingOneAreEachReadWhole) {
    PieceStream stream({"250-first", " line\r\n250-sec", "ond\r", "\n250 last\r\n+OK a\nb\r\n"});
    LineReader reader(&stream, 100);
    EXPECT_EQ(Next(reader), "250-first line");
    EXPECT_EQ(Next(reader), "250-second");
    EXPECT_EQ(Next(reader), "250 last");
    EXPECT_EQ(Next(reader), "+OK a");
    EXPECT_EQ(Next(reader), "b");
    std::string line;
    int error = 0;
    EXPECT_EQ(reader.ReadLine(&line, &error), LineReader::Status::kEnd);
}

TEST(LineReaderTest, LongLinesFailAtTheLimitWhetherOrNotTheirEndHasArrived) {
    PieceStream fits({std::string(10, 'x') + "\r\n"});
    LineReader exact(&fits, 10);
    EXPECT_EQ(Next(exact), std::string(10, 'x'));

    PieceStream whole({std::string(11, 'x') + "\r\n"});
    LineReader tooLong(&whole, 10);
    std::string line;
    int error = 0;
    EXPECT_EQ(tooLong.ReadLine(&line, &error), LineReader::Status::kTooLong);

    // A peer that never ends its line is stopped after the limit, not read for ever.
    std::deque<std::string> endless(1000, std::string(1000, 'y'));
    PieceStream flood(endless);
    LineReader flooded(&flood, 4096);
    EXPECT_EQ(flooded.ReadLine(&line, &error), LineReader::Status::kTooLong);
    EXPECT_LT(flood.reads, 10);
}

TEST(LineReaderTest, ErrorsAreReportedAndDiscardDropsWhatWasBuffered) {
    PieceStream failing({"partial"}, ETIMEDOUT);
    LineReader reader(&failing, 100);
    std::string line;
    int error = 0;
    EXPECT_EQ(reader.ReadLine(&line, &error), LineReader::Status::kError);
    EXPECT_EQ(error, ETIMEDOUT);

    // Bytes that came in clear after "220 go ahead" must not be read once TLS is on.
    PieceStream plain({"220 go ahead\r\n250 injected\r\n"});
    PieceStream secure({"250 real\r\n"});
    LineReader switching(&plain, 100);
    EXPECT_EQ(Next(switching), "220 go ahead");
    EXPECT_EQ(switching.Discard(), 14u);
    switching.SetStream(&secure);
    EXPECT_EQ(Next(switching), "250 real");
}

}  // namespace
}  // namespace tw::qorcom::mail
