#include "qorcom/transfer/tls_channel.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <mutex>

namespace tw::qorcom::transfer {

// The BIO between OpenSSL and the channel's TcpStream.
struct TlsBio {
    static int Write(BIO* bio, const char* data, int size) {
        auto* channel = static_cast<TlsChannel*>(BIO_get_data(bio));
        BIO_clear_retry_flags(bio);
        if (!channel->stream_.WriteAll(data, static_cast<std::size_t>(size), &channel->ioError_))
            return -1;
        return size;
    }
    static int Read(BIO* bio, char* data, int size) {
        auto* channel = static_cast<TlsChannel*>(BIO_get_data(bio));
        BIO_clear_retry_flags(bio);
        const long n =
            channel->stream_.Read(data, static_cast<std::size_t>(size), &channel->ioError_);
        if (n == 0)
            BIO_set_flags(bio, BIO_FLAGS_IN_EOF);
        return static_cast<int>(n);
    }
    static long Control(BIO* bio, int command, long, void*) {
        switch (command) {
            case BIO_CTRL_FLUSH:
                return 1;
            case BIO_CTRL_EOF:
                return BIO_test_flags(bio, BIO_FLAGS_IN_EOF) != 0;
            default:
                return 0;
        }
    }
    // Keeps the newest session of the connection's context.
    static int NewSession(SSL* ssl, SSL_SESSION* session) {
        auto* context = static_cast<TlsContext*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
        std::lock_guard lock(context->mutex_);
        if (context->latest_ != nullptr)
            SSL_SESSION_free(context->latest_);
        context->latest_ = session;
        return 1;
    }
    static BIO_METHOD* Method() {
        static BIO_METHOD* method = [] {
            BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "qorcom tcp");
            BIO_meth_set_write(m, &Write);
            BIO_meth_set_read(m, &Read);
            BIO_meth_set_ctrl(m, &Control);
            return m;
        }();
        return method;
    }
};

