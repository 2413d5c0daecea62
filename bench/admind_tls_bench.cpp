// The cost of the administration channel's TLS and of proof of the requester: one change's
// round trip to a plain server beside the same change to a TLS server, to one that also
// checks the requester's password with a bind, and to one that keeps no connection for the
// next change (what a program that sends a single change pays, its handshake resumed).
// Four servers of the local domain, on the same directory, each changing a group of its own.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "admin/admin_channel.h"
#include "admin/change_request.h"
#include "bench/median_report.h"
#include "tests/support/admin_daemon.h"
#include "tests/support/sandbox.h"

namespace {

using zn::ChangeRequest;

constexpr const char* kAdmin = "ASMITH";
constexpr const char* kAdminPassword = "Tr0ubadour";

// The plain server on the library's port; the others beside it on the same address, whose
// certificate names it.
struct Server {
    const char* group;
    std::uint32_t port;
    bool tls;
    bool proof;
    bool keep = true;
};
const Server kPlain{"ZB_PLAIN", 60660, false, false};
const Server kTls{"ZB_TLS", 60670, true, false};
const Server kProof{"ZB_PROVEN", 60671, true, true};
const Server kProofUnkept{"ZB_UNKEPT", 60672, true, true, false};

long Send(const Server& server, ChangeRequest kind, const std::string& group,
          const std::string& target, std::string& text) {
    zn::RequestFields f;
    f.userName = kAdmin;
    f.groupName = group;
    f.targetName = target;
    f.organizationalUnit = "zngroups";
    std::string request;
    zn::FormatChangeRequest(kind, f, request);
    zn::CZNAdminChannel channel(nullptr, server.port);
    if (server.proof) channel.SetRequesterPassword(kAdminPassword);
    const long result = channel.Transact(request.c_str());
    text = channel.GetErrorText();
    return result;
}

struct Servers {
    std::unique_ptr<zntest::AdminDaemon> plain, tls, proof, unkept;
    std::string error;
};

std::unique_ptr<zntest::AdminDaemon> StartServer(const Server& server) {
    zntest::AdminDaemonOptions options;
    options.port = static_cast<int>(server.port);
    if (server.tls) options.extraArguments = zntest::TlsArguments(server.proof);
    if (!server.keep) {
        options.extraArguments.push_back("--keep-alive-ms");
        options.extraArguments.push_back("0");
    }
    return std::make_unique<zntest::AdminDaemon>(options);
}

Servers& Started() {
    static Servers servers = [] {
        Servers s;
        try {
            s.plain = StartServer(kPlain);
            s.tls = StartServer(kTls);
            s.proof = StartServer(kProof);
            s.unkept = StartServer(kProofUnkept);
        } catch (const std::exception& e) {
            s.error = e.what();
            return s;
        }
        std::string text;
        for (const Server* server : {&kPlain, &kTls, &kProof, &kProofUnkept}) {
            std::unique_ptr<zntest::ScopedAdminTls> tls;
            if (server->tls) tls = std::make_unique<zntest::ScopedAdminTls>();
            if (Send(*server, ChangeRequest::kCreateGroup, "", server->group, text) != 1) {
                s.error = std::string("creating ") + server->group + ": " + text;
                return s;
            }
        }
        return s;
    }();
    return servers;
}

// Adds and removes one member, alternately: every request passes its checks and writes.
void Changes(benchmark::State& state, const Server& server) {
    if (!Started().error.empty()) {
        state.SkipWithError(Started().error.c_str());
        return;
    }
    std::unique_ptr<zntest::ScopedAdminTls> tls;
    if (server.tls) tls = std::make_unique<zntest::ScopedAdminTls>();
    bool add = true;
    std::string text;
    for (auto _ : state) {
        if (Send(server, add ? ChangeRequest::kAddMember : ChangeRequest::kDeleteMember,
                 server.group, "BWHITE", text) != 1) {
            state.SkipWithError(text.c_str());
            break;
        }
        add = !add;
    }
    if (!add) Send(server, ChangeRequest::kDeleteMember, server.group, "BWHITE", text);
}

void PlainChange(benchmark::State& state) {
    Changes(state, kPlain);
}
void TlsChange(benchmark::State& state) {
    Changes(state, kTls);
}
void ProvenChange(benchmark::State& state) {
    Changes(state, kProof);
}
void ProvenChangeUnkept(benchmark::State& state) {
    Changes(state, kProofUnkept);
}

BENCHMARK(PlainChange)
    ->Name("change, plain")
    ->UseRealTime()
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
BENCHMARK(TlsChange)
    ->Name("change, TLS")
    ->UseRealTime()
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
BENCHMARK(ProvenChange)
    ->Name("change, TLS and proof")
    ->UseRealTime()
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
BENCHMARK(ProvenChangeUnkept)
    ->Name("change, TLS and proof, a connection each")
    ->UseRealTime()
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    zntest::RequireSandbox();
    if (!Started().error.empty()) {
        std::fprintf(stderr, "admind_tls_bench: %s\n", Started().error.c_str());
        return 1;
    }
    znbench::MedianReporter reporter;
    znbench::RunInterleaved(argc, argv, reporter);
    reporter.PrintRatio("change, TLS", "change, plain");
    reporter.PrintRatio("change, TLS and proof", "change, plain");
    reporter.PrintRatio("change, TLS and proof, a connection each", "change, plain");
    return 0;
}
