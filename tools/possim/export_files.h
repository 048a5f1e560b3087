#pragma once
// The POS's export side: journals and movement reports written into a directory
// under the names the POS gives them, with the modification times it would
// leave, one report period or several in a row.

#include <cstdint>
#include <string>
#include <vector>

#include "documents.h"

namespace tw::possim {

struct SimulationOptions {
    std::uint64_t seed = 1;
    std::int64_t events = 100;  // per period
    // 22:00 on the last day of a month: the default period crosses midnight and a
    // month end.
    LocalTime start = LocalTime::FromCivil({2026, 11, 30, 22, 0, 0});
    std::int64_t periodSeconds = 8 * 3600;
    int registers = 2;
    int sequence = 1;                 // ReportSequenceNumber of the first period
    std::string versionCode = "330";  // the three digits in movement file names
    StoreIdentity store;
};

// The report period number `index` (0 = the first) of the options.
Period PeriodOf(const SimulationOptions& options, int index);

struct ExportOutcome {
    bool ok = true;
    std::string error;               // the first failure
    std::vector<std::string> files;  // paths written, in order
};

// Writes the journal of the first period into directory (created when missing)
// under the POS's name, or under fileName when that is given (a plain name, no
// directory). Its modification time is the end of the period.
ExportOutcome ExportJournal(const SimulationOptions& options, const Variants& variants,
                            const std::string& directory, const std::string& fileName = {});

// Writes the movement reports of the given types for the first period, named
// and timed as the POS does. The totals are those of the journal of the same
// options.
ExportOutcome ExportMovement(const SimulationOptions& options,
                             const std::vector<MovementType>& types, const Variants& variants,
                             FuelSummary fuelSummary, const std::string& directory);

// A whole export directory: for each of `periods` consecutive periods the
// journal and the five movement reports, all stamped and timed with the end of
// their period.
ExportOutcome ExportDirectory(const SimulationOptions& options, int periods,
                              const Variants& journalVariants, const Variants& movementVariants,
                              FuelSummary fuelSummary, const std::string& directory);

// Creates a directory and its missing parents. False with *error.
bool MakeDirectories(const std::string& path, std::string* error);

// A plain file name: not empty, not "." or "..", without '/' or '\\' or NUL.
bool IsPlainFileName(const std::string& name);

}  // namespace tw::possim
