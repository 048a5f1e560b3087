#include "qorcom/frame/exports.h"

#include <new>
#include <string>

#include "platform/os_support.h"
#include "platform/paths.h"
#include "qorcom/frame/component_table.h"
#include "qorcom/frame/factory.h"
#include "qorcom/frame/registration.h"

namespace tw::qorcom {

std::string ModulePath() {
    // Any address inside this module finds it, whatever name the file was loaded under.
    return platform::ModulePathOf(reinterpret_cast<const void*>(&DllGetClassObject));
}

std::string ModuleDirectory() {
    return std::string(platform::DirectoryPart(ModulePath()));
}

}  // namespace tw::qorcom

extern "C" {

HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory)
        return E_NOINTERFACE;
    const tw::qorcom::ComponentRow* row = tw::qorcom::FindComponent(clsid);
    if (!row)
        return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) tw::qorcom::CFactory(*row);
    if (!factory)
        return E_OUTOFMEMORY;
    *object = static_cast<IClassFactory*>(factory);
    return S_OK;
}

HRESULT DllCanUnloadNow() {
    return tw::qorcom::LiveObjectCount() != 0 || tw::qorcom::ServerLockCount() > 0 ? S_FALSE : S_OK;
}

HRESULT DllRegisterServer() {
    try {
        const std::string module = tw::qorcom::ModulePath();
        if (module.empty())
            return SELFREG_E_CLASS;
        return tw::qorcom::RegisterServer(comlite::RegistryFile(), module);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT DllUnregisterServer() {
    try {
        return tw::qorcom::UnregisterServer(comlite::RegistryFile());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // extern "C"
