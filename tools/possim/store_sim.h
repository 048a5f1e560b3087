#pragma once
// The simulated store: a seeded stream of POS transaction events over report
// periods, and the period totals that the movement reports summarise. One seed
// and one sequence of periods give the same events every time; how the events
// are written (variants, encodings) never draws from the random stream, so a
// journal and the movement reports of the same seed agree.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue.h"
#include "civil_time.h"
#include "sim_random.h"

namespace tw::possim {

enum class EventKind { kSale, kRefund, kVoid, kOther, kFinancial };

// The element name of an event kind ("SaleEvent", ...).
std::string_view EventElementName(EventKind kind);

struct ItemSale {
    const Item* item = nullptr;  // null for an open-department line
    int department = 0;          // of the item, or the open department
    int quantity = 1;
    std::int64_t unitCents = 0;
    std::int64_t promotionCents = 0;  // taken off the line amount
    std::int64_t amountCents = 0;     // quantity * unit - promotion
    bool cancelled = false;           // voided line: shown, not counted
};

struct FuelSale {
    const FuelGrade* grade = nullptr;
    int position = 1;
    int priceTier = 1;
    int tanks[2] = {0, 0};  // tanks drawn from, half the volume each
    std::int64_t volumeMilli = 0;
    std::int64_t priceMilli = 0;
    std::int64_t amountCents = 0;
};

struct TenderUse {
    int tender = 0;  // index into Tenders()
    std::int64_t amountCents = 0;
    bool change = false;  // money handed back
};

struct Event {
    EventKind kind = EventKind::kSale;
    std::int64_t sequenceId = 0;  // EventSequenceID, counting through all periods
    int registerId = 1;
    int cashierId = 0;
    std::int64_t transactionId = 0;  // counts per register through all periods
    LocalTime start, end;
    bool outsideSale = false;

    std::optional<FuelSale> fuel;
    std::vector<ItemSale> items;
    std::int64_t taxableCents = 0, taxCents = 0;
    std::int64_t grossCents = 0, netCents = 0, grandCents = 0;
    std::vector<TenderUse> tenders;

    std::string_view otherKind;      // OtherEvent: "noSale", "cashierSignOn"
    std::string_view financialKind;  // FinancialEvent: "payOut", "payIn",
                                     // "safeDrop", "safeLoan"
    std::string_view financialReason;
    std::int64_t financialCents = 0;
};

struct Money {
    std::int64_t amountCents = 0;
    std::int64_t count = 0;
};

struct FuelTotals {
    std::int64_t volumeMilli = 0;
    std::int64_t amountCents = 0;
    std::int64_t count = 0;
};

struct MerchandiseTotals {
    std::int64_t quantity = 0;
    Money sales, refunds, promotions, openDepartment;
    std::int64_t transactions = 0;
};

// What happened in one report period; the movement reports are written from it.
struct PeriodTotals {
    int sequence = 1;
    LocalTime begin, end;
    std::int64_t events = 0;

    std::map<std::pair<int, int>, FuelTotals> gradeTier;      // (grade, price tier)
    std::map<std::pair<int, int>, FuelTotals> gradePosition;  // (grade, fuel position)
    std::map<int, MerchandiseTotals> departments;             // by MerchandiseCode
    std::map<std::string, MerchandiseTotals> items;           // by POSCode
    std::map<int, std::int64_t> tankVolumeMilli;              // by tank
    std::vector<Money> tenders = std::vector<Money>(Tenders().size());

    std::int64_t sales = 0, refunds = 0, voids = 0, noSales = 0, signOns = 0;
    std::int64_t fuelCents = 0, merchandiseCents = 0, taxCents = 0, refundCents = 0;
    Money payOuts, payIns, safeDrops, safeLoans, promotions, changeGiven;
};

// One report period of the store.
struct Period {
    int sequence = 1;  // ReportSequenceNumber
    LocalTime begin, end;
    std::int64_t events = 0;
};

class StoreSimulator {
public:
    StoreSimulator(std::uint64_t seed, int registers);

    // Generates the period's events in order, handing each to sink (when given)
    // and adding it to the returned totals. Events lie within [begin, end]; their
    // starts never decrease. Counters (event sequence, transactions) go on from
    // the previous period.
    PeriodTotals Run(const Period& period, const std::function<void(const Event&)>& sink = {});

    int Registers() const { return registers_; }

private:
    Event MakeEvent(const Period& period, std::int64_t index);
    void FillSale(Event& event, bool refund);
    void FillTenders(Event& event);
    static void Count(const Event& event, PeriodTotals& totals);

    Rng rng_;
    int registers_;
    std::int64_t nextSequence_ = 1;
    std::vector<std::int64_t> nextTransaction_;
};

// "12.34", "-0.05": cents as a decimal amount.
std::string FormatCents(std::int64_t cents);
// "10.123": thousandths as a decimal quantity or unit price.
std::string FormatMilli(std::int64_t milli);

}  // namespace tw::possim
