#include "app/automation/dispatch_driver.h"

#include <cstdio>
#include <vector>

#include "comlite/activation.h"
#include "comlite/text.h"

namespace tw {
namespace {

struct KnownResult {
    HRESULT result;
    const char* text;
};

constexpr KnownResult kKnownResults[] = {
    {E_UNEXPECTED, "Catastrophic failure."},
    {E_NOTIMPL, "Not implemented."},
    {E_NOINTERFACE, "No such interface supported."},
    {E_POINTER, "Invalid pointer."},
    {E_ABORT, "Operation aborted."},
    {E_FAIL, "Unspecified error."},
    {E_ACCESSDENIED, "Access is denied."},
    {E_OUTOFMEMORY, "Not enough memory to complete this operation."},
    {E_INVALIDARG, "The parameter is incorrect."},
    {CLASS_E_NOAGGREGATION, "Class does not support aggregation."},
    {CLASS_E_CLASSNOTAVAILABLE, "The server does not serve this class."},
    {REGDB_E_READREGDB, "Could not read the registry."},
    {REGDB_E_WRITEREGDB, "Could not write the registry."},
    {REGDB_E_CLASSNOTREG, "Class not registered."},
    {CO_E_CLASSSTRING, "Invalid class string."},
    {CO_E_DLLNOTFOUND, "The server library of the class could not be loaded."},
    {CO_E_ERRORINDLL, "The server library of the class is not a server."},
    {DISP_E_UNKNOWNINTERFACE, "Unknown interface."},
    {DISP_E_MEMBERNOTFOUND, "Member not found."},
    {DISP_E_PARAMNOTFOUND, "Parameter not found."},
    {DISP_E_TYPEMISMATCH, "Type mismatch."},
    {DISP_E_UNKNOWNNAME, "Unknown name."},
    {DISP_E_NONAMEDARGS, "No named arguments."},
    {DISP_E_BADVARTYPE, "Bad variable type."},
    {DISP_E_EXCEPTION, "Exception occurred."},
    {DISP_E_OVERFLOW, "Out of present range."},
    {DISP_E_BADINDEX, "Invalid index."},
    {DISP_E_BADPARAMCOUNT, "Invalid number of parameters."},
    {DISP_E_PARAMNOTOPTIONAL, "Parameter not optional."},
};

void FreeExcepInfoStrings(EXCEPINFO& info) {
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    info = EXCEPINFO{};
}

comlite::Variant Coerced(const VARIANT& value, VARTYPE type) {
    comlite::Variant converted;
    const HRESULT hr = VariantChangeType(&converted, &value, 0, type);
    if (FAILED(hr))
        throw ComError(hr, HresultText(hr));
    return converted;
}

bool IsNothing(const VARIANT& value) {
    const VARIANT* v = &value;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal)
        v = v->pvarVal;
    return v->vt == VT_EMPTY || v->vt == VT_NULL;
}

}  // namespace

std::string HresultText(HRESULT result) {
    for (const KnownResult& known : kKnownResults)
        if (known.result == result)
            return known.text;
    char text[32];
    std::snprintf(text, sizeof text, "Error 0x%08X.", static_cast<unsigned>(result));
    return text;
}

DispatchException TakeDispatchException(EXCEPINFO& info) {
    if (info.pfnDeferredFillIn)
        info.pfnDeferredFillIn(&info);
    const std::int32_t code = info.scode != 0 ? info.scode : info.wCode;
    std::string description = comlite::BstrToUtf8(info.bstrDescription);
    if (description.empty())
        description = HresultText(code);
    FreeExcepInfoStrings(info);
    return DispatchException(code, description);
}

HRESULT DispatchDriver::Create(const std::string& progId, std::string* detail) {
    object_.Reset();
    const std::u16string name = comlite::Utf8ToUtf16(progId);
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(name.c_str(), &clsid);
    if (SUCCEEDED(hr)) {
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              object_.PutVoid());
    }
    if (FAILED(hr)) {
        if (detail)
            *detail = comlite::LastActivationError();
        object_.Reset();
        return hr;
    }
    if (!object_)
        return E_POINTER;  // a server that claims success without an object
    return S_OK;
}

comlite::Variant DispatchDriver::Invoke(DISPID member, WORD flags, std::span<VARIANT> args) {
    if (!object_)
        throw ComError(E_POINTER, HresultText(E_POINTER));
    // rgvarg holds the arguments last one first. Shallow copies: ownership stays with the
    // caller, and by-reference arguments still point at the caller's storage.
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        // The value of a put travels as the named argument DISPID_PROPERTYPUT.
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    comlite::Variant result;
    EXCEPINFO exception{};
    UINT argError = 0;
    const HRESULT hr = object_->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                       &result, &exception, &argError);
    if (hr == DISP_E_EXCEPTION)
        throw TakeDispatchException(exception);
    FreeExcepInfoStrings(exception);
    if (FAILED(hr))
        throw ComError(hr, HresultText(hr));
    return result;
}

comlite::Variant DispatchDriver::GetProperty(DISPID member) {
    return Invoke(member, DISPATCH_PROPERTYGET);
}

void DispatchDriver::SetProperty(DISPID member, const VARIANT& value) {
    VARIANT argument = value;  // shallow: the caller keeps ownership
    Invoke(member, DISPATCH_PROPERTYPUT, std::span<VARIANT>(&argument, 1));
}

DISPID DispatchDriver::GetIdOfName(std::string_view name) {
    if (!object_)
        throw ComError(E_POINTER, HresultText(E_POINTER));
    std::u16string wide = comlite::Utf8ToUtf16(name);
    LPOLESTR names[] = {wide.data()};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        throw ComError(hr, HresultText(hr));
    return id;
}

comlite::Variant ShortArgument(std::int16_t value) {
    comlite::Variant v;
    v.vt = VT_I2;
    v.iVal = value;
    return v;
}

comlite::Variant LongArgument(std::int32_t value) {
    return comlite::Variant::I4(value);
}

comlite::Variant BoolArgument(bool value) {
    return comlite::Variant::Bool(value);
}

comlite::Variant TextArgument(std::string_view utf8) {
    comlite::Variant v = comlite::Variant::TextUtf8(utf8);
    if (!v.bstrVal)
        throw std::bad_alloc();  // even "" is a real BSTR
    return v;
}

comlite::Variant DispatchArgument(IDispatch* object) {
    comlite::Variant v;
    if (!object)
        return v;
    object->AddRef();
    v.vt = VT_DISPATCH;
    v.pdispVal = object;
    return v;
}

VARIANT BstrOutArgument(comlite::Bstr& target) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BYREF | VT_BSTR;
    v.pbstrVal = target.Put();
    return v;
}

VARIANT VariantOutArgument(comlite::Variant& target) {
    target.Clear();
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BYREF | VT_VARIANT;
    v.pvarVal = &target;
    return v;
}

bool ResultAsBool(const VARIANT& value) {
    if (IsNothing(value))
        return false;
    return Coerced(value, VT_BOOL).boolVal != VARIANT_FALSE;
}

std::int32_t ResultAsLong(const VARIANT& value) {
    if (IsNothing(value))
        return 0;
    return Coerced(value, VT_I4).lVal;
}

std::string ResultAsText(const VARIANT& value) {
    if (IsNothing(value))
        return {};
    return comlite::BstrToUtf8(Coerced(value, VT_BSTR).bstrVal);
}

}  // namespace tw
