#include <iostream>

#include "backoffice/import_command.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return tw::backoffice::RunItemImport(args, std::cout, std::cerr);
}
