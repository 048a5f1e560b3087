#include "sales_site.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "ascii_case.h"
#include "settings/poll_hist.h"

namespace tw::reliability {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPassLog = "POLL.LOG";
constexpr int kSite = 1;
constexpr std::size_t kOutputTailLines = 15;

std::string Tail(const std::vector<std::string>& lines, std::size_t count) {
    std::string text;
    for (std::size_t i = lines.size() > count ? lines.size() - count : 0; i < lines.size(); ++i)
        text += "    " + lines[i] + "\n";
    return text;
}

}  // namespace

bool ExportPos(const Programs& programs, const PosLayout& layout, const std::string& directory,
               const std::string& outputPath, std::string* error) {
    ProgramRun run;
    run.argv = {programs.possim, "export-dir",
                "--periods",     std::to_string(layout.periods),
                "--events",      std::to_string(layout.events),
                "--start",       layout.start,
                "--hours",       std::to_string(layout.hours),
                "--registers",   std::to_string(layout.registers),
                "--seed",        std::to_string(layout.seed),
                "--out",         directory};
    run.outputPath = outputPath;
    const ProgramEnding ending = RunProgram(run);
    if (!ending.Exited(0)) {
        *error = "possim export-dir: " + ending.Describe() + ": " + LastLineOf(outputPath);
        return false;
    }
    return true;
}

bool CopyPosDirectory(const std::string& from, const std::string& to, std::string* error) {
    std::error_code failure;
    fs::remove_all(to, failure);
    fs::create_directories(to, failure);
    for (const auto& entry : fs::directory_iterator(from, failure)) {
        const fs::path target = fs::path(to) / entry.path().filename();
        fs::copy_file(entry.path(), target, failure);
        if (!failure)
            fs::last_write_time(target, fs::last_write_time(entry.path()), failure);
        if (failure)
            break;
    }
    if (failure) {
        *error = "copying " + from + " to " + to + ": " + failure.message();
        return false;
    }
    return true;
}

std::string SettleOutcome::Describe() const {
    std::string text = std::to_string(passes.size()) + " passes to settle:";
    for (const auto& pass : passes) text += " " + pass.Describe() + ";";
    text += settled ? " settled" : " NOT settled";
    for (const auto& change : lastChanges) text += "\n    last pass " + change;
    if (!lastOutput.empty())
        text += "\n  the last pass printed (tail):\n" + lastOutput;
    return text;
}

SalesSite::SalesSite(Programs programs, std::string work, std::string pos, std::string data,
                     PassSettings settings)
    : programs_(std::move(programs)),
      work_(std::move(work)),
      pos_(std::move(pos)),
      data_(std::move(data)),
      settings_(settings),
      output_(work_ + "/pass.out") {
    std::error_code ignored;
    fs::create_directories(work_ + "/tmp", ignored);
    fs::create_directories(work_ + "/locks", ignored);
}

bool SalesSite::PrepareData(std::string* error) const {
    std::error_code failure;
    fs::create_directories(data_, failure);
    ProgramRun run;
    run.argv = {programs_.tidewellPass, "history", data_ + "/" + HistFileName(kSite, kDayHistory)};
    run.outputPath = work_ + "/history.out";
    const ProgramEnding ending = RunProgram(run);
    if (failure || !ending.Exited(0)) {
        *error = "making the day history in " + data_ + ": " + ending.Describe() + " " +
                 LastLineOf(run.outputPath);
        return false;
    }
    return true;
}

ProgramEnding SalesSite::RunPass(std::optional<std::chrono::microseconds> killAfter,
                                 std::function<void()> onTick) const {
    ProgramRun run;
    run.argv = {programs_.tidewellPass, "run", "--pos", pos_, "--data", data_, "--line-buffered"};
    if (settings_.keepPosFiles)
        run.argv.push_back("--keep-pos-files");
    if (settings_.quiet)
        run.argv.push_back("--quiet");
    // The ad-hoc program directory of every pass, and the temporary files of the poller, stay
    // inside the work directory even when a pass is killed before it tidies up.
    run.environment["TMPDIR"] = work_ + "/tmp";
    run.environment["TIDEWELL_LOCK_DIR"] = work_ + "/locks";
    run.outputPath = output_;
    run.killAfter = killAfter;
    run.timeLimit = settings_.timeLimit;
    run.onTick = std::move(onTick);
    return RunProgram(run);
}

bool SalesSite::PosDrained() const {
    if (settings_.keepPosFiles)
        return true;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(pos_, error)) {
        if (entry.is_regular_file() &&
            UpperAscii(entry.path().filename().string()).ends_with("XML"))
            return false;
    }
    return true;
}

TreeSnapshot SalesSite::SnapshotData() const {
    return SnapshotTree(data_, {kPassLog});
}

SettleOutcome SalesSite::Settle(int maxPasses) const {
    SettleOutcome outcome;
    for (int pass = 0; pass < maxPasses; ++pass) {
        const TreeSnapshot before = SnapshotData();
        const ProgramEnding ending = RunPass();
        outcome.passes.push_back(ending);
        if (ProgramsInterrupted())
            break;
        const TreeSnapshot after = SnapshotData();
        outcome.lastChanges = TreeDifferences(before, after);
        if (ending.how == ProgramEnding::How::Exited && outcome.lastChanges.empty() &&
            PosDrained()) {
            outcome.settled = true;
            break;
        }
    }
    if (!outcome.FinalPassSucceeded() || !outcome.settled)
        outcome.lastOutput = Tail(LinesOf(output_), kOutputTailLines);
    return outcome;
}

SalesPathVerdict SalesSite::Check(const PosExport& exported) const {
    CheckOptions options;
    options.scratch = work_;
    options.unzip = programs_.unzip;
    options.site = kSite;
    return CheckSalesPath(exported, data_, options);
}

}  // namespace tw::reliability
