#include "decimal_value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace comlite::detail {
namespace {

UInt128 PowerOfTen(int n) {
    UInt128 p = 1;
    for (int i = 0; i < n; ++i) p *= 10;
    return p;
}

// mantissa / 10^drop, rounded to even.
UInt128 DivideRoundingToEven(UInt128 mantissa, int drop) {
    if (drop <= 0)
        return mantissa;
    if (drop > 38)
        return 0;
    const UInt128 divisor = PowerOfTen(drop);
    UInt128 quotient = mantissa / divisor;
    const UInt128 remainder = mantissa % divisor;
    const UInt128 half = divisor / 2;
    if (remainder > half || (remainder == half && (quotient & 1)))
        ++quotient;
    return quotient;
}

std::string MantissaDigits(UInt128 m) {
    if (m == 0)
        return "0";
    std::string s;
    while (m) {
        s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
        m /= 10;
    }
    return s;
}

void DropTrailingZeros(DecimalValue& v) {
    while (v.scale > 0 && v.mantissa % 10 == 0) {
        v.mantissa /= 10;
        --v.scale;
    }
}

}  // namespace

HRESULT DecimalFromWire(const DECIMAL& in, DecimalValue& out) {
    if (in.scale > kMaxDecimalScale || (in.sign != 0 && in.sign != DECIMAL_NEG))
        return E_INVALIDARG;
    out.mantissa = (UInt128(in.Hi32) << 64) | in.Lo64;
    out.scale = in.scale;
    out.negative = in.sign == DECIMAL_NEG;
    return S_OK;
}

DECIMAL DecimalToWire(const DecimalValue& in) {
    DECIMAL d{};
    d.wReserved = VT_DECIMAL;
    d.scale = static_cast<BYTE>(in.scale);
    d.sign = in.negative && in.mantissa != 0 ? DECIMAL_NEG : 0;
    d.Hi32 = static_cast<ULONG>(in.mantissa >> 64);
    d.Lo64 = static_cast<ULONGLONG>(in.mantissa);
    return d;
}

DecimalValue DecimalFromInteger(long long value) {
    DecimalValue d;
    d.negative = value < 0;
    const auto bits = static_cast<unsigned long long>(value);
    d.mantissa = d.negative ? 0ull - bits : bits;  // INT64_MIN's magnitude included
    return d;
}

DecimalValue DecimalFromUnsigned(unsigned long long value) {
    DecimalValue d;
    d.mantissa = value;
    return d;
}

DecimalValue DecimalFromCurrency(long long tenThousandths) {
    DecimalValue d = DecimalFromInteger(tenThousandths);
    d.scale = 4;
    return d;
}

HRESULT DecimalFromReal(double value, int significantDigits, DecimalValue& out) {
    if (!std::isfinite(value))
        return DISP_E_OVERFLOW;
    if (value == 0) {
        out = DecimalValue{};
        return S_OK;
    }
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value,
                                 std::chars_format::scientific, significantDigits - 1);
    // "-d.ddddde+XX"
    DigitString text;
    const char* p = buffer;
    if (*p == '-') {
        text.negative = true;
        ++p;
    }
    int fractionDigits = 0;
    bool afterPoint = false;
    for (; p < r.ptr && *p != 'e'; ++p) {
        if (*p == '.') {
            afterPoint = true;
            continue;
        }
        text.digits.push_back(*p);
        if (afterPoint)
            ++fractionDigits;
    }
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), r.ptr, exponent);
    text.exponent = exponent - fractionDigits;
    return DecimalFromDigits(text, out);
}

