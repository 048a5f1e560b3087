#include "backoffice/item_csv.h"

#include <array>
#include <charconv>
#include <optional>
#include <set>

namespace tw::backoffice {
namespace {

constexpr std::size_t kMaxUpcDigits = 14;
constexpr std::int32_t kMaxPackSize = 999999;

enum Column { kId, kUpcCode, kUpcPackSize, kDescription, kPackSize, kActive, kColumnCount };
constexpr std::array<std::string_view, kColumnCount> kColumnNames = {
    "id", "UPC_code", "UPC_pack_size", "description", "pack_size", "active"};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

struct Record {
    int line = 0;  // where the record starts
    std::vector<std::string> fields;
    bool blank = false;  // one empty, unquoted field: a blank line
};

// Splits CSV text into records, one at a time.
class CsvReader {
public:
    explicit CsvReader(std::string_view text) : text_(text) {
        if (text_.starts_with("\xEF\xBB\xBF"))
            pos_ = 3;
    }

    // False at the end of the text, or with *error for malformed quoting.
    bool Next(Record& record, std::string* error) {
        if (pos_ >= text_.size())
            return false;
        record = Record{};
        record.line = line_;
        bool anyQuoted = false;
        for (;;) {
            std::string field;
            bool quoted = false;
            if (!ReadField(field, quoted, error))
                return false;
            anyQuoted = anyQuoted || quoted;
            record.fields.push_back(std::move(field));
            if (pos_ < text_.size() && text_[pos_] == ',') {
                ++pos_;
                continue;
            }
            SkipLineEnd();
            break;
        }
        record.blank = !anyQuoted && record.fields.size() == 1 && record.fields[0].empty();
        return true;
    }

private:
    bool AtLineEnd() const {
        return pos_ >= text_.size() || text_[pos_] == '\n' || text_[pos_] == '\r';
    }
    void SkipLineEnd() {
        if (pos_ < text_.size() && text_[pos_] == '\r')
            ++pos_;
        if (pos_ < text_.size() && text_[pos_] == '\n')
            ++pos_;
        ++line_;
    }

    bool ReadField(std::string& field, bool& quoted, std::string* error) {
        std::size_t start = pos_;
        while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
        if (pos_ < text_.size() && text_[pos_] == '"') {
            quoted = true;
            const int openedOn = line_;
            ++pos_;
            for (;;) {
                if (pos_ >= text_.size()) {
                    *error = "line " + std::to_string(openedOn) + ": a quoted field is not closed";
                    return false;
                }
                const char c = text_[pos_++];
                if (c == '"') {
                    if (pos_ < text_.size() && text_[pos_] == '"') {
                        field += '"';
                        ++pos_;
                        continue;
                    }
                    break;
                }
                if (c == '\n')
                    ++line_;
                field += c;
            }
            while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
            if (!AtLineEnd() && text_[pos_] != ',') {
                *error = "line " + std::to_string(line_) + ": text after a closing quote";
                return false;
            }
            return true;
        }
        pos_ = start;
        while (!AtLineEnd() && text_[pos_] != ',') ++pos_;
        field = std::string(Trimmed(text_.substr(start, pos_ - start)));
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

std::optional<std::int32_t> ParsePackSize(const std::string& text) {
    if (text.empty())
        return 1;
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > kMaxPackSize)
        return std::nullopt;
    return value;
}

std::optional<bool> ParseActive(const std::string& text) {
    if (text.empty())
        return true;
    for (const char* yes : {"1", "true", "yes", "y", "t"})
        if (SameName(text, yes))
            return true;
    for (const char* no : {"0", "false", "no", "n", "f"})
        if (SameName(text, no))
            return false;
    return std::nullopt;
}

bool IsUpcCode(const std::string& text) {
    if (text.size() > kMaxUpcDigits)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool HasControlCharacter(const std::string& text) {
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F)
            return true;
    return false;
}

}  // namespace

bool ParseItemCsv(std::string_view text, std::vector<ItemRecord>& items, std::string* error) {
    items.clear();
    std::string problem;
    auto fail = [&](int line, const std::string& what) {
        if (error)
            *error = line > 0 ? "line " + std::to_string(line) + ": " + what : what;
        items.clear();
        return false;
    };

    CsvReader reader(text);
    Record record;
    // The header: which column of the file feeds which field.
    std::array<int, kColumnCount> columnOf;
    columnOf.fill(-1);
    bool haveHeader = false;
    std::set<std::string> seenIds;
    for (;;) {
        if (!reader.Next(record, &problem)) {
            if (!problem.empty())
                return fail(0, problem);
            break;
        }
        if (record.blank)
            continue;
        if (!haveHeader) {
            for (std::size_t i = 0; i < record.fields.size(); ++i) {
                int known = -1;
                for (int c = 0; c < kColumnCount; ++c)
                    if (SameName(record.fields[i], kColumnNames[c]))
                        known = c;
                if (known < 0)
                    return fail(record.line, "unknown column \"" + record.fields[i] + "\"");
                if (columnOf[known] >= 0)
                    return fail(record.line, "column \"" + record.fields[i] + "\" appears twice");
                columnOf[known] = static_cast<int>(i);
            }
            if (columnOf[kId] < 0)
                return fail(record.line, "the header has no \"id\" column");
            haveHeader = true;
            continue;
        }
        std::size_t expected = 0;
        for (int c : columnOf) expected += c >= 0 ? 1 : 0;
        if (record.fields.size() != expected) {
            return fail(record.line, std::to_string(record.fields.size()) +
                                         " fields where the header has " +
                                         std::to_string(expected));
        }
        auto cell = [&](Column c) -> const std::string& {
            static const std::string empty;
            return columnOf[c] >= 0 ? record.fields[static_cast<std::size_t>(columnOf[c])] : empty;
        };
        ItemRecord item;
        item.id = cell(kId);
        if (item.id.empty())
            return fail(record.line, "the item has no id");
        if (HasControlCharacter(item.id))
            return fail(record.line, "the id holds a control character");
        if (!seenIds.insert(item.id).second)
            return fail(record.line, "item id " + item.id + " appears twice");
        item.upcCode = cell(kUpcCode);
        if (!IsUpcCode(item.upcCode))
            return fail(record.line, "UPC code \"" + item.upcCode + "\" is not up to 14 digits");
        const auto upcPack = ParsePackSize(cell(kUpcPackSize));
        if (!upcPack)
            return fail(record.line, "UPC pack size \"" + cell(kUpcPackSize) +
                                         "\" is not a whole number from 1 to 999999");
        item.upcPackSize = *upcPack;
        item.description = cell(kDescription);
        const auto pack = ParsePackSize(cell(kPackSize));
        if (!pack)
            return fail(record.line, "pack size \"" + cell(kPackSize) +
                                         "\" is not a whole number from 1 to 999999");
        item.packSize = *pack;
        const auto active = ParseActive(cell(kActive));
        if (!active)
            return fail(record.line, "active \"" + cell(kActive) + "\" is not true or false");
        item.active = *active;
        items.push_back(std::move(item));
    }
    if (!haveHeader)
        return fail(0, "the file has no header line");
    return true;
}

}  // namespace tw::backoffice
