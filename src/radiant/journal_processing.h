#pragma once
// Journal processing: what happens to the files a sales pass received into the site's data
// directory. Each file is sorted out by its name and content:
//   cashier files (name holds "CSH")                  deleted unread;
//   movement reports (a MovementHeader)               their report period is read;
//   journals (name holds the journal name, or the     split into event files (journal_split.h);
//            document element is a NAXML-POSJournal)
//   "emc" files                                       the period of their JournalHeader is read;
//   anything else                                     deleted.
// The files with a period are then tied, earliest end first, to a sales sequence of the site's
// day history and renamed to that sequence's slot file ("<type>D<slot>.XML"), which the back
// office posts from. Last, the day folders of event files are archived.
//
// What it guarantees:
// - A received file leaves the data directory only when it is filed: renamed to its slot file,
//   moved to REJECTED/ (a file that is not well-formed XML, a journal without a usable period),
//   or deleted as unwanted. Until then it stays under its received name, recorded in the
//   received list (received_list.h), and every pass takes it up again before fetching new
//   files: re-doing the work is harmless (the same event files, the same slot).
// - A journal is filed only after all its events are durably written. One whose events could
//   not all be written (a full disk) stays, reported, to be split again; one with an event whose
//   IDs can make no file name is filed whole and the event reported.
// - Nothing filed is destroyed: a slot file that holds other bytes is moved to REPLACED/ before
//   its slot is reused; REJECTED/ and REPLACED/ keep one copy of each distinct content.
// - A file received again that is already filed (the same bytes in a slot file of its type) is
//   not filed twice.
// - Every failure that leaves work undone is reported to errorMessages().
//
// Classification looks at the file name only, never at the directories above it.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/file_system_monitor.h"
#include "naxml/xml_document.h"
#include "platform/file_env.h"
#include "platform/ole_date.h"
#include "radiant/journal_archive.h"
#include "radiant/journal_split.h"
#include "radiant/received_list.h"

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
// MovementHeader in the content, a name holding the journal name or a document element that is
// a journal, a name holding "emc" (the names without regard to case). journalName: the site's
// JournalName, trimmed; empty means "naxml-posjournal". Only the file name part of path counts.
ReceivedFileKind ClassifyReceivedFile(std::string_view path, std::string_view journalName,
                                      bool hasMovementHeader, bool rootIsJournal = false);

// "<dataDirectory><type>D<slot>.XML": type is "JRN" for a name holding "POSJournal", else the
// name's first three characters; slot is sequence modulo slotCount, or -1 when slotCount < 1.
std::string SlotFileName(const std::string& dataDirectory, std::string_view path,
                         std::int32_t sequence, std::int32_t slotCount);

// Whether a name is a slot file's: three characters, "D", four digits (or "-001"), ".XML".
bool IsSlotFileName(std::string_view name);

struct JournalProcessingOptions {
    JournalArchiveOptions archive;
    // The POS version is logged from the first movement report the program meets; this flag
    // remembers that it was. Null: the process-wide flag.
    std::atomic<bool>* posVersionLogged = nullptr;
    // The file operations (not owned; null: the real file system).
    platform::FileEnv* env = nullptr;
};

// The destination processor of the sales transfer: Begin finishes what earlier passes left,
// Process collects the files received now, End processes them and archives. Runs on the poll
// monitor's thread; not thread-safe.
class RadiantDestinationSalesFilesProcessor
    : public FileSystemMonitor::CopyDestinationFilesProcessor {
public:
    // dataDirectory: a local directory (gains a trailing '/'); received paths are local paths in
    // it. received: the data directory's received list, shared with the sales transfer that
    // records each file before it lands (null: the processor makes its own).
    RadiantDestinationSalesFilesProcessor(CountedPtr<FileSystem> fileSystem,
                                          std::string dataDirectory, std::int16_t siteNumber,
                                          std::string journalName, bool useSevenZip,
                                          JournalProcessingOptions options = {},
                                          std::shared_ptr<ReceivedList> received = nullptr);

    // Empties the received list of this pass and processes the files that earlier passes
    // received but did not file (without archiving; End archives). Always true.
    bool Begin() override;
    // Appends path to this pass's files (and records it in the received list); reports nothing.
    bool Process(const std::string& path) override;
    // Processes this pass's files, then archives the day folders. Always true (failures are
    // reported as they happen).
    bool End() override;

    // Splits the journal at path into event files (see JournalSplitter::Split).
    JournalHeaderTimes SplitJournal(const std::string& path, const XmlFileSurvey& survey);

    const std::vector<std::string>& ReceivedFiles() const { return receivedFiles_; }
    const std::string& DataDirectory() const { return dataDirectory_; }
    // Event files written since the last Begin.
    int EventsWritten() const { return eventsWritten_; }

private:
    // What became of one received file.
    enum class Fate {
        Gone,     // filed, rejected or deleted: no longer in the data directory
        Pending,  // waits in the work list for its slot
        Stays,    // left for a later pass (reported)
    };
    // The slot files of the data directory by type, for finding a file filed before.
    using SlotFiles = std::map<std::string, std::vector<std::string>>;

    void ProcessFiles(const std::vector<std::string>& paths);
    Fate SortOut(const std::string& path, std::vector<RadiantXMLFileHeaderInfo>& work);
    Fate ReadPeriod(const std::string& path, const char* headerName,
                    std::vector<RadiantXMLFileHeaderInfo>& work);
    void LogPosVersion();
    Fate ProcessJournal(const std::string& path, const XmlFileSurvey& survey,
                        std::vector<RadiantXMLFileHeaderInfo>& work);
    bool StripDocumentType(const std::string& path, XmlFileSurvey& survey, Fate& fate);
    Fate Reject(const std::string& path, const std::string& why);
    Fate Remove(const std::string& path);
    Fate AssignSlot(PollHist& history, const RadiantXMLFileHeaderInfo& entry, SlotFiles& slots);
    std::string FiledBefore(const std::string& path, const std::string& type,
                            const SlotFiles& slots);
    bool KeepAside(const std::string& slot);
    bool SyncDataDirectory(const char* before);
    SlotFiles ListSlotFiles();

    platform::FileEnv& env_;
    std::string dataDirectory_;
    std::vector<std::string> receivedFiles_;
    std::int16_t siteNumber_;
    XmlDocument journalDocument_;
    JournalSplitter splitter_;
    std::string journalName_;
    bool useSevenZip_;
    JournalProcessingOptions options_;
    std::shared_ptr<ReceivedList> received_;
    int eventsWritten_ = 0;
};

// The folders of the data directory that hold what the poller moved aside: received files that
// are unreadable (or a journal without a usable period), and slot files a newer file displaced.
inline constexpr const char* kRejectedFolder = "REJECTED";
inline constexpr const char* kReplacedFolder = "REPLACED";

}  // namespace tw::radiant
