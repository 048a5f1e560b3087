#include "naxml/editors/combo_editor.h"

#include "naxml/maintenance/maintenance_readers.h"
#include "naxml/maintenance/maintenance_writers.h"
#include "naxml/maintenance/packed_cell.h"

namespace tw::naxml {

std::vector<std::string> QuantityUnitChoices() {
    return {kQuantityUnits.begin(), kQuantityUnits.end()};
}

// ---- ComboEditor ----

ComboEditor::ComboEditor(MaintenanceSite site, Prompter& prompter, PendingDeletions& deletions,
                         bool canWrite)
    : site_(std::move(site)),
      prompter_(prompter),
      deletions_(deletions),
      canWrite_(canWrite),
      grid_({.rowDeletion = true, .keyColumn = 0, .editorId = kComboEditorId}, prompter,
            deletions) {
    grid_.AddColumn(TextColumn("ComboID", 2300));
    grid_.AddColumn(TextColumn("Description", 2300));
    grid_.AddColumn(NumericColumn("Price", 850, 2, ColumnAlignment::kRight));
    GridColumn list = TextColumn(kComboListTitle, 850);
    list.subEditor = kComboListDialog;
    grid_.AddColumn(std::move(list));
    grid_.AddColumn(DateColumn("StartDate", 1050));
    grid_.AddColumn(TimeColumn("StartTime", 850));
    grid_.AddColumn(DateColumn("StopDate", 1050));
    grid_.AddColumn(TimeColumn("StopTime", 850));
}

void ComboEditor::Load() {
    std::vector<ComboRow> rows = ReadComboFile(site_.directory, deletions_);
    for (ComboRow& row : rows) {
        std::vector<std::string> cells;
        for (auto column : kComboColumns) cells.push_back(std::move(row.*column));
        grid_.AppendRow(std::move(cells));
    }
    const std::size_t empty = rows.empty() ? kEmptyGridRows : 1;
    for (std::size_t n = 0; n < empty; ++n) grid_.AppendRow();
    itemListIds_ = ReadItemListIds(site_.directory);
}

std::unique_ptr<SubListEditor> ComboEditor::ListEditor(std::size_t row) {
    std::vector<GridColumn> columns;
    columns.push_back(DropDownColumn("ItemListID", 1500, itemListIds_, false));
    columns.push_back(PackedFieldColumn("Quantity", 1000, ColumnAlignment::kRight));
    columns.push_back(DropDownColumn("QuantityUOM", 1300, QuantityUnitChoices(), false));
    columns.push_back(PackedFieldColumn("UnitPrice", 1000, ColumnAlignment::kRight));
    columns.push_back(PackedFieldColumn("DiscountAllocation", 1700, ColumnAlignment::kRight));
    columns.push_back(DropDownColumn("DiscountAllocType", 1600, {"percent", "amount"}, false));
    auto editor = std::make_unique<SubListEditor>(
        std::string(kComboListTitle) + " - " + grid_.Cell(row, 0), kComboListDialog,
        std::move(columns), kComboListMinimumRows, prompter_);
    editor->Load(grid_.Cell(row, kComboListColumn));
    return editor;
}

std::vector<ComboRow> ComboEditor::Rows() const {
    std::vector<ComboRow> rows;
    for (std::size_t row = 0; row < grid_.RowCount(); ++row) {
        ComboRow combo;
        for (std::size_t column = 0; column < kComboColumns.size(); ++column)
            combo.*kComboColumns[column] = grid_.Cell(row, column);
        rows.push_back(std::move(combo));
    }
    return rows;
}

SaveOutcome ComboEditor::Save() {
    if (!AskSaveQuestions(prompter_, deletions_, kComboEditorId,
                          {kComboSaveQuestion, kDeleteCombosCaption,
                           "Are you sure you wish to delete the following Combo/Promotions: "}))
        return SaveOutcome::kStayOpen;
    if (!canWrite_)
        return SaveOutcome::kStayOpen;
    const std::vector<ComboRow> rows = Rows();
    return SaveComboFile(site_, rows, deletions_) ? SaveOutcome::kClose : SaveOutcome::kStayOpen;
}

}  // namespace tw::naxml
