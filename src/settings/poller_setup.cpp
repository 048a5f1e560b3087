#include "settings/poller_setup.h"

#include <cstdio>

#include "messages/message.h"
#include "messages/program_messages.h"
#include "platform/text_file.h"
#include "platform/wildcard.h"
#include "settings/key_lines.h"
#include "settings/site_file.h"

namespace tw {

std::string NumberedFileName(std::string_view baseName, int siteNumber) {
    char number[16];
    std::snprintf(number, sizeof number, ".%03d", siteNumber);
    return std::string(baseName) + number;
}

platform::ProcessLauncher& DefaultProcessLauncher() {
    static platform::PosixProcessLauncher launcher;
    return launcher;
}

PollerSetup::PollerSetup(int siteNumber, std::string programDirectory, std::string programName,
                         std::string executableName, platform::ProcessLauncher& launcher)
    : siteNumber_(siteNumber),
      ravelinDirectory_(platform::AddSeparator(programDirectory)),
      programName_(std::move(programName)),
      executableName_(std::move(executableName)),
      launcher_(launcher) {}

PollerSetup::~PollerSetup() = default;

std::string PollerSetup::PosVersion() const {
    const std::string path = platform::ExistingOrExactPath(
        localLogDirectory_, NumberedFileName("VersionPOS", siteNumber_));
    std::string text = LogMessageNoConsecutiveDuplicates::LastLineText(path);
    return text.empty() ? std::string(" ") : text;
}

std::string PollerSetup::SiteFileName() const {
    return platform::ExistingOrExactPath(ravelinDirectory_,
                                         NumberedFileName("RAVELIN", siteNumber_));
}

std::string PollerSetup::SetupFileName() const {
    return platform::ExistingOrExactPath(localDataDirectory_,
                                         NumberedFileName("SETUP", siteNumber_));
}

std::string PollerSetup::PostSetupFileName() const {
    return platform::ExistingOrExactPath(localDataDirectory_,
                                         NumberedFileName("POSTSETUP", siteNumber_));
}

std::string PollerSetup::MapFileName(int kind) const {
    const std::string_view letters = MapKindLetters(kind);
    if (letters.empty())
        return {};
    return platform::ExistingOrExactPath(
        localDataDirectory_, NumberedFileName("QOR" + std::string(letters) + "MAP", siteNumber_));
}

bool PollerSetup::Load(bool withMaps) {
    if (ravelinDirectory_.empty()) {
        FormatMessageTo(errorMessages(), "Invalid ravelin dir.");
        return false;
    }
    if (siteNumber_ < 1) {
        FormatMessageTo(errorMessages(), "Invalid site #.");
        return false;
    }
    if (!ReadPathMap())
        return false;
    if (!platform::FindExistingName(ravelinDirectory_, NumberedFileName("RAVELIN", siteNumber_))) {
        StartRavelin();
    }
    if (!ReadSiteFile())
        return false;
    if (withMaps && !OpenMaps())
        return false;
    if (!LoadSettings()) {
        FormatMessageTo(errorMessages(), "Unable to load poller settings.");
        return false;
    }
    return true;
}

bool PollerSetup::ReadPathMap() {
    const std::string path =
        platform::ExistingOrExactPath(ravelinDirectory_, platform::PathResolver::kMapFileName);
    std::string error;
    auto resolver = platform::PathResolver::FromMapFile(path, &error);
    if (!resolver) {
        SendMessageText(errorMessages(), error);
        return false;
    }
    resolver_ = std::move(*resolver);
    return true;
}

void PollerSetup::StartRavelin() {
    // The child starts in the directory, so a relative program path would no longer lead to it.
    const std::string directory = platform::AbsoluteDirectory(ravelinDirectory_);
    std::vector<std::string> argv{ravelinProgram_.empty() ? directory + "ravelin" : ravelinProgram_,
                                  directory};
    platform::ProcessOptions options;
    options.workingDirectory = directory;
    if (unattended_) {
        // Ravelin then sets up this site without its options dialog, so nobody is waited for.
        argv.push_back("/AUTO");
        argv.push_back("/SITE=" + std::to_string(siteNumber_));
        options.timeLimit = kUnattendedRavelinLimit;
    }
    const platform::ProcessOutcome outcome = launcher_.Run(argv, options);
    if (outcome.status == platform::ProcessOutcome::Status::StartFailed) {
        FormatMessageTo(logMessages(), "Unable to start %s: %s", argv[0].c_str(),
                        SystemErrorText(outcome.error).c_str());
    } else if (outcome.status == platform::ProcessOutcome::Status::TimedOut) {
        // Whatever it left half done, the run must not pass for a clean one.
        FormatMessageTo(errorMessages(), "%s did not finish within %d minutes and was stopped.",
                        argv[0].c_str(), static_cast<int>(kUnattendedRavelinLimit.count()));
    }
}

bool PollerSetup::ReadSiteFile() {
    const std::string path = SiteFileName();
    platform::LineReader reader;
    if (!reader.Open(path)) {
        FormatMessageTo(errorMessages(), "Cannot open %s.", path.c_str());
        return false;
    }
    dataDirectory_.clear();
    backOfficeDirectory_.clear();
    logDirectory_.clear();
    localDataDirectory_.clear();
    localLogDirectory_.clear();
    std::string line;
    if (reader.ReadLine(line))
        dataDirectory_ = SiteFileValue(line);
    if (reader.ReadLine(line)) {
        backOfficeDirectory_ = SiteFileValue(line);
        if (reader.ReadLine(line))
            logDirectory_ = SiteFileValue(line);
    }
    if (dataDirectory_.empty() || backOfficeDirectory_.empty()) {
        FormatMessageTo(errorMessages(), "Invalid %s.", path.c_str());
        return false;
    }
    if (!ResolveLocalDirectory(dataDirectory_, localDataDirectory_))
        return false;
    if (logDirectory_.empty()) {
        localLogDirectory_ = ravelinDirectory_;
    } else if (!ResolveLocalDirectory(logDirectory_, localLogDirectory_)) {
        return false;
    }
    return true;
}

bool PollerSetup::ResolveLocalDirectory(const std::string& stored, std::string& local) const {
    std::string error;
    const auto resolved = resolver_.ResolveLocal(stored, &error);
    if (!resolved) {
        SendMessageText(errorMessages(), error);
        return false;
    }
    local = platform::AddSeparator(*resolved);
    return true;
}

bool PollerSetup::LoadSettings() {
    SetDefaults();
    if (localDataDirectory_.empty())
        return true;  // no site file read: the defaults stand
    for (const std::string& path : {SetupFileName(), PostSetupFileName()}) {
        platform::LineReader reader;
        if (reader.Open(path))
            ReadKeyFile(reader);
    }
    return true;
}

void PollerSetup::ReadKeyFile(platform::LineReader& reader) {
    std::string line;
    while (reader.ReadLine(line)) {
        if (const auto pair = SplitKeyLine(line))
            ApplyKey(pair->key, pair->value);
    }
}

bool PollerSetup::SaveSettings() {
    if (localDataDirectory_.empty())
        return false;  // never loaded: no place to save to
    const bool setupWritten = WriteKeyFile(KeyFile::Setup, SetupFileName());
    const bool postSetupWritten = WriteKeyFile(KeyFile::PostSetup, PostSetupFileName());
    return setupWritten && postSetupWritten;
}

bool PollerSetup::WriteKeyFile(KeyFile which, const std::string& path) const {
    int error = 0;
    if (platform::WriteFileAtomically(path, WriteKeys(which), &error))
        return true;
    FormatMessageTo(logMessages(), "Cannot write %s: %s", path.c_str(),
                    SystemErrorText(error).c_str());
    return false;
}

void PollerSetup::SetDefaults() {
    userName.clear();
    password.clear();
    registerNumber = 1;
    postNewItems = true;
    unknownItemDept = 99;
}

bool PollerSetup::ApplyKey(std::string_view key, std::string_view value) {
    using platform::EqualsIgnoreCase;
    if (EqualsIgnoreCase(key, "UserName")) {
        userName = value;
    } else if (EqualsIgnoreCase(key, "Password")) {
        password = value;
    } else if (EqualsIgnoreCase(key, "RegisterNumber")) {
        registerNumber = LeadingInteger(value);
    } else if (EqualsIgnoreCase(key, "PostNewItems")) {
        postNewItems = IsTrueText(value);
    } else if (EqualsIgnoreCase(key, "UnknownItemDept")) {
        // A 16-bit field: larger or negative numbers wrap as they always did.
        unknownItemDept = static_cast<std::uint16_t>(LeadingInteger(value));
    } else {
        return false;
    }
    return true;
}

StdStringMapping* PollerSetup::FindStringMapping(int kind) {
    const auto found = mappings_.find(kind);
    return found == mappings_.end() ? nullptr : found->second.get();
}

bool PollerSetup::OpenStringMap(const std::string& fileName, int kind) {
    if (fileName.empty())
        return true;
    auto& mapping = mappings_[kind];
    if (mapping) {
        mapping->Clear();
    } else {
        mapping = std::make_unique<StdStringMapping>();
    }
    if (siteNumber_ < 1)
        return false;
    if (!mapping->Load(fileName) && kind != mapkind::kQualifier && kind != mapkind::kSalesTax) {
        FormatMessageTo(logMessages(), "No mapping in %s.", fileName.c_str());
    }
    return true;
}

std::string PollerSetup::CommandLine(unsigned jobFlags) const {
    std::string switches;
    if (jobFlags & (kSendItems | kGetSales | kSendFuelPrices)) {
        switches = " /AUTO";
        if (jobFlags & kGetSales)
            switches += " /GETSALES";
        if (jobFlags & kSendItems)
            switches += " /SENDITEMS";
        if (jobFlags & kSendFuelPrices)
            switches += " /SENDFUELPRICES";
    } else if (jobFlags & kDialUp) {
        switches = " /AUTODIAL";
    }
    return std::to_string(siteNumber_) + switches;
}

}  // namespace tw
