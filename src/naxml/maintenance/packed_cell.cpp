#include "naxml/maintenance/packed_cell.h"

namespace tw::naxml {

std::string_view PackedCellCursor::Next() {
    const std::size_t end = rest_.find(';');
    std::string_view field;
    if (end == std::string_view::npos) {
        field = rest_;
        rest_ = {};
    } else {
        field = rest_.substr(0, end);
        rest_.remove_prefix(end + 1);
    }
    return field;
}

std::vector<PackedGroup> SplitPackedCell(std::string_view cell, std::size_t fieldsPerGroup) {
    std::vector<PackedGroup> groups;
    if (fieldsPerGroup == 0)
        return groups;
    PackedCellCursor cursor(cell);
    while (!cursor.AtEnd()) {
        PackedGroup group;
        group.reserve(fieldsPerGroup);
        for (std::size_t i = 0; i < fieldsPerGroup; ++i) group.emplace_back(cursor.Next());
        groups.push_back(std::move(group));
    }
    return groups;
}

void AppendPackedField(std::string& cell, std::string_view field) {
    cell.append(field);
    cell.push_back(';');
}

std::string PackCell(const std::vector<PackedGroup>& groups) {
    std::string cell;
    for (const PackedGroup& group : groups) {
        for (const std::string& field : group) AppendPackedField(cell, field);
    }
    return cell;
}

}  // namespace tw::naxml
