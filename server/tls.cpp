// The administration server's TLS: one context made from the configured certificate and key,
// and one session per client connection, driven without blocking by the event loop.
#include "server/tls.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <cerrno>
#include <cstring>

#include "admin/change_request.h"

namespace zn::server {

std::string TlsErrorText() {
    const unsigned long code = ERR_peek_last_error();
    if (code == 0) return "no reason given";
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

ServerTls::~ServerTls() {
    SSL_CTX_free(m_context);
}

int ServerTls::SelectProtocol(SSL*, const unsigned char** out, unsigned char* outSize,
                              const unsigned char* in, unsigned int inSize, void* self) {
    if (!static_cast<const ServerTls*>(self)->m_keep) return SSL_TLSEXT_ERR_NOACK;
    const std::size_t size = std::strlen(kKeepConnectionProtocol);
    // The offer is a list of names, each after its length in one byte.
    for (unsigned int at = 0; at < inSize; at += 1u + in[at]) {
        if (in[at] == size && at + 1 + size <= inSize &&
            std::memcmp(in + at + 1, kKeepConnectionProtocol, size) == 0) {
            *out = in + at + 1;
            *outSize = in[at];
            return SSL_TLSEXT_ERR_OK;
        }
    }
    return SSL_TLSEXT_ERR_NOACK;
}

bool ServerTls::KeepsConnection(SSL* ssl) {
    const unsigned char* agreed = nullptr;
    unsigned int size = 0;
    SSL_get0_alpn_selected(ssl, &agreed, &size);
    return size > 0;
}

bool ServerTls::Load(const std::string& certificateFile, const std::string& keyFile,
                     std::string& error) {
    ERR_clear_error();
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (context == nullptr) {
        error = "cannot make a TLS context: " + TlsErrorText();
        return false;
    }
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    // A partial write leaves the rest in the connection's own buffer, which the loop hands
    // back from another address after it has grown.
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // One ticket is enough for the library, which resumes with the last ticket it was given
    // whenever it opens a connection; it saves a full handshake each time.
    SSL_CTX_set_num_tickets(context, 1);
    // A client that closes without a close_notify has still said all it had to: its request
    // ends by its layout, not by the end of the stream.
    SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
    // Resumptions without a fresh key exchange, when the client asks for them: the ticket's
    // key came from a full handshake, and the connections are short.
    SSL_CTX_set_options(context, SSL_OP_ALLOW_NO_DHE_KEX);
    SSL_CTX_set_alpn_select_cb(context, &ServerTls::SelectProtocol, this);
    if (SSL_CTX_use_certificate_chain_file(context, certificateFile.c_str()) != 1) {
        error = "cannot use the TLS certificate " + certificateFile + ": " + TlsErrorText();
        SSL_CTX_free(context);
        return false;
    }
    if (SSL_CTX_use_PrivateKey_file(context, keyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(context) != 1) {
        error = "cannot use the TLS key " + keyFile + ": " + TlsErrorText();
        SSL_CTX_free(context);
        return false;
    }
    SSL_CTX_free(m_context);
    m_context = context;
    return true;
}

SSL* ServerTls::Accept(int socket) const {
    SSL* ssl = SSL_new(m_context);
    if (ssl == nullptr) return nullptr;
    if (SSL_set_fd(ssl, socket) != 1) {
        SSL_free(ssl);
        return nullptr;
    }
    SSL_set_accept_state(ssl);
    return ssl;
}

namespace {

TlsIo Outcome(SSL* ssl, int rc) {
    switch (SSL_get_error(ssl, rc)) {
        case SSL_ERROR_WANT_READ:
            return TlsIo::kWantRead;
        case SSL_ERROR_WANT_WRITE:
            return TlsIo::kWantWrite;
        case SSL_ERROR_ZERO_RETURN:
            return TlsIo::kClosed;
        case SSL_ERROR_SYSCALL:
            // The peer closed without a close_notify: the end of the stream all the same.
            if (errno == 0 || errno == ECONNRESET) return TlsIo::kClosed;
            return errno == EAGAIN || errno == EWOULDBLOCK ? TlsIo::kWantRead : TlsIo::kBroken;
        default:
            return TlsIo::kBroken;
    }
}

}  // namespace

TlsIo TlsRead(SSL* ssl, char* buffer, std::size_t capacity, std::size_t& moved) {
    moved = 0;
    ERR_clear_error();
    errno = 0;
    const int rc = SSL_read(ssl, buffer, static_cast<int>(capacity));
    if (rc > 0) {
        moved = static_cast<std::size_t>(rc);
        return TlsIo::kDone;
    }
    return Outcome(ssl, rc);
}

TlsIo TlsWrite(SSL* ssl, const char* data, std::size_t size, std::size_t& moved) {
    moved = 0;
    if (size == 0) return TlsIo::kDone;
    ERR_clear_error();
    errno = 0;
    const int rc = SSL_write(ssl, data, static_cast<int>(size));
    if (rc > 0) {
        moved = static_cast<std::size_t>(rc);
        return TlsIo::kDone;
    }
    return Outcome(ssl, rc);
}

}  // namespace zn::server
