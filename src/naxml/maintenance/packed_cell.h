#pragma once
// Packed list cells: a grid cell that stands for a sub-list (item-list entries, combo items,
// mix-and-match entries, promotion windows, item-list IDs, sales restrictions) holds its rows
// as consecutive groups of a fixed number of fields, every field followed by ';' (an empty
// field is just ";"). The readers of the maintenance files build such text from a file, the
// sub-editors of the grid produce it, and the writers take it apart.
//
// A field cannot hold ';' itself: the format has no escape.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tw::naxml {

// Takes fields off the front of a packed cell, one at a time.
class PackedCellCursor {
public:
    explicit PackedCellCursor(std::string_view cell) : rest_(cell) {}

    // The characters before the next ';', dropped from the rest together with the ';'. When no
    // ';' is left, the whole rest is the field and every later field is empty.
    std::string_view Next();
    bool AtEnd() const { return rest_.empty(); }

private:
    std::string_view rest_;
};

using PackedGroup = std::vector<std::string>;

// Every group the cell holds, each with exactly fieldsPerGroup fields; a last group that is
// cut short is completed with empty fields. An empty cell holds no group.
std::vector<PackedGroup> SplitPackedCell(std::string_view cell, std::size_t fieldsPerGroup);

// Appends field and its ';'.
void AppendPackedField(std::string& cell, std::string_view field);
// The groups' fields in order, each followed by ';'.
std::string PackCell(const std::vector<PackedGroup>& groups);

// Field positions of the groups of each kind of packed cell.
namespace item_list_entry {
enum : std::size_t {
    kPosCode,
    kPosCodeFormat,
    kPosCodeModifier,
    kInventoryItemId,
    kMerchandiseCode,
    kFieldCount
};
}
namespace combo_item {
enum : std::size_t {
    kItemListId,
    kQuantity,
    kQuantityUom,
    kUnitPrice,
    kDiscountAllocation,
    kDiscountAllocationType,
    kFieldCount
};
}
namespace sales_restriction {
enum : std::size_t { kTag, kValueCombo, kValueText, kYesNo, kStart, kStop, kFieldCount };
}
namespace mix_match_entry {
enum : std::size_t { kUnits, kUnitsUom, kValueElement, kValue, kFieldCount };
}
namespace mix_match_promotion {
enum : std::size_t { kStartTime, kStopTime, kUnits, kUnitsUom, kPrice, kFieldCount };
}
// The promotion cell of a mix-and-match row: its first field is the MixMatchID.
namespace promotion {
enum : std::size_t { kId, kIdType, kReasonCombo, kReasonText, kAmount, kFieldCount };
}

}  // namespace tw::naxml
