// The administration server's TCP side: one request per connection, read as the library
// sends it, one reply, close.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "server/config.h"
#include "server/service.h"

namespace zn::server {

// How one request is read. A request has no terminator and no length, and the client
// neither half-closes nor says it is done: the request is complete when its layout says so
// (a last field at its full length), when the client closes, or when a request whose last
// field could still grow has been followed by `quietMilliseconds` of silence.
struct ReadLimits {
    int quietMilliseconds = 20;
    int requestTimeoutMilliseconds = 5000;
};

struct ReceivedRequest {
    std::string bytes;
    bool tooLong = false;  // more than kMaxRequestLength characters arrived
    bool failed = false;   // the connection broke, or nothing arrived before the client left
};

// Reads one request from a connected socket.
ReceivedRequest ReadRequest(int socket, const ReadLimits& limits);

// Writes all of `bytes` within `timeoutMilliseconds`; false when the client stopped reading.
bool SendAll(int socket, const std::string& bytes, int timeoutMilliseconds);

class Listener {
  public:
    Listener() = default;
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    bool Open(const std::string& address, int port, std::string& error);
    // The bound port (useful with port 0).
    int Port() const { return m_port; }

    // Serves connections, at most `maxConnections` at once (the others are told the server
    // is busy), until Stop; then waits for the connections in progress.
    void Serve(AdminService& service, const Config& config);
    // Safe from a signal handler.
    void Stop();

  private:
    void Handle(int socket, const Client& client, AdminService& service, const ReadLimits& limits);

    int m_socket = -1;
    int m_port = 0;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::mutex m_lock;
    std::condition_variable m_idle;
    int m_active = 0;
};

}  // namespace zn::server
