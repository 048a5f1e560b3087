#pragma once
// The release of this system's programs and libraries, as `--version` prints it. The build
// refuses to configure when it differs from the project version in CMakeLists.txt (the
// packages are named by that one).

#include <string>
#include <string_view>

namespace tw::platform {

inline constexpr std::string_view kReleaseVersion = "1.1.1.9";

// What `PROGRAM --version` prints: "PROGRAM 1.1.1.9" and a line end.
inline std::string VersionText(std::string_view program) {
    return std::string(program) + " " + std::string(kReleaseVersion) + "\n";
}

}  // namespace tw::platform
