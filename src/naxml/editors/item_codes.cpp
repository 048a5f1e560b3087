#include "naxml/editors/item_codes.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "naxml/maintenance/text_rules.h"

namespace tw::naxml {
namespace {

std::string Choice(const std::string& code, std::int32_t pack, const std::string& description) {
    return code + " Pack:" + std::to_string(pack) + " " + description;
}

std::optional<long> PluValue(std::string_view id) {
    if (id.empty() || id.size() >= 6 || !IsAllDigits(id))
        return std::nullopt;
    long value = 0;
    std::from_chars(id.data(), id.data() + id.size(), value);
    if (value < 1 || value > 99999)
        return std::nullopt;
    return value;
}

}  // namespace

std::vector<std::string> ItemChoices(const std::vector<BackOfficeItemRecord>& items) {
    std::vector<std::string> choices;
    for (const BackOfficeItemRecord& item : items) {
        if (!item.active)
            continue;
        if (!item.upcCode.empty())
            choices.push_back(Choice(item.upcCode, item.upcPackSize, item.description));
        if (PluValue(item.id) && (item.id != item.upcCode || item.packSize != item.upcPackSize)) {
            choices.push_back(Choice(item.id, item.packSize, item.description));
        }
    }
    return choices;
}

std::optional<ChosenItem> InterpretItemChoice(std::string_view text) {
    const auto pack = text.find("Pack:");
    if (pack == std::string_view::npos)
        return std::nullopt;
    ChosenItem chosen;
    chosen.posCode = std::string(TrimWhiteSpace(text.substr(0, pack)));
    const int size = LeadingInteger(text.substr(pack + 5));
    chosen.modifier = std::to_string(size == 1 ? 0 : size);
    chosen.codeFormat = CodeFormatForLength(chosen.posCode);
    return chosen;
}

std::optional<std::string> CodeFormatForLength(std::string_view code) {
    switch (code.size()) {
        case 0:
            return std::nullopt;
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
            return "plu";
        case 7:
            return code.front() == '0' ? "upcE" : "ean8";
        case 11:
            return "upcA";
        case 12:
            return "ean13";
        case 13:
            return "gtin";
        default:
            return std::nullopt;
    }
}

bool IsAllDigits(std::string_view code) {
    return !code.empty() &&
           std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsPlu(std::string_view code) {
    if (code.empty() || code.size() > 5 || !IsAllDigits(code))
        return false;
    const int value = LeadingInteger(code);
    return value >= 1 && value <= 99999;
}

char Gs1CheckDigit(std::string_view digits) {
    int sum = 0;
    int weight = 3;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        sum += (*it - '0') * weight;
        weight = weight == 3 ? 1 : 3;
    }
    return static_cast<char>('0' + (10 - sum % 10) % 10);
}

bool HasValidCheckDigit(std::string_view code) {
    return code.size() >= 2 && IsAllDigits(code) &&
           Gs1CheckDigit(code.substr(0, code.size() - 1)) == code.back();
}

}  // namespace tw::naxml
