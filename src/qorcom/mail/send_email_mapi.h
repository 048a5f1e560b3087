#pragma once
// "QORCom.SendEMailMAPI": sends one message at a time through the MAPI mail provider
// (qorcom/mail/mapi_provider.h).
//
// Calling order: set Profile, Password and UIHandle (read by InitMail), InitMail (loads the
// provider and logs on), set To, CC, BCC, Subject, Body and Attachment and call Send, as often
// as wanted; Close logs off (also done on release). Send before InitMail returns E_POINTER.
//
// Failures are raised with code 0x201F: "Unable to initialize MAPI." without a provider,
// "<Function> not found." for a provider lacking a function it needs, and the text of the MAPI
// result code (mapi_library.h) when a call fails. Send's Result is 0.
//
// Header safety: an address holding a control character (CR, LF ...) or an angle bracket is
// refused ("Invalid recipients.", nothing is sent); CR and LF in the subject and in display
// names become spaces.

#include <string>

#include "qorcom/interfaces/send_mail.h"
#include "qorcom/mail/mapi_library.h"
#include "qorcom/mail/send_email_properties.h"

namespace tw::qorcom {

template <>
struct InterfaceTraits<IQORSendEMailMAPI> {
    static constexpr const char* kName = "IQORSendEMailMAPI";
    static constexpr IID kIid = IID_IQORSendEMailMAPI;
    static constexpr const IID* kBaseIid = &IID_IQORSendEMail;
    static constexpr comlite::DispatchTable kMembers = members::kSendEMailMAPI;
};

class CSendEMailMAPI final : public SendEMailPropertiesObject<IQORSendEMailMAPI> {
public:
    explicit CSendEMailMAPI(IUnknown* outer);
    ~CSendEMailMAPI() override;

    HRESULT STDMETHODCALLTYPE Send(LONG* result) override;
    HRESULT STDMETHODCALLTYPE Close() override;

    HRESULT STDMETHODCALLTYPE InitMail(VARIANT_BOOL userInterface) override;
    HRESULT STDMETHODCALLTYPE get_Profile(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Profile(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Password(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Password(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_UIHandle(ULONG* value) override;
    HRESULT STDMETHODCALLTYPE put_UIHandle(ULONG value) override;

private:
    HRESULT RaiseMapi(std::uint32_t code) const;
    HRESULT SendLoaded();

    std::string profile_, password_;
    ULONG uiHandle_ = 0;
    bool userInterface_ = false;
    mail::MapiSession session_;
};

}  // namespace tw::qorcom
