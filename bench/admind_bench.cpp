// The administration server: changes and status questions per second with 1, 8 and 32
// clients, one change's round trip beside the fastest bare LDAP modify of the same kind of
// entry, and a change's round trip while 16 clients read a 6,000-record change log.
#include <benchmark/benchmark.h>
#include <arpa/inet.h>
#include <ldap.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CZNGroup.h"
#include "admin/admin_channel.h"
#include "admin/change_request.h"
#include "bench/median_report.h"
#include "tests/support/admin_daemon.h"
#include "tests/support/sandbox.h"

// Every search the library sends passes here, so that a change's checks can be counted.
extern "C" {
int __real_ldap_search_st(LDAP*, const char*, int, const char*, char**, int, struct timeval*,
                          LDAPMessage**);
long g_searches = 0;
int __wrap_ldap_search_st(LDAP* ld, const char* base, int scope, const char* filter, char** attrs,
                          int attrsonly, struct timeval* timeout, LDAPMessage** res) {
    ++g_searches;
    return __real_ldap_search_st(ld, base, scope, filter, attrs, attrsonly, timeout, res);
}
}

namespace {

using zn::ChangeRequest;

constexpr const char* kAdmin = "ASMITH";
constexpr int kMaxClients = 32;
constexpr const char* kBigLog = "ZB_BIGLOG";
constexpr const char* kFloorGroup = "ZB_FLOOR";
constexpr int kBigLogRecords = 6000;
constexpr int kLogReaders = 16;

// The local domain's administration server with its default settings.
struct Servers {
    std::unique_ptr<zntest::AdminDaemon> local;
    std::string error;
};

long Send(const char* domain, std::uint32_t port, ChangeRequest kind, const std::string& group,
          const std::string& target, std::string* text = nullptr) {
    zn::RequestFields f;
    f.userName = kAdmin;
    f.groupName = group;
    f.targetName = target;
    f.organizationalUnit = "zngroups";
    std::string request;
    zn::FormatChangeRequest(kind, f, request);
    zn::CZNAdminChannel channel(domain, port);
    long result = channel.Transact(request.c_str());
    if (text != nullptr) *text = channel.GetErrorText();
    return result;
}

std::string BenchGroup(int client) { return "ZB_CLIENT" + std::to_string(client); }

Servers& Started() {
    static Servers servers = [] {
        Servers s;
        try {
            s.local = std::make_unique<zntest::AdminDaemon>();
        } catch (const std::exception& e) {
            s.error = e.what();
            return s;
        }
        std::string text;
        for (int client = -3; client < kMaxClients; ++client) {
            const std::string name = client == -3   ? kFloorGroup
                                     : client == -2 ? kBigLog
                                     : client < 0   ? "ZB_BARE"
                                                    : BenchGroup(client);
            if (Send(nullptr, 60660, ChangeRequest::kCreateGroup, "", name, &text) != 1) {
                s.error = "creating the bench groups: " + text;
                return s;
            }
        }
        if (!s.local->GrowChangeLog(kBigLog, kBigLogRecords).empty())
            s.error = "growing the big log";
        return s;
    }();
    return servers;
}

// Adds and removes one member of the client's own group, alternately: every request is a
// change that passes its checks and writes the directory.
void Changes(benchmark::State& state, const char* domain, std::uint32_t port) {
    if (!Started().error.empty()) {
        state.SkipWithError(Started().error.c_str());
        return;
    }
    const std::string group = BenchGroup(state.thread_index());
    bool add = true;
    std::string text;
    for (auto _ : state) {
        if (Send(domain, port, add ? ChangeRequest::kAddMember : ChangeRequest::kDeleteMember,
                 group, "BWHITE", &text) != 1) {
            state.SkipWithError(text.c_str());
            break;
        }
        add = !add;
    }
    if (!add) Send(domain, port, ChangeRequest::kDeleteMember, group, "BWHITE");
    state.SetItemsProcessed(state.iterations());
}

void LocalChanges(benchmark::State& state) { Changes(state, nullptr, 60660); }

// One client's changes while 16 others read the big change log over and over.
void ChangesUnderLogReaders(benchmark::State& state) {
    std::atomic<bool> done{false};
    std::atomic<long> logs{0};
    std::vector<std::thread> readers;
    std::string request;
    zn::RequestFields f;
    f.groupName = kBigLog;
    zn::FormatChangeRequest(ChangeRequest::kGetGroupChangeLogs, f, request);
    for (int i = 0; i < kLogReaders; ++i) {
        readers.emplace_back([&] {
            while (!done) {
                zn::CZNAdminChannel channel(nullptr, 60660);
                logs += channel.TransactList(request.c_str()).size() == kBigLogRecords + 1;
            }
        });
    }
    Changes(state, nullptr, 60660);
    done = true;
    for (std::thread& reader : readers) reader.join();
    state.counters["whole logs"] = benchmark::Counter(static_cast<double>(logs.load()));
}

// The same changes over a plain socket to the server's address: no name lookup, no library.
void RawChanges(benchmark::State& state) {
    if (!Started().error.empty()) {
        state.SkipWithError(Started().error.c_str());
        return;
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(Started().local->Port()));
    inet_pton(AF_INET, Started().local->Address().c_str(), &server.sin_addr);
    const std::string group = BenchGroup(state.thread_index());
    bool add = true;
    for (auto _ : state) {
        zn::RequestFields f;
        f.userName = kAdmin;
        f.groupName = group;
        f.targetName = "BWHITE";
        std::string request;
        zn::FormatChangeRequest(add ? ChangeRequest::kAddMember : ChangeRequest::kDeleteMember, f, request);
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        char reply[1024];
        ssize_t got = -1;
        if (connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0 &&
            send(fd, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
            got = recv(fd, reply, sizeof reply, 0);
        }
        close(fd);
        if (got < 2 || reply[0] != '1') {
            state.SkipWithError("raw change refused");
            break;
        }
        add = !add;
    }
    if (!add) Send(nullptr, 60660, ChangeRequest::kDeleteMember, group, "BWHITE");
    state.SetItemsProcessed(state.iterations());
}

// The library's own change: its checks (searches of the directory), the exchange and the
// server's work, with the requester verified once, as an application that keeps its object.
void LibraryChange(benchmark::State& state) {
    if (!Started().error.empty()) {
        state.SkipWithError(Started().error.c_str());
        return;
    }
    CZNGroup group;
    group.SetAccess("asmith", "Tr0ubadour", BenchGroup(kMaxClients - 1));
    bool add = true;
    long searches = 0;
    for (auto _ : state) {
        long before = g_searches;
        long result = add ? group.AddDirectMember("bwhite") : group.DeleteDirectMember("bwhite");
        searches += g_searches - before;
        if (result != 1) {
            state.SkipWithError(group.GetErrorStatusText().c_str());
            break;
        }
        add = !add;
    }
    if (!add) group.DeleteDirectMember("bwhite");
    state.counters["searches"] = benchmark::Counter(static_cast<double>(searches),
                                                    benchmark::Counter::kAvgIterations);
}

// Status questions read only the journal and run side by side.
void StatusQueries(benchmark::State& state) {
    if (!Started().error.empty()) {
        state.SkipWithError(Started().error.c_str());
        return;
    }
    for (auto _ : state) {
        zn::CZNAdminChannel channel(nullptr, 60660);
        if (channel.Transact("00002,GET,CHANGE,1") != 1) {
            state.SkipWithError(channel.GetErrorText().c_str());
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

// Status questions over a plain socket to the server's address: the server's side alone.
void RawStatusQueries(benchmark::State& state) {
    if (!Started().error.empty()) {
        state.SkipWithError(Started().error.c_str());
        return;
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(Started().local->Port()));
    inet_pton(AF_INET, Started().local->Address().c_str(), &server.sin_addr);
    const std::string request = "00002,GET,CHANGE,1";
    for (auto _ : state) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        char reply[1024];
        ssize_t got = -1;
        if (connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0 &&
            send(fd, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
            got = recv(fd, reply, sizeof reply, 0);
        }
        close(fd);
        if (got < 2 || reply[0] != '1') {
            state.SkipWithError("raw status question failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

// An open privileged connection to the provider, or null with the reason in `state`.
LDAP* OpenProvider(benchmark::State& state) {
    LDAP* ld = nullptr;
    ldap_initialize(&ld, ("ldap://" + zntest::ServerAddress("ldap5")).c_str());
    int version = LDAP_VERSION3;
    ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    std::string admin = "cn=admin," + zntest::BaseDN();
    berval password{8, const_cast<char*>("zngadmin")};
    if (ldap_sasl_bind_s(ld, admin.c_str(), LDAP_SASL_SIMPLE, &password, nullptr, nullptr,
                         nullptr) != LDAP_SUCCESS) {
        state.SkipWithError("bind as cn=admin failed");
        ldap_unbind_ext_s(ld, nullptr, nullptr);
        return nullptr;
    }
    return ld;
}

// One modification of one attribute of `dn`, as the bare baselines make it; the LDAP code.
int ModifyOne(LDAP* ld, const std::string& dn, int operation, const char* attribute,
              char** values) {
    LDAPMod mod{};
    mod.mod_op = operation;
    mod.mod_type = const_cast<char*>(attribute);
    mod.mod_values = values;
    LDAPMod* mods[] = {&mod, nullptr};
    return ldap_modify_ext_s(ld, dn.c_str(), mods, nullptr, nullptr);
}

// The cheapest modify of the same entry the provider takes: one value of an attribute no
// index or overlay watches, replaced.
void BareLdapReplace(benchmark::State& state) {
    if (!Started().error.empty()) {
        state.SkipWithError(Started().error.c_str());
        return;
    }
    LDAP* ld = OpenProvider(state);
    if (ld == nullptr) return;
    std::string dn = "cn=ZB_BARE,ou=zngroups," + zntest::BaseDN();
    std::string texts[] = {"bench one", "bench two"};
    bool first = true;
    for (auto _ : state) {
        char* values[] = {texts[first ? 0 : 1].data(), nullptr};
        int rc = ModifyOne(ld, dn, LDAP_MOD_REPLACE, "description", values);
        if (rc != LDAP_SUCCESS) {
            state.SkipWithError(ldap_err2string(rc));
            break;
        }
        first = !first;
    }
    ldap_unbind_ext_s(ld, nullptr, nullptr);
}

// The same add and delete of the same value on the same entry, on an open privileged
// connection to the provider: what the directory alone costs.
void BareLdapModify(benchmark::State& state) {
    if (!Started().error.empty()) {
        state.SkipWithError(Started().error.c_str());
        return;
    }
    LDAP* ld = OpenProvider(state);
    if (ld == nullptr) return;
    std::string dn = "cn=ZB_BARE,ou=zngroups," + zntest::BaseDN();
    std::string member = "uid=bwhite,ou=People," + zntest::BaseDN();
    char* values[] = {member.data(), nullptr};
    bool add = true;
    for (auto _ : state) {
        int rc = ModifyOne(ld, dn, add ? LDAP_MOD_ADD : LDAP_MOD_DELETE, "explicitMember", values);
        if (rc != LDAP_SUCCESS) {
            state.SkipWithError(ldap_err2string(rc));
            break;
        }
        add = !add;
    }
    if (!add) {
        ModifyOne(ld, dn, LDAP_MOD_DELETE, "explicitMember", values);
    }
    ldap_unbind_ext_s(ld, nullptr, nullptr);
}

// What the server's checks and write of one member change cost the directory alone, on an
// open privileged connection: the same two searches sent at once, then the same
// modification of the direct and the eventual members in one operation. No journal, no
// exchange: the floor under a change's round trip.
void BareLdapChange(benchmark::State& state) {
    if (!Started().error.empty()) {
        state.SkipWithError(Started().error.c_str());
        return;
    }
    LDAP* ld = OpenProvider(state);
    if (ld == nullptr) return;
    const std::string base = zntest::BaseDN();
    const std::string dn = std::string("cn=") + kFloorGroup + ",ou=zngroups," + base;
    std::string member = "uid=bwhite,ou=People," + base;
    const std::string people =
        "(|(&(objectClass=organizationalPerson)(|(uid=BWHITE)(uid=ASMITH)))"
        "(&(objectClass=groupOfUniqueNames)(cn=ZN_GROUPS_ADMINISTRATORS)))";
    const std::string group =
        std::string("(&(objectClass=groupOfUniqueNames)(|(cn=") + kFloorGroup + ")))";
    char uid[] = "uid", unique[] = "uniqueMember";
    char* peopleAttributes[] = {uid, unique, nullptr};
    char cn[] = "cn", owner[] = "owner", contact[] = "contactUserName",
         directName[] = "explicitMember", sub[] = "subGroup", super[] = "superGroup",
         classes[] = "objectClass";
    char* groupAttributes[] = {cn, owner, contact, directName, sub, super, classes, nullptr};
    char* values[] = {member.data(), nullptr};
    bool add = true;
    for (auto _ : state) {
        int ids[2] = {-1, -1};
        int rc =
            ldap_search_ext(ld, base.c_str(), LDAP_SCOPE_SUBTREE, people.c_str(), peopleAttributes,
                            0, nullptr, nullptr, nullptr, LDAP_NO_LIMIT, &ids[0]);
        if (rc == LDAP_SUCCESS) {
            rc = ldap_search_ext(ld, base.c_str(), LDAP_SCOPE_SUBTREE, group.c_str(),
                                 groupAttributes, 0, nullptr, nullptr, nullptr, LDAP_NO_LIMIT,
                                 &ids[1]);
        }
        for (int id : ids) {
            LDAPMessage* result = nullptr;
            if (rc == LDAP_SUCCESS && ldap_result(ld, id, LDAP_MSG_ALL, nullptr, &result) <= 0) {
                rc = LDAP_SERVER_DOWN;
            }
            ldap_msgfree(result);
        }
        LDAPMod direct{}, eventual{};
        direct.mod_op = eventual.mod_op = add ? LDAP_MOD_ADD : LDAP_MOD_DELETE;
        direct.mod_type = const_cast<char*>("explicitMember");
        eventual.mod_type = const_cast<char*>("uniqueMember");
        direct.mod_values = eventual.mod_values = values;
        LDAPMod* mods[] = {&direct, &eventual, nullptr};
        if (rc == LDAP_SUCCESS) rc = ldap_modify_ext_s(ld, dn.c_str(), mods, nullptr, nullptr);
        if (rc != LDAP_SUCCESS) {
            state.SkipWithError(ldap_err2string(rc));
            break;
        }
        add = !add;
    }
    if (!add) {
        LDAPMod direct{}, eventual{};
        direct.mod_op = eventual.mod_op = LDAP_MOD_DELETE;
        direct.mod_type = const_cast<char*>("explicitMember");
        eventual.mod_type = const_cast<char*>("uniqueMember");
        direct.mod_values = eventual.mod_values = values;
        LDAPMod* mods[] = {&direct, &eventual, nullptr};
        ldap_modify_ext_s(ld, dn.c_str(), mods, nullptr, nullptr);
    }
    ldap_unbind_ext_s(ld, nullptr, nullptr);
}

BENCHMARK(BareLdapChange)
    ->Name("bare LDAP checks and write")
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BareLdapModify)->Name("bare LDAP modify")->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BareLdapReplace)->Name("bare LDAP replace")->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(ChangesUnderLogReaders)
    ->Name("change, 16 log readers")
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(RawStatusQueries)
    ->Name("status query, plain socket")
    ->Threads(8)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(LocalChanges)
    ->Name("change")
    ->Threads(1)->Threads(8)->Threads(32)
    ->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(RawChanges)->Name("change, plain socket")->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(LibraryChange)
    ->Name("library change")
    ->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(StatusQueries)
    ->Name("status query")
    ->Threads(1)->Threads(8)->Threads(32)
    ->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    zntest::RequireSandbox();
    if (!Started().error.empty()) {
        std::fprintf(stderr, "admind_bench: %s\n", Started().error.c_str());
        return 1;
    }
    znbench::MedianReporter reporter;
    znbench::RunInterleaved(argc, argv, reporter);
    for (const char* name : {"change", "status query", "status query, plain socket"}) {
        for (int threads : {1, 8, 32}) {
            if (const auto* median = reporter.Median(name, threads)) {
                auto rate = median->counters.find("items_per_second");
                if (rate != median->counters.end()) {
                    std::printf("%s, %d client(s): %.0f requests per second (median)\n", name,
                                threads, rate->second.value);
                }
            }
        }
    }
    // One client's change against the faster of the two bare modifies of the same kind of
    // entry: both medians are per request.
    const auto* bare = reporter.Median("bare LDAP modify");
    const auto* replace = reporter.Median("bare LDAP replace");
    if (replace != nullptr &&
        (bare == nullptr || replace->GetAdjustedRealTime() < bare->GetAdjustedRealTime())) {
        bare = replace;
    }
    if (bare != nullptr) std::printf("baseline: %s\n", bare->run_name.function_name.c_str());
    const auto* change = reporter.Median("change", 1);
    const auto* crowded = reporter.Median("change, 16 log readers");
    if (change != nullptr && crowded != nullptr && change->GetAdjustedRealTime() > 0) {
        auto whole = crowded->counters.find("whole logs");
        std::printf(
            "one change's round trip with %d clients reading a %d-record log %.3f ms: %.2f "
            "times the quiet one (%.0f whole logs read meanwhile)\n",
            kLogReaders, kBigLogRecords, crowded->GetAdjustedRealTime() * 1e-6,
            crowded->GetAdjustedRealTime() / change->GetAdjustedRealTime(),
            whole != crowded->counters.end() ? whole->second.value : 0.0);
    }
    if (bare != nullptr && change != nullptr && bare->GetAdjustedRealTime() > 0) {
        std::printf("one change's round trip %.3f ms, bare LDAP modify %.3f ms: %.1f times\n",
                    change->GetAdjustedRealTime() * 1e-6, bare->GetAdjustedRealTime() * 1e-6,
                    change->GetAdjustedRealTime() / bare->GetAdjustedRealTime());
    }
    const auto* floor = reporter.Median("bare LDAP checks and write");
    if (bare != nullptr && floor != nullptr && bare->GetAdjustedRealTime() > 0) {
        std::printf(
            "the directory's part of a change alone (its two searches, its modify) %.3f ms: "
            "%.1f times the bare modify\n",
            floor->GetAdjustedRealTime() * 1e-6,
            floor->GetAdjustedRealTime() / bare->GetAdjustedRealTime());
    }
    const auto* raw = reporter.Median("change, plain socket");
    if (bare != nullptr && raw != nullptr && bare->GetAdjustedRealTime() > 0) {
        std::printf("one change's round trip over a plain socket %.3f ms: %.1f times the bare modify\n",
                    raw->GetAdjustedRealTime() * 1e-6, raw->GetAdjustedRealTime() / bare->GetAdjustedRealTime());
    }
    if (const auto* library = reporter.Median("library change")) {
        auto searches = library->counters.find("searches");
        if (searches != library->counters.end()) {
            std::printf("library change: %.1f searches per change by the library\n",
                        searches->second.value);
        }
        if (bare != nullptr && bare->GetAdjustedRealTime() > 0) {
            std::printf("library change / bare LDAP modify (median real time): %.1f\n",
                        library->GetAdjustedRealTime() / bare->GetAdjustedRealTime());
        }
    }
    // Where the server's time went, from its own log line of each member change: the
    // medians of all of them, whatever the number of clients (each is timed inside the
    // one writer, so waiting for it does not count).
    std::vector<double> phases[4];
    std::istringstream log(Started().local->Log());
    for (std::string line; std::getline(log, line);) {
        double total = 0, checks = 0, journal = 0, directory = 0;
        const std::size_t at = line.find(": applied in ");
        if (line.find(",MEMBER,ZB_CLIENT") == std::string::npos || at == std::string::npos ||
            std::sscanf(line.c_str() + at, ": applied in %lf ms: checks %lf, journal %lf, directory %lf",
                        &total, &checks, &journal, &directory) != 4) {
            continue;
        }
        for (auto [list, value] : {std::pair{0, total}, {1, checks}, {2, journal}, {3, directory}}) {
            phases[list].push_back(value);
        }
    }
    if (!phases[0].empty()) {
        auto median = [](std::vector<double>& values) {
            std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2), values.end());
            return values[values.size() / 2];
        };
        std::printf("server time per change (median of %zu): %.3f ms; checks %.3f, journal %.3f, "
                    "directory %.3f\n",
                    phases[0].size(), median(phases[0]), median(phases[1]), median(phases[2]),
                    median(phases[3]));
    }
    benchmark::Shutdown();
    return 0;
}
