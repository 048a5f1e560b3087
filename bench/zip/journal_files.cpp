// Writes a day folder of journal event files as journal splitting leaves them: one small
// NAXML-like document per sale event (about 1 to 3 KB), named "jrn" + date + time + "-" +
// register + "-" + transaction + ".xml". The same seed gives the same files.
//
//   bench_journal_files <folder> <count> <seed> [first transaction number]

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

const char* const kItems[] = {
    "COCA COLA 20OZ", "MARLBORO KS BOX", "SNICKERS KING", "DORITOS NACHO 3OZ", "RED BULL 12OZ",
    "COFFEE LARGE",   "HOT DOG",         "BUD LIGHT 6PK", "LOTTO QUICK PICK",  "ICE 10LB BAG",
    "GATORADE 32OZ",  "BEEF JERKY",      "WATER 1L",      "CHEWING GUM",       "PHONE CARD $20",
};
const char* const kTenders[] = {"cash", "creditCards", "debitCards", "fleetCards"};

class Generator {
public:
    explicit Generator(std::uint32_t seed) : random_(seed) {}

    // Raw draws only: std::mt19937 is the same everywhere, the distributions are not.
    int Pick(int n) { return static_cast<int>(random_() % static_cast<std::uint32_t>(n)); }

    std::string Event(int transaction, int second, std::string& name) {
        const int reg = 1 + Pick(4);
        const int hh = second / 3600, mm = second / 60 % 60, ss = second % 60;
        char date[16], time[16], buf[2048];
        std::snprintf(date, sizeof date, "2024-03-05");
        std::snprintf(time, sizeof time, "%02d:%02d:%02d", hh, mm, ss);
        std::snprintf(buf, sizeof buf, "jrn20240305%02d%02d%02d-%d-%d.xml", hh, mm, ss, reg,
                      transaction);
        name = buf;

        std::string xml;
        xml.reserve(3072);
        xml +=
            "<?xml version=\"1.0\" ?>\r\n<NAXML-POSJournal version=\"3.4\" "
            "xmlns=\"http://www.naxml.org/POSBO/Vocabulary/2003-10-16\">\r\n";
        xml +=
            "<TransmissionHeader><StoreLocationID>4711</StoreLocationID><VendorName>Radiant"
            "</VendorName><VendorModelVersion>6.2.1.04</VendorModelVersion>"
            "</TransmissionHeader>\r\n<JournalReport>\r\n";
        std::snprintf(buf, sizeof buf,
                      "<JournalHeader><ReportSequenceNumber>%d</ReportSequenceNumber>"
                      "<PrimaryReportPeriod>2</PrimaryReportPeriod><BeginDate>%s</BeginDate>"
                      "<BeginTime>00:00:00</BeginTime><EndDate>%s</EndDate><EndTime>23:59:59"
                      "</EndTime>"
                      "</JournalHeader>\r\n",
                      1 + transaction / 500, date, date);
        xml += buf;
        if (Pick(5) == 0) {
            // Not every event is a sale: drawer openings and the like are short.
            std::snprintf(buf, sizeof buf,
                          "<NoSaleEvent><EventSequenceID>%d</EventSequenceID><TillID>%d</TillID>"
                          "<CashierID>%d</CashierID><RegisterID>%d</RegisterID><TransactionID>%d"
                          "</TransactionID><EventStartDate>%s</EventStartDate><EventStartTime>%s"
                          "</EventStartTime><EventEndDate>%s</EventEndDate><EventEndTime>%s"
                          "</EventEndTime></NoSaleEvent>\r\n</JournalReport>\r\n"
                          "</NAXML-POSJournal>\r\n",
                          transaction, reg, 100 + Pick(20), reg, transaction, date, time, date,
                          time);
            return xml += buf;
        }
        std::snprintf(buf, sizeof buf,
                      "<SaleEvent><EventSequenceID>%d</EventSequenceID><TillID>%d</TillID>"
                      "<CashierID>%d</CashierID><RegisterID>%d</RegisterID><TransactionID>%d"
                      "</TransactionID><EventStartDate>%s</EventStartDate><EventStartTime>%s"
                      "</EventStartTime><EventEndDate>%s</EventEndDate><EventEndTime>%s"
                      "</EventEndTime><BusinessDate>%s</BusinessDate>\r\n"
                      "<TransactionDetailGroup>\r\n",
                      transaction, reg, 100 + Pick(20), reg, transaction, date, time, date, time,
                      date);
        xml += buf;
        int cents = 0;
        const int lines = 1 + Pick(3);
        for (int line = 1; line <= lines; ++line) {
            if (Pick(4) == 0) {
                const int gallons = 500 + Pick(2000);  // hundredths
                const int price = 319 + Pick(60);
                const int amount = gallons * price / 100;
                cents += amount;
                std::snprintf(buf, sizeof buf,
                              "<TransactionLine status=\"normal\"><FuelLine><FuelGradeID>%d"
                              "</FuelGradeID><FuelPositionID>%d</FuelPositionID><PriceTierCode>"
                              "1</PriceTierCode><TimeTierCode>1</TimeTierCode><ServiceLevelCode>"
                              "1</ServiceLevelCode><Description>UNLEADED</Description>"
                              "<ActualSalesPrice>%d.%03d</ActualSalesPrice><MerchandiseCode>1001"
                              "</MerchandiseCode><RegularSellPrice>%d.%03d</RegularSellPrice>"
                              "<SalesQuantity>%d.%02d</SalesQuantity><SalesAmount>%d.%02d"
                              "</SalesAmount></FuelLine></TransactionLine>\r\n",
                              1 + Pick(3), 1 + Pick(12), price / 100, price % 100 * 10, price / 100,
                              price % 100 * 10, gallons / 100, gallons % 100, amount / 100,
                              amount % 100);
            } else {
                const int price = 99 + Pick(1500);
                const int quantity = 1 + Pick(3);
                cents += price * quantity;
                std::snprintf(buf, sizeof buf,
                              "<TransactionLine status=\"normal\"><ItemLine><ItemCode>"
                              "<POSCodeFormat format=\"upcA\"/><POSCode>0%011d</POSCode>"
                              "</ItemCode><Description>%s</Description>"
                              "<ActualSalesPrice>%d.%02d</ActualSalesPrice><MerchandiseCode>%d"
                              "</MerchandiseCode><SellingUnits>1</SellingUnits><RegularSellPrice>"
                              "%d.%02d</RegularSellPrice><SalesQuantity>%d</SalesQuantity>"
                              "<SalesAmount>%d.%02d</SalesAmount></ItemLine></TransactionLine>\r\n",
                              Pick(1000000000), kItems[Pick(15)], price / 100, price % 100,
                              2000 + Pick(40), price / 100, price % 100, quantity,
                              price * quantity / 100, price * quantity % 100);
            }
            xml += buf;
        }
        const int tax = cents * 7 / 100;
        std::snprintf(buf, sizeof buf,
                      "<TransactionLine status=\"normal\"><TenderInfo><Tender><TenderCode>%s"
                      "</TenderCode><TenderSubCode>generic</TenderSubCode></Tender>"
                      "<TenderAmount>%d.%02d</TenderAmount><ChangeFlag value=\"no\"/></TenderInfo>"
                      "</TransactionLine>\r\n</TransactionDetailGroup>\r\n<TransactionSummary>"
                      "<TransactionTotalGrossAmount>%d.%02d</TransactionTotalGrossAmount>"
                      "<TransactionTotalNetAmount>%d.%02d</TransactionTotalNetAmount>"
                      "<TransactionTotalTaxSalesAmount>%d.%02d</TransactionTotalTaxSalesAmount>"
                      "<TransactionTotalTaxNetAmount>%d.%02d</TransactionTotalTaxNetAmount>"
                      "<TransactionTotalGrandAmount direction=\"Collected\">%d.%02d"
                      "</TransactionTotalGrandAmount></TransactionSummary></SaleEvent>\r\n"
                      "</JournalReport>\r\n</NAXML-POSJournal>\r\n",
                      kTenders[Pick(4)], (cents + tax) / 100, (cents + tax) % 100, cents / 100,
                      cents % 100, cents / 100, cents % 100, cents / 100, cents % 100, tax / 100,
                      tax % 100, (cents + tax) / 100, (cents + tax) % 100);
        xml += buf;
        return xml;
    }

private:
    std::mt19937 random_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <folder> <count> <seed> [first transaction]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const int count = std::atoi(argv[2]);
    const int first = argc > 4 ? std::atoi(argv[4]) : 0;
    Generator generator(static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 10) + first));
    std::filesystem::create_directories(folder);
    std::uintmax_t bytes = 0;
    std::string name;
    for (int i = 0; i < count; ++i) {
        const int transaction = first + i + 1;
        // Events spread over the day, several per second on a busy one.
        const std::string xml =
            generator.Event(transaction, transaction * 86399 / 60000 % 86400, name);
        std::ofstream(folder / name, std::ios::binary) << xml;
        bytes += xml.size();
    }
    std::printf("%d files, %ju bytes, %ju bytes on average\n", count, bytes,
                count > 0 ? bytes / static_cast<std::uintmax_t>(count) : 0);
    return 0;
}
