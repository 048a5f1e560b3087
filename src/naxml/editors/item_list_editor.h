#pragma once
// The item list editor's logic ("Item Group Editor"): the POS's item lists, named groups of
// item codes that combos and mix-and-match offers refer to by ItemListID, read back from
// "ILT.XML" (else "ILTBAK.XML") and saved as "ILT.XML". Each list's entries are a packed cell
// edited in the entry sub-editor (ItemEntriesEditor), which can offer the back office's items.
//
// Check digits: the sub-editor shows codes without their GS1 check digit and appends it again
// when confirmed. A code loses its last digit only when it is all digits, not a PLU, and that
// digit is its check digit; it gets one only when it lost one or was entered anew and is all
// digits. Codes that are not GTINs pass through unchanged.
//
// Threads: the user-interface thread only. Prompter and pending deletions are not owned.

#include <memory>
#include <string>
#include <vector>

#include "naxml/editors/department_editor.h"
#include "naxml/editors/grid_model.h"
#include "naxml/editors/item_codes.h"
#include "naxml/maintenance/maintenance_records.h"

namespace tw::naxml {

inline constexpr const char* kItemListEditorTitle = "Item Group Editor";
inline constexpr const char* kAddItemListButton = "Add Item List";
inline constexpr const char* kItemEntriesTitle = "ItemList - ";
inline constexpr int kItemEntriesDialog = 153;
inline constexpr const char* kItemListSaveQuestion =
    "Would you like to save the Item Group Maintenance file in preparation for sending to the "
    "POS?";
inline constexpr const char* kDeleteItemListsCaption = "Delete Combo Item ID's";

// The grid of the entry sub-editor: a chosen item sets its entry's code, modifier and format.
class ItemEntriesGrid final : public GridModel {
public:
    using GridModel::GridModel;

protected:
    void Committed(std::size_t row, std::size_t column) override;
};

// The entry sub-editor of one item list.
class ItemEntriesEditor {
public:
    // choices: the back office's item choices (ItemChoices); empty: POSCode is plain text.
    ItemEntriesEditor(std::string listId, const std::vector<std::string>& choices,
                      Prompter& prompter);

    std::string Title() const { return kItemEntriesTitle + listId_; }
    GridModel& Grid() { return grid_; }

    // Shows the packed entries: every group and one free row, at least 40 rows; codes lose
    // their check digit (see above).
    void Load(std::string_view cell);
    // The packed entries of the rows, check digits appended (see above).
    std::string Confirm() const;

private:
    std::string listId_;
    PendingDeletions noDeletions_;  // the sub-editor deletes no rows
    ItemEntriesGrid grid_;
    std::vector<std::string> loadedCodes_;  // POSCode per row as shown after Load
    std::vector<bool> stripped_;            // whether Load took a check digit off
};

class ItemListEditor {
public:
    ItemListEditor(MaintenanceSite site, Prompter& prompter, PendingDeletions& deletions);

    // Reads the file back (its deletions join the pending ones) and fills the grid: one row
    // per list and a free row, or 40 empty rows.
    void Load();
    GridModel& Grid() { return grid_; }
    const MaintenanceSite& Site() const { return site_; }

    // The back office's item choices offered by the sub-editor.
    void SetItemChoices(std::vector<std::string> choices) { choices_ = std::move(choices); }
    const std::vector<std::string>& Choices() const { return choices_; }

    // The entry sub-editor of a row, loaded with its cell.
    std::unique_ptr<ItemEntriesEditor> EntriesEditor(std::size_t row);

    // Asks to save (No keeps the editor open), asks about the pending deletions (No drops
    // them), then writes "ILT.XML". A failed write keeps the editor open with its edits.
    SaveOutcome Save();
    std::vector<ItemListRow> Rows() const;

private:
    MaintenanceSite site_;
    Prompter& prompter_;
    PendingDeletions& deletions_;
    GridModel grid_;
    std::vector<std::string> choices_;
};

}  // namespace tw::naxml
