// VariantChangeType(Ex): the automation coercion rules, as Windows applies them for en-US.
//
// Numbers: integer, currency and decimal targets take reals by banker's rounding (2.5 -> 2,
// 3.5 -> 4) and then check the range (DISP_E_OVERFLOW). Between integer types of the same width
// the bits are reinterpreted (-1 to VT_UI4 is 4294967295, 4294967295 to VT_I4 is -1); narrowing
// keeps its range check. A boolean converts by its 16-bit value: VARIANT_TRUE is -1, so it
// becomes 255, 65535 or 4294967295 in the unsigned types, and a boolean holding 1 converts as 1;
// only VT_DECIMAL takes any true as -1. Any non-zero number is true. Reals that underflow become
// 0. Currency is a 64-bit count of ten-thousandths; a DECIMAL is 96 bits scaled by up to 10^28;
// reals become decimals with 15 significant digits (7 from VT_R4). An invalid DECIMAL (scale
// above 28, odd sign byte) is E_INVALIDARG.
//
// EMPTY is 0, "" or false. NULL converts to nothing but VT_NULL and VT_EMPTY (mismatch);
// any plain value converts to VT_NULL or VT_EMPTY, VT_ERROR only to itself. An object converts
// to a value through its default member (DISPID_VALUE) unless VARIANT_NOVALUEPROP is given; a
// null IUnknown becomes a null IDispatch.
//
// Text is the en-US form whatever the LCID (other locales are treated as en-US): numbers with
// '.' as the decimal point, ',' between digit groups of the whole part, a leading or trailing
// sign, parentheses for negative amounts and a leading '$'; reals written with up to 15
// significant digits (7 for VT_R4), ties away from zero, in exponent form ("5E-05", "1E+15")
// outside 1E-04 .. 1E+15; currency and decimals written exactly without trailing zeros.
// Booleans are written as their number ("-1", "0", "1") unless VARIANT_ALPHABOOL or
// VARIANT_LOCALBOOL asks for "True"/"False"; read as "True"/"False" in any case, "#TRUE#" and
// "#FALSE#" exactly, or as a number. Dates: see date_text.h.

#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "comlite/interfaces.h"
#include "comlite/text.h"
#include "comlite/variant.h"
#include "date_text.h"
#include "decimal_value.h"
#include "platform/ole_date.h"
#include "variant_internal.h"

namespace {

using comlite::detail::DecimalValue;
using comlite::detail::DigitString;
using comlite::detail::kCurrencyScale;

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

// A value read from any numeric source, kept exact where the source is exact.
struct Number {
    enum Kind { Signed, Unsigned, Real, Currency, Decimal } kind = Signed;
    long long s = 0;  // Signed; Currency in ten-thousandths
    unsigned long long u = 0;
    double d = 0;
    DecimalValue dec;
    bool single = false;  // read from VT_R4: 7 significant digits

    static Number FromSigned(long long v) {
        Number n;
        n.s = v;
        return n;
    }
    static Number FromUnsigned(unsigned long long v) {
        Number n;
        n.kind = Unsigned;
        n.u = v;
        return n;
    }
    static Number FromReal(double v, bool single = false) {
        Number n;
        n.kind = Real;
        n.d = v;
        n.single = single;
        return n;
    }
    static Number FromCurrency(long long v) {
        Number n;
        n.kind = Currency;
        n.s = v;
        return n;
    }
    static Number FromDecimal(const DecimalValue& v) {
        Number n;
        n.kind = Decimal;
        n.dec = v;
        return n;
    }
    bool IsZero() const {
        switch (kind) {
            case Signed:
            case Currency:
                return s == 0;
            case Unsigned:
                return u == 0;
            case Real:
                return d == 0;
            case Decimal:
                return dec.IsZero();
        }
        return false;
    }
    double AsReal() const {
        switch (kind) {
            case Signed:
                return static_cast<double>(s);
            case Unsigned:
                return static_cast<double>(u);
            case Real:
                return d;
            case Currency:
                return static_cast<double>(s) / kCurrencyScale;
            case Decimal:
                return comlite::detail::DecimalToReal(dec);
        }
        return 0;
    }
};

// ---- Text parsing ---------------------------------------------------------------------------

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == 0x00A0;
}

