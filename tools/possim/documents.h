#pragma once
// The NAXML documents the simulated POS exports: the POS journal of a report
// period and its movement reports, with the variants that real installations
// and damaged transfers produce.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "civil_time.h"
#include "store_sim.h"
#include "xml_text.h"

namespace tw::possim {

inline constexpr std::string_view kNaxmlNamespace =
    "http://www.naxml.org/POSBO/Vocabulary/2003-10-16";

// Ways a document may differ from the plain UTF-8 one. Several may be combined.
struct Variants {
    bool crlf = false;       // CR LF line ends
    bool bom = false;        // UTF-8 byte order mark
    bool latin1 = false;     // ISO-8859-1 encoding (accented descriptions as single bytes)
    bool doctype = false;    // document type declaration with external id and internal subset
    bool badDates = false;   // journal: every fourth event has a malformed end date
                             // or time; movement report: malformed header dates
    bool badHeader = false;  // malformed header end date and time
    bool hostile = false;    // journal: every fifth event has a transaction or register ID
                             // that is unsafe as a file name ("../..", "a/b", "", ...)
    bool truncated = false;  // the file ends two thirds in, in the middle of an event
    bool plain = false;      // no default namespace on the root element
};

// "crlf,bom" style list of variant names; empty or "none" gives no variant. On
// an unknown name, or latin1 together with bom, returns nothing and sets
// *error.
std::optional<Variants> ParseVariants(std::string_view list, std::string* error);

// The names ParseVariants accepts, for the help text.
std::string_view VariantNames();

// What the POS writes into every TransmissionHeader.
struct StoreIdentity {
    std::string storeLocationId = "0001";
    std::string vendorName = "Radiant";
    std::string vendorModelVersion = "Radiant POS 4.02.1";
};

struct JournalResult {
    bool ok = false;
    std::string error;               // when not ok
    std::int64_t eventsWritten = 0;  // complete event elements in the file
    PeriodTotals totals;             // of every simulated event, also those cut off
};

// Simulates the period with sim and streams its journal to path (written under
// a temporary name and renamed into place). The file is "NAXML-POSJournal" with
// its TransmissionHeader and a JournalReport holding the JournalHeader and one
// element per event.
JournalResult WriteJournal(const std::string& path, StoreSimulator& sim, const Period& period,
                           const Variants& variants, const StoreIdentity& store);

enum class MovementType { kFuelGrade, kMerchandiseCode, kTankProduct, kItemSales, kMiscSummary };
inline constexpr MovementType kAllMovementTypes[] = {
    MovementType::kFuelGrade, MovementType::kMerchandiseCode, MovementType::kTankProduct,
    MovementType::kItemSales, MovementType::kMiscSummary};

// "FGM", "MCM", "TPM", "ISM", "MSM" (any case); nothing for another text.
std::optional<MovementType> ParseMovementType(std::string_view code);
std::string_view MovementCode(MovementType type);

// How the fuel grade movement breaks its grades down.
enum class FuelSummary { kPriceTier, kPosition };

// Writes one movement report of the period's totals: "NAXML-MovementReport"
// with its TransmissionHeader and the report element, which holds the
// MovementHeader and the detail rows. False with *error when the file cannot be
// written.
bool WriteMovementReport(const std::string& path, MovementType type, const PeriodTotals& totals,
                         const Variants& variants, const StoreIdentity& store,
                         FuelSummary fuelSummary, std::string* error);

// Names as the POS gives them: the type, the three-digit NAXML version code and
// the 14-digit local time stamp, "FGM33020261207060000.XML"; the journal
// "NAXML-POSJournal" + stamp.
std::string MovementFileName(MovementType type, std::string_view versionCode,
                             const LocalTime& stamp);
std::string JournalFileName(const LocalTime& stamp);

}  // namespace tw::possim
