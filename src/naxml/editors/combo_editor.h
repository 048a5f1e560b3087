#pragma once
// The combo editor's logic ("Promotion/Combo Editor"): the POS's combination offers, each an
// ID, a description, a price, a list of item lists with quantities and prices, and optional
// start and stop dates and times; read back from "CBT.XML" (else "CBTBAK.XML") and saved as
// "CBT.XML". A combo's list is a packed cell edited in the combo-list sub-editor
// (ListEditor), which offers the item list IDs of the item list files.
//
// A failed save keeps the editor open with every edit; deletions read back from the file join
// the pending ones, so a deletion not yet sent is asked about and written again.
//
// Threads: the user-interface thread only. Prompter and pending deletions are not owned and
// must outlive the editor.

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "naxml/editors/department_editor.h"
#include "naxml/editors/grid_model.h"
#include "naxml/editors/sub_list_editor.h"
#include "naxml/maintenance/maintenance_records.h"

namespace tw::naxml {

inline constexpr const char* kComboEditorTitle = "Promotion/Combo Editor";
inline constexpr const char* kAddComboButton = "Add Combo";
inline constexpr const char* kComboListTitle = "ComboList";
inline constexpr int kComboListDialog = 150;
inline constexpr std::size_t kComboListColumn = 3;
inline constexpr const char* kComboSaveQuestion =
    "Would you like to save the Combo/Promotion Maintenance file in preparation for sending to "
    "the POS?";
inline constexpr const char* kDeleteCombosCaption = "Delete Combo/Promotions";

// The units a quantity may be given in; shared by every sub-editor that offers units.
inline constexpr std::array<const char*, 21> kQuantityUnits{
    "each",     "gram",     "kg", "oz", "lb", "ml", "cc", "liter", "fluidOunce", "pint", "quart",
    "gallonUS", "gallonUK", "mm", "cm", "m",  "km", "in", "ft",    "yd",         "mile"};
std::vector<std::string> QuantityUnitChoices();

class ComboEditor {
public:
    // canWrite: false for settings that cannot write NAXML files; the editor then stays open
    // without writing when confirmed.
    ComboEditor(MaintenanceSite site, Prompter& prompter, PendingDeletions& deletions,
                bool canWrite = true);

    // Reads the file back (its deletions join the pending ones) and fills the grid: one row
    // per combo and a free row, or 40 empty rows; reads the item list IDs the sub-editor
    // offers.
    void Load();
    GridModel& Grid() { return grid_; }
    const MaintenanceSite& Site() const { return site_; }
    const std::vector<std::string>& ItemListIds() const { return itemListIds_; }

    // The combo-list sub-editor of a row ("ComboList - " and its ComboID), loaded with its
    // cell: one row per item list of the combo, at least 80.
    std::unique_ptr<SubListEditor> ListEditor(std::size_t row);

    // Asks to save (No keeps the editor open), asks about the pending deletions (No drops
    // them), then writes "CBT.XML". A failed write keeps the editor open with its edits.
    SaveOutcome Save();
    std::vector<ComboRow> Rows() const;

private:
    MaintenanceSite site_;
    Prompter& prompter_;
    PendingDeletions& deletions_;
    bool canWrite_;
    GridModel grid_;
    std::vector<std::string> itemListIds_;
};

}  // namespace tw::naxml
