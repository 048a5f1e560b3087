#pragma once
// The department editor's logic: the departments (NAXML merchandise codes) of a site by number
// and name, read back from the file waiting to be sent ("MCT.XML") or else from the copy last
// sent ("MCTBAK.XML"), and saved as "MCT.XML" for the sender after the user confirms.
//
// A failed save keeps the editor open with every edit, so the user can try again or cancel;
// deletions are written once and forgotten after a successful save.
//
// Threads: the user-interface thread only. The prompter and the pending deletions are not
// owned and must outlive the editor.

#include <string>
#include <vector>

#include "naxml/editors/grid_model.h"
#include "naxml/maintenance/maintenance_readers.h"
#include "naxml/maintenance/maintenance_records.h"

namespace tw::naxml {

inline constexpr const char* kDepartmentEditorTitle = "Department Editor";
inline constexpr const char* kAddDepartmentButton = "Add Department";
inline constexpr const char* kSaveFileCaption = "Save File";
// Empty rows offered when there is nothing to read back.
inline constexpr std::size_t kEmptyGridRows = 40;

// What a confirmed editor does next.
enum class SaveOutcome {
    kClose,    // saved, or the user chose not to save
    kStayOpen  // the file could not be written: the edits are still there
};

// The two questions of the combo, mix-and-match and item list editors' save: whether to save
// (false: the editor stays open), then whether to delete the editor's pending deletions,
// listed after deletePrefix (No drops them).
struct SaveQuestions {
    const char* save;
    const char* deleteCaption;
    const char* deletePrefix;
};
bool AskSaveQuestions(Prompter& prompter, PendingDeletions& deletions, int editorId,
                      const SaveQuestions& questions);

class DepartmentEditor {
public:
    // canWrite: false for settings that cannot write NAXML files; the editor then closes
    // without writing when confirmed.
    DepartmentEditor(MaintenanceSite site, Prompter& prompter, PendingDeletions& deletions,
                     bool canWrite = true);

    // Reads the files back and fills the grid: the records of the file shown, then one empty
    // row; 40 empty rows when neither file could be read.
    void Load();
    DepartmentSet Shown() const { return shown_; }

    GridModel& Grid() { return grid_; }
    const MaintenanceSite& Site() const { return site_; }

    // The save question, with the note listing the departments to be deleted.
    std::string SaveQuestion() const;
    // Asks the save question; on Yes writes "MCT.XML".
    SaveOutcome Save();

    // The grid's rows as records.
    std::vector<DepartmentRow> Rows() const;

private:
    MaintenanceSite site_;
    PendingDeletions& deletions_;
    bool canWrite_;
    GridModel grid_;
    DepartmentSet shown_ = DepartmentSet::kNone;
};

}  // namespace tw::naxml
