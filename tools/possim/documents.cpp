#include "documents.h"

#include <array>
#include <cctype>
#include <cstdio>

namespace tw::possim {

namespace {

std::string Number(std::int64_t value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(value));
    return buffer;
}

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// Identifiers that must never become file or folder names as they stand.
constexpr std::string_view kHostileIds[] = {
    "../../../../etc/passwd",
    "..",
    "a/b",
    "..\\..\\Windows\\win.ini",
    "",
    "   ",
    "CON",
    "<&>\"'",
    "tx:1|*?",
    "%s%n%d",
    "/absolute",
    "01234567890123456789012345678901234567890123456789012345678901234567890123"
    "45678901234567"
    "89012345678901234567890123456789012345678901234567890123456789012345678901"
    "23456789012345"
    "67890123456789012345678901234567890123456789012345678901234567890123456789"
    "0123456789",
};

// End dates and times a broken export has been seen to carry.
constexpr std::pair<std::string_view, std::string_view> kBadDates[] = {
    {"2026-13-45", "25:61:00"},
    {"06/12/2026", "10:00:00"},
    {"", ""},
    {"2026-1-5", "7:5"},
    {"20261206", "220000"},
    {"2026-12-06T22:00:00", "22:00:00"},
    {"abcdefghij-k", "noon"},
    {"2026-02-30", "12:00:00"},
    {"9999-99-99", "99:99:99"},
    {"-", ":"},
};

constexpr std::string_view kBadHeaderDate = "0000-00-00";
constexpr std::string_view kBadHeaderTime = "xx:yy:zz";

std::string Doctype(std::string_view root, bool crlf) {
    const char* eol = crlf ? "\r\n" : "\n";
    std::string text = "<!DOCTYPE ";
    text += root;
    text += " SYSTEM \"";
    text += root;
    text += ".dtd\" [";
    text += eol;
    text += "  <!ENTITY vendor \"Radiant\">";
    text += eol;
    // Declared, never referenced: a reader that fetched it would be unsafe.
    text += "  <!ENTITY remote SYSTEM \"file:///etc/hostname\">";
    text += eol;
    text += "  <!ATTLIST TransactionLine status CDATA \"normal\">";
    text += eol;
    text += "]>";
    return text;
}

XmlStyle StyleFor(const Variants& variants, std::string_view root) {
    XmlStyle style;
    style.crlf = variants.crlf;
    style.bom = variants.bom;
    style.latin1 = variants.latin1;
    if (variants.doctype) {
        style.doctype = Doctype(root, variants.crlf);
    }
    return style;
}

void OpenRoot(XmlTextWriter& xml, std::string_view root, const Variants& variants) {
    if (variants.plain) {
        xml.Open(root, {{"version", "3.4"}});
    } else {
        xml.Open(root, {{"xmlns", kNaxmlNamespace}, {"version", "3.4"}});
    }
}

void WriteTransmissionHeader(XmlTextWriter& xml, const StoreIdentity& store) {
    xml.Open("TransmissionHeader");
    xml.Leaf("StoreLocationID", store.storeLocationId);
    xml.Leaf("VendorName", store.vendorName);
    xml.Leaf("VendorModelVersion", store.vendorModelVersion);
    xml.Close();
}

// The header fields shared by the journal and the movement reports, after the
// sequence.
void WritePeriodFields(XmlTextWriter& xml, const PeriodTotals& period, const Variants& variants,
                       bool businessDate) {
    xml.Leaf("ReportSequenceNumber", Number(period.sequence));
    xml.Leaf("PrimaryReportPeriod", "2");
    xml.Leaf("SecondaryReportPeriod", "0");
    if (businessDate) {
        xml.Leaf("BusinessDate", period.begin.Date());
    }
    xml.Leaf("BeginDate", period.begin.Date());
    xml.Leaf("BeginTime", period.begin.Time());
    const bool bad = variants.badHeader;
    xml.Leaf("EndDate", bad ? std::string(kBadHeaderDate) : period.end.Date());
    xml.Leaf("EndTime", bad ? std::string(kBadHeaderTime) : period.end.Time());
}

void WriteFlag(XmlTextWriter& xml, std::string_view name, bool value) {
    xml.Empty(name, {{"value", value ? "yes" : "no"}});
}

void WriteTender(XmlTextWriter& xml, int tender) {
    const Tender& t = Tenders()[tender];
    xml.Open("Tender");
    xml.Leaf("TenderCode", t.code);
    xml.Leaf("TenderSubCode", t.subCode);
    xml.Close();
}

void WriteItemCode(XmlTextWriter& xml, std::string_view posCode) {
    xml.Open("ItemCode");
    xml.Empty("POSCodeFormat", {{"format", "upcA"}});
    xml.Leaf("POSCode", posCode);
    xml.Leaf("POSCodeModifier", "0", {{"name", "default"}});
    xml.Close();
}

class JournalEventWriter {
public:
    JournalEventWriter(XmlTextWriter& xml, const Variants& variants, const LocalTime& business)
        : xml_(xml), variants_(variants), businessDate_(business.Date()) {}

