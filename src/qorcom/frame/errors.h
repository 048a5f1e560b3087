#pragma once
// How a qorcom method tells an automation caller what went wrong: an error object holding the
// component's unversioned "QORCom." ProgID as its source and the message as its description,
// and the HRESULT 0x80040000 | code (severity error, FACILITY_ITF).

#include <cstdint>
#include <new>
#include <string_view>
#include <system_error>

#include "comlite/types.h"

namespace tw::qorcom {

// The codes in use.
inline constexpr std::uint16_t kErrorPlain = 0;  // dial-up failures, a log file that cannot be set
inline constexpr std::uint16_t kErrorOperation = 0x201E;     // general failures with a message
inline constexpr std::uint16_t kErrorMapiSend = 0x201F;      // mail sending through MAPI
inline constexpr std::uint16_t kErrorNotSupported = 0x2020;  // not supported by this variant
inline constexpr std::uint16_t kErrorSftpNotConnected = 0x2021;
inline constexpr std::uint16_t kErrorNotImplemented = 0x2022;

constexpr HRESULT QorcomError(std::uint16_t code) {
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, code);
}

// Makes the error object the thread's current one and returns QorcomError(code). The HRESULT
// is returned even when the error object cannot be built. Texts are UTF-8 and are never used as
// format strings.
HRESULT RaiseError(std::string_view source, std::string_view message, std::uint16_t code);

// Runs the body of an interface method so that no C++ exception leaves it, whether the method
// is called through IDispatch or directly from C++: running out of memory gives E_OUTOFMEMORY,
// a system resource that cannot be had (a thread that cannot start, a lock the kernel refuses)
// E_FAIL, anything else E_UNEXPECTED.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::system_error&) {
        return E_FAIL;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace tw::qorcom
