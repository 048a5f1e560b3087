#include "naxml/editors/grid_model.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

#include "messages/message.h"
#include "naxml/maintenance/packed_cell.h"
#include "naxml/maintenance/text_rules.h"

namespace tw::naxml {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The numbers of text separated by any of `separators`; nullopt when anything else is there.
std::optional<std::vector<int>> SplitNumbers(std::string_view text, std::string_view separators) {
    std::vector<int> numbers;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find_first_of(separators, at), text.size());
        const std::string_view part = text.substr(at, end - at);
        int value = 0;
        if (part.empty() || part.size() > 4 || !std::all_of(part.begin(), part.end(), IsDigit))
            return std::nullopt;
        std::from_chars(part.data(), part.data() + part.size(), value);
        numbers.push_back(value);
        at = end + 1;
    }
    return numbers;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool IsValidDate(int year, int month, int day) {
    static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1)
        return false;
    const int last = kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
    return day <= last;
}

std::string FormatDate(int year, int month, int day) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    return text;
}

// Two-digit years are this century's.
int FullYear(int year, std::size_t digits) {
    return digits <= 2 ? 2000 + year : year;
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

}  // namespace

GridColumn TextColumn(std::string caption, int widthTwips, ColumnAlignment alignment,
                      std::size_t maxChars) {
    GridColumn column;
    column.caption = std::move(caption);
    column.widthTwips = widthTwips;
    column.alignment = alignment;
    column.maxChars = maxChars;
    return column;
}

GridColumn NumericColumn(std::string caption, int widthTwips, int decimals,
                         ColumnAlignment alignment) {
    GridColumn column = TextColumn(std::move(caption), widthTwips, alignment);
    column.numeric = true;
    column.decimals = decimals;
    return column;
}

GridColumn DropDownColumn(std::string caption, int widthTwips, std::vector<std::string> items,
                          bool allowsTyping) {
    GridColumn column = TextColumn(std::move(caption), widthTwips);
    column.kind = ColumnKind::kDropDown;
    column.items = std::move(items);
    column.allowsTyping = allowsTyping;
    return column;
}

GridColumn CodedDropDownColumn(std::string caption, int widthTwips,
                               std::vector<std::pair<int, std::string>> codes) {
    GridColumn column = TextColumn(std::move(caption), widthTwips);
    column.kind = ColumnKind::kCodedDropDown;
    column.codes = std::move(codes);
    return column;
}

std::string FormatGridNumber(std::string_view typed, int decimals) {
    std::string_view text = TrimWhiteSpace(typed);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto parsed =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (parsed.ec != std::errc())
        value = 0;
    char buffer[512];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value,
                                       std::chars_format::fixed, std::clamp(decimals, 0, 20));
    std::string number(buffer, written.ec == std::errc() ? written.ptr : buffer);
    if (number.size() < 3)
        number.insert(0, 3 - number.size(), ' ');
    return number;
}

std::optional<std::string> NormaliseGridDate(std::string_view typed) {
    const std::string_view text = TrimWhiteSpace(typed);
    const auto separator = text.find_first_of("-/.");
    if (separator == std::string_view::npos)
        return std::nullopt;
    const char mark = text[separator];
    const auto numbers = SplitNumbers(text, std::string_view(&mark, 1));
    if (!numbers || numbers->size() != 3)
        return std::nullopt;
    const auto& n = *numbers;
    if (separator == 4) {  // year first
        if (IsValidDate(n[0], n[1], n[2]))
            return FormatDate(n[0], n[1], n[2]);
        return std::nullopt;
    }
    const int year = FullYear(n[2], text.size() - text.rfind(mark) - 1);
    if (IsValidDate(year, n[1], n[0]))
        return FormatDate(year, n[1], n[0]);
    if (IsValidDate(year, n[0], n[1]))
        return FormatDate(year, n[0], n[1]);
    return std::nullopt;
}

