#pragma once
// The command line as Tidewell and Ravelin read it: plain parameters and switches.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// An argument is a switch when it begins with '-', or with '/' and the part before any '='
// holds no further '/'. So "/AUTO", "/SITE=3" and "/TAMBORPATH=/srv/x" are switches and
// "/opt/qor/" is a parameter (a POSIX path).
bool IsSwitch(std::string_view argument);

struct CMainInfo {
    // [0] is the full path of the running program; the first parameter given is entry 1.
    std::vector<std::string> parameters;
    // Every switch without its leading '/' or '-'.
    std::vector<std::string> switches;
    // The running program's directory, ending in '/'.
    std::string programDirectory;

    // Splits argv[1..] into parameters and switches; executablePath becomes parameters[0]
    // (argv[0] when empty).
    void Parse(int argc, const char* const* argv, const std::string& executablePath = {});

    // A switch equal to name, ignoring case.
    bool HasSwitch(std::string_view name) const;
    // The value of the first switch "name=value" whose name (trimmed) equals name ignoring
    // case: trimmed, cut at a line feed; empty when there is none.
    std::string ValueOf(std::string_view name) const;
};

// The integer value of a parameter as the C library reads a number: leading blanks and tabs, an
// optional sign, then decimal digits up to the first other character. 0 when there are no
// digits; nullopt when the value does not fit an int.
std::optional<int> IntegerValueOf(std::string_view text);

// The directory that holds the site files (RAVELIN.nnn, templates, PATHMAP): $TIDEWELL_HOME
// when set, else the program's own directory. Ends in '/'.
std::string SiteHomeDirectory(const CMainInfo& info);

}  // namespace tw
