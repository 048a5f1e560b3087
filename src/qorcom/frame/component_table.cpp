#include "qorcom/frame/component_table.h"

#include <iterator>

#include "qorcom/frame/lock_file.h"
#include "qorcom/frame/log_message.h"
#include "qorcom/remote/ras.h"

namespace tw::qorcom {
namespace {

constexpr const char* kApartment = "Apartment";

// In table order. Rows of the older "QORPost." ProgIDs come first.
constexpr ComponentRow kComponents[] = {
    {&CLSID_QORRas, &CreateComponent<CRas>, "QOR Remote Access Server", "QORPost.Ras",
     "QORPost.Ras.1", &LIBID_QORComLib, kApartment},
    {&CLSID_QORRas, &CreateComponent<CRas>, "QOR Remote Access Server", "QORCom.Ras",
     "QORCom.Ras.1", &LIBID_QORComLib, kApartment},
    {&CLSID_QORLockFile, &CreateComponent<CLockFile>, "QOR Lock File", "QORCom.LockFile",
     "QORCom.LockFile.1", &LIBID_QORComLib, kApartment},
    {&CLSID_QORLogMessage, &CreateComponent<CLogMessage>, "QOR Log Message", "QORCom.LogMessage",
     "QORCom.LogMessage.1", &LIBID_QORComLib, kApartment},
};

// In the type library's order.
constexpr InterfaceRow kInterfaces[] = {
    {&IID_IQORRas, "IQORRas"},
    {&IID_IQORLockFile, "IQORLockFile"},
    {&IID_IQOROutputMessage, "IQOROutputMessage"},
    {&IID_IQORLogMessage, "IQORLogMessage"},
};

}  // namespace

std::span<const ComponentRow> ComponentTable() {
    return kComponents;
}

std::span<const InterfaceRow> InterfaceTable() {
    return kInterfaces;
}

const ComponentRow* FindComponent(REFCLSID clsid) {
    for (const ComponentRow& row : kComponents)
        if (*row.clsid == clsid)
            return &row;
    return nullptr;
}

}  // namespace tw::qorcom
