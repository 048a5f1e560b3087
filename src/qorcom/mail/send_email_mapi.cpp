#include "qorcom/mail/send_email_mapi.h"

#include <vector>

#include "qorcom/frame/property_values.h"
#include "qorcom/mail/mail_message.h"

namespace tw::qorcom {

using mail::Mailbox;

CSendEMailMAPI::CSendEMailMAPI(IUnknown* outer)
    : SendEMailPropertiesObject(outer, "QORCom.SendEMailMAPI") {}

CSendEMailMAPI::~CSendEMailMAPI() = default;

HRESULT CSendEMailMAPI::RaiseMapi(std::uint32_t code) const {
    return Raise(mail::MapiErrorText(code), kErrorMapiSend);
}

HRESULT CSendEMailMAPI::InitMail(VARIANT_BOOL userInterface) {
    return Guarded([&]() -> HRESULT {
        const QorMapiProvider* provider = mail::LoadMapiProvider();
        if (!provider)
            return Raise(mail::kMapiUnavailable, kErrorMapiSend);
        if (const char* missing = mail::MissingMapiFunction(*provider, mail::MapiUse::Sending))
            return Raise(std::string(missing) + " not found.", kErrorMapiSend);
        userInterface_ = userInterface != VARIANT_FALSE;
        if (const std::uint32_t code =
                session_.Logon(*provider, profile_, password_, uiHandle_, userInterface_))
            return RaiseMapi(code);
        return S_OK;
    });
}

HRESULT CSendEMailMAPI::Send(LONG* result) {
    if (!result)
        return E_POINTER;
    *result = 0;
    if (!session_.IsOpen())
        return E_POINTER;
    return Guarded([&] { return SendLoaded(); });
}

HRESULT CSendEMailMAPI::SendLoaded() {
    // Everything the message points at lives here until MAPISendMail returns.
    struct Recipient {
        std::uint32_t recipClass;
        Mailbox address;
    };
    std::vector<Recipient> recipients;
    for (const auto& [recipClass, list] :
         {std::pair{QOR_MAPI_TO, &to_}, std::pair{QOR_MAPI_CC, &cc_},
          std::pair{QOR_MAPI_BCC, &bcc_}}) {
        for (Mailbox& address : mail::ParseAddressList(*list)) {
            // A control character or an angle bracket would let the text add header lines.
            if (!mail::CheckAddress(address.address).empty())
                return RaiseMapi(QOR_MAPI_E_INVALID_RECIPS);
            address.name = mail::OneLine(address.name);
            recipients.push_back({recipClass, std::move(address)});
        }
    }
    std::vector<QorMapiRecipDesc> recips;
    for (const Recipient& r : recipients)
        recips.push_back({r.recipClass, r.address.name.c_str(), r.address.address.c_str()});

    const std::vector<std::string> paths = SplitList(attachment_);
    std::vector<QorMapiFileDesc> files;
    for (const std::string& path : paths) files.push_back({path.c_str(), nullptr, nullptr, 0});

    const std::string subject = mail::OneLine(subject_);
    QorMapiMessage message{};
    message.subject = subject.c_str();
    message.noteText = body_.c_str();
    message.recipCount = static_cast<std::uint32_t>(recips.size());
    message.recips = recips.data();
    message.fileCount = static_cast<std::uint32_t>(files.size());
    message.files = files.data();

    const std::uint32_t flags = userInterface_ ? (QOR_MAPI_LOGON_UI | QOR_MAPI_DIALOG) : 0u;
    if (const std::uint32_t code = session_.Provider().MAPISendMail(
            session_.Handle(), session_.UiHandle(), &message, flags, 0))
        return RaiseMapi(code);
    return S_OK;
}

HRESULT CSendEMailMAPI::Close() {
    return Guarded([&] {
        session_.Logoff();
        return S_OK;
    });
}

HRESULT CSendEMailMAPI::get_Profile(BSTR* value) {
    return GetString(profile_, value);
}
HRESULT CSendEMailMAPI::put_Profile(BSTR value) {
    return PutString(value, &profile_);
}
HRESULT CSendEMailMAPI::get_Password(BSTR* value) {
    return GetString(password_, value);
}
HRESULT CSendEMailMAPI::put_Password(BSTR value) {
    return PutString(value, &password_);
}
HRESULT CSendEMailMAPI::get_UIHandle(ULONG* value) {
    if (!value)
        return E_POINTER;
    *value = uiHandle_;
    return S_OK;
}
HRESULT CSendEMailMAPI::put_UIHandle(ULONG value) {
    uiHandle_ = value;
    return S_OK;
}

}  // namespace tw::qorcom
