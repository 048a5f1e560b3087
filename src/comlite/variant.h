#pragma once
// VARIANT and SAFEARRAY with the Windows layout, type codes and function semantics.
//
// Supported value types: EMPTY, NULL, I1, UI1, I2, UI2, I4, UI4, INT, UINT, I8, UI8, R4, R8,
// CY, DECIMAL, DATE, BSTR, BOOL, ERROR, DISPATCH, UNKNOWN; VT_BYREF of each of these and of
// VARIANT; and one-dimensional SAFEARRAYs (VT_ARRAY) of them, VARIANT included. Anything else
// (RECORD, multi-dimensional arrays) is refused with DISP_E_BADVARTYPE or a null array, never
// half-handled.
//
// A DECIMAL held in a VARIANT overlays the whole VARIANT, as on Windows: its first two bytes are
// the VARIANT's vt. Whoever stores a DECIMAL into decVal sets vt = VT_DECIMAL afterwards.
//
// Ownership: a VARIANT owns what it holds (BSTR, interface reference, array) unless VT_BYREF is
// set, in which case it only points at storage owned elsewhere. VariantClear releases what is
// owned. None of these functions lock anything: a VARIANT or SAFEARRAY is used by one thread at
// a time (SafeArrayLock counts accessors, it does not synchronise them).

#include <string_view>
#include <utility>

#include "comlite/bstr.h"
#include "comlite/types.h"

struct IUnknown;
struct IDispatch;
struct SAFEARRAY;

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VOID = 24,
    VT_HRESULT = 25,
    VT_RECORD = 36,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0FFF,
};

// Currency: a signed 64-bit count of ten-thousandths (1.5 is 15000).
union CY {
    struct {
        ULONG Lo;
        LONG Hi;
    };
    LONGLONG int64;
};
static_assert(sizeof(CY) == 8);

// A 96-bit unsigned integer (Hi32:Mid32:Lo32) scaled down by 10^scale (0..28), with a sign
// byte (DECIMAL_NEG or 0). Valid range about +-7.9e28.
struct DECIMAL {
    USHORT wReserved;
    BYTE scale;
    BYTE sign;
    ULONG Hi32;
    union {
        struct {
            ULONG Lo32;
            ULONG Mid32;
        };
        ULONGLONG Lo64;
    };
};
static_assert(sizeof(DECIMAL) == 16);
inline constexpr BYTE DECIMAL_NEG = 0x80;

struct VARIANT {
    union {
        struct {
            VARTYPE vt;
            WORD wReserved1;
            WORD wReserved2;
            WORD wReserved3;
            union {
                LONGLONG llVal;
                LONG lVal;
                BYTE bVal;
                SHORT iVal;
                FLOAT fltVal;
                DOUBLE dblVal;
                VARIANT_BOOL boolVal;
                CY cyVal;
                SCODE scode;
                DATE date;
                BSTR bstrVal;
                IUnknown* punkVal;
                IDispatch* pdispVal;
                SAFEARRAY* parray;
                BYTE* pbVal;
                SHORT* piVal;
                LONG* plVal;
                LONGLONG* pllVal;
                FLOAT* pfltVal;
                DOUBLE* pdblVal;
                VARIANT_BOOL* pboolVal;
                CY* pcyVal;
                DECIMAL* pdecVal;
                SCODE* pscode;
                DATE* pdate;
                BSTR* pbstrVal;
                IUnknown** ppunkVal;
                IDispatch** ppdispVal;
                SAFEARRAY** pparray;
                VARIANT* pvarVal;
                void* byref;
                CHAR cVal;
                USHORT uiVal;
                ULONG ulVal;
                ULONGLONG ullVal;
                INT intVal;
                UINT uintVal;
                CHAR* pcVal;
                USHORT* puiVal;
                ULONG* pulVal;
                ULONGLONG* pullVal;
                INT* pintVal;
                UINT* puintVal;
                struct {
                    void* pvRecord;
                    void* pRecInfo;
                } brecVal;  // present for the Windows size only; VT_RECORD is not supported
            };
        };
        DECIMAL decVal;
    };
};
using VARIANTARG = VARIANT;
using LPVARIANT = VARIANT*;
static_assert(sizeof(VARIANT) == 24);

