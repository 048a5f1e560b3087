#include "sales_path_check.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "ascii_case.h"
#include "event_census.h"
#include "settings/poll_hist.h"
#include "spawned_program.h"
#include "tree_snapshot.h"

namespace tw::reliability {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kProblemsPerKind = 5;
constexpr const char* kTemporaryPrefix = ".~tw";

std::string SiteFile(const char* stem, int site) {
    char name[32];
    std::snprintf(name, sizeof name, "%s.%03d", stem, site);
    return name;
}

// "FGMD0003.XML": three letters, D, four digits, ".XML".
bool IsSlotFileName(const std::string& name) {
    if (name.size() != 12 || UpperAscii(name.substr(8)) != ".XML" || name[3] != 'D')
        return false;
    for (int i = 0; i < 3; ++i) {
        if (!std::isalpha(static_cast<unsigned char>(name[i])))
            return false;
    }
    for (int i = 4; i < 8; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return false;
    }
    return true;
}

// Collects problem lines, keeping the first few of each kind and counting the rest.
class ProblemList {
public:
    explicit ProblemList(std::vector<std::string>& lines) : lines_(lines) {}
    void Add(const std::string& kind, const std::string& text) {
        if (++seen_[kind] <= kProblemsPerKind)
            lines_.push_back(kind + ": " + text);
    }
    ~ProblemList() {
        for (const auto& [kind, count] : seen_) {
            if (count > kProblemsPerKind)
                lines_.push_back(kind + ": " + std::to_string(count - kProblemsPerKind) + " more");
        }
    }

private:
    std::vector<std::string>& lines_;
    std::map<std::string, std::size_t> seen_;
};

// The exported journals whose bytes are whole in a file at the top of data or in REJECTED/.
std::set<std::string> JournalsKeptWhole(const PosExport& exported, const std::string& data) {
    std::map<std::uint64_t, std::string> byHash;
    for (const auto& [name, bytes] : exported.journals) byHash[HashBytes(bytes)] = name;
    std::set<std::string> kept;
    const auto look = [&](const fs::path& path) {
        const std::string bytes = ReadFileBytes(path.string());
        const auto found = byHash.find(HashBytes(bytes));
        if (found != byHash.end() && exported.journals.at(found->second) == bytes)
            kept.insert(found->second);
    };
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(data, error)) {
        if (entry.is_regular_file())
            look(entry.path());
    }
    if (fs::is_directory(data + "/REJECTED", error)) {
        for (const auto& entry : fs::recursive_directory_iterator(data + "/REJECTED", error)) {
            if (entry.is_regular_file())
                look(entry.path());
        }
    }
    return kept;
}

void CheckEvents(const PosExport& exported, const std::string& data, SalesPathVerdict& verdict,
                 ProblemList& problems) {
    const EventCensus census = TakeEventCensus(data);
    const std::set<std::string> journalsKept = JournalsKeptWhole(exported, data);
    verdict.eventsExpected = exported.events.size();
    for (const auto& [key, times] : exported.events) {
        const auto found = census.counts.find(key);
        const int count = found == census.counts.end() ? 0 : found->second;
        if (count == 0) {
            ++verdict.eventsLost;
            const std::string& journal = exported.journalOfEvent.at(key);
            const bool kept = journalsKept.count(journal) != 0;
            verdict.eventsLostJournalKept += kept;
            problems.Add("lost", key + " of " + journal +
                                     (kept ? " (the journal is whole in D)" : " (journal gone)"));
        } else if (count > 1) {
            ++verdict.eventsDuplicated;
            std::string places;
            for (const auto& place : census.places.at(key)) places += " " + place;
            problems.Add("duplicated", key + " in" + places);
        } else {
            ++verdict.eventsFiledOnce;
        }
    }
    for (const auto& [key, count] : census.counts) {
        if (exported.events.count(key) == 0) {
            ++verdict.eventsUnexpected;
            problems.Add("unexpected", key + " in " + census.places.at(key).front());
        }
    }
    verdict.unreadable = census.unreadable.size();
    for (const auto& line : census.unreadable) problems.Add("unreadable", line);
    verdict.misplaced = census.misplaced.size();
    for (const auto& line : census.misplaced) problems.Add("misplaced", line);
}

void CheckArchives(const std::string& data, const CheckOptions& options, SalesPathVerdict& verdict,
                   ProblemList& problems) {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(data, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (!it->is_regular_file() || UpperAscii(it->path().extension().string()) != ".ZIP")
            continue;
        ProgramRun test;
        test.argv = {options.unzip, "-tqq", it->path().string()};
        test.outputPath = options.scratch + "/unzip-test.out";
        test.timeLimit = std::chrono::minutes(2);
        const ProgramEnding ending = RunProgram(test);
        if (!ending.Exited(0)) {
            ++verdict.badArchives;
            problems.Add("archive", fs::relative(it->path(), data).string() + " fails unzip -t (" +
                                        ending.Describe() + "): " + LastLineOf(test.outputPath));
        }
    }
}

void CheckHistories(const std::string& data, int site, SalesPathVerdict& verdict,
                    ProblemList& problems) {
    for (const int kind : {kDayHistory, kShiftHistory}) {
        const std::string name = HistFileName(site, kind);
        const std::string path = data + "/" + name;
        std::error_code error;
        if (!fs::exists(path, error)) {
            if (kind == kDayHistory) {
                ++verdict.badHistories;
                problems.Add("history", name + " is missing");
            }
            continue;
        }
        const std::uintmax_t size = fs::file_size(path, error);
        RadiantHist history(data, site, kind);
        const bool reads = history.Open() && history.ReadHeader();
        if (reads)
            history.ReadRingOrder();
        if (error || size % kHistRecordSize != 0 || !reads) {
            ++verdict.badHistories;
            problems.Add("history", name + " of " + std::to_string(size) + " bytes" +
                                        (reads ? "" : " does not read"));
        }
    }
}

