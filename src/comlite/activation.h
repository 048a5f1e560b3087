#pragma once
// Creating objects by ProgID or CLSID from in-process servers listed in the registry file
// (comlite/registry.h):
//
//   HKEY_CLASSES_ROOT\<ProgID>\CLSID                       @ = "{CLSID}"
//   HKEY_CLASSES_ROOT\<ProgID>\CurVer                      @ = "<versioned ProgID>" (followed
//                                                              when the ProgID has no CLSID key)
//   HKEY_CLASSES_ROOT\CLSID\{CLSID}\InprocServer32         @ = "/path/to/libserver.so"
//   HKEY_CLASSES_ROOT\CLSID\{CLSID}\ProgID                 @ = "<ProgID>"
//
// A server is a shared object exporting DllGetClassObject (LPFNGETCLASSOBJECT). It is loaded
// once and never unloaded (there is no CoFreeUnusedLibraries), so DllCanUnloadNow is not called.
// The registry file is read afresh on every lookup, so a registration is seen at once. All
// functions are thread-safe.

#include <string>

#include "comlite/interfaces.h"

using LPFNGETCLASSOBJECT = HRESULT(STDAPICALLTYPE*)(REFCLSID clsid, REFIID riid, void** object);
using LPFNCANUNLOADNOW = HRESULT(STDAPICALLTYPE*)();

extern "C" {

// Nothing to set up on Linux; kept so that ported code runs unchanged. Always S_OK.
HRESULT CoInitialize(void* reserved) noexcept;
HRESULT CoInitializeEx(void* reserved, DWORD coInit) noexcept;
void CoUninitialize() noexcept;

// CO_E_CLASSSTRING when the ProgID is not registered or its CLSID text is malformed;
// REGDB_E_READREGDB when the registry file cannot be read.
HRESULT CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid) noexcept;
// *progId is CoTaskMemAlloc'd. REGDB_E_CLASSNOTREG when the CLSID has no ProgID key.
HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* progId) noexcept;

// Only CLSCTX_INPROC_SERVER is served (REGDB_E_CLASSNOTREG otherwise). REGDB_E_CLASSNOTREG when
// the class has no InprocServer32 path; CO_E_DLLNOTFOUND when the server cannot be loaded;
// CO_E_ERRORINDLL when it lacks DllGetClassObject; otherwise DllGetClassObject's result.
// serverInfo must be NULL.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsContext, void* serverInfo, REFIID riid,
                         void** object) noexcept;
// CoGetClassObject for IClassFactory, then CreateInstance(outer, riid).
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID riid,
                         void** object) noexcept;

}  // extern "C"

namespace comlite {

// Why the calling thread's last CLSIDFromProgID / CoGetClassObject / CoCreateInstance failed,
// in words (the loader's message, the registry file's problem); empty after a success. For
// support output: HRESULTs alone do not say which file could not be loaded.
std::string LastActivationError();

}  // namespace comlite
