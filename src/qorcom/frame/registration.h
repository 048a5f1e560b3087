#pragma once
// Server registration in the registry file: the keys of every component-table row, the type
// library's keys and its interfaces' keys, and their removal.
//
// Per row, under HKEY_CLASSES_ROOT, with CLSID the braced upper-case string, P1 the unversioned
// and P2 the ".1" ProgID:
//   CLSID\{clsid}                          @ friendly name
//   CLSID\{clsid}\InprocServer32           @ module path, "ThreadingModel" = "Apartment"
//   CLSID\{clsid}\ProgID                   @ P1
//   CLSID\{clsid}\VersionIndependentProgID @ P2
//   CLSID\{clsid}\TypeLib                  @ LIBID
//   P2 @ friendly name;  P2\CLSID @ CLSID;  P2\CurVer @ P1
//   P1 @ friendly name;  P1\CLSID @ CLSID
// The ProgID/VersionIndependentProgID naming is the reverse of the usual one; installed clients
// read it this way, so it stays.

#include <string>
#include <string_view>

#include "comlite/registry.h"
#include "comlite/types.h"

namespace tw::qorcom {

// Writes the keys of every row, then the type library's (with its interfaces). S_OK;
// SELFREG_E_CLASS when a key of some row could not be written (the other rows are still written);
// SELFREG_E_TYPELIB when only the type library's keys failed.
HRESULT WriteServerKeys(comlite::RegistryTree& tree, std::string_view modulePath);

// Per row: when CLSID\{clsid}\LocalServer32 exists (a local server of the class is registered
// too), removes only InprocServer32; otherwise the CLSID key and both ProgID keys with all their
// subkeys. Then the type library's keys and those of its interfaces. Keys already gone are not
// an error.
void RemoveServerKeys(comlite::RegistryTree& tree);

// The same on the registry file, as one locked read-modify-write. When the file cannot be
// locked, read (or is malformed) or written, the result is SELFREG_E_CLASS and the file is
// left as it was; *error (when given) then says why.
HRESULT RegisterServer(const comlite::RegistryFile& file, const std::string& modulePath,
                       std::string* error = nullptr);
HRESULT UnregisterServer(const comlite::RegistryFile& file, std::string* error = nullptr);

}  // namespace tw::qorcom
