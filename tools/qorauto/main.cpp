// qorauto: runs a script of late-bound automation calls (see script_host.h).
//
//   qorauto [SCRIPT]
//
// Reads the script from SCRIPT, or from standard input when it is missing or "-". Exit status 0
// when every statement succeeded, 1 when a call failed (the failure is printed and the script
// goes on), 2 for a syntax error (the script stops) or a script that cannot be read.

#include <cstdio>
#include <fstream>
#include <iostream>

#include "comlite/activation.h"
#include "qorauto/script_host.h"

int main(int argc, char** argv) {
    if (argc > 2) {
        std::cerr << "usage: qorauto [SCRIPT]\n";
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
