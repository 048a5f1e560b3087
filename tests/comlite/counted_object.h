#pragma once
// A dispatch object whose reference count the tests can read, and whose default member
// (DISPID_VALUE) returns a chosen value, for copy and conversion tests.

#include "comlite/interfaces.h"
#include "comlite/variant.h"

class CountedObject final : public IDispatch {
public:
    // Starts with one reference, owned by the test.
    CountedObject() = default;
    ULONG Refs() const { return refs_; }
    comlite::Variant defaultValue;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    // Never deletes: the test owns the object on its stack and checks the count at the end.
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        if (id != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET) || defaultValue.vt == VT_EMPTY)
            return DISP_E_MEMBERNOTFOUND;
        VariantInit(result);
        return VariantCopy(result, &defaultValue);
    }

private:
    ULONG refs_ = 1;
};
