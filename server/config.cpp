// The administration server's settings: a small configuration file and command-line options.
#include "server/config.h"

#include <arpa/inet.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace zn::server {

const char* const kUsageText =
    "Usage: zngroups-admind [OPTION]...\n"
    "Applies zngroups change requests to the directory of one domain.\n"
    "\n"
    "  --config FILE              read settings from FILE first (key = value lines; the keys\n"
    "                             are the option names below without their dashes)\n"
    "  --listen ADDRESS           IPv4 address to listen on (default 0.0.0.0)\n"
    "  --port N                   TCP port (default 60660)\n"
    "  --uri URI                  the domain's directory, its provider (default ldap://localhost)\n"
    "  --bind-dn DN               identity that writes the groups\n"
    "  --password-file FILE       file whose first line is that identity's password\n"
    "  --base-dn DN               base of the company's entries, e.g. o=example.com\n"
    "  --journal FILE             SQLite change journal\n"
    "                             (default /var/lib/zngroups-admind/journal.db)\n"
    "  --allow NETWORK            client network that may send changes, e.g. 10.1.0.0/16,\n"
    "                             or 'any'; repeatable; none given: loopback only\n"
    "  --max-connections N        connections open at once (default 1024)\n"
    "  --max-connections-per-client N\n"
    "                             connections of one client address open at once\n"
    "                             (default 64; 0: the default); more are refused at once\n"
    "  --request-timeout-ms N     bound for a whole request to arrive (default 5000)\n"
    "  --idle-timeout-ms N        bound for a connection's first bytes (default 1000)\n"
    "  --directory-timeout-ms N   bound of each directory operation (default 10000)\n"
    "  --max-values-per-minute N  values one requester's accepted changes may write a\n"
    "                             minute into entries and change logs (default 60000;\n"
    "                             0: no bound); more are refused until it refills\n"
    "  --first-change-number N    number of the first change a new journal hands out\n"
    "                             (default 1)\n"
    "  --peer FIRST=HOST:PORT     another domain's server, whose change numbers start at\n"
    "                             FIRST; status questions about them are passed on to it\n"
    "                             (repeatable)\n"
    "  --tls-cert FILE            speak TLS only, with this certificate chain (PEM)\n"
    "  --tls-key FILE             the certificate's private key (PEM)\n"
    "  --require-proof            take a change only with its requester's password, sent\n"
    "                             inside the TLS session and checked by a bind (needs TLS;\n"
    "                             in the file: require-proof = yes)\n"
    "  --keep-alive-ms N          with TLS, how long a client connection that asked for it\n"
    "                             is kept open for its next request after an answer\n"
    "                             (default 30000; 0: close after each answer; otherwise at\n"
    "                             least 10000)\n"
    "  --check                    report every half written link (subGroup without its\n"
    "                             superGroup or the other way round) and every group whose\n"
    "                             eventual members differ from its direct members and its\n"
    "                             subgroups' members, and exit (status 3 when there is one);\n"
    "                             changes nothing\n"
    "  --repair                   take half links away and write those groups' eventual\n"
    "                             members, each as a journalled change, taking turns with a\n"
    "                             server serving the same journal, and exit\n"
    "  --help                     show this text and exit\n"
    "  --version                  show the version and exit\n";

namespace {

bool ParseInteger(const std::string& text, long low, long high, long& value) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && value >= low && value <= high;
}

