#pragma once
// Shared by the VARIANT, SAFEARRAY, conversion and dispatch code; not part of the public API.

#include <cstddef>

#include "comlite/variant.h"

namespace comlite::detail {

// Value types that a VARIANT may hold directly, by reference, or as array elements.
bool IsScalarType(VARTYPE base);
// Bytes of one value of a scalar type, or of a VARIANT; 0 for anything else.
std::size_t ValueSize(VARTYPE base);
// Whether vt (flags included) is a type this runtime handles inside a VARIANT.
bool IsValidVariantType(VARTYPE vt);
bool IsValidElementType(VARTYPE base);

// Releases what one value of type `base` (scalar or VARIANT) at `slot` owns and zeroes it.
void ReleaseValue(VARTYPE base, void* slot);
// Copies one value of type `base` from `from` into the uninitialised `to`, duplicating what it
// owns. On failure `to` is zeroed (or VT_EMPTY).
HRESULT CopyValue(VARTYPE base, const void* from, void* to);

// For a VT_BYREF variant: a non-owning VARIANT holding the value it points at. A reference to a
// VARIANT yields that VARIANT itself (one level; a reference to a reference is refused).
// Returns false when src is not VT_BYREF or points nowhere.
bool Dereference(const VARIANT& src, VARIANT& view);

BSTR CopyBstr(BSTR source);  // keeps the exact byte count; NULL for NULL

}  // namespace comlite::detail
