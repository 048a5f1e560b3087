#include "radiant/journal_processing.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <system_error>

#include "app/messages/program_messages.h"
#include "naxml/doctype_removal.h"
#include "platform/file_ops.h"
#include "platform/paths.h"
#include "settings/poll_hist.h"

namespace tw::radiant {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDefaultJournalName = "naxml-posjournal";
constexpr std::size_t kMaxExceptionChars = 255;

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
    return std::string(TrimmedBlanks(XmlDocument::Text(XmlDocument::ChildByName(header, name))));
}

// A name in directory that no file has yet: name itself, else "_002", "_003", ... before its
// extension.
std::string FreeName(const std::string& directory, const std::string& name) {
    std::error_code error;
    if (!fs::exists(directory + name, error))
        return name;
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    for (int n = 2;; ++n) {
        char counter[16];
        std::snprintf(counter, sizeof counter, "_%03d", n);
        const std::string candidate = stem + counter + extension;
        if (!fs::exists(directory + candidate, error))
            return candidate;
    }
}

}  // namespace

ReceivedFileKind ClassifyReceivedFile(std::string_view path, std::string_view journalName,
                                      bool hasMovementHeader) {
    const std::string name = FileName(path);
    if (Contains(name, "CSH"))
        return ReceivedFileKind::Cashier;
    if (hasMovementHeader)
        return ReceivedFileKind::MovementReport;
    const std::string lowerName = Lower(name);
    std::string key = Lower(TrimmedBlanks(journalName));
    if (key.empty())
        key = kDefaultJournalName;
    if (Contains(lowerName, key))
        return ReceivedFileKind::Journal;
    if (Contains(lowerName, "emc"))
        return ReceivedFileKind::Emc;
    return ReceivedFileKind::Other;
}

std::string SlotFileName(const std::string& dataDirectory, std::string_view path,
                         std::int32_t sequence, std::int32_t slotCount) {
    const std::string name = FileName(path);
    const std::string type = Contains(name, "POSJournal") ? "JRN" : name.substr(0, 3);
    const std::int32_t slot = slotCount < 1 ? -1 : sequence % slotCount;
    char text[32];
    std::snprintf(text, sizeof text, "D%04d.XML", slot);
    return platform::AddSeparator(dataDirectory) + type + text;
}

// ---- RadiantDestinationSalesFilesProcessor ----

RadiantDestinationSalesFilesProcessor::RadiantDestinationSalesFilesProcessor(
    CountedPtr<FileSystem> fileSystem, std::string dataDirectory, std::int16_t siteNumber,
    std::string journalName, bool useSevenZip, JournalProcessingOptions options)
    : CopyDestinationFilesProcessor(std::move(fileSystem)),
      dataDirectory_(platform::AddSeparator(dataDirectory)),
      siteNumber_(siteNumber),
      splitter_(dataDirectory_),
      journalName_(std::move(journalName)),
      useSevenZip_(useSevenZip),
      options_(std::move(options)) {}

bool RadiantDestinationSalesFilesProcessor::Begin() {
    receivedFiles_.clear();
    return true;
}

bool RadiantDestinationSalesFilesProcessor::Process(const std::string& path) {
    receivedFiles_.push_back(path);
    return true;
}

bool RadiantDestinationSalesFilesProcessor::End() {
    eventsWritten_ = 0;
    std::unique_ptr<PollHist> history = OpenHistory(dataDirectory_, siteNumber_, kDayHistory);
    if (history != nullptr) {
        std::vector<RadiantXMLFileHeaderInfo> work;
        for (const auto& path : receivedFiles_) SortOut(path, work);
        std::stable_sort(work.begin(), work.end(),
                         [](const RadiantXMLFileHeaderInfo& a, const RadiantXMLFileHeaderInfo& b) {
                             return a.endTime.LinearDays() < b.endTime.LinearDays();
                         });
        for (const auto& entry : work) AssignSlot(*history, entry);
    }
    ArchiveJournals(dataDirectory_, useSevenZip_, options_.archive);
    if (history != nullptr)
        history->Close();
    return true;
}

JournalHeaderTimes RadiantDestinationSalesFilesProcessor::SplitJournal(
    const std::string& path, const XmlFileSurvey& survey) {
    JournalHeaderTimes times = splitter_.Split(path, survey);
    eventsWritten_ += splitter_.EventsWritten();
    return times;
}

