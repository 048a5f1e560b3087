#pragma once
// Text and boolean properties of the components: the one way they are stored and handed out.

#include <string>

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

}  // namespace tw::qorcom
