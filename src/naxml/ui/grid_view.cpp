#include "naxml/ui/grid_view.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QColor>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStringListModel>

#include "naxml/editors/grid_model.h"

namespace tw::ui {
namespace {

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

Qt::Alignment AlignmentOf(const naxml::GridColumn& column) {
    switch (column.alignment) {
        case naxml::ColumnAlignment::kLeft:
            return Qt::AlignLeft | Qt::AlignVCenter;
        case naxml::ColumnAlignment::kRight:
            return Qt::AlignRight | Qt::AlignVCenter;
        default:
            return Qt::AlignCenter;
    }
}

// The in-place text editor: refuses the characters its column refuses, typed or pasted one by
// one alike.
class GridLineEdit final : public QLineEdit {
public:
    GridLineEdit(const naxml::GridColumn& column, QWidget* parent)
        : QLineEdit(parent), column_(column) {
        setAlignment(AlignmentOf(column));
        setFrame(false);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        for (const char32_t key : event->text().toStdU32String()) {
            if (!naxml::AcceptsKey(column_, key)) {
                event->accept();
                return;
            }
        }
        QLineEdit::keyPressEvent(event);
    }

private:
    const naxml::GridColumn& column_;
};

}  // namespace

// ---- GridTableModel ----

GridTableModel::GridTableModel(naxml::GridModel& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid) {
    grid_.SetObserver(this);
}

GridTableModel::~GridTableModel() {
    grid_.SetObserver(nullptr);
}

int GridTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(grid_.RowCount());
}

int GridTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(grid_.ColumnCount());
}

QVariant GridTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    const auto column = static_cast<std::size_t>(index.column());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return QString::fromStdString(grid_.Cell(row, column));
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(AlignmentOf(grid_.Column(column)));
        case Qt::BackgroundRole:
            return QColor::fromRgb(grid_.CellColour(column));
        case Qt::ForegroundRole:
            return grid_.Column(column).presentAtPos ? QVariant() : QColor(Qt::lightGray);
        default:
            return {};
    }
}

QVariant GridTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return QString::fromStdString(grid_.Column(static_cast<std::size_t>(section)).caption);
    return section + 1;
}

Qt::ItemFlags GridTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool GridTableModel::CommitText(const QModelIndex& index, const QString& typed) {
    const int row = index.row();
    const bool removed = grid_.CommitText(static_cast<std::size_t>(row),
                                          static_cast<std::size_t>(index.column()), Utf8(typed));
    if (!removed)
        RowChanged(row);
    return removed;
}

bool GridTableModel::CommitChoice(const QModelIndex& index, std::optional<int> selected,
                                  const QString& typed) {
    const int row = index.row();
    std::optional<std::size_t> choice;
    if (selected && *selected >= 0)
        choice = static_cast<std::size_t>(*selected);
    const bool removed =
        grid_.CommitChoice(static_cast<std::size_t>(row), static_cast<std::size_t>(index.column()),
                           choice, Utf8(typed));
    if (!removed)
        RowChanged(row);
    return removed;
}

void GridTableModel::SetCell(int row, int column, const std::string& text) {
    grid_.SetCell(static_cast<std::size_t>(row), static_cast<std::size_t>(column), text);
    RowChanged(row);
}

// A commit may change other cells of its row (an item choice sets the code's format).
void GridTableModel::RowChanged(int row) {
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void GridTableModel::BeforeInsertRow(std::size_t row) {
    beginInsertRows({}, static_cast<int>(row), static_cast<int>(row));
}
void GridTableModel::AfterInsertRow() {
    endInsertRows();
}
void GridTableModel::BeforeRemoveRow(std::size_t row) {
    beginRemoveRows({}, static_cast<int>(row), static_cast<int>(row));
}
void GridTableModel::AfterRemoveRow() {
    endRemoveRows();
}

// ---- GridDelegate ----

GridDelegate::GridDelegate(GridTableModel& model, QObject* parent)
    : QStyledItemDelegate(parent), model_(model) {}

QWidget* GridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                                    const QModelIndex& index) const {
    const naxml::GridColumn& column =
        model_.Grid().Column(static_cast<std::size_t>(index.column()));
    if (!column.IsDropDown())
        return new GridLineEdit(column, parent);
    auto* combo = new QComboBox(parent);
    combo->setEditable(column.allowsTyping);
    combo->setInsertPolicy(QComboBox::NoInsert);
    const Choices& choices = ChoicesOf(index.column(), *combo);
    combo->setModel(choices.model.get());
    combo->setMinimumContentsLength(12);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    // The list drops wider than the cell, so that whole choices can be read.
    combo->view()->setMinimumWidth(choices.widthPixels + 32);
    return combo;
}

