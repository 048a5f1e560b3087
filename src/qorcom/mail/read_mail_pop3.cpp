#include "qorcom/mail/read_mail_pop3.h"

#include "comlite/bstr.h"
#include "comlite/error_info.h"
#include "qorcom/frame/exports.h"

namespace tw::qorcom {

CReadMailPOP3::CReadMailPOP3(IUnknown* outer)
    : GenericDispatchObject(outer, "QORCom.ReadMailPOP3") {}

HRESULT CReadMailPOP3::Init() {
    const HRESULT loaded = CUnknown::Init();
    if (FAILED(loaded))
        return loaded;
    return CreateLibraryObject(CLSID_QORReadEMailPOP3, IID_IQORReadEMailPOP3, inner_);
}

HRESULT CReadMailPOP3::Forward(HRESULT hr) const {
    if (SUCCEEDED(hr) || HRESULT_FACILITY(hr) != FACILITY_ITF)
        return hr;
    comlite::ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.Put()) != S_OK || !info)
        return hr;
    comlite::Bstr description;
    info->GetDescription(description.Put());
    return Raise(description.Utf8(), static_cast<std::uint16_t>(HRESULT_CODE(hr)));
}

HRESULT CReadMailPOP3::Init(BSTR server, BSTR userName, BSTR password) {
    return Forward(inner_->Init(server, userName, password));
}
HRESULT CReadMailPOP3::put_Seperator(BSTR value) {
    return Forward(inner_->put_Seperator(value));
}
HRESULT CReadMailPOP3::get_Seperator(BSTR* value) {
    return Forward(inner_->get_Seperator(value));
}
HRESULT CReadMailPOP3::put_SaveAttachments(VARIANT_BOOL value) {
    return Forward(inner_->put_SaveAttachments(value));
}
HRESULT CReadMailPOP3::get_SaveAttachments(VARIANT_BOOL* value) {
    return Forward(inner_->get_SaveAttachments(value));
}
HRESULT CReadMailPOP3::MoveFirst(VARIANT_BOOL* result) {
    return Forward(inner_->MoveFirst(result));
}
HRESULT CReadMailPOP3::MoveNext(VARIANT_BOOL* result) {
    return Forward(inner_->MoveNext(result));
}
HRESULT CReadMailPOP3::Read(BSTR* from, BSTR* to, BSTR* cc, BSTR* bcc, BSTR* subject, BSTR* date,
                            BSTR* body, BSTR* attachment, VARIANT_BOOL* result) {
    return Forward(inner_->Read(from, to, cc, bcc, subject, date, body, attachment, result));
}
HRESULT CReadMailPOP3::Delete(VARIANT_BOOL* result) {
    return Forward(inner_->Delete(result));
}
HRESULT CReadMailPOP3::Close() {
    return Forward(inner_->Close());
}

}  // namespace tw::qorcom
