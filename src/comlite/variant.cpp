#include <cstring>

#include "comlite/interfaces.h"
#include "comlite/variant.h"
#include "variant_internal.h"

namespace comlite::detail {

bool IsScalarType(VARTYPE base) {
    switch (base) {
        case VT_I1:
        case VT_UI1:
        case VT_I2:
        case VT_UI2:
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_I8:
        case VT_UI8:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DECIMAL:
        case VT_DATE:
        case VT_BSTR:
        case VT_BOOL:
        case VT_ERROR:
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return true;
        default:
            return false;
    }
}

std::size_t ValueSize(VARTYPE base) {
    switch (base) {
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_ERROR:
            return 4;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
            return 8;
        case VT_DECIMAL:
            return sizeof(DECIMAL);
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return sizeof(void*);
        case VT_VARIANT:
            return sizeof(VARIANT);
        default:
            return 0;
    }
}

bool IsValidElementType(VARTYPE base) {
    return IsScalarType(base) || base == VT_VARIANT;
}

bool IsValidVariantType(VARTYPE vt) {
    const VARTYPE base = vt & VT_TYPEMASK;
    const VARTYPE flags = vt & ~VT_TYPEMASK;
    if (flags & ~(VT_BYREF | VT_ARRAY))
        return false;
    if (flags & VT_ARRAY)
        return IsValidElementType(base);
    if (flags & VT_BYREF)
        return IsValidElementType(base);
    return IsScalarType(base) || base == VT_EMPTY || base == VT_NULL;
}

BSTR CopyBstr(BSTR source) {
    if (!source)
        return nullptr;
    return SysAllocStringByteLen(reinterpret_cast<const char*>(source), SysStringByteLen(source));
}

void ReleaseValue(VARTYPE base, void* slot) {
    switch (base) {
        case VT_BSTR: {
            BSTR s;
            std::memcpy(&s, slot, sizeof s);
            SysFreeString(s);
            break;
        }
        case VT_UNKNOWN:
        case VT_DISPATCH: {
            IUnknown* p;
            std::memcpy(&p, slot, sizeof p);
            if (p)
                p->Release();
            break;
        }
        case VT_VARIANT:
            VariantClear(static_cast<VARIANT*>(slot));
            return;
        default:
            break;
    }
    std::memset(slot, 0, ValueSize(base));
}

HRESULT CopyValue(VARTYPE base, const void* from, void* to) {
    switch (base) {
        case VT_BSTR: {
            BSTR s;
            std::memcpy(&s, from, sizeof s);
            BSTR copy = CopyBstr(s);
            std::memcpy(to, &copy, sizeof copy);
            return (s && !copy) ? E_OUTOFMEMORY : S_OK;
        }
        case VT_UNKNOWN:
        case VT_DISPATCH: {
            IUnknown* p;
            std::memcpy(&p, from, sizeof p);
            if (p)
                p->AddRef();
            std::memcpy(to, &p, sizeof p);
            return S_OK;
        }
        case VT_VARIANT:
            VariantInit(static_cast<VARIANT*>(to));
            return VariantCopy(static_cast<VARIANT*>(to), static_cast<const VARIANT*>(from));
        default:
            std::memcpy(to, from, ValueSize(base));
            return S_OK;
    }
}

bool Dereference(const VARIANT& src, VARIANT& view) {
    if (!(src.vt & VT_BYREF) || !src.byref)
        return false;
    const VARTYPE base = src.vt & VT_TYPEMASK;
    if (base == VT_VARIANT && !(src.vt & VT_ARRAY)) {
        const VARIANT& target = *src.pvarVal;
        if (!(target.vt & VT_BYREF)) {
            view = target;
            return true;
        }
        // A reference to a reference to a value still resolves; two VARIANT hops do not.
        if ((target.vt & VT_TYPEMASK) == VT_VARIANT)
            return false;
        return Dereference(target, view);
    }
    VariantInit(&view);
    if (base == VT_DECIMAL && !(src.vt & VT_ARRAY)) {
        view.decVal = *src.pdecVal;  // overlays vt, so vt is set after
        view.vt = VT_DECIMAL;
        return true;
    }
    view.vt = src.vt & ~VT_BYREF;
    const std::size_t size = (src.vt & VT_ARRAY) ? sizeof(SAFEARRAY*) : ValueSize(base);
    std::memcpy(&view.llVal, src.byref, size);
    return true;
}

}  // namespace comlite::detail

