#include "comlite/guid.h"

#include <cstring>

#include "comlite/text.h"

namespace {
constexpr std::size_t kGuidChars = 38;  // braces included, NUL excluded
}  // namespace

namespace comlite {
namespace {

template <class Char>
void FormatGuid(const GUID& g, Char* out) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::uint8_t bytes[16] = {
        static_cast<std::uint8_t>(g.Data1 >> 24), static_cast<std::uint8_t>(g.Data1 >> 16),
        static_cast<std::uint8_t>(g.Data1 >> 8),  static_cast<std::uint8_t>(g.Data1),
        static_cast<std::uint8_t>(g.Data2 >> 8),  static_cast<std::uint8_t>(g.Data2),
        static_cast<std::uint8_t>(g.Data3 >> 8),  static_cast<std::uint8_t>(g.Data3)};
    std::memcpy(bytes + 8, g.Data4, 8);
    std::size_t pos = 0;
    out[pos++] = '{';
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out[pos++] = '-';
        out[pos++] = static_cast<Char>(kHex[bytes[i] >> 4]);
        out[pos++] = static_cast<Char>(kHex[bytes[i] & 0xF]);
    }
    out[pos++] = '}';
}

}  // namespace

std::string GuidToString(const GUID& guid) {
    std::string s(kGuidChars, '\0');
    FormatGuid(guid, s.data());
    return s;
}

std::u16string GuidToU16String(const GUID& guid) {
    std::u16string s(kGuidChars, u'\0');
    FormatGuid(guid, s.data());
    return s;
}

std::optional<GUID> ParseGuid(std::string_view text) {
    GUID g{};
    if (!detail::ParseGuidChars(text.data(), text.size(), g))
        return std::nullopt;
    return g;
}

std::optional<GUID> ParseGuid(std::u16string_view text) {
    GUID g{};
    if (!detail::ParseGuidChars(text.data(), text.size(), g))
        return std::nullopt;
    return g;
}

}  // namespace comlite

namespace {

std::size_t Length(LPCOLESTR text) {
    std::size_t n = 0;
    while (text[n]) ++n;
    return n;
}

HRESULT AllocGuidString(REFGUID guid, LPOLESTR* result) {
    if (!result)
        return E_INVALIDARG;
    *result = static_cast<LPOLESTR>(CoTaskMemAlloc((kGuidChars + 1) * sizeof(OLECHAR)));
    if (!*result)
        return E_OUTOFMEMORY;
    StringFromGUID2(guid, *result, kGuidChars + 1);
    return S_OK;
}

// Only the braced form counts as a GUID string where Windows asks for one.
bool ParseBraced(LPCOLESTR text, GUID& out) {
    const std::size_t n = Length(text);
    return n == kGuidChars && comlite::detail::ParseGuidChars(text, n, out);
}

}  // namespace

extern "C" {

int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int cchMax) noexcept {
    if (!buffer || cchMax < static_cast<int>(kGuidChars + 1))
        return 0;
    comlite::FormatGuid(guid, buffer);
    buffer[kGuidChars] = 0;
    return kGuidChars + 1;
}

HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* result) noexcept {
    return AllocGuidString(clsid, result);
}

HRESULT StringFromIID(REFIID iid, LPOLESTR* result) noexcept {
    return AllocGuidString(iid, result);
}

HRESULT IIDFromString(LPCOLESTR text, IID* iid) noexcept {
    if (!iid)
        return E_INVALIDARG;
    if (!text) {
        *iid = IID_NULL;
        return S_OK;
    }
    return ParseBraced(text, *iid) ? S_OK : E_INVALIDARG;
}

}  // extern "C"
