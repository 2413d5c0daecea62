// A crash soak of zngroups-admind: clients change members and subgroup links of a hierarchy
// with a diamond while the server is killed with SIGKILL and restarted and the domain's
// provider is restarted; afterwards the journal, the status answers and the directory are
// held against each other.
#include "tests/support/admind_soak.h"

#include <ldap.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "admin/admin_channel.h"
#include "admin/change_request.h"
#include "server/journal.h"
#include "session/status_codes.h"
#include "tests/support/admin_daemon.h"
#include "tests/support/sandbox.h"

namespace zntest {
namespace {

using zn::ChangeRequest;
using Clock = std::chrono::steady_clock;
using Names = std::set<std::string>;

constexpr const char* kAdmin = "ASMITH";
// Sent as the proof when the channel speaks TLS, and only then.
constexpr const char* kAdminPassword = "Tr0ubadour";
// TOP > LEFT, RIGHT > BOTTOM stays; the movable groups are linked and unlinked anywhere.
const std::vector<std::string> kDiamond = {"ZS_TOP", "ZS_LEFT", "ZS_RIGHT", "ZS_BOTTOM"};
const std::vector<std::string> kMovable = {"ZS_M1", "ZS_M2", "ZS_M3", "ZS_M4"};
const std::vector<std::string> kPeople = {"ASMITH", "JDOE", "BWHITE", "CGREEN", "EGRAY",
                                          "CDOE",   "DBLACK", "FBROWN", "MLOPEZ", "HKIM"};

struct Answer {
    long result = 0;
    long code = 0;
    std::string text;
};

Answer Send(ChangeRequest kind, const std::string& group, const std::string& target, long number = 0) {
    zn::RequestFields f;
    f.userName = kAdmin;
    f.groupName = group;
    f.targetName = target;
    f.organizationalUnit = "zngroups";
    f.number = number;
    std::string request;
    zn::FormatChangeRequest(kind, f, request);
    zn::CZNAdminChannel channel;
    channel.SetWaitLimit(10, 0);
    channel.SetRequesterPassword(kAdminPassword);
    Answer answer;
    answer.result = channel.Transact(request.c_str());
    answer.code = channel.GetErrorCode();
    answer.text = channel.GetErrorText();
    return answer;
}

std::string KindKey(const std::string& kind, const std::string& group, const std::string& target) {
    return kind + " " + group + " " + target;
}

// What the soak groups hold in the directory: direct members and links by name, eventual
// members, supergroups.
struct GroupState {
    Names direct, subs, supers, eventual;
};
using DirectoryState = std::map<std::string, GroupState>;

// "uid=jdoe,ou=People,..." → "JDOE"; "cn=ZS_M1,ou=zngroups,..." → "ZS_M1".
std::string FirstValue(const std::string& dn) {
    std::size_t equals = dn.find('='), comma = dn.find(',');
    std::string value = dn.substr(equals + 1, comma - equals - 1);
    std::transform(value.begin(), value.end(), value.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return value;
}

DirectoryState ReadDirectory() {
    DirectoryState state;
    LDAP* ld = nullptr;
    if (ldap_initialize(&ld, ("ldap://" + ServerAddress(ProviderHost())).c_str()) != LDAP_SUCCESS) {
        throw SandboxError("cannot reach the provider");
    }
    int version = LDAP_VERSION3;
    ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    const char* attributes[] = {"cn", "explicitMember", "subGroup", "superGroup", "uniqueMember", nullptr};
    LDAPMessage* result = nullptr;
    int rc = ldap_search_ext_s(ld, BaseDN().c_str(), LDAP_SCOPE_SUBTREE,
                               "(&(objectClass=groupOfUniqueNames)(cn=ZS_*))",
                               const_cast<char**>(attributes), 0, nullptr, nullptr, nullptr, 0, &result);
    for (LDAPMessage* e = ldap_first_entry(ld, result); rc == LDAP_SUCCESS && e != nullptr;
         e = ldap_next_entry(ld, e)) {
        char* dn = ldap_get_dn(ld, e);
        GroupState& group = state[FirstValue(dn)];
        ldap_memfree(dn);
        std::pair<const char*, Names*> into[] = {{"explicitMember", &group.direct},
                                                 {"subGroup", &group.subs},
                                                 {"superGroup", &group.supers},
                                                 {"uniqueMember", &group.eventual}};
        for (auto& [attribute, names] : into) {
            berval** values = ldap_get_values_len(ld, e, attribute);
            for (int i = 0; values != nullptr && values[i] != nullptr; ++i) {
                names->insert(FirstValue(std::string(values[i]->bv_val, values[i]->bv_len)));
            }
            ldap_value_free_len(values);
        }
    }
    ldap_msgfree(result);
    ldap_unbind_ext_s(ld, nullptr, nullptr);
    if (rc != LDAP_SUCCESS) throw SandboxError(std::string("reading the soak groups: ") + ldap_err2string(rc));
    return state;
}

Names Closure(const DirectoryState& state, const std::string& group, Names seen = {}) {
    Names members;
    if (!seen.insert(group).second || state.count(group) == 0) return members;
    const GroupState& g = state.at(group);
    members = g.direct;
    for (const std::string& sub : g.subs) {
        Names below = Closure(state, sub, seen);
        members.insert(below.begin(), below.end());
    }
    return members;
}

struct Sent {
    std::string key;   // kind, group, target
    long number = 0;   // of "Change N applied.", else 0
};

// One client: random member and link changes until told to stop.
void Client(std::uint32_t seed, const std::atomic<bool>& stop, std::vector<Sent>& sent, SoakReport& totals,
            std::mutex& lock) {
    std::mt19937 random(seed);
    auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };
    std::vector<std::string> all = kDiamond;
    all.insert(all.end(), kMovable.begin(), kMovable.end());
    long refused = 0, unanswered = 0, acknowledged = 0;
    while (!stop) {
        const bool member = random() % 5 < 3;
        const bool add = random() % 2 == 0;
        const std::string group = pick(all);
        const std::string target = member ? pick(kPeople) : pick(kMovable);
        const ChangeRequest kind = member ? (add ? ChangeRequest::kAddMember : ChangeRequest::kDeleteMember)
                                          : (add ? ChangeRequest::kAddSubGroup : ChangeRequest::kRemoveSubGroup);
        Answer answer = Send(kind, group, target);
        Sent record{KindKey(zn::RequestName(kind), group, target), 0};
        if (answer.result == 1 && answer.text.rfind("Change ", 0) == 0) {
            record.number = std::atol(answer.text.c_str() + 7);
            ++acknowledged;
        } else if (answer.result == 0 && answer.code >= 30000 && answer.code < 32000 &&
                   answer.code != zn::status::kIncompleteReply) {
            ++refused;
        } else {
            ++unanswered;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the server is down
        }
        sent.push_back(record);
    }
    std::lock_guard<std::mutex> hold(lock);
    totals.sent += static_cast<long>(sent.size());
    totals.acknowledged += acknowledged;
    totals.refused += refused;
    totals.unanswered += unanswered;
}

void Setup() {
    for (const auto* names : {&kDiamond, &kMovable}) {
        for (const std::string& name : *names) {
            Answer a = Send(ChangeRequest::kCreateGroup, "", name);
            if (a.result != 1) throw SandboxError("creating " + name + ": " + a.text);
        }
    }
    for (auto [parent, child] : {std::pair{0, 1}, {0, 2}, {1, 3}, {2, 3}}) {
        Answer a = Send(ChangeRequest::kAddSubGroup, kDiamond[parent], kDiamond[child]);
        if (a.result != 1) throw SandboxError("linking the diamond: " + a.text);
    }
}

// Every check of the end state; each disagreement becomes one line of `mismatches`.
void Verify(const std::vector<std::vector<Sent>>& sent, const std::string& journalPath, long firstNumber,
            const DirectoryState& before, SoakReport& report) {
    auto mismatch = [&](const std::string& line) { report.mismatches.push_back(line); };
    std::map<long, std::string> acknowledged;
    std::map<std::string, long> sends;
    for (const auto& records : sent) {
        for (const Sent& s : records) {
            ++sends[s.key];
            if (s.number == 0) continue;
            if (!acknowledged.emplace(s.number, s.key).second) {
                mismatch("change " + std::to_string(s.number) + " acknowledged twice");
            }
        }
    }
    // The status answer of every number, while the server runs.
    std::vector<zn::server::JournalEntry> entries;
    std::string error;
    auto journal = zn::server::Journal::Open(journalPath, 1, error);
    if (!journal) throw SandboxError(error);
    zn::server::JournalEntry entry;
    for (long number = firstNumber; journal->Find(number, entry); ++number) entries.push_back(entry);
    std::map<std::string, long> journalled;
    DirectoryState model = before;
    for (const auto& e : entries) {
        const std::string key = KindKey(e.change.kind, e.change.groupName, e.change.target);
        ++journalled[key];
        const bool applied = e.state == zn::server::ChangeState::kApplied;
        report.applied += applied ? 1 : 0;
        const Answer status = Send(ChangeRequest::kGetChangeStatus, "", "", e.number);
        const bool statusApplied = status.result == 1 && status.code == 1 &&
                                   status.text == "Change " + std::to_string(e.number) + " applied.";
        if (e.state == zn::server::ChangeState::kPending) mismatch("change " + std::to_string(e.number) + " still pending");
        if (statusApplied != applied || (!applied && status.code != e.code)) {
            mismatch("change " + std::to_string(e.number) + ": status " + std::to_string(status.code) + " " +
                     status.text + " against the journal's " + zn::server::StateName(e.state));
        }
        auto ack = acknowledged.find(e.number);
        if (ack != acknowledged.end() && (!applied || ack->second != key)) {
            mismatch("change " + std::to_string(e.number) + " acknowledged as " + ack->second + ", journalled as " +
                     key + " " + zn::server::StateName(e.state));
        }
        if (ack != acknowledged.end()) acknowledged.erase(ack);
        if (!applied) continue;
        // Applied in number order: one writer numbers and applies changes in turn.
        GroupState& g = model[e.change.groupName];
        Names& names = e.change.kind.find("MEMBER") != std::string::npos ? g.direct : g.subs;
        if (e.change.kind.rfind("ADD", 0) == 0) names.insert(e.change.target);
        else names.erase(e.change.target);
    }
    for (const auto& [number, key] : acknowledged) {
        mismatch("change " + std::to_string(number) + " (" + key + ") acknowledged, not in the journal");
    }
    for (const auto& [key, count] : journalled) {
        if (count > sends[key]) mismatch(key + " journalled " + std::to_string(count) + " times, sent " +
                                         std::to_string(sends[key]));
    }
    report.journalled = static_cast<long>(entries.size());
    // The directory holds exactly what the applied changes made of the state before them,
    // links both ways, and eventual members recomputed from it.
    const DirectoryState now = ReadDirectory();
    for (const auto& [name, expected] : model) {
        const GroupState& actual = now.count(name) ? now.at(name) : GroupState{};
        if (actual.direct != expected.direct) mismatch(name + ": direct members differ from the applied changes");
        if (actual.subs != expected.subs) mismatch(name + ": subgroups differ from the applied changes");
        if (actual.eventual != Closure(now, name)) mismatch(name + ": eventual members are not the closure");
        for (const std::string& sub : actual.subs) {
            if (now.count(sub) == 0 || now.at(sub).supers.count(name) == 0) {
                mismatch(sub + " lacks the supergroup " + name);
            }
        }
        for (const std::string& super : actual.supers) {
            if (now.count(super) == 0 || now.at(super).subs.count(name) == 0) {
                mismatch(super + " lacks the subgroup " + name);
            }
        }
    }
}

}  // namespace

SoakReport RunSoak(const SoakOptions& options) {
    RequireSandbox();
    SoakReport report;
    const auto start = Clock::now();
    AdminDaemonOptions serverOptions;
    std::unique_ptr<ScopedAdminTls> tls;
    if (options.proof) {
        serverOptions.extraArguments = TlsArguments(true);
        tls = std::make_unique<ScopedAdminTls>();
    }
    AdminDaemon server(serverOptions);
    Setup();
    const DirectoryState before = ReadDirectory();
    std::string error;
    long setupLast = 0;
    {
        auto journal = zn::server::Journal::Open(server.JournalPath(), 1, error);
        if (!journal) throw SandboxError(error);
        zn::server::JournalEntry entry;
        while (journal->Find(setupLast + 1, entry)) ++setupLast;
    }
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::vector<std::vector<Sent>> sent(static_cast<std::size_t>(options.clients));
    std::vector<std::thread> clients;
    for (int i = 0; i < options.clients; ++i) {
        clients.emplace_back(Client, options.seed * 1000 + static_cast<std::uint32_t>(i), std::cref(stop),
                             std::ref(sent[static_cast<std::size_t>(i)]), std::ref(report), std::ref(lock));
    }
    std::mt19937 random(options.seed);
    const auto deadline = start + std::chrono::seconds(options.seconds);
    // The provider restarts fall between kills, spread over the run.
    std::set<int> restartAfter;
    for (int r = 1; r <= options.providerRestarts; ++r) {
        restartAfter.insert(r * options.kills / (options.providerRestarts + 1));
    }
    try {
        while (report.kills < options.kills && Clock::now() < deadline) {
            const int span = options.maxMillisecondsBetweenKills - options.minMillisecondsBetweenKills;
            std::this_thread::sleep_for(std::chrono::milliseconds(
                options.minMillisecondsBetweenKills + static_cast<int>(random() % static_cast<unsigned>(span + 1))));
            server.Kill(SIGKILL);
            ++report.kills;
            // Every other life of the server pauses between journalling a change and writing
            // it, so that kills also land in that window, not only in the longer ones.
            server.SetPauseAfterJournal(report.kills % 2 == 1 ? 30 : 0);
            if (restartAfter.count(report.kills) != 0) {
                StopServer(ProviderHost());
                server.Start();  // finds the directory gone: changes are refused meanwhile
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
                StartServer(ProviderHost());
                ++report.providerRestarts;
            } else {
                server.Start();
            }
        }
    } catch (...) {
        stop = true;
        for (std::thread& client : clients) client.join();
        throw;
    }
    stop = true;
    for (std::thread& client : clients) client.join();
    // A last restart with the directory up finishes whatever a kill left pending.
    server.Kill(SIGKILL);
    server.SetPauseAfterJournal(0);
    server.Start();
    Verify(sent, server.JournalPath(), setupLast + 1, before, report);
    report.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    RestoreDirectory();
    return report;
}

std::string Summary(const SoakReport& r) {
    return "sent " + std::to_string(r.sent) + ", acknowledged " + std::to_string(r.acknowledged) + ", refused " +
           std::to_string(r.refused) + ", unanswered " + std::to_string(r.unanswered) + "; journalled " +
           std::to_string(r.journalled) + ", applied " + std::to_string(r.applied) + "; server kills " +
           std::to_string(r.kills) + ", provider restarts " + std::to_string(r.providerRestarts) + "; " +
           std::to_string(static_cast<int>(r.seconds)) + " s; mismatches " + std::to_string(r.mismatches.size());
}

}  // namespace zntest