namespace {

std::string OpenSslError() {
    const unsigned long e = ERR_get_error();
    ERR_clear_error();
    if (e == 0)
        return {};
    char text[256];
    ERR_error_string_n(e, text, sizeof text);
    return text;
}

bool IsAddress(const std::string& host) {
    unsigned char buffer[16];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
           inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

}  // namespace

const char* CertificateStatusName(long verifyResult) {
    switch (verifyResult) {
        case X509_V_ERR_CERT_HAS_EXPIRED:
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return "CERT_E_EXPIRED";
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_CERT_UNTRUSTED:
            return "CERT_E_UNTRUSTEDROOT";
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
            return "CERT_E_CHAINING";
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return "CERT_E_CN_NO_MATCH";
        case X509_V_ERR_CERT_REVOKED:
            return "CERT_E_REVOKED";
        case X509_V_ERR_UNABLE_TO_GET_CRL:
        case X509_V_ERR_CRL_HAS_EXPIRED:
            return "CERT_E_REVOCATION_FAILURE";
        case X509_V_ERR_INVALID_PURPOSE:
            return "CERT_E_WRONG_USAGE";
        case X509_V_ERR_PATH_LENGTH_EXCEEDED:
            return "CERT_E_PATHLENCONST";
        case X509_V_ERR_INVALID_CA:
            return "CERT_E_ROLE";
        case X509_V_ERR_UNHANDLED_CRITICAL_EXTENSION:
            return "CERT_E_CRITICAL";
        case X509_V_ERR_CERT_SIGNATURE_FAILURE:
        case X509_V_ERR_CERT_REJECTED:
            return "TRUST_E_FAIL";
        case X509_V_ERR_INVALID_NON_CA:
        case X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD:
        case X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD:
            return "CERT_E_MALFORMED";
        default:
            return "(unknown)";
    }
}

std::shared_ptr<TlsContext> TlsContext::Create(const TlsOptions& options, std::string* message) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    if (ctx == nullptr) {
        *message = "Error " + OpenSslError() + " returned by AcquireCredentialsHandle";
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_default_verify_paths(ctx);
    // The check runs after the handshake (CheckCertificate), so that a failure is named.
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    if (!options.clientCertificateFile.empty() &&
        (SSL_CTX_use_certificate_chain_file(ctx, options.clientCertificateFile.c_str()) != 1 ||
         SSL_CTX_use_PrivateKey_file(ctx, options.clientCertificateFile.c_str(),
                                     SSL_FILETYPE_PEM) != 1)) {
        *message = "Error " + OpenSslError() + " returned by CertFindCertificateInStore";
        SSL_CTX_free(ctx);
        return nullptr;
    }
    SSL_CTX_sess_set_new_cb(ctx, &TlsBio::NewSession);
    std::shared_ptr<TlsContext> context(new TlsContext(ctx, options));
    SSL_CTX_set_app_data(ctx, context.get());
    return context;
}

TlsContext::~TlsContext() {
    if (latest_ != nullptr)
        SSL_SESSION_free(latest_);
    SSL_CTX_free(ctx_);
}

SSL_SESSION* TlsContext::TakeLatestSession() const {
    std::lock_guard lock(mutex_);
    if (latest_ != nullptr)
        SSL_SESSION_up_ref(latest_);
    return latest_;
}

TlsChannel::TlsChannel(std::shared_ptr<TlsContext> context, TcpStream& stream)
    : context_(std::move(context)), stream_(stream) {}

TlsChannel::~TlsChannel() {
    if (ssl_ != nullptr)
        SSL_free(ssl_);
}

bool TlsChannel::Fail(const std::string& message) {
    message_ = message;
    return false;
}

bool TlsChannel::Handshake(const std::string& host, bool resume) {
    ERR_clear_error();
    ssl_ = SSL_new(context_->Get());
    BIO* bio = ssl_ != nullptr ? BIO_new(TlsBio::Method()) : nullptr;
    if (bio == nullptr)
        return Fail("Error " + OpenSslError() + " returned by InitializeSecurityContext");
    BIO_set_data(bio, this);
    BIO_set_init(bio, 1);
    SSL_set_bio(ssl_, bio, bio);
    if (!IsAddress(host))
        SSL_set_tlsext_host_name(ssl_, host.c_str());
    if (context_->Options().verifyServerCertificate) {
        X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
        if (IsAddress(host))
            X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
        else
            X509_VERIFY_PARAM_set1_host(param, host.c_str(), 0);
    }
    if (resume) {
        if (SSL_SESSION* session = context_->TakeLatestSession()) {
            SSL_set_session(ssl_, session);
            SSL_SESSION_free(session);
        }
    }
    ioError_ = 0;
    const int result = SSL_connect(ssl_);
    if (result != 1) {
        const int reason = SSL_get_error(ssl_, result);
        if (reason == SSL_ERROR_SYSCALL && ioError_ == 0)
            return Fail("Server unexpectedly disconnected");
        if (reason == SSL_ERROR_SYSCALL)
            return Fail("Error " + std::to_string(ioError_) + " reading data from server");
        return Fail("Error " + OpenSslError() + " returned by InitializeSecurityContext");
    }
    return CheckCertificate();
}

bool TlsChannel::CheckCertificate() {
    if (!context_->Options().verifyServerCertificate)
        return true;
    X509* certificate = SSL_get1_peer_certificate(ssl_);
    if (certificate == nullptr)
        return Fail("Error 0 querying remote certificate");
    X509_free(certificate);
    const long result = SSL_get_verify_result(ssl_);
    if (result != X509_V_OK)
        return Fail(std::string("Error ") + CertificateStatusName(result) +
                    " returned by CertVerifyCertificateChainPolicy!");
    return true;
}

long TlsChannel::Read(char* buffer, std::size_t size, int* error) {
    if (ssl_ == nullptr) {
        *error = ENOTCONN;
        return -1;
    }
    ioError_ = 0;
    const int n = SSL_read(ssl_, buffer, static_cast<int>(size));
    if (n > 0)
        return n;
    const int reason = SSL_get_error(ssl_, n);
    if (reason == SSL_ERROR_ZERO_RETURN)
        return 0;
    ERR_clear_error();
    *error = ioError_ != 0 ? ioError_ : ECONNRESET;
    return -1;
}

bool TlsChannel::WriteAll(const char* bytes, std::size_t size, int* error) {
    if (ssl_ == nullptr) {
        *error = ENOTCONN;
        return false;
    }
    while (size > 0) {
        ioError_ = 0;
        const int n =
            SSL_write(ssl_, bytes, static_cast<int>(std::min<std::size_t>(size, 1 << 30)));
        if (n <= 0) {
            ERR_clear_error();
            *error = ioError_ != 0 ? ioError_ : EPIPE;
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool TlsChannel::Shutdown() {
    if (ssl_ == nullptr)
        return false;
    ioError_ = 0;
    const int result = SSL_shutdown(ssl_);
    ERR_clear_error();
    if (result < 0)
        return Fail("Error " + std::to_string(ioError_) + " sending close notify");
    // Wait for the server's close_notify (or its end of the stream), reading what it sent
    // meanwhile (session tickets): a socket closed with unread bytes is reset, and the server
    // may then lose the end of an upload.
    if (result == 0)
        SSL_shutdown(ssl_);
    ERR_clear_error();
    return true;
}

}  // namespace tw::qorcom::transfer