    void Write(const Event& event, std::int64_t index) {
        std::string transactionId = Number(event.transactionId);
        std::string registerId = Number(event.registerId);
        if (variants_.hostile && index % 5 == 2) {
            const std::int64_t k = index / 5;
            const std::string hostile(kHostileIds[k % std::size(kHostileIds)]);
            (k % 2 == 0 ? transactionId : registerId) = hostile;
        }
        std::string endDate = event.end.Date();
        std::string endTime = event.end.Time();
        if (variants_.badDates && index % 4 == 1) {
            const auto& bad = kBadDates[(index / 4) % std::size(kBadDates)];
            endDate = bad.first;
            endTime = bad.second;
        }

        xml_.Open(EventElementName(event.kind));
        xml_.Leaf("EventSequenceID", Number(event.sequenceId));
        WriteFlag(xml_, "TrainingModeFlag", false);
        xml_.Leaf("CashierID", Number(event.cashierId));
        xml_.Leaf("RegisterID", registerId);
        xml_.Leaf("TillID", Number(event.registerId));
        if (event.kind != EventKind::kOther && event.kind != EventKind::kFinancial) {
            WriteFlag(xml_, "OutsideSalesFlag", event.outsideSale);
        }
        xml_.Leaf("TransactionID", transactionId);
        xml_.Leaf("EventStartDate", event.start.Date());
        xml_.Leaf("EventStartTime", event.start.Time());
        xml_.Leaf("EventEndDate", endDate);
        xml_.Leaf("EventEndTime", endTime);
        xml_.Leaf("BusinessDate", businessDate_);
        switch (event.kind) {
            case EventKind::kSale:
            case EventKind::kRefund:
            case EventKind::kVoid:
                xml_.Leaf("ReceiptDate", event.end.Date());
                xml_.Leaf("ReceiptTime", event.end.Time());
                WriteFlag(xml_, "OfflineFlag", false);
                WriteFlag(xml_, "SuspendFlag", false);
                WriteDetailGroup(event);
                WriteSummary(event);
                break;
            case EventKind::kOther:
                xml_.Empty("OtherEventDetail", {{"type", event.otherKind}});
                break;
            case EventKind::kFinancial:
                WriteFinancial(event);
                break;
        }
        xml_.Close();
    }

private:
    void WriteDetailGroup(const Event& event) {
        xml_.Open("TransactionDetailGroup");
        if (event.fuel) {
            WriteFuel(*event.fuel);
        }
        for (const ItemSale& sale : event.items) {
            if (sale.item) {
                WriteItem(sale);
            } else {
                WriteOpenDepartment(sale);
            }
        }
        if (event.taxableCents != 0 || event.taxCents != 0) {
            const bool refund = event.kind == EventKind::kRefund;
            xml_.Open("TransactionLine", {{"status", "normal"}});
            xml_.Open("TransactionTax");
            xml_.Leaf("TaxLevelID", Number(kTaxLevel));
            xml_.Leaf("TaxableSalesAmount", FormatCents(refund ? 0 : event.taxableCents));
            xml_.Leaf("TaxCollectedAmount", FormatCents(refund ? 0 : event.taxCents));
            xml_.Leaf("TaxableSalesRefundedAmount", FormatCents(refund ? event.taxableCents : 0));
            xml_.Leaf("TaxRefundedAmount", FormatCents(refund ? event.taxCents : 0));
            xml_.Close();
            xml_.Close();
        }
        for (const TenderUse& use : event.tenders) {
            xml_.Open("TransactionLine", {{"status", "normal"}});
            xml_.Open("TenderInfo");
            WriteTender(xml_, use.tender);
            xml_.Leaf("TenderAmount", FormatCents(use.amountCents));
            WriteFlag(xml_, "ChangeFlag", use.change);
            xml_.Close();
            xml_.Close();
        }
        xml_.Close();
    }

