#include "messages/ui/qt_prompter.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

namespace tw::ui {

template <typename Show>
auto QtPrompter::OnUiThread(Show show) -> decltype(show()) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread())
        return show();
    decltype(show()) result{};
    // Blocking is safe here: the caller is a worker, and the UI thread never waits for it while
    // it shows a box.
    QMetaObject::invokeMethod(
        app, [&] { result = show(); }, Qt::BlockingQueuedConnection);
    return result;
}

void QtPrompter::ShowMessage(const std::string& text) {
    OnUiThread([&] {
        QMessageBox::information(parent_.data(), QApplication::applicationDisplayName(),
                                 QString::fromStdString(text));
        return 0;
    });
}

bool QtPrompter::AskYesNo(const std::string& title, const std::string& question) {
    return OnUiThread([&] {
        return QMessageBox::question(
                   parent_.data(), QString::fromStdString(title), QString::fromStdString(question),
                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    });
}

}  // namespace tw::ui
