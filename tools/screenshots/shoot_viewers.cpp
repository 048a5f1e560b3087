// screenshot-libs: tw_viewers_ui
// shoot_viewers: pictures of the viewers for the documentation, drawn offscreen: the sales page
// of a period, a maintenance page (departments to send) and the sales period chooser.
//
//   shoot_viewers OUTPUT_DIR      (writes viewers-sales.png, viewers-departments.png,
//                                  viewers-period-chooser.png)

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/ole_date.h"
#include "settings/poll_hist.h"
#include "viewers/sales_view.h"
#include "viewers/ui/period_chooser_dialog.h"
#include "viewers/ui/view_page_dialog.h"
#include "viewers/viewers.h"

namespace {

using tw::platform::OleDate;

constexpr const char* kNamespace = "http://www.naxml.org/POSBO/Vocabulary/2003-10-16";

void Write(const QString& path, const std::string& text) {
    std::ofstream(path.toStdString(), std::ios::binary) << text;
}

std::string Movement(const std::string& report, const std::string& body) {
    return std::string("<NAXML-MovementReport xmlns=\"") + kNamespace + "\" version=\"3.4\"><" +
           report + ">" + body + "</" + report + "></NAXML-MovementReport>";
}

std::string Leaf(const std::string& name, const std::string& value) {
    return "<" + name + ">" + value + "</" + name + ">";
}

// A small period of a fuel station: four grades, a few items and departments, the summary.
// Sequence 13 of a ring of 10 slots: slot files numbered 0003.
void WriteSalesPeriod(const QString& dir) {
    std::string fuel;
    const char* volumes[] = {"412.118", "96.340", "188.902", "240.511"};
    const char* amounts[] = {"1318.78", "346.82", "755.61", "889.89"};
    for (int grade = 1; grade <= 4; ++grade) {
        fuel += "<FGMDetail>" + Leaf("FuelGradeID", std::to_string(grade));
        for (int tier = 1; tier <= 2; ++tier) {
            fuel += "<FGMPriceTierSummary>" + Leaf("PriceTierCode", std::to_string(tier)) +
                    "<FGMSalesTotals>" +
                    Leaf("FuelGradeSalesVolume", tier == 1 ? volumes[grade - 1] : "12.004") +
                    Leaf("FuelGradeSalesAmount", tier == 1 ? amounts[grade - 1] : "40.21") +
                    Leaf("FuelGradeSalesCount", tier == 1 ? "31" : "2") +
                    Leaf("PumpTestVolume", "0.000") + Leaf("PumpTestAmount", "0.00") +
                    Leaf("DiscountAmount", "0.00") + Leaf("DiscountCount", "0") +
                    "</FGMSalesTotals></FGMPriceTierSummary>";
        }
        fuel += "</FGMDetail>";
    }
    Write(dir + "/FGMD0003.XML", Movement("FuelGradeMovement", fuel));

    struct Item {
        const char *code, *id, *description, *department, *price, *quantity, *amount;
    };
    const Item items[] = {
        {"049000028911", "1001", "Cola 20oz", "2", "1.99", "14", "27.86"},
        {"028400090858", "1002", "Potato Chips", "3", "1.49", "9", "13.41"},
        {"012000161155", "1003", "Spring Water 1L", "2", "1.29", "21", "27.09"},
        {"070847811169", "1004", "Energy Drink", "2", "2.79", "6", "16.74"},
        {"041420019807", "1005", "Coffee 16oz", "4", "1.69", "18", "30.42"},
    };
    std::string itemSales;
    for (const Item& item : items) {
        itemSales += std::string("<ISMDetail><ItemCode><POSCodeFormat format=\"upcA\"/>") +
                     Leaf("POSCode", item.code) + Leaf("POSCodeModifier", "0") + "</ItemCode>" +
                     Leaf("ItemID", item.id) + Leaf("Description", item.description) +
                     Leaf("MerchandiseCode", item.department) + "<ISMSellPriceSummary>" +
                     Leaf("ActualSalesPrice", item.price) + "<ISMSalesTotals>" +
                     Leaf("DiscountAmount", "0.00") + Leaf("DiscountCount", "0") +
                     Leaf("PromotionAmount", "0.00") + Leaf("PromotionCount", "0") +
                     Leaf("RefundAmount", "0.00") + Leaf("RefundCount", "0") +
                     Leaf("SalesQuantity", item.quantity) + Leaf("SalesAmount", item.amount) +
                     "</ISMSalesTotals></ISMSellPriceSummary></ISMDetail>";
    }
    Write(dir + "/ISMD0003.XML", Movement("ItemSalesMovement", itemSales));

    const char* departments[][4] = {{"1", "Fuel", "3310.10", "0"},
                                    {"2", "Beverages", "71.69", "41"},
                                    {"3", "Snacks", "13.41", "9"},
                                    {"4", "Hot Drinks", "30.42", "18"}};
    std::string merchandise;
    for (const auto& d : departments) {
        merchandise +=
            "<MCMDetail>" + Leaf("MerchandiseCode", d[0]) +
            Leaf("MerchandiseCodeDescription", d[1]) + "<MCMSalesTotals>" +
            Leaf("DiscountAmount", "0.00") + Leaf("DiscountCount", "0") +
            Leaf("RefundAmount", "0.00") + Leaf("RefundCount", "0") + Leaf("SalesQuantity", d[3]) +
            Leaf("SalesAmount", d[2]) + Leaf("OpenDepartmentSalesAmount", "0.00") +
            Leaf("OpenDepartmentTransactionCount", "0") + "</MCMSalesTotals></MCMDetail>";
    }
    Write(dir + "/MCMD0003.XML", Movement("MerchandiseCodeMovement", merchandise));

    const char* misc[][5] = {{"statistics", "transactions", "", "", "118"},
                             {"totalizer", "sales", "fuel", "", "3310.10"},
                             {"payouts", "total", "", "", "20.00"},
                             {"summaryTotals", "tender", "", "cash", "2140.55"},
                             {"summaryTotals", "tender", "", "credit", "1313.07"}};
    std::string summary;
    for (const auto& m : misc) {
        summary += "<MSMDetail><MiscellaneousSummaryCodes>" +
                   Leaf("MiscellaneousSummaryCode", m[0]) +
                   Leaf("MiscellaneousSummarySubCode", m[1]) +
                   Leaf("MiscellaneousSummarySubCodeModifier", m[2]) +
                   "</MiscellaneousSummaryCodes><MSMSalesTotals>" +
                   (m[3][0] ? "<Tender>" + Leaf("TenderCode", m[3]) + "</Tender>" : "") +
                   Leaf("MiscellaneousSummaryAmount", m[4]) +
                   Leaf("MiscellaneousSummaryCount", "1") + "</MSMSalesTotals></MSMDetail>";
    }
    Write(dir + "/MSMD0003.XML", Movement("MiscellaneousSummaryMovement", summary));
}

void WriteDepartments(const QString& dir) {
    std::string details;
    const char* names[] = {"Fuel", "Beverages", "Snacks", "Hot Drinks", "Tobacco", "Lottery"};
    for (int code = 1; code <= 6; ++code) {
        details += std::string("<MCTDetail><RecordAction type=\"addchange\"/>") +
                   Leaf("MerchandiseCode", std::to_string(code)) +
                   Leaf("MerchandiseCodeDescription", names[code - 1]) + "</MCTDetail>";
    }
    details += "<MCTDetail><RecordAction type=\"delete\"/>" + Leaf("MerchandiseCode", "9") +
               "</MCTDetail>";
    Write(dir + "/MCT.XML",
          std::string("<NAXML-MaintenanceRequest xmlns=\"") + kNamespace +
              "\" version=\"3.2\"><MerchandiseCodeMaintenance><TableAction type=\"update\"/>"
              "<RecordAction type=\"addchange\"/>" +
              details + "</MerchandiseCodeMaintenance></NAXML-MaintenanceRequest>");
}

bool Save(QWidget& widget, const QString& path) {
    widget.show();
    QApplication::processEvents();
    const bool saved = widget.grab().save(path, "PNG");
    widget.hide();
    if (!saved)
        std::fprintf(stderr, "shoot_viewers: cannot write %s\n", path.toLocal8Bit().constData());
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: shoot_viewers OUTPUT_DIR\n");
        return 2;
    }
    QApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QTemporaryDir site;
    if (!site.isValid())
        return 1;
    const std::string data = site.path().toStdString() + "/";
    WriteSalesPeriod(site.path());
    WriteDepartments(site.path());

