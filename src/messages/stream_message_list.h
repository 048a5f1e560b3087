#pragma once
// The message list of a run without a window: every text becomes a line on a stream (the
// terminal, or the job's log when a scheduler runs the program).

#include <mutex>
#include <ostream>
#include <string>

#include "messages/screen_queue.h"

namespace tw {

class StreamMessageList final : public MessageListControl {
public:
    explicit StreamMessageList(std::ostream& out) : out_(out) {}
    int ItemCount() const override { return count_; }
    void AppendItem(const std::string& text) override {
        std::lock_guard lock(mutex_);
        out_ << text << '\n' << std::flush;
        ++count_;
    }
    void DeleteItem(int) override { --count_; }  // a printed line stays printed
    void ScrollToBottom() override {}

private:
    std::mutex mutex_;
    std::ostream& out_;
    int count_ = 0;
};

}  // namespace tw
