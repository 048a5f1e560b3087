#include "qorcom/local/soundex.h"

#include <vector>

#include "comlite/bstr.h"

namespace tw::qorcom {
namespace {

// The digit of each letter A to Z.
constexpr std::string_view kDigits = "01230120022455012623010202";
constexpr std::size_t kCodeLength = 5;
constexpr std::size_t kDigitsWanted = 3;

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::vector<std::string> WordCodes(std::string_view text) {
    std::vector<std::string> codes;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t next = start + 1;
        while (next < text.size() && !(IsLetter(text[next]) && !IsLetter(text[next - 1]))) ++next;
        codes.push_back(SoundexCode(text.substr(start, next - start)));
        start = next;
    }
    return codes;
}

double Matches(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].empty())
            continue;
        for (std::size_t j = 0; j < b.size(); ++j)
            if (a[i] == b[j])
                sum += i == j ? 1 + kSameIndexBonus : 1;
    }
    return sum;
}

}  // namespace

std::string SoundexCode(std::string_view text) {
    if (text.empty() || !IsLetter(text[0]))
        return {};
    std::string code(kCodeLength, ' ');
    code[0] = Upper(text[0]);
    std::size_t filled = 1;
    char previous = ' ';
    for (std::size_t i = 1; i < text.size() && filled <= kDigitsWanted && IsLetter(text[i]); ++i) {
        const char digit = kDigits[static_cast<std::size_t>(Upper(text[i]) - 'A')];
        if (digit == '0' || digit == previous)
            continue;
        code[filled++] = digit;
        previous = digit;
    }
    return code;
}

double SoundexPercentage(std::string_view text1, std::string_view text2) {
    const std::vector<std::string> a = WordCodes(text1), b = WordCodes(text2);
    if (a.empty() && b.empty())
        return 0;
    return (Matches(a, b) + Matches(b, a)) / static_cast<double>(a.size() + b.size());
}

HRESULT CSoundex::Soundex(BSTR text, BSTR* value) {
    if (!text || !value)
        return E_POINTER;
    return Guarded([&] {
        *value = comlite::AllocBstrUtf8(SoundexCode(comlite::BstrToUtf8(text)));
        return *value ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT CSoundex::SoundexPercentage(BSTR text1, BSTR text2, double* value) {
    if (!text1 || !text2 || !value)
        return E_POINTER;
    return Guarded([&] {
        *value = qorcom::SoundexPercentage(comlite::BstrToUtf8(text1), comlite::BstrToUtf8(text2));
        return S_OK;
    });
}

}  // namespace tw::qorcom
