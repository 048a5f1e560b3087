#pragma once
// A sub-editor of a packed list cell that needs no logic of its own: a grid whose rows are the
// cell's groups, one field per column, loaded from the cell and packed back on OK. The combo
// list and the mix-and-match promotion, item-list-ID and entry sub-editors are all of this
// kind.
//
// Threads: the user-interface thread only. The prompter is not owned.

#include <string>
#include <string_view>
#include <vector>

#include "naxml/editors/grid_model.h"

namespace tw::naxml {

class SubListEditor {
public:
    // columns: one per field of a group; minimumRows: the rows shown at least.
    SubListEditor(std::string title, int dialogId, std::vector<GridColumn> columns,
                  std::size_t minimumRows, Prompter& prompter);

    const std::string& Title() const { return title_; }
    GridModel& Grid() { return grid_; }

    // Shows the packed list: every group and one free row, at least minimumRows rows.
    void Load(std::string_view cell);
    // The packed list of the rows.
    std::string Confirm() const;

private:
    std::string title_;
    std::size_t minimumRows_;
    PendingDeletions noDeletions_;  // a sub-editor deletes no rows
    GridModel grid_;
};

// A text column of a packed cell's field: it cannot take the ';' that separates the fields.
GridColumn PackedFieldColumn(std::string caption, int widthTwips,
                             ColumnAlignment alignment = ColumnAlignment::kLeft);
// Date and time columns, reformatted when committed.
GridColumn DateColumn(std::string caption, int widthTwips);
GridColumn TimeColumn(std::string caption, int widthTwips);

}  // namespace tw::naxml
