// The administration server's TCP side: one request per connection, read as the library
// sends it, one reply, close; every socket is read and written by one event loop.
#pragma once

#include <cstdint>
#include <string>

#include "server/config.h"
#include "server/service.h"
#include "server/tls.h"

namespace zn::server {

class Listener {
  public:
    Listener() = default;
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    bool Open(const std::string& address, int port, std::string& error);
    // The bound port (useful with port 0).
    int Port() const { return m_port; }

    // Serves connections until Stop, then finishes the answers in progress. One thread
    // reads and writes every socket; the desks (desks.h) check and write changes and read
    // the journal, and never wait for a client. False, with `error`, when the journal
    // cannot be read. Every connection speaks TLS when `tls` is given.
    bool Serve(AdminService& service, const Config& config, std::string& error,
               const ServerTls* tls = nullptr);
    // Safe from a signal handler.
    void Stop();

  private:
    int m_socket = -1;
    int m_port = 0;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
};

}  // namespace zn::server
