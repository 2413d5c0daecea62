// Group checks and the lookups changes rely on, hostile names and domains, against the sandbox.
#include <string>
#include <vector>

#include "groups/group_impl.h"
#include "tests/groups/group_fixture.h"

namespace zntest {
namespace {

using Names = std::vector<std::string>;

class GroupValidation : public GroupTest {};

TEST_F(GroupValidation, PersonChecksNameTheUserAsPassed) {
    CZNGroup group("ENG-ALL");
    EXPECT_EQ(group.IsValidGroupOwner("asmith"), 1);
    ExpectStatus(group, 1, "");
    EXPECT_EQ(group.IsValidGroupOwner("jdoe"), 0);
    ExpectStatus(group, 30015, "jdoe is not a valid owner of group ENG-ALL.");
    EXPECT_EQ(group.IsValidGroupContact("cgreen"), 1);
    EXPECT_EQ(group.IsValidGroupContact("ENG-BACKEND", "JDOE"), 1);
    EXPECT_EQ(group.IsValidGroupContact("cdoe"), 0);
    ExpectStatus(group, 30018, "cdoe is not a valid contact of group ENG-BACKEND.");
    EXPECT_EQ(group.IsValidGroupDirectMember("ENG-ALL", "asmith"), 1);
    EXPECT_EQ(group.IsValidGroupDirectMember("jdoe"), 0);
    ExpectStatus(group, 30019, "jdoe is not a valid direct member of group ENG-ALL.");
    EXPECT_EQ(group.IsValidGroupEventualMember("jdoe"), 1);
    EXPECT_EQ(group.IsValidGroupEventualMember("dblack"), 0);
    ExpectStatus(group, 30012, "dblack is not a valid member of group ENG-ALL.");

    EXPECT_EQ(group.IsValidGroupOwner("nobody"), 0);
    ExpectStatus(group, 30005, "nobody is not a valid username.");
    EXPECT_EQ(group.IsValidGroupOwner(""), 0);
    ExpectStatus(group, 30021, "No username specified.");
    // 51 characters are looked up, 52 refused before any search.
    EXPECT_EQ(group.IsValidGroupOwner("lorenzo.bartholomew.fitzgerald.montgomery-whitfield"), 0);
    EXPECT_EQ(group.GetErrorStatusCode(), 30015);
    const long before = SearchesSoFar();
    EXPECT_EQ(group.IsValidGroupOwner(std::string(52, 'a')), 0);
    ExpectStatus(group, 30005, "Specified username is not valid.");
    EXPECT_EQ(SearchesSoFar(), before);
}

TEST_F(GroupValidation, HostileNamesMatchOnlyThemselves) {
    CZNGroup group("ENG-ALL");
    // Each would be a wildcard or an extra filter term if it reached the filter raw.
    for (const std::string& hostile :
         {std::string("*"), std::string("a*"), std::string("x)(uid=*"), std::string("*)(|(uid=*"),
          std::string("jdoe\\"), std::string("asmith\0x", 8)}) {
        EXPECT_EQ(group.IsValidGroupOwner(hostile), 0) << hostile;
        EXPECT_EQ(group.GetErrorStatusCode(), 30005) << hostile;
        EXPECT_EQ(group.IsValidGroupEventualMember(hostile), 0) << hostile;
    }
    for (const std::string& hostile : {std::string("*"), std::string("ENG-*"),
                                       std::string("ENG-ALL)(cn=*"), std::string("ENG-ALL\0", 8)}) {
        CZNGroup named(hostile);
        EXPECT_EQ(named.IsValidGroup(), 0) << hostile;
        EXPECT_EQ(named.GetErrorStatusCode(), 30004) << hostile;
        EXPECT_EQ(named.GetDescription(), "") << hostile;
        EXPECT_TRUE(named.GetEventualMembers().empty()) << hostile;
        EXPECT_EQ(named.GetOwnersCount(), 0) << hostile;
        EXPECT_EQ(group.IsValidGroupSubGroup(hostile), 0) << hostile;
        EXPECT_EQ(group.IsValidGroupEventualSuperGroup("ENG-DB", hostile), 0) << hostile;
        EXPECT_EQ(group.IsValidNewGroupName(hostile), 0) << hostile;
    }
    EXPECT_EQ(group.IsValidDomain("*"), 0);
    ExpectStatus(group, 30044, "* is not a valid domain.");
}

TEST_F(GroupValidation, FiltersBeyondTheirBufferAreRefusedUnsearched) {
    // 80 characters that each need three once escaped cannot fit the group filter.
    CZNGroup group(std::string(80, '*'));
    const long before = SearchesSoFar();
    EXPECT_EQ(group.IsValidGroup(), 0);
    EXPECT_EQ(group.GetErrorStatusCode(), 30009);
    const std::string& text = group.GetErrorStatusText();
    const std::string start =
        "Invalid search criteria - (&(objectclass=groupOfUniqueNames)(cn=\\2a";
    EXPECT_EQ(text.substr(0, start.size()), start);
    EXPECT_EQ(text.size(), std::string("Invalid search criteria - ").size() + 255);
    EXPECT_EQ(group.GetEventualSuperGroupsCount(), 0);
    EXPECT_EQ(group.GetErrorStatusCode(), 30009);
    EXPECT_EQ(group.IsValidDomain(std::string(240, 'D').c_str()), 0);
    EXPECT_EQ(group.GetErrorStatusCode(), 30009);
    EXPECT_EQ(SearchesSoFar(), before);
    EXPECT_TRUE(Reports().empty());
}

TEST_F(GroupValidation, GroupRelationsApplyTheGroupNameAfterTheCandidate) {
    CZNGroup group("ENG-ALL");
    EXPECT_EQ(group.IsValidGroupSubGroup("ENG-BACKEND"), 1);
    EXPECT_EQ(group.IsValidGroupSubGroup("ENG-DB"), 0);
    ExpectStatus(group, 1, "");
    EXPECT_EQ(group.IsValidGroupSuperGroup("ENG-DB", "ENG-INFRA"), 1);
    EXPECT_EQ(group.GetGroupName(), "ENG-DB");
    EXPECT_EQ(group.IsValidGroupEventualSuperGroup("ENG-ALL"), 1);
    EXPECT_EQ(group.IsValidGroupEventualSuperGroup("ENG-ALL", "ENG-DB"), 0);

    EXPECT_EQ(group.IsValidGroupSubGroup("SALES-ALL", "NO-SUCH"), 0);
    ExpectStatus(group, 30004, "NO-SUCH is not a valid group name.");
    EXPECT_EQ(group.GetGroupName(), "ENG-ALL") << "unchanged when the candidate is unknown";

    // The walk over a cycle ends without finding what is not there.
    EXPECT_EQ(group.IsValidGroupEventualSuperGroup("LOOP-A", "ENG-ALL"), 0);
    EXPECT_EQ(group.IsValidGroupEventualSuperGroup("LOOP-A", "LOOP-A"), 1);
}

TEST_F(GroupValidation, EventualSuperGroupByDNAsksEachGroupOnce) {
    CZNGroupImpl impl;
    impl.SetGroupName("ENG-DB");
    // Not found: every group of the diamond is asked (is it there, what is above) once.
    long before = SearchesSoFar();
    EXPECT_EQ(impl.IsEventualSuperGroupByDN(GroupDN("SALES-ALL", "Sales")), 0);
    EXPECT_EQ(SearchesSoFar() - before, 8);
    before = SearchesSoFar();
    EXPECT_EQ(impl.IsEventualSuperGroupByDN(GroupDN("ENG-ALL", "Engineering")), 1);
    EXPECT_EQ(SearchesSoFar() - before, 3);

    // A walk that cannot see the supergroups says no, and says why.
    LocalOutage down;
    EXPECT_EQ(impl.IsEventualSuperGroupByDN(GroupDN("ENG-ALL", "Engineering")), 0);
    EXPECT_EQ(impl.GetErrorStatusCode(), 30006);
    EXPECT_TRUE(impl.LastSearchFailed());
}

TEST_F(GroupValidation, PublicGroupsAreKnownToHaveNoOwnersOrContacts) {
    CZNGroup group("LOOP-A");
    EXPECT_EQ(group.IsPublicGroup(), 1);
    ExpectStatus(group, 1, "");
    EXPECT_EQ(group.IsPublicGroup("ENG-INFRA"), 0);
    ExpectStatus(group, 30017, "ENG-INFRA is not a public group.");
    EXPECT_EQ(Reports().front(), "GetOwners/ZNGroup/LOOP-A");

    LocalOutage down;
    EXPECT_EQ(group.IsPublicGroup("LOOP-A"), 0);
    EXPECT_EQ(group.GetErrorStatusCode(), 30006);
}

TEST_F(GroupValidation, NewGroupNamesAreWellFormedAndFree) {
    CZNGroup group;
    EXPECT_EQ(group.IsValidNewGroupName("new.team_7"), 1);
    ExpectStatus(group, 1, "");
    EXPECT_EQ(group.IsValidNewGroupName("new-team"), 0);
    ExpectStatus(group, 30030, "new-team is not a valid new group name.");
    EXPECT_EQ(group.IsValidNewGroupName("zngenerics"), 0);
    ExpectStatus(group, 30030, "zngenerics is not a valid new group name.");
    EXPECT_EQ(group.IsValidNewGroupName("caf\xc3\xa9"), 0);
    EXPECT_EQ(group.IsValidNewGroupName(""), 0);
    ExpectStatus(group, 30016, "No group name specified.");
    EXPECT_EQ(group.IsValidNewGroupName(std::string(81, 'A')), 0);
    ExpectStatus(group, 30004, "Specified group name is not valid.");
    EXPECT_TRUE(Reports().empty());

    // Whether a name is free cannot be known while the directory is away.
    LocalOutage down;
    EXPECT_EQ(group.IsValidNewGroupName("new.team_7"), 0);
    EXPECT_EQ(group.GetErrorStatusCode(), 30006);
}

TEST_F(GroupValidation, LookupsForChangesFindDNsAdministratorsAndCompanies) {
    CZNGroupImpl impl;
    EXPECT_EQ(impl.GetGroupDN("eng-db"), GroupDN("ENG-DB", "Engineering"));
    ExpectStatus(impl, 1, "");
    EXPECT_EQ(std::string(impl.GetUserDN("jdoe")), PersonDN("jdoe"));
    // One uid under two branches: the later entry stands.
    EXPECT_EQ(std::string(impl.GetUserDN("twin")), PersonDN("twin", "Contractors"));
    EXPECT_EQ(std::string(impl.GetUserDN("ghost")), "");
    ExpectStatus(impl, 30005, "ghost is not a valid username.");

    EXPECT_EQ(impl.IsAdministrator("asmith"), 1);
    EXPECT_EQ(impl.IsAdministrator("jdoe"), 0);
    ExpectStatus(impl, 30036, "jdoe is not an administrator.");
    EXPECT_EQ(impl.IsAdministrator("*"), 0);
    EXPECT_EQ(impl.GetErrorStatusCode(), 30005);

    EXPECT_EQ(impl.IsValidCompanyNumber("42"), 1);
    EXPECT_EQ(impl.IsValidCompanyNumber("0100"), 1);
    for (const char* invalid : {"12345", "", "7", "*"}) {
        EXPECT_EQ(impl.IsValidCompanyNumber(invalid), 0) << invalid;
        ExpectStatus(impl, 30032, "Specified SAP Company Number is invalid.");
    }
}

TEST_F(GroupValidation, SetDomainMovesQueriesToTheDomainsOwnServers) {
    CZNGroup group("ENG-ALL");
    EXPECT_EQ(group.IsValidDomain(""), 1);
    EXPECT_EQ(group.IsValidDomain("europe"), 1);
    EXPECT_EQ(group.SetDomain("NOWHERE"), 0);
    ExpectStatus(group, 30044, "NOWHERE is not a valid domain.");
    EXPECT_EQ(group.GetDomain(), "");

    ASSERT_EQ(group.SetDomain("ASIA2"), 1);
    EXPECT_EQ(group.GetDomain(), "ASIA2");
    {
        LocalOutage down;
        EXPECT_EQ(group.GetDescription(), "All engineering staff");
        EXPECT_EQ(group.GetErrorStatusCode(), 1);
    }
    ScopedFault asiaDown(Fault::kRefuse, {"ldapASIA2-5", "ldapASIA2-4", "ldapASIA2-3",
                                          "ldapASIA2-2", "ldapASIA2-1"});
    EXPECT_EQ(group.GetDescription(), "");
    EXPECT_EQ(group.GetErrorStatusCode(), 30006);
    asiaDown.Restore();

    ASSERT_EQ(group.SetDomain(""), 1);
    EXPECT_EQ(group.GetDomain(), "");
}

}  // namespace
}  // namespace zntest
