#pragma once
// A prompter that answers from a script, for tests of code that asks the user.

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "messages/ui_interfaces.h"

namespace tw::test {

// Records every question and answers from `answers` (No once they run out). Never blocks.
class ScriptedPrompter final : public Prompter {
public:
    struct Question {
        std::string title;
        std::string text;
    };
    void ShowMessage(const std::string& text) override {
        std::lock_guard lock(mutex_);
        messages.push_back(text);
    }
    bool AskYesNo(const std::string& title, const std::string& question) override {
        std::lock_guard lock(mutex_);
        questions.push_back({title, question});
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    // The texts of the questions asked, in order.
    std::vector<std::string> QuestionTexts() const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> texts;
        for (const Question& question : questions) texts.push_back(question.text);
        return texts;
    }

    std::deque<bool> answers;
    std::vector<Question> questions;
    std::vector<std::string> messages;

private:
    mutable std::mutex mutex_;
};

}  // namespace tw::test
