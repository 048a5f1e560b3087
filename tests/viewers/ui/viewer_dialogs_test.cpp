#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMainWindow>
#include <QPointer>
#include <QTextBrowser>
#include <QTimer>
#include <deque>
#include <functional>

#include "radiant/site_fixture.h"
#include "support/recording_messages.h"
#include "viewers/ui/period_chooser_dialog.h"
#include "viewers/ui/view_page_dialog.h"
#include "viewers/ui/viewer_commands.h"

namespace tw::ui {
namespace {

int argc = 1;
char arg0[] = "viewer_dialogs_test";
char* argv[] = {arg0, nullptr};

// Plays the user: each step gets the next modal dialog that becomes active and must close it.
class ModalScript {
public:
    explicit ModalScript(std::deque<std::function<void(QWidget*)>> steps)
        : steps_(std::move(steps)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(10);
    }
    bool Done() const { return steps_.empty(); }

private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == handled_.data() || steps_.empty())
            return;
        handled_ = modal;
        auto step = std::move(steps_.front());
        steps_.pop_front();
        step(modal);
    }

    std::deque<std::function<void(QWidget*)>> steps_;
    QPointer<QWidget> handled_;
    QTimer timer_;
};

std::string Department(const std::string& name) {
    return "<NAXML-MaintenanceRequest xmlns=\"http://www.naxml.org/POSBO/Vocabulary/2003-10-16\" "
           "version=\"3.2\"><MerchandiseCodeMaintenance><MCTDetail><RecordAction "
           "type=\"addchange\"/><MerchandiseCode>1</MerchandiseCode><MerchandiseCodeDescription>" +
           name +
           "</MerchandiseCodeDescription></MCTDetail></MerchandiseCodeMaintenance>"
           "</NAXML-MaintenanceRequest>";
}

TEST(ViewerCommands, HandlesTheMenusCommandsAndNoOthers) {
    for (int id : {32775, 40001, 40006, 40024, 40026, 40002, 40007, 40025, 40027, 40044, 40051,
                   40020, 40037})
        EXPECT_TRUE(IsViewerCommand(id)) << id;
    EXPECT_EQ(ViewerCommandIds().size(), 3u + 22u);
    test::TestSite site;
    QApplication app(argc, argv);
    EXPECT_FALSE(IsViewerCommand(40004));
    EXPECT_FALSE(RunViewerCommand(nullptr, 40004, *site.setup));
}

// Departments to Send over the main window: its geometry, its title, the page, printed to a
// PDF file; the file viewed keeps its bytes.
TEST(ViewerCommands, ShowsAMaintenancePageOverTheMainWindowAndPrintsItToPdf) {
    test::TestSite site;
    const std::string bytes = Department("Grocery &amp; Deli");
    site.dir.Write("site001/MCT.XML", bytes);
    QApplication app(argc, argv);
    QMainWindow main;
    main.setGeometry(40, 50, 700, 500);
    const std::string pdf = site.dir.File("page.pdf");
    QString title, text;
    QRect geometry;
    bool printed = false;
    ModalScript script({[&](QWidget* modal) {
        auto* dialog = qobject_cast<ViewPageDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        text = dialog->Browser()->toPlainText();
        geometry = dialog->geometry();
        printed = dialog->PrintToPdf(QString::fromStdString(pdf));
        dialog->accept();
    }});
    EXPECT_TRUE(RunViewerCommand(&main, 40006, *site.setup));
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(title, "Departments to Send");
    EXPECT_TRUE(text.contains("Grocery & Deli")) << text.toStdString();
    EXPECT_TRUE(text.contains("Merchadise Code ID"));
    EXPECT_EQ(geometry, main.geometry());
    EXPECT_TRUE(printed);
    const std::string printedBytes = test::ReadAll(pdf);
    EXPECT_GT(printedBytes.size(), 1000u);
    EXPECT_TRUE(printedBytes.starts_with("%PDF-"));
    EXPECT_EQ(test::ReadAll(site.data + "MCT.XML"), bytes);
}

// A command that needs NAXML 3.3 reports on another version and opens nothing.
TEST(ViewerCommands, RefusesGradePricesOnASiteOfAnotherVersion) {
    test::RecordedMessages messages;
    test::TestSite site;
    site.setup->naxmlVersion = "3.2 based";
    QApplication app(argc, argv);
    EXPECT_TRUE(RunViewerCommand(nullptr, 40020, *site.setup));
    EXPECT_EQ(messages.error.Texts(),
              std::vector<std::string>{"Grade Prices viewer requires NAXML 3.3."});
}

