#include "export_files.h"

#include <cerrno>

#include "platform/file_ops.h"
#include "platform/paths.h"
#include "platform/system_text.h"

namespace tw::possim {

namespace {

// Gives a written file the time the POS would have written it.
bool StampFile(const std::string& path, const LocalTime& when, std::string* error) {
    const auto fileTime = LocalToFileTime(when);
    int err = 0;
    if (!fileTime || !platform::SetModificationTime(path, *fileTime, &err)) {
        *error = path + ": cannot set the modification time" +
                 (err != 0 ? ": " + platform::SystemErrorText(err) : std::string());
        return false;
    }
    return true;
}

bool WriteJournalFile(StoreSimulator& sim, const Period& period, const Variants& variants,
                      const StoreIdentity& store, const std::string& path, PeriodTotals& totals,
                      ExportOutcome& outcome) {
    JournalResult result = WriteJournal(path, sim, period, variants, store);
    if (!result.ok) {
        outcome.ok = false;
        outcome.error = result.error;
        return false;
    }
    outcome.files.push_back(path);
    totals = std::move(result.totals);
    if (!StampFile(path, period.end, &outcome.error)) {
        outcome.ok = false;
        return false;
    }
    return true;
}

bool WriteMovementFiles(const SimulationOptions& options, const PeriodTotals& totals,
                        const std::vector<MovementType>& types, const Variants& variants,
                        FuelSummary fuelSummary, const std::string& directory,
                        ExportOutcome& outcome) {
    for (MovementType type : types) {
        const std::string path =
            platform::JoinPath(directory, MovementFileName(type, options.versionCode, totals.end));
        if (!WriteMovementReport(path, type, totals, variants, options.store, fuelSummary,
                                 &outcome.error)) {
            outcome.ok = false;
            return false;
        }
        outcome.files.push_back(path);
        if (!StampFile(path, totals.end, &outcome.error)) {
            outcome.ok = false;
            return false;
        }
    }
    return true;
}

ExportOutcome Failure(std::string error) {
    ExportOutcome outcome;
    outcome.ok = false;
    outcome.error = std::move(error);
    return outcome;
}

}  // namespace

Period PeriodOf(const SimulationOptions& options, int index) {
    Period period;
    period.sequence = options.sequence + index;
    period.begin = options.start.Plus(options.periodSeconds * index);
    period.end = period.begin.Plus(options.periodSeconds);
    period.events = options.events;
    return period;
}

bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

bool MakeDirectories(const std::string& path, std::string* error) {
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        const std::string part = path.substr(0, pos);
        platform::DirEntry entry;
        int err = 0;
        if (platform::StatPath(part, entry, &err)) {
            if (!entry.isDirectory) {
                *error = part + ": not a directory";
                return false;
            }
            continue;
        }
        if (!platform::MakeDirectory(part, &err) && err != EEXIST) {
            *error = part + ": " + platform::SystemErrorText(err);
            return false;
        }
    }
    return true;
}

ExportOutcome ExportJournal(const SimulationOptions& options, const Variants& variants,
                            const std::string& directory, const std::string& fileName) {
    std::string error;
    if (!fileName.empty() && !IsPlainFileName(fileName)) {
        return Failure("not a plain file name: \"" + fileName + "\"");
    }
    if (!MakeDirectories(directory, &error)) {
        return Failure(error);
    }
    ExportOutcome outcome;
    StoreSimulator sim(options.seed, options.registers);
    const Period period = PeriodOf(options, 0);
    const std::string path =
        platform::JoinPath(directory, fileName.empty() ? JournalFileName(period.end) : fileName);
    PeriodTotals totals;
    WriteJournalFile(sim, period, variants, options.store, path, totals, outcome);
    return outcome;
}

ExportOutcome ExportMovement(const SimulationOptions& options,
                             const std::vector<MovementType>& types, const Variants& variants,
                             FuelSummary fuelSummary, const std::string& directory) {
    std::string error;
    if (!MakeDirectories(directory, &error)) {
        return Failure(error);
    }
    ExportOutcome outcome;
    StoreSimulator sim(options.seed, options.registers);
    const PeriodTotals totals = sim.Run(PeriodOf(options, 0));
    WriteMovementFiles(options, totals, types, variants, fuelSummary, directory, outcome);
    return outcome;
}

ExportOutcome ExportDirectory(const SimulationOptions& options, int periods,
                              const Variants& journalVariants, const Variants& movementVariants,
                              FuelSummary fuelSummary, const std::string& directory) {
    std::string error;
    if (!MakeDirectories(directory, &error)) {
        return Failure(error);
    }
    ExportOutcome outcome;
    StoreSimulator sim(options.seed, options.registers);
    const std::vector<MovementType> all(std::begin(kAllMovementTypes), std::end(kAllMovementTypes));
    for (int index = 0; index < periods; ++index) {
        const Period period = PeriodOf(options, index);
        PeriodTotals totals;
        const std::string journal = platform::JoinPath(directory, JournalFileName(period.end));
        if (!WriteJournalFile(sim, period, journalVariants, options.store, journal, totals,
                              outcome) ||
            !WriteMovementFiles(options, totals, all, movementVariants, fuelSummary, directory,
                                outcome)) {
            break;
        }
    }
    return outcome;
}

}  // namespace tw::possim
