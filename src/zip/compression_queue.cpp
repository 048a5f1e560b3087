#include "zip/compression_queue.h"

#include <cstdio>

#include "zip/entry_deflater.h"

namespace tw::zip {

namespace {

constexpr std::size_t kSlots = 64;  // how far the workers may run ahead of the writer
constexpr std::size_t kReadBytes = 64 * 1024;

void CompressFile(const std::string& source, CompressionQueue::Result& result,
                  EntryDeflater& deflater, std::vector<char>& buffer) {
    result.ok = false;
    result.tooLarge = false;
    result.compressed.clear();
    if (!ExamineSourceFile(source, result.info))
        return;
    std::FILE* file = std::fopen(source.c_str(), "rb");
    if (file == nullptr)
        return;
    std::setvbuf(file, nullptr, _IONBF, 0);
    bool ok = deflater.Reset();
    const auto append = [&](const unsigned char* data, unsigned size) {
        result.compressed.insert(result.compressed.end(), data, data + size);
        return true;
    };
    while (ok) {
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
        const bool last = got < buffer.size();
        if (last && std::ferror(file)) {
            ok = false;
        } else if (deflater.InputBytes() + got > CompressionQueue::kMaxFileBytes) {
            result.tooLarge = true;
            ok = false;
        } else {
            ok = deflater.Compress(buffer.data(), got, last, append);
        }
        if (last)
            break;
    }
    std::fclose(file);
    if (!ok)
        return;
    result.size = deflater.InputBytes();
    result.crc = deflater.Crc();
    result.ok = true;
}

}  // namespace

CompressionQueue::CompressionQueue(const std::vector<std::string>& sources, unsigned workers)
    : sources_(sources), slots_(kSlots) {
    if (workers == 0)
        workers = 1;
    if (workers > sources.size())
        workers = static_cast<unsigned>(sources.size());
    workers_.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) {
        workers_.emplace_back([this](std::stop_token stop) { Work(stop); });
    }
}

CompressionQueue::~CompressionQueue() {
    for (std::jthread& worker : workers_) worker.request_stop();
    workers_.clear();  // joins
}

void CompressionQueue::Work(std::stop_token stop) {
    EntryDeflater deflater;
    std::vector<char> buffer(kReadBytes);
    for (;;) {
        std::size_t index;
        {
            std::unique_lock lock(mutex_);
            const auto mayTake = [&] {
                return next_ >= sources_.size() || next_ < released_ + slots_.size();
            };
            if (!mayTake()) {
                ++blockedWorkers_;
                const bool go = slotFree_.wait(lock, stop, mayTake);
                --blockedWorkers_;
                if (!go)
                    return;
            }
            if (stop.stop_requested() || next_ >= sources_.size())
                return;
            index = next_++;
        }
        // The slot is this worker's alone until it is marked ready.
        Slot& slot = slots_[index % slots_.size()];
        try {
            CompressFile(sources_[index], slot.result, deflater, buffer);
        } catch (...) {
            slot.result.ok = false;
            slot.result.tooLarge = false;
        }
        bool wake;
        {
            std::lock_guard lock(mutex_);
            slot.readyIndex = index;
            wake = awaited_ == index;
        }
        if (wake)
            resultReady_.notify_one();
    }
}

const CompressionQueue::Result& CompressionQueue::Wait(std::size_t index) {
    Slot& slot = slots_[index % slots_.size()];
    std::unique_lock lock(mutex_);
    if (slot.readyIndex != index) {
        awaited_ = index;
        resultReady_.wait(lock, [&] { return slot.readyIndex == index; });
        awaited_ = static_cast<std::size_t>(-1);
    }
    return slot.result;
}

void CompressionQueue::Release(std::size_t index) {
    bool wake;
    {
        std::lock_guard lock(mutex_);
        released_ = index + 1;
        wake = blockedWorkers_ > 0;
    }
    if (wake)
        slotFree_.notify_all();
}

}  // namespace tw::zip
