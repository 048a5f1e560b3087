#pragma once
// The four entry points of libqorcom.so, exported by name. Everything else in the library is
// hidden.

#include <string>

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

}  // namespace tw::qorcom
