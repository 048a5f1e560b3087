// VariantChangeType(Ex): the automation coercion rules.
//
// Numbers: integer targets take reals by banker's rounding (2.5 -> 2, 3.5 -> 4, -2.5 -> -2) and
// then check the range (DISP_E_OVERFLOW). BOOL is -1 or 0 as a number, and any non-zero number is
// true. EMPTY is 0, "" or false; NULL converts to nothing but NULL (DISP_E_TYPEMISMATCH). An
// object converts to a value through its default member (DISPID_VALUE) unless
// VARIANT_NOVALUEPROP is given.
//
// Text is the en-US form whatever the LCID, so that files and scripts read the same on every
// machine: numbers with '.' as decimal point (',' is accepted as a thousands separator in the
// whole part), reals written with up to 15 significant digits (7 for R4), "True"/"False" read
// in any case and written only with VARIANT_ALPHABOOL or VARIANT_LOCALBOOL (otherwise "-1"/"0",
// as Windows does), dates written "M/D/YYYY h:mm:ss AM" (date only at midnight, time only on day
// 0) and read in that form, as "YYYY-MM-DD[ hh:mm[:ss]]" (or with 'T') and as a bare time.

#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "comlite/interfaces.h"
#include "comlite/text.h"
#include "comlite/variant.h"
#include "platform/ole_date.h"
#include "variant_internal.h"

namespace {

using comlite::detail::CopyBstr;

struct Number {
    enum Kind { Signed, Unsigned, Real } kind = Signed;
    long long s = 0;
    unsigned long long u = 0;
    double d = 0;

    static Number FromSigned(long long v) { return {Signed, v, 0, 0}; }
    static Number FromUnsigned(unsigned long long v) { return {Unsigned, 0, v, 0}; }
    static Number FromReal(double v) { return {Real, 0, 0, v}; }
    bool IsZero() const { return kind == Signed ? s == 0 : kind == Unsigned ? u == 0 : d == 0; }
    double AsReal() const {
        return kind == Signed     ? static_cast<double>(s)
               : kind == Unsigned ? static_cast<double>(u)
                                  : d;
    }
};

constexpr double kMinDate = -657434.0;           // 0100-01-01
constexpr double kMaxDateExclusive = 2958466.0;  // 10000-01-01

double BankersRound(double x) {
    const double lower = std::floor(x);
    const double fraction = x - lower;
    if (fraction > 0.5)
        return lower + 1;
    if (fraction < 0.5)
        return lower;
    return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

// ---- Text parsing ---------------------------------------------------------------------------

// The ASCII text of a BSTR with surrounding blanks removed; false when it holds anything else
// (embedded NULs, non-ASCII), which can never be a number or a date.
bool AsciiTrimmed(BSTR text, std::string& out) {
    std::u16string_view v = comlite::BstrView(text);
    while (!v.empty() && (v.front() == u' ' || v.front() == u'\t')) v.remove_prefix(1);
    while (!v.empty() && (v.back() == u' ' || v.back() == u'\t')) v.remove_suffix(1);
    out.clear();
    for (char16_t c : v) {
        if (c == 0 || c > 0x7F)
            return false;
        out.push_back(static_cast<char>(c));
    }
    return true;
}

HRESULT ParseNumber(BSTR text, Number& n) {
    std::string s;
    if (!AsciiTrimmed(text, s) || s.empty())
        return DISP_E_TYPEMISMATCH;
    std::string cleaned;
    std::size_t i = 0;
    if (s[i] == '+' || s[i] == '-') {
        if (s[i] == '-')
            cleaned.push_back('-');
        ++i;
    }
    bool digits = false, integral = true;
    for (; i < s.size() && (std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == ','); ++i) {
        if (s[i] == ',') {
            if (!digits)
                return DISP_E_TYPEMISMATCH;
            continue;
        }
        digits = true;
        cleaned.push_back(s[i]);
    }
    if (i < s.size() && s[i] == '.') {
        integral = false;
        cleaned.push_back(s[i++]);
        for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
            digits = true;
            cleaned.push_back(s[i]);
        }
    }
    if (!digits)
        return DISP_E_TYPEMISMATCH;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        integral = false;
        cleaned.push_back('e');
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            cleaned.push_back(s[i++]);
        bool exponentDigits = false;
        for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
            exponentDigits = true;
            cleaned.push_back(s[i]);
        }
        if (!exponentDigits)
            return DISP_E_TYPEMISMATCH;
    }
    if (i != s.size())
        return DISP_E_TYPEMISMATCH;

    const char* first = cleaned.data();
    const char* last = first + cleaned.size();
    if (integral) {
        // Whole numbers stay exact up to 64 bits; beyond that they become reals.
        if (cleaned[0] == '-') {
            long long v;
            if (auto r = std::from_chars(first, last, v); r.ec == std::errc() && r.ptr == last) {
                n = Number::FromSigned(v);
                return S_OK;
            }
        } else {
            unsigned long long v;
            if (auto r = std::from_chars(first, last, v); r.ec == std::errc() && r.ptr == last) {
                n = Number::FromUnsigned(v);
                return S_OK;
            }
        }
    }
    double v;
    const auto r = std::from_chars(first, last, v);
    if (r.ec == std::errc::result_out_of_range)
        return DISP_E_OVERFLOW;
    if (r.ec != std::errc() || r.ptr != last)
        return DISP_E_TYPEMISMATCH;
    n = Number::FromReal(v);
    return S_OK;
}

