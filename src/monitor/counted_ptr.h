#pragma once
// The shared owning pointer of the monitor and the transfer objects: the object and a
// separately allocated count starting at 1. The last release deletes the object through its
// virtual destructor.
//
// The count itself is atomic, but a CountedPtr object is not: objects are built by one thread
// before any worker starts, and afterwards each pointer is used by one thread at a time.

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace tw {

inline constexpr const char* kCountedPtrEmptyText = "CountedPtr has not been initialised with ptr";

template <typename T>
class CountedPtr {
public:
    CountedPtr() = default;
    // Takes ownership of object (may be null: an empty pointer).
    explicit CountedPtr(T* object)
        : object_(object), count_(object ? new std::atomic<std::int32_t>(1) : nullptr) {}

    CountedPtr(const CountedPtr& other) noexcept : object_(other.object_), count_(other.count_) {
        Acquire();
    }
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    CountedPtr(const CountedPtr<U>& other) noexcept : object_(other.object_), count_(other.count_) {
        Acquire();
    }
    CountedPtr(CountedPtr&& other) noexcept
        : object_(std::exchange(other.object_, nullptr)),
          count_(std::exchange(other.count_, nullptr)) {}

    CountedPtr& operator=(CountedPtr other) noexcept {
        std::swap(object_, other.object_);
        std::swap(count_, other.count_);
        return *this;
    }
    ~CountedPtr() { Release(); }

    // Drops this reference; the pointer is empty afterwards.
    void Reset() noexcept {
        Release();
        object_ = nullptr;
        count_ = nullptr;
    }

    // Both throw std::logic_error with kCountedPtrEmptyText when empty.
    T& operator*() const { return *Checked(); }
    T* operator->() const { return Checked(); }

    T* Get() const noexcept { return object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }
    std::int32_t UseCount() const noexcept { return count_ ? count_->load() : 0; }

private:
    template <typename U>
    friend class CountedPtr;

    T* Checked() const {
        if (!object_)
            throw std::logic_error(kCountedPtrEmptyText);
        return object_;
    }
    void Acquire() noexcept {
        if (count_)
            count_->fetch_add(1);
    }
    void Release() noexcept {
        if (count_ && count_->fetch_sub(1) == 1) {
            delete object_;
            delete count_;
        }
    }

    T* object_ = nullptr;
    std::atomic<std::int32_t>* count_ = nullptr;
};

template <typename T, typename... Args>
CountedPtr<T> MakeCounted(Args&&... args) {
    return CountedPtr<T>(new T(std::forward<Args>(args)...));
}

}  // namespace tw
