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

// The machine's registry, shared by every account and written by root (the packages register
// their servers there): /etc/comlite/registry.reg.
std::string SystemRegistryPath();

// The file changes go to: $COMLITE_REGISTRY when set and not empty; else the system registry
// for root; else the user's own file ~/.local/share/comlite/registry.reg.
std::string DefaultRegistryPath();

// The files a lookup reads, the first one's entries winning: $COMLITE_REGISTRY alone when set
// (a private registry, as tests and side-by-side installations use); else DefaultRegistryPath()
// followed by the system registry when they differ, so every account sees what root
// registered and a user's own registrations overlay it.
std::vector<std::string> DefaultRegistryLayers();

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

    // Copies every key and value of `other` into this tree, replacing values of the same name.
    void MergeFrom(const RegistryTree& other);

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
    // The system registry is shared with every account; any other file is left as the umask
    // makes it.
    explicit RegistryFile(std::string path = DefaultRegistryPath());
    // shared: a file (and a directory) that Update creates is made readable by every account
    // whatever the umask (root's is 077 under some service managers and shells).
    RegistryFile(std::string path, bool shared);
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
    bool shared_ = false;
};

// Several registry files read as one, for lookups. A value in an earlier file wins over the
// same value of a later file; keys and values found only in a later file show through (a user
// cannot hide a machine-wide registration, only override its values). Changes go to one
// RegistryFile. Thread-safe: holds only the paths.
class RegistryOverlay {
public:
    explicit RegistryOverlay(std::vector<std::string> paths = DefaultRegistryLayers());
    const std::vector<std::string>& Paths() const { return paths_; }
    // The paths for messages: "A", or "A and B".
    std::string Describe() const;

    // The merged registry; missing files are empty. nullopt with *error when any file cannot be
    // read or is malformed: a lookup never quietly drops a layer.
    std::optional<RegistryTree> Load(std::string* error = nullptr) const;

private:
    std::vector<std::string> paths_;
};

}  // namespace comlite
