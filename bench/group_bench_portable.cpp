// The big group's members through the portable layer beside the same list through the C
// interface it is written over: what an application built with another compiler pays for
// the C++ shape. This file sees the portable classes only (their own namespace), the rest of
// group_bench the exported ones.
#include "bench/bench_ldap.h"  // first: it asks ldap.h for the calls the baselines make

#include <string>

#include "bench/group_bench.h"
#include "portable/CZNGroup.h"

namespace groupbench {
namespace {

struct Side {
    double seconds = 0;
    double peakBytes = 0;
    long count = 0;
    std::string last;
};

Side ThroughC() {
    Side side;
    znbench::PeakGrowth growth;
    const znbench::Clock::time_point start = znbench::Clock::now();
    zng_group* group = zng_group_new_named(kBigGroup);
    const zng_worker_list* members = zng_group_get_eventual_members(group);
    const std::size_t count = zng_worker_list_count(members);
    for (std::size_t i = 0; i < count; ++i) side.last = zng_worker_list_name(members, i);
    side.count = static_cast<long>(count);
    side.peakBytes = growth.Bytes();
    zng_group_free(group);
    side.seconds = znbench::SecondsSince(start);
    return side;
}

Side ThroughPortableLayer() {
    Side side;
    znbench::PeakGrowth growth;
    const znbench::Clock::time_point start = znbench::Clock::now();
    {
        const CZNGroup group(kBigGroup);
        const std::list<CZNWorker>& members = group.GetEventualMembers();
        for (const CZNWorker& member : members) side.last = member.GetName();
        side.count = static_cast<long>(members.size());
        side.peakBytes = growth.Bytes();
    }
    side.seconds = znbench::SecondsSince(start);
    return side;
}

void PortableBesideC(benchmark::State& state) {
    double portable = 0, c = 0, portablePeak = 0, cPeak = 0;
    long n = 0;
    for (auto _ : state) {
        const Side a = n % 2 == 0 ? ThroughPortableLayer() : ThroughC();
        const Side b = n % 2 == 0 ? ThroughC() : ThroughPortableLayer();
        const Side& mine = n % 2 == 0 ? a : b;
        const Side& theirs = n % 2 == 0 ? b : a;
        if (mine.count != Members() || theirs.count != Members() || mine.last != theirs.last) {
            Fail(state, "the two lists differ: " + std::to_string(mine.count) + " and " +
                            std::to_string(theirs.count) + " members");
            return;
        }
        state.SetIterationTime(mine.seconds);
        portable += mine.seconds;
        c += theirs.seconds;
        portablePeak = std::max(portablePeak, mine.peakBytes);
        cPeak = std::max(cPeak, theirs.peakBytes);
        ++n;
    }
    state.counters["c_ms"] = c / static_cast<double>(n) * 1e3;
    state.counters["ratio"] = portable / c;
    state.counters["peak_MB"] = portablePeak / 1e6;
    state.counters["c_peak_MB"] = cPeak / 1e6;
    state.counters["peak_ratio"] = cPeak > 0 ? portablePeak / cPeak : 0;
}

const int g_registered = [] {
    benchmark::RegisterBenchmark(
        "GetEventualMembers of the big group through the portable layer beside the C interface",
        PortableBesideC)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(4)
        ->Repetitions(3);
    return 0;
}();

}  // namespace
}  // namespace groupbench
