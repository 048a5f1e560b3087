#pragma once
// "QORCom.SFTP" and "QORCom.SFTPwod": the file-transfer interface IQORFTP over SSH (SFTP), on
// the SSH client of sftp_client.h, which also says how host keys and logins are handled.
//
// Each operation reports its outcome through the component's own Done notification, which
// records the error code and text; the member's result is true when the code is 0, and
// LastErrorMessage is the text. A listing is collected through the same filter as ListItems
// text ("." and ".." skipped, the FindFirst mask applied, the name or, with LongFileInfo, the
// whole "ls -l" line kept).
//
// Before a successful Connect, the transfer, listing and command members raise "SFTP not
// allocated and connected." (0x2021); PutFileAppend and GetFileAppend always raise "not
// implemented" (0x2022). The port defaults to 22; a port above 32767 arrives as a negative
// short and is taken as the unsigned number it stands for. Passive, ASCII, the secure flags and
// PathPrefix are kept and returned but change nothing (SFTP is always binary and encrypted).
// FindFirst("dir/*.XML") lists "dir"; a mask without "/" lists the login directory.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/sftp_client.h"
#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/interfaces/ftp.h"
#include "qorcom/sessions/listing.h"
#include "qorcom/transfer/ftp_properties.h"

namespace tw::qorcom {

template <>
struct InterfaceTraits<IQORSFTPwod> {
    static constexpr const char* kName = "IQORSFTPwod";
    static constexpr IID kIid = IID_IQORSFTPwod;
    static constexpr const IID* kBaseIid = &IID_IQORFTP;
    static constexpr comlite::DispatchTable kMembers = members::kSFTPwod;
};

inline constexpr const char* kSftpNotConnected = "SFTP not allocated and connected.";

class CSFTP final : public FtpPropertiesObject<IQORSFTPwod> {
public:
    explicit CSFTP(IUnknown* outer);
    ~CSFTP() override;

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

    // ---- IQORFTP ----
    HRESULT STDMETHODCALLTYPE get_LastErrorMessage(BSTR* value) override;
    // Server may list several hosts separated by ";"; the first that connects wins.
    HRESULT STDMETHODCALLTYPE Connect(VARIANT_BOOL* result) override;
    // Runs the command on an exec channel: true when it exits with status 0; its output (or
    // the failure) is then in LastErrorMessage.
    HRESULT STDMETHODCALLTYPE SendCommand(BSTR command, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE PutFile(BSTR source, BSTR dest, VARIANT_BOOL* result) override;
    // Dest is replaced only by the complete file.
    HRESULT STDMETHODCALLTYPE GetFile(BSTR source, BSTR dest, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE FindFirst(BSTR fileMask, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE FindNext(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE ParseLongFileInfo(BSTR line, BSTR* fileName, LONG* fileSize,
                                                DATE* dateTime, VARIANT_BOOL* dir,
                                                VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE PutFileAppend(BSTR source, BSTR dest, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE GetFileAppend(BSTR source, BSTR dest, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE DeleteFile(BSTR file, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE MakeDir(BSTR path, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE RemoveDir(BSTR path, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Rename(BSTR source, BSTR dest, VARIANT_BOOL* result) override;

    // ---- Notifications ----
    HRESULT STDMETHODCALLTYPE Connected(IDispatch* owner, SHORT errorCode, BSTR errorText) override;
    HRESULT STDMETHODCALLTYPE Disconnected(IDispatch* owner) override;
    HRESULT STDMETHODCALLTYPE StateChange(IDispatch* owner, SHORT oldState) override;
    HRESULT STDMETHODCALLTYPE HostFingerprint(IDispatch* owner, BSTR fingerprint,
                                              VARIANT_BOOL* accept) override;
    HRESULT STDMETHODCALLTYPE Progress(IDispatch* owner, LONG position, LONG total) override;
    // Adds the CR LF separated "ls -l" lines to the listing FindFirst is collecting.
    HRESULT STDMETHODCALLTYPE ListItems(IDispatch* owner, BSTR fileInfo) override;
    // Records the outcome of the operation in progress.
    HRESULT STDMETHODCALLTYPE Done(IDispatch* owner, SHORT errorCode, BSTR errorText) override;
    HRESULT STDMETHODCALLTYPE Attributes(IDispatch* owner, LONG size, LONG uid, LONG gid,
                                         LONG permissions, DATE accessTime,
                                         DATE modificationTime) override;
    HRESULT STDMETHODCALLTYPE CryptoInformation(IDispatch* owner, BSTR protocol, BSTR remoteName,
                                                BSTR scCipher, BSTR csCipher, BSTR keys,
                                                VARIANT_BOOL* accept) override;
    HRESULT STDMETHODCALLTYPE Progress64(IDispatch* owner, LONG positionLo, LONG positionHi,
                                         LONG totalLo, LONG totalHi) override;
    HRESULT STDMETHODCALLTYPE Attributes64(IDispatch* owner, LONG sizeLo, LONG sizeHi, LONG uid,
                                           LONG gid, LONG permissions, DATE accessTime,
                                           DATE modificationTime) override;
    HRESULT STDMETHODCALLTYPE AttributesData(IDispatch* owner, IUnknown* items) override;
    // A login challenge is answered with the password (an empty answer fails every
    // password-based keyboard-interactive server).
    HRESULT STDMETHODCALLTYPE LoginChallenge(IDispatch* owner, BSTR challenge,
                                             BSTR* response) override;
    HRESULT STDMETHODCALLTYPE LoopItem(IDispatch* owner, BSTR* localFile, BSTR* remoteFile,
                                       SHORT itemType, VARIANT_BOOL* skip) override;
    HRESULT STDMETHODCALLTYPE LoopError(IDispatch* owner, BSTR localFile, BSTR remoteFile,
                                        SHORT itemType, LONG* errorCode, BSTR errorText) override;

    // For C++ callers and tests: host-key and login settings used instead of the environment's.
    void SetSshSettings(platform::SshSettings settings) { settings_ = std::move(settings); }

private:
    // Runs op when connected and reports its outcome through Done; raises 0x2021 otherwise.
    template <class Op>
    HRESULT Operate(VARIANT_BOOL* result, Op&& op);
    void Report(bool ok, const std::string& error);

    std::optional<platform::SshSettings> settings_;
    std::unique_ptr<platform::SftpClient> client_;
    SHORT lastCode_ = 0;
    std::string lastError_;
    std::optional<ListingCollector> collecting_;
    std::vector<std::string> listing_;
    std::size_t position_ = 0;
};

}  // namespace tw::qorcom
