// Checks the sandbox's replication: what a domain's provider accepts reaches its consumers,
// across faults and restarts of either; consumers refuse writes of their own; RestoreDirectory
// puts the sample back on every server of a domain.
#include <ldap.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ldap_session.h"
#include "tests/support/sandbox.h"
#include "tests/support/sandbox_fixture.h"

namespace zntest {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using Clock = std::chrono::steady_clock;

// A consumer that lost its provider retries every second, and gives up a connect that gets no
// answer after one; a change must arrive well within this.
constexpr milliseconds kCatchUpBound = seconds(5);

constexpr const char* kSampleDescription = "All engineering staff";

std::string EngAllDN() {
    return "cn=ENG-ALL,ou=Engineering," + BaseDN();
}
std::string ProbeDN() {
    return "cn=REPL-PROBE,ou=Lab," + BaseDN();
}
std::string SalesApacDN() {
    return "cn=SALES-APAC,ou=Sales," + BaseDN();
}

std::vector<std::string> DomainServers(const std::string& domain) {
    std::vector<std::string> hosts = ConsumerHosts(domain);
    hosts.insert(hosts.begin(), ProviderHost(domain));
    return hosts;
}

struct Read {
    int rc = LDAP_SERVER_DOWN;
    std::vector<std::string> values;
};

// The values of `attribute` of the entry `dn`, read anonymously from `host`; rc 32 when the
// entry does not exist there.
Read ReadValues(const std::string& host, const std::string& dn, const char* attribute) {
    Read read;
    LdapPtr ld = OpenLdap(host);
    if (!ld) return read;
    std::string name = attribute;
    char* attributes[] = {name.data(), nullptr};
    timeval limit{2, 0};
    LDAPMessage* result = nullptr;
    read.rc = ldap_search_ext_s(ld.get(), dn.c_str(), LDAP_SCOPE_BASE, "(objectClass=*)",
                                attributes, 0, nullptr, nullptr, &limit, 0, &result);
    std::unique_ptr<LDAPMessage, int (*)(LDAPMessage*)> owner(result, ldap_msgfree);
    LDAPMessage* entry = read.rc == LDAP_SUCCESS ? ldap_first_entry(ld.get(), result) : nullptr;
    if (entry == nullptr) return read;
    berval** values = ldap_get_values_len(ld.get(), entry, attribute);
    for (berval** value = values; value != nullptr && *value != nullptr; ++value) {
        read.values.emplace_back((*value)->bv_val, (*value)->bv_len);
    }
    ldap_value_free_len(values);
    return read;
}

// ENG-ALL's description on `host`; a failed read shows its LDAP code instead.
std::string Description(const std::string& host) {
    Read read = ReadValues(host, EngAllDN(), "description");
    if (read.rc != LDAP_SUCCESS) return "(rc " + std::to_string(read.rc) + ")";
    return read.values.empty() ? "" : read.values.front();
}

// Runs `write` on a session to `host` bound as cn=admin; the LDAP code of the bind or the write.
int AsAdmin(const std::string& host, const std::function<int(LDAP*)>& write) {
    LdapPtr ld = OpenLdap(host);
    if (!ld) return LDAP_CONNECT_ERROR;
    int rc = BindAsAdmin(ld.get());
    return rc != LDAP_SUCCESS ? rc : write(ld.get());
}

int ReplaceDescription(const std::string& host, const std::string& value) {
    return WriteAsAdmin(EngAllDN(), LDAP_MOD_REPLACE, {{"description", {value}}}, host);
}

int AddProbeGroup(const std::string& host) {
    return WriteAsAdmin(ProbeDN(), -1, {{"objectClass", {"top", "groupOfUniqueNames"}}, {"cn", {"REPL-PROBE"}}},
                        host);
}

// Polls `check` until it holds; the time since `since` when it did, -1 ms after kCatchUpBound.
milliseconds WaitUntil(const std::function<bool()>& check, Clock::time_point since) {
    const auto deadline = Clock::now() + kCatchUpBound;
    for (;;) {
        if (check()) return std::chrono::duration_cast<milliseconds>(Clock::now() - since);
        if (Clock::now() > deadline) return milliseconds(-1);
        std::this_thread::sleep_for(milliseconds(5));
    }
}

milliseconds WaitForDescription(const std::string& host, const std::string& value,
                                Clock::time_point since) {
    return WaitUntil([&] { return Description(host) == value; }, since);
}

// Puts the sample back on every domain a test changed, also when the test failed half-way.
class ReplicationTest : public SandboxTest {
  protected:
    void WillChange(const std::string& domain) { changed_.insert(domain); }

