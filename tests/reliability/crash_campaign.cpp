#include "crash_campaign.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

namespace tw::reliability {
namespace {

namespace fs = std::filesystem;

constexpr int kTriesPerKill = 3;

// Hands out kill delays: the replayed ones first, then drawn from [0, longest].
class DelaySource {
public:
    DelaySource(std::uint64_t seed, std::vector<double> replayed)
        : random_(seed), replayed_(std::move(replayed)) {}
    double Next(double longest) {
        if (next_ < replayed_.size())
            return replayed_[next_++];
        return std::uniform_real_distribution<double>(0.0, longest)(random_);
    }

private:
    std::mt19937_64 random_;
    std::vector<double> replayed_;
    std::size_t next_ = 0;
};

std::chrono::microseconds Microseconds(double seconds) {
    return std::chrono::microseconds(static_cast<std::int64_t>(seconds * 1e6));
}

// Measures T with an undisturbed pass over a copy of the export, checked like the rounds.
bool MeasurePass(const CampaignOptions& options, const std::string& pristine,
                 CampaignOutcome& outcome) {
    const std::string work = options.workDirectory + "/measure";
    SalesSite site(options.programs, work, work + "/pos", work + "/data", options.pass);
    if (!CopyPosDirectory(pristine, site.Pos(), &outcome.error) ||
        !site.PrepareData(&outcome.error)) {
        return false;
    }
    outcome.undisturbed = site.RunPass();
    outcome.passSeconds = outcome.undisturbed.seconds;
    outcome.undisturbedVerdict = site.Check(outcome.exported);
    std::error_code ignored;
    fs::remove_all(work, ignored);
    return true;
}

}  // namespace

std::string KillPoint::Describe() const {
    char text[160];
    std::snprintf(text, sizeof text, "delay %.6f s: %s%s%s", delaySeconds,
                  Killed() ? "" : "ended before its kill, ", ending.Describe().c_str(),
                  Killed() ? " in the " : "");
    return text + std::string(Killed() ? PhaseName(phase) : "");
}

bool CampaignOutcome::Holds() const {
    if (!error.empty() || !undisturbed.Exited(0) || !undisturbedVerdict.Holds())
        return false;
    for (const auto& round : rounds) {
        if (!round.Holds())
            return false;
    }
    return FailedPasses() == 0;
}

int CampaignOutcome::FailedPasses() const {
    int failed = 0;
    for (const auto& round : rounds) {
        for (const auto& kill : round.kills) {
            failed += kill.ending.how == ProgramEnding::How::TimedOut ||
                      kill.ending.how == ProgramEnding::How::Signaled ||
                      kill.ending.how == ProgramEnding::How::StartFailed;
        }
        for (const auto& pass : round.settling.passes)
            failed += pass.how != ProgramEnding::How::Exited;
    }
    return failed;
}

int CampaignOutcome::Kills() const {
    int kills = 0;
    for (const auto& round : rounds) {
        for (const auto& kill : round.kills) kills += kill.Killed();
    }
    return kills;
}

std::map<std::string, int> CampaignOutcome::KillsByPhase() const {
    std::map<std::string, int> counts;
    for (const auto& round : rounds) {
        for (const auto& kill : round.kills)
            ++counts[kill.Killed() ? PhaseName(kill.phase) : "ended before the kill"];
    }
    return counts;
}

std::string CampaignOutcome::Replay(std::uint64_t seed) const {
    std::string text = "seed " + std::to_string(seed) + ", T " + std::to_string(passSeconds) +
                       " s; replay with TW_CRASH_SEED=" + std::to_string(seed) +
                       " TW_CRASH_DELAYS=";
    bool first = true;
    for (const auto& round : rounds) {
        for (const auto& kill : round.kills) {
            char delay[32];
            std::snprintf(delay, sizeof delay, "%s%.6f", first ? "" : ",", kill.delaySeconds);
            text += delay;
            first = false;
        }
    }
    return text;
}

CampaignOutcome RunCrashCampaign(const CampaignOptions& options) {
    CampaignOutcome outcome;
    const std::string pristine = options.workDirectory + "/pristine";
    std::error_code ignored;
    fs::create_directories(pristine, ignored);
    if (!ExportPos(options.programs, options.layout, pristine,
                   options.workDirectory + "/possim.out", &outcome.error)) {
        return outcome;
    }
    outcome.exported = ReadPosExport(pristine);
    if (!MeasurePass(options, pristine, outcome))
        return outcome;

    DelaySource delays(options.seed, options.delays);
    const std::string work = options.workDirectory + "/site";
    SalesSite site(options.programs, work, work + "/pos", work + "/data", options.pass);
    for (int round = 0; round < options.rounds; ++round) {
        fs::remove_all(site.Data(), ignored);
        if (!CopyPosDirectory(pristine, site.Pos(), &outcome.error) ||
            !site.PrepareData(&outcome.error)) {
            return outcome;
        }
        RoundOutcome& result = outcome.rounds.emplace_back();
        double longest = outcome.passSeconds;
        int killed = 0;
        for (int tries = 0;
             killed < options.killsPerRound && tries < options.killsPerRound * kTriesPerKill;
             ++tries) {
            KillPoint point;
            point.delaySeconds = delays.Next(longest);
            point.ending = site.RunPass(Microseconds(point.delaySeconds));
            point.phase = PhaseAfterLines(LinesOf(site.OutputPath()));
            result.kills.push_back(point);
            if (point.Killed()) {
                ++killed;
            } else {
                longest = std::min(longest, point.ending.seconds);
            }
            if (options.progress)
                options.progress("round " + std::to_string(round + 1) + ", " + point.Describe());
            if (ProgramsInterrupted()) {
                outcome.error = "interrupted";
                return outcome;
            }
        }
        result.settling = site.Settle(options.maxSettlePasses);
        result.verdict = site.Check(outcome.exported);
        if (ProgramsInterrupted()) {  // the figures of this round are not to be trusted
            outcome.error = "interrupted";
            return outcome;
        }
        if (options.progress) {
            options.progress("round " + std::to_string(round + 1) + ": " +
                             result.settling.Describe() + "; " + result.verdict.Summary());
        }
    }
    fs::remove_all(work, ignored);
    return outcome;
}

}  // namespace tw::reliability
