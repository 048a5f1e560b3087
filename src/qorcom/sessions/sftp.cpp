#include "qorcom/sessions/sftp.h"

#include <limits>

#include "comlite/bstr.h"
#include "qorcom/frame/property_values.h"

namespace tw::qorcom {
namespace {

std::string Text(BSTR value) {
    return value ? comlite::BstrToUtf8(value) : std::string();
}

// The hosts of a ";" separated list, trimmed, empty pieces left out.
std::vector<std::string> Hosts(const std::string& list) {
    std::vector<std::string> hosts;
    std::size_t start = 0;
    while (start <= list.size()) {
        const auto end = std::min(list.find(';', start), list.size());
        std::string piece = list.substr(start, end - start);
        const auto first = piece.find_first_not_of(" \t\r\n");
        if (first != std::string::npos)
            hosts.push_back(piece.substr(first, piece.find_last_not_of(" \t\r\n") - first + 1));
        start = end + 1;
    }
    return hosts;
}

}  // namespace

CSFTP::CSFTP(IUnknown* outer) : FtpPropertiesObject(outer, "QORCom.SFTPwod", 22) {}

CSFTP::~CSFTP() = default;

HRESULT CSFTP::InterfaceSupportsErrorInfo(REFIID riid) {
    return riid == IID_IQORSFTPwod || riid == IID_IQORFTP ? S_OK : S_FALSE;
}

HRESULT CSFTP::get_LastErrorMessage(BSTR* value) {
    return GetString(lastError_, value);
}

void CSFTP::Report(bool ok, const std::string& error) {
    // On success the text is what the operation reports (a command's output), usually "".
    comlite::Bstr text = comlite::Bstr::FromUtf8(error);
    Done(nullptr, ok ? 0 : 1, text.Get());
}

template <class Op>
HRESULT CSFTP::Operate(VARIANT_BOOL* result, Op&& op) {
    if (!result)
        return E_POINTER;
    *result = VARIANT_FALSE;
    if (!client_ || !client_->IsConnected())
        return Raise(kSftpNotConnected, kErrorSftpNotConnected);
    return Guarded([&] {
        std::string error;
        Report(op(error), error);
        *result = lastCode_ == 0 ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT CSFTP::Connect(VARIANT_BOOL* result) {
    if (!result)
        return E_POINTER;
    *result = VARIANT_FALSE;
    return Guarded([&] {
        if (!client_)
            client_ = std::make_unique<platform::SftpClient>();
        const platform::SshSettings settings =
            settings_ ? *settings_ : platform::SshSettingsFromEnvironment();
        const auto port = port_ == 0 ? std::uint16_t{22} : static_cast<std::uint16_t>(port_);
        std::string error = "No server given.";
        bool ok = false;
        for (const std::string& host : Hosts(server_)) {
            ok = client_->Connect(host, port, userName_, password_, settings, &error);
            if (ok) {
                error.clear();
                break;
            }
        }
        Report(ok, error);
        *result = ok ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT CSFTP::SendCommand(BSTR command, VARIANT_BOOL* result) {
    return Operate(result, [&](std::string& error) {
        std::string output;
        const bool ok = client_->Execute(Text(command), &output, &error);
        if (ok)
            error = output;
        else if (!output.empty())
            error += ": " + output;
        return ok;
    });
}

HRESULT CSFTP::PutFile(BSTR source, BSTR dest, VARIANT_BOOL* result) {
    return Operate(
        result, [&](std::string& error) { return client_->Put(Text(source), Text(dest), &error); });
}

HRESULT CSFTP::GetFile(BSTR source, BSTR dest, VARIANT_BOOL* result) {
    return Operate(
        result, [&](std::string& error) { return client_->Get(Text(source), Text(dest), &error); });
}

HRESULT CSFTP::DeleteFile(BSTR file, VARIANT_BOOL* result) {
    return Operate(result, [&](std::string& error) { return client_->Remove(Text(file), &error); });
}

HRESULT CSFTP::MakeDir(BSTR path, VARIANT_BOOL* result) {
    return Operate(result,
                   [&](std::string& error) { return client_->MakeDir(Text(path), &error); });
}

HRESULT CSFTP::RemoveDir(BSTR path, VARIANT_BOOL* result) {
    return Operate(result,
                   [&](std::string& error) { return client_->RemoveDir(Text(path), &error); });
}

HRESULT CSFTP::Rename(BSTR source, BSTR dest, VARIANT_BOOL* result) {
    return Operate(result, [&](std::string& error) {
        return client_->Rename(Text(source), Text(dest), &error);
    });
}

HRESULT CSFTP::FindFirst(BSTR fileMask, BSTR* result) {
    if (!result)
        return E_POINTER;
    *result = nullptr;
    listing_.clear();
    position_ = 0;
    VARIANT_BOOL ok = VARIANT_FALSE;
    const HRESULT hr = Operate(&ok, [&](std::string& error) {
        const std::string mask = Text(fileMask);
        const auto slash = mask.rfind('/');
        const std::string directory = slash == std::string::npos ? "."
                                      : slash == 0               ? "/"
                                                                 : mask.substr(0, slash);
        collecting_.emplace(slash == std::string::npos ? mask : mask.substr(slash + 1),
                            longFileInfo_);
        const bool listed = client_->List(
            directory,
            [&](const platform::DirEntry& entry, const std::string& line) {
                collecting_->AddEntry(entry.name, line);
            },
            &error);
        if (listed)
            listing_ = collecting_->Take();
        collecting_.reset();
        return listed;
    });
    if (FAILED(hr))
        return hr;
    return FindNext(result);
}

HRESULT CSFTP::FindNext(BSTR* result) {
    if (!result)
        return E_POINTER;
    return GetString(position_ < listing_.size() ? listing_[position_++] : std::string(), result);
}

HRESULT CSFTP::Disconnect() {
    if (client_)
        client_->Disconnect();
    return S_OK;
}

HRESULT CSFTP::ParseLongFileInfo(BSTR line, BSTR* fileName, LONG* fileSize, DATE* dateTime,
                                 VARIANT_BOOL* dir, VARIANT_BOOL* result) {
    if (!fileName || !fileSize || !dateTime || !dir || !result)
        return E_POINTER;
    return Guarded([&] {
        const std::optional<ListingEntry> entry = ParseListingLine(Text(line));
        *fileName = comlite::AllocBstrUtf8(entry ? entry->name : std::string());
        if (!*fileName)
            return E_OUTOFMEMORY;
        // A size beyond a long is given as the largest long rather than wrapped.
        *fileSize = entry ? static_cast<LONG>(std::min<std::int64_t>(
                                entry->size, std::numeric_limits<LONG>::max()))
                          : 0;
        *dateTime = entry ? entry->date : 0;
        *dir = entry && entry->directory ? VARIANT_TRUE : VARIANT_FALSE;
        *result = entry ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT CSFTP::PutFileAppend(BSTR, BSTR, VARIANT_BOOL* result) {
    if (result)
        *result = VARIANT_FALSE;
    return Raise("CSFTPwod::PutFileAppend not implemented", kErrorNotImplemented);
}

HRESULT CSFTP::GetFileAppend(BSTR, BSTR, VARIANT_BOOL* result) {
    if (result)
        *result = VARIANT_FALSE;
    return Raise("CSFTPwod::GetFileAppend not implemented", kErrorNotImplemented);
}

// ---- Notifications ----

HRESULT CSFTP::Done(IDispatch*, SHORT errorCode, BSTR errorText) {
    return Guarded([&] {
        lastCode_ = errorCode;
        lastError_ = Text(errorText);
        return S_OK;
    });
}

HRESULT CSFTP::ListItems(IDispatch*, BSTR fileInfo) {
    return Guarded([&] {
        if (collecting_)
            collecting_->AddText(Text(fileInfo));
        return S_OK;
    });
}

HRESULT CSFTP::CryptoInformation(IDispatch*, BSTR, BSTR, BSTR, BSTR, BSTR, VARIANT_BOOL* accept) {
    if (accept)
        *accept = VARIANT_TRUE;
    return S_OK;
}

HRESULT CSFTP::LoginChallenge(IDispatch*, BSTR, BSTR* response) {
    if (!response)
        return E_POINTER;
    return Guarded([&] {
        BSTR answer = comlite::AllocBstrUtf8(password_);
        if (!answer)
            return E_OUTOFMEMORY;
        SysFreeString(*response);
        *response = answer;
        return S_OK;
    });
}

HRESULT CSFTP::LoopItem(IDispatch*, BSTR*, BSTR*, SHORT, VARIANT_BOOL* skip) {
    if (skip)
        *skip = VARIANT_FALSE;
    return S_OK;
}

HRESULT CSFTP::HostFingerprint(IDispatch*, BSTR, VARIANT_BOOL*) {
    return S_OK;
}
HRESULT CSFTP::Connected(IDispatch*, SHORT, BSTR) {
    return S_OK;
}
HRESULT CSFTP::Disconnected(IDispatch*) {
    return S_OK;
}
HRESULT CSFTP::StateChange(IDispatch*, SHORT) {
    return S_OK;
}
HRESULT CSFTP::Progress(IDispatch*, LONG, LONG) {
    return S_OK;
}
HRESULT CSFTP::Attributes(IDispatch*, LONG, LONG, LONG, LONG, DATE, DATE) {
    return S_OK;
}
HRESULT CSFTP::Progress64(IDispatch*, LONG, LONG, LONG, LONG) {
    return S_OK;
}
HRESULT CSFTP::Attributes64(IDispatch*, LONG, LONG, LONG, LONG, LONG, DATE, DATE) {
    return S_OK;
}
HRESULT CSFTP::AttributesData(IDispatch*, IUnknown*) {
    return S_OK;
}
HRESULT CSFTP::LoopError(IDispatch*, BSTR, BSTR, SHORT, LONG*, BSTR) {
    return S_OK;
}

}  // namespace tw::qorcom
