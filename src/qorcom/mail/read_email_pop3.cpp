#include "qorcom/mail/read_email_pop3.h"

#include <cstring>
#include <vector>

#include "comlite/bstr.h"
#include "qorcom/frame/property_values.h"
#include "qorcom/mail/attachment_store.h"
#include "qorcom/mail/mime_parser.h"

namespace tw::qorcom {
namespace {

std::string Join(const std::vector<std::string>& items, const std::string& separator) {
    std::string joined;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            joined += separator;
        joined += items[i];
    }
    return joined;
}

std::string ErrorText(int error) {
    char buffer[256];
    return ::strerror_r(error, buffer, sizeof buffer);
}

std::string Utf8(BSTR text) {
    return text ? comlite::BstrToUtf8(text) : std::string();
}

}  // namespace

CReadEMailPOP3::CReadEMailPOP3(IUnknown* outer)
    : GenericDispatchObject(outer, "QORCom.ReadEMailPOP3"),
      limits_(mail::Pop3Limits::FromEnvironment()) {}

CReadEMailPOP3::~CReadEMailPOP3() = default;

HRESULT CReadEMailPOP3::Init(BSTR server, BSTR userName, BSTR password) {
    return Guarded([&] {
        client_.reset();
        count_ = 0;
        current_ = 0;
        auto client = std::make_unique<mail::CPOP3>(limits_);
        if (!client->Connect(Utf8(server), Utf8(userName), Utf8(password))) {
            const std::string error = client->LastError();
            client_ = std::move(client);  // later members fail as "not connected", not E_POINTER
            return Raise(error, kErrorOperation);
        }
        client_ = std::move(client);
        return S_OK;
    });
}

HRESULT CReadEMailPOP3::put_Seperator(BSTR value) {
    return PutString(value, &separator_);
}
HRESULT CReadEMailPOP3::get_Seperator(BSTR* value) {
    return GetString(separator_, value);
}
HRESULT CReadEMailPOP3::put_SaveAttachments(VARIANT_BOOL value) {
    saveAttachments_ = value != VARIANT_FALSE;
    return S_OK;
}
HRESULT CReadEMailPOP3::get_SaveAttachments(VARIANT_BOOL* value) {
    return GetBool(saveAttachments_, value);
}

HRESULT CReadEMailPOP3::MoveFirst(VARIANT_BOOL* result) {
    if (!result || !client_)
        return E_POINTER;
    *result = VARIANT_FALSE;
    return Guarded([&] {
        current_ = 0;
        count_ = 0;
        int count = 0;
        if (!client_->Stat(&count))
            return S_OK;
        count_ = count;
        if (count_ > 0) {
            current_ = 1;
            *result = VARIANT_TRUE;
        }
        return S_OK;
    });
}

HRESULT CReadEMailPOP3::MoveNext(VARIANT_BOOL* result) {
    if (!result || !client_)
        return E_POINTER;
    *result = VARIANT_FALSE;
    if (current_ >= 1 && current_ < count_) {
        ++current_;
        *result = VARIANT_TRUE;
    }
    return S_OK;
}

HRESULT CReadEMailPOP3::Read(BSTR* from, BSTR* to, BSTR* cc, BSTR* bcc, BSTR* subject, BSTR* date,
                             BSTR* body, BSTR* attachment, VARIANT_BOOL* result) {
    BSTR* const outs[] = {from, to, cc, bcc, subject, date, body, attachment};
    for (BSTR* out : outs)
        if (!out)
            return E_POINTER;
    if (!result)
        return E_POINTER;
    for (BSTR* out : outs) *out = nullptr;
    *result = VARIANT_FALSE;
    if (!client_)
        return E_POINTER;
    return Guarded([&] {
        if (current_ < 1 || current_ > count_)
            return S_OK;
        std::string text;
        if (!client_->Retrieve(current_, &text))
            return Raise(client_->LastError(), kErrorOperation);
        const mail::ParsedMail mail = mail::ParseMail(text);
        text = std::string();

        std::vector<std::string> attachments;
        if (saveAttachments_ && !mail.attachments.empty()) {
            const std::string directory = mail::AttachmentDirectory();
            int error = 0;
            if (!mail::PrepareAttachmentDirectory(directory, &error))
                return Raise("Unable to create the attachment directory " + directory + ": " +
                                 ErrorText(error),
                             kErrorOperation);
            for (const mail::MailAttachment& a : mail.attachments) {
                const auto path = mail::SaveAttachment(directory, a.fileName, a.bytes, &error);
                if (!path)
                    return Raise("Unable to save the attachment " + a.fileName + " in " +
                                     directory + ": " + ErrorText(error),
                                 kErrorOperation);
                attachments.push_back(*path);
            }
        } else {
            for (const mail::MailAttachment& a : mail.attachments)
                attachments.push_back(a.fileName);
        }

        const std::string values[] = {mail.from,
                                      Join(mail.to, separator_),
                                      Join(mail.cc, separator_),
                                      Join(mail.bcc, separator_),
                                      mail.subject,
                                      mail.date,
                                      mail.body,
                                      Join(attachments, separator_)};
        for (std::size_t i = 0; i < std::size(outs); ++i) {
            *outs[i] = comlite::AllocBstrUtf8(values[i]);
            if (!*outs[i]) {
                for (BSTR* out : outs) {
                    ::SysFreeString(*out);
                    *out = nullptr;
                }
                return E_OUTOFMEMORY;
            }
        }
        *result = VARIANT_TRUE;
        return S_OK;
    });
}

HRESULT CReadEMailPOP3::Delete(VARIANT_BOOL* result) {
    if (!result || !client_)
        return E_POINTER;
    *result = VARIANT_FALSE;
    return Guarded([&] {
        if (current_ >= 1 && current_ <= count_ && client_->Delete(current_))
            *result = VARIANT_TRUE;
        return S_OK;
    });
}

HRESULT CReadEMailPOP3::Close() {
    if (!client_)
        return E_POINTER;
    return Guarded([&] {
        if (client_->IsConnected())
            client_->Quit();
        count_ = 0;
        current_ = 0;
        return S_OK;
    });
}

}  // namespace tw::qorcom
