#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "messages/screen_queue.h"

namespace tw {
namespace {

using namespace std::chrono_literals;

class VectorList : public MessageListControl {
public:
    int ItemCount() const override { return static_cast<int>(items.size()); }
    void AppendItem(const std::string& text) override { items.push_back(text); }
    void DeleteItem(int index) override { items.erase(items.begin() + index); }
    void ScrollToBottom() override { ++scrolls; }
    std::vector<std::string> items;
    int scrolls = 0;
};

TEST(ScreenQueue, TextsFromManyThreadsArriveInPostingOrderPerThread) {
    VectorList list;
    MessageDocument document;
    document.SetView(&list);
    ScreenMessageQueue queue(&document, false);
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) queue.Post(std::to_string(t) + ":" + std::to_string(i));
        });
    }
    for (auto& p : posters) p.join();
    ASSERT_TRUE(queue.WaitUntilIdle(10s));
    ASSERT_EQ(list.items.size(), 2000u);
    int next[4] = {};
    for (const auto& item : list.items) {
        const int t = item[0] - '0';
        ASSERT_EQ(item, std::to_string(t) + ":" + std::to_string(next[t]));
        ++next[t];
    }
}

TEST(ScreenQueue, DirectQueueDeliversOnTheUiThreadAtOnce) {
    VectorList list;
    MessageDocument document;
    document.SetView(&list);
    ScreenMessageQueue queue(&document, true);
    queue.Post("at once");
    EXPECT_EQ(list.items, std::vector<std::string>{"at once"});
    std::thread([&] { queue.Post("from a worker"); }).join();
    ASSERT_TRUE(queue.WaitUntilIdle(10s));
    EXPECT_EQ(list.items.size(), 2u);
}

TEST(ScreenQueue, TextsWithoutDocumentAreDroppedAndDocumentUnlinksItself) {
    ScreenMessageQueue queue(nullptr, false);
    queue.Post("dropped");
    ASSERT_TRUE(queue.WaitUntilIdle(10s));
    VectorList list;
    {
        MessageDocument document;
        document.SetView(&list);
        document.LinkQueue(queue);
        queue.Post("shown");
        ASSERT_TRUE(queue.WaitUntilIdle(10s));
    }
    // The document is gone; the queue must not touch it.
    for (int i = 0; i < 100; ++i) queue.Post("after");
    ASSERT_TRUE(queue.WaitUntilIdle(10s));
    EXPECT_EQ(list.items, std::vector<std::string>{"shown"});

    MessageDocument viewless;  // a document without a view ignores texts
    viewless.AddMessage("nowhere");
}

TEST(ScreenQueue, QueueGoingFirstLeavesTheDocumentSafe) {
    VectorList list;
    MessageDocument document;
    document.SetView(&list);
    {
        ScreenMessageQueue queue(nullptr, false);
        document.LinkQueue(queue);
        queue.Post("one");
        queue.Post("two");
        ASSERT_TRUE(queue.WaitUntilIdle(10s));
    }
    // The document outlives its queue and still takes texts.
    document.AddMessage("three");
    EXPECT_EQ(list.items, (std::vector<std::string>{"one", "two", "three"}));
}  // the document's destructor must not reach the destroyed queue

TEST(ScreenQueue, StopsCleanlyWithTextsPending) {
    VectorList list;
    MessageDocument document;
    document.SetView(&list);
    {
        ScreenMessageQueue queue(&document, false);
        queue.Post("before");
        ASSERT_TRUE(queue.WaitUntilIdle(10s));
        for (int i = 0; i < 10000; ++i) queue.Post(std::to_string(i));
    }  // must return promptly without a crash or a hang
    // What was handed out arrived whole; of the texts still pending at the stop, only the first
    // ones may have, in posting order and none twice.
    ASSERT_FALSE(list.items.empty());
    EXPECT_EQ(list.items[0], "before");
    ASSERT_LE(list.items.size(), 10001u);
    for (std::size_t i = 1; i < list.items.size(); ++i) {
        ASSERT_EQ(list.items[i], std::to_string(i - 1));
    }
}

TEST(MessageDocument, MaxLinesDropsTheFirstItem) {
    VectorList list;
    MessageDocument document(3);
    document.SetView(&list);
    for (const char* text : {"a", "b", "c", "d"}) document.AddMessage(text);
    EXPECT_EQ(list.items, (std::vector<std::string>{"b", "c", "d"}));
    EXPECT_EQ(list.scrolls, 4);
    MessageDocument unlimited(-1);
    VectorList all;
    for (int i = 0; i < 50; ++i) unlimited.AppendToList(all, "t");
    EXPECT_EQ(all.items.size(), 50u);
}

}  // namespace
}  // namespace tw
