#include "store_sim.h"

#include <algorithm>
#include <cstdio>

namespace tw::possim {

namespace {

std::int64_t RoundedDivide(std::int64_t value, std::int64_t divisor) {
    return (value + divisor / 2) / divisor;
}

const Tank* TankOfProduct(int product, std::int64_t choice) {
    std::vector<const Tank*> matching;
    for (const Tank& tank : Tanks()) {
        if (tank.product == product) {
            matching.push_back(&tank);
        }
    }
    return matching.empty() ? nullptr : matching[choice % matching.size()];
}

std::string FormatFixed(std::int64_t value, std::int64_t scale, int digits) {
    const bool negative = value < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%s%llu.%0*llu", negative ? "-" : "",
                  static_cast<unsigned long long>(magnitude / scale), digits,
                  static_cast<unsigned long long>(magnitude % scale));
    return buffer;
}

}  // namespace

std::string FormatCents(std::int64_t cents) {
    return FormatFixed(cents, 100, 2);
}
std::string FormatMilli(std::int64_t milli) {
    return FormatFixed(milli, 1000, 3);
}

std::string_view EventElementName(EventKind kind) {
    switch (kind) {
        case EventKind::kSale:
            return "SaleEvent";
        case EventKind::kRefund:
            return "RefundEvent";
        case EventKind::kVoid:
            return "VoidEvent";
        case EventKind::kOther:
            return "OtherEvent";
        case EventKind::kFinancial:
            return "FinancialEvent";
    }
    return "OtherEvent";
}

StoreSimulator::StoreSimulator(std::uint64_t seed, int registers)
    : rng_(seed), registers_(std::max(1, registers)), nextTransaction_(registers_ + 1, 1) {}

PeriodTotals StoreSimulator::Run(const Period& period,
                                 const std::function<void(const Event&)>& sink) {
    PeriodTotals totals;
    totals.sequence = period.sequence;
    totals.begin = period.begin;
    totals.end = period.end;
    for (std::int64_t index = 0; index < period.events; ++index) {
        const Event event = MakeEvent(period, index);
        Count(event, totals);
        if (sink) {
            sink(event);
        }
    }
    return totals;
}

Event StoreSimulator::MakeEvent(const Period& period, std::int64_t index) {
    Event event;
    const int roll = static_cast<int>(rng_.Between(0, 99));
    event.kind = roll < 78   ? EventKind::kSale
                 : roll < 82 ? EventKind::kRefund
                 : roll < 87 ? EventKind::kVoid
                 : roll < 93 ? EventKind::kOther
                             : EventKind::kFinancial;
    event.sequenceId = nextSequence_++;
    event.registerId = static_cast<int>(rng_.Between(1, registers_));
    event.transactionId = nextTransaction_[event.registerId]++;

    // Starts spread evenly over the period with a random offset inside each
    // event's share, so they never go backwards; an event ends before the period
    // does.
    const std::int64_t span =
        std::max<std::int64_t>(1, period.end.Seconds() - period.begin.Seconds());
    const std::int64_t share = span * 1000000 / std::max<std::int64_t>(1, period.events);
    const std::int64_t offsetMicro = index * share + rng_.Between(0, share - 1);
    event.start = period.begin.Plus(std::min(span - 1, offsetMicro / 1000000));
    const std::int64_t duration = rng_.Between(15, 240);
    event.end = std::min(event.start.Plus(duration), period.end);
    // Cashiers work eight-hour shifts on their register.
    const std::int64_t shift = (event.start.Seconds() / (8 * 3600)) % 3;
    event.cashierId = 100 + event.registerId * 10 + static_cast<int>(shift);

    switch (event.kind) {
        case EventKind::kSale:
        case EventKind::kVoid:
            FillSale(event, false);
            if (event.kind == EventKind::kSale) {
                FillTenders(event);
            } else {
                event.tenders.clear();  // a voided transaction was never paid
            }
            break;
        case EventKind::kRefund:
            FillSale(event, true);
            break;
        case EventKind::kOther:
            event.otherKind = rng_.Percent(70) ? "noSale" : "cashierSignOn";
            break;
        case EventKind::kFinancial: {
            const int kind = static_cast<int>(rng_.Between(0, 99));
            if (kind < 40) {
                event.financialKind = "payOut";
                event.financialCents = rng_.Between(500, 6000);
                const auto reasons = PayoutReasons();
                event.financialReason = reasons[rng_.Between(0, reasons.size() - 1)];
            } else if (kind < 55) {
                event.financialKind = "payIn";
                event.financialCents = rng_.Between(1000, 5000);
            } else if (kind < 90) {
                event.financialKind = "safeDrop";
                event.financialCents = rng_.Between(5, 30) * 1000;
            } else {
                event.financialKind = "safeLoan";
                event.financialCents = rng_.Between(2, 10) * 1000;
            }
            event.tenders.push_back({0, event.financialCents, false});
            break;
        }
    }
    return event;
}

