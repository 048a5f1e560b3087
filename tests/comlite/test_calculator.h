#pragma once
// A small automation object for the tests: an interface with every kind of parameter the
// dispatch engine handles, its member table, and an implementation. The test server module
// serves the same class, so creation by ProgID ends in the same object.

#include <atomic>
#include <stdexcept>
#include <string>

#include "comlite/bstr.h"
#include "comlite/dispatch.h"
#include "comlite/error_info.h"
#include "comlite/interfaces.h"

inline constexpr IID IID_ITestCalc = comlite::MakeGuid("{6A1E3C52-0B7D-4E59-9C1F-2D8B5A7E4F10}");
inline constexpr CLSID CLSID_TestCalc = comlite::MakeGuid("{6A1E3C53-0B7D-4E59-9C1F-2D8B5A7E4F10}");

struct ITestCalc : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Subtract(LONG a, LONG b, LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Concat(BSTR a, BSTR b, BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Divide(LONG a, LONG b, LONG* quotient, LONG* remainder,
                                             VARIANT_BOOL* ok) = 0;
    virtual HRESULT STDMETHODCALLTYPE Describe(BSTR* text, VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Bump(LONG* counter) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Echo(VARIANT value, VARIANT extra, VARIANT* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Store(SHORT small, VARIANT_BOOL flag, double real, DATE when,
                                            BYTE byte) = 0;
    virtual HRESULT STDMETHODCALLTYPE Fail(BSTR message) = 0;
    virtual HRESULT STDMETHODCALLTYPE Throw() = 0;
    // A price in Currency, and its total for a quantity computed in Currency.
    virtual HRESULT STDMETHODCALLTYPE get_Price(CY* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Price(CY value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Total(LONG quantity, CY* result) = 0;
    // What the last Store received as its date and its byte.
    virtual HRESULT STDMETHODCALLTYPE get_LastWhen(DATE* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LastByte(BYTE* value) = 0;
    // The amount negated into *negated, and the amount itself as the result.
    virtual HRESULT STDMETHODCALLTYPE Negate(DECIMAL amount, DECIMAL* negated, DECIMAL* result) = 0;

protected:
    ~ITestCalc() = default;
};

inline constexpr DISPID kDispSubtract = 1, kDispConcat = 2, kDispDivide = 3, kDispDescribe = 4,
                        kDispBump = 5, kDispName = 6, kDispEcho = 7, kDispStore = 8, kDispFail = 9,
                        kDispThrow = 10, kDispPrice = 11, kDispTotal = 12, kDispLastWhen = 13,
                        kDispLastByte = 14, kDispNegate = 15;

namespace test_calc {
using namespace comlite;
inline constexpr DispatchMember kMembers[] = {
    Method<&ITestCalc::Subtract>(kDispSubtract, "Subtract",
                                 {In(VT_I4, "a"), In(VT_I4, "b"), RetVal(VT_I4)}),
    Method<&ITestCalc::Concat>(kDispConcat, "Concat",
                               {In(VT_BSTR, "first"), In(VT_BSTR, "second"), RetVal(VT_BSTR)}),
    Method<&ITestCalc::Divide>(
        kDispDivide, "Divide",
        {In(VT_I4), In(VT_I4), Out(VT_I4, "quotient"), Out(VT_I4), RetVal(VT_BOOL)}),
    Method<&ITestCalc::Describe>(kDispDescribe, "Describe", {Out(VT_BSTR), Out(VT_VARIANT)}),
    Method<&ITestCalc::Bump>(kDispBump, "Bump", {InOut(VT_I4)}),
    PropertyGet<&ITestCalc::get_Name>(kDispName, "Name", {RetVal(VT_BSTR)}),
    PropertyPut<&ITestCalc::put_Name>(kDispName, "Name", {In(VT_BSTR, "value")}),
    Method<&ITestCalc::Echo>(kDispEcho, "Echo",
                             {In(VT_VARIANT), OptionalIn("extra"), RetVal(VT_VARIANT)}),
    Method<&ITestCalc::Store>(kDispStore, "Store",
                              {In(VT_I2), In(VT_BOOL), In(VT_R8), In(VT_DATE), In(VT_UI1)}),
    Method<&ITestCalc::Fail>(kDispFail, "Fail", {In(VT_BSTR)}),
    Method<&ITestCalc::Throw>(kDispThrow, "Throw"),
    PropertyGet<&ITestCalc::get_Price>(kDispPrice, "Price", {RetVal(VT_CY)}),
    PropertyPut<&ITestCalc::put_Price>(kDispPrice, "Price", {In(VT_CY, "value")}),
    Method<&ITestCalc::Total>(kDispTotal, "Total", {In(VT_I4, "quantity"), RetVal(VT_CY)}),
    PropertyGet<&ITestCalc::get_LastWhen>(kDispLastWhen, "LastWhen", {RetVal(VT_DATE)}),
    PropertyGet<&ITestCalc::get_LastByte>(kDispLastByte, "LastByte", {RetVal(VT_UI1)}),
    Method<&ITestCalc::Negate>(kDispNegate, "Negate",
                               {In(VT_DECIMAL), Out(VT_DECIMAL), RetVal(VT_DECIMAL)}),
};
}  // namespace test_calc

// Counts live objects so tests can see that every reference was released.
inline std::atomic<int>& LiveTestCalcs() {
    static std::atomic<int> count{0};
    return count;
}

class TestCalc final : public ITestCalc, public ISupportErrorInfo {
public:
    TestCalc() { ++LiveTestCalcs(); }

    // What Store received, for the coercion tests.
    SHORT small = 0;
    VARIANT_BOOL flag = 0;
    double real = 0, when = 0;
    BYTE byte = 0;
    // What Echo received as its optional argument.
    VARIANT lastExtra{};

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_ITestCalc) {
            *object = static_cast<ITestCalc*>(this);
        } else if (riid == IID_ISupportErrorInfo) {
            *object = static_cast<ISupportErrorInfo*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == IID_ITestCalc ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        return comlite::DispatchGetIDsOfNames(test_calc::kMembers, riid, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                                     UINT* argErr) override {
        return comlite::DispatchInvoke(test_calc::kMembers, static_cast<ITestCalc*>(this), id, riid,
                                       lcid, flags, params, result, excepInfo, argErr);
    }

    HRESULT STDMETHODCALLTYPE Subtract(LONG a, LONG b, LONG* result) override {
        *result = a - b;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Concat(BSTR a, BSTR b, BSTR* result) override {
        std::u16string joined(comlite::BstrView(a));
        joined += comlite::BstrView(b);
        *result = comlite::AllocBstr(joined);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Divide(LONG a, LONG b, LONG* quotient, LONG* remainder,
                                     VARIANT_BOOL* ok) override {
        if (b == 0) {
            *ok = VARIANT_FALSE;
            return S_OK;
        }
        *quotient = a / b;
        *remainder = a % b;
        *ok = VARIANT_TRUE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Describe(BSTR* text, VARIANT* value) override {
        *text = comlite::AllocBstr(u"calculator");
        VariantInit(value);
        value->vt = VT_BSTR;
        value->bstrVal = comlite::AllocBstr(u"value");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Bump(LONG* counter) override {
        ++*counter;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* value) override {
        *value = comlite::AllocBstr(name_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Name(BSTR value) override {
        name_ = comlite::BstrView(value);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Echo(VARIANT value, VARIANT extra, VARIANT* result) override {
        lastExtra = extra;  // shallow: only vt and scalar fields are inspected
        VariantInit(result);
        return VariantCopy(result, &value);
    }
    HRESULT STDMETHODCALLTYPE Store(SHORT s, VARIANT_BOOL f, double r, DATE w, BYTE b) override {
        small = s, flag = f, real = r, when = w, byte = b;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Fail(BSTR message) override {
        return comlite::ReportError(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x201E),
                                    u"QORCom.TestCalc", comlite::BstrView(message));
    }
    HRESULT STDMETHODCALLTYPE Throw() override { throw std::runtime_error("thrown from C++"); }
    HRESULT STDMETHODCALLTYPE get_Price(CY* value) override {
        *value = price_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Price(CY value) override {
        price_ = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Total(LONG quantity, CY* result) override {
        // Currency arithmetic is exact: ten-thousandths times a count, checked for overflow.
        if (__builtin_mul_overflow(price_.int64, static_cast<LONGLONG>(quantity), &result->int64))
            return DISP_E_OVERFLOW;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_LastWhen(DATE* value) override {
        *value = when;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_LastByte(BYTE* value) override {
        *value = byte;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Negate(DECIMAL amount, DECIMAL* negated, DECIMAL* result) override {
        // A server writes whole DECIMALs, its reserved word (the VARIANT's vt) included.
        amount.wReserved = 0;
        *result = amount;
        amount.sign ^= DECIMAL_NEG;
        *negated = amount;
        return S_OK;
    }

private:
    ~TestCalc() { --LiveTestCalcs(); }
    std::atomic<ULONG> refs_{1};
    std::u16string name_;
    CY price_{};
};