// Accessors as in the Windows headers, for ported code.
#define V_VT(X) ((X)->vt)
#define V_ISBYREF(X) (V_VT(X) & VT_BYREF)
#define V_ISARRAY(X) (V_VT(X) & VT_ARRAY)
#define V_I1(X) ((X)->cVal)
#define V_UI1(X) ((X)->bVal)
#define V_I2(X) ((X)->iVal)
#define V_UI2(X) ((X)->uiVal)
#define V_I4(X) ((X)->lVal)
#define V_I4REF(X) ((X)->plVal)
#define V_UI4(X) ((X)->ulVal)
#define V_INT(X) ((X)->intVal)
#define V_UINT(X) ((X)->uintVal)
#define V_I8(X) ((X)->llVal)
#define V_UI8(X) ((X)->ullVal)
#define V_R4(X) ((X)->fltVal)
#define V_R8(X) ((X)->dblVal)
#define V_DATE(X) ((X)->date)
#define V_BSTR(X) ((X)->bstrVal)
#define V_BSTRREF(X) ((X)->pbstrVal)
#define V_BOOL(X) ((X)->boolVal)
#define V_BOOLREF(X) ((X)->pboolVal)
#define V_CY(X) ((X)->cyVal)
#define V_CYREF(X) ((X)->pcyVal)
#define V_DECIMAL(X) ((X)->decVal)
#define V_DECIMALREF(X) ((X)->pdecVal)
#define V_ERROR(X) ((X)->scode)
#define V_UNKNOWN(X) ((X)->punkVal)
#define V_DISPATCH(X) ((X)->pdispVal)
#define V_ARRAY(X) ((X)->parray)
#define V_VARIANTREF(X) ((X)->pvarVal)
#define V_BYREF(X) ((X)->byref)

// ---- SAFEARRAY ------------------------------------------------------------------------------

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};
using LPSAFEARRAY = SAFEARRAY*;

inline constexpr USHORT FADF_AUTO = 0x0001;
inline constexpr USHORT FADF_STATIC = 0x0002;
inline constexpr USHORT FADF_EMBEDDED = 0x0004;
inline constexpr USHORT FADF_FIXEDSIZE = 0x0010;
inline constexpr USHORT FADF_HAVEVARTYPE = 0x0080;
inline constexpr USHORT FADF_BSTR = 0x0100;
inline constexpr USHORT FADF_UNKNOWN = 0x0200;
inline constexpr USHORT FADF_DISPATCH = 0x0400;
inline constexpr USHORT FADF_VARIANT = 0x0800;

// VariantChangeType(Ex) flags.
inline constexpr USHORT VARIANT_NOVALUEPROP = 0x01;  // do not read an object's default value
inline constexpr USHORT VARIANT_ALPHABOOL = 0x02;    // BOOL -> BSTR gives "True"/"False"
inline constexpr USHORT VARIANT_NOUSEROVERRIDE = 0x04;
inline constexpr USHORT VARIANT_LOCALBOOL = 0x10;  // "True"/"False" in the locale's language
inline constexpr USHORT VARIANT_USE_NLS = 0x80;    // dates written with the full NLS form

extern "C" {

void VariantInit(VARIANT* v) noexcept;
// Releases what v owns and leaves it VT_EMPTY. DISP_E_BADVARTYPE (v untouched) for an
// unsupported type, DISP_E_ARRAYISLOCKED for a locked array.
HRESULT VariantClear(VARIANT* v) noexcept;
// Clears dest, then makes it a deep copy of src: BSTRs and arrays are duplicated, interfaces
// AddRef'd. A VT_BYREF source is copied as the same reference. dest == src is a no-op.
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) noexcept;
// As VariantCopy, but a VT_BYREF source is copied as the value it points at.
HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src) noexcept;
// Converts src (dereferenced when VT_BYREF) to vt into dest by the automation coercion rules,
// as Windows applies them; dest may be src. On failure dest is unchanged and the result is
// DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW, DISP_E_BADVARTYPE (vt or src->vt is no VARIANT type),
// E_INVALIDARG (a null pointer, an invalid DECIMAL) or E_OUTOFMEMORY.
// Text is read and written in the en-US form whatever the LCID: every locale is treated as
// en-US ("1234.5", "True", "1/31/2024 3:04:05 PM"). Two-digit years in dates read from text fall
// in 1930-2029 (Windows' default "2029" window); dates given without a year take the current
// one. Details: variant_convert.cpp (numbers, booleans, currency, decimal) and date_text.h.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt) noexcept;
HRESULT VariantChangeTypeEx(VARIANT* dest, const VARIANT* src, LCID lcid, USHORT flags,
                            VARTYPE vt) noexcept;

