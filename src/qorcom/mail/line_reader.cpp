#include "qorcom/mail/line_reader.h"

#include <cerrno>

namespace tw::qorcom::mail {

std::size_t LineReader::Discard() {
    const std::size_t dropped = Buffered();
    buffer_.clear();
    start_ = 0;
    scanned_ = 0;
    return dropped;
}

LineReader::Status LineReader::ReadLine(std::string* line, int* error) {
    *error = 0;
    for (;;) {
        const std::size_t end = buffer_.find('\n', start_ + scanned_);
        if (end != std::string::npos) {
            std::size_t length = end - start_;
            if (length > 0 && buffer_[end - 1] == '\r')
                --length;
            if (length > maxLine_)
                return Status::kTooLong;
            line->assign(buffer_, start_, length);
            start_ = end + 1;
            scanned_ = 0;
            // Compact once the consumed part dominates, so a long session does not keep
            // every byte it ever read.
            if (start_ > 65536 && start_ * 2 > buffer_.size()) {
                buffer_.erase(0, start_);
                start_ = 0;
            }
            return Status::kLine;
        }
        scanned_ = buffer_.size() - start_;
        // One more byte than the limit may still be the CR of a line that fits.
        if (scanned_ > maxLine_ + 1)
            return Status::kTooLong;
        if (!stream_) {
            *error = ENOTCONN;
            return Status::kError;
        }
        char chunk[16384];
        const long n = stream_->Read(chunk, sizeof chunk, error);
        if (n == 0)
            return Status::kEnd;
        if (n < 0) {
            if (*error == 0)
                *error = EIO;
            return Status::kError;
        }
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

}  // namespace tw::qorcom::mail
