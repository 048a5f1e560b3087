#include "qorcom/transfer/http_client.h"

#include <curl/curl.h>
#include <unistd.h>

#include <memory>
#include <mutex>

namespace tw::qorcom::transfer {
namespace {

void InitialiseCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t WriteSpool(char* data, size_t size, size_t count, void* user) {
    const int fd = *static_cast<int*>(user);
    size_t total = size * count, done = 0;
    while (done < total) {
        const ssize_t n = ::write(fd, data + done, total - done);
        if (n <= 0)
            return 0;  // curl fails the transfer with CURLE_WRITE_ERROR
        done += static_cast<size_t>(n);
    }
    return total;
}

constexpr std::size_t kBlock = 64 * 1024;

}  // namespace

const char* HttpStatusText(long status) {
    switch (status) {
        case 101:
            return "Server has switched protocols in upgrade header.";
        case 204:
            return "No info to return.";
        case 300:
            return "Server couldn't decide what to return.";
        case 301:
            return "Object permanently moved";
        case 302:
            return "Object temporarily moved";
        case 303:
            return "Redirection with new access method.";
        case 304:
            return "If-modified-since was not modified.";
        case 305:
            return "Redirection to proxy, location header specifies proxy to use.";
        case 307:
            return "HTTP/1.1: keep same verb";
        case 400:
            return "Invalid syntax.";
        case 401:
            return "Access denied.";
        case 402:
            return "Payment required.";
        case 403:
            return "Request forbidden.";
        case 404:
            return "Object not found. Bad URL.";
        case 405:
            return "Method is not allowed.";
        case 406:
            return "No response acceptable to client found.";
        case 407:
            return "Proxy authentication required.";
        case 408:
            return "Server timed out waiting for request.";
        case 409:
            return "User should resubmit with more info.";
        case 410:
            return "The resource is no longer available.";
        case 411:
            return "The server refused to accept request without a length.";
        case 412:
            return "Precondition given in request failed.";
        case 413:
            return "Request entity was too large.";
        case 414:
            return "Request URI too long.";
        case 415:
            return "Unsupported media type.";
        case 500:
            return "Internal server error.";
        case 501:
            return "Required not supported.";
        case 502:
            return "Error response received from gateway.";
        case 503:
            return "Temporarily overloaded.";
        case 504:
            return "Timed out waiting for gateway.";
        case 505:
            return "HTTP version not supported.";
        default:
            return "Unknown error.";
    }
}

bool HttpFetcher::Fetch(const std::string& url) {
    spool_.reset();
    message_.clear();
    InitialiseCurl();
    {
        std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), &curl_url_cleanup);
        char* scheme = nullptr;
        if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK ||
            curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK) {
            message_ = "Bad URL";
            return false;
        }
        const std::string s = scheme;
        curl_free(scheme);
        if (s != "http" && s != "https") {
            message_ = "Bad URL";
            return false;
        }
    }
    auto spool = platform::TempFile::Create("qorcom-http-");
    if (!spool) {
        message_ = "Network error no spool file in ConnectToHTTPHost at InternetOpen";
        return false;
    }
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl) {
        message_ = "Network error no handle in ConnectToHTTPHost at InternetOpen";
        return false;
    }
    int fd = spool->Descriptor();
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_USERAGENT, "WinInet-FileTransferObjects");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(limits_.connectTimeout.count()));
    // Idle: less than one byte a second for the whole idle time-out.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME,
                     std::max(1L, static_cast<long>(limits_.idleTimeout.count() / 1000)));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &WriteSpool);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &fd);
    const CURLcode result = curl_easy_perform(c);
    if (result != CURLE_OK) {
        message_ = std::string("Network error ") + curl_easy_strerror(result) +
                   " in ConnectToHTTPHost at InternetOpenUrl";
        return false;
    }
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200) {
        message_ = HttpStatusText(status);
        return false;
    }
    spool_ = std::move(spool);
    return true;
}

bool HttpFetcher::WriteToFile(const std::string& path) {
    platform::AtomicFileWriter writer(path);
    if (!spool_ || !writer.Open()) {
        message_ = "Unable to Create File in WriteHTTPDataToFile";
        return false;
    }
    std::string block(kBlock, '\0');
    off_t at = 0;
    for (;;) {
        const ssize_t n = ::pread(spool_->Descriptor(), block.data(), block.size(), at);
        if (n < 0 ||
            (n > 0 && !writer.Write(std::string_view(block.data(), static_cast<size_t>(n))))) {
            writer.Abandon();
            message_ = "Unable to Create File in WriteHTTPDataToFile";
            return false;
        }
        if (n == 0)
            break;
        at += n;
    }
    if (!writer.Commit()) {
        message_ = "Unable to Create File in WriteHTTPDataToFile";
        return false;
    }
    return true;
}

bool HttpFetcher::ReadBody(std::string* body) {
    body->clear();
    if (!spool_)
        return false;
    std::string block(kBlock, '\0');
    off_t at = 0;
    for (;;) {
        const ssize_t n = ::pread(spool_->Descriptor(), block.data(), block.size(), at);
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        body->append(block.data(), static_cast<size_t>(n));
        at += n;
    }
}

}  // namespace tw::qorcom::transfer
