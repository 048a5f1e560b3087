#pragma once
// Message boxes for the desktop programs: the Prompter of the core, shown with Qt.

#include <QPointer>
#include <QWidget>

#include "messages/ui_interfaces.h"

namespace tw::ui {

// Shows each notice or question as a modal box over `parent` (may be null). Safe to call from
// any thread: off the UI thread the call waits while the UI thread shows the box. The parent is
// not owned; when it goes away, boxes have no parent. Must be created on the UI thread, after
// the QApplication.
class QtPrompter final : public Prompter {
public:
    explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}

    // An information box titled with the application's name and an OK button.
    void ShowMessage(const std::string& text) override;
    // A Yes/No box whose default button is No; Escape answers No.
    bool AskYesNo(const std::string& title, const std::string& question) override;

private:
    // Runs `show` on the UI thread and returns its result.
    template <typename Show>
    auto OnUiThread(Show show) -> decltype(show());

    QPointer<QWidget> parent_;
};

}  // namespace tw::ui
