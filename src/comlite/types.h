#pragma once
// The scalar types, result codes and constants of COM and OLE Automation, with their Windows
// names and values. Code ported from Windows uses them unchanged; only the widths follow the
// Windows data model (a COM `long` is 32 bits here too), never the LP64 one.

#include <cstddef>
#include <cstdint>

// No calling-convention decoration on x86_64 Linux; kept so that ported declarations compile.
#define STDMETHODCALLTYPE
#define STDAPICALLTYPE

using BYTE = std::uint8_t;
using CHAR = char;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using WORD = std::uint16_t;
using INT = std::int32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using BOOL = std::int32_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using FLOAT = float;
using DOUBLE = double;
using LPVOID = void*;

using HRESULT = std::int32_t;
using SCODE = std::int32_t;
using LCID = std::uint32_t;
using DISPID = std::int32_t;
using MEMBERID = DISPID;
using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;
// OLE automation date: days since 1899-12-30 00:00, the fraction being the time of day.
using DATE = double;

using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
// Length-prefixed string; see comlite/bstr.h.
using BSTR = OLECHAR*;

// Some C libraries define these as macros already; theirs have the same values.
#ifndef TRUE
inline constexpr BOOL TRUE = 1;
#endif
#ifndef FALSE
inline constexpr BOOL FALSE = 0;
#endif
// An automation true is all bits set; comparing with `true` or TRUE is a classic bug.
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// ---- HRESULT layout -------------------------------------------------------------------------

inline constexpr int SEVERITY_SUCCESS = 0;
inline constexpr int SEVERITY_ERROR = 1;
inline constexpr int FACILITY_NULL = 0;
inline constexpr int FACILITY_RPC = 1;
inline constexpr int FACILITY_DISPATCH = 2;
inline constexpr int FACILITY_ITF = 4;
inline constexpr int FACILITY_WIN32 = 7;

constexpr HRESULT MAKE_HRESULT(unsigned severity, unsigned facility, unsigned code) {
    return static_cast<HRESULT>((severity << 31) | (facility << 16) | (code & 0xFFFFu));
}
constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}
constexpr int HRESULT_CODE(HRESULT hr) {
    return hr & 0xFFFF;
}
constexpr int HRESULT_FACILITY(HRESULT hr) {
    return (hr >> 16) & 0x1FFF;
}
constexpr HRESULT HRESULT_FROM_WIN32(unsigned long error) {
    return static_cast<HRESULT>(error) <= 0
               ? static_cast<HRESULT>(error)
               : static_cast<HRESULT>((error & 0xFFFFu) | (FACILITY_WIN32 << 16) | 0x80000000u);
}

namespace comlite::detail {
constexpr HRESULT Hr(std::uint32_t value) {
    return static_cast<HRESULT>(value);
}
}  // namespace comlite::detail

// ---- Result codes ---------------------------------------------------------------------------

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT NOERROR = 0;

inline constexpr HRESULT E_UNEXPECTED = comlite::detail::Hr(0x8000FFFF);
inline constexpr HRESULT E_NOTIMPL = comlite::detail::Hr(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = comlite::detail::Hr(0x80004002);
inline constexpr HRESULT E_POINTER = comlite::detail::Hr(0x80004003);
inline constexpr HRESULT E_ABORT = comlite::detail::Hr(0x80004004);
inline constexpr HRESULT E_FAIL = comlite::detail::Hr(0x80004005);
inline constexpr HRESULT E_ACCESSDENIED = comlite::detail::Hr(0x80070005);
inline constexpr HRESULT E_HANDLE = comlite::detail::Hr(0x80070006);
inline constexpr HRESULT E_OUTOFMEMORY = comlite::detail::Hr(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = comlite::detail::Hr(0x80070057);

inline constexpr HRESULT CLASS_E_NOAGGREGATION = comlite::detail::Hr(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = comlite::detail::Hr(0x80040111);
inline constexpr HRESULT REGDB_E_READREGDB = comlite::detail::Hr(0x80040150);
inline constexpr HRESULT REGDB_E_WRITEREGDB = comlite::detail::Hr(0x80040151);
inline constexpr HRESULT REGDB_E_KEYMISSING = comlite::detail::Hr(0x80040152);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = comlite::detail::Hr(0x80040154);
inline constexpr HRESULT SELFREG_E_TYPELIB = comlite::detail::Hr(0x80040200);
inline constexpr HRESULT SELFREG_E_CLASS = comlite::detail::Hr(0x80040201);
inline constexpr HRESULT CO_E_NOTINITIALIZED = comlite::detail::Hr(0x800401F0);
inline constexpr HRESULT CO_E_CLASSSTRING = comlite::detail::Hr(0x800401F3);
inline constexpr HRESULT CO_E_DLLNOTFOUND = comlite::detail::Hr(0x800401F8);
inline constexpr HRESULT CO_E_ERRORINDLL = comlite::detail::Hr(0x800401F9);

inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = comlite::detail::Hr(0x80020001);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = comlite::detail::Hr(0x80020003);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = comlite::detail::Hr(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = comlite::detail::Hr(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = comlite::detail::Hr(0x80020006);
inline constexpr HRESULT DISP_E_NONAMEDARGS = comlite::detail::Hr(0x80020007);
inline constexpr HRESULT DISP_E_BADVARTYPE = comlite::detail::Hr(0x80020008);
inline constexpr HRESULT DISP_E_EXCEPTION = comlite::detail::Hr(0x80020009);
inline constexpr HRESULT DISP_E_OVERFLOW = comlite::detail::Hr(0x8002000A);
inline constexpr HRESULT DISP_E_BADINDEX = comlite::detail::Hr(0x8002000B);
inline constexpr HRESULT DISP_E_UNKNOWNLCID = comlite::detail::Hr(0x8002000C);
inline constexpr HRESULT DISP_E_ARRAYISLOCKED = comlite::detail::Hr(0x8002000D);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = comlite::detail::Hr(0x8002000E);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = comlite::detail::Hr(0x8002000F);
inline constexpr HRESULT DISP_E_BADCALLEE = comlite::detail::Hr(0x80020010);
inline constexpr HRESULT DISP_E_NOTACOLLECTION = comlite::detail::Hr(0x80020011);
inline constexpr HRESULT DISP_E_DIVBYZERO = comlite::detail::Hr(0x80020012);
inline constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = comlite::detail::Hr(0x8002802B);

// ---- Constants ------------------------------------------------------------------------------

inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;
inline constexpr DISPID DISPID_NEWENUM = -4;

inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
inline constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;

inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
inline constexpr LCID LOCALE_NEUTRAL = 0x0000;

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr DWORD CLSCTX_SERVER =
    CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
inline constexpr DWORD CLSCTX_ALL = CLSCTX_SERVER | CLSCTX_INPROC_HANDLER;

inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
inline constexpr DWORD COINIT_MULTITHREADED = 0x0;

// ---- Task memory ----------------------------------------------------------------------------
// Memory that crosses an interface boundary (strings from StringFromCLSID, ProgIDFromCLSID)
// comes from here and goes back here, whichever module frees it.
extern "C" {
void* CoTaskMemAlloc(std::size_t size) noexcept;
void* CoTaskMemRealloc(void* block, std::size_t size) noexcept;
void CoTaskMemFree(void* block) noexcept;
}
