#include "qorcom/mail/mapi_adapters.h"

#include "qorcom/frame/exports.h"

namespace tw::qorcom {
// ---- CSendMail ----

CSendMail::CSendMail(IUnknown* outer) : GenericDispatchObject(outer, "QORCom.SendMail") {}
CSendMail::~CSendMail() = default;

HRESULT CSendMail::Init() {
    return CreateLibraryObject(CLSID_QORSendEMailMAPI, IID_IQORSendEMailMAPI, inner_);
}

HRESULT CSendMail::put_Profile(BSTR value) {
    return inner_->put_Profile(value);
}
HRESULT CSendMail::get_Profile(BSTR* value) {
    return inner_->get_Profile(value);
}
HRESULT CSendMail::put_Password(BSTR value) {
    return inner_->put_Password(value);
}
HRESULT CSendMail::get_Password(BSTR* value) {
    return inner_->get_Password(value);
}
HRESULT CSendMail::put_To(BSTR value) {
    return inner_->put_To(value);
}
HRESULT CSendMail::get_To(BSTR* value) {
    return inner_->get_To(value);
}
HRESULT CSendMail::put_CC(BSTR value) {
    return inner_->put_CC(value);
}
HRESULT CSendMail::get_CC(BSTR* value) {
    return inner_->get_CC(value);
}
HRESULT CSendMail::put_BCC(BSTR value) {
    return inner_->put_BCC(value);
}
HRESULT CSendMail::get_BCC(BSTR* value) {
    return inner_->get_BCC(value);
}
HRESULT CSendMail::put_Subject(BSTR value) {
    return inner_->put_Subject(value);
}
HRESULT CSendMail::get_Subject(BSTR* value) {
    return inner_->get_Subject(value);
}
HRESULT CSendMail::put_Body(BSTR value) {
    return inner_->put_Body(value);
}
HRESULT CSendMail::get_Body(BSTR* value) {
    return inner_->get_Body(value);
}
HRESULT CSendMail::put_Attachment(BSTR value) {
    return inner_->put_Attachment(value);
}
HRESULT CSendMail::get_Attachment(BSTR* value) {
    return inner_->get_Attachment(value);
}
HRESULT CSendMail::InitMail(VARIANT_BOOL userInterface) {
    return inner_->InitMail(userInterface);
}
HRESULT CSendMail::Send(LONG* result) {
    return inner_->Send(result);
}
HRESULT CSendMail::Close() {
    return inner_->Close();
}

// ---- CReadMail ----

CReadMail::CReadMail(IUnknown* outer) : GenericDispatchObject(outer, "QORCom.ReadMail") {}
CReadMail::~CReadMail() = default;

HRESULT CReadMail::Init() {
    return CreateLibraryObject(CLSID_QORReadEMailMAPI, IID_IQORReadEMailMAPI, inner_);
}

HRESULT CReadMail::Init(BSTR profile, BSTR password, ULONG uiHandle, VARIANT_BOOL userInterface) {
    return inner_->Init(profile, password, uiHandle, userInterface);
}
HRESULT CReadMail::put_Seperator(BSTR value) {
    return inner_->put_Seperator(value);
}
HRESULT CReadMail::get_Seperator(BSTR* value) {
    return inner_->get_Seperator(value);
}
HRESULT CReadMail::put_SaveAttachments(VARIANT_BOOL value) {
    return inner_->put_SaveAttachments(value);
}
HRESULT CReadMail::get_SaveAttachments(VARIANT_BOOL* value) {
    return inner_->get_SaveAttachments(value);
}
HRESULT CReadMail::MoveFirst(VARIANT_BOOL* result) {
    return inner_->MoveFirst(result);
}
HRESULT CReadMail::MoveNext(VARIANT_BOOL* result) {
    return inner_->MoveNext(result);
}
HRESULT CReadMail::Read(BSTR* from, BSTR* to, BSTR* cc, BSTR* bcc, BSTR* subject, BSTR* date,
                        BSTR* body, BSTR* attachment, VARIANT_BOOL* result) {
    return inner_->Read(from, to, cc, bcc, subject, date, body, attachment, result);
}
HRESULT CReadMail::Delete(VARIANT_BOOL* result) {
    return inner_->Delete(result);
}
HRESULT CReadMail::Close() {
    return inner_->Close();
}

}  // namespace tw::qorcom