// One dimension only; NULL for cDims != 1, an unsupported element type, or no memory. Elements
// start zeroed (empty VARIANTs, NULL BSTRs and interfaces).
SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* bounds) noexcept;
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements) noexcept;
// Releases every element and the array. DISP_E_ARRAYISLOCKED while locked. NULL is S_OK.
HRESULT SafeArrayDestroy(SAFEARRAY* psa) noexcept;
// Deep copy (as VariantCopy does for each element).
HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** result) noexcept;
UINT SafeArrayGetDim(SAFEARRAY* psa) noexcept;
UINT SafeArrayGetElemsize(SAFEARRAY* psa) noexcept;
HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* vt) noexcept;
// dim is 1-based; DISP_E_BADINDEX for any other dimension.
HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT dim, LONG* bound) noexcept;
HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT dim, LONG* bound) noexcept;
// Copies element *index out: a BSTR is duplicated, a VARIANT deep-copied into *value (whose old
// content is not freed: it is treated as uninitialised), an interface AddRef'd.
HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* index, void* value) noexcept;
// Stores a copy, releasing the old element. As on Windows, for BSTR, UNKNOWN and DISPATCH
// arrays `value` is the BSTR or interface pointer itself; for the others it points at the value.
HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* index, void* value) noexcept;
HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* index, void** element) noexcept;
HRESULT SafeArrayLock(SAFEARRAY* psa) noexcept;
HRESULT SafeArrayUnlock(SAFEARRAY* psa) noexcept;
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** data) noexcept;
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) noexcept;

}  // extern "C"

namespace comlite {

// A VARIANT that clears itself. Copying deep-copies (VariantCopy); a failed copy leaves
// VT_EMPTY. Not thread-safe (a value type).
class Variant : public VARIANT {
public:
    Variant() noexcept { VariantInit(this); }
    Variant(const Variant& other) noexcept : Variant() { VariantCopy(this, &other); }
    Variant(Variant&& other) noexcept : VARIANT(other) { VariantInit(&other); }
    Variant& operator=(const Variant& other) noexcept {
        if (this != &other)
            VariantCopy(this, &other);
        return *this;
    }
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            VariantClear(this);
            static_cast<VARIANT&>(*this) = other;
            VariantInit(&other);
        }
        return *this;
    }
    ~Variant() { VariantClear(this); }

    // Takes ownership of a raw VARIANT's content, leaving the source VT_EMPTY.
    static Variant Take(VARIANT& raw) noexcept {
        Variant v;
        static_cast<VARIANT&>(v) = raw;
        VariantInit(&raw);
        return v;
    }
    static Variant I4(LONG value) noexcept;
    static Variant R8(double value) noexcept;
    static Variant Bool(bool value) noexcept;
    // Ten-thousandths: Currency(15000) is 1.5.
    static Variant Currency(LONGLONG tenThousandths) noexcept;
    static Variant Decimal(const DECIMAL& value) noexcept;
    static Variant Text(std::u16string_view text) noexcept;
    static Variant TextUtf8(std::string_view utf8) noexcept;

    void Clear() noexcept { VariantClear(this); }
    // Gives up ownership, for handing the value to a receiver.
    VARIANT Detach() noexcept {
        VARIANT raw = *this;
        VariantInit(this);
        return raw;
    }
};

}  // namespace comlite
