#pragma once
// The older MAPI mail components, kept for the programs written against them:
//   "QORCom.SendMail" / "QORPost.SendMail" (IQORSendMail) forwards to a "QORCom.SendEMailMAPI"
//   object, and "QORCom.ReadMail" / "QORPost.ReadMail" (IQORReadMail) to a
//   "QORCom.ReadEMailMAPI" object, each made by CLSID when the adapter is created and released
//   with it. Results and errors are the newer object's, unchanged (an error's source is the
//   newer component's ProgID). IQORSendMail has no UIHandle: the window handle stays 0.

#include "comlite/com_ptr.h"
#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/interfaces/read_mail.h"
#include "qorcom/interfaces/send_mail.h"

namespace tw::qorcom {

template <>
struct InterfaceTraits<IQORSendMail> {
    static constexpr const char* kName = "IQORSendMail";
    static constexpr IID kIid = IID_IQORSendMail;
    static constexpr const IID* kBaseIid = nullptr;
    static constexpr comlite::DispatchTable kMembers = members::kSendMail;
};

template <>
struct InterfaceTraits<IQORReadMail> {
    static constexpr const char* kName = "IQORReadMail";
    static constexpr IID kIid = IID_IQORReadMail;
    static constexpr const IID* kBaseIid = nullptr;
    static constexpr comlite::DispatchTable kMembers = members::kReadMail;
};

class CSendMail final : public GenericDispatchObject<IQORSendMail> {
public:
    explicit CSendMail(IUnknown* outer);
    ~CSendMail() override;
    // Makes the "QORCom.SendEMailMAPI" object; its failure fails the creation.
    HRESULT Init() override;

    HRESULT STDMETHODCALLTYPE put_Profile(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Profile(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Password(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Password(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_To(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_To(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_CC(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_CC(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_BCC(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_BCC(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Subject(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Subject(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Body(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Body(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Attachment(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Attachment(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE InitMail(VARIANT_BOOL userInterface) override;
    HRESULT STDMETHODCALLTYPE Send(LONG* result) override;
    HRESULT STDMETHODCALLTYPE Close() override;

private:
    comlite::ComPtr<IQORSendEMailMAPI> inner_;
};

class CReadMail final : public GenericDispatchObject<IQORReadMail> {
public:
    explicit CReadMail(IUnknown* outer);
    ~CReadMail() override;
    // Makes the "QORCom.ReadEMailMAPI" object; its failure fails the creation.
    HRESULT Init() override;

    HRESULT STDMETHODCALLTYPE Init(BSTR profile, BSTR password, ULONG uiHandle,
                                   VARIANT_BOOL userInterface) override;
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

private:
    comlite::ComPtr<IQORReadEMailMAPI> inner_;
};

}  // namespace tw::qorcom
