#pragma once
// IQORTelnet: one command line at a time over a Telnet session (one socket per process).

#include "comlite/dispatch.h"
#include "comlite/guid.h"

struct IQORTelnet : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE put_Server(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Server(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Port(SHORT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Port(SHORT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_UserName(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_UserName(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Password(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Password(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LastErrorMessage(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Connect(VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendCommand(BSTR command, VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Disconnect() = 0;

protected:
    ~IQORTelnet() = default;
};

inline constexpr IID IID_IQORTelnet = comlite::MakeGuid("{554FC71F-7ADC-4130-8265-679528E2A9EC}");
inline constexpr CLSID CLSID_QORTelnet =
    comlite::MakeGuid("{2CD88B0B-9481-4399-84F1-6F2F94CFAE90}");

namespace tw::qorcom::members {
using namespace comlite;
inline constexpr DispatchMember kTelnet[] = {
    PropertyPut<&IQORTelnet::put_Server>(0x60020000, "Server", {In(VT_BSTR)}),
    PropertyGet<&IQORTelnet::get_Server>(0x60020000, "Server", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORTelnet::put_Port>(0x60020002, "Port", {In(VT_I2)}),
    PropertyGet<&IQORTelnet::get_Port>(0x60020002, "Port", {RetVal(VT_I2)}),
    PropertyPut<&IQORTelnet::put_UserName>(0x60020004, "UserName", {In(VT_BSTR)}),
    PropertyGet<&IQORTelnet::get_UserName>(0x60020004, "UserName", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORTelnet::put_Password>(0x60020006, "Password", {In(VT_BSTR)}),
    PropertyGet<&IQORTelnet::get_Password>(0x60020006, "Password", {RetVal(VT_BSTR)}),
    PropertyGet<&IQORTelnet::get_LastErrorMessage>(0x60020008, "LastErrorMessage",
                                                   {RetVal(VT_BSTR)}),
    Method<&IQORTelnet::Connect>(0x60020009, "Connect", {RetVal(VT_BOOL)}),
    Method<&IQORTelnet::SendCommand>(0x6002000a, "SendCommand",
                                     {In(VT_BSTR, "Command"), RetVal(VT_BOOL)}),
    Method<&IQORTelnet::Disconnect>(0x6002000b, "Disconnect"),
};
}  // namespace tw::qorcom::members
