#include "qorcom/remote/ui/qt_dial_status.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <mutex>
#include <utility>

#include <dlfcn.h>

#include "comlite/activation.h"
#include "comlite/com_ptr.h"
#include "comlite/text.h"
#include "platform/os_services.h"

namespace tw::qorcom::ui {
namespace {

// The window; any way of dismissing it while the dial runs gives the dial up.
class StatusDialog final : public QDialog {
public:
    StatusDialog(const QString& caption, QorDialCancel cancel, uintptr_t token)
        : cancel_(cancel), token_(token) {
        setWindowTitle(caption);
        setWindowModality(Qt::ApplicationModal);
        text_ = new QLabel(this);
        text_->setMinimumWidth(260);
        auto* buttons = new QDialogButtonBox(this);
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
        buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::DestructiveRole);
        connect(buttons, &QDialogButtonBox::clicked, this, [this] { GiveUp(); });
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(text_);
        layout->addWidget(buttons);
    }
    void SetText(const QString& text) { text_->setText(text); }
    QString Text() const { return text_->text(); }
    // The dial ended: the window goes without cancelling anything.
    void Finish() {
        cancel_ = nullptr;
        finished_ = true;
        hide();
        deleteLater();
    }

protected:
    // Dismissing the window gives the dial up; the window itself stays, showing the state,
    // until the dial has ended (at once, normally).
    void closeEvent(QCloseEvent* event) override {
        if (finished_)
            return event->accept();
        GiveUp();
        event->ignore();
    }
    void reject() override { GiveUp(); }

private:
    void GiveUp() {
        if (cancel_)
            std::exchange(cancel_, nullptr)(token_);
    }

    QorDialCancel cancel_;
    uintptr_t token_;
    bool finished_ = false;
    QLabel* text_ = nullptr;
};

QPointer<StatusDialog> g_dialog;  // touched on the GUI thread only

// Runs f on the GUI thread: at once when already there, else queued (the caller never waits
// for the GUI thread, which may itself be waiting for the dial).
template <class F>
void OnGuiThread(F f) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    if (QThread::currentThread() == app->thread())
        f();
    else
        QMetaObject::invokeMethod(app, std::move(f), Qt::QueuedConnection);
}

void Open(void*, const char* caption, QorDialCancel cancel, uintptr_t token) {
    OnGuiThread([caption = QString::fromUtf8(caption), cancel, token] {
        if (g_dialog)
            g_dialog->Finish();
        g_dialog = new StatusDialog(caption, cancel, token);
        g_dialog->show();
    });
}

void SetText(void*, const char* text) {
    OnGuiThread([text = QString::fromUtf8(text)] {
        if (g_dialog)
            g_dialog->SetText(text);
    });
}

void Close(void*) {
    OnGuiThread([] {
        if (g_dialog)
            g_dialog->Finish();
        g_dialog = nullptr;
    });
}

const QorDialStatusSink kSink = {
    QOR_DIAL_STATUS_SINK_VERSION, sizeof(QorDialStatusSink), nullptr, &Open, &SetText, &Close};

}  // namespace

const QorDialStatusSink& QtDialStatusSink() {
    return kSink;
}

bool InstallQtDialStatusSink(const std::string& libraryPath, std::string* error) {
    bool loaded = false;
    void* entry =
        platform::LoadPinnedSymbol(libraryPath, "QorcomSetDialStatusSink", &loaded, error);
    if (!entry)
        return false;
    using SetSink = uint32_t (*)(const QorDialStatusSink*);
    if (reinterpret_cast<SetSink>(entry)(&kSink) != 0) {
        *error = "the dial status entry point of " + libraryPath + " refused the window";
        return false;
    }
    return true;
}

bool InstallQtDialStatusSinkFor(const std::string& progId, std::string* error) {
    CLSID clsid{};
    comlite::ComPtr<IClassFactory> factory;
    if (CLSIDFromProgID(comlite::Utf8ToUtf16(progId).c_str(), &clsid) != S_OK ||
        CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                         factory.PutVoid()) != S_OK) {
        *error = progId + ": " + comlite::LastActivationError();
        return false;
    }
    // The factory's function table lies in the serving library: that names its file.
    Dl_info info{};
    if (!::dladdr(*reinterpret_cast<void**>(factory.Get()), &info) || !info.dli_fname) {
        *error = "the library serving " + progId + " cannot be found";
        return false;
    }
    return InstallQtDialStatusSink(info.dli_fname, error);
}

}  // namespace tw::qorcom::ui
