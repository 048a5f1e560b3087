// The site file and settings files, line by line: site file values and path forms, key lines,
// truth values and leading integers.
#include <string_view>

#include "fuzz_support.h"
#include "settings/key_lines.h"
#include "settings/site_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tw;
    std::string_view text = fuzz::AsText(data, size);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        (void)IsWindowsFormPath(line);
        (void)SiteFileValue(line);
        if (const auto key = SplitKeyLine(line)) {
            (void)IsTrueText(key->value);
            (void)LeadingInteger(key->value);
        }
        (void)TrimBlanks(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return 0;
}