HRESULT DecimalFromDigits(const DigitString& text, DecimalValue& out) {
    std::string digits = text.digits;
    int exponent = text.exponent;
    // Drop what lies beyond scale 28 or beyond 29 significant digits, rounding to even.
    int drop = 0;
    if (exponent < -kMaxDecimalScale)
        drop = -kMaxDecimalScale - exponent;
    if (static_cast<int>(digits.size()) - drop > 29)
        drop = static_cast<int>(digits.size()) - 29;
    if (drop > 0) {
        if (drop > static_cast<int>(digits.size())) {
            out = DecimalValue{};
            out.negative = text.negative;
            return S_OK;
        }
        const std::string kept = digits.substr(0, digits.size() - drop);
        const std::string gone = digits.substr(digits.size() - drop);
        bool up = gone[0] > '5';
        if (gone[0] == '5') {
            const bool beyondHalf = gone.find_first_not_of('0', 1) != std::string::npos;
            const bool odd = !kept.empty() && ((kept.back() - '0') & 1);
            up = beyondHalf || odd;
        }
        digits = kept;
        exponent += drop;
        UInt128 m = 0;
        for (char c : digits) m = m * 10 + static_cast<unsigned>(c - '0');
        if (up)
            ++m;
        digits = m == 0 ? "" : MantissaDigits(m);
    }
    UInt128 m = 0;
    for (char c : digits) {
        if (m > kMaxDecimalMantissa / 10)
            return DISP_E_OVERFLOW;
        m = m * 10 + static_cast<unsigned>(c - '0');
    }
    // A positive exponent scales the whole number up.
    for (; exponent > 0; --exponent) {
        if (m > kMaxDecimalMantissa / 10)
            return DISP_E_OVERFLOW;
        m *= 10;
    }
    if (m > kMaxDecimalMantissa)
        return DISP_E_OVERFLOW;
    // 29 digits may still reach past 2^96 at scale 0 or need one digit less at a scale.
    DecimalValue v{m, -exponent, text.negative};
    DropTrailingZeros(v);
    out = v;
    return S_OK;
}

DecimalValue RoundDecimal(const DecimalValue& value, int scale) {
    if (value.scale <= scale)
        return value;
    DecimalValue r = value;
    r.mantissa = DivideRoundingToEven(value.mantissa, value.scale - scale);
    r.scale = scale;
    return r;
}

bool DecimalToInteger(const DecimalValue& value, long long& out) {
    const UInt128 whole = RoundDecimal(value, 0).mantissa;
    const UInt128 limit = value.negative ? (UInt128(1) << 63) : (UInt128(1) << 63) - 1;
    if (whole > limit)
        return false;
    out = value.negative ? static_cast<long long>(0 - static_cast<unsigned long long>(whole))
                         : static_cast<long long>(whole);
    return true;
}

bool DecimalToUnsigned(const DecimalValue& value, unsigned long long& out) {
    const UInt128 whole = RoundDecimal(value, 0).mantissa;
    if (whole > ~0ull || (value.negative && whole != 0))
        return false;
    out = static_cast<unsigned long long>(whole);
    return true;
}

bool DecimalToCurrency(const DecimalValue& value, long long& out) {
    const DecimalValue rounded = RoundDecimal(value, 4);
    UInt128 m = rounded.mantissa;
    for (int s = rounded.scale; s < 4; ++s) {
        if (m > (UInt128(1) << 64))
            return false;
        m *= 10;
    }
    const UInt128 limit = value.negative ? (UInt128(1) << 63) : (UInt128(1) << 63) - 1;
    if (m > limit)
        return false;
    out = value.negative ? static_cast<long long>(0 - static_cast<unsigned long long>(m))
                         : static_cast<long long>(m);
    return true;
}

double DecimalToReal(const DecimalValue& value) {
    std::string text = MantissaDigits(value.mantissa);
    text += "e-" + std::to_string(value.scale);
    double d = 0;
    std::from_chars(text.data(), text.data() + text.size(), d);
    return value.negative ? -d : d;
}

std::string DecimalToText(const DecimalValue& value) {
    DecimalValue v = value;
    DropTrailingZeros(v);
    std::string digits = MantissaDigits(v.mantissa);
    if (v.scale > 0) {
        if (static_cast<int>(digits.size()) <= v.scale)
            digits.insert(0, static_cast<std::size_t>(v.scale) + 1 - digits.size(), '0');
        digits.insert(digits.size() - static_cast<std::size_t>(v.scale), 1, '.');
    }
    if (v.negative && v.mantissa != 0)
        digits.insert(0, 1, '-');
    return digits;
}

}  // namespace comlite::detail
