#include "qorcom/transfer/ieftp_component.h"

#include <curl/curl.h>

#include <cstdio>
#include <limits>
#include <mutex>

#include "comlite/bstr.h"
#include "platform/text_file.h"
#include "qorcom/frame/property_values.h"

namespace tw::qorcom {
namespace {

template <class Action>
HRESULT Act(VARIANT_BOOL* result, Action&& action) {
    if (!result)
        return E_POINTER;
    return Guarded([&] {
        *result = ToVariantBool(action());
        return S_OK;
    });
}

size_t Discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

size_t AppendText(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

size_t WriteFile(char* data, size_t size, size_t count, void* user) {
    auto* writer = static_cast<platform::AtomicFileWriter*>(user);
    return writer->Write(std::string_view(data, size * count)) ? size * count : 0;
}

size_t ReadFile(char* data, size_t size, size_t count, void* user) {
    return std::fread(data, size, count, static_cast<std::FILE*>(user));
}

}  // namespace

// The curl handle and what the server said last.
class CIEFTP::Session {
public:
    Session() {
        static std::once_flag once;
        std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
        handle_ = curl_easy_init();
    }
    ~Session() {
        if (handle_ != nullptr)
            curl_easy_cleanup(handle_);
    }
    CURL* Handle() const { return handle_; }

    // Resets the options (the connection stays) and sets those every request shares.
    void Prepare(const std::string& url, const CIEFTP& owner) {
        curl_easy_reset(handle_);
        lastReply_.clear();
        error_[0] = '\0';
        CURL* c = handle_;
        curl_easy_setopt(c, CURLOPT_URL, url.c_str());
        curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
        curl_easy_setopt(c, CURLOPT_USERNAME, owner.userName_.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, owner.password_.c_str());
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS,
                         static_cast<long>(owner.limits_.connectTimeout.count()));
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME,
                         std::max(1L, static_cast<long>(owner.limits_.idleTimeout.count() / 1000)));
        curl_easy_setopt(c, CURLOPT_FTP_RESPONSE_TIMEOUT,
                         std::max(1L, static_cast<long>(owner.limits_.idleTimeout.count() / 1000)));
        curl_easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
        curl_easy_setopt(c, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
        // TLS 1.2 at most: this curl offers a TLS 1.3 ticket again after the server consumed
        // it, and servers that require session reuse then refuse the data connection; TLS 1.2
        // session IDs may be resumed any number of times.
        curl_easy_setopt(c, CURLOPT_SSLVERSION,
                         static_cast<long>(CURL_SSLVERSION_TLSv1_2) |
                             static_cast<long>(CURL_SSLVERSION_MAX_TLSv1_2));
        if (!owner.passive_)
            curl_easy_setopt(c, CURLOPT_FTPPORT, "-");
        curl_easy_setopt(c, CURLOPT_TRANSFERTEXT, owner.ascii_ ? 1L : 0L);
        // Whole paths in the commands and no CWD: the working directory stays the logon one,
        // so that commands and listings between transfers see the paths the caller gave.
        curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
        curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &Session::Reply);
        curl_easy_setopt(c, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error_);
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Discard);
    }

    // Runs the request; on failure *message is curl's text, two blanks and the last reply.
    bool Perform(std::string* message) {
        const CURLcode result = curl_easy_perform(handle_);
        if (result == CURLE_OK)
            return true;
        *message = (error_[0] != '\0' ? std::string(error_) : curl_easy_strerror(result)) + "  " +
                   lastReply_;
        return false;
    }

private:
    static size_t Reply(char* data, size_t size, size_t count, void* user) {
        std::string line(data, size * count);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (!line.empty())
            static_cast<Session*>(user)->lastReply_ = line;
        return size * count;
    }

    CURL* handle_ = nullptr;
    std::string lastReply_;
    char error_[CURL_ERROR_SIZE] = {};
};

std::string RenderDosListingLine(const transfer::ListingEntry& entry) {
    platform::CivilTime t;
    entry.date.ToCivil(t);
    const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
    char text[64];
    std::snprintf(text, sizeof text, "%02d-%02d-%02d  %02d:%02d%s", t.month, t.day, t.year % 100,
                  hour12, t.minute, t.hour < 12 ? "AM" : "PM");
    std::string line = text;
    if (entry.directory) {
        line += "       <DIR>";
    } else {
        std::snprintf(text, sizeof text, "%21lld", static_cast<long long>(entry.size));
        line += text;
    }
    return line + " " + entry.name;
}

