#include "qorauto/script_host.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <deque>
#include <optional>
#include <vector>

#include "comlite/activation.h"
#include "comlite/com_ptr.h"
#include "comlite/text.h"

namespace qorauto {

using comlite::Variant;

// A failed call: printed, then the script goes on.
struct ScriptHost::Error {
    HRESULT hr;
    std::string source;
    std::string description;
};

namespace {

struct SyntaxError {
    std::string text;
};

enum class TokenKind { Name, Text, Number, Punct, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;
};

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool IsNameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

std::vector<Token> Tokenize(std::string_view line) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '\'') {
            break;  // comment to the end of the line
        } else if (c == '"') {
            std::string text;
            ++i;
            for (;;) {
                if (i >= line.size())
                    throw SyntaxError{"unterminated text"};
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        text += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += line[i++];
            }
            tokens.push_back({TokenKind::Text, std::move(text)});
        } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                   (c == '-' && i + 1 < line.size() &&
                    std::isdigit(static_cast<unsigned char>(line[i + 1])))) {
            const std::size_t start = i++;
            while (i < line.size() &&
                   (std::isdigit(static_cast<unsigned char>(line[i])) || line[i] == '.'))
                ++i;
            tokens.push_back({TokenKind::Number, std::string(line.substr(start, i - start))});
        } else if (IsNameStart(c)) {
            const std::size_t start = i;
            while (i < line.size() && IsNameChar(line[i])) ++i;
            tokens.push_back({TokenKind::Name, std::string(line.substr(start, i - start))});
        } else if (c == '(' || c == ')' || c == ',' || c == '.' || c == '=') {
            tokens.push_back({TokenKind::Punct, std::string(1, c)});
            ++i;
        } else {
            throw SyntaxError{std::string("unexpected character '") + c + "'"};
        }
    }
    tokens.push_back({TokenKind::End, {}});
    return tokens;
}

Variant NumberValue(const std::string& text) {
    if (text.find('.') != std::string::npos) {
        double value = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (ec != std::errc() || end != text.data() + text.size())
            throw SyntaxError{"malformed number " + text};
        return Variant::R8(value);
    }
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        throw SyntaxError{"malformed number " + text};
    if (value >= INT32_MIN && value <= INT32_MAX)
        return Variant::I4(static_cast<LONG>(value));
    Variant v;
    v.vt = VT_I8;
    v.llVal = value;
    return v;
}

std::string KnownDescription(HRESULT hr) {
    switch (hr) {
        case DISP_E_UNKNOWNNAME:
            return "Unknown name.";
        case DISP_E_MEMBERNOTFOUND:
            return "Member not found.";
        case DISP_E_TYPEMISMATCH:
            return "Type mismatch.";
        case DISP_E_BADPARAMCOUNT:
            return "Invalid number of parameters.";
        case DISP_E_PARAMNOTFOUND:
            return "Parameter not found.";
        case DISP_E_PARAMNOTOPTIONAL:
            return "Parameter not optional.";
        case DISP_E_OVERFLOW:
            return "Out of present range.";
        default:
            return {};
    }
}

}  // namespace

namespace {

// A one-dimensional array of VARIANTs as "[a, b, c]".
std::string FormatArray(SAFEARRAY* array) {
    LONG lower = 0, upper = -1;
    if (!array || SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(array, 1, &upper)))
        return "?";
    std::string text = "[";
    for (LONG i = lower; i <= upper; ++i) {
        Variant element;
        if (FAILED(SafeArrayGetElement(array, &i, &element)))
            return "?";
        if (i > lower)
            text += ", ";
        text += FormatValue(element);
    }
    return text + "]";
}

}  // namespace

