#pragma once
// Late binding without type libraries: every dispatch interface describes its members in a
// constexpr table next to its declaration, and one engine (DispatchGetIDsOfNames,
// DispatchInvoke) serves IDispatch for every object from such a table.
//
//   struct IQORLockFile : IDispatch {
//       virtual HRESULT STDMETHODCALLTYPE Lock(VARIANT_BOOL* result) = 0;
//       virtual HRESULT STDMETHODCALLTYPE get_Filename(BSTR* value) = 0;
//       virtual HRESULT STDMETHODCALLTYPE put_Filename(BSTR value) = 0;
//   };
//   inline constexpr comlite::DispatchMember kLockFileMembers[] = {
//       comlite::Method<&IQORLockFile::Lock>(0x60020000, "Lock", {comlite::RetVal(VT_BOOL)}),
//       comlite::PropertyGet<&IQORLockFile::get_Filename>(0x60020002, "Filename",
//                                                         {comlite::RetVal(VT_BSTR)}),
//       comlite::PropertyPut<&IQORLockFile::put_Filename>(0x60020002, "Filename",
//                                                         {comlite::In(VT_BSTR)}),
//   };
//
// The builders check at compile time that the declared parameter kinds fit the C++ signature
// (count, direction, value type), so a table cannot drift from its interface unnoticed.
//
// C++ parameter types per declared VARTYPE: VT_I1 int8_t, VT_UI1 uint8_t, VT_I2 and VT_BOOL
// int16_t (SHORT, VARIANT_BOOL), VT_UI2 uint16_t, VT_I4, VT_INT and VT_ERROR int32_t (LONG),
// VT_UI4 and VT_UINT uint32_t, VT_I8 int64_t, VT_UI8 uint64_t, VT_R4 float, VT_R8 and VT_DATE
// double, VT_CY CY, VT_DECIMAL DECIMAL, VT_BSTR BSTR, VT_DISPATCH IDispatch*, VT_UNKNOWN IUnknown*,
// VT_VARIANT VARIANT (by value) and VT_ARRAY|x SAFEARRAY*. Out, InOut and RetVal parameters take a
// pointer to that type.

#include <array>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "comlite/interfaces.h"

