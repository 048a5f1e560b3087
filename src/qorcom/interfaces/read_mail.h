#pragma once
// Reading mail: IQORReadEMail and its POP3 and MAPI forms, and the two older interfaces
// (IQORReadMailPOP3, IQORReadMail) whose components forward to the newer ones.
//
// Calling order: Init (connects and logs on), MoveFirst, then Read, optionally Delete, and
// MoveNext until it returns false; Close. MoveFirst, MoveNext, Read and Delete report ordinary
// failure through their results; Init raises the client's error text (code 0x201E for POP3,
// 0x201F for MAPI). Read's [out] strings are new BSTRs the caller frees; list fields are joined
// with Seperator.

#include "comlite/dispatch.h"
#include "comlite/guid.h"

#define QORCOM_READ_EMAIL_METHODS                                                       \
    virtual HRESULT STDMETHODCALLTYPE put_Seperator(BSTR value) = 0;                    \
    virtual HRESULT STDMETHODCALLTYPE get_Seperator(BSTR* value) = 0;                   \
    virtual HRESULT STDMETHODCALLTYPE put_SaveAttachments(VARIANT_BOOL value) = 0;      \
    virtual HRESULT STDMETHODCALLTYPE get_SaveAttachments(VARIANT_BOOL* value) = 0;     \
    virtual HRESULT STDMETHODCALLTYPE MoveFirst(VARIANT_BOOL* result) = 0;              \
    virtual HRESULT STDMETHODCALLTYPE MoveNext(VARIANT_BOOL* result) = 0;               \
    virtual HRESULT STDMETHODCALLTYPE Read(BSTR* from, BSTR* to, BSTR* cc, BSTR* bcc,   \
                                           BSTR* subject, BSTR* date, BSTR* body,       \
                                           BSTR* attachment, VARIANT_BOOL* result) = 0; \
    virtual HRESULT STDMETHODCALLTYPE Delete(VARIANT_BOOL* result) = 0;                 \
    virtual HRESULT STDMETHODCALLTYPE Close() = 0

struct IQORReadEMail : IDispatch {
    QORCOM_READ_EMAIL_METHODS;

protected:
    ~IQORReadEMail() = default;
};

struct IQORReadEMailPOP3 : IQORReadEMail {
    virtual HRESULT STDMETHODCALLTYPE Init(BSTR server, BSTR userName, BSTR password) = 0;

protected:
    ~IQORReadEMailPOP3() = default;
};

struct IQORReadEMailMAPI : IQORReadEMail {
    virtual HRESULT STDMETHODCALLTYPE Init(BSTR profile, BSTR password, ULONG uiHandle,
                                           VARIANT_BOOL userInterface) = 0;

protected:
    ~IQORReadEMailMAPI() = default;
};

// The older interfaces hold the same members on IDispatch directly. Their order is not known
// of the old type library; ours puts Init first (0x60020000), then the reading members in the
// order of IQORReadEMail from 0x60020001 (Seperator 0x60020001 ... Close 0x60020009).
struct IQORReadMailPOP3 : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Init(BSTR server, BSTR userName, BSTR password) = 0;
    QORCOM_READ_EMAIL_METHODS;

protected:
    ~IQORReadMailPOP3() = default;
};

struct IQORReadMail : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Init(BSTR profile, BSTR password, ULONG uiHandle,
                                           VARIANT_BOOL userInterface) = 0;
    QORCOM_READ_EMAIL_METHODS;

protected:
    ~IQORReadMail() = default;
};

#undef QORCOM_READ_EMAIL_METHODS

inline constexpr IID IID_IQORReadEMail =
    comlite::MakeGuid("{0CAAE42A-CF96-41CF-8DB9-1EDE80A3FF25}");
inline constexpr IID IID_IQORReadEMailPOP3 =
    comlite::MakeGuid("{361467EB-AC34-462B-82D2-B75F1F85C98E}");
inline constexpr IID IID_IQORReadEMailMAPI =
    comlite::MakeGuid("{D135DD67-1BC1-4799-8BE4-DF138B3741DA}");
inline constexpr IID IID_IQORReadMailPOP3 =
    comlite::MakeGuid("{8DF07613-68CF-43AE-80A4-008247A94402}");
inline constexpr IID IID_IQORReadMail = comlite::MakeGuid("{646FA1D6-EDEA-4FA7-AD21-38D4A276E812}");

