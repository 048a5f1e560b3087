#include "qorcom/local/std_out_status.h"

#include <cstdio>

#include "comlite/bstr.h"

namespace tw::qorcom {

HRESULT CStdOutStatus::Status(BSTR statusMsg) {
    return Guarded([&] {
        std::string line = comlite::BstrToUtf8(statusMsg);
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
        return S_OK;
    });
}

HRESULT CStdOutStatus::Cancel(VARIANT_BOOL* result) {
    return CallCanceled(result);
}

HRESULT CStdOutStatus::SetCancel(VARIANT_BOOL result) {
    cancel_ = result ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CStdOutStatus::CallCanceled(VARIANT_BOOL* result) {
    if (!result)
        return E_POINTER;
    *result = cancel_;
    return S_OK;
}

}  // namespace tw::qorcom
