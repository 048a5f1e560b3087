#include "ravelin/ui/ravelin_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <sstream>

#include "ravelin/ravelin_app.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"
#include "support/scripted_prompter.h"

namespace tw::ravelin::ui {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

constexpr const char* kNoPath =
    "The path you specified does not exist.  Please enter a valid path.";

int argc = 1;
char arg0[] = "ravelin_window_test";
char* argv[] = {arg0, nullptr};

// Runs act on the options dialog once it is the active modal window.
void WhenOptionsShown(std::function<void(QDialog&)> act) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto* dialog = dynamic_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        timer->stop();
        timer->deleteLater();
        act(*dialog);
    });
    timer->start(10);
}

QLineEdit& Line(QDialog& dialog, const char* name) {
    return *dialog.findChild<QLineEdit*>(QString::fromUtf8(name));
}

void Click(QDialog& dialog, QDialogButtonBox::StandardButton which) {
    dialog.findChild<QDialogButtonBox*>()->button(which)->click();
}

CMainInfo CommandLine(std::vector<std::string> args) {
    std::vector<const char*> pointers{"/nonexistent/bin/ravelin"};
    for (const auto& arg : args) pointers.push_back(arg.c_str());
    CMainInfo info;
    info.Parse(static_cast<int>(pointers.size()), pointers.data());
    return info;
}

std::vector<std::string> Lines(QListWidget& list) {
    std::vector<std::string> lines;
    for (int i = 0; i < list.count(); ++i) lines.push_back(list.item(i)->text().toStdString());
    return lines;
}

class RavelinWindowTest : public ::testing::Test {
protected:
    QApplication app{argc, argv};
    test::ScratchDir dir;
    test::ScriptedPrompter prompter;
    const std::string home = dir.Path() + "/";
};

TEST_F(RavelinWindowTest, OptionsOpenWithTheFoundPathsAndAMissingBackOfficePathIsRefused) {
    const auto info = CommandLine({home, "/SITE=2", "/ERRORPATH=" + dir.Path() + "/logs"});
    bool stayedOpen = false;
    std::vector<std::string> refusals;
    WhenOptionsShown([&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Setup Options");
        EXPECT_EQ(Line(dialog, "tamborPath").text().toStdString(), home);
        EXPECT_EQ(Line(dialog, "errorLogPath").text().toStdString(), dir.Path() + "/logs/");
        EXPECT_TRUE(Line(dialog, "errorLogPath").isEnabled());
        EXPECT_EQ(Line(dialog, "site").text(), "2");
        dialog.findChild<QCheckBox*>("commonErrorLogPath")->setChecked(false);
        EXPECT_FALSE(Line(dialog, "errorLogPath").isEnabled());

        Line(dialog, "tamborPath").setText(QString::fromStdString(dir.Path() + "/missing"));
        Click(dialog, QDialogButtonBox::Ok);
        stayedOpen = dialog.isVisible();
        refusals = prompter.Messages();
        Click(dialog, QDialogButtonBox::Cancel);
    });
    RavelinWindowRun run(info, &prompter);
    EXPECT_EQ(run.Start(), RavelinWindowRun::Outcome::Cancelled);
    EXPECT_TRUE(stayedOpen);
    EXPECT_THAT(refusals, ElementsAre(kNoPath));
    EXPECT_THAT(Lines(run.Window().List()), ElementsAre(kNoPath));
    EXPECT_FALSE(std::filesystem::exists(dir.File("RAVELIN.002"))) << "cancel sets up nothing";
    EXPECT_FALSE(run.Window().isVisible());
}

TEST_F(RavelinWindowTest, ErrorsKeepTheMessageWindowOpen) {
    std::filesystem::create_directory(dir.File("RAVELIN.001"));  // cannot become a file
    const auto info = CommandLine({home, "/OVERWRITE", "/TIDEWELL"});
    WhenOptionsShown([&](QDialog& dialog) {
        Line(dialog, "site").setText("1");
        Click(dialog, QDialogButtonBox::Ok);
    });
    RavelinWindowRun run(info, &prompter);
    EXPECT_EQ(run.Start(), RavelinWindowRun::Outcome::StaysOpen);
    EXPECT_TRUE(run.Window().isVisible());
    EXPECT_EQ(run.ExitCode(), 1);
    const std::string error = "Cannot open " + dir.File("RAVELIN.001") + ".";
    EXPECT_THAT(Lines(run.Window().List()),
                ElementsAre("Setting up TIDEWELL interface.", "Setting up site 1.", error));
    EXPECT_THAT(prompter.Messages(), ElementsAre(error));
}

TEST_F(RavelinWindowTest, TheInteractiveRunWritesWhatAnUnattendedRunWrites) {
    dir.Write("back/x", "");
    dir.Write("SETUP.STA", "SalesPath=/pos/\r\n");
    const auto info = CommandLine({home});
    WhenOptionsShown([&](QDialog& dialog) {
        Line(dialog, "tamborPath").setText(QString::fromStdString(dir.Path() + "/back"));
        Line(dialog, "site").setText("3");
        Click(dialog, QDialogButtonBox::Ok);
    });
    RavelinWindowRun run(info, &prompter);
    EXPECT_EQ(run.Start(), RavelinWindowRun::Outcome::Closed);
    EXPECT_EQ(run.ExitCode(), 0);
    EXPECT_FALSE(run.Window().isVisible());
    EXPECT_TRUE(prompter.Messages().empty());

    test::ScratchDir unattended;
    unattended.Write("SETUP.STA", "SalesPath=/pos/\r\n");
    const std::string back = dir.Path() + "/back";
    const std::string unattendedHome = unattended.Path() + "/";
    const std::string tambor = "/TAMBORPATH=" + back;
    const char* args[] = {"ravelin", unattendedHome.c_str(), "/AUTO", "/SITE=3", tambor.c_str()};
    std::ostringstream out, err;
    ASSERT_EQ(RunRavelin(5, args, out, err), 0) << out.str();

    // The same text but for each run's own site directory.
    auto siteFileIn = [](const std::string& home) {
        std::string text = test::ReadAll(home + "/RAVELIN.003");
        const std::string site = home + "/003";
        for (std::size_t at; (at = text.find(site)) != std::string::npos;)
            text.replace(at, site.size(), "SITE");
        return text;
    };
    EXPECT_EQ(siteFileIn(dir.Path()), siteFileIn(unattended.Path()));
    EXPECT_EQ(siteFileIn(dir.Path()), "SITE\n" + back + "\nSITE\n" + back + "\n");
    EXPECT_EQ(test::ReadAll(dir.File("003/SETUP.003")), "SalesPath=/pos/\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("RAVELIN.001")));
}

}  // namespace
}  // namespace tw::ravelin::ui