std::string FormatValue(const VARIANT& raw) {
    Variant value;
    if (FAILED(VariantCopyInd(&value, &raw)))
        return "?";
    switch (value.vt) {
        case VT_EMPTY:
            return {};
        case VT_NULL:
            return "Null";
        case VT_BOOL:
            return value.boolVal ? "True" : "False";
        case VT_BSTR:
            return comlite::BstrToUtf8(value.bstrVal);
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return value.punkVal ? "[object]" : "Nothing";
        case VT_ARRAY | VT_VARIANT:
            return FormatArray(value.parray);
        case VT_ERROR: {
            char text[32];
            std::snprintf(text, sizeof text, "Error 0x%08X", static_cast<unsigned>(value.scode));
            return text;
        }
        default:
            break;
    }
    Variant text;
    if (FAILED(VariantChangeType(&text, &value, 0, VT_BSTR)))
        return "?";
    return comlite::BstrToUtf8(text.bstrVal);
}

// Parses and evaluates one statement at a time, straight from the tokens.
class ScriptHost::Parser {
public:
    Parser(ScriptHost& host, std::vector<Token> tokens) : host_(host), tokens_(std::move(tokens)) {}

    void Statement() {
        if (IsName("SET") && Peek(1).kind == TokenKind::Name)
            ++pos_;
        if (IsName("PRINT")) {
            ++pos_;
            std::string line;
            bool first = true;
            while (Peek().kind != TokenKind::End) {
                if (!first)
                    Expect(",");
                const Variant value = Expression();
                if (!first)
                    line += ' ';
                line += FormatValue(value);
                first = false;
            }
            host_.out_ << line << '\n';
            return;
        }
        if (Peek().kind == TokenKind::Name && IsPunct(Peek(1), "=") && !IsKeyword(Peek().text)) {
            const std::string name = Take().text;
            ++pos_;
            Variant value = Expression();
            ExpectEnd();
            host_.Variable(name) = std::move(value);
            return;
        }
        if (IsPropertyPut()) {
            Variant object = host_.Variable(TakeName());
            for (;;) {
                Expect(".");
                const std::string member = TakeName();
                std::deque<Variant> values;
                std::vector<VARIANT> args;
                if (IsPunct(Peek(), "("))
                    args = ArgumentList(values);  // a parameterised property: the last step
                if (IsPunct(Peek(), "=")) {
                    ++pos_;
                    Variant value = Expression();
                    ExpectEnd();
                    PutProperty(object, member, args, value);
                    return;
                }
                std::vector<VARIANT> none;
                object = Call(object, member, none);
            }
        }
        Expression();
        ExpectEnd();
    }

private:
    const Token& Peek(std::size_t ahead = 0) const {
        const std::size_t at = pos_ + ahead;
        return at < tokens_.size() ? tokens_[at] : tokens_.back();
    }
    Token Take() {
        Token t = Peek();
        if (pos_ < tokens_.size() - 1)
            ++pos_;
        return t;
    }
    static bool IsPunct(const Token& t, std::string_view p) {
        return t.kind == TokenKind::Punct && t.text == p;
    }
    bool IsName(std::string_view upper) const {
        return Peek().kind == TokenKind::Name && Upper(Peek().text) == upper;
    }
    static bool IsKeyword(const std::string& name) {
        const std::string u = Upper(name);
        return u == "TRUE" || u == "FALSE" || u == "EMPTY" || u == "NULL" || u == "NOTHING" ||
               u == "CREATEOBJECT" || u == "PRINT";
    }
    void Expect(std::string_view p) {
        if (!IsPunct(Peek(), p))
            throw SyntaxError{"expected '" + std::string(p) + "'"};
        ++pos_;
    }
    void ExpectEnd() const {
        if (Peek().kind != TokenKind::End)
            throw SyntaxError{"unexpected '" + Peek().text + "'"};
    }
    std::string TakeName() {
        if (Peek().kind != TokenKind::Name)
            throw SyntaxError{"expected a name"};
        return Take().text;
    }
    // name(.name)* = ..., or name(.name)*(arguments) = ... for a property with parameters.
    bool IsPropertyPut() const {
        std::size_t at = pos_;
        if (tokens_[at].kind != TokenKind::Name)
            return false;
        ++at;
        bool sawMember = false;
        while (IsPunct(tokens_[at], ".") && tokens_[at + 1].kind == TokenKind::Name) {
            at += 2;
            sawMember = true;
        }
        if (sawMember && IsPunct(tokens_[at], "(")) {
            for (int depth = 0; tokens_[at].kind != TokenKind::End; ++at) {
                if (IsPunct(tokens_[at], "("))
                    ++depth;
                else if (IsPunct(tokens_[at], ")") && --depth == 0)
                    break;
            }
            if (tokens_[at].kind == TokenKind::End)
                return false;
            ++at;
        }
        return sawMember && IsPunct(tokens_[at], "=");
    }

