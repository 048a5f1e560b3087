#include "ravelin/ui/ravelin_window.h"

#include <QApplication>
#include <QListWidget>
#include <QMetaObject>
#include <QPointer>
#include <QStatusBar>
#include <QThread>
#include <atomic>

#include "messages/ui/qt_prompter.h"
#include "ravelin/ravelin_app.h"
#include "ravelin/setup_options.h"
#include "ravelin/site_setup.h"
#include "ravelin/ui/setup_options_dialog.h"

namespace tw::ravelin::ui {
namespace {

// Runs change on the widget's thread: at once when called there, else queued (never waiting,
// as the message document requires).
template <typename Change>
void OnWidgetThread(QObject* widget, Change change) {
    if (QThread::currentThread() == widget->thread()) {
        change();
    } else {
        QMetaObject::invokeMethod(widget, change, Qt::QueuedConnection);
    }
}

}  // namespace

class RavelinWindowRun::ListControl final : public MessageListControl {
public:
    explicit ListControl(QListWidget* list) : list_(list) {}
    int ItemCount() const override { return count_.load(); }
    void AppendItem(const std::string& text) override {
        ++count_;
        const QString line = QString::fromStdString(text);
        OnWidgetThread(list_, [list = list_, line] {
            if (list)
                list->addItem(line);
        });
    }
    void DeleteItem(int index) override {
        --count_;
        OnWidgetThread(list_, [list = list_, index] {
            if (list)
                delete list->takeItem(index);
        });
    }
    void ScrollToBottom() override {
        OnWidgetThread(list_, [list = list_] {
            if (list)
                list->scrollToBottom();
        });
    }

private:
    QPointer<QListWidget> list_;
    std::atomic<int> count_{0};
};

class RavelinWindowRun::StatusBarSink final : public StatusSink {
public:
    explicit StatusBarSink(QStatusBar* bar) : bar_(bar) {}
    void SetStatusText(const std::string& text) override {
        const QString line = QString::fromStdString(text);
        OnWidgetThread(bar_, [bar = bar_, line] {
            if (bar)
                bar->showMessage(line);
        });
    }

private:
    QPointer<QStatusBar> bar_;
};

RavelinWindow::RavelinWindow() {
    setWindowTitle(QStringLiteral("Ravelin"));
    setObjectName(QStringLiteral("ravelinWindow"));
    list_ = new QListWidget;
    list_->setObjectName(QStringLiteral("messages"));
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    setCentralWidget(list_);
    statusBar()->showMessage(QStringLiteral("Ready"));
    resize(640, 360);
}

RavelinWindowRun::RavelinWindowRun(const CMainInfo& commandLine, Prompter* prompter)
    : commandLine_(commandLine),
      ownPrompter_(prompter ? nullptr : std::make_unique<tw::ui::QtPrompter>(&window_)),
      list_(std::make_unique<ListControl>(&window_.List())),
      status_(std::make_unique<StatusBarSink>(window_.statusBar())),
      queue_(&document_, true),
      errors_(0, 0.0, &queue_, true, prompter ? prompter : ownPrompter_.get()),
      screen_(&queue_),
      log_(0, 0.0, &queue_),
      statusMessages_(status_.get()),
      installed_(ProgramMessages{&errors_, &log_, &screen_, &statusMessages_, nullptr}) {
    document_.SetView(list_.get());
    document_.LinkQueue(queue_);
}

RavelinWindowRun::~RavelinWindowRun() {
    queue_.SetDocument(nullptr);
    document_.SetView(nullptr);
}

RavelinWindowRun::Outcome RavelinWindowRun::Start() {
    window_.show();
    const SetupPaths found = FoundPaths(commandLine_);
    const SetupOptions initial =
        InitialOptions(found, commandLine_, ParseSiteText(commandLine_.ValueOf("SITE")));
    SetupOptionsDialog dialog(initial, found.programDirectory, &window_);
    if (dialog.exec() != QDialog::Accepted) {
        window_.close();
        return Outcome::Cancelled;
    }
    const SetupOptions chosen = dialog.Options();
    SiteSetup(AcceptedPaths(chosen, found), commandLine_).Run(ParseSiteText(chosen.siteText));
    if (errors_.Count() > 0)
        return Outcome::StaysOpen;
    window_.close();
    return Outcome::Closed;
}

int RavelinWindowRun::ExitCode() const {
    return errors_.Count() > 0 ? 1 : 0;
}

int RunRavelinWindow(const CMainInfo& commandLine) {
    int argc = 1;
    char name[] = "ravelin";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Ravelin"));
    RavelinWindowRun run(commandLine);
    if (run.Start() == RavelinWindowRun::Outcome::StaysOpen)
        app.exec();
    return run.ExitCode();
}

}  // namespace tw::ravelin::ui
