#pragma once
// "QORCom.ReadMailPOP3" (also "QORPost.ReadMailPOP3"): the older interface for reading a POP3
// mailbox. It makes a "QORCom.ReadEMailPOP3" by its CLSID when it is created and forwards every
// member to it unchanged (read_email_pop3.h describes them); an error the inner object raises
// reaches the caller with this component's name as its source. Creation fails with the inner
// object's HRESULT when it cannot be made.

#include "comlite/com_ptr.h"
#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/interfaces/read_mail.h"

namespace tw::qorcom {

template <>
struct InterfaceTraits<IQORReadMailPOP3> {
    static constexpr const char* kName = "IQORReadMailPOP3";
    static constexpr IID kIid = IID_IQORReadMailPOP3;
    static constexpr const IID* kBaseIid = nullptr;
    static constexpr comlite::DispatchTable kMembers = members::kReadMailPOP3;
};

class CReadMailPOP3 final : public GenericDispatchObject<IQORReadMailPOP3> {
public:
    explicit CReadMailPOP3(IUnknown* outer);

    // Makes the inner object.
    HRESULT Init() override;

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

    // The inner object, for tests.
    IQORReadEMailPOP3* Inner() const { return inner_.Get(); }

private:
    // The inner object's failure, raised again under this component's name.
    HRESULT Forward(HRESULT hr) const;

    comlite::ComPtr<IQORReadEMailPOP3> inner_;
};

}  // namespace tw::qorcom