    Variant Expression() {
        Variant value = Primary();
        while (IsPunct(Peek(), ".")) {
            ++pos_;
            value = Member(value);
        }
        return value;
    }

    Variant Primary() {
        const Token t = Take();
        switch (t.kind) {
            case TokenKind::Text:
                return Variant::TextUtf8(t.text);
            case TokenKind::Number:
                return NumberValue(t.text);
            case TokenKind::Name:
                break;
            default:
                throw SyntaxError{t.kind == TokenKind::End ? "missing value"
                                                           : "unexpected '" + t.text + "'"};
        }
        const std::string u = Upper(t.text);
        if (u == "TRUE" || u == "FALSE")
            return Variant::Bool(u == "TRUE");
        if (u == "EMPTY")
            return Variant();
        if (u == "NULL") {
            Variant v;
            v.vt = VT_NULL;
            return v;
        }
        if (u == "NOTHING") {
            Variant v;
            v.vt = VT_DISPATCH;
            v.pdispVal = nullptr;
            return v;
        }
        if (u == "CREATEOBJECT") {
            Expect("(");
            const Variant progId = Expression();
            Expect(")");
            return CreateObject(FormatValue(progId));
        }
        return host_.Variable(t.text);
    }

    // After "object.": the member name and its optional argument list.
    Variant Member(const Variant& object) {
        const std::string name = TakeName();
        std::deque<Variant> values;  // stable addresses for the arguments passed by value
        std::vector<VARIANT> args;   // in call order; reversed for DISPPARAMS
        if (IsPunct(Peek(), "("))
            args = ArgumentList(values);
        return Call(object, name, args);
    }

    // "(" arguments ")", in call order.
    std::vector<VARIANT> ArgumentList(std::deque<Variant>& values) {
        std::vector<VARIANT> args;
        Expect("(");
        while (!IsPunct(Peek(), ")")) {
            if (!args.empty())
                Expect(",");
            args.push_back(Argument(values));
        }
        ++pos_;
        return args;
    }

    // A bare variable goes by reference, anything else by value.
    VARIANT Argument(std::deque<Variant>& values) {
        VARIANT arg;
        VariantInit(&arg);
        const bool bareVariable = Peek().kind == TokenKind::Name && !IsKeyword(Peek().text) &&
                                  (IsPunct(Peek(1), ",") || IsPunct(Peek(1), ")"));
        if (bareVariable) {
            arg.vt = VT_BYREF | VT_VARIANT;
            arg.pvarVal = &host_.Variable(Take().text);
            return arg;
        }
        values.push_back(Expression());
        arg.vt = VT_BYREF | VT_VARIANT;
        arg.pvarVal = &values.back();
        return arg;
    }

    static IDispatch* ObjectOf(const Variant& value) {
        if (value.vt != VT_DISPATCH || !value.pdispVal)
            throw ScriptHost::Error{DISP_E_TYPEMISMATCH, {}, "Object required."};
        return value.pdispVal;
    }

