#pragma once
// "QORCom.LockFile": a cross-process mutual-exclusion lock visible in the file system. Holding
// the lock means holding an exclusive lock on a named, empty file; any other holder (another
// object of this process, another process, another machine sharing the directory over a file
// system with POSIX locks) fails to lock it meanwhile. Callers that want to wait poll Lock.

#include <optional>
#include <string>

#include "platform/os_support.h"
#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/interfaces/lock_file.h"

namespace tw::qorcom {

template <>
struct InterfaceTraits<IQORLockFile> {
    static constexpr const char* kName = "IQORLockFile";
    static constexpr IID kIid = IID_IQORLockFile;
    static constexpr const IID* kBaseIid = nullptr;
    static constexpr comlite::DispatchTable kMembers = members::kLockFile;
};

// Every member returns S_OK and reports through its VARIANT_BOOL; none raises an error.
class CLockFile final : public GenericDispatchObject<IQORLockFile> {
public:
    explicit CLockFile(IUnknown* outer);
    ~CLockFile() override;

    // True when this object holds the lock (already, or now). False when another holder has
    // it or the file cannot be created; no waiting.
    HRESULT STDMETHODCALLTYPE Lock(VARIANT_BOOL* result) override;
    // False when nothing is held. Otherwise removes the lock file, still holding the lock, then
    // releases it: true (also when the removal failed; the unlocked file then stays).
    HRESULT STDMETHODCALLTYPE Unlock(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE get_Filename(BSTR* data) override;
    // The same name (exact comparison) changes nothing; another name, or none, first releases
    // a held lock as Unlock does. The new file is locked only by the next Lock.
    HRESULT STDMETHODCALLTYPE put_Filename(BSTR data) override;

private:
    bool ReleaseLock();
    std::optional<platform::ExclusiveFileLock> lock_;
    std::string fileName_;
};

}  // namespace tw::qorcom
