#include "comlite/bstr.h"

#include <cstdlib>
#include <cstring>

#include "comlite/text.h"

namespace {

constexpr std::size_t kPrefix = sizeof(std::uint32_t);
// Room after the data: a NUL character even after an odd byte count (one pad byte + two).
constexpr std::size_t kTail = 3;
// Keeps the byte count representable and the allocation size free of overflow.
constexpr std::size_t kMaxBytes = 0x7FFFFFF0u;

// Allocates the block and writes the prefix and the terminator; the data bytes are zeroed so
// that a string allocated without a source is all NUL characters.
BSTR AllocBytes(const void* data, std::size_t bytes) noexcept {
    if (bytes > kMaxBytes)
        return nullptr;
    auto* block = static_cast<char*>(std::malloc(kPrefix + bytes + kTail));
    if (!block)
        return nullptr;
    const auto count = static_cast<std::uint32_t>(bytes);
    std::memcpy(block, &count, kPrefix);
    if (data)
        std::memcpy(block + kPrefix, data, bytes);
    else
        std::memset(block + kPrefix, 0, bytes);
    std::memset(block + kPrefix + bytes, 0, kTail);
    return reinterpret_cast<BSTR>(block + kPrefix);
}

std::uint32_t ByteCount(BSTR text) noexcept {
    std::uint32_t count;
    std::memcpy(&count, reinterpret_cast<const char*>(text) - kPrefix, kPrefix);
    return count;
}

std::size_t Length(const OLECHAR* text) noexcept {
    std::size_t n = 0;
    while (text[n]) ++n;
    return n;
}

}  // namespace

extern "C" {

BSTR SysAllocString(const OLECHAR* text) noexcept {
    if (!text)
        return nullptr;
    return AllocBytes(text, Length(text) * sizeof(OLECHAR));
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) noexcept {
    if (length > kMaxBytes / sizeof(OLECHAR))
        return nullptr;
    return AllocBytes(text, std::size_t{length} * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(const char* bytes, UINT length) noexcept {
    return AllocBytes(bytes, length);
}

INT SysReAllocString(BSTR* target, const OLECHAR* text) noexcept {
    if (!target)
        return FALSE;
    BSTR fresh = SysAllocString(text);
    if (text && !fresh)
        return FALSE;
    SysFreeString(*target);
    *target = fresh;
    return TRUE;
}

INT SysReAllocStringLen(BSTR* target, const OLECHAR* text, UINT length) noexcept {
    if (!target)
        return FALSE;
    BSTR fresh = SysAllocStringLen(text, length);
    if (!fresh)
        return FALSE;
    SysFreeString(*target);
    *target = fresh;
    return TRUE;
}

void SysFreeString(BSTR text) noexcept {
    if (text)
        std::free(reinterpret_cast<char*>(text) - kPrefix);
}

UINT SysStringLen(BSTR text) noexcept {
    return text ? ByteCount(text) / sizeof(OLECHAR) : 0;
}

UINT SysStringByteLen(BSTR text) noexcept {
    return text ? ByteCount(text) : 0;
}

}  // extern "C"

namespace comlite {

std::u16string_view BstrView(BSTR text) {
    return {text ? text : u"", SysStringLen(text)};
}

BSTR AllocBstr(std::u16string_view text) {
    return AllocBytes(text.data(), text.size() * sizeof(OLECHAR));
}

BSTR AllocBstrUtf8(std::string_view utf8) {
    return AllocBstr(Utf8ToUtf16(utf8));
}

std::string BstrToUtf8(BSTR text) {
    return Utf16ToUtf8(BstrView(text));
}

}  // namespace comlite
