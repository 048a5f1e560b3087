#pragma once
// For tests of Tidewell's window: one QApplication for the test program (offscreen under
// ctest), waiting while the UI thread's events run, and a prompter that answers from a script.

#include <gtest/gtest.h>

#include <QApplication>
#include <QThread>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "messages/ui_interfaces.h"
#include "support/scripted_prompter.h"

namespace tw::test {

class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app_ = new QApplication(argc_, argv_); }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

private:
    int argc_ = 1;
    char name_[16] = "tidewell_test";
    char* argv_[2] = {name_, nullptr};
    QApplication* app_ = nullptr;
};

// Runs the UI thread's events until done() or the limit; returns done().
inline bool SpinUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

}  // namespace tw::test
