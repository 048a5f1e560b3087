#include "messages/ui/qt_prompter.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <future>
#include <thread>

namespace tw::ui {
namespace {

// Answers the next message box that becomes active by pressing `button`, and records what it
// asked.
struct BoxAnswer {
    QString title;
    QString text;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

void AnswerNextBox(QMessageBox::StandardButton button, BoxAnswer* seen) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, button, seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->defaultButton = box->standardButton(box->defaultButton());
        timer->stop();
        timer->deleteLater();
        box->button(button)->click();
    });
    timer->start(10);
}

int argc = 1;
char arg0[] = "qt_prompter_test";
char* argv[] = {arg0, nullptr};

TEST(QtPrompter, AsksFromAWorkerThreadOnTheUiThreadWithNoAsDefault) {
    QApplication app(argc, argv);
    QtPrompter prompter;
    BoxAnswer seen;
    AnswerNextBox(QMessageBox::Yes, &seen);

    std::promise<bool> answered;
    std::thread worker([&] {
        answered.set_value(prompter.AskYesNo("Delete Pending File", "Really?"));
        QMetaObject::invokeMethod(&app, &QApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    worker.join();

    EXPECT_TRUE(answered.get_future().get());
    EXPECT_EQ(seen.title, "Delete Pending File");
    EXPECT_EQ(seen.text, "Really?");
    EXPECT_EQ(seen.defaultButton, QMessageBox::No);
}

}  // namespace
}  // namespace tw::ui
