#pragma once
// "QORCom.GlobalQueue": a first-in, first-out queue of strings in named shared memory (see
// qorcom/interfaces/local.h for what callers see, platform/shared_section.h for how the
// section lives and qorcom/local/queue_section.h for its layout).

#include <memory>
#include <string>

#include "platform/shared_section.h"
#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/interfaces/local.h"

namespace tw::qorcom {

template <>
struct InterfaceTraits<IQORGlobalQueue> {
    static constexpr const char* kName = "IQORGlobalQueue";
    static constexpr IID kIid = IID_IQORGlobalQueue;
    static constexpr const IID* kBaseIid = nullptr;
    static constexpr comlite::DispatchTable kMembers = members::kGlobalQueue;
};

// Add, Remove and Empty open the queue on first use and raise, with code 0x201E:
//   "Specify a name for the queue before using it."   no Name
//   "Unable to allocate memory map %s. Error %x"      the section cannot be made or opened
//   "Unable to create memory map mutex.  %s"         the kernel refuses the section's mutex
//   "Unable to map view of memory map."
//   "Queue is full!"                                 Add: no room; the queue is unchanged
//   "Queue is corrupt."                              the shared header or entries are damaged
// After an opening failure the object stays unbound and the next call tries again.
class CGlobalQueue final : public GenericDispatchObject<IQORGlobalQueue> {
public:
    explicit CGlobalQueue(IUnknown* outer);
    ~CGlobalQueue() override;

    HRESULT STDMETHODCALLTYPE get_Name(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Name(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Empty(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE Add(BSTR value) override;
    HRESULT STDMETHODCALLTYPE Remove(BSTR* value, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE get_Visibility(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Visibility(BSTR value) override;

private:
    // S_OK when bound (already, or now), else the raised error.
    HRESULT Open();
    HRESULT RaiseMutexFailure(int error);

    std::u16string name_;
    std::u16string visibility_;
    std::unique_ptr<platform::SharedSection> section_;
};

}  // namespace tw::qorcom
