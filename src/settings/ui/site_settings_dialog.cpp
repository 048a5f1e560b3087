#include "settings/ui/site_settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw::ui {
namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string S(const QString& text) {
    return text.toStdString();
}

QCheckBox* NamedCheckBox(const char* label, const char* name) {
    auto* box = new QCheckBox(QString::fromUtf8(label));
    box->setObjectName(QString::fromUtf8(name));
    return box;
}

}  // namespace

bool EditSiteSettings(QWidget* parent, RadiantSetup& setup, Prompter& prompter,
                      DialUpDirectory& dialUp) {
    SiteSettingsForm form(setup, prompter, dialUp);
    SiteSettingsDialog dialog(form, parent);
    return dialog.exec() == QDialog::Accepted;
}

SiteSettingsDialog::SiteSettingsDialog(SiteSettingsForm& form, QWidget* parent)
    : QDialog(parent), form_(form) {
    setWindowTitle(QStringLiteral("Site Settings"));
    setObjectName(QStringLiteral("siteSettings"));

    auto* transfer = new QGroupBox(QStringLiteral("Polling"));
    auto* transferLayout = new QVBoxLayout(transfer);
    receiveSales_ = NamedCheckBox("Receive sales", "receiveSales");
    sendItems_ = NamedCheckBox("Send configuration", "sendItems");
    deletePOSSourceFile_ = NamedCheckBox("Remove sales from POS", "deletePOSSourceFile");
    transferLayout->addWidget(receiveSales_);
    transferLayout->addWidget(sendItems_);
    transferLayout->addWidget(deletePOSSourceFile_);

    auto* paths = new QGroupBox(QStringLiteral("POS directories"));
    auto* pathsLayout = new QFormLayout(paths);
    importDestinationPath_ = AddLine(pathsLayout, "Import destination:", "importDestinationPath");
    salesPath_ = AddLine(pathsLayout, "Sales directory:", "salesPath");
    exSalesPath_ = AddLine(pathsLayout, "Extra sales directory:", "exSalesPath");
    userName_ = AddLine(pathsLayout, "Login user name:", "userName");
    password_ = AddLine(pathsLayout, "Login password:", "password", true);

    auto* dialUp = new QGroupBox(QStringLiteral("Dial-up connection"));
    dialUp->setObjectName(QStringLiteral("dialUpGroup"));
    auto* dialUpLayout = new QFormLayout(dialUp);
    useRas_ = NamedCheckBox("Dial Up", "useRas");
    dialUpLayout->addRow(useRas_);
    rasEntry_ = new QComboBox;
    rasEntry_->setObjectName(QStringLiteral("rasEntry"));
    for (const std::string& entry : form_.DialUpEntries()) rasEntry_->addItem(Q(entry));
    dialUpLayout->addRow(QStringLiteral("Entry:"), rasEntry_);
    rasPhoneNumber_ = AddLine(dialUpLayout, "Phone number:", "rasPhoneNumber");
    rasCallbackNumber_ = AddLine(dialUpLayout, "Callback number:", "rasCallbackNumber");
    rasUserName_ = AddLine(dialUpLayout, "User name:", "rasUserName");
    rasPassword_ = AddLine(dialUpLayout, "Password:", "rasPassword", true);
    rasDomain_ = AddLine(dialUpLayout, "Domain:", "rasDomain");
    // Without dial-up the stored values stay as they are, shown but not editable.
    dialUp->setEnabled(form_.DialUpAvailable());

    auto* naxmlRow = new QHBoxLayout;
    naxmlVersion_ = new QComboBox;
    naxmlVersion_->setObjectName(QStringLiteral("naxmlVersion"));
    for (const std::string& version : form_.NaxmlVersions()) naxmlVersion_->addItem(Q(version));
    naxmlRow->addWidget(new QLabel(QStringLiteral("NAXML version:")));
    naxmlRow->addWidget(naxmlVersion_);
    naxmlRow->addStretch();
    auto* reset = new QPushButton(QStringLiteral("Reset Start Polling Date/Time..."));
    reset->setObjectName(QStringLiteral("resetStartOfPolling"));
    reset->setAutoDefault(false);
    connect(reset, &QPushButton::clicked, this, [this] { form_.AskResetStartOfPolling(); });
    naxmlRow->addWidget(reset);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &SiteSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SiteSettingsDialog::reject);

    auto* top = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(transfer);
    left->addWidget(paths);
    left->addStretch();
    top->addLayout(left);
    top->addWidget(dialUp);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(naxmlRow);
    layout->addWidget(buttons);

    SetValues(form_.Initial());
}

QLineEdit* SiteSettingsDialog::AddLine(QFormLayout* layout, const char* label, const char* name,
                                       bool secret) {
    auto* line = new QLineEdit;
    line->setObjectName(QString::fromUtf8(name));
    line->setMinimumWidth(180);  // room for a UNC path
    if (secret)
        line->setEchoMode(QLineEdit::Password);
    layout->addRow(QString::fromUtf8(label), line);
    return line;
}

void SiteSettingsDialog::SelectText(QComboBox* box, const std::string& text) {
    box->setCurrentIndex(box->findText(Q(text)));
}

void SiteSettingsDialog::SetValues(const SiteSettingsValues& values) {
    receiveSales_->setChecked(values.receiveSales);
    sendItems_->setChecked(values.sendItems);
    deletePOSSourceFile_->setChecked(values.deletePOSSourceFile);
    useRas_->setChecked(values.useRas);
    importDestinationPath_->setText(Q(values.importDestinationPath));
    salesPath_->setText(Q(values.salesPath));
    exSalesPath_->setText(Q(values.exSalesPath));
    userName_->setText(Q(values.userName));
    password_->setText(Q(values.password));
    SelectText(rasEntry_, values.rasEntry);
    rasPhoneNumber_->setText(Q(values.rasPhoneNumber));
    rasCallbackNumber_->setText(Q(values.rasCallbackNumber));
    rasUserName_->setText(Q(values.rasUserName));
    rasPassword_->setText(Q(values.rasPassword));
    rasDomain_->setText(Q(values.rasDomain));
    SelectText(naxmlVersion_, values.naxmlVersion);
}

SiteSettingsValues SiteSettingsDialog::Values() const {
    SiteSettingsValues values;
    values.receiveSales = receiveSales_->isChecked();
    values.sendItems = sendItems_->isChecked();
    values.deletePOSSourceFile = deletePOSSourceFile_->isChecked();
    values.useRas = useRas_->isChecked();
    values.importDestinationPath = S(importDestinationPath_->text());
    values.salesPath = S(salesPath_->text());
    values.exSalesPath = S(exSalesPath_->text());
    values.userName = S(userName_->text());
    values.password = S(password_->text());
    values.rasEntry = S(rasEntry_->currentText());
    values.rasPhoneNumber = S(rasPhoneNumber_->text());
    values.rasCallbackNumber = S(rasCallbackNumber_->text());
    values.rasUserName = S(rasUserName_->text());
    values.rasPassword = S(rasPassword_->text());
    values.rasDomain = S(rasDomain_->text());
    values.naxmlVersion = S(naxmlVersion_->currentText());
    return values;
}

void SiteSettingsDialog::accept() {
    if (form_.Accept(Values()))
        QDialog::accept();
}

}  // namespace tw::ui
