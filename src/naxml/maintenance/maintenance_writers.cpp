#include "naxml/maintenance/maintenance_writers.h"

#include <algorithm>
#include <array>
#include <vector>

#include "messages/program_messages.h"
#include "naxml/maintenance/packed_cell.h"
#include "naxml/maintenance/text_rules.h"
#include "platform/paths.h"

namespace tw::naxml {
namespace {

constexpr std::array<std::string_view, 3> kMixMatchValueElements{
    "MixMatchPrice", "MixMatchDiscountAmount", "MixMatchDiscountPercent"};

bool IsMixMatchValueElement(std::string_view name) {
    return std::find(kMixMatchValueElements.begin(), kMixMatchValueElements.end(), name) !=
           kMixMatchValueElements.end();
}

// The flags of the mix-and-match grid are "TRUE", "FALSE" or empty: only "FALSE" means no.
std::string_view YesUnlessFalse(std::string_view flag) {
    return flag == "FALSE" ? "no" : "yes";
}

void AppendDeletions(MaintenanceDocument& document, std::span<const std::string> deletions) {
    for (const std::string& key : deletions) document.AppendDeletion(key);
}

// ---- item lists ----

void AppendItemListEntries(XmlDocument& doc, XmlNode detail, std::string_view cell) {
    namespace f = item_list_entry;
    for (const PackedGroup& group : SplitPackedCell(cell, f::kFieldCount)) {
        const std::string& posCode = group[f::kPosCode];
        if (posCode.empty() || posCode == "0")
            continue;
        XmlNode entry = doc.AppendElement(detail, "ItemListEntry");
        XmlNode itemCode = doc.AppendElement(entry, "ItemCode");
        doc.SetAttribute(doc.AppendElement(itemCode, "POSCodeFormat"), "format",
                         group[f::kPosCodeFormat]);
        AppendAlways(doc, itemCode, "POSCode", posCode);
        AppendAlways(doc, itemCode, "POSCodeModifier", group[f::kPosCodeModifier]);
        AppendIfSet(doc, itemCode, "InventoryItemID", group[f::kInventoryItemId]);
        AppendIfSet(doc, entry, "MerchandiseCode", group[f::kMerchandiseCode]);
    }
}

// ---- combos ----

void AppendComboList(XmlDocument& doc, XmlNode detail, std::string_view cell) {
    namespace f = combo_item;
    const std::vector<PackedGroup> groups = SplitPackedCell(cell, f::kFieldCount);
    const bool any = std::any_of(groups.begin(), groups.end(), [](const PackedGroup& group) {
        return !group[f::kItemListId].empty();
    });
    if (!any)
        return;
    XmlNode list = doc.AppendElement(detail, "ComboList");
    for (const PackedGroup& group : groups) {
        if (group[f::kItemListId].empty())
            continue;
        XmlNode item = doc.AppendElement(list, "ComboItemList");
        AppendAlways(doc, item, "ItemListID", group[f::kItemListId]);
        XmlNode quantity = AppendAlways(doc, item, "ComboItemQuantity", group[f::kQuantity]);
        SetAttributeIfSet(doc, quantity, "uom", group[f::kQuantityUom]);
        AppendIfSet(doc, item, "ComboItemUnitPrice", group[f::kUnitPrice]);
        if (XmlNode allocation = AppendIfSet(doc, item, "ComboItemDiscountAllocation",
                                             group[f::kDiscountAllocation])) {
            SetAttributeIfSet(doc, allocation, "type", group[f::kDiscountAllocationType]);
        }
    }
}

// ---- mix-and-match ----

void AppendSalesRestriction(XmlDocument& doc, XmlNode detail, std::string_view cell) {
    namespace f = sales_restriction;
    const std::vector<PackedGroup> groups = SplitPackedCell(cell, f::kFieldCount);
    const bool anyTag = std::any_of(groups.begin(), groups.end(), [](const PackedGroup& group) {
        return !group[f::kTag].empty();
    });
    if (!anyTag)
        return;

    XmlNode restriction = doc.AppendElement(detail, "SalesRestriction");
    // The POS expects the children kind by kind in this order; groups of one kind keep their
    // order in the cell (the same as sorting the groups stably by tag first).
    const auto each = [&groups](std::string_view tag, auto&& write) {
        for (const PackedGroup& group : groups) {
            if (group[f::kTag] == tag)
                write(group);
        }
    };
    each("SalesRestrictFlag", [&](const PackedGroup& g) {
        XmlNode flag = doc.AppendElement(restriction, "SalesRestrictFlag");
        doc.SetAttribute(flag, "value", YesUnlessFalse(g[f::kYesNo]));
        doc.SetAttribute(flag, "type",
                         g[f::kValueText].empty() ? g[f::kValueCombo] : g[f::kValueText]);
    });
    each("ProhibitDiscountFlag", [&](const PackedGroup& g) {
        doc.SetAttribute(doc.AppendElement(restriction, "ProhibitDiscountFlag"), "value",
                         YesUnlessFalse(g[f::kYesNo]));
    });
    each("WeekdayAvailability", [&](const PackedGroup& g) {
        XmlNode day = doc.AppendElement(restriction, "WeekdayAvailability");
        SetAttributeIfSet(doc, day, "weekday", g[f::kValueCombo]);
        doc.SetAttribute(day, "available", YesUnlessFalse(g[f::kYesNo]));
        SetAttributeIfSet(doc, day, "startTime", g[f::kStart]);
        SetAttributeIfSet(doc, day, "stopTime", g[f::kStop]);
    });
    each("MinimumCustomerAge", [&](const PackedGroup& g) {
        AppendIfSet(doc, restriction, "MinimumCustomerAge", g[f::kValueText]);
    });
    each("MinimumClerkAge", [&](const PackedGroup& g) {
        AppendIfSet(doc, restriction, "MinimumClerkAge", g[f::kValueText]);
    });
    each("TransactionLimit", [&](const PackedGroup& g) {
        if (XmlNode limit = AppendIfSet(doc, restriction, "TransactionLimit", g[f::kValueText])) {
            SetAttributeIfSet(doc, limit, "uom", g[f::kValueCombo]);
        }
    });
}

void AppendMixMatchEntries(XmlDocument& doc, XmlNode detail, std::string_view cell) {
    namespace f = mix_match_entry;
    for (const PackedGroup& group : SplitPackedCell(cell, f::kFieldCount)) {
        if (group[f::kUnits].empty())
            continue;
        XmlNode entry = doc.AppendElement(detail, "MixMatchEntry");
        XmlNode units = AppendAlways(doc, entry, "MixMatchUnits", group[f::kUnits]);
        SetAttributeIfSet(doc, units, "uom", group[f::kUnitsUom]);
        // Only a name the POS knows becomes an element; anything else would make the file
        // unreadable.
        if (IsMixMatchValueElement(group[f::kValueElement])) {
            AppendAlways(doc, entry, group[f::kValueElement], group[f::kValue]);
        }
    }
}

void AppendPromotions(XmlDocument& doc, XmlNode detail, std::string_view cell) {
    namespace f = mix_match_promotion;
    const std::vector<PackedGroup> groups = SplitPackedCell(cell, f::kFieldCount);
    const bool any = std::any_of(groups.begin(), groups.end(), [](const PackedGroup& group) {
        return !group[f::kStartTime].empty();
    });
    if (!any)
        return;
    XmlNode promotions = doc.AppendElement(detail, "MixMatchPromotions");
    for (const PackedGroup& group : groups) {
        if (group[f::kStopTime].empty())
            continue;
        XmlNode entry = doc.AppendElement(promotions, "MixMatchPromoEntry");
        AppendAlways(doc, entry, "StartTime", group[f::kStartTime]);
        AppendAlways(doc, entry, "StopTime", group[f::kStopTime]);
        XmlNode units = AppendAlways(doc, entry, "MixMatchUnits", group[f::kUnits]);
        SetAttributeIfSet(doc, units, "uom", group[f::kUnitsUom]);
        AppendAlways(doc, entry, "MixMatchPrice", group[f::kPrice]);
    }
}

void AppendMixMatchDetail(MaintenanceDocument& document, const MixMatchRow& row) {
    XmlDocument& doc = document.Document();
    XmlNode detail = document.AppendDetail(true);
    PackedCellCursor promotion(row.promotion);
    AppendAlways(doc, detail, "MixMatchID", promotion.Next());
    AppendAlways(doc, detail, "MixMatchDescription",
                 CutToChars(row.description, kDescriptionChars));
    AppendSalesRestriction(doc, detail, row.salesRestrictions);
    doc.SetAttribute(doc.AppendElement(detail, "MixMatchStrictHighFlag"), "value",
                     YesUnlessFalse(row.highFlag));
    doc.SetAttribute(doc.AppendElement(detail, "MixMatchStrictLowFlag"), "value",
                     YesUnlessFalse(row.lowFlag));
    AppendIfSet(doc, detail, "TransactionLimit", row.transactionLimit);
    if (XmlNode lot = AppendIfSet(doc, detail, "LotLimit", row.lotLimit)) {
        SetAttributeIfSet(doc, lot, "uom", row.lotUom);
    }
    for (const PackedGroup& group : SplitPackedCell(row.itemListIds, 1)) {
        AppendIfSet(doc, detail, "ItemListID", group[0]);
    }
    AppendAlways(doc, detail, "StartDate", row.startDate);
    AppendAlways(doc, detail, "StartTime", row.startTime);
    AppendAlways(doc, detail, "StopDate", row.stopDate);
    AppendAlways(doc, detail, "StopTime", row.stopTime);
    AppendMixMatchEntries(doc, detail, row.entries);
    AppendPromotions(doc, detail, row.promotions);
    AppendIfSet(doc, detail, "Priority", row.priority);
}

// Reports, writes and reports a failure; true when the file was written.
bool SaveReported(const MaintenanceDocument& document, const std::string& path,
                  const char* savingFormat, const char* failureText) {
    FormatMessageTo(statusMessages(), savingFormat, path.c_str());
    int error = 0;
    if (document.Save(path, &error))
        return true;
    FormatMessageTo(logMessages(), "Cannot write %s: %s", path.c_str(),
                    SystemErrorText(error).c_str());
    SendMessageText(errorMessages(), failureText);
    return false;
}

// The item-list, combo and mix-and-match editors: their deletions are done once written.
template <typename Row, typename Build>
bool SaveAndClear(const MaintenanceSite& site, const MaintenanceTable& table,
                  std::span<const Row> rows, PendingDeletions& deletions, Build build,
                  const char* failureText) {
    const std::vector<std::string> keys = deletions.List(table.editorId);
    const MaintenanceDocument document = build(site, rows, keys);
    if (!SaveReported(document, MaintenanceFilePath(site, table), kSavingComboFile, failureText)) {
        return false;
    }
    deletions.Clear(table.editorId);
    return true;
}

}  // namespace

void ForgetListedDepartments(std::span<const DepartmentRow> rows, PendingDeletions& deletions) {
    const int editor = kDepartmentTable.editorId;
    const std::vector<std::string> recorded = deletions.List(editor);
    deletions.Clear(editor);
    for (const std::string& key : recorded) {
        const bool listed = std::any_of(rows.begin(), rows.end(), [&key](const DepartmentRow& row) {
            return TrimWhiteSpace(row.code) == TrimWhiteSpace(key);
        });
        if (!listed)
            deletions.Add(editor, key);
    }
}

std::string MaintenanceFilePath(const MaintenanceSite& site, const MaintenanceTable& table) {
    return platform::JoinPath(site.directory, table.fileName);
}

MaintenanceDocument BuildDepartmentDocument(const MaintenanceSite& site,
                                            std::span<const DepartmentRow> rows,
                                            std::span<const std::string> deletions) {
    MaintenanceDocument document(kDepartmentTable, site.siteNumber, site.nameAndVersion);
    XmlDocument& doc = document.Document();
    for (const DepartmentRow& row : rows) {
        const std::string_view code = TrimWhiteSpace(row.code);
        if (code.empty())
            continue;
        XmlNode detail = document.AppendDetail(true);
        AppendAlways(doc, detail, "MerchandiseCode", code);
        AppendAlways(doc, detail, "MerchandiseCodeDescription",
                     TrimWhiteSpace(CutToChars(row.description, kDescriptionChars)));
    }
    // The grid shows codes right-aligned (" 12"); the POS knows them as written above.
    for (const std::string& key : deletions) document.AppendDeletion(TrimWhiteSpace(key));
    return document;
}

MaintenanceDocument BuildItemListDocument(const MaintenanceSite& site,
                                          std::span<const ItemListRow> rows,
                                          std::span<const std::string> deletions) {
    MaintenanceDocument document(kItemListTable, site.siteNumber, site.nameAndVersion);
    XmlDocument& doc = document.Document();
    for (const ItemListRow& row : rows) {
        if (row.id.empty())
            continue;
        XmlNode detail = document.AppendDetail(true);
        AppendAlways(doc, detail, "ItemListID", row.id);
        AppendAlways(doc, detail, "ItemListDescription",
                     CutToChars(row.description, kDescriptionChars));
        AppendItemListEntries(doc, detail, row.entries);
    }
    AppendDeletions(document, deletions);
    return document;
}

MaintenanceDocument BuildComboDocument(const MaintenanceSite& site, std::span<const ComboRow> rows,
                                       std::span<const std::string> deletions) {
    MaintenanceDocument document(kComboTable, site.siteNumber, site.nameAndVersion);
    XmlDocument& doc = document.Document();
    for (const ComboRow& row : rows) {
        if (row.id.empty())
            continue;
        // The POS takes a combo without RecordAction as an addition or change.
        XmlNode detail = document.AppendDetail(false);
        AppendAlways(doc, detail, "ComboID", row.id);
        AppendIfSet(doc, detail, "ComboDescription",
                    CutToChars(row.description, kDescriptionChars));
        AppendIfSet(doc, detail, "ComboPrice", row.price);
        AppendComboList(doc, detail, row.items);
        AppendIfSet(doc, detail, "StartDate", row.startDate);
        AppendIfSet(doc, detail, "StartTime", row.startTime);
        AppendIfSet(doc, detail, "StopDate", row.stopDate);
        AppendIfSet(doc, detail, "StopTime", row.stopTime);
    }
    AppendDeletions(document, deletions);
    return document;
}

MaintenanceDocument BuildMixMatchDocument(const MaintenanceSite& site,
                                          std::span<const MixMatchRow> rows,
                                          std::span<const std::string> deletions) {
    MaintenanceDocument document(kMixMatchTable, site.siteNumber, site.nameAndVersion);
    for (const MixMatchRow& row : rows) {
        if (!row.description.empty())
            AppendMixMatchDetail(document, row);
    }
    AppendDeletions(document, deletions);
    return document;
}

bool SaveDepartmentFile(const MaintenanceSite& site, std::span<const DepartmentRow> rows,
                        PendingDeletions& deletions) {
    const int editor = kDepartmentTable.editorId;
    ForgetListedDepartments(rows, deletions);
    const std::vector<std::string> keys = deletions.List(editor);
    const MaintenanceDocument document = BuildDepartmentDocument(site, rows, keys);
    if (!SaveReported(document, MaintenanceFilePath(site, kDepartmentTable), kSavingDepartmentFile,
                      kDepartmentWriteFailed)) {
        return false;
    }
    deletions.Clear(editor);
    return true;
}

bool SaveItemListFile(const MaintenanceSite& site, std::span<const ItemListRow> rows,
                      PendingDeletions& deletions) {
    return SaveAndClear(site, kItemListTable, rows, deletions, BuildItemListDocument,
                        kComboWriteFailed);
}

bool SaveComboFile(const MaintenanceSite& site, std::span<const ComboRow> rows,
                   PendingDeletions& deletions) {
    return SaveAndClear(site, kComboTable, rows, deletions, BuildComboDocument, kComboWriteFailed);
}

bool SaveMixMatchFile(const MaintenanceSite& site, std::span<const MixMatchRow> rows,
                      PendingDeletions& deletions) {
    return SaveAndClear(site, kMixMatchTable, rows, deletions, BuildMixMatchDocument,
                        kMixMatchWriteFailed);
}

}  // namespace tw::naxml
