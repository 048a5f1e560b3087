#pragma once
// Ravelin's "Setup Options" dialog: the widgets over the options of ravelin/setup_options.h.

#include <QDialog>
#include <string>

#include "ravelin/setup_options.h"

class QCheckBox;
class QLineEdit;

namespace tw::ravelin::ui {

// OK is accepted only when the back-office path exists; otherwise "The path you specified does
// not exist.  Please enter a valid path." goes to errorMessages() and the dialog stays open.
// Controls are named "tamborPath", "errorLogPath", "commonErrorLogPath" and "site" for tests.
class SetupOptionsDialog final : public QDialog {
public:
    // programDirectory: where PATHMAP translates stored Windows paths for the existence check.
    SetupOptionsDialog(const SetupOptions& initial, std::string programDirectory,
                       QWidget* parent = nullptr);

    // The options the controls hold.
    SetupOptions Options() const;

    void accept() override;

private:
    std::string programDirectory_;
    QLineEdit* tamborPath_;
    QLineEdit* errorLogPath_;
    QCheckBox* commonErrorLogPath_;
    QLineEdit* site_;
};

}  // namespace tw::ravelin::ui
