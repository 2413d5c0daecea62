// User tokens per second, and one Transact round trip next to a bare TCP exchange of the same
// bytes.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "admin/admin_channel.h"
#include "admin/user_token.h"
#include "bench/median_report.h"

namespace {

constexpr char kRequest[] = "00002,GET,CHANGE,17";
constexpr char kReply[] = "1,0,Change request 17 applied.";

// Address of the local administration server at the administration port; false when the
// name does not resolve (outside the sandbox).
bool LookUp(sockaddr_in& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo("ldapadm", nullptr, &hints, &found) != 0) return false;
    address = *reinterpret_cast<sockaddr_in*>(found->ai_addr);
    freeaddrinfo(found);
    address.sin_port = htons(static_cast<std::uint16_t>(zn::kDefaultAdminPort));
    return true;
}

// The reference server of the round trips: answers every request with kReply and closes.
class LocalServer {
  public:
    LocalServer() {
        if (!LookUp(m_address)) return;
        m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (bind(m_listener, reinterpret_cast<sockaddr*>(&m_address), sizeof m_address) != 0 ||
            listen(m_listener, 128) != 0) {
            close(m_listener);
            m_listener = -1;
            return;
        }
        m_thread = std::thread([this] { Serve(); });
    }
    ~LocalServer() {
        if (m_listener < 0) return;
        m_stopping = true;
        shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        close(m_listener);
    }
    bool Ready() const { return m_listener >= 0; }
    const sockaddr_in& Address() const { return m_address; }

  private:
    void Serve() {
        char buffer[2048];
        while (!m_stopping) {
            int connection = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) continue;
            if (recv(connection, buffer, sizeof buffer, 0) > 0) {
                send(connection, kReply, sizeof kReply - 1, MSG_NOSIGNAL);
            }
            close(connection);
        }
    }

    sockaddr_in m_address{};
    int m_listener = -1;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

// Started on first use and kept for the whole run.
bool ServerReady(benchmark::State& state) {
    static LocalServer server;
    if (!server.Ready()) {
        state.SkipWithError("cannot listen on ldapadm:60660 (run inside directory/sandbox)");
    }
    return server.Ready();
}

void MakeToken(benchmark::State& state) {
    const std::string names[] = {"ADMIN", "JDOE", "A", "ABCDEFGHIJKLMNOP"};
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zn::MakeUserToken(names[next++ & 3]));
    }
    state.SetItemsProcessed(state.iterations());
}

// The exchange with nothing around it: connect, one send, one read, close.
bool BareExchange(const sockaddr_in& address) {
    char buffer[1024];
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    bool done = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                send(fd, kRequest, sizeof kRequest - 1, MSG_NOSIGNAL) > 0 &&
                recv(fd, buffer, sizeof buffer, 0) > 0;
    close(fd);
    return done;
}

void BareTcpRoundTrip(benchmark::State& state) {
    sockaddr_in address{};
    if (!ServerReady(state) || !LookUp(address)) return;
    for (auto _ : state) {
        if (!BareExchange(address)) {
            state.SkipWithError("bare exchange failed");
            break;
        }
    }
}

// The bare exchange preceded by the host-name lookup the channel makes before each connect.
void BareTcpRoundTripWithLookup(benchmark::State& state) {
    if (!ServerReady(state)) return;
    for (auto _ : state) {
        sockaddr_in address{};
        if (!LookUp(address) || !BareExchange(address)) {
            state.SkipWithError("bare exchange failed");
            break;
        }
    }
}

void Transact(benchmark::State& state) {
    if (!ServerReady(state)) return;
    for (auto _ : state) {
        zn::CZNAdminChannel channel;
        if (channel.Transact(kRequest) != 1) {
            state.SkipWithError(channel.GetErrorText().c_str());
            break;
        }
    }
}

BENCHMARK(MakeToken)->Name("MakeToken")->Repetitions(5)->ReportAggregatesOnly(true);
// Interleaved repetitions, so that drift in the machine falls on both sides of the ratio.
BENCHMARK(BareTcpRoundTrip)
    ->Name("bare TCP round trip")
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);
BENCHMARK(BareTcpRoundTripWithLookup)
    ->Name("bare TCP round trip with host lookup")
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);
BENCHMARK(Transact)->Name("Transact")->Repetitions(10)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    znbench::MedianReporter reporter;
    znbench::RunInterleaved(argc, argv, reporter);
    if (const auto* tokens = reporter.Median("MakeToken")) {
        auto rate = tokens->counters.find("items_per_second");
        if (rate != tokens->counters.end()) {
            std::printf("\nMakeToken: %.2f million tokens per second on one core (median)\n",
                        rate->second.value / 1e6);
        }
    }
    reporter.PrintRatio("Transact", "bare TCP round trip");
    reporter.PrintRatio("Transact", "bare TCP round trip with host lookup");
    benchmark::Shutdown();
    return 0;
}
