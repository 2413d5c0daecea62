// Search retries, time-outs and fail-over against the sandboxed servers.
#include <ldap.h>

#include <list>
#include <string>

#include "tests/session/session_fixture.h"

namespace zntest {
namespace {

using zn::CZNDirectoryBase;

const char* const kMember[] = {"member", nullptr};
constexpr const char* kDomainsFilter = "(&(objectclass=groupOfNames)(cn=Domains))";

class Search : public DirectoryTest {};

TEST_F(Search, FindsNothingWithoutFailing) {
    CZNDirectoryBase base;
    std::list<std::string> values{"stale"};
    base.CollectValues("(&(objectclass=groupOfUniqueNames)(cn=NO-SUCH-GROUP))", kMember, values);
    EXPECT_TRUE(values.empty());
    EXPECT_EQ(base.GetErrorStatusCode(), 1);
    EXPECT_EQ(base.GetErrorStatusText(), Describe(0));
}

TEST_F(Search, FilterRejectedEverywhereEndsInLdapError87) {
    CZNDirectoryBase base;
    std::list<std::string> values;
    base.CollectValues("(&(cn=Domains)", kMember, values);
    EXPECT_TRUE(values.empty());
    EXPECT_EQ(base.GetErrorStatusCode(), 30042);
    EXPECT_EQ(base.GetErrorStatusText(), "LDAP error 87 encountered.");
    EXPECT_EQ(base.ConnectAndSearch(zn::OrganizationBaseDN(), "(&(cn=Domains)", kMember), 87);
}

TEST_F(Search, SearchTimeOutMovesOnToTheNextServer) {
    ScopedFault stalled(Fault::kStallAfterBind, "ldap5", "ldap4");
    CZNDirectoryBase base;
    base.SetSearchTimeOut(1, 0);
    std::list<std::string> values;
    Stopwatch watch;
    base.CollectValues(kDomainsFilter, kMember, values);
    EXPECT_GE(watch.Seconds(), 0.9);
    EXPECT_EQ(values, (std::list<std::string>{"EUROPE", "ASIA2"}));
    // The failure on ldap5 stays in the code; the text describes the good connection.
    EXPECT_EQ(base.GetErrorStatusCode(), 30041);
    EXPECT_EQ(base.GetErrorStatusText(), Describe(0));
}

TEST_F(Search, SearchTimingOutOnEveryServerReturnsTimeout) {
    ScopedFault stalled(Fault::kStallAfterBind,
                        {"ldapEUROPE5", "ldapEUROPE4", "ldapEUROPE3", "ldapEUROPE2", "ldapEUROPE1"},
                        "ldap1");
    CZNDirectoryBase base("EUROPE");
    base.SetSearchTimeOut(0, 400000);
    Stopwatch watch;
    EXPECT_EQ(base.ConnectAndSearch(zn::OrganizationBaseDN(), kDomainsFilter, kMember), 85);
    double seconds = watch.Seconds();
    EXPECT_EQ(base.GetErrorStatusCode(), 30041);
    EXPECT_EQ(base.GetErrorStatusText(), "Timeout encountered.");
    // One search per server: five waits of 0.4 s, not twenty-five.
    EXPECT_GE(seconds, 1.9);
    EXPECT_LT(seconds, 6.0);
}

TEST_F(Search, NegativeSearchTimeOutGivesUpAtOnceInsteadOfWaitingForever) {
    ScopedFault stalled(Fault::kStallAfterBind,
                        {"ldapEUROPE5", "ldapEUROPE4", "ldapEUROPE3", "ldapEUROPE2", "ldapEUROPE1"},
                        "ldap1");
    CZNDirectoryBase base("EUROPE");
    base.SetSearchTimeOut(-1, 0);
    Stopwatch watch;
    EXPECT_EQ(base.ConnectAndSearch(zn::OrganizationBaseDN(), kDomainsFilter, kMember), 85);
    EXPECT_LT(watch.Seconds(), 5.0);
    EXPECT_EQ(base.GetSearchTimeOutSeconds(), -1);
}

TEST_F(Search, PartialResultEndingInSizeLimitCountsAsAFailure) {
    // New handles take libldap's global defaults: a size limit of one makes the real server
    // return one entry and then "size limit exceeded" (4).
    int limit = 1;
    ASSERT_EQ(ldap_set_option(nullptr, LDAP_OPT_SIZELIMIT, &limit), LDAP_OPT_SUCCESS);
    struct Restore {
        ~Restore() {
            int none = 0;
            ldap_set_option(nullptr, LDAP_OPT_SIZELIMIT, &none);
        }
    } restore;
    const char* const uid[] = {"uid", nullptr};
    CZNDirectoryBase base;
    std::list<std::string> values{"stale"};
    base.CollectValues("(objectclass=organizationalPerson)", uid, values);
    EXPECT_TRUE(values.empty()) << "a cut list must not pass for the whole one";
    EXPECT_EQ(base.GetErrorStatusCode(), 30042);
    EXPECT_EQ(base.GetErrorStatusText(), "LDAP error 4 encountered.");
    EXPECT_EQ(base.CountValues("(objectclass=organizationalPerson)", uid), 0);
}

TEST_F(Search, OutageReportsNoConnectionAfterTheLastAttemptsDescription) {
    CZNDirectoryBase base;
    std::list<std::string> values{"stale"};
    {
        ScopedFault down(Fault::kRefuse, {"ldap5", "ldap4", "ldap3", "ldap2", "ldap1"});
        base.CollectValues(kDomainsFilter, kMember, values);
        EXPECT_TRUE(values.empty());
        EXPECT_EQ(base.GetErrorStatusCode(), 30006);
        EXPECT_EQ(base.GetErrorStatusText(),
                  Describe(81) + "; No connection available to an LDAP server.");
        EXPECT_NE(base.ConnectAndSearch(zn::OrganizationBaseDN(), kDomainsFilter, kMember), 0);
    }
    // The servers are back: the same object reads again.
    base.CollectValues(kDomainsFilter, kMember, values);
    EXPECT_EQ(values.size(), 2u);
    EXPECT_EQ(base.GetErrorStatusCode(), 1);
}

TEST_F(Search, ServerStoppedAndRestartedBetweenQueries) {
    CZNDirectoryBase base;
    base.SetConnectTimeOut(1, 0);
    std::list<std::string> values;
    StopServer("ldap5");
    StopServer("ldap4");
    base.CollectValues(kDomainsFilter, kMember, values);
    EXPECT_EQ(values.size(), 2u);
    SilenceServer("ldap3");
    SilenceServer("ldap2");
    SilenceServer("ldap1");
    StartServer("ldap4");
    base.CollectValues(kDomainsFilter, kMember, values);
    EXPECT_EQ(values.size(), 2u) << base.GetErrorStatusText();
    EXPECT_EQ(base.GetErrorStatusCode(), 1);
}

TEST_F(Search, NothingStaysOpenAfterSuccessOrFailure) {
    CZNDirectoryBase base;
    base.SetConnectTimeOut(1, 0);
    std::list<std::string> values;
    base.CollectValues(kDomainsFilter, kMember, values);
    const int before = OpenDescriptorCount();
    for (int i = 0; i < 10; ++i) {
        base.CollectValues(kDomainsFilter, kMember, values);
        base.CountValues(kDomainsFilter, kMember);
        base.CollectValues("(&(cn=Domains)", kMember, values);
    }
    {
        ScopedFault down(Fault::kRefuse, "ldap5");
        ScopedFault silent(Fault::kSilent, "ldap4");
        base.CollectValues(kDomainsFilter, kMember, values);
        EXPECT_EQ(values.size(), 2u);
    }
    EXPECT_EQ(OpenDescriptorCount(), before);
}

}  // namespace
}  // namespace zntest
