#pragma once
// Item codes in the item list editor: the back office's items offered as choices, what a
// chosen item sets in its entry, code formats by length, PLUs and GS1 check digits.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::naxml {

// One item of the back office, as its inventory walk gives it.
struct BackOfficeItemRecord {
    bool active = false;
    std::string upcCode;
    std::int32_t upcPackSize = 0;
    std::string description;
    std::string id;
    std::int32_t packSize = 0;
};

// The choices "%s Pack:%ld %s" of the active items: the UPC code with its pack size when the
// item has a UPC code, and the item id with its own pack size when the id is a PLU (fewer
// than 6 characters, value 1 to 99999) that differs from the UPC code or its pack size.
std::vector<std::string> ItemChoices(const std::vector<BackOfficeItemRecord>& items);

// What choosing an item sets in an entry.
struct ChosenItem {
    std::string posCode;                    // the text before "Pack:", trimmed
    std::string modifier;                   // the pack size, 1 written as 0
    std::optional<std::string> codeFormat;  // by the code's length; none keeps the format
};
// nullopt when text is not a choice (it holds no "Pack:").
std::optional<ChosenItem> InterpretItemChoice(std::string_view text);

// The POSCodeFormat of a code by its length: up to 5 "plu"; 7 "upcE" when it starts with "0",
// else "ean8"; 11 "upcA"; 12 "ean13"; 13 "gtin"; nullopt for other lengths.
std::optional<std::string> CodeFormatForLength(std::string_view code);

// A PLU: at most 5 characters whose value is 1 to 99999.
bool IsPlu(std::string_view code);
bool IsAllDigits(std::string_view code);
// The GS1 mod-10 check digit of digits (weights 3 and 1 alternately from the right, the
// rightmost 3). digits must be all digits.
char Gs1CheckDigit(std::string_view digits);
// Whether the last digit of an all-digit code is the check digit of the others.
bool HasValidCheckDigit(std::string_view code);

}  // namespace tw::naxml