namespace {

// ftp://host:port/ and a remote path as URL: each part escaped, an absolute path marked.
std::string PathUrl(CURL* curl, const std::string& base, const std::string& remote) {
    std::string url = base;
    std::size_t start = 0;
    if (!remote.empty() && remote[0] == '/') {
        url += "%2F";
        start = 1;
    }
    while (start <= remote.size()) {
        std::size_t end = remote.find('/', start);
        if (end == std::string::npos)
            end = remote.size();
        char* part = curl_easy_escape(curl, remote.data() + start, static_cast<int>(end - start));
        url += part;
        curl_free(part);
        if (end < remote.size())
            url += "/";
        start = end + 1;
    }
    return url;
}

}  // namespace

CIEFTP::CIEFTP(IUnknown* outer)
    : FtpPropertiesObject(outer, "QORCom.IEFTP", 21),
      limits_(transfer::FtpLimits::FromEnvironment()) {}

CIEFTP::~CIEFTP() = default;

HRESULT CIEFTP::get_LastErrorMessage(BSTR* value) {
    return GetString(message_, value);
}
HRESULT CIEFTP::get_SecureLogin(VARIANT_BOOL* value) {
    return GetBool(false, value);
}
HRESULT CIEFTP::put_SecureLogin(VARIANT_BOOL value) {
    return value == VARIANT_FALSE ? S_OK
                                  : Raise("Secure login not support for IEFTP.", kErrorOperation);
}
HRESULT CIEFTP::get_SecureTransfer(VARIANT_BOOL* value) {
    return GetBool(false, value);
}
HRESULT CIEFTP::put_SecureTransfer(VARIANT_BOOL value) {
    return value == VARIANT_FALSE
               ? S_OK
               : Raise("Secure transfer not support for IEFTP.", kErrorOperation);
}
HRESULT CIEFTP::get_VerifyServerCertificate(VARIANT_BOOL* value) {
    return GetBool(false, value);
}
HRESULT CIEFTP::put_VerifyServerCertificate(VARIANT_BOOL value) {
    return value == VARIANT_FALSE
               ? S_OK
               : Raise("Certificate verification not supported for IEFTP.", kErrorOperation);
}
HRESULT CIEFTP::PutFileAppend(BSTR, BSTR, VARIANT_BOOL* result) {
    if (result)
        *result = VARIANT_FALSE;
    return Raise("IEFTP doesn't currently support Put FTP Append operations.", kErrorNotSupported);
}
HRESULT CIEFTP::GetFileAppend(BSTR, BSTR, VARIANT_BOOL* result) {
    if (result)
        *result = VARIANT_FALSE;
    return Raise("IEFTP doesn't currently support Get FTP Append operations.", kErrorNotSupported);
}

bool CIEFTP::ConnectHost(const std::string& host) {
    session_ = std::make_unique<Session>();
    if (session_->Handle() == nullptr)
        return false;
    host_ = "ftp://" + host + ":" + std::to_string(static_cast<unsigned short>(port_)) + "/";
    session_->Prepare(host_, *this);
    curl_easy_setopt(session_->Handle(), CURLOPT_NOBODY, 1L);
    if (session_->Perform(&message_))
        return true;
    session_.reset();
    return false;
}

HRESULT CIEFTP::Connect(VARIANT_BOOL* result) {
    return Act(result, [&] {
        session_.reset();
        if (!transfer::IsSafeArgument(userName_) || !transfer::IsSafeArgument(password_)) {
            message_ = transfer::kUnsafeArgument;
            return false;
        }
        for (const std::string& host : SplitList(server_))
            if (ConnectHost(host))
                return true;
        return false;
    });
}

HRESULT CIEFTP::Disconnect() {
    session_.reset();
    return S_OK;
}

bool CIEFTP::Commands(const std::vector<std::string>& commands) {
    for (const std::string& command : commands)
        if (!transfer::IsSafeArgument(command)) {
            message_ = transfer::kUnsafeArgument;
            return false;
        }
    if (!session_) {
        message_ = "Not connected";
        return false;
    }
    session_->Prepare(host_, *this);
    curl_slist* list = nullptr;
    for (const std::string& command : commands) list = curl_slist_append(list, command.c_str());
    curl_easy_setopt(session_->Handle(), CURLOPT_QUOTE, list);
    curl_easy_setopt(session_->Handle(), CURLOPT_NOBODY, 1L);
    const bool ok = session_->Perform(&message_);
    curl_easy_setopt(session_->Handle(), CURLOPT_QUOTE, nullptr);
    curl_slist_free_all(list);
    return ok;
}

bool CIEFTP::Download(const std::string& remote, const std::string& local) {
    if (!transfer::IsSafeArgument(remote)) {
        message_ = transfer::kUnsafeArgument;
        return false;
    }
    if (!session_) {
        message_ = "Not connected";
        return false;
    }
    platform::AtomicFileWriter writer(local);
    if (!writer.Open()) {
        message_ = "Unable to open file on local machine";
        return false;
    }
    session_->Prepare(PathUrl(session_->Handle(), host_, remote), *this);
    curl_easy_setopt(session_->Handle(), CURLOPT_WRITEFUNCTION, &WriteFile);
    curl_easy_setopt(session_->Handle(), CURLOPT_WRITEDATA, &writer);
    if (!session_->Perform(&message_)) {
        writer.Abandon();
        return false;
    }
    if (!writer.Commit()) {
        message_ = "File error";
        return false;
    }
    return true;
}

