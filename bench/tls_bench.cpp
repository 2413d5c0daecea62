// Cost of a query over directory TLS next to a bare libldap loop doing the same work: connect,
// StartTLS (or LDAPS), anonymous bind, the same search, unbind, a new connection each time as
// the library makes one per query. Plain queries beside each other for reference.
#include "bench/bench_ldap.h"  // first: it asks ldap.h for the calls the baselines make

#include <benchmark/benchmark.h>
#include <ldap.h>

#include <cstdio>
#include <cstdlib>
#include <list>
#include <string>

#include "bench/median_report.h"
#include "session/directory_base.h"
#include "session/tls_settings.h"

namespace {

constexpr const char* kFilter = "(&(objectclass=groupOfNames)(cn=Domains))";
const char* const kAttributes[] = {"member", nullptr};

enum class Wire { kPlain, kStartTls, kLdaps };

const char* CaFile() {
    const char* ca = std::getenv("ZNG_TLS_CA");
    return ca != nullptr ? ca : "";
}

// What an application written straight against libldap does: the CA set once for the
// process, then per query a connection, TLS, an anonymous bind awaited within the connect
// time-out, the search and its values copied, unbind.
void BareQuery(benchmark::State& state, Wire wire) {
    timeval connectWait{5, 0};
    timeval searchWait{120, 0};
    int demand = LDAP_OPT_X_TLS_DEMAND;
    ldap_set_option(nullptr, LDAP_OPT_X_TLS_CACERTFILE, CaFile());
    ldap_set_option(nullptr, LDAP_OPT_X_TLS_REQUIRE_CERT, &demand);
    const char* uri = wire == Wire::kLdaps ? "ldaps://ldap5:636" : "ldap://ldap5:389";
    for (auto _ : state) {
        LDAP* ld = nullptr;
        ldap_initialize(&ld, uri);
        int version = LDAP_VERSION3;
        ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
        ldap_set_option(ld, LDAP_OPT_NETWORK_TIMEOUT, &connectWait);
        if (wire == Wire::kStartTls && ldap_start_tls_s(ld, nullptr, nullptr) != LDAP_SUCCESS) {
            state.SkipWithError("StartTLS failed");
            ldap_unbind_ext(ld, nullptr, nullptr);
            break;
        }
        if (znbench::BindAnonymously(ld, connectWait) != LDAP_SUCCESS) {
            state.SkipWithError("bind failed");
            ldap_unbind_ext(ld, nullptr, nullptr);
            break;
        }
        std::list<std::string> values;
        if (!znbench::SearchAndCopy(ld, zn::OrganizationBaseDN(), kFilter, kAttributes, searchWait,
                                    values)) {
            state.SkipWithError("search failed");
        }
        benchmark::DoNotOptimize(values);
        ldap_unbind_ext(ld, nullptr, nullptr);
    }
}

void LibraryQuery(benchmark::State& state, Wire wire) {
    std::string error;
    const char* mode = wire == Wire::kPlain ? "off" : wire == Wire::kLdaps ? "ldaps" : "starttls";
    zn::SetTlsOverride("tls", mode, error);
    zn::SetTlsOverride("tls-ca", CaFile(), error);
    zn::CZNDirectoryBase base;
    std::list<std::string> values;
    for (auto _ : state) {
        base.CollectValues(kFilter, kAttributes, values);
        if (values.empty()) {
            state.SkipWithError(base.GetErrorStatusText().c_str());
            break;
        }
        benchmark::DoNotOptimize(values);
    }
    zn::ClearTlsOverrides();
}

void Register(const char* name, void (*run)(benchmark::State&, Wire), Wire wire) {
    benchmark::RegisterBenchmark(name, run, wire)->Repetitions(10)->ReportAggregatesOnly(true);
}

}  // namespace

int main(int argc, char** argv) {
    if (*CaFile() == '\0') {
        std::fprintf(stderr, "tls_bench: ZNG_TLS_CA is not set: run inside directory/sandbox\n");
        return 1;
    }
    Register("bare libldap StartTLS query", BareQuery, Wire::kStartTls);
    Register("library StartTLS query", LibraryQuery, Wire::kStartTls);
    Register("bare libldap LDAPS query", BareQuery, Wire::kLdaps);
    Register("library LDAPS query", LibraryQuery, Wire::kLdaps);
    Register("bare libldap plain query", BareQuery, Wire::kPlain);
    Register("library plain query", LibraryQuery, Wire::kPlain);
    znbench::MedianReporter reporter;
    znbench::RunInterleaved(argc, argv, reporter);
    std::printf("\n");
    reporter.PrintRatio("library StartTLS query", "bare libldap StartTLS query");
    reporter.PrintRatio("library LDAPS query", "bare libldap LDAPS query");
    reporter.PrintRatio("library plain query", "bare libldap plain query");
    benchmark::Shutdown();
    return 0;
}
