#pragma once
// "QORCom.FTP" (also "QORPost.FTP"): file transfer through our own FTP engine (FtpClient).
//
// Connect tries each host of Server (separated by ";", trimmed, empty pieces skipped) in turn
// and keeps the first that logs on; it then sends the transfer type at once. Before each
// transfer the type is sent again only when ASCII changed. Transfer and command members return
// S_OK with the outcome in their VARIANT_BOOL and the reason in LastErrorMessage; E_POINTER for
// a null out pointer. PathPrefix is stored and returned only. Disconnect (also on release)
// writes QUIT without awaiting the reply.
// SecureLogin, SecureTransfer and VerifyServerCertificate take effect at the next Connect.

#include <memory>
#include <string>
#include <vector>

#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/interfaces/ftp.h"
#include "qorcom/transfer/ftp_client.h"
#include "qorcom/transfer/ftp_properties.h"

namespace tw::qorcom {

template <>
struct InterfaceTraits<IQORFTP> {
    static constexpr const char* kName = "IQORFTP";
    static constexpr IID kIid = IID_IQORFTP;
    static constexpr const IID* kBaseIid = nullptr;
    static constexpr comlite::DispatchTable kMembers = members::kFTP;
};

class CFTP final : public FtpPropertiesObject<IQORFTP> {
public:
    explicit CFTP(IUnknown* outer);
    ~CFTP() override;

    HRESULT STDMETHODCALLTYPE get_LastErrorMessage(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE Connect(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE SendCommand(BSTR command, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE PutFile(BSTR source, BSTR dest, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE GetFile(BSTR source, BSTR dest, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE FindFirst(BSTR fileMask, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE FindNext(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    // FileSize is the entry's size, or 0x7FFFFFFF for a size that does not fit.
    HRESULT STDMETHODCALLTYPE ParseLongFileInfo(BSTR line, BSTR* fileName, LONG* fileSize,
                                                DATE* dateTime, VARIANT_BOOL* dir,
                                                VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE PutFileAppend(BSTR source, BSTR dest, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE GetFileAppend(BSTR source, BSTR dest, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE DeleteFile(BSTR file, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE MakeDir(BSTR path, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE RemoveDir(BSTR path, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Rename(BSTR source, BSTR dest, VARIANT_BOOL* result) override;

    // The engine, for tests that shorten its time-outs.
    transfer::FtpClient& Client() { return *client_; }

private:
    bool Transfer(BSTR source, BSTR dest, bool get, bool append);

    std::unique_ptr<transfer::FtpClient> client_;
    std::vector<std::string> listing_;

    std::size_t listingPosition_ = 0;
};

}  // namespace tw::qorcom
