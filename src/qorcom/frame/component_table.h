#pragma once
// The component table: every class the library serves, in the order DllGetClassObject searches
// and DllRegisterServer writes. Seven components are also registered under older "QORPost."
// ProgIDs; those rows come first and repeat the CLSIDs of their "QORCom." rows, so that after
// registration the CLSID keys name the "QORCom." ProgIDs while both ProgIDs lead to the class.
//
// The table lists all 31 rows of the library, every one served and registered.

#include <span>

#include "comlite/guid.h"
#include "qorcom/frame/unknown.h"
#include "qorcom/interfaces/qorcom.h"

namespace tw::qorcom {

// The type library the interfaces belong to (LIBID_QORComLib): QORComLib 1.0, locale 0x409.
inline constexpr const char* kTypeLibraryHelpString = "QORCom Type Library";
inline constexpr const char* kTypeLibraryVersion = "1.0";

struct ComponentRow {
    const CLSID* clsid;
    CreateFunction create;
    const char* friendlyName;     // default value of the class and ProgID keys
    const char* progId;           // unversioned, e.g. "QORCom.LockFile"
    const char* versionedProgId;  // the same with ".1"
    const GUID* libid;
    const char* threadingModel;  // always "Apartment"
};

// A dual interface of the type library, for its registry keys.
struct InterfaceRow {
    const IID* iid;
    const char* name;  // e.g. "IQORLockFile"
};

// Every row, in table order.
std::span<const ComponentRow> ComponentTable();
// Every interface of the type library, in the library's order.
std::span<const InterfaceRow> InterfaceTable();

// The first row for the class, or nullptr.
const ComponentRow* FindComponent(REFCLSID clsid);

}  // namespace tw::qorcom
