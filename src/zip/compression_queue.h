#pragma once
// Reads and deflates a list of files on worker threads and hands the results back in order
// (internal to the zip library). The zipper writes entry after entry while the next files are
// being compressed, so a folder of many small files keeps every core busy.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "zip/source_file.h"

namespace tw::zip {

// One file read and deflated by a worker.
struct CompressedFile {
    bool ok = false;        // read to its end and compressed
    bool tooLarge = false;  // not compressed: the writer streams it itself
    SourceFileInfo info;
    std::uint64_t size = 0;  // uncompressed
    unsigned long crc = 0;
    std::vector<unsigned char> compressed;  // raw deflate data
};

class CompressionQueue {
public:
    using Result = CompressedFile;

    // Files larger than this are left to the caller, which bounds the memory held in results.
    static constexpr std::uint64_t kMaxFileBytes = 1 << 20;

    // Starts up to `workers` threads (at least one) over sources, which must outlive the
    // queue and stay unchanged.
    CompressionQueue(const std::vector<std::string>& sources, unsigned workers);
    // Stops the workers after the file each is working on and joins them.
    ~CompressionQueue();
    CompressionQueue(const CompressionQueue&) = delete;
    CompressionQueue& operator=(const CompressionQueue&) = delete;

    // The result for sources[index], waiting until it is ready. Called by one thread, for
    // index 0, 1, 2, ... in turn, each followed by Release(index) once the result is used.
    const Result& Wait(std::size_t index);
    void Release(std::size_t index);

private:
    struct Slot {
        Result result;
        std::size_t readyIndex = static_cast<std::size_t>(-1);
    };

    void Work(std::stop_token stop);

    const std::vector<std::string>& sources_;
    std::vector<Slot> slots_;  // sources_[i] uses slots_[i % size]
    std::mutex mutex_;
    // Signalled only when someone waits: a notification per file would cost more than
    // compressing a small one.
    std::condition_variable resultReady_;
    std::condition_variable_any slotFree_;
    std::size_t next_ = 0;                                // next index a worker takes
    std::size_t released_ = 0;                            // indexes below it are done with
    std::size_t awaited_ = static_cast<std::size_t>(-1);  // the index the writer waits for
    unsigned blockedWorkers_ = 0;
    std::vector<std::jthread> workers_;
};

}  // namespace tw::zip
