#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "settings/poll_hist.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"
#include "viewers/html_reader.h"
#include "viewers/sales_view.h"
#include "viewers/viewers.h"

namespace tw::viewers {
namespace {

using platform::OleDate;
using test::HtmlReader;
using test::ReadAll;
using test::ScratchDir;

// ---- results ----

std::string ResultsFile(bool namespaced) {
    std::string xml = "<?xml version=\"1.0\"?>\n<ImportLog version=\"3.4\"";
    if (namespaced)
        xml += " xmlns=\"http://www.naxml.org/POSBO/Vocabulary/2003-10-16\"";
    xml += "><counts>";
    for (const char* table : {"MCT", "ITT", "ILT", "CBT"}) {
        xml += std::string("<") + table +
               "Detail><success NAXMLDB=\"12\" LHSITEDB=\"11\"/>"
               "<warn NAXMLDB=\"0\" LHSITEDB=\"0\"/><fail NAXMLDB=\"0\" LHSITEDB=\"1\"/></" +
               table + "Detail>";
    }
    xml +=
        "</counts><errors><error table=\"MCT\" file=\"MCT33020261207.XML\" record=\"4\">"
        "Record 9 rejected by the site database.</error></errors></ImportLog>\n";
    return xml;
}

TEST(ResultsViewer, ShowsFiveCountTablesAndTheErrorMessages) {
    ScratchDir dir;
    for (bool namespaced : {false, true}) {
        const std::string path = dir.Write("ILG.XML", ResultsFile(namespaced));
        const std::optional<std::string> html = RenderResultsPage(path);
        ASSERT_TRUE(html);
        HtmlReader page(*html);
        EXPECT_EQ(page.Captions(),
                  (std::vector<std::string>{
                      "Merchandise Code Maintenance Results", "Item Maintenance Results",
                      "Item List Maintenance Results", "Mix and Match Maintenance Results",
                      "Combo Maintenance Results", "Error Messages"}));
        EXPECT_EQ(page.Headers(1), (std::vector<std::string>{"Status", "NAXMLDB", "LHSITEDB"}));
        EXPECT_EQ(page.Row(1, 1), (std::vector<std::string>{"success", "12", "11"}));
        EXPECT_EQ(page.Row(1, 3), (std::vector<std::string>{"fail", "0", "1"}));
        EXPECT_EQ(page.Count("(//table)[4]/tr"), 1u);  // no mix-and-match counts in this file
        EXPECT_EQ(page.Row(5, 1), (std::vector<std::string>{"success", "12", "11"}));
        EXPECT_EQ(page.Row(6, 1),
                  (std::vector<std::string>{"MCT", "MCT33020261207.XML", "4",
                                            "Record 9 rejected by the site database."}));
    }
}

TEST(ResultsViewer, AFileThatDoesNotLoadGivesItsText) {
    test::RecordedMessages messages;
    ScratchDir dir;
    const std::string expected =
        "<html><head><title>Last Sent Results</title></head><body bgColor=white text=black>\n"
        "<p><h3>Last Sent Results</h3>\n"
        "No Last Sent Results to view or the XML is not well formed.\n</body></html>\n";
    EXPECT_EQ(RenderResultsPage(dir.File("ILG.XML")), expected);
    EXPECT_EQ(RenderResultsPage(dir.Write("ILG.XML", "<ImportLog><counts>")), expected);
}

// ---- versions ----

// The POS writes its own log; its text is shown as written and never becomes markup.
TEST(VersionsViewer, BothLogsAreShownEscapedInTheFixedFrame) {
    ScratchDir dir;
    const std::string pos = dir.Write(
        "VersionPOS.001", "12/07/2026 10:00:00 Radiant <POS> 4.02 & <script>alert(1)</script>\r\n");
    const std::string poller =
        dir.Write("VersionPoller.001", "12/07/2026 10:00:01 Tidewell 1.1.1.9\r\n");
    EXPECT_EQ(RenderVersionsPage(pos, poller),
              "<html><p>Radiant/Tidewell Version Information</p><body><pre>\n"
              "12/07/2026 10:00:00 Radiant &lt;POS&gt; 4.02 &amp; &lt;script&gt;alert(1)"
              "&lt;/script&gt;\r\n<p></p>\n12/07/2026 10:00:01 Tidewell 1.1.1.9\r\n"
              "</pre></body></html>\n");
    EXPECT_EQ(RenderVersionsPage(dir.File("none"), dir.File("none")),
              "<html><p>Radiant/Tidewell Version Information</p><body><pre>\n<p></p>\n"
              "</pre></body></html>\n");
    EXPECT_EQ(PosVersionLogName(1), "VersionPOS.001");
    EXPECT_EQ(PollerVersionLogName(12), "VersionPoller.012");
}

// ---- the period chooser and the sales page ----

// A day history whose records are written as raw bytes, so tests can also store end dates the
// writer would never produce.
class DayHistory {
public:
    DayHistory(const ScratchDir& dir, int slots) : path_(dir.File("POLHISTD.001")) {
        EXPECT_TRUE(CreateHistoryFile(path_, slots));
    }
    void SetLastSequence(int sequence) {
        char field[16];
        std::snprintf(field, sizeof field, "%08d", sequence);
        Patch(5, field);
    }
    // endDate "YYYYMMDD", endTime "HH:MM".
    void Put(int slots, int sequence, const char* endDate, const char* endTime) {
        char record[64];
        std::snprintf(record, sizeof record, "%08d,20261201,06:00,%s,%s,\r\n", sequence, endDate,
                      endTime);
        ASSERT_EQ(std::string(record).size(), kHistRecordSize);
        Patch(static_cast<long>((sequence % slots + 1) * kHistRecordSize), record);
    }
    const std::string& Path() const { return path_; }

private:
    void Patch(long offset, const std::string& bytes) {
        std::FILE* file = std::fopen(path_.c_str(), "r+b");
        ASSERT_NE(file, nullptr);
        std::fseek(file, offset, SEEK_SET);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    std::string path_;
};

std::vector<std::int32_t> Sequences(const std::vector<PeriodChoice>& periods) {
    std::vector<std::int32_t> sequences;
    for (const PeriodChoice& period : periods) sequences.push_back(period.sequence);
    return sequences;
}

// A ring of 10 slots whose last written sequence is 13: the list starts at slot 4 and wraps;
// periods without a valid end (never written, null, impossible dates) are left out.
TEST(PeriodChooser, ListsValidPeriodsInRingOrderFromTheSlotAfterTheLast) {
    ScratchDir dir;
    DayHistory history(dir, 10);
    for (int sequence : {4, 5, 7, 8, 9, 10, 11, 12, 13})
        history.Put(10, sequence, "20261202", "06:00");
    history.Put(10, 13, "20261213", "23:59");
    history.Put(10, 5, "00000000", "-1:-1");  // a null end
    history.Put(10, 8, "20261340", "06:00");  // an impossible end
    history.SetLastSequence(13);

    RadiantHist hist(dir.Path() + "/", 1, kDayHistory);
    ASSERT_TRUE(hist.Open());
    const std::vector<PeriodChoice> periods = ListPeriods(hist);
    EXPECT_EQ(Sequences(periods), (std::vector<std::int32_t>{4, 7, 9, 10, 11, 12, 13}));
    EXPECT_EQ(periods.back().line, "13         12/13/2026 23:59:00");
    EXPECT_EQ(PreselectedPeriod(periods, 12), 5);
    EXPECT_EQ(PreselectedPeriod(periods, 1), 0);  // "1" must not pick "10" or "11"
    EXPECT_EQ(PreselectedPeriod({}, 1), -1);
    EXPECT_EQ(SequenceOfLine(periods[3].line), 10);
    EXPECT_EQ(SequenceOfLine("None"), -1);
}

TEST(PeriodChooser, LinesForNullAndInvalidEndsAndAnUnreadableHeader) {
    EXPECT_EQ(FormatPeriodLine(7, OleDate::Null()), "7          ");
    EXPECT_EQ(FormatPeriodLine(7, OleDate::Invalid()), "7          Invalid DateTime");
    EXPECT_EQ(FormatPeriodLine(1234567890, OleDate::FromCivil(2026, 1, 2, 3, 4, 5)),
              "1234567890 01/02/2026 03:04:05");

    ScratchDir dir;
    dir.Write("POLHISTD.001", "garbage");
    RadiantHist hist(dir.Path() + "/", 1, kDayHistory);
    ASSERT_TRUE(hist.Open());
    EXPECT_TRUE(ListPeriods(hist).empty());
}

std::string Movement(const std::string& root, const std::string& body) {
    return "<?xml version=\"1.0\"?>\n<NAXML-MovementReport xmlns=\"http://www.naxml.org/POSBO/"
           "Vocabulary/2003-10-16\" version=\"3.4\"><" +
           root + ">" + body + "</" + root + "></NAXML-MovementReport>\n";
}

std::string ItemSales(const std::string& description) {
    return Movement("ItemSalesMovement",
                    "<ISMDetail><ItemCode><POSCodeFormat format=\"upcA\"/><POSCode>0001</POSCode>"
                    "<POSCodeModifier name=\"default\">0</POSCodeModifier></ItemCode><ItemID>17"
                    "</ItemID><Description>" +
                        description +
                        "</Description><MerchandiseCode>3"
                        "</MerchandiseCode><ISMSellPriceSummary><ActualSalesPrice>1.99"
                        "</ActualSalesPrice><ISMSalesTotals><SalesQuantity>2</SalesQuantity>"
                        "<SalesAmount>3.98</SalesAmount></ISMSalesTotals></ISMSellPriceSummary>"
                        "</ISMDetail>");
}

// Slot files are named by the sequence modulo the history's slot count: sequence 13 of a ring
// of 10 is slot 3, whatever file numbered 13 lies around.
TEST(SalesViewer, ReadsTheSlotFilesOfTheHistorysSlotCount) {
    ScratchDir dir;
    const std::string data = dir.Path() + "/";
    dir.Write("ISMD0003.XML", ItemSales("Right period"));
    dir.Write("ISMD0013.XML", ItemSales("Wrong period"));
    const std::string html = RenderSalesPage(data, 13, 10, OleDate::FromCivil(2026, 12, 3, 6, 0));
    EXPECT_NE(html.find("Right period"), std::string::npos);
    EXPECT_EQ(html.find("Wrong period"), std::string::npos);
    EXPECT_EQ(MovementFilePath(data, "ISM", 113, 100), data + "ISMD0013.XML");
    EXPECT_EQ(MovementFilePath(data, "ISM", 113, 0), "");
    // A file written on Windows in lower case is found.
    dir.Write("fgmd0003.xml", Movement("FuelGradeMovement", ""));
    EXPECT_EQ(MovementFilePath(data, "FGM", 13, 10), data + "fgmd0003.xml");
}

// The title, then the four tables in order: fuel grades (by fuel position when the file has no
// price tiers), item sales, merchandise codes and the miscellaneous summary with its codes
// spelled out. A missing report leaves a line in its place.
TEST(SalesViewer, ThePageHasItsTitleAndFourTablesInOrder) {
    ScratchDir dir;
    const std::string data = dir.Path() + "/";
    dir.Write("FGMD0002.XML",
              Movement("FuelGradeMovement",
                       "<FGMDetail><FuelGradeID>1</FuelGradeID><FGMPositionSummary><FuelPositionID>"
                       "4</FuelPositionID><FGMSalesTotals><FuelGradeSalesVolume>10.000"
                       "</FuelGradeSalesVolume></FGMSalesTotals></FGMPositionSummary>"
                       "<FGMPositionSummary><FuelPositionID>5</FuelPositionID></FGMPositionSummary>"
                       "</FGMDetail>"));
    dir.Write("ISMD0002.XML", ItemSales("Cola"));
    dir.Write("MSMD0002.XML",
              Movement("MiscellaneousSummaryMovement",
                       "<MSMDetail><MiscellaneousSummaryCodes><MiscellaneousSummaryCode>payouts"
                       "</MiscellaneousSummaryCode><MiscellaneousSummarySubCode>total"
                       "</MiscellaneousSummarySubCode></MiscellaneousSummaryCodes><MSMSalesTotals>"
                       "<Tender><TenderCode>cash</TenderCode></Tender><MiscellaneousSummaryAmount>"
                       "5.00</MiscellaneousSummaryAmount><MiscellaneousSummaryCount>1"
                       "</MiscellaneousSummaryCount></MSMSalesTotals></MSMDetail>"
                       "<MSMDetail><MiscellaneousSummaryCodes><MiscellaneousSummaryCode>newCode"
                       "</MiscellaneousSummaryCode></MiscellaneousSummaryCodes></MSMDetail>"));
    const std::string html = RenderSalesPage(data, 102, 100, OleDate::FromCivil(2026, 12, 3, 6, 0));
    EXPECT_TRUE(html.starts_with("<html><head><title>Sales for Seq #102  12/03/2026</title>"));
    HtmlReader page(html);
    EXPECT_EQ(page.Captions(),
              (std::vector<std::string>{"Fuel Grades", "Item Sales", "Merchandise Codes",
                                        "Miscellaneous Summary"}));
    EXPECT_NE(html.find("No data in MCMD0002.XML."), std::string::npos);
    ASSERT_EQ(page.TableCount(), 3u);
    EXPECT_EQ(page.Headers(1)[1], "Fuel Position ID");
    EXPECT_EQ(page.Row(1, 1)[0], "1");
    EXPECT_EQ(page.Row(1, 1)[1], "4");
    EXPECT_EQ(page.Row(1, 1)[2], "10.000");
    EXPECT_EQ(page.Row(1, 2)[1], "5");
    EXPECT_EQ(page.Headers(2).size(), 14u);
    EXPECT_EQ(page.Row(2, 1)[3], "Cola");
    EXPECT_EQ(page.Row(2, 1)[5], "1.99");
    EXPECT_EQ(page.Headers(3), (std::vector<std::string>{"Code", "SubCode", "SubCode Modifier",
                                                         "Tender Code", "Amount", "Count"}));
    EXPECT_EQ(page.Row(3, 1),
              (std::vector<std::string>{"Total Payouts", "Total", "", "cash", "5.00", "1"}));
    EXPECT_EQ(page.Row(3, 2)[0], "newCode");
}

TEST(SalesViewer, FuelGradesByPriceTierWhenTheFileHasThem) {
    ScratchDir dir;
    dir.Write("FGMD0001.XML",
              Movement("FuelGradeMovement",
                       "<FGMDetail><FuelGradeID>2</FuelGradeID><FGMPriceTierSummary><PriceTierCode>"
                       "1</PriceTierCode></FGMPriceTierSummary></FGMDetail>"));
    HtmlReader page(RenderSalesPage(dir.Path() + "/", 1, 100, OleDate::FromCivil(2026, 12, 1)));
    EXPECT_EQ(page.Headers(1)[1], "Price Tier Code");
    EXPECT_EQ(page.Row(1, 1)[0], "2");
    EXPECT_EQ(page.Count("//table"), 1u);
}

}  // namespace
}  // namespace tw::viewers