void StoreSimulator::FillSale(Event& event, bool refund) {
    // The tender decides the fuel price tier, so choose it first.
    const int tenderRoll = static_cast<int>(rng_.Between(0, 99));
    const int tender = refund || tenderRoll < 45 ? 0 : static_cast<int>(rng_.Between(1, 4));
    event.tenders.push_back({tender, 0, false});

    const bool withFuel = !refund && rng_.Percent(55);
    if (withFuel) {
        const auto grades = FuelGrades();
        FuelSale fuel;
        fuel.grade = &grades[rng_.Between(0, grades.size() - 1)];
        fuel.position = static_cast<int>(rng_.Between(1, kFuelPositions));
        fuel.priceTier = tender == 0 ? 1 : 2;
        fuel.priceMilli =
            fuel.grade->cashPriceMilli + (fuel.priceTier == 2 ? kCreditMarkupMilli : 0);
        fuel.volumeMilli = rng_.Between(2500, 25000);
        fuel.amountCents = RoundedDivide(fuel.volumeMilli * fuel.priceMilli, 10000);
        const std::int64_t tankChoice = rng_.Between(0, 1);
        for (int i = 0; i < 2; ++i) {
            const Tank* tank = TankOfProduct(fuel.grade->products[i], tankChoice);
            fuel.tanks[i] = tank ? tank->id : 0;
        }
        event.fuel = fuel;
    }

    const std::int64_t lines = refund     ? rng_.Between(1, 2)
                               : withFuel ? rng_.Between(0, 3)
                                          : rng_.Between(1, 5);
    const auto items = Items();
    const auto departments = Departments();
    for (std::int64_t i = 0; i < lines; ++i) {
        ItemSale sale;
        if (!refund && rng_.Percent(4)) {
            // An open-department sale keyed by department, without an item.
            const auto& department = departments[rng_.Between(1, departments.size() - 1)];
            sale.department = department.code;
            sale.unitCents = rng_.Between(100, 2500);
        } else {
            sale.item = &items[rng_.Between(0, items.size() - 1)];
            sale.department = sale.item->department;
            sale.unitCents = sale.item->priceCents;
            sale.quantity = rng_.Percent(85) ? 1 : static_cast<int>(rng_.Between(2, 3));
            if (!refund && rng_.Percent(6)) {
                sale.promotionCents = RoundedDivide(sale.unitCents * sale.quantity, 10);
            }
        }
        sale.amountCents = sale.unitCents * sale.quantity - sale.promotionCents;
        sale.cancelled = !refund && rng_.Percent(3);
        event.items.push_back(sale);
    }

    std::int64_t net = event.fuel ? event.fuel->amountCents : 0;
    std::int64_t promotions = 0;
    for (const ItemSale& sale : event.items) {
        if (sale.cancelled) {
            continue;
        }
        net += sale.amountCents;
        promotions += sale.promotionCents;
        if (!sale.item || sale.item->taxable) {
            event.taxableCents += sale.amountCents;
        }
    }
    event.taxCents = RoundedDivide(event.taxableCents * kTaxRatePercent, 100);
    event.netCents = net;
    event.grossCents = net + promotions;
    event.grandCents = net + event.taxCents;
    event.tenders[0].amountCents = event.grandCents;
    event.outsideSale = withFuel && event.items.empty() && tender != 0 && rng_.Percent(60);
}

