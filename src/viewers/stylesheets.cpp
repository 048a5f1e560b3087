#include "viewers/stylesheets.h"

#include <libxml/parser.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <array>
#include <cstdlib>
#include <initializer_list>
#include <mutex>
#include <string_view>
#include <vector>

#include "messages/program_messages.h"

namespace tw::viewers {
namespace {

// A cell: its header text and the XPath expression, relative to the row, of its value. A
// spelled cell shows its value through the code names of the miscellaneous summary.
struct Column {
    std::string_view header;
    std::string select;
    bool spelled = false;
};

// One table: an optional caption above it, the rows (an XPath expression from the document),
// the cells, and an optional test that must hold for the table to be written at all.
struct Table {
    std::string_view caption;
    std::string_view rows;
    std::vector<Column> columns;
    std::string_view onlyIf = {};
};

// The value of an element anywhere below the row: its "value" attribute (flags), else its
// text.
std::string Below(std::string_view element) {
    const std::string e(element);
    return ".//" + e + "/@value | .//" + e + "/text()";
}

// An attribute of an element anywhere below the row.
std::string AttributeBelow(std::string_view element, std::string_view attribute) {
    return ".//" + std::string(element) + "/@" + std::string(attribute);
}

// A value of the record element that holds the row (or is the row).
std::string OfRecord(std::string_view record, std::string_view element) {
    const std::string e(element);
    const std::string r = "ancestor-or-self::" + std::string(record) + "[1]";
    return r + "/" + e + "/@value | " + r + "/" + e + "/text()";
}

std::string RecordAction(std::string_view record) {
    return "ancestor-or-self::" + std::string(record) + "[1]/RecordAction/@type";
}

// Columns whose header is the element's name.
std::vector<Column> Named(std::initializer_list<std::string_view> elements) {
    std::vector<Column> columns;
    for (std::string_view element : elements) columns.push_back({element, Below(element)});
    return columns;
}

std::vector<Column> NamedWithAction(std::initializer_list<std::string_view> elements) {
    std::vector<Column> columns = Named(elements);
    columns.back().select = ".//RecordAction/@type";
    return columns;
}

// The spelled-out names of the miscellaneous summary's codes and subcodes; others show as
// they are.
constexpr std::pair<std::string_view, std::string_view> kMiscCodeNames[] = {
    {"statistics", "Statistics"},
    {"totalizer", "Totalizers"},
    {"discount", "Discount"},
    {"summaryTotals", "Summary Totals"},
    {"payouts", "Total Payouts"},
    {"payins", "Payins"},
    {"safeDrop", "Safe Drops"},
    {"safeLoan", "Safe Loans"},
    {"refunds", "Refunds"},
    {"voids", "Voids"},
    {"driveOffs", "Drive Offs"},
    {"noSales", "No Sales"},
    {"transactions", "Transactions"},
    {"voidTransactions", "Void Transactions"},
    {"voidLines", "Void Lines"},
    {"sales", "Sales"},
    {"tax", "Tax"},
    {"total", "Total"},
    {"tender", "Tender"},
    {"change", "Change"},
    {"promotions", "Promotions"},
    {"fuel", "Fuel"},
    {"merchandise", "Merchandise"},
    {"grossSales", "Gross Sales"},
    {"netSales", "Net Sales"},
    {"cashBack", "Cash Back"},
    {"itemCount", "Item Count"},
    {"customers", "Customers"},
    {"correction", "Corrections"},
    {"ageVerification", "Age Verification"},
    {"coupons", "Coupons"},
    {"loyalty", "Loyalty"},
    {"taxExempt", "Tax Exempt"},
    {"fuelDiscount", "Fuel Discount"},
};

std::vector<Table> Tables(Stylesheet which) {
    switch (which) {
        case Stylesheet::kItems:
            return {{"",
                     "//ITTDetail",
                     {{"POS Code Format", "(.//POSCodeFormat/@format | .//POSCodeFormat/text())"},
                      {"POS Code", Below("POSCode")},
                      {"POS Code Modifier Name", AttributeBelow("POSCodeModifier", "name")},
                      {"POS Code Modifier", Below("POSCodeModifier")},
                      {"Active Flag", Below("ActiveFlag")},
                      {"Inventory Value Price", Below("InventoryValuePrice")},
                      {"Merchandise Code", Below("MerchandiseCode")},
                      {"Regular Sell Price", Below("RegularSellPrice")},
                      {"Description", Below("Description")},
                      {"Price Method Code", Below("PriceMethodCode")},
                      {"Linked Item Code", Below("LinkedItemCode")},
                      {"Tax Strategy ID", Below("TaxStrategyID")},
                      {"Selling Units", Below("SellingUnits")},
                      {"Record Action", ".//RecordAction/@type"}}}};
        case Stylesheet::kDepartments:
            return {{"",
                     "//MCTDetail",
                     {{"Merchadise Code ID", Below("MerchandiseCode")},
                      {"Record Action", ".//RecordAction/@type"},
                      {"Description", Below("MerchandiseCodeDescription")}}}};
        case Stylesheet::kGrades:
            return {{"", "//FGTDetail",
                     NamedWithAction(
                         {"FuelGradeID", "DescriptionID", "FuelProductID", "MerchandiseCode",
                          "PaymentSystemsProductCode", "FuelGradeActiveFlag", "TaxStrategyID",
                          "FuelPositionID", "PriceTierCode", "ServiceLevelCode", "TimeTierCode",
                          "FuelProductBlendPercent", "RegularSellPrice", "RecordAction"})}};
        case Stylesheet::kTanks:
            return {{"", "//TPTDetail",
                     Named({"TankID", "FuelProductID", "TankChartID", "TankDescription",
                            "TankInstallDate", "TankManifoldID", "TankManufacturer",
                            "TankModelNumber", "TankSerialNumber", "TankDepth",
                            "TankLowInventoryVolume", "TankReorderVolume", "TankVolume"})}};
        case Stylesheet::kItemLists:
            // One row per entry; a list without entries (a deletion) still has its row.
            return {{"",
                     "//ILTDetail/ItemListEntry | //ILTDetail[not(ItemListEntry)]",
                     {{"ItemListID", OfRecord("ILTDetail", "ItemListID")},
                      {"ItemListDescription", OfRecord("ILTDetail", "ItemListDescription")},
                      {"POSCodeFormat",
                       "(self::ItemListEntry//POSCodeFormat/@format |"
                       " self::ItemListEntry//POSCodeFormat/text())"},
                      {"POSCode", "self::ItemListEntry//POSCode"},
                      {"POSCodeModifier", "self::ItemListEntry//POSCodeModifier"},
                      {"InventoryItemID", "self::ItemListEntry//InventoryItemID"},
                      {"MerchandiseCode", "self::ItemListEntry//MerchandiseCode"},
                      {"RecordAction", RecordAction("ILTDetail")}}}};
        case Stylesheet::kCombos:
            return {{"",
                     "//CBTDetail",
                     {{"ComboID", Below("ComboID")},
                      {"ComboDescription", Below("ComboDescription")},
                      {"ComboPrice", Below("ComboPrice")},
                      {"StartDate", Below("StartDate")},
                      {"StartTime", Below("StartTime")},
                      {"StopDate", Below("StopDate")},
                      {"StopTime", Below("StopTime")},
                      {"RecordAction", ".//RecordAction/@type"}}},
                    {"Combo Lists",
                     "//CBTDetail//ComboItemList",
                     {{"ComboID", OfRecord("CBTDetail", "ComboID")},
                      {"ItemListID", Below("ItemListID")},
                      {"ComboItemQuantity", Below("ComboItemQuantity")},
                      {"UnitOfMeasure", AttributeBelow("ComboItemQuantity", "uom")},
                      {"ComboItemUnitPrice", Below("ComboItemUnitPrice")},
                      {"ComboItemDiscountAllocation", Below("ComboItemDiscountAllocation")},
                      {"DiscountAllocationType",
                       AttributeBelow("ComboItemDiscountAllocation", "type")}}}};
        case Stylesheet::kMixMatch:
            return {{"",
                     "//MMTDetail",
                     {{"MixMatchID", Below("MixMatchID")},
                      {"MixMatchDescription", Below("MixMatchDescription")},
                      {"MixMatchStrictHighFlag", Below("MixMatchStrictHighFlag")},
                      {"MixMatchStrictLowFlag", Below("MixMatchStrictLowFlag")},
                      // The sales restriction has a TransactionLimit of its own.
                      {"TransactionLimit", "TransactionLimit"},
                      {"LotLimit", Below("LotLimit")},
                      {"UnitOfMeasure", "LotLimit/@uom"},
                      {"ItemListID", Below("ItemListID")},
                      {"StartDate", "StartDate"},
                      {"StartTime", "StartTime"},
                      {"StopDate", "StopDate"},
                      {"StopTime", "StopTime"},
                      {"Priority", Below("Priority")},
                      {"RecordAction", ".//RecordAction/@type"}}},
                    {"Mix and Match Entries",
                     "//MMTDetail//MixMatchEntry",
                     {{"MixMatchDescription", OfRecord("MMTDetail", "MixMatchDescription")},
                      {"MixMatchUnits", Below("MixMatchUnits")},
                      {"UnitOfMeasure", AttributeBelow("MixMatchUnits", "uom")},
                      {"MixMatchPrice", Below("MixMatchPrice")},
                      {"MixMatchDiscountAmount", Below("MixMatchDiscountAmount")},
                      {"MixMatchDiscountPercent", Below("MixMatchDiscountPercent")}}},
                    {"Sales Restrictions",
                     "//MMTDetail//SalesRestriction/*",
                     {{"MixMatchDescription", OfRecord("MMTDetail", "MixMatchDescription")},
                      {"Restriction", "name()"},
                      {"Value", "@value | text()"},
                      {"Type", "@type | @uom"},
                      {"Weekday", "@weekday"},
                      {"Available", "@available"},
                      {"StartTime", "@startTime"},
                      {"StopTime", "@stopTime"}}},
                    {"Promotions",
                     "//MMTDetail//MixMatchPromoEntry",
                     {{"MixMatchDescription", OfRecord("MMTDetail", "MixMatchDescription")},
                      {"StartTime", Below("StartTime")},
                      {"StopTime", Below("StopTime")},
                      {"MixMatchUnits", Below("MixMatchUnits")},
                      {"UnitOfMeasure", AttributeBelow("MixMatchUnits", "uom")},
                      {"MixMatchPrice", Below("MixMatchPrice")}}}};
        case Stylesheet::kTaxIncludes:
            return {{"", "//TITDetail",
                     NamedWithAction({"TaxLevelID", "TaxLevelIncludedID", "TaxSequenceNumber",
                                      "RecordAction"})}};
        case Stylesheet::kTaxLevels:
            return {{"", "//TLTDetail",
                     NamedWithAction({"TaxLevelID", "TaxTypeID", "TaxTableID", "TaxActiveFlag",
                                      "TaxDescription", "TaxReceiptDescription",
                                      "TaxRegistrationNumber", "TaxSymbol", "TaxRate",
                                      "RecordAction"})}};
        case Stylesheet::kTaxStrategies:
            return {{"", "//TSTDetail",
                     NamedWithAction({"TaxStrategyID", "TaxLevelID", "TaxLevelSequenceID",
                                      "TaxStrategyDescription", "RecordAction"})}};
        case Stylesheet::kFuelProducts:
            return {{"", "//FPTDetail",
                     NamedWithAction({"FuelProductID", "FuelProductDescription", "RecordAction"})}};
        case Stylesheet::kResults: {
            const std::vector<Column> counts = {
                {"Status", "name()"}, {"NAXMLDB", "@NAXMLDB"}, {"LHSITEDB", "@LHSITEDB"}};
            return {{"Merchandise Code Maintenance Results", "//counts/MCTDetail/*", counts},
                    {"Item Maintenance Results", "//counts/ITTDetail/*", counts},
                    {"Item List Maintenance Results", "//counts/ILTDetail/*", counts},
                    {"Mix and Match Maintenance Results", "//counts/MMTDetail/*", counts},
                    {"Combo Maintenance Results", "//counts/CBTDetail/*", counts},
                    {"Error Messages",
                     "//errors/error",
                     {{"Table", "@table"},
                      {"File", "@file"},
                      {"Record", "@record"},
                      {"Message", "text()"}}}};
        }
        case Stylesheet::kFuelGradeMovement: {
            std::vector<Column> totals = {{"Sales Volume", Below("FuelGradeSalesVolume")},
                                          {"Sales Amount", Below("FuelGradeSalesAmount")},
                                          {"Sales Count", Below("FuelGradeSalesCount")},
                                          {"Pump Test Volume", Below("PumpTestVolume")},
                                          {"Pump Test Amount", Below("PumpTestAmount")},
                                          {"Discount Amount", Below("DiscountAmount")},
                                          {"Discount Count", Below("DiscountCount")}};
            std::vector<Column> byTier = {{"Fuel Grade ID", OfRecord("FGMDetail", "FuelGradeID")},
                                          {"Price Tier Code", Below("PriceTierCode")}};
            std::vector<Column> byPosition = {
                {"Fuel Grade ID", OfRecord("FGMDetail", "FuelGradeID")},
                {"Fuel Position ID", Below("FuelPositionID")}};
            byTier.insert(byTier.end(), totals.begin(), totals.end());
            byPosition.insert(byPosition.end(), totals.begin(), totals.end());
            return {{"Fuel Grades", "//FGMDetail//FGMPriceTierSummary", byTier,
                     "//FGMPriceTierSummary"},
                    {"Fuel Grades", "//FGMDetail//FGMPositionSummary", byPosition,
                     "not(//FGMPriceTierSummary)"}};
        }
        case Stylesheet::kItemSalesMovement:
            return {{"Item Sales",
                     "//ISMDetail",
                     {{"POS Code", Below("POSCode")},
                      {"POS Code Modifier", Below("POSCodeModifier")},
                      {"Item ID", Below("ItemID")},
                      {"Description", Below("Description")},
                      {"Merchandise Code", Below("MerchandiseCode")},
                      {"Actual Sales Price", Below("ActualSalesPrice")},
                      {"Discount Amount", Below("DiscountAmount")},
                      {"Discount Count", Below("DiscountCount")},
                      {"Promotion Amount", Below("PromotionAmount")},
                      {"Promotion Count", Below("PromotionCount")},
                      {"Refund Amount", Below("RefundAmount")},
                      {"Refund Count", Below("RefundCount")},
                      {"Sales Quantity", Below("SalesQuantity")},
                      {"Sales Amount", Below("SalesAmount")}}}};
        case Stylesheet::kMerchandiseMovement:
            return {{"Merchandise Codes",
                     "//MCMDetail",
                     {{"Code", Below("MerchandiseCode")},
                      {"Description", Below("MerchandiseCodeDescription")},
                      {"Discount Amount", Below("DiscountAmount")},
                      {"Discount Count", Below("DiscountCount")},
                      {"Refund Amount", Below("RefundAmount")},
                      {"Refund Count", Below("RefundCount")},
                      {"Sales Quantity", Below("SalesQuantity")},
                      {"Sales Amount", Below("SalesAmount")},
                      {"Open Dept. Sales Amount", Below("OpenDepartmentSalesAmount")},
                      {"Open Dept. Sales Count", Below("OpenDepartmentTransactionCount")}}}};
        case Stylesheet::kMiscSummaryMovement:
            return {{"Miscellaneous Summary",
                     "//MSMDetail",
                     {{"Code", Below("MiscellaneousSummaryCode"), true},
                      {"SubCode", Below("MiscellaneousSummarySubCode"), true},
                      {"SubCode Modifier", Below("MiscellaneousSummarySubCodeModifier"), true},
                      {"Tender Code", Below("TenderCode")},
                      {"Amount", Below("MiscellaneousSummaryAmount")},
                      {"Count", Below("MiscellaneousSummaryCount")}}}};
    }
    return {};
}

// Text for an XML attribute value or element content of the stylesheet.
std::string Escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

void AppendTable(std::string& xsl, const Table& table) {
    if (!table.onlyIf.empty())
        xsl += "<xsl:if test=\"" + Escaped(table.onlyIf) + "\">\n";
    if (!table.caption.empty())
        xsl += "<p><b>" + Escaped(table.caption) + "</b></p>\n";
    xsl += "<table style=\"font-size:10\" cellspacing=\"0\" cellpadding=\"2\">\n";
    xsl += "<tr bgcolor=\"#7F7FBF\">";
    for (const Column& column : table.columns) xsl += "<th>" + Escaped(column.header) + "</th>";
    xsl += "</tr>\n";
    xsl += "<xsl:for-each select=\"" + Escaped(table.rows) + "\">\n";
    xsl +=
        "<tr><xsl:attribute name=\"bgcolor\"><xsl:choose>"
        "<xsl:when test=\"position() mod 2 = 0\">#FFFFDD</xsl:when>"
        "<xsl:otherwise>#DFDFDF</xsl:otherwise></xsl:choose></xsl:attribute>";
    for (const Column& column : table.columns) {
        if (column.spelled) {
            xsl += "<td><xsl:call-template name=\"spell\"><xsl:with-param name=\"code\" select=\"" +
                   Escaped(column.select) + "\"/></xsl:call-template></td>";
        } else {
            xsl += "<td><xsl:value-of select=\"" + Escaped(column.select) + "\"/></td>";
        }
    }
    xsl += "</tr>\n</xsl:for-each>\n</table>\n";
    if (!table.onlyIf.empty())
        xsl += "</xsl:if>\n";
}

void AppendSpellTemplate(std::string& xsl) {
    xsl +=
        "<xsl:template name=\"spell\"><xsl:param name=\"code\"/>"
        "<xsl:variable name=\"c\" select=\"string($code)\"/><xsl:choose>\n";
    for (const auto& [code, name] : kMiscCodeNames) {
        xsl += "<xsl:when test=\"$c = '" + Escaped(code) + "'\">" + Escaped(name) + "</xsl:when>\n";
    }
    xsl +=
        "<xsl:otherwise><xsl:value-of select=\"$c\"/></xsl:otherwise></xsl:choose>"
        "</xsl:template>\n";
}

// ---- compiled stylesheets ----

struct Compiled {
    std::once_flag once;
    xsltStylesheetPtr stylesheet = nullptr;  // kept for the life of the process
};

std::array<Compiled, kStylesheetCount>& CompiledStylesheets() {
    static std::array<Compiled, kStylesheetCount> compiled;
    return compiled;
}

xsltStylesheetPtr Compile(Stylesheet which) {
    const std::string text = StylesheetText(which);
    RefuseExternalEntities refuse;
    xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), "stylesheet.xsl",
                                  nullptr, SafeXmlParseOptions());
    if (doc == nullptr)
        return nullptr;
    xsltStylesheetPtr stylesheet = xsltParseStylesheetDoc(doc);  // owns doc when it succeeds
    if (stylesheet == nullptr)
        xmlFreeDoc(doc);
    return stylesheet;
}