// The ASCII text of a BSTR with surrounding blanks removed; false when it holds anything else
// (embedded NULs, non-ASCII), which can never be a number.
bool AsciiTrimmed(BSTR text, std::string& out) {
    std::u16string_view v = comlite::BstrView(text);
    while (!v.empty() && IsBlank(v.front())) v.remove_prefix(1);
    while (!v.empty() && IsBlank(v.back())) v.remove_suffix(1);
    out.clear();
    for (char16_t c : v) {
        if (c == 0 || c > 0x7F)
            return false;
        out.push_back(static_cast<char>(c));
    }
    return true;
}

// A number in the en-US form into its digits: [sign][$]digits[,digits...][.digits][E[sign]
// digits][sign], or the same inside parentheses for a negative amount.
HRESULT ParseDigits(BSTR text, DigitString& out) {
    std::string s;
    if (!AsciiTrimmed(text, s) || s.empty())
        return DISP_E_TYPEMISMATCH;
    std::size_t i = 0, end = s.size();
    bool negative = false, signSeen = false;
    if (s[0] == '(' && s[end - 1] == ')') {
        negative = signSeen = true;
        ++i;
        --end;
    }
    if (!signSeen && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        signSeen = true;
        ++i;
    }
    if (i < end && s[i] == '$')
        ++i;
    if (!signSeen && end > i && (s[end - 1] == '+' || s[end - 1] == '-')) {
        negative = s[end - 1] == '-';
        --end;
    }
    std::string digits;
    int exponent = 0;
    bool any = false;
    for (; i < end && (std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == ','); ++i) {
        if (s[i] == ',') {
            if (!any)
                return DISP_E_TYPEMISMATCH;
            continue;
        }
        any = true;
        digits.push_back(s[i]);
    }
    if (i < end && s[i] == '.') {
        for (++i; i < end && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
            any = true;
            digits.push_back(s[i]);
            --exponent;
        }
    }
    if (!any)
        return DISP_E_TYPEMISMATCH;
    if (i < end && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool minus = false;
        if (i < end && (s[i] == '+' || s[i] == '-'))
            minus = s[i++] == '-';
        long long e = 0;
        bool exponentDigits = false;
        for (; i < end && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
            exponentDigits = true;
            if (e < 100000)
                e = e * 10 + (s[i] - '0');
        }
        if (!exponentDigits)
            return DISP_E_TYPEMISMATCH;
        exponent += static_cast<int>(minus ? -e : e);
    }
    if (i != end)
        return DISP_E_TYPEMISMATCH;
    const std::size_t first = digits.find_first_not_of('0');
    out.digits = first == std::string::npos ? std::string() : digits.substr(first);
    out.exponent = out.digits.empty() ? 0 : exponent;
    out.negative = negative;
    return S_OK;
}

// Whole numbers stay exact up to 64 bits, fractions up to 28 digits; beyond that a real.
HRESULT NumberFromDigits(const DigitString& t, Number& n) {
    if (t.digits.empty()) {
        n = Number::FromSigned(0);
        return S_OK;
    }
    const int length = static_cast<int>(t.digits.size());
    if (t.exponent >= 0 && length + t.exponent <= 20) {
        unsigned long long v = 0;
        bool fits = true;
        for (int k = 0; k < length + t.exponent && fits; ++k) {
            const unsigned digit = k < length ? static_cast<unsigned>(t.digits[k] - '0') : 0;
            fits = v <= (~0ull - digit) / 10;
            v = v * 10 + digit;
        }
        if (fits && !t.negative) {
            n = Number::FromUnsigned(v);
            return S_OK;
        }
        if (fits && v <= (1ull << 63)) {
            n = Number::FromSigned(static_cast<long long>(0 - v));
            return S_OK;
        }
    }
    if (t.exponent < 0 && t.exponent >= -comlite::detail::kMaxDecimalScale && length <= 28) {
        DecimalValue dec;
        if (SUCCEEDED(comlite::detail::DecimalFromDigits(t, dec))) {
            n = Number::FromDecimal(dec);
            return S_OK;
        }
    }
    const std::string text = (t.negative ? "-" : "") + t.digits + "e" + std::to_string(t.exponent);
    double v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec == std::errc::result_out_of_range) {
        // Too small for a double is 0, too large an overflow.
        if (t.exponent + length < 0) {
            n = Number::FromReal(t.negative ? -0.0 : 0.0);
            return S_OK;
        }
        return DISP_E_OVERFLOW;
    }
    if (r.ec != std::errc())
        return DISP_E_TYPEMISMATCH;
    n = Number::FromReal(v);
    return S_OK;
}

// ---- Text formatting ------------------------------------------------------------------------

