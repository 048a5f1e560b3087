#include "naxml/editors/mix_match_editor.h"

#include "naxml/editors/combo_editor.h"
#include "naxml/maintenance/maintenance_readers.h"
#include "naxml/maintenance/maintenance_writers.h"

namespace tw::naxml {
namespace {

const std::vector<std::string> kTrueFalse{"TRUE", "FALSE"};

GridColumn SubEditorColumn(std::string caption, int widthTwips, int dialog) {
    GridColumn column = TextColumn(std::move(caption), widthTwips);
    column.subEditor = dialog;
    return column;
}

}  // namespace

MixMatchEditor::MixMatchEditor(MaintenanceSite site, Prompter& prompter,
                               PendingDeletions& deletions, bool canWrite)
    : site_(std::move(site)),
      prompter_(prompter),
      deletions_(deletions),
      canWrite_(canWrite),
      grid_({.rowDeletion = true, .keyColumn = 0, .editorId = kMixMatchEditorId}, prompter,
            deletions) {
    grid_.AddColumn(TextColumn("Description", 2200));
    grid_.AddColumn(SubEditorColumn("Promotion", 900, kPromotionDialog));
    grid_.AddColumn(TextColumn("SalesRestrict", 1200));
    grid_.AddColumn(DropDownColumn("HighFlag", 900, kTrueFalse, false));
    grid_.AddColumn(DropDownColumn("LowFlag", 900, kTrueFalse, false));
    grid_.AddColumn(TextColumn("TransactionLimit", 1230, ColumnAlignment::kRight));
    grid_.AddColumn(TextColumn("LotLimit", 900, ColumnAlignment::kRight));
    grid_.AddColumn(DropDownColumn("LotUOM", 1100, QuantityUnitChoices(), false));
    grid_.AddColumn(SubEditorColumn("ItemListID", 900, kItemListIdsDialog));
    grid_.AddColumn(DateColumn("StartDate", 1000));
    grid_.AddColumn(TimeColumn("StartTime", 900));
    grid_.AddColumn(DateColumn("StopDate", 1000));
    grid_.AddColumn(TimeColumn("StopTime", 900));
    grid_.AddColumn(SubEditorColumn("MixMatchEntry", 1200, kMixMatchEntriesDialog));
    grid_.AddColumn(TextColumn("MixMatchPromotions", 1200));
    grid_.AddColumn(
        DropDownColumn("Priority", 1000, {"lowest", "low", "medium", "high", "highest"}, false));
}

void MixMatchEditor::Load() {
    std::vector<MixMatchRow> rows = ReadMixMatchFile(site_.directory, deletions_);
    for (MixMatchRow& row : rows) {
        std::vector<std::string> cells;
        for (auto column : kMixMatchColumns) cells.push_back(std::move(row.*column));
        grid_.AppendRow(std::move(cells));
    }
    const std::size_t empty = rows.empty() ? kEmptyGridRows : 1;
    for (std::size_t n = 0; n < empty; ++n) grid_.AppendRow();
    itemListIds_ = ReadItemListIds(site_.directory);
}

std::unique_ptr<SubListEditor> MixMatchEditor::SubEditor(std::size_t row, std::size_t column) {
    const std::string& description = grid_.Cell(row, 0);
    std::unique_ptr<SubListEditor> editor;
    std::vector<GridColumn> columns;
    if (column == kPromotionColumn) {
        columns.push_back(PackedFieldColumn("ID", 1400));
        columns.push_back(PackedFieldColumn("IDType", 800));
        columns.push_back(DropDownColumn(
            "ReasonCombo", 1800,
            {"combinationOffer", "fuelDiscCarWash", "mixAndMatchOffer", "tempPriceChange"}, false));
        columns.push_back(PackedFieldColumn("ReasonText", 1400));
        columns.push_back(PackedFieldColumn("Amount", 1400, ColumnAlignment::kRight));
        editor =
            std::make_unique<SubListEditor>("Promotion - " + description, kPromotionDialog,
                                            std::move(columns), kSubEditorMinimumRows, prompter_);
    } else if (column == kItemListIdsColumn) {
        columns.push_back(DropDownColumn("ItemListID", 1500, itemListIds_, false));
        editor =
            std::make_unique<SubListEditor>("ItemListIDs - " + description, kItemListIdsDialog,
                                            std::move(columns), kSubEditorMinimumRows, prompter_);
    } else if (column == kMixMatchEntriesColumn) {
        columns.push_back(PackedFieldColumn("Units", 1000, ColumnAlignment::kRight));
        columns.push_back(DropDownColumn("UOM", 1300, QuantityUnitChoices(), false));
        columns.push_back(DropDownColumn(
            "ComboValue", 3300,
            {"MixMatchPrice", "MixMatchDiscountAmount", "MixMatchDiscountPercent"}, false));
        columns.push_back(PackedFieldColumn("Amount", 1200, ColumnAlignment::kRight));
        editor = std::make_unique<SubListEditor>("MixMatchEntries - " + description,
                                                 kMixMatchEntriesDialog, std::move(columns),
                                                 kSubEditorMinimumRows, prompter_);
    } else {
        return nullptr;
    }
    editor->Load(grid_.Cell(row, column));
    return editor;
}

std::vector<MixMatchRow> MixMatchEditor::Rows() const {
    std::vector<MixMatchRow> rows;
    for (std::size_t row = 0; row < grid_.RowCount(); ++row) {
        MixMatchRow offer;
        for (std::size_t column = 0; column < kMixMatchColumns.size(); ++column)
            offer.*kMixMatchColumns[column] = grid_.Cell(row, column);
        rows.push_back(std::move(offer));
    }
    return rows;
}

SaveOutcome MixMatchEditor::Save() {
    if (!AskSaveQuestions(prompter_, deletions_, kMixMatchEditorId,
                          {kMixMatchSaveQuestion, kDeleteMixMatchCaption,
                           "Are you sure you wish to delete the following Combo Mix Match data: "}))
        return SaveOutcome::kStayOpen;
    if (!canWrite_)
        return SaveOutcome::kStayOpen;
    const std::vector<MixMatchRow> rows = Rows();
    return SaveMixMatchFile(site_, rows, deletions_) ? SaveOutcome::kClose : SaveOutcome::kStayOpen;
}

}  // namespace tw::naxml