xsltStylesheetPtr CompiledStylesheet(Stylesheet which) {
    Compiled& slot = CompiledStylesheets()[static_cast<std::size_t>(which)];
    std::call_once(slot.once, [&] { slot.stylesheet = Compile(which); });
    return slot.stylesheet;
}

// Preferences that keep a transform inside its document. Made once; libxslt only reads them.
xsltSecurityPrefsPtr LockedDownPreferences() {
    static xsltSecurityPrefsPtr preferences = [] {
        xsltSecurityPrefsPtr made = xsltNewSecurityPrefs();
        if (made == nullptr)
            return made;
        for (xsltSecurityOption option :
             {XSLT_SECPREF_READ_FILE, XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY,
              XSLT_SECPREF_READ_NETWORK, XSLT_SECPREF_WRITE_NETWORK}) {
            xsltSetSecurityPrefs(made, option, xsltSecurityForbid);
        }
        return made;
    }();
    return preferences;
}

// xmlOutputBuffer's write callback: appends to the std::string behind context.
int AppendToString(void* context, const char* bytes, int size) {
    static_cast<std::string*>(context)->append(bytes, static_cast<std::size_t>(size));
    return size;
}

}  // namespace

std::string StylesheetText(Stylesheet which) {
    const std::vector<Table> tables = Tables(which);
    std::string xsl =
        "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n"
        "<xsl:output method=\"html\" encoding=\"UTF-8\"/>\n"
        "<xsl:template match=\"/\">\n";
    bool spelled = false;
    for (const Table& table : tables) {
        AppendTable(xsl, table);
        for (const Column& column : table.columns) spelled = spelled || column.spelled;
    }
    xsl += "</xsl:template>\n";
    if (spelled)
        AppendSpellTemplate(xsl);
    xsl += "</xsl:stylesheet>\n";
    return xsl;
}

