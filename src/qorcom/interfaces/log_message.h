#pragma once
// IQORLogMessage (with its base IQOROutputMessage): a shared, size-limited log file.

#include "comlite/dispatch.h"
#include "comlite/guid.h"

struct IQOROutputMessage : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_NumMessages(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResetNumMessages() = 0;
    virtual HRESULT STDMETHODCALLTYPE Output(BSTR message) = 0;

protected:
    ~IQOROutputMessage() = default;
};

struct IQORLogMessage : IQOROutputMessage {
    virtual HRESULT STDMETHODCALLTYPE get_Site(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Site(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_MaxSize(LONG* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_MaxSize(LONG value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ShrinkPercentage(double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ShrinkPercentage(double value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LogFile(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_LogFile(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Header(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Header(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_HeaderSeparator(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_HeaderSeparator(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE ClearLog() = 0;
    virtual HRESULT STDMETHODCALLTYPE IsEmpty(VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHeaderSize(LONG* result) = 0;

protected:
    ~IQORLogMessage() = default;
};

inline constexpr IID IID_IQOROutputMessage =
    comlite::MakeGuid("{498090DF-6032-4C08-939C-DC43916AB602}");
inline constexpr IID IID_IQORLogMessage =
    comlite::MakeGuid("{3BEF8858-2840-4779-BE05-48E2201BE181}");
inline constexpr CLSID CLSID_QORLogMessage =
    comlite::MakeGuid("{08C1D918-0AD0-43FA-93D3-87865E06A494}");

namespace tw::qorcom::members {
using namespace comlite;
using O = IQOROutputMessage;
using L = IQORLogMessage;
// The base interface's members are numbered from 0x60020000, the derived ones from 0x60030000.
inline constexpr DispatchMember kLogMessage[] = {
    PropertyGet<&O::get_NumMessages>(0x60020000, "NumMessages", {RetVal(VT_I4)}),
    Method<&O::ResetNumMessages>(0x60020001, "ResetNumMessages"),
    Method<&O::Output>(0x60020002, "Output", {In(VT_BSTR, "Message")}),
    PropertyGet<&L::get_Site>(0x60030000, "Site", {RetVal(VT_BSTR)}),
    PropertyPut<&L::put_Site>(0x60030000, "Site", {In(VT_BSTR)}),
    PropertyGet<&L::get_MaxSize>(0x60030002, "MaxSize", {RetVal(VT_I4)}),
    PropertyPut<&L::put_MaxSize>(0x60030002, "MaxSize", {In(VT_I4)}),
    PropertyGet<&L::get_ShrinkPercentage>(0x60030004, "ShrinkPercentage", {RetVal(VT_R8)}),
    PropertyPut<&L::put_ShrinkPercentage>(0x60030004, "ShrinkPercentage", {In(VT_R8)}),
    PropertyGet<&L::get_LogFile>(0x60030006, "LogFile", {RetVal(VT_BSTR)}),
    PropertyPut<&L::put_LogFile>(0x60030006, "LogFile", {In(VT_BSTR)}),
    PropertyGet<&L::get_Header>(0x60030008, "Header", {RetVal(VT_BSTR)}),
    PropertyPut<&L::put_Header>(0x60030008, "Header", {In(VT_BSTR)}),
    PropertyGet<&L::get_HeaderSeparator>(0x6003000a, "HeaderSeparator", {RetVal(VT_BSTR)}),
    PropertyPut<&L::put_HeaderSeparator>(0x6003000a, "HeaderSeparator", {In(VT_BSTR)}),
    Method<&L::ClearLog>(0x6003000c, "ClearLog"),
    Method<&L::IsEmpty>(0x6003000d, "IsEmpty", {RetVal(VT_BOOL)}),
    Method<&L::GetHeaderSize>(0x6003000e, "GetHeaderSize", {RetVal(VT_I4)}),
};
}  // namespace tw::qorcom::members
