#pragma once
// "QORCom.ReadEMailMAPI": walks the inbox of the MAPI mail provider
// (qorcom/mail/mapi_provider.h), returns each message's fields and attachments, and deletes
// messages.
//
// Calling order: Init (loads the provider and logs on), MoveFirst, then Read, optionally
// Delete, and MoveNext until it returns false; Close logs off (also done on release). Members
// other than the properties return E_POINTER before Init.
//
// MoveFirst and MoveNext return false when there is no (further) message; Read returns false
// when not positioned on a message; Delete returns false when the provider refuses. Other MAPI
// failures are raised with code 0x201F and the result code's text (mapi_library.h), as are
// "Unable to initialize MAPI." and "<Function> not found.".
//
// Read's lists (To, CC, BCC, Attachment) are joined with Seperator (the whole text, default
// ";"); a recipient is "Name <address>" or the bare address. Attachment names are cleaned
// (CleanAttachmentName, mime_parser.h) before anything else sees them: with SaveAttachments
// false Attachment holds the cleaned names, with it true each attachment is saved in the
// attachment directory (attachment_store.h: never replacing a file) and Attachment holds the
// saved files' full paths; a file that cannot be saved raises "Attachment write failure.". A
// message is freed with the provider's MAPIFreeBuffer however Read ends.

#include <string>

#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/interfaces/read_mail.h"
#include "qorcom/mail/mapi_library.h"

namespace tw::qorcom {

template <>
struct InterfaceTraits<IQORReadEMailMAPI> {
    static constexpr const char* kName = "IQORReadEMailMAPI";
    static constexpr IID kIid = IID_IQORReadEMailMAPI;
    static constexpr const IID* kBaseIid = &IID_IQORReadEMail;
    static constexpr comlite::DispatchTable kMembers = members::kReadEMailMAPI;
};

class CReadEMailMAPI final : public GenericDispatchObject<IQORReadEMailMAPI> {
public:
    explicit CReadEMailMAPI(IUnknown* outer);
    ~CReadEMailMAPI() override;

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
    HRESULT STDMETHODCALLTYPE Init(BSTR profile, BSTR password, ULONG uiHandle,
                                   VARIANT_BOOL userInterface) override;

private:
    HRESULT RaiseMapi(std::uint32_t code) const;
    // Finds the message after the seed ("" for the first) and moves there.
    HRESULT Move(const std::string& seed, VARIANT_BOOL* result);
    HRESULT ReadLoaded(BSTR* const (&out)[8], VARIANT_BOOL* result);

    std::string separator_ = ";";
    bool saveAttachments_ = false;
    mail::MapiSession session_;
    std::string current_;  // the message id positioned on; empty when none
};

}  // namespace tw::qorcom
