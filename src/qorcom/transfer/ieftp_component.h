#pragma once
// "QORCom.IEFTP": IQORFTP over libcurl, the system-style transport beside our own engine. One
// curl handle per object keeps its connection between calls until Disconnect.
//
// Connect tries each host of Server in turn (as "QORCom.FTP" does) and logs on. Transfers go
// through curl (ASCII or binary after the ASCII property; active mode with Passive false); a
// download goes to a temporary file beside the target, renamed on success. DeleteFile,
// MakeDir, RemoveDir, Rename and SendCommand send the same command texts as "QORCom.FTP";
// arguments holding CR, LF or NUL are refused. FindFirst/FindNext list names, or with
// LongFileInfo DOS-style lines that ParseLongFileInfo reads back. LastErrorMessage is curl's
// text for the failure, two blanks, and the server's last reply line.
//
// The append members raise "IEFTP doesn't currently support ... Append operations." (0x2020);
// setting SecureLogin, SecureTransfer or VerifyServerCertificate to true raises (0x201E). The
// control and data connections use TLS whenever the server offers it (without a certificate
// check, which this component cannot be asked for), and plain FTP otherwise. Proxies come from
// the environment (ftp_proxy, all_proxy, no_proxy). Waits are bounded as for "QORCom.FTP".

#include <memory>
#include <string>
#include <vector>

#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/interfaces/ftp.h"
#include "qorcom/transfer/ftp_client.h"
#include "qorcom/transfer/ftp_component.h"
#include "qorcom/transfer/ftp_listing.h"
#include "qorcom/transfer/ftp_properties.h"

namespace tw::qorcom {

// The DOS-style line of a listing entry, as "QORCom.IEFTP" renders it.
std::string RenderDosListingLine(const transfer::ListingEntry& entry);

class CIEFTP final : public FtpPropertiesObject<IQORFTP> {
public:
    explicit CIEFTP(IUnknown* outer);
    ~CIEFTP() override;

    HRESULT STDMETHODCALLTYPE get_LastErrorMessage(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE Connect(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE SendCommand(BSTR command, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE PutFile(BSTR source, BSTR dest, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE GetFile(BSTR source, BSTR dest, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE FindFirst(BSTR fileMask, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE FindNext(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE ParseLongFileInfo(BSTR line, BSTR* fileName, LONG* fileSize,
                                                DATE* dateTime, VARIANT_BOOL* dir,
                                                VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE PutFileAppend(BSTR source, BSTR dest, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE GetFileAppend(BSTR source, BSTR dest, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE get_SecureLogin(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_SecureLogin(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_SecureTransfer(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_SecureTransfer(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_VerifyServerCertificate(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_VerifyServerCertificate(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE DeleteFile(BSTR file, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE MakeDir(BSTR path, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE RemoveDir(BSTR path, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Rename(BSTR source, BSTR dest, VARIANT_BOOL* result) override;

private:
    class Session;

    bool ConnectHost(const std::string& host);
    bool Commands(const std::vector<std::string>& commands);
    bool Download(const std::string& remote, const std::string& local);
    bool Upload(const std::string& local, const std::string& remote);
    bool List(const std::string& mask, std::string* text);

    std::unique_ptr<Session> session_;
    transfer::FtpLimits limits_;
    std::vector<std::string> listing_;
    std::size_t listingPosition_ = 0;
    std::string host_, message_;
};

}  // namespace tw::qorcom
