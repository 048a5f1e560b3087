#pragma once
// The page of a viewer in a modal dialog: a QTextBrowser over the main window's area, with a
// menu of "&Print" (to a printer, or to a PDF file through the print dialog) and "&Close".

#include <QDialog>
#include <QString>
#include <string>

class QPrinter;
class QTextBrowser;

namespace tw::ui {

// Command identifiers of the dialog's menu.
inline constexpr int kCommandPrint = 32776;
inline constexpr int kCommandClose = 32777;

class ViewPageDialog : public QDialog {
    Q_OBJECT
public:
    // Takes the size and position of mainWindow (may be null: the dialog keeps its own) and
    // its title when title is not empty. html is UTF-8; the browser never follows links or
    // loads anything from outside the page.
    ViewPageDialog(QWidget* mainWindow, const QString& title, const std::string& html);

    // Replaces the page, with the wait cursor while it lays out.
    void SetPage(const std::string& html);
    QTextBrowser* Browser() const { return browser_; }

    // Prints the page on printer (already set up); false when it could not start printing.
    bool PrintTo(QPrinter& printer);
    // Prints the page into a PDF file.
    bool PrintToPdf(const QString& path);

public slots:
    // Asks for a printer (or a PDF file) and prints there.
    void Print();

private:
    QTextBrowser* browser_;
};

}  // namespace tw::ui
