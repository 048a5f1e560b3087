#pragma once
// A TLS client channel over a TcpStream, on OpenSSL 3, for explicit FTPS now and the mail
// clients later.
//
//   TlsContext  — the settings and the OpenSSL context shared by every connection to one server
//                 (the control connection and its data connections), so that sessions resume.
//   TlsChannel  — one connection: the handshake (SNI, optional session to resume, certificate
//                 check), then reads and writes as a ByteStream, and close_notify on Shutdown.
//
// Every byte goes through the TcpStream by a BIO of our own, so writes use MSG_NOSIGNAL and
// every wait has the stream's idle time-out. The stream is borrowed: it must outlive the
// channel, and closing the socket stays the caller's business.
//
// Failures return false / -1 with a message (Message()); certificate failures name their
// CERT_E_* status ("Error CERT_E_UNTRUSTEDROOT returned by CertVerifyCertificateChainPolicy!").
// One thread at a time per channel; a context may be shared by the channels of one client.

#include <memory>
#include <mutex>
#include <string>

#include "qorcom/transfer/tcp_stream.h"

using SSL = struct ssl_st;
using SSL_CTX = struct ssl_ctx_st;
using SSL_SESSION = struct ssl_session_st;

namespace tw::qorcom::transfer {

struct TlsOptions {
    // Check the chain against the system trust store (or SSL_CERT_FILE / SSL_CERT_DIR) and the
    // host name (or IP address) of the server.
    bool verifyServerCertificate = false;
    // A PEM file holding a client certificate and its key, offered when the server asks.
    std::string clientCertificateFile;
};

class TlsContext {
public:
    // nullptr with *message when OpenSSL cannot make a context (or read the client certificate).
    static std::shared_ptr<TlsContext> Create(const TlsOptions& options, std::string* message);
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    SSL_CTX* Get() const { return ctx_; }
    const TlsOptions& Options() const { return options_; }
    // The newest session the server issued on any connection of this context (a reference the
    // caller frees), or nullptr. Servers may take each TLS 1.3 ticket only once, and issue a
    // new one on every resumed connection: the newest is the one to offer next.
    SSL_SESSION* TakeLatestSession() const;

private:
    friend struct TlsBio;
    TlsContext(SSL_CTX* ctx, TlsOptions options) : ctx_(ctx), options_(std::move(options)) {}
    SSL_CTX* ctx_;
    TlsOptions options_;
    mutable std::mutex mutex_;
    SSL_SESSION* latest_ = nullptr;
};

class TlsChannel final : public ByteStream {
public:
    TlsChannel(std::shared_ptr<TlsContext> context, TcpStream& stream);
    ~TlsChannel() override;
    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    // Runs the handshake with the server named host (SNI and the name check). With resume,
    // offers the context's newest session (a data connection resuming its control
    // connection's).
    bool Handshake(const std::string& host, bool resume);

    // 0 only at the server's close_notify: a connection that ends without one is an error
    // (ECONNRESET), since the data may have been cut.
    long Read(char* buffer, std::size_t size, int* error) override;
    bool WriteAll(const char* bytes, std::size_t size, int* error) override;
    // Sends close_notify. False when it cannot be sent.
    bool Shutdown();

    const std::string& Message() const { return message_; }

private:
    bool Fail(const std::string& message);
    bool CheckCertificate();

    std::shared_ptr<TlsContext> context_;
    TcpStream& stream_;
    SSL* ssl_ = nullptr;
    int ioError_ = 0;  // the last error of the stream, seen by the BIO
    std::string message_;

    friend struct TlsBio;
};

// The name of a certificate check failure (an X509_V_ERR_* code) as the CERT_E_* status.
const char* CertificateStatusName(long verifyResult);

}  // namespace tw::qorcom::transfer
