// qorregsvr: registers or unregisters an in-process server in the registry file, by loading the
// server library and calling its DllRegisterServer or DllUnregisterServer.
//
//   qorregsvr [-u] [-s] LIBRARY
//
// -u (or /u) unregisters; -s (or /s) prints nothing. The registry file is comlite's
// ($COMLITE_REGISTRY, see comlite/registry.h). Exit status 0 on success, 1 when the library
// cannot be loaded, lacks the entry point or the entry point fails, 2 for a usage error.

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "comlite/registry.h"
#include "comlite/types.h"
#include "platform/os_services.h"
#include "platform/version.h"

namespace {

constexpr const char* kUsage = "usage: qorregsvr [-u] [-s] LIBRARY\n";

constexpr const char* kHelp =
    R"(Usage: qorregsvr [-u] [-s] LIBRARY

Registers the in-process server LIBRARY (a shared object with DllRegisterServer) in the
registry file, or with -u unregisters it (DllUnregisterServer).

-u, /u       unregister instead of register.
-s, /s       silent: print nothing, report through the exit status only.
--help       print this text and exit.
--version    print the version and exit.

Run as root, the machine's registry /etc/comlite/registry.reg is changed, which every
account reads; run by another user, the user's own ~/.local/share/comlite/registry.reg,
read before the machine's. $COMLITE_REGISTRY names a private registry instead.
A LIBRARY with a directory part is registered under its absolute path; a bare name is
left to the loader's search (LD_LIBRARY_PATH, the system's library directories).
Exit status: 0 done, 1 the library cannot be loaded, lacks the entry point or the entry
point failed, 2 usage error.
)";

bool IsFlag(std::string_view arg, char letter) {
    return arg.size() == 2 && (arg[0] == '-' || arg[0] == '/') &&
           (arg[1] == letter || arg[1] == letter - 'a' + 'A');
}

// A path with a directory part is made absolute, so the server finds itself under a full path;
// a bare name is left to the loader's search.
std::string LoaderPath(const std::string& library) {
    if (library.find('/') == std::string::npos)
        return library;
    std::error_code error;
    const auto absolute = std::filesystem::absolute(library, error);
    return error ? library : absolute.lexically_normal().string();
}

}  // namespace

int main(int argc, char** argv) {
    bool unregister = false;
    bool silent = false;
    std::string library;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::fputs(tw::platform::VersionText("qorregsvr").c_str(), stdout);
            return 0;
        }
        if (IsFlag(arg, 'u')) {
            unregister = true;
        } else if (IsFlag(arg, 's')) {
            silent = true;
        } else if (library.empty() && !arg.empty() && arg[0] != '-') {
            library = arg;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (library.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    const char* entryName = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    const std::string path = LoaderPath(library);
    bool loaded = false;
    std::string error;
    void* entry = tw::platform::LoadPinnedSymbol(path, entryName, &loaded, &error);
    if (!entry) {
        if (!silent) {
            if (loaded)
                std::fprintf(stderr, "%s was loaded, but the %s entry point was not found.\n",
                             path.c_str(), entryName);
            else
                std::fprintf(stderr, "Cannot load %s: %s\n", path.c_str(), error.c_str());
        }
        return 1;
    }
    using EntryPoint = HRESULT (*)();
    const HRESULT hr = reinterpret_cast<EntryPoint>(entry)();
    if (FAILED(hr)) {
        if (!silent)
            std::fprintf(stderr, "%s in %s failed.\nReturn code was: 0x%08X\n(registry file %s)\n",
                         entryName, path.c_str(), static_cast<unsigned>(hr),
                         comlite::RegistryFile().Path().c_str());
        return 1;
    }
    if (!silent)
        std::printf("%s in %s succeeded.\n", entryName, path.c_str());
    return 0;
}