using namespace comlite::detail;

extern "C" {

void VariantInit(VARIANT* v) noexcept {
    if (!v)
        return;
    v->vt = VT_EMPTY;
    v->wReserved1 = v->wReserved2 = v->wReserved3 = 0;
    v->brecVal = {nullptr, nullptr};
}

HRESULT VariantClear(VARIANT* v) noexcept {
    if (!v)
        return E_INVALIDARG;
    if (!IsValidVariantType(v->vt))
        return DISP_E_BADVARTYPE;
    if (v->vt & VT_BYREF) {
        // Only a reference: the storage belongs to someone else.
    } else if (v->vt & VT_ARRAY) {
        const HRESULT hr = SafeArrayDestroy(v->parray);
        if (FAILED(hr))
            return hr;
    } else if (v->vt != VT_DECIMAL) {  // a DECIMAL owns nothing and overlays the whole VARIANT
        ReleaseValue(v->vt, &v->llVal);
    }
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) noexcept {
    if (!dest || !src)
        return E_INVALIDARG;
    if (dest == src)
        return S_OK;
    if (!IsValidVariantType(src->vt))
        return DISP_E_BADVARTYPE;
    VARIANT copy;
    VariantInit(&copy);
    HRESULT hr = S_OK;
    if (src->vt & VT_BYREF) {
        copy = *src;
    } else if (src->vt & VT_ARRAY) {
        SAFEARRAY* array = nullptr;
        if (src->parray)
            hr = SafeArrayCopy(src->parray, &array);
        if (SUCCEEDED(hr)) {
            copy.vt = src->vt;
            copy.parray = array;
        }
    } else if (src->vt == VT_DECIMAL) {
        copy = *src;
    } else {
        copy.vt = src->vt;
        hr = CopyValue(src->vt, &src->llVal, &copy.llVal);
        if (FAILED(hr))
            VariantInit(&copy);
    }
    if (FAILED(hr))
        return hr;
    // Cleared only now: src may live inside dest (an element of an array dest holds).
    hr = VariantClear(dest);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *dest = copy;
    return S_OK;
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src) noexcept {
    if (!dest || !src)
        return E_INVALIDARG;
    if (!(src->vt & VT_BYREF))
        return VariantCopy(dest, src);
    if (!IsValidVariantType(src->vt))
        return DISP_E_BADVARTYPE;
    VARIANT view;
    if (!Dereference(*src, view))
        return E_INVALIDARG;
    VARIANT copy;
    VariantInit(&copy);
    const HRESULT hr = VariantCopy(&copy, &view);
    if (FAILED(hr))
        return hr;
    const HRESULT cleared = VariantClear(dest);
    if (FAILED(cleared)) {
        VariantClear(&copy);
        return cleared;
    }
    *dest = copy;
    return S_OK;
}

}  // extern "C"

namespace comlite {

Variant Variant::I4(LONG value) noexcept {
    Variant v;
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

Variant Variant::R8(double value) noexcept {
    Variant v;
    v.vt = VT_R8;
    v.dblVal = value;
    return v;
}

Variant Variant::Bool(bool value) noexcept {
    Variant v;
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

Variant Variant::Currency(LONGLONG tenThousandths) noexcept {
    Variant v;
    v.vt = VT_CY;
    v.cyVal.int64 = tenThousandths;
    return v;
}

Variant Variant::Decimal(const DECIMAL& value) noexcept {
    Variant v;
    v.decVal = value;
    v.vt = VT_DECIMAL;  // after: the DECIMAL overlays vt
    return v;
}

Variant Variant::Text(std::u16string_view text) noexcept {
    Variant v;
    v.vt = VT_BSTR;
    v.bstrVal = AllocBstr(text);
    return v;
}

Variant Variant::TextUtf8(std::string_view utf8) noexcept {
    Variant v;
    v.vt = VT_BSTR;
    try {
        v.bstrVal = AllocBstrUtf8(utf8);
    } catch (...) {
        v.bstrVal = nullptr;
    }
    return v;
}

}  // namespace comlite
