#include "naxml/editors/combo_editor.h"

#include "naxml/maintenance/maintenance_readers.h"
#include "naxml/maintenance/maintenance_writers.h"
#include "naxml/maintenance/packed_cell.h"

namespace tw::naxml {
namespace {

// A field of a packed cell cannot hold ';'.
GridColumn PackedTextColumn(std::string caption, int widthTwips) {
    GridColumn column = TextColumn(std::move(caption), widthTwips, ColumnAlignment::kRight);
    column.allowSemicolon = false;
    return column;
}

GridColumn DateColumn(std::string caption, int widthTwips) {
    GridColumn column = TextColumn(std::move(caption), widthTwips);
    column.date = true;
    return column;
}

GridColumn TimeColumn(std::string caption, int widthTwips) {
    GridColumn column = TextColumn(std::move(caption), widthTwips);
    column.time = true;
    return column;
}

}  // namespace

std::vector<std::string> QuantityUnitChoices() {
    return {kQuantityUnits.begin(), kQuantityUnits.end()};
}

// ---- ComboListEditor ----

ComboListEditor::ComboListEditor(const std::vector<std::string>& itemListIds, Prompter& prompter)
    : grid_({.rowDeletion = false, .keyColumn = 0, .editorId = kComboListDialog}, prompter,
            noDeletions_) {
    grid_.AddColumn(DropDownColumn("ItemListID", 1500, itemListIds, false));
    grid_.AddColumn(PackedTextColumn("Quantity", 1000));
    grid_.AddColumn(DropDownColumn("QuantityUOM", 1300, QuantityUnitChoices(), false));
    grid_.AddColumn(PackedTextColumn("UnitPrice", 1000));
    grid_.AddColumn(PackedTextColumn("DiscountAllocation", 1700));
    grid_.AddColumn(DropDownColumn("DiscountAllocType", 1600, {"percent", "amount"}, false));
}

void ComboListEditor::Load(std::string_view cell) {
    for (auto& row : SubEditorRows(cell, combo_item::kFieldCount, kComboListMinimumRows))
        grid_.AppendRow(std::move(row));
}

std::string ComboListEditor::Confirm() const {
    std::vector<std::vector<std::string>> rows;
    for (std::size_t row = 0; row < grid_.RowCount(); ++row) rows.push_back(grid_.Row(row));
    return PackSubEditorRows(rows, combo_item::kFieldCount, kComboListMinimumRows);
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

std::unique_ptr<ComboListEditor> ComboEditor::ListEditor(std::size_t row) {
    auto editor = std::make_unique<ComboListEditor>(itemListIds_, prompter_);
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
    if (!prompter_.AskYesNo(kSaveFileCaption, kComboSaveQuestion))
        return SaveOutcome::kStayOpen;
    const std::vector<std::string> keys = deletions_.List(kComboEditorId);
    if (!keys.empty()) {
        std::string question = "Are you sure you wish to delete the following Combo/Promotions: ";
        for (const std::string& key : keys) question += key + " ";
        question += " ? ";
        if (!prompter_.AskYesNo(kDeleteCombosCaption, question))
            deletions_.Clear(kComboEditorId);
    }
    if (!canWrite_)
        return SaveOutcome::kStayOpen;
    const std::vector<ComboRow> rows = Rows();
    return SaveComboFile(site_, rows, deletions_) ? SaveOutcome::kClose : SaveOutcome::kStayOpen;
}

}  // namespace tw::naxml
