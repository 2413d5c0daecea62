// Shared by the benchmarks: interleaved repetitions and the medians their figures are taken from.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace znbench {

// Prints the usual table and keeps each benchmark's median run.
class MedianReporter : public benchmark::ConsoleReporter {
  public:
    MedianReporter() : ConsoleReporter(isatty(STDOUT_FILENO) != 0 ? OO_ColorTabular : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.aggregate_name == "median") {
                m_medians[run.run_name.function_name] = run;
                m_medians[run.run_name.function_name + "#" + std::to_string(run.threads)] = run;
            }
        }
    }
    // The median of a benchmark run on `threads` threads.
    const Run* Median(const std::string& name, int threads) const {
        return Median(name + "#" + std::to_string(threads));
    }
    const Run* Median(const std::string& name) const {
        auto found = m_medians.find(name);
        return found != m_medians.end() ? &found->second : nullptr;
    }
    // Prints "library / baseline (median real time): ratio" when both ran.
    void PrintRatio(const std::string& library, const std::string& baseline) const {
        const Run* measured = Median(library);
        const Run* bare = Median(baseline);
        if (measured != nullptr && bare != nullptr && bare->GetAdjustedRealTime() > 0) {
            std::printf("%s / %s (median real time): %.3f\n", library.c_str(), baseline.c_str(),
                        measured->GetAdjustedRealTime() / bare->GetAdjustedRealTime());
        }
    }

  private:
    std::map<std::string, Run> m_medians;
};

// Runs every benchmark with repetitions interleaved at random, so that drift in the server or
// the machine falls on both sides of a ratio alike.
inline void RunInterleaved(int argc, char** argv, MedianReporter& reporter) {
    std::vector<char*> arguments(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    arguments.push_back(interleave.data());
    argc = static_cast<int>(arguments.size());
    benchmark::Initialize(&argc, arguments.data());
    benchmark::RunSpecifiedBenchmarks(&reporter);
}

}  // namespace znbench
