// The administration server's TLS: one context made from the configured certificate and key,
// and one session per client connection, driven without blocking by the event loop.
#pragma once

#include <string>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;

namespace zn::server {

class ServerTls {
  public:
    ServerTls() = default;
    ~ServerTls();
    ServerTls(const ServerTls&) = delete;
    ServerTls& operator=(const ServerTls&) = delete;

    // Loads the certificate chain and its private key (PEM); false, with `error` naming the
    // file and OpenSSL's reason, when either cannot be used.
    bool Load(const std::string& certificateFile, const std::string& keyFile, std::string& error);
    bool Loaded() const { return m_context != nullptr; }

    // Whether handshakes take the client's offer to keep its connection for more requests.
    void KeepConnections(bool keep) { m_keep = keep; }
    // The handshake of `ssl` is over and took that offer.
    static bool KeepsConnection(SSL* ssl);

    // A server-side session on the accepted, non-blocking socket; null when OpenSSL is out of
    // memory. The caller owns it (SSL_free).
    SSL* Accept(int socket) const;

  private:
    static int SelectProtocol(SSL* ssl, const unsigned char** out, unsigned char* outSize,
                              const unsigned char* in, unsigned int inSize, void* self);

    SSL_CTX* m_context = nullptr;
    bool m_keep = false;
};

// What one non-blocking TLS (or plain) read or write did: bytes moved, the peer's end, or a
// wait for the socket to become readable or writable.
enum class TlsIo { kDone, kClosed, kWantRead, kWantWrite, kBroken };

// SSL_read / SSL_write reduced to those outcomes; `moved` is the bytes read or written.
TlsIo TlsRead(SSL* ssl, char* buffer, std::size_t capacity, std::size_t& moved);
TlsIo TlsWrite(SSL* ssl, const char* data, std::size_t size, std::size_t& moved);

// OpenSSL's reason for the last failure on this thread, for the log.
std::string TlsErrorText();

}  // namespace zn::server
