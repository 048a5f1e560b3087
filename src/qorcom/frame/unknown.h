#pragma once
// Reference counting with aggregation, the base of every qorcom component, and the library's
// two module counters.
//
// A component object has two kinds of IUnknown face: its interface faces (I, ISupportErrorInfo)
// forward QueryInterface, AddRef and Release to the outer unknown, and one non-delegating face
// that owns the reference count. Not aggregated, the outer unknown is that non-delegating face
// of the object itself; aggregated, it is the aggregating object, which holds the inner
// object's non-delegating face and so decides its lifetime.

#include <atomic>

#include "comlite/interfaces.h"

namespace tw::qorcom {

// The reference-counting face that never delegates.
class INondelegatingUnknown {
public:
    virtual HRESULT NondelegatingQueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG NondelegatingAddRef() = 0;
    virtual ULONG NondelegatingRelease() = 0;

protected:
    ~INondelegatingUnknown() = default;
};

// Counters of the whole library; changed atomically because objects of different threads may
// be created and released at the same time.
LONG LiveObjectCount();
LONG ServerLockCount();
void LockServer(bool lock);

class CUnknown : public INondelegatingUnknown {
public:
    // outer: the aggregating object's IUnknown, or nullptr. Starts with one reference (the
    // creator's) and counts as a live object until destroyed.
    explicit CUnknown(IUnknown* outer);
    virtual ~CUnknown();
    CUnknown(const CUnknown&) = delete;
    CUnknown& operator=(const CUnknown&) = delete;

    // Answers IID_IUnknown with the non-delegating face; E_NOINTERFACE for anything else.
    // Components answer their own interfaces first and pass the rest here.
    HRESULT NondelegatingQueryInterface(REFIID riid, void** object) override;
    ULONG NondelegatingAddRef() override;
    // At zero: FinalRelease, then delete.
    ULONG NondelegatingRelease() override;

    // Second construction step, called by the class factory before the object is handed out;
    // a failure destroys the object and reaches the creator unchanged.
    virtual HRESULT Init() { return S_OK; }
    // Called once when the count reaches zero, before destruction. Sets the count back to 1 so
    // that references taken and dropped during tear-down cannot destroy the object twice.
    virtual void FinalRelease();

    // The IUnknown every interface face delegates to. Never null.
    IUnknown* OuterUnknown() const { return outer_; }
    // The non-delegating face as an IUnknown, for the aggregator.
    IUnknown* NondelegatingFace() { return &face_; }

protected:
    // Hands out one face after an AddRef through that same face: an interface face counts on
    // the outer unknown, as aggregation requires, the non-delegating face on the object itself.
    static HRESULT Hand(IUnknown* face, void** object);

private:
    // A genuine IUnknown whose members are the owner's non-delegating ones.
    class Face final : public IUnknown {
    public:
        explicit Face(CUnknown& owner) : owner_(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
            return owner_.NondelegatingQueryInterface(riid, object);
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return owner_.NondelegatingAddRef(); }
        ULONG STDMETHODCALLTYPE Release() override { return owner_.NondelegatingRelease(); }

    private:
        CUnknown& owner_;
    };

    std::atomic<ULONG> refs_{1};
    Face face_{*this};
    IUnknown* outer_;
};

// The signature of a component table's creation function: builds the object with reference
// count 1 into *object, or returns a failure (E_OUTOFMEMORY) with *object null.
using CreateFunction = HRESULT (*)(IUnknown* outer, CUnknown** object);

template <class Component>
HRESULT CreateComponent(IUnknown* outer, CUnknown** object) {
    *object = nullptr;
    try {
        *object = new Component(outer);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace tw::qorcom
