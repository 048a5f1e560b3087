#include "radiant/journal_processing.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>

#include "messages/program_messages.h"
#include "naxml/doctype_removal.h"
#include "platform/paths.h"
#include "settings/poll_hist.h"

namespace tw::radiant {
namespace {

constexpr const char* kDefaultJournalName = "naxml-posjournal";
constexpr std::size_t kMaxExceptionChars = 255;
// A folder keeps at most this many copies of one name ("_002" ... "_999").
constexpr int kMaxKeptCopies = 999;

std::atomic<bool> processPosVersionLogged{false};

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string_view TrimmedBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

std::string FileName(std::string_view path) {
    return std::string(platform::FileNamePart(path));
}

std::string HeaderText(XmlNode header, const char* name) {
    return std::string(
        TrimmedBlanks(XmlDocument::Text(XmlDocument::ChildByLocalName(header, name))));
}

// The type part of a slot file name: "JRN" for a name holding "POSJournal", else the name's
// first three characters.
std::string SlotType(std::string_view name) {
    return Contains(name, "POSJournal") ? "JRN" : std::string(name.substr(0, 3));
}

// The type of a slot file's name ("FGMD0003.XML" -> "FGM", "MSMD-001.XML" -> "MSM"), or empty
// for a name that is not a slot file's.
std::string TypeOfSlotFile(std::string_view name) {
    if (name.size() != 12 || name.substr(8) != ".XML" || name[3] != 'D')
        return {};
    const std::string_view number = name.substr(4, 4);
    const bool digits =
        std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
    return digits || number == "-001" ? std::string(name.substr(0, 3)) : std::string();
}

// "name", "name_002", "name_003", ... (the counter before the extension).
std::string NumberedName(const std::string& name, int n) {
    if (n < 2)
        return name;
    const std::size_t dot = name.rfind('.');
    char counter[16];
    std::snprintf(counter, sizeof counter, "_%03d", n);
    return dot == std::string::npos ? name + counter
                                    : name.substr(0, dot) + counter + name.substr(dot);
}

enum class Kept { Moved, AlreadyThere, Failed };

// Moves path into folder (made when missing) as name, or name_002, name_003, ...: the first
// name that is free, unless one already holds the same bytes (then path is removed, as its
// bytes are kept already). *keptAs: where the bytes are now.
Kept KeepInFolder(platform::FileEnv& env, const std::string& folder, const std::string& path,
                  const std::string& name, std::string* keptAs, int* error) {
    if (!env.MakeDirectory(folder, error) && *error != EEXIST)
        return Kept::Failed;
    for (int n = 1; n <= kMaxKeptCopies; ++n) {
        *keptAs = folder + "/" + NumberedName(name, n);
        platform::PathStatus status;
        if (env.Stat(*keptAs, status, nullptr)) {
            if (platform::SameFileContent(env, path, *keptAs)) {
                return env.RemoveFile(path, error) ? Kept::AlreadyThere : Kept::Failed;
            }
            continue;
        }
        return env.Rename(path, *keptAs, error) ? Kept::Moved : Kept::Failed;
    }
    *error = EEXIST;
    return Kept::Failed;
}

}  // namespace

ReceivedFileKind ClassifyReceivedFile(std::string_view path, std::string_view journalName,
                                      bool hasMovementHeader, bool rootIsJournal) {
    const std::string name = FileName(path);
    if (Contains(name, "CSH"))
        return ReceivedFileKind::Cashier;
    if (hasMovementHeader)
        return ReceivedFileKind::MovementReport;
    const std::string lowerName = Lower(name);
    std::string key = Lower(TrimmedBlanks(journalName));
    if (key.empty())
        key = kDefaultJournalName;
    if (Contains(lowerName, key) || rootIsJournal)
        return ReceivedFileKind::Journal;
    if (Contains(lowerName, "emc"))
        return ReceivedFileKind::Emc;
    return ReceivedFileKind::Other;
}

bool IsSlotFileName(std::string_view name) {
    return !TypeOfSlotFile(name).empty();
}

std::string SlotFileName(const std::string& dataDirectory, std::string_view path,
                         std::int32_t sequence, std::int32_t slotCount) {
    const std::int32_t slot = slotCount < 1 ? -1 : sequence % slotCount;
    char text[32];
    std::snprintf(text, sizeof text, "D%04d.XML", slot);
    return platform::AddSeparator(dataDirectory) + SlotType(FileName(path)) + text;
}

// ---- RadiantDestinationSalesFilesProcessor ----

RadiantDestinationSalesFilesProcessor::RadiantDestinationSalesFilesProcessor(
    CountedPtr<FileSystem> fileSystem, std::string dataDirectory, std::int16_t siteNumber,
    std::string journalName, bool useSevenZip, JournalProcessingOptions options,
    std::shared_ptr<ReceivedList> received)
    : CopyDestinationFilesProcessor(std::move(fileSystem)),
      env_(options.env != nullptr ? *options.env : platform::DefaultFileEnv()),
      dataDirectory_(platform::AddSeparator(dataDirectory)),
      siteNumber_(siteNumber),
      splitter_(dataDirectory_, &env_),
      journalName_(std::move(journalName)),
      useSevenZip_(useSevenZip),
      options_(std::move(options)),
      received_(received ? std::move(received)
                         : std::make_shared<ReceivedList>(env_, dataDirectory_, siteNumber)) {}

bool RadiantDestinationSalesFilesProcessor::Begin() {
    receivedFiles_.clear();
    eventsWritten_ = 0;
    if (!received_->Load())
        return true;
    std::vector<std::string> leftOver;
    for (const auto& name : received_->Names()) {
        leftOver.push_back(dataDirectory_ + name);
        FormatMessageTo(logMessages(), "Taking up %s, received but not filed by an earlier pass.",
                        leftOver.back().c_str());
    }
    if (!leftOver.empty())
        ProcessFiles(leftOver);
    return true;
}

bool RadiantDestinationSalesFilesProcessor::Process(const std::string& path) {
    receivedFiles_.push_back(path);
    if (platform::DirectoryPart(path) == dataDirectory_)
        received_->Add(FileName(path));
    return true;
}

bool RadiantDestinationSalesFilesProcessor::End() {
    ProcessFiles(receivedFiles_);
    JournalArchiveOptions archive = options_.archive;
    archive.env = &env_;
    ArchiveJournals(dataDirectory_, useSevenZip_, archive);
    return true;
}

void RadiantDestinationSalesFilesProcessor::ProcessFiles(const std::vector<std::string>& paths) {
    if (paths.empty())
        return;
    // Without the history nothing can be filed: the files stay, recorded, for a later pass.
    std::unique_ptr<PollHist> history = OpenHistory(dataDirectory_, siteNumber_, kDayHistory);
    if (history == nullptr)
        return;
    std::vector<std::string> gone;
    std::vector<RadiantXMLFileHeaderInfo> work;
    for (const auto& path : paths) {
        if (SortOut(path, work) == Fate::Gone)
            gone.push_back(FileName(path));
    }
    // Event files must be on disk before a journal is filed: once filed, nothing would split
    // it again. Without that, everything stays to be filed by a later pass.
    if (!work.empty() && SyncDataDirectory("filing the files received")) {
        std::stable_sort(work.begin(), work.end(),
                         [](const RadiantXMLFileHeaderInfo& a, const RadiantXMLFileHeaderInfo& b) {
                             return a.endTime.LinearDays() < b.endTime.LinearDays();
                         });
        SlotFiles slots = ListSlotFiles();
        for (const auto& entry : work) {
            if (AssignSlot(*history, entry, slots) == Fate::Gone)
                gone.push_back(FileName(entry.path));
        }
    }
    history->Close();
    // The history records, the slot files and every move are durable before the received list
    // forgets the files: a power cut before that point leaves them to be filed again.
    if (!gone.empty() && SyncDataDirectory("forgetting the files filed"))
        received_->Remove(gone);
}

bool RadiantDestinationSalesFilesProcessor::SyncDataDirectory(const char* before) {
    int error = 0;
    if (env_.SyncFileSystem(dataDirectory_, &error))
        return true;
    FormatMessageTo(errorMessages(), "Unable to flush %s to disk before %s: %s",
                    dataDirectory_.c_str(), before, SystemErrorText(error).c_str());
    return false;
}

JournalHeaderTimes RadiantDestinationSalesFilesProcessor::SplitJournal(
    const std::string& path, const XmlFileSurvey& survey) {
    JournalHeaderTimes times = splitter_.Split(path, survey);
    eventsWritten_ += splitter_.EventsWritten();
    return times;
}

RadiantDestinationSalesFilesProcessor::Fate RadiantDestinationSalesFilesProcessor::SortOut(
    const std::string& path, std::vector<RadiantXMLFileHeaderInfo>& work) {
    if (ClassifyReceivedFile(path, journalName_, false) == ReceivedFileKind::Cashier)
        return Remove(path);
    XmlFileSurvey survey = SurveyXmlFile(path);
    if (!survey.wellFormed) {
        if (survey.error.code == ENOENT)
            return Fate::Gone;  // filed by an earlier pass whose received list was not rewritten
        SendMessageText(logMessages(), FormatXmlParseError(survey.error));
        return Reject(path, "Unable to load %s");
    }
    if (survey.hasDoctype) {
        Fate fate = Fate::Stays;
        if (!StripDocumentType(path, survey, fate))
            return fate;
    }
    switch (
        ClassifyReceivedFile(path, journalName_, survey.hasMovementHeader, survey.rootIsJournal)) {
        case ReceivedFileKind::MovementReport: {
            const Fate fate = ReadPeriod(path, "MovementHeader", work);
            LogPosVersion();
            return fate;
        }
        case ReceivedFileKind::Journal:
            return ProcessJournal(path, survey, work);
        case ReceivedFileKind::Emc:
            return ReadPeriod(path, "JournalHeader", work);
        default:
            return Remove(path);
    }
}

bool RadiantDestinationSalesFilesProcessor::StripDocumentType(const std::string& path,
                                                              XmlFileSurvey& survey, Fate& fate) {
    // The file is rewritten without its declaration only when the rest still reads: a journal
    // that uses entities of its internal subset is kept with its declaration, as received.
    std::string why;
    const DoctypeRemoval removal = RemoveDocumentTypeDeclaration(
        path, &why,
        [](const std::string& rewritten) { return SurveyXmlFile(rewritten).wellFormed; }, env_);
    switch (removal) {
        case DoctypeRemoval::Removed:
            survey = SurveyXmlFile(path);
            return true;
        case DoctypeRemoval::NotPresent:
            return true;
        case DoctypeRemoval::Refused:
            fate = Reject(path, "%s does not read without its document type declaration");
            return false;
        case DoctypeRemoval::Failed:
            break;
    }
    FormatMessageTo(errorMessages(), "Unable to remove the document type from %s: %s", path.c_str(),
                    why.c_str());
    fate = Fate::Stays;
    return false;
}

RadiantDestinationSalesFilesProcessor::Fate RadiantDestinationSalesFilesProcessor::ReadPeriod(
    const std::string& path, const char* headerName, std::vector<RadiantXMLFileHeaderInfo>& work) {
    if (!journalDocument_.Load(path))
        return Reject(path, "Unable to load %s");
    const XmlNode header =
        XmlDocument::FindByLocalName(journalDocument_.DocumentNode(), headerName);
    RadiantXMLFileHeaderInfo entry;
    entry.path = path;
    entry.endTime = HeaderDateTime(HeaderText(header, "EndDate"), HeaderText(header, "EndTime"));
    entry.beginTime =
        HeaderDateTime(HeaderText(header, "BeginDate"), HeaderText(header, "BeginTime"));
    work.push_back(std::move(entry));
    return Fate::Pending;
}

void RadiantDestinationSalesFilesProcessor::LogPosVersion() {
    std::atomic<bool>& logged =
        options_.posVersionLogged ? *options_.posVersionLogged : processPosVersionLogged;
    if (logged.exchange(true))
        return;
    const XmlNode transmission =
        XmlDocument::FindByLocalName(journalDocument_.DocumentNode(), "TransmissionHeader");
    const XmlNode version = XmlDocument::ChildByLocalName(transmission, "VendorModelVersion");
    if (version != nullptr)
        SendMessageText(posVersionLog(), XmlDocument::Text(version));
}

RadiantDestinationSalesFilesProcessor::Fate RadiantDestinationSalesFilesProcessor::ProcessJournal(
    const std::string& path, const XmlFileSurvey& survey,
    std::vector<RadiantXMLFileHeaderInfo>& work) {
    FormatMessageTo(logMessages(), "Processing %s", path.c_str());
    try {
        const JournalHeaderTimes times = SplitJournal(path, survey);
        if (splitter_.ReadFailed() || splitter_.EventsFailed() > 0) {
            // Filing it now would leave its missing events unsplit for good.
            FormatMessageTo(errorMessages(),
                            "%s is not filed: %d of its events could not be written; it will be "
                            "split again.",
                            path.c_str(), splitter_.EventsFailed());
            return Fate::Stays;
        }
        if (!times.endTime.IsValid()) {
            SendMessageText(logMessages(), "Journal file header end date time is invalidate");
            // No period, no slot: the journal is kept whole where the back office can find it.
            return Reject(path, "%s has no valid end date and time in its JournalHeader");
        }
        // A begin time that is not valid stays so: the history then matches the period by its
        // end alone, rather than by a begin that belongs to another file.
        work.push_back({times.endTime, path, times.beginTime});
        return Fate::Pending;
    } catch (const std::exception& exception) {
        FormatMessageTo(errorMessages(), "Exception: %s, ProcessJournalFiles()",
                        CutToChars(exception.what(), kMaxExceptionChars).c_str());
        return Fate::Stays;
    }
}

RadiantDestinationSalesFilesProcessor::Fate RadiantDestinationSalesFilesProcessor::Reject(
    const std::string& path, const std::string& why) {
    char reason[kMaxMessageChars + 1];
    std::snprintf(reason, sizeof reason, why.c_str(), path.c_str());
    std::string keptAs;
    int error = 0;
    switch (KeepInFolder(env_, dataDirectory_ + kRejectedFolder, path, FileName(path), &keptAs,
                         &error)) {
        case Kept::Moved:
            FormatMessageTo(errorMessages(), "%s; it was moved to %s.", reason, keptAs.c_str());
            return Fate::Gone;
        case Kept::AlreadyThere:
            FormatMessageTo(errorMessages(), "%s; the same file is already kept as %s.", reason,
                            keptAs.c_str());
            return Fate::Gone;
        case Kept::Failed:
            break;
    }
    FormatMessageTo(errorMessages(), "%s; it stays where it is (%s).", reason,
                    SystemErrorText(error).c_str());
    return Fate::Stays;
}

RadiantDestinationSalesFilesProcessor::Fate RadiantDestinationSalesFilesProcessor::Remove(
    const std::string& path) {
    int error = 0;
    if (env_.RemoveFile(path, &error) || error == ENOENT) {
        FormatMessageTo(logMessages(), "Removed: %s", path.c_str());
        return Fate::Gone;
    }
    FormatMessageTo(errorMessages(), "Unable to remove %s: %s", path.c_str(),
                    SystemErrorText(error).c_str());
    return Fate::Stays;
}

RadiantDestinationSalesFilesProcessor::SlotFiles
RadiantDestinationSalesFilesProcessor::ListSlotFiles() {
    SlotFiles slots;
    std::vector<std::string> names;
    env_.ListNames(dataDirectory_, names, nullptr);
    for (auto& name : names) {
        std::string type = TypeOfSlotFile(name);
        if (!type.empty())
            slots[type].push_back(std::move(name));
    }
    return slots;
}

std::string RadiantDestinationSalesFilesProcessor::FiledBefore(const std::string& path,
                                                               const std::string& type,
                                                               const SlotFiles& slots) {
    const auto ofType = slots.find(type);
    if (ofType == slots.end())
        return {};
    for (const auto& name : ofType->second) {
        if (platform::SameFileContent(env_, path, dataDirectory_ + name))
            return dataDirectory_ + name;
    }
    return {};
}

bool RadiantDestinationSalesFilesProcessor::KeepAside(const std::string& slot) {
    std::string keptAs;
    int error = 0;
    switch (KeepInFolder(env_, dataDirectory_ + kReplacedFolder, slot, FileName(slot), &keptAs,
                         &error)) {
        case Kept::Moved:
        case Kept::AlreadyThere:
            FormatMessageTo(logMessages(), "%s held another file; it was kept as %s.", slot.c_str(),
                            keptAs.c_str());
            return true;
        case Kept::Failed:
            break;
    }
    FormatMessageTo(errorMessages(), "Unable to move %s to %s: %s", slot.c_str(), keptAs.c_str(),
                    SystemErrorText(error).c_str());
    return false;
}

RadiantDestinationSalesFilesProcessor::Fate RadiantDestinationSalesFilesProcessor::AssignSlot(
    PollHist& history, const RadiantXMLFileHeaderInfo& entry, SlotFiles& slots) {
    const std::string name = FileName(entry.path);
    const std::string type = SlotType(name);
    // Received again (an earlier pass was stopped before it could forget it, or the POS kept
    // it): filed already, and filing it twice would post it twice.
    if (const std::string filed = FiledBefore(entry.path, type, slots); !filed.empty()) {
        if (Remove(entry.path) != Fate::Gone)
            return Fate::Stays;
        FormatMessageTo(logMessages(), "%s was filed before as %s.", entry.path.c_str(),
                        filed.c_str());
        return Fate::Gone;
    }
    const std::string lowerName = Lower(name);
    const bool emc = Contains(lowerName, "emc");
    const bool journal = Contains(lowerName, "journal");
    std::int32_t sequence = history.FindSequence(entry.beginTime, entry.endTime);
    if (sequence < 1 && emc) {
        sequence = history.FindSequenceNear(entry.beginTime, entry.endTime, kHistOneMinute);
    }
    if (sequence < 1) {
        sequence = history.LastSequence() + 1;
        if (!emc && !journal && !Contains(lowerName, "pos")) {
            history.SetLastSequence(sequence);
            if (!history.WriteHeader()) {
                SendMessageText(errorMessages(), "Unable to write header to history file.");
            }
        }
    }
    if (!emc && !journal && !lowerName.starts_with("pos")) {
        history.SetCurrent({sequence, entry.beginTime, entry.endTime});
        if (!history.WriteRecord()) {
            SendMessageText(errorMessages(), "Unable to write record to history file.");
            return Fate::Stays;
        }
    }
    const std::string slot =
        SlotFileName(dataDirectory_, entry.path, sequence, history.SlotCount());
    platform::PathStatus status;
    if (env_.Stat(slot, status, nullptr) && !KeepAside(slot)) {
        FormatMessageTo(errorMessages(), "Unable to move %s to %s.", entry.path.c_str(),
                        slot.c_str());
        return Fate::Stays;
    }
    int error = 0;
    if (!env_.Rename(entry.path, slot, &error)) {
        FormatMessageTo(errorMessages(), "Unable to move %s to %s.", entry.path.c_str(),
                        slot.c_str());
        return Fate::Stays;
    }
    FormatMessageTo(logMessages(), "Assigned %s to %s.", entry.path.c_str(), slot.c_str());
    auto& ofType = slots[type];
    const std::string slotName = FileName(slot);
    if (std::find(ofType.begin(), ofType.end(), slotName) == ofType.end())
        ofType.push_back(slotName);
    return Fate::Gone;
}

}  // namespace tw::radiant
