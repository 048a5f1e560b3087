#pragma once
// A Prompter for tests: records every notice and question and answers questions from a
// script, so that no test ever waits in a real message box.

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "messages/ui_interfaces.h"

namespace tw::test {

// Answers from `answers` in order (No once they run out). Never blocks. The members may be read
// and set directly while no other thread asks; the methods lock.
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

    // Adds the answer of a later question.
    void Answer(bool yes) {
        std::lock_guard lock(mutex_);
        answers.push_back(yes);
    }
    std::vector<std::string> Messages() const {
        std::lock_guard lock(mutex_);
        return messages;
    }
    std::vector<Question> Questions() const {
        std::lock_guard lock(mutex_);
        return questions;
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
