// Sockets that stand in for a stopped slapd to make its host misbehave in a controlled way.
#pragma once

#include <string>
#include <thread>
#include <vector>

#include "tests/support/socket_util.h"

namespace zntest {
namespace detail {

// Base of the faults that occupy a server's address:389 in this process.
class ListenerFault {
  public:
    virtual ~ListenerFault() = default;
};

// Listens with backlog 0 and fills the accept queue with connections that are
// never accepted.  Linux then drops every further SYN, so a client's connect
// neither succeeds nor is refused; it hangs in SYN-SENT.
class HungListener : public ListenerFault {
  public:
    explicit HungListener(const std::string& address, int port = kLdapPort);

  private:
    Fd listener_;
    std::vector<Fd> fillers_;
};

// Accepts connections and forwards only the first request of each (the
// bind) to a live server, and that server's reply back.  Everything the
// client sends afterwards is read and dropped; the connection stays open
// until the client closes it or the relay stops.
class StallRelay : public ListenerFault {
  public:
    StallRelay(const std::string& address, std::string upstream_address);
    ~StallRelay() override;

  private:
    void Run();

    Fd listener_;
    Fd wake_read_;
    Fd wake_write_;
    std::string upstream_address_;
    std::thread thread_;
};

}  // namespace detail
}  // namespace zntest
