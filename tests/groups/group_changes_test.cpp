// Group changes end to end: the library's checks, its request, the real administration server
// and the directory, read back through the library's own queries.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "CZNGroup.h"
#include "platform/host_info.h"
#include "server/journal.h"
#include "tests/support/admin_daemon.h"
#include "tests/support/ldap_session.h"
#include "tests/support/recording_messaging.h"
#include "tests/support/sandbox.h"

namespace zntest {
namespace {

const std::string kAdminPassword = "Tr0ubadour";  // asmith, the sample's administrator

bool Contains(const std::list<CZNWorker>& people, const std::string& uid) {
    for (const CZNWorker& person : people) {
        if (person.GetUserNameA() == uid) return true;
    }
    return false;
}

// A group written straight into the provider under ou=Lab, linked up to its supergroups.
void AddLabGroup(const std::string& name, std::vector<std::string> superGroups) {
    auto dnOf = [](const std::string& cn) { return "cn=" + cn + ",ou=Lab," + BaseDN(); };
    for (std::string& group : superGroups) group = dnOf(group);
    LdapValues values = {{"objectClass", {"top", "groupOfUniqueNames", "znGroup"}},
                         {"cn", {name}},
                         {"uniqueMember", {"uid=egray,ou=People," + BaseDN()}}};
    if (!superGroups.empty()) values.emplace_back("superGroup", superGroups);
    ASSERT_EQ(WriteAsAdmin(dnOf(name), -1, values), LDAP_SUCCESS) << name;
}

long ChangeNumber(const std::string& text) {
    return text.rfind("Change ", 0) == 0 ? std::atol(text.c_str() + 7) : 0;
}

class GroupChanges : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { RequireSandbox(); }
    static void TearDownTestSuite() { RestoreDirectory(); }
    void SetUp() override {
        RestoreAll();
        // Every test starts from the sample company.
        RestoreDirectory();
        RecordingMessaging::Reset();
        m_server = std::make_unique<AdminDaemon>();
    }
    void TearDown() override {
        zn::platform::RestoreAccountNameForTesting();
        m_server.reset();
        RestoreAll();
    }
    // How many requests the server journalled: refusals by the library must add none.
    long Journalled() {
        std::string error;
        auto journal = zn::server::Journal::Open(m_server->JournalPath(), 1, error);
        long count = 0;
        zn::server::JournalEntry entry;
        while (journal && journal->Find(count + 1, entry)) ++count;
        return count;
    }
    CZNGroup Admin(const std::string& group) {
        CZNGroup g;
        g.SetAccess("asmith", kAdminPassword, group);
        return g;
    }
    std::unique_ptr<AdminDaemon> m_server;
};

TEST_F(GroupChanges, MembershipChangesReachEverySupergroup) {
    // A group taken from a result list acts for its requester as one made from its name.
    const CZNGroup finder;
    CZNGroup emea = finder.FindGroups("SALES-EMEA").front();
    emea.SetAccess("asmith", kAdminPassword);
    ASSERT_EQ(emea.AddDirectMember("cdoe"), 1) << emea.GetErrorStatusText();
    EXPECT_EQ(emea.GetErrorStatusCode(), 1);
    const long number = ChangeNumber(emea.GetErrorStatusText());
    EXPECT_GT(number, 0) << emea.GetErrorStatusText();
    EXPECT_EQ(emea.IsValidGroupDirectMember("cdoe"), 1);
    EXPECT_TRUE(Contains(CZNGroup("SALES-ALL").GetEventualMembers(), "cdoe"));
    ASSERT_EQ(emea.AddOwner("fbrown"), 1);
    ASSERT_EQ(emea.AddContact("mlopez"), 1);
    EXPECT_EQ(emea.IsValidGroupOwner("fbrown"), 1);
    EXPECT_EQ(emea.IsValidGroupContact("mlopez"), 1);
    ASSERT_EQ(emea.DeleteDirectMember("cdoe"), 1);
    ASSERT_EQ(emea.DeleteOwner("fbrown"), 1);
    ASSERT_EQ(emea.DeleteContact("mlopez"), 1);
    EXPECT_FALSE(Contains(CZNGroup("SALES-ALL").GetEventualMembers(), "cdoe"));
    // The status of the first change, asked by number.
    EXPECT_EQ(emea.GetErrorStatusCode(number), 1);
    EXPECT_EQ(emea.GetErrorStatusText(number), "Change " + std::to_string(number) + " applied.");
    EXPECT_EQ(emea.GetErrorStatusCode(), 1);
    EXPECT_EQ(emea.GetErrorStatusText(), "Successfully retrieve change request status.");
    EXPECT_EQ(Journalled(), 6);
}

TEST_F(GroupChanges, RefusedMembershipChangesSendNothing) {
    CZNGroup all = Admin("ENG-ALL");
    EXPECT_EQ(all.AddContact("cgreen"), 0);
    EXPECT_EQ(all.GetErrorStatusCode(), 30024);
    EXPECT_EQ(all.GetErrorStatusText(), "cgreen is already a contact of ENG-ALL .");
    EXPECT_EQ(all.DeleteOwner("jdoe"), 0);
    EXPECT_EQ(all.GetErrorStatusCode(), 30015);
    EXPECT_EQ(all.AddDirectMember("nobody"), 0);
    EXPECT_EQ(all.GetErrorStatusCode(), 30005);
    EXPECT_EQ(all.AddSubGroup("ENG-ALL"), 0);
    EXPECT_EQ(all.GetErrorStatusCode(), 30027);
    EXPECT_EQ(all.GetErrorStatusText(), "ENG-ALL can't be a subgroup.");
    CZNGroup db = Admin("ENG-DB");
    EXPECT_EQ(db.AddSubGroup("ENG-ALL"), 0);
    EXPECT_EQ(db.GetErrorStatusCode(), 30028);
    EXPECT_EQ(db.GetErrorStatusText(), "ENG-ALL is a supergroup of ENG-DB .");
    EXPECT_EQ(all.AddSubGroup("ENG-BACKEND"), 0);
    EXPECT_EQ(all.GetErrorStatusCode(), 30029);
    EXPECT_EQ(all.RemoveSubGroup("SALES-EMEA"), 0);
    EXPECT_EQ(all.GetErrorStatusText(), "SALES-EMEA is not a subgroup of ENG-ALL .");
    // A requester the directory does not know, and a wrong password.
    CZNGroup stranger;
    stranger.SetAccess("nosuchuser", "x", "ENG-ALL");
    EXPECT_EQ(stranger.AddDirectMember("bwhite"), 0);
    EXPECT_EQ(stranger.GetErrorStatusCode(), 30005);
    EXPECT_EQ(stranger.GetErrorStatusText(), "Specified username is not valid.");
    CZNGroup wrong;
    wrong.SetAccess("asmith", "wrong", "ENG-FRONTEND");
    EXPECT_EQ(wrong.AddDirectMember("bwhite"), 0);
    EXPECT_EQ(wrong.GetErrorStatusCode(), 30000);
    EXPECT_EQ(Journalled(), 0);
    // Role groups take members from administrators and their own owners only: neither the
    // public rule (the administrators group has no owner) nor a contact of a group nested
    // under one (ZNGENERICS-BATCH, under ZNGENERICS) is enough.
    CZNGroup roles;
    roles.SetAccess("jdoe", "secret", "ZN_GROUPS_ADMINISTRATORS");
    EXPECT_EQ(roles.AddSubGroup("LOOP-A"), 0);
    EXPECT_EQ(roles.GetErrorStatusCode(), 30015);
    EXPECT_EQ(roles.GetErrorStatusText(), "JDOE is not a valid owner of group ZN_GROUPS_ADMINISTRATORS.");
    ASSERT_EQ(Admin("ZNGENERICS-BATCH").AddContact("jdoe"), 1);
    CZNGroup batch;
    batch.SetAccess("jdoe", "secret", "ZNGENERICS-BATCH");
    EXPECT_EQ(batch.AddDirectMember("bwhite"), 0);
    EXPECT_EQ(batch.GetErrorStatusCode(), 30015);
    EXPECT_EQ(batch.GetErrorStatusText(), "JDOE is not a valid owner of group ZNGENERICS.");
    EXPECT_EQ(batch.IsValidGroupDirectMember("bwhite"), 0);
    // Only an administrator deletes or renames a role group or gives a group a role's name;
    // an owner manages its members, a contact does not.
    ASSERT_EQ(Admin("ZNGENERICS").AddOwner("jdoe"), 1);
    ASSERT_EQ(Admin("ZN_GROUPS_ADMINISTRATORS").AddContact("jdoe"), 1);
    const long allowed = Journalled();
    CZNGroup generics;
    generics.SetAccess("jdoe", "secret", "ZNGENERICS");
    CZNGroup top;
    top.SetAccess("jdoe", "secret", "");
    EXPECT_EQ(generics.SetNewGroupName("ZT_GENERICS"), 0);
    EXPECT_EQ(generics.GetErrorStatusCode(), 30035);
    EXPECT_EQ(top.DeleteSubGroup("ZNGENERICS"), 0);
    EXPECT_EQ(top.GetErrorStatusCode(), 30035);
    EXPECT_EQ(top.CreateSubGroup("ZN_GROUP_ORG_UNIT_SALES_PRIV", "zngroups"), 0);
    EXPECT_EQ(top.GetErrorStatusCode(), 30035);
    EXPECT_EQ(roles.DeleteDirectMember("asmith"), 0);
    EXPECT_EQ(roles.GetErrorStatusText(), "JDOE is not a valid owner of group ZN_GROUPS_ADMINISTRATORS.");
    EXPECT_EQ(Journalled(), allowed);
    EXPECT_EQ(generics.DeleteDirectMember("genacct"), 1) << generics.GetErrorStatusText();
}

TEST_F(GroupChanges, TheCycleCheckWalksPastABranchItCannotAskAndFailsClosed) {
    // WALK-P has two supergroups. The first one's name, escaped, leaves no room in the filter
    // that asks whether it holds a DN; the second leads up to WALK-S.
    const std::string q1 = "WALK-Q1-" + std::string(60, '*');
    AddLabGroup("WALK-S", {});
    AddLabGroup(q1, {});
    AddLabGroup("WALK-Q2", {"WALK-S"});
    AddLabGroup("WALK-P", {q1, "WALK-Q2"});
    CZNGroup p = Admin("WALK-P");
    EXPECT_EQ(p.IsValidGroupEventualSuperGroup("WALK-S"), 1);
    EXPECT_EQ(p.AddSubGroup("WALK-S"), 0);
    EXPECT_EQ(p.GetErrorStatusCode(), 30028);
    EXPECT_EQ(p.GetErrorStatusText(), "WALK-S is a supergroup of WALK-P .");
    // No branch says yes and one could not be asked: no, with that branch's reason, and a
    // link that might close a cycle is not requested.
    EXPECT_EQ(p.IsValidGroupEventualSuperGroup("ENG-ALL"), 0);
    EXPECT_EQ(p.GetErrorStatusCode(), 30009);
    EXPECT_EQ(p.AddSubGroup("ENG-ALL"), 0);
    EXPECT_EQ(p.GetErrorStatusCode(), 30009);
    EXPECT_EQ(Journalled(), 0);
    // Refused changes leave reports of the lookups that refused them, none of their own.
    for (const SentMessage& sent : RecordingMessaging::Sent()) {
        EXPECT_EQ(sent.contents.find("AddSubGroup"), std::string::npos) << sent.contents;
    }
    EXPECT_FALSE(RecordingMessaging::Sent().empty());
}

TEST_F(GroupChanges, SubgroupLinksFollowThePublicRuleAndTheServerChecksAgain) {
    // LOOP-A has neither owners nor contacts: any authenticated requester may link to it.
    CZNGroup jdoe;
    jdoe.SetAccess("jdoe", "secret", "LOOP-A");
    ASSERT_EQ(jdoe.AddSubGroup("ENG-ALUMNI"), 1) << jdoe.GetErrorStatusText();
    EXPECT_EQ(CZNGroup("LOOP-A").IsValidGroupSubGroup("ENG-ALUMNI"), 1);
    EXPECT_EQ(jdoe.RemoveSubGroup("ENG-ALUMNI"), 1);
    // Other spellings of the group's own name find its own entry: refused before sending.
    CZNGroup all = Admin("ENG-ALL");
    const long before = Journalled();
    for (const char* self : {"eng-all", "ENG-ALL ", " Eng-All"}) {
        EXPECT_EQ(all.AddSubGroup(self), 0) << self;
        EXPECT_EQ(all.GetErrorStatusCode(), 30027) << self;
        EXPECT_EQ(all.GetErrorStatusText(), std::string(self) + " can't be a subgroup.");
    }
    EXPECT_EQ(all.IsValidGroupSubGroup("ENG-ALL"), 0);
    EXPECT_EQ(Journalled(), before);
}

TEST_F(GroupChanges, TheRequesterIsVerifiedOncePerUserNameAndTheAccountNeedsNoPassword) {
    CZNGroup alumni = Admin("ENG-ALUMNI");
    ASSERT_EQ(alumni.AddDirectMember("egray"), 1);
    // A later password change alone does not verify again.
    alumni.SetAccess("asmith", kAdminPassword);
    alumni.SetGroupName("ENG-ALUMNI");
    CZNGroup same = Admin("ENG-ALUMNI");
    ASSERT_EQ(same.AddDirectMember("fbrown"), 1);
    ASSERT_EQ(same.DeleteDirectMember("fbrown"), 1);
    // Every shape with a user name clears the verification: a wrong password now fails.
    EXPECT_EQ(same.AddDirectMember("asmith", "wrong", "hkim"), 0);
    EXPECT_EQ(same.GetErrorStatusCode(), 30000);
    // The logged-on account needs no password, in any letter case.
    const std::string account = "bwhite";
    zn::platform::OverrideAccountNameForTesting(&account);
    CZNGroup contact;
    contact.SetAccess("BWhite", "", "ENG-BACKEND");
    // bwhite is a contact of ENG-BACKEND, not its owner: members yes, contacts no.
    EXPECT_EQ(contact.AddDirectMember("hkim"), 1) << contact.GetErrorStatusText();
    EXPECT_EQ(contact.AddContact("hkim"), 0);
    EXPECT_EQ(contact.GetErrorStatusCode(), 30015);
    // An empty user name takes the account's.
    CZNGroup anonymous("ENG-BACKEND");
    EXPECT_EQ(anonymous.DeleteDirectMember("hkim"), 1) << anonymous.GetErrorStatusText();
    const std::string entry =
        anonymous.GetChangeLogEntry(ChangeNumber(anonymous.GetErrorStatusText()));
    EXPECT_NE(entry.find(" bwhite DELETE MEMBER ENG-BACKEND HKIM applied"), std::string::npos)
        << entry;
    // Without an account name there is nobody to stand in.
    zn::platform::OverrideAccountNameForTesting(nullptr);
    CZNGroup nobody("ENG-BACKEND");
    const long before = Journalled();
    EXPECT_EQ(nobody.AddDirectMember("hkim"), 0);
    EXPECT_EQ(nobody.GetErrorStatusCode(), 30005);
    EXPECT_EQ(nobody.GetErrorStatusText(), "Specified username is not valid.");
    EXPECT_EQ(Journalled(), before);
}

TEST_F(GroupChanges, LifecycleChangesCreateRenameAndProtect) {
    CZNGroup top = Admin("");
    ASSERT_EQ(top.CreateSubGroup("zt_top", "zngroups"), 1) << top.GetErrorStatusText();
    CZNGroup parent = Admin("ZT_TOP");
    ASSERT_EQ(parent.CreateSubGroup("ZT_CHILD", "zngroups"), 1) << parent.GetErrorStatusText();
    EXPECT_EQ(parent.IsValidGroupSubGroup("ZT_CHILD"), 1);
    EXPECT_EQ(parent.CreateSubGroup("ZT_CHILD", "zngroups"), 0);
    EXPECT_EQ(parent.GetErrorStatusCode(), 30030);
    EXPECT_EQ(parent.CreateSubGroup("ZT-BAD", "zngroups"), 0);
    EXPECT_EQ(parent.GetErrorStatusText(), "ZT-BAD is not a valid new group name.");
    // jdoe may create in Engineering through its privilege group, not in Sales.
    CZNGroup jdoe;
    jdoe.SetAccess("jdoe", "secret", "");
    EXPECT_EQ(jdoe.CreateSubGroup("ZT_ENG", "Engineering"), 1) << jdoe.GetErrorStatusText();
    EXPECT_EQ(jdoe.CreateSubGroup("ZT_SALES", "Sales"), 0);
    EXPECT_EQ(jdoe.GetErrorStatusText(), "Sales is an invalid organizational unit.");
    // The owner of the parent may take a group from under it only while another keeps it.
    ASSERT_EQ(parent.AddOwner("jdoe"), 1);
    CZNGroup owner;
    owner.SetAccess("jdoe", "secret", "ZT_TOP");
    EXPECT_EQ(owner.DeleteSubGroup("ZT_CHILD"), 0);
    EXPECT_EQ(owner.GetErrorStatusCode(), 30035);
    EXPECT_EQ(owner.GetGroupName(), "ZT_TOP");
    ASSERT_EQ(CZNGroup(Admin("ZT_ENG")).AddSubGroup("ZT_CHILD"), 1);
    EXPECT_EQ(owner.DeleteSubGroup("ZT_CHILD"), 1) << owner.GetErrorStatusText();
    EXPECT_EQ(owner.GetGroupName(), "ZT_TOP");
    // Taken from under ZT_TOP, it lives on under ZT_ENG.
    EXPECT_EQ(owner.IsValidGroupSubGroup("ZT_CHILD"), 0);
    EXPECT_EQ(CZNGroup().IsValidGroupSubGroup("ZT_ENG", "ZT_CHILD"), 1);
    // A rename leaves the object with its old name.
    ASSERT_EQ(parent.SetNewGroupName("zt_renamed"), 1) << parent.GetErrorStatusText();
    EXPECT_EQ(parent.GetGroupName(), "ZT_TOP");
    EXPECT_EQ(CZNGroup().IsValidGroup("ZT_RENAMED"), 1);
    EXPECT_EQ(CZNGroup().IsValidGroup("ZT_TOP"), 0);
    CZNGroup renamed = Admin("ZT_RENAMED");
    EXPECT_EQ(renamed.SetCompanyNumber("42"), 1);
    EXPECT_EQ(renamed.GetCompanyNumber(), "0042");
    EXPECT_EQ(renamed.SetCompanyNumber("12345"), 0);
    EXPECT_EQ(renamed.GetErrorStatusCode(), 30032);
    EXPECT_EQ(Admin("").DeleteSubGroup("ZT_RENAMED"), 1);
    EXPECT_EQ(CZNGroup().IsValidGroup("ZT_RENAMED"), 0);
}

TEST_F(GroupChanges, FlagsDescriptionAndAttributes) {
    CZNGroup alumni = Admin("ENG-ALUMNI");
    ASSERT_EQ(alumni.SetMailAliasedFlag(), 1);
    EXPECT_EQ(alumni.GetMailAliasedFlag(), 'Y');
    ASSERT_EQ(alumni.ClearMailAliasedFlag(), 1);
    EXPECT_EQ(alumni.GetMailAliasedFlag(), 'N');
    ASSERT_EQ(alumni.SetExchangeSynchronization(), 1);
    ASSERT_EQ(alumni.ClearExchangeSynchronization(), 1);
    ASSERT_EQ(alumni.SetDescription("Former staff, all of them"), 1);
    EXPECT_EQ(alumni.GetDescription(), "Former staff, all of them");
    ASSERT_EQ(alumni.SetGenericAttributeValue("businessCategory", "Alumni"), 1);
    EXPECT_EQ(alumni.GetGenericAttributeValue("businessCategory"), "Alumni");
    // The server refuses what the library passes unchecked.
    EXPECT_EQ(alumni.SetGenericAttributeValue("mail", "x@example.com"), 0);
    EXPECT_EQ(alumni.GetErrorStatusCode(), 31023);
    const long journalled = Journalled();
    EXPECT_EQ(alumni.SetDescription(std::string(3000, 'd')), 0);
    EXPECT_EQ(alumni.GetErrorStatusCode(), 30045);
    EXPECT_EQ(Admin("NO-SUCH-GROUP").SetMailAliasedFlag(), 0);
    // A contact who is neither owner nor administrator.
    const std::string account = "jdoe";
    zn::platform::OverrideAccountNameForTesting(&account);
    CZNGroup contact("ENG-BACKEND");
    contact.SetAccess("jdoe", "");
    CZNGroup sales("SALES-ALL");
    sales.SetAccess("jdoe", "");
    EXPECT_EQ(sales.ClearExchangeSynchronization(), 0);
    EXPECT_EQ(sales.GetErrorStatusCode(), 30015);
    EXPECT_EQ(Journalled(), journalled);
}

TEST_F(GroupChanges, ChangeLogsListAndResetAndNeedAGroupName) {
    CZNGroup alumni = Admin("ENG-ALUMNI");
    ASSERT_EQ(alumni.SetDescription("one"), 1);
    ASSERT_EQ(alumni.SetDescription("two"), 1);
    ASSERT_EQ(alumni.AddDirectMember("egray"), 1);
    const std::list<std::string>& logs = alumni.GetGroupChangeLogs();
    ASSERT_EQ(logs.size(), 3u);
    EXPECT_EQ(alumni.GetErrorStatusCode(), 1);
    EXPECT_EQ(alumni.GetErrorStatusText(), "");
    EXPECT_NE(logs.back().find("ADD MEMBER ENG-ALUMNI EGRAY applied"), std::string::npos);
    ASSERT_EQ(alumni.ResetGroupChangeLogs(), 1);
    EXPECT_EQ(alumni.GetGroupChangeLogs().size(), 1u);
    CZNGroup unnamed;
    RecordingMessaging::Reset();
    EXPECT_TRUE(unnamed.GetGroupChangeLogs().empty());
    EXPECT_EQ(unnamed.GetErrorStatusCode(), 30016);
    EXPECT_EQ(unnamed.ResetGroupChangeLogs(), 0);
    EXPECT_EQ(unnamed.GetErrorStatusCode(), 30016);
    EXPECT_EQ(RecordingMessaging::Sent().size(), 1u);  // one report per object and group
    EXPECT_EQ(alumni.GetChangeLogEntry(999999), "");
    EXPECT_EQ(alumni.GetErrorStatusCode(), 31010);
}

TEST_F(GroupChanges, TheLocalServerAnswersForAnotherDomainsChanges) {
    // The local server passes status questions about EUROPE's numbers on to EUROPE's.
    AdminDaemonOptions europeOptions;
    europeOptions.domain = "EUROPE";
    AdminDaemon europe(europeOptions);
    AdminDaemonOptions localOptions;
    localOptions.extraArguments = {"--peer", "100000001=ldapEUROPEadm:60661"};
    m_server.reset();
    m_server = std::make_unique<AdminDaemon>(localOptions);
    CZNGroup emea = Admin("SALES-EMEA");
    ASSERT_EQ(emea.SetDomain("EUROPE"), 1);
    ASSERT_EQ(emea.AddDirectMember("hkim"), 1) << emea.GetErrorStatusText();
    const long number = ChangeNumber(emea.GetErrorStatusText());
    EXPECT_GE(number, 100000001);
    EXPECT_EQ(emea.GetErrorStatusCode(number), 1);
    EXPECT_EQ(emea.GetErrorStatusText(number), "Change " + std::to_string(number) + " applied.");
    EXPECT_EQ(emea.GetErrorStatusCode(number + 1), 0);
    EXPECT_EQ(emea.GetErrorStatusCode(), 31009);
    EXPECT_EQ(emea.GetErrorStatusText(), "No change request " + std::to_string(number + 1) + ".");
    // The change logs come from the domain's own server.
    EXPECT_EQ(emea.GetGroupChangeLogs().size(), 1u);
    EXPECT_TRUE(CZNGroup("SALES-EMEA").GetGroupChangeLogs().empty());
    RestoreDirectory("EUROPE");
    europe.Kill(SIGKILL);
    EXPECT_EQ(emea.GetErrorStatusCode(number), 0);
    EXPECT_EQ(emea.GetErrorStatusCode(), 31013);
}

TEST_F(GroupChanges, AnUnreachableServerLosesNothing) {
    m_server.reset();
    CZNGroup alumni = Admin("ENG-ALUMNI");
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(alumni.AddDirectMember("egray"), 0);
    EXPECT_EQ(alumni.GetErrorStatusCode(), 10061);
    EXPECT_EQ(alumni.GetErrorStatusText(), "Sockets connect error.");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(alumni.IsValidGroupDirectMember("egray"), 0);
    EXPECT_EQ(alumni.GetErrorStatusCode(1), 0);
    EXPECT_EQ(alumni.GetErrorStatusText(1), "Failed to retrieve change request status.");
    EXPECT_EQ(alumni.GetErrorStatusCode(), 10061);
    m_server = std::make_unique<AdminDaemon>();
    EXPECT_EQ(alumni.AddDirectMember("egray"), 1);
}

}  // namespace
}  // namespace zntest
