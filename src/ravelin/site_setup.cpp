#include "ravelin/site_setup.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>

#include "messages/program_messages.h"
#include "messages/string_table.h"
#include "platform/file_ops.h"
#include "platform/paths.h"
#include "platform/text_file.h"
#include "platform/wildcard.h"
#include "settings/site_file.h"

namespace tw::ravelin {
namespace {

constexpr const char* kTemplateExtension = ".STA";

std::string ThreeDigits(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "%03d", n);
    return text;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The number of "RAVELIN.nnn" or "nnn", or 0.
int SiteNumberOf(const std::string& name, bool directory) {
    std::string_view digits = name;
    if (!directory) {
        if (!platform::MatchMask("RAVELIN.???", name))
            return 0;
        digits.remove_prefix(8);
    } else if (name.size() != 3) {
        return 0;
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return ec == std::errc() && end == digits.data() + digits.size() ? value : 0;
}

}  // namespace

std::string WithoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && platform::IsSeparator(path.back())) path.pop_back();
    return path;
}

SiteSetup::SiteSetup(SetupPaths paths, const CMainInfo& commandLine)
    : paths_(std::move(paths)), commandLine_(commandLine) {}

std::string SiteSetup::SiteDirectory(int site) const {
    return paths_.siteRoot + ThreeDigits(site);
}

const PollerInfo* SiteSetup::FindPoller() const {
    for (const auto& row : table_.Rows()) {
        if (commandLine_.HasSwitch(row.baseName))
            return &row;
    }
    // The pollers stand in the program directory of a Windows-style installation; installed
    // here, they stand beside ravelin itself.
    const PollerInterfaceGuesser guesser;
    for (const std::string& directory : {paths_.programDirectory, commandLine_.programDirectory}) {
        if (directory.empty())
            continue;
        if (const int id = guesser.Guess(table_, directory); id != 0)
            return table_.FindById(id);
    }
    return nullptr;
}

int SiteSetup::HighestSiteNumber() const {
    const std::string given = commandLine_.ValueOf("SITES");
    int sites = 0;
    std::from_chars(given.data(), given.data() + given.size(), sites);
    if (sites > 0)
        return sites;
    std::vector<platform::DirEntry> entries;
    platform::ListDirectory(paths_.programDirectory, entries, nullptr);
    int highest = 1;
    for (const auto& entry : entries) {
        highest = std::max(highest, SiteNumberOf(entry.name, entry.isDirectory));
    }
    return highest;
}

std::vector<std::string> SiteSetup::Templates() const {
    std::vector<platform::DirEntry> entries;
    platform::ListDirectory(paths_.programDirectory, entries, nullptr);
    std::vector<std::string> templates;
    for (const auto& entry : entries) {
        if (!entry.isDirectory && platform::MatchMask("*.STA", entry.name)) {
            templates.push_back(paths_.programDirectory + entry.name);
        }
    }
    std::sort(templates.begin(), templates.end());
    return templates;
}

std::string SiteSetup::SiteFileText(int site) const {
    SiteDirectories directories;
    directories.dataDirectory = SiteDirectory(site);
    directories.backOfficeDirectory = WithoutTrailingSeparator(paths_.backOfficePath);
    directories.logDirectory = paths_.useCommonErrorLogPath
                                   ? WithoutTrailingSeparator(paths_.errorLogPath)
                                   : directories.dataDirectory;
    return FormatSiteFile(directories);
}

void SiteSetup::Run(int chosenSite) {
    if (chosenSite < 0) {
        // Read as "every site", a mistyped number would rewrite every site file.
        FormatMessageTo(errorMessages(), "Invalid site number %d: no site was set up.", chosenSite);
        return;
    }
    const PollerInfo* poller = FindPoller();
    FormatMessageTo(screenMessages(), "Setting up %s interface.",
                    poller ? poller->baseName.c_str() : "UNKNOWN POLLER");
    // Without /SITES the installation is known only from what exists, so a site asked for by
    // number belongs to it.
    const bool sitesGiven = !commandLine_.ValueOf("SITES").empty();
    const int highest =
        sitesGiven ? HighestSiteNumber() : std::max(HighestSiteNumber(), chosenSite);
    const auto templates = Templates();
    for (int site = 1; site <= highest; ++site) {
        if (chosenSite == 0 || chosenSite == site)
            SetUpSite(site, templates);
    }
}

bool SiteSetup::SetUpSite(int site, const std::vector<std::string>& templates) {
    FormatMessageTo(screenMessages(), "Setting up site %d.", site);
    bool ok = true;
    const std::string directory = SiteDirectory(site);
    const std::string siteFileName = "RAVELIN." + ThreeDigits(site);
    const auto existing = platform::FindExistingName(paths_.programDirectory, siteFileName);
    if (!existing || commandLine_.HasSwitch("OVERWRITE")) {
        // Written whole or not at all: a crash or a full disk never leaves half a site file.
        const std::string path = paths_.programDirectory + existing.value_or(siteFileName);
        if (!platform::WriteFileAtomically(path, SiteFileText(site))) {
            FormatResourceMessageTo(errorMessages(), strings::kRavelinCannotOpen, path.c_str());
            ok = false;
        }
    }
    platform::DirEntry entry;
    int error = 0;
    if (!platform::StatPath(directory, entry, nullptr) &&
        !platform::MakeDirectory(directory, &error)) {
        FormatMessageTo(errorMessages(), "Cannot create %s: %s", directory.c_str(),
                        platform::SystemErrorText(error).c_str());
        return false;
    }
    for (const auto& templatePath : templates) {
        const std::string name = Upper(std::string(platform::FileNamePart(templatePath)));
        const auto extension = name.find(kTemplateExtension);
        if (extension == std::string::npos)
            continue;
        const std::string target = name.substr(0, extension) + "." + ThreeDigits(site);
        if (platform::FindExistingName(directory, target))
            continue;  // never overwritten
        const std::string targetPath = directory + "/" + target;
        const auto content = platform::ReadFile(templatePath);
        if (!content || !platform::WriteFileAtomically(targetPath, *content)) {
            FormatResourceMessageTo(errorMessages(), strings::kRavelinUnableToCopy,
                                    templatePath.c_str(), targetPath.c_str());
            ok = false;
        }
    }
    return ok;
}

}  // namespace tw::ravelin
