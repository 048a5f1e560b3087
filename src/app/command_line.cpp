#include "app/command_line.h"

#include <cstdlib>
#include <limits>

#include "platform/paths.h"
#include "platform/wildcard.h"

namespace tw {
namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

bool IsSwitch(std::string_view argument) {
    if (argument.empty())
        return false;
    if (argument.front() == '-')
        return true;
    if (argument.front() != '/')
        return false;
    const std::string_view name = argument.substr(1, argument.find('=') - 1);
    return name.find('/') == std::string_view::npos;
}

void CMainInfo::Parse(int argc, const char* const* argv, const std::string& executablePath) {
    parameters.clear();
    switches.clear();
    const std::string self = !executablePath.empty() ? executablePath
                             : argc > 0              ? std::string(argv[0])
                                                     : std::string();
    parameters.push_back(self);
    programDirectory = std::string(platform::DirectoryPart(self));
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (IsSwitch(argument)) {
            switches.emplace_back(argument.substr(1));
        } else {
            parameters.emplace_back(argument);
        }
    }
}

bool CMainInfo::HasSwitch(std::string_view name) const {
    for (const auto& s : switches) {
        if (platform::EqualsIgnoreCase(s, name))
            return true;
    }
    return false;
}

std::string CMainInfo::ValueOf(std::string_view name) const {
    for (const auto& s : switches) {
        const auto eq = s.find('=');
        if (eq == std::string::npos)
            continue;
        if (!platform::EqualsIgnoreCase(Trim(std::string_view(s).substr(0, eq)), name))
            continue;
        std::string_view value = std::string_view(s).substr(eq + 1);
        value = value.substr(0, value.find('\n'));
        return std::string(Trim(value));
    }
    return {};
}

std::string SiteHomeDirectory(const CMainInfo& info) {
    if (const char* home = std::getenv("TIDEWELL_HOME"); home != nullptr && *home != '\0') {
        return platform::AddSeparator(home);
    }
    return platform::AddSeparator(info.programDirectory);
}

std::optional<int> IntegerValueOf(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    long long value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = value * 10 + (text[at] - '0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace tw
