// The sandbox functions that are built on the others alone, shared by the POSIX controls and
// the ones that drive them from Wine.
#include <cstdio>
#include <fstream>

#include "tests/support/sandbox.h"

namespace zntest {

std::string SamplePassword(const std::string& uid) {
    std::string path = SandboxDir() + "/sample.ldif";
    std::ifstream in(path);
    if (!in) throw SandboxError("cannot read " + path);
    const std::string dn = "dn: uid=" + uid + ",";
    const std::string attribute = "userPassword: ";
    bool in_entry = false;
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) {
            in_entry = false;
        } else if (line.compare(0, dn.size(), dn) == 0) {
            in_entry = true;
        } else if (in_entry && line.compare(0, attribute.size(), attribute) == 0) {
            return line.substr(attribute.size());
        }
    }
    throw SandboxError("the sample directory has no password for uid=" + uid);
}

std::string LongPassword() {
    return SamplePassword("longpw");
}

ScopedFault::ScopedFault(Fault fault, const std::string& host, const std::string& relay_host)
    : ScopedFault(fault, std::vector<std::string>{host}, relay_host) {}

ScopedFault::ScopedFault(Fault fault, std::initializer_list<std::string> hosts,
                         const std::string& relay_host)
    : ScopedFault(fault, std::vector<std::string>(hosts), relay_host) {}

ScopedFault::ScopedFault(Fault fault, std::vector<std::string> hosts,
                         const std::string& relay_host) {
    if (fault == Fault::kStallAfterBind && relay_host.empty()) {
        throw SandboxError("Fault::kStallAfterBind needs a relay host");
    }
    // Hosts are recorded as they fail, so that a throw half-way still
    // restores the ones already faulty (the destructor does not run then).
    try {
        for (const std::string& host : hosts) {
            hosts_.push_back(host);
            switch (fault) {
                case Fault::kRefuse:
                    StopServer(host);
                    break;
                case Fault::kSilent:
                    SilenceServer(host);
                    break;
                case Fault::kUnresponsive:
                    MakeUnresponsive(host);
                    break;
                case Fault::kStallAfterBind:
                    StallAfterBind(host, relay_host);
                    break;
            }
        }
    } catch (...) {
        try {
            Restore();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "zntest: could not restore after a failed fault: %s\n", e.what());
        }
        throw;
    }
}

ScopedFault::~ScopedFault() {
    try {
        Restore();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zntest: could not restore %s\n", e.what());
    }
}

void ScopedFault::Restore() {
    std::vector<std::string> hosts;
    hosts.swap(hosts_);
    std::string failures;
    for (const std::string& host : hosts) {
        try {
            RestoreServer(host);
        } catch (const SandboxError& e) {
            failures += std::string(failures.empty() ? "" : "; ") + e.what();
        }
    }
    if (!failures.empty()) throw SandboxError(failures);
}

}  // namespace zntest