namespace comlite {

enum class ParamDir : std::uint8_t {
    In,      // value passed in; the engine coerces the caller's argument to the declared type
    Out,     // [out]: the method writes *p; the caller's argument must be VT_BYREF of the
             // declared type, or VT_BYREF|VT_VARIANT (script hosts pass that)
    InOut,   // [in, out]: as Out, and *p holds the caller's value on entry
    RetVal,  // [out, retval]: last parameter; its value becomes Invoke's result
};

struct ParamDesc {
    VARTYPE vt = VT_EMPTY;
    ParamDir dir = ParamDir::In;
    bool optional = false;       // only for [in] VARIANT: missing arrives as VT_ERROR /
                                 // DISP_E_PARAMNOTFOUND, as automation does
    const char* name = nullptr;  // for named arguments; may be null
};

constexpr ParamDesc In(VARTYPE vt, const char* name = nullptr) {
    return {vt, ParamDir::In, false, name};
}
constexpr ParamDesc OptionalIn(const char* name = nullptr) {
    return {VT_VARIANT, ParamDir::In, true, name};
}
constexpr ParamDesc Out(VARTYPE vt, const char* name = nullptr) {
    return {vt, ParamDir::Out, false, name};
}
constexpr ParamDesc InOut(VARTYPE vt, const char* name = nullptr) {
    return {vt, ParamDir::InOut, false, name};
}
constexpr ParamDesc RetVal(VARTYPE vt, const char* name = nullptr) {
    return {vt, ParamDir::RetVal, false, name};
}

enum class MemberKind : WORD {
    Method = DISPATCH_METHOD,
    PropertyGet = DISPATCH_PROPERTYGET,
    PropertyPut = DISPATCH_PROPERTYPUT,
    PropertyPutRef = DISPATCH_PROPERTYPUTREF,
};

inline constexpr std::size_t kMaxDispatchParams = 16;

// Calls the member on `self` with one VARIANT per declared parameter, in declaration order:
// [in] values already of the declared type, everything else VT_BYREF of it.
using DispatchThunk = HRESULT (*)(IDispatch* self, VARIANT* args);

struct DispatchMember {
    DISPID dispid = DISPID_UNKNOWN;
    const char* name = nullptr;  // ASCII, matched ignoring case
    MemberKind kind = MemberKind::Method;
    std::uint8_t paramCount = 0;
    std::array<ParamDesc, kMaxDispatchParams> params{};
    DispatchThunk call = nullptr;
};

using DispatchTable = std::span<const DispatchMember>;

// IDispatch::GetIDsOfNames from a table: names[0] is a member name, names[1..] names of its
// parameters, whose DISPIDs are their positions (0-based). Unknown names get DISPID_UNKNOWN and
// the result DISP_E_UNKNOWNNAME (the known ones are still filled in).
HRESULT DispatchGetIDsOfNames(DispatchTable table, REFIID riid, LPOLESTR* names, UINT count,
                              DISPID* ids);

// IDispatch::Invoke from a table, on `self` (the object's face for the table's interface).
//
// Finds the member by DISPID and by the kind bits of `flags`; maps the arguments (reverse order,
// named arguments, DISPID_PROPERTYPUT for the value of a put, which is required as on Windows);
// coerces [in] arguments (VT_BYREF ones are read through; an [in] VARIANT arrives dereferenced);
// passes [out] storage; calls; copies [out] values back and the [out, retval] value into
// *result (released when result is NULL). *result is treated as uninitialised: it is set to
// VT_EMPTY first, never cleared. The thread's error object is cleared before the call.
// When the method fails and excepInfo is given, returns DISP_E_EXCEPTION with excepInfo filled
// from the error object the method left (scode = the method's HRESULT); without excepInfo the
// method's HRESULT is returned as is. A C++ exception escaping the method is caught and reported
// the same way (E_OUTOFMEMORY for bad_alloc, E_FAIL with what() otherwise).
//
// Argument errors: DISP_E_MEMBERNOTFOUND, DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTFOUND (unknown or
// repeated named argument), DISP_E_PARAMNOTOPTIONAL, DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW
// (coercion failed); *argErr then holds the index in rgvarg of the argument at fault.
// [out] values are written back only when the method succeeded.
HRESULT DispatchInvoke(DispatchTable table, IDispatch* self, DISPID member, REFIID riid, LCID lcid,
                       WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                       UINT* argErr);

// The member with this name (ignoring case), or nullptr.
const DispatchMember* FindMember(DispatchTable table, std::u16string_view name);

// ---- Table builders -------------------------------------------------------------------------

namespace detail {

void DeclaredParametersDoNotMatchTheMethod();  // never defined: reaching it fails compilation
void TooManyDispatchParameters();
void RetValMustBeLastAndSingle();
void OptionalOnlyForInVariant();
void PutNeedsOneValueAndNoRetVal();

template <class F>
struct MethodTraits;
template <class C, class... A>
struct MethodTraits<HRESULT (C::*)(A...)> {
    using Class = C;
    using Args = std::tuple<A...>;
};
template <class C, class... A>
struct MethodTraits<HRESULT (C::*)(A...) noexcept> : MethodTraits<HRESULT (C::*)(A...)> {};

template <class T>
consteval bool ValueTypeFits(VARTYPE vt) {
    if (vt & VT_ARRAY)
        return std::is_same_v<T, SAFEARRAY*>;
    if constexpr (std::is_same_v<T, std::int8_t>)
        return vt == VT_I1;
    else if constexpr (std::is_same_v<T, std::uint8_t>)
        return vt == VT_UI1;
    else if constexpr (std::is_same_v<T, std::int16_t>)
        return vt == VT_I2 || vt == VT_BOOL;
    else if constexpr (std::is_same_v<T, std::uint16_t>)
        return vt == VT_UI2;
    else if constexpr (std::is_same_v<T, std::int32_t>)
        return vt == VT_I4 || vt == VT_INT || vt == VT_ERROR;
    else if constexpr (std::is_same_v<T, std::uint32_t>)
        return vt == VT_UI4 || vt == VT_UINT;
    else if constexpr (std::is_same_v<T, std::int64_t>)
        return vt == VT_I8;
    else if constexpr (std::is_same_v<T, std::uint64_t>)
        return vt == VT_UI8;
    else if constexpr (std::is_same_v<T, float>)
        return vt == VT_R4;
    else if constexpr (std::is_same_v<T, double>)
        return vt == VT_R8 || vt == VT_DATE;
    else if constexpr (std::is_same_v<T, CY>)
        return vt == VT_CY;
    else if constexpr (std::is_same_v<T, DECIMAL>)
        return vt == VT_DECIMAL;
    else if constexpr (std::is_same_v<T, BSTR>)
        return vt == VT_BSTR;
    else if constexpr (std::is_same_v<T, IDispatch*>)
        return vt == VT_DISPATCH;
    else if constexpr (std::is_same_v<T, IUnknown*>)
        return vt == VT_UNKNOWN;
    else if constexpr (std::is_same_v<T, VARIANT>)
        return vt == VT_VARIANT;
    else
        return false;
}

template <class T>
consteval bool ParamFits(const ParamDesc& p) {
    if (p.dir == ParamDir::In)
        return ValueTypeFits<T>(p.vt);
    if constexpr (std::is_pointer_v<T>)
        return ValueTypeFits<std::remove_pointer_t<T>>(p.vt);
    else
        return false;
}

template <class T>
T Extract(VARIANT& arg) {
    if constexpr (std::is_same_v<T, VARIANT>) {
        return arg;  // shallow: an [in] VARIANT stays owned by the engine
    } else if constexpr (std::is_same_v<T, DECIMAL>) {
        return arg.decVal;  // overlays the whole VARIANT, not only its value part
    } else if constexpr (std::is_same_v<T, VARIANT*>) {
        return arg.pvarVal;
    } else if constexpr (std::is_pointer_v<T> && !std::is_same_v<T, BSTR> &&
                         !std::is_same_v<T, IDispatch*> && !std::is_same_v<T, IUnknown*> &&
                         !std::is_same_v<T, SAFEARRAY*>) {
        return static_cast<T>(arg.byref);
    } else {
        // [in] values live at the start of the union, whatever their type.
        T value;
        std::memcpy(&value, &arg.llVal, sizeof value);
        return value;
    }
}

template <auto Fn, class Args, std::size_t... I>
HRESULT CallWith(IDispatch* self, VARIANT* args, std::index_sequence<I...>) {
    using C = typename MethodTraits<decltype(Fn)>::Class;
    return (static_cast<C*>(self)->*Fn)(Extract<std::tuple_element_t<I, Args>>(args[I])...);
}

template <auto Fn>
HRESULT Thunk(IDispatch* self, VARIANT* args) {
    using Args = typename MethodTraits<decltype(Fn)>::Args;
    return CallWith<Fn, Args>(self, args, std::make_index_sequence<std::tuple_size_v<Args>>{});
}

template <class Args, std::size_t... I>
consteval bool AllParamsFit(const ParamDesc* params, std::index_sequence<I...>) {
    return (ParamFits<std::tuple_element_t<I, Args>>(params[I]) && ...);
}

template <auto Fn>
consteval DispatchMember Build(DISPID dispid, const char* name, MemberKind kind,
                               std::initializer_list<ParamDesc> params) {
    using Traits = MethodTraits<decltype(Fn)>;
    static_assert(std::is_base_of_v<IDispatch, typename Traits::Class>,
                  "dispatch members belong to interfaces derived from IDispatch");
    using Args = typename Traits::Args;
    constexpr std::size_t n = std::tuple_size_v<Args>;
    if (params.size() > kMaxDispatchParams)
        TooManyDispatchParameters();
    if (params.size() != n)
        DeclaredParametersDoNotMatchTheMethod();
    DispatchMember m;
    m.dispid = dispid;
    m.name = name;
    m.kind = kind;
    m.paramCount = static_cast<std::uint8_t>(params.size());
    std::size_t i = 0;
    std::size_t retvals = 0, values = 0;
    for (const ParamDesc& p : params) {
        if (p.dir == ParamDir::RetVal && (i + 1 != params.size() || retvals++ > 0))
            RetValMustBeLastAndSingle();
        if (p.dir != ParamDir::RetVal)
            ++values;
        if (p.optional && (p.dir != ParamDir::In || p.vt != VT_VARIANT))
            OptionalOnlyForInVariant();
        m.params[i++] = p;
    }
    if ((kind == MemberKind::PropertyPut || kind == MemberKind::PropertyPutRef) &&
        (retvals != 0 || values == 0))
        PutNeedsOneValueAndNoRetVal();
    if constexpr (n > 0) {
        if (!AllParamsFit<Args>(m.params.data(), std::make_index_sequence<n>{}))
            DeclaredParametersDoNotMatchTheMethod();
    }
    m.call = &Thunk<Fn>;
    return m;
}

}  // namespace detail

template <auto Fn>
consteval DispatchMember Method(DISPID dispid, const char* name,
                                std::initializer_list<ParamDesc> params = {}) {
    return detail::Build<Fn>(dispid, name, MemberKind::Method, params);
}
template <auto Fn>
consteval DispatchMember PropertyGet(DISPID dispid, const char* name,
                                     std::initializer_list<ParamDesc> params) {
    return detail::Build<Fn>(dispid, name, MemberKind::PropertyGet, params);
}
template <auto Fn>
consteval DispatchMember PropertyPut(DISPID dispid, const char* name,
                                     std::initializer_list<ParamDesc> params) {
    return detail::Build<Fn>(dispid, name, MemberKind::PropertyPut, params);
}
template <auto Fn>
consteval DispatchMember PropertyPutRef(DISPID dispid, const char* name,
                                        std::initializer_list<ParamDesc> params) {
    return detail::Build<Fn>(dispid, name, MemberKind::PropertyPutRef, params);
}

}  // namespace comlite
