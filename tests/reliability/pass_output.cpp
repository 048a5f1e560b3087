#include "pass_output.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>

#include "ascii_case.h"

namespace tw::reliability {
namespace {

// tidewell-pass prints "%-8s %s": the channel, padded, then the text.
constexpr std::size_t kTextColumn = 9;

std::string_view Channel(std::string_view line) {
    const std::size_t blank = line.find(' ');
    return line.substr(0, blank);
}

std::string_view Text(std::string_view line) {
    return line.size() > kTextColumn ? line.substr(kTextColumn) : std::string_view();
}

bool StartsWithAny(std::string_view text, std::initializer_list<std::string_view> prefixes) {
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [&](std::string_view prefix) { return text.starts_with(prefix); });
}

}  // namespace

const char* PhaseName(PassPhase phase) {
    switch (phase) {
        case PassPhase::StartUp:
            return "start-up";
        case PassPhase::Fetch:
            return "fetch";
        case PassPhase::Split:
            return "split";
        case PassPhase::Filing:
            return "filing";
        case PassPhase::Archiving:
            return "archiving";
        case PassPhase::Finished:
            return "finished";
    }
    return "?";
}

PassPhase PhaseAfterLine(std::string_view line, PassPhase before) {
    const std::string_view channel = Channel(line);
    const std::string_view text = Text(line);
    if (channel == "summary")
        return PassPhase::Finished;
    if (channel == "pass")
        return PassPhase::Fetch;  // printed once the settings are read, before the fetch
    if (channel == "screen")
        return PassPhase::Archiving;  // the archiver's line per entry
    if (channel == "pos-ver")
        return PassPhase::Split;  // the first movement report sorted out
    if (StartsWithAny(text, {"Transfered ", "Unable copy ", "Unable create temp file",
                             "Unable to save poller settings", "Receiving files from"}) ||
        text.find("stays on the POS") != std::string_view::npos) {
        return PassPhase::Fetch;
    }
    if (StartsWithAny(text, {"Processing ", "Split to: ", "Save file ",
                             "Removed: ", "Unable to load ", "Unable to remove the document type",
                             "Journal file header", "Event ", "Exception: ", "NAXML-POSJournal tag",
                             "JournalReport tag", "JournalHeader tag"})) {
        return PassPhase::Split;
    }
    if (StartsWithAny(text, {"Assigned ", "Unable to move ", "Unable to write ", "Cannot open ",
                             "Unable to read data from", "Unable to allocate history"})) {
        return PassPhase::Filing;
    }
    if (StartsWithAny(
            text, {"Archiving", "Complete.", "Remove directory", "Can not remove", "Can not rename",
                   "Old zip", "Corrupt zip", "Failed to open zip", "Failed append file to the zip",
                   "Failed open new zip", "Open zip file failed", "Failed to copy corrupt zip",
                   "Failed to remove corrupt zip", "Failed get last modify time", "7z Failed",
                   "Failed launch", "User aborted", "Archive "})) {
        return PassPhase::Archiving;
    }
    return before;
}

PassPhase PhaseAfterLines(const std::vector<std::string>& lines) {
    PassPhase phase = PassPhase::StartUp;
    for (const auto& line : lines) phase = PhaseAfterLine(line, phase);
    return phase;
}

bool ReportsFailure(std::string_view line) {
    if (Channel(line) == "error")
        return true;
    const std::string text = LowerAscii(Text(line));
    if (Channel(line) == "screen" || Channel(line) == "summary")
        return false;
    for (const char* word : {"fail", "unable", "can not", "cannot", "no space", "error"}) {
        if (text.find(word) != std::string::npos)
            return true;
    }
    return false;
}

std::optional<FirstFailure> FindFirstFailure(const std::vector<std::string>& lines) {
    PassPhase phase = PassPhase::StartUp;
    for (const auto& line : lines) {
        phase = PhaseAfterLine(line, phase);
        if (ReportsFailure(line))
            return FirstFailure{line, phase};
    }
    return std::nullopt;
}

}  // namespace tw::reliability
