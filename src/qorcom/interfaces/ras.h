#pragma once
// IQORRas: dial-up networking. Without a dial-up provider, Installed is false and every other
// member raises "RAS not found." (code 0).

#include "comlite/dispatch.h"
#include "comlite/guid.h"

struct IQORRas : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Installed(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFirstEntry(BSTR* entry, LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNextEntry(BSTR* entry, LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFirstConnection(BSTR* connection, LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNextConnection(BSTR* connection, LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Dial(BSTR entry, BSTR phoneNumber, BSTR callbackNumber,
                                           BSTR userName, BSTR password, BSTR domain,
                                           LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE HangUp(LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConnectionNotification(LONG eventHandle,
                                                             VARIANT_BOOL onConnect,
                                                             VARIANT_BOOL onDisconnect) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Connected(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Connecting(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Disconnected(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetResultString(LONG result, BSTR* error) = 0;

protected:
    ~IQORRas() = default;
};

inline constexpr IID IID_IQORRas = comlite::MakeGuid("{395D4680-327A-11D4-92C2-00E02950EEDE}");
inline constexpr CLSID CLSID_QORRas = comlite::MakeGuid("{395D4681-327A-11D4-92C2-00E02950EEDE}");

namespace tw::qorcom::members {
using namespace comlite;
inline constexpr DispatchMember kRas[] = {
    PropertyGet<&IQORRas::get_Installed>(0x60020000, "Installed", {RetVal(VT_BOOL)}),
    Method<&IQORRas::GetFirstEntry>(0x60020001, "GetFirstEntry",
                                    {Out(VT_BSTR, "Entry"), RetVal(VT_I4, "Result")}),
    Method<&IQORRas::GetNextEntry>(0x60020002, "GetNextEntry",
                                   {Out(VT_BSTR, "Entry"), RetVal(VT_I4, "Result")}),
    Method<&IQORRas::GetFirstConnection>(0x60020003, "GetFirstConnection",
                                         {Out(VT_BSTR, "Connection"), RetVal(VT_I4, "Result")}),
    Method<&IQORRas::GetNextConnection>(0x60020004, "GetNextConnection",
                                        {Out(VT_BSTR, "Connection"), RetVal(VT_I4, "Result")}),
    Method<&IQORRas::Dial>(
        0x60020005, "Dial",
        {In(VT_BSTR, "Entry"), In(VT_BSTR, "PhoneNumber"), In(VT_BSTR, "CallbackNumber"),
         In(VT_BSTR, "UserName"), In(VT_BSTR, "Password"), In(VT_BSTR, "Domain"),
         RetVal(VT_I4, "Result")}),
    Method<&IQORRas::HangUp>(0x60020006, "HangUp", {RetVal(VT_I4, "Result")}),
    Method<&IQORRas::ConnectionNotification>(
        0x60020007, "ConnectionNotification",
        {In(VT_I4, "EventHandle"), In(VT_BOOL, "OnConnect"), In(VT_BOOL, "OnDisconnect")}),
    PropertyGet<&IQORRas::get_Connected>(0x60020008, "Connected", {RetVal(VT_BOOL)}),
    PropertyGet<&IQORRas::get_Connecting>(0x60020009, "Connecting", {RetVal(VT_BOOL)}),
    PropertyGet<&IQORRas::get_Disconnected>(0x6002000a, "Disconnected", {RetVal(VT_BOOL)}),
    Method<&IQORRas::GetResultString>(0x6002000b, "GetResultString",
                                      {In(VT_I4, "Result"), RetVal(VT_BSTR, "Error")}),
};
}  // namespace tw::qorcom::members
