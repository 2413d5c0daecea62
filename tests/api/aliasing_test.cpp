// Every call that takes a name, fed the object's own name and names from lists the object
// handed out, through the public headers only (built for the exported classes and for the
// portable layer alike). The answer must be the one a copy of the name gets, the held name
// and the held lists must not change under the call, and under AddressSanitizer no argument
// may be read after the call freed it.
#include <gtest/gtest.h>

#include <functional>
#include <list>
#include <ostream>
#include <string>
#include <vector>

#include "CZNGroup.h"
#include "CZNWorker.h"
#include "tests/support/sandbox_fixture.h"
#include "tests/support/spool_folder.h"

namespace {

const std::string kPassword = "Tr0ubadour";  // asmith, the sample's administrator

// What a call answered, with the status it left.
struct Answer {
    std::string value;
    long code = 0;
    std::string text;
    bool operator==(const Answer& other) const {
        return value == other.value && code == other.code && text == other.text;
    }
};

std::ostream& operator<<(std::ostream& out, const Answer& answer) {
    return out << "'" << answer.value << "' " << answer.code << " '" << answer.text << "'";
}

std::string Show(long value) {
    return std::to_string(value);
}
std::string Show(const std::string& value) {
    return value;
}
std::string Show(const std::list<std::string>& values) {
    std::string shown;
    for (const std::string& value : values) shown += value + ",";
    return shown;
}
std::string Show(const std::list<CZNGroup>& groups) {
    std::string shown;
    for (const CZNGroup& group : groups) shown += group.GetGroupName() + ",";
    return shown;
}
std::string Show(const std::list<CZNWorker>& workers) {
    std::string shown;
    for (const CZNWorker& worker : workers) shown += worker.GetName() + ",";
    return shown;
}

template <typename Object>
Answer AnswerOf(const Object& object, const std::string& value) {
    return {value, object.GetErrorStatusCode(), object.GetErrorStatusText()};
}

// One call taking a name: which lists of the object it may rewrite as a query does.
enum Rewrites { kNone = 0, kGroupList = 1, kPeopleList = 2 };
template <typename Object>
struct Call {
    const char* what;
    int rewrites;
    std::function<std::string(Object&, const std::string&)> run;
};

#define ZN_CALL(rewrites, expression)                                              \
    Call<Object> {                                                                 \
#expression, rewrites,                                                     \
            [](Object& o, const std::string& n) { return Show(expression); } \
    }

// Where the argument comes from: the object's name, or the first name of a list it holds.
enum class Source { kOwnName, kGroupList, kPeopleList };

const char* SourceName(Source source) {
    return source == Source::kOwnName     ? "own name"
           : source == Source::kGroupList ? "a name from its group list"
                                          : "a name from its people list";
}

std::vector<Call<CZNGroup>> GroupCalls() {
    using Object = CZNGroup;
    return {
        ZN_CALL(kNone, o.GetCompanyNumber(n)),
        ZN_CALL(kNone, o.GetDescription(n)),
        ZN_CALL(kNone, o.GetOrganizationalUnit(n)),
        ZN_CALL(kNone, o.GetGenericAttributeValue(n)),
        ZN_CALL(kNone, o.GetGenericAttributeValue(n, "description")),
        ZN_CALL(kNone, o.GetMailAliasedFlag(n)),
        ZN_CALL(kPeopleList, o.GetContacts(n)),
        ZN_CALL(kPeopleList, o.GetDirectMembers(n)),
        ZN_CALL(kPeopleList, o.GetEventualMembers(n)),
        ZN_CALL(kPeopleList, o.GetOwners(n)),
        ZN_CALL(kNone, o.GetContactsCount(n)),
        ZN_CALL(kNone, o.GetDirectMembersCount(n)),
        ZN_CALL(kNone, o.GetEventualMembersCount(n)),
        ZN_CALL(kNone, o.GetOwnersCount(n)),
        ZN_CALL(kGroupList, o.GetSubGroups(n)),
        ZN_CALL(kGroupList, o.GetSuperGroups(n)),
        ZN_CALL(kGroupList, o.GetEventualSuperGroups(n)),
        ZN_CALL(kNone, o.GetSubGroupsCount(n)),
        ZN_CALL(kNone, o.GetSuperGroupsCount(n)),
        ZN_CALL(kGroupList, o.GetEventualSuperGroupsCount(n)),
        ZN_CALL(kGroupList, o.FindGroups(n)),
        ZN_CALL(kNone, o.IsValidGroup(n)),
        ZN_CALL(kNone, o.IsPublicGroup(n)),
        ZN_CALL(kNone, o.IsValidGroupContact(n)),
        ZN_CALL(kNone, o.IsValidGroupContact(n, n)),
        ZN_CALL(kNone, o.IsValidGroupDirectMember(n)),
        ZN_CALL(kNone, o.IsValidGroupEventualMember(n)),
        ZN_CALL(kNone, o.IsValidGroupOwner(n)),
        ZN_CALL(kNone, o.IsValidGroupOwner("ENG-ALL", n)),
        ZN_CALL(kNone, o.IsValidGroupSubGroup(n)),
        ZN_CALL(kNone, o.IsValidGroupSubGroup(n, "ENG-DB")),
        ZN_CALL(kNone, o.IsValidGroupSuperGroup(n)),
        ZN_CALL(kNone, o.IsValidGroupEventualSuperGroup(n)),
        ZN_CALL(kNone, o.IsValidGroupEventualSuperGroup("ENG-DB", n)),
        ZN_CALL(kNone, o.IsValidNewGroupName(n)),
        ZN_CALL(kNone, (o.SetGroupName(n), o.GetGroupName())),
        ZN_CALL(kNone, (o.SetAccess("asmith", kPassword, n), o.GetGroupName())),
        // Changes: the requester is the administrator, so each runs every check it has
        // before it is refused or sent; no administration server listens, so what passes
        // them ends the same way for the name and its copy.
        ZN_CALL(kNone, o.AddContact(n)),
        ZN_CALL(kNone, o.AddDirectMember(n)),
        ZN_CALL(kNone, o.AddOwner(n)),
        ZN_CALL(kNone, o.AddSubGroup(n)),
        ZN_CALL(kNone, o.AddSubGroup(n, "ENG-DB")),
        ZN_CALL(kNone, o.DeleteContact(n)),
        ZN_CALL(kNone, o.DeleteDirectMember(n)),
        ZN_CALL(kNone, o.DeleteOwner(n)),
        ZN_CALL(kNone, o.RemoveSubGroup(n)),
        ZN_CALL(kNone, o.DeleteSubGroup(n)),
        ZN_CALL(kNone, o.DeleteSubGroup("asmith", kPassword, "", n)),
        ZN_CALL(kNone, o.SetNewGroupName(n)),
        ZN_CALL(kNone, o.SetCompanyNumber(n)),
        ZN_CALL(kNone, o.SetDescription(n)),
        ZN_CALL(kNone, o.CreateSubGroup(n, "Engineering")),
        ZN_CALL(kNone, o.SetGenericAttributeValue("description", n)),
        ZN_CALL(kNone, o.SetMailAliasedFlag(n)),
        ZN_CALL(kNone, o.ResetGroupChangeLogs("asmith", kPassword, n)),
    };
}

std::vector<Call<CZNWorker>> WorkerCalls() {
    using Object = CZNWorker;
    return {
        ZN_CALL(kNone, o.GetFullName(n)),
        ZN_CALL(kNone, o.GetEmailAddress(n)),
        ZN_CALL(kNone, o.GetSupervisorUserName(n)),
        ZN_CALL(kNone, o.GetWorkerDN(n)),
        ZN_CALL(kNone, o.GetWorkerNumber(n)),
        ZN_CALL(kNone, o.IsValidWorker(n)),
        ZN_CALL(kNone, (o.SetUserName(n), o.GetName())),
        ZN_CALL(kPeopleList, o.FindWorkers(n)),
        ZN_CALL(kPeopleList, o.FindWorkersByFirstName(n)),
        ZN_CALL(kPeopleList, o.FindWorkersByLastName(n)),
        ZN_CALL(kGroupList, o.GetContactGroups(n)),
        ZN_CALL(kGroupList, o.GetDirectGroups(n)),
        ZN_CALL(kGroupList, o.GetEventualGroups(n)),
        ZN_CALL(kGroupList, o.GetOwnerGroups(n)),
        ZN_CALL(kNone, o.IsValidContactGroup(n)),
        ZN_CALL(kNone, o.IsValidDirectGroup(n)),
        ZN_CALL(kNone, o.IsValidEventualGroup(n)),
        ZN_CALL(kNone, o.IsValidOwnerGroup(n)),
        ZN_CALL(kNone, o.IsValidEventualGroup(n, "ENG-ALL")),
        ZN_CALL(kNone, o.Authenticate(n, kPassword)),
        ZN_CALL(kNone, o.Authenticate("asmith", n)),
        ZN_CALL(kNone, (o.SetLoginDialogTitle(n), o.GetLoginDialogTitle())),
    };
}

#undef ZN_CALL

const std::string& NameOf(const CZNGroup& group) {
    return group.GetGroupName();
}
const std::string& NameOf(const CZNWorker& worker) {
    return worker.GetName();
}

// The object as a caller holds it: one of its group lists, one of its people lists and one of
// its lists of values, and what they held when they were filled.
struct Held {
    const std::list<CZNGroup>& groups;
    const std::list<CZNWorker>& people;
    const std::list<std::string>& values;
    std::string groupNames = Show(groups);
    std::string peopleNames = Show(people);
    std::string valueNames = Show(values);
};

Held Hold(CZNGroup& group) {
    group.SetAccess("asmith", kPassword);
    return {group.GetSubGroups(), group.GetDirectMembers(), group.GetActiveCompanies()};
}

Held Hold(CZNWorker& worker) {
    return {worker.GetDirectGroups(), worker.FindWorkers("*doe"), worker.GetDomains()};
}

template <typename Object>
void ExpectSameAsCopy(const std::string& name, const std::vector<Call<Object>>& calls) {
    for (const Source source : {Source::kOwnName, Source::kGroupList, Source::kPeopleList}) {
        for (const Call<Object>& call : calls) {
            SCOPED_TRACE(std::string(call.what) + " with " + SourceName(source));
            Object object(name);
            const Held held = Hold(object);
            ASSERT_FALSE(held.groups.empty());
            ASSERT_FALSE(held.people.empty());
            const std::string& own = NameOf(object);
            const std::string& argument = source == Source::kOwnName ? own
                                          : source == Source::kGroupList
                                              ? held.groups.front().GetGroupName()
                                              : held.people.front().GetName();
            const std::string copy = argument;
            const std::string ownBefore = own;

            const Answer aliased = AnswerOf(object, call.run(object, argument));

            Object other(name);
            Hold(other);
            const Answer copied = AnswerOf(other, call.run(other, copy));
            EXPECT_EQ(aliased, copied);
            EXPECT_EQ(NameOf(object), NameOf(other));
            if ((call.rewrites & kGroupList) == 0) {
                EXPECT_EQ(Show(held.groups), held.groupNames);
            }
            if ((call.rewrites & kPeopleList) == 0) {
                EXPECT_EQ(Show(held.people), held.peopleNames);
            }
            EXPECT_EQ(Show(held.values), held.valueNames);
            // A name the caller holds stays what it was until the name is set again.
            if (NameOf(object) == ownBefore) {
                EXPECT_EQ(own, ownBefore);
            }
        }
    }
}

// No administration server listens while these run: every change that passes its checks
// ends unsent, the same way for a name and its copy, and changes nothing.
void ExpectNoAdministrationServer() {
    const CZNGroup group;
    group.GetErrorStatusCode(1);
    ASSERT_EQ(group.GetErrorStatusCode(), 10061) << group.GetErrorStatusText();
}

class Aliasing : public zntest::SandboxTest {
    // The usage reports the checks send go to a spool of the test's own.
    zntest::ScopedSpool m_spool;
};

TEST_F(Aliasing, EveryGroupCallTakesItsOwnNameAndNamesFromItsListsAsCopies) {
    ExpectNoAdministrationServer();
    ExpectSameAsCopy<CZNGroup>("ENG-ALL", GroupCalls());
}

TEST_F(Aliasing, EveryWorkerCallTakesItsOwnNameAndNamesFromItsListsAsCopies) {
    ExpectSameAsCopy<CZNWorker>("asmith", WorkerCalls());
}

}  // namespace
