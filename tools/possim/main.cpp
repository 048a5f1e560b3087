// possim: the POS simulator. Plays the store's POS for the demo, the tests and
// the benchmarks: exports journals and movement reports, and takes maintenance
// deliveries.

#include <charconv>
#include <chrono>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "consume.h"
#include "export_files.h"
#include "platform/version.h"

namespace {

using namespace tw::possim;

constexpr const char* kHelp =
    R"(possim - simulates the store's POS for the poller

Usage:
  possim journal    [simulation options] [--out DIR] [--name FILE] [--variant LIST]
  possim movement   [simulation options] [--out DIR] [--type LIST] [--variant LIST]
                    [--fuel-summary tier|position]
  possim export-dir [simulation options] --out DIR [--periods N] [--variant LIST]
                    [--movement-variant LIST] [--fuel-summary tier|position]
  possim consume    --import DIR [--time T] [--warn-every N] [--reject-every N]
                    [--watch SECONDS [--passes N]]        (also: possim respond ...)
  possim --help | --version

journal     writes the POS journal (NAXML-POSJournal) of one report period into DIR as
            NAXML-POSJournal<YYYYMMDDHHMMSS>.XML (or FILE), stamped with the period's end.
movement    writes movement reports of the same period (the totals of the journal that the
            same options give) as <TYPE><version><YYYYMMDDHHMMSS>.XML, e.g.
            FGM33020261201060000.XML. TYPE: FGM, MCM, TPM, ISM, MSM or all (default all).
export-dir  lays out a POS export directory: for each of N consecutive periods (default 1)
            the journal and the five movement reports.
consume     plays the POS's import side: for each semaphore SEM*.XML in the import
            directory it imports the maintenance files the semaphore lists, writes the
            results file ILG<YYYYMMDDHHMMSS>.XML, then removes the files and the semaphore.
            --warn-every N / --reject-every N make every N-th record of a table a warning
            (both databases) or a rejection by LHSITEDB only. --watch repeats every SECONDS
            (--passes N times, 0 = until stopped).

Simulation options (same options, same bytes):
  --seed S            random seed (default 1)
  --events N          events per period (default 100)
  --start T           period start, YYYY-MM-DDTHH:MM[:SS] (default 2026-11-30T22:00)
  --hours H           period length in hours (default 8); --minutes M instead
  --registers R       registers 1-99 (default 2)
  --sequence N        ReportSequenceNumber of the first period (default 1)
  --store ID          StoreLocationID (default 0001)
  --version-code VVV  version digits of movement file names (default 330)

Variants (--variant, comma-separated, may be repeated):
  crlf       CR LF line ends            bom        UTF-8 byte order mark
  latin1     ISO-8859-1 encoding        doctype    DOCTYPE with external id and subset
  baddates   malformed event end dates (journal) or header dates (movement)
  badheader  malformed header end date and time
  hostile    transaction/register IDs unsafe as file names
  truncated  the file stops in the middle  plain      no default namespace

Written paths are printed one per line. Exit status: 0 done, 1 failed, 2 usage error.
)";

struct Arguments {
    std::string command;
    std::map<std::string, std::vector<std::string>> values;
};

int Usage(const std::string& message) {
    std::fprintf(stderr, "possim: %s\nTry 'possim --help'.\n", message.c_str());
    return 2;
}

bool Parse(int argc, char** argv, const std::set<std::string>& known, Arguments& args,
           std::string& error) {
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0) {
            error = "unexpected argument \"" + arg + "\"";
            return false;
        }
        std::string value;
        const auto equals = arg.find('=');
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.resize(equals);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            error = "option " + arg + " needs a value";
            return false;
        }
        const std::string name = arg.substr(2);
        if (!known.count(name)) {
            error = "unknown option " + arg + " for " + args.command;
            return false;
        }
        args.values[name].push_back(value);
    }
    return true;
}

const std::string* Last(const Arguments& args, const std::string& name) {
    const auto found = args.values.find(name);
    return found == args.values.end() ? nullptr : &found->second.back();
}

template <class Number>
bool ReadNumber(const Arguments& args, const std::string& name, Number low, Number high,
                Number& out, std::string& error) {
    const std::string* text = Last(args, name);
    if (!text) {
        return true;
    }
    Number value{};
    const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (ec != std::errc() || end != text->data() + text->size() || value < low || value > high) {
        error = "--" + name + " must be a number from " + std::to_string(low) + " to " +
                std::to_string(high);
        return false;
    }
    out = value;
    return true;
}

