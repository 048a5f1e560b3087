#include <cstdlib>

#include "comlite/types.h"

// malloc underneath: every module of the process shares one C library heap, so any module
// may free what another allocated, which is what the COM task allocator promises.
extern "C" {

void* CoTaskMemAlloc(std::size_t size) noexcept {
    return std::malloc(size ? size : 1);
}

void* CoTaskMemRealloc(void* block, std::size_t size) noexcept {
    return std::realloc(block, size ? size : 1);
}

void CoTaskMemFree(void* block) noexcept {
    std::free(block);
}

}  // extern "C"
