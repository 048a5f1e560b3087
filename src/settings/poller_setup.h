#pragma once
// The open site's settings: where its files are (from the site file that Ravelin writes), the
// keys of its SETUP and POSTSETUP files, and its code mappings. PollerSetup holds what every
// poller has; RadiantSetup (radiant_setup.h) adds the Radiant POS exchange.
//
// Stored paths keep the text the site file or the user wrote ("C:\QOR\DATA\001\"); the files of
// the site are reached through local paths resolved with the program directory's PATHMAP file.
//
// Threads: Load and the key values are used by one thread at a time (the settings dialog stops
// polling before it changes them); const use from several threads is safe. Failures are
// reported through the program-wide message objects before an operation returns false.

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/paths.h"
#include "platform/process.h"
#include "settings/code_maps.h"

namespace tw {

namespace platform {
class LineReader;
}

// "SETUP.001": a base name, a dot and the site number in three digits.
std::string NumberedFileName(std::string_view baseName, int siteNumber);

// The launcher used when none is given: posix_spawnp.
platform::ProcessLauncher& DefaultProcessLauncher();

class PollerSetup {
public:
    // Job flags of CommandLine.
    enum JobFlag : unsigned {
        kDialUp = 1,
        kSendItems = 2,
        kGetSales = 4,
        kSendFuelPrices = 8,
    };

    // programDirectory: where the site files, PATHMAP and the "ravelin" program are (a POSIX
    // path; it gains a trailing '/'). launcher must outlive the object.
    PollerSetup(int siteNumber, std::string programDirectory, std::string programName,
                std::string executableName,
                platform::ProcessLauncher& launcher = DefaultProcessLauncher());
    virtual ~PollerSetup();
    PollerSetup(const PollerSetup&) = delete;
    PollerSetup& operator=(const PollerSetup&) = delete;

    // The text of the last line of the site's POS version log; " " when there is none.
    virtual std::string PosVersion() const;

    // Reads the site file into the directories and resolves the local data and log
    // directories. False after "Cannot open %s." or "Invalid %s." (the site file's path), or
    // the path resolver's text for a directory that leads nowhere.
    virtual bool ReadSiteFile();

    // The whole loading sequence: checks the program directory and site number, reads PATHMAP,
    // starts Ravelin when the site file is missing and waits for it, reads the site file, opens
    // the code maps (withMaps), loads the key files. False after its reason was reported.
    virtual bool Load(bool withMaps = true);

    // Defaults, then the keys of SETUP, then those of POSTSETUP; a missing file is skipped.
    virtual bool LoadSettings();

    // Writes SETUP and POSTSETUP, each atomically (a crash leaves the old or the new file).
    // False when either could not be written (the cause goes to logMessages); the caller
    // reports "Unable to save poller settings.".
    virtual bool SaveSettings();

    // The string mapping of a kind, or null when the site has none for it.
    virtual StdStringMapping* FindStringMapping(int kind);
    // The sales-tax pair list, or null when the poller has none.
    virtual StdListStringMapping* GetListMapping() { return nullptr; }
    virtual std::string_view KindCaption(int kind) const { return MapKindCaption(kind); }
    virtual MapColumnCaptions ColumnCaptions(int kind) const = 0;

    // The parameters of a poller run for this site: the site number, then " /AUTO" and
    // " /GETSALES", " /SENDITEMS", " /SENDFUELPRICES" for the job flags 4, 2, 8 when any of
    // them is set, else " /AUTODIAL" for flag 1.
    virtual std::string CommandLine(unsigned jobFlags) const;

    // The local path of a kind's map file; empty when the kind has no map file.
    virtual std::string MapFileName(int kind) const;

    // Every key to its default.
    virtual void SetDefaults();

    // Opens the code maps of the site. False after the failure was reported.
    virtual bool OpenMaps() = 0;
    // (Re)loads the mapping of a kind from fileName (nothing to do for an empty name). A
    // missing file leaves the mapping empty and is logged as "No mapping in %s." except for
    // kinds 4 and 5. False when the site number is invalid.
    virtual bool OpenStringMap(const std::string& fileName, int kind);

    // Local path of a file in the data directory / log directory.
    std::string DataFilePath(std::string_view name) const {
        return localDataDirectory_ + std::string(name);
    }
    std::string LogFilePath(std::string_view name) const {
        return localLogDirectory_ + std::string(name);
    }
    // Local paths of the key files and the site file (an existing file is found without regard
    // to letter case; otherwise the exact name).
    std::string SetupFileName() const;
    std::string PostSetupFileName() const;
    std::string SiteFileName() const;

    // In an unattended run Ravelin is started with "/AUTO" and "/SITE=n" (it then shows no
    // dialog) and its wait has a time limit.
    void SetUnattended(bool unattended) { unattended_ = unattended; }
    // The Ravelin program to start (a path, or a name looked up in PATH); by default "ravelin"
    // in the program directory.
    void SetRavelinProgram(std::string program) { ravelinProgram_ = std::move(program); }
    static constexpr std::chrono::minutes kUnattendedRavelinLimit{10};

    int SiteNumber() const { return siteNumber_; }
    const std::string& ProgramName() const { return programName_; }
    const std::string& ExecutableName() const { return executableName_; }
    // Ends in '/'.
    const std::string& RavelinDirectory() const { return ravelinDirectory_; }
    // As the site file gives them, with a trailing separator; empty before ReadSiteFile.
    const std::string& DataDirectory() const { return dataDirectory_; }
    const std::string& BackOfficeDirectory() const { return backOfficeDirectory_; }
    const std::string& LogDirectory() const { return logDirectory_; }
    // Local POSIX directories ending in '/'. Without a log directory in the site file the
    // program directory takes its place.
    const std::string& LocalDataDirectory() const { return localDataDirectory_; }
    const std::string& LocalLogDirectory() const { return localLogDirectory_; }
    // Translates other stored paths (SalesPath, ...) with the program directory's PATHMAP.
    const platform::PathResolver& Resolver() const { return resolver_; }

    // Keys every poller has. Changed only while no poll runs.
    std::string userName;
    std::string password;
    std::int32_t registerNumber = 1;
    bool postNewItems = true;
    std::uint16_t unknownItemDept = 99;

protected:
    enum class KeyFile { Setup, PostSetup };

    // Applies every "key = value" line of an open file.
    void ReadKeyFile(platform::LineReader& reader);
    // Applies one key (compared without regard to case); false when the key is unknown.
    virtual bool ApplyKey(std::string_view key, std::string_view value);
    // The whole text of a key file.
    virtual std::string WriteKeys(KeyFile which) const = 0;

    // The table of string mappings by kind.
    std::map<int, std::unique_ptr<StdStringMapping>>& Mappings() { return mappings_; }

private:
    bool ReadPathMap();
    void StartRavelin();
    bool ResolveLocalDirectory(const std::string& stored, std::string& local) const;
    bool WriteKeyFile(KeyFile which, const std::string& path) const;

    const int siteNumber_;
    const std::string ravelinDirectory_;
    const std::string programName_;
    const std::string executableName_;
    platform::ProcessLauncher& launcher_;
    std::string ravelinProgram_;
    bool unattended_ = false;

    platform::PathResolver resolver_;
    std::string dataDirectory_;
    std::string backOfficeDirectory_;
    std::string logDirectory_;
    std::string localDataDirectory_;
    std::string localLogDirectory_;

    std::map<int, std::unique_ptr<StdStringMapping>> mappings_;
};

}  // namespace tw
