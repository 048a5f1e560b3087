#pragma once
// An ad-hoc site that the harness drives through tidewell-pass's command line: a POS export
// directory (laid out by possim), a data directory, and a private temporary and lock directory
// for the passes, all inside a work directory that the caller owns and removes. The harness
// sees the poller only through its command line, its exit status and its files.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sales_path_check.h"
#include "spawned_program.h"
#include "tree_snapshot.h"

namespace tw::reliability {

struct Programs {
    std::string tidewellPass;
    std::string possim;
    std::string unzip = "unzip";
};

// The tidewell-pass and possim of this build tree, unless TW_TIDEWELL_PASS or TW_POSSIM in the
// environment name others. A path is empty when the build has no such program.
Programs BuiltPrograms();

// A possim export directory: `periods` consecutive report periods of `hours` hours from
// `start`, each a journal of `events` events and the five movement reports.
struct PosLayout {
    int periods = 3;
    int events = 400;
    std::string start = "2026-03-05T18:00";
    int hours = 6;
    int registers = 3;
    std::uint64_t seed = 1;
};

// Runs possim export-dir into directory. False with *error.
bool ExportPos(const Programs& programs, const PosLayout& layout, const std::string& directory,
               const std::string& outputPath, std::string* error);

// Copies the files of a POS directory with their modification times (the poller orders and
// chooses files by them). Replaces what `to` held.
bool CopyPosDirectory(const std::string& from, const std::string& to, std::string* error);

struct PassSettings {
    bool keepPosFiles = false;  // DeletePOSSourceFile off
    bool quiet = true;
    std::chrono::milliseconds timeLimit{std::chrono::minutes(2)};  // a hung pass is killed
};

// Passes run until the POS is drained and a pass changes nothing under the data directory.
struct SettleOutcome {
    std::vector<ProgramEnding> passes;
    bool settled = false;
    std::vector<std::string> lastChanges;  // what the last pass changed when not settled
    std::string lastOutput;                // the last lines the last pass printed

    // The last pass ran to its end and exited 0.
    bool FinalPassSucceeded() const { return !passes.empty() && passes.back().Exited(0); }
    std::string Describe() const;
};

class SalesSite {
public:
    // work: a directory for the site's files (created when missing). pos: where the POS
    // exports; data: the data directory (both may lie elsewhere, such as on a small tmpfs).
    SalesSite(Programs programs, std::string work, std::string pos, std::string data,
              PassSettings settings);

    const std::string& Pos() const { return pos_; }
    const std::string& Data() const { return data_; }
    const std::string& OutputPath() const { return output_; }
    const PassSettings& Settings() const { return settings_; }

    // Creates the data directory with an empty day history, as a back-office installation
    // provides it (the poller never creates one).
    bool PrepareData(std::string* error) const;

    // One pass of tidewell-pass run over the site; output in OutputPath(). killAfter kills it
    // at that instant; onTick runs while it works.
    ProgramEnding RunPass(std::optional<std::chrono::microseconds> killAfter = std::nullopt,
                          std::function<void()> onTick = {}) const;

    // Reruns passes, at most maxPasses, until the POS holds no export any more (when its files
    // are deleted after receipt) and a pass leaves the data directory as it found it.
    SettleOutcome Settle(int maxPasses) const;

    SalesPathVerdict Check(const PosExport& exported) const;

    // The data directory's files, without the log that every pass appends to.
    TreeSnapshot SnapshotData() const;

private:
    bool PosDrained() const;

    Programs programs_;
    std::string work_;
    std::string pos_;
    std::string data_;
    PassSettings settings_;
    std::string output_;
};

}  // namespace tw::reliability
