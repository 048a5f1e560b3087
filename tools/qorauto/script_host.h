#pragma once
// A small late-bound script host: creates automation objects by ProgID and calls them through
// IDispatch, one statement per line.
//
//   lock = CreateObject("QORCom.LockFile")     ' a variable holding an object ("Set" optional)
//   lock.Filename = "/tmp/site.lock"           ' property put
//   print lock.Lock(), lock.Filename           ' values, separated by one space
//   result = ras.GetFirstEntry(entry)          ' a bare variable argument is passed by
//   print result, entry                        '   reference, so [out] values land in it
//   ras.HangUp()                               ' a call whose result is dropped
//   msg.Parameter("Site") = "12"               ' a property put with arguments
//   print files.Find("/srv/*.XML")             ' an array prints as [a, b, c]
//   lock = Nothing                             ' releases the object
//
// Values: "text" (a doubled "" is one quote), integers (32-bit, else 64-bit), decimals, True,
// False, Empty, Null, Nothing, variables, and member calls on variables. Comments start with
// "'" or "#" at the start of a line, or "'" after a statement. Names ignore case.
//
// A failing call prints "HRESULT 0x8004201E (QORCom.GlobalQueue): Queue is full!" (the source
// and description when the object gave them) and the script goes on. Not thread-safe.

#include <istream>
#include <map>
#include <ostream>
#include <string>
#include <string_view>

#include "comlite/variant.h"

namespace qorauto {

class ScriptHost {
public:
    explicit ScriptHost(std::ostream& out, std::ostream& diagnostics)
        : out_(out), diagnostics_(diagnostics) {}
    ~ScriptHost();
    ScriptHost(const ScriptHost&) = delete;
    ScriptHost& operator=(const ScriptHost&) = delete;

    enum class Outcome { Ok, Failed, SyntaxError };

    // Runs one line. A syntax error is reported on the diagnostics stream with the line number;
    // a failed call is printed on the output stream.
    Outcome RunLine(std::string_view line, int lineNumber);

    // Runs every line; stops at the first syntax error. 0 when every statement succeeded, 1
    // when a call failed, 2 for a syntax error.
    int Run(std::istream& script);

private:
    struct Error;
    class Parser;
    comlite::Variant& Variable(const std::string& name);

    std::ostream& out_;
    std::ostream& diagnostics_;
    std::map<std::string, comlite::Variant> variables_;  // keys upper-cased
};

// The text a value prints as: text as is, True/False, numbers in the C locale, "" for Empty,
// an array of VARIANTs as "[a, b, c]".
std::string FormatValue(const VARIANT& value);

}  // namespace qorauto
