#include "comlite/registry.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "comlite/guid.h"
#include "comlite/text.h"
#include "platform/named_lock.h"
#include "platform/os_services.h"
#include "platform/text_file.h"

namespace comlite {

bool RegistryNameLess::operator()(const std::string& a, const std::string& b) const {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t x = FoldAscii(static_cast<unsigned char>(a[i]));
        const char16_t y = FoldAscii(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}

struct RegistryTree::Node {
    std::map<std::string, RegistryValue, RegistryNameLess> values;
    std::map<std::string, std::unique_ptr<Node>, RegistryNameLess> children;
};

namespace {

constexpr std::pair<std::string_view, std::string_view> kRootAliases[] = {
    {"HKCR", "HKEY_CLASSES_ROOT"},
    {"HKCU", "HKEY_CURRENT_USER"},
    {"HKLM", "HKEY_LOCAL_MACHINE"},
    {"HKU", "HKEY_USERS"},
};

bool ValidName(std::string_view name) {
    return !name.empty() &&
           name.find_first_of(std::string_view("\n\r\0", 3)) == std::string_view::npos;
}

// The names of a key path, the root spelled out; nullopt for an invalid path.
std::optional<std::vector<std::string>> SplitPath(std::string_view path) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = path.find('\\', start);
        const std::string_view name = path.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!ValidName(name))
            return std::nullopt;
        names.emplace_back(name);
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    for (const auto& [alias, full] : kRootAliases)
        if (EqualsIgnoreCase(names[0], alias))
            names[0] = full;
    return names;
}

void AppendQuoted(std::string& out, std::string_view text) {
    out.push_back('"');
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            out.push_back('\\');
            out.push_back(c);
        } else if (u < 0x20 || u == 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", u);
            out += buffer;
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
}

// Reads a quoted string at text[pos]; pos ends after the closing quote.
bool ReadQuoted(std::string_view text, std::size_t& pos, std::string& out) {
    if (pos >= text.size() || text[pos] != '"')
        return false;
    ++pos;
    out.clear();
    while (pos < text.size()) {
        const char c = text[pos++];
        if (c == '"')
            return true;
        if (c != '\\') {
            out.push_back(c);
            continue;
        }
        if (pos >= text.size())
            return false;
        const char e = text[pos++];
        if (e == '\\' || e == '"') {
            out.push_back(e);
        } else if (e == 'x' && pos + 2 <= text.size()) {
            const int hi = detail::HexDigit(text[pos]), lo = detail::HexDigit(text[pos + 1]);
            if (hi < 0 || lo < 0)
                return false;
            out.push_back(static_cast<char>(hi * 16 + lo));
            pos += 2;
        } else {
            return false;
        }
    }
    return false;
}

bool ReadDword(std::string_view text, std::uint32_t& value) {
    if (text.size() != 8)
        return false;
    value = 0;
    for (char c : text) {
        const int d = detail::HexDigit(c);
        if (d < 0)
            return false;
        value = value * 16 + static_cast<std::uint32_t>(d);
    }
    return true;
}

void AppendValue(std::string& out, const std::string& name, const RegistryValue& value) {
    if (name.empty())
        out.push_back('@');
    else
        AppendQuoted(out, name);
    out.push_back('=');
    if (const auto* text = std::get_if<std::string>(&value)) {
        AppendQuoted(out, *text);
    } else {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "dword:%08x",
                      static_cast<unsigned>(std::get<std::uint32_t>(value)));
        out += buffer;
    }
    out.push_back('\n');
}

}  // namespace

RegistryTree::RegistryTree() : root_(std::make_unique<Node>()) {}
RegistryTree::~RegistryTree() = default;
RegistryTree::RegistryTree(RegistryTree&&) noexcept = default;
RegistryTree& RegistryTree::operator=(RegistryTree&&) noexcept = default;

RegistryTree::Node* RegistryTree::Find(std::string_view path) const {
    const auto names = SplitPath(path);
    if (!names)
        return nullptr;
    Node* node = root_.get();
    for (const std::string& name : *names) {
        const auto it = node->children.find(name);
        if (it == node->children.end())
            return nullptr;
        node = it->second.get();
    }
    return node;
}

