#include "qorcom/mail/mapi_library.h"

#include <cstdio>
#include <cstdlib>

#include "platform/os_services.h"
#include "qorcom/frame/exports.h"

namespace tw::qorcom::mail {
namespace {

constexpr const char* kProviderVariable = "QORCOM_MAPI_PROVIDER";
constexpr const char* kProviderFileName = "libqorcom-mapi.so";

std::string ProviderPath() {
    if (const char* path = std::getenv(kProviderVariable); path && *path)
        return path;
    return ModuleDirectory() + kProviderFileName;
}

const QorMapiProvider* LoadTable() {
    bool loaded = false;
    std::string error;
    void* entry =
        platform::LoadPinnedSymbol(ProviderPath(), QOR_MAPI_PROVIDER_SYMBOL, &loaded, &error);
    if (!entry)
        return nullptr;
    const QorMapiProvider* table = reinterpret_cast<QorcomMapiProviderFunction>(entry)();
    if (!table || table->version != QOR_MAPI_PROVIDER_VERSION ||
        table->size < sizeof(QorMapiProvider))
        return nullptr;
    return table;
}

}  // namespace

std::string MapiErrorText(std::uint32_t code) {
    switch (code) {
        case QOR_MAPI_USER_ABORT:
            return "User canceled MAPI logon.";
        case QOR_MAPI_E_FAILURE:
            return "MAPI failure.";
        case QOR_MAPI_E_LOGIN_FAILURE:
            return "Logon failure.  Make sure there is a default logon.";
        case QOR_MAPI_E_DISK_FULL:
            return "Disk full.";
        case QOR_MAPI_E_INSUFFICIENT_MEMORY:
            return "Insifficient memory.";
        case QOR_MAPI_E_TOO_MANY_SESSIONS:
            return "Too many MAPI sessions open.";
        case QOR_MAPI_E_TOO_MANY_FILES:
            return "Too many files.";
        case QOR_MAPI_E_TOO_MANY_RECIPIENTS:
            return "Too many recipients.";
        case QOR_MAPI_E_ATTACHMENT_NOT_FOUND:
            return "Attachment not found.";
        case QOR_MAPI_E_ATTACHMENT_OPEN_FAILURE:
            return "Attachment open failure.";
        case QOR_MAPI_E_ATTACHMENT_WRITE_FAILURE:
            return "Attachment write failure.";
        case QOR_MAPI_E_UNKNOWN_RECIPIENT:
            return "Unknown recipient.";
        case QOR_MAPI_E_BAD_RECIPTYPE:
            return "Bad recipient type.";
        case QOR_MAPI_E_NO_MESSAGES:
            return "No messages.";
        case QOR_MAPI_E_INVALID_MESSAGE:
            return "Invalid message.";
        case QOR_MAPI_E_TEXT_TOO_LARGE:
            return "Text too large.";
        case QOR_MAPI_E_INVALID_SESSION:
            return "Invalid MAPI session handle.";
        case QOR_MAPI_E_AMBIGUOUS_RECIPIENT:
            return "Ambiguous MAPI recipient.";
        case QOR_MAPI_E_INVALID_RECIPS:
            return "Invalid recipients.";
        default: {
            char text[64];
            std::snprintf(text, sizeof text, "Unknown MAPI Error %ld", static_cast<long>(code));
            return text;
        }
    }
}

const QorMapiProvider* LoadMapiProvider() {
    return LoadTable();
}

const char* MissingMapiFunction(const QorMapiProvider& t, MapiUse use) {
    if (!t.MAPILogon)
        return "MAPILogon";
    if (!t.MAPILogoff)
        return "MAPILogoff";
    if (use == MapiUse::Sending)
        return t.MAPISendMail ? nullptr : "MAPISendMail";
    if (!t.MAPIFindNext)
        return "MAPIFindNext";
    if (!t.MAPIReadMail)
        return "MAPIReadMail";
    if (!t.MAPIFreeBuffer)
        return "MAPIFreeBuffer";
    if (!t.MAPIDeleteMail)
        return "MAPIDeleteMail";
    return nullptr;
}

std::uint32_t MapiSession::Logon(const QorMapiProvider& provider, const std::string& profile,
                                 const std::string& password, std::uint64_t uiHandle,
                                 bool userInterface) {
    Logoff();
    const std::uint32_t flags = QOR_MAPI_NEW_SESSION | (userInterface ? QOR_MAPI_LOGON_UI : 0u);
    QorMapiSession session = 0;
    const std::uint32_t result =
        provider.MAPILogon(uiHandle, profile.c_str(), password.c_str(), flags, 0, &session);
    if (result != QOR_MAPI_SUCCESS_SUCCESS)
        return result;
    provider_ = &provider;
    session_ = session;
    uiHandle_ = uiHandle;
    return result;
}

void MapiSession::Logoff() {
    if (!provider_)
        return;
    provider_->MAPILogoff(session_, uiHandle_, 0, 0);
    provider_ = nullptr;
    session_ = 0;
}

std::string FormatRecipient(const QorMapiRecipDesc& recipient) {
    std::string_view address = recipient.address ? recipient.address : "";
    if (address.size() >= 5 && (address.substr(0, 5) == "SMTP:" || address.substr(0, 5) == "smtp:"))
        address.remove_prefix(5);
    const std::string_view name = recipient.name ? recipient.name : "";
    if (name.empty() || name == address)
        return std::string(address);
    if (address.empty())
        return std::string(name);
    return std::string(name) + " <" + std::string(address) + ">";
}

std::string JoinWith(std::span<const std::string> texts, std::string_view separator) {
    std::string joined;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i)
            joined += separator;
        joined += texts[i];
    }
    return joined;
}

}  // namespace tw::qorcom::mail
