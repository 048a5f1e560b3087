#include "qorcom/frame/lock_file.h"

#include "comlite/bstr.h"

namespace tw::qorcom {

CLockFile::CLockFile(IUnknown* outer) : GenericDispatchObject(outer, "QORCom.LockFile") {}

// Releasing the last reference to a locked object frees the lock and removes the file.
CLockFile::~CLockFile() {
    ReleaseLock();
}

bool CLockFile::ReleaseLock() {
    if (!lock_)
        return false;
    lock_->RemoveAndRelease(nullptr);
    lock_.reset();
    return true;
}

HRESULT CLockFile::Lock(VARIANT_BOOL* result) {
    return Guarded([&]() -> HRESULT {
        if (!result)
            return E_POINTER;
        if (!lock_) {
            platform::ExclusiveFileLock::TryAcquire(fileName_, lock_, nullptr);
        }
        *result = lock_ ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT CLockFile::Unlock(VARIANT_BOOL* result) {
    return Guarded([&]() -> HRESULT {
        if (!result)
            return E_POINTER;
        *result = ReleaseLock() ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT CLockFile::get_Filename(BSTR* data) {
    return Guarded([&]() -> HRESULT {
        if (!data)
            return E_POINTER;
        *data = comlite::AllocBstrUtf8(fileName_);
        return *data ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT CLockFile::put_Filename(BSTR data) {
    return Guarded([&]() -> HRESULT {
        std::string name = comlite::BstrToUtf8(data);
        if (name == fileName_)
            return S_OK;
        ReleaseLock();
        fileName_ = std::move(name);
        return S_OK;
    });
}

}  // namespace tw::qorcom
