#include "naxml/editors/sub_list_editor.h"

namespace tw::naxml {

SubListEditor::SubListEditor(std::string title, int dialogId, std::vector<GridColumn> columns,
                             std::size_t minimumRows, Prompter& prompter)
    : title_(std::move(title)),
      minimumRows_(minimumRows),
      grid_({.rowDeletion = false, .keyColumn = 0, .editorId = dialogId}, prompter, noDeletions_) {
    for (GridColumn& column : columns) grid_.AddColumn(std::move(column));
}

void SubListEditor::Load(std::string_view cell) {
    for (auto& row : SubEditorRows(cell, grid_.ColumnCount(), minimumRows_))
        grid_.AppendRow(std::move(row));
}

std::string SubListEditor::Confirm() const {
    std::vector<std::vector<std::string>> rows;
    for (std::size_t row = 0; row < grid_.RowCount(); ++row) rows.push_back(grid_.Row(row));
    return PackSubEditorRows(rows, grid_.ColumnCount(), minimumRows_);
}

GridColumn PackedFieldColumn(std::string caption, int widthTwips, ColumnAlignment alignment) {
    GridColumn column = TextColumn(std::move(caption), widthTwips, alignment);
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

}  // namespace tw::naxml