    static DISPID DispIdOf(IDispatch* object, const std::string& name) {
        std::u16string wide = comlite::Utf8ToUtf16(name);
        LPOLESTR names[] = {wide.data()};
        DISPID id = DISPID_UNKNOWN;
        const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr))
            throw ScriptHost::Error{hr, {}, KnownDescription(hr)};
        return id;
    }

    static void Invoke(IDispatch* object, DISPID id, WORD flags, DISPPARAMS& params,
                       VARIANT* result) {
        EXCEPINFO exception{};
        UINT argErr = 0;
        const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                          &exception, &argErr);
        if (SUCCEEDED(hr))
            return;
        ScriptHost::Error error{hr, {}, KnownDescription(hr)};
        if (hr == DISP_E_EXCEPTION) {
            if (exception.pfnDeferredFillIn)
                exception.pfnDeferredFillIn(&exception);
            error.hr = exception.scode != 0 ? exception.scode : hr;
            error.source = comlite::BstrToUtf8(exception.bstrSource);
            error.description = comlite::BstrToUtf8(exception.bstrDescription);
        }
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        throw error;
    }

    static Variant Call(const Variant& target, const std::string& name,
                        std::vector<VARIANT>& args) {
        IDispatch* object = ObjectOf(target);
        const DISPID id = DispIdOf(object, name);
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        Variant result;
        Invoke(object, id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, params, &result);
        return result;
    }

    // The value goes first in DISPPARAMS, named DISPID_PROPERTYPUT; the property's own
    // arguments follow in reverse order.
    static void PutProperty(const Variant& target, const std::string& name,
                            const std::vector<VARIANT>& args, Variant& value) {
        IDispatch* object = ObjectOf(target);
        const DISPID id = DispIdOf(object, name);
        std::vector<VARIANT> all{value};
        all.insert(all.end(), args.rbegin(), args.rend());
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{all.data(), &named, static_cast<UINT>(all.size()), 1};
        Invoke(object, id, DISPATCH_PROPERTYPUT, params, nullptr);
    }

    static Variant CreateObject(const std::string& progId) {
        const std::u16string wide = comlite::Utf8ToUtf16(progId);
        CLSID clsid{};
        HRESULT hr = CLSIDFromProgID(wide.c_str(), &clsid);
        Variant object;
        if (SUCCEEDED(hr)) {
            IDispatch* created = nullptr;
            hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(&created));
            if (SUCCEEDED(hr)) {
                object.vt = VT_DISPATCH;
                object.pdispVal = created;
                return object;
            }
        }
        throw ScriptHost::Error{hr, {}, comlite::LastActivationError()};
    }

    ScriptHost& host_;
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
};

ScriptHost::~ScriptHost() = default;

Variant& ScriptHost::Variable(const std::string& name) {
    return variables_[Upper(name)];
}

ScriptHost::Outcome ScriptHost::RunLine(std::string_view line, int lineNumber) {
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos || line[start] == '#' || line[start] == '\'' ||
        line[start] == '\r')
        return Outcome::Ok;
    try {
        Parser(*this, Tokenize(line)).Statement();
        return Outcome::Ok;
    } catch (const SyntaxError& e) {
        diagnostics_ << "line " << lineNumber << ": " << e.text << '\n';
        return Outcome::SyntaxError;
    } catch (const Error& e) {
        char code[32];
        std::snprintf(code, sizeof code, "HRESULT 0x%08X", static_cast<unsigned>(e.hr));
        out_ << code;
        if (!e.source.empty())
            out_ << " (" << e.source << ')';
        if (!e.description.empty())
            out_ << ": " << e.description;
        out_ << '\n';
        return Outcome::Failed;
    }
}

int ScriptHost::Run(std::istream& script) {
    std::string line;
    int number = 0;
    bool failed = false;
    while (std::getline(script, line)) {
        switch (RunLine(line, ++number)) {
            case Outcome::Ok:
                break;
            case Outcome::Failed:
                failed = true;
                break;
            case Outcome::SyntaxError:
                return 2;
        }
        out_.flush();
    }
    return failed ? 1 : 0;
}

}  // namespace qorauto
