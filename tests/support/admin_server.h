// A scriptable administration server for the channel tests, listening inside the sandbox.
//
// It binds the address the sandbox gives an administration host name ("ldapadm",
// "ldapEUROPEadm", "ldapASIA2adm") and answers each accepted connection with the next step
// of its script: given bytes, cut into separate writes at chosen offsets, then a close, a
// reset or a stall. With no server on an address, connects to it are refused.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace zntest {

inline constexpr int kAdminPort = 60660;

// What the server does with one connection, after reading the request.
struct AdminStep {
    enum class Then {
        kClose,  // close normally once the bytes are out
        kReset,  // abort the connection (RST) once the bytes are out
        kStall,  // keep the connection open and silent until the client closes it
    };
    std::string bytes;
    // Offsets into bytes at which a write ends and, after a pause, the next one begins.
    std::vector<std::size_t> splits;
    Then then = Then::kClose;
};

AdminStep Answer(std::string bytes, std::vector<std::size_t> splits = {});
AdminStep AnswerThenReset(std::string bytes);
AdminStep Stall(std::string bytes = "");

class ScriptedAdminServer {
  public:
    // Throws SandboxError when the host name does not resolve or the address cannot be bound.
    ScriptedAdminServer(std::vector<AdminStep> script, const std::string& host = "ldapadm",
                        int port = kAdminPort);
    ~ScriptedAdminServer();
    ScriptedAdminServer(const ScriptedAdminServer&) = delete;
    ScriptedAdminServer& operator=(const ScriptedAdminServer&) = delete;

    // Requests received so far, one per connection, in order.
    std::vector<std::string> Requests() const;

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

// IPv4 address the sandbox's hosts file gives a name.
std::string ResolveIPv4(const std::string& host);

// The network namespace's count of TCP connects started (ActiveOpens in /proc/net/snmp),
// to count the attempts of a client whose server never accepts.
long TcpActiveOpens();

}  // namespace zntest