void StoreSimulator::FillTenders(Event& event) {
    TenderUse& paid = event.tenders[0];
    if (paid.tender != 0 || !rng_.Percent(60)) {
        return;
    }
    // Cash handed over in round notes; the change goes back as its own tender
    // line.
    const std::int64_t note = rng_.Percent(50) ? 500 : 2000;
    const std::int64_t handed = (event.grandCents + note - 1) / note * note;
    if (handed > event.grandCents) {
        paid.amountCents = handed;
        event.tenders.push_back({0, handed - event.grandCents, true});
    }
}

void StoreSimulator::Count(const Event& event, PeriodTotals& totals) {
    ++totals.events;
    switch (event.kind) {
        case EventKind::kVoid:
            ++totals.voids;
            return;
        case EventKind::kOther:
            ++(event.otherKind == "noSale" ? totals.noSales : totals.signOns);
            return;
        case EventKind::kFinancial: {
            Money& money = event.financialKind == "payOut"     ? totals.payOuts
                           : event.financialKind == "payIn"    ? totals.payIns
                           : event.financialKind == "safeDrop" ? totals.safeDrops
                                                               : totals.safeLoans;
            money.amountCents += event.financialCents;
            ++money.count;
            return;
        }
        case EventKind::kSale:
        case EventKind::kRefund:
            break;
    }
    const bool refund = event.kind == EventKind::kRefund;
    ++(refund ? totals.refunds : totals.sales);
    if (event.fuel) {
        const FuelSale& fuel = *event.fuel;
        for (auto* bucket : {&totals.gradeTier[{fuel.grade->id, fuel.priceTier}],
                             &totals.gradePosition[{fuel.grade->id, fuel.position}]}) {
            bucket->volumeMilli += fuel.volumeMilli;
            bucket->amountCents += fuel.amountCents;
            ++bucket->count;
        }
        const std::int64_t firstHalf = fuel.volumeMilli / 2;
        totals.tankVolumeMilli[fuel.tanks[0]] += firstHalf;
        totals.tankVolumeMilli[fuel.tanks[1]] += fuel.volumeMilli - firstHalf;
        totals.fuelCents += fuel.amountCents;
        MerchandiseTotals& department = totals.departments[kFuelDepartment];
        department.sales.amountCents += fuel.amountCents;
        ++department.sales.count;
        ++department.transactions;
    }
    for (const ItemSale& sale : event.items) {
        if (sale.cancelled) {
            continue;
        }
        MerchandiseTotals& department = totals.departments[sale.department];
        std::vector<MerchandiseTotals*> buckets = {&department};
        if (sale.item) {
            buckets.push_back(&totals.items[std::string(sale.item->posCode)]);
        } else {
            department.openDepartment.amountCents += sale.amountCents;
            ++department.openDepartment.count;
        }
        for (MerchandiseTotals* bucket : buckets) {
            Money& money = refund ? bucket->refunds : bucket->sales;
            money.amountCents += sale.amountCents;
            money.count += sale.quantity;
            if (!refund) {
                bucket->quantity += sale.quantity;
            }
            if (sale.promotionCents != 0) {
                bucket->promotions.amountCents += sale.promotionCents;
                ++bucket->promotions.count;
            }
            ++bucket->transactions;
        }
        if (!refund) {
            totals.merchandiseCents += sale.amountCents;
            totals.promotions.amountCents += sale.promotionCents;
            totals.promotions.count += sale.promotionCents != 0 ? 1 : 0;
        }
    }
    if (refund) {
        totals.refundCents += event.grandCents;
    } else {
        totals.taxCents += event.taxCents;
    }
    for (const TenderUse& use : event.tenders) {
        Money& money = totals.tenders[use.tender];
        if (use.change) {
            totals.changeGiven.amountCents += use.amountCents;
            ++totals.changeGiven.count;
            money.amountCents -= use.amountCents;
        } else {
            money.amountCents += refund ? -use.amountCents : use.amountCents;
            ++money.count;
        }
    }
}

}  // namespace tw::possim