bool CIEFTP::Upload(const std::string& local, const std::string& remote) {
    if (!transfer::IsSafeArgument(remote)) {
        message_ = transfer::kUnsafeArgument;
        return false;
    }
    if (!session_) {
        message_ = "Not connected";
        return false;
    }
    std::FILE* file = std::fopen(local.c_str(), "rb");
    if (file == nullptr) {
        message_ = "Unable to open file on local machine";
        return false;
    }
    session_->Prepare(PathUrl(session_->Handle(), host_, remote), *this);
    curl_easy_setopt(session_->Handle(), CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(session_->Handle(), CURLOPT_READFUNCTION, &ReadFile);
    curl_easy_setopt(session_->Handle(), CURLOPT_READDATA, file);
    const bool ok = session_->Perform(&message_);
    const bool readFailed = std::ferror(file) != 0;
    std::fclose(file);
    if (ok && readFailed) {
        message_ = "File error";
        return false;
    }
    return ok;
}

bool CIEFTP::List(const std::string& mask, std::string* text) {
    if (!transfer::IsSafeArgument(mask)) {
        message_ = transfer::kUnsafeArgument;
        return false;
    }
    if (!session_) {
        message_ = "Not connected";
        return false;
    }
    session_->Prepare(host_, *this);
    std::string request = longFileInfo_ ? "LIST" : "NLST";
    if (!mask.empty())
        request += " " + mask;
    curl_easy_setopt(session_->Handle(), CURLOPT_CUSTOMREQUEST, request.c_str());
    curl_easy_setopt(session_->Handle(), CURLOPT_WRITEFUNCTION, &AppendText);
    curl_easy_setopt(session_->Handle(), CURLOPT_WRITEDATA, text);
    return session_->Perform(&message_);
}

HRESULT CIEFTP::SendCommand(BSTR command, VARIANT_BOOL* result) {
    return Act(result, [&] { return Commands({comlite::BstrToUtf8(command)}); });
}
HRESULT CIEFTP::DeleteFile(BSTR file, VARIANT_BOOL* result) {
    return Act(result, [&] { return Commands({"DELE " + comlite::BstrToUtf8(file)}); });
}
HRESULT CIEFTP::MakeDir(BSTR path, VARIANT_BOOL* result) {
    return Act(result, [&] { return Commands({"MKD " + comlite::BstrToUtf8(path)}); });
}
HRESULT CIEFTP::RemoveDir(BSTR path, VARIANT_BOOL* result) {
    return Act(result, [&] { return Commands({"RMD " + comlite::BstrToUtf8(path)}); });
}
HRESULT CIEFTP::Rename(BSTR source, BSTR dest, VARIANT_BOOL* result) {
    return Act(result, [&] {
        return Commands(
            {"RNFR " + comlite::BstrToUtf8(source), "RNTO " + comlite::BstrToUtf8(dest)});
    });
}
HRESULT CIEFTP::PutFile(BSTR source, BSTR dest, VARIANT_BOOL* result) {
    return Act(result,
               [&] { return Upload(comlite::BstrToUtf8(source), comlite::BstrToUtf8(dest)); });
}
HRESULT CIEFTP::GetFile(BSTR source, BSTR dest, VARIANT_BOOL* result) {
    return Act(result,
               [&] { return Download(comlite::BstrToUtf8(source), comlite::BstrToUtf8(dest)); });
}

HRESULT CIEFTP::FindFirst(BSTR fileMask, BSTR* result) {
    if (!result)
        return E_POINTER;
    return Guarded([&] {
        listing_.clear();
        listingPosition_ = 0;
        std::string text;
        if (List(comlite::BstrToUtf8(fileMask), &text)) {
            const platform::OleDate now = platform::OleDate::Now();
            for (std::string& line : transfer::SplitListing(text, longFileInfo_)) {
                transfer::ListingEntry entry;
                if (longFileInfo_ && transfer::ParseListingEntry(line, now, &entry))
                    line = RenderDosListingLine(entry);
                listing_.push_back(std::move(line));
            }
        }
        return FindNext(result);
    });
}

HRESULT CIEFTP::FindNext(BSTR* result) {
    if (!result)
        return E_POINTER;
    return Guarded([&] {
        const std::string entry =
            listingPosition_ < listing_.size() ? listing_[listingPosition_++] : std::string();
        *result = comlite::AllocBstrUtf8(entry);
        return *result ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT CIEFTP::ParseLongFileInfo(BSTR line, BSTR* fileName, LONG* fileSize, DATE* dateTime,
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

}  // namespace tw::qorcom
