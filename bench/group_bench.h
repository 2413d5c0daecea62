// What the two halves of group_bench share: the generated groups, the search count and the
// way a failed check ends a run.
#pragma once

#include <benchmark/benchmark.h>

#include <string>

namespace groupbench {

inline constexpr const char* kBigGroup = "BIG-GROUP";
inline constexpr const char* kOneGroup = "ONE-GROUP";
// The person every bench group lists, in BIG-GROUP, ONE-GROUP and kWorkerGroups more.
inline constexpr const char* kWorker = "m000000";
inline constexpr int kWorkerGroups = 2000;
// The server the library tries first, the one the bare baselines read, and the local domain's
// replication provider: the only one that takes writes.
inline constexpr const char* kFirstServer = "ldap5";

// Members of BIG-GROUP: 100,000 unless --members says otherwise.
int Members();
std::string BaseDN();
std::string GroupDN(const std::string& name);
std::string MemberDN(int number);
std::string MemberName(int number);
// Searches handed to libldap by this process so far.
long SearchesSoFar();
// Ends the benchmark, and at the end the run with status 1, so that a scripted run stops
// instead of printing figures of the wrong work.
void Fail(benchmark::State& state, const std::string& problem);

// This program run again as a fresh process in `mode` (see RunChild): its one line of output.
std::string RunSelf(const std::string& mode, bool& ok);
// The child side: runs `mode` once and prints "seconds peak_bytes count"; the exit status.
int RunChild(const std::string& mode);

}  // namespace groupbench