    void WriteFuel(const FuelSale& fuel) {
        const std::string price = FormatMilli(fuel.priceMilli);
        xml_.Open("TransactionLine", {{"status", "normal"}});
        xml_.Open("FuelLine");
        xml_.Leaf("FuelGradeID", Number(fuel.grade->id));
        xml_.Leaf("FuelPositionID", Number(fuel.position));
        xml_.Leaf("PriceTierCode", Number(fuel.priceTier));
        xml_.Leaf("TimeTierCode", "1");
        xml_.Leaf("ServiceLevelCode", "1");
        xml_.Leaf("Description", fuel.grade->description);
        xml_.Empty("EntryMethod", {{"method", "other"}});
        xml_.Leaf("ActualSalesPrice", price);
        xml_.Leaf("MerchandiseCode", Number(kFuelDepartment));
        xml_.Leaf("RegularSellPrice", price);
        xml_.Leaf("SalesQuantity", FormatMilli(fuel.volumeMilli));
        xml_.Leaf("SalesAmount", FormatCents(fuel.amountCents));
        xml_.Close();
        xml_.Close();
    }

    void WriteItem(const ItemSale& sale) {
        const Item& item = *sale.item;
        xml_.Open("TransactionLine", {{"status", sale.cancelled ? "cancel" : "normal"}});
        xml_.Open("ItemLine");
        WriteItemCode(xml_, item.posCode);
        xml_.Leaf("ItemID", item.itemId);
        xml_.Leaf("Description", item.description);
        xml_.Empty("EntryMethod", {{"method", "scan"}});
        xml_.Leaf("ActualSalesPrice", FormatCents(sale.unitCents));
        xml_.Leaf("MerchandiseCode", Number(item.department));
        xml_.Leaf("SellingUnits", "1");
        xml_.Leaf("RegularSellPrice", FormatCents(item.priceCents));
        xml_.Leaf("SalesQuantity", Number(sale.quantity));
        xml_.Leaf("SalesAmount", FormatCents(sale.amountCents));
        if (sale.promotionCents != 0) {
            xml_.Open("Promotion");
            xml_.Leaf("PromotionID", "MM10");
            xml_.Leaf("PromotionReason", "mixAndMatchOffer");
            xml_.Leaf("PromotionAmount", FormatCents(sale.promotionCents));
            xml_.Close();
        }
        if (item.taxable) {
            xml_.Open("ItemTax");
            xml_.Leaf("TaxLevelID", Number(kTaxLevel));
            xml_.Close();
        }
        xml_.Close();
        xml_.Close();
    }

    void WriteOpenDepartment(const ItemSale& sale) {
        const std::string amount = FormatCents(sale.unitCents);
        xml_.Open("TransactionLine", {{"status", sale.cancelled ? "cancel" : "normal"}});
        xml_.Open("MerchandiseCodeLine");
        xml_.Leaf("MerchandiseCode", Number(sale.department));
        xml_.Leaf("Description", DepartmentDescription(sale.department));
        xml_.Empty("EntryMethod", {{"method", "manual"}});
        xml_.Leaf("ActualSalesPrice", amount);
        xml_.Leaf("RegularSellPrice", amount);
        xml_.Leaf("SalesQuantity", Number(sale.quantity));
        xml_.Leaf("SalesAmount", FormatCents(sale.amountCents));
        xml_.Open("ItemTax");
        xml_.Leaf("TaxLevelID", Number(kTaxLevel));
        xml_.Close();
        xml_.Close();
        xml_.Close();
    }

