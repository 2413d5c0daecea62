// The crash soak of the administration server, long: by default sixteen clients, 25 kills
// of the server and two restarts of its directory, bounded to ten minutes. Prints the
// figures and every mismatch; exits 1 when there was one.
//   admind_soak [--clients N] [--kills N] [--provider-restarts N] [--seconds N] [--seed N]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "tests/support/admind_soak.h"
#include "tests/support/sandbox.h"

int main(int argc, char** argv) {
    zntest::SoakOptions options;
    options.kills = 25;
    for (int i = 1; i + 1 < argc; i += 2) {
        const long value = std::atol(argv[i + 1]);
        if (std::strcmp(argv[i], "--clients") == 0) options.clients = static_cast<int>(value);
        else if (std::strcmp(argv[i], "--kills") == 0) options.kills = static_cast<int>(value);
        else if (std::strcmp(argv[i], "--provider-restarts") == 0) options.providerRestarts = static_cast<int>(value);
        else if (std::strcmp(argv[i], "--seconds") == 0) options.seconds = static_cast<int>(value);
        else if (std::strcmp(argv[i], "--seed") == 0) options.seed = static_cast<std::uint32_t>(value);
        else {
            std::fprintf(stderr, "admind_soak: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    try {
        const zntest::SoakReport report = zntest::RunSoak(options);
        std::printf("admind_soak (%d clients, seed %u): %s\n", options.clients, options.seed,
                    zntest::Summary(report).c_str());
        for (const std::string& line : report.mismatches) std::printf("mismatch: %s\n", line.c_str());
        return report.mismatches.empty() ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "admind_soak: %s\n", e.what());
        return 1;
    }
}
