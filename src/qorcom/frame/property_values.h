#pragma once
// Text and boolean properties of the components: the one way they are stored and handed out.

#include <string>
#include <string_view>
#include <vector>

#include "comlite/bstr.h"
#include "comlite/types.h"
#include "qorcom/frame/errors.h"

namespace tw::qorcom {

inline VARIANT_BOOL ToVariantBool(bool value) {
    return value ? VARIANT_TRUE : VARIANT_FALSE;
}

// Stores a property's text (UTF-8; a null BSTR is the empty text).
inline HRESULT PutString(BSTR value, std::string* field) {
    return Guarded([&] {
        *field = value ? comlite::BstrToUtf8(value) : std::string();
        return S_OK;
    });
}

// Hands out a property's text as a new BSTR the caller frees; E_POINTER for a null out pointer.
inline HRESULT GetString(const std::string& field, BSTR* value) {
    if (!value)
        return E_POINTER;
    return Guarded([&] {
        *value = comlite::AllocBstrUtf8(field);
        return *value ? S_OK : E_OUTOFMEMORY;
    });
}

inline HRESULT GetBool(bool field, VARIANT_BOOL* value) {
    if (!value)
        return E_POINTER;
    *value = ToVariantBool(field);
    return S_OK;
}

// The entries of a ";"-separated list property (servers to try in turn, attachment paths), each
// without its surrounding blanks and line ends; empty entries are left out.
inline std::vector<std::string> SplitList(std::string_view list) {
    constexpr std::string_view kBlanks = " \t\r\n";
    std::vector<std::string> entries;
    for (;;) {
        const std::size_t semicolon = list.find(';');
        std::string_view entry = list.substr(0, semicolon);
        const std::size_t first = entry.find_first_not_of(kBlanks);
        if (first != std::string_view::npos)
            entries.emplace_back(entry.substr(first, entry.find_last_not_of(kBlanks) - first + 1));
        if (semicolon == std::string_view::npos)
            return entries;
        list.remove_prefix(semicolon + 1);
    }
}

}  // namespace tw::qorcom