    void TearDown() override {
        for (const std::string& domain : changed_) {
            try {
                RestoreDirectory(domain);
            } catch (const SandboxError& e) {
                ADD_FAILURE() << "RestoreDirectory(\"" << domain << "\"): " << e.what();
            }
        }
        SandboxTest::TearDown();
    }

  private:
    std::set<std::string> changed_;
};

TEST_F(ReplicationTest, ProviderChangesReachEveryConsumerOfItsDomain) {
    milliseconds slowest{0};
    for (const std::string domain : {"", "EUROPE", "ASIA2"}) {
        WillChange(domain);
        const std::string provider = ProviderHost(domain);
        const std::string value = "Changed on " + provider;
        ASSERT_EQ(Description(provider), kSampleDescription) << provider;
        const auto written = Clock::now();
        ASSERT_EQ(ReplaceDescription(provider, value), LDAP_SUCCESS) << provider;
        EXPECT_EQ(Description(provider), value) << "the provider reads its own write at once";
        for (const std::string& consumer : ConsumerHosts(domain)) {
            milliseconds took = WaitForDescription(consumer, value, written);
            EXPECT_GE(took.count(), 0) << consumer << " still reads " << Description(consumer);
            slowest = std::max(slowest, took);
        }
    }
    RecordProperty("slowest_catch_up_ms", static_cast<int>(slowest.count()));
    std::printf("slowest consumer caught up %lld ms after the write\n",
                static_cast<long long>(slowest.count()));
}

TEST_F(ReplicationTest, StoppedOrSilencedConsumerCatchesUpWhenBack) {
    WillChange("");
    const std::string provider = ProviderHost();
    for (Fault fault : {Fault::kRefuse, Fault::kSilent}) {
        const std::string value =
            fault == Fault::kRefuse ? "While ldap3 was stopped" : "While ldap3 was silenced";
        ScopedFault down(fault, "ldap3");
        ASSERT_EQ(ReplaceDescription(provider, value), LDAP_SUCCESS);
        ASSERT_GE(WaitForDescription("ldap4", value, Clock::now()).count(), 0)
            << "the change reached the consumers that were up";
        ASSERT_NE(ProbeAnonymousBind("ldap3", milliseconds(300)), BindResult::kAnswered);
        const auto restored = Clock::now();
        down.Restore();
        milliseconds took = WaitForDescription("ldap3", value, restored);
        EXPECT_GE(took.count(), 0) << value << ": ldap3 still reads " << Description("ldap3");
        std::printf("%s: ldap3 caught up %lld ms after its restore began\n", value.c_str(),
                    static_cast<long long>(took.count()));
    }
}

TEST_F(ReplicationTest, ConsumersFollowTheProviderAfterEachKindOfFault) {
    WillChange("");
    const std::string provider = ProviderHost();
    const std::vector<std::string> consumers = ConsumerHosts();
    struct Case {
        Fault fault;
        const char* name;
    };
    std::string previous = kSampleDescription;
    for (const Case& c : {Case{Fault::kRefuse, "stopped"}, Case{Fault::kSilent, "silenced"},
                          Case{Fault::kUnresponsive, "unresponsive"},
                          Case{Fault::kStallAfterBind, "stalled after bind"}}) {
        {
            ScopedFault down(c.fault, provider, c.fault == Fault::kStallAfterBind ? "ldap4" : "");
            for (const std::string& consumer : consumers) {
                EXPECT_EQ(Description(consumer), previous)
                    << consumer << " serves reads while its provider is " << c.name;
            }
        }
        const std::string value = std::string("After the provider was ") + c.name;
        const auto written = Clock::now();
        ASSERT_EQ(ReplaceDescription(provider, value), LDAP_SUCCESS) << c.name;
        milliseconds slowest{0};
        for (const std::string& consumer : consumers) {
            milliseconds took = WaitForDescription(consumer, value, written);
            EXPECT_GE(took.count(), 0) << consumer << " after the provider was " << c.name
                                       << " still reads " << Description(consumer);
            slowest = std::max(slowest, took);
        }
        std::printf("provider %s, then restored: slowest consumer took %lld ms\n", c.name,
                    static_cast<long long>(slowest.count()));
        previous = value;
    }
}

TEST_F(ReplicationTest, ConsumersRefuseWritesOfTheirOwn) {
    WillChange("");  // should a refusal fail
    for (const std::string& consumer : ConsumerHosts()) {
        EXPECT_EQ(ReplaceDescription(consumer, "Written to " + consumer), LDAP_UNWILLING_TO_PERFORM)
            << consumer;
        EXPECT_EQ(AddProbeGroup(consumer), LDAP_UNWILLING_TO_PERFORM) << consumer;
    }
    for (const std::string& host : DomainServers("")) {
        EXPECT_EQ(Description(host), kSampleDescription) << host;
        EXPECT_EQ(ReadValues(host, ProbeDN(), "cn").rc, LDAP_NO_SUCH_OBJECT) << host;
    }
}

TEST_F(ReplicationTest, RestoreDirectoryPutsTheSampleBackOnEveryServer) {
    WillChange("");
    const std::string provider = ProviderHost();
    const std::vector<std::string> servers = DomainServers("");
    ASSERT_EQ(ReplaceDescription(provider, "Before the restore"), LDAP_SUCCESS);
    ASSERT_EQ(AddProbeGroup(provider), LDAP_SUCCESS);
    ASSERT_EQ(AsAdmin(provider,
                      [](LDAP* ld) {
                          return ldap_delete_ext_s(ld, SalesApacDN().c_str(), nullptr, nullptr);
                      }),
              LDAP_SUCCESS);
    for (const std::string& host : servers) {
        ASSERT_GE(WaitUntil(
                      [&] {
                          return Description(host) == "Before the restore" &&
                                 ReadValues(host, ProbeDN(), "cn").rc == LDAP_SUCCESS &&
                                 ReadValues(host, SalesApacDN(), "cn").rc == LDAP_NO_SUCH_OBJECT;
                      },
                      Clock::now())
                      .count(),
                  0)
            << host << " never held all three changes";
    }

    // Servers under a fault are restored as well.
    StopServer("ldap1");
    SilenceServer("ldap2");
    MakeUnresponsive("ldap3");
    const auto start = Clock::now();
    RestoreDirectory();
    const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    RecordProperty("restore_ms", static_cast<int>(took.count()));
    std::printf("RestoreDirectory took %lld ms\n", static_cast<long long>(took.count()));

    for (const std::string& host : servers) {
        EXPECT_EQ(Description(host), kSampleDescription) << host;
        EXPECT_EQ(ReadValues(host, ProbeDN(), "cn").rc, LDAP_NO_SUCH_OBJECT) << host;
        Read apac = ReadValues(host, SalesApacDN(), "explicitMember");
        EXPECT_EQ(apac.rc, LDAP_SUCCESS) << host;
        EXPECT_EQ(apac.values, std::vector<std::string>{"uid=hkim,ou=People," + BaseDN()}) << host;
    }

    // Replication goes on from the restored state.
    const auto written = Clock::now();
    ASSERT_EQ(ReplaceDescription(provider, "After the restore"), LDAP_SUCCESS);
    for (const std::string& consumer : ConsumerHosts()) {
        EXPECT_GE(WaitForDescription(consumer, "After the restore", written).count(), 0)
            << consumer << " still reads " << Description(consumer);
    }
    EXPECT_THROW(RestoreDirectory("NOWHERE"), SandboxError);
}

}  // namespace
}  // namespace zntest
