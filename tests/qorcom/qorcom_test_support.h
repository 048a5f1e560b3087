#pragma once
// Creating qorcom components in the test process, through the library's own entry point and
// class factory, and calling them through IDispatch by name.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "comlite/com_ptr.h"
#include "comlite/error_info.h"
#include "comlite/text.h"
#include "comlite/variant.h"
#include "qorcom/frame/exports.h"

namespace tw::qorcom::test {

template <class I>
comlite::ComPtr<I> Create(const CLSID& clsid, const IID& iid) {
    comlite::ComPtr<IClassFactory> factory;
    EXPECT_EQ(DllGetClassObject(clsid, IID_IClassFactory, factory.PutVoid()), S_OK);
    comlite::ComPtr<I> object;
    if (factory) {
        EXPECT_EQ(factory->CreateInstance(nullptr, iid, object.PutVoid()), S_OK);
    }
    return object;
}

inline comlite::ComPtr<IDispatch> CreateDispatch(const CLSID& clsid) {
    return Create<IDispatch>(clsid, IID_IDispatch);
}

inline DISPID IdOf(IDispatch* object, const std::string& name) {
    std::u16string wide = comlite::Utf8ToUtf16(name);
    LPOLESTR names[] = {wide.data()};
    DISPID id = DISPID_UNKNOWN;
    object->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    return id;
}

// Calls a method or property get with arguments in call order; [out] arguments are passed as
// references to the given Variants. Returns Invoke's HRESULT (no EXCEPINFO: a method's own
// failure HRESULT comes back unchanged and its error object stays for GetErrorInfo).
inline HRESULT Call(IDispatch* object, const std::string& name,
                    std::initializer_list<VARIANT*> args, comlite::Variant* result = nullptr) {
    std::vector<VARIANT> reversed;
    for (auto it = args.end(); it != args.begin();) {
        --it;
        VARIANT byRef;
        VariantInit(&byRef);
        byRef.vt = VT_BYREF | VT_VARIANT;
        byRef.pvarVal = *it;
        reversed.push_back(byRef);
    }
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    comlite::Variant ignored;
    return object->Invoke(IdOf(object, name), IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                          &params, result ? result : &ignored, nullptr, nullptr);
}

inline HRESULT Put(IDispatch* object, const std::string& name, comlite::Variant value) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    return object->Invoke(IdOf(object, name), IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr,
                          nullptr, nullptr);
}

// The thread's error object as "source: description", "" when there is none.
inline std::string TakeError() {
    comlite::ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.Put()) != S_OK || !info)
        return {};
    comlite::Bstr source, description;
    info->GetSource(source.Put());
    info->GetDescription(description.Put());
    return source.Utf8() + ": " + description.Utf8();
}

}  // namespace tw::qorcom::test
