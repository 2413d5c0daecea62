// A crash soak of zngroups-admind: clients change members and subgroup links of a hierarchy
// with a diamond while the server is killed with SIGKILL and restarted and the domain's
// provider is restarted; afterwards the journal, the status answers and the directory are
// held against each other.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zntest {

struct SoakOptions {
    int clients = 16;
    // The run ends after this many kills of the server, or at `seconds`, whichever comes first.
    int kills = 20;
    int providerRestarts = 2;
    int seconds = 600;
    // Pause between kills, drawn evenly from this range.
    int minMillisecondsBetweenKills = 300;
    int maxMillisecondsBetweenKills = 1500;
    std::uint32_t seed = 1;
    // The server speaks TLS and takes changes only with the requester's password, which
    // every client sends.
    bool proof = false;
};

struct SoakReport {
    long sent = 0;          // requests sent
    long acknowledged = 0;  // answered "Change N applied."
    long refused = 0;       // answered with a refusal
    long unanswered = 0;    // no answer: the server was down or died during the exchange
    long journalled = 0;    // changes in the journal afterwards
    long applied = 0;       // of those, applied
    int kills = 0;
    int providerRestarts = 0;
    double seconds = 0;
    // Every disagreement found, one line each; must stay empty.
    std::vector<std::string> mismatches;
};

// Runs inside the sandbox against the local domain's provider, starting its own server.
// Throws SandboxError when the sandbox or the server cannot be set up. Leaves the sample
// directory restored.
SoakReport RunSoak(const SoakOptions& options);

// "sent 1234, acknowledged 567, ..." on one line.
std::string Summary(const SoakReport& report);

}  // namespace zntest
