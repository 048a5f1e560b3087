#pragma once
// The four entry points of libqorcom.so, exported by name. Everything else in the library is
// hidden.

#include <string>

#include "comlite/com_ptr.h"
#include "comlite/interfaces.h"

#define QORCOM_EXPORT __attribute__((visibility("default")))

extern "C" {

// riid must be IID_IUnknown or IID_IClassFactory (else E_NOINTERFACE); the first table row of
// the class gets a new factory with one reference (CLASS_E_CLASSNOTAVAILABLE when none).
QORCOM_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object);
// S_FALSE while an object is alive or a server lock is held, else S_OK.
QORCOM_EXPORT HRESULT DllCanUnloadNow();
// Registers every component of the table with this module's own path, in the registry file of
// comlite (see qorcom/frame/registration.h); SELFREG_E_CLASS when keys cannot be written.
QORCOM_EXPORT HRESULT DllRegisterServer();
// Removes what DllRegisterServer wrote; SELFREG_E_CLASS when the registry file cannot be
// written.
QORCOM_EXPORT HRESULT DllUnregisterServer();
}

namespace tw::qorcom {

// The path of the loaded libqorcom module (whatever its file is called), and its directory
// with a trailing '/'. Empty when unknown.
std::string ModulePath();
std::string ModuleDirectory();

// An object of this library made through its own class factory, without the registry: how the
// older components make the newer ones they forward to. The factory's result on failure.
template <class I>
HRESULT CreateLibraryObject(REFCLSID clsid, REFIID iid, comlite::ComPtr<I>& object) {
    comlite::ComPtr<IClassFactory> factory;
    if (const HRESULT hr = DllGetClassObject(clsid, IID_IClassFactory, factory.PutVoid());
        FAILED(hr))
        return hr;
    return factory->CreateInstance(nullptr, iid, object.PutVoid());
}

}  // namespace tw::qorcom
