#include "qorcom/frame/errors.h"

#include "comlite/error_info.h"

namespace tw::qorcom {

HRESULT RaiseError(std::string_view source, std::string_view message, std::uint16_t code) {
    return comlite::ReportErrorUtf8(QorcomError(code), source, message);
}

}  // namespace tw::qorcom
