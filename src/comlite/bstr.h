#pragma once
// BSTR: a UTF-16 string whose 32-bit byte count sits just before the first character and which
// is followed by a NUL character. The count, not the NUL, gives the length, so a BSTR may hold
// embedded NULs and an odd number of bytes (SysAllocStringByteLen carries binary data that way).
// A null BSTR means the empty string everywhere.
//
// Ownership follows COM: whoever receives a BSTR as an [out] value or a return value frees it
// with SysFreeString; [in] BSTRs stay owned by the caller. All functions are thread-safe.

#include <string>
#include <string_view>
#include <utility>

#include "comlite/types.h"

extern "C" {
// Copies a NUL-terminated string; NULL in gives NULL out.
BSTR SysAllocString(const OLECHAR* text) noexcept;
// `length` characters; text NULL gives that many zero characters. NULL when out of memory.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length) noexcept;
// `length` bytes (any count, odd included); text NULL gives zero bytes.
BSTR SysAllocStringByteLen(const char* bytes, UINT length) noexcept;
// Replace *target with a new copy; the old string is freed only after the copy was made, so
// the source may point into it. TRUE on success; on failure *target is unchanged.
INT SysReAllocString(BSTR* target, const OLECHAR* text) noexcept;
INT SysReAllocStringLen(BSTR* target, const OLECHAR* text, UINT length) noexcept;
void SysFreeString(BSTR text) noexcept;
// Characters (byte count / 2, rounded down); 0 for NULL.
UINT SysStringLen(BSTR text) noexcept;
UINT SysStringByteLen(BSTR text) noexcept;
}

namespace comlite {

// The characters of a BSTR (embedded NULs included); empty for NULL.
std::u16string_view BstrView(BSTR text);
// A new BSTR holding exactly these characters; NULL only when out of memory.
BSTR AllocBstr(std::u16string_view text);
BSTR AllocBstrUtf8(std::string_view utf8);
std::string BstrToUtf8(BSTR text);

// Owns one BSTR and frees it on destruction. Not thread-safe (a value type).
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::u16string_view text) : p_(AllocBstr(text)) {}
    static Bstr FromUtf8(std::string_view utf8) { return Attach(AllocBstrUtf8(utf8)); }
    static Bstr Attach(BSTR owned) {
        Bstr b;
        b.p_ = owned;
        return b;
    }
    Bstr(const Bstr& other) : p_(other.p_ ? AllocBstr(other.View()) : nullptr) {}
    Bstr(Bstr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    Bstr& operator=(Bstr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~Bstr() { SysFreeString(p_); }

    BSTR Get() const { return p_; }
    // Gives up ownership, for handing the string to a receiver that frees it.
    BSTR Detach() { return std::exchange(p_, nullptr); }
    // Frees the current string and returns the slot, for [out] BSTR* parameters.
    BSTR* Put() {
        SysFreeString(std::exchange(p_, nullptr));
        return &p_;
    }
    std::u16string_view View() const { return BstrView(p_); }
    std::string Utf8() const { return BstrToUtf8(p_); }
    UINT Length() const { return SysStringLen(p_); }

private:
    BSTR p_ = nullptr;
};

}  // namespace comlite
