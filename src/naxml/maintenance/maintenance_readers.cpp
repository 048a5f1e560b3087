#include "naxml/maintenance/maintenance_readers.h"

#include <libxml/tree.h>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string_view>

#include "naxml/maintenance/maintenance_document.h"
#include "naxml/maintenance/packed_cell.h"
#include "naxml/maintenance/text_rules.h"
#include "platform/wildcard.h"

namespace tw::naxml {
namespace {

// The types of SalesRestrictFlag the grid offers in its drop-down; any other type is text.
constexpr std::array<std::string_view, 13> kSalesRestrictTypes{"prohibitEBT",
                                                               "requirePermit",
                                                               "prohibitAllDiscounts",
                                                               "prohibitReturn",
                                                               "prohibitRefund",
                                                               "allowFractionalQuantity",
                                                               "prohibitTaxModification",
                                                               "prohibitPriceOverride",
                                                               "prohibitPriceLookup",
                                                               "allowWIC",
                                                               "forceWeight",
                                                               "forceQuantity",
                                                               "prohibitFoodStamp"};

constexpr std::array<std::string_view, 3> kMixMatchValueElements{
    "MixMatchPrice", "MixMatchDiscountAmount", "MixMatchDiscountPercent"};

bool IsElementNamed(XmlNode node, std::string_view name) {
    return node != nullptr && node->type == XML_ELEMENT_NODE &&
           platform::EqualsIgnoreCase(XmlDocument::NodeName(node), name);
}

// Calls visit for every child element of parent with that name, in order.
template <typename Visit>
void ForEachChild(XmlNode parent, std::string_view name, Visit visit) {
    if (parent == nullptr)
        return;
    for (XmlNode child = parent->children; child != nullptr; child = child->next) {
        if (IsElementNamed(child, name))
            visit(child);
    }
}

std::string ChildText(XmlNode parent, std::string_view name) {
    return XmlDocument::Text(XmlDocument::ChildByName(parent, name));
}

std::string ChildAttribute(XmlNode parent, std::string_view element, std::string_view name) {
    return XmlDocument::Attribute(XmlDocument::ChildByName(parent, element), name);
}

bool IsDeletion(XmlNode detail) {
    return ChildAttribute(detail, "RecordAction", "type") == "delete";
}

bool HasAcceptedRoot(const XmlDocument& document, std::initializer_list<double> versions) {
    const XmlNode root = document.Root();
    if (root == nullptr || XmlDocument::NodeName(root) != kMaintenanceRootElement)
        return false;
    const std::optional<double> version = VersionNumber(XmlDocument::Attribute(root, "version"));
    return version && std::find(versions.begin(), versions.end(), *version) != versions.end();
}

// Calls visit for the first detail element of the document and each following sibling detail.
template <typename Visit>
void ForEachDetail(const XmlDocument& document, std::string_view detailName, Visit visit) {
    for (XmlNode detail = XmlDocument::FindByName(document.DocumentNode(), detailName);
         detail != nullptr; detail = detail->next) {
        if (!IsElementNamed(detail, detailName))
            continue;
        if (!visit(detail))
            return;
    }
}

std::string PackItemListEntries(XmlNode detail) {
    std::string cell;
    ForEachChild(detail, "ItemListEntry", [&cell](XmlNode entry) {
        const XmlNode itemCode = XmlDocument::ChildByName(entry, "ItemCode");
        AppendPackedField(cell, ChildText(itemCode, "POSCode"));
        AppendPackedField(cell, ChildAttribute(itemCode, "POSCodeFormat", "format"));
        AppendPackedField(cell, ChildText(itemCode, "POSCodeModifier"));
        AppendPackedField(cell, ChildText(itemCode, "InventoryItemID"));
        AppendPackedField(cell, ChildText(entry, "MerchandiseCode"));
    });
    return cell;
}

std::string PackComboItems(XmlNode detail) {
    std::string cell;
    ForEachChild(
        XmlDocument::ChildByName(detail, "ComboList"), "ComboItemList", [&cell](XmlNode item) {
            AppendPackedField(cell, ChildText(item, "ItemListID"));
            AppendPackedField(cell, ChildText(item, "ComboItemQuantity"));
            AppendPackedField(cell, ChildAttribute(item, "ComboItemQuantity", "uom"));
            AppendPackedField(cell, ChildText(item, "ComboItemUnitPrice"));
            AppendPackedField(cell, ChildText(item, "ComboItemDiscountAllocation"));
            AppendPackedField(cell, ChildAttribute(item, "ComboItemDiscountAllocation", "type"));
        });
    return cell;
}

std::string TrueUnlessNo(std::string_view value) {
    return value == "no" ? "FALSE" : "TRUE";
}
std::string TrueWhenYes(std::string_view value) {
    return value == "yes" ? "TRUE" : "FALSE";
}

void AppendRestrictionGroup(std::string& cell, std::string_view tag, std::string_view combo,
                            std::string_view text, std::string_view yesNo,
                            std::string_view start = {}, std::string_view stop = {}) {
    for (std::string_view field : {tag, combo, text, yesNo, start, stop}) {
        AppendPackedField(cell, field);
    }
}

std::string PackSalesRestriction(XmlNode detail) {
    const XmlNode restriction = XmlDocument::ChildByName(detail, "SalesRestriction");
    std::string cell;
    ForEachChild(restriction, "SalesRestrictFlag", [&cell](XmlNode flag) {
        const std::string type = XmlDocument::Attribute(flag, "type");
        const bool known =
            type.empty() || std::find(kSalesRestrictTypes.begin(), kSalesRestrictTypes.end(),
                                      type) != kSalesRestrictTypes.end();
        AppendRestrictionGroup(cell, "SalesRestrictFlag", known ? type : "", known ? "" : type,
                               TrueWhenYes(XmlDocument::Attribute(flag, "value")));
    });
    ForEachChild(restriction, "ProhibitDiscountFlag", [&cell](XmlNode flag) {
        AppendRestrictionGroup(cell, "ProhibitDiscountFlag", "", "",
                               TrueWhenYes(XmlDocument::Attribute(flag, "value")));
    });
    ForEachChild(restriction, "WeekdayAvailability", [&cell](XmlNode day) {
        AppendRestrictionGroup(cell, "WeekdayAvailability", XmlDocument::Attribute(day, "weekday"),
                               "", TrueWhenYes(XmlDocument::Attribute(day, "available")),
                               XmlDocument::Attribute(day, "startTime"),
                               XmlDocument::Attribute(day, "stopTime"));
    });
    for (std::string_view age : {"MinimumCustomerAge", "MinimumClerkAge"}) {
        ForEachChild(restriction, age, [&cell, age](XmlNode element) {
            AppendRestrictionGroup(cell, age, "", XmlDocument::Text(element), "");
        });
    }
    ForEachChild(restriction, "TransactionLimit", [&cell](XmlNode limit) {
        AppendRestrictionGroup(cell, "TransactionLimit", XmlDocument::Attribute(limit, "uom"),
                               XmlDocument::Text(limit), "");
    });
    return cell;
}

std::string PackMixMatchEntries(XmlNode detail) {
    std::string cell;
    ForEachChild(detail, "MixMatchEntry", [&cell](XmlNode entry) {
        AppendPackedField(cell, ChildText(entry, "MixMatchUnits"));
        AppendPackedField(cell, ChildAttribute(entry, "MixMatchUnits", "uom"));
        XmlNode value = nullptr;
        std::string_view valueName;
        for (std::string_view name : kMixMatchValueElements) {
            value = XmlDocument::ChildByName(entry, name);
            if (value != nullptr) {
                valueName = name;
                break;
            }
        }
        AppendPackedField(cell, valueName);
        AppendPackedField(cell, XmlDocument::Text(value));
    });
    return cell;
}

std::string PackPromotions(XmlNode detail) {
    std::string cell;
    ForEachChild(XmlDocument::ChildByName(detail, "MixMatchPromotions"), "MixMatchPromoEntry",
                 [&cell](XmlNode entry) {
                     AppendPackedField(cell, ChildText(entry, "StartTime"));
                     AppendPackedField(cell, ChildText(entry, "StopTime"));
                     AppendPackedField(cell, ChildText(entry, "MixMatchUnits"));
                     AppendPackedField(cell, ChildAttribute(entry, "MixMatchUnits", "uom"));
                     AppendPackedField(cell, ChildText(entry, "MixMatchPrice"));
                 });
    return cell;
}

std::string PackItemListIds(XmlNode detail) {
    std::string cell;
    ForEachChild(detail, "ItemListID",
                 [&cell](XmlNode id) { AppendPackedField(cell, XmlDocument::Text(id)); });
    return cell;
}

MixMatchRow MixMatchRecord(XmlNode detail) {
    MixMatchRow row;
    row.description = ChildText(detail, "MixMatchDescription");
    row.promotion = ChildText(detail, "MixMatchID");
    row.salesRestrictions = PackSalesRestriction(detail);
    row.highFlag = TrueUnlessNo(ChildAttribute(detail, "MixMatchStrictHighFlag", "value"));
    row.lowFlag = TrueUnlessNo(ChildAttribute(detail, "MixMatchStrictLowFlag", "value"));
    row.transactionLimit = ChildText(detail, "TransactionLimit");
    row.lotLimit = ChildText(detail, "LotLimit");
    row.lotUom = ChildAttribute(detail, "LotLimit", "uom");
    row.itemListIds = PackItemListIds(detail);
    row.startDate = ChildText(detail, "StartDate");
    row.startTime = ChildText(detail, "StartTime");
    row.stopDate = ChildText(detail, "StopDate");
    row.stopTime = ChildText(detail, "StopTime");
    row.entries = PackMixMatchEntries(detail);
    row.promotions = PackPromotions(detail);
    row.priority = ChildText(detail, "Priority");
    return row;
}

bool LoadFile(XmlDocument& document, const std::string& directory, std::string_view name) {
    return document.Load(platform::ExistingOrExactPath(directory, name));
}

}  // namespace

std::optional<XmlDocument> LoadMaintenanceFile(const std::string& directory,
                                               const MaintenanceTable& table) {
    XmlDocument document;
    if (LoadFile(document, directory, table.fileName) ||
        LoadFile(document, directory, table.lastSentName)) {
        return document;
    }
    return std::nullopt;
}

std::vector<ItemListRow> ReadItemListRecords(const XmlDocument& document,
                                             PendingDeletions& deletions) {
    std::vector<ItemListRow> rows;
    if (!HasAcceptedRoot(document, {3.3}))
        return rows;
    ForEachDetail(document, kItemListTable.detailElement, [&](XmlNode detail) {
        if (IsDeletion(detail)) {
            deletions.AddIfAbsent(kItemListEditorId, ChildText(detail, "ItemListID"));
        } else {
            rows.push_back({ChildText(detail, "ItemListID"),
                            ChildText(detail, "ItemListDescription"), PackItemListEntries(detail)});
        }
        return true;
    });
    return rows;
}

std::vector<ComboRow> ReadComboRecords(const XmlDocument& document, PendingDeletions& deletions) {
    std::vector<ComboRow> rows;
    if (!HasAcceptedRoot(document, {3.3, 3.4}))
        return rows;
    ForEachDetail(document, kComboTable.detailElement, [&](XmlNode detail) {
        if (IsDeletion(detail)) {
            deletions.AddIfAbsent(kComboEditorId, ChildText(detail, "ComboID"));
        } else {
            rows.push_back({ChildText(detail, "ComboID"), ChildText(detail, "ComboDescription"),
                            ChildText(detail, "ComboPrice"), PackComboItems(detail),
                            ChildText(detail, "StartDate"), ChildText(detail, "StartTime"),
                            ChildText(detail, "StopDate"), ChildText(detail, "StopTime")});
        }
        return true;
    });
    return rows;
}

std::vector<MixMatchRow> ReadMixMatchRecords(const XmlDocument& document,
                                             PendingDeletions* deletions) {
    std::vector<MixMatchRow> rows;
    if (!HasAcceptedRoot(document, {3.3, 3.4}))
        return rows;
    ForEachDetail(document, kMixMatchTable.detailElement, [&](XmlNode detail) {
        if (!IsDeletion(detail)) {
            rows.push_back(MixMatchRecord(detail));
        } else if (deletions != nullptr) {
            deletions->AddIfAbsent(kMixMatchEditorId, ChildText(detail, "MixMatchDescription"));
        }
        return true;
    });
    return rows;
}

std::vector<DepartmentRow> ReadDepartmentRecords(const XmlDocument& document) {
    std::vector<DepartmentRow> rows;
    ForEachDetail(document, kDepartmentTable.detailElement, [&](XmlNode detail) {
        if (XmlDocument::ChildByName(detail, "RecordAction") == nullptr)
            return false;
        if (!IsDeletion(detail)) {
            rows.push_back({std::to_string(LeadingInteger(ChildText(detail, "MerchandiseCode"))),
                            ChildText(detail, "MerchandiseCodeDescription")});
        }
        return true;
    });
    return rows;
}

std::vector<ItemListRow> ReadItemListFile(const std::string& directory,
                                          PendingDeletions& deletions) {
    const std::optional<XmlDocument> document = LoadMaintenanceFile(directory, kItemListTable);
    return document ? ReadItemListRecords(*document, deletions) : std::vector<ItemListRow>();
}

std::vector<ComboRow> ReadComboFile(const std::string& directory, PendingDeletions& deletions) {
    const std::optional<XmlDocument> document = LoadMaintenanceFile(directory, kComboTable);
    return document ? ReadComboRecords(*document, deletions) : std::vector<ComboRow>();
}

std::vector<MixMatchRow> ReadMixMatchFile(const std::string& directory,
                                          PendingDeletions& deletions) {
    // Deletions of the file still waiting to be sent would be lost by the next save; those of
    // the copy already sent are done.
    XmlDocument document;
    if (LoadFile(document, directory, kMixMatchTable.fileName))
        return ReadMixMatchRecords(document, &deletions);
    if (LoadFile(document, directory, kMixMatchTable.lastSentName))
        return ReadMixMatchRecords(document, nullptr);
    return {};
}

DepartmentFiles ReadDepartmentFiles(const std::string& directory) {
    DepartmentFiles files;
    XmlDocument document;
    if (LoadFile(document, directory, kDepartmentTable.lastSentName)) {
        files.shown = DepartmentSet::kLastSent;
        files.rows = ReadDepartmentRecords(document);
    }
    if (LoadFile(document, directory, kDepartmentTable.fileName)) {
        files.shown = DepartmentSet::kPending;
        files.rows = ReadDepartmentRecords(document);
    }
    return files;
}

std::vector<std::string> ReadItemListIds(const std::string& directory) {
    std::vector<std::string> ids;
    const std::optional<XmlDocument> document = LoadMaintenanceFile(directory, kItemListTable);
    if (!document || !HasAcceptedRoot(*document, {3.3, 3.4}))
        return ids;
    ForEachDetail(*document, kItemListTable.detailElement, [&ids](XmlNode detail) {
        if (!IsDeletion(detail)) {
            std::string id = ChildText(detail, "ItemListID");
            if (!id.empty())
                ids.push_back(std::move(id));
        }
        return true;
    });
    return ids;
}

}  // namespace tw::naxml
