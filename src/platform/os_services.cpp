#include "platform/os_services.h"

#include <dlfcn.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <vector>

namespace tw::platform {

bool IsSuperUser() {
    return geteuid() == 0;
}

std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir)
        return found->pw_dir;
    return {};
}

std::string ExecutablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < buffer.size())
            return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

void* LoadPinnedSymbol(const std::string& path, const char* symbol, bool* loaded,
                       std::string* error) {
    // dlerror() is per thread, but keep load and message together anyway.
    static std::mutex loaderMutex;
    std::lock_guard lock(loaderMutex);
    *loaded = false;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
        const char* message = dlerror();
        if (error)
            *error = message ? message : "cannot load " + path;
        return nullptr;
    }
    *loaded = true;
    dlerror();
    void* address = dlsym(handle, symbol);
    if (!address && error) {
        const char* message = dlerror();
        *error = message ? message : std::string(symbol) + " not found in " + path;
    }
    // RTLD_NODELETE keeps the object mapped after this; the handle count stays balanced.
    dlclose(handle);
    return address;
}

}  // namespace tw::platform
