// Worker searches, the groups a worker is related to, and the worker's domain, against the
// sandboxed sample directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CZNWorker.h"
#include "tests/support/recording_messaging.h"
#include "tests/support/sandbox_fixture.h"
#include "tests/usage/reporting_object.h"

namespace {

using Names = std::vector<std::string>;
using zntest::Fault;
using zntest::RecordingMessaging;
using zntest::ScopedFault;

template <typename Object>
Names NamesOf(const std::list<Object>& objects, const std::string& (Object::*name)() const) {
    Names names;
    for (const Object& object : objects) names.push_back((object.*name)());
    return names;
}

Names GroupNames(const std::list<CZNGroup>& groups) {
    return NamesOf(groups, &CZNGroup::GetGroupName);
}

Names UserNames(const std::list<CZNWorker>& workers) {
    return NamesOf(workers, &CZNWorker::GetUserNameA);
}

template <typename Object>
void ExpectStatus(const Object& object, long code, const std::string& text) {
    EXPECT_EQ(object.GetErrorStatusCode(), code);
    EXPECT_EQ(object.GetErrorStatusText(), text);
}

class WorkerGroups : public zntest::SandboxTest {
  protected:
    void SetUp() override {
        SandboxTest::SetUp();
        RecordingMessaging::Reset();
    }
};

TEST_F(WorkerGroups, FindsTakePatternsOfAtMost51Characters) {
    CZNWorker finder;
    EXPECT_EQ(UserNames(finder.FindWorkersByLastName("Doe")), (Names{"cdoe", "jdoe"}));
    EXPECT_EQ(UserNames(finder.FindWorkersByFirstName("Fr*")), (Names{"fbrown"}));
    const std::list<CZNWorker>& found = finder.FindWorkers("*w*");
    Names users = UserNames(found);
    EXPECT_TRUE(std::is_sorted(users.begin(), users.end()));
    EXPECT_EQ(std::count(users.begin(), users.end(), "twin"), 2) << "one uid under two branches";
    // The workers found carry only their name and load on their own.
    EXPECT_EQ(found.front().GetFullName(), "Bob White");

    EXPECT_TRUE(finder.FindWorkers("").empty());
    ExpectStatus(finder, 30021, "No username search string specified.");
    EXPECT_EQ(UserNames(finder.FindWorkers("lorenzo.bartholomew.fitzgerald.montgomery-whitfield")),
              (Names{"lorenzo.bartholomew.fitzgerald.montgomery-whitfield"}));
    EXPECT_TRUE(finder.FindWorkers(std::string(52, 'a')).empty());
    ExpectStatus(finder, 30005, "Specified username search string is not valid.");
}

TEST_F(WorkerGroups, GroupListsShareOneSortedList) {
    CZNWorker worker("jdoe");
    const std::list<CZNGroup>& groups = worker.GetOwnerGroups();
    EXPECT_EQ(GroupNames(groups), (Names{"ENG-BACKEND", "ENG-DB"}));
    EXPECT_EQ(GroupNames(worker.GetContactGroups()), (Names{"ENG-BACKEND"}));
    worker.GetDirectGroups();
    EXPECT_EQ(GroupNames(groups), (Names{"ENG-BACKEND", "ZN_GROUP_ORG_UNIT_ENGINEERING_PRIV"}));
    EXPECT_EQ(GroupNames(worker.GetEventualGroups("cdoe")),
              (Names{"ENG-ALL", "ENG-BACKEND", "ENG-DB", "ENG-INFRA"}));

    EXPECT_TRUE(worker.GetOwnerGroups("ghost").empty());
    ExpectStatus(worker, 30005, "ghost is not a valid username.");
    EXPECT_TRUE(worker.GetOwnerGroups("*").empty());
    ExpectStatus(worker, 30005, "* is not a valid username.");
    CZNWorker byNumber(1002L);
    EXPECT_TRUE(byNumber.GetOwnerGroups().empty());
    ExpectStatus(byNumber, 30021, "No username specified.");
}

TEST_F(WorkerGroups, RelationTestsNameTheGroupAndTheWorker) {
    CZNWorker worker("jdoe");
    EXPECT_EQ(worker.IsValidOwnerGroup("ENG-DB"), 1);
    ExpectStatus(worker, 1, "");
    EXPECT_EQ(worker.IsValidContactGroup("eng-backend"), 1);
    EXPECT_EQ(worker.IsValidDirectGroup("ENG-ALL"), 0);
    ExpectStatus(worker, 30038, "ENG-ALL is not a valid direct group for worker jdoe.");
    EXPECT_EQ(worker.IsValidEventualGroup("asmith", "SALES-ALL"), 0);
    ExpectStatus(worker, 30039, "SALES-ALL is not a valid eventual group for worker asmith.");
    EXPECT_EQ(worker.IsValidEventualGroup("ENG-*"), 0) << "no wildcard answer";
    EXPECT_EQ(worker.IsValidOwnerGroup(std::string(80, 'G')), 0);
    EXPECT_EQ(worker.GetErrorStatusCode(), 30040);
    EXPECT_EQ(worker.IsValidOwnerGroup(std::string(81, 'G')), 0);
    ExpectStatus(worker, 30004, "Specified group name is not valid.");
    EXPECT_EQ(worker.IsValidOwnerGroup(""), 0);
    ExpectStatus(worker, 30016, "No group name specified.");

    // Each group checked is reported once, by the worker class.
    Names reported;
    for (const zntest::SentMessage& sent : RecordingMessaging::Sent()) {
        reported.push_back(zntest::FieldOf(sent.contents, "CLASS") + "/" +
                           zntest::FieldOf(sent.contents, "FUNCTION") + "/" +
                           zntest::FieldOf(sent.contents, "ZNGROUPNAME"));
    }
    EXPECT_EQ(
        reported,
        (Names{"ZNWorker/IsValidOwnerGroup/ENG-DB", "ZNWorker/IsValidContactGroup/eng-backend",
               "ZNWorker/IsValidDirectGroup/ENG-ALL", "ZNWorker/IsValidEventualGroup/SALES-ALL",
               "ZNWorker/IsValidEventualGroup/ENG-",
               "ZNWorker/IsValidOwnerGroup/" + std::string(80, 'G')}));

    // Once the worker's DN is known, an outage is a no with the relation's own message.
    ASSERT_FALSE(worker.GetWorkerDN("jdoe").empty());
    ScopedFault down(Fault::kRefuse, {"ldap5", "ldap4", "ldap3", "ldap2", "ldap1"});
    EXPECT_EQ(worker.IsValidContactGroup("ENG-BACKEND"), 0);
    ExpectStatus(worker, 30037, "ENG-BACKEND is not a valid contact group for worker jdoe.");
}

TEST_F(WorkerGroups, DomainsSelectTheServers) {
    CZNWorker worker("jdoe");
    EXPECT_EQ(worker.GetDomains().front(), "EUROPE");
    EXPECT_EQ(worker.IsValidDomain(""), 1);
    EXPECT_EQ(worker.IsValidDomain(nullptr), 1);
    EXPECT_EQ(worker.SetDomain("ATLANTIS"), 0);
    ExpectStatus(worker, 30044, "ATLANTIS is not a valid domain.");
    ASSERT_EQ(worker.SetDomain("EUROPE"), 1);
    EXPECT_EQ(worker.GetDomain(), "EUROPE");
    ScopedFault down(Fault::kRefuse, {"ldap5", "ldap4", "ldap3", "ldap2", "ldap1"});
    EXPECT_EQ(GroupNames(worker.GetOwnerGroups()), (Names{"ENG-BACKEND", "ENG-DB"}));
    EXPECT_EQ(worker.SetDomain(""), 1);
    EXPECT_EQ(worker.GetDomain(), "");
}

}  // namespace