    void WriteSummary(const Event& event) {
        const char* direction = event.kind == EventKind::kRefund ? "Outbound"
                                : event.kind == EventKind::kVoid ? "None"
                                                                 : "Inbound";
        xml_.Open("TransactionSummary");
        xml_.Leaf("TransactionTotalGrossAmount", FormatCents(event.grossCents));
        xml_.Leaf("TransactionTotalNetAmount", FormatCents(event.netCents));
        xml_.Leaf("TransactionTotalTaxSalesAmount", FormatCents(event.taxableCents));
        xml_.Leaf("TransactionTotalTaxExemptAmount", FormatCents(0));
        xml_.Leaf("TransactionTotalTaxNetAmount", FormatCents(event.taxCents));
        xml_.Leaf("TransactionTotalGrandAmount", FormatCents(event.grandCents),
                  {{"direction", direction}});
        xml_.Close();
    }

    void WriteFinancial(const Event& event) {
        xml_.Open("FinancialEventDetail");
        xml_.Leaf("FinancialEventType", event.financialKind);
        if (!event.financialReason.empty()) {
            xml_.Leaf("ReasonDescription", event.financialReason);
        }
        for (const TenderUse& use : event.tenders) {
            xml_.Open("TenderInfo");
            WriteTender(xml_, use.tender);
            xml_.Leaf("TenderAmount", FormatCents(use.amountCents));
            xml_.Close();
        }
        xml_.Close();
    }

