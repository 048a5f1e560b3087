#pragma once
// The POS's import side: it takes a delivery of maintenance files when the
// semaphore file that lists them appears in its import directory, imports them,
// removes them and the semaphore, and leaves a results file ("ILG" + 14-digit
// time stamp + ".XML") that counts, per maintenance table, the records its two
// databases (NAXMLDB and LHSITEDB) accepted, warned about or rejected.

#include <optional>
#include <string>
#include <vector>

#include "civil_time.h"

namespace tw::possim {

struct ConsumeOptions {
    std::string importDirectory;
    // The time stamp of the results file names (and their modification time); the
    // current local time when not given. Each further results file of a run takes
    // the next second.
    std::optional<LocalTime> resultsTime;
    int warnEvery = 0;    // every n-th record of a table is accepted with a warning by both
    int rejectEvery = 0;  // every n-th record of a table is rejected by LHSITEDB only
};

struct ConsumeOutcome {
    int semaphores = 0;                     // semaphore files taken
    std::vector<std::string> resultsFiles;  // written, in order
    std::vector<std::string> problems;      // what was wrong with the deliveries
    bool ok = true;  // false when a semaphore or results file could not be handled
};

// Takes every semaphore ("SEM*.XML", any case) of the import directory, in name
// order. The results file is in place before the maintenance files and the
// semaphore are removed, so a reader that waits for the semaphore to go finds
// the results. A semaphore that is not a well-formed file list is left where it
// is and reported. Names in the list that are not plain file names are never
// opened; they and missing or unreadable files count as failures of their
// table.
ConsumeOutcome ConsumeDeliveries(const ConsumeOptions& options);

}  // namespace tw::possim
