#pragma once
// HttpFetcher: one HTTP(S) GET over libcurl, the engine of "QORCom.HTTP". The response body is
// spooled to a private temporary file, so that the caller learns the status before deciding
// where the body goes, and a body of any size costs no memory.
//
// Redirects are followed (at most 10, to http and https only), proxies are taken from the
// environment (http_proxy, https_proxy, no_proxy), HTTPS certificates and host names are always
// checked against the system trust store, and every wait is bounded: the connect time-out and
// the idle time-out of FtpLimits (QORCOM_FTP_CONNECT_TIMEOUT, QORCOM_FTP_IDLE_TIMEOUT). Nothing
// throws except std::bad_alloc. One thread at a time.

#include <optional>
#include <string>

#include "platform/text_file.h"
#include "qorcom/transfer/ftp_client.h"

namespace tw::qorcom::transfer {

// The message for an HTTP status other than 200 ("Object not found. Bad URL." for 404).
const char* HttpStatusText(long status);

class HttpFetcher {
public:
    explicit HttpFetcher(FtpLimits limits = FtpLimits::FromEnvironment()) : limits_(limits) {}

    // GETs url; true for status 200 with the body spooled. Otherwise Message() holds "Bad URL",
    // the status text, or "Network error <reason> in ConnectToHTTPHost at <step>".
    bool Fetch(const std::string& url);
    // Copies the spooled body to path through a temporary file beside it: a failure leaves an
    // existing file as it was. False with "Unable to Create File in WriteHTTPDataToFile" when
    // the file cannot be written.
    bool WriteToFile(const std::string& path);
    // The spooled body; false when there is none.
    bool ReadBody(std::string* body);

    const std::string& Message() const { return message_; }

private:
    FtpLimits limits_;
    std::optional<platform::TempFile> spool_;
    std::string message_;
};

}  // namespace tw::qorcom::transfer
