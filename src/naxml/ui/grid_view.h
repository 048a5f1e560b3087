#pragma once
// The editors' grid on screen: a QTableView over a GridModel (naxml/editors/grid_model.h).
//
// Cells are edited in place: a typed character starts the edit with that character (a
// character the column refuses starts nothing), Enter or Tab commits through the model's
// rules, Escape leaves the cell as it was. Drop-down columns edit in a combo box, with or
// without typing. Columns not present at the POS show the model's message instead of an
// editor; columns linked to a sub-editor call the view's sub-editor opener.
//
// Widths and row heights are the editors' twips, scaled by the screen's dots per inch.
//
// Threads: the UI thread only. The grid model must outlive the view.

#include <QAbstractTableModel>
#include <QStringListModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <functional>
#include <map>
#include <memory>

#include "naxml/editors/grid_model.h"

namespace tw::ui {

// The model's rows and cells for Qt views; follows rows added and removed by the model.
class GridTableModel final : public QAbstractTableModel, public naxml::GridObserver {
    Q_OBJECT

public:
    explicit GridTableModel(naxml::GridModel& grid, QObject* parent = nullptr);
    ~GridTableModel() override;

    naxml::GridModel& Grid() { return grid_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Commits typed text or a drop-down choice through the grid model's rules (which may ask
    // to delete the row). True when the row was removed.
    bool CommitText(const QModelIndex& index, const QString& typed);
    bool CommitChoice(const QModelIndex& index, std::optional<int> selected, const QString& typed);
    // A cell changed by the editor outside a commit (a sub-editor's result).
    void SetCell(int row, int column, const std::string& text);

    void BeforeInsertRow(std::size_t row) override;
    void AfterInsertRow() override;
    void BeforeRemoveRow(std::size_t row) override;
    void AfterRemoveRow() override;

private:
    void RowChanged(int row);
    naxml::GridModel& grid_;
};

class GridDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit GridDelegate(GridTableModel& model, QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

private:
    // The choices of a drop-down column, built once: a list of 50,000 items is not refilled for
    // every edit.
    struct Choices {
        std::unique_ptr<QStringListModel> model;
        int widthPixels = 0;  // of the widest choice
    };
    const Choices& ChoicesOf(int column, const QWidget& editor) const;

    GridTableModel& model_;
    mutable std::map<int, Choices> choices_;
};

class GridView final : public QTableView {
    Q_OBJECT

public:
    // Opens the sub-editor of a linked cell (row and column of the model).
    using SubEditorOpener = std::function<void(int row, int column)>;

    explicit GridView(naxml::GridModel& grid, QWidget* parent = nullptr);

    GridTableModel& TableModel() { return *model_; }
    void SetSubEditorOpener(SubEditorOpener opener) { opener_ = std::move(opener); }

    // Commits the text of an open in-place editor and closes it (before saving).
    void CommitOpenEditor();
    // The open in-place editor, or null.
    QWidget* OpenEditor() const;
    // Pixels for twips across and down on this screen.
    int PixelsAcross(int twips) const;
    int PixelsDown(int twips) const;

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

private:
    GridTableModel* model_;
    GridDelegate* delegate_;
    SubEditorOpener opener_;
};

}  // namespace tw::ui
