#include "full_disk_sweep.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace tw::reliability {
namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t kMiB = 1024 * 1024;
constexpr std::uintmax_t kPage = 4096;
constexpr std::uintmax_t kMeasuringSize = 1024 * kMiB;

// A tmpfs mounted for the sweep and unmounted when the object goes.
class TmpfsMount {
public:
    // Nullptr with *why; *refused when the system denied the mount (no right to mount).
    static std::unique_ptr<TmpfsMount> Mount(const std::string& directory, std::uintmax_t bytes,
                                             std::string* why, bool* refused) {
        std::error_code ignored;
        fs::create_directories(directory, ignored);
        const std::string data = "size=" + std::to_string(bytes) + ",mode=0755";
        if (::mount("tmpfs", directory.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, data.c_str()) != 0) {
            *refused = errno == EPERM || errno == EACCES;
            *why = "mount -t tmpfs -o " + data + " " + directory + ": " + std::strerror(errno);
            return nullptr;
        }
        return std::unique_ptr<TmpfsMount>(new TmpfsMount(directory));
    }
    ~TmpfsMount() {
        if (::umount2(directory_.c_str(), 0) != 0)
            ::umount2(directory_.c_str(), MNT_DETACH);  // something still holds it: let go lazily
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    std::uintmax_t FreeBytes() const {
        struct statvfs info {};
        ::statvfs(directory_.c_str(), &info);
        return static_cast<std::uintmax_t>(info.f_bavail) * info.f_frsize;
    }
    std::uintmax_t UsedBytes() const {
        struct statvfs info {};
        ::statvfs(directory_.c_str(), &info);
        return static_cast<std::uintmax_t>(info.f_blocks - info.f_bfree) * info.f_frsize;
    }
    // Removes everything on the tmpfs.
    void Empty() const {
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(directory_, ignored))
            fs::remove_all(entry.path(), ignored);
    }

private:
    explicit TmpfsMount(std::string directory) : directory_(std::move(directory)) {}
    std::string directory_;
};

bool WriteFiller(const std::string& path, std::uintmax_t bytes, std::string* error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = "cannot create the filler: " + std::string(std::strerror(errno));
        return false;
    }
    const int rc = bytes == 0 ? 0 : ::posix_fallocate(fd, 0, static_cast<off_t>(bytes));
    ::close(fd);
    if (rc != 0) {
        *error = "cannot reserve " + std::to_string(bytes) + " bytes: " + std::strerror(rc);
        return false;
    }
    return true;
}

std::uintmax_t PageRounded(std::uintmax_t bytes) {
    return (bytes + kPage - 1) / kPage * kPage;
}

}  // namespace

std::string SweepPoint::Headline() const {
    char head[160];
    std::snprintf(head, sizeof head, "%4.1f%% of the need free (%ju bytes): ", fraction * 100,
                  freeBytes);
    std::string text = head + ending.Describe();
    if (failedIn)
        text += std::string(", failed in the ") + PhaseName(*failedIn);
    if (failure)
        text += ": " + failure->line;
    return text;
}

std::string SweepPoint::Describe() const {
    std::string text = Headline();
    if (ClaimedSuccessFalsely())
        text += "\n  exit 0 but work left undone: " + afterFullPass.Details();
    text += "\n  " + settling.Describe();
    if (!verdict.Holds())
        text += "\n  after settling: " + verdict.Details();
    return text;
}

std::set<PassPhase> FullDiskOutcome::FailedPhases() const {
    std::set<PassPhase> phases;
    for (const auto& point : points) {
        if (point.failedIn)
            phases.insert(*point.failedIn);
    }
    return phases;
}

FullDiskOutcome RunFullDiskSweep(const FullDiskOptions& options) {
    FullDiskOutcome outcome;
    const std::string& work = options.workDirectory;
    const std::string pristine = work + "/pristine";
    const std::string mountPoint = work + "/tmpfs";
    std::error_code ignored;
    fs::create_directories(pristine, ignored);
    if (!ExportPos(options.programs, options.layout, pristine, work + "/possim.out",
                   &outcome.error)) {
        return outcome;
    }
    const PosExport exported = ReadPosExport(pristine);
    SalesSite site(options.programs, work + "/site", work + "/site/pos", mountPoint + "/data",
                   options.pass);

    // The need: the peak the undisturbed pass reaches above the prepared data directory.
    {
        bool refused = false;
        auto big = TmpfsMount::Mount(mountPoint, kMeasuringSize, &outcome.skipped, &refused);
        if (!big) {
            if (!refused) {
                outcome.error = outcome.skipped;
                outcome.skipped.clear();
            }
            return outcome;
        }
        if (!CopyPosDirectory(pristine, site.Pos(), &outcome.error) ||
            !site.PrepareData(&outcome.error)) {
            return outcome;
        }
        const std::uintmax_t base = big->UsedBytes();
        std::uintmax_t peak = base;
        outcome.measured =
            site.RunPass(std::nullopt, [&] { peak = std::max(peak, big->UsedBytes()); });
        peak = std::max(peak, big->UsedBytes());
        outcome.measuredVerdict = site.Check(exported);
        outcome.neededBytes = peak - base;
        big->Empty();
    }
    if (outcome.neededBytes == 0) {
        outcome.error = "the undisturbed pass used no space on the tmpfs";
        return outcome;
    }

    bool refused = false;
    std::string why;
    auto disk = TmpfsMount::Mount(mountPoint, PageRounded(2 * outcome.neededBytes + 4 * kMiB), &why,
                                  &refused);
    if (!disk) {
        outcome.error = why;
        return outcome;
    }
    const std::string filler = mountPoint + "/filler";
    // One point of the sweep; false when the harness itself failed (outcome.error says why).
    const auto runPoint = [&](double fraction) {
        SweepPoint& point = outcome.points.emplace_back();
        point.fraction = fraction;
        disk->Empty();
        if (!CopyPosDirectory(pristine, site.Pos(), &outcome.error) ||
            !site.PrepareData(&outcome.error)) {
            return false;
        }
        const auto wanted = static_cast<std::uintmax_t>(fraction * outcome.neededBytes);
        const std::uintmax_t free = disk->FreeBytes();
        const std::uintmax_t fill = free > wanted ? (free - wanted) / kPage * kPage : 0;
        if (!WriteFiller(filler, fill, &outcome.error))
            return false;
        point.freeBytes = disk->FreeBytes();

        point.ending = site.RunPass();
        const std::vector<std::string> lines = LinesOf(site.OutputPath());
        point.failure = FindFirstFailure(lines);
        if (point.failure) {
            point.failedIn = point.failure->phase;
        } else if (!point.ending.Exited(0)) {
            point.failedIn = PhaseAfterLines(lines);
        }
        point.afterFullPass = site.Check(exported);

        fs::remove(filler, ignored);
        point.settling = site.Settle(options.maxSettlePasses);
        point.verdict = site.Check(exported);
        return true;
    };
    for (const double fraction : options.fractions) {
        if (!runPoint(fraction))
            return outcome;
    }
    // The peak is sampled while the pass runs, so on a busy machine the sampling may miss the
    // moment the archive and the event files it takes in are both on disk, and the need comes
    // out too small for any fraction to fill the disk during the archiving. Then the sweep goes
    // on above the measured need until the archiving fails.
    for (const double fraction : options.fractionsAboveNeed) {
        if (outcome.FailedPhases().count(PassPhase::Archiving) != 0)
            break;
        if (!runPoint(fraction))
            return outcome;
    }
    disk->Empty();
    return outcome;
}

}  // namespace tw::reliability