template <class T>
std::u16string IntegerText(T value) {
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::u16string(buffer, r.ptr);
}

std::u16string AsciiToText(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

// Up to `precision` significant digits, the last one rounded half away from zero; fixed
// notation for decimal exponents -4 .. precision-1, else "d.dddE+XX".
std::u16string RealText(double value, int precision) {
    if (value == 0 || !std::isfinite(value))
        return value == 0 ? u"0" : (std::isnan(value) ? u"NaN" : value > 0 ? u"INF" : u"-INF");
    char buffer[128];
    // Twenty guard digits decide the rounding; the binary value is exact well beyond them.
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                 std::chars_format::scientific, precision + 20);
    std::string mantissa;
    const char* p = buffer;
    for (; p < r.ptr && *p != 'e'; ++p)
        if (*p != '.')
            mantissa.push_back(*p);
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), r.ptr, exponent);
    std::string digits = mantissa.substr(0, static_cast<std::size_t>(precision));
    if (mantissa[static_cast<std::size_t>(precision)] >= '5') {
        int k = precision - 1;
        for (; k >= 0 && digits[static_cast<std::size_t>(k)] == '9'; --k)
            digits[static_cast<std::size_t>(k)] = '0';
        if (k < 0) {
            digits.insert(digits.begin(), '1');
            digits.pop_back();
            ++exponent;
        } else {
            ++digits[static_cast<std::size_t>(k)];
        }
    }
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    std::string out = value < 0 ? "-" : "";
    if (exponent < -4 || exponent >= precision) {
        out += digits[0];
        if (digits.size() > 1)
            out += "." + digits.substr(1);
        char e[16];
        std::snprintf(e, sizeof e, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        out += e;
    } else if (exponent < 0) {
        out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    } else {
        const auto whole = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= whole) {
            out += digits + std::string(whole - digits.size(), '0');
        } else {
            out += digits.substr(0, whole) + "." + digits.substr(whole);
        }
    }
    return AsciiToText(out);
}

// ---- Conversion -----------------------------------------------------------------------------

HRESULT Convert(const VARIANT& src, VARTYPE vt, USHORT flags, LCID lcid, VARIANT& out, int depth);

// The value of an object's default member.
HRESULT DefaultValue(IDispatch* object, USHORT flags, LCID lcid, int depth,
                     comlite::Variant& value) {
    if (!object || (flags & VARIANT_NOVALUEPROP) || depth > 0)
        return DISP_E_TYPEMISMATCH;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (FAILED(object->Invoke(DISPID_VALUE, IID_NULL, lcid, DISPATCH_PROPERTYGET, &none, &value,
                              nullptr, nullptr)))
        return DISP_E_TYPEMISMATCH;
    return S_OK;
}

