#pragma once
// Carries screen texts from any thread to the message list of the main window, in posting
// order, through one worker thread.

#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "platform/event.h"

namespace tw {

class ScreenMessageQueue;

// The list control of the message view. The Qt list view implements it; tests use a vector.
// Called only from MessageDocument, one call at a time.
class MessageListControl {
public:
    virtual ~MessageListControl() = default;
    virtual int ItemCount() const = 0;
    virtual void AppendItem(const std::string& text) = 0;
    virtual void DeleteItem(int index) = 0;
    // Scrolls to the last item and repaints at once.
    virtual void ScrollToBottom() = 0;
};

// The document behind the message list. AddMessage is called on the queue's worker thread (or
// on the UI thread for a direct queue): a GUI implementation of MessageListControl must hand
// the change to its UI thread without waiting for it, or a UI thread that detaches the document
// at the same moment would deadlock.
class MessageDocument {
public:
    explicit MessageDocument(int maxLines = -1) : maxLines_(maxLines) {}
    // Detaches from the queue that feeds it, so the queue drops texts from then on.
    virtual ~MessageDocument();
    MessageDocument(const MessageDocument&) = delete;
    MessageDocument& operator=(const MessageDocument&) = delete;

    // Makes this the document the queue feeds. Either may be destroyed first: each unlinks
    // itself from the other.
    void LinkQueue(ScreenMessageQueue& queue);

    // The list of the document's first view; null when it has no view.
    void SetView(MessageListControl* list);

    // Appends to the first view's list; without a view, does nothing.
    virtual void AddMessage(const std::string& text);
    // Appends the text; with maxLines > 0 and more items than that, deletes the first item;
    // scrolls to the bottom.
    virtual void AppendToList(MessageListControl& list, const std::string& text);

    int MaxLines() const { return maxLines_; }
    void SetMaxLines(int maxLines) { maxLines_ = maxLines; }

private:
    friend class ScreenMessageQueue;
    // Called by a queue that goes away while linked.
    void ForgetQueue(const ScreenMessageQueue* queue) {
        if (queueLink_ == queue)
            queueLink_ = nullptr;
    }

    std::mutex viewMutex_;
    MessageListControl* view_ = nullptr;
    ScreenMessageQueue* queueLink_ = nullptr;
    int maxLines_;
};

// Thread-safe. Texts reach the document in the order they were posted; a text delivered while
// no document is linked is dropped. Destruction stops the worker cleanly (it finishes the text
// in hand) and discards texts still pending.
class ScreenMessageQueue {
public:
    // directOnUiThread: texts posted on the constructing (UI) thread go to the document at
    // once instead of through the worker.
    ScreenMessageQueue(MessageDocument* document, bool directOnUiThread);
    ~ScreenMessageQueue();
    ScreenMessageQueue(const ScreenMessageQueue&) = delete;
    ScreenMessageQueue& operator=(const ScreenMessageQueue&) = delete;

    void Post(std::string text);

    // Replaces the document; null detaches it. Waits for a delivery in progress, so after it
    // returns the old document is no longer touched.
    void SetDocument(MessageDocument* document);

    // Waits until every text posted so far has been handed out (or dropped); false on time-out.
    // For orderly shut-down and tests.
    bool WaitUntilIdle(std::chrono::milliseconds timeout);

private:
    void Run(std::stop_token stop);
    void Deliver(const std::string& text);

    const bool directOnUiThread_;
    const std::thread::id uiThread_;
    platform::Event wakeEvent_{platform::Event::Reset::Manual};
    platform::Event idleEvent_{platform::Event::Reset::Manual, true};
    std::mutex lock_;
    std::deque<std::string> pending_;
    std::mutex documentMutex_;
    MessageDocument* document_;
    std::jthread worker_;  // last: started after every other member exists
};

}  // namespace tw
