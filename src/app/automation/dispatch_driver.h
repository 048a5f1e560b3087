#pragma once
// Calling automation objects late-bound, by DISPID, through IDispatch: the one way Tidewell
// talks to the dial-up object and to the back office's posting server.
//
// Failed calls throw, so that a caller can catch at the call site and report through
// ReportDispatchException / ReportException as for every automation call:
// - DispatchException when the object raised an automation exception (DISP_E_EXCEPTION): the
//   error code and description come from the EXCEPINFO it filled in;
// - ComError when the call itself failed (unknown member, wrong arguments, creation failed).

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "comlite/bstr.h"
#include "comlite/com_ptr.h"
#include "comlite/interfaces.h"
#include "comlite/variant.h"
#include "messages/message.h"

namespace tw {

// A COM call that failed with an HRESULT other than an automation exception.
class ComError : public std::runtime_error {
public:
    ComError(HRESULT result, const std::string& text) : std::runtime_error(text), result_(result) {}
    HRESULT Result() const { return result_; }

private:
    HRESULT result_;
};

// A short English text for an HRESULT ("Member not found.", "Class not registered."), or
// "Error 0x8004xxxx." for codes without one.
std::string HresultText(HRESULT result);

// The DispatchException an automation exception stands for. The error code is the EXCEPINFO's
// scode, or its wCode when the object set only that; the text is its description, or the
// code's text when the object gave none. Runs the deferred fill-in first, and frees the
// EXCEPINFO's strings (it is left zeroed).
DispatchException TakeDispatchException(EXCEPINFO& info);

// Owns one reference to an automation object (or none) and calls it. Copies share the object.
// Not thread-safe: one thread at a time uses a driver, as with the object behind it.
class DispatchDriver {
public:
    DispatchDriver() = default;
    explicit DispatchDriver(comlite::ComPtr<IDispatch> object) : object_(std::move(object)) {}

    // Creates the object by ProgID (in-process servers of the registry). Returns S_OK or the
    // failing HRESULT, with *detail saying why in words (the loader's or registry's message)
    // when given. The driver is left empty on failure.
    HRESULT Create(const std::string& progId, std::string* detail = nullptr);

    explicit operator bool() const { return static_cast<bool>(object_); }
    IDispatch* Get() const { return object_.Get(); }
    // Drops this driver's reference.
    void Release() { object_.Reset(); }

    // Calls a member. `args` are in declaration order (the first parameter first); they stay
    // owned by the caller, and by-reference ones (VT_BYREF) receive the member's [out] values.
    // Returns the member's result (VT_EMPTY when it has none). An empty driver throws ComError
    // (E_POINTER).
    comlite::Variant Invoke(DISPID member, WORD flags, std::span<VARIANT> args = {});
    comlite::Variant CallMethod(DISPID member, std::span<VARIANT> args = {}) {
        return Invoke(member, DISPATCH_METHOD, args);
    }
    comlite::Variant GetProperty(DISPID member);
    void SetProperty(DISPID member, const VARIANT& value);

    // The DISPID of a member name (for objects called by name). Throws ComError when unknown.
    DISPID GetIdOfName(std::string_view name);

private:
    comlite::ComPtr<IDispatch> object_;
};

// Argument builders for DispatchDriver calls.
comlite::Variant ShortArgument(std::int16_t value);
comlite::Variant LongArgument(std::int32_t value);
comlite::Variant BoolArgument(bool value);
comlite::Variant TextArgument(std::string_view utf8);
// An object reference (VT_DISPATCH, its own reference taken); null gives VT_EMPTY.
comlite::Variant DispatchArgument(IDispatch* object);
// [out] BSTR: VT_BYREF | VT_BSTR pointing at target, which receives the string (its old value
// is freed first).
VARIANT BstrOutArgument(comlite::Bstr& target);
// [out] VARIANT: VT_BYREF | VT_VARIANT pointing at target (cleared first).
VARIANT VariantOutArgument(comlite::Variant& target);

// Reading results: automation objects are free to answer in a compatible type (a boolean as a
// VT_I4, a number as text), so results are coerced by the automation rules. VT_EMPTY and
// VT_NULL give false, 0 or "". Coercions that fail throw ComError (DISP_E_TYPEMISMATCH).
bool ResultAsBool(const VARIANT& value);
std::int32_t ResultAsLong(const VARIANT& value);
std::string ResultAsText(const VARIANT& value);

}  // namespace tw
