#pragma once
// NAXML files as a Radiant POS exports them, generated for the tests: a POS journal with a
// default namespace, a TransmissionHeader, and in its JournalReport a JournalHeader followed by
// sale, refund and void events; and movement reports with a MovementHeader.

#include <cstdio>
#include <string>
#include <vector>

namespace tw::test {

inline constexpr const char* kNaxmlNamespace = "http://www.naxml.org/POSBO/Vocabulary/2003-10-16";

struct JournalEventLayout {
    std::string kind = "SaleEvent";
    std::string transactionId;
    std::string registerId = "1";
    std::string endDate;  // the texts as written in the file
    std::string endTime;
    int itemLines = 2;
    std::string extra;  // raw XML at the end of the event
};

struct JournalLayout {
    std::string version = "3.4";
    std::string storeId = "0001";
    std::string vendorModelVersion = "Radiant RPOS 4.2.1";
    std::string beginDate = "2026-03-05", beginTime = "22:00:00";
    std::string endDate = "2026-03-06", endTime = "02:00:00";
    std::vector<JournalEventLayout> events;
    std::string afterEvents;  // raw XML after the events (a summary, a comment)
    bool indent = true;
};

inline std::string Two(int n) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", n);
    return text;
}

// count events, one every stepSeconds from startHour:startMinute on day (2026-03-day),
// crossing midnight when they run on; transaction IDs from firstTransaction, registers 1 to 3,
// every seventh a refund and every eleventh a void.
inline std::vector<JournalEventLayout> EventsFrom(int count, int day, int startHour,
                                                  int startMinute, int stepSeconds,
                                                  int firstTransaction = 100001) {
    std::vector<JournalEventLayout> events;
    long seconds = startHour * 3600L + startMinute * 60L;
    for (int i = 0; i < count; ++i, seconds += stepSeconds) {
        const long dayOffset = seconds / 86400;
        const long inDay = seconds % 86400;
        JournalEventLayout event;
        event.kind = i % 11 == 10 ? "VoidEvent" : i % 7 == 6 ? "RefundEvent" : "SaleEvent";
        event.transactionId = std::to_string(firstTransaction + i);
        event.registerId = std::to_string(1 + i % 3);
        event.endDate = "2026-03-" + Two(day + static_cast<int>(dayOffset));
        event.endTime = Two(static_cast<int>(inDay / 3600)) + ":" +
                        Two(static_cast<int>(inDay / 60 % 60)) + ":" +
                        Two(static_cast<int>(inDay % 60));
        event.itemLines = 1 + i % 4;
        events.push_back(event);
    }
    return events;
}

