#pragma once
// "QORCom.SendMailSMTP" (also "QORPost.SendMailSMTP"): the older SMTP interface, kept for the
// programs written against it. It makes one "QORCom.SendEMailSMTP" by CLSID when it is created
// (through this library's own class factory) and forwards every member to it; Send(To) sets
// the inner object's To and calls its Send. Errors, E_POINTER before Init included, are the
// inner object's, raised under its name. One thread at a time.

#include "comlite/com_ptr.h"
#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/interfaces/send_mail.h"

namespace tw::qorcom {

template <>
struct InterfaceTraits<IQORSendMailSMTP> {
    static constexpr const char* kName = "IQORSendMailSMTP";
    static constexpr IID kIid = IID_IQORSendMailSMTP;
    static constexpr const IID* kBaseIid = nullptr;
    static constexpr comlite::DispatchTable kMembers = members::kSendMailSMTP;
};

class CSendMailSMTP final : public GenericDispatchObject<IQORSendMailSMTP> {
public:
    explicit CSendMailSMTP(IUnknown* outer) : GenericDispatchObject(outer, "QORCom.SendMailSMTP") {}

    // Second construction step: makes the inner object; its failure fails the creation.
    HRESULT Init() override;

    HRESULT STDMETHODCALLTYPE Init(BSTR server, BSTR userName, BSTR password) override;
    HRESULT STDMETHODCALLTYPE put_From(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_From(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_CC(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_CC(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_BCC(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_BCC(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Subject(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Subject(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Body(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Body(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Attachment(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Attachment(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE Send(BSTR to, LONG* result) override;
    HRESULT STDMETHODCALLTYPE Close() override;

    // The inner "QORCom.SendEMailSMTP" object, for tests.
    IQORSendEMailSMTP* Inner() const { return inner_.Get(); }

private:
    comlite::ComPtr<IQORSendEMailSMTP> inner_;
};

}  // namespace tw::qorcom