void CheckMovementReports(const PosExport& exported, const std::string& data,
                          SalesPathVerdict& verdict, ProblemList& problems) {
    std::multimap<std::uint64_t, std::string> filed;  // hash -> path
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(data, error)) {
        if (entry.is_regular_file() && IsSlotFileName(entry.path().filename().string()))
            filed.emplace(HashBytes(ReadFileBytes(entry.path().string())), entry.path().string());
    }
    if (fs::is_directory(data + "/REPLACED", error)) {
        for (const auto& entry : fs::recursive_directory_iterator(data + "/REPLACED", error)) {
            if (entry.is_regular_file())
                filed.emplace(HashBytes(ReadFileBytes(entry.path().string())),
                              entry.path().string());
        }
    }
    for (const auto& [name, bytes] : exported.movementReports) {
        const auto [first, last] = filed.equal_range(HashBytes(bytes));
        const bool found = std::any_of(first, last, [&](const auto& candidate) {
            return ReadFileBytes(candidate.second) == bytes;
        });
        if (!found) {
            ++verdict.movementReportsMissing;
            problems.Add("movement report", name + " is in no slot file and not in REPLACED/");
        }
    }
}

void CheckLeftOvers(const PosExport& exported, const std::string& data, int site,
                    SalesPathVerdict& verdict, ProblemList& problems) {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(data, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->path().filename().string().rfind(kTemporaryPrefix, 0) == 0) {
            ++verdict.tempFiles;
            problems.Add("temporary file", fs::relative(it->path(), data).string());
        }
    }
    for (const auto& entry : fs::directory_iterator(data, error)) {
        const std::string name = entry.path().filename().string();
        if (exported.names.count(name) != 0) {
            ++verdict.rawFilesLeft;
            problems.Add("raw received file", name);
        }
    }
    const std::string received = data + "/" + SiteFile("RECEIVED", site);
    if (fs::exists(received, error)) {
        std::istringstream lines(ReadFileBytes(received));
        std::string line;
        while (std::getline(lines, line)) {
            if (line.find_first_not_of(" \t\r") != std::string::npos) {
                ++verdict.receivedListed;
                problems.Add("received but unfiled", line);
            }
        }
    }
    if (fs::is_directory(data + "/REJECTED", error)) {
        for (const auto& entry : fs::recursive_directory_iterator(data + "/REJECTED", error)) {
            if (!entry.is_directory()) {
                ++verdict.rejectedFiles;
                problems.Add("rejected", entry.path().filename().string());
            }
        }
    }
}

}  // namespace

PosExport ReadPosExport(const std::string& directory) {
    PosExport exported;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory, error)) {
        if (!entry.is_regular_file())
            continue;
        const std::string name = entry.path().filename().string();
        exported.names.insert(name);
        const std::string bytes = ReadFileBytes(entry.path().string());
        if (bytes.find("<MovementHeader") != std::string::npos ||
            bytes.find(":MovementHeader") != std::string::npos) {
            exported.movementReports[name] = bytes;
            continue;
        }
        std::string why;
        const std::vector<EventRecord> events = EventsOfJournal(bytes, &why);
        if (!why.empty()) {
            exported.problems.push_back(name + ": " + why);
            continue;
        }
        exported.journals[name] = bytes;
        for (const EventRecord& event : events) {
            exported.journalOfEvent[event.key] = name;
            if (++exported.events[event.key] == 2)
                exported.problems.push_back("the POS wrote event " + event.key + " twice");
        }
    }
    return exported;
}

bool SalesPathVerdict::Holds() const {
    return eventsLost == 0 && eventsDuplicated == 0 && eventsUnexpected == 0 && unreadable == 0 &&
           misplaced == 0 && badArchives == 0 && badHistories == 0 && movementReportsMissing == 0 &&
           tempFiles == 0 && rawFilesLeft == 0 && receivedListed == 0 && rejectedFiles == 0 &&
           eventsFiledOnce == eventsExpected;
}

std::string SalesPathVerdict::Summary() const {
    char text[640];
    std::snprintf(text, sizeof text,
                  "events: %zu expected, %zu filed once, %zu lost (%zu with their journal "
                  "whole in D), %zu duplicated, %zu unexpected, %zu unreadable, %zu misplaced; "
                  "archives failing unzip -t: %zu; "
                  "bad history files: %zu; movement reports missing: %zu; temp files: %zu; raw "
                  "received files: %zu; RECEIVED entries: %zu; REJECTED files: %zu",
                  eventsExpected, eventsFiledOnce, eventsLost, eventsLostJournalKept,
                  eventsDuplicated, eventsUnexpected, unreadable, misplaced, badArchives,
                  badHistories, movementReportsMissing, tempFiles, rawFilesLeft, receivedListed,
                  rejectedFiles);
    return text;
}

std::string SalesPathVerdict::Details() const {
    std::string text = Summary();
    for (const auto& line : problems) text += "\n  " + line;
    return text;
}

SalesPathVerdict CheckSalesPath(const PosExport& exported, const std::string& data,
                                const CheckOptions& options) {
    SalesPathVerdict verdict;
    {
        ProblemList problems(verdict.problems);
        CheckEvents(exported, data, verdict, problems);
        CheckArchives(data, options, verdict, problems);
        CheckHistories(data, options.site, verdict, problems);
        CheckMovementReports(exported, data, verdict, problems);
        CheckLeftOvers(exported, data, options.site, verdict, problems);
    }
    return verdict;
}

}  // namespace tw::reliability
