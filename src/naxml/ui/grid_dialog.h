#pragma once
// The editors' dialogs: a grid with OK (save), Cancel and an add-row button, and each
// editor and sub-editor on it.
//
// OK first commits an open in-place edit, then asks the editor to save; the dialog closes
// only when the editor says so (a failed save keeps it open with the edits).
//
// Threads: the UI thread only. The editor logic is not owned and must outlive the dialog.

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "naxml/editors/combo_editor.h"
#include "naxml/editors/department_editor.h"
#include "naxml/editors/grid_model.h"
#include "naxml/editors/item_list_editor.h"
#include "naxml/editors/mix_match_editor.h"
#include "naxml/ui/grid_view.h"

class QPushButton;

namespace tw::ui {

class GridDialog : public QDialog {
    Q_OBJECT

public:
    // addRowCaption: the caption of the add-row button; empty for none.
    GridDialog(naxml::GridModel& grid, const QString& title, const QString& addRowCaption,
               QWidget* parent = nullptr);

    GridView& View() { return *view_; }
    QPushButton* AddRowButton() const { return addRow_; }
    QPushButton* OkButton() const { return ok_; }

    void accept() override;

protected:
    // Saves what the grid holds; kClose lets the dialog close.
    virtual naxml::SaveOutcome Save() = 0;
    // The width the grid needs for all its columns.
    int GridWidth() const;

private:
    void AddRow();

    naxml::GridModel& grid_;
    GridView* view_;
    QPushButton* addRow_ = nullptr;
    QPushButton* ok_ = nullptr;
};

// "Department Editor".
class DepartmentDialog final : public GridDialog {
    Q_OBJECT

public:
    DepartmentDialog(naxml::DepartmentEditor& editor, QWidget* parent = nullptr);

protected:
    naxml::SaveOutcome Save() override { return editor_.Save(); }

private:
    naxml::DepartmentEditor& editor_;
};

// "ItemList - " and the list's ID: the entries of one item list. OK only closes it; the caller
// takes the confirmed entries.
class ItemEntriesDialog final : public GridDialog {
    Q_OBJECT

public:
    ItemEntriesDialog(naxml::ItemEntriesEditor& editor, QWidget* parent = nullptr);

protected:
    naxml::SaveOutcome Save() override { return naxml::SaveOutcome::kClose; }
};

// "Item Group Editor". The ItemList column opens the entry sub-editor of its row.
class ItemListDialog final : public GridDialog {
    Q_OBJECT

public:
    // Reads the back office's item choices; called once, when a sub-editor first opens.
    using ChoicesLoader = std::function<std::vector<std::string>()>;

    ItemListDialog(naxml::ItemListEditor& editor, ChoicesLoader loadChoices = {},
                   QWidget* parent = nullptr);

    // Opens the entry sub-editor of a row modally; its OK replaces the row's ItemList cell.
    void OpenEntries(int row);

protected:
    naxml::SaveOutcome Save() override { return editor_.Save(); }

private:
    naxml::ItemListEditor& editor_;
    ChoicesLoader loadChoices_;
};

// A sub-editor of a packed list cell, titled by its editor. OK only closes it; the caller
// takes the confirmed list.
class SubListDialog final : public GridDialog {
    Q_OBJECT

public:
    SubListDialog(naxml::SubListEditor& editor, QWidget* parent = nullptr);

protected:
    naxml::SaveOutcome Save() override { return naxml::SaveOutcome::kClose; }
};

// "Promotion/Combo Editor". The ComboList column opens the combo-list sub-editor of its row.
class ComboDialog final : public GridDialog {
    Q_OBJECT

public:
    ComboDialog(naxml::ComboEditor& editor, QWidget* parent = nullptr);

    // Opens the combo-list sub-editor of a row modally; its OK replaces the row's ComboList
    // cell.
    void OpenComboList(int row);

protected:
    naxml::SaveOutcome Save() override { return editor_.Save(); }

private:
    naxml::ComboEditor& editor_;
};

// "Promotion/Mix Match Editor". The Promotion, ItemListID and MixMatchEntry columns open their
// sub-editors.
class MixMatchDialog final : public GridDialog {
    Q_OBJECT

public:
    MixMatchDialog(naxml::MixMatchEditor& editor, QWidget* parent = nullptr);

    // Opens the sub-editor of a row's column modally; its OK replaces the cell.
    void OpenSubEditor(int row, int column);

protected:
    naxml::SaveOutcome Save() override { return editor_.Save(); }

private:
    naxml::MixMatchEditor& editor_;
};

}  // namespace tw::ui
