#pragma once
// Journal processing: what happens to the files a sales pass received into the site's data
// directory. Each file is sorted out by its name and content:
//   cashier files (name holds "CSH")       deleted unread;
//   movement reports (a MovementHeader)    their report period is read;
//   journals (name holds the journal name) split into event files (journal_split.h);
//   "emc" files                            the period of their JournalHeader is read;
//   anything else                          deleted.
// Files that are not well-formed XML (a journal the POS was still writing, say) are moved to
// REJECTED/ in the data directory and reported, never deleted. The files with a period are then
// tied, earliest end first, to a sales sequence of the site's day history and renamed to that
// sequence's slot file ("<type>D<slot>.XML"), which the back office posts from. Last, the day
// folders of event files are archived.
//
// Classification looks at the file name only, never at the directories above it.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/file_system_monitor.h"
#include "naxml/xml_document.h"
#include "platform/ole_date.h"
#include "radiant/journal_archive.h"
#include "radiant/journal_split.h"

namespace tw {
class PollHist;
}

namespace tw::radiant {

// One file of the work list.
struct RadiantXMLFileHeaderInfo {
    platform::OleDate endTime = platform::OleDate::Invalid();
    std::string path;
    platform::OleDate beginTime = platform::OleDate::Invalid();
};

enum class ReceivedFileKind { Cashier, MovementReport, Journal, Emc, Other };

// The kind of a received file, tested in this order: a name holding "CSH" (exact case), a
// MovementHeader in the content, a name holding the journal name, a name holding "emc" (the
// last two without regard to case). journalName: the site's JournalName, trimmed; empty means
// "naxml-posjournal". Only the file name part of path counts.
ReceivedFileKind ClassifyReceivedFile(std::string_view path, std::string_view journalName,
                                      bool hasMovementHeader);

// "<dataDirectory><type>D<slot>.XML": type is "JRN" for a name holding "POSJournal", else the
// name's first three characters; slot is sequence modulo slotCount, or -1 when slotCount < 1.
std::string SlotFileName(const std::string& dataDirectory, std::string_view path,
                         std::int32_t sequence, std::int32_t slotCount);

struct JournalProcessingOptions {
    JournalArchiveOptions archive;
    // The POS version is logged from the first movement report the program meets; this flag
    // remembers that it was. Null: the process-wide flag.
    std::atomic<bool>* posVersionLogged = nullptr;
};

// The destination processor of the sales transfer: Process collects the received files, End
// processes them. Runs on the poll monitor's thread; not thread-safe.
class RadiantDestinationSalesFilesProcessor
    : public FileSystemMonitor::CopyDestinationFilesProcessor {
public:
    // dataDirectory: a local directory (gains a trailing '/'); received paths are local paths in
    // it.
    RadiantDestinationSalesFilesProcessor(CountedPtr<FileSystem> fileSystem,
                                          std::string dataDirectory, std::int16_t siteNumber,
                                          std::string journalName, bool useSevenZip,
                                          JournalProcessingOptions options = {});

    // Empties the received list.
    bool Begin() override;
    // Appends path to the received list; reports nothing.
    bool Process(const std::string& path) override;
    // Journal processing; always true (failures are reported as they happen).
    bool End() override;

    // Splits the journal at path into event files (see JournalSplitter::Split).
    JournalHeaderTimes SplitJournal(const std::string& path, const XmlFileSurvey& survey);

    const std::vector<std::string>& ReceivedFiles() const { return receivedFiles_; }
    const std::string& DataDirectory() const { return dataDirectory_; }
    // Event files written by the last End.
    int EventsWritten() const { return eventsWritten_; }

private:
    void SortOut(const std::string& path, std::vector<RadiantXMLFileHeaderInfo>& work);
    bool LoadSmallDocument(const std::string& path);
    void ReadPeriod(const std::string& path, const char* headerName,
                    std::vector<RadiantXMLFileHeaderInfo>& work);
    void LogPosVersion();
    void ProcessJournal(const std::string& path, const XmlFileSurvey& survey,
                        std::vector<RadiantXMLFileHeaderInfo>& work);
    void Reject(const std::string& path, const XmlParseError& error);
    void Remove(const std::string& path);
    void AssignSlot(PollHist& history, const RadiantXMLFileHeaderInfo& entry);

    std::string dataDirectory_;
    std::vector<std::string> receivedFiles_;
    std::int16_t siteNumber_;
    XmlDocument journalDocument_;
    JournalSplitter splitter_;
    std::string journalName_;
    bool useSevenZip_;
    JournalProcessingOptions options_;
    int eventsWritten_ = 0;
};

// The folder of the data directory that unreadable received files are moved to.
inline constexpr const char* kRejectedFolder = "REJECTED";

}  // namespace tw::radiant
