#include "naxml/editors/department_editor.h"

#include "naxml/maintenance/maintenance_writers.h"

namespace tw::naxml {

bool AskSaveQuestions(Prompter& prompter, PendingDeletions& deletions, int editorId,
                      const SaveQuestions& questions) {
    if (!prompter.AskYesNo(kSaveFileCaption, questions.save))
        return false;
    const std::vector<std::string> keys = deletions.List(editorId);
    if (!keys.empty()) {
        std::string question = questions.deletePrefix;
        for (const std::string& key : keys) question += key + " ";
        question += " ? ";
        if (!prompter.AskYesNo(questions.deleteCaption, question))
            deletions.Clear(editorId);
    }
    return true;
}

DepartmentEditor::DepartmentEditor(MaintenanceSite site, Prompter& prompter,
                                   PendingDeletions& deletions, bool canWrite)
    : site_(std::move(site)),
      deletions_(deletions),
      canWrite_(canWrite),
      grid_({.rowDeletion = true, .keyColumn = 0, .editorId = kDepartmentEditorId}, prompter,
            deletions) {
    grid_.AddColumn(NumericColumn("ID", 1500, 0, ColumnAlignment::kCentre));
    grid_.AddColumn(TextColumn("Department", 2820));
}

void DepartmentEditor::Load() {
    DepartmentFiles files = ReadDepartmentFiles(site_.directory);
    shown_ = files.shown;
    for (DepartmentRow& row : files.rows)
        grid_.AppendRow({std::move(row.code), std::move(row.description)});
    const std::size_t empty = grid_.RowCount() == 0 ? kEmptyGridRows : 1;
    for (std::size_t n = 0; n < empty; ++n) grid_.AppendRow();
}

std::string DepartmentEditor::SaveQuestion() const {
    std::string question =
        "Would you like to save the Department Maintenance file in preparation for sending to "
        "the POS? ";
    const std::vector<std::string> keys = deletions_.List(kDepartmentEditorId);
    if (!keys.empty()) {
        question += "(Department Maintenance file includes deleting the following Department IDs: ";
        for (const std::string& key : keys) question += key + " ";
        question += ")";
    }
    return question;
}

std::vector<DepartmentRow> DepartmentEditor::Rows() const {
    std::vector<DepartmentRow> rows;
    for (std::size_t row = 0; row < grid_.RowCount(); ++row)
        rows.push_back({grid_.Cell(row, 0), grid_.Cell(row, 1)});
    return rows;
}

SaveOutcome DepartmentEditor::Save() {
    const std::vector<DepartmentRow> rows = Rows();
    // The question lists only what the file will delete.
    ForgetListedDepartments(rows, deletions_);
    if (!grid_.GetPrompter().AskYesNo(kSaveFileCaption, SaveQuestion()) || !canWrite_)
        return SaveOutcome::kClose;
    return SaveDepartmentFile(site_, rows, deletions_) ? SaveOutcome::kClose
                                                       : SaveOutcome::kStayOpen;
}

}  // namespace tw::naxml
