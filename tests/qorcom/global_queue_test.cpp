#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "comlite/bstr.h"
#include "comlite/text.h"
#include "platform/process.h"
#include "platform/shared_section.h"
#include "qorcom/frame/errors.h"
#include "qorcom/interfaces/local.h"
#include "qorcom/local/queue_section.h"
#include "qorcom_test_support.h"
#include "support/scratch_dir.h"

namespace tw::qorcom {
namespace {

using comlite::ComPtr;

// Queue names no other run of these tests on the machine uses at the same time.
std::string UniqueName(const std::string& what) {
    static int counter = 0;
    return "qtest-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + "-" + what;
}

ComPtr<IQORGlobalQueue> OpenQueue(const std::string& name, const std::string& visibility = "") {
    auto queue = test::Create<IQORGlobalQueue>(CLSID_QORGlobalQueue, IID_IQORGlobalQueue);
    if (queue) {
        queue->put_Name(comlite::Bstr::FromUtf8(name).Get());
        queue->put_Visibility(comlite::Bstr::FromUtf8(visibility).Get());
    }
    return queue;
}

HRESULT Add(IQORGlobalQueue* queue, std::u16string_view text) {
    return queue->Add(comlite::Bstr(text).Get());
}

// "text" for an entry, "(none)" for an empty queue, "error: <text>" for a raised error.
std::string Remove(IQORGlobalQueue* queue) {
    comlite::Bstr value;
    VARIANT_BOOL result = VARIANT_TRUE;
    const HRESULT hr = queue->Remove(value.Put(), &result);
    if (FAILED(hr))
        return "error: " + test::TakeError();
    EXPECT_NE(value.Get(), nullptr) << "an empty queue still gives a string";
    return result ? value.Utf8() : "(none)";
}

std::string EmptyOf(IQORGlobalQueue* queue) {
    VARIANT_BOOL empty = VARIANT_FALSE;
    if (FAILED(queue->get_Empty(&empty)))
        return "error: " + test::TakeError();
    return empty ? "empty" : "not empty";
}

bool SharedObjectExists(const std::string& sectionName) {
    return std::filesystem::exists("/dev/shm" + platform::SharedObjectName(sectionName));
}

// The section's bytes as another process sees them, for damaging them or making them by hand.
class RawSection {
public:
    RawSection(const std::string& sectionName, bool create) {
        const std::string object = platform::SharedObjectName(sectionName);
        fd_ = shm_open(object.c_str(), O_RDWR | (create ? O_CREAT | O_EXCL : 0), 0600);
        if (fd_ < 0)
            return;
        if (create && ftruncate(fd_, kQueueSectionBytes) != 0)
            return;
        view_ = mmap(nullptr, kQueueSectionBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    }
    ~RawSection() {
        if (view_ != MAP_FAILED)
            munmap(view_, kQueueSectionBytes);
        if (fd_ >= 0)
            close(fd_);
    }
    bool ok() const { return view_ != MAP_FAILED; }
    void SetWord(std::size_t offset, std::uint32_t value) {
        std::memcpy(static_cast<char*>(view_) + offset, &value, sizeof value);
    }
    void Fill(std::size_t offset, std::size_t length, char byte) {
        std::memset(static_cast<char*>(view_) + offset, byte, length);
    }

private:
    int fd_ = -1;
    void* view_ = MAP_FAILED;
};

class QorcomGlobalQueueTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(test::TakeError(), ""); }
};

TEST_F(QorcomGlobalQueueTest, EntriesComeOutInOrderToAnyObjectOfTheSameName) {
    const std::string name = UniqueName("fifo");
    auto adder = OpenQueue(name), remover = OpenQueue(name);
    ASSERT_TRUE(adder && remover);
    EXPECT_EQ(EmptyOf(remover.Get()), "empty");
    EXPECT_EQ(Add(adder.Get(), u"A"), S_OK);
    EXPECT_EQ(Add(adder.Get(), u"B"), S_OK);
    EXPECT_EQ(Add(adder.Get(), u""), S_OK);
    EXPECT_EQ(EmptyOf(remover.Get()), "not empty");
    EXPECT_EQ(Remove(remover.Get()), "A");
    EXPECT_EQ(Remove(remover.Get()), "B");
    EXPECT_EQ(Remove(remover.Get()), "") << "an empty string is an entry";
    EXPECT_EQ(Remove(remover.Get()), "(none)");

    // Bound to the queue first used, whatever the name becomes.
    adder->put_Name(comlite::Bstr::FromUtf8(UniqueName("other")).Get());
    EXPECT_EQ(Add(adder.Get(), u"still here"), S_OK);
    EXPECT_EQ(Remove(remover.Get()), "still here");
    comlite::Bstr shown;
    ASSERT_EQ(adder->get_Name(shown.Put()), S_OK);
    EXPECT_NE(shown.Utf8(), name) << "the property itself changes";
}

TEST_F(QorcomGlobalQueueTest, AQueueNeedsANameAndLivesWithItsLastUser) {
    auto nameless = OpenQueue("");
    EXPECT_EQ(Add(nameless.Get(), u"x"), QorcomError(kErrorOperation));
    EXPECT_EQ(test::TakeError(),
              "QORCom.GlobalQueue: Specify a name for the queue before using it.");
    EXPECT_EQ(Remove(nameless.Get()),
              "error: QORCom.GlobalQueue: Specify a name for the queue before using it.");

    const std::string name = UniqueName("lifetime");
    auto first = OpenQueue(name);
    ASSERT_EQ(Add(first.Get(), u"kept while someone uses the queue"), S_OK);
    auto second = OpenQueue(name);
    ASSERT_EQ(EmptyOf(second.Get()), "not empty");
    first.Reset();
    EXPECT_EQ(Remove(second.Get()), "kept while someone uses the queue");
    ASSERT_EQ(Add(second.Get(), u"gone with the last user"), S_OK);
    second.Reset();
    EXPECT_FALSE(SharedObjectExists(name));
    auto third = OpenQueue(name);
    EXPECT_EQ(Remove(third.Get()), "(none)");
}

TEST_F(QorcomGlobalQueueTest, GlobalAndLocalAreDifferentQueues) {
    const std::string name = UniqueName("scope");
    auto global = OpenQueue(name, "Global"), local = OpenQueue(name, "Local"),
         none = OpenQueue(name), prefixed = OpenQueue("Global\\" + name);
    ASSERT_EQ(Add(global.Get(), u"for every user"), S_OK);
    ASSERT_EQ(Add(local.Get(), u"for this user"), S_OK);
    EXPECT_EQ(Remove(none.Get()), "for this user") << "no visibility is the user's own";
    EXPECT_EQ(Remove(local.Get()), "(none)");
    EXPECT_EQ(Remove(prefixed.Get()), "for every user") << "the prefix may come with the name";
}

TEST_F(QorcomGlobalQueueTest, AnEntryMustLeaveAByteFreeAndARefusedAddChangesNothing) {
    auto queue = OpenQueue(UniqueName("capacity"));
    // The data area holds 131060 bytes: an entry of 131060 bytes with its terminator is
    // refused, one of 131058 is taken, and then not even an empty string fits.
    const std::u16string tooBig(131060 / 2 - 1, u'x');
    const std::u16string biggest(131058 / 2 - 1, u'y');
    EXPECT_EQ(Add(queue.Get(), tooBig), QorcomError(kErrorOperation));
    EXPECT_EQ(test::TakeError(), "QORCom.GlobalQueue: Queue is full!");
    EXPECT_EQ(EmptyOf(queue.Get()), "empty");
    ASSERT_EQ(Add(queue.Get(), biggest), S_OK);
    EXPECT_EQ(Add(queue.Get(), u""), QorcomError(kErrorOperation));
    EXPECT_EQ(test::TakeError(), "QORCom.GlobalQueue: Queue is full!");
    EXPECT_EQ(Remove(queue.Get()), comlite::Utf16ToUtf8(biggest));
    EXPECT_EQ(Remove(queue.Get()), "(none)");
}

// A NUL inside a string ends the entry, so counting and reading stay in step.
TEST_F(QorcomGlobalQueueTest, AStringWithANulIsStoredUpToTheNul) {
    auto queue = OpenQueue(UniqueName("nul"));
    ASSERT_EQ(Add(queue.Get(), std::u16string_view(u"ab\0cd", 5)), S_OK);
    ASSERT_EQ(Add(queue.Get(), u"next"), S_OK);
    EXPECT_EQ(Remove(queue.Get()), "ab");
    EXPECT_EQ(Remove(queue.Get()), "next");
    EXPECT_EQ(Remove(queue.Get()), "(none)");
}

// A section that exists before anyone initialised it (its creator has not yet got that far, or
// died before it did) is initialised by the next user, never taken for a full queue.
TEST_F(QorcomGlobalQueueTest, ASectionWhoseHeaderWasNeverWrittenIsInitialisedNotFull) {
    const std::string name = UniqueName("uninitialised");
    RawSection raw(name, true);
    ASSERT_TRUE(raw.ok());
    auto queue = OpenQueue(name);
    EXPECT_EQ(Add(queue.Get(), u"first"), S_OK);
    EXPECT_EQ(Remove(queue.Get()), "first");
}

// Whatever another process wrote into the section, the queue reports it as corrupt and never
// reads or writes outside it.
TEST_F(QorcomGlobalQueueTest, ADamagedHeaderOrEntryIsReportedAsCorrupt) {
    struct Damage {
        const char* what;
        void (*apply)(RawSection&);
    };
    const Damage damages[] = {
        {"bytes in use beyond the capacity", [](RawSection& s) { s.SetWord(4, 0x7FFFFFF0); }},
        {"a capacity beyond the section", [](RawSection& s) { s.SetWord(8, 0x100000); }},
        {"more entries than bytes", [](RawSection& s) { s.SetWord(0, 1000); }},
        {"a negative count", [](RawSection& s) { s.SetWord(0, 0xFFFFFFFF); }},
        {"entries without terminators", [](RawSection& s) { s.Fill(12, 8, 'z'); }},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        const std::string name = UniqueName("corrupt");
        auto queue = OpenQueue(name);
        ASSERT_EQ(Add(queue.Get(), u"abc"), S_OK);
        {
            RawSection raw(name, false);
            ASSERT_TRUE(raw.ok());
            damage.apply(raw);
        }
        const std::string corrupt = "error: QORCom.GlobalQueue: Queue is corrupt.";
        EXPECT_EQ(Remove(queue.Get()), corrupt);
        EXPECT_EQ(EmptyOf(queue.Get()), corrupt);
        EXPECT_EQ(Add(queue.Get(), u"more"), QorcomError(kErrorOperation));
        EXPECT_EQ(test::TakeError(), "QORCom.GlobalQueue: Queue is corrupt.");
    }
}

void WaitForFile(const std::string& path) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!std::filesystem::exists(path) && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// Two other processes add 20,000 entries each while this one takes them off: every entry
// arrives once, each process's in its order.
TEST_F(QorcomGlobalQueueTest, TwoProcessesFeedingOneQueueLoseAndRepeatNothing) {
    constexpr int kEach = 20000;
    const std::string name = UniqueName("feed");
    auto queue = OpenQueue(name);
    ASSERT_EQ(EmptyOf(queue.Get()), "empty");  // holds the queue for the whole test
    int error = 0;
    auto a = platform::ChildProcess::Start(
        {QUEUE_PEER, "produce", name, "A", std::to_string(kEach)}, "", &error);
    auto b = platform::ChildProcess::Start(
        {QUEUE_PEER, "produce", name, "B", std::to_string(kEach)}, "", &error);
    ASSERT_TRUE(a && b) << error;
    int next[2] = {0, 0};
    const auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(3);
    while (next[0] + next[1] < 2 * kEach && std::chrono::steady_clock::now() < limit) {
        const std::string entry = Remove(queue.Get());
        if (entry == "(none)") {
            std::this_thread::yield();
            continue;
        }
        ASSERT_TRUE(entry.size() > 2 && (entry[0] == 'A' || entry[0] == 'B') && entry[1] == ':')
            << entry;
        int& expected = next[entry[0] - 'A'];
        ASSERT_EQ(entry.substr(2), std::to_string(expected)) << "lost, repeated or out of order";
        ++expected;
    }
    EXPECT_EQ(next[0], kEach);
    EXPECT_EQ(next[1], kEach);
    EXPECT_TRUE(a->Wait(std::chrono::seconds(60)).Succeeded());
    EXPECT_TRUE(b->Wait(std::chrono::seconds(60)).Succeeded());
    EXPECT_EQ(Remove(queue.Get()), "(none)");
}

// A process killed while it holds the queue's mutex neither blocks the others nor, once no one
// uses the queue any more, leaves it behind.
TEST_F(QorcomGlobalQueueTest, AKilledHolderLeavesNothingBehind) {
    tw::test::ScratchDir dir;
    const std::string name = UniqueName("killed");
    int error = 0;
    auto holder =
        platform::ChildProcess::Start({QUEUE_PEER, "hold", name, dir.File("ready")}, "", &error);
    ASSERT_TRUE(holder) << error;
    WaitForFile(dir.File("ready"));
    ASSERT_TRUE(std::filesystem::exists(dir.File("ready")));
    ASSERT_EQ(kill(holder->Pid(), SIGKILL), 0);
    EXPECT_EQ(holder->Wait(std::chrono::seconds(30)).signal, SIGKILL);

    auto queue = OpenQueue(name);
    EXPECT_EQ(EmptyOf(queue.Get()), "empty") << "the dead holder's queue went with it";
    ASSERT_EQ(Add(queue.Get(), u"fresh"), S_OK);
    EXPECT_EQ(Remove(queue.Get()), "fresh");
    queue.Reset();
    EXPECT_FALSE(SharedObjectExists(name));
}

}  // namespace
}  // namespace tw::qorcom
