#include "naxml/ui/grid_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw::ui {

GridDialog::GridDialog(naxml::GridModel& grid, const QString& title, const QString& addRowCaption,
                       QWidget* parent)
    : QDialog(parent), grid_(grid), view_(new GridView(grid, this)) {
    setWindowTitle(title);
    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(QDialogButtonBox::Ok);
    buttons->addButton(QDialogButtonBox::Cancel);
    // Enter belongs to the grid's editing, never to the dialog.
    ok_->setAutoDefault(false);
    ok_->setDefault(false);
    if (!addRowCaption.isEmpty()) {
        addRow_ = buttons->addButton(addRowCaption, QDialogButtonBox::ActionRole);
        addRow_->setAutoDefault(false);
        connect(addRow_, &QPushButton::clicked, this, &GridDialog::AddRow);
    }
    for (QAbstractButton* button : buttons->buttons()) {
        if (auto* push = qobject_cast<QPushButton*>(button))
            push->setAutoDefault(false);
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &GridDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &GridDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    layout->addWidget(buttons);
    const int rows = std::min<int>(static_cast<int>(grid.RowCount()), 14);
    resize(std::max(GridWidth(), 360),
           view_->horizontalHeader()->sizeHint().height() +
               view_->PixelsDown(naxml::kEditorRowHeightTwips) * std::max(rows, 6) + 72);
}

int GridDialog::GridWidth() const {
    int width = view_->verticalHeader()->sizeHint().width() + 2 * view_->frameWidth() + 40;
    for (int column = 0; column < view_->model()->columnCount(); ++column)
        width += view_->columnWidth(column);
    return width;
}

void GridDialog::accept() {
    view_->CommitOpenEditor();
    if (Save() == naxml::SaveOutcome::kClose)
        QDialog::accept();
}

void GridDialog::AddRow() {
    view_->CommitOpenEditor();
    if (const auto row = grid_.AskAddRow()) {
        const QModelIndex first = view_->model()->index(static_cast<int>(*row), 0);
        view_->setCurrentIndex(first);
        view_->scrollTo(first);
        view_->setFocus();
    }
}

DepartmentDialog::DepartmentDialog(naxml::DepartmentEditor& editor, QWidget* parent)
    : GridDialog(editor.Grid(), naxml::kDepartmentEditorTitle, naxml::kAddDepartmentButton, parent),
      editor_(editor) {}

ItemEntriesDialog::ItemEntriesDialog(naxml::ItemEntriesEditor& editor, QWidget* parent)
    : GridDialog(editor.Grid(), QString::fromStdString(editor.Title()), {}, parent) {}

ItemListDialog::ItemListDialog(naxml::ItemListEditor& editor, ChoicesLoader loadChoices,
                               QWidget* parent)
    : GridDialog(editor.Grid(), naxml::kItemListEditorTitle, naxml::kAddItemListButton, parent),
      editor_(editor),
      loadChoices_(std::move(loadChoices)) {
    View().SetSubEditorOpener([this](int row, int /*column*/) { OpenEntries(row); });
}

void ItemListDialog::OpenEntries(int row) {
    if (loadChoices_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        editor_.SetItemChoices(std::exchange(loadChoices_, {})());
        QApplication::restoreOverrideCursor();
    }
    const auto entries = editor_.EntriesEditor(static_cast<std::size_t>(row));
    ItemEntriesDialog dialog(*entries, this);
    if (dialog.exec() == QDialog::Accepted)
        View().TableModel().SetCell(row, 2, entries->Confirm());
}

SubListDialog::SubListDialog(naxml::SubListEditor& editor, QWidget* parent)
    : GridDialog(editor.Grid(), QString::fromStdString(editor.Title()), {}, parent) {}

ComboDialog::ComboDialog(naxml::ComboEditor& editor, QWidget* parent)
    : GridDialog(editor.Grid(), naxml::kComboEditorTitle, naxml::kAddComboButton, parent),
      editor_(editor) {
    View().SetSubEditorOpener([this](int row, int /*column*/) { OpenComboList(row); });
}

void ComboDialog::OpenComboList(int row) {
    const auto list = editor_.ListEditor(static_cast<std::size_t>(row));
    SubListDialog dialog(*list, this);
    if (dialog.exec() == QDialog::Accepted)
        View().TableModel().SetCell(row, static_cast<int>(naxml::kComboListColumn),
                                    list->Confirm());
}

MixMatchDialog::MixMatchDialog(naxml::MixMatchEditor& editor, QWidget* parent)
    : GridDialog(editor.Grid(), naxml::kMixMatchEditorTitle, naxml::kAddMixMatchButton, parent),
      editor_(editor) {
    View().SetSubEditorOpener([this](int row, int column) { OpenSubEditor(row, column); });
}

void MixMatchDialog::OpenSubEditor(int row, int column) {
    const auto sub =
        editor_.SubEditor(static_cast<std::size_t>(row), static_cast<std::size_t>(column));
    if (!sub)
        return;
    SubListDialog dialog(*sub, this);
    if (dialog.exec() == QDialog::Accepted)
        View().TableModel().SetCell(row, column, sub->Confirm());
}

}  // namespace tw::ui
