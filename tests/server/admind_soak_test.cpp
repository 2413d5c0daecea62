// The crash soak, short: sixteen clients, a few kills of the server and two restarts of its
// directory, then every acknowledged change checked against the journal, the status answers
// and the directory. The long run is `admind_soak` in the bench tree.
#include <gtest/gtest.h>

#include "tests/support/admind_soak.h"

namespace zntest {
namespace {

void Soak(bool proof) {
    SoakOptions options;
    options.proof = proof;
    options.kills = 4;
    options.providerRestarts = 2;
    options.seconds = 40;
    options.minMillisecondsBetweenKills = 800;
    options.maxMillisecondsBetweenKills = 2000;
    const SoakReport report = RunSoak(options);
    std::string lines;
    for (const std::string& line : report.mismatches) lines += "\n  " + line;
    EXPECT_TRUE(report.mismatches.empty()) << Summary(report) << lines;
    // A run that acknowledged nothing, or never killed, proved nothing.
    EXPECT_EQ(report.kills, options.kills);
    EXPECT_EQ(report.providerRestarts, options.providerRestarts);
    EXPECT_GT(report.acknowledged, 100) << Summary(report);
    EXPECT_GT(report.unanswered, 0) << Summary(report);
    std::printf("soak%s: %s\n", proof ? " with proof" : "", Summary(report).c_str());
}

TEST(AdminServerSoak, NoAcknowledgedChangeIsLostOrDoubledAcrossKillsAndDirectoryRestarts) {
    Soak(false);
}

// The same over TLS, every change proven by a bind: the proof's own connections to the
// provider break and recover with the restarts.
TEST(AdminServerSoak, ProvenChangesSurviveKillsAndDirectoryRestarts) { Soak(true); }

}  // namespace
}  // namespace zntest
