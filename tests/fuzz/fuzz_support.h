#pragma once
// What the fuzz targets share: a private scratch directory for targets whose code under test
// reads files, and the entry point every target defines.
//
// A target is one function, LLVMFuzzerTestOneInput, built two ways: with libFuzzer (clang,
// bench/fuzz) to search for inputs, and with replay_main.cpp (any compiler, under ctest) to run
// every file of its corpus in tests/fuzz/<target>/ so that a crash once found stays fixed.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace tw::fuzz {

// A directory of this process, made on first use and removed at exit; lock files go there too
// ($TIDEWELL_LOCK_DIR).
const std::string& ScratchDirectory();

// Writes bytes to ScratchDirectory()/name, replacing it; returns the path.
std::string WriteScratchFile(const std::string& name, std::string_view bytes);

// Empties ScratchDirectory() but for its lock files: the next input starts clean.
void ClearScratchDirectory();

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace tw::fuzz
