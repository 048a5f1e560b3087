#include "ravelin/ui/setup_options_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "messages/program_messages.h"

namespace tw::ravelin::ui {

SetupOptionsDialog::SetupOptionsDialog(const SetupOptions& initial, std::string programDirectory,
                                       QWidget* parent)
    : QDialog(parent), programDirectory_(std::move(programDirectory)) {
    setWindowTitle(QStringLiteral("Setup Options"));
    setObjectName(QStringLiteral("setupOptions"));

    tamborPath_ = new QLineEdit(QString::fromStdString(initial.backOfficePath));
    tamborPath_->setObjectName(QStringLiteral("tamborPath"));
    errorLogPath_ = new QLineEdit(QString::fromStdString(initial.errorLogPath));
    errorLogPath_->setObjectName(QStringLiteral("errorLogPath"));
    commonErrorLogPath_ = new QCheckBox(QStringLiteral("Common Error Log Path"));
    commonErrorLogPath_->setObjectName(QStringLiteral("commonErrorLogPath"));
    commonErrorLogPath_->setChecked(initial.useCommonErrorLogPath);
    errorLogPath_->setEnabled(initial.useCommonErrorLogPath);
    connect(commonErrorLogPath_, &QCheckBox::toggled, errorLogPath_, &QLineEdit::setEnabled);
    site_ = new QLineEdit(QString::fromStdString(initial.siteText));
    site_->setObjectName(QStringLiteral("site"));
    site_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,4}")), site_));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("TAMBOR Path"), tamborPath_);
    form->addRow(commonErrorLogPath_);
    form->addRow(QStringLiteral("Error Log Path"), errorLogPath_);
    auto* siteRow = new QVBoxLayout;
    siteRow->addWidget(site_);
    siteRow->addWidget(new QLabel(QStringLiteral("(Leave blank to setup all available sites)")));
    form->addRow(QStringLiteral("Setup Site #"), siteRow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &SetupOptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SetupOptionsDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(460);
}

SetupOptions SetupOptionsDialog::Options() const {
    SetupOptions options;
    options.backOfficePath = tamborPath_->text().toStdString();
    options.errorLogPath = errorLogPath_->text().toStdString();
    options.useCommonErrorLogPath = commonErrorLogPath_->isChecked();
    options.siteText = site_->text().toStdString();
    return options;
}

void SetupOptionsDialog::accept() {
    if (const auto refusal = RefusalOf(Options(), programDirectory_)) {
        SendMessageText(errorMessages(), *refusal);
        return;
    }
    QDialog::accept();
}

}  // namespace tw::ravelin::ui