    XmlTextWriter& xml_;
    const Variants& variants_;
    std::string businessDate_;
};

// Movement report bodies.

void WriteFuelTotals(XmlTextWriter& xml, const FuelTotals& totals) {
    xml.Open("FGMSalesTotals");
    xml.Leaf("FuelGradeSalesVolume", FormatMilli(totals.volumeMilli));
    xml.Leaf("FuelGradeSalesAmount", FormatCents(totals.amountCents));
    xml.Leaf("FuelGradeSalesCount", Number(totals.count));
    xml.Leaf("PumpTestVolume", FormatMilli(0));
    xml.Leaf("PumpTestAmount", FormatCents(0));
    xml.Leaf("DiscountAmount", FormatCents(0));
    xml.Leaf("DiscountCount", "0");
    xml.Close();
}

void WriteFuelGradeBody(XmlTextWriter& xml, const PeriodTotals& totals, FuelSummary summary) {
    for (const FuelGrade& grade : FuelGrades()) {
        xml.Open("FGMDetail");
        xml.Leaf("FuelGradeID", Number(grade.id));
        if (summary == FuelSummary::kPriceTier) {
            for (int tier = 1; tier <= kPriceTiers; ++tier) {
                const auto found = totals.gradeTier.find({grade.id, tier});
                xml.Open("FGMPriceTierSummary");
                xml.Leaf("PriceTierCode", Number(tier));
                WriteFuelTotals(xml,
                                found == totals.gradeTier.end() ? FuelTotals{} : found->second);
                xml.Close();
            }
        } else {
            for (int position = 1; position <= kFuelPositions; ++position) {
                const auto found = totals.gradePosition.find({grade.id, position});
                xml.Open("FGMPositionSummary");
                xml.Leaf("FuelPositionID", Number(position));
                WriteFuelTotals(xml,
                                found == totals.gradePosition.end() ? FuelTotals{} : found->second);
                xml.Close();
            }
        }
        xml.Close();
    }
}

void WriteMerchandiseTotals(XmlTextWriter& xml, std::string_view element,
                            const MerchandiseTotals& totals, bool withDepartmentFields) {
    xml.Open(element);
    xml.Leaf("DiscountAmount", FormatCents(0));
    xml.Leaf("DiscountCount", "0");
    xml.Leaf("PromotionAmount", FormatCents(totals.promotions.amountCents));
    xml.Leaf("PromotionCount", Number(totals.promotions.count));
    xml.Leaf("RefundAmount", FormatCents(totals.refunds.amountCents));
    xml.Leaf("RefundCount", Number(totals.refunds.count));
    xml.Leaf("SalesQuantity", Number(totals.quantity));
    xml.Leaf("SalesAmount", FormatCents(totals.sales.amountCents));
    if (withDepartmentFields) {
        xml.Leaf("TransactionCount", Number(totals.transactions));
        xml.Leaf("OpenDepartmentSalesAmount", FormatCents(totals.openDepartment.amountCents));
        xml.Leaf("OpenDepartmentTransactionCount", Number(totals.openDepartment.count));
    }
    xml.Close();
}

void WriteMerchandiseBody(XmlTextWriter& xml, const PeriodTotals& totals) {
    for (const Department& department : Departments()) {
        const auto found = totals.departments.find(department.code);
        xml.Open("MCMDetail");
        xml.Leaf("MerchandiseCode", Number(department.code));
        xml.Leaf("MerchandiseCodeDescription", department.description);
        WriteMerchandiseTotals(
            xml, "MCMSalesTotals",
            found == totals.departments.end() ? MerchandiseTotals{} : found->second, true);
        xml.Close();
    }
}

void WriteTankBody(XmlTextWriter& xml, const PeriodTotals& totals) {
    for (const Tank& tank : Tanks()) {
        const auto found = totals.tankVolumeMilli.find(tank.id);
        xml.Open("TPMDetail");
        xml.Leaf("TankID", Number(tank.id));
        xml.Leaf("FuelProductID", Number(tank.product));
        xml.Leaf("FuelProductDescription", tank.productDescription);
        xml.Open("TPMSalesTotals");
        xml.Leaf("TankSalesVolume",
                 FormatMilli(found == totals.tankVolumeMilli.end() ? 0 : found->second));
        xml.Leaf("TankDeliveryVolume", FormatMilli(0));
        xml.Close();
        xml.Close();
    }
}

void WriteItemSalesBody(XmlTextWriter& xml, const PeriodTotals& totals) {
    for (const Item& item : Items()) {
        const auto found = totals.items.find(std::string(item.posCode));
        if (found == totals.items.end()) {
            continue;  // the POS reports only items that moved
        }
        xml.Open("ISMDetail");
        WriteItemCode(xml, item.posCode);
        xml.Leaf("ItemID", item.itemId);
        xml.Leaf("Description", item.description);
        xml.Leaf("MerchandiseCode", Number(item.department));
        xml.Leaf("SellingUnits", "1");
        xml.Open("ISMSellPriceSummary");
        xml.Leaf("ActualSalesPrice", FormatCents(item.priceCents));
        WriteMerchandiseTotals(xml, "ISMSalesTotals", found->second, false);
        xml.Close();
        xml.Close();
    }
}

void WriteMiscRow(XmlTextWriter& xml, std::string_view code, std::string_view subCode,
                  std::string_view modifier, const Money& money, int tender = -1) {
    xml.Open("MSMDetail");
    xml.Open("MiscellaneousSummaryCodes");
    xml.Leaf("MiscellaneousSummaryCode", code);
    xml.Leaf("MiscellaneousSummarySubCode", subCode);
    xml.Leaf("MiscellaneousSummarySubCodeModifier", modifier);
    xml.Close();
    xml.Open("MSMSalesTotals");
    if (tender >= 0) {
        WriteTender(xml, tender);
    }
    xml.Leaf("MiscellaneousSummaryAmount", FormatCents(money.amountCents));
    xml.Leaf("MiscellaneousSummaryCount", Number(money.count));
    xml.Close();
    xml.Close();
}

void WriteMiscSummaryBody(XmlTextWriter& xml, const PeriodTotals& t) {
    WriteMiscRow(xml, "statistics", "transactions", "", {0, t.sales});
    WriteMiscRow(xml, "statistics", "voidTransactions", "", {0, t.voids});
    WriteMiscRow(xml, "statistics", "noSales", "", {0, t.noSales});
    WriteMiscRow(xml, "statistics", "refunds", "", {t.refundCents, t.refunds});
    WriteMiscRow(xml, "statistics", "driveOffs", "", {0, 0});
    WriteMiscRow(xml, "totalizer", "sales", "fuel", {t.fuelCents, 0});
    WriteMiscRow(xml, "totalizer", "sales", "merchandise", {t.merchandiseCents, 0});
    WriteMiscRow(xml, "totalizer", "tax", Number(kTaxLevel), {t.taxCents, 0});
    WriteMiscRow(xml, "discount", "promotions", "", t.promotions);
    WriteMiscRow(xml, "payouts", "total", "", t.payOuts);
    WriteMiscRow(xml, "payins", "total", "", t.payIns);
    WriteMiscRow(xml, "safeDrop", "total", "", t.safeDrops);
    WriteMiscRow(xml, "safeLoan", "total", "", t.safeLoans);
    for (std::size_t tender = 0; tender < t.tenders.size(); ++tender) {
        WriteMiscRow(xml, "summaryTotals", "tender", "", t.tenders[tender],
                     static_cast<int>(tender));
    }
    WriteMiscRow(xml, "summaryTotals", "change", "", t.changeGiven, 0);
}

std::string_view ReportElement(MovementType type) {
    switch (type) {
        case MovementType::kFuelGrade:
            return "FuelGradeMovement";
        case MovementType::kMerchandiseCode:
            return "MerchandiseCodeMovement";
        case MovementType::kTankProduct:
            return "TankProductMovement";
        case MovementType::kItemSales:
            return "ItemSalesMovement";
        case MovementType::kMiscSummary:
            return "MiscellaneousSummaryMovement";
    }
    return "MiscellaneousSummaryMovement";
}

}  // namespace

