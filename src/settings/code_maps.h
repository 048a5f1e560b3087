#pragma once
// Code mappings between back-office (QOR) codes and POS codes: one small "key = value" file per
// kind of code and site, "QOR<letters>MAP.<site>" in the site's data directory.

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tw {

// Kinds of code. The number is the kind's identity in files, tables and callers.
namespace mapkind {
inline constexpr int kLevel = 0;
inline constexpr int kGrade = 1;
inline constexpr int kDepartment = 2;
inline constexpr int kProduct = 3;
inline constexpr int kQualifier = 4;
inline constexpr int kSalesTax = 5;  // a pair list, not a map
inline constexpr int kDepartmentTax = 6;
inline constexpr int kDeposit = 7;
inline constexpr int kItemTax = 8;
inline constexpr int kSubdepartment = 9;
inline constexpr int kTaxGroup = 11;
inline constexpr int kSalesTaxCode = 12;
inline constexpr int kCarWash = 13;
inline constexpr int kLocalCredit = 14;
inline constexpr int kPayrollEmployee = 15;
inline constexpr int kCashCreditLevel = 16;
}  // namespace mapkind

// The letters of a kind's map file name ("D" for departments); empty for kind 10 and unknown
// kinds.
std::string_view MapKindLetters(int kind);

// The kind's display name ("Department"); empty for kind 10 and unknown kinds.
std::string_view MapKindCaption(int kind);

// Column captions of a mapping editor: first-side code, first-side description, second-side
// code, second-side description. All empty for a kind without columns.
using MapColumnCaptions = std::array<std::string_view, 4>;

using StringPair = std::pair<std::string, std::string>;

// A mapping of string codes. Lookups compare exactly (case-sensitive). Not synchronised:
// concurrent const use is safe, changes need the caller's exclusion.
class StringMapper {
public:
    virtual ~StringMapper() = default;
    virtual void Add(const std::string& key, const std::string& value) = 0;
    // False when the key has no value.
    virtual bool Lookup(const std::string& key, std::string& value) const = 0;
    // Every key whose value equals value, in the mapping's order.
    virtual std::vector<std::string> FindKeys(const std::string& value) const = 0;
    // The first such key; false when there is none.
    virtual bool ReverseLookup(const std::string& value, std::string& key) const = 0;
    virtual void Clear() = 0;
    // All pairs in the mapping's order.
    virtual std::vector<StringPair> GetPairs() const = 0;
};

// Ordered by key, one value per key: Add keeps the first value given for a key.
class StandardStringMapper : public StringMapper {
public:
    void Add(const std::string& key, const std::string& value) override;
    bool Lookup(const std::string& key, std::string& value) const override;
    std::vector<std::string> FindKeys(const std::string& value) const override;
    bool ReverseLookup(const std::string& value, std::string& key) const override;
    void Clear() override { pairs_.clear(); }
    std::vector<StringPair> GetPairs() const override;

private:
    std::map<std::string, std::string> pairs_;
};

// Pairs in the order added; a key may occur several times and Lookup gives the value of the
// last pair with that key.
class StandardListStringMapper : public StringMapper {
public:
    void Add(const std::string& key, const std::string& value) override;
    bool Lookup(const std::string& key, std::string& value) const override;
    std::vector<std::string> FindKeys(const std::string& value) const override;
    bool ReverseLookup(const std::string& value, std::string& key) const override;
    void Clear() override { pairs_.clear(); }
    std::vector<StringPair> GetPairs() const override { return pairs_; }

private:
    std::vector<StringPair> pairs_;
};

// Reads a map file into mapper (cleared first): each line split at its first '=', key and value
// trimmed, lines without '=' skipped; lines are read whole and a trailing CR is dropped. False
// only when the file cannot be opened.
bool LoadMapFile(StringMapper& mapper, const std::string& path);

// Writes "key = value\n" per pair in the mapping's order, replacing the file atomically. False
// when the file could not be written; the old file is then unchanged.
bool SaveMapFile(const StringMapper& mapper, const std::string& path);

// A mapping that remembers the file it was last loaded from or saved to.
template <class Mapper>
class FileStringMapping : public Mapper {
public:
    bool Load(const std::string& path) {
        fileName_ = path;
        return LoadMapFile(*this, path);
    }
    bool Save(const std::string& path) {
        fileName_ = path;
        return SaveMapFile(*this, path);
    }
    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
};

using StdStringMapping = FileStringMapping<StandardStringMapper>;
using StdListStringMapping = FileStringMapping<StandardListStringMapper>;

}  // namespace tw
