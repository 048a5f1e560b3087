#pragma once
// ASCII case folding for the harness's name and text comparisons (POS and poller names are
// ASCII; the poller compares them without regard to case).

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace tw::reliability {

inline std::string UpperAscii(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper;
}

inline std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

}  // namespace tw::reliability
