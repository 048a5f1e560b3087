#include "messages/screen_queue.h"

namespace tw {

// ---- MessageDocument ----

MessageDocument::~MessageDocument() {
    if (queueLink_)
        queueLink_->SetDocument(nullptr);
}

void MessageDocument::LinkQueue(ScreenMessageQueue& queue) {
    queueLink_ = &queue;
    queue.SetDocument(this);
}

void MessageDocument::SetView(MessageListControl* list) {
    std::lock_guard lock(viewMutex_);
    view_ = list;
}

void MessageDocument::AddMessage(const std::string& text) {
    std::lock_guard lock(viewMutex_);
    if (view_)
        AppendToList(*view_, text);
}

void MessageDocument::AppendToList(MessageListControl& list, const std::string& text) {
    list.AppendItem(text);
    if (maxLines_ > 0 && list.ItemCount() > maxLines_)
        list.DeleteItem(0);
    list.ScrollToBottom();
}

// ---- ScreenMessageQueue ----

ScreenMessageQueue::ScreenMessageQueue(MessageDocument* document, bool directOnUiThread)
    : directOnUiThread_(directOnUiThread),
      uiThread_(std::this_thread::get_id()),
      document_(document),
      worker_([this](std::stop_token stop) { Run(stop); }) {}

ScreenMessageQueue::~ScreenMessageQueue() {
    worker_.request_stop();
    wakeEvent_.Set();
    worker_.join();
    std::lock_guard lock(documentMutex_);
    if (document_)
        document_->ForgetQueue(this);
    document_ = nullptr;
}

void ScreenMessageQueue::Post(std::string text) {
    if (directOnUiThread_ && std::this_thread::get_id() == uiThread_) {
        Deliver(text);
        return;
    }
    {
        std::lock_guard lock(lock_);
        pending_.push_back(std::move(text));
        idleEvent_.Reset();
    }
    wakeEvent_.Set();
}

void ScreenMessageQueue::SetDocument(MessageDocument* document) {
    std::lock_guard lock(documentMutex_);
    document_ = document;
}

bool ScreenMessageQueue::WaitUntilIdle(std::chrono::milliseconds timeout) {
    return idleEvent_.WaitFor(timeout);
}

void ScreenMessageQueue::Deliver(const std::string& text) {
    std::lock_guard lock(documentMutex_);
    if (document_)
        document_->AddMessage(text);
}

void ScreenMessageQueue::Run(std::stop_token stop) {
    for (;;) {
        wakeEvent_.Wait();
        for (;;) {
            if (stop.stop_requested())
                return;
            std::string text;
            {
                std::lock_guard lock(lock_);
                if (pending_.empty()) {
                    // Reset under the lock: a Post that follows sets the event again.
                    wakeEvent_.Reset();
                    idleEvent_.Set();
                    break;
                }
                text = std::move(pending_.front());
                pending_.pop_front();
            }
            Deliver(text);
        }
    }
}

}  // namespace tw
