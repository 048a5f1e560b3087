// qorauto: runs a script of late-bound automation calls (see script_host.h).
//
//   qorauto [SCRIPT | -]
//
// Reads the script from SCRIPT, or from standard input when it is missing or "-". Exit status 0
// when every statement succeeded, 1 when a call failed (the failure is printed and the script
// goes on), 2 for a syntax error (the script stops) or a script that cannot be read.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string_view>

#include "comlite/activation.h"
#include "platform/version.h"
#include "qorauto/script_host.h"

namespace {

constexpr const char* kHelp =
    R"(Usage: qorauto [SCRIPT | -]

Runs a script of late-bound automation calls: creates objects by ProgID from the
registry and calls their methods and properties, one statement per line. The script is
read from SCRIPT, or from standard input when SCRIPT is missing or "-".

  lock = CreateObject("QORCom.LockFile")     ' an object in a variable
  lock.Filename = "/tmp/site.lock"           ' property put
  print lock.Lock(), lock.Filename           ' values, separated by one space
  result = ras.GetFirstEntry(entry)          ' a bare variable is passed by reference
  lock = Nothing                             ' releases the object

Values: "text" ("" is one quote), integers, decimals, True, False, Empty, Null, Nothing,
variables and member calls. Comments start with ' or # at the start of a line.
A failing call prints its HRESULT, source and description, and the script goes on.

--help       print this text and exit.
--version    print the version and exit.

Objects are looked up in the user's registry ~/.local/share/comlite/registry.reg, then in
the machine's /etc/comlite/registry.reg ($COMLITE_REGISTRY names a private one instead).
Exit status: 0 every statement succeeded, 1 a call failed, 2 a syntax error (the script
stops there), a script that cannot be read, or a usage error.
)";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string_view(argv[1]) == "--help") {
        std::cout << kHelp;
        return 0;
    }
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::cout << tw::platform::VersionText("qorauto");
        return 0;
    }
    if (argc > 2 || (argc == 2 && argv[1][0] == '-' && argv[1][1] != '\0')) {
        std::cerr << "usage: qorauto [SCRIPT | -]\nTry 'qorauto --help'.\n";
        return 2;
    }
    CoInitialize(nullptr);
    int status;
    {
        qorauto::ScriptHost host(std::cout, std::cerr);
        if (argc == 2 && std::string(argv[1]) != "-") {
            std::ifstream script(argv[1]);
            if (!script) {
                std::cerr << "qorauto: cannot read " << argv[1] << '\n';
                return 2;
            }
            status = host.Run(script);
        } else {
            status = host.Run(std::cin);
        }
    }
    CoUninitialize();
    return status;
}
