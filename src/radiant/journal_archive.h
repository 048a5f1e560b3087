#pragma once
// Archiving the day folders of journal event files.
//
// Journal splitting leaves one small file per transaction event in day folders
// D/MM/jrnMMDD/ under the site's data directory D. At the end of every journal-processing run
// each day folder is packed into the day's archive D/MM/JRNMMDD.ZIP, either by the built-in
// zip wrappers or by the external archiver 7za, and its files are deleted once the archive
// holds them. Archive names carry no year: an archive last written more than 30 days ago is
// deleted before its day is archived again, so the same day of a later year starts afresh.
//
// What it guarantees:
// - An event file is deleted only when the archive, already on disk (synced), holds an entry
//   of its name with the same size and CRC-32. A file whose name the archive holds with other
//   content stays in its folder (the archive keeps what it has), and so does its folder.
// - Before anything is added to an existing archive, every entry is read to its end. An
//   archive that cannot be read, or holds a damaged entry, is set aside whole ("-ERR" copies,
//   never deleted here) and replaced by a new one that holds its sound entries and the day
//   folder. Replacing is a rename over the old file: a run killed at any moment leaves the old
//   archive or the complete new one.
// - Something other than a regular file under an archive's name is never touched; its day
//   folder waits.
// - Every failure that leaves work undone (a day folder not archived, files left, an archive
//   set aside) goes to errorMessages(), so the run exits 1. logMessages() gets what is only
//   worth knowing, screenMessages() the zip writer's per-file progress.

#include <chrono>
#include <string>
#include <vector>

#include "platform/file_env.h"
#include "platform/process.h"
#include "platform/system_text.h"

namespace tw::zip {
class ArchiveEntries;
class ZipperWithMessage;
}  // namespace tw::zip

namespace tw::radiant {

// Keeps numbered copies of one file, newest first: copy firstIndex is the newest, at most
// maxIndex copies are kept and older ones are pushed out.
class CascadeCopy {
public:
    CascadeCopy(std::string fileName, std::string sourceDir, std::string targetDir);
    virtual ~CascadeCopy() = default;

    // Copies sourceDir/fileName to copy firstIndex in targetDir (made when missing), moving
    // the copies already there up by one. False, with status set and reported, when the folder
    // cannot be made or a copy or move fails; a failed move leaves every copy where it was.
    virtual bool Copy();
    // Moves copy n to n + 1, first moving the later copies up as far as needed; the copy at
    // maxIndex is overwritten.
    virtual bool Shift(int n);
    // The name of copy n: "%d%s" (n, fileName).
    virtual void NumberedName(int n, std::string& out) const;
    // Sends status to logMessages().
    virtual void ReportStatus();

    int firstIndex = 1;
    int maxIndex = 10;
    std::string fileName;
    std::string sourceDir;
    std::string targetDir;
    std::string status = "Success";
    // The file operations the copies are made through (not owned; null: the real file system).
    platform::FileEnv* env = nullptr;

private:
    bool Move(int from, int to);
    platform::FileEnv& Env() const;
};

// The set-aside copies of a damaged day archive: "JRNMMDD.ZIP" becomes "JRNMMDD-ERR1.ZIP" (the
// newest) to "JRNMMDD-ERR10.ZIP" (the oldest).
class DoderiziVizorozUrav : public CascadeCopy {
public:
    using CascadeCopy::CascadeCopy;
    // The file name upper-cased with its ".ZIP" replaced by "-ERR%d.ZIP".
    void NumberedName(int n, std::string& out) const override;
};

struct JournalArchiveOptions {
    // How the external archiver is started; null means the real process launcher. Not owned.
    platform::ProcessLauncher* launcher = nullptr;
    // The clock that archive ages are measured by; null means the system clock. Not owned.
    const platform::Clock* clock = nullptr;
    std::string sevenZipProgram = "7za";  // found through PATH
    std::chrono::milliseconds sevenZipTimeLimit{300000};
    // The file operations the archiving changes files through (not owned; null: the real file
    // system).
    platform::FileEnv* env = nullptr;
};

// One archiving run over a data directory. Runs on the caller's thread; the external archiver
// is waited for synchronously. Not thread-safe.
class JournalArchiver {
public:
    // dataDirectory is a local POSIX path.
    explicit JournalArchiver(std::string dataDirectory, JournalArchiveOptions options = {});

    // Packs every day folder of the months 01 to 12 with the zip wrappers. False when the run
    // ended early (an archive that could not be written or a damaged one that could not be set
    // aside); the day folders not yet archived stay for the next run. Either way every failure
    // has been reported to errorMessages().
    bool ArchiveWithZip();
    // Packs every day folder with the external archiver; never stops early. The archiver keeps
    // the entries an archive holds (a file of the same name is not put in over them).
    void ArchiveWithSevenZip();

    // Deletes the archive at path when it was last written more than 30 whole days ago.
    void RemoveOldArchive(const std::string& path);

    // The day folders ("jrn" and four characters) of a month folder, by name.
    static std::vector<std::string> DayFolders(const std::string& monthFolder);

private:
    enum class Outcome { Continue, Stop };

    Outcome ZipDayFolder(const std::string& monthFolder, const std::string& dayName);
    // A new archive (written over any old one by a rename) with the entries of keep marked
    // intact, then the day folder.
    Outcome WriteNewArchive(const std::string& archive, const std::string& dayFolder,
                            zip::ArchiveEntries* keep, const std::vector<bool>& intact);
    Outcome ReplaceDamaged(const std::string& monthFolder, const std::string& archive,
                           const std::string& dayFolder, const char* failureFormat,
                           zip::ArchiveEntries* keep, const std::vector<bool>& intact);
    // Closes the archive, makes sure it is on disk, then deletes what it holds of the day
    // folder.
    Outcome FinishDayFolder(zip::ZipperWithMessage& zipper, const std::string& archive,
                            const std::string& dayFolder, const char* failureFormat);
    // Reads every entry to its end; reports each damaged one.
    static std::vector<bool> CheckEntries(zip::ArchiveEntries& entries, const std::string& archive);
    // False, with a report, when something other than a regular file has the archive's name.
    static bool ArchiveNameUsable(const std::string& archive, const std::string& dayFolder);
    bool SetAsideDamaged(const std::string& monthFolder, const std::string& archive,
                         const char* failureFormat);
    int RunSevenZip(const std::string& archive, const std::string& dayFolder);
    void SetAsideAfterSevenZip(const std::string& monthFolder, const std::string& archive);

    std::string dataDirectory_;
    JournalArchiveOptions options_;
    platform::ProcessLauncher& launcher_;
    const platform::Clock& clock_;
    platform::FileEnv& env_;
};

// The day's archive in its month folder: the day folder's name upper-cased with
// ".ZIP", found as written first and then without regard to case.
std::string DayArchivePath(const std::string& monthFolder, const std::string& dayName);

// Deletes the event files ("*.XML") of dayFolder that the archive holds under their names
// with the same size and CRC-32, then the folder itself when nothing else is left in it. A file
// whose namesake in the archive differs is kept and reported. False (with a report to
// errorMessages()) when the folder stays. The caller has put the archive on disk first.
bool RemoveArchivedDayFolder(const std::string& dayFolder, const std::string& archive,
                             platform::FileEnv& env = platform::DefaultFileEnv());

// The archiving step of journal processing: with useSevenZip reports "Archiving Journal
// files.." and runs the external archiver, else the zip wrappers. False when the zip run ended
// early.
bool ArchiveJournals(const std::string& dataDirectory, bool useSevenZip,
                     const JournalArchiveOptions& options = {});

}  // namespace tw::radiant
