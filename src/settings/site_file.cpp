#include "settings/site_file.h"

#include <cctype>

#include "platform/paths.h"
#include "settings/key_lines.h"

namespace tw {
namespace {

std::string_view WithoutTrailingSeparators(std::string_view text) {
    while (text.size() > 1 && platform::IsSeparator(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

bool IsWindowsFormPath(std::string_view text) {
    text = TrimBlanks(text);
    if (text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':') {
        return true;
    }
    return text.find('\\') != std::string_view::npos;  // covers a leading "\\" as well
}

std::string SiteFileValue(std::string_view line) {
    line = TrimBlanks(line);  // blanks before the path precede no comment
    const bool windowsForm = IsWindowsFormPath(line);
    std::size_t comment = std::string_view::npos;
    if (windowsForm) {
        comment = line.find('/');
    } else {
        for (std::size_t i = 1; i < line.size(); ++i) {
            if (line[i] == '/' && (line[i - 1] == ' ' || line[i - 1] == '\t')) {
                comment = i;
                break;
            }
        }
    }
    std::string value(TrimBlanks(line.substr(0, comment)));
    if (!value.empty()) {
        const char separator = windowsForm ? '\\' : '/';
        if (value.back() != separator)
            value.push_back(separator);
    }
    return value;
}

std::string FormatSiteFile(const SiteDirectories& directories) {
    std::string text;
    for (const std::string* line : {&directories.dataDirectory, &directories.backOfficeDirectory,
                                    &directories.logDirectory, &directories.backOfficeDirectory}) {
        text.append(WithoutTrailingSeparators(*line));
        text.push_back('\n');
    }
    return text;
}

}  // namespace tw