    const OleDate end = OleDate::FromCivil(2026, 12, 3, 6, 0);
    bool ok = true;
    {
        const std::string page = tw::viewers::RenderSalesPage(data, 13, 10, end);
        tw::ui::ViewPageDialog dialog(
            nullptr, QString::fromStdString(tw::viewers::SalesTitle(13, end)), page);
        dialog.resize(1000, 720);
        ok = Save(dialog, out + "/viewers-sales.png") && ok;
    }
    {
        const tw::viewers::MaintenanceViewer& viewer = *tw::viewers::FindMaintenanceViewer("MCT");
        const std::string page =
            tw::viewers::RenderMaintenancePage(viewer, false, data + "MCT.XML", 3.3).value_or("");
        tw::ui::ViewPageDialog dialog(nullptr, "Departments to Send", page);
        dialog.resize(640, 420);
        ok = Save(dialog, out + "/viewers-departments.png") && ok;
    }
    {
        const std::string history = data + "POLHISTD.001";
        tw::CreateHistoryFile(history, 10);
        tw::RadiantHist hist(data, 1, tw::kDayHistory);
        if (hist.Open() && hist.ReadHeader()) {
            for (int sequence = 6; sequence <= 13; ++sequence) {
                hist.SetCurrent({sequence, OleDate::FromCivil(2026, 11, 10 + sequence, 6, 0),
                                 OleDate::FromCivil(2026, 11, 11 + sequence, 6, 0)});
                hist.WriteRecord();
            }
            hist.SetLastSequence(13);
            hist.WriteHeader();
        }
        tw::ui::PeriodChooserDialog chooser(nullptr, tw::viewers::ListPeriods(hist), 12);
        ok = Save(chooser, out + "/viewers-period-chooser.png") && ok;
    }
    return ok ? 0 : 1;
}
