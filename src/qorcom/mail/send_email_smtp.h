#pragma once
// "QORCom.SendEMailSMTP": sends mail messages through an SMTP server (CSMTP), one connection
// for any number of messages.
//
// Calling order: Port, SecureLogin and VerifyServerCertificate (read by Init), then
// Init(Server, UserName, Password), which connects ("host:port" in Server overrides Port;
// Port 0 means 25); then From, FromScreenName, To, CC, BCC, Subject, Body, Attachment and Send,
// as often as needed; Close (also done on release) says QUIT. To, CC and BCC are ";"-separated
// lists of addresses or "Name <address>" entries; Attachment a ";"-separated list of local
// file paths (a file that cannot be opened is left out).
//
// Init and Send raise the client's last error text with code 0x201E when they fail (an address
// holding a control character or an angle bracket is refused this way before anything is
// sent); Send's Result is 0 in every case. Send and Close before Init return E_POINTER, as do
// null out pointers. One thread at a time.

#include <memory>
#include <string>

#include "qorcom/interfaces/send_mail.h"
#include "qorcom/mail/send_email_properties.h"
#include "qorcom/mail/smtp_client.h"

namespace tw::qorcom {

template <>
struct InterfaceTraits<IQORSendEMailSMTP> {
    static constexpr const char* kName = "IQORSendEMailSMTP";
    static constexpr IID kIid = IID_IQORSendEMailSMTP;
    static constexpr const IID* kBaseIid = &IID_IQORSendEMail;
    static constexpr comlite::DispatchTable kMembers = members::kSendEMailSMTP;
};

class CSendEMailSMTP final : public SendEMailPropertiesObject<IQORSendEMailSMTP> {
public:
    explicit CSendEMailSMTP(IUnknown* outer);
    ~CSendEMailSMTP() override;

    HRESULT STDMETHODCALLTYPE Send(LONG* result) override;
    HRESULT STDMETHODCALLTYPE Close() override;

    HRESULT STDMETHODCALLTYPE Init(BSTR server, BSTR userName, BSTR password) override;
    HRESULT STDMETHODCALLTYPE put_From(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_From(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_FromScreenName(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_FromScreenName(BSTR* value) override;
    // A port above 32767 arrives as a negative short and is taken as the unsigned number.
    HRESULT STDMETHODCALLTYPE put_Port(SHORT value) override;
    HRESULT STDMETHODCALLTYPE get_Port(SHORT* value) override;
    HRESULT STDMETHODCALLTYPE get_SecureLogin(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_SecureLogin(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_VerifyServerCertificate(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_VerifyServerCertificate(VARIANT_BOOL value) override;

    // For tests: the limits of the client the next Init makes.
    void SetLimits(const mail::SmtpLimits& limits) { limits_ = limits; }

private:
    // The message of the current properties; nullptr with *error when an address is refused.
    std::unique_ptr<mail::CMailMessage> Compose(std::string* error) const;

    std::unique_ptr<mail::CSMTP> client_;
    mail::SmtpLimits limits_;
    std::string from_, fromScreenName_;
    SHORT port_ = 25;
    bool secureLogin_ = false;
    bool verifyServerCertificate_ = false;
};

}  // namespace tw::qorcom