std::string Trimmed(const std::string& text) {
    const char* blanks = " \t\r\n";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Applies one setting; `key` is an option name without its dashes.
bool Apply(const std::string& key, const std::string& value, Config& config, std::string& error) {
    long number = 0;
    auto integer = [&](long low, long high, auto& target) {
        if (!ParseInteger(value, low, high, number)) {
            error = "'" + value + "' is not a number from " + std::to_string(low) +
                    " to " + std::to_string(high);
            return false;
        }
        target = static_cast<std::remove_reference_t<decltype(target)>>(number);
        return true;
    };
    if (key == "listen") {
        in_addr probe{};
        if (inet_pton(AF_INET, value.c_str(), &probe) != 1) {
            error = "'" + value + "' is not an IPv4 address";
            return false;
        }
        config.listenAddress = value;
        return true;
    }
    if (key == "port") return integer(1, 65535, config.port);
    if (key == "uri") { config.directoryUri = value; return true; }
    if (key == "bind-dn") { config.bindDN = value; return true; }
    if (key == "password-file") { config.passwordFile = value; return true; }
    if (key == "base-dn") { config.baseDN = value; return true; }
    if (key == "journal") { config.journalPath = value; return true; }
    if (key == "allow") {
        Network network;
        if (value == "any") {
            config.allowChanges.push_back(Network{0, 0});
            return true;
        }
        if (!ParseNetwork(value, network)) {
            error = "'" + value + "' is not an IPv4 address or network";
            return false;
        }
        config.allowChanges.push_back(network);
        return true;
    }
    if (key == "max-connections") return integer(1, 65536, config.maxConnections);
    if (key == "max-connections-per-client") {
        if (!integer(0, 4096, config.maxConnectionsPerClient)) return false;
        if (config.maxConnectionsPerClient == 0) {
            config.maxConnectionsPerClient = kDefaultConnectionsPerClient;
        }
        return true;
    }
    // A request's end is now told by its layout and its segments, not by a pause; files
    // written for older versions still start.
    if (key == "quiet-ms" || key == "long-quiet-ms") {
        int ignored = 0;
        if (!integer(0, 10000, ignored)) return false;
        config.obsoleteSettings.push_back(key);
        return true;
    }
    if (key == "request-timeout-ms") return integer(1, 600000, config.requestTimeoutMilliseconds);
    if (key == "idle-timeout-ms") return integer(1, 600000, config.idleTimeoutMilliseconds);
    if (key == "directory-timeout-ms") {
        return integer(1, 600000, config.directoryTimeoutMilliseconds);
    }
    if (key == "max-values-per-minute") return integer(0, 1000000000, config.maxValuesPerMinute);
    // Change numbers travel as the client's long, which is 32 bits on Windows.
    if (key == "first-change-number") return integer(1, INT_MAX, config.firstChangeNumber);
    if (key == "peer") {
        Peer peer;
        if (!ParsePeer(value, peer)) {
            error = "'" + value + "' is not FIRST=HOST:PORT";
            return false;
        }
        config.peers.push_back(peer);
        return true;
    }
    if (key == "tls-cert") {
        config.tlsCertificate = value;
        return true;
    }
    if (key == "tls-key") {
        config.tlsKey = value;
        return true;
    }
    if (key == "keep-alive-ms") {
        if (!integer(0, 3600000, config.keepAliveMilliseconds)) return false;
        // Clients reuse a kept connection only while it is younger than this floor's half,
        // so that a server never closes one under a request.
        if (config.keepAliveMilliseconds != 0 &&
            config.keepAliveMilliseconds < kShortestKeepAliveMilliseconds) {
            error = "'" + value + "' is neither 0 nor at least " +
                    std::to_string(kShortestKeepAliveMilliseconds);
            return false;
        }
        return true;
    }
    if (key == "require-proof") {
        if (value == "yes" || value == "on" || value == "true" || value == "1") {
            config.requireProof = true;
        } else if (value == "no" || value == "off" || value == "false" || value == "0") {
            config.requireProof = false;
        } else {
            error = "'" + value + "' is not yes or no";
            return false;
        }
        return true;
    }
    error = "unknown setting";
    return false;
}

}  // namespace

bool Network::Contains(std::uint32_t hostOrderAddress) const {
    if (prefixLength == 0) {
        return true;
    }
    std::uint32_t mask = prefixLength >= 32 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> prefixLength);
    return (hostOrderAddress & mask) == (address & mask);
}

std::string Network::Text() const {
    in_addr raw{};
    raw.s_addr = htonl(address);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &raw, text, sizeof text);
    return prefixLength == 32 ? std::string(text)
                              : std::string(text) + "/" + std::to_string(prefixLength);
}

bool ParseNetwork(const std::string& text, Network& network) {
    std::string address = text;
    network.prefixLength = 32;
    std::size_t slash = text.find('/');
    if (slash != std::string::npos) {
        long prefix = 0;
        if (!ParseInteger(text.substr(slash + 1), 0, 32, prefix)) {
            return false;
        }
        network.prefixLength = static_cast<int>(prefix);
        address = text.substr(0, slash);
    }
    in_addr parsed{};
    if (inet_pton(AF_INET, address.c_str(), &parsed) != 1) {
        return false;
    }
    network.address = ntohl(parsed.s_addr);
    return true;
}

