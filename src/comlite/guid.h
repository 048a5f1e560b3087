#pragma once
// GUIDs and their registry string form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braced, upper
// case hex), which is how CLSIDs appear as registry key names.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "comlite/types.h"

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];

    friend constexpr bool operator==(const GUID& a, const GUID& b) {
        if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
            return false;
        for (int i = 0; i < 8; ++i)
            if (a.Data4[i] != b.Data4[i])
                return false;
        return true;
    }
};
static_assert(sizeof(GUID) == 16);

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using LPCLSID = CLSID*;

constexpr bool IsEqualGUID(REFGUID a, REFGUID b) {
    return a == b;
}
constexpr bool IsEqualIID(REFIID a, REFIID b) {
    return a == b;
}
constexpr bool IsEqualCLSID(REFCLSID a, REFCLSID b) {
    return a == b;
}

namespace comlite {

namespace detail {
constexpr int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
// Parses exactly "{8-4-4-4-12}" or the same without braces; case of the hex digits is free.
template <class Char>
constexpr bool ParseGuidChars(const Char* s, std::size_t n, GUID& out) {
    if (n == 38) {
        if (s[0] != '{' || s[37] != '}')
            return false;
        ++s;
        n = 36;
    }
    if (n != 36)
        return false;
    std::uint8_t bytes[16] = {};
    int b = 0;
    for (std::size_t i = 0; i < 36;) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (s[i] != '-')
                return false;
            ++i;
            continue;
        }
        if (s[i] > 0x7F || s[i + 1] > 0x7F)
            return false;
        const int hi = HexDigit(static_cast<char>(s[i]));
        const int lo = HexDigit(static_cast<char>(s[i + 1]));
        if (hi < 0 || lo < 0)
            return false;
        bytes[b++] = static_cast<std::uint8_t>(hi * 16 + lo);
        i += 2;
    }
    out.Data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                (std::uint32_t{bytes[2]} << 8) | bytes[3];
    out.Data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    out.Data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i) out.Data4[i] = bytes[8 + i];
    return true;
}
void GuidLiteralIsMalformed();  // never defined: reaching it at compile time is the error
}  // namespace detail

// A GUID from a literal, checked at compile time:
//   inline constexpr IID IID_IQORLockFile = comlite::MakeGuid("{69796218-70AF-444B-...}");
consteval GUID MakeGuid(std::string_view text) {
    GUID g{};
    if (!detail::ParseGuidChars(text.data(), text.size(), g))
        detail::GuidLiteralIsMalformed();
    return g;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
std::string GuidToString(const GUID& guid);
std::u16string GuidToU16String(const GUID& guid);
// Accepts the braced or bare form, hex digits in either case; nullopt for anything else.
std::optional<GUID> ParseGuid(std::string_view text);
std::optional<GUID> ParseGuid(std::u16string_view text);

}  // namespace comlite

inline constexpr GUID GUID_NULL{};
inline constexpr IID IID_NULL{};
inline constexpr CLSID CLSID_NULL{};
inline constexpr IID IID_IUnknown = comlite::MakeGuid("{00000000-0000-0000-C000-000000000046}");
inline constexpr IID IID_IClassFactory =
    comlite::MakeGuid("{00000001-0000-0000-C000-000000000046}");
inline constexpr IID IID_IDispatch = comlite::MakeGuid("{00020400-0000-0000-C000-000000000046}");
inline constexpr IID IID_ITypeInfo = comlite::MakeGuid("{00020401-0000-0000-C000-000000000046}");
inline constexpr IID IID_IErrorInfo = comlite::MakeGuid("{1CF2B120-547D-101B-8E65-08002B2BD119}");
inline constexpr IID IID_ICreateErrorInfo =
    comlite::MakeGuid("{22F03340-547D-101B-8E65-08002B2BD119}");
inline constexpr IID IID_ISupportErrorInfo =
    comlite::MakeGuid("{DF0B3D60-548F-101B-8E65-08002B2BD119}");

extern "C" {
// Writes the braced form and its terminating NUL; returns the characters written including the
// NUL (39), or 0 when cchMax is too small.
int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int cchMax) noexcept;
// *result is a CoTaskMemAlloc'd braced string the caller frees with CoTaskMemFree.
HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* result) noexcept;
HRESULT StringFromIID(REFIID iid, LPOLESTR* result) noexcept;
// The braced form only; anything else gives E_INVALIDARG.
HRESULT IIDFromString(LPCOLESTR text, IID* iid) noexcept;
// The braced form, or else a ProgID looked up in the registry (CLSIDFromProgID); CO_E_CLASSSTRING
// when neither works.
HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid) noexcept;
}
