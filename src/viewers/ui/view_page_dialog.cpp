#include "viewers/ui/view_page_dialog.h"

#include <QApplication>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace tw::ui {

ViewPageDialog::ViewPageDialog(QWidget* mainWindow, const QString& title, const std::string& html)
    : QDialog(mainWindow), browser_(new QTextBrowser(this)) {
    setObjectName("ViewPageDialog");
    setWindowTitle(title.isEmpty() ? QStringLiteral("View") : title);
    browser_->setOpenLinks(false);
    browser_->setOpenExternalLinks(false);
    // A vertical scroll bar that came and went with the page's length would change the width
    // and lay a long page out twice.
    browser_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* menu = new QMenuBar(this);
    QAction* print = menu->addAction(tr("&Print"));
    print->setData(kCommandPrint);
    QAction* close = menu->addAction(tr("&Close"));
    close->setData(kCommandClose);
    connect(print, &QAction::triggered, this, &ViewPageDialog::Print);
    connect(close, &QAction::triggered, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menu);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(browser_);

    if (mainWindow != nullptr)
        setGeometry(mainWindow->geometry());
    else
        resize(900, 600);
    SetPage(html);
}

void ViewPageDialog::SetPage(const std::string& html) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The browser lays the document out as the text is set.
    browser_->setHtml(QString::fromUtf8(html.data(), static_cast<qsizetype>(html.size())));
    QApplication::restoreOverrideCursor();
}

bool ViewPageDialog::PrintTo(QPrinter& printer) {
    if (!printer.isValid())
        return false;
    browser_->print(&printer);
    return true;
}

bool ViewPageDialog::PrintToPdf(const QString& path) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    return PrintTo(printer);
}

void ViewPageDialog::Print() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(tr("Print"));
    if (dialog.exec() == QDialog::Accepted)
        PrintTo(printer);
}

}  // namespace tw::ui
