#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/recording_messages.h"
#include "support/scratch_dir.h"
#include "viewers/html_reader.h"
#include "viewers/viewers.h"

namespace tw::viewers {
namespace {

using test::HtmlReader;
using test::ReadAll;
using test::ScratchDir;

constexpr const char* kNamespacedRoot =
    "<NAXML-MaintenanceRequest xmlns=\"http://www.naxml.org/POSBO/Vocabulary/2003-10-16\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xsi:schemaLocation=\"http://www.naxml.org/POSBO/Vocabulary/2003-10-16 "
    "NAXML-PBIMaintenance33.xsd\" version=\"%s\">";

std::string Root(bool namespaced, const std::string& version) {
    if (!namespaced)
        return "<NAXML-MaintenanceRequest version=\"" + version + "\">";
    char root[512];
    std::snprintf(root, sizeof root, kNamespacedRoot, version.c_str());
    return root;
}

// A maintenance file: the envelope with the given detail elements, CR LF between lines as a
// POS-side editor may write them.
std::string MaintenanceFile(bool namespaced, const std::string& table,
                            const std::vector<std::string>& details,
                            const std::string& version = "3.3") {
    std::string xml = Root(namespaced, version) + "\r\n";
    xml +=
        "<TransmissionHeader><StoreLocationID>0001</StoreLocationID><VendorName>TORV"
        "</VendorName><VendorModelVersion>Tidewell 1.1.1.9</VendorModelVersion>"
        "</TransmissionHeader>\r\n";
    xml += "<" + table + "><TableAction type=\"update\"/><RecordAction type=\"addchange\"/>\r\n";
    for (const std::string& detail : details) xml += detail + "\r\n";
    xml += "</" + table + "></NAXML-MaintenanceRequest>\r\n";
    return xml;
}

// A flat detail whose children are the given elements, each holding "<name>-<row>".
std::string FlatDetail(const std::string& code, const std::vector<std::string>& elements, int row) {
    std::string xml = "<" + code + "Detail><RecordAction type=\"addchange\"/>";
    for (const std::string& element : elements) {
        if (element != "RecordAction")
            xml += "<" + element + ">" + element + "-" + std::to_string(row) + "</" + element + ">";
    }
    return xml + "</" + code + "Detail>";
}

struct FlatCase {
    const char* code;
    const char* table;
    std::vector<std::string> elements;
};

const std::vector<FlatCase>& FlatCases() {
    static const std::vector<FlatCase> cases = {
        {"FGT",
         "FuelGradeMaintenance",
         {"FuelGradeID", "DescriptionID", "FuelProductID", "MerchandiseCode",
          "PaymentSystemsProductCode", "FuelGradeActiveFlag", "TaxStrategyID", "FuelPositionID",
          "PriceTierCode", "ServiceLevelCode", "TimeTierCode", "FuelProductBlendPercent",
          "RegularSellPrice", "RecordAction"}},
        {"TPT",
         "TankProductMaintenance",
         {"TankID", "FuelProductID", "TankChartID", "TankDescription", "TankInstallDate",
          "TankManifoldID", "TankManufacturer", "TankModelNumber", "TankSerialNumber", "TankDepth",
          "TankLowInventoryVolume", "TankReorderVolume", "TankVolume"}},
        {"TIT",
         "TaxIncludesMaintenance",
         {"TaxLevelID", "TaxLevelIncludedID", "TaxSequenceNumber", "RecordAction"}},
        {"TLT",
         "TaxLevelMaintenance",
         {"TaxLevelID", "TaxTypeID", "TaxTableID", "TaxActiveFlag", "TaxDescription",
          "TaxReceiptDescription", "TaxRegistrationNumber", "TaxSymbol", "TaxRate",
          "RecordAction"}},
        {"TST",
         "TaxStrategyMaintenance",
         {"TaxStrategyID", "TaxLevelID", "TaxLevelSequenceID", "TaxStrategyDescription",
          "RecordAction"}},
        {"FPT",
         "FuelProductMaintenance",
         {"FuelProductID", "FuelProductDescription", "RecordAction"}},
    };
    return cases;
}

std::string Render(const std::string& code, bool lastSent, const std::string& path,
                   double version = 3.3) {
    const MaintenanceViewer* viewer = FindMaintenanceViewer(code);
    EXPECT_NE(viewer, nullptr) << code;
    if (viewer == nullptr)
        return {};
    std::optional<std::string> page = RenderMaintenancePage(*viewer, lastSent, path, version);
    EXPECT_TRUE(page.has_value()) << code;
    return page.value_or("");
}

// The body of a text page: what follows the frame's head.
std::string TextBody(const std::string& title, const std::string& text) {
    return "<html><head><title>" + title +
           "</title></head><body bgColor=white text=black>\n<p><h3>" + title + "</h3>\n" + text +
           "</body></html>\n";
}

// Every flat viewer, with and without the namespace: one row per detail, every column filled
// from the element of its name, alternating colours, and the file left byte for byte.
TEST(MaintenanceViewers, FlatFilesShowOneFilledRowPerDetailAndStayUntouched) {
    ScratchDir dir;
    for (const FlatCase& c : FlatCases()) {
        for (bool namespaced : {true, false}) {
            SCOPED_TRACE(std::string(c.code) + (namespaced ? " namespaced" : " plain"));
            std::vector<std::string> details;
            for (int row = 1; row <= 3; ++row)
                details.push_back(FlatDetail(c.code, c.elements, row));
            const std::string bytes = MaintenanceFile(namespaced, c.table, details);
            const std::string path = dir.Write(std::string(c.code) + ".XML", bytes);

            HtmlReader page(Render(c.code, false, path));
            ASSERT_TRUE(page.Parsed());
            EXPECT_EQ(page.TableCount(), 1u);
            EXPECT_EQ(page.Headers(1), c.elements);
            EXPECT_EQ(page.RowColours(1),
                      (std::vector<std::string>{"#DFDFDF", "#FFFFDD", "#DFDFDF"}));
            const std::vector<std::string> second = page.Row(1, 2);
            ASSERT_EQ(second.size(), c.elements.size());
            for (std::size_t i = 0; i < c.elements.size(); ++i) {
                const std::string expected =
                    c.elements[i] == "RecordAction" ? "addchange" : c.elements[i] + "-2";
                EXPECT_EQ(second[i], expected) << c.elements[i];
            }
            EXPECT_EQ(page.Texts("//table/@cellspacing"), std::vector<std::string>{"0"});
            EXPECT_EQ(page.Texts("//table/@cellpadding"), std::vector<std::string>{"2"});
            EXPECT_EQ(page.Texts("//table/tr[1]/@bgcolor"), std::vector<std::string>{"#7F7FBF"});
            EXPECT_EQ(ReadAll(path), bytes);
        }
    }
}

// Items nest their values in ItemCode and ITTData; the columns find them wherever they are.
TEST(MaintenanceViewers, ItemsFindNestedValuesAndKeepTheHeadersAsTheyAre) {
    ScratchDir dir;
    const std::string detail =
        "<ITTDetail><RecordAction type=\"addchange\"/><ItemCode><POSCodeFormat format=\"upcA\"/>"
        "<POSCode>012345678905</POSCode><POSCodeModifier name=\"default\">0</POSCodeModifier>"
        "</ItemCode><ITTData><ActiveFlag value=\"yes\"/><InventoryValuePrice>0.80"
        "</InventoryValuePrice><MerchandiseCode>3</MerchandiseCode><RegularSellPrice>1.99"
        "</RegularSellPrice><Description>Cola &amp; Lime</Description><PriceMethodCode>1"
        "</PriceMethodCode><LinkCodes><LinkedItemCode>42</LinkedItemCode></LinkCodes>"
        "<TaxStrategyID>7</TaxStrategyID><SellingUnits>1</SellingUnits></ITTData></ITTDetail>";
    const std::string bytes = MaintenanceFile(true, "ItemMaintenance", {detail}, "3.2");
    const std::string path = dir.Write("ITTBAK.XML", bytes);

    const std::string html = Render("ITT", true, path);
    HtmlReader page(html);
    EXPECT_NE(html.find("<title>Items Last Sent</title>"), std::string::npos);
    EXPECT_EQ(page.Headers(1),
              (std::vector<std::string>{"POS Code Format", "POS Code", "POS Code Modifier Name",
                                        "POS Code Modifier", "Active Flag", "Inventory Value Price",
                                        "Merchandise Code", "Regular Sell Price", "Description",
                                        "Price Method Code", "Linked Item Code", "Tax Strategy ID",
                                        "Selling Units", "Record Action"}));
    EXPECT_EQ(page.Row(1, 1),
              (std::vector<std::string>{"upcA", "012345678905", "default", "0", "yes", "0.80", "3",
                                        "1.99", "Cola & Lime", "1", "42", "7", "1", "addchange"}));
    EXPECT_EQ(ReadAll(path), bytes);
}

// A pending department file of version 3.2 with the namespaced root: viewing shows it and
// leaves every byte, the version included, as the editor wrote it.
TEST(MaintenanceViewers, DepartmentsShowTheirThreeColumnsAndTheFileKeepsItsVersion) {
    ScratchDir dir;
    const std::string bytes = MaintenanceFile(
        true, "MerchandiseCodeMaintenance",
        {"<MCTDetail><RecordAction type=\"addchange\"/><MerchandiseCode>1</MerchandiseCode>"
         "<MerchandiseCodeDescription>Épicerie fine</MerchandiseCodeDescription></MCTDetail>",
         "<MCTDetail><RecordAction type=\"delete\"/><MerchandiseCode>9</MerchandiseCode>"
         "</MCTDetail>"},
        "3.2");
    const std::string path = dir.Write("MCT.XML", bytes);

    for (double version : {3.3, 0.0}) {
        HtmlReader page(Render("MCT", false, path, version));
        EXPECT_EQ(page.Headers(1),
                  (std::vector<std::string>{"Merchadise Code ID", "Record Action", "Description"}));
        EXPECT_EQ(page.Row(1, 1), (std::vector<std::string>{"1", "addchange", "Épicerie fine"}));
        EXPECT_EQ(page.Row(1, 2), (std::vector<std::string>{"9", "delete", ""}));
    }
    EXPECT_EQ(ReadAll(path), bytes);
}

// Item lists: a row per entry, the list's own values repeated; a deleted list (no entries)
// still has its row.
TEST(MaintenanceViewers, ItemListsShowARowPerEntryAndDeletedListsToo) {
    ScratchDir dir;
    const std::string path = dir.Write(
        "ILT.XML",
        MaintenanceFile(
            true, "ItemListMaintenance",
            {"<ILTDetail><RecordAction type=\"addchange\"/><ItemListID>10</ItemListID>"
             "<ItemListDescription>Sodas</ItemListDescription>"
             "<ItemListEntry><ItemCode><POSCodeFormat format=\"upcA\"/><POSCode>111</POSCode>"
             "<POSCodeModifier>0</POSCodeModifier><InventoryItemID>5</InventoryItemID></ItemCode>"
             "<MerchandiseCode>3</MerchandiseCode></ItemListEntry>"
             "<ItemListEntry><ItemCode><POSCodeFormat format=\"plu\"/><POSCode>222</POSCode>"
             "<POSCodeModifier>1</POSCodeModifier></ItemCode></ItemListEntry></ILTDetail>",
             "<ILTDetail><RecordAction type=\"delete\"/><ItemListID>11</ItemListID></ILTDetail>"}));
    HtmlReader page(Render("ILT", false, path));
    EXPECT_EQ(page.Headers(1),
              (std::vector<std::string>{"ItemListID", "ItemListDescription", "POSCodeFormat",
                                        "POSCode", "POSCodeModifier", "InventoryItemID",
                                        "MerchandiseCode", "RecordAction"}));
    EXPECT_EQ(page.Row(1, 1),
              (std::vector<std::string>{"10", "Sodas", "upcA", "111", "0", "5", "3", "addchange"}));
    EXPECT_EQ(page.Row(1, 2),
              (std::vector<std::string>{"10", "Sodas", "plu", "222", "1", "", "", "addchange"}));
    EXPECT_EQ(page.Row(1, 3), (std::vector<std::string>{"11", "", "", "", "", "", "", "delete"}));
}

TEST(MaintenanceViewers, CombosShowTheCombosAndTheirItemListsInTwoTables) {
    ScratchDir dir;
    const std::string path = dir.Write(
        "CBT.XML",
        MaintenanceFile(
            true, "ComboMaintenance",
            {"<CBTDetail><ComboID>5</ComboID><ComboDescription>Lunch</ComboDescription>"
             "<ComboPrice>4.99</ComboPrice><ComboList><ComboItemList><ItemListID>10</ItemListID>"
             "<ComboItemQuantity uom=\"each\">2</ComboItemQuantity><ComboItemUnitPrice>1.50"
             "</ComboItemUnitPrice><ComboItemDiscountAllocation type=\"percent\">50"
             "</ComboItemDiscountAllocation></ComboItemList><ComboItemList><ItemListID>11"
             "</ItemListID><ComboItemQuantity>1</ComboItemQuantity></ComboItemList></ComboList>"
             "<StartDate>2026-12-01</StartDate><StartTime>00:00:00</StartTime>"
             "<StopDate>2026-12-31</StopDate><StopTime>23:59:59</StopTime></CBTDetail>"}));
    HtmlReader page(Render("CBT", false, path));
    ASSERT_EQ(page.TableCount(), 2u);
    EXPECT_EQ(page.Row(1, 1), (std::vector<std::string>{"5", "Lunch", "4.99", "2026-12-01",
                                                        "00:00:00", "2026-12-31", "23:59:59", ""}));
    EXPECT_EQ(page.Headers(2),
              (std::vector<std::string>{"ComboID", "ItemListID", "ComboItemQuantity",
                                        "UnitOfMeasure", "ComboItemUnitPrice",
                                        "ComboItemDiscountAllocation", "DiscountAllocationType"}));
    EXPECT_EQ(page.Row(2, 1),
              (std::vector<std::string>{"5", "10", "2", "each", "1.50", "50", "percent"}));
    EXPECT_EQ(page.Row(2, 2), (std::vector<std::string>{"5", "11", "1", "", "", "", ""}));
}

// The mix-and-match header's TransactionLimit is its own, not the sales restriction's.
TEST(MaintenanceViewers, MixMatchShowsHeaderEntriesRestrictionsAndPromotions) {
    ScratchDir dir;
    const std::string path = dir.Write(
        "MMT.XML",
        MaintenanceFile(
            true, "MixMatchMaintenance",
            {"<MMTDetail><RecordAction type=\"addchange\"/><MixMatchID>7</MixMatchID>"
             "<MixMatchDescription>Two for one</MixMatchDescription><SalesRestriction>"
             "<SalesRestrictFlag value=\"yes\" type=\"age\"/><TransactionLimit uom=\"each\">9"
             "</TransactionLimit></SalesRestriction><MixMatchStrictHighFlag value=\"no\"/>"
             "<MixMatchStrictLowFlag value=\"yes\"/><TransactionLimit>3</TransactionLimit>"
             "<ItemListID>10</ItemListID><StartDate>2026-12-01</StartDate><StartTime>00:00"
             "</StartTime><StopDate/><StopTime/><MixMatchEntry><MixMatchUnits uom=\"each\">2"
             "</MixMatchUnits><MixMatchPrice>3.00</MixMatchPrice></MixMatchEntry>"
             "<MixMatchPromotions><MixMatchPromoEntry><StartTime>10:00</StartTime><StopTime>11:00"
             "</StopTime><MixMatchUnits>1</MixMatchUnits><MixMatchPrice>1.00</MixMatchPrice>"
             "</MixMatchPromoEntry></MixMatchPromotions></MMTDetail>"}));
    HtmlReader page(Render("MMT", false, path));
    ASSERT_EQ(page.TableCount(), 4u);
    const std::vector<std::string> header = page.Row(1, 1);
    ASSERT_GE(header.size(), 5u);
    EXPECT_EQ(header[0], "7");
    EXPECT_EQ(header[1], "Two for one");
    EXPECT_EQ(header[2], "no");
    EXPECT_EQ(header[4], "3");
    EXPECT_EQ(page.Row(2, 1),
              (std::vector<std::string>{"Two for one", "2", "each", "3.00", "", ""}));
    EXPECT_EQ(page.Count("(//table)[3]/tr"), 3u);  // header and the two restrictions
    EXPECT_EQ(page.Row(4, 1),
              (std::vector<std::string>{"Two for one", "10:00", "11:00", "1", "", "1.00"}));
    EXPECT_EQ(page.Captions(), (std::vector<std::string>{"Mix and Match Entries",
                                                         "Sales Restrictions", "Promotions"}));
}

// No view, stylesheet or rewrite file is made: with no usable temporary directory, and with
// a link planted under the names such files once had, a page is still made and nothing is
// written through the link.
TEST(MaintenanceViewers, ViewingMakesNoTemporaryFiles) {
    ScratchDir dir;
    ScratchDir tmp;
    const std::string target = dir.Write("target", "keep");
    for (const char* planted : {"PV1.tmp", "XSL1.tmp", "xmlns1.tmp", "PV0001.tmp"})
        ASSERT_EQ(symlink(target.c_str(), tmp.File(planted).c_str()), 0);
    const std::string path =
        dir.Write("MCT.XML", MaintenanceFile(false, "MerchandiseCodeMaintenance",
                                             {FlatDetail("MCT", {"MerchandiseCode"}, 1)}));
    for (const std::string& tmpdir : {dir.File("missing"), tmp.Path()}) {
        test::ScopedEnv env("TMPDIR", tmpdir);
        HtmlReader page(Render("MCT", false, path));
        EXPECT_EQ(page.Row(1, 1), (std::vector<std::string>{"MerchandiseCode-1", "addchange", ""}));
    }
    EXPECT_EQ(ReadAll(target), "keep");
}

// Missing and malformed files give the empty text; a malformed one is also logged with its
// position. Nothing is created next to the file.
TEST(MaintenanceViewers, MissingOrMalformedFilesShowTheEmptyText) {
    test::RecordedMessages messages;
    ScratchDir dir;
    for (const MaintenanceViewer& viewer : MaintenanceViewers()) {
        SCOPED_TRACE(std::string(viewer.code));
        const std::string title(viewer.lastSentTitle);
        EXPECT_EQ(Render(std::string(viewer.code), true, dir.File("NONE.XML")),
                  TextBody(title, std::string(viewer.emptyText)));
    }
    EXPECT_TRUE(messages.log.Texts().empty());

    const std::string broken = "<NAXML-MaintenanceRequest version=\"3.3\">\n<MCTDetail>\n";
    const std::string path = dir.Write("MCT.XML", broken);
    EXPECT_EQ(Render("MCT", false, path),
              TextBody("Departments to Send", "No Departments to View.\n"));
    ASSERT_EQ(messages.log.Texts().size(), 1u);
    EXPECT_TRUE(messages.log.Texts()[0].starts_with("XML ")) << messages.log.Texts()[0];
    EXPECT_NE(messages.log.Texts()[0].find(" on line "), std::string::npos);
    EXPECT_EQ(ReadAll(path), broken);
    EXPECT_TRUE(messages.error.Texts().empty());
}

// The version passed to the viewers is 3.3 only for exactly "3.3"; each viewer says which
// versions it shows, and the commands that require 3.3 refuse before any page.
TEST(MaintenanceViewers, VersionsAreCheckedByTheCommandAndByTheViewer) {
    EXPECT_EQ(ViewerNaxmlVersion("3.3"), 3.3);
    for (const char* other : {"3.2 based", "3.4", "3.30", " 3.3", ""})
        EXPECT_EQ(ViewerNaxmlVersion(other), 0.0) << other;

    ScratchDir dir;
    const std::string path = dir.Write(
        "ITT.XML", MaintenanceFile(false, "ItemMaintenance", {FlatDetail("ITT", {"POSCode"}, 1)}));
    EXPECT_EQ(
        Render("ITT", false, path, ViewerNaxmlVersion("3.2 based")),
        TextBody("Items to Send", "View data only works on NACS XML Version 3.2, 3.3, or 3.4.\n"));
    EXPECT_EQ(Render("ILT", false, path, 0.0),
              TextBody("Item Group to Send",
                       "View data only works on NACS XML Version 3.3, 3.2, or 3.4.\n"));
    EXPECT_EQ(
        Render("CBT", true, path, 3.4),
        TextBody("Promotion/Combo Last Sent", "View data only works on NACS XML Version 3.3.\n"));
    EXPECT_EQ(Render("MMT", false, path, 3.2),
              TextBody("Promotion/MixMatch to Send",
                       "View data only works on NACS XML Version 3.3 or 3.4.\n"));

    bool lastSent = false;
    const MaintenanceViewer* grades = FindMaintenanceViewer(40020, &lastSent);
    ASSERT_NE(grades, nullptr);
    EXPECT_FALSE(lastSent);
    EXPECT_EQ(MaintenanceRefusal(*grades, false, 0.0), "Grade Prices viewer requires NAXML 3.3.");
    EXPECT_EQ(MaintenanceRefusal(*grades, false, 3.3), "");
    const MaintenanceViewer* products = FindMaintenanceViewer(40037, &lastSent);
    ASSERT_NE(products, nullptr);
    EXPECT_TRUE(lastSent);
    EXPECT_EQ(MaintenanceRefusal(*products, true, 0.0), "Fuel Product viewer requires NAXML 3.3.");
    EXPECT_EQ(MaintenanceRefusal(*products, false, 0.0), "FuelProduct viewer requires NAXML 3.3.");
    EXPECT_EQ(MaintenanceRefusal(*FindMaintenanceViewer("ITT"), false, 0.0), "");
    EXPECT_EQ(MaintenanceFileName(*products, true), "FPTBAK.XML");
}

}  // namespace
}  // namespace tw::viewers
