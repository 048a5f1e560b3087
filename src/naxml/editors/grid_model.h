#pragma once
// The maintenance editors' grid without its widgets: typed columns, the cells of the rows, and
// what happens when an edit is committed (reformatting, the row-deletion question feeding the
// pending deletions), when a row is added, and when a packed list cell is opened in a
// sub-editor. The Qt grid (naxml/ui) only shows this model and forwards the user's keys and
// commits to it, so every rule here is tested without a display.
//
// Numbers are read and written in the C locale whatever the user's locale is: the POS reads
// "12.50", never "12,50".
//
// Rows are counted from 0 here; the caption row is not a row of the model.
//
// Threads: the user-interface thread only. The prompter and the pending deletions are not
// owned and must outlive the model.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "messages/ui_interfaces.h"
#include "naxml/maintenance/pending_deletions.h"

namespace tw::naxml {

enum class ColumnAlignment { kLeft = 1, kRight = 2, kCentre = 3 };

enum class ColumnKind {
    kText,          // edited in place as text
    kDropDown,      // a list of texts, with or without typing
    kCodedDropDown  // a list of display texts standing for codes
};

struct GridColumn {
    std::string caption;
    int widthTwips = 1440;
    bool presentAtPos = true;  // false: the column is disabled and painted grey
    ColumnKind kind = ColumnKind::kText;

    // Text columns.
    ColumnAlignment alignment = ColumnAlignment::kLeft;
    bool frozen = false;
    bool numeric = false;
    int decimals = 0;          // numeric columns
    std::size_t maxChars = 0;  // other text columns; 0: no limit
    bool allowSemicolon = true;
    bool date = false;
    bool time = false;
    bool noReformat = false;
    // Non-zero: the cell is a packed list edited in this sub-editor, not in place.
    int subEditor = 0;

    // Drop-down columns: the texts offered (an empty first choice is always added).
    std::vector<std::string> items;
    bool allowsTyping = false;
    // Coded drop-down columns: code and display text.
    std::vector<std::pair<int, std::string>> codes;

    bool IsDropDown() const { return kind != ColumnKind::kText; }
};

// Column factories with the editors' usual settings.
GridColumn TextColumn(std::string caption, int widthTwips,
                      ColumnAlignment alignment = ColumnAlignment::kLeft, std::size_t maxChars = 0);
GridColumn NumericColumn(std::string caption, int widthTwips, int decimals,
                         ColumnAlignment alignment = ColumnAlignment::kCentre);
GridColumn DropDownColumn(std::string caption, int widthTwips, std::vector<std::string> items,
                          bool allowsTyping);
GridColumn CodedDropDownColumn(std::string caption, int widthTwips,
                               std::vector<std::pair<int, std::string>> codes);

// ---- commit rules, one column at a time ----

// A number as the numeric columns show it: "%3.*lf" in the C locale (at least three
// characters, blanks on the left). Text that does not start with a number gives 0.
std::string FormatGridNumber(std::string_view typed, int decimals);
// "%04d-%02d-%02d" of a date typed as 2020-12-31, 31/12/2020, 31.12.2020 or 12/31/2020 (the
// day comes first when both readings are valid); nullopt when it is not a date.
std::optional<std::string> NormaliseGridDate(std::string_view typed);
// "%02d:%02d:%02d" of a time typed as 9:05, 09:05:30, 9:05 pm or 0905; nullopt otherwise.
std::optional<std::string> NormaliseGridTime(std::string_view typed);
// The text a text column keeps when `typed` is committed over `old`.
std::string CommitTextRule(const GridColumn& column, std::string_view typed, std::string_view old);

// The key filter of in-place editing: whether a typed character is accepted. Numeric columns
// take digits, "%", "'", "+", "-" and "." only; other columns refuse ";" unless allowed.
// Control keys (Backspace) are always accepted.
bool AcceptsKey(const GridColumn& column, char32_t key);

// The choices a drop-down offers: an empty first choice, then the column's texts.
std::vector<std::string> DropDownChoices(const GridColumn& column);
// The choice committed from a drop-down: `selected` when given, else the first choice that
// begins with `typed`; nullopt (the cell keeps its text) when nothing matches.
std::optional<std::string> ResolveDropDown(const std::vector<std::string>& choices,
                                           std::optional<std::size_t> selected,
                                           std::string_view typed);

// ---- the grid ----

struct GridOptions {
    bool rowDeletion = false;
    std::size_t keyColumn = 0;
    int editorId = 0;  // keys its pending deletions
};

inline constexpr const char* kNotPresentAtPos =
    "Functionality not present at POS. Column is disabled.";
inline constexpr const char* kDeleteRowCaption = "Delete Row";
inline constexpr const char* kDeleteRowQuestion =
    "You have removed the data. Would you like to delete this entire row?";
inline constexpr const char* kNewRowCaption = "New Row";
inline constexpr const char* kNewRowQuestion = "Would you like to create a new row?";

// Every editor's row height.
inline constexpr int kEditorRowHeightTwips = 340;

// Colours the editors paint cells with.
inline constexpr unsigned kCellWhite = 0xFFFFFF;
inline constexpr unsigned kCellDisabled = 0x4B4B4B;

// Told when rows come and go, so that a view over the model can follow. Called on the model's
// thread, around the change.
class GridObserver {
public:
    virtual ~GridObserver() = default;
    virtual void BeforeInsertRow(std::size_t /*row*/) {}
    virtual void AfterInsertRow() {}
    virtual void BeforeRemoveRow(std::size_t /*row*/) {}
    virtual void AfterRemoveRow() {}
};

class GridModel {
public:
    GridModel(GridOptions options, Prompter& prompter, PendingDeletions& deletions);
    virtual ~GridModel() = default;
    GridModel(const GridModel&) = delete;
    GridModel& operator=(const GridModel&) = delete;

