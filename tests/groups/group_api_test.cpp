// CZNGroup through its public header only, linked against the shared library as applications
// link it: a method missing from the exports fails to link here. Each overload shape is
// checked for the context it applies.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <iterator>
#include <list>
#include <string>
#include <vector>

#include "CZNGroup.h"
#include "tests/support/sandbox_fixture.h"
#include "tests/support/spool_folder.h"

namespace {

std::vector<std::string> Names(const std::list<CZNGroup>& groups) {
    std::vector<std::string> names;
    for (const CZNGroup& group : groups) names.push_back(group.GetGroupName());
    return names;
}

// Usage reports go through the real messaging component into a private spool.
class GroupApi : public zntest::SandboxTest {
  protected:
    void SetUp() override {
        SandboxTest::SetUp();
        ASSERT_FALSE(m_spool.Root().empty());
    }
    std::size_t SpooledReports() const {
        std::error_code ignored;
        auto folder = std::filesystem::directory_iterator(
            m_spool.Root() + "/BRANTOR/ZNI/IDM/ZNGROUPS/MSG", ignored);
        return static_cast<std::size_t>(std::distance(folder, {}));
    }

  private:
    zntest::ScopedSpool m_spool;
};

TEST_F(GroupApi, EveryQueryShapeAppliesItsGroupName) {
    const CZNGroup group;
    EXPECT_EQ(group.GetCompanyNumber("ENG-ALL"), "0042");
    EXPECT_EQ(group.GetCompanyNumber(), "0042");
    EXPECT_EQ(group.GetDescription("ENG-DB"), "Database administration");
    EXPECT_EQ(group.GetDescription(), "Database administration");
    EXPECT_EQ(group.GetOrganizationalUnit("SALES-EMEA"), "Sales");
    EXPECT_EQ(group.GetOrganizationalUnit(), "Sales");
    EXPECT_EQ(group.GetGenericAttributeValue("ENG-ALL", "mailAliased"), "Y");
    EXPECT_EQ(group.GetGenericAttributeValue("description"), "All engineering staff");
    EXPECT_EQ(group.GetMailAliasedFlag("ENG-BACKEND"), 'N');
    EXPECT_EQ(group.GetMailAliasedFlag(), 'N');
    EXPECT_EQ(group.GetOutlookDisplayName(), "");
    EXPECT_EQ(group.GetOutlookDisplayName("X"), "");

    EXPECT_EQ(group.GetContacts("ENG-BACKEND").size(), 2u);
    EXPECT_EQ(group.GetContacts().size(), 2u);
    EXPECT_EQ(group.GetContactsCount("ENG-ALL") + group.GetContactsCount(), 2);
    EXPECT_EQ(group.GetDirectMembers("ENG-ALL").front().GetUserNameA(), "asmith");
    EXPECT_EQ(group.GetDirectMembers().size(), 1u);
    EXPECT_EQ(group.GetDirectMembersCount("ENG-BACKEND") + group.GetDirectMembersCount(), 4);
    EXPECT_EQ(group.GetEventualMembers("ENG-DB").size(), 1u);
    EXPECT_EQ(group.GetEventualMembers().size(), 1u);
    EXPECT_EQ(group.GetEventualMembersCount("ENG-ALL") + group.GetEventualMembersCount(), 12);
    EXPECT_EQ(group.GetOwners("ENG-FRONTEND").size(), 2u);
    EXPECT_EQ(group.GetOwners().size(), 2u);
    EXPECT_EQ(group.GetOwnersCount("SALES-ALL") + group.GetOwnersCount(), 2);

    EXPECT_EQ(Names(group.GetSubGroups("SALES-ALL")).size(), 3u);
    EXPECT_EQ(group.GetSubGroups().size(), 3u);
    EXPECT_EQ(group.GetSubGroupsCount("ENG-BACKEND") + group.GetSubGroupsCount(), 2);
    EXPECT_EQ(Names(group.GetSuperGroups("ENG-DB")),
              (std::vector<std::string>{"ENG-BACKEND", "ENG-INFRA"}));
    EXPECT_EQ(group.GetSuperGroups().size(), 2u);
    EXPECT_EQ(group.GetSuperGroupsCount("ENG-INFRA") + group.GetSuperGroupsCount(), 2);
    EXPECT_EQ(group.GetEventualSuperGroups("ENG-DB").size(), 3u);
    EXPECT_EQ(group.GetEventualSuperGroups().size(), 3u);
    EXPECT_EQ(group.GetEventualSuperGroupsCount("ENG-BACKEND"), 1);
    EXPECT_EQ(group.GetEventualSuperGroupsCount(), 1);
    EXPECT_FALSE(group.GetTopGroups().empty());
    EXPECT_EQ(group.GetTopGroupsCount(), static_cast<long>(group.GetTopGroups().size()));
    EXPECT_EQ(group.FindGroups("SALES-E*").size(), 1u);
    EXPECT_TRUE(group.FindGroupsByKeyWord("x").empty());
    EXPECT_EQ(group.GetActiveCompanies().size(), 3u);
    EXPECT_FALSE(group.GetDomains().empty());
    EXPECT_FALSE(group.GetOrganizationalUnits().empty());
    EXPECT_TRUE(group.GetAvailableKeyWords().empty());
    // One report for each group a reporting query worked on: ENG-ALL, ENG-DB, SALES-EMEA,
    // ENG-BACKEND, ENG-FRONTEND, SALES-ALL, ENG-INFRA.
    EXPECT_EQ(SpooledReports(), 7u);
}

TEST_F(GroupApi, EveryCheckShapeAppliesItsGroupName) {
    CZNGroup group("SALES-ALL");
    EXPECT_EQ(group.IsValidGroup(), 1);
    EXPECT_EQ(group.IsValidGroup("NOPE"), 0);
    EXPECT_EQ(group.IsPublicGroup("LOOP-B"), 1);
    EXPECT_EQ(group.IsPublicGroup(), 1);
    EXPECT_EQ(group.IsValidGroupContact("ENG-ALL", "cgreen") + group.IsValidGroupContact("cgreen"),
              2);
    EXPECT_EQ(
        group.IsValidGroupDirectMember("ENG-DB", "cdoe") + group.IsValidGroupDirectMember("cdoe"),
        2);
    EXPECT_EQ(group.IsValidGroupEventualMember("ENG-INFRA", "cdoe") +
                  group.IsValidGroupEventualMember("cdoe"),
              2);
    EXPECT_EQ(group.IsValidGroupOwner("ENG-INFRA", "egray") + group.IsValidGroupOwner("egray"), 2);
    EXPECT_EQ(group.IsValidGroupSubGroup("ENG-ALL", "ENG-INFRA") +
                  group.IsValidGroupSubGroup("ENG-FRONTEND"),
              2);
    EXPECT_EQ(group.IsValidGroupSuperGroup("ENG-DB", "ENG-BACKEND") +
                  group.IsValidGroupSuperGroup("ENG-INFRA"),
              2);
    EXPECT_EQ(group.IsValidGroupEventualSuperGroup("ENG-DB", "ENG-ALL") +
                  group.IsValidGroupEventualSuperGroup("ENG-ALL"),
              2);
    EXPECT_EQ(group.GetGroupName(), "ENG-DB");
    EXPECT_EQ(group.IsValidNewGroupName("FRESH"), 1);
    EXPECT_EQ(group.IsValidDomain("ASIA2"), 1);
    EXPECT_EQ(group.SetDomain("EUROPE"), 1);
    EXPECT_EQ(group.GetDomain(), "EUROPE");
    for (long answer :
         {group.IsActiveCompany("0042"), group.IsAvailableKeyWord("k"),
          group.IsValidOrganizationalUnit("Sales"), group.AddKeyWord("k"),
          group.AddKeyWord("G", "k"), group.DeleteKeyWord("k"), group.DeleteKeyWord("G", "k"),
          group.SetOrganizationalUnit("u"), group.SetOrganizationalUnit("G", "u"),
          group.SetOrganizationalUnit("U", "P", "u"),
          group.SetOrganizationalUnit("U", "P", "G", "u"), group.SetOutlookDisplayName("n"),
          group.SetOutlookDisplayName("G", "n"), group.SetOutlookDisplayName("U", "P", "n"),
          group.SetOutlookDisplayName("U", "P", "G", "n")}) {
        EXPECT_EQ(answer, 0);
    }
    EXPECT_EQ(group.GetErrorStatusCode(), 30020);
    EXPECT_EQ(group.GetGroupName(), "ENG-DB");
}

TEST_F(GroupApi, ContextTimeOutsAndConversions) {
    CZNGroup group("eng-all");
    group.SetAccess("jdoe", "secret");
    group.SetAccess("jdoe", "secret", "sales-all");
    EXPECT_EQ(group.GetGroupName(), "SALES-ALL");
    group.SetGroupName("ENG-ALL");
    group.SetConnectTimeOut(2, 5);
    group.SetSearchTimeOut(9, 7);
    group.SetTimeOut(11);
    EXPECT_EQ(group.GetConnectTimeOutSeconds(), 2);
    EXPECT_EQ(group.GetConnectTimeOutMicroSeconds(), 5);
    EXPECT_EQ(group.GetSearchTimeOutSeconds(), 11);
    EXPECT_EQ(group.GetSearchTimeOutMicroSeconds(), 7);
    EXPECT_EQ(group.GetTimeOut(), 11);
    EXPECT_EQ(group.GetErrorStatusCode(), 1);
    EXPECT_EQ(group.GetErrorStatusText(), "");

    // The exported class's converting constructors let names stand where groups are
    // expected; the portable class's are explicit.
    std::list<CZNGroup> groups;
#ifndef ZNGROUPS_PORTABLE
    groups.push_back(std::string("eng-db"));
    groups.push_back("sales-all");
    CZNGroup assigned = std::string("loop-a");
#else
    groups.emplace_back(std::string("eng-db"));
    groups.emplace_back("sales-all");
    CZNGroup assigned(std::string("loop-a"));
#endif
    EXPECT_EQ(Names(groups), (std::vector<std::string>{"ENG-DB", "SALES-ALL"}));
    EXPECT_EQ(assigned.GetGroupName(), "LOOP-A");
    // Lists of workers come through the same header.
    EXPECT_EQ(Names(group.GetOwners().front().GetOwnerGroups()),
              (std::vector<std::string>{"ENG-ALL", "ENG-ALUMNI", "ENG-FRONTEND"}));
}

}  // namespace
