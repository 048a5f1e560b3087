#include "viewers/ui/period_chooser_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw::ui {

PeriodChooserDialog::PeriodChooserDialog(QWidget* parent,
                                         std::vector<viewers::PeriodChoice> periods,
                                         std::int32_t previousSequence, const QString& title)
    : QDialog(parent), periods_(std::move(periods)), list_(new QListWidget(this)) {
    setObjectName("PeriodChooserDialog");
    setWindowTitle(title.isEmpty() ? QStringLiteral("View") : title);
    // The lines are aligned in columns: a fixed-pitch font.
    QFont font("Courier New");
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    if (!QFontDatabase::hasFamily(font.family()))
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    list_->setFont(font);
    list_->installEventFilter(this);
    for (const viewers::PeriodChoice& period : periods_)
        list_->addItem(QString::fromStdString(period.line));
    const int selected = viewers::PreselectedPeriod(periods_, previousSequence);
    if (selected >= 0)
        list_->setCurrentRow(selected);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* view = buttons->addButton(tr("View"), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    view->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &PeriodChooserDialog::TakeSelection);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &PeriodChooserDialog::TakeSelection);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    resize(420, 320);
}

const viewers::PeriodChoice* PeriodChooserDialog::ChosenPeriod() const {
    for (const viewers::PeriodChoice& period : periods_) {
        if (chosen_ >= 0 && period.sequence == chosen_)
            return &period;
    }
    return nullptr;
}

bool PeriodChooserDialog::IsViewKey(const QKeyEvent& event) {
    return event.key() == Qt::Key_V && (event.modifiers() & ~Qt::ShiftModifier) == 0;
}

void PeriodChooserDialog::keyPressEvent(QKeyEvent* event) {
    if (IsViewKey(*event)) {
        TakeSelection();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool PeriodChooserDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress &&
        IsViewKey(*static_cast<QKeyEvent*>(event))) {
        TakeSelection();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void PeriodChooserDialog::TakeSelection() {
    const QListWidgetItem* item = list_->currentItem();
    chosen_ = item ? viewers::SequenceOfLine(item->text().toStdString()) : -1;
    accept();
}

}  // namespace tw::ui
