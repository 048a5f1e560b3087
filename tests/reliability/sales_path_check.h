#pragma once
// The guarantee of the sales path, checked on a data directory D once the passes are done:
//  - every event of every journal the POS exported is filed exactly once, as an event file in
//    its day folder or as an entry of its day archive, under the name its content gives, and
//    nothing else is filed; every archive passes `unzip -t`;
//  - every poll history file reads and is a whole number of 41-byte records;
//  - every movement report the POS exported is found, byte for byte, in a slot file
//    (three letters, D, four digits, ".XML") or in D/REPLACED/;
//  - no temporary file (".~tw...") anywhere under D, no raw received file (a name the POS
//    exported) at the top of D, no entry in the list of received but unfiled files
//    RECEIVED.nnn, and nothing in D/REJECTED/ (the POS exported only valid files).
// The figures are kept apart so that the benchmark can print them and a test can name what
// failed.

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tw::reliability {

// What the POS exported, read from a copy of its directory made before any pass.
struct PosExport {
    std::set<std::string> names;                         // every file, by name
    std::map<std::string, int> events;                   // event key -> times exported
    std::map<std::string, std::string> movementReports;  // name -> bytes
    std::map<std::string, std::string> journals;         // name -> bytes
    std::map<std::string, std::string> journalOfEvent;   // event key -> journal name
    // Files that are neither readable journals nor movement reports, and event keys the POS
    // itself wrote twice: the oracle cannot hold the poller to "exactly once" then.
    std::vector<std::string> problems;
};

PosExport ReadPosExport(const std::string& directory);

struct SalesPathVerdict {
    std::size_t eventsExpected = 0;
    std::size_t eventsFiledOnce = 0;
    std::size_t eventsLost = 0;  // found nowhere
    // Of those, events whose journal is still whole in D (a slot file, REJECTED/, or under
    // its received name): not split, but not gone either.
    std::size_t eventsLostJournalKept = 0;
    std::size_t eventsDuplicated = 0;  // found more than once
    std::size_t eventsUnexpected = 0;  // found, but the POS never exported them
    std::size_t unreadable = 0;        // event files or entries not holding one readable event
    std::size_t misplaced = 0;         // under a name or day their content does not give
    std::size_t badArchives = 0;       // failing `unzip -t`
    std::size_t badHistories = 0;
    std::size_t movementReportsMissing = 0;
    std::size_t tempFiles = 0;
    std::size_t rawFilesLeft = 0;
    std::size_t receivedListed = 0;  // non-blank lines of RECEIVED.nnn
    std::size_t rejectedFiles = 0;
    std::vector<std::string> problems;  // one line each, the first ones of every kind

    bool Holds() const;
    // The figures in one line.
    std::string Summary() const;
    // Summary and the problem lines.
    std::string Details() const;
};

struct CheckOptions {
    std::string scratch;  // a directory for the archive tester's output
    std::string unzip = "unzip";
    int site = 1;
};

SalesPathVerdict CheckSalesPath(const PosExport& exported, const std::string& data,
                                const CheckOptions& options);

}  // namespace tw::reliability
