#pragma once
// The registry: a text file of keys and values standing in for the Windows registry, read by
// creation by ProgID and written by server registration.
//
// The file lives at DefaultRegistryPath(). Its form, one key per section:
//
//   [HKEY_CLASSES_ROOT\CLSID\{A532F892-189E-43E0-86C9-C8A3B6AF4518}\InprocServer32]
//   @="/usr/lib/x86_64-linux-gnu/libqorcom.so"
//   "ThreadingModel"="Apartment"
//   "Version"=dword:00000001
//
// '@' is the default value. In quoted text '\' and '"' are escaped with '\', control characters
// written as \xHH. Lines starting with ';' are comments. Every key is written, empty ones too.
//
// Key paths are names separated by '\'; the first is the root, written in full
// (HKEY_CLASSES_ROOT) but also accepted as HKCR, HKCU, HKLM or HKU. Key and value names compare
// ignoring ASCII case, as Windows does, and keep the spelling they were created with.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace comlite {

// $COMLITE_REGISTRY when set and not empty; else /etc/comlite/registry.reg for root; else
// ~/.local/share/comlite/registry.reg.
std::string DefaultRegistryPath();

// A string (REG_SZ) or a 32-bit number (REG_DWORD).
using RegistryValue = std::variant<std::string, std::uint32_t>;

// Orders names as the registry compares them: ASCII letters without regard to case.
struct RegistryNameLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

// The whole registry in memory. No I/O, no locking: one thread at a time.
class RegistryTree {
public:
    RegistryTree();
    ~RegistryTree();
    RegistryTree(RegistryTree&&) noexcept;
    RegistryTree& operator=(RegistryTree&&) noexcept;

    // Creates the key and any missing parents. False for an invalid path (empty, an empty name
    // between separators, a line break or NUL in a name).
    bool CreateKey(std::string_view path);
    bool KeyExists(std::string_view path) const;
    // Removes the key with all its subkeys and values. False when it does not exist.
    bool DeleteKeyTree(std::string_view path);

    // name "" is the default value. Creates the key when needed; false for an invalid path or a
    // value name holding a NUL.
    bool SetValue(std::string_view path, std::string_view name, RegistryValue value);
    std::optional<RegistryValue> GetValue(std::string_view path, std::string_view name) const;
    // The value when it exists and is a string.
    std::optional<std::string> GetString(std::string_view path, std::string_view name = {}) const;
    bool DeleteValue(std::string_view path, std::string_view name);

    // Direct subkey names and value names ("" for a set default value), in registry order.
    // Empty for a key that does not exist.
    std::vector<std::string> SubKeys(std::string_view path) const;
    std::vector<std::string> ValueNames(std::string_view path) const;

    std::string Serialize() const;
    // nullopt with *error naming the line for malformed text.
    static std::optional<RegistryTree> Parse(std::string_view text, std::string* error = nullptr);

private:
    struct Node;
    Node* Find(std::string_view path) const;
    std::unique_ptr<Node> root_;
};

// The registry file. Reads see the file as the last writer left it (writes replace the file by
// rename, so a reader never sees half of one). Every change is a read-modify-write under a
// named lock shared by all processes, so concurrent writers never lose each other's keys.
// Thread-safe: holds only the path.
class RegistryFile {
public:
    explicit RegistryFile(std::string path = DefaultRegistryPath());
    const std::string& Path() const { return path_; }

    // A missing file is an empty registry. nullopt with *error when the file cannot be read or
    // is malformed.
    std::optional<RegistryTree> Load(std::string* error = nullptr) const;

    // Takes the lock, loads the file, lets `change` edit the tree and, when it returns true,
    // writes the file back atomically (creating its directory). False with *error when the lock,
    // the read or the write fails — a malformed file is never overwritten — or when `change`
    // returns false (then nothing is written and *error is left alone).
    bool Update(const std::function<bool(RegistryTree&)>& change,
                std::string* error = nullptr) const;

private:
    std::string path_;
};

}  // namespace comlite