class Cursor {
public:
    explicit Cursor(std::string_view s) : s_(s) {}
    bool AtEnd() const { return pos_ == s_.size(); }
    void SkipBlanks() {
        while (pos_ < s_.size() && s_[pos_] == ' ') ++pos_;
    }
    bool Take(char c) {
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    // 1 to maxDigits decimal digits.
    bool Int(int& value, int maxDigits, int* count = nullptr) {
        int n = 0;
        value = 0;
        while (n < maxDigits && pos_ < s_.size() &&
               std::isdigit(static_cast<unsigned char>(s_[pos_]))) {
            value = value * 10 + (s_[pos_++] - '0');
            ++n;
        }
        if (count)
            *count = n;
        return n > 0;
    }
    bool TakeWordIgnoreCase(std::string_view word) {
        if (!comlite::EqualsIgnoreCase(s_.substr(pos_, word.size()), word))
            return false;
        pos_ += word.size();
        return true;
    }
    std::size_t Position() const { return pos_; }
    void Reset(std::size_t pos) { pos_ = pos; }

private:
    std::string_view s_;
    std::size_t pos_ = 0;
};

// "h:mm[:ss][ ][AM|PM]" at the cursor.
bool ParseTime(Cursor& c, int& hour, int& minute, int& second) {
    second = 0;
    if (!c.Int(hour, 2) || !c.Take(':') || !c.Int(minute, 2))
        return false;
    if (c.Take(':') && !c.Int(second, 2))
        return false;
    c.SkipBlanks();
    const bool am = c.TakeWordIgnoreCase("AM");
    const bool pm = !am && c.TakeWordIgnoreCase("PM");
    if (am || pm) {
        if (hour < 1 || hour > 12)
            return false;
        hour %= 12;
        if (pm)
            hour += 12;
    }
    return true;
}

HRESULT ParseDate(BSTR text, double& days) {
    std::string s;
    if (!AsciiTrimmed(text, s) || s.empty())
        return DISP_E_TYPEMISMATCH;
    Cursor c(s);
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
    int first, digits;
    if (!c.Int(first, 4, &digits))
        return DISP_E_TYPEMISMATCH;
    if (digits == 4 && c.Take('-')) {  // YYYY-MM-DD[(T| )time]
        year = first;
        if (!c.Int(month, 2) || !c.Take('-') || !c.Int(day, 2))
            return DISP_E_TYPEMISMATCH;
        if (c.Take('T')) {
            if (!ParseTime(c, hour, minute, second))
                return DISP_E_TYPEMISMATCH;
        } else {
            c.SkipBlanks();
            if (!c.AtEnd() && !ParseTime(c, hour, minute, second))
                return DISP_E_TYPEMISMATCH;
        }
    } else if (digits <= 2 && c.Take('/')) {  // M/D/YYYY or M/D/YY [time]
        month = first;
        int yearDigits;
        if (!c.Int(day, 2) || !c.Take('/') || !c.Int(year, 4, &yearDigits))
            return DISP_E_TYPEMISMATCH;
        if (yearDigits <= 2)
            year += year < 30 ? 2000 : 1900;  // the Windows two-digit window
        c.SkipBlanks();
        if (!c.AtEnd() && !ParseTime(c, hour, minute, second))
            return DISP_E_TYPEMISMATCH;
    } else {  // a time of day 0
        c.Reset(0);
        if (!ParseTime(c, hour, minute, second))
            return DISP_E_TYPEMISMATCH;
    }
    c.SkipBlanks();
    if (!c.AtEnd())
        return DISP_E_TYPEMISMATCH;
    const auto date = tw::platform::OleDate::FromCivil(year, month, day, hour, minute, second);
    if (!date.IsValid())
        return DISP_E_TYPEMISMATCH;
    days = date.Days();
    return S_OK;
}

// ---- Text formatting ------------------------------------------------------------------------

template <class T>
std::u16string IntegerText(T value) {
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::u16string(buffer, r.ptr);
}

template <class T>
std::u16string RealText(T value, int precision) {
    if (value == 0)
        return u"0";  // also for -0.0
    char buffer[64];
    const auto r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
    std::u16string out(buffer, r.ptr);
    for (auto& ch : out)
        if (ch == u'e')
            ch = u'E';
    return out;
}

HRESULT DateText(double days, std::u16string& out) {
    tw::platform::CivilTime t;
    if (!tw::platform::OleDate::FromDays(days).ToCivil(t))
        return DISP_E_OVERFLOW;
    std::string s;
    const bool dayZero = t.year == 1899 && t.month == 12 && t.day == 30;
    const bool midnight = t.hour == 0 && t.minute == 0 && t.second == 0;
    char buffer[64];
    if (!dayZero) {
        std::snprintf(buffer, sizeof buffer, "%d/%d/%d", t.month, t.day, t.year);
        s = buffer;
    }
    if (dayZero || !midnight) {
        const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
        std::snprintf(buffer, sizeof buffer, "%s%d:%02d:%02d %s", s.empty() ? "" : " ", hour12,
                      t.minute, t.second, t.hour < 12 ? "AM" : "PM");
        s += buffer;
    }
    out.assign(s.begin(), s.end());
    return S_OK;
}

// ---- Conversion -----------------------------------------------------------------------------

HRESULT Convert(const VARIANT& src, VARTYPE vt, USHORT flags, LCID lcid, VARIANT& out, int depth);

// The value of an object's default member, itself converted to vt.
HRESULT ConvertDefaultValue(IDispatch* object, VARTYPE vt, USHORT flags, LCID lcid, VARIANT& out,
                            int depth) {
    if (!object || (flags & VARIANT_NOVALUEPROP) || depth > 0)
        return DISP_E_TYPEMISMATCH;
    comlite::Variant value;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (FAILED(object->Invoke(DISPID_VALUE, IID_NULL, lcid, DISPATCH_PROPERTYGET, &none, &value,
                              nullptr, nullptr)))
        return DISP_E_TYPEMISMATCH;
    if (value.vt == vt)
        return VariantCopy(&out, &value);
    return Convert(value, vt, flags, lcid, out, depth + 1);
}

HRESULT ReadNumber(const VARIANT& v, Number& n, USHORT flags, LCID lcid, int depth) {
    switch (v.vt) {
        case VT_EMPTY:
            n = Number::FromSigned(0);
            return S_OK;
        case VT_I1:
            n = Number::FromSigned(static_cast<signed char>(v.cVal));
            return S_OK;
        case VT_UI1:
            n = Number::FromUnsigned(v.bVal);
            return S_OK;
        case VT_I2:
            n = Number::FromSigned(v.iVal);
            return S_OK;
        case VT_UI2:
            n = Number::FromUnsigned(v.uiVal);
            return S_OK;
        case VT_I4:
            n = Number::FromSigned(v.lVal);
            return S_OK;
        case VT_INT:
            n = Number::FromSigned(v.intVal);
            return S_OK;
        case VT_UI4:
            n = Number::FromUnsigned(v.ulVal);
            return S_OK;
        case VT_UINT:
            n = Number::FromUnsigned(v.uintVal);
            return S_OK;
        case VT_I8:
            n = Number::FromSigned(v.llVal);
            return S_OK;
        case VT_UI8:
            n = Number::FromUnsigned(v.ullVal);
            return S_OK;
        case VT_R4:
            n = Number::FromReal(v.fltVal);
            return S_OK;
        case VT_R8:
            n = Number::FromReal(v.dblVal);
            return S_OK;
        case VT_DATE:
            n = Number::FromReal(v.date);
            return S_OK;
        case VT_BOOL:
            n = Number::FromSigned(v.boolVal ? -1 : 0);
            return S_OK;
        case VT_BSTR:
            return ParseNumber(v.bstrVal, n);
        case VT_DISPATCH: {
            VARIANT value;
            VariantInit(&value);
            HRESULT hr = ConvertDefaultValue(v.pdispVal, VT_R8, flags, lcid, value, depth);
            if (FAILED(hr))
                return hr;
            n = Number::FromReal(value.dblVal);
            return S_OK;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

struct IntegerRange {
    long long min;
    unsigned long long max;
};

bool IntegerTarget(VARTYPE vt, IntegerRange& range) {
    switch (vt) {
        case VT_I1:
            range = {-128, 127};
            return true;
        case VT_UI1:
            range = {0, 255};
            return true;
        case VT_I2:
            range = {-32768, 32767};
            return true;
        case VT_UI2:
            range = {0, 65535};
            return true;
        case VT_I4:
        case VT_INT:
            range = {INT32_MIN, INT32_MAX};
            return true;
        case VT_UI4:
        case VT_UINT:
            range = {0, UINT32_MAX};
            return true;
        case VT_I8:
            range = {INT64_MIN, INT64_MAX};
            return true;
        case VT_UI8:
            range = {0, UINT64_MAX};
            return true;
        default:
            return false;
    }
}

HRESULT ToInteger(const Number& n, const IntegerRange& range, long long& s, unsigned long long& u,
                  bool& negative) {
    switch (n.kind) {
        case Number::Signed:
            if (n.s < range.min)
                return DISP_E_OVERFLOW;
            if (n.s > 0 && static_cast<unsigned long long>(n.s) > range.max)
                return DISP_E_OVERFLOW;
            negative = n.s < 0;
            s = n.s;
            u = static_cast<unsigned long long>(n.s);
            return S_OK;
        case Number::Unsigned:
            if (n.u > range.max)
                return DISP_E_OVERFLOW;
            negative = false;
            u = n.u;
            s = static_cast<long long>(n.u);
            return S_OK;
        case Number::Real: {
            if (std::isnan(n.d))
                return DISP_E_OVERFLOW;
            const double r = BankersRound(n.d);
            // max + 1 is exact in a double for every range, 2^63 and 2^64 included.
            if (r < static_cast<double>(range.min) || r >= static_cast<double>(range.max) + 1.0)
                return DISP_E_OVERFLOW;
            negative = r < 0;
            if (negative) {
                s = static_cast<long long>(r);
                u = static_cast<unsigned long long>(s);
            } else {
                u = static_cast<unsigned long long>(r);
                s = static_cast<long long>(u);
            }
            return S_OK;
        }
    }
    return DISP_E_TYPEMISMATCH;
}

void StoreInteger(VARIANT& out, VARTYPE vt, long long s, unsigned long long u) {
    out.vt = vt;
    switch (vt) {
        case VT_I1:
            out.cVal = static_cast<CHAR>(s);
            break;
        case VT_UI1:
            out.bVal = static_cast<BYTE>(u);
            break;
        case VT_I2:
            out.iVal = static_cast<SHORT>(s);
            break;
        case VT_UI2:
            out.uiVal = static_cast<USHORT>(u);
            break;
        case VT_I4:
            out.lVal = static_cast<LONG>(s);
            break;
        case VT_INT:
            out.intVal = static_cast<INT>(s);
            break;
        case VT_UI4:
            out.ulVal = static_cast<ULONG>(u);
            break;
        case VT_UINT:
            out.uintVal = static_cast<UINT>(u);
            break;
        case VT_I8:
            out.llVal = s;
            break;
        case VT_UI8:
            out.ullVal = u;
            break;
        default:
            break;
    }
}

HRESULT ToText(const VARIANT& src, USHORT flags, LCID lcid, VARIANT& out, int depth) {
    std::u16string text;
    switch (src.vt) {
        case VT_EMPTY:
            break;
        case VT_I1:
            text = IntegerText(static_cast<int>(static_cast<signed char>(src.cVal)));
            break;
        case VT_UI1:
            text = IntegerText(src.bVal);
            break;
        case VT_I2:
            text = IntegerText(src.iVal);
            break;
        case VT_UI2:
            text = IntegerText(src.uiVal);
            break;
        case VT_I4:
            text = IntegerText(src.lVal);
            break;
        case VT_INT:
            text = IntegerText(src.intVal);
            break;
        case VT_UI4:
            text = IntegerText(src.ulVal);
            break;
        case VT_UINT:
            text = IntegerText(src.uintVal);
            break;
        case VT_I8:
            text = IntegerText(src.llVal);
            break;
        case VT_UI8:
            text = IntegerText(src.ullVal);
            break;
        case VT_R4:
            text = RealText(src.fltVal, 7);
            break;
        case VT_R8:
            text = RealText(src.dblVal, 15);
            break;
        case VT_DATE: {
            const HRESULT hr = DateText(src.date, text);
            if (FAILED(hr))
                return hr;
            break;
        }
        case VT_BOOL:
            if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL))
                text = src.boolVal ? u"True" : u"False";
            else
                text = src.boolVal ? u"-1" : u"0";
            break;
        case VT_DISPATCH:
            return ConvertDefaultValue(src.pdispVal, VT_BSTR, flags, lcid, out, depth);
        default:
            return DISP_E_TYPEMISMATCH;
    }
    BSTR b = comlite::AllocBstr(text);
    if (!b)
        return E_OUTOFMEMORY;
    out.vt = VT_BSTR;
    out.bstrVal = b;
    return S_OK;
}

HRESULT ToBool(const VARIANT& src, USHORT flags, LCID lcid, VARIANT& out, int depth) {
    if (src.vt == VT_BSTR) {
        std::string s;
        if (AsciiTrimmed(src.bstrVal, s)) {
            if (comlite::EqualsIgnoreCase(s, "true") || comlite::EqualsIgnoreCase(s, "false")) {
                out.vt = VT_BOOL;
                out.boolVal = comlite::EqualsIgnoreCase(s, "true") ? VARIANT_TRUE : VARIANT_FALSE;
                return S_OK;
            }
        }
    }
    Number n;
    const HRESULT hr = ReadNumber(src, n, flags, lcid, depth);
    if (FAILED(hr))
        return hr;
    out.vt = VT_BOOL;
    out.boolVal = n.IsZero() ? VARIANT_FALSE : VARIANT_TRUE;
    return S_OK;
}

HRESULT ToReal(const VARIANT& src, VARTYPE vt, USHORT flags, LCID lcid, VARIANT& out, int depth) {
    double value;
    if (vt == VT_DATE && src.vt == VT_BSTR) {
        const HRESULT hr = ParseDate(src.bstrVal, value);
        if (FAILED(hr))
            return hr;
    } else {
        Number n;
        const HRESULT hr = ReadNumber(src, n, flags, lcid, depth);
        if (FAILED(hr))
            return hr;
        value = n.AsReal();
    }
    out.vt = vt;
    switch (vt) {
        case VT_R4:
            if (!std::isnan(value) && std::fabs(value) > FLT_MAX)
                return DISP_E_OVERFLOW;
            out.fltVal = static_cast<float>(value);
            return S_OK;
        case VT_R8:
            out.dblVal = value;
            return S_OK;
        default:  // VT_DATE
            if (!(value >= kMinDate && value < kMaxDateExclusive))
                return DISP_E_OVERFLOW;
            out.date = value;
            return S_OK;
    }
}

HRESULT Convert(const VARIANT& src, VARTYPE vt, USHORT flags, LCID lcid, VARIANT& out, int depth) {
    if (src.vt == vt)
        return VariantCopy(&out, &src);
    if (vt == VT_EMPTY)
        return S_OK;
    if (src.vt == VT_NULL || vt == VT_NULL)
        return DISP_E_TYPEMISMATCH;
    if ((src.vt | vt) & VT_ARRAY)
        return DISP_E_TYPEMISMATCH;

    IntegerRange range;
    if (IntegerTarget(vt, range)) {
        Number n;
        HRESULT hr = ReadNumber(src, n, flags, lcid, depth);
        if (FAILED(hr))
            return hr;
        long long s;
        unsigned long long u;
        bool negative;
        hr = ToInteger(n, range, s, u, negative);
        if (FAILED(hr))
            return hr;
        StoreInteger(out, vt, s, u);
        return S_OK;
    }
    switch (vt) {
        case VT_R4:
        case VT_R8:
        case VT_DATE: {
            VARIANT result;
            VariantInit(&result);
            const HRESULT hr = ToReal(src, vt, flags, lcid, result, depth);
            if (SUCCEEDED(hr))
                out = result;
            return hr;
        }
        case VT_BOOL:
            return ToBool(src, flags, lcid, out, depth);
        case VT_BSTR:
            return ToText(src, flags, lcid, out, depth);
        case VT_UNKNOWN:
            if (src.vt != VT_DISPATCH)
                return DISP_E_TYPEMISMATCH;
            if (src.pdispVal)
                src.pdispVal->AddRef();
            out.vt = VT_UNKNOWN;
            out.punkVal = src.pdispVal;
            return S_OK;
        case VT_DISPATCH: {
            if (src.vt != VT_UNKNOWN || !src.punkVal)
                return DISP_E_TYPEMISMATCH;
            void* object = nullptr;
            if (FAILED(src.punkVal->QueryInterface(IID_IDispatch, &object)))
                return DISP_E_TYPEMISMATCH;
            out.vt = VT_DISPATCH;
            out.pdispVal = static_cast<IDispatch*>(object);
            return S_OK;
        }
        default:  // VT_ERROR: only from itself
            return DISP_E_TYPEMISMATCH;
    }
}

}  // namespace

extern "C" {

HRESULT VariantChangeTypeEx(VARIANT* dest, const VARIANT* src, LCID lcid, USHORT flags,
                            VARTYPE vt) noexcept {
    if (!dest || !src)
        return E_INVALIDARG;
    if (!comlite::detail::IsValidVariantType(src->vt))
        return DISP_E_BADVARTYPE;
    if ((vt & VT_BYREF) || !comlite::detail::IsValidVariantType(vt))
        return DISP_E_BADVARTYPE;
    VARIANT view = *src;
    if ((src->vt & VT_BYREF) && !comlite::detail::Dereference(*src, view))
        return E_INVALIDARG;
    VARIANT result;
    VariantInit(&result);
    HRESULT hr;
    try {
        hr = Convert(view, vt, flags, lcid, result, 0);
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    // dest may be src: result owns independent copies, so clearing the source is safe now.
    hr = VariantClear(dest);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    *dest = result;
    return S_OK;
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt) noexcept {
    return VariantChangeTypeEx(dest, src, LOCALE_USER_DEFAULT, flags, vt);
}

}  // extern "C"
