#include "qorcom/remote/ui/qt_dial_status.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <thread>

#include "platform/os_services.h"
#include "qorcom/remote/ras.h"
#include "qorcom_test_support.h"
#include "support/scratch_dir.h"

namespace tw::qorcom {
namespace {

using comlite::Bstr;

const char* const kPhoneBook = R"([Shop 12]
States = 0,2,5,14
DelayMs = 5

[Slow]
States = 0,2,5
Hold = yes
DelayMs = 5
)";

int argc = 1;
char arg0[] = "qorcom_ui_test";
char* argv[] = {arg0, nullptr};

QPushButton* ButtonOf(QWidget* window, const QString& text) {
    for (auto* button : window->findChildren<QPushButton*>())
        if (button->text() == text)
            return button;
    return nullptr;
}

class QtDialStatusTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(QorcomSetDialStatusSink(&ui::QtDialStatusSink()), 0u); }
    void TearDown() override { QorcomSetDialStatusSink(nullptr); }

    // Dials on a worker thread, as a host does, while the GUI thread runs.
    LONG DialWhileGuiRuns(QApplication& app, const std::string& entry) {
        LONG result = -1;
        std::thread worker([&] {
            auto ras = test::Create<IQORRas>(CLSID_QORRas, IID_IQORRas);
            ras->Dial(Bstr::FromUtf8(entry).Get(), nullptr, nullptr, nullptr, nullptr, nullptr,
                      &result);
            QMetaObject::invokeMethod(&app, &QApplication::quit, Qt::QueuedConnection);
        });
        app.exec();
        worker.join();
        return result;
    }

    tw::test::ScratchDir dir;
    tw::test::ScopedEnv provider{"QORCOM_RAS_PROVIDER", QORCOM_SIM_RAS};
    tw::test::ScopedEnv phoneBook{"QORCOM_RAS_SIM_CONFIG", dir.Write("phonebook.ini", kPhoneBook)};
};

TEST_F(QtDialStatusTest, CancelInTheWindowGivesUpTheDialAndAConnectionClosesIt) {
    QApplication app(argc, argv);
    QString title, cancelledAt;
    bool hadClose = false;
    auto* timer = new QTimer(&app);
    QObject::connect(timer, &QTimer::timeout, [&] {
        QWidget* window = QApplication::activeModalWidget();
        auto* label = window ? window->findChild<QLabel*>() : nullptr;
        if (!label || label->text() != "Authenticating....")
            return;
        title = window->windowTitle();
        hadClose = ButtonOf(window, "Close") != nullptr;
        cancelledAt = label->text();
        timer->stop();
        ButtonOf(window, "Cancel")->click();
    });
    timer->start(2);
    EXPECT_EQ(DialWhileGuiRuns(app, "Slow"), 2);
    EXPECT_EQ(title, "Connection Status");
    EXPECT_TRUE(hadClose);
    EXPECT_EQ(cancelledAt, "Authenticating....");
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the window went with the dial";

    EXPECT_EQ(DialWhileGuiRuns(app, "Shop 12"), 0);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "connected: the window closed itself";
}

TEST(QtDialStatusInstall, FindsTheEntryPointOfTheLibrary) {
    std::string error;
    EXPECT_TRUE(ui::InstallQtDialStatusSink(QORCOM_LIBRARY, &error)) << error;
    EXPECT_FALSE(ui::InstallQtDialStatusSink("/nonexistent/libqorcom.so", &error));
    EXPECT_FALSE(error.empty());

    // Through the registry, as a host finds the library of its dial-up objects.
    tw::test::ScratchDir dir;
    tw::test::ScopedEnv registry{"COMLITE_REGISTRY", dir.File("registry.reg")};
    tw::test::ScopedEnv locks{"TIDEWELL_LOCK_DIR", dir.Path()};
    error.clear();
    EXPECT_FALSE(ui::InstallQtDialStatusSinkFor("QORPost.Ras", &error)) << "not registered yet";
    bool loaded = false;
    void* registerServer =
        platform::LoadPinnedSymbol(QORCOM_LIBRARY, "DllRegisterServer", &loaded, &error);
    ASSERT_TRUE(registerServer) << error;
    ASSERT_EQ(reinterpret_cast<HRESULT (*)()>(registerServer)(), S_OK);
    EXPECT_TRUE(ui::InstallQtDialStatusSinkFor("QORPost.Ras", &error)) << error;
}

}  // namespace
}  // namespace tw::qorcom
