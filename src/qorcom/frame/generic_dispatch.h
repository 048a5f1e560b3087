#pragma once
// GenericDispatchObject<I>: the dual-interface object every component is built on. It joins the
// reference counting of CUnknown, ISupportErrorInfo and the component's interface I, serves
// IDispatch for I from I's member table, and raises errors under the component's name.
//
// Each interface describes itself to the template with a specialisation of InterfaceTraits:
//
//   template <> struct InterfaceTraits<IQORLockFile> {
//       static constexpr const char* kName = "IQORLockFile";
//       static constexpr IID kIid = ...;
//       static constexpr const IID* kBaseIid = nullptr;  // a qorcom base interface, if any
//       static constexpr comlite::DispatchTable kMembers = ...;  // base members included
//   };
//
// Type information: the runtime has no type libraries; the member tables carry what a type
// library carried (DISPIDs, names, parameter kinds). GetTypeInfoCount therefore reports 0, so
// that no caller asks for an ITypeInfo that does not exist; GetTypeInfo refuses index 0 with
// E_NOTIMPL and any other index with DISP_E_BADINDEX, a null result in both cases.
//
// Objects are used by one thread at a time (the "Apartment" model); reference counting is
// atomic.

#include <string>
#include <string_view>

#include "comlite/dispatch.h"
#include "comlite/error_info.h"
#include "qorcom/frame/errors.h"
#include "qorcom/frame/unknown.h"

namespace tw::qorcom {

template <class I>
struct InterfaceTraits;

template <class I>
class GenericDispatchObject : public CUnknown, public ISupportErrorInfo, public I {
public:
    using Traits = InterfaceTraits<I>;

    // errorSource: the component's unversioned "QORCom." ProgID, whichever ProgID created it.
    GenericDispatchObject(IUnknown* outer, std::string_view errorSource)
        : CUnknown(outer), errorSource_(errorSource) {}

    // ---- The delegating IUnknown of the I and ISupportErrorInfo faces ----
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        return OuterUnknown()->QueryInterface(riid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return OuterUnknown()->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return OuterUnknown()->Release(); }

    // I (and its qorcom base) and IDispatch answer with the I face, then ISupportErrorInfo;
    // the rest goes to CUnknown.
    HRESULT NondelegatingQueryInterface(REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        if (riid == Traits::kIid || riid == IID_IDispatch ||
            (Traits::kBaseIid != nullptr && riid == *Traits::kBaseIid))
            return Hand(static_cast<I*>(this), object);
        if (riid == IID_ISupportErrorInfo)
            return Hand(static_cast<ISupportErrorInfo*>(this), object);
        return CUnknown::NondelegatingQueryInterface(riid, object);
    }

    // ---- ISupportErrorInfo ----
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == Traits::kIid ? S_OK : S_FALSE;
    }

    // ---- IDispatch ----
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info)
            return E_POINTER;
        *info = nullptr;
        return index != 0 ? DISP_E_BADINDEX : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (riid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        return comlite::DispatchGetIDsOfNames(Traits::kMembers, riid, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                                     UINT* argErr) override {
        if (riid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        // An error object left by an earlier call must not be mistaken for this call's.
        SetErrorInfo(0, nullptr);
        return comlite::DispatchInvoke(Traits::kMembers, static_cast<I*>(this), member, riid, lcid,
                                       flags, params, result, excepInfo, argErr);
    }

    const std::string& ErrorSource() const { return errorSource_; }

protected:
    // For a method ending in failure: `return Raise("RAS not found.", kErrorPlain);`
    HRESULT Raise(std::string_view message, std::uint16_t code) const {
        return RaiseError(errorSource_, message, code);
    }

private:
    std::string errorSource_;
};

}  // namespace tw::qorcom
