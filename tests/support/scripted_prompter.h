#pragma once
// A Prompter for tests: records every notice and question and answers questions from a
// script, so that no test ever waits in a real message box.

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "messages/ui_interfaces.h"

namespace tw::test {

class ScriptedPrompter final : public Prompter {
public:
    struct Question {
        std::string title;
        std::string text;
    };

    // Answers of the next questions, in order; once they run out every answer is No.
    void Answer(bool yes) {
        std::lock_guard lock(mutex_);
        answers_.push_back(yes);
    }

    void ShowMessage(const std::string& text) override {
        std::lock_guard lock(mutex_);
        messages_.push_back(text);
    }
    bool AskYesNo(const std::string& title, const std::string& question) override {
        std::lock_guard lock(mutex_);
        questions_.push_back({title, question});
        if (answers_.empty())
            return false;
        const bool yes = answers_.front();
        answers_.pop_front();
        return yes;
    }

    std::vector<std::string> Messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    std::vector<Question> Questions() const {
        std::lock_guard lock(mutex_);
        return questions_;
    }

private:
    mutable std::mutex mutex_;
    std::deque<bool> answers_;
    std::vector<std::string> messages_;
    std::vector<Question> questions_;
};

}  // namespace tw::test
