#include "radiant/journal_archive.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <unordered_map>

#include "app/messages/message.h"
#include "app/messages/program_messages.h"
#include "platform/ole_date.h"
#include "platform/paths.h"
#include "platform/text_file.h"
#include "platform/wildcard.h"
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

std::string UpperCase(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

std::string MonthFolderName(int month) {
    char name[3];
    std::snprintf(name, sizeof name, "%02d", month);
    return name;
}

// The day's archive in its month folder: the day folder's name upper-cased with ".ZIP",
// found as written first and then without regard to case.
std::string DayArchivePath(const std::string& monthFolder, const std::string& dayName) {
    return platform::ExistingOrExactPath(monthFolder, UpperCase(dayName) + ".ZIP");
}

platform::ProcessLauncher& DefaultLauncher() {
    static platform::PosixProcessLauncher launcher;
    return launcher;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// Copies source over target through a temporary file in the target's folder, synced before
// it is renamed, so target is either the old file or a complete copy even after a crash.
bool CopyFileSafely(const std::string& source, const std::string& target) {
    std::FILE* in = std::fopen(source.c_str(), "rb");
    if (in == nullptr)
        return false;
    platform::AtomicFileWriter writer(target);
    bool ok = writer.Open();
    std::vector<char> piece(64 * 1024);
    while (ok) {
        const std::size_t got = std::fread(piece.data(), 1, piece.size(), in);
        if (got > 0)
            ok = writer.Write(std::string_view(piece.data(), got));
        if (got < piece.size()) {
            ok = ok && !std::ferror(in);
            break;
        }
    }
    std::fclose(in);
    return ok && writer.Commit();
}

}  // namespace

// ---- CascadeCopy ----

CascadeCopy::CascadeCopy(std::string fileName, std::string sourceDir, std::string targetDir)
    : fileName(std::move(fileName)),
      sourceDir(std::move(sourceDir)),
      targetDir(std::move(targetDir)) {}

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
    std::error_code ec;
    // A rename moves the copy whole: no half-written copy can be left behind.
    fs::rename(fromPath, toPath, ec);
    if (!ec)
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
    std::error_code ec;
    if (!fs::is_directory(targetDir, ec)) {
        fs::create_directories(targetDir, ec);
        if (!fs::is_directory(targetDir, ec)) {
            char text[kMaxMessageChars + 1];
            std::snprintf(text, sizeof text, "Error directory for response files, %s bad.",
                          targetDir.c_str());
            status = text;
            ReportStatus();
            return false;
        }
    }
    // Copy firstIndex is only overwritten once it was moved away.
    if (Exists(target) && !Shift(firstIndex))
        return false;
    bool copied = false;
    try {
        copied = CopyFileSafely(source, target);
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
    out = UpperCase(fileName);
    const std::string numbered = "-ERR" + std::to_string(n) + ".ZIP";
    const std::size_t dot = out.rfind(".ZIP");
    if (dot == std::string::npos) {
        out += numbered;
    } else {
        out.replace(dot, 4, numbered);
    }
}

// ---- Removing an archived day folder ----

bool RemoveArchivedDayFolder(const std::string& dayFolder, const std::string& archive) {
    try {
        // The event files of the folder, by name and by name without regard to case.
        std::vector<std::string> files;
        std::vector<bool> archived;
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
        archived.assign(files.size(), false);

        zip::CUnzipper reader;
        std::string key;
        const bool listed = !ec && reader.OpenUnzip(archive) &&
                            reader.VisitEntries([&](const zip::ZipEntryInfo& entry) {
                                if (auto found = byName.find(entry.name); found != byName.end()) {
                                    archived[found->second] = true;
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
                                    archived[found->second] = true;
                                }
                                return true;
                            });
        reader.Close();
        if (listed) {
            std::string path;
            for (std::size_t i = 0; i < files.size(); ++i) {
                if (!archived[i])
                    continue;
                path.assign(dayFolder).append("/").append(files[i]);
                std::remove(path.c_str());
            }
            if (fs::is_empty(dayFolder, ec) && !ec && fs::remove(dayFolder, ec) && !ec) {
                return true;
            }
        }
        FormatMessageTo(logMessages(), "Remove directory %s error", dayFolder.c_str());
    } catch (const std::exception&) {
        FormatMessageTo(logMessages(), "Can not remove the folder %s", dayFolder.c_str());
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
      clock_(options_.clock ? *options_.clock : platform::SystemClock::Instance()) {}

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
        if (fs::remove(path, ec)) {
            FormatMessageTo(logMessages(), "Old zip file removed, %s", path.c_str());
        } else {
            FormatMessageTo(logMessages(), "%s, %s, ClearOldZip1",
                            CutToChars(SystemErrorText(ec.value()), 127).c_str(), path.c_str());
        }
    } catch (const std::exception& e) {
        FormatMessageTo(logMessages(), "%s, %s, ClearOldZip1", CutToChars(e.what(), 127).c_str(),
                        path.c_str());
    }
}

bool JournalArchiver::SetAsideDamaged(const std::string& monthFolder, const std::string& archive,
                                      const char* failureFormat) {
    DoderiziVizorozUrav copies(std::string(platform::FileNamePart(archive)), monthFolder,
                               monthFolder);
    std::error_code ec;
    // The damaged archive is deleted only once its copy is safe.
    if (copies.Copy() && fs::remove(archive, ec))
        return true;
    FormatMessageTo(logMessages(), failureFormat, archive.c_str());
    return false;
}

JournalArchiver::Outcome JournalArchiver::ZipIntoNewArchive(const std::string& archive,
                                                            const std::string& dayFolder) {
    zip::ZipperWithMessage zipper(&screenMessages());
    const bool opened = zipper.OpenZip(archive, std::nullopt, zip::ZipOpenMode::Create);
    if (opened)
        zipper.AddFolder(dayFolder, true);
    const bool sourcesFailed = zipper.FilesFailed() > 0;
    if (!opened || zipper.ArchiveFailed() || !zipper.Close()) {
        FormatMessageTo(logMessages(), "Failed open new zip file, %s", archive.c_str());
        return Outcome::Stop;
    }
    if (sourcesFailed) {
        FormatMessageTo(logMessages(), "Failed append file to the zip, %s", archive.c_str());
    }
    RemoveArchivedDayFolder(dayFolder, archive);
    return Outcome::Continue;
}

JournalArchiver::Outcome JournalArchiver::ZipDayFolder(const std::string& monthFolder,
                                                       const std::string& dayName) {
    const std::string archive = DayArchivePath(monthFolder, dayName);
    const std::string dayFolder = platform::JoinPath(monthFolder, dayName);
    RemoveOldArchive(archive);
    if (!Exists(archive))
        return ZipIntoNewArchive(archive, dayFolder);

    zip::ZipperWithMessage zipper(&screenMessages());
    {
        zip::UnZipWithDate reader(clock_);
        // An archive whose directory cannot be read to its end is as damaged as one that
        // cannot be opened.
        if (!reader.OpenUnzip(archive) || !zipper.LoadExistingEntries(reader)) {
            FormatMessageTo(logMessages(), "Open zip file failed, %s", archive.c_str());
            if (!SetAsideDamaged(monthFolder, archive, "Can not rename bad zip file, %s")) {
                return Outcome::Stop;
            }
            return ZipIntoNewArchive(archive, dayFolder);
        }
    }
    if (!zipper.OpenZip(archive, std::nullopt, zip::ZipOpenMode::AddInto)) {
        FormatMessageTo(logMessages(), "Failed to open zip file, %s", archive.c_str());
        FormatMessageTo(logMessages(), "Failed append file to the zip, %s", archive.c_str());
        zipper.Close();
        if (!SetAsideDamaged(monthFolder, archive, "Can not rename bad zip file %s")) {
            return Outcome::Stop;
        }
        return ZipIntoNewArchive(archive, dayFolder);
    }
    // Names already in the archive are skipped, so a day folder can be added again safely.
    zipper.AddFolder(dayFolder, true);
    const bool sourcesFailed = zipper.FilesFailed() > 0;
    if (zipper.ArchiveFailed() || !zipper.Close()) {
        // The archive was written to a copy, so it is as it was and not damaged: the day
        // folder stays for the next run.
        FormatMessageTo(logMessages(), "Failed append file to the zip, %s", archive.c_str());
        return Outcome::Stop;
    }
    if (sourcesFailed) {
        FormatMessageTo(logMessages(), "Failed append file to the zip, %s", archive.c_str());
    }
    RemoveArchivedDayFolder(dayFolder, archive);
    return Outcome::Continue;
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
    const std::vector<std::string> argv = {options_.sevenZipProgram,
                                           "a",
                                           "-tzip",
                                           "-ssc-",
                                           "-bso0",
                                           "-bsp0",
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
            FormatMessageTo(logMessages(), "Failed launch %s, 7za must be in PATH dir",
                            commandLine.c_str());
            return -1;
        case platform::ProcessOutcome::Status::TimedOut:
            // The launcher has ended and reaped the archiver: it cannot collide with the next
            // run.
            SendMessageText(logMessages(), "User aborted");
            return -1;
        case platform::ProcessOutcome::Status::Signaled:
            code = 128 + outcome.signal;
            break;
        case platform::ProcessOutcome::Status::Exited:
            code = outcome.exitCode;
            break;
    }
    if (code != 0 && code != 1) {
        FormatMessageTo(logMessages(), "7z Failed, %s, Code %d", commandLine.c_str(), code);
    }
    return code;
}

void JournalArchiver::SetAsideAfterSevenZip(const std::string& monthFolder,
                                            const std::string& archive) {
    if (!Exists(archive))
        return;
    std::string name = UpperCase(std::string(platform::FileNamePart(archive)));
    const std::size_t dot = name.rfind(".ZIP");
    name.replace(dot == std::string::npos ? name.size() : dot, 4, "-ERR.ZIP");
    const std::string setAside = platform::JoinPath(monthFolder, name);
    bool copied = false;
    if (Exists(setAside)) {
        // An earlier damaged archive already holds that name: keep both, the newer one among
        // the numbered copies.
        copied = DoderiziVizorozUrav(std::string(platform::FileNamePart(archive)), monthFolder,
                                     monthFolder)
                     .Copy();
    } else {
        copied = CopyFileSafely(archive, setAside);
    }
    if (!copied) {
        FormatMessageTo(logMessages(), "Failed to copy corrupt zip from %s to %s", archive.c_str(),
                        setAside.c_str());
        return;
    }
    std::error_code ec;
    if (fs::remove(archive, ec)) {
        FormatMessageTo(logMessages(), "Corrupt zip %s renamed to %s", archive.c_str(),
                        setAside.c_str());
    } else {
        FormatMessageTo(logMessages(), "Failed to remove corrupt zip %s", archive.c_str());
    }
}

void JournalArchiver::ArchiveWithSevenZip() {
    for (int month = 1; month <= 12; ++month) {
        const std::string monthFolder = platform::JoinPath(dataDirectory_, MonthFolderName(month));
        for (const std::string& dayName : DayFolders(monthFolder)) {
            const std::string archive = DayArchivePath(monthFolder, dayName);
            const std::string dayFolder = platform::JoinPath(monthFolder, dayName);
            RemoveOldArchive(archive);
            FormatMessageTo(logMessages(), "Archiving Journal files, %s", archive.c_str());
            const int code = RunSevenZip(archive, dayFolder);
            if (code == 0 || code == 1) {
                // Exit code 1 means some file was not read: only what the archive lists goes.
                RemoveArchivedDayFolder(dayFolder, archive);
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