bool TransformInto(const XmlDocument& document, Stylesheet which, std::string& out) {
    xsltStylesheetPtr stylesheet = CompiledStylesheet(which);
    xsltSecurityPrefsPtr preferences = LockedDownPreferences();
    if (stylesheet == nullptr || preferences == nullptr || document.Raw() == nullptr) {
        SendMessageText(logMessages(), "View data error: the stylesheet could not be prepared.");
        return false;
    }
    xsltTransformContextPtr context = xsltNewTransformContext(stylesheet, document.Raw());
    if (context == nullptr)
        return false;
    const std::size_t start = out.size();
    bool done = false;
    if (xsltSetCtxtSecurityPrefs(preferences, context) == 0) {
        xmlDocPtr result =
            xsltApplyStylesheetUser(stylesheet, document.Raw(), nullptr, nullptr, nullptr, context);
        if (result != nullptr && context->state == XSLT_STATE_OK) {
            // Serialised straight onto out (the stylesheets write UTF-8, which needs no
            // encoder): no second copy of a page that may run to megabytes.
            xmlOutputBufferPtr buffer =
                xmlOutputBufferCreateIO(AppendToString, nullptr, &out, nullptr);
            if (buffer != nullptr) {
                const bool saved = xsltSaveResultTo(buffer, result, stylesheet) >= 0;
                done = xmlOutputBufferClose(buffer) >= 0 && saved;
            }
        }
        xmlFreeDoc(result);
    }
    xsltFreeTransformContext(context);
    if (!done) {
        out.resize(start);
        SendMessageText(logMessages(), "View data error: the transform failed.");
    }
    return done;
}

}  // namespace tw::viewers
