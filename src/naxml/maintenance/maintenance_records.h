#pragma once
// The four NAXML maintenance request files the editors prepare for the POS, and the records
// their grids edit. A record holds the texts of one grid row, column by column; sub-lists are
// packed list cells (packed_cell.h). The same records are what the readers give back from a
// file, so an editor can be filled from a reader and saved through a writer unchanged.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tw::naxml {

// Editor identifiers: they key the pending deletions of each grid.
inline constexpr int kComboEditorId = 148;
inline constexpr int kDepartmentEditorId = 152;
inline constexpr int kMixMatchEditorId = 154;
inline constexpr int kItemListEditorId = 161;

// What one kind of maintenance file is called and how it is laid out.
struct MaintenanceTable {
    std::string_view fileName;       // waiting to be sent, "MCT.XML"
    std::string_view lastSentName;   // the copy kept after sending, "MCTBAK.XML"
    std::string_view tableElement;   // "MerchandiseCodeMaintenance"
    std::string_view detailElement;  // "MCTDetail"
    std::string_view keyElement;     // the element carrying the record key of a deletion
    std::string_view version;        // the root's version attribute
    bool namespacedRoot;             // root start tag with the NAXML namespace declarations
    int editorId;
};

inline constexpr MaintenanceTable kDepartmentTable{.fileName = "MCT.XML",
                                                   .lastSentName = "MCTBAK.XML",
                                                   .tableElement = "MerchandiseCodeMaintenance",
                                                   .detailElement = "MCTDetail",
                                                   .keyElement = "MerchandiseCode",
                                                   .version = "3.2",
                                                   .namespacedRoot = false,
                                                   .editorId = kDepartmentEditorId};
inline constexpr MaintenanceTable kItemListTable{.fileName = "ILT.XML",
                                                 .lastSentName = "ILTBAK.XML",
                                                 .tableElement = "ItemListMaintenance",
                                                 .detailElement = "ILTDetail",
                                                 .keyElement = "ItemListID",
                                                 .version = "3.3",
                                                 .namespacedRoot = false,
                                                 .editorId = kItemListEditorId};
inline constexpr MaintenanceTable kComboTable{.fileName = "CBT.XML",
                                              .lastSentName = "CBTBAK.XML",
                                              .tableElement = "ComboMaintenance",
                                              .detailElement = "CBTDetail",
                                              .keyElement = "ComboID",
                                              .version = "3.3",
                                              .namespacedRoot = false,
                                              .editorId = kComboEditorId};
inline constexpr MaintenanceTable kMixMatchTable{.fileName = "MMT.XML",
                                                 .lastSentName = "MMTBAK.XML",
                                                 .tableElement = "MixMatchMaintenance",
                                                 .detailElement = "MMTDetail",
                                                 .keyElement = "MixMatchDescription",
                                                 .version = "3.3",
                                                 .namespacedRoot = true,
                                                 .editorId = kMixMatchEditorId};

// The program's name and version, written as VendorModelVersion.
inline constexpr std::string_view kProgramNameAndVersion = "Tidewell 1.1.1.9";

// Who writes and where: the site number (StoreLocationID), the program's name and version,
// and the maintenance directory (a local path; the sender collects the files there).
struct MaintenanceSite {
    int siteNumber = 1;
    std::string nameAndVersion{kProgramNameAndVersion};
    std::string directory;
};

// Department grid (MCT.XML).
struct DepartmentRow {
    std::string code;         // col 0 "ID": MerchandiseCode
    std::string description;  // col 1 "Department"
};

// Item list grid (ILT.XML).
struct ItemListRow {
    std::string id;           // col 0 "ItemListID"
    std::string description;  // col 1 "Description"
    std::string entries;      // col 2 "ItemList": packed, item_list_entry fields
};

// Combo grid (CBT.XML).
struct ComboRow {
    std::string id;           // col 0 "ComboID"
    std::string description;  // col 1 "Description"
    std::string price;        // col 2 "Price"
    std::string items;        // col 3 "ComboList": packed, combo_item fields
    std::string startDate;    // col 4
    std::string startTime;    // col 5
    std::string stopDate;     // col 6
    std::string stopTime;     // col 7
};

// Mix-and-match grid (MMT.XML). The record key is the description.
struct MixMatchRow {
    std::string description;        // col 0 "Description"
    std::string promotion;          // col 1 "Promotion": packed, promotion fields
    std::string salesRestrictions;  // col 2 "SalesRestrict": packed, sales_restriction fields
    std::string highFlag;           // col 3 "TRUE" / "FALSE"
    std::string lowFlag;            // col 4 "TRUE" / "FALSE"
    std::string transactionLimit;   // col 5
    std::string lotLimit;           // col 6
    std::string lotUom;             // col 7
    std::string itemListIds;        // col 8: packed, one field per group
    std::string startDate;          // col 9
    std::string startTime;          // col 10
    std::string stopDate;           // col 11
    std::string stopTime;           // col 12
    std::string entries;            // col 13 "MixMatchEntry": packed, mix_match_entry fields
    std::string promotions;         // col 14 "MixMatchPromotions": packed, mix_match_promotion
    std::string priority;           // col 15
};

// Each record's fields in grid column order, for grids that address cells by column:
// row.*kComboColumns[3] is the ComboList cell.
inline constexpr std::array<std::string DepartmentRow::*, 2> kDepartmentColumns{
    &DepartmentRow::code, &DepartmentRow::description};
inline constexpr std::array<std::string ItemListRow::*, 3> kItemListColumns{
    &ItemListRow::id, &ItemListRow::description, &ItemListRow::entries};
inline constexpr std::array<std::string ComboRow::*, 8> kComboColumns{
    &ComboRow::id,        &ComboRow::description, &ComboRow::price,    &ComboRow::items,
    &ComboRow::startDate, &ComboRow::startTime,   &ComboRow::stopDate, &ComboRow::stopTime};
inline constexpr std::array<std::string MixMatchRow::*, 16> kMixMatchColumns{
    &MixMatchRow::description, &MixMatchRow::promotion, &MixMatchRow::salesRestrictions,
    &MixMatchRow::highFlag,    &MixMatchRow::lowFlag,   &MixMatchRow::transactionLimit,
    &MixMatchRow::lotLimit,    &MixMatchRow::lotUom,    &MixMatchRow::itemListIds,
    &MixMatchRow::startDate,   &MixMatchRow::startTime, &MixMatchRow::stopDate,
    &MixMatchRow::stopTime,    &MixMatchRow::entries,   &MixMatchRow::promotions,
    &MixMatchRow::priority};

// Descriptions are written cut to this many characters (characters, not bytes).
inline constexpr std::size_t kDescriptionChars = 30;

}  // namespace tw::naxml