    void AddColumn(GridColumn column);
    const GridColumn& Column(std::size_t column) const { return columns_.at(column); }
    std::size_t ColumnCount() const { return columns_.size(); }
    const GridOptions& Options() const { return options_; }

    std::size_t RowCount() const { return rows_.size(); }
    // Out of range: an empty text (a grid asks for cells it has not filled yet).
    const std::string& Cell(std::size_t row, std::size_t column) const;
    void SetCell(std::size_t row, std::size_t column, std::string text);
    const std::vector<std::string>& Row(std::size_t row) const { return rows_.at(row); }
    // Appends a row; missing cells are empty, extra ones are dropped.
    void AppendRow(std::vector<std::string> cells = {});
    void RemoveRow(std::size_t row);
    // The background colour of a cell: grey in columns not present at the POS.
    unsigned CellColour(std::size_t column) const;

    // Whether a cell may be edited; for a column not present at the POS shows kNotPresentAtPos
    // and answers false.
    bool BeginEdit(std::size_t column);
    // Commits text typed over a text cell (the column's rules), then asks the row-deletion
    // question when the key cell was emptied; on Yes the row goes and its key joins the pending
    // deletions (a numeric key without its display padding). True when the row was removed.
    bool CommitText(std::size_t row, std::size_t column, std::string_view typed);
    // Commits a drop-down cell (ResolveDropDown); the same deletion question for a key column.
    bool CommitChoice(std::size_t row, std::size_t column, std::optional<std::size_t> selected,
                      std::string_view typed);
    // Asks kNewRowQuestion; on Yes appends an empty row and returns its index.
    std::optional<std::size_t> AskAddRow();

    // The view that follows the rows (not owned; null for none).
    void SetObserver(GridObserver* observer) { observer_ = observer; }

    Prompter& GetPrompter() { return prompter_; }
    PendingDeletions& Deletions() { return deletions_; }

protected:
    // After a commit that kept the row; a grid that interprets its cells (item choices) hooks
    // in here.
    virtual void Committed(std::size_t /*row*/, std::size_t /*column*/) {}

private:
    bool AfterCommit(std::size_t row, std::size_t column, const std::string& old);

    GridOptions options_;
    Prompter& prompter_;
    PendingDeletions& deletions_;
    std::vector<GridColumn> columns_;
    std::vector<std::vector<std::string>> rows_;
    GridObserver* observer_ = nullptr;
};

// ---- packed list cells in sub-editors ----

// The rows a sub-editor shows for a packed cell: one per group, then empty rows up to
// max(minimumRows, groups + 1), so that every group is shown and one row is free.
std::vector<std::vector<std::string>> SubEditorRows(std::string_view cell,
                                                    std::size_t fieldsPerGroup,
                                                    std::size_t minimumRows);
// The packed cell of a sub-editor's rows, in row order. Every row up to the last one with a
// field set is kept; empty rows after it are packed only up to minimumRows, so reopening and
// confirming a cell does not grow it.
std::string PackSubEditorRows(const std::vector<std::vector<std::string>>& rows,
                              std::size_t fieldsPerGroup, std::size_t minimumRows);

inline constexpr std::size_t kSubEditorMinimumRows = 40;
inline constexpr std::size_t kComboListMinimumRows = 80;

}  // namespace tw::naxml
