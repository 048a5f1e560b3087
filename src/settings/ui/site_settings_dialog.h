#pragma once
// The "Site Settings" dialog (Setup, Site Settings...): the widgets over SiteSettingsForm.

#include <QDialog>

#include "settings/site_settings_form.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLineEdit;

namespace tw::ui {

// Edits the open site's settings modally over parent (may be null) and saves them on OK.
// True when the settings were saved; false when the user cancelled (a failed save keeps the
// dialog open after "Unable to save poller settings." went to errorMessages(), so the user can
// retry or cancel).
//
// Contract with the caller (the application, for command 32774): the settings are changed in
// place while the dialog runs, so the caller stops polling of the site before the call and,
// when it was polling, starts it again after the call returns, whatever the result. prompter
// asks "Reset start polling date time?"; dialUp lists the phone-book entries (the application
// passes DispatchDialUpDirectory, app/automation/ras_automation.h; NoDialUp leaves the dial-up
// controls disabled). UI thread only; all references must outlive the call.
bool EditSiteSettings(QWidget* parent, RadiantSetup& setup, Prompter& prompter,
                      DialUpDirectory& dialUp);

// The dialog itself, for callers that place it themselves (tests, screenshots). Each control
// has an object name after the value it edits ("salesPath", "receiveSales", "rasEntry", ...;
// the reset button "resetStartOfPolling").
class SiteSettingsDialog final : public QDialog {
public:
    // form must outlive the dialog.
    SiteSettingsDialog(SiteSettingsForm& form, QWidget* parent = nullptr);

    // The values the controls hold.
    SiteSettingsValues Values() const;
    // Puts values into the controls.
    void SetValues(const SiteSettingsValues& values);

    // OK: saves through the form; closes only when the save succeeded.
    void accept() override;

private:
    QLineEdit* AddLine(QFormLayout* layout, const char* label, const char* name,
                       bool secret = false);
    void SelectText(QComboBox* box, const std::string& text);

    SiteSettingsForm& form_;
    QCheckBox* receiveSales_;
    QCheckBox* sendItems_;
    QCheckBox* deletePOSSourceFile_;
    QCheckBox* useRas_;
    QLineEdit* importDestinationPath_;
    QLineEdit* salesPath_;
    QLineEdit* exSalesPath_;
    QLineEdit* userName_;
    QLineEdit* password_;
    QComboBox* rasEntry_;
    QLineEdit* rasPhoneNumber_;
    QLineEdit* rasCallbackNumber_;
    QLineEdit* rasUserName_;
    QLineEdit* rasPassword_;
    QLineEdit* rasDomain_;
    QComboBox* naxmlVersion_;
};

}  // namespace tw::ui
