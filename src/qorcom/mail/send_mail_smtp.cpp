#include "qorcom/mail/send_mail_smtp.h"

#include "qorcom/frame/exports.h"

namespace tw::qorcom {

HRESULT CSendMailSMTP::Init() {
    if (const HRESULT hr = CUnknown::Init(); FAILED(hr))
        return hr;
    return CreateLibraryObject(CLSID_QORSendEMailSMTP, IID_IQORSendEMailSMTP, inner_);
}

HRESULT CSendMailSMTP::Init(BSTR server, BSTR userName, BSTR password) {
    return inner_->Init(server, userName, password);
}
HRESULT CSendMailSMTP::put_From(BSTR value) {
    return inner_->put_From(value);
}
HRESULT CSendMailSMTP::get_From(BSTR* value) {
    return inner_->get_From(value);
}
HRESULT CSendMailSMTP::put_CC(BSTR value) {
    return inner_->put_CC(value);
}
HRESULT CSendMailSMTP::get_CC(BSTR* value) {
    return inner_->get_CC(value);
}
HRESULT CSendMailSMTP::put_BCC(BSTR value) {
    return inner_->put_BCC(value);
}
HRESULT CSendMailSMTP::get_BCC(BSTR* value) {
    return inner_->get_BCC(value);
}
HRESULT CSendMailSMTP::put_Subject(BSTR value) {
    return inner_->put_Subject(value);
}
HRESULT CSendMailSMTP::get_Subject(BSTR* value) {
    return inner_->get_Subject(value);
}
HRESULT CSendMailSMTP::put_Body(BSTR value) {
    return inner_->put_Body(value);
}
HRESULT CSendMailSMTP::get_Body(BSTR* value) {
    return inner_->get_Body(value);
}
HRESULT CSendMailSMTP::put_Attachment(BSTR value) {
    return inner_->put_Attachment(value);
}
HRESULT CSendMailSMTP::get_Attachment(BSTR* value) {
    return inner_->get_Attachment(value);
}
HRESULT CSendMailSMTP::Send(BSTR to, LONG* result) {
    if (const HRESULT hr = inner_->put_To(to); FAILED(hr))
        return hr;
    return inner_->Send(result);
}
HRESULT CSendMailSMTP::Close() {
    return inner_->Close();
}

}  // namespace tw::qorcom
