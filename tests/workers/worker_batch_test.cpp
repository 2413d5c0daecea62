// Loading many listed workers or groups at once: each object ends as its own reads would
// leave it, through a search per few hundred names instead of one per object.
#include <gtest/gtest.h>

#include <ldap.h>

#include <list>
#include <string>
#include <vector>

#include "CZNGroup.h"
#include "CZNWorker.h"
#include "tests/groups/group_fixture.h"
#include "tests/support/ldap_session.h"

namespace zntest {
namespace {

// Everything a load fills, as the getters give it.
std::vector<std::string> Loaded(const CZNWorker& w) {
    return {w.GetUserNameA(),
            std::to_string(w.GetWorkerNumber()),
            w.GetWorkerDN(),
            w.GetFullName(),
            w.GetCity(),
            w.GetCompanyName(),
            w.GetCompanyNumber(),
            w.GetCountry(),
            w.GetCostCenter(),
            w.GetCostCenterDescription(),
            w.GetDisplayName(),
            w.GetEmployeeType(),
            w.GetFaxNumber(),
            w.GetGivenName(),
            w.GetEmailAddress(),
            w.GetMailStop(),
            w.GetSupervisorUserName(),
            w.GetPagerNumber(),
            w.GetOfficeLocation(),
            w.GetSurName(),
            w.GetShiftCode(),
            w.GetShipToCity(),
            w.GetShipToCountry(),
            w.GetShipToState(),
            w.GetShipToStreet(),
            w.GetShipToZipCode(),
            w.GetState(),
            w.GetStreet(),
            w.GetPhoneNumber(),
            w.GetJobTitle(),
            w.GetZipCode()};
}

struct Status {
    long code;
    std::string text;
    bool operator==(const Status& other) const { return code == other.code && text == other.text; }
};
std::ostream& operator<<(std::ostream& out, const Status& s) {
    return out << s.code << " '" << s.text << "'";
}
Status StatusOf(const CZNWorker& w) {
    return {w.GetErrorStatusCode(), w.GetErrorStatusText()};
}

// What the worker's own load leaves: its status, and for a worker found, what it holds.
struct OneByOne {
    Status status;
    std::vector<std::string> fields;
};
OneByOne LoadAlone(const std::string& name) {
    const CZNWorker twin(name);
    twin.GetFullName();
    OneByOne alone{StatusOf(twin), {}};
    if (alone.status.code == 1) alone.fields = Loaded(twin);
    return alone;
}

// Each worker of `workers`, loaded together, against a twin loaded alone; every getter of a
// worker found answers without a search.
void ExpectAsLoadedAlone(const std::list<CZNWorker>& workers) {
    std::vector<OneByOne> alone;
    for (const CZNWorker& worker : workers) alone.push_back(LoadAlone(worker.GetName()));
    std::size_t index = 0;
    for (const CZNWorker& worker : workers) {
        SCOPED_TRACE(worker.GetName());
        const OneByOne& expected = alone[index++];
        EXPECT_EQ(StatusOf(worker), expected.status);
        if (expected.status.code != 1) continue;
        const long before = SearchesSoFar();
        EXPECT_EQ(Loaded(worker), expected.fields);
        EXPECT_EQ(SearchesSoFar(), before) << "a loaded worker searched again";
    }
}

class WorkerBatch : public GroupTest {
  protected:
    void TearDown() override {
        if (m_changed) RestoreDirectory();
        GroupTest::TearDown();
    }
    bool m_changed = false;
};

TEST_F(WorkerBatch, EveryPersonLoadsAsAloneThroughOneSearch) {
    const CZNWorker finder;
    const std::list<CZNWorker>& everybody = finder.FindWorkers("*");
    ASSERT_GT(everybody.size(), 10u);
    std::list<CZNWorker> workers(everybody.begin(), everybody.end());
    // The same person twice and in another letter case, someone nobody is, and names that
    // cannot share a search: a wildcard, a blank.
    workers.push_back(std::string("asmith"));
    workers.push_back(std::string("ASmith"));
    workers.push_back(std::string("nobody"));
    workers.push_back(std::string("as*"));
    workers.push_back(std::string("a smith"));
    // A worker used before (with an implementation object of its own) shares the search too.
    const CZNWorker used(std::string("bwhite"));
    ASSERT_EQ(used.IsValidWorker(), 1);
    workers.push_back(used);

    const long before = SearchesSoFar();
    const long found = CZNWorker::LoadWorkers(workers);
    // One shared search, and one for each name that could not share it.
    EXPECT_EQ(SearchesSoFar() - before, 3);
    EXPECT_EQ(found, static_cast<long>(everybody.size()) + 3);
    ExpectAsLoadedAlone(workers);

    // What a loaded worker handed out stays where it is when it loads again or is used
    // otherwise (AddressSanitizer watches the references).
    const CZNWorker& first = workers.front();
    const std::string& fullName = first.GetFullName();
    const std::string& mail = first.GetEmailAddress();
    const std::string expected = fullName + " " + mail;
    ASSERT_GT(CZNWorker::LoadWorkers(workers), 0);
    EXPECT_EQ(fullName + " " + mail, expected);
    EXPECT_EQ(first.IsValidWorker(), 1);
    EXPECT_EQ(fullName + " " + mail, expected);
    EXPECT_EQ(first.GetFullName(), fullName);
    EXPECT_EQ(CZNWorker::LoadWorkers({}), 0);

    // Most of a company (here: the sample among 20,000 names nobody has) is one search of
    // every person, with the same answers.
    std::list<CZNWorker> crowd(everybody.begin(), everybody.end());
    for (int i = 0; i < 20000; ++i) crowd.push_back(std::string("ghost") + std::to_string(i));
    const long searches = SearchesSoFar();
    EXPECT_EQ(CZNWorker::LoadWorkers(crowd), static_cast<long>(everybody.size()));
    EXPECT_EQ(SearchesSoFar() - searches, 1);
    crowd.resize(everybody.size() + 2);
    ExpectAsLoadedAlone(crowd);

    // The streamed search of everybody fails, and so do the searches of a few hundred names
    // it falls back to: nobody keeps anything, each reports the outage.
    for (int i = 0; i < 20000; ++i) crowd.push_back(std::string("ghost") + std::to_string(i));
    LocalOutage outage;
    EXPECT_EQ(CZNWorker::LoadWorkers(crowd), 0);
    const OneByOne alone = LoadAlone(everybody.front().GetName());
    ASSERT_NE(alone.status.code, 1);
    EXPECT_EQ(StatusOf(crowd.front()), alone.status);
    EXPECT_EQ(StatusOf(crowd.back()), alone.status);
}

// Loaded for some attributes only: those, the name, number and DN answer from memory; any
// other getter loads the worker whole, and then answers as a worker loaded alone.
TEST_F(WorkerBatch, AttributesAskedForAloneTravelAndTheOthersLoadOnFirstUse) {
    const CZNGroup all("ENG-ALL");
    const std::list<CZNWorker> members = all.GetEventualMembers();
    const long before = SearchesSoFar();
    EXPECT_EQ(
        CZNWorker::LoadWorkers(members, {&CZNWorker::GetFullName, &CZNWorker::GetEmailAddress}), 6);
    EXPECT_EQ(SearchesSoFar() - before, 1);
    for (const CZNWorker& member : members) {
        SCOPED_TRACE(member.GetName());
        const OneByOne alone = LoadAlone(member.GetName());
        const long searches = SearchesSoFar();
        EXPECT_EQ((std::vector<std::string>{
                      member.GetUserNameA(), std::to_string(member.GetWorkerNumber()),
                      member.GetWorkerDN(), member.GetFullName(), member.GetEmailAddress()}),
                  (std::vector<std::string>{alone.fields[0], alone.fields[1], alone.fields[2],
                                            alone.fields[3], alone.fields[14]}));
        EXPECT_EQ(SearchesSoFar(), searches);
        EXPECT_EQ(Loaded(member), alone.fields);
        EXPECT_EQ(SearchesSoFar(), searches + 1) << "the first other getter loads it whole";
    }
}

TEST_F(WorkerBatch, APersonGoneSinceTheListingAndAnOutageAreEachWorkersOwnReport) {
    const CZNGroup all("ENG-ALL");
    std::list<CZNWorker> members = all.GetEventualMembers();
    ASSERT_EQ(members.size(), 6u);
    {
        LdapPtr ld = OpenLdap(ProviderHost());
        ASSERT_TRUE(ld);
        ASSERT_EQ(BindAsAdmin(ld.get()), LDAP_SUCCESS);
        m_changed = true;
        ASSERT_EQ(ldap_delete_ext_s(ld.get(), PersonDN("jdoe").c_str(), nullptr, nullptr),
                  LDAP_SUCCESS);
    }
    EXPECT_EQ(CZNWorker::LoadWorkers(members), 5);
    ExpectAsLoadedAlone(members);
    for (const CZNWorker& member : members) {
        if (member.GetName() == "jdoe") {
            EXPECT_EQ(StatusOf(member), (Status{30005, "jdoe is not a valid username."}));
        }
    }

    // No server answers: every worker reports what its own load would, and nothing is read.
    std::list<CZNWorker> again(members.begin(), members.end());
    LocalOutage outage;
    EXPECT_EQ(CZNWorker::LoadWorkers(again), 0);
    const OneByOne alone = LoadAlone("asmith");
    ASSERT_NE(alone.status.code, 1);
    for (const CZNWorker& member : again) EXPECT_EQ(StatusOf(member), alone.status);
}

// What a group's entry getters answer, each with the status it leaves.
std::vector<std::string> GroupAnswers(const CZNGroup& g) {
    std::vector<std::string> answers;
    auto note = [&](const std::string& value) {
        answers.push_back(value + " | " + std::to_string(g.GetErrorStatusCode()) + " " +
                          g.GetErrorStatusText());
    };
    note(g.GetDescription());
    note(g.GetCompanyNumber());
    note(std::to_string(g.GetMailAliasedFlag()));
    note(g.GetOrganizationalUnit());
    return answers;
}

TEST_F(WorkerBatch, GroupsLoadTogetherAndAnswerAsTheirOwnSearchesUntilRenamedOrChanged) {
    {
        // The same name under a second branch: the group's own search finds both entries.
        m_changed = true;
        ASSERT_EQ(WriteAsAdmin(GroupDN("ENG-ALL", "Sales"), -1,
                               {{"objectClass", {"top", "groupOfUniqueNames", "znGroup"}},
                                {"cn", {"eng-all"}},
                                {"description", {"Twin under Sales"}},
                                {"mailAliased", {"N"}}}),
                  LDAP_SUCCESS);
    }
    const CZNGroup finder;
    const std::list<CZNGroup>& every = finder.FindGroups("*");
    ASSERT_GT(every.size(), 10u);
    std::list<CZNGroup> groups(every.begin(), every.end());
    for (const char* extra : {"eng-all", "ENG-ALL", "NO-SUCH-GROUP", "ENG*", "ENG  ALL"}) {
        groups.emplace_back(extra);
    }
    std::vector<std::vector<std::string>> alone;
    for (const CZNGroup& group : groups)
        alone.push_back(GroupAnswers(CZNGroup(group.GetGroupName())));

    const long before = SearchesSoFar();
    EXPECT_EQ(CZNGroup::LoadGroups(groups), static_cast<long>(every.size()) + 2);
    EXPECT_EQ(SearchesSoFar() - before, 1);
    std::size_t index = 0;
    for (const CZNGroup& group : groups) {
        SCOPED_TRACE(group.GetGroupName());
        const long searches = SearchesSoFar();
        EXPECT_EQ(GroupAnswers(group), alone[index++]);
        const bool plain = group.GetGroupName().find_first_of("* ") == std::string::npos;
        EXPECT_EQ(SearchesSoFar() == searches, plain) << "loaded groups read from memory";
    }

    // A rename, or a change sent through the group, and it reads afresh.
    CZNGroup& renamed = groups.front();
    renamed.SetGroupName("ENG-BACKEND");
    long searches = SearchesSoFar();
    EXPECT_EQ(GroupAnswers(renamed), GroupAnswers(CZNGroup("ENG-BACKEND")));
    EXPECT_GT(SearchesSoFar(), searches);
    // No administration server runs here: the change goes out and finds nobody, which is
    // enough to make what was loaded stale.
    CZNGroup changed("ENG-FRONTEND");
    changed.SetAccess("asmith", "Tr0ubadour");
    ASSERT_EQ(CZNGroup::LoadGroups({changed}), 1L);
    changed.SetDescription("Sent to nobody");
    ASSERT_EQ(changed.GetErrorStatusText(), "Sockets connect error.");
    searches = SearchesSoFar();
    changed.GetDescription();
    EXPECT_GT(SearchesSoFar(), searches);

    // No server answers: each group keeps the failure, and nothing is taken as read.
    std::list<CZNGroup> again = {CZNGroup("ENG-ALL"), CZNGroup("ENG-BACKEND")};
    LocalOutage outage;
    EXPECT_EQ(CZNGroup::LoadGroups(again), 0);
    const CZNGroup twin("ENG-ALL");
    twin.GetDescription();
    ASSERT_NE(twin.GetErrorStatusCode(), 1);
    for (const CZNGroup& group : again) {
        EXPECT_EQ(group.GetErrorStatusCode(), twin.GetErrorStatusCode());
        EXPECT_EQ(group.GetErrorStatusText(), twin.GetErrorStatusText());
    }
}

}  // namespace
}  // namespace zntest