std::optional<std::string> NormaliseGridTime(std::string_view typed) {
    std::string text = LowerAscii(TrimWhiteSpace(typed));
    int addHours = 0;
    bool twelveHour = false;
    for (const auto& [suffix, add] : {std::pair{"am", 0}, std::pair{"pm", 12}}) {
        if (text.size() > 2 && text.ends_with(suffix)) {
            text = std::string(TrimWhiteSpace(std::string_view(text).substr(0, text.size() - 2)));
            addHours = add;
            twelveHour = true;
        }
    }
    std::optional<std::vector<int>> numbers;
    if (text.find(':') != std::string::npos) {
        numbers = SplitNumbers(text, ":");
    } else if ((text.size() == 4 || text.size() == 6) &&
               std::all_of(text.begin(), text.end(), IsDigit)) {
        numbers.emplace();
        for (std::size_t at = 0; at < text.size(); at += 2)
            numbers->push_back((text[at] - '0') * 10 + (text[at + 1] - '0'));
    }
    if (!numbers || numbers->size() < 2 || numbers->size() > 3)
        return std::nullopt;
    int hours = (*numbers)[0];
    const int minutes = (*numbers)[1];
    const int seconds = numbers->size() == 3 ? (*numbers)[2] : 0;
    if (twelveHour) {
        if (hours < 1 || hours > 12)
            return std::nullopt;
        hours = hours % 12 + addHours;
    }
    if (hours > 23 || minutes > 59 || seconds > 59)
        return std::nullopt;
    char result[48];
    std::snprintf(result, sizeof result, "%02d:%02d:%02d", hours, minutes, seconds);
    return std::string(result);
}

std::string CommitTextRule(const GridColumn& column, std::string_view typed, std::string_view old) {
    if (typed.empty())
        return {};
    if (column.numeric && !column.noReformat)
        return FormatGridNumber(typed, column.decimals);
    if (column.date) {
        const auto date = NormaliseGridDate(typed);
        return date ? *date : std::string(old);
    }
    if (column.time) {
        const auto time = NormaliseGridTime(typed);
        return time ? *time : std::string(old);
    }
    if (column.maxChars > 0)
        return CutToChars(typed, column.maxChars);
    return std::string(typed);
}

bool AcceptsKey(const GridColumn& column, char32_t key) {
    if (key < 0x20 || key == 0x7F)
        return true;
    if (column.numeric) {
        return (key >= '0' && key <= '9') || key == '%' || key == '\'' || key == '+' ||
               key == '-' || key == '.';
    }
    return key != ';' || column.allowSemicolon;
}

std::vector<std::string> DropDownChoices(const GridColumn& column) {
    std::vector<std::string> choices{""};
    if (column.kind == ColumnKind::kCodedDropDown) {
        for (const auto& [code, text] : column.codes) choices.push_back(text);
    } else {
        choices.insert(choices.end(), column.items.begin(), column.items.end());
    }
    return choices;
}

std::optional<std::string> ResolveDropDown(const std::vector<std::string>& choices,
                                           std::optional<std::size_t> selected,
                                           std::string_view typed) {
    if (selected && *selected < choices.size())
        return choices[*selected];
    if (typed.empty())
        return std::nullopt;
    for (const std::string& choice : choices) {
        if (std::string_view(choice).starts_with(typed))
            return choice;
    }
    return std::nullopt;
}

// ---- GridModel ----

GridModel::GridModel(GridOptions options, Prompter& prompter, PendingDeletions& deletions)
    : options_(options), prompter_(prompter), deletions_(deletions) {}

void GridModel::AddColumn(GridColumn column) {
    columns_.push_back(std::move(column));
    for (auto& row : rows_) row.resize(columns_.size());
}

const std::string& GridModel::Cell(std::size_t row, std::size_t column) const {
    static const std::string kEmpty;
    if (row >= rows_.size() || column >= rows_[row].size())
        return kEmpty;
    return rows_[row][column];
}

