#include "qorcom/transfer/ftp_component.h"

#include <limits>

#include "comlite/bstr.h"
#include "qorcom/frame/property_values.h"
#include "qorcom/transfer/ftp_listing.h"

namespace tw::qorcom {
namespace {

// Runs an action on the server and stores its outcome.
template <class Action>
HRESULT Act(VARIANT_BOOL* result, Action&& action) {
    if (!result)
        return E_POINTER;
    return Guarded([&] {
        *result = ToVariantBool(action());
        return S_OK;
    });
}

}  // namespace

CFTP::CFTP(IUnknown* outer)
    : FtpPropertiesObject(outer, "QORCom.FTP", 21),
      client_(std::make_unique<transfer::FtpClient>()) {}

CFTP::~CFTP() {
    client_->Quit();
}

HRESULT CFTP::get_LastErrorMessage(BSTR* value) {
    return GetString(client_->LastMessage(), value);
}

HRESULT CFTP::Connect(VARIANT_BOOL* result) {
    return Act(result, [&] {
        client_->Quit();
        transfer::FtpSecurity security;
        security.secureLogin = secureLogin_;
        security.secureTransfer = secureTransfer_;
        security.tls.verifyServerCertificate = verifyServerCertificate_;
        client_->SetSecurity(security);
        const std::vector<std::string> hosts = SplitList(server_);
        for (const std::string& host : hosts) {
            if (!client_->LogOn(host, static_cast<unsigned short>(port_), userName_, password_, ""))
                continue;
            if (client_->SetType(ascii_))
                return true;
            client_->Quit();
        }
        return false;
    });
}

HRESULT CFTP::SendCommand(BSTR command, VARIANT_BOOL* result) {
    return Act(result, [&] { return client_->Command(comlite::BstrToUtf8(command)); });
}

bool CFTP::Transfer(BSTR source, BSTR dest, bool get, bool append) {
    const std::string from = comlite::BstrToUtf8(source), to = comlite::BstrToUtf8(dest);
    if (!client_->SetType(ascii_))
        return false;
    return get ? client_->Download(from, to, append, passive_)
               : client_->Upload(from, to, append, passive_);
}

HRESULT CFTP::PutFile(BSTR source, BSTR dest, VARIANT_BOOL* result) {
    return Act(result, [&] { return Transfer(source, dest, false, false); });
}
HRESULT CFTP::GetFile(BSTR source, BSTR dest, VARIANT_BOOL* result) {
    return Act(result, [&] { return Transfer(source, dest, true, false); });
}
HRESULT CFTP::PutFileAppend(BSTR source, BSTR dest, VARIANT_BOOL* result) {
    return Act(result, [&] { return Transfer(source, dest, false, true); });
}
HRESULT CFTP::GetFileAppend(BSTR source, BSTR dest, VARIANT_BOOL* result) {
    return Act(result, [&] { return Transfer(source, dest, true, true); });
}

HRESULT CFTP::FindFirst(BSTR fileMask, BSTR* result) {
    if (!result)
        return E_POINTER;
    return Guarded([&] {
        listing_.clear();
        listingPosition_ = 0;
        std::string command = longFileInfo_ ? "LIST" : "NLST";
        const std::string mask = comlite::BstrToUtf8(fileMask);
        if (!mask.empty())
            command += " " + mask;
        std::string text;
        if (client_->Listing(command, passive_, &text))
            listing_ = transfer::SplitListing(text, longFileInfo_);
        return FindNext(result);
    });
}

HRESULT CFTP::FindNext(BSTR* result) {
    if (!result)
        return E_POINTER;
    return Guarded([&] {
        const std::string entry =
            listingPosition_ < listing_.size() ? listing_[listingPosition_++] : std::string();
        *result = comlite::AllocBstrUtf8(entry);
        return *result ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT CFTP::Disconnect() {
    return Guarded([&] {
        client_->Quit();
        return S_OK;
    });
}

HRESULT CFTP::ParseLongFileInfo(BSTR line, BSTR* fileName, LONG* fileSize, DATE* dateTime,
                                VARIANT_BOOL* dir, VARIANT_BOOL* result) {
    if (!fileName || !fileSize || !dateTime || !dir || !result)
        return E_POINTER;
    return Guarded([&] {
        transfer::ListingEntry entry;
        const bool parsed = transfer::ParseListingEntry(comlite::BstrToUtf8(line),
                                                        platform::OleDate::Now(), &entry);
        *fileName = comlite::AllocBstrUtf8(entry.name);
        if (!*fileName)
            return E_OUTOFMEMORY;
        *fileSize = entry.size > std::numeric_limits<LONG>::max() ? std::numeric_limits<LONG>::max()
                                                                  : static_cast<LONG>(entry.size);
        *dateTime = parsed ? entry.date.Days() : 0.0;
        *dir = ToVariantBool(entry.directory);
        *result = ToVariantBool(parsed);
        return S_OK;
    });
}

HRESULT CFTP::DeleteFile(BSTR file, VARIANT_BOOL* result) {
    return Act(result, [&] { return client_->Command("DELE " + comlite::BstrToUtf8(file)); });
}
HRESULT CFTP::MakeDir(BSTR path, VARIANT_BOOL* result) {
    return Act(result, [&] { return client_->Command("MKD " + comlite::BstrToUtf8(path)); });
}
HRESULT CFTP::RemoveDir(BSTR path, VARIANT_BOOL* result) {
    return Act(result, [&] { return client_->Command("RMD " + comlite::BstrToUtf8(path)); });
}
HRESULT CFTP::Rename(BSTR source, BSTR dest, VARIANT_BOOL* result) {
    return Act(result, [&] {
        const std::string from = comlite::BstrToUtf8(source), to = comlite::BstrToUtf8(dest);
        // Refused before RNFR, so that a bad target never leaves a rename half begun.
        if (!transfer::IsSafeArgument(to))
            return client_->Refuse(transfer::kUnsafeArgument);
        client_->Command("RNFR " + from);
        return client_->Command("RNTO " + to);
    });
}

}  // namespace tw::qorcom
