#pragma once
// "QORCom.LogMessage": the automation face of the log writer (qorcom/frame/log_writer.h).

#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/frame/log_writer.h"
#include "qorcom/interfaces/log_message.h"

namespace tw::qorcom {

template <>
struct InterfaceTraits<IQORLogMessage> {
    static constexpr const char* kName = "IQORLogMessage";
    static constexpr IID kIid = IID_IQORLogMessage;
    static constexpr const IID* kBaseIid = &IID_IQOROutputMessage;
    static constexpr comlite::DispatchTable kMembers = members::kLogMessage;
};

// Getters with a null out pointer return E_POINTER. Setting LogFile to a file that does not
// exist and cannot be created raises "Unable to set log file to %s." (code 0); the rest never
// fails.
class CLogMessage final : public GenericDispatchObject<IQORLogMessage> {
public:
    explicit CLogMessage(IUnknown* outer);

    HRESULT STDMETHODCALLTYPE get_NumMessages(LONG* count) override;
    HRESULT STDMETHODCALLTYPE ResetNumMessages() override;
    HRESULT STDMETHODCALLTYPE Output(BSTR message) override;
    HRESULT STDMETHODCALLTYPE get_Site(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Site(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_MaxSize(LONG* value) override;
    HRESULT STDMETHODCALLTYPE put_MaxSize(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_ShrinkPercentage(double* value) override;
    HRESULT STDMETHODCALLTYPE put_ShrinkPercentage(double value) override;
    HRESULT STDMETHODCALLTYPE get_LogFile(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_LogFile(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Header(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Header(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_HeaderSeparator(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_HeaderSeparator(BSTR value) override;
    HRESULT STDMETHODCALLTYPE ClearLog() override;
    HRESULT STDMETHODCALLTYPE IsEmpty(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE GetHeaderSize(LONG* result) override;

private:
    LogMessage log_;
};

}  // namespace tw::qorcom