HRESULT ConvertDefaultValue(IDispatch* object, VARTYPE vt, USHORT flags, LCID lcid, VARIANT& out,
                            int depth) {
    comlite::Variant value;
    const HRESULT hr = DefaultValue(object, flags, lcid, depth, value);
    if (FAILED(hr))
        return hr;
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
            n = Number::FromReal(v.fltVal, true);
            return S_OK;
        case VT_R8:
            n = Number::FromReal(v.dblVal);
            return S_OK;
        case VT_DATE:
            n = Number::FromReal(v.date);
            return S_OK;
        case VT_BOOL:
            n = Number::FromSigned(v.boolVal);  // its 16-bit value: true is -1
            return S_OK;
        case VT_CY:
            n = Number::FromCurrency(v.cyVal.int64);
            return S_OK;
        case VT_DECIMAL: {
            DecimalValue dec;
            const HRESULT hr = comlite::detail::DecimalFromWire(v.decVal, dec);
            if (FAILED(hr))
                return hr;
            n = Number::FromDecimal(dec);
            return S_OK;
        }
        case VT_BSTR: {
            DigitString digits;
            const HRESULT hr = ParseDigits(v.bstrVal, digits);
            if (FAILED(hr))
                return hr;
            return NumberFromDigits(digits, n);
        }
        case VT_DISPATCH: {
            comlite::Variant value;
            const HRESULT hr = DefaultValue(v.pdispVal, flags, lcid, depth, value);
            if (FAILED(hr))
                return hr;
            return ReadNumber(value, n, flags, lcid, depth + 1);
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

// Bytes of an integer type; 0 for anything else.
int IntegerWidth(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
            return 4;
        case VT_I8:
        case VT_UI8:
            return 8;
        default:
            return 0;
    }
}

bool IsSignedInteger(VARTYPE vt) {
    return vt == VT_I1 || vt == VT_I2 || vt == VT_I4 || vt == VT_INT || vt == VT_I8;
}

struct IntegerRange {
    long long min;
    unsigned long long max;
};

IntegerRange RangeOf(VARTYPE vt) {
    const bool isSigned = IsSignedInteger(vt);
    switch (IntegerWidth(vt)) {
        case 1:
            return isSigned ? IntegerRange{INT8_MIN, INT8_MAX} : IntegerRange{0, UINT8_MAX};
        case 2:
            return isSigned ? IntegerRange{INT16_MIN, INT16_MAX} : IntegerRange{0, UINT16_MAX};
        case 4:
            return isSigned ? IntegerRange{INT32_MIN, INT32_MAX} : IntegerRange{0, UINT32_MAX};
        default:
            return isSigned ? IntegerRange{INT64_MIN, INT64_MAX} : IntegerRange{0, UINT64_MAX};
    }
}

// The raw bits of an integer source, sign-extended from a signed type.
unsigned long long IntegerBits(const VARIANT& v) {
    switch (v.vt) {
        case VT_I1:
            return static_cast<unsigned long long>(
                static_cast<long long>(static_cast<signed char>(v.cVal)));
        case VT_UI1:
            return v.bVal;
        case VT_I2:
            return static_cast<unsigned long long>(static_cast<long long>(v.iVal));
        case VT_UI2:
            return v.uiVal;
        case VT_I4:
            return static_cast<unsigned long long>(static_cast<long long>(v.lVal));
        case VT_INT:
            return static_cast<unsigned long long>(static_cast<long long>(v.intVal));
        case VT_UI4:
            return v.ulVal;
        case VT_UINT:
            return v.uintVal;
        case VT_I8:
            return static_cast<unsigned long long>(v.llVal);
        default:  // VT_UI8
            return v.ullVal;
    }
}

// Currency ten-thousandths rounded to a whole number, ties to even.
long long CurrencyWhole(long long cy) {
    long long whole = cy / kCurrencyScale;
    const long long rest = cy % kCurrencyScale;
    const long long half = kCurrencyScale / 2;
    const long long magnitude = rest < 0 ? -rest : rest;
    if (magnitude > half || (magnitude == half && (whole & 1)))
        whole += cy < 0 ? -1 : 1;
    return whole;
}

// The number as a whole value in the range; DISP_E_OVERFLOW outside it.
HRESULT ToInteger(const Number& n, const IntegerRange& range, unsigned long long& bits) {
    Number whole = n;
    switch (n.kind) {
        case Number::Signed:
        case Number::Unsigned:
            break;
        case Number::Currency:
            whole = Number::FromSigned(CurrencyWhole(n.s));
            break;
        case Number::Decimal: {
            long long s;
            unsigned long long u;
            if (n.dec.negative && comlite::detail::DecimalToInteger(n.dec, s))
                whole = Number::FromSigned(s);
            else if (!n.dec.negative && comlite::detail::DecimalToUnsigned(n.dec, u))
                whole = Number::FromUnsigned(u);
            else
                return DISP_E_OVERFLOW;
            break;
        }
        case Number::Real: {
            if (std::isnan(n.d))
                return DISP_E_OVERFLOW;
            const double r = BankersRound(n.d);
            // max + 1 is exact in a double for every range, 2^63 and 2^64 included.
            if (r < static_cast<double>(range.min) || r >= static_cast<double>(range.max) + 1.0)
                return DISP_E_OVERFLOW;
            bits = r < 0 ? static_cast<unsigned long long>(static_cast<long long>(r))
                         : static_cast<unsigned long long>(r);
            return S_OK;
        }
    }
    if (whole.kind == Number::Signed) {
        if (whole.s < range.min ||
            (whole.s > 0 && static_cast<unsigned long long>(whole.s) > range.max))
            return DISP_E_OVERFLOW;
        bits = static_cast<unsigned long long>(whole.s);
        return S_OK;
    }
    if (whole.u > range.max)
        return DISP_E_OVERFLOW;
    bits = whole.u;
    return S_OK;
}

void StoreInteger(VARIANT& out, VARTYPE vt, unsigned long long bits) {
    out.vt = vt;
    switch (IntegerWidth(vt)) {
        case 1:
            out.bVal = static_cast<BYTE>(bits);
            break;
        case 2:
            out.uiVal = static_cast<USHORT>(bits);
            break;
        case 4:
            out.ulVal = static_cast<ULONG>(bits);
            break;
        default:
            out.ullVal = bits;
            break;
    }
}

HRESULT ToIntegerType(const VARIANT& src, VARTYPE vt, USHORT flags, LCID lcid, VARIANT& out,
                      int depth) {
    // A boolean is its 16-bit value, carried into any width by its bits; integers of the same
    // width keep their bits whatever the signedness.
    if (src.vt == VT_BOOL) {
        StoreInteger(out, vt, static_cast<unsigned long long>(static_cast<long long>(src.boolVal)));
        return S_OK;
    }
    if (IntegerWidth(src.vt) != 0 && IntegerWidth(src.vt) == IntegerWidth(vt)) {
        StoreInteger(out, vt, IntegerBits(src));
        return S_OK;
    }
    Number n;
    HRESULT hr = ReadNumber(src, n, flags, lcid, depth);
    if (FAILED(hr))
        return hr;
    unsigned long long bits;
    hr = ToInteger(n, RangeOf(vt), bits);
    if (FAILED(hr))
        return hr;
    StoreInteger(out, vt, bits);
    return S_OK;
}

HRESULT ToCurrency(const Number& n, long long& cy) {
    switch (n.kind) {
        case Number::Signed: {
            const __int128 v = static_cast<__int128>(n.s) * kCurrencyScale;
            if (v < INT64_MIN || v > INT64_MAX)
                return DISP_E_OVERFLOW;
            cy = static_cast<long long>(v);
            return S_OK;
        }
        case Number::Unsigned: {
            const __int128 v = static_cast<__int128>(n.u) * kCurrencyScale;
            if (v > INT64_MAX)
                return DISP_E_OVERFLOW;
            cy = static_cast<long long>(v);
            return S_OK;
        }
        case Number::Currency:
            cy = n.s;
            return S_OK;
        case Number::Decimal:
            return comlite::detail::DecimalToCurrency(n.dec, cy) ? S_OK : DISP_E_OVERFLOW;
        case Number::Real: {
            const double r = BankersRound(n.d * kCurrencyScale);
            if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0))
                return DISP_E_OVERFLOW;
            cy = static_cast<long long>(r);
            return S_OK;
        }
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT ToDecimal(const VARIANT& src, const Number& n, DecimalValue& dec) {
    if (src.vt == VT_BOOL) {  // the one conversion that takes any true as -1
        dec = comlite::detail::DecimalFromInteger(src.boolVal ? -1 : 0);
        return S_OK;
    }
    switch (n.kind) {
        case Number::Signed:
            dec = comlite::detail::DecimalFromInteger(n.s);
            return S_OK;
        case Number::Unsigned:
            dec = comlite::detail::DecimalFromUnsigned(n.u);
            return S_OK;
        case Number::Currency:
            dec = comlite::detail::DecimalFromCurrency(n.s);
            return S_OK;
        case Number::Decimal:
            dec = n.dec;
            return S_OK;
        case Number::Real:
            return comlite::detail::DecimalFromReal(n.d, n.single ? 7 : 15, dec);
    }
    return DISP_E_TYPEMISMATCH;
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
        case VT_CY:
            text = AsciiToText(comlite::detail::DecimalToText(
                comlite::detail::DecimalFromCurrency(src.cyVal.int64)));
            break;
        case VT_DECIMAL: {
            DecimalValue dec;
            const HRESULT hr = comlite::detail::DecimalFromWire(src.decVal, dec);
            if (FAILED(hr))
                return hr;
            text = AsciiToText(comlite::detail::DecimalToText(dec));
            break;
        }
        case VT_DATE: {
            const HRESULT hr =
                comlite::detail::FormatDateText(src.date, (flags & VARIANT_USE_NLS) != 0, text);
            if (FAILED(hr))
                return hr;
            break;
        }
        case VT_BOOL:
            if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL))
                text = src.boolVal ? u"True" : u"False";
            else
                text = IntegerText(src.boolVal);
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
            // "#TRUE#" and "#FALSE#" only in capitals; the English words in any case.
            const bool isTrue = s == "#TRUE#" || comlite::EqualsIgnoreCase(s, "true");
            const bool isFalse = s == "#FALSE#" || comlite::EqualsIgnoreCase(s, "false");
            if (isTrue || isFalse) {
                out.vt = VT_BOOL;
                out.boolVal = isTrue ? VARIANT_TRUE : VARIANT_FALSE;
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

int CurrentYear() {
    tw::platform::CivilTime now;
    return tw::platform::OleDate::Now().ToCivil(now) ? now.year : 2000;
}

HRESULT ToReal(const VARIANT& src, VARTYPE vt, USHORT flags, LCID lcid, VARIANT& out, int depth) {
    double value;
    if (vt == VT_DATE && src.vt == VT_BSTR) {
        const HRESULT hr =
            comlite::detail::ParseDateText(comlite::BstrView(src.bstrVal), CurrentYear(), value);
        if (FAILED(hr))
            return hr;
    } else {
        Number n;
        const HRESULT hr = ReadNumber(src, n, flags, lcid, depth);
        if (FAILED(hr))
            return hr;
        value = n.AsReal();
    }
    switch (vt) {
        case VT_R4:
            // Too small for a single is 0, not an overflow.
            if (std::isfinite(value) && std::fabs(value) > FLT_MAX)
                return DISP_E_OVERFLOW;
            out.vt = VT_R4;
            out.fltVal = static_cast<float>(value);
            return S_OK;
        case VT_R8:
            out.vt = VT_R8;
            out.dblVal = value;
            return S_OK;
        default:  // VT_DATE
            if (!(value >= kMinDate && value < kMaxDateExclusive))
                return DISP_E_OVERFLOW;
            out.vt = VT_DATE;
            out.date = value;
            return S_OK;
    }
}

// Every plain value may become VT_NULL or VT_EMPTY; NULL only VT_NULL, VT_ERROR neither.
HRESULT ToNullOrEmpty(const VARIANT& src, VARTYPE vt, VARIANT& out) {
    if (src.vt == VT_ERROR || (src.vt == VT_NULL && vt == VT_EMPTY))
        return DISP_E_TYPEMISMATCH;
    out.vt = vt;
    return S_OK;
}

HRESULT Convert(const VARIANT& src, VARTYPE vt, USHORT flags, LCID lcid, VARIANT& out, int depth) {
    if (src.vt == vt)
        return VariantCopy(&out, &src);
    if ((src.vt | vt) & VT_ARRAY)
        return DISP_E_TYPEMISMATCH;
    if (vt == VT_EMPTY || vt == VT_NULL)
        return ToNullOrEmpty(src, vt, out);
    if (src.vt == VT_NULL)
        return DISP_E_TYPEMISMATCH;
    if ((flags & VARIANT_NOVALUEPROP) && src.vt == VT_DISPATCH && vt != VT_UNKNOWN)
        return DISP_E_TYPEMISMATCH;

    if (IntegerWidth(vt) != 0)
        return ToIntegerType(src, vt, flags, lcid, out, depth);
    switch (vt) {
        case VT_R4:
        case VT_R8:
        case VT_DATE:
            return ToReal(src, vt, flags, lcid, out, depth);
        case VT_CY: {
            Number n;
            HRESULT hr = ReadNumber(src, n, flags, lcid, depth);
            long long cy = 0;
            if (SUCCEEDED(hr))
                hr = ToCurrency(n, cy);
            if (FAILED(hr))
                return hr;
            out.vt = VT_CY;
            out.cyVal.int64 = cy;
            return S_OK;
        }
        case VT_DECIMAL: {
            Number n;
            DecimalValue dec;
            HRESULT hr;
            if (src.vt == VT_BSTR) {  // exact to 29 digits, never through a double
                DigitString digits;
                hr = ParseDigits(src.bstrVal, digits);
                if (SUCCEEDED(hr))
                    hr = comlite::detail::DecimalFromDigits(digits, dec);
            } else {
                hr = ReadNumber(src, n, flags, lcid, depth);
                if (SUCCEEDED(hr))
                    hr = ToDecimal(src, n, dec);
            }
            if (FAILED(hr))
                return hr;
            out.decVal = comlite::detail::DecimalToWire(dec);
            out.vt = VT_DECIMAL;
            return S_OK;
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
            if (src.vt != VT_UNKNOWN)
                return DISP_E_TYPEMISMATCH;
            out.vt = VT_DISPATCH;
            out.pdispVal = nullptr;
            if (!src.punkVal)
                return S_OK;  // nothing stays nothing
            void* object = nullptr;
            if (FAILED(src.punkVal->QueryInterface(IID_IDispatch, &object)))
                return DISP_E_TYPEMISMATCH;
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
