#pragma once
// Captures what code reports through the program-wide message objects.

#include <mutex>
#include <string>
#include <vector>

#include "messages/program_messages.h"

namespace tw::test {

// Thread-safe record of every text sent to it.
class RecordingMessage : public Message {
public:
    void Output(const std::string& text) override {
        std::lock_guard lock(mutex_);
        texts_.push_back(text);
    }
    std::vector<std::string> Texts() const {
        std::lock_guard lock(mutex_);
        return texts_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        texts_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> texts_;
};

// Installs recording objects as the program-wide messages for its lifetime.
struct RecordedMessages {
    RecordingMessage error, log, screen, status, posVersion;
    ScopedProgramMessages installed{ProgramMessages{&error, &log, &screen, &status, &posVersion}};
};

}  // namespace tw::test