void GridModel::SetCell(std::size_t row, std::size_t column, std::string text) {
    rows_.at(row).at(column) = std::move(text);
}

void GridModel::AppendRow(std::vector<std::string> cells) {
    cells.resize(columns_.size());
    if (observer_)
        observer_->BeforeInsertRow(rows_.size());
    rows_.push_back(std::move(cells));
    if (observer_)
        observer_->AfterInsertRow();
}

void GridModel::RemoveRow(std::size_t row) {
    if (observer_)
        observer_->BeforeRemoveRow(row);
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
    if (observer_)
        observer_->AfterRemoveRow();
}

unsigned GridModel::CellColour(std::size_t column) const {
    return columns_.at(column).presentAtPos ? kCellWhite : kCellDisabled;
}

bool GridModel::BeginEdit(std::size_t column) {
    if (columns_.at(column).presentAtPos)
        return true;
    prompter_.ShowMessage(kNotPresentAtPos);
    return false;
}

bool GridModel::CommitText(std::size_t row, std::size_t column, std::string_view typed) {
    const std::string old = Cell(row, column);
    SetCell(row, column, CommitTextRule(columns_.at(column), typed, old));
    return AfterCommit(row, column, old);
}

bool GridModel::CommitChoice(std::size_t row, std::size_t column,
                             std::optional<std::size_t> selected, std::string_view typed) {
    const std::string old = Cell(row, column);
    if (auto choice = ResolveDropDown(DropDownChoices(columns_.at(column)), selected, typed))
        SetCell(row, column, std::move(*choice));
    return AfterCommit(row, column, old);
}

bool GridModel::AfterCommit(std::size_t row, std::size_t column, const std::string& old) {
    const std::string_view oldKey = TrimWhiteSpace(old);
    if (options_.rowDeletion && column == options_.keyColumn && !oldKey.empty() &&
        Cell(row, column).empty()) {
        if (prompter_.AskYesNo(kDeleteRowCaption, kDeleteRowQuestion)) {
            RemoveRow(row);
            // Recorded as the file writes the key: a numeric key is written without the
            // grid's display padding (" 12"), any other key as typed.
            const bool numeric = columns_.at(column).numeric;
            deletions_.Add(options_.editorId, numeric ? std::string(oldKey) : old);
            return true;
        }
        return false;  // the key stays empty and the row is skipped on saving
    }
    Committed(row, column);
    return false;
}

std::optional<std::size_t> GridModel::AskAddRow() {
    if (!prompter_.AskYesNo(kNewRowCaption, kNewRowQuestion))
        return std::nullopt;
    AppendRow();
    return rows_.size() - 1;
}

// ---- sub-editors ----

std::vector<std::vector<std::string>> SubEditorRows(std::string_view cell,
                                                    std::size_t fieldsPerGroup,
                                                    std::size_t minimumRows) {
    std::vector<std::vector<std::string>> rows = SplitPackedCell(cell, fieldsPerGroup);
    rows.resize(std::max(minimumRows, rows.size() + 1), std::vector<std::string>(fieldsPerGroup));
    return rows;
}

std::string PackSubEditorRows(const std::vector<std::vector<std::string>>& rows,
                              std::size_t fieldsPerGroup, std::size_t minimumRows) {
    std::size_t used = 0;
    for (std::size_t row = 0; row < rows.size(); ++row) {
        if (std::any_of(rows[row].begin(), rows[row].end(),
                        [](const std::string& field) { return !field.empty(); })) {
            used = row + 1;
        }
    }
    const std::size_t count = std::max(used, std::min(minimumRows, rows.size()));
    std::string cell;
    for (std::size_t row = 0; row < count; ++row) {
        for (std::size_t field = 0; field < fieldsPerGroup; ++field) {
            AppendPackedField(cell, field < rows[row].size() ? rows[row][field] : "");
        }
    }
    return cell;
}

}  // namespace tw::naxml