inline std::string JournalXml(const JournalLayout& layout) {
    const std::string nl = layout.indent ? "\n" : "";
    const auto pad = [&](int depth) { return layout.indent ? std::string(depth * 2, ' ') : ""; };
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + nl;
    x += "<NAXML-POSJournal xmlns=\"" + std::string(kNaxmlNamespace) +
         "\" xmlns:radiant=\"http://www.radiantsystems.com/NAXML-Extension\" version=\"" +
         layout.version + "\">" + nl;
    x += pad(1) + "<TransmissionHeader>" + nl;
    x += pad(2) + "<StoreLocationID>" + layout.storeId + "</StoreLocationID>" + nl;
    x += pad(2) + "<VendorName>Radiant</VendorName>" + nl;
    x += pad(2) + "<VendorModelVersion>" + layout.vendorModelVersion + "</VendorModelVersion>" + nl;
    x += pad(1) + "</TransmissionHeader>" + nl;
    x += pad(1) + "<JournalReport>" + nl;
    x += pad(2) + "<JournalHeader>" + nl;
    x += pad(3) + "<ReportSequenceNumber>17</ReportSequenceNumber>" + nl;
    x += pad(3) + "<BeginDate>" + layout.beginDate + "</BeginDate>" + nl;
    x += pad(3) + "<BeginTime>" + layout.beginTime + "</BeginTime>" + nl;
    x += pad(3) + "<EndDate>" + layout.endDate + "</EndDate>" + nl;
    x += pad(3) + "<EndTime>" + layout.endTime + "</EndTime>" + nl;
    x += pad(2) + "</JournalHeader>" + nl;
    for (const auto& event : layout.events) {
        x += pad(2) + "<" + event.kind + ">" + nl;
        x += pad(3) + "<EventSequenceID>" + event.transactionId + "</EventSequenceID>" + nl;
        x += pad(3) + "<TransactionID>" + event.transactionId + "</TransactionID>" + nl;
        x += pad(3) + "<CashierID>12</CashierID>" + nl;
        x += pad(3) + "<RegisterID>" + event.registerId + "</RegisterID>" + nl;
        x += pad(3) + "<EventEndDate>" + event.endDate + "</EventEndDate>" + nl;
        x += pad(3) + "<EventEndTime>" + event.endTime + "</EventEndTime>" + nl;
        x += pad(3) + "<TransactionDetailGroup>" + nl;
        for (int line = 0; line < event.itemLines; ++line) {
            x += pad(4) + "<TransactionLine status=\"normal\">" + nl;
            x += pad(5) + "<ItemLine>" + nl;
            x += pad(6) + "<ItemCode><POSCodeFormat format=\"upcA\"/><POSCode>0123456789" +
                 Two(line) + "</POSCode><POSCodeModifier>0</POSCodeModifier></ItemCode>" + nl;
            x += pad(6) + "<Description>Caf\xC3\xA9 &amp; cr\xC3\xA8me &lt;12oz&gt;</Description>" +
                 nl;
            x += pad(6) + "<MerchandiseCode>400</MerchandiseCode>" + nl;
            x += pad(6) + "<RegularSellPrice>1.29</RegularSellPrice>" + nl;
            x += pad(6) + "<SalesQuantity>1</SalesQuantity>" + nl;
            x += pad(6) + "<SalesAmount>1.29</SalesAmount>" + nl;
            x += pad(6) + "<radiant:Note> </radiant:Note>" + nl;
            x += pad(5) + "</ItemLine>" + nl;
            x += pad(4) + "</TransactionLine>" + nl;
        }
        x += pad(3) + "</TransactionDetailGroup>" + nl;
        x += pad(3) + "<TransactionSummary><TransactionTotalGrossAmount direction=\"Inbound\">" +
             std::to_string(event.itemLines) + ".29</TransactionTotalGrossAmount>" +
             "</TransactionSummary>" + nl;
        x += event.extra;
        x += pad(2) + "</" + event.kind + ">" + nl;
    }
    x += layout.afterEvents;
    x += pad(1) + "</JournalReport>" + nl;
    x += "</NAXML-POSJournal>" + nl;
    return x;
}

// A movement report of one type ("MSM", "FGM", ...): the period in its MovementHeader.
inline std::string MovementReportXml(const std::string& type, const std::string& beginDate,
                                     const std::string& beginTime, const std::string& endDate,
                                     const std::string& endTime,
                                     const std::string& vendorModelVersion = "Radiant RPOS 4.2.1") {
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
    x +=
        "<NAXML-MovementReport xmlns=\"" + std::string(kNaxmlNamespace) + "\" version=\"3.4\">\r\n";
    x += "  <TransmissionHeader><StoreLocationID>0001</StoreLocationID><VendorName>Radiant"
         "</VendorName><VendorModelVersion>" +
         vendorModelVersion + "</VendorModelVersion></TransmissionHeader>\r\n";
    x += "  <" + type + "Movement>\r\n";
    x += "    <MovementHeader><ReportSequenceNumber>3</ReportSequenceNumber><PrimaryReportPeriod>2"
         "</PrimaryReportPeriod><BeginDate>" +
         beginDate + "</BeginDate><BeginTime>" + beginTime + "</BeginTime><EndDate>" + endDate +
         "</EndDate><EndTime>" + endTime + "</EndTime></MovementHeader>\r\n";
    x += "    <" + type + "Detail><Amount>10.00</Amount></" + type + "Detail>\r\n";
    x += "  </" + type + "Movement>\r\n";
    x += "</NAXML-MovementReport>\r\n";
    return x;
}

}  // namespace tw::test
