#pragma once
// "QORCom.ReadEMailPOP3": walks the messages of a POP3 mailbox and hands out each one's header
// fields, text and attachments; can delete them.
//
// Calling order: Init(Server, UserName, Password) connects and logs on ("host" or "host:port",
// port 110 by default); MoveFirst asks for the message count and stands on message 1; Read,
// optionally Delete, and MoveNext until it returns false; Close sends QUIT, which makes the
// server carry out the deletions. Releasing the object without Close drops the connection
// without QUIT: the server then keeps every message, so nothing is deleted that the caller did
// not confirm.
//
// Init raises the client's error text with code 0x201E (and so does a failed RETR in Read);
// MoveFirst, MoveNext, Read and Delete report ordinary failure through their results. Every
// member but the two properties returns E_POINTER before Init. Read's To, CC and BCC are the
// header's addresses as written, and Attachment the attachments, each list joined with
// Seperator (default ";"). With SaveAttachments false Attachment holds the cleaned file names;
// with it true every attachment is saved (attachment_store.h says where and how) and Attachment
// holds the full paths of the files written. Limits and time-outs: pop3_client.h.

#include <memory>
#include <string>

#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/interfaces/read_mail.h"
#include "qorcom/mail/pop3_client.h"

namespace tw::qorcom {

template <>
struct InterfaceTraits<IQORReadEMailPOP3> {
    static constexpr const char* kName = "IQORReadEMailPOP3";
    static constexpr IID kIid = IID_IQORReadEMailPOP3;
    static constexpr const IID* kBaseIid = &IID_IQORReadEMail;
    static constexpr comlite::DispatchTable kMembers = members::kReadEMailPOP3;
};

class CReadEMailPOP3 final : public GenericDispatchObject<IQORReadEMailPOP3> {
public:
    explicit CReadEMailPOP3(IUnknown* outer);
    ~CReadEMailPOP3() override;

    using CUnknown::Init;
    HRESULT STDMETHODCALLTYPE Init(BSTR server, BSTR userName, BSTR password) override;
    HRESULT STDMETHODCALLTYPE put_Seperator(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Seperator(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_SaveAttachments(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_SaveAttachments(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE MoveFirst(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE MoveNext(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Read(BSTR* from, BSTR* to, BSTR* cc, BSTR* bcc, BSTR* subject,
                                   BSTR* date, BSTR* body, BSTR* attachment,
                                   VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Delete(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Close() override;

    // For tests: the limits the next Init uses.
    void SetLimits(const mail::Pop3Limits& limits) { limits_ = limits; }

private:
    mail::Pop3Limits limits_;
    std::unique_ptr<mail::CPOP3> client_;
    int count_ = 0;    // from STAT
    int current_ = 0;  // 1-based; 0 before MoveFirst
    std::string separator_ = ";";
    bool saveAttachments_ = false;
};

}  // namespace tw::qorcom
