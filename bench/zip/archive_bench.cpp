// Runs the zip archiving of journal day folders once over a data directory and prints how
// long it took and how many allocations it made: all of them, and those of 64 KiB or more
// (a deflate stream set up per entry shows as four of those per file).
//
//   bench_archive <data directory>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>

#include "radiant/journal_archive.h"

// glibc lets a program replace malloc; the counting versions hand on to glibc's own.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
}

namespace {
std::atomic<long> allocations{0};
std::atomic<long> largeAllocations{0};
constexpr std::size_t kLarge = 64 * 1024;

void Count(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (size >= kLarge)
        largeAllocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

extern "C" {
void* malloc(std::size_t size) {
    Count(size);
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    Count(count * size);
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, std::size_t size) {
    Count(size);
    return __libc_realloc(pointer, size);
}
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <data directory>\n", argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const long before = allocations.load();
    const long largeBefore = largeAllocations.load();
    const bool ok = tw::radiant::ArchiveJournals(argv[1], false);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("seconds=%.3f allocations=%ld large=%ld ok=%d\n", seconds,
                allocations.load() - before, largeAllocations.load() - largeBefore, ok ? 1 : 0);
    return ok ? 0 : 1;
}
