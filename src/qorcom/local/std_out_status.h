#pragma once
// "QORCom.StdOutStatus" (also "QORPost.StdOutStatus"): a progress sink that writes each status
// line to standard output, for programs without a window.

#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/interfaces/local.h"

namespace tw::qorcom {

template <>
struct InterfaceTraits<IQORStatus> {
    static constexpr const char* kName = "IQORStatus";
    static constexpr IID kIid = IID_IQORStatus;
    static constexpr const IID* kBaseIid = nullptr;
    static constexpr comlite::DispatchTable kMembers = members::kStatus;
};

class CStdOutStatus final : public GenericDispatchObject<IQORStatus> {
public:
    explicit CStdOutStatus(IUnknown* outer) : GenericDispatchObject(outer, "QORCom.StdOutStatus") {}

    // Writes the message (UTF-8) and a line feed, flushed at once so that the line is seen
    // while the operation goes on.
    HRESULT STDMETHODCALLTYPE Status(BSTR statusMsg) override;
    // Cancel and CallCanceled both return what SetCancel stored (false at first).
    HRESULT STDMETHODCALLTYPE Cancel(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE SetCancel(VARIANT_BOOL result) override;
    HRESULT STDMETHODCALLTYPE CallCanceled(VARIANT_BOOL* result) override;

private:
    VARIANT_BOOL cancel_ = VARIANT_FALSE;
};

}  // namespace tw::qorcom
