// The administration server's TCP side: one request per connection, read as the library
// sends it, one reply, close.
#pragma once

#include <cstdint>
#include <string>

#include "server/client_limits.h"
#include "server/config.h"
#include "server/connection.h"
#include "server/service.h"

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

    // Serves connections, at most `maxConnections` at once (the others wait in the listening
    // socket's queue), until Stop; then finishes the connections in progress. A client
    // address with `maxConnectionsPerClient` connections still being read has further ones
    // refused at once, and a connection that sends nothing within the idle bound is closed.
    void Serve(AdminService& service, const Config& config);
    // Safe from a signal handler.
    void Stop();

  private:
    void Work(AdminService& service, ClientLimits& clients, const ReadLimits& limits);
    void Handle(int socket, const Client& client, AdminService& service, ClientLimits& clients,
                const ReadLimits& limits);

    int m_socket = -1;
    int m_port = 0;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
};

}  // namespace zn::server
