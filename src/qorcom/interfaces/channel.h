#pragma once
// IQORTerminalServerChannel: a named virtual channel of a remote desktop session.

#include "comlite/dispatch.h"
#include "comlite/guid.h"

struct IQORTerminalServerChannel : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE put_Channel(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Channel(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Open() = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteData(BSTR data, LONG length) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReceiveData(LONG* length, BSTR* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_First(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Last(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteString(BSTR data) = 0;

protected:
    ~IQORTerminalServerChannel() = default;
};

inline constexpr IID IID_IQORTerminalServerChannel =
    comlite::MakeGuid("{A7B35E60-EA78-4EB6-B55A-A3D9C9EC81AE}");
inline constexpr CLSID CLSID_QORTerminalServerChannel =
    comlite::MakeGuid("{3EB9B02B-B63F-43AD-9281-83612453E2E6}");

namespace tw::qorcom::members {
using namespace comlite;
inline constexpr DispatchMember kTerminalServerChannel[] = {
    PropertyPut<&IQORTerminalServerChannel::put_Channel>(0x60020000, "Channel", {In(VT_BSTR)}),
    PropertyGet<&IQORTerminalServerChannel::get_Channel>(0x60020000, "Channel", {RetVal(VT_BSTR)}),
    Method<&IQORTerminalServerChannel::Open>(0x60020002, "Open"),
    Method<&IQORTerminalServerChannel::WriteData>(0x60020003, "WriteData",
                                                  {In(VT_BSTR, "Data"), In(VT_I4, "Length")}),
    Method<&IQORTerminalServerChannel::ReceiveData>(
        0x60020004, "ReceiveData", {Out(VT_I4, "Length"), RetVal(VT_BSTR, "Data")}),
    Method<&IQORTerminalServerChannel::Close>(0x60020005, "Close"),
    PropertyGet<&IQORTerminalServerChannel::get_First>(0x60020006, "First", {RetVal(VT_BOOL)}),
    PropertyGet<&IQORTerminalServerChannel::get_Last>(0x60020007, "Last", {RetVal(VT_BOOL)}),
    Method<&IQORTerminalServerChannel::WriteString>(0x60020008, "WriteString",
                                                    {In(VT_BSTR, "Data")}),
};
}  // namespace tw::qorcom::members
