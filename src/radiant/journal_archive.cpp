#include "radiant/journal_archive.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "messages/message.h"
#include "messages/program_messages.h"
#include "platform/file_ops.h"
#include "platform/ole_date.h"
#include "platform/paths.h"
#include "platform/text_file.h"
#include "platform/wildcard.h"
#include "zip/archive_entries.h"
#include "zip/unzipper.h"
#include "zip/zipper.h"

namespace tw::radiant {

namespace fs = std::filesystem;

namespace {

constexpr int kKeptArchiveDays = 30;
constexpr const char* kDayFolderMask = "jrn????";
constexpr std::size_t kDayFolderNameLength = 7;
constexpr const char* kEventFileMask = "*.XML";

// The name of a directory entry, taken from its path without parsing it into components.
std::string DirectoryEntryName(const std::filesystem::directory_entry& entry) {
    const std::string& path = entry.path().native();
    return path.substr(path.rfind('/') + 1);
}

std::string MonthFolderName(int month) {
    char name[3];
    std::snprintf(name, sizeof name, "%02d", month);
    return name;
}

platform::ProcessLauncher& DefaultLauncher() {
    static platform::PosixProcessLauncher launcher;
    return launcher;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// ---- Changes to files ----
// Every change this unit makes in the data directory goes through the file operations of the
// sales path (the zipper writes archives through platform::AtomicFileWriter, which syncs them
// before they replace anything).

bool DeleteFile(platform::FileEnv& env, const std::string& path, int* error = nullptr) {
    return env.RemoveFile(path, error);
}

bool MoveFile(platform::FileEnv& env, const std::string& from, const std::string& to) {
    return env.Rename(from, to, nullptr);
}

bool MakeFolders(platform::FileEnv& env, const std::string& path) {
    int error = 0;
    if (!env.MakeDirectory(path, &error) && error != EEXIST)
        return false;
    platform::PathStatus status;
    return env.Stat(path, status, nullptr) && status.kind == platform::PathStatus::Kind::Directory;
}

// Removes a folder only when it is empty.
bool RemoveEmptyFolder(platform::FileEnv& env, const std::string& path) {
    return env.RemoveDirectory(path, nullptr);
}

// Copies source over target through a partial file in the target's folder, synced before it is
// renamed, so target is either the old file or a complete copy even after a crash.
bool CopyFileSafely(platform::FileEnv& env, const std::string& source, const std::string& target) {
    return platform::CopyFileThroughPartial(env, source, target, true, nullptr);
}

// Puts an archive that someone else wrote (the external archiver, or a run that did not
// finish) on disk before any of its event files are deleted.
bool MakeDurable(platform::FileEnv& env, const std::string& archive) {
    return env.SyncFileSystem(archive, nullptr);
}

// Whether two files have the same content, by size and CRC-32.
bool SameContent(const std::string& a, const std::string& b) {
    zip::ContentChecksum checksum;
    std::uint64_t sizeA = 0, sizeB = 0;
    std::uint32_t crcA = 0, crcB = 0;
    return checksum.Of(a, sizeA, crcA) && checksum.Of(b, sizeB, crcB) && sizeA == sizeB &&
           crcA == crcB;
}

}  // namespace

std::string DayArchivePath(const std::string& monthFolder, const std::string& dayName) {
    return platform::ExistingOrExactPath(monthFolder, platform::UpperCaseAscii(dayName) + ".ZIP");
}

// ---- CascadeCopy ----

CascadeCopy::CascadeCopy(std::string fileName, std::string sourceDir, std::string targetDir)
    : fileName(std::move(fileName)),
      sourceDir(std::move(sourceDir)),
      targetDir(std::move(targetDir)) {}

platform::FileEnv& CascadeCopy::Env() const {
    return env != nullptr ? *env : platform::DefaultFileEnv();
}

void CascadeCopy::NumberedName(int n, std::string& out) const {
    out = std::to_string(n) + fileName;
}

void CascadeCopy::ReportStatus() {
    SendMessageText(logMessages(), status);
}

bool CascadeCopy::Move(int from, int to) {
    std::string fromName, toName;
    NumberedName(from, fromName);
    NumberedName(to, toName);
    const std::string fromPath = platform::JoinPath(targetDir, fromName);
    const std::string toPath = platform::JoinPath(targetDir, toName);
    // A rename moves the copy whole: no half-written copy can be left behind.
    if (MoveFile(Env(), fromPath, toPath))
        return true;
    char text[kMaxMessageChars + 1];
    std::snprintf(text, sizeof text, "Copy file from %s to %s failed.", fromPath.c_str(),
                  toPath.c_str());
    status = text;
    ReportStatus();
    return false;
}

bool CascadeCopy::Shift(int n) {
    std::string nextName;
    NumberedName(n + 1, nextName);
    const bool nextExists = Exists(platform::JoinPath(targetDir, nextName));
    if ((!nextExists && n < maxIndex) || n + 1 == maxIndex)
        return Move(n, n + 1);
    if (n + 1 < maxIndex)
        return Shift(n + 1) && Move(n, n + 1);
    return true;
}

bool CascadeCopy::Copy() {
    std::string targetName;
    NumberedName(firstIndex, targetName);
    const std::string target = platform::JoinPath(targetDir, targetName);
    const std::string source = platform::ExistingOrExactPath(sourceDir, fileName);
    if (!MakeFolders(Env(), targetDir)) {
        char text[kMaxMessageChars + 1];
        std::snprintf(text, sizeof text, "Error directory for response files, %s bad.",
                      targetDir.c_str());
        status = text;
        ReportStatus();
        return false;
    }
    // Copy firstIndex is only overwritten once it was moved away.
    if (Exists(target) && !Shift(firstIndex))
        return false;
    bool copied = false;
    try {
        copied = CopyFileSafely(Env(), source, target);
    } catch (const std::exception&) {
        copied = false;
    }
    if (copied)
        return true;
    char text[kMaxMessageChars + 1];
    std::snprintf(text, sizeof text, "Copy file from %s to %s failed.", source.c_str(),
                  target.c_str());
    status = text;
    ReportStatus();
    return false;
}

void DoderiziVizorozUrav::NumberedName(int n, std::string& out) const {
    out = platform::UpperCaseAscii(fileName);
    const std::string numbered = "-ERR" + std::to_string(n) + ".ZIP";
    const std::size_t dot = out.rfind(".ZIP");
    if (dot == std::string::npos) {
        out += numbered;
    } else {
        out.replace(dot, 4, numbered);
    }
}

// ---- Removing an archived day folder ----

namespace {

// What the archive records for the entry that holds an event file.
struct ArchivedCopy {
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    bool exactName = false;
};

}  // namespace

bool RemoveArchivedDayFolder(const std::string& dayFolder, const std::string& archive,
                             platform::FileEnv& env) {
    try {
        // The event files of the folder, by name and by name without regard to case.
        std::vector<std::string> files;
        std::unordered_map<std::string, std::size_t> byName;
        std::unordered_map<std::string, std::size_t> byKey;  // npos: several files share it
        constexpr std::size_t kShared = static_cast<std::size_t>(-1);
        std::error_code ec;
        for (fs::directory_iterator it(dayFolder, ec), end; !ec && it != end; it.increment(ec)) {
            std::string name = DirectoryEntryName(*it);
            std::error_code typeError;
            if (it->is_directory(typeError) || !platform::MatchMask(kEventFileMask, name)) {
                continue;
            }
            auto [slot, fresh] = byKey.emplace(zip::EntryKey(name), files.size());
            if (!fresh)
                slot->second = kShared;
            byName.emplace(name, files.size());
            files.push_back(std::move(name));
        }
        std::vector<std::optional<ArchivedCopy>> copies(files.size());

        zip::CUnzipper reader;
        std::string key;
        const bool listed = !ec && reader.OpenUnzip(archive) &&
                            reader.VisitEntries([&](const zip::ZipEntryInfo& entry) {
                                if (entry.isDirectory)
                                    return true;
                                const ArchivedCopy copy{entry.uncompressedSize, entry.crc, true};
                                if (auto found = byName.find(entry.name); found != byName.end()) {
                                    copies[found->second] = copy;
                                    return true;
                                }
                                // A name that matches only without regard to case (an archive
                                // written where names were compared that way) counts when no other
                                // file of the folder shares it: two files that differ only in case
                                // cannot both be the one entry.
                                key.assign(entry.name);
                                zip::MakeEntryKey(key);
                                if (auto found = byKey.find(key);
                                    found != byKey.end() && found->second != kShared) {
                                    std::optional<ArchivedCopy>& slot = copies[found->second];
                                    if (!slot || !slot->exactName)
                                        slot = ArchivedCopy{copy.size, copy.crc, false};
                                }
                                return true;
                            });
        reader.Close();
        if (listed) {
            // Only a file the archive holds whole, with the same content, goes: one of that
            // name with other content (an event split again differently) is kept.
            zip::ContentChecksum checksum;
            std::string path;
            for (std::size_t i = 0; i < files.size(); ++i) {
                if (!copies[i])
                    continue;
                path.assign(dayFolder).append("/").append(files[i]);
                std::uint64_t size = 0;
                std::uint32_t crc = 0;
                if (!checksum.Of(path, size, crc))
                    continue;
                if (size == copies[i]->size && crc == copies[i]->crc) {
                    DeleteFile(env, path);
                } else {
                    FormatMessageTo(errorMessages(),
                                    "File %s differs from its namesake in zip file %s, kept",
                                    path.c_str(), archive.c_str());
                }
            }
            if (RemoveEmptyFolder(env, dayFolder))
                return true;
        }
        FormatMessageTo(errorMessages(), "Remove directory %s error", dayFolder.c_str());
    } catch (const std::exception&) {
        FormatMessageTo(errorMessages(), "Can not remove the folder %s", dayFolder.c_str());
    }
    return false;
}

// ---- JournalArchiver ----

namespace {

// The zip wrappers read a relative folder as relative to the archive's folder: every path
// handed to them is made absolute first.
std::string AbsoluteDirectory(const std::string& directory) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(directory, ec);
    return ec ? directory : absolute.string();
}

}  // namespace

JournalArchiver::JournalArchiver(std::string dataDirectory, JournalArchiveOptions options)
    : dataDirectory_(AbsoluteDirectory(dataDirectory)),
      options_(std::move(options)),
      launcher_(options_.launcher ? *options_.launcher : DefaultLauncher()),
      clock_(options_.clock ? *options_.clock : platform::SystemClock::Instance()),
      env_(options_.env ? *options_.env : platform::DefaultFileEnv()) {}

std::vector<std::string> JournalArchiver::DayFolders(const std::string& monthFolder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(monthFolder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = DirectoryEntryName(*it);
        std::error_code typeError;
        if (name.size() != kDayFolderNameLength || !platform::MatchMask(kDayFolderMask, name) ||
            it->is_symlink(typeError) || !it->is_directory(typeError)) {
            continue;
        }
        names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

void JournalArchiver::RemoveOldArchive(const std::string& path) {
    try {
        std::error_code ec;
        if (!fs::exists(path, ec))
            return;
        const fs::file_time_type modified = fs::last_write_time(path, ec);
        if (ec) {
            FormatMessageTo(logMessages(), "Failed get last modify time for %s", path.c_str());
            return;
        }
        const std::time_t seconds = std::chrono::system_clock::to_time_t(
            std::chrono::time_point_cast<std::chrono::system_clock::duration>(
                std::chrono::file_clock::to_sys(modified)));
        const auto written = platform::OleDate::FromFileTime(seconds);
        const auto now = platform::OleDate::FromFileTime(clock_.Now());
        if (std::round(now.DaysSince(written)) <= kKeptArchiveDays)
            return;
        int error = 0;
        if (DeleteFile(env_, path, &error)) {
            FormatMessageTo(logMessages(), "Old zip file removed, %s", path.c_str());
        } else {
            FormatMessageTo(logMessages(), "%s, %s, ClearOldZip1",
                            CutToChars(SystemErrorText(error), 127).c_str(), path.c_str());
        }
    } catch (const std::exception& e) {
        FormatMessageTo(logMessages(), "%s, %s, ClearOldZip1", CutToChars(e.what(), 127).c_str(),
                        path.c_str());
    }
}

bool JournalArchiver::ArchiveNameUsable(const std::string& archive, const std::string& dayFolder) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(archive, ec);
    if (!fs::exists(status) || fs::is_regular_file(status))
        return true;
    FormatMessageTo(errorMessages(), "Zip file %s is not a regular file, %s not archived",
                    archive.c_str(), dayFolder.c_str());
    return false;
}

bool JournalArchiver::SetAsideDamaged(const std::string& monthFolder, const std::string& archive,
                                      const char* failureFormat) {
    DoderiziVizorozUrav copies(std::string(platform::FileNamePart(archive)), monthFolder,
                               monthFolder);
    copies.env = &env_;
    std::string newest;
    copies.NumberedName(copies.firstIndex, newest);
    // A run that set this archive aside but could not replace it left the same archive: one
    // copy of it is enough, and older copies are not pushed out by repeats.
    if (SameContent(archive, platform::JoinPath(monthFolder, newest)) || copies.Copy())
        return true;
    FormatMessageTo(errorMessages(), failureFormat, archive.c_str());
    return false;
}

std::vector<bool> JournalArchiver::CheckEntries(zip::ArchiveEntries& entries,
                                                const std::string& archive) {
    std::vector<bool> intact(entries.Entries().size());
    for (std::size_t i = 0; i < intact.size(); ++i) {
        intact[i] = entries.Read(i);
        if (!intact[i]) {
            FormatMessageTo(errorMessages(), "Damaged entry %s in zip file %s",
                            entries.Entries()[i].name.c_str(), archive.c_str());
        }
    }
    return intact;
}

JournalArchiver::Outcome JournalArchiver::WriteNewArchive(const std::string& archive,
                                                          const std::string& dayFolder,
                                                          zip::ArchiveEntries* keep,
                                                          const std::vector<bool>& intact) {
    zip::ZipperWithMessage zipper(&screenMessages());
    if (zipper.OpenZip(archive, std::nullopt, zip::ZipOpenMode::Create)) {
        // The sound entries of the archive this one replaces come first, so the day's archive
        // stays complete.
        for (std::size_t i = 0; keep != nullptr && i < intact.size(); ++i) {
            if (intact[i] && !zipper.CopyEntry(*keep, i))
                break;
        }
        zipper.AddFolder(dayFolder, true);
    }
    return FinishDayFolder(zipper, archive, dayFolder, "Failed open new zip file, %s");
}

JournalArchiver::Outcome JournalArchiver::ReplaceDamaged(
    const std::string& monthFolder, const std::string& archive, const std::string& dayFolder,
    const char* failureFormat, zip::ArchiveEntries* keep, const std::vector<bool>& intact) {
    if (!SetAsideDamaged(monthFolder, archive, failureFormat))
        return Outcome::Stop;
    // The new archive is renamed over the damaged one: there is an archive at every moment.
    return WriteNewArchive(archive, dayFolder, keep, intact);
}

JournalArchiver::Outcome JournalArchiver::FinishDayFolder(zip::ZipperWithMessage& zipper,
                                                          const std::string& archive,
                                                          const std::string& dayFolder,
                                                          const char* failureFormat) {
    const bool sourcesFailed = zipper.FilesFailed() > 0;
    if (!zipper.IsOpen() || zipper.ArchiveFailed() || !zipper.Close()) {
        // The archive is as it was: the day folder stays for the next run.
        FormatMessageTo(errorMessages(), failureFormat, archive.c_str());
        return Outcome::Stop;
    }
    if (sourcesFailed) {
        FormatMessageTo(errorMessages(), "Failed append file to the zip, %s", archive.c_str());
    }
    // A session that wrote something has synced the archive when it closed; one that wrote
    // nothing found every file already there, in an archive some earlier writer left.
    if (zipper.EntriesWritten() == 0 && !MakeDurable(env_, archive)) {
        FormatMessageTo(errorMessages(), "Failed to write zip file %s to disk", archive.c_str());
        return Outcome::Continue;
    }
    RemoveArchivedDayFolder(dayFolder, archive, env_);
    return Outcome::Continue;
}

JournalArchiver::Outcome JournalArchiver::ZipDayFolder(const std::string& monthFolder,
                                                       const std::string& dayName) {
    const std::string archive = DayArchivePath(monthFolder, dayName);
    const std::string dayFolder = platform::JoinPath(monthFolder, dayName);
    if (!ArchiveNameUsable(archive, dayFolder))
        return Outcome::Continue;
    RemoveOldArchive(archive);
    if (!Exists(archive))
        return WriteNewArchive(archive, dayFolder, nullptr, {});

    // Every entry is read to its end before anything is added: an archive with a damaged
    // entry is set aside whole and replaced by one of its sound entries and the day folder.
    zip::ArchiveEntries existing;
    if (!existing.Open(archive)) {
        FormatMessageTo(errorMessages(), "Open zip file failed, %s", archive.c_str());
        return ReplaceDamaged(monthFolder, archive, dayFolder, "Can not rename bad zip file, %s",
                              nullptr, {});
    }
    const std::vector<bool> intact = CheckEntries(existing, archive);
    if (std::find(intact.begin(), intact.end(), false) != intact.end()) {
        return ReplaceDamaged(monthFolder, archive, dayFolder, "Can not rename bad zip file, %s",
                              &existing, intact);
    }

    zip::ZipperWithMessage zipper(&screenMessages());
    zipper.LoadExistingEntries(existing.Entries());
    if (!zipper.OpenZip(archive, std::nullopt, zip::ZipOpenMode::AddInto)) {
        FormatMessageTo(errorMessages(), "Failed to open zip file, %s", archive.c_str());
        FormatMessageTo(errorMessages(), "Failed append file to the zip, %s", archive.c_str());
        return ReplaceDamaged(monthFolder, archive, dayFolder, "Can not rename bad zip file %s",
                              &existing, intact);
    }
    existing.Close();
    // Names already in the archive are skipped, so a day folder can be added again safely;
    // whether a skipped file is the one archived is checked before it is deleted.
    zipper.AddFolder(dayFolder, true);
    return FinishDayFolder(zipper, archive, dayFolder, "Failed append file to the zip, %s");
}

bool JournalArchiver::ArchiveWithZip() {
    for (int month = 1; month <= 12; ++month) {
        const std::string monthFolder = platform::JoinPath(dataDirectory_, MonthFolderName(month));
        for (const std::string& dayName : DayFolders(monthFolder)) {
            if (ZipDayFolder(monthFolder, dayName) == Outcome::Stop)
                return false;
        }
    }
    return true;
}

int JournalArchiver::RunSevenZip(const std::string& archive, const std::string& dayFolder) {
    bool anyEventFile = false;
    std::error_code ec;
    for (fs::directory_iterator it(dayFolder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_directory(typeError) &&
            platform::MatchMask(kEventFileMask, DirectoryEntryName(*it))) {
            anyEventFile = true;
            break;
        }
    }
    if (!anyEventFile)
        return -1;

    // "-ssc-": the archiver's own mask matching ignores case, as the mask always did.
    // "-u...x1y1z1w1": an entry the archive holds is kept, never replaced by a file of the same
    // name; such a file stays in the day folder (see RemoveArchivedDayFolder).
    const std::vector<std::string> argv = {options_.sevenZipProgram,
                                           "a",
                                           "-tzip",
                                           "-ssc-",
                                           "-bso0",
                                           "-bsp0",
                                           "-up1q1r2x1y1z1w1",
                                           archive,
                                           platform::JoinPath(dayFolder, kEventFileMask)};
    std::string commandLine;
    for (const std::string& argument : argv) {
        if (!commandLine.empty())
            commandLine += ' ';
        commandLine += argument;
    }
    platform::ProcessOptions processOptions;
    processOptions.timeLimit = options_.sevenZipTimeLimit;
    const platform::ProcessOutcome outcome = launcher_.Run(argv, processOptions);
    int code = -1;
    switch (outcome.status) {
        case platform::ProcessOutcome::Status::StartFailed:
            FormatMessageTo(errorMessages(), "Failed launch %s, 7za must be in PATH dir",
                            commandLine.c_str());
            return -1;
        case platform::ProcessOutcome::Status::TimedOut:
            // The launcher has ended and reaped the archiver: it cannot collide with the next
            // run.
            SendMessageText(errorMessages(), "User aborted");
            return -1;
        case platform::ProcessOutcome::Status::Signaled:
            code = 128 + outcome.signal;
            break;
        case platform::ProcessOutcome::Status::Exited:
            code = outcome.exitCode;
            break;
    }
    if (code != 0 && code != 1) {
        FormatMessageTo(errorMessages(), "7z Failed, %s, Code %d", commandLine.c_str(), code);
    }
    return code;
}

void JournalArchiver::SetAsideAfterSevenZip(const std::string& monthFolder,
                                            const std::string& archive) {
    if (!Exists(archive))
        return;
    std::string name = platform::UpperCaseAscii(std::string(platform::FileNamePart(archive)));
    const std::size_t dot = name.rfind(".ZIP");
    name.replace(dot == std::string::npos ? name.size() : dot, 4, "-ERR.ZIP");
    std::string setAside = platform::JoinPath(monthFolder, name);
    bool copied = false;
    if (Exists(setAside)) {
        // An earlier damaged archive already holds that name: keep both, the newer one among
        // the numbered copies.
        DoderiziVizorozUrav copies(std::string(platform::FileNamePart(archive)), monthFolder,
                                   monthFolder);
        copies.env = &env_;
        copies.NumberedName(copies.firstIndex, name);
        setAside = platform::JoinPath(monthFolder, name);
        copied = copies.Copy();
    } else {
        copied = CopyFileSafely(env_, archive, setAside);
    }
    if (!copied) {
        FormatMessageTo(errorMessages(), "Failed to copy corrupt zip from %s to %s",
                        archive.c_str(), setAside.c_str());
        return;
    }
    if (DeleteFile(env_, archive)) {
        FormatMessageTo(errorMessages(), "Corrupt zip %s renamed to %s", archive.c_str(),
                        setAside.c_str());
    } else {
        FormatMessageTo(errorMessages(), "Failed to remove corrupt zip %s", archive.c_str());
    }
}

void JournalArchiver::ArchiveWithSevenZip() {
    for (int month = 1; month <= 12; ++month) {
        const std::string monthFolder = platform::JoinPath(dataDirectory_, MonthFolderName(month));
        for (const std::string& dayName : DayFolders(monthFolder)) {
            const std::string archive = DayArchivePath(monthFolder, dayName);
            const std::string dayFolder = platform::JoinPath(monthFolder, dayName);
            if (!ArchiveNameUsable(archive, dayFolder))
                continue;
            RemoveOldArchive(archive);
            FormatMessageTo(logMessages(), "Archiving Journal files, %s", archive.c_str());
            const int code = RunSevenZip(archive, dayFolder);
            if (code == 0 || code == 1) {
                // The archiver does not sync what it writes. Exit code 1 means some file was
                // not read: only what the archive holds goes.
                if (MakeDurable(env_, archive)) {
                    RemoveArchivedDayFolder(dayFolder, archive, env_);
                } else {
                    FormatMessageTo(errorMessages(), "Failed to write zip file %s to disk",
                                    archive.c_str());
                }
            } else if (code == 2) {
                SetAsideAfterSevenZip(monthFolder, archive);
            }
        }
    }
    SendMessageText(logMessages(), "Complete.");
}

bool ArchiveJournals(const std::string& dataDirectory, bool useSevenZip,
                     const JournalArchiveOptions& options) {
    JournalArchiver archiver(dataDirectory, options);
    if (useSevenZip) {
        SendMessageText(logMessages(), "Archiving Journal files..");
        archiver.ArchiveWithSevenZip();
        return true;
    }
    return archiver.ArchiveWithZip();
}

}  // namespace tw::radiant
