#include "settings/code_maps.h"

#include "platform/text_file.h"
#include "settings/key_lines.h"

namespace tw {
namespace {

struct KindInfo {
    int kind;
    std::string_view letters;
    std::string_view caption;
};

constexpr KindInfo kKinds[] = {
    {mapkind::kLevel, "L", "Level"},
    {mapkind::kGrade, "G", "Grade"},
    {mapkind::kDepartment, "D", "Department"},
    {mapkind::kProduct, "P", "Product"},
    {mapkind::kQualifier, "M", "Qualifier"},
    {mapkind::kSalesTax, "T", "Sales Tax"},
    {mapkind::kDepartmentTax, "IT", "Item Tax"},
    {mapkind::kDeposit, "A", "Deposit"},
    {mapkind::kItemTax, "I", "Item Tax"},
    {mapkind::kSubdepartment, "S", "Subdepartment"},
    {mapkind::kTaxGroup, "TG", "Tax Group"},
    {mapkind::kSalesTaxCode, "T", "Sales Tax"},
    {mapkind::kCarWash, "W", "Car Wash"},
    {mapkind::kLocalCredit, "C", "Local Credit Account ID"},
    {mapkind::kPayrollEmployee, "E", "Payroll Employee"},
    {mapkind::kCashCreditLevel, "LM", "Cash/Credit to Level"},
};

const KindInfo* FindKind(int kind) {
    for (const auto& info : kKinds) {
        if (info.kind == kind)
            return &info;
    }
    return nullptr;
}

}  // namespace

std::string_view MapKindLetters(int kind) {
    const KindInfo* info = FindKind(kind);
    return info ? info->letters : std::string_view();
}

std::string_view MapKindCaption(int kind) {
    const KindInfo* info = FindKind(kind);
    return info ? info->caption : std::string_view();
}

// ---- StandardStringMapper ----

void StandardStringMapper::Add(const std::string& key, const std::string& value) {
    pairs_.emplace(key, value);  // an existing key keeps its first value
}

bool StandardStringMapper::Lookup(const std::string& key, std::string& value) const {
    const auto found = pairs_.find(key);
    if (found == pairs_.end())
        return false;
    value = found->second;
    return true;
}

std::vector<std::string> StandardStringMapper::FindKeys(const std::string& value) const {
    std::vector<std::string> keys;
    for (const auto& [key, mapped] : pairs_) {
        if (mapped == value)
            keys.push_back(key);
    }
    return keys;
}

bool StandardStringMapper::ReverseLookup(const std::string& value, std::string& key) const {
    for (const auto& [candidate, mapped] : pairs_) {
        if (mapped == value) {
            key = candidate;
            return true;
        }
    }
    return false;
}

std::vector<StringPair> StandardStringMapper::GetPairs() const {
    return {pairs_.begin(), pairs_.end()};
}

// ---- StandardListStringMapper ----

void StandardListStringMapper::Add(const std::string& key, const std::string& value) {
    pairs_.emplace_back(key, value);
}

bool StandardListStringMapper::Lookup(const std::string& key, std::string& value) const {
    for (auto pair = pairs_.rbegin(); pair != pairs_.rend(); ++pair) {
        if (pair->first == key) {
            value = pair->second;
            return true;
        }
    }
    return false;
}

std::vector<std::string> StandardListStringMapper::FindKeys(const std::string& value) const {
    std::vector<std::string> keys;
    for (const auto& [key, mapped] : pairs_) {
        if (mapped == value)
            keys.push_back(key);
    }
    return keys;
}

bool StandardListStringMapper::ReverseLookup(const std::string& value, std::string& key) const {
    for (const auto& [candidate, mapped] : pairs_) {
        if (mapped == value) {
            key = candidate;
            return true;
        }
    }
    return false;
}

// ---- files ----

bool LoadMapFile(StringMapper& mapper, const std::string& path) {
    mapper.Clear();
    platform::LineReader reader;
    if (!reader.Open(path))
        return false;
    std::string line;
    while (reader.ReadLine(line)) {
        if (const auto pair = SplitKeyLine(line)) {
            mapper.Add(std::string(pair->key), std::string(pair->value));
        }
    }
    return true;
}

bool SaveMapFile(const StringMapper& mapper, const std::string& path) {
    KeyFileText text;
    for (const auto& [key, value] : mapper.GetPairs()) text.Text(key, value);
    return platform::WriteFileAtomically(path, text.Content());
}

}  // namespace tw
