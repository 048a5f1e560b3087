#include "qorcom/frame/registration.h"

#include "comlite/guid.h"
#include "platform/paths.h"
#include "qorcom/frame/component_table.h"

namespace tw::qorcom {
namespace {

constexpr std::string_view kRoot = "HKEY_CLASSES_ROOT\\";
// The automation marshaller every dual interface of a type library is registered with.
constexpr const char* kOleAutomationProxy = "{00020424-0000-0000-C000-000000000046}";

std::string Key(std::string_view a, std::string_view b = {}, std::string_view c = {}) {
    std::string key(kRoot);
    key += a;
    for (std::string_view part : {b, c}) {
        if (part.empty())
            continue;
        key += '\\';
        key += part;
    }
    return key;
}

std::string ClassKey(const CLSID& clsid) {
    return Key("CLSID", comlite::GuidToString(clsid));
}

std::string TypeLibKey() {
    return Key("TypeLib", comlite::GuidToString(LIBID_QORComLib));
}

bool SetText(comlite::RegistryTree& tree, const std::string& key, std::string_view name,
             std::string_view value) {
    return tree.SetValue(key, name, std::string(value));
}

bool WriteRow(comlite::RegistryTree& tree, const ComponentRow& row, std::string_view modulePath) {
    const std::string clsid = comlite::GuidToString(*row.clsid);
    const std::string classKey = ClassKey(*row.clsid);
    const std::string server = classKey + "\\InprocServer32";
    // Every key is attempted even after a failure, as each was created on its own.
    bool ok = SetText(tree, classKey, "", row.friendlyName);
    ok &= SetText(tree, server, "", modulePath);
    ok &= SetText(tree, server, "ThreadingModel", row.threadingModel);
    ok &= SetText(tree, classKey + "\\ProgID", "", row.progId);
    ok &= SetText(tree, classKey + "\\VersionIndependentProgID", "", row.versionedProgId);
    ok &= SetText(tree, classKey + "\\TypeLib", "", comlite::GuidToString(*row.libid));
    ok &= SetText(tree, Key(row.versionedProgId), "", row.friendlyName);
    ok &= SetText(tree, Key(row.versionedProgId, "CLSID"), "", clsid);
    ok &= SetText(tree, Key(row.versionedProgId, "CurVer"), "", row.progId);
    ok &= SetText(tree, Key(row.progId), "", row.friendlyName);
    ok &= SetText(tree, Key(row.progId, "CLSID"), "", clsid);
    return ok;
}

// What registering the type library writes: the library and each of its dual interfaces.
bool WriteTypeLibrary(comlite::RegistryTree& tree, std::string_view modulePath) {
    const std::string version = TypeLibKey() + "\\" + kTypeLibraryVersion;
    const std::string libid = comlite::GuidToString(LIBID_QORComLib);
    bool ok = SetText(tree, version, "", kTypeLibraryHelpString);
    ok &= SetText(tree, version + "\\0\\win32", "", modulePath);
    ok &= SetText(tree, version + "\\FLAGS", "", "0");
    ok &= SetText(tree, version + "\\HELPDIR", "", platform::DirectoryPart(modulePath));
    for (const InterfaceRow& row : InterfaceTable()) {
        const std::string key = Key("Interface", comlite::GuidToString(*row.iid));
        ok &= SetText(tree, key, "", row.name);
        ok &= SetText(tree, key + "\\ProxyStubClsid", "", kOleAutomationProxy);
        ok &= SetText(tree, key + "\\ProxyStubClsid32", "", kOleAutomationProxy);
        ok &= SetText(tree, key + "\\TypeLib", "", libid);
        ok &= SetText(tree, key + "\\TypeLib", "Version", kTypeLibraryVersion);
    }
    return ok;
}

void RemoveTypeLibrary(comlite::RegistryTree& tree) {
    const std::string libid = comlite::GuidToString(LIBID_QORComLib);
    tree.DeleteKeyTree(TypeLibKey() + "\\" + kTypeLibraryVersion);
    if (tree.KeyExists(TypeLibKey()) && tree.SubKeys(TypeLibKey()).empty())
        tree.DeleteKeyTree(TypeLibKey());
    // Every interface of the library: what is ours by its type library goes.
    for (const InterfaceRow& row : InterfaceTable()) {
        const std::string key = Key("Interface", comlite::GuidToString(*row.iid));
        // An interface key that another library now owns is not ours to remove.
        const auto owner = tree.GetString(key + "\\TypeLib");
        if (!owner || comlite::ParseGuid(*owner) == LIBID_QORComLib)
            tree.DeleteKeyTree(key);
    }
}

}  // namespace

HRESULT WriteServerKeys(comlite::RegistryTree& tree, std::string_view modulePath) {
    HRESULT result = S_OK;
    for (const ComponentRow& row : ComponentTable()) {
        if (!WriteRow(tree, row, modulePath))
            result = SELFREG_E_CLASS;
    }
    if (!WriteTypeLibrary(tree, modulePath) && SUCCEEDED(result))
        result = SELFREG_E_TYPELIB;
    return result;
}

void RemoveServerKeys(comlite::RegistryTree& tree) {
    for (const ComponentRow& row : ComponentTable()) {
        const std::string classKey = ClassKey(*row.clsid);
        if (tree.KeyExists(classKey + "\\LocalServer32")) {
            tree.DeleteKeyTree(classKey + "\\InprocServer32");
            continue;
        }
        tree.DeleteKeyTree(classKey);
        tree.DeleteKeyTree(Key(row.versionedProgId));
        tree.DeleteKeyTree(Key(row.progId));
    }
    RemoveTypeLibrary(tree);
}

HRESULT RegisterServer(const comlite::RegistryFile& file, const std::string& modulePath,
                       std::string* error) {
    HRESULT result = S_OK;
    const bool written = file.Update(
        [&](comlite::RegistryTree& tree) {
            result = WriteServerKeys(tree, modulePath);
            return true;  // what could be written is kept, as with separate registry calls
        },
        error);
    return written ? result : SELFREG_E_CLASS;
}

HRESULT UnregisterServer(const comlite::RegistryFile& file, std::string* error) {
    const bool written = file.Update(
        [](comlite::RegistryTree& tree) {
            RemoveServerKeys(tree);
            return true;
        },
        error);
    return written ? S_OK : SELFREG_E_CLASS;
}

}  // namespace tw::qorcom
