#pragma once
// The editors' dialogs: a grid with OK (save), Cancel and an add-row button, and the
// department editor on it.
//
// OK first commits an open in-place edit, then asks the editor to save; the dialog closes
// only when the editor says so (a failed save keeps it open with the edits).
//
// Threads: the UI thread only. The editor logic is not owned and must outlive the dialog.

#include <QDialog>

#include "naxml/editors/department_editor.h"
#include "naxml/editors/grid_model.h"
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

}  // namespace tw::ui