inline constexpr CLSID CLSID_QORReadEMailPOP3 =
    comlite::MakeGuid("{56610B59-6F53-48CB-BEC5-DF60ACC14913}");
inline constexpr CLSID CLSID_QORReadEMailMAPI =
    comlite::MakeGuid("{4FE27532-58BC-4126-9C56-0BE8CC160EFA}");
// Also "QORPost.ReadMailPOP3".
inline constexpr CLSID CLSID_QORReadMailPOP3 =
    comlite::MakeGuid("{FC03E897-8E05-4401-A3B4-76BAA0907537}");
// Also "QORPost.ReadMail".
inline constexpr CLSID CLSID_QORReadMail =
    comlite::MakeGuid("{DDF2CCE8-AE14-4E30-BA86-256DB1C9A7EC}");

namespace tw::qorcom::members {
using namespace comlite;

// The reading members, numbered from `first`.
#define QORCOM_READ_EMAIL_MEMBERS(I, first)                                                      \
    PropertyPut<&I::put_Seperator>((first), "Seperator", {In(VT_BSTR)}),                         \
        PropertyGet<&I::get_Seperator>((first), "Seperator", {RetVal(VT_BSTR)}),                 \
        PropertyPut<&I::put_SaveAttachments>((first) + 2, "SaveAttachments", {In(VT_BOOL)}),     \
        PropertyGet<&I::get_SaveAttachments>((first) + 2, "SaveAttachments", {RetVal(VT_BOOL)}), \
        Method<&I::MoveFirst>((first) + 4, "MoveFirst", {RetVal(VT_BOOL, "Result")}),            \
        Method<&I::MoveNext>((first) + 5, "MoveNext", {RetVal(VT_BOOL, "Result")}),              \
        Method<&I::Read>(                                                                        \
            (first) + 6, "Read",                                                                 \
            {Out(VT_BSTR, "From"), Out(VT_BSTR, "To"), Out(VT_BSTR, "CC"), Out(VT_BSTR, "BCC"),  \
             Out(VT_BSTR, "Subject"), Out(VT_BSTR, "Date"), Out(VT_BSTR, "Body"),                \
             Out(VT_BSTR, "Attachment"), RetVal(VT_BOOL, "Result")}),                            \
        Method<&I::Delete>((first) + 7, "Delete", {RetVal(VT_BOOL, "Result")}),                  \
        Method<&I::Close>((first) + 8, "Close")

#define QORCOM_POP3_INIT(I, id)    \
    Method<&I::Init>((id), "Init", \
                     {In(VT_BSTR, "Server"), In(VT_BSTR, "UserName"), In(VT_BSTR, "Password")})
#define QORCOM_MAPI_INIT(I, id)                                                                \
    Method<&I::Init>((id), "Init",                                                             \
                     {In(VT_BSTR, "Profile"), In(VT_BSTR, "Password"), In(VT_UI4, "UIHandle"), \
                      In(VT_BOOL, "UserInterface")})

inline constexpr DispatchMember kReadEMail[] = {
    QORCOM_READ_EMAIL_MEMBERS(IQORReadEMail, 0x60020000)};
inline constexpr DispatchMember kReadEMailPOP3[] = {
    QORCOM_READ_EMAIL_MEMBERS(IQORReadEMailPOP3, 0x60020000),
    QORCOM_POP3_INIT(IQORReadEMailPOP3, 0x60030000)};
inline constexpr DispatchMember kReadEMailMAPI[] = {
    QORCOM_READ_EMAIL_MEMBERS(IQORReadEMailMAPI, 0x60020000),
    QORCOM_MAPI_INIT(IQORReadEMailMAPI, 0x60030000)};
inline constexpr DispatchMember kReadMailPOP3[] = {
    QORCOM_POP3_INIT(IQORReadMailPOP3, 0x60020000),
    QORCOM_READ_EMAIL_MEMBERS(IQORReadMailPOP3, 0x60020001)};
inline constexpr DispatchMember kReadMail[] = {QORCOM_MAPI_INIT(IQORReadMail, 0x60020000),
                                               QORCOM_READ_EMAIL_MEMBERS(IQORReadMail, 0x60020001)};

#undef QORCOM_READ_EMAIL_MEMBERS
#undef QORCOM_POP3_INIT
#undef QORCOM_MAPI_INIT

}  // namespace tw::qorcom::members
