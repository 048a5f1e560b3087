#pragma once
// IQORHTTP: downloads one URL to a file or a string.

#include "comlite/dispatch.h"
#include "comlite/guid.h"

struct IQORHTTP : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_LastErrorMessage(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConnectToHTTPHost(VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_OutputFilename(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_OutputFilename(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE DialDefaultNumber() = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteHTTPDataToFile(VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteHTTPDataToString(BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_URL(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_URL(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ConnectState(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE HangUpInternetConnection() = 0;

protected:
    ~IQORHTTP() = default;
};

inline constexpr IID IID_IQORHTTP = comlite::MakeGuid("{8B2FFD94-61F7-4230-A91F-D826183023AA}");
inline constexpr CLSID CLSID_QORHTTP = comlite::MakeGuid("{9E9926BD-AE9E-4F87-94AC-C772F4E6BB7A}");

namespace tw::qorcom::members {
using namespace comlite;
inline constexpr DispatchMember kHTTP[] = {
    PropertyGet<&IQORHTTP::get_LastErrorMessage>(0x60020000, "LastErrorMessage", {RetVal(VT_BSTR)}),
    Method<&IQORHTTP::ConnectToHTTPHost>(0x60020001, "ConnectToHTTPHost", {RetVal(VT_BOOL)}),
    PropertyPut<&IQORHTTP::put_OutputFilename>(0x60020002, "OutputFilename", {In(VT_BSTR)}),
    PropertyGet<&IQORHTTP::get_OutputFilename>(0x60020002, "OutputFilename", {RetVal(VT_BSTR)}),
    Method<&IQORHTTP::DialDefaultNumber>(0x60020004, "DialDefaultNumber"),
    Method<&IQORHTTP::WriteHTTPDataToFile>(0x60020005, "WriteHTTPDataToFile", {RetVal(VT_BOOL)}),
    Method<&IQORHTTP::WriteHTTPDataToString>(0x60020006, "WriteHTTPDataToString",
                                             {RetVal(VT_BSTR)}),
    PropertyPut<&IQORHTTP::put_URL>(0x60020007, "URL", {In(VT_BSTR)}),
    PropertyGet<&IQORHTTP::get_URL>(0x60020007, "URL", {RetVal(VT_BSTR)}),
    PropertyGet<&IQORHTTP::get_ConnectState>(0x60020009, "ConnectState", {RetVal(VT_BOOL)}),
    Method<&IQORHTTP::HangUpInternetConnection>(0x6002000a, "HangUpInternetConnection"),
};
}  // namespace tw::qorcom::members