void RadiantDestinationSalesFilesProcessor::SortOut(const std::string& path,
                                                    std::vector<RadiantXMLFileHeaderInfo>& work) {
    std::string why;
    if (RemoveDocumentTypeDeclaration(path, &why) == DoctypeRemoval::Failed) {
        FormatMessageTo(errorMessages(), "Unable to remove the document type from %s: %s",
                        path.c_str(), why.c_str());
    }
    if (ClassifyReceivedFile(path, journalName_, false) == ReceivedFileKind::Cashier) {
        if (platform::RemoveFile(path, nullptr)) {
            FormatMessageTo(logMessages(), "Removed: %s", path.c_str());
        }
        return;
    }
    const XmlFileSurvey survey = SurveyXmlFile(path);
    if (!survey.wellFormed) {
        Reject(path, survey.error);
        return;
    }
    switch (ClassifyReceivedFile(path, journalName_, survey.hasMovementHeader)) {
        case ReceivedFileKind::MovementReport:
            ReadPeriod(path, "MovementHeader", work);
            LogPosVersion();
            break;
        case ReceivedFileKind::Journal:
            ProcessJournal(path, survey, work);
            break;
        case ReceivedFileKind::Emc:
            ReadPeriod(path, "JournalHeader", work);
            break;
        default:
            Remove(path);
            break;
    }
}

bool RadiantDestinationSalesFilesProcessor::LoadSmallDocument(const std::string& path) {
    if (journalDocument_.Load(path))
        return true;
    Reject(path, journalDocument_.LastError());
    return false;
}

void RadiantDestinationSalesFilesProcessor::ReadPeriod(
    const std::string& path, const char* headerName, std::vector<RadiantXMLFileHeaderInfo>& work) {
    if (!LoadSmallDocument(path))
        return;
    const XmlNode header = XmlDocument::FindByName(journalDocument_.DocumentNode(), headerName);
    RadiantXMLFileHeaderInfo entry;
    entry.path = path;
    entry.endTime = HeaderDateTime(HeaderText(header, "EndDate"), HeaderText(header, "EndTime"));
    entry.beginTime =
        HeaderDateTime(HeaderText(header, "BeginDate"), HeaderText(header, "BeginTime"));
    work.push_back(std::move(entry));
}

void RadiantDestinationSalesFilesProcessor::LogPosVersion() {
    std::atomic<bool>& logged =
        options_.posVersionLogged ? *options_.posVersionLogged : processPosVersionLogged;
    if (logged.exchange(true))
        return;
    const XmlNode transmission =
        XmlDocument::FindByName(journalDocument_.DocumentNode(), "TransmissionHeader");
    const XmlNode version = XmlDocument::ChildByName(transmission, "VendorModelVersion");
    if (version != nullptr)
        SendMessageText(posVersionLog(), XmlDocument::Text(version));
}

void RadiantDestinationSalesFilesProcessor::ProcessJournal(
    const std::string& path, const XmlFileSurvey& survey,
    std::vector<RadiantXMLFileHeaderInfo>& work) {
    FormatMessageTo(logMessages(), "Processing %s", path.c_str());
    try {
        const JournalHeaderTimes times = SplitJournal(path, survey);
        if (!times.endTime.IsValid()) {
            SendMessageText(logMessages(), "Journal file header end date time is invalidate");
            return;
        }
        // A begin time that is not valid stays so: the history then matches the period by its
        // end alone, rather than by a begin that belongs to another file.
        work.push_back({times.endTime, path, times.beginTime});
    } catch (const std::exception& exception) {
        FormatMessageTo(logMessages(), "Exception: %s, ProcessJournalFiles()",
                        CutToChars(exception.what(), kMaxExceptionChars).c_str());
    }
}

void RadiantDestinationSalesFilesProcessor::Reject(const std::string& path,
                                                   const XmlParseError& error) {
    SendMessageText(logMessages(), FormatXmlParseError(error));
    const std::string folder = dataDirectory_ + kRejectedFolder + "/";
    int made = 0;
    if (!platform::MakeDirectory(folder, &made) && made != EEXIST) {
        FormatMessageTo(errorMessages(), "Unable to load %s; it stays where it is.", path.c_str());
        return;
    }
    const std::string target = folder + FreeName(folder, FileName(path));
    int moved = 0;
    if (platform::RenameFile(path, target, &moved)) {
        FormatMessageTo(errorMessages(), "Unable to load %s; it was moved to %s.", path.c_str(),
                        target.c_str());
    } else {
        FormatMessageTo(errorMessages(), "Unable to load %s; it stays where it is.", path.c_str());
    }
}

void RadiantDestinationSalesFilesProcessor::Remove(const std::string& path) {
    if (platform::RemoveFile(path, nullptr)) {
        FormatMessageTo(logMessages(), "Removed: %s", path.c_str());
    }
}

void RadiantDestinationSalesFilesProcessor::AssignSlot(PollHist& history,
                                                       const RadiantXMLFileHeaderInfo& entry) {
    const std::string lowerName = Lower(FileName(entry.path));
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
            return;
        }
    }
    const std::string slot =
        SlotFileName(dataDirectory_, entry.path, sequence, history.SlotCount());
    // The rename replaces an older slot file of the same name in one step.
    if (platform::RenameFile(entry.path, slot, nullptr)) {
        FormatMessageTo(logMessages(), "Assigned %s to %s.", entry.path.c_str(), slot.c_str());
    } else {
        FormatMessageTo(errorMessages(), "Unable to move %s to %s.", entry.path.c_str(),
                        slot.c_str());
    }
}

}  // namespace tw::radiant
