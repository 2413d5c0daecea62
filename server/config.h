// The administration server's settings: a small configuration file and command-line options.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zn::server {

// An IPv4 network: address and prefix length; "10.1.0.0/16", or one address.
struct Network {
    std::uint32_t address = 0;  // host byte order
    int prefixLength = 32;
    bool Contains(std::uint32_t hostOrderAddress) const;
    std::string Text() const;
};
bool ParseNetwork(const std::string& text, Network& network);

// Another domain's administration server, answering for the change numbers from `first` up
// to the next peer's first number.
struct Peer {
    long first = 0;
    std::string host;
    int port = 0;
};
bool ParsePeer(const std::string& text, Peer& peer);

// What a run does: serve, or compare (and mend) the eventual members of every group once.
enum class Task { kServe, kCheck, kRepair };

// Twice what a busy application host sends at once, a sixteenth of the connections the
// server holds: one address alone cannot take more.
inline constexpr int kDefaultConnectionsPerClient = 64;
// A kept TLS connection: the default time it waits for its next request, and the shortest a
// server may set (the library reuses a connection idle for less than half of it).
inline constexpr int kDefaultKeepAliveMilliseconds = 30000;
inline constexpr int kShortestKeepAliveMilliseconds = 10000;

struct Config {
    Task task = Task::kServe;
    std::string listenAddress = "0.0.0.0";
    int port = 60660;
    std::string directoryUri = "ldap://localhost";
    std::string bindDN;
    std::string passwordFile;
    std::string baseDN;
    std::string journalPath = "/var/lib/zngroups-admind/journal.db";
    // Clients that may send changes; queries are answered for everyone. "any" is 0.0.0.0/0;
    // none given on the command line or in the file: 127.0.0.0/8.
    std::vector<Network> allowChanges;
    // Connections open at once; further ones wait in the listening socket's queue.
    int maxConnections = 1024;
    // Connections of one client address open at once, from the accept to the close.
    int maxConnectionsPerClient = kDefaultConnectionsPerClient;
    // Settings of older versions that are read and no longer used, for the log.
    std::vector<std::string> obsoleteSettings;
    // Bound for a whole request to arrive.
    int requestTimeoutMilliseconds = 5000;
    // Bound for a connection's first bytes.
    int idleTimeoutMilliseconds = 1000;
    int directoryTimeoutMilliseconds = 10000;
    // Values one requester's accepted changes may write a minute, into directory entries
    // and change-log records (0: no bound): ordinary work stays far below it, repeated links
    // of big groups and floods of another group's log stop at it.
    long maxValuesPerMinute = 60000;
    long firstChangeNumber = 1;
    // Status questions about numbers this server never gave go to the peer whose range holds
    // them: applications ask their local server about every change.
    std::vector<Peer> peers;
    // TLS on the listening port (both files, PEM) and, with it, whether changes need the
    // requester's password.
    std::string tlsCertificate;
    std::string tlsKey;
    bool requireProof = false;
    // With TLS: how long a connection whose client offered to send more than one request is
    // kept open, idle, after each answer (0: never).
    int keepAliveMilliseconds = kDefaultKeepAliveMilliseconds;
};

// What the command line asked for.
enum class CommandLine { kRun, kHelp, kVersion, kError };

// Reads `--config FILE` first (when given), then lets every other option override it.
// On kError, `error` says what was wrong.
CommandLine ParseCommandLine(int argc, const char* const* argv, Config& config,
                             std::string& error);

// Reads "key = value" lines ('#' starts a comment) into `config`; the keys are the long
// option names without their dashes.
bool ReadConfigFile(const std::string& path, Config& config, std::string& error);

// The first line of the password file, without its line end.
bool ReadPasswordFile(const std::string& path, std::string& password, std::string& error);

extern const char* const kUsageText;

}  // namespace zn::server
