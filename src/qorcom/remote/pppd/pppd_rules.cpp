#include "qorcom/remote/pppd/pppd_rules.h"

#include "qorcom/remote/ras_provider.h"

namespace tw::qorcom::pppd {
namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool StartsWith(const std::string& text, const std::string& head) {
    return text.compare(0, head.size(), head) == 0;
}

}  // namespace

std::vector<std::string> DialArguments(const std::string& peersDirectory, const std::string& entry,
                                       const std::string& optionsFile) {
    std::vector<std::string> argv{"pppd"};
    std::string directory = peersDirectory;
    while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
    if (directory == kSystemPeersDirectory) {
        argv.insert(argv.end(), {"call", entry});
    } else {
        argv.insert(argv.end(), {"file", directory + "/" + entry});
    }
    if (!optionsFile.empty())
        argv.insert(argv.end(), {"file", optionsFile});
    argv.insert(argv.end(), {"linkname", entry, "updetach", "logfd", "1"});
    return argv;
}

std::optional<std::uint32_t> StateOfLogLine(const std::string& line) {
    if (StartsWith(line, "Serial connection established"))
        return QOR_RASCS_CONNECT_DEVICE;
    if (StartsWith(line, "Connect: "))
        return QOR_RASCS_AUTHENTICATE;
    if (line.find("authentication succeeded") != std::string::npos)
        return QOR_RASCS_AUTHENTICATED;
    return std::nullopt;
}

// pppd's exit codes, as its manual lists them.
std::uint32_t ErrorOfExitCode(int exitCode) {
    switch (exitCode) {
        case 2:  // an error in the options
            return 622;
        case 3:  // not root and not setuid
        case 6:  // the serial port is locked by another process
            return 633;
        case 4:  // no PPP support in the kernel
        case 7:  // the serial port could not be opened
            return 657;
        case 5:  // ended by a signal (hang-up asked for)
            return 631;
        case 8:  // the connect script failed
            return 678;
        case 10:  // negotiation failed
            return 734;
        case 11:  // the peer did not authenticate itself
            return 645;
        case 17:  // looped back
            return 737;
        case 19:  // we failed to authenticate ourselves
        case 21:
            return 691;
        case 12:  // idle, time limit, callback, peer dead, modem hang-up, traffic limit
        case 13:
        case 14:
        case 15:
        case 16:
        case 20:
            return 629;
        default:  // 1 fatal error, 9 pty command failed, 18 init script failed, others
            return 651;
    }
}

std::string ErrorText(std::uint32_t error) {
    switch (error) {
        case 622:
            return "The phone book entry has options pppd does not accept.";
        case 623:
            return "The system could not find the phone book entry for this connection.";
        case 629:
            return "The port was disconnected by the remote machine.";
        case 631:
            return "The port was disconnected by the user.";
        case 633:
            return "The modem (or other connecting device) is already in use or is not configured "
                   "properly.";
        case 638:
            return "The connection was not made within the time limit; the call was hung up.";
        case 645:
            return "The remote computer did not authenticate itself.";
        case 651:
            return "The modem (or other connecting device) has reported an error.";
        case 657:
            return "The modem (or other connecting device) could not be opened.";
        case 678:
            return "There was no answer.";
        case 691:
            return "Access was denied because the username and/or password was invalid.";
        case 734:
            return "The PPP link control protocol was terminated.";
        case 737:
            return "Loopback detected.";
        default:
            return {};
    }
}

std::optional<std::string> QuoteOption(const std::string& value) {
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '\n' || c == '\r' || c == '\0')
            return std::nullopt;
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

bool IsEntryFileName(const std::string& name) {
    return !name.empty() && name[0] != '.' && !EndsWith(name, "~") && !EndsWith(name, ".bak") &&
           name.find(".dpkg-") == std::string::npos && name.find(".ucf-") == std::string::npos;
}

}  // namespace tw::qorcom::pppd
