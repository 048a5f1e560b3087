#pragma once
// The thread's error object: how a failing method tells an automation caller what went wrong.
//
// Each thread has one slot. SetErrorInfo replaces what it holds (and takes a reference);
// GetErrorInfo hands the object to the caller and empties the slot, so an error is reported
// once. The slot lives in libcomlite.so, which is why the runtime is a shared library: every
// module of the process must see the same slot. An object left in the slot when its thread ends
// is released then.

#include <string_view>

#include "comlite/interfaces.h"

extern "C" {
// A new, empty error object (reference count 1) that also answers IErrorInfo.
HRESULT CreateErrorInfo(ICreateErrorInfo** result) noexcept;
// reserved must be 0. info NULL empties the slot.
HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info) noexcept;
// S_FALSE and *info NULL when the slot is empty.
HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** info) noexcept;
}

namespace comlite {

// Builds an error object from source and description, makes it the thread's current one and
// returns hr, so a method can end with `return comlite::ReportError(hr, source, text);`.
// hr is returned even when the error object cannot be built.
HRESULT ReportError(HRESULT hr, std::u16string_view source, std::u16string_view description);
HRESULT ReportErrorUtf8(HRESULT hr, std::string_view source, std::string_view description);

}  // namespace comlite
