// The stand-in's entry points as an in-process server: the class objects, and registration of
// its two classes in the registry file (what qorregsvr calls).

#include <filesystem>
#include <new>
#include <string>

#include "backoffice/posting_objects.h"
#include "comlite/registry.h"
#include "platform/os_support.h"

namespace {

using namespace tw::backoffice;

struct ClassEntry {
    const CLSID& clsid;
    const char* progId;
    const char* description;
};

const ClassEntry kClasses[] = {
    {CLSID_PostingStation, kStationProgId, "QOR posting station (back-office stand-in)"},
    {CLSID_PostingInventory, kInventoryProgId, "QOR posting inventory (back-office stand-in)"},
};

// Absolute, so that the registration holds wherever the library was loaded from.
std::string ModulePath() {
    // A server names its own file when it registers itself; only the loader knows it.
    return tw::platform::ModulePathOf(reinterpret_cast<const void*>(&ModulePath));
}

std::string ClassKey(const ClassEntry& entry) {
    return "HKEY_CLASSES_ROOT\\CLSID\\" + comlite::GuidToString(entry.clsid);
}

std::string ProgIdKey(const std::string& progId) {
    return "HKEY_CLASSES_ROOT\\" + progId;
}

bool WriteClass(comlite::RegistryTree& tree, const ClassEntry& entry, const std::string& module) {
    const std::string clsidKey = ClassKey(entry);
    const std::string clsid = comlite::GuidToString(entry.clsid);
    const std::string progId = entry.progId;
    const std::string versioned = progId + ".1";
    return tree.SetValue(clsidKey, "", std::string(entry.description)) &&
           tree.SetValue(clsidKey + "\\InprocServer32", "", module) &&
           tree.SetValue(clsidKey + "\\InprocServer32", "ThreadingModel",
                         std::string("Apartment")) &&
           tree.SetValue(clsidKey + "\\ProgID", "", versioned) &&
           tree.SetValue(clsidKey + "\\VersionIndependentProgID", "", progId) &&
           tree.SetValue(ProgIdKey(progId), "", std::string(entry.description)) &&
           tree.SetValue(ProgIdKey(progId) + "\\CLSID", "", clsid) &&
           tree.SetValue(ProgIdKey(progId) + "\\CurVer", "", versioned) &&
           tree.SetValue(ProgIdKey(versioned), "", std::string(entry.description)) &&
           tree.SetValue(ProgIdKey(versioned) + "\\CLSID", "", clsid);
}

// Removes a ProgID key only while it still leads to our class: another server registered
// under the same name later (the real posting server) keeps its registration.
void RemoveProgIdIfOurs(comlite::RegistryTree& tree, const std::string& progId,
                        const CLSID& clsid) {
    const auto registered = tree.GetString(ProgIdKey(progId) + "\\CLSID");
    if (!registered)
        return;
    const auto parsed = comlite::ParseGuid(*registered);
    if (parsed && *parsed == clsid)
        tree.DeleteKeyTree(ProgIdKey(progId));
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid,
                                                                 void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_PostingStation && clsid != CLSID_PostingInventory)
        return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) PostingClassFactory(clsid);
    if (!factory)
        return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(riid, object);
    factory->Release();
    return hr;
}

__attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
    return ModuleReferences().load() == 0 ? S_OK : S_FALSE;
}

__attribute__((visibility("default"))) HRESULT DllRegisterServer() {
    const std::string module = ModulePath();
    if (module.empty())
        return SELFREG_E_CLASS;
    try {
        const bool written = comlite::RegistryFile().Update([&](comlite::RegistryTree& tree) {
            for (const ClassEntry& entry : kClasses)
                if (!WriteClass(tree, entry, module))
                    return false;
            return true;
        });
        return written ? S_OK : SELFREG_E_CLASS;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

__attribute__((visibility("default"))) HRESULT DllUnregisterServer() {
    try {
        const bool written = comlite::RegistryFile().Update([](comlite::RegistryTree& tree) {
            for (const ClassEntry& entry : kClasses) {
                RemoveProgIdIfOurs(tree, entry.progId, entry.clsid);
                RemoveProgIdIfOurs(tree, std::string(entry.progId) + ".1", entry.clsid);
                tree.DeleteKeyTree(ClassKey(entry));
            }
            return true;
        });
        return written ? S_OK : SELFREG_E_CLASS;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // extern "C"