const GridDelegate::Choices& GridDelegate::ChoicesOf(int column, const QWidget& editor) const {
    Choices& choices = choices_[column];
    if (choices.model == nullptr) {
        QStringList texts;
        QString widest;
        for (const std::string& choice :
             naxml::DropDownChoices(model_.Grid().Column(static_cast<std::size_t>(column)))) {
            texts << QString::fromStdString(choice);
            if (texts.back().size() > widest.size())
                widest = texts.back();
        }
        // Kept by the delegate: combo boxes come and go, their choices stay.
        choices.model = std::make_unique<QStringListModel>(texts);
        choices.widthPixels = editor.fontMetrics().horizontalAdvance(widest);
    }
    return choices;
}

void GridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    const QString text = index.data(Qt::EditRole).toString();
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->setText(text);
        line->selectAll();  // a typed character replaces the cell's text
    } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        const int at = combo->findText(text);
        combo->setCurrentIndex(at);
        if (at < 0 && combo->isEditable())
            combo->setEditText(text);
    }
}

void GridDelegate::setModelData(QWidget* editor, QAbstractItemModel* /*model*/,
                                const QModelIndex& index) const {
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        model_.CommitText(index, line->text());
    } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        if (!combo->isEditable()) {
            model_.CommitChoice(index, combo->currentIndex(), {});
        } else {
            // The typed text decides: an exact choice, else the first that begins with it.
            const QString typed = combo->currentText();
            const int exact = combo->findText(typed);
            model_.CommitChoice(index, exact >= 0 ? std::optional<int>(exact) : std::nullopt,
                                typed);
        }
    }
}

// ---- GridView ----

GridView::GridView(naxml::GridModel& grid, QWidget* parent)
    : QTableView(parent),
      model_(new GridTableModel(grid, this)),
      delegate_(new GridDelegate(*model_, this)) {
    setModel(model_);
    setItemDelegate(delegate_);
    setEditTriggers(DoubleClicked | SelectedClicked | EditKeyPressed | AnyKeyPressed);
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectItems);
    setTabKeyNavigation(true);
    setAlternatingRowColors(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(PixelsDown(naxml::kEditorRowHeightTwips));
    horizontalHeader()->setHighlightSections(false);
    // The editors' widths, widened where this screen's font needs more for the caption.
    for (int column = 0; column < static_cast<int>(grid.ColumnCount()); ++column) {
        const int designed = PixelsAcross(grid.Column(static_cast<std::size_t>(column)).widthTwips);
        setColumnWidth(column, std::max(designed, horizontalHeader()->sectionSizeHint(column) + 8));
    }
    if (grid.RowCount() > 0 && grid.ColumnCount() > 0)
        setCurrentIndex(model_->index(0, 0));
}

int GridView::PixelsAcross(int twips) const {
    return twips * logicalDpiX() / 1440;
}

int GridView::PixelsDown(int twips) const {
    return twips * logicalDpiY() / 1440;
}

bool GridView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // Only a user's request to edit is intercepted; the view also calls edit() to ask.
    const bool userEdit = index.isValid() && (trigger & editTriggers()) != 0;
    if (!userEdit || state() == EditingState)
        return QTableView::edit(index, trigger, event);
    naxml::GridModel& grid = model_->Grid();
    const auto column = static_cast<std::size_t>(index.column());
    if (!grid.BeginEdit(column))
        return false;
    if (grid.Column(column).subEditor != 0) {
        if (opener_)
            opener_(index.row(), index.column());
        return false;
    }
    return QTableView::edit(index, trigger, event);
}

QWidget* GridView::OpenEditor() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? indexWidget(current) : nullptr;
}

void GridView::CommitOpenEditor() {
    if (QWidget* editor = OpenEditor()) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

}  // namespace tw::ui
