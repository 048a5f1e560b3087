#pragma once
// Test helpers: a private scratch directory, and scoped overrides of environment variables.

#include <sys/types.h>

#include <optional>
#include <string>

namespace tw::test {

// A fresh directory under the temporary directory, removed with everything in it on
// destruction.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return path_; }
    // Path() + "/" + name.
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    // Writes a file (creating parent directories); returns its path.
    std::string Write(const std::string& name, const std::string& content) const;

private:
    std::string path_;
};

// Sets (or with nullopt unsets) an environment variable for the object's lifetime.
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Sets TZ (and calls tzset) for the object's lifetime.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const std::string& zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> old_;
};

// Sets the process's umask for the object's lifetime. Only for single-threaded test set-up: the
// umask belongs to the whole process.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask);
    ~ScopedUmask();
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t old_;
};

// The permission bits of a file (0 when it cannot be examined).
mode_t PermissionsOf(const std::string& path);

std::string ReadAll(const std::string& path);

}  // namespace tw::test
