// Add+Remove pairs per second through one shared queue ("QORCom.GlobalQueue", created by
// ProgID as any caller would) and through a POSIX message queue carrying messages of the same
// size, between two processes or within one.
//
//   queue_bench queue|mq two|one PAIRS CHARS
//
// two: a child takes entries off while the parent adds them; the parent's clock runs from the
// moment both are ready until the child has taken the last one. The shared queue has no
// waiting Remove, so the child polls (yielding the processor when the queue is empty) and the
// parent retries an Add refused as full. The message queue blocks both ways.
// one: one process adds and removes in turn, so the queue never holds more than one entry: what
// a pair costs without the other process.
// Every entry carries its number, and the taker checks that none is lost or out of order.

#include <fcntl.h>
#include <mqueue.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "comlite/activation.h"
#include "comlite/bstr.h"
#include "comlite/com_ptr.h"
#include "qorcom/interfaces/local.h"

namespace {

// CHARS characters: the number, then padding.
std::u16string Entry(long number, int chars) {
    std::string digits = std::to_string(number);
    std::u16string text(digits.begin(), digits.end());
    text.resize(static_cast<std::size_t>(chars), u'.');
    return text;
}

long NumberOf(std::u16string_view text) {
    long n = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9')
            break;
        n = n * 10 + (c - u'0');
    }
    return n;
}

[[noreturn]] void Die(const char* what) {
    std::fprintf(stderr, "queue_bench: %s\n", what);
    std::exit(1);
}

comlite::ComPtr<IQORGlobalQueue> OpenQueue(const std::string& name) {
    comlite::ComPtr<IQORGlobalQueue> queue;
    CLSID clsid{};
    if (CLSIDFromProgID(u"QORCom.GlobalQueue", &clsid) != S_OK ||
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IQORGlobalQueue,
                         queue.PutVoid()) != S_OK)
        Die("cannot create QORCom.GlobalQueue (is libqorcom.so registered?)");
    queue->put_Name(comlite::Bstr::FromUtf8(name).Get());
    VARIANT_BOOL empty;
    if (queue->get_Empty(&empty) != S_OK)
        Die("cannot open the queue");
    return queue;
}

void QueueAdd(IQORGlobalQueue* queue, long number, int chars) {
    comlite::Bstr entry(Entry(number, chars));
    while (queue->Add(entry.Get()) != S_OK) sched_yield();  // full: let the taker run
}

void QueueTake(IQORGlobalQueue* queue, long expected) {
    for (;;) {
        comlite::Bstr value;
        VARIANT_BOOL taken = VARIANT_FALSE;
        if (queue->Remove(value.Put(), &taken) != S_OK)
            Die("Remove failed");
        if (taken) {
            if (NumberOf(value.View()) != expected)
                Die("an entry was lost or came out of order");
            return;
        }
        sched_yield();
    }
}

struct MessageQueue {
    mqd_t mq;
    std::size_t bytes;
};

void MqAdd(const MessageQueue& q, long number, int chars) {
    const std::u16string entry = Entry(number, chars);
    if (mq_send(q.mq, reinterpret_cast<const char*>(entry.c_str()), q.bytes, 0) != 0)
        Die("mq_send failed");
}

void MqTake(const MessageQueue& q, long expected) {
    std::u16string buffer(q.bytes / 2, u'\0');
    if (mq_receive(q.mq, reinterpret_cast<char*>(buffer.data()), q.bytes, nullptr) < 0)
        Die("mq_receive failed");
    if (NumberOf(buffer) != expected)
        Die("a message was lost or came out of order");
}

using Clock = std::chrono::steady_clock;

// Runs `add` in this process and `take` in a child (two) or both here (one); the seconds.
template <class Open, class Add, class Take>
double Run(bool twoProcesses, long pairs, Open open, Add add, Take take) {
    if (!twoProcesses) {
        auto q = open();
        const auto start = Clock::now();
        for (long i = 0; i < pairs; ++i) {
            add(q, i);
            take(q, i);
        }
        return std::chrono::duration<double>(Clock::now() - start).count();
    }
    int ready[2];
    if (pipe(ready) != 0)
        Die("pipe failed");
    const pid_t child = fork();
    if (child < 0)
        Die("fork failed");
    if (child == 0) {
        close(ready[0]);
        CoInitialize(nullptr);
        {
            auto q = open();
            if (write(ready[1], "r", 1) != 1)
                _exit(1);
            for (long i = 0; i < pairs; ++i) take(q, i);
        }
        _exit(0);
    }
    close(ready[1]);
    auto q = open();
    char byte;
    if (read(ready[0], &byte, 1) != 1)
        Die("the taker did not start");
    const auto start = Clock::now();
    for (long i = 0; i < pairs; ++i) add(q, i);
    int status = 0;
    waitpid(child, &status, 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        Die("the taker failed");
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5)
        Die("usage: queue_bench queue|mq two|one PAIRS CHARS");
    const std::string kind = argv[1];
    const bool two = std::string(argv[2]) == "two";
    const long pairs = std::atol(argv[3]);
    const int chars = std::atoi(argv[4]);
    const std::string name = "qorbench-" + std::to_string(getpid());
    CoInitialize(nullptr);
    double seconds = 0;
    if (kind == "queue") {
        seconds = Run(
            two, pairs, [&] { return OpenQueue(name); },
            [&](auto& q, long i) { QueueAdd(q.Get(), i, chars); },
            [](auto& q, long i) { QueueTake(q.Get(), i); });
    } else {
        // The same bytes as a stored entry: the characters and their terminator.
        const std::size_t bytes = (static_cast<std::size_t>(chars) + 1) * 2;
        const std::string mqName = "/" + name;
        mq_attr attr{};
        attr.mq_maxmsg = 10;
        attr.mq_msgsize = static_cast<long>(bytes);
        const mqd_t created = mq_open(mqName.c_str(), O_CREAT | O_EXCL | O_RDWR, 0600, &attr);
        if (created == static_cast<mqd_t>(-1))
            Die("mq_open failed");
        seconds = Run(
            two, pairs,
            [&] {
                return MessageQueue{mq_open(mqName.c_str(), O_RDWR), bytes};
            },
            [&](const MessageQueue& q, long i) { MqAdd(q, i, chars); },
            [](const MessageQueue& q, long i) { MqTake(q, i); });
        mq_close(created);
        mq_unlink(mqName.c_str());
    }
    std::printf("%.0f\n", static_cast<double>(pairs) / seconds);
    return 0;
}