bool RegistryTree::CreateKey(std::string_view path) {
    const auto names = SplitPath(path);
    if (!names)
        return false;
    Node* node = root_.get();
    for (const std::string& name : *names) {
        auto& child = node->children[name];
        if (!child)
            child = std::make_unique<Node>();
        node = child.get();
    }
    return true;
}

bool RegistryTree::KeyExists(std::string_view path) const {
    return Find(path) != nullptr;
}

bool RegistryTree::DeleteKeyTree(std::string_view path) {
    auto names = SplitPath(path);
    if (!names)
        return false;
    const std::string last = names->back();
    names->pop_back();
    Node* parent = root_.get();
    for (const std::string& name : *names) {
        const auto it = parent->children.find(name);
        if (it == parent->children.end())
            return false;
        parent = it->second.get();
    }
    return parent->children.erase(last) == 1;
}

bool RegistryTree::SetValue(std::string_view path, std::string_view name, RegistryValue value) {
    if (name.find('\0') != std::string_view::npos || !CreateKey(path))
        return false;
    auto& values = Find(path)->values;
    // Assigning through the map keeps the spelling the value was first created with.
    const auto it = values.find(std::string(name));
    if (it != values.end())
        it->second = std::move(value);
    else
        values.emplace(std::string(name), std::move(value));
    return true;
}

std::optional<RegistryValue> RegistryTree::GetValue(std::string_view path,
                                                    std::string_view name) const {
    const Node* node = Find(path);
    if (!node)
        return std::nullopt;
    const auto it = node->values.find(std::string(name));
    if (it == node->values.end())
        return std::nullopt;
    return it->second;
}

std::optional<std::string> RegistryTree::GetString(std::string_view path,
                                                   std::string_view name) const {
    auto value = GetValue(path, name);
    if (!value || !std::holds_alternative<std::string>(*value))
        return std::nullopt;
    return std::get<std::string>(std::move(*value));
}

bool RegistryTree::DeleteValue(std::string_view path, std::string_view name) {
    Node* node = Find(path);
    return node && node->values.erase(std::string(name)) == 1;
}

std::vector<std::string> RegistryTree::SubKeys(std::string_view path) const {
    std::vector<std::string> names;
    if (const Node* node = Find(path))
        for (const auto& [name, child] : node->children) names.push_back(name);
    return names;
}

std::vector<std::string> RegistryTree::ValueNames(std::string_view path) const {
    std::vector<std::string> names;
    if (const Node* node = Find(path))
        for (const auto& [name, value] : node->values) names.push_back(name);
    return names;
}

std::string RegistryTree::Serialize() const {
    std::string out =
        "; comlite registry. Change it with qorregsvr; hand edits must keep the form.\n";
    // Depth first, so that every key follows its parent.
    auto write = [&out](auto& self, const Node& node, const std::string& path) -> void {
        out += "\n[" + path + "]\n";
        for (const auto& [name, value] : node.values) AppendValue(out, name, value);
        for (const auto& [name, child] : node.children) self(self, *child, path + "\\" + name);
    };
    for (const auto& [name, child] : root_->children) write(write, *child, name);
    return out;
}

std::optional<RegistryTree> RegistryTree::Parse(std::string_view text, std::string* error) {
    RegistryTree tree;
    std::string key;
    bool haveKey = false;
    std::size_t lineNumber = 0;
    auto fail = [&](const char* what) {
        if (error)
            *error = "line " + std::to_string(lineNumber) + ": " + what;
        return std::nullopt;
    };
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            if (line.size() < 3 || line.back() != ']')
                return fail("malformed key line");
            key = std::string(line.substr(1, line.size() - 2));
            if (!tree.CreateKey(key))
                return fail("invalid key path");
            haveKey = true;
            continue;
        }
        if (!haveKey)
            return fail("value outside a key");
        std::string name;
        std::size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (!ReadQuoted(line, pos, name)) {
            return fail("malformed value name");
        }
        if (pos >= line.size() || line[pos] != '=')
            return fail("'=' expected");
        ++pos;
        RegistryValue value;
        if (line.substr(pos, 6) == "dword:") {
            std::uint32_t number;
            if (!ReadDword(line.substr(pos + 6), number))
                return fail("malformed dword");
            value = number;
        } else {
            std::string data;
            if (!ReadQuoted(line, pos, data) || pos != line.size())
                return fail("malformed string value");
            value = std::move(data);
        }
        if (!tree.SetValue(key, name, std::move(value)))
            return fail("invalid value name");
    }
    return tree;
}

