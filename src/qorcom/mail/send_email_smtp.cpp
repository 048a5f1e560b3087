#include "qorcom/mail/send_email_smtp.h"

#include "comlite/bstr.h"
#include "qorcom/frame/property_values.h"
#include "qorcom/mail/mime_message.h"

namespace tw::qorcom {

CSendEMailSMTP::CSendEMailSMTP(IUnknown* outer)
    : SendEMailPropertiesObject(outer, "QORCom.SendEMailSMTP"),
      limits_(mail::SmtpLimits::FromEnvironment()) {}

CSendEMailSMTP::~CSendEMailSMTP() = default;  // the client says QUIT as it goes

std::unique_ptr<mail::CMailMessage> CSendEMailSMTP::Compose(std::string* error) const {
    // The same ";"-separated, trimmed list form as a server list.
    const std::vector<std::string> files = SplitList(attachment_);
    std::unique_ptr<mail::CMailMessage> message;
    if (files.empty()) {
        message = std::make_unique<mail::CMailMessage>();
    } else {
        auto mime = std::make_unique<mail::CMIMEMessage>();
        for (const std::string& file : files) mime->AddFileAttachment(file);
        message = std::move(mime);
    }
    if (!message->AddMultipleRecipients(to_, mail::RecipientType::kTo, error) ||
        !message->AddMultipleRecipients(cc_, mail::RecipientType::kCC, error) ||
        !message->AddMultipleRecipients(bcc_, mail::RecipientType::kBCC, error) ||
        !message->SetSender(from_, fromScreenName_, error))
        return nullptr;
    message->SetSubject(subject_);
    message->SetBody(body_);
    return message;
}

HRESULT CSendEMailSMTP::Send(LONG* result) {
    if (!result || !client_)
        return E_POINTER;
    return Guarded([&] {
        *result = 0;
        std::string error;
        const std::unique_ptr<mail::CMailMessage> message = Compose(&error);
        if (!message)
            return Raise(error, kErrorOperation);
        if (!client_->FormatMailMessage(*message) || !client_->SendMessage(*message))
            return Raise(client_->LastError(), kErrorOperation);
        return S_OK;
    });
}

HRESULT CSendEMailSMTP::Close() {
    if (!client_)
        return E_POINTER;
    return Guarded([&] {
        client_->Disconnect();
        return S_OK;
    });
}

HRESULT CSendEMailSMTP::Init(BSTR server, BSTR userName, BSTR password) {
    return Guarded([&] {
        client_.reset();  // a connection made by an earlier Init ends first
        client_ = std::make_unique<mail::CSMTP>(
            comlite::BstrToUtf8(server), comlite::BstrToUtf8(userName),
            comlite::BstrToUtf8(password), static_cast<std::uint16_t>(port_), limits_);
        client_->SetSecureLogin(secureLogin_);
        client_->SetVerifyServerCertificate(verifyServerCertificate_);
        if (!client_->Connect())
            return Raise(client_->LastError(), kErrorOperation);
        return S_OK;
    });
}

HRESULT CSendEMailSMTP::put_From(BSTR value) {
    return PutString(value, &from_);
}
HRESULT CSendEMailSMTP::get_From(BSTR* value) {
    return GetString(from_, value);
}
HRESULT CSendEMailSMTP::put_FromScreenName(BSTR value) {
    return PutString(value, &fromScreenName_);
}
HRESULT CSendEMailSMTP::get_FromScreenName(BSTR* value) {
    return GetString(fromScreenName_, value);
}
HRESULT CSendEMailSMTP::put_Port(SHORT value) {
    port_ = value;
    return S_OK;
}
HRESULT CSendEMailSMTP::get_Port(SHORT* value) {
    if (!value)
        return E_POINTER;
    *value = port_;
    return S_OK;
}
HRESULT CSendEMailSMTP::get_SecureLogin(VARIANT_BOOL* value) {
    return GetBool(secureLogin_, value);
}
HRESULT CSendEMailSMTP::put_SecureLogin(VARIANT_BOOL value) {
    secureLogin_ = value != VARIANT_FALSE;
    return S_OK;
}
HRESULT CSendEMailSMTP::get_VerifyServerCertificate(VARIANT_BOOL* value) {
    return GetBool(verifyServerCertificate_, value);
}
HRESULT CSendEMailSMTP::put_VerifyServerCertificate(VARIANT_BOOL value) {
    verifyServerCertificate_ = value != VARIANT_FALSE;
    return S_OK;
}

}  // namespace tw::qorcom
