#pragma once
// The "Status" list of Tidewell's window: the message document's list control, fed from the
// screen queue's worker thread and shown on the UI thread in batches.
//
// A pass may report tens of thousands of lines ("Split to: ..." for every event). Each text is
// only queued under a lock on the reporting thread; the UI thread takes all queued texts at once
// a few times a second, so a burst never holds the window up. The list keeps the newest
// kMaxStatusRows lines: the document deletes the oldest beyond that, and a deletion that reaches
// texts not yet shown drops them from the queue, so neither the list nor the queue grows without
// bound. (Errors and log texts stay in POLL.LOG in full.)

#include <QAbstractListModel>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "messages/screen_queue.h"

class QAbstractItemView;

namespace tw::ui {

inline constexpr int kMaxStatusRows = 10000;

// One column headed "Status". Changed only on the UI thread.
class StatusListModel final : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Removes the first `count` rows, then appends `texts`.
    void Apply(int removeFirst, const std::vector<std::string>& texts);
    QString Row(int row) const { return rows_.at(static_cast<std::size_t>(row)); }

private:
    std::deque<QString> rows_;
};

// The MessageListControl of the window. Its MessageListControl calls come from the screen
// queue's worker (one at a time, as the document guarantees) and never wait for the UI thread;
// Flush and the model belong to the UI thread. Create it on the UI thread.
class BatchedStatusList final : public QObject, public MessageListControl {
public:
    // view (may be null) is scrolled to its last row after a batch that asked for it.
    BatchedStatusList(StatusListModel& model, QAbstractItemView* view, QObject* parent = nullptr);

    int ItemCount() const override;
    void AppendItem(const std::string& text) override;
    // The document deletes only the oldest item (index 0).
    void DeleteItem(int index) override;
    void ScrollToBottom() override;

    // UI thread: shows every queued change now (the timer does it otherwise).
    void Flush();

    // How long the UI thread lets texts gather before it shows them.
    static constexpr int kBatchIntervalMs = 40;

private:
    void ScheduleOnUiThread();

    StatusListModel& model_;
    QPointer<QAbstractItemView> view_;
    QTimer batchTimer_;
    mutable std::mutex mutex_;
    std::deque<std::string> pending_;  // appended, not yet shown
    int shownRows_ = 0;                // rows the model holds once the pending changes apply
    int dropShown_ = 0;                // of those, how many of the first are deleted
    bool scroll_ = false;
    bool scheduled_ = false;
};

}  // namespace tw::ui