void PressKey(QWidget* widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(QChar(key).toLower()));
    QApplication::sendEvent(widget, &press);
}

// The chooser comes back after each sales page with the last period selected, until it is
// cancelled; V in the list acts as View.
TEST(ViewerCommands, SalesRepeatsTheChooserUntilCancelled) {
    test::TestSite site(10);
    {
        RadiantHist history(site.data, 1, kDayHistory);
        ASSERT_TRUE(history.Open() && history.ReadHeader());
        for (int sequence : {12, 13}) {
            history.SetCurrent({sequence, OleDate::FromCivil(2026, 12, sequence - 10, 6, 0),
                                OleDate::FromCivil(2026, 12, sequence - 9, 6, 0)});
            ASSERT_TRUE(history.WriteRecord());
        }
        history.SetLastSequence(13);
        ASSERT_TRUE(history.WriteHeader());
    }
    site.dir.Write("site001/ISMD0002.XML",
                   "<ItemSalesMovement><ISMDetail><Description>Seq twelve</Description>"
                   "</ISMDetail></ItemSalesMovement>");
    QApplication app(argc, argv);
    std::vector<QString> lines;
    std::vector<int> selected;
    std::vector<QString> salesTitles;
    QString salesText;
    auto choose = [&](int key) {
        return [&, key](QWidget* modal) {
            auto* chooser = qobject_cast<PeriodChooserDialog*>(modal);
            ASSERT_NE(chooser, nullptr);
            lines.clear();
            for (int i = 0; i < chooser->List()->count(); ++i)
                lines.push_back(chooser->List()->item(i)->text());
            selected.push_back(chooser->List()->currentRow());
            if (key == Qt::Key_Escape) {
                chooser->reject();
            } else {
                // The user picks sequence 12, then 13.
                chooser->List()->setCurrentRow(selected.size() == 1 ? 0 : 1);
                PressKey(chooser->List(), key);
            }
        };
    };
    auto closePage = [&](QWidget* modal) {
        auto* page = qobject_cast<ViewPageDialog*>(modal);
        ASSERT_NE(page, nullptr);
        salesTitles.push_back(page->windowTitle());
        salesText += page->Browser()->toPlainText();
        page->accept();
    };
    ModalScript script(
        {choose(Qt::Key_V), closePage, choose(Qt::Key_V), closePage, choose(Qt::Key_Escape)});
    EXPECT_TRUE(RunViewerCommand(nullptr, 32775, *site.setup));
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(lines, (std::vector<QString>{"12         12/03/2026 06:00:00",
                                           "13         12/04/2026 06:00:00"}));
    EXPECT_EQ(selected, (std::vector<int>{0, 0, 1}));
    EXPECT_EQ(salesTitles, (std::vector<QString>{"Sales for Seq #12  12/03/2026",
                                                 "Sales for Seq #13  12/04/2026"}));
    EXPECT_TRUE(salesText.contains("Seq twelve"));
}

TEST(ViewerCommands, ShowsResultsAndVersions) {
    test::TestSite site;
    site.dir.Write("logs/VersionPOS.001", "Radiant <4.02> & more\n");
    site.dir.Write("logs/VersionPoller.001", "Tidewell 1.1.1.9\n");
    QApplication app(argc, argv);
    std::vector<QString> texts;
    auto read = [&](QWidget* modal) {
        auto* page = qobject_cast<ViewPageDialog*>(modal);
        ASSERT_NE(page, nullptr);
        texts.push_back(page->windowTitle() + "|" + page->Browser()->toPlainText());
        page->accept();
    };
    ModalScript script({read, read});
    EXPECT_TRUE(RunViewerCommand(nullptr, 40044, *site.setup));
    EXPECT_TRUE(RunViewerCommand(nullptr, 40051, *site.setup));
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_TRUE(texts[0].startsWith("Last Sent Results|"));
    EXPECT_TRUE(texts[0].contains("No Last Sent Results to view or the XML is not well formed."));
    EXPECT_TRUE(texts[1].startsWith("Radiant/Tidewell Version Information|"));
    EXPECT_TRUE(texts[1].contains("Radiant <4.02> & more"));
    EXPECT_TRUE(texts[1].contains("Tidewell 1.1.1.9"));
}

}  // namespace
}  // namespace tw::ui
