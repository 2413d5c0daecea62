// Checks the sandbox itself: its host map, its refusal to run without a sandbox, and that
// RestoreAll undoes every kind of fault. Each fault's own behaviour is exercised by the
// session tests that rely on it.
#include <arpa/inet.h>
#include <ldap.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/ldap_session.h"
#include "tests/support/sandbox.h"
#include "tests/support/sandbox_fixture.h"

namespace zntest {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using Clock = std::chrono::steady_clock;

// Searches for jdoe's cn with a 1 s time-out; returns the LDAP code and,
// on success, the number of entries.
int SearchJdoe(LDAP* ld, int* entries) {
    char cn[] = "cn";
    char* attributes[] = {cn, nullptr};
    timeval limit{1, 0};
    LDAPMessage* result = nullptr;
    int rc = ldap_search_ext_s(ld, BaseDN().c_str(), LDAP_SCOPE_SUBTREE, "(uid=jdoe)", attributes,
                               0, nullptr, nullptr, &limit, 0, &result);
    if (entries != nullptr) *entries = result != nullptr ? ldap_count_entries(ld, result) : -1;
    if (result != nullptr) ldap_msgfree(result);
    return rc;
}

std::string Resolve(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0) return "";
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr, text,
              sizeof text);
    freeaddrinfo(found);
    return text;
}

milliseconds Since(Clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

TEST(SandboxRequirement, MissingSandboxIsAnError) {
    const char* saved = std::getenv("ZNG_SANDBOX");
    std::string value = saved != nullptr ? saved : "";
    unsetenv("ZNG_SANDBOX");
    EXPECT_THROW(RequireSandbox(), SandboxError);
    EXPECT_THROW(ServerHosts(), SandboxError);
    EXPECT_THROW(StopServer("ldap5"), SandboxError);
    setenv("ZNG_SANDBOX", "/nonexistent/zng-sandbox", 1);
    EXPECT_THROW(RequireSandbox(), SandboxError);
    if (saved != nullptr) {
        setenv("ZNG_SANDBOX", value.c_str(), 1);
    } else {
        unsetenv("ZNG_SANDBOX");
    }
}

TEST_F(SandboxTest, HostNamesResolveToTheServersAddresses) {
    const auto hosts = ServerHosts();
    ASSERT_EQ(hosts.size(), 15u);
    for (const auto& host : hosts) {
        EXPECT_EQ(Resolve(host), ServerAddress(host)) << host;
        EXPECT_EQ(ProbeAnonymousBind(host, seconds(2)), BindResult::kAnswered) << host;
    }
    EXPECT_EQ(ServerAddress("ldap5"), "127.0.1.5");
    EXPECT_EQ(ServerAddress("ldapEUROPE1"), "127.0.2.1");
    EXPECT_EQ(ServerAddress("ldapASIA2-3"), "127.0.3.3");
    EXPECT_EQ(Resolve("ldapadm"), "127.0.1.100");
    EXPECT_EQ(Resolve("ldapEUROPEadm"), "127.0.2.100");
    EXPECT_EQ(Resolve("ldapASIA2adm"), "127.0.3.100");
    EXPECT_THROW(ServerAddress("ldap6"), SandboxError);

    EXPECT_EQ(ProviderHost(), "ldap5");
    EXPECT_EQ(ProviderHost("LOCAL"), "ldap5");
    EXPECT_EQ(ProviderHost("europe"), "ldapEUROPE5");
    EXPECT_EQ(ConsumerHosts("ASIA2"), (std::vector<std::string>{"ldapASIA2-1", "ldapASIA2-2",
                                                                "ldapASIA2-3", "ldapASIA2-4"}));
    EXPECT_THROW(ProviderHost("NOWHERE"), SandboxError);
}

TEST_F(SandboxTest, RestoreAllEndsEveryKindOfFault) {
    const int descriptors = OpenDescriptorCount();
    StopServer("ldap1");
    SilenceServer("ldapEUROPE1");
    MakeUnresponsive("ldapASIA2-1");
    StallAfterBind("ldap2", "ldap4");
    ASSERT_EQ(ProbeConnect("ldap1", seconds(1)), ConnectResult::kRefused);
    ASSERT_EQ(ProbeAnonymousBind("ldapEUROPE1", milliseconds(300)), BindResult::kNoReply);
    EXPECT_GT(OpenDescriptorCount(), descriptors) << "the listener faults hold sockets";

    auto start = Clock::now();
    RestoreAll();
    EXPECT_LT(Since(start).count(), 10000);
    EXPECT_EQ(OpenDescriptorCount(), descriptors) << "every fault socket is closed again";

    for (const auto& host : ServerHosts()) {
        EXPECT_EQ(ProbeAnonymousBind(host, seconds(2)), BindResult::kAnswered) << host;
    }
    // A relay would still answer the bind; only a real server answers a search.
    for (const std::string host : {"ldap2", "ldapASIA2-1"}) {
        LdapPtr ld = OpenLdap(host);
        ASSERT_TRUE(ld) << host;
        int entries = 0;
        EXPECT_EQ(SearchJdoe(ld.get(), &entries), LDAP_SUCCESS) << host;
        EXPECT_EQ(entries, 1) << host;
    }
}

}  // namespace
}  // namespace zntest