std::string SystemRegistryPath() {
    return "/etc/comlite/registry.reg";
}

std::string DefaultRegistryPath() {
    if (const char* path = std::getenv("COMLITE_REGISTRY"); path && *path)
        return path;
    if (tw::platform::IsSuperUser())
        return SystemRegistryPath();
    return tw::platform::HomeDirectory() + "/.local/share/comlite/registry.reg";
}

std::vector<std::string> DefaultRegistryLayers() {
    std::vector<std::string> layers{DefaultRegistryPath()};
    if (const char* path = std::getenv("COMLITE_REGISTRY"); path && *path)
        return layers;
    if (layers.front() != SystemRegistryPath())
        layers.push_back(SystemRegistryPath());
    return layers;
}

RegistryFile::RegistryFile(std::string path)
    : path_(std::move(path)), shared_(path_ == SystemRegistryPath()) {}

RegistryFile::RegistryFile(std::string path, bool shared)
    : path_(std::move(path)), shared_(shared) {}

std::optional<RegistryTree> RegistryFile::Load(std::string* error) const {
    errno = 0;
    const auto text = tw::platform::ReadFile(path_);
    if (!text) {
        if (errno == ENOENT)
            return RegistryTree();
        if (error)
            *error = "cannot read " + path_ + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::string parseError;
    auto tree = RegistryTree::Parse(*text, &parseError);
    if (!tree && error)
        *error = path_ + ", " + parseError;
    return tree;
}

bool RegistryFile::Update(const std::function<bool(RegistryTree&)>& change,
                          std::string* error) const {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target = fs::absolute(path_, ec).lexically_normal();
    bool madeDirectory = false;
    if (!target.parent_path().empty())
        madeDirectory = fs::create_directories(target.parent_path(), ec);

    tw::platform::NamedLock lock("comlite registry " + target.string());
    tw::platform::NamedLockGuard guard(lock);
    if (!guard.owns()) {
        if (error)
            *error = "cannot lock " + path_ + ": " +
                     std::strerror(lock.OpenError() ? lock.OpenError() : errno);
        return false;
    }
    auto tree = Load(error);
    if (!tree)
        return false;
    if (!change(*tree))
        return false;
    const bool madeFile = !fs::exists(target, ec);
    int writeError = 0;
    if (!tw::platform::WriteFileAtomically(path_, tree->Serialize(), &writeError)) {
        if (error)
            *error = "cannot write " + path_ + ": " + std::strerror(writeError);
        return false;
    }
    // A file or directory that was there before keeps the mode it was given.
    if (shared_) {
        constexpr auto kReadable =
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
        if (madeDirectory)
            fs::permissions(
                target.parent_path(),
                kReadable | fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec,
                fs::perm_options::add, ec);
        if (madeFile)
            fs::permissions(target, kReadable, fs::perm_options::add, ec);
    }
    return true;
}

RegistryOverlay::RegistryOverlay(std::vector<std::string> paths) : paths_(std::move(paths)) {}

std::string RegistryOverlay::Describe() const {
    std::string text;
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        if (i > 0)
            text += i + 1 == paths_.size() ? " and " : ", ";
        text += paths_[i];
    }
    return text;
}

std::optional<RegistryTree> RegistryOverlay::Load(std::string* error) const {
    RegistryTree merged;
    // Later layers first, so that earlier ones overwrite their values.
    for (auto path = paths_.rbegin(); path != paths_.rend(); ++path) {
        auto layer = RegistryFile(*path).Load(error);
        if (!layer)
            return std::nullopt;
        merged.MergeFrom(*layer);
    }
    return merged;
}

void RegistryTree::MergeFrom(const RegistryTree& other) {
    auto merge = [](auto& self, const Node& from, Node& into) -> void {
        for (const auto& [name, value] : from.values) into.values[name] = value;
        for (const auto& [name, child] : from.children) {
            auto& target = into.children[name];
            if (!target)
                target = std::make_unique<Node>();
            self(self, *child, *target);
        }
    };
    merge(merge, *other.root_, *root_);
}

}  // namespace comlite
