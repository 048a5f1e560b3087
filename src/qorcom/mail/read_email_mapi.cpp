#include "qorcom/mail/read_email_mapi.h"

#include <cstring>
#include <vector>

#include "qorcom/frame/property_values.h"
#include "qorcom/mail/attachment_store.h"
#include "qorcom/mail/mime_parser.h"

namespace tw::qorcom {

CReadEMailMAPI::CReadEMailMAPI(IUnknown* outer)
    : GenericDispatchObject(outer, "QORCom.ReadEMailMAPI") {}

CReadEMailMAPI::~CReadEMailMAPI() = default;

HRESULT CReadEMailMAPI::RaiseMapi(std::uint32_t code) const {
    return Raise(mail::MapiErrorText(code), kErrorMapiSend);
}

HRESULT CReadEMailMAPI::Init(BSTR profile, BSTR password, ULONG uiHandle,
                             VARIANT_BOOL userInterface) {
    return Guarded([&]() -> HRESULT {
        current_.clear();
        session_.Logoff();
        const QorMapiProvider* provider = mail::LoadMapiProvider();
        if (!provider)
            return Raise(mail::kMapiUnavailable, kErrorMapiSend);
        if (const char* missing = mail::MissingMapiFunction(*provider, mail::MapiUse::Reading))
            return Raise(std::string(missing) + " not found.", kErrorMapiSend);
        if (const std::uint32_t code =
                session_.Logon(*provider, profile ? comlite::BstrToUtf8(profile) : std::string(),
                               password ? comlite::BstrToUtf8(password) : std::string(), uiHandle,
                               userInterface != VARIANT_FALSE))
            return RaiseMapi(code);
        return S_OK;
    });
}

HRESULT CReadEMailMAPI::Move(const std::string& seed, VARIANT_BOOL* result) {
    char id[QOR_MAPI_MESSAGE_ID_SIZE] = {};
    const std::uint32_t code = session_.Provider().MAPIFindNext(
        session_.Handle(), session_.UiHandle(), nullptr, seed.c_str(), 0, 0, id);
    if (code == QOR_MAPI_E_NO_MESSAGES)
        return S_OK;
    if (code != QOR_MAPI_SUCCESS_SUCCESS)
        return RaiseMapi(code);
    id[sizeof id - 1] = '\0';
    current_ = id;
    *result = VARIANT_TRUE;
    return S_OK;
}

HRESULT CReadEMailMAPI::MoveFirst(VARIANT_BOOL* result) {
    if (!result)
        return E_POINTER;
    *result = VARIANT_FALSE;
    if (!session_.IsOpen())
        return E_POINTER;
    return Guarded([&] {
        current_.clear();
        return Move(std::string(), result);
    });
}

HRESULT CReadEMailMAPI::MoveNext(VARIANT_BOOL* result) {
    if (!result)
        return E_POINTER;
    *result = VARIANT_FALSE;
    if (!session_.IsOpen())
        return E_POINTER;
    return Guarded([&]() -> HRESULT {
        if (current_.empty())
            return S_OK;
        // On the last message the position stays.
        return Move(current_, result);
    });
}

HRESULT CReadEMailMAPI::Read(BSTR* from, BSTR* to, BSTR* cc, BSTR* bcc, BSTR* subject, BSTR* date,
                             BSTR* body, BSTR* attachment, VARIANT_BOOL* result) {
    BSTR* const out[8] = {from, to, cc, bcc, subject, date, body, attachment};
    for (BSTR* p : out)
        if (!p)
            return E_POINTER;
    if (!result)
        return E_POINTER;
    for (BSTR* p : out) *p = nullptr;
    *result = VARIANT_FALSE;
    if (!session_.IsOpen())
        return E_POINTER;
    return Guarded([&] { return ReadLoaded(out, result); });
}

HRESULT CReadEMailMAPI::ReadLoaded(BSTR* const (&out)[8], VARIANT_BOOL* result) {
    if (current_.empty())
        return S_OK;
    const QorMapiProvider& provider = session_.Provider();
    QorMapiMessage* raw = nullptr;
    const std::uint32_t code =
        provider.MAPIReadMail(session_.Handle(), session_.UiHandle(), current_.c_str(), 0, 0, &raw);
    // Held before anything can fail: a provider may hand out a message with a failure code.
    const mail::MapiMessageHolder message(raw, mail::MapiBufferRelease{&provider});
    if (code != QOR_MAPI_SUCCESS_SUCCESS)
        return RaiseMapi(code);
    if (!message)
        return RaiseMapi(QOR_MAPI_E_INVALID_MESSAGE);

    std::vector<std::string> lists[3];  // To, CC, BCC
    for (std::uint32_t i = 0; message->recips && i < message->recipCount; ++i) {
        const QorMapiRecipDesc& r = message->recips[i];
        if (r.recipClass >= QOR_MAPI_TO && r.recipClass <= QOR_MAPI_BCC)
            lists[r.recipClass - QOR_MAPI_TO].push_back(mail::FormatRecipient(r));
    }
    std::vector<std::string> attachments;
    const std::string directory = saveAttachments_ ? mail::AttachmentDirectory() : std::string();
    if (saveAttachments_ && message->files && message->fileCount > 0) {
        int error = 0;
        if (!mail::PrepareAttachmentDirectory(directory, &error))
            return RaiseMapi(QOR_MAPI_E_ATTACHMENT_WRITE_FAILURE);
    }
    for (std::uint32_t i = 0; message->files && i < message->fileCount; ++i) {
        const QorMapiFileDesc& f = message->files[i];
        // The sender chose the name: cleaned before it reaches the caller or a file system.
        const std::string name = mail::CleanAttachmentName(f.fileName ? f.fileName : "", i + 1);
        if (!saveAttachments_) {
            attachments.push_back(name);
            continue;
        }
        const std::string_view bytes(reinterpret_cast<const char*>(f.data),
                                     f.data ? static_cast<std::size_t>(f.size) : 0);
        int error = 0;
        const std::optional<std::string> saved =
            mail::SaveAttachment(directory, name, bytes, &error);
        if (!saved)
            return RaiseMapi(QOR_MAPI_E_ATTACHMENT_WRITE_FAILURE);
        attachments.push_back(*saved);
    }

    const std::string texts[8] = {
        message->originator ? mail::FormatRecipient(*message->originator) : std::string(),
        mail::JoinWith(lists[0], separator_),
        mail::JoinWith(lists[1], separator_),
        mail::JoinWith(lists[2], separator_),
        message->subject ? message->subject : "",
        message->dateReceived ? message->dateReceived : "",
        message->noteText ? message->noteText : "",
        mail::JoinWith(attachments, separator_)};
    comlite::Bstr strings[8];
    for (int i = 0; i < 8; ++i) {
        strings[i] = comlite::Bstr::FromUtf8(texts[i]);
        if (!strings[i].Get())
            return E_OUTOFMEMORY;
    }
    for (int i = 0; i < 8; ++i) *out[i] = strings[i].Detach();
    *result = VARIANT_TRUE;
    return S_OK;
}

HRESULT CReadEMailMAPI::Delete(VARIANT_BOOL* result) {
    if (!result)
        return E_POINTER;
    *result = VARIANT_FALSE;
    if (!session_.IsOpen())
        return E_POINTER;
    return Guarded([&] {
        if (!current_.empty() &&
            session_.Provider().MAPIDeleteMail(session_.Handle(), session_.UiHandle(),
                                               current_.c_str(), 0, 0) == QOR_MAPI_SUCCESS_SUCCESS)
            *result = VARIANT_TRUE;
        return S_OK;
    });
}

HRESULT CReadEMailMAPI::Close() {
    return Guarded([&] {
        current_.clear();
        session_.Logoff();
        return S_OK;
    });
}

HRESULT CReadEMailMAPI::put_Seperator(BSTR value) {
    return PutString(value, &separator_);
}
HRESULT CReadEMailMAPI::get_Seperator(BSTR* value) {
    return GetString(separator_, value);
}
HRESULT CReadEMailMAPI::put_SaveAttachments(VARIANT_BOOL value) {
    saveAttachments_ = value != VARIANT_FALSE;
    return S_OK;
}
HRESULT CReadEMailMAPI::get_SaveAttachments(VARIANT_BOOL* value) {
    return GetBool(saveAttachments_, value);
}

}  // namespace tw::qorcom
