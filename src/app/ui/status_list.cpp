#include "app/ui/status_list.h"

#include <QAbstractItemView>

namespace tw::ui {

// ---- StatusListModel ----

int StatusListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant StatusListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount())
        return {};
    return rows_[static_cast<std::size_t>(index.row())];
}

QVariant StatusListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return QStringLiteral("Status");
    return {};
}

void StatusListModel::Apply(int removeFirst, const std::vector<std::string>& texts) {
    removeFirst = std::min(removeFirst, rowCount());
    if (removeFirst > 0) {
        beginRemoveRows({}, 0, removeFirst - 1);
        rows_.erase(rows_.begin(), rows_.begin() + removeFirst);
        endRemoveRows();
    }
    if (!texts.empty()) {
        const int first = rowCount();
        beginInsertRows({}, first, first + static_cast<int>(texts.size()) - 1);
        for (const std::string& text : texts) rows_.push_back(QString::fromStdString(text));
        endInsertRows();
    }
}

// ---- BatchedStatusList ----

BatchedStatusList::BatchedStatusList(StatusListModel& model, QAbstractItemView* view,
                                     QObject* parent)
    : QObject(parent), model_(model), view_(view) {
    batchTimer_.setSingleShot(true);
    batchTimer_.setInterval(kBatchIntervalMs);
    connect(&batchTimer_, &QTimer::timeout, this, &BatchedStatusList::Flush);
}

int BatchedStatusList::ItemCount() const {
    std::lock_guard lock(mutex_);
    return shownRows_ - dropShown_ + static_cast<int>(pending_.size());
}

void BatchedStatusList::AppendItem(const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        pending_.push_back(text);
    }
    ScheduleOnUiThread();
}

void BatchedStatusList::DeleteItem(int index) {
    if (index != 0)
        return;
    std::lock_guard lock(mutex_);
    if (dropShown_ < shownRows_)
        ++dropShown_;
    else if (!pending_.empty())
        pending_.pop_front();  // never shown: the queue stays as short as the list
}

void BatchedStatusList::ScrollToBottom() {
    std::lock_guard lock(mutex_);
    scroll_ = true;
}

void BatchedStatusList::ScheduleOnUiThread() {
    {
        std::lock_guard lock(mutex_);
        if (scheduled_)
            return;
        scheduled_ = true;
    }
    // The timer belongs to the UI thread: start it there. Dropped if this object is gone.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!batchTimer_.isActive())
                batchTimer_.start();
        },
        Qt::QueuedConnection);
}

void BatchedStatusList::Flush() {
    std::vector<std::string> texts;
    int drop = 0;
    bool scroll = false;
    {
        std::lock_guard lock(mutex_);
        texts.assign(std::make_move_iterator(pending_.begin()),
                     std::make_move_iterator(pending_.end()));
        pending_.clear();
        drop = dropShown_;
        shownRows_ += static_cast<int>(texts.size()) - drop;
        dropShown_ = 0;
        scroll = scroll_;
        scroll_ = false;
        scheduled_ = false;
    }
    if (!texts.empty() || drop > 0)
        model_.Apply(drop, texts);
    // A batch may be taken between a text and the document's request to scroll to it: rows
    // added always scroll.
    if ((scroll || !texts.empty()) && view_)
        view_->scrollToBottom();
}

}  // namespace tw::ui
