#include "app/ui/site_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tw::ui {

CSiteDlg::CSiteDlg(const std::vector<int>& sites, int current, QWidget* parent)
    : QDialog(parent), list_(new QComboBox(this)) {
    setWindowTitle("Site");
    for (int site : sites) list_->addItem(QString::number(site), site);
    const int at = list_->findData(current);
    if (at >= 0)
        list_->setCurrentIndex(at);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto* label = new QLabel("Select site #", this);
    label->setBuddy(list_);
    form->addRow(label, list_);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

std::optional<int> CSiteDlg::SelectedSite() const {
    if (list_->currentIndex() < 0)
        return std::nullopt;
    return list_->currentData().toInt();
}

std::optional<int> CSiteDlg::Choose(QWidget* parent, const std::vector<int>& sites, int current) {
    CSiteDlg dialog(sites, current, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.SelectedSite();
}

}  // namespace tw::ui
