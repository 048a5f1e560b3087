#pragma once
// Exact decimal arithmetic behind VT_DECIMAL and VT_CY conversions; not part of the public API.
//
// A DecimalValue is a 96-bit magnitude scaled down by 10^scale (0..28) with a sign: the value
// set of DECIMAL. Rounding is always to even ("banker's rounding"), as every automation
// conversion into DECIMAL, CY and the integer types rounds. Plain values, no state, no locks.

#include <cstdint>
#include <string>
#include <string_view>

#include "comlite/variant.h"

namespace comlite::detail {

using UInt128 = unsigned __int128;

inline constexpr int kMaxDecimalScale = 28;
inline constexpr UInt128 kMaxDecimalMantissa = (UInt128(1) << 96) - 1;
inline constexpr long long kCurrencyScale = 10000;

struct DecimalValue {
    UInt128 mantissa = 0;  // at most kMaxDecimalMantissa
    int scale = 0;         // 0..kMaxDecimalScale
    bool negative = false;

    bool IsZero() const { return mantissa == 0; }
};

// E_INVALIDARG for a DECIMAL with a scale above 28 or a sign byte other than 0 and 0x80.
HRESULT DecimalFromWire(const DECIMAL& in, DecimalValue& out);
DECIMAL DecimalToWire(const DecimalValue& in);

// Exact for every 64-bit integer.
DecimalValue DecimalFromInteger(long long value);
DecimalValue DecimalFromUnsigned(unsigned long long value);
// A currency value keeps its four decimal places (1 becomes 1.0000).
DecimalValue DecimalFromCurrency(long long tenThousandths);
// The double's value rounded to `significantDigits` (15 for doubles and dates, 7 for singles)
// with trailing zeros dropped, so 0.1 is exactly 0.1. DISP_E_OVERFLOW beyond the range or for
// NaN and infinities.
HRESULT DecimalFromReal(double value, int significantDigits, DecimalValue& out);

// A decimal number held as its digits: value = digits * 10^exponent. `digits` holds no leading
// zeros ("" for zero). Used for text in both directions.
struct DigitString {
    std::string digits;
    int exponent = 0;
    bool negative = false;
};
// Fits the digits into a DecimalValue, rounding away digits beyond scale 28 or beyond 29
// significant digits to even; trailing zeros after the point are dropped ("1.50" is 1.5).
// DISP_E_OVERFLOW when the whole part does not fit in 96 bits.
HRESULT DecimalFromDigits(const DigitString& text, DecimalValue& out);

// Rounds to at most `scale` decimal places, ties to even.
DecimalValue RoundDecimal(const DecimalValue& value, int scale);
// The whole value rounded to even; false when it does not fit in 64 bits of the given kind.
bool DecimalToInteger(const DecimalValue& value, long long& out);
bool DecimalToUnsigned(const DecimalValue& value, unsigned long long& out);
// Ten-thousandths rounded to even; false when outside the currency range.
bool DecimalToCurrency(const DecimalValue& value, long long& out);
// The nearest double.
double DecimalToReal(const DecimalValue& value);
// "-12.5", "0.0009", "79228162514264337593543950335": no exponent, no trailing zeros after the
// point, no point for whole values.
std::string DecimalToText(const DecimalValue& value);

}  // namespace comlite::detail
