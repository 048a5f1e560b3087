#pragma once
// "QORCom.HTTP": fetches one URL (HttpFetcher) and hands the body over as a file or a string.
// ConnectToHTTPHost makes the request and keeps the body; WriteHTTPDataToFile and
// WriteHTTPDataToString hand it over (false / "" without a successful ConnectToHTTPHost).
// There is no dial-up on this system: DialDefaultNumber and HangUpInternetConnection do
// nothing, and ConnectState is true while a network interface other than loopback is up.

#include <memory>
#include <string>

#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/interfaces/http.h"
#include "qorcom/transfer/http_client.h"

namespace tw::qorcom {

template <>
struct InterfaceTraits<IQORHTTP> {
    static constexpr const char* kName = "IQORHTTP";
    static constexpr IID kIid = IID_IQORHTTP;
    static constexpr const IID* kBaseIid = nullptr;
    static constexpr comlite::DispatchTable kMembers = members::kHTTP;
};

class CHTTP final : public GenericDispatchObject<IQORHTTP> {
public:
    explicit CHTTP(IUnknown* outer) : GenericDispatchObject(outer, "QORCom.HTTP") {}

    HRESULT STDMETHODCALLTYPE get_LastErrorMessage(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE ConnectToHTTPHost(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE put_OutputFilename(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_OutputFilename(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE DialDefaultNumber() override;
    HRESULT STDMETHODCALLTYPE WriteHTTPDataToFile(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE WriteHTTPDataToString(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_URL(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_URL(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_ConnectState(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE HangUpInternetConnection() override;

private:
    transfer::HttpFetcher fetcher_;
    std::string url_, outputFilename_;
};

}  // namespace tw::qorcom
