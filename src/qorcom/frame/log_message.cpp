#include "qorcom/frame/log_message.h"

#include "comlite/bstr.h"

namespace tw::qorcom {
namespace {

HRESULT ReturnText(const std::string& text, BSTR* value) {
    if (!value)
        return E_POINTER;
    *value = comlite::AllocBstrUtf8(text);
    return *value ? S_OK : E_OUTOFMEMORY;
}

template <class T>
HRESULT ReturnValue(T result, T* value) {
    if (!value)
        return E_POINTER;
    *value = result;
    return S_OK;
}

}  // namespace

CLogMessage::CLogMessage(IUnknown* outer) : GenericDispatchObject(outer, "QORCom.LogMessage") {}

HRESULT CLogMessage::get_NumMessages(LONG* count) {
    return Guarded([&]() -> HRESULT { return ReturnValue(log_.NumMessages(), count); });
}

HRESULT CLogMessage::ResetNumMessages() {
    return Guarded([&]() -> HRESULT {
        log_.ResetNumMessages();
        return S_OK;
    });
}

HRESULT CLogMessage::Output(BSTR message) {
    return Guarded([&]() -> HRESULT {
        log_.Output(comlite::BstrToUtf8(message));
        return S_OK;
    });
}

HRESULT CLogMessage::get_Site(BSTR* value) {
    return Guarded([&]() -> HRESULT { return ReturnText(log_.Site(), value); });
}

HRESULT CLogMessage::put_Site(BSTR value) {
    return Guarded([&]() -> HRESULT {
        log_.SetSite(comlite::BstrToUtf8(value));
        return S_OK;
    });
}

HRESULT CLogMessage::get_MaxSize(LONG* value) {
    return Guarded([&]() -> HRESULT { return ReturnValue(log_.MaxSize(), value); });
}

HRESULT CLogMessage::put_MaxSize(LONG value) {
    return Guarded([&]() -> HRESULT {
        log_.SetMaxSize(value);
        return S_OK;
    });
}

HRESULT CLogMessage::get_ShrinkPercentage(double* value) {
    return Guarded([&]() -> HRESULT { return ReturnValue(log_.ShrinkFraction(), value); });
}

HRESULT CLogMessage::put_ShrinkPercentage(double value) {
    return Guarded([&]() -> HRESULT {
        log_.SetShrinkFraction(value);
        return S_OK;
    });
}

HRESULT CLogMessage::get_LogFile(BSTR* value) {
    return Guarded([&]() -> HRESULT { return ReturnText(log_.LogFile(), value); });
}

HRESULT CLogMessage::put_LogFile(BSTR value) {
    return Guarded([&]() -> HRESULT {
        std::string path = comlite::BstrToUtf8(value);
        if (log_.SetLogFile(path))
            return S_OK;
        return Raise("Unable to set log file to " + path + ".", kErrorPlain);
    });
}

HRESULT CLogMessage::get_Header(BSTR* value) {
    return Guarded([&]() -> HRESULT { return ReturnText(log_.Header(), value); });
}

HRESULT CLogMessage::put_Header(BSTR value) {
    return Guarded([&]() -> HRESULT {
        log_.SetHeader(comlite::BstrToUtf8(value));
        return S_OK;
    });
}

HRESULT CLogMessage::get_HeaderSeparator(BSTR* value) {
    return Guarded([&]() -> HRESULT { return ReturnText(log_.HeaderSeparator(), value); });
}

HRESULT CLogMessage::put_HeaderSeparator(BSTR value) {
    return Guarded([&]() -> HRESULT {
        log_.SetHeaderSeparator(comlite::BstrToUtf8(value));
        return S_OK;
    });
}

HRESULT CLogMessage::ClearLog() {
    return Guarded([&]() -> HRESULT {
        log_.ClearLog();
        return S_OK;
    });
}

HRESULT CLogMessage::IsEmpty(VARIANT_BOOL* result) {
    return Guarded([&]() -> HRESULT {
        return ReturnValue<VARIANT_BOOL>(log_.IsEmpty() ? VARIANT_TRUE : VARIANT_FALSE, result);
    });
}

HRESULT CLogMessage::GetHeaderSize(LONG* result) {
    return Guarded([&]() -> HRESULT { return ReturnValue(log_.GetHeaderSize(), result); });
}

}  // namespace tw::qorcom
