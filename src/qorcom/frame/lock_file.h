#pragma once
// "QORCom.LockFile": a cross-process mutual-exclusion lock visible in the file system. Holding
// the lock means holding an exclusive lock on a named, empty file; any other holder (another
// object of this process, another process, another machine sharing the directory over a file
// system with POSIX locks) fails to lock it meanwhile. Callers that want to wait poll Lock.

#include <optional>
#include <string>

#include "comlite/dispatch.h"
#include "platform/os_support.h"
#include "qorcom/frame/generic_dispatch.h"

struct IQORLockFile : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Lock(VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unlock(VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Filename(BSTR* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Filename(BSTR data) = 0;

protected:
    ~IQORLockFile() = default;
};

inline constexpr IID IID_IQORLockFile = comlite::MakeGuid("{69796218-70AF-444B-A2F9-4C1E2BC35AA3}");
inline constexpr CLSID CLSID_QORLockFile =
    comlite::MakeGuid("{A532F892-189E-43E0-86C9-C8A3B6AF4518}");

namespace tw::qorcom {

namespace lock_file_members {
using namespace comlite;
inline constexpr DispatchMember kMembers[] = {
    Method<&IQORLockFile::Lock>(0x60020000, "Lock", {RetVal(VT_BOOL, "Result")}),
    Method<&IQORLockFile::Unlock>(0x60020001, "Unlock", {RetVal(VT_BOOL, "Result")}),
    PropertyGet<&IQORLockFile::get_Filename>(0x60020002, "Filename", {RetVal(VT_BSTR, "Data")}),
    PropertyPut<&IQORLockFile::put_Filename>(0x60020002, "Filename", {In(VT_BSTR, "Data")}),
};
}  // namespace lock_file_members

template <>
struct InterfaceTraits<IQORLockFile> {
    static constexpr const char* kName = "IQORLockFile";
    static constexpr IID kIid = IID_IQORLockFile;
    static constexpr const IID* kBaseIid = nullptr;
    static constexpr comlite::DispatchTable kMembers = lock_file_members::kMembers;
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