const std::set<std::string> kSimulationOptions = {"seed",     "events",  "start",
                                                  "hours",    "minutes", "registers",
                                                  "sequence", "store",   "version-code"};

bool ReadSimulation(const Arguments& args, SimulationOptions& options, std::string& error) {
    std::int64_t hours = 0, minutes = 0;
    if (!ReadNumber<std::uint64_t>(args, "seed", 0, UINT64_MAX, options.seed, error) ||
        !ReadNumber<std::int64_t>(args, "events", 0, 100000000, options.events, error) ||
        !ReadNumber<std::int64_t>(args, "hours", 1, 24 * 366, hours, error) ||
        !ReadNumber<std::int64_t>(args, "minutes", 1, 60 * 24 * 366, minutes, error) ||
        !ReadNumber(args, "registers", 1, 99, options.registers, error) ||
        !ReadNumber(args, "sequence", 0, 99999999, options.sequence, error)) {
        return false;
    }
    if (hours != 0 && minutes != 0) {
        error = "give --hours or --minutes, not both";
        return false;
    }
    if (hours != 0) {
        options.periodSeconds = hours * 3600;
    } else if (minutes != 0) {
        options.periodSeconds = minutes * 60;
    }
    if (const std::string* start = Last(args, "start")) {
        const auto parsed = LocalTime::Parse(*start);
        if (!parsed) {
            error = "--start must be YYYY-MM-DDTHH:MM or YYYY-MM-DDTHH:MM:SS";
            return false;
        }
        options.start = *parsed;
    }
    if (const std::string* store = Last(args, "store")) {
        options.store.storeLocationId = *store;
    }
    if (const std::string* code = Last(args, "version-code")) {
        if (code->size() != 3 || code->find_first_not_of("0123456789") != std::string::npos) {
            error = "--version-code must be three digits";
            return false;
        }
        options.versionCode = *code;
    }
    return true;
}

bool ReadVariants(const Arguments& args, const std::string& name, Variants& variants,
                  std::string& error) {
    const auto found = args.values.find(name);
    if (found == args.values.end()) {
        return true;
    }
    std::string joined;
    for (const std::string& list : found->second) {
        joined += list + ",";
    }
    const auto parsed = ParseVariants(joined, &error);
    if (!parsed) {
        return false;
    }
    variants = *parsed;
    return true;
}

bool ReadFuelSummary(const Arguments& args, FuelSummary& summary, std::string& error) {
    const std::string* text = Last(args, "fuel-summary");
    if (!text || *text == "tier") {
        return true;
    }
    if (*text == "position") {
        summary = FuelSummary::kPosition;
        return true;
    }
    error = "--fuel-summary must be tier or position";
    return false;
}

std::set<std::string> With(std::set<std::string> base, std::initializer_list<const char*> more) {
    for (const char* name : more) {
        base.insert(name);
    }
    return base;
}

int Report(const ExportOutcome& outcome) {
    for (const std::string& path : outcome.files) {
        std::printf("%s\n", path.c_str());
    }
    if (!outcome.ok) {
        std::fprintf(stderr, "possim: %s\n", outcome.error.c_str());
        return 1;
    }
    return 0;
}

int RunJournal(const Arguments& args) {
    SimulationOptions options;
    Variants variants;
    std::string error;
    if (!ReadSimulation(args, options, error) || !ReadVariants(args, "variant", variants, error)) {
        return Usage(error);
    }
    const std::string* out = Last(args, "out");
    const std::string* name = Last(args, "name");
    return Report(ExportJournal(options, variants, out ? *out : ".", name ? *name : ""));
}

int RunMovement(const Arguments& args) {
    SimulationOptions options;
    Variants variants;
    FuelSummary summary = FuelSummary::kPriceTier;
    std::string error;
    if (!ReadSimulation(args, options, error) || !ReadVariants(args, "variant", variants, error) ||
        !ReadFuelSummary(args, summary, error)) {
        return Usage(error);
    }
    std::vector<MovementType> types;
    const auto typeLists = args.values.find("type");
    if (typeLists == args.values.end()) {
        types.assign(std::begin(kAllMovementTypes), std::end(kAllMovementTypes));
    } else {
        for (const std::string& list : typeLists->second) {
            std::size_t pos = 0;
            while (pos <= list.size()) {
                const std::size_t comma = std::min(list.find(',', pos), list.size());
                const std::string code = list.substr(pos, comma - pos);
                pos = comma + 1;
                if (code == "all" || code == "ALL") {
                    types.assign(std::begin(kAllMovementTypes), std::end(kAllMovementTypes));
                } else if (const auto type = ParseMovementType(code)) {
                    types.push_back(*type);
                } else {
                    return Usage("unknown movement type \"" + code + "\"");
                }
            }
        }
    }
    const std::string* out = Last(args, "out");
    return Report(ExportMovement(options, types, variants, summary, out ? *out : "."));
}