std::optional<Variants> ParseVariants(std::string_view list, std::string* error) {
    Variants variants;
    std::size_t pos = 0;
    while (pos <= list.size()) {
        std::size_t comma = list.find(',', pos);
        if (comma == std::string_view::npos) {
            comma = list.size();
        }
        const std::string_view name = list.substr(pos, comma - pos);
        pos = comma + 1;
        if (name.empty() || name == "none") {
            continue;
        }
        bool* flag = name == "crlf"        ? &variants.crlf
                     : name == "bom"       ? &variants.bom
                     : name == "latin1"    ? &variants.latin1
                     : name == "doctype"   ? &variants.doctype
                     : name == "baddates"  ? &variants.badDates
                     : name == "badheader" ? &variants.badHeader
                     : name == "hostile"   ? &variants.hostile
                     : name == "truncated" ? &variants.truncated
                     : name == "plain"     ? &variants.plain
                                           : nullptr;
        if (!flag) {
            if (error) {
                *error = "unknown variant \"" + std::string(name) + "\"";
            }
            return std::nullopt;
        }
        *flag = true;
    }
    if (variants.latin1 && variants.bom) {
        if (error) {
            *error = "the variants latin1 and bom exclude each other";
        }
        return std::nullopt;
    }
    return variants;
}

std::string_view VariantNames() {
    return "crlf, bom, latin1, doctype, baddates, badheader, hostile, truncated, "
           "plain";
}

