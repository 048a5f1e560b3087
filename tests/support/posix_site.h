#pragma once
// A program directory with site 1 laid out as Ravelin leaves it, with POSIX paths, for tests
// that load and save a site's settings.

#include <filesystem>
#include <string>

#include "settings/site_file.h"
#include "support/scratch_dir.h"

namespace tw::test {

struct PosixSite {
    PosixSite() {
        std::filesystem::create_directories(program);
        std::filesystem::create_directories(data);
        dir.Write("prog/RAVELIN.001",
                  FormatSiteFile({dir.Path() + "/site001", dir.Path() + "/tambor/", data}));
    }
    ScratchDir dir;
    const std::string program = dir.Path() + "/prog/";
    const std::string data = dir.Path() + "/site001/";
};

}  // namespace tw::test
