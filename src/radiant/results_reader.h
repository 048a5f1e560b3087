#pragma once
// The maintenance-results reader of a poll pass: the results waiter's handler, transfer and
// destination processor. It runs on its own thread with its own file systems (the POS's P3 as
// source, a back-office file system of its own as destination), both connected at the start
// of each pass.
//
// After importing a delivery the POS removes its semaphore and leaves a results file, "ILG"
// followed by a time stamp, in its import directory. While a semaphore is still there the
// import is pending and nothing is fetched. Otherwise every results file is fetched into the
// data directory, kept as "ILG.XML" (the newest one survives) and its counts are reported per
// table: how many records the POS's two databases, NAXMLDB and LHSITEDB, accepted, warned
// about or rejected.

#include <cstdint>
#include <string>
#include <vector>

#include "monitor/file_system_monitor.h"
#include "naxml/xml_document.h"
#include "platform/paths.h"

namespace tw::radiant {

inline constexpr const char* kResultsFileName = "ILG.XML";

// The counts of one table in a results file, as written (attribute texts, empty when missing).
struct TableResultCounts {
    std::string naxmlSuccess, naxmlWarn, naxmlFail;
    std::string siteSuccess, siteWarn, siteFail;
};

// Reports the counts of the tables MCT, ITT, ILT and CBT of a loaded results document to
// logMessages(): nothing for a table without its Detail element or whose six counts are all
// "0"; the table's success message when both success counts are equal and every warn and fail
// count is "0"; otherwise the detail message with all six counts. Counts are compared as text
// ("00" is not "0").
void ReportMaintenanceResults(const XmlDocument& results);

// Collects the results files received in a pass; its End puts each in place as "ILG.XML" and
// reports its counts.
class RadiantDestinationResultsFilesProcessor
    : public FileSystemMonitor::CopyDestinationFilesProcessor {
public:
    RadiantDestinationResultsFilesProcessor(CountedPtr<FileSystem> fileSystem,
                                            std::string dataDirectory, std::int16_t siteNumber);

    bool Begin() override;
    // Remembers path; no report.
    bool Process(const std::string& path) override;
    // For each received file in arrival order: copies it over "ILG.XML" (the old one stays
    // when the copy fails, and so does the received file: "NAXML Maintenance Results file:
    // Unable to move %s to %s." to errorMessages()), reports "NAXML Maintenance Results file:
    // Assigned %s to %s.", deletes the received file and reports the counts. A file that does
    // not load stays as "ILG.XML" without counts. Always true.
    bool End() override;

    const std::vector<std::string>& ReceivedFiles() const { return receivedFiles_; }

protected:
    std::string dataDirectory_;
    std::int16_t siteNumber_;
    std::vector<std::string> receivedFiles_;
    XmlDocument resultsDocument_;
};

// The results copy into the data directory.
class RadiantCopyResultsFiles : public FileSystemMonitor::CopyFiles {
public:
    RadiantCopyResultsFiles(CountedPtr<Monitor::ProcessData> sourceProcessor,
                            CountedPtr<Monitor::ProcessData> destinationProcessor,
                            std::string dataDirectory);

    // Names beginning with "ILG" and ending in "XML", both without regard to case. Directories
    // are never taken: one named like a results file would fail every pass.
    bool ShouldTransfer(FileSystem& source, const FileInfo& file, FileSystem& destination) override;
};

// The results waiter's pass: Begin; when the import directory holds no "SEM*.XML", every
// results file in name order (oldest stamp first, so the newest ends as "ILG.XML"); End.
// Without an import directory (ImportDestinationPath empty) it reads nothing.
class RadiantPollerResultsFileMaskHandler : public FileSystemMonitor::FileMaskHandler {
public:
    using FileMaskHandler::FileMaskHandler;

    bool DoPass() override;
};

}  // namespace tw::radiant
