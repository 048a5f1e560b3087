#pragma once
// Sending mail: IQORSendEMail and its SMTP and MAPI forms, and the two older interfaces
// (IQORSendMailSMTP, IQORSendMail) whose components forward to the newer ones.
//
// Address lists (To, CC, BCC) are separated by ";", each entry a bare address or a display
// name followed by the address in angle brackets; Attachment is a ";"-separated list of local
// file paths. Send's Result is 0; a failure is raised as an error (code 0x201E for SMTP, 0x201F
// for MAPI) whose description is the client's last error text.

#include "comlite/dispatch.h"
#include "comlite/guid.h"

struct IQORSendEMail : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Send(LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Attachment(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Attachment(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BCC(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_BCC(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CC(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CC(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Subject(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Subject(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Body(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Body(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_To(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_To(BSTR value) = 0;

protected:
    ~IQORSendEMail() = default;
};

// Port, SecureLogin and VerifyServerCertificate are read by Init, which connects.
struct IQORSendEMailSMTP : IQORSendEMail {
    virtual HRESULT STDMETHODCALLTYPE Init(BSTR server, BSTR userName, BSTR password) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_From(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_From(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_FromScreenName(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_FromScreenName(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Port(SHORT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Port(SHORT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SecureLogin(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_SecureLogin(VARIANT_BOOL value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VerifyServerCertificate(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_VerifyServerCertificate(VARIANT_BOOL value) = 0;

protected:
    ~IQORSendEMailSMTP() = default;
};

// Profile, Password and UIHandle are read by InitMail, which logs on.
struct IQORSendEMailMAPI : IQORSendEMail {
    virtual HRESULT STDMETHODCALLTYPE InitMail(VARIANT_BOOL userInterface) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Profile(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Profile(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Password(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Password(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_UIHandle(ULONG* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_UIHandle(ULONG value) = 0;

protected:
    ~IQORSendEMailMAPI() = default;
};

// The older SMTP interface: Send takes the To list.
struct IQORSendMailSMTP : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Init(BSTR server, BSTR userName, BSTR password) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_From(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_From(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CC(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CC(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_BCC(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BCC(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Subject(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Subject(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Body(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Body(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Attachment(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Attachment(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Send(BSTR to, LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;

protected:
    ~IQORSendMailSMTP() = default;
};

// The older MAPI interface, the one interface of the library numbered from 1. Its members are
// those of IQORSendEMailMAPI without UIHandle. Only the numbering from 1 to 11 is known of the
// old type library, not the order; ours is the properties in the order of the newer interface
// (Profile 1, Password 2, To 3, CC 4, BCC 5, Subject 6, Body 7, Attachment 8), then InitMail 9,
// Send 10 and Close 11. Scripts calling by name are unaffected by the choice.
struct IQORSendMail : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE put_Profile(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Profile(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Password(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Password(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_To(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_To(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CC(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CC(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_BCC(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BCC(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Subject(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Subject(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Body(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Body(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Attachment(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Attachment(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE InitMail(VARIANT_BOOL userInterface) = 0;
    virtual HRESULT STDMETHODCALLTYPE Send(LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;

protected:
    ~IQORSendMail() = default;
};

inline constexpr IID IID_IQORSendEMail =
    comlite::MakeGuid("{B3E35CB3-89A6-4589-8478-A68F2C3AA384}");
inline constexpr IID IID_IQORSendEMailSMTP =
    comlite::MakeGuid("{181F31AA-A5D1-4A7E-8AD8-2703224A9759}");
inline constexpr IID IID_IQORSendEMailMAPI =
    comlite::MakeGuid("{6E6406D9-9BF7-4BD8-A1F1-AF1CFA63ECA0}");
inline constexpr IID IID_IQORSendMailSMTP =
    comlite::MakeGuid("{54FFC917-5A35-4DE2-80D3-815F439D1F63}");
inline constexpr IID IID_IQORSendMail = comlite::MakeGuid("{13F58630-4B73-11D4-92DA-00E02950EEDE}");

inline constexpr CLSID CLSID_QORSendEMailSMTP =
    comlite::MakeGuid("{19FA051B-E88A-4A0E-A198-42FC931EFC46}");
inline constexpr CLSID CLSID_QORSendEMailMAPI =
    comlite::MakeGuid("{E4496082-0E62-401E-B106-0D6FCB5C4555}");
// Also "QORPost.SendMailSMTP".
inline constexpr CLSID CLSID_QORSendMailSMTP =
    comlite::MakeGuid("{551530F7-F153-4CEF-B897-34F432A34275}");
// Also "QORPost.SendMail".
inline constexpr CLSID CLSID_QORSendMail =
    comlite::MakeGuid("{13F58631-4B73-11D4-92DA-00E02950EEDE}");

namespace tw::qorcom::members {
using namespace comlite;

#define QORCOM_SEND_EMAIL_MEMBERS(I)                                                  \
    Method<&I::Send>(0x60020000, "Send", {RetVal(VT_I4, "Result")}),                  \
        Method<&I::Close>(0x60020001, "Close"),                                       \
        PropertyGet<&I::get_Attachment>(0x60020002, "Attachment", {RetVal(VT_BSTR)}), \
        PropertyPut<&I::put_Attachment>(0x60020002, "Attachment", {In(VT_BSTR)}),     \
        PropertyGet<&I::get_BCC>(0x60020004, "BCC", {RetVal(VT_BSTR)}),               \
        PropertyPut<&I::put_BCC>(0x60020004, "BCC", {In(VT_BSTR)}),                   \
        PropertyGet<&I::get_CC>(0x60020006, "CC", {RetVal(VT_BSTR)}),                 \
        PropertyPut<&I::put_CC>(0x60020006, "CC", {In(VT_BSTR)}),                     \
        PropertyGet<&I::get_Subject>(0x60020008, "Subject", {RetVal(VT_BSTR)}),       \
        PropertyPut<&I::put_Subject>(0x60020008, "Subject", {In(VT_BSTR)}),           \
        PropertyGet<&I::get_Body>(0x6002000a, "Body", {RetVal(VT_BSTR)}),             \
        PropertyPut<&I::put_Body>(0x6002000a, "Body", {In(VT_BSTR)}),                 \
        PropertyGet<&I::get_To>(0x6002000c, "To", {RetVal(VT_BSTR)}),                 \
        PropertyPut<&I::put_To>(0x6002000c, "To", {In(VT_BSTR)})

inline constexpr DispatchMember kSendEMail[] = {QORCOM_SEND_EMAIL_MEMBERS(IQORSendEMail)};

inline constexpr DispatchMember kSendEMailSMTP[] = {
    QORCOM_SEND_EMAIL_MEMBERS(IQORSendEMailSMTP),
    Method<&IQORSendEMailSMTP::Init>(
        0x60030000, "Init",
        {In(VT_BSTR, "Server"), In(VT_BSTR, "UserName"), In(VT_BSTR, "Password")}),
    PropertyPut<&IQORSendEMailSMTP::put_From>(0x60030001, "From", {In(VT_BSTR)}),
    PropertyGet<&IQORSendEMailSMTP::get_From>(0x60030001, "From", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORSendEMailSMTP::put_FromScreenName>(0x60030003, "FromScreenName",
                                                        {In(VT_BSTR)}),
    PropertyGet<&IQORSendEMailSMTP::get_FromScreenName>(0x60030003, "FromScreenName",
                                                        {RetVal(VT_BSTR)}),
    PropertyPut<&IQORSendEMailSMTP::put_Port>(0x60030005, "Port", {In(VT_I2)}),
    PropertyGet<&IQORSendEMailSMTP::get_Port>(0x60030005, "Port", {RetVal(VT_I2)}),
    PropertyGet<&IQORSendEMailSMTP::get_SecureLogin>(0x60030007, "SecureLogin", {RetVal(VT_BOOL)}),
    PropertyPut<&IQORSendEMailSMTP::put_SecureLogin>(0x60030007, "SecureLogin", {In(VT_BOOL)}),
    PropertyGet<&IQORSendEMailSMTP::get_VerifyServerCertificate>(
        0x60030009, "VerifyServerCertificate", {RetVal(VT_BOOL)}),
    PropertyPut<&IQORSendEMailSMTP::put_VerifyServerCertificate>(
        0x60030009, "VerifyServerCertificate", {In(VT_BOOL)}),
};

inline constexpr DispatchMember kSendEMailMAPI[] = {
    QORCOM_SEND_EMAIL_MEMBERS(IQORSendEMailMAPI),
    Method<&IQORSendEMailMAPI::InitMail>(0x60030000, "InitMail", {In(VT_BOOL, "UserInterface")}),
    PropertyGet<&IQORSendEMailMAPI::get_Profile>(0x60030001, "Profile", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORSendEMailMAPI::put_Profile>(0x60030001, "Profile", {In(VT_BSTR)}),
    PropertyGet<&IQORSendEMailMAPI::get_Password>(0x60030003, "Password", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORSendEMailMAPI::put_Password>(0x60030003, "Password", {In(VT_BSTR)}),
    PropertyGet<&IQORSendEMailMAPI::get_UIHandle>(0x60030005, "UIHandle", {RetVal(VT_UI4)}),
    PropertyPut<&IQORSendEMailMAPI::put_UIHandle>(0x60030005, "UIHandle", {In(VT_UI4)}),
};

#undef QORCOM_SEND_EMAIL_MEMBERS

inline constexpr DispatchMember kSendMailSMTP[] = {
    Method<&IQORSendMailSMTP::Init>(
        0x60020000, "Init",
        {In(VT_BSTR, "Server"), In(VT_BSTR, "UserName"), In(VT_BSTR, "Password")}),
    PropertyPut<&IQORSendMailSMTP::put_From>(0x60020001, "From", {In(VT_BSTR)}),
    PropertyGet<&IQORSendMailSMTP::get_From>(0x60020001, "From", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORSendMailSMTP::put_CC>(0x60020003, "CC", {In(VT_BSTR)}),
    PropertyGet<&IQORSendMailSMTP::get_CC>(0x60020003, "CC", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORSendMailSMTP::put_BCC>(0x60020005, "BCC", {In(VT_BSTR)}),
    PropertyGet<&IQORSendMailSMTP::get_BCC>(0x60020005, "BCC", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORSendMailSMTP::put_Subject>(0x60020007, "Subject", {In(VT_BSTR)}),
    PropertyGet<&IQORSendMailSMTP::get_Subject>(0x60020007, "Subject", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORSendMailSMTP::put_Body>(0x60020009, "Body", {In(VT_BSTR)}),
    PropertyGet<&IQORSendMailSMTP::get_Body>(0x60020009, "Body", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORSendMailSMTP::put_Attachment>(0x6002000b, "Attachment", {In(VT_BSTR)}),
    PropertyGet<&IQORSendMailSMTP::get_Attachment>(0x6002000b, "Attachment", {RetVal(VT_BSTR)}),
    Method<&IQORSendMailSMTP::Send>(0x6002000d, "Send", {In(VT_BSTR, "To"), RetVal(VT_I4)}),
    Method<&IQORSendMailSMTP::Close>(0x6002000e, "Close"),
};

inline constexpr DispatchMember kSendMail[] = {
    PropertyPut<&IQORSendMail::put_Profile>(1, "Profile", {In(VT_BSTR)}),
    PropertyGet<&IQORSendMail::get_Profile>(1, "Profile", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORSendMail::put_Password>(2, "Password", {In(VT_BSTR)}),
    PropertyGet<&IQORSendMail::get_Password>(2, "Password", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORSendMail::put_To>(3, "To", {In(VT_BSTR)}),
    PropertyGet<&IQORSendMail::get_To>(3, "To", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORSendMail::put_CC>(4, "CC", {In(VT_BSTR)}),
    PropertyGet<&IQORSendMail::get_CC>(4, "CC", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORSendMail::put_BCC>(5, "BCC", {In(VT_BSTR)}),
    PropertyGet<&IQORSendMail::get_BCC>(5, "BCC", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORSendMail::put_Subject>(6, "Subject", {In(VT_BSTR)}),
    PropertyGet<&IQORSendMail::get_Subject>(6, "Subject", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORSendMail::put_Body>(7, "Body", {In(VT_BSTR)}),
    PropertyGet<&IQORSendMail::get_Body>(7, "Body", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORSendMail::put_Attachment>(8, "Attachment", {In(VT_BSTR)}),
    PropertyGet<&IQORSendMail::get_Attachment>(8, "Attachment", {RetVal(VT_BSTR)}),
    Method<&IQORSendMail::InitMail>(9, "InitMail", {In(VT_BOOL, "UserInterface")}),
    Method<&IQORSendMail::Send>(10, "Send", {RetVal(VT_I4, "Result")}),
    Method<&IQORSendMail::Close>(11, "Close"),
};

}  // namespace tw::qorcom::members
