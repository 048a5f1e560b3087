#pragma once
// IQORLockFile: a cross-process lock visible in the file system. Every member returns S_OK and
// reports through its VARIANT_BOOL.

#include "comlite/dispatch.h"
#include "comlite/guid.h"

struct IQORLockFile : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Lock(VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unlock(VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Filename(BSTR* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Filename(BSTR data) = 0;

protected:
    ~IQORLockFile() = default;
};

inline constexpr IID IID_IQORLockFile = comlite::MakeGuid("{69796218-70AF-444B-A2F9-4C1E2BC35AA3}");
inline constexpr CLSID CLSID_QORLockFile =
    comlite::MakeGuid("{A532F892-189E-43E0-86C9-C8A3B6AF4518}");

namespace tw::qorcom::members {
using namespace comlite;
inline constexpr DispatchMember kLockFile[] = {
    Method<&IQORLockFile::Lock>(0x60020000, "Lock", {RetVal(VT_BOOL, "Result")}),
    Method<&IQORLockFile::Unlock>(0x60020001, "Unlock", {RetVal(VT_BOOL, "Result")}),
    PropertyGet<&IQORLockFile::get_Filename>(0x60020002, "Filename", {RetVal(VT_BSTR, "Data")}),
    PropertyPut<&IQORLockFile::put_Filename>(0x60020002, "Filename", {In(VT_BSTR, "Data")}),
};
}  // namespace tw::qorcom::members
