// Access to the sandboxed directory servers of directory/sandbox and the faults tests inject into
// them.
//
// Tests run inside `directory/sandbox -- COMMAND`, which exports ZNG_SANDBOX
// (its run directory) and ZNG_BASE_DN.  A server is named by its host name
// ("ldap5", "ldapEUROPE3", "ldapASIA2-1"), a domain by its name: "" or
// "LOCAL" for the local one, "EUROPE", "ASIA2".
//
// Every function throws SandboxError when the sandbox is missing or a control
// action fails.  GoogleTest reports an exception that escapes a test body or
// fixture as a failure, so a test that needs the sandbox and runs without one
// fails loudly instead of passing.
//
// Faults are process-wide: the listeners of MakeUnresponsive and
// StallAfterBind live in this process until the host is restored, started or
// stopped, or the process ends.  Call RestoreAll() in fixtures so a fault
// never leaks from one test into the next (see sandbox_fixture.h).
#pragma once

#include <chrono>
#include <initializer_list>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

namespace zntest {

class SandboxError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

using Milliseconds = std::chrono::milliseconds;

// --- the sandbox --------------------------------------------------------

// Throws SandboxError unless ZNG_SANDBOX names an existing run directory.
void RequireSandbox();

// The run directory ($ZNG_SANDBOX).
std::string SandboxDir();

// The directory's base DN ($ZNG_BASE_DN), e.g. "o=example.com".
std::string BaseDN();

// Host names of all directory servers, sorted.
std::vector<std::string> ServerHosts();

// IPv4 address a server listens on (port 389).
std::string ServerAddress(const std::string& host);

// --- replication --------------------------------------------------------

// Server 5 of each domain is its replication provider; the other four are
// consumers that follow it and refuse writes of their own (53, "shadow
// context").  A change written to the provider reaches them shortly after,
// not at once.

// Host name of the domain's provider ("ldap5", "ldapEUROPE5", "ldapASIA2-5").
std::string ProviderHost(const std::string& domain = "");

// Host names of the domain's consumers, sorted.
std::vector<std::string> ConsumerHosts(const std::string& domain = "");

// Puts the sample data back on all five servers of the domain: stops them,
// copies the sample database back, starts the provider and then the
// consumers, and returns once each answers.  Ends any fault on those hosts.
// A test that changes the directory calls it to leave the sample as it found
// it.
void RestoreDirectory(const std::string& domain = "");

// --- the sample directory ----------------------------------------------

// userPassword of the sample person uid=<uid>, as loaded from sample.ldif;
// throws SandboxError if that person has none.
std::string SamplePassword(const std::string& uid);

// Password of uid=longpw: 127 characters, the longest the library accepts.
std::string LongPassword();

// --- probes -------------------------------------------------------------

enum class ConnectResult { kConnected, kRefused, kTimedOut, kFailed };

// Plain TCP connect to the server's address:389.
ConnectResult ProbeConnect(const std::string& host, Milliseconds timeout);

enum class BindResult {
    kAnswered,         // a bind response came back (any result code)
    kRefused,          // connection refused: nothing listens
    kConnectTimedOut,  // the TCP handshake never completed
    kNoReply,          // connected, but no bind response within the time-out
    kFailed,           // anything else: reset, garbage, local error
};

// Anonymous LDAPv3 simple bind on a fresh connection; the whole exchange
// (connect and reply) must fit in timeout.
BindResult ProbeAnonymousBind(const std::string& host, Milliseconds timeout);

// Retries ProbeAnonymousBind until the server answers; false after timeout.
bool WaitUntilAnswers(const std::string& host, Milliseconds timeout);

std::ostream& operator<<(std::ostream& out, ConnectResult result);
std::ostream& operator<<(std::ostream& out, BindResult result);

// --- leak checks ----------------------------------------------------------

// Number of file descriptors this process has open.  The sockets of active
// MakeUnresponsive and StallAfterBind faults count too, so compare counts
// taken with the same faults in place.
int OpenDescriptorCount();

// --- faults -------------------------------------------------------------

// Stops the server's slapd; connects are then refused.
void StopServer(const std::string& host);

// Starts the server's slapd again (ending any listener fault on the host)
// and returns once it answers.
void StartServer(const std::string& host);

// SIGSTOPs the slapd: the kernel still accepts connections, nothing answers.
void SilenceServer(const std::string& host);

// SIGCONTs the slapd and returns once it answers.
void ResumeServer(const std::string& host);

// Replaces the slapd by a listener whose accept queue is full, so a TCP
// connect to the host gets no SYN-ACK and hangs.  Verifies the hang before
// returning.
void MakeUnresponsive(const std::string& host);

// Replaces the slapd by a relay to relay_host (a different, live server):
// each connection's first request (the bind) and its reply pass through,
// everything later from the client is swallowed and never answered while
// the connection stays open.
void StallAfterBind(const std::string& host, const std::string& relay_host);

// Ends any fault on the host and returns once its slapd answers.
void RestoreServer(const std::string& host, Milliseconds timeout = std::chrono::seconds(15));

// RestoreServer for every host.
void RestoreAll(Milliseconds timeout = std::chrono::seconds(15));

enum class Fault {
    kRefuse,          // StopServer: connects are refused
    kSilent,          // SilenceServer: connects accepted, nothing answered
    kUnresponsive,    // MakeUnresponsive: connects hang
    kStallAfterBind,  // StallAfterBind: bind answered, nothing after it (needs relay_host)
};

// Applies one fault to one or more hosts for the lifetime of the object.  The
// destructor restores them; a failure to restore is written to stderr
// (destructors must not throw) and the next RestoreAll() reports it.
//
//   ScopedFault down(Fault::kRefuse, {"ldap5", "ldap4"});
//   ScopedFault stalled(Fault::kStallAfterBind, "ldap5", "ldap4");  // relays to ldap4
class ScopedFault {
  public:
    ScopedFault(Fault fault, const std::string& host, const std::string& relay_host = "");
    ScopedFault(Fault fault, std::initializer_list<std::string> hosts,
                const std::string& relay_host = "");
    ScopedFault(Fault fault, std::vector<std::string> hosts, const std::string& relay_host = "");
    ~ScopedFault();
    ScopedFault(const ScopedFault&) = delete;
    ScopedFault& operator=(const ScopedFault&) = delete;

    // Restores early; later calls and the destructor do nothing.
    void Restore();

    // The hosts that are still faulty.
    const std::vector<std::string>& hosts() const { return hosts_; }

  private:
    std::vector<std::string> hosts_;
};

}  // namespace zntest
