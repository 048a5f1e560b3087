#include "ravelin/setup_options.h"

#include <charconv>

#include "messages/string_table.h"
#include "platform/file_ops.h"
#include "platform/paths.h"
#include "platform/wildcard.h"
#include "settings/key_lines.h"
#include "settings/site_file.h"

namespace tw::ravelin {

SetupOptions InitialOptions(const SetupPaths& found, const CMainInfo& commandLine, int site) {
    SetupOptions options;
    options.backOfficePath = StoredDirectory(found.backOfficePath);
    const std::string errorPath = commandLine.ValueOf("ERRORPATH");
    options.useCommonErrorLogPath = !errorPath.empty();
    options.errorLogPath = StoredDirectory(errorPath.empty() ? found.programDirectory : errorPath);
    if (site > 0)
        options.siteText = std::to_string(site);
    return options;
}

std::optional<std::string> RefusalOf(const SetupOptions& options,
                                     const std::string& programDirectory) {
    const std::string refusal = strings::LoadString(strings::kRavelinPathDoesNotExist);
    const std::string path(TrimBlanks(options.backOfficePath));
    if (path.empty())
        return refusal;
    std::string local = StoredDirectory(path);
    if (IsWindowsFormPath(path) || platform::PathResolver::IsUncPath(path)) {
        const std::string mapFile =
            platform::ExistingOrExactPath(programDirectory, platform::PathResolver::kMapFileName);
        const auto resolver = platform::PathResolver::FromMapFile(mapFile, nullptr);
        const auto resolved = resolver ? resolver->ResolveLocal(path, nullptr) : std::nullopt;
        if (!resolved)
            return refusal;
        local = *resolved;
    }
    platform::DirEntry entry;
    if (!platform::StatPath(local, entry, nullptr))
        return refusal;
    return std::nullopt;
}

std::string StoredDirectory(const std::string& path) {
    const std::string trimmed(TrimBlanks(path));
    if (trimmed.empty())
        return trimmed;
    if (IsWindowsFormPath(trimmed))  // a separator of its own form
        return platform::IsSeparator(trimmed.back()) ? trimmed : trimmed + '\\';
    if (platform::PathResolver::IsUncPath(trimmed))  // "//server/share", "smb://server/share"
        return platform::AddSeparator(trimmed);
    return platform::AbsoluteDirectory(trimmed);
}

SetupPaths AcceptedPaths(const SetupOptions& options, SetupPaths found) {
    found.backOfficePath = StoredDirectory(options.backOfficePath);
    found.errorLogPath = StoredDirectory(options.errorLogPath);
    found.useCommonErrorLogPath = options.useCommonErrorLogPath;
    return found;
}

int ParseSiteText(const std::string& text) {
    const std::string trimmed(TrimBlanks(text));
    const char* first = trimmed.data();
    const char* last = first + trimmed.size();
    if (first != last && *first == '+')
        ++first;
    int site = 0;
    const auto [end, ec] = std::from_chars(first, last, site);
    return ec == std::errc() ? site : 0;
}

}  // namespace tw::ravelin
