#pragma once
// Texts the operating system provides: error texts and time stamps.

#include <ctime>
#include <string>

namespace tw::platform {

// The system's text for an errno value ("No such file or directory"), at most 511 characters,
// without a trailing line end; empty when the system has no text for the number.
std::string SystemErrorText(int error);

// The local time as ctime(3) prints it, without the newline: exactly 24 characters in the C
// locale, "Wed Jun 30 21:49:08 1993". Thread-safe (unlike ctime).
std::string CtimeStamp(std::time_t when);

// The wall clock, replaceable in tests.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::time_t Now() const = 0;
};

class SystemClock final : public Clock {
public:
    std::time_t Now() const override { return std::time(nullptr); }
    static const SystemClock& Instance();
};

}  // namespace tw::platform