int RunExportDir(const Arguments& args) {
    SimulationOptions options;
    Variants journalVariants, movementVariants;
    FuelSummary summary = FuelSummary::kPriceTier;
    int periods = 1;
    std::string error;
    if (!ReadSimulation(args, options, error) ||
        !ReadVariants(args, "variant", journalVariants, error) ||
        !ReadVariants(args, "movement-variant", movementVariants, error) ||
        !ReadFuelSummary(args, summary, error) ||
        !ReadNumber(args, "periods", 1, 10000, periods, error)) {
        return Usage(error);
    }
    const std::string* out = Last(args, "out");
    if (!out) {
        return Usage("export-dir needs --out DIR");
    }
    return Report(
        ExportDirectory(options, periods, journalVariants, movementVariants, summary, *out));
}

int RunConsume(const Arguments& args) {
    ConsumeOptions options;
    int watchSeconds = 0, passes = 0;
    std::string error;
    if (!ReadNumber(args, "warn-every", 0, 1000000, options.warnEvery, error) ||
        !ReadNumber(args, "reject-every", 0, 1000000, options.rejectEvery, error) ||
        !ReadNumber(args, "watch", 1, 86400, watchSeconds, error) ||
        !ReadNumber(args, "passes", 0, 1000000000, passes, error)) {
        return Usage(error);
    }
    const std::string* import = Last(args, "import");
    if (!import) {
        return Usage("consume needs --import DIR");
    }
    options.importDirectory = *import;
    if (const std::string* time = Last(args, "time")) {
        options.resultsTime = LocalTime::Parse(*time);
        if (!options.resultsTime) {
            return Usage("--time must be YYYY-MM-DDTHH:MM or YYYY-MM-DDTHH:MM:SS");
        }
    }
    bool ok = true;
    for (int pass = 1;; ++pass) {
        const ConsumeOutcome outcome = ConsumeDeliveries(options);
        for (const std::string& path : outcome.resultsFiles) {
            std::printf("%s\n", path.c_str());
        }
        for (const std::string& problem : outcome.problems) {
            std::fprintf(stderr, "possim: %s\n", problem.c_str());
        }
        std::fflush(stdout);
        ok = ok && outcome.ok;
        if (options.resultsTime && !outcome.resultsFiles.empty()) {
            // Later passes continue after the stamps already used.
            options.resultsTime =
                options.resultsTime->Plus(static_cast<std::int64_t>(outcome.resultsFiles.size()));
        }
        if (watchSeconds == 0 || (passes != 0 && pass >= passes)) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::seconds(watchSeconds));
    }
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Usage("no command given");
    }
    Arguments args;
    args.command = argv[1];
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h" || (i == 1 && arg == "help")) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::fputs(tw::platform::VersionText("possim").c_str(), stdout);
            return 0;
        }
    }
    std::set<std::string> known;
    int (*run)(const Arguments&) = nullptr;
    if (args.command == "journal") {
        known = With(kSimulationOptions, {"out", "name", "variant"});
        run = RunJournal;
    } else if (args.command == "movement") {
        known = With(kSimulationOptions, {"out", "type", "variant", "fuel-summary"});
        run = RunMovement;
    } else if (args.command == "export-dir") {
        known = With(kSimulationOptions,
                     {"out", "periods", "variant", "movement-variant", "fuel-summary"});
        run = RunExportDir;
    } else if (args.command == "consume" || args.command == "respond") {
        known = {"import", "time", "warn-every", "reject-every", "watch", "passes"};
        run = RunConsume;
    } else {
        return Usage("unknown command \"" + args.command + "\"");
    }
    std::string error;
    if (!Parse(argc, argv, known, args, error)) {
        return Usage(error);
    }
    return run(args);
}
