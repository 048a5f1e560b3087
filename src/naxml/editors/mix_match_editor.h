#pragma once
// The mix-and-match editor's logic ("Promotion/Mix Match Editor"): the POS's mix-and-match
// offers keyed by their description, read back from "MMT.XML" (else "MMTBAK.XML") and saved as
// "MMT.XML" with the namespaced root. The promotion, the item list IDs and the entries of an
// offer are packed cells edited in sub-editors; the sales restrictions and the promotion
// windows are packed cells typed in place (";" allowed there).
//
// A failed save keeps the editor open with every edit. Deletions read back from the file not
// yet sent join the pending ones, so they are asked about and written again.
//
// Threads: the user-interface thread only. Prompter and pending deletions are not owned and
// must outlive the editor.

#include <memory>
#include <string>
#include <vector>

#include "naxml/editors/department_editor.h"
#include "naxml/editors/grid_model.h"
#include "naxml/editors/sub_list_editor.h"
#include "naxml/maintenance/maintenance_records.h"

namespace tw::naxml {

inline constexpr const char* kMixMatchEditorTitle = "Promotion/Mix Match Editor";
inline constexpr const char* kAddMixMatchButton = "Add Mix Match";
inline constexpr const char* kMixMatchSaveQuestion =
    "Would you like to save the Combo Mix Match Maintenance file in preparation for sending to "
    "the POS?";
inline constexpr const char* kDeleteMixMatchCaption = "Delete Combo Mix Match";

// The sub-editors' dialogs and the columns that open them.
inline constexpr int kPromotionDialog = 149;
inline constexpr int kItemListIdsDialog = 155;
inline constexpr int kMixMatchEntriesDialog = 156;
inline constexpr std::size_t kPromotionColumn = 1;
inline constexpr std::size_t kItemListIdsColumn = 8;
inline constexpr std::size_t kMixMatchEntriesColumn = 13;

class MixMatchEditor {
public:
    // canWrite: false for settings that cannot write NAXML files; the editor then stays open
    // without writing when confirmed.
    MixMatchEditor(MaintenanceSite site, Prompter& prompter, PendingDeletions& deletions,
                   bool canWrite = true);

    // Reads the file back and fills the grid: one row per offer and a free row, or 40 empty
    // rows; reads the item list IDs the item-list-ID sub-editor offers.
    void Load();
    GridModel& Grid() { return grid_; }
    const MaintenanceSite& Site() const { return site_; }

    // The sub-editor of a row's column (kPromotionColumn, kItemListIdsColumn or
    // kMixMatchEntriesColumn), loaded with its cell; null for any other column.
    std::unique_ptr<SubListEditor> SubEditor(std::size_t row, std::size_t column);

    // Asks to save (No keeps the editor open), asks about the pending deletions (No drops
    // them), then writes "MMT.XML". A failed write keeps the editor open with its edits.
    SaveOutcome Save();
    std::vector<MixMatchRow> Rows() const;

private:
    MaintenanceSite site_;
    Prompter& prompter_;
    PendingDeletions& deletions_;
    bool canWrite_;
    GridModel grid_;
    std::vector<std::string> itemListIds_;
};

}  // namespace tw::naxml
