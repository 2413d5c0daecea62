// Group attribute, membership and list queries against the sandboxed sample directory.
#include <algorithm>
#include <string>
#include <vector>

#include "CZNWorker.h"
#include "groups/group_impl.h"
#include "tests/groups/group_fixture.h"
#include "tests/support/ldap_session.h"

namespace zntest {
namespace {

using Names = std::vector<std::string>;

// A query that found what it could leaves the LDAP library's description of the connection.
const std::string kSuccessText = zn::ldapapi::Err2String(0);

class GroupQueries : public GroupTest {};

TEST_F(GroupQueries, AttributesComeFromTheGroupsEntry) {
    CZNGroup group("eng-all");
    EXPECT_EQ(group.GetGroupName(), "ENG-ALL");
    EXPECT_EQ(group.GetDescription(), "All engineering staff");
    ExpectStatus(group, 1, kSuccessText);
    EXPECT_EQ(group.GetCompanyNumber(), "0042");
    EXPECT_EQ(group.GetMailAliasedFlag(), 89);
    EXPECT_EQ(group.GetOrganizationalUnit(), "Engineering");
    EXPECT_EQ(group.GetGenericAttributeValue("exchangeSynchronization"), "Y");

    EXPECT_EQ(group.GetMailAliasedFlag("ENG-BACKEND"), 'N');
    EXPECT_EQ(group.GetMailAliasedFlag("SALES-EMEA"), 0);
    EXPECT_EQ(group.GetDescription("SALES-ALL"), "");
    ExpectStatus(group, 1, kSuccessText);
    EXPECT_EQ(group.GetGenericAttributeValue("ENG-DB", "companyNumber"), "");
    // A missing group reads as empty with success; only the DN lookup tells.
    EXPECT_EQ(group.GetDescription("NO-SUCH-GROUP"), "");
    ExpectStatus(group, 1, kSuccessText);
    EXPECT_EQ(group.GetOrganizationalUnit(), "");
    ExpectStatus(group, 30004, "NO-SUCH-GROUP is not a valid group name.");
}

TEST_F(GroupQueries, GroupNameChecksComeBeforeAnySearch) {
    CZNGroup group;
    const long before = SearchesSoFar();
    EXPECT_EQ(group.GetCompanyNumber(), "");
    ExpectStatus(group, 30016, "No group name specified.");
    EXPECT_EQ(group.GetEventualMembersCount(), 0);
    EXPECT_TRUE(group.GetEventualSuperGroups().empty());
    EXPECT_EQ(group.IsPublicGroup(), 0);
    ExpectStatus(group, 30016, "No group name specified.");

    // A longer name can still reach the lookups that take a name argument.
    CZNGroupImpl impl;
    EXPECT_EQ(impl.GetGroupDN(std::string(81, 'A')), "");
    ExpectStatus(impl, 30004, "Specified group name is not valid.");
    EXPECT_EQ(SearchesSoFar(), before);
    EXPECT_TRUE(Reports().empty()) << "no usage report before the checks pass";

    // The attribute name shares the filter buffer's limit.
    group.SetGroupName("ENG-ALL");
    EXPECT_EQ(group.GetGenericAttributeValue(std::string(256, 'a')), "");
    EXPECT_EQ(group.GetErrorStatusCode(), 30009);
    EXPECT_EQ(group.GetErrorStatusText(), "Invalid search criteria - " + std::string(255, 'a'));
    EXPECT_EQ(SearchesSoFar(), before);
    EXPECT_EQ(group.GetGenericAttributeValue(std::string(255, 'a')), "");
    EXPECT_EQ(SearchesSoFar(), before + 1);
}

TEST_F(GroupQueries, PeopleListsAreSortedNamesFromTheDNs) {
    CZNGroup group("ENG-ALL");
    EXPECT_EQ(NamesOf(group.GetEventualMembers()),
              (Names{"asmith", "bwhite", "cdoe", "cgreen", "egray", "jdoe"}));
    EXPECT_EQ(group.GetEventualMembersCount(), 6);
    EXPECT_EQ(NamesOf(group.GetOwners("ENG-FRONTEND")), (Names{"asmith", "cgreen"}));
    EXPECT_EQ(NamesOf(group.GetContacts("ENG-BACKEND")), (Names{"bwhite", "jdoe"}));
    EXPECT_EQ(group.GetContactsCount(), 2);
    EXPECT_EQ(NamesOf(group.GetDirectMembers("SALES-ALL")), (Names{"dblack"}));
    EXPECT_EQ(group.GetDirectMembersCount(), 1);
    EXPECT_EQ(group.GetOwnersCount("SALES-APAC"), 1);

    EXPECT_TRUE(group.GetOwners("NO-SUCH-GROUP").empty());
    ExpectStatus(group, 1, kSuccessText);
    EXPECT_EQ(group.GetOwnersCount(), 0);
}

// What a worker answers, in order, with the status each answer leaves.
std::vector<std::string> Profile(const CZNWorker& worker, const CZNGroup& group) {
    std::vector<std::string> answers{worker.GetUserNameA()};
    auto status = [&] { answers.push_back(std::to_string(worker.GetErrorStatusCode())); };
    status();
    answers.push_back(worker.GetFullName());
    for (const CZNGroup& found : worker.GetEventualGroups())
        answers.push_back(found.GetGroupName());
    status();
    answers.push_back(std::to_string(worker.IsValidEventualGroup(group.GetGroupName())));
    status();
    return answers;
}

TEST_F(GroupQueries, ListedObjectsCarryTheirNameAndActAsObjectsMadeFromIt) {
    // A member that names nobody: its DN still gives a name.
    ASSERT_EQ(WriteAsAdmin(GroupDN("LOOP-A", "Lab"), LDAP_MOD_ADD, {{"uniqueMember", {PersonDN("ghost")}}}),
              LDAP_SUCCESS);
    const CZNGroup finder;
    CZNGroup listing;
    std::size_t checked = 0;
    for (const CZNGroup& group : finder.FindGroups("*")) {
        using PeopleList = const std::list<CZNWorker>& (CZNGroup::*)(const std::string&) const;
        for (PeopleList list :
             {PeopleList(&CZNGroup::GetContacts), PeopleList(&CZNGroup::GetDirectMembers),
              PeopleList(&CZNGroup::GetEventualMembers), PeopleList(&CZNGroup::GetOwners)}) {
            const std::list<CZNWorker>& people = (listing.*list)(group.GetGroupName());
            // The names come with the list: no search per name.
            const long before = SearchesSoFar();
            std::vector<std::string> names;
            for (const CZNWorker& person : people) names.push_back(person.GetName());
            EXPECT_EQ(SearchesSoFar(), before);
            EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
            auto name = names.begin();
            for (const CZNWorker& person : people) {
                const CZNWorker copied(person);
                CZNWorker assigned;
                assigned = person;
                EXPECT_EQ(person.GetUserNameA(), *name);
                EXPECT_EQ(person.GetName(), *name) << "loading keeps the name";
                const std::vector<std::string> expected = Profile(CZNWorker(*name), group);
                EXPECT_EQ(Profile(copied, group), expected);
                EXPECT_EQ(Profile(assigned, group), expected);
                ++name;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 50u);
    const std::list<CZNWorker>& loop = listing.GetEventualMembers("LOOP-A");
    ASSERT_EQ(loop.size(), 2u);
    EXPECT_EQ(loop.back().GetName(), "ghost");
    EXPECT_EQ(loop.back().GetUserNameA(), "ghost");
    EXPECT_EQ(loop.back().GetErrorStatusCode(), 30013);

    // A copy keeps its name when the list it came from is rewritten, and a member used in
    // place keeps working until then.
    const std::list<CZNWorker>& engineers = listing.GetEventualMembers("ENG-ALL");
    const CZNWorker kept = engineers.front();
    CZNWorker assignedLater;
    assignedLater = engineers.back();
    EXPECT_EQ(engineers.back().GetFullName(), CZNWorker("jdoe").GetFullName());
    listing.GetOwners("SALES-APAC");
    EXPECT_EQ(kept.GetName(), "asmith");
    EXPECT_EQ(assignedLater.GetName(), "jdoe");
    EXPECT_EQ(kept.GetFullName(), CZNWorker("asmith").GetFullName());

    // Groups from a list, used for their own queries, checks and lists.
    const std::list<CZNGroup>& subgroups = listing.GetSubGroups("ENG-ALL");
    const CZNGroup listed = subgroups.front();
    const CZNGroup made("eng-backend");
    EXPECT_EQ(listed.GetGroupName(), made.GetGroupName());
    EXPECT_EQ(listed.GetDescription(), made.GetDescription());
    EXPECT_EQ(listed.IsValidGroupSuperGroup("ENG-ALL"), made.IsValidGroupSuperGroup("ENG-ALL"));
    EXPECT_EQ(NamesOf(listed.GetSubGroups()), NamesOf(made.GetSubGroups()));
    EXPECT_EQ(NamesOf(listed.GetEventualMembers()), NamesOf(made.GetEventualMembers()));
    RestoreDirectory();
}

TEST_F(GroupQueries, EmptyAndOrganizationLevelGroupsAreOrdinaryGroups) {
    CZNGroup group("ENG-ALUMNI");
    EXPECT_EQ(group.IsValidGroup(), 1);
    EXPECT_TRUE(group.GetEventualMembers().empty());
    EXPECT_EQ(group.GetDirectMembersCount(), 0);
    ExpectStatus(group, 1, kSuccessText);
    EXPECT_EQ(NamesOf(group.GetOwners()), (Names{"asmith"}));

    // Directly under the organization: the "unit" is the organization's own name.
    group.SetGroupName("announce");
    EXPECT_EQ(group.GetOrganizationalUnit(), "example.com");
    EXPECT_EQ(NamesOf(group.GetOwners()), (Names{"bwhite"}));
    EXPECT_EQ(NamesOf(group.GetEventualMembers()), (Names{"dblack"}));
    EXPECT_EQ(NamesOf(CZNWorker("bwhite").GetOwnerGroups()), (Names{"ANNOUNCE"}))
        << "found by owner outside every unit";
}

TEST_F(GroupQueries, FixedRoleGroupsCountMembersOfTheirSubgroups) {
    CZNGroup generics("ZNGENERICS");
    EXPECT_EQ(NamesOf(generics.GetDirectMembers()), (Names{"genacct"}));
    EXPECT_EQ(NamesOf(generics.GetEventualMembers()), (Names{"batchacct", "genacct"}));
    EXPECT_EQ(NamesOf(generics.GetSubGroups()), (Names{"ZNGENERICS-BATCH"}));
    CZNGroupImpl impl;
    EXPECT_EQ(impl.IsAdministrator("cgreen"), 1) << "a deputy, through ZN-ADMIN-DEPUTIES";
    EXPECT_EQ(impl.IsAdministrator("batchacct"), 0);
}

TEST_F(GroupQueries, ReferencesShowTheLatestQueryOfTheirMember) {
    CZNGroup group("ENG-ALL");
    const std::list<CZNGroup>& subgroups = group.GetSubGroups();
    EXPECT_EQ(NamesOf(subgroups), (Names{"ENG-BACKEND", "ENG-FRONTEND", "ENG-INFRA"}));
    EXPECT_EQ(group.GetSubGroupsCount(), 3);
    group.FindGroups("SALES-A*");
    EXPECT_EQ(NamesOf(subgroups), (Names{"SALES-ALL", "SALES-AMERICAS", "SALES-APAC"}));
    const std::list<std::string>& units = group.GetOrganizationalUnits();
    EXPECT_NE(std::find(units.begin(), units.end(), "Engineering"), units.end());
    group.GetDescription();
    EXPECT_EQ(units, (std::list<std::string>{"All engineering staff"}));
}

TEST_F(GroupQueries, EventualSuperGroupsVisitEachGroupOnce) {
    CZNGroup group("ENG-DB");
    EXPECT_EQ(NamesOf(group.GetSuperGroups()), (Names{"ENG-BACKEND", "ENG-INFRA"}));
    EXPECT_EQ(group.GetSuperGroupsCount(), 2);

    // ENG-DB, ENG-BACKEND, ENG-INFRA and ENG-ALL, the shared ancestor once.
    long before = SearchesSoFar();
    EXPECT_EQ(NamesOf(group.GetEventualSuperGroups()),
              (Names{"ENG-ALL", "ENG-BACKEND", "ENG-INFRA"}));
    EXPECT_EQ(SearchesSoFar() - before, 4);
    EXPECT_EQ(group.GetGroupName(), "ENG-DB");
    EXPECT_EQ(group.GetEventualSuperGroupsCount(), 3);

    // A cycle ends, and each of its groups is its own eventual supergroup.
    before = SearchesSoFar();
    EXPECT_EQ(NamesOf(group.GetEventualSuperGroups("LOOP-A")), (Names{"LOOP-A", "LOOP-B"}));
    EXPECT_EQ(SearchesSoFar() - before, 2);
    EXPECT_EQ(group.GetGroupName(), "LOOP-A");

    EXPECT_TRUE(group.GetEventualSuperGroups("ENG-ALL").empty());
    EXPECT_EQ(group.GetEventualSuperGroupsCount(), 0);
}

TEST_F(GroupQueries, TopGroupsAreGroupEntriesWithoutSupergroups) {
    CZNGroup group;
    Names top = NamesOf(group.GetTopGroups());
    EXPECT_TRUE(std::is_sorted(top.begin(), top.end()));
    for (const char* expected : {"ANNOUNCE", "ENG-ALL", "ENG-ALUMNI", "SALES-ALL",
                                 "ZN_GROUPS_ADMINISTRATORS", "ZNGENERICS", "ZNI_SSO_CONTROL"}) {
        EXPECT_NE(std::find(top.begin(), top.end(), expected), top.end()) << expected;
    }
    // People and configuration entries have a cn and no supergroup too, but are no groups.
    for (const char* absent :
         {"JOHN DOE", "ALICE SMITH", "COMPANIES", "DOMAINS", "ENG-DB", "ZN-ADMIN-DEPUTIES"}) {
        EXPECT_EQ(std::find(top.begin(), top.end(), absent), top.end()) << absent;
    }
    EXPECT_EQ(group.GetTopGroupsCount(), static_cast<long>(top.size()));
}

TEST_F(GroupQueries, FindGroupsTakesAPatternOfAtMost80Characters) {
    CZNGroup group;
    EXPECT_EQ(NamesOf(group.FindGroups("ENG-*")), (Names{"ENG-ALL", "ENG-ALUMNI", "ENG-BACKEND",
                                                         "ENG-DB", "ENG-FRONTEND", "ENG-INFRA"}));
    EXPECT_EQ(NamesOf(group.FindGroups("eng-db")), (Names{"ENG-DB"}));
    EXPECT_TRUE(group.FindGroups("").empty());
    ExpectStatus(group, 30016, "No group name search string specified.");
    group.FindGroups("ENG-*");
    EXPECT_TRUE(group.FindGroups(std::string(81, '*')).empty());
    ExpectStatus(group, 30004, "Specified group name search string is not valid.");
}

TEST_F(GroupQueries, ConfigurationListsKeepTheDirectorysOrder) {
    CZNGroup group;
    EXPECT_EQ(group.GetActiveCompanies(),
              (std::list<std::string>{"0042 Example Holding", "0100 Example Europe GmbH",
                                      "0200 Example Asia Pte. Ltd."}));
    const std::list<std::string>& domains = group.GetDomains();
    EXPECT_EQ(domains.front(), "EUROPE");
    EXPECT_NE(std::find(domains.begin(), domains.end(), "ASIA2"), domains.end());

    CZNGroupImpl impl;
    EXPECT_EQ(impl.GetDomainPort(""), 60660);
    EXPECT_EQ(impl.GetDomainPort("EUROPE"), 60661);
    EXPECT_EQ(impl.GetDomainPort("ASIA2"), 60662);
    EXPECT_EQ(impl.GetDomainPort("NOWHERE"), 60660);
    // The substring rule still lends a listed port to a domain that only begins one.
    EXPECT_EQ(impl.GetDomainPort("EURO"), 60661);
}

TEST_F(GroupQueries, OutageLeavesEmptyResultsWithTheReason) {
    CZNGroup group("ENG-ALL");
    LocalOutage down;
    EXPECT_TRUE(group.GetEventualMembers().empty());
    EXPECT_EQ(group.GetErrorStatusCode(), 30006);
    EXPECT_EQ(group.GetDescription(), "");
    EXPECT_EQ(group.GetErrorStatusCode(), 30006);
    EXPECT_EQ(group.GetMailAliasedFlag(), 0);
    EXPECT_EQ(group.GetErrorStatusCode(), 30006);
}

TEST_F(GroupQueries, UsageReportsGoOncePerObjectAndGroupName) {
    CZNGroup group("ENG-ALL");
    group.GetDescription();
    group.GetOwners();
    group.GetCompanyNumber("SALES-ALL");
    EXPECT_EQ(Reports(),
              (Names{"GetDescription/ZNGroup/ENG-ALL", "GetCompanyNumber/ZNGroup/SALES-ALL"}));

    // Counts report before they search, so even a failed count is reported.
    {
        LocalOutage down;
        group.GetOwnersCount("ENG-DB");
    }
    EXPECT_EQ(Reports().back(), "GetOwnersCount/ZNGroup/ENG-DB");

    // A copy starts with no reported names; the list queries report after their search.
    RecordingMessaging::Reset();
    CZNGroup copy(group);
    copy.GetSubGroups("ENG-ALL");
    copy.IsValidGroup("ENG-BACKEND");  // a yes is not reported
    copy.GetOrganizationalUnit("ENG-INFRA");
    EXPECT_EQ(Reports(),
              (Names{"GetSubGroups/ZNGroup/ENG-ALL", "GetOrganizationalUnit/ZNGroup/ENG-INFRA"}));

    // The walk reports every group it visits.
    RecordingMessaging::Reset();
    CZNGroup walker("ENG-DB");
    walker.GetEventualSuperGroups();
    EXPECT_EQ(Reports(),
              (Names{"GetSuperGroups/ZNGroup/ENG-DB", "GetSuperGroups/ZNGroup/ENG-BACKEND",
                     "GetSuperGroups/ZNGroup/ENG-ALL", "GetSuperGroups/ZNGroup/ENG-INFRA"}));
}

TEST_F(GroupQueries, ContextSettersNormaliseAndCopiesKeepOnlyTheGroupSide) {
    CZNGroup group(std::string(100, 'x'));
    EXPECT_EQ(group.GetGroupName(), std::string(80, 'X'));

    CZNGroupImpl impl;
    impl.SetCredentialsVerified(1);
    impl.SetPassword("Secret");
    EXPECT_EQ(impl.GetCredentialsVerified(), 1) << "the password leaves the flag alone";
    impl.SetUser(std::string(60, 'u'));
    EXPECT_EQ(impl.GetUser(), std::string(50, 'U'));
    EXPECT_EQ(impl.GetCredentialsVerified(), 0);
    impl.SetPassword(std::string(130, 'p'));
    EXPECT_EQ(impl.GetPasswordContext(), std::string(126, 'p'));

    group.SetGroupName("ENG-ALL");
    ASSERT_EQ(group.SetDomain("EUROPE"), 1);
    group.SetSearchTimeOut(7, 500);
    group.GetDomains();
    group.GetSubGroups();
    CZNGroup copy(group);
    EXPECT_EQ(copy.GetDomain(), "");
    EXPECT_EQ(copy.GetSearchTimeOutSeconds(), 120);
    EXPECT_EQ(copy.GetGroupName(), "ENG-ALL");
    EXPECT_EQ(NamesOf(copy.GetSubGroups()).size(), 3u);

    CZNGroup assigned;
    assigned = group;
    EXPECT_EQ(assigned.GetGroupName(), "ENG-ALL");
    CZNGroup& same = assigned;
    assigned = same;
    EXPECT_EQ(assigned.GetGroupName(), "ENG-ALL");
}

TEST_F(GroupQueries, OperationsWithoutDataAnswer30020AndApplyNoContext) {
    CZNGroup group("ENG-ALL");
    EXPECT_EQ(group.SetOrganizationalUnit("user", "pw", "SALES-ALL", "Sales"), 0);
    ExpectStatus(group, 30020, "This method/member function has not been implemented.");
    EXPECT_EQ(group.GetGroupName(), "ENG-ALL");
    EXPECT_EQ(group.GetOutlookDisplayName("SALES-ALL"), "");
    EXPECT_EQ(group.GetGroupName(), "ENG-ALL");
    EXPECT_EQ(group.GetErrorStatusCode(), 30020);
    EXPECT_EQ(group.AddKeyWord("SALES-ALL", "k"), 0);
    EXPECT_EQ(group.IsActiveCompany("0042"), 0);
    EXPECT_TRUE(group.FindGroupsByKeyWord("x").empty());
    EXPECT_TRUE(group.GetAvailableKeyWords().empty());
    EXPECT_EQ(group.GetGroupName(), "ENG-ALL");
}

}  // namespace
}  // namespace zntest
