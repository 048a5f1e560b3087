#include "qorcom/frame/component_table.h"

#include "qorcom/channel/terminal_server_channel.h"
#include "qorcom/frame/lock_file.h"
#include "qorcom/frame/log_message.h"
#include "qorcom/local/drive_overrider.h"
#include "qorcom/local/find_files.h"
#include "qorcom/local/global_queue.h"
#include "qorcom/local/software_message.h"
#include "qorcom/local/soundex.h"
#include "qorcom/local/std_out_status.h"
#include "qorcom/mail/mapi_adapters.h"
#include "qorcom/mail/read_email_mapi.h"
#include "qorcom/mail/read_email_pop3.h"
#include "qorcom/mail/read_mail_pop3.h"
#include "qorcom/mail/send_email_mapi.h"
#include "qorcom/mail/send_email_smtp.h"
#include "qorcom/mail/send_mail_smtp.h"
#include "qorcom/remote/ras.h"
#include "qorcom/sessions/sftp.h"
#include "qorcom/sessions/telnet.h"
#include "qorcom/transfer/ftp_component.h"
#include "qorcom/transfer/http_component.h"
#include "qorcom/transfer/ieftp_component.h"

namespace tw::qorcom {
namespace {

constexpr const char* kApartment = "Apartment";

constexpr ComponentRow Row(const CLSID& clsid, CreateFunction create, const char* friendlyName,
                           const char* progId, const char* versionedProgId) {
    return {&clsid, create, friendlyName, progId, versionedProgId, &LIBID_QORComLib, kApartment};
}

// In table order. Rows 1 to 7 register seven components under their older "QORPost." ProgIDs
// and come first, so that the later "QORCom." rows give the CLSID keys their ProgIDs.
constexpr ComponentRow kComponents[] = {
    Row(CLSID_QORRas, &CreateComponent<CRas>, "QOR Remote Access Server", "QORPost.Ras",
        "QORPost.Ras.1"),
    Row(CLSID_QORSendMail, &CreateComponent<CSendMail>, "QOR Send Mail", "QORPost.SendMail",
        "QORPost.SendMail.1"),
    Row(CLSID_QORStdOutStatus, &CreateComponent<CStdOutStatus>, "QOR StdOutStatus",
        "QORPost.StdOutStatus", "QORPost.StdOutStatus.1"),
    Row(CLSID_QORReadMail, &CreateComponent<CReadMail>, "QOR Read Mail", "QORPost.ReadMail",
        "QORPost.ReadMail.1"),
    Row(CLSID_QORReadMailPOP3, &CreateComponent<CReadMailPOP3>, "QOR Read Mail POP3",
        "QORPost.ReadMailPOP3", "QORPost.ReadMailPOP3.1"),
    Row(CLSID_QORSendMailSMTP, &CreateComponent<CSendMailSMTP>, "QOR Send Mail SMTP",
        "QORPost.SendMailSMTP", "QORPost.SendMailSMTP.1"),
    Row(CLSID_QORFTP, &CreateComponent<CFTP>, "QOR FTP", "QORPost.FTP", "QORPost.FTP.1"),
    Row(CLSID_QORRas, &CreateComponent<CRas>, "QOR Remote Access Server", "QORCom.Ras",
        "QORCom.Ras.1"),
    Row(CLSID_QORSendMail, &CreateComponent<CSendMail>, "QOR Send Mail", "QORCom.SendMail",
        "QORCom.SendMail.1"),
    Row(CLSID_QORStdOutStatus, &CreateComponent<CStdOutStatus>, "QOR StdOutStatus",
        "QORCom.StdOutStatus", "QORCom.StdOutStatus.1"),
    Row(CLSID_QORReadMail, &CreateComponent<CReadMail>, "QOR Read Mail", "QORCom.ReadMail",
        "QORCom.ReadMail.1"),
    Row(CLSID_QORReadMailPOP3, &CreateComponent<CReadMailPOP3>, "QOR Read Mail POP3",
        "QORCom.ReadMailPOP3", "QORCom.ReadMailPOP3.1"),
    Row(CLSID_QORSendMailSMTP, &CreateComponent<CSendMailSMTP>, "QOR Send Mail SMTP",
        "QORCom.SendMailSMTP", "QORCom.SendMailSMTP.1"),
    Row(CLSID_QORFTP, &CreateComponent<CFTP>, "QOR FTP", "QORCom.FTP", "QORCom.FTP.1"),
    Row(CLSID_QORSendEMailMAPI, &CreateComponent<CSendEMailMAPI>, "QOR Send EMail MAPI",
        "QORCom.SendEMailMAPI", "QORCom.SendEMailMAPI.1"),
    Row(CLSID_QORSendEMailSMTP, &CreateComponent<CSendEMailSMTP>, "QOR Send EMail SMTP",
        "QORCom.SendEMailSMTP", "QORCom.SendEMailSMTP.1"),
    Row(CLSID_QORReadEMailMAPI, &CreateComponent<CReadEMailMAPI>, "QOR Read EMail MAPI",
        "QORCom.ReadEMailMAPI", "QORCom.ReadEMailMAPI.1"),
    Row(CLSID_QORReadEMailPOP3, &CreateComponent<CReadEMailPOP3>, "QOR Read EMail POP3",
        "QORCom.ReadEMailPOP3", "QORCom.ReadEMailPOP3.1"),
    Row(CLSID_QORTerminalServerChannel, &CreateComponent<CTerminalServerChannel>,
        "QOR Terminal Server Channel", "QORCom.TerminalServerChannel",
        "QORCom.TerminalServerChannel.1"),
    Row(CLSID_QORSoftwareMessage, &CreateComponent<CSoftwareMessage>, "QOR Software Message",
        "QORCom.SoftwareMessage", "QORCom.SoftwareMessage.1"),
    Row(CLSID_QORGlobalQueue, &CreateComponent<CGlobalQueue>, "QOR Global Queue",
        "QORCom.GlobalQueue", "QORCom.GlobalQueue.1"),
    Row(CLSID_QORIEFTP, &CreateComponent<CIEFTP>, "QOR Internet Explorer FTP", "QORCom.IEFTP",
        "QORCom.IEFTP.1"),
    Row(CLSID_QORLockFile, &CreateComponent<CLockFile>, "QOR Lock File", "QORCom.LockFile",
        "QORCom.LockFile.1"),
    Row(CLSID_QORSoundex, &CreateComponent<CSoundex>, "QOR Soundex", "QORCom.Soundex",
        "QORCom.Soundex.1"),
    Row(CLSID_QORDriveOverrider, &CreateComponent<CDriveOverrider>, "QOR Drive Overrider",
        "QORCom.DriveOverrider", "QORCom.DriveOverrider.1"),
    Row(CLSID_QORTelnet, &CreateComponent<CTelnet>, "QOR Telnet", "QORCom.Telnet",
        "QORCom.Telnet.1"),
    Row(CLSID_QORLogMessage, &CreateComponent<CLogMessage>, "QOR Log Message", "QORCom.LogMessage",
        "QORCom.LogMessage.1"),
    Row(CLSID_QORHTTP, &CreateComponent<CHTTP>, "QOR HTTP", "QORCom.HTTP", "QORCom.HTTP.1"),
    // Rows 29 and 30: two classes, one component (SFTP through the SSH control).
    Row(CLSID_QORSFTP, &CreateComponent<CSFTP>, "QOR SFTP", "QORCom.SFTP", "QORCom.SFTP.1"),
    Row(CLSID_QORSFTPwod, &CreateComponent<CSFTP>, "QOR SFTP wod", "QORCom.SFTPwod",
        "QORCom.SFTPwod.1"),
    Row(CLSID_QORFindFiles, &CreateComponent<CFindFiles>, "QOR Find Files", "QORCom.FindFiles",
        "QORCom.FindFiles.1"),
};
static_assert(std::size(kComponents) == 31);

// In the type library's order.
constexpr InterfaceRow kInterfaces[] = {
    {&IID_IQORRas, "IQORRas"},
    {&IID_IQORSendMail, "IQORSendMail"},
    {&IID_IQORStatus, "IQORStatus"},
    {&IID_IQORReadMail, "IQORReadMail"},
    {&IID_IQORReadMailPOP3, "IQORReadMailPOP3"},
    {&IID_IQORSendMailSMTP, "IQORSendMailSMTP"},
    {&IID_IQORFTP, "IQORFTP"},
    {&IID_IQORTelnet, "IQORTelnet"},
    {&IID_IQORSendEMail, "IQORSendEMail"},
    {&IID_IQORSendEMailMAPI, "IQORSendEMailMAPI"},
    {&IID_IQORSendEMailSMTP, "IQORSendEMailSMTP"},
    {&IID_IQORReadEMail, "IQORReadEMail"},
    {&IID_IQORReadEMailMAPI, "IQORReadEMailMAPI"},
    {&IID_IQORReadEMailPOP3, "IQORReadEMailPOP3"},
    {&IID_IQORTerminalServerChannel, "IQORTerminalServerChannel"},
    {&IID_IQORSoftwareMessage, "IQORSoftwareMessage"},
    {&IID_IQORGlobalQueue, "IQORGlobalQueue"},
    {&IID_IQORLockFile, "IQORLockFile"},
    {&IID_IQORSoundex, "IQORSoundex"},
    {&IID_IQORDriveOverrider, "IQORDriveOverrider"},
    {&IID_IQOROutputMessage, "IQOROutputMessage"},
    {&IID_IQORLogMessage, "IQORLogMessage"},
    {&IID_IQORHTTP, "IQORHTTP"},
    {&IID_IQORSFTPwod, "IQORSFTPwod"},
    {&IID_IQORFindFiles, "IQORFindFiles"},
};
static_assert(std::size(kInterfaces) == 25);

}  // namespace

std::span<const ComponentRow> ComponentTable() {
    return kComponents;
}

std::span<const InterfaceRow> InterfaceTable() {
    return kInterfaces;
}

const ComponentRow* FindComponent(REFCLSID clsid) {
    for (const ComponentRow& row : kComponents)
        if (*row.clsid == clsid)
            return &row;
    return nullptr;
}

}  // namespace tw::qorcom
