#pragma once
// The class factory made for one row of the component table.

#include <atomic>

#include "comlite/interfaces.h"
#include "qorcom/frame/component_table.h"

namespace tw::qorcom {

// Starts with one reference (the caller's) and deletes itself at zero. Thread-safe counting.
class CFactory final : public IClassFactory {
public:
    explicit CFactory(const ComponentRow& row) : row_(row) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // 1. an outer unknown with riid other than IID_IUnknown: CLASS_E_NOAGGREGATION;
    // 2. the row's creation function (its failure returned unchanged);
    // 3. the object's Init;
    // 4. when Init succeeded, the object's NondelegatingQueryInterface(riid);
    // 5. one NondelegatingRelease, so the object lives only if step 4 handed out a reference;
    // 6. Init's failure, or step 4's result.
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
    // Non-zero counts one server lock up, zero one down. Always S_OK.
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    ~CFactory() = default;
    std::atomic<ULONG> refs_{1};
    const ComponentRow& row_;
};

}  // namespace tw::qorcom
