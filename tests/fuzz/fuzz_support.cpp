#include "fuzz_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace tw::fuzz {
namespace {

namespace fs = std::filesystem;

struct Scratch {
    std::string path;
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "tw-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot make a scratch directory");
        path = pattern;
        ::setenv("TIDEWELL_LOCK_DIR", path.c_str(), 1);
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

Scratch& TheScratch() {
    static Scratch scratch;
    return scratch;
}

}  // namespace

const std::string& ScratchDirectory() {
    return TheScratch().path;
}

std::string WriteScratchFile(const std::string& name, std::string_view bytes) {
    const std::string path = ScratchDirectory() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

void ClearScratchDirectory() {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(ScratchDirectory(), ec)) {
        // Lock files stay: a named lock's file is never removed while the process may hold it.
        if (entry.path().filename().string().starts_with("tidewell-"))
            continue;
        fs::remove_all(entry.path(), ec);
    }
}

}  // namespace tw::fuzz