bool ParsePeer(const std::string& text, Peer& peer) {
    std::size_t equals = text.find('=');
    std::size_t colon = text.rfind(':');
    long port = 0;
    if (equals == std::string::npos || colon == std::string::npos || colon < equals + 2 ||
        !ParseInteger(text.substr(0, equals), 1, INT_MAX, peer.first) ||
        !ParseInteger(text.substr(colon + 1), 1, 65535, port)) {
        return false;
    }
    peer.host = text.substr(equals + 1, colon - equals - 1);
    peer.port = static_cast<int>(port);
    return true;
}

bool ReadConfigFile(const std::string& path, Config& config, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        std::size_t hash = line.find('#');
        if (hash != std::string::npos) {
            line.erase(hash);
        }
        line = Trimmed(line);
        if (line.empty()) {
            continue;
        }
        std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            error = path + ":" + std::to_string(number) + ": expected key = value";
            return false;
        }
        std::string key = Trimmed(line.substr(0, equals));
        if (!Apply(key, Trimmed(line.substr(equals + 1)), config, error)) {
            error = path + ":" + std::to_string(number) + ": " + key + ": " + error;
            return false;
        }
    }
    return true;
}

bool ReadPasswordFile(const std::string& path, std::string& password, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "cannot read the password file " + path + ": " + std::strerror(errno);
        return false;
    }
    std::getline(file, password);
    if (!password.empty() && password.back() == '\r') {
        password.pop_back();
    }
    return true;
}

CommandLine ParseCommandLine(int argc, const char* const* argv, Config& config,
                             std::string& error) {
    // The file comes first wherever --config stands, so options always win over it.
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help") return CommandLine::kHelp;
        if (arg == "--version") return CommandLine::kVersion;
        std::string path;
        if (arg == "--config" && i + 1 < argc) {
            path = argv[++i];
        } else if (arg.rfind("--config=", 0) == 0) {
            path = arg.substr(9);
        } else {
            continue;
        }
        if (!ReadConfigFile(path, config, error)) {
            return CommandLine::kError;
        }
    }
    bool allowFromCommandLine = false;
    bool peersFromCommandLine = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0) {
            error = "unexpected argument '" + arg + "'";
            return CommandLine::kError;
        }
        // A flag on the command line; "require-proof = yes" in the file.
        if (arg == "--require-proof") {
            config.requireProof = true;
            continue;
        }
        if (arg == "--check" || arg == "--repair") {
            config.task = arg == "--check" ? Task::kCheck : Task::kRepair;
            continue;
        }
        std::string key = arg.substr(2);
        std::string value;
        std::size_t equals = key.find('=');
        if (equals != std::string::npos) {
            value = key.substr(equals + 1);
            key.erase(equals);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            error = "option --" + key + " needs a value";
            return CommandLine::kError;
        }
        if (key == "config") {
            continue;
        }
        // Lists given on the command line replace those of the file.
        if (key == "allow" && !allowFromCommandLine) {
            config.allowChanges.clear();
            allowFromCommandLine = true;
        }
        if (key == "peer" && !peersFromCommandLine) {
            config.peers.clear();
            peersFromCommandLine = true;
        }
        if (!Apply(key, value, config, error)) {
            error = "--" + key + ": " + error;
            return CommandLine::kError;
        }
    }
    if (config.tlsCertificate.empty() != config.tlsKey.empty()) {
        error = "TLS needs both --tls-cert and --tls-key";
        return CommandLine::kError;
    }
    // The password must never cross in clear.
    if (config.requireProof && config.tlsCertificate.empty()) {
        error = "--require-proof needs TLS: give --tls-cert and --tls-key";
        return CommandLine::kError;
    }
    // The token proves nothing, so a server nobody restricted must not take changes from
    // the network: opening it is a decision written down as an allow setting.
    if (config.allowChanges.empty()) {
        config.allowChanges.push_back(Network{0x7F000000u, 8});
    }
    return CommandLine::kRun;
}

}  // namespace zn::server
