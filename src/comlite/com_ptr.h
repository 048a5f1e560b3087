#pragma once
// An owning interface pointer: Release on destruction, AddRef on copy. For code that calls COM
// objects (the runtime's callers, tests); objects themselves count references by hand.
// Not thread-safe (a value type); the object it points at may be.

#include <utility>

#include "comlite/interfaces.h"

namespace comlite {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Shares p: takes a new reference.
    explicit ComPtr(T* p) : p_(p) {
        if (p_)
            p_->AddRef();
    }
    // Adopts a reference the caller already owns (a fresh [out] pointer).
    static ComPtr Attach(T* p) {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void Reset() {
        if (T* p = std::exchange(p_, nullptr))
            p->Release();
    }
    // Releases the current object and returns the slot, for [out] T** parameters.
    T** Put() {
        Reset();
        return &p_;
    }
    // As Put(), typed for QueryInterface and creation functions.
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    // Gives up the reference without releasing it.
    T* Detach() { return std::exchange(p_, nullptr); }

    // QueryInterface into another smart pointer.
    template <class U>
    HRESULT As(REFIID iid, ComPtr<U>& out) const {
        if (!p_)
            return E_POINTER;
        return p_->QueryInterface(iid, out.PutVoid());
    }

private:
    T* p_ = nullptr;
};

}  // namespace comlite
