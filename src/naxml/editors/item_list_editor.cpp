#include "naxml/editors/item_list_editor.h"

#include "naxml/maintenance/maintenance_readers.h"
#include "naxml/maintenance/maintenance_writers.h"
#include "naxml/maintenance/packed_cell.h"

namespace tw::naxml {
namespace {

namespace f = item_list_entry;

const std::vector<std::pair<int, std::string>> kCodeFormats{
    {0, "upcA"}, {2, "ean8"}, {3, "ean13"}, {4, "plu"}, {5, "gtin"}};

}  // namespace

// ---- ItemEntriesGrid ----

void ItemEntriesGrid::Committed(std::size_t row, std::size_t column) {
    if (column != f::kPosCode)
        return;
    const auto chosen = InterpretItemChoice(Cell(row, column));
    if (!chosen)
        return;
    SetCell(row, f::kPosCode, chosen->posCode);
    SetCell(row, f::kPosCodeModifier, chosen->modifier);
    if (chosen->codeFormat)
        SetCell(row, f::kPosCodeFormat, *chosen->codeFormat);
}

// ---- ItemEntriesEditor ----

ItemEntriesEditor::ItemEntriesEditor(std::string listId, const std::vector<std::string>& choices,
                                     Prompter& prompter)
    : listId_(std::move(listId)),
      grid_({.rowDeletion = false, .keyColumn = 0, .editorId = kItemEntriesDialog}, prompter,
            noDeletions_) {
    if (choices.empty()) {
        grid_.AddColumn(TextColumn("POSCode", 2100, ColumnAlignment::kRight));
    } else {
        grid_.AddColumn(DropDownColumn("POSCode", 2100, choices, true));
    }
    grid_.AddColumn(CodedDropDownColumn("POSCodeFormat", 1400, kCodeFormats));
    grid_.AddColumn(TextColumn("POSCodeModifier", 1400, ColumnAlignment::kRight));
    grid_.AddColumn(TextColumn("InventoryItemID", 1400, ColumnAlignment::kLeft));
    grid_.AddColumn(TextColumn("MerchandiseCode", 2100, ColumnAlignment::kLeft));
}

void ItemEntriesEditor::Load(std::string_view cell) {
    for (auto& row : SubEditorRows(cell, f::kFieldCount, kSubEditorMinimumRows)) {
        std::string& code = row[f::kPosCode];
        const bool strip = !IsPlu(code) && HasValidCheckDigit(code);
        if (strip)
            code.pop_back();
        loadedCodes_.push_back(code);
        stripped_.push_back(strip);
        grid_.AppendRow(std::move(row));
    }
}

std::string ItemEntriesEditor::Confirm() const {
    std::vector<std::vector<std::string>> rows;
    for (std::size_t row = 0; row < grid_.RowCount(); ++row) {
        std::vector<std::string> fields = grid_.Row(row);
        std::string& code = fields[f::kPosCode];
        const bool loaded = row < loadedCodes_.size();
        const bool stripped = loaded && stripped_[row] && code == loadedCodes_[row];
        const bool entered = !loaded || code != loadedCodes_[row];
        if ((stripped || entered) && IsAllDigits(code) && !IsPlu(code))
            code += Gs1CheckDigit(code);
        rows.push_back(std::move(fields));
    }
    return PackSubEditorRows(rows, f::kFieldCount, kSubEditorMinimumRows);
}

// ---- ItemListEditor ----

ItemListEditor::ItemListEditor(MaintenanceSite site, Prompter& prompter,
                               PendingDeletions& deletions)
    : site_(std::move(site)),
      prompter_(prompter),
      deletions_(deletions),
      grid_({.rowDeletion = true, .keyColumn = 0, .editorId = kItemListEditorId}, prompter,
            deletions) {
    grid_.AddColumn(TextColumn("ItemListID", 2000));
    grid_.AddColumn(TextColumn("Description", 2000));
    GridColumn entries = TextColumn("ItemList", 1500);
    entries.subEditor = kItemEntriesDialog;
    grid_.AddColumn(std::move(entries));
}

void ItemListEditor::Load() {
    std::vector<ItemListRow> rows = ReadItemListFile(site_.directory, deletions_);
    for (ItemListRow& row : rows)
        grid_.AppendRow({std::move(row.id), std::move(row.description), std::move(row.entries)});
    const std::size_t empty = rows.empty() ? kEmptyGridRows : 1;
    for (std::size_t n = 0; n < empty; ++n) grid_.AppendRow();
}

std::unique_ptr<ItemEntriesEditor> ItemListEditor::EntriesEditor(std::size_t row) {
    auto editor = std::make_unique<ItemEntriesEditor>(grid_.Cell(row, 0), choices_, prompter_);
    editor->Load(grid_.Cell(row, 2));
    return editor;
}

std::vector<ItemListRow> ItemListEditor::Rows() const {
    std::vector<ItemListRow> rows;
    for (std::size_t row = 0; row < grid_.RowCount(); ++row)
        rows.push_back({grid_.Cell(row, 0), grid_.Cell(row, 1), grid_.Cell(row, 2)});
    return rows;
}

SaveOutcome ItemListEditor::Save() {
    if (!AskSaveQuestions(prompter_, deletions_, kItemListEditorId,
                          {kItemListSaveQuestion, kDeleteItemListsCaption,
                           "Are you sure you wish to delete the following Combo Item ID's: "}))
        return SaveOutcome::kStayOpen;
    const std::vector<ItemListRow> rows = Rows();
    return SaveItemListFile(site_, rows, deletions_) ? SaveOutcome::kClose : SaveOutcome::kStayOpen;
}

}  // namespace tw::naxml
