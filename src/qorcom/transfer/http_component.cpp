#include "qorcom/transfer/http_component.h"

#include <ifaddrs.h>
#include <net/if.h>

#include "comlite/bstr.h"
#include "qorcom/frame/property_values.h"

namespace tw::qorcom {
namespace {

bool NetworkUp() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return false;
    bool up = false;
    for (ifaddrs* i = list; i != nullptr && !up; i = i->ifa_next)
        up = i->ifa_addr != nullptr && (i->ifa_flags & IFF_UP) && !(i->ifa_flags & IFF_LOOPBACK);
    ::freeifaddrs(list);
    return up;
}

}  // namespace

HRESULT CHTTP::get_LastErrorMessage(BSTR* value) {
    return GetString(fetcher_.Message(), value);
}

HRESULT CHTTP::ConnectToHTTPHost(VARIANT_BOOL* result) {
    if (!result)
        return E_POINTER;
    return Guarded([&] {
        *result = fetcher_.Fetch(url_) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT CHTTP::put_OutputFilename(BSTR value) {
    return Guarded([&] {
        outputFilename_ = comlite::BstrToUtf8(value);
        return S_OK;
    });
}

HRESULT CHTTP::get_OutputFilename(BSTR* value) {
    return GetString(outputFilename_, value);
}

HRESULT CHTTP::DialDefaultNumber() {
    return S_OK;
}

HRESULT CHTTP::WriteHTTPDataToFile(VARIANT_BOOL* result) {
    if (!result)
        return E_POINTER;
    return Guarded([&] {
        *result = fetcher_.WriteToFile(outputFilename_) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT CHTTP::WriteHTTPDataToString(BSTR* result) {
    if (!result)
        return E_POINTER;
    return Guarded([&] {
        std::string body;
        fetcher_.ReadBody(&body);
        *result = comlite::AllocBstrUtf8(body);
        return *result ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT CHTTP::put_URL(BSTR value) {
    return Guarded([&] {
        url_ = comlite::BstrToUtf8(value);
        return S_OK;
    });
}

HRESULT CHTTP::get_URL(BSTR* value) {
    return GetString(url_, value);
}

HRESULT CHTTP::get_ConnectState(VARIANT_BOOL* value) {
    if (!value)
        return E_POINTER;
    *value = NetworkUp() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CHTTP::HangUpInternetConnection() {
    return S_OK;
}

}  // namespace tw::qorcom
