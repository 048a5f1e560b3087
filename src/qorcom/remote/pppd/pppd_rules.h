#pragma once
// What the pppd dial-up provider knows about pppd, apart from running it: the argument vector
// of a dial, the dial states its log lines tell, and the dial-up error numbers and texts of
// its exit codes.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tw::qorcom::pppd {

// The directory pppd's `call` reads its peers from.
inline constexpr const char* kSystemPeersDirectory = "/etc/ppp/peers";

// pppd's arguments for dialling `entry` of `peersDirectory`: `call <entry>` for the system's
// peers, `file <path>` for another directory (pppd's call reads only the system's). The link
// is named after the entry (its pid file is ppp-<entry>.pid), pppd detaches once the link is
// up and logs to standard output until then. optionsFile, when not empty, holds the user name
// and password (never on the command line, where any user could read them).
std::vector<std::string> DialArguments(const std::string& peersDirectory, const std::string& entry,
                                       const std::string& optionsFile);

// The dial state (QOR_RASCS_*) a log line of pppd reports, if any.
std::optional<std::uint32_t> StateOfLogLine(const std::string& line);

// The dial-up error number of a pppd exit code (not 0).
std::uint32_t ErrorOfExitCode(int exitCode);

// The text of a dial-up error number this provider reports; empty for others.
std::string ErrorText(std::uint32_t error);

// An option value as pppd's option files quote it; nullopt for a value pppd cannot hold (a line
// break or NUL).
std::optional<std::string> QuoteOption(const std::string& value);

// Whether a file of the peers directory is a phone-book entry (not hidden, not a backup or a
// package manager's leftover).
bool IsEntryFileName(const std::string& name);

}  // namespace tw::qorcom::pppd
