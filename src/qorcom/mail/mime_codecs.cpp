#include "qorcom/mail/mime_codecs.h"

#include <iconv.h>

#include <cerrno>

#include "qorcom/common/base64.h"

namespace tw::qorcom::mail {
namespace {

constexpr std::size_t kMaxEncodedWord = 1024;

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsUtf8Name(std::string_view charset) {
    return charset.empty() || EqualsNoCase(charset, "utf-8") || EqualsNoCase(charset, "utf8") ||
           EqualsNoCase(charset, "us-ascii") || EqualsNoCase(charset, "ascii");
}

// The encoded word starting at text[0] ("=?" already seen): its decoded text and length, or
// false when it is not well formed.
bool DecodeOneWord(std::string_view text, std::string* decoded, std::size_t* length) {
    // Far longer than the 75 characters the standard allows, and short enough that a header
    // full of "=?" cannot make decoding quadratic.
    text = text.substr(0, kMaxEncodedWord);
    const std::size_t charsetEnd = text.find('?', 2);
    if (charsetEnd == std::string_view::npos || charsetEnd + 2 >= text.size() ||
        text[charsetEnd + 2] != '?')
        return false;
    const char coding = LowerAscii(text[charsetEnd + 1]);
    if (coding != 'b' && coding != 'q')
        return false;
    const std::size_t payloadStart = charsetEnd + 3;
    const std::size_t payloadEnd = text.find("?=", payloadStart);
    if (payloadEnd == std::string_view::npos)
        return false;
    const std::string_view payload = text.substr(payloadStart, payloadEnd - payloadStart);
    if (payload.find_first_of(" \t\r\n") != std::string_view::npos)
        return false;
    std::string_view charset = text.substr(2, charsetEnd - 2);
    // RFC 2231 adds a language after "*": "utf-8*en".
    charset = charset.substr(0, charset.find('*'));
    std::string bytes;
    if (coding == 'b') {
        bytes = Base64DecodeLenient(payload);
    } else {
        std::string underscoresAsBlanks(payload);
        for (char& c : underscoresAsBlanks)
            if (c == '_')
                c = ' ';
        bytes = QuotedPrintableDecode(underscoresAsBlanks);
    }
    *decoded = CharsetToUtf8(bytes, charset);
    *length = payloadEnd + 2;
    return true;
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

std::string QuotedPrintableDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '=') {
            out += c;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\n') {
            i += 1;
            continue;
        }
        if (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') {
            i += 2;
            continue;
        }
        const int high = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
        if (high < 0 || low < 0) {
            out += c;  // a broken escape stays as written
            continue;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::string CharsetToUtf8(std::string_view bytes, std::string_view charset) {
    if (IsUtf8Name(charset) || bytes.empty())
        return std::string(bytes);
    const std::string name(charset);
    iconv_t converter = ::iconv_open("UTF-8", name.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::string(bytes);
    std::string input(bytes);
    char* in = input.data();
    std::size_t inLeft = input.size();
    std::string out(input.size() + 16, '\0');
    std::size_t used = 0;
    bool converted = true;
    while (inLeft > 0) {
        char* outAt = out.data() + used;
        std::size_t outLeft = out.size() - used;
        const std::size_t result = ::iconv(converter, &in, &inLeft, &outAt, &outLeft);
        used = out.size() - outLeft;
        if (result != static_cast<std::size_t>(-1))
            continue;
        if (errno != E2BIG) {
            converted = false;  // bytes that are not of that set: keep what arrived
            break;
        }
        out.resize(out.size() * 2);
    }
    ::iconv_close(converter);
    if (!converted)
        return std::string(bytes);
    out.resize(used);
    return out;
}

std::string DecodeEncodedWords(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    std::size_t i = 0;
    std::size_t pendingBlanks = std::string_view::npos;  // blanks after the last encoded word
    while (i < value.size()) {
        std::string decoded;
        std::size_t length = 0;
        if (value.compare(i, 2, "=?") == 0 && DecodeOneWord(value.substr(i), &decoded, &length)) {
            // Blanks between two encoded words belong to neither.
            if (pendingBlanks != std::string_view::npos)
                out.resize(pendingBlanks);
            out += decoded;
            i += length;
            pendingBlanks = out.size();
            while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) out += value[i++];
            continue;
        }
        pendingBlanks = std::string_view::npos;
        out += value[i++];
    }
    return out;
}

std::string PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
        if (low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace tw::qorcom::mail