JournalResult WriteJournal(const std::string& path, StoreSimulator& sim, const Period& period,
                           const Variants& variants, const StoreIdentity& store) {
    static constexpr std::string_view kRoot = "NAXML-POSJournal";
    JournalResult result;
    XmlOutputFile file(path);
    if (!file.Open()) {
        result.error = file.ErrorText();
        return result;
    }
    XmlTextWriter xml(StyleFor(variants, kRoot));
    xml.Prolog();
    OpenRoot(xml, kRoot, variants);
    WriteTransmissionHeader(xml, store);
    xml.Open("JournalReport");
    xml.Open("JournalHeader");
    PeriodTotals header;
    header.sequence = period.sequence;
    header.begin = period.begin;
    header.end = period.end;
    WritePeriodFields(xml, header, variants, false);
    xml.Close();
    if (variants.truncated && period.events == 0) {
        xml.Truncate(xml.Buffered() / 2);
    }

    const std::int64_t cutAt = variants.truncated ? period.events * 2 / 3 : -1;
    bool cut = variants.truncated && period.events == 0;
    JournalEventWriter events(xml, variants, period.begin);
    std::int64_t index = 0;
    result.totals = sim.Run(period, [&](const Event& event) {
        if (cut) {
            return;  // the rest of the period is simulated but never reaches the file
        }
        const std::size_t before = xml.Buffered();
        events.Write(event, index);
        if (index == cutAt) {
            xml.Truncate(before + (xml.Buffered() - before) / 2);
            cut = true;
        } else {
            ++result.eventsWritten;
            file.Drain(xml);
        }
        ++index;
    });
    if (!cut) {
        xml.CloseAll();
    }
    if (!file.Finish(xml)) {
        result.error = file.ErrorText();
        return result;
    }
    result.ok = true;
    return result;
}

std::optional<MovementType> ParseMovementType(std::string_view code) {
    for (MovementType type : kAllMovementTypes) {
        if (SameLetters(code, MovementCode(type))) {
            return type;
        }
    }
    return std::nullopt;
}

std::string_view MovementCode(MovementType type) {
    switch (type) {
        case MovementType::kFuelGrade:
            return "FGM";
        case MovementType::kMerchandiseCode:
            return "MCM";
        case MovementType::kTankProduct:
            return "TPM";
        case MovementType::kItemSales:
            return "ISM";
        case MovementType::kMiscSummary:
            return "MSM";
    }
    return "MSM";
}

bool WriteMovementReport(const std::string& path, MovementType type, const PeriodTotals& totals,
                         const Variants& variants, const StoreIdentity& store,
                         FuelSummary fuelSummary, std::string* error) {
    static constexpr std::string_view kRoot = "NAXML-MovementReport";
    XmlOutputFile file(path);
    if (!file.Open()) {
        if (error) {
            *error = file.ErrorText();
        }
        return false;
    }
    Variants headerVariants = variants;
    headerVariants.badHeader = variants.badHeader || variants.badDates;
    XmlTextWriter xml(StyleFor(variants, kRoot));
    xml.Prolog();
    OpenRoot(xml, kRoot, variants);
    WriteTransmissionHeader(xml, store);
    xml.Open(ReportElement(type));
    xml.Open("MovementHeader");
    WritePeriodFields(xml, totals, headerVariants, true);
    xml.Close();
    switch (type) {
        case MovementType::kFuelGrade:
            WriteFuelGradeBody(xml, totals, fuelSummary);
            break;
        case MovementType::kMerchandiseCode:
            WriteMerchandiseBody(xml, totals);
            break;
        case MovementType::kTankProduct:
            WriteTankBody(xml, totals);
            break;
        case MovementType::kItemSales:
            WriteItemSalesBody(xml, totals);
            break;
        case MovementType::kMiscSummary:
            WriteMiscSummaryBody(xml, totals);
            break;
    }
    if (variants.truncated) {
        xml.Truncate(xml.Buffered() * 2 / 3);
    } else {
        xml.CloseAll();
    }
    if (!file.Finish(xml)) {
        if (error) {
            *error = file.ErrorText();
        }
        return false;
    }
    return true;
}

std::string MovementFileName(MovementType type, std::string_view versionCode,
                             const LocalTime& stamp) {
    return std::string(MovementCode(type)) + std::string(versionCode) + stamp.Stamp14() + ".XML";
}

std::string JournalFileName(const LocalTime& stamp) {
    return "NAXML-POSJournal" + stamp.Stamp14() + ".XML";
}

}  // namespace tw::possim
