#pragma once
// IQORFTP: file transfer by FTP, FTPS, the system's FTP functions or SFTP, one interface for
// all so that a caller switches transport by ProgID alone ("QORCom.FTP", "QORCom.IEFTP",
// "QORCom.SFTP", "QORCom.SFTPwod"). IQORSFTPwod adds the notifications of the SSH control the
// SFTP component drives.
//
// Transfer and command members return S_OK and report success in their VARIANT_BOOL; the reason
// for a failure is then in LastErrorMessage. For PutFile/PutFileAppend Source is local and Dest
// remote; for GetFile/GetFileAppend Source is remote and Dest local.

#include "comlite/dispatch.h"
#include "comlite/guid.h"

struct IQORFTP : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE put_Server(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Server(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Port(SHORT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Port(SHORT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_UserName(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_UserName(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Password(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Password(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Passive(VARIANT_BOOL value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Passive(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LastErrorMessage(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Connect(VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendCommand(BSTR command, VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE PutFile(BSTR source, BSTR dest, VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFile(BSTR source, BSTR dest, VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindFirst(BSTR fileMask, BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindNext(BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Disconnect() = 0;
    virtual HRESULT STDMETHODCALLTYPE put_LongFileInfo(VARIANT_BOOL value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LongFileInfo(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE ParseLongFileInfo(BSTR line, BSTR* fileName, LONG* fileSize,
                                                        DATE* dateTime, VARIANT_BOOL* dir,
                                                        VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE PutFileAppend(BSTR source, BSTR dest,
                                                    VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFileAppend(BSTR source, BSTR dest,
                                                    VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SecureLogin(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_SecureLogin(VARIANT_BOOL value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SecureTransfer(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_SecureTransfer(VARIANT_BOOL value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VerifyServerCertificate(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_VerifyServerCertificate(VARIANT_BOOL value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_PathPrefix(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PathPrefix(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteFile(BSTR file, VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE MakeDir(BSTR path, VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveDir(BSTR path, VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Rename(BSTR source, BSTR dest, VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ASCII(VARIANT_BOOL value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ASCII(VARIANT_BOOL* value) = 0;

protected:
    ~IQORFTP() = default;
};

// The notifications of the SSH control, each with the control object first. [in, out]
// arguments (Accept, Response, LocalFile, RemoteFile, Skip, ErrorCode) carry the sink's answer
// back to the control.
struct IQORSFTPwod : IQORFTP {
    virtual HRESULT STDMETHODCALLTYPE Connected(IDispatch* owner, SHORT errorCode,
                                                BSTR errorText) = 0;
    virtual HRESULT STDMETHODCALLTYPE Disconnected(IDispatch* owner) = 0;
    virtual HRESULT STDMETHODCALLTYPE StateChange(IDispatch* owner, SHORT oldState) = 0;
    virtual HRESULT STDMETHODCALLTYPE HostFingerprint(IDispatch* owner, BSTR fingerprint,
                                                      VARIANT_BOOL* accept) = 0;
    virtual HRESULT STDMETHODCALLTYPE Progress(IDispatch* owner, LONG position, LONG total) = 0;
    virtual HRESULT STDMETHODCALLTYPE ListItems(IDispatch* owner, BSTR fileInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE Done(IDispatch* owner, SHORT errorCode, BSTR errorText) = 0;
    virtual HRESULT STDMETHODCALLTYPE Attributes(IDispatch* owner, LONG size, LONG uid, LONG gid,
                                                 LONG permissions, DATE accessTime,
                                                 DATE modificationTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE CryptoInformation(IDispatch* owner, BSTR protocol,
                                                        BSTR remoteName, BSTR scCipher,
                                                        BSTR csCipher, BSTR keys,
                                                        VARIANT_BOOL* accept) = 0;
    virtual HRESULT STDMETHODCALLTYPE Progress64(IDispatch* owner, LONG positionLo, LONG positionHi,
                                                 LONG totalLo, LONG totalHi) = 0;
    virtual HRESULT STDMETHODCALLTYPE Attributes64(IDispatch* owner, LONG sizeLo, LONG sizeHi,
                                                   LONG uid, LONG gid, LONG permissions,
                                                   DATE accessTime, DATE modificationTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE AttributesData(IDispatch* owner, IUnknown* items) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoginChallenge(IDispatch* owner, BSTR challenge,
                                                     BSTR* response) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoopItem(IDispatch* owner, BSTR* localFile, BSTR* remoteFile,
                                               SHORT itemType, VARIANT_BOOL* skip) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoopError(IDispatch* owner, BSTR localFile, BSTR remoteFile,
                                                SHORT itemType, LONG* errorCode,
                                                BSTR errorText) = 0;

protected:
    ~IQORSFTPwod() = default;
};

inline constexpr IID IID_IQORFTP = comlite::MakeGuid("{EF865D0E-C0C1-4AAB-B095-9465F91C87F2}");
inline constexpr IID IID_IQORSFTPwod = comlite::MakeGuid("{B9292AA9-EBA6-4F2E-948B-4CF4DD4F06E5}");
// "QORCom.FTP" and "QORPost.FTP": the library's own client, with explicit TLS.
inline constexpr CLSID CLSID_QORFTP = comlite::MakeGuid("{1409E2A2-8561-4B38-A3A0-4003F5E59EBD}");
// "QORCom.IEFTP": the same interface over the system's FTP functions.
inline constexpr CLSID CLSID_QORIEFTP = comlite::MakeGuid("{7CDDA671-F6BF-4483-9EBD-195BF5A94C14}");
// "QORCom.SFTP" and "QORCom.SFTPwod": two classes, one component.
inline constexpr CLSID CLSID_QORSFTP = comlite::MakeGuid("{6B25A2FB-F695-45FC-B943-88A4802D6543}");
inline constexpr CLSID CLSID_QORSFTPwod =
    comlite::MakeGuid("{ED9330EC-738F-4DEE-B53D-C617BBEC3096}");

namespace tw::qorcom::members {
using namespace comlite;

#define QORCOM_FTP_MEMBERS(I)                                                                     \
    PropertyPut<&I::put_Server>(0x60020000, "Server", {In(VT_BSTR)}),                             \
        PropertyGet<&I::get_Server>(0x60020000, "Server", {RetVal(VT_BSTR)}),                     \
        PropertyPut<&I::put_Port>(0x60020002, "Port", {In(VT_I2)}),                               \
        PropertyGet<&I::get_Port>(0x60020002, "Port", {RetVal(VT_I2)}),                           \
        PropertyPut<&I::put_UserName>(0x60020004, "UserName", {In(VT_BSTR)}),                     \
        PropertyGet<&I::get_UserName>(0x60020004, "UserName", {RetVal(VT_BSTR)}),                 \
        PropertyPut<&I::put_Password>(0x60020006, "Password", {In(VT_BSTR)}),                     \
        PropertyGet<&I::get_Password>(0x60020006, "Password", {RetVal(VT_BSTR)}),                 \
        PropertyPut<&I::put_Passive>(0x60020008, "Passive", {In(VT_BOOL)}),                       \
        PropertyGet<&I::get_Passive>(0x60020008, "Passive", {RetVal(VT_BOOL)}),                   \
        PropertyGet<&I::get_LastErrorMessage>(0x6002000a, "LastErrorMessage", {RetVal(VT_BSTR)}), \
        Method<&I::Connect>(0x6002000b, "Connect", {RetVal(VT_BOOL)}),                            \
        Method<&I::SendCommand>(0x6002000c, "SendCommand",                                        \
                                {In(VT_BSTR, "Command"), RetVal(VT_BOOL)}),                       \
        Method<&I::PutFile>(0x6002000d, "PutFile",                                                \
                            {In(VT_BSTR, "Source"), In(VT_BSTR, "Dest"), RetVal(VT_BOOL)}),       \
        Method<&I::GetFile>(0x6002000e, "GetFile",                                                \
                            {In(VT_BSTR, "Source"), In(VT_BSTR, "Dest"), RetVal(VT_BOOL)}),       \
        Method<&I::FindFirst>(0x6002000f, "FindFirst",                                            \
                              {In(VT_BSTR, "FileMask"), RetVal(VT_BSTR)}),                        \
        Method<&I::FindNext>(0x60020010, "FindNext", {RetVal(VT_BSTR)}),                          \
        Method<&I::Disconnect>(0x60020011, "Disconnect"),                                         \
        PropertyPut<&I::put_LongFileInfo>(0x60020012, "LongFileInfo", {In(VT_BOOL)}),             \
        PropertyGet<&I::get_LongFileInfo>(0x60020012, "LongFileInfo", {RetVal(VT_BOOL)}),         \
        Method<&I::ParseLongFileInfo>(                                                            \
            0x60020014, "ParseLongFileInfo",                                                      \
            {In(VT_BSTR, "Line"), Out(VT_BSTR, "Filename"), Out(VT_I4, "FileSize"),               \
             Out(VT_DATE, "DateTime"), Out(VT_BOOL, "Dir"), RetVal(VT_BOOL)}),                    \
        Method<&I::PutFileAppend>(0x60020015, "PutFileAppend",                                    \
                                  {In(VT_BSTR, "Source"), In(VT_BSTR, "Dest"), RetVal(VT_BOOL)}), \
        Method<&I::GetFileAppend>(0x60020016, "GetFileAppend",                                    \
                                  {In(VT_BSTR, "Source"), In(VT_BSTR, "Dest"), RetVal(VT_BOOL)}), \
        PropertyGet<&I::get_SecureLogin>(0x60020017, "SecureLogin", {RetVal(VT_BOOL)}),           \
        PropertyPut<&I::put_SecureLogin>(0x60020017, "SecureLogin", {In(VT_BOOL)}),               \
        PropertyGet<&I::get_SecureTransfer>(0x60020019, "SecureTransfer", {RetVal(VT_BOOL)}),     \
        PropertyPut<&I::put_SecureTransfer>(0x60020019, "SecureTransfer", {In(VT_BOOL)}),         \
        PropertyGet<&I::get_VerifyServerCertificate>(0x6002001b, "VerifyServerCertificate",       \
                                                     {RetVal(VT_BOOL)}),                          \
        PropertyPut<&I::put_VerifyServerCertificate>(0x6002001b, "VerifyServerCertificate",       \
                                                     {In(VT_BOOL)}),                              \
        PropertyPut<&I::put_PathPrefix>(0x6002001d, "PathPrefix", {In(VT_BSTR)}),                 \
        PropertyGet<&I::get_PathPrefix>(0x6002001d, "PathPrefix", {RetVal(VT_BSTR)}),             \
        Method<&I::DeleteFile>(0x6002001f, "DeleteFile", {In(VT_BSTR, "File"), RetVal(VT_BOOL)}), \
        Method<&I::MakeDir>(0x60020020, "MakeDir", {In(VT_BSTR, "Path"), RetVal(VT_BOOL)}),       \
        Method<&I::RemoveDir>(0x60020021, "RemoveDir", {In(VT_BSTR, "Path"), RetVal(VT_BOOL)}),   \
        Method<&I::Rename>(0x60020022, "Rename",                                                  \
                           {In(VT_BSTR, "Source"), In(VT_BSTR, "Dest"), RetVal(VT_BOOL)}),        \
        PropertyPut<&I::put_ASCII>(0x60020023, "ASCII", {In(VT_BOOL)}),                           \
        PropertyGet<&I::get_ASCII>(0x60020023, "ASCII", {RetVal(VT_BOOL)})

inline constexpr DispatchMember kFTP[] = {QORCOM_FTP_MEMBERS(IQORFTP)};

// The base interface's members, then the notifications numbered from 0x60030000.
inline constexpr DispatchMember kSFTPwod[] = {
    QORCOM_FTP_MEMBERS(IQORSFTPwod),
    Method<&IQORSFTPwod::Connected>(
        0x60030000, "Connected",
        {In(VT_DISPATCH, "Owner"), In(VT_I2, "ErrorCode"), In(VT_BSTR, "ErrorText")}),
    Method<&IQORSFTPwod::Disconnected>(0x60030001, "Disconnected", {In(VT_DISPATCH, "Owner")}),
    Method<&IQORSFTPwod::StateChange>(0x60030002, "StateChange",
                                      {In(VT_DISPATCH, "Owner"), In(VT_I2, "OldState")}),
    Method<&IQORSFTPwod::HostFingerprint>(
        0x60030003, "HostFingerprint",
        {In(VT_DISPATCH, "Owner"), In(VT_BSTR, "Fingerprint"), InOut(VT_BOOL, "Accept")}),
    Method<&IQORSFTPwod::Progress>(
        0x60030004, "Progress",
        {In(VT_DISPATCH, "Owner"), In(VT_I4, "Position"), In(VT_I4, "Total")}),
    Method<&IQORSFTPwod::ListItems>(0x60030005, "ListItems",
                                    {In(VT_DISPATCH, "Owner"), In(VT_BSTR, "FileInfo")}),
    Method<&IQORSFTPwod::Done>(
        0x60030006, "Done",
        {In(VT_DISPATCH, "Owner"), In(VT_I2, "ErrorCode"), In(VT_BSTR, "ErrorText")}),
    Method<&IQORSFTPwod::Attributes>(
        0x60030007, "Attributes",
        {In(VT_DISPATCH, "Owner"), In(VT_I4, "Size"), In(VT_I4, "Uid"), In(VT_I4, "Gid"),
         In(VT_I4, "Permissions"), In(VT_DATE, "AccessTime"), In(VT_DATE, "ModificationTime")}),
    Method<&IQORSFTPwod::CryptoInformation>(
        0x60030008, "CryptoInformation",
        {In(VT_DISPATCH, "Owner"), In(VT_BSTR, "Protocol"), In(VT_BSTR, "RemoteName"),
         In(VT_BSTR, "SCcipher"), In(VT_BSTR, "CScipher"), In(VT_BSTR, "Keys"),
         InOut(VT_BOOL, "Accept")}),
    Method<&IQORSFTPwod::Progress64>(
        0x60030009, "Progress64",
        {In(VT_DISPATCH, "Owner"), In(VT_I4, "PositionLo"), In(VT_I4, "PositionHi"),
         In(VT_I4, "TotalLo"), In(VT_I4, "TotalHi")}),
    Method<&IQORSFTPwod::Attributes64>(
        0x6003000a, "Attributes64",
        {In(VT_DISPATCH, "Owner"), In(VT_I4, "SizeLo"), In(VT_I4, "SizeHi"), In(VT_I4, "Uid"),
         In(VT_I4, "Gid"), In(VT_I4, "Permissions"), In(VT_DATE, "AccessTime"),
         In(VT_DATE, "ModificationTime")}),
    Method<&IQORSFTPwod::AttributesData>(0x6003000b, "AttributesData",
                                         {In(VT_DISPATCH, "Owner"), In(VT_UNKNOWN, "Items")}),
    Method<&IQORSFTPwod::LoginChallenge>(
        0x6003000c, "LoginChallenge",
        {In(VT_DISPATCH, "Owner"), In(VT_BSTR, "Challenge"), InOut(VT_BSTR, "Response")}),
    Method<&IQORSFTPwod::LoopItem>(
        0x6003000d, "LoopItem",
        {In(VT_DISPATCH, "Owner"), InOut(VT_BSTR, "LocalFile"), InOut(VT_BSTR, "RemoteFile"),
         In(VT_I2, "ItemType"), InOut(VT_BOOL, "Skip")}),
    Method<&IQORSFTPwod::LoopError>(
        0x6003000e, "LoopError",
        {In(VT_DISPATCH, "Owner"), In(VT_BSTR, "LocalFile"), In(VT_BSTR, "RemoteFile"),
         In(VT_I2, "ItemType"), InOut(VT_I4, "ErrorCode"), In(VT_BSTR, "ErrorText")}),
};

#undef QORCOM_FTP_MEMBERS

}  // namespace tw::qorcom::members
