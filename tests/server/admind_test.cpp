// zngroups-admind end to end: requests sent through the library's exchange and raw sockets,
// applied to the sandbox's provider, read back through the library and plain LDAP.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <ldap.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <list>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CZNGroup.h"
#include "admin/admin_channel.h"
#include "admin/change_request.h"
#include "admin/user_token.h"
#include "server/change_plan.h"
#include "server/changes.h"
#include "server/journal.h"
#include "tests/support/admin_daemon.h"
#include "tests/support/admind_requests.h"
#include "tests/support/ldap_session.h"
#include "tests/support/sandbox.h"

namespace zntest {
namespace {

using zn::ChangeRequest;
using zn::RequestFields;

TEST_F(AdminServer, PeopleChangesAreAppliedAndReadBackByTheLibrary) {
    Create({"ZT1_TEAM"});
    Answer a = Send(ChangeRequest::kAddMember, By(kAdmin, "ZT1_TEAM", "bwhite"));
    EXPECT_EQ(a.result, 1);
    EXPECT_EQ(a.code, 1);
    long number = ChangeNumber(a);
    EXPECT_EQ(a.text, "Change " + std::to_string(number) + " applied.");
    EXPECT_EQ(Send(ChangeRequest::kAddOwner, By(kAdmin, "ZT1_TEAM", "jdoe")).result, 1);
    EXPECT_EQ(Send(ChangeRequest::kAddContact, By(kAdmin, "ZT1_TEAM", "cgreen")).result, 1);
    CZNGroup team("ZT1_TEAM");
    EXPECT_EQ(team.IsValidGroupDirectMember("bwhite"), 1);
    EXPECT_EQ(team.IsValidGroupEventualMember("bwhite"), 1);
    EXPECT_EQ(team.IsValidGroupOwner("jdoe"), 1);
    EXPECT_EQ(team.IsValidGroupContact("cgreen"), 1);
    // The new owner may now change members; the contact may too, but not owners.
    EXPECT_EQ(Send(ChangeRequest::kAddMember, By("JDOE", "ZT1_TEAM", "cdoe")).result, 1);
    Answer byContact = Send(ChangeRequest::kAddOwner, By("CGREEN", "ZT1_TEAM", "cdoe"));
    EXPECT_EQ(byContact.result, 1) << "cgreen is an administrator through ZN-ADMIN-DEPUTIES";
    Answer byStranger = Send(ChangeRequest::kAddOwner, By("BWHITE", "ZT1_TEAM", "egray"));
    EXPECT_EQ(byStranger.result, 0);
    EXPECT_EQ(byStranger.code, 30015);
    EXPECT_EQ(byStranger.text, "BWHITE is not a valid owner of group ZT1_TEAM.");
    EXPECT_EQ(Send(ChangeRequest::kDeleteMember, By("JDOE", "ZT1_TEAM", "bwhite")).result, 1);
    EXPECT_EQ(Send(ChangeRequest::kDeleteContact, By(kAdmin, "ZT1_TEAM", "cgreen")).result, 1);
    EXPECT_EQ(Send(ChangeRequest::kDeleteOwner, By(kAdmin, "ZT1_TEAM", "cdoe")).result, 1);
    EXPECT_EQ(Values("ZT1_TEAM", "explicitMember"), std::set<std::string>{PersonDN("cdoe")});
    EXPECT_EQ(Eventual("ZT1_TEAM"), std::set<std::string>{PersonDN("cdoe")});
    // Its maker owns it from the start, beside the owner added.
    EXPECT_EQ(Values("ZT1_TEAM", "owner"),
              (std::set<std::string>{PersonDN("asmith"), PersonDN("jdoe")}));
    EXPECT_TRUE(Values("ZT1_TEAM", "contactUserName").empty());
    // Refusals name what was wrong, as the library would have.
    Answer again = Send(ChangeRequest::kAddMember, By(kAdmin, "ZT1_TEAM", "cdoe"));
    EXPECT_EQ(again.code, 30026);
    EXPECT_EQ(again.text, "CDOE is already a direct member of ZT1_TEAM .");
    Answer nobody = Send(ChangeRequest::kAddMember, By(kAdmin, "ZT1_TEAM", "nobody"));
    EXPECT_EQ(nobody.code, 30005);
    Answer noGroup = Send(ChangeRequest::kAddMember, By(kAdmin, "ZT1_NOPE", "cdoe"));
    EXPECT_EQ(noGroup.code, 30004);
    EXPECT_EQ(noGroup.text, "ZT1_NOPE is not a valid group.");
    EXPECT_EQ(Eventual("ZT1_TEAM"), std::set<std::string>{PersonDN("cdoe")});
}

TEST_F(AdminServer, EventualMembersFollowNestedLinksThroughADiamond) {
    // A > B > D and A > C > D; A also has a member of its own.
    Create({"ZT2_A", "ZT2_B", "ZT2_C", "ZT2_D"});
    Link("ZT2_A", "ZT2_B");
    Link("ZT2_A", "ZT2_C");
    Link("ZT2_B", "ZT2_D");
    Link("ZT2_C", "ZT2_D");
    AddMember("ZT2_D", "cdoe");
    AddMember("ZT2_B", "bwhite");
    AddMember("ZT2_A", "asmith");
    const std::string cdoe = PersonDN("cdoe"), bwhite = PersonDN("bwhite"), asmith = PersonDN("asmith");
    EXPECT_EQ(Eventual("ZT2_A"), (std::set<std::string>{cdoe, bwhite, asmith}));
    EXPECT_EQ(Eventual("ZT2_C"), std::set<std::string>{cdoe});
    EXPECT_EQ(Values("ZT2_D", "superGroup"), (std::set<std::string>{GroupDN("ZT2_B"), GroupDN("ZT2_C")}));
    // D leaves B: A still reaches cdoe through C.
    EXPECT_EQ(Send(ChangeRequest::kRemoveSubGroup, By(kAdmin, "ZT2_B", "ZT2_D")).result, 1);
    EXPECT_EQ(Eventual("ZT2_B"), std::set<std::string>{bwhite});
    EXPECT_EQ(Eventual("ZT2_A"), (std::set<std::string>{cdoe, bwhite, asmith}));
    EXPECT_EQ(Values("ZT2_D", "superGroup"), std::set<std::string>{GroupDN("ZT2_C")});
    // cdoe becomes a direct member of A as well, then leaves D: A keeps its own member.
    AddMember("ZT2_A", "cdoe");
    EXPECT_EQ(Send(ChangeRequest::kDeleteMember, By(kAdmin, "ZT2_D", "cdoe")).result, 1);
    EXPECT_EQ(Eventual("ZT2_C"), std::set<std::string>{});
    EXPECT_EQ(Eventual("ZT2_A"), (std::set<std::string>{cdoe, bwhite, asmith}));
    // The link that would close a cycle is refused, and nothing changes.
    Answer cycle = Send(ChangeRequest::kAddSubGroup, By(kAdmin, "ZT2_D", "ZT2_A"));
    EXPECT_EQ(cycle.code, 30028);
    EXPECT_EQ(cycle.text, "ZT2_A is a supergroup of ZT2_D .");
    EXPECT_TRUE(Values("ZT2_D", "subGroup").empty());
    CZNGroup library("ZT2_A");
    EXPECT_EQ(library.GetEventualMembersCount(), 3);
    EXPECT_EQ(library.IsValidGroupEventualSuperGroup("ZT2_D", "ZT2_A"), 1);
}

TEST_F(AdminServer, LifecycleChangesKeepEveryReferenceTrue) {
    Create({"ZT3_TOP", "ZT3_OTHER"});
    RequestFields sub = By(kAdmin, "ZT3_TOP", "zt3_child");
    sub.organizationalUnit = "zngroups";
    ASSERT_EQ(Send(ChangeRequest::kCreateSubGroup, sub).result, 1);
    Link("ZT3_OTHER", "ZT3_CHILD");
    AddMember("ZT3_CHILD", "egray");
    EXPECT_EQ(Values("ZT3_TOP", "subGroup"), std::set<std::string>{GroupDN("ZT3_CHILD")});
    EXPECT_EQ(Eventual("ZT3_TOP"), std::set<std::string>{PersonDN("egray")});
    // Rename: the entry and every reference to it.
    RequestFields rename = By(kAdmin, "ZT3_CHILD", "zt3_renamed");
    ASSERT_EQ(Send(ChangeRequest::kModifyGroup, rename).result, 1);
    CZNGroup library;
    EXPECT_EQ(library.IsValidGroup("ZT3_CHILD"), 0);
    EXPECT_EQ(library.IsValidGroup("ZT3_RENAMED"), 1);
    EXPECT_EQ(Values("ZT3_TOP", "subGroup"), std::set<std::string>{GroupDN("ZT3_RENAMED")});
    EXPECT_EQ(Values("ZT3_OTHER", "subGroup"), std::set<std::string>{GroupDN("ZT3_RENAMED")});
    EXPECT_EQ(Values("ZT3_RENAMED", "superGroup"),
              (std::set<std::string>{GroupDN("ZT3_TOP"), GroupDN("ZT3_OTHER")}));
    // Company number and the two flags.
    RequestFields company = By(kAdmin, "ZT3_RENAMED");
    company.companyNumber = "0100";
    EXPECT_EQ(Send(ChangeRequest::kModifyGroup, company).result, 1);
    EXPECT_EQ(library.GetCompanyNumber("ZT3_RENAMED"), "0100");
    company.companyNumber = "0999";
    EXPECT_EQ(Send(ChangeRequest::kModifyGroup, company).code, 30032);
    EXPECT_EQ(Send(ChangeRequest::kSetMailAliased, By(kAdmin, "ZT3_RENAMED")).result, 1);
    EXPECT_EQ(library.GetMailAliasedFlag("ZT3_RENAMED"), 'Y');
    EXPECT_EQ(Send(ChangeRequest::kClearMailAliased, By(kAdmin, "ZT3_RENAMED")).result, 1);
    EXPECT_EQ(library.GetMailAliasedFlag("ZT3_RENAMED"), 'N');
    EXPECT_EQ(Send(ChangeRequest::kSetExchangeSynchronization, By(kAdmin, "ZT3_RENAMED")).result, 1);
    EXPECT_EQ(Values("ZT3_RENAMED", "exchangeSynchronization"), std::set<std::string>{"y"});
    EXPECT_EQ(Send(ChangeRequest::kClearExchangeSynchronization, By(kAdmin, "ZT3_RENAMED")).result, 1);
    EXPECT_NE(Values("ZT3_RENAMED", "exchangeSynchronization"), std::set<std::string>{"y"});
    // Taken from under one of its two parents: it lives on under the other, and only the
    // parent it left loses its members.
    Answer taken = Send(ChangeRequest::kDeleteSubGroup, By(kAdmin, "ZT3_TOP", "ZT3_RENAMED"));
    EXPECT_EQ(taken.result, 1) << taken.text;
    EXPECT_EQ(library.IsValidGroup("ZT3_RENAMED"), 1);
    EXPECT_TRUE(Values("ZT3_TOP", "subGroup").empty());
    EXPECT_EQ(Values("ZT3_RENAMED", "superGroup"), std::set<std::string>{GroupDN("ZT3_OTHER")});
    EXPECT_TRUE(Eventual("ZT3_TOP").empty());
    EXPECT_EQ(Eventual("ZT3_OTHER"), std::set<std::string>{PersonDN("egray")});
    EXPECT_EQ(Eventual("ZT3_RENAMED"), std::set<std::string>{PersonDN("egray")});
    // Taken from under its last parent: deleted, and every reference with it.
    Answer deleted = Send(ChangeRequest::kDeleteSubGroup, By(kAdmin, "ZT3_OTHER", "ZT3_RENAMED"));
    EXPECT_EQ(deleted.result, 1) << deleted.text;
    EXPECT_EQ(library.IsValidGroup("ZT3_RENAMED"), 0);
    EXPECT_TRUE(Values("ZT3_OTHER", "subGroup").empty());
    EXPECT_TRUE(Eventual("ZT3_OTHER").empty());
    // Without a parent.
    EXPECT_EQ(Send(ChangeRequest::kDeleteGroup, By(kAdmin, "", "ZT3_OTHER")).result, 1);
    EXPECT_EQ(library.IsValidGroup("ZT3_OTHER"), 0);
    // New names follow the library's rules.
    RequestFields bad = By(kAdmin, "", "ZT3-HYPHEN");
    bad.organizationalUnit = "zngroups";
    Answer refused = Send(ChangeRequest::kCreateGroup, bad);
    EXPECT_EQ(refused.code, 30030);
    EXPECT_EQ(refused.text, "ZT3-HYPHEN is not a valid new group name.");
    bad.targetName = "ZT3_TOP";
    EXPECT_EQ(Send(ChangeRequest::kCreateGroup, bad).code, 30030);
    bad.targetName = "ZT3_ELSEWHERE";
    bad.organizationalUnit = "Sales";
    Answer unit = Send(ChangeRequest::kCreateGroup, [&] { auto f = bad; f.userName = "JDOE"; return f; }());
    EXPECT_EQ(unit.code, 30031);
    EXPECT_EQ(unit.text, "Sales is an invalid organizational unit.");
    // A new group's DN held by an entry of another kind: refused, not "applied" for nothing.
    EXPECT_EQ(WriteAsAdmin("cn=ZT3_HELD,ou=zngroups," + BaseDN(), -1,
                           {{"objectClass", {"organizationalRole"}}, {"cn", {"ZT3_HELD"}}}),
              LDAP_SUCCESS);
    RequestFields occupied = By(kAdmin, "", "ZT3_HELD");
    occupied.organizationalUnit = "zngroups";
    Answer held1 = Send(ChangeRequest::kCreateGroup, occupied);
    EXPECT_EQ(held1.code, 30030);
    EXPECT_EQ(held1.text, "ZT3_HELD is not a valid new group name.");
    occupied.groupName = "ZT3_TOP";
    occupied.targetName = "zt3_held";
    Answer held2 = Send(ChangeRequest::kCreateSubGroup, occupied);
    EXPECT_EQ(held2.code, 30030);
    EXPECT_EQ(held2.text, "ZT3_HELD is not a valid new group name.");
    EXPECT_EQ(library.IsValidGroup("ZT3_HELD"), 0);
    EXPECT_TRUE(Values("ZT3_TOP", "subGroup").empty());
    const std::list<std::string> log = ChangeLog("ZT3_HELD");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log.back().find("rejected 30030"), std::string::npos) << log.back();
}

TEST_F(AdminServer, DeletionFromUnderAParentIsProtectedWhileItIsTheOnlySupergroup) {
    // JDOE owns PARENT and OTHER, not CHILD; CHILD hangs under PARENT alone at first.
    Create({"ZT10_PARENT", "ZT10_OTHER", "ZT10_CHILD"});
    for (const char* group : {"ZT10_PARENT", "ZT10_OTHER"}) {
        ASSERT_EQ(Send(ChangeRequest::kAddOwner, By(kAdmin, group, "jdoe")).result, 1);
    }
    ASSERT_EQ(Send(ChangeRequest::kAddOwner, By(kAdmin, "ZT10_CHILD", "egray")).result, 1);
    Link("ZT10_PARENT", "ZT10_CHILD");
    Answer refused = Send(ChangeRequest::kDeleteSubGroup, By("JDOE", "ZT10_PARENT", "ZT10_CHILD"));
    EXPECT_EQ(refused.code, 30035);
    EXPECT_EQ(refused.text, "Insufficient privilege or group protection violation.");
    EXPECT_EQ(Values("ZT10_PARENT", "subGroup"), std::set<std::string>{GroupDN("ZT10_CHILD")});
    // With a second supergroup a contact of the parent may take it, and it stays whole
    // under the other one.
    ASSERT_EQ(Send(ChangeRequest::kAddSubGroup, By("JDOE", "ZT10_OTHER", "ZT10_CHILD")).result, 1);
    ASSERT_EQ(Send(ChangeRequest::kAddContact, By(kAdmin, "ZT10_PARENT", "bwhite")).result, 1);
    AddMember("ZT10_CHILD", "hkim");
    EXPECT_EQ(Send(ChangeRequest::kDeleteSubGroup, By("BWHITE", "ZT10_PARENT", "ZT10_CHILD")).result, 1);
    CZNGroup library;
    EXPECT_EQ(library.IsValidGroup("ZT10_CHILD"), 1);
    EXPECT_EQ(Values("ZT10_CHILD", "owner"),
              (std::set<std::string>{PersonDN("asmith"), PersonDN("egray")}));
    EXPECT_EQ(Values("ZT10_CHILD", "superGroup"), std::set<std::string>{GroupDN("ZT10_OTHER")});
    EXPECT_TRUE(Values("ZT10_PARENT", "subGroup").empty());
    EXPECT_TRUE(Eventual("ZT10_PARENT").empty());
    EXPECT_EQ(Eventual("ZT10_OTHER"), std::set<std::string>{PersonDN("hkim")});
    // Now the last link: protected from the parent's holders, deleted by the group's owner.
    EXPECT_EQ(Send(ChangeRequest::kDeleteSubGroup, By("JDOE", "ZT10_OTHER", "ZT10_CHILD")).code, 30035);
    EXPECT_EQ(Send(ChangeRequest::kDeleteSubGroup, By("EGRAY", "ZT10_OTHER", "ZT10_CHILD")).result, 1);
    EXPECT_EQ(library.IsValidGroup("ZT10_CHILD"), 0);
    EXPECT_TRUE(Values("ZT10_OTHER", "subGroup").empty());
    EXPECT_TRUE(Eventual("ZT10_OTHER").empty());
    // Without a parent: only an administrator or the group's owner.
    Create({"ZT10_LONE"});
    ASSERT_EQ(Send(ChangeRequest::kAddOwner, By(kAdmin, "ZT10_LONE", "egray")).result, 1);
    EXPECT_EQ(Send(ChangeRequest::kDeleteGroup, By("JDOE", "", "ZT10_LONE")).code, 30035);
    EXPECT_EQ(Send(ChangeRequest::kDeleteGroup, By("EGRAY", "", "ZT10_LONE")).result, 1);
    // A requester the directory does not know is nobody.
    Answer ghost = Send(ChangeRequest::kAddMember, By("GHOST", "ZT10_PARENT", "cdoe"));
    EXPECT_EQ(ghost.code, 30005);
    EXPECT_EQ(ghost.text, "GHOST is not a valid username.");
}

TEST_F(AdminServer, UnitsNeedTheirPrivilegeGroupAndCyclesInOldDataEnd) {
    // JDOE may create in Engineering through ZN_GROUP_ORG_UNIT_ENGINEERING_PRIV, not in Sales.
    RequestFields f = By("JDOE", "", "ZT11_ENG");
    f.organizationalUnit = "Engineering";
    ASSERT_EQ(Send(ChangeRequest::kCreateGroup, f).result, 1);
    CZNGroup library;
    EXPECT_EQ(library.GetOrganizationalUnit("ZT11_ENG"), "Engineering");
    f.targetName = "ZT11_SALES";
    f.organizationalUnit = "Sales";
    EXPECT_EQ(Send(ChangeRequest::kCreateGroup, f).code, 30031);
    // An administrator may use any unit that exists, and none that does not.
    f.userName = kAdmin;
    EXPECT_EQ(Send(ChangeRequest::kCreateGroup, f).result, 1);
    f.targetName = "ZT11_NOWHERE";
    f.organizationalUnit = "Nowhere";
    EXPECT_EQ(Send(ChangeRequest::kCreateGroup, f).text, "Nowhere is an invalid organizational unit.");
    // A group is its own subgroup under no spelling the directory takes for its name.
    // (The request carries names in capitals.)
    for (const char* self : {"ZT11_ENG ", " zt11_eng", "ZT11_ENG"}) {
        Answer a = Send(ChangeRequest::kAddSubGroup, By(kAdmin, "ZT11_ENG", self));
        EXPECT_EQ(a.code, 30027) << self;
        EXPECT_EQ(Lower(a.text), Lower(self) + " can't be a subgroup.");
    }
    EXPECT_TRUE(Values("ZT11_ENG", "subGroup").empty());
    EXPECT_TRUE(Values("ZT11_ENG", "superGroup").empty());
    // LOOP-A and LOOP-B of the sample are each other's subgroups: a member added to one
    // reaches both, and the recomputation ends.
    ASSERT_EQ(Send(ChangeRequest::kAddMember, By(kAdmin, "LOOP-A", "hkim")).result, 1);
    const std::set<std::string> both{PersonDN("egray"), PersonDN("hkim")};
    EXPECT_EQ(Eventual("LOOP-A"), both);
    EXPECT_EQ(Eventual("LOOP-B"), both);
    ASSERT_EQ(Send(ChangeRequest::kDeleteMember, By(kAdmin, "LOOP-A", "hkim")).result, 1);
    EXPECT_EQ(Eventual("LOOP-B"), std::set<std::string>{PersonDN("egray")});
}

TEST_F(AdminServer, RoleGroupsTakeMembersOnlyFromAdministratorsOrTheirOwners) {
    // Sent without the library's checks: the server alone must hold the line.
    Create({"ZT12_MINE", "ZT12_MORE"});
    AddMember("ZT12_MINE", "jdoe");
    ASSERT_EQ(Send(ChangeRequest::kAddOwner, By(kAdmin, "ZT12_MINE", "jdoe")).result, 1);
    const std::set<std::string> administrators = Eventual("ZN_GROUPS_ADMINISTRATORS");
    // The administrators group has neither owners nor contacts, yet the public rule does
    // not let a stranger link his own group under it.
    Answer a = Send(ChangeRequest::kAddSubGroup, By("JDOE", "ZN_GROUPS_ADMINISTRATORS", "ZT12_MINE"));
    EXPECT_EQ(a.code, 30015);
    EXPECT_EQ(a.text, "JDOE is not a valid owner of group ZN_GROUPS_ADMINISTRATORS.");
    EXPECT_EQ(Eventual("ZN_GROUPS_ADMINISTRATORS"), administrators);
    EXPECT_TRUE(Values("ZT12_MINE", "superGroup").empty());
    // Outside every role group, the group's owner adds as before.
    ASSERT_EQ(Send(ChangeRequest::kAddMember, By("JDOE", "ZT12_MINE", "hkim")).result, 1);
    // Nested two levels below ZNGENERICS (through the public ZNGENERICS-BATCH), the same
    // owner and the public rule both stop short of it.
    Link("ZNGENERICS-BATCH", "ZT12_MINE");
    a = Send(ChangeRequest::kAddMember, By("JDOE", "ZT12_MINE", "cdoe"));
    EXPECT_EQ(a.code, 30015);
    EXPECT_EQ(a.text, "JDOE is not a valid owner of group ZNGENERICS.");
    a = Send(ChangeRequest::kAddSubGroup, By("JDOE", "ZNGENERICS-BATCH", "ZT12_MORE"));
    EXPECT_EQ(a.text, "JDOE is not a valid owner of group ZNGENERICS.");
    EXPECT_EQ(Values("ZT12_MINE", "explicitMember").count(PersonDN("cdoe")), 0u);
    EXPECT_EQ(Eventual("ZNGENERICS").count(PersonDN("cdoe")), 0u);
    EXPECT_TRUE(Values("ZT12_MORE", "superGroup").empty());
    const std::list<std::string> log = ChangeLog("ZT12_MINE");
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("ADD MEMBER ZT12_MINE CDOE rejected 30015"), std::string::npos)
        << log.back();
    // An owner of the role group may.
    ASSERT_EQ(Send(ChangeRequest::kAddOwner, By(kAdmin, "ZNGENERICS", "jdoe")).result, 1);
    a = Send(ChangeRequest::kAddMember, By("JDOE", "ZT12_MINE", "cdoe"));
    EXPECT_EQ(a.result, 1) << a.text;
    EXPECT_EQ(Eventual("ZNGENERICS").count(PersonDN("cdoe")), 1u);
    RestoreDirectory();
}

TEST_F(AdminServer, RoleGroupsAreRemovedRenamedOrEmptiedOnlyByAdministrators) {
    const std::string administrators = "ZN_GROUPS_ADMINISTRATORS";
    ASSERT_EQ(Send(ChangeRequest::kAddContact, By(kAdmin, administrators, "bwhite")).result, 1);
    ASSERT_EQ(Send(ChangeRequest::kAddOwner, By(kAdmin, "ZNGENERICS", "jdoe")).result, 1);
    const std::set<std::string> everyone = Eventual(administrators);
    // A contact, whom every other group would let take members out, empties nothing here.
    Answer a = Send(ChangeRequest::kDeleteMember, By("BWHITE", administrators, "asmith"));
    EXPECT_EQ(a.text, "BWHITE is not a valid owner of group ZN_GROUPS_ADMINISTRATORS.");
    a = Send(ChangeRequest::kRemoveSubGroup, By("BWHITE", administrators, "ZN-ADMIN-DEPUTIES"));
    EXPECT_EQ(a.code, 30015);
    EXPECT_EQ(Eventual(administrators), everyone);
    // An owner manages the role group's members, and may neither delete nor rename it.
    const std::string protection = "Insufficient privilege or group protection violation.";
    EXPECT_EQ(Send(ChangeRequest::kDeleteGroup, By("JDOE", "", "ZNGENERICS")).text, protection);
    EXPECT_EQ(Send(ChangeRequest::kModifyGroup, By("JDOE", "ZNGENERICS", "ZT15_GENERICS")).text, protection);
    EXPECT_EQ(Send(ChangeRequest::kDeleteMember, By("JDOE", "ZNGENERICS", "genacct")).result, 1);
    // No group takes a role's name but from an administrator.
    Create({"ZT15_MINE"});
    ASSERT_EQ(Send(ChangeRequest::kAddOwner, By(kAdmin, "ZT15_MINE", "jdoe")).result, 1);
    const char* role = "ZN_GROUP_ORG_UNIT_SALES_PRIV";
    EXPECT_EQ(Send(ChangeRequest::kModifyGroup, By("JDOE", "ZT15_MINE", role)).text, protection);
    RequestFields make = By("JDOE", "", role);
    make.organizationalUnit = "zngroups";
    EXPECT_EQ(Send(ChangeRequest::kCreateGroup, make).text, protection);
    CZNGroup library;
    EXPECT_EQ(library.IsValidGroup(role), 0);
    EXPECT_EQ(Send(ChangeRequest::kModifyGroup, By(kAdmin, "ZT15_MINE", role)).result, 1);
    EXPECT_EQ(library.IsValidGroup(role), 1);
    RestoreDirectory();
}

TEST_F(AdminServer, WhatAnEntryCannotTakeIsRefusedUpFrontAndNothingStaysPendingForGood) {
    // A group of the plain class, which holds neither subgroups nor supergroups.
    Create({"ZT16_P", "ZT16_C"});
    const std::string plain = "cn=ZT16_PLAIN,ou=zngroups," + BaseDN();
    ASSERT_EQ(WriteAsAdmin(plain, -1, {{"objectClass", {"groupOfUniqueNames"}}, {"cn", {"ZT16_PLAIN"}},
                                       {"uniqueMember", {PersonDN("cdoe")}}}),
              LDAP_SUCCESS);
    for (auto [parent, child] : {std::pair{"ZT16_PLAIN", "ZT16_C"}, std::pair{"ZT16_P", "ZT16_PLAIN"}}) {
        Answer a = Send(ChangeRequest::kAddSubGroup, By(kAdmin, parent, child));
        EXPECT_EQ(a.code, 31026) << parent << " > " << child << ": " << a.text;
    }
    EXPECT_EQ(Send(ChangeRequest::kAddMember, By(kAdmin, "ZT16_PLAIN", "bwhite")).text,
              "The entry of ZT16_PLAIN cannot take this change: its object classes do not allow explicitMember.");
    EXPECT_TRUE(Values("ZT16_P", "subGroup").empty());
    // Such a change journalled half written (as an older server did) is taken back at the
    // next start instead of being tried before every change for good.
    m_server.Kill(SIGKILL);
    long number = 0;
    {
        std::string error;
        auto journal = zn::server::Journal::Open(m_server.JournalPath(), 1, error);
        ASSERT_TRUE(journal) << error;
        zn::server::PlanDetails details;
        details.operation = "link";
        details.group = GroupDN("ZT16_P");
        details.target = plain;
        details.recompute = {details.group};
        zn::server::ChangePlan plan;
        plan.kind = ChangeRequest::kAddSubGroup;
        plan.details = details.Encode();
        zn::server::NewChange change;
        change.userName = kAdmin;
        change.kind = "ADD GROUP";
        number = journal->RecordPending(change, {"ZT16_P"}, plan.Serialize());
        ASSERT_GT(number, 0);
    }
    AddValue("ZT16_P", "subGroup", plain);
    m_server.Start();
    const Answer status = Status(number);
    EXPECT_EQ(status.code, 31021);
    EXPECT_EQ(status.text.rfind("The directory refused the change: ", 0), 0u) << status.text;
    EXPECT_TRUE(Values("ZT16_P", "subGroup").empty());
    AddMember("ZT16_C", "bwhite");
    const std::string log = m_server.Log();
    std::size_t tries = 0;
    for (std::size_t at = log.find("change " + std::to_string(number) + " "); at != std::string::npos;
         at = log.find("change " + std::to_string(number) + " ", at + 1)) {
        ++tries;
    }
    EXPECT_EQ(tries, 1u) << log;
    EXPECT_NE(log.find("change " + std::to_string(number) + " : taken back: "), std::string::npos)
        << log;
    RestoreDirectory();
}

TEST_F(AdminServer, ChangesMoveOnlyWhatTheySayAndOldDataIsCheckedAndRepairedOpenly) {
    Create({"ZT17_TOP", "ZT17_TEAM"});
    Link("ZT17_TOP", "ZT17_TEAM");
    AddMember("ZT17_TEAM", "bwhite");
    // Eventual members no direct member or link explains, written around the server.
    AddValue("ZT17_TEAM", "uniqueMember", PersonDN("hkim"));
    AddValue("ZT17_TOP", "uniqueMember", PersonDN("egray"));
    const std::string bwhite = PersonDN("bwhite"), hkim = PersonDN("hkim"), egray = PersonDN("egray"),
                      cdoe = PersonDN("cdoe");
    AddMember("ZT17_TEAM", "cdoe");
    EXPECT_EQ(Eventual("ZT17_TEAM"), (std::set<std::string>{bwhite, hkim, cdoe}));
    EXPECT_EQ(Eventual("ZT17_TOP"), (std::set<std::string>{bwhite, egray, cdoe}));
    ASSERT_EQ(Send(ChangeRequest::kRemoveSubGroup, By(kAdmin, "ZT17_TOP", "ZT17_TEAM")).result, 1);
    EXPECT_EQ(Eventual("ZT17_TOP"), std::set<std::string>{egray});
    Link("ZT17_TOP", "ZT17_TEAM");
    ASSERT_EQ(Send(ChangeRequest::kDeleteMember, By(kAdmin, "ZT17_TEAM", "cdoe")).result, 1);
    EXPECT_EQ(Eventual("ZT17_TEAM"), (std::set<std::string>{bwhite, hkim}));
    EXPECT_EQ(Eventual("ZT17_TOP"), (std::set<std::string>{bwhite, hkim, egray}));
    // The check reports, the repair writes and journals, and the check then finds nothing.
    std::string out;
    EXPECT_EQ(m_server.RunOnce({"--check"}, out), 3) << out;
    EXPECT_NE(out.find("ZT17_TEAM: 0 missing, 1 extra\n  - uid=hkim,"), std::string::npos) << out;
    EXPECT_NE(out.find("ZT17_TOP: 0 missing, 2 extra\n"), std::string::npos) << out;
    EXPECT_EQ(Eventual("ZT17_TEAM"), (std::set<std::string>{bwhite, hkim}));
    EXPECT_EQ(m_server.RunOnce({"--repair"}, out), 0) << out;
    EXPECT_EQ(Eventual("ZT17_TEAM"), std::set<std::string>{bwhite});
    EXPECT_EQ(Eventual("ZT17_TOP"), std::set<std::string>{bwhite});
    const std::list<std::string> log = ChangeLog("ZT17_TOP");
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("zngroups-admind REPAIR EVENTUAL MEMBERS ZT17_TOP +0 -2 applied"),
              std::string::npos) << log.back();
    EXPECT_EQ(m_server.RunOnce({"--check"}, out), 0) << out;
    RestoreDirectory();
}

TEST_F(AdminServer, AChangeReachesEveryConsumerAndTheLibraryReadsItThere) {
    Create({"ZT12_G"});
    AddMember("ZT12_G", "fbrown");
    // The consumers follow the provider; with it stopped the library reads from server 4.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool everywhere = false;
    while (!everywhere && std::chrono::steady_clock::now() < deadline) {
        everywhere = true;
        for (const std::string& host : ConsumerHosts()) {
            LdapPtr ld = OpenLdap(host);
            std::string filter = "(&(cn=ZT12_G)(explicitMember=" + PersonDN("fbrown") + "))";
            LDAPMessage* result = nullptr;
            int rc = ld ? ldap_search_ext_s(ld.get(), BaseDN().c_str(), LDAP_SCOPE_SUBTREE, filter.c_str(),
                                            nullptr, 0, nullptr, nullptr, nullptr, 0, &result)
                        : LDAP_SERVER_DOWN;
            everywhere = everywhere && rc == LDAP_SUCCESS && ldap_count_entries(ld.get(), result) == 1;
            ldap_msgfree(result);
        }
        if (!everywhere) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(everywhere);
    StopServer(ProviderHost());
    CZNGroup library("ZT12_G");
    EXPECT_EQ(library.IsValidGroupEventualMember("fbrown"), 1);
    // Changes wait for the provider: refused, journalled, nothing half done.
    Answer down = Send(ChangeRequest::kAddMember, By(kAdmin, "ZT12_G", "mlopez"));
    EXPECT_EQ(down.result, 0);
    EXPECT_EQ(down.code, 31020);
    RestoreAll();
    EXPECT_EQ(Send(ChangeRequest::kAddMember, By(kAdmin, "ZT12_G", "mlopez")).result, 1);
}

TEST_F(AdminServer, AttributesTravelWholeAndOnlyThoseTheSchemaAllows) {
    Create({"ZT4_G"});
    RequestFields description = By(kAdmin, "ZT4_G");
    description.value = "Builds, tests, and ships; 100% of it.";
    EXPECT_EQ(Send(ChangeRequest::kSetDescription, description).result, 1);
    CZNGroup library;
    EXPECT_EQ(library.GetDescription("ZT4_G"), "Builds, tests, and ships; 100% of it.");
    RequestFields attribute = By(kAdmin, "ZT4_G");
    attribute.attributeName = "businessCategory";
    attribute.value = "Engineering, tools";
    EXPECT_EQ(Send(ChangeRequest::kSetGenericAttribute, attribute).result, 1);
    EXPECT_EQ(library.GetGenericAttributeValue("ZT4_G", "businessCategory"), "Engineering, tools");
    attribute.value.clear();
    EXPECT_EQ(Send(ChangeRequest::kSetGenericAttribute, attribute).result, 1);
    EXPECT_TRUE(Values("ZT4_G", "businessCategory").empty());
    // What has a request of its own, by any of its names or its OID, goes only through
    // that request and its checks.
    EXPECT_EQ(Send(ChangeRequest::kSetMailAliased, By(kAdmin, "ZT4_G")).result, 1);
    for (const char* name : {"companyNumber", "MAILALIASED", "exchangeSynchronization",
                             "description", "2.5.4.13", "commonName", "uniqueMember", "subGroup",
                             "owner;x-any"}) {
        attribute.attributeName = name;
        attribute.value = "9999";
        Answer refused = Send(ChangeRequest::kSetGenericAttribute, attribute);
        EXPECT_EQ(refused.code, 31022) << name;
        EXPECT_EQ(refused.text, std::string(name) +
                                    " has a change request of its own and cannot be set as a generic attribute.");
    }
    for (const char* name : {"mail", "noSuchAttribute"}) {
        attribute.attributeName = name;
        EXPECT_EQ(Send(ChangeRequest::kSetGenericAttribute, attribute).code, 31023) << name;
    }
    EXPECT_EQ(library.GetCompanyNumber("ZT4_G"), "");
    EXPECT_EQ(library.GetMailAliasedFlag("ZT4_G"), 'Y');
    EXPECT_EQ(library.GetDescription("ZT4_G"), "Builds, tests, and ships; 100% of it.");
    EXPECT_TRUE(Values("ZT4_G", "exchangeSynchronization").empty());
    EXPECT_TRUE(Eventual("ZT4_G").empty());
}

TEST_F(AdminServer, ConfigurationEntriesAreFoundWhereverTheySit) {
    // Companies kept directly under the organization, with a company the sample lacks.
    const std::string companies = "cn=Companies,ou=Configuration," + BaseDN();
    {
        LdapPtr ld = OpenLdap(ProviderHost());
        ASSERT_TRUE(ld);
        ASSERT_EQ(BindAsAdmin(ld.get()), LDAP_SUCCESS);
        ASSERT_EQ(ldap_rename_s(ld.get(), companies.c_str(), "cn=Companies", BaseDN().c_str(), 1, nullptr, nullptr),
                  LDAP_SUCCESS);
    }
    ASSERT_EQ(WriteAsAdmin("cn=Companies," + BaseDN(), LDAP_MOD_ADD, {{"member", {"0007 Seven Seas"}}}),
              LDAP_SUCCESS);
    Create({"ZT13_G"});
    // The library's own change, checked by the library and again by the server.
    CZNGroup group;
    EXPECT_EQ(group.SetCompanyNumber("asmith", SamplePassword("asmith"), "ZT13_G", "7"), 1)
        << group.GetErrorStatusCode() << " " << group.GetErrorStatusText();
    EXPECT_EQ(group.GetCompanyNumber("ZT13_G"), "0007");
    RequestFields gone = By(kAdmin, "ZT13_G");
    gone.companyNumber = "0999";
    EXPECT_EQ(Send(ChangeRequest::kModifyGroup, gone).code, 30032);
    RestoreDirectory();
}

TEST_F(AdminServer, RequestsThatCannotBeTrustedChangeNothing) {
    Create({"ZT5_G"});
    const std::string token = zn::MakeUserToken("ASMITH");
    const long before = ChangeNumber(Send(ChangeRequest::kAddMember, By(kAdmin, "ZT5_G", "egray")));
    // The token of another name, however often: answered, and written nowhere.
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(Raw(m_server, {"00001,ASMITH," + zn::MakeUserToken("JDOE") + ",ADD,MEMBER,ZT5_G,BWHITE"}),
                  "0,31006,The user token does not match the user name.");
    }
    EXPECT_EQ(ChangeNumber(Send(ChangeRequest::kDeleteMember, By(kAdmin, "ZT5_G", "egray"))), before + 1);
    EXPECT_EQ(Raw(m_server, {"00001,ASMITH,0123,ADD,MEMBER,ZT5_G,BWHITE"}),
              "0,31003,Malformed change request.");
    EXPECT_EQ(Raw(m_server, {"00001,ASMITH," + token + ",ADOPT,MEMBER,ZT5_G,BWHITE"}),
              "0,31002,Unknown change request.");
    EXPECT_EQ(Raw(m_server, {"00003,ASMITH," + token + ",SET,DESCRIPTION,ZT5_G," +
                                 std::string(3000, 'd')}),
              "0,31001,The change request is longer than 2047 characters.");
    // A non-owner, through the library's exchange.
    Answer stranger = Send(ChangeRequest::kAddMember, By("BWHITE", "ZT5_G", "cdoe"));
    EXPECT_EQ(stranger.code, 30018);
    EXPECT_EQ(stranger.text, "BWHITE is not a valid contact of group ZT5_G.");
    EXPECT_TRUE(Values("ZT5_G", "explicitMember").empty());
    EXPECT_TRUE(Values("ZT5_G", "description").empty());
    // The refusals are journalled with their reasons and answer status questions; a
    // requester the directory does not know is in no group's log.
    EXPECT_EQ(Send(ChangeRequest::kAddMember, By("NOBODY", "ZT5_G", "cdoe")).code, 30005);
    std::list<std::string> log = ChangeLog("ZT5_G");
    ASSERT_EQ(log.size(), 4u);  // created, egray in and out, the stranger's refusal
    EXPECT_NE(log.back().find("ADD MEMBER ZT5_G CDOE rejected 30018"), std::string::npos)
        << log.back();
    // One client's refusals are journalled up to its budget, then only answered.
    const long first = ChangeNumber(Send(ChangeRequest::kAddMember, By(kAdmin, "ZT5_G", "cdoe")));
    for (int i = 0; i < 400; ++i) {
        ASSERT_EQ(Send(ChangeRequest::kAddMember, By(kAdmin, "ZT5_G", "cdoe")).code, 30026);
    }
    const long last = ChangeNumber(Send(ChangeRequest::kDeleteMember, By(kAdmin, "ZT5_G", "cdoe")));
    EXPECT_GE(last - first - 1, 200);
    EXPECT_LT(last - first - 1, 400);
}

TEST_F(AdminServer, ChangeLogsBelongToTheEntryWhateverItsSpellingOrItsName) {
    Create({"ZT14_G", "ZT14_OLD", "ZT14_NEW"});
    // Blanks and case the directory ignores change STAFF, so the change is STAFF's.
    RequestFields blank = By(kAdmin, " zt14_g");
    blank.value = "spaced";
    ASSERT_EQ(Send(ChangeRequest::kSetDescription, blank).result, 1);
    std::list<std::string> log = ChangeLog("ZT14_G");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log.back().find(" ZT14_G applied"), std::string::npos) << log.back();
    EXPECT_EQ(ChangeLog(" Zt14_g ").size(), 2u);
    // A group deleted keeps its history; another renamed to its name, then reset, starts
    // from its own.
    AddMember("ZT14_OLD", "bwhite");
    const long deleted = ChangeNumber(Send(ChangeRequest::kDeleteGroup, By(kAdmin, "", "ZT14_OLD")));
    ASSERT_GT(deleted, 0);
    RequestFields rename = By(kAdmin, "ZT14_NEW", "ZT14_OLD");
    ASSERT_EQ(Send(ChangeRequest::kModifyGroup, rename).result, 1);
    log = ChangeLog("ZT14_OLD");
    ASSERT_EQ(log.size(), 2u);  // ZT14_NEW's creation and its rename
    EXPECT_NE(log.front().find("CREATE GROUP ZT14_NEW"), std::string::npos) << log.front();
    ASSERT_EQ(Send(ChangeRequest::kResetGroupChangeLogs, By(kAdmin, "ZT14_OLD")).result, 1);
    EXPECT_EQ(ChangeLog("ZT14_OLD").size(), 1u);
    EXPECT_NE(LogEntry(deleted).text.find("DELETE GROUP ZT14_OLD applied"), std::string::npos);
    // Deleted and made again, a group's log starts with its making.
    ASSERT_EQ(Send(ChangeRequest::kDeleteGroup, By(kAdmin, "", "ZT14_OLD")).result, 1);
    Create({"ZT14_OLD"});
    log = ChangeLog("ZT14_OLD");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log.front().find("CREATE GROUP ZT14_OLD applied"), std::string::npos) << log.front();
}

TEST_F(AdminServer, RequestsArrivingInPiecesAreReadWhole) {
    Create({"ZT6_G"});
    const std::string head = "00003,ASMITH," + zn::MakeUserToken("ASMITH") + ",SET,DESCRIPTION,ZT6_G,";
    const std::string request = head + "one, two";
    // A layout that is not yet whole waits for its rest.
    std::string reply = Raw(m_server, {request.substr(0, 9), request.substr(9, 40),
                                       request.substr(49)},
                            std::chrono::milliseconds(200));
    EXPECT_EQ(reply.rfind("1,1,Change ", 0), 0u) << reply;
    EXPECT_EQ(Values("ZT6_G", "description"), std::set<std::string>{"one, two"});
    // Smallest segments, the first 536 bytes of a 900-character description, a second's
    // pause, then the rest: as a lost last segment would arrive. Stored whole.
    std::string description;
    for (int i = 0; description.size() < 900; ++i) description += "word" + std::to_string(i) + " ";
    description.resize(900);
    const std::string long_request = head + description;
    reply = Raw(m_server, {long_request.substr(0, 536), long_request.substr(536)},
                std::chrono::milliseconds(1000), 536);
    EXPECT_EQ(reply.rfind("1,1,Change ", 0), 0u) << reply;
    EXPECT_EQ(Values("ZT6_G", "description"), std::set<std::string>{description});
    // A request that stops half way is answered after the request bound, unapplied.
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Raw(m_server, {request.substr(0, 30)}),
              "0,31004,Incomplete change request: its fields did not all arrive in time.");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4900));
}

// One client holding connections open without a word: beyond its limit (64 by default) they
// are refused at once, the rest closed after the idle bound (1 s), and meanwhile everybody
// else is served. Its log says so in one line, and the rest of the count at the stop.
TEST_F(AdminServer, SilentConnectionsOfOneClientLockNobodyElseOut) {
    using Clock = std::chrono::steady_clock;
    Create({"ZT9_G"});
    constexpr std::size_t kSilent = 72;
    constexpr std::size_t kPerClient = 64;
    const std::string source = "127.0.0.77";
    const Clock::time_point start = Clock::now();
    std::vector<pollfd> silent;
    for (std::size_t i = 0; i < kSilent; ++i) silent.push_back({Connect(m_server, source), POLLIN, 0});
    RequestFields description = By(kAdmin, "ZT9_G");
    description.value = "while others wait";
    const Answer change = Send(ChangeRequest::kSetDescription, description);
    const Answer status = Status(ChangeNumber(change));
    const auto othersServed = Clock::now() - start;
    EXPECT_EQ(change.result, 1) << change.text;
    EXPECT_EQ(status.code, 1) << status.text;
    // Each silent connection's answer, and when it came.
    std::map<std::string, std::vector<Clock::duration>> answers;
    for (std::size_t open = silent.size(); open > 0 && Clock::now() - start < std::chrono::seconds(10);) {
        poll(silent.data(), silent.size(), 100);
        for (pollfd& entry : silent) {
            if (entry.fd < 0 || entry.revents == 0) continue;
            answers[ReadToClose(entry.fd)].push_back(Clock::now() - start);
            entry.fd = -1;
            --open;
        }
    }
    const std::string tooMany = "0,31014,Too many connections from " + source + ".";
    const std::string idle = "0,31004,Incomplete change request: its fields did not all arrive in time.";
    ASSERT_EQ(answers.size(), 2u);
    ASSERT_EQ(answers[tooMany].size(), kSilent - kPerClient);
    ASSERT_EQ(answers[idle].size(), kPerClient);
    const auto [firstIdle, lastIdle] = std::minmax_element(answers[idle].begin(), answers[idle].end());
    // Served while the silent connections still held their workers.
    EXPECT_LT(othersServed, *firstIdle);
    EXPECT_LT(*std::max_element(answers[tooMany].begin(), answers[tooMany].end()), *firstIdle);
    // After the idle bound, well before the request bound.
    EXPECT_GE(*firstIdle, std::chrono::milliseconds(950));
    EXPECT_LT(*lastIdle, std::chrono::milliseconds(3000));
    m_server.Kill(SIGTERM);
    const std::string log = m_server.Log();
    std::istringstream lines(log);
    std::size_t mentions = 0;
    for (std::string line; std::getline(lines, line);) mentions += line.find(source) != std::string::npos;
    EXPECT_EQ(mentions, 2u) << log;
    EXPECT_NE(
        log.find(source + " turned away: 1 connection(s) over 64 at once, 0 idle for 1000 ms"),
        std::string::npos)
        << log;
    EXPECT_NE(
        log.find(source + " turned away: 7 connection(s) over 64 at once, 64 idle for 1000 ms"),
        std::string::npos)
        << log;
}

TEST_F(AdminServer, ChangeStatusAndLogsAnswerForEveryChange) {
    Create({"ZT7_G"});
    Answer added = Send(ChangeRequest::kAddMember, By(kAdmin, "ZT7_G", "bwhite"));
    Answer refused = Send(ChangeRequest::kAddMember, By(kAdmin, "ZT7_G", "bwhite"));
    const long applied = ChangeNumber(added);
    ASSERT_GT(applied, 0);
    Answer status = Status(applied);
    EXPECT_EQ(status.result, 1);
    EXPECT_EQ(status.code, 1);
    EXPECT_EQ(status.text, "Change " + std::to_string(applied) + " applied.");
    status = Status(ChangeNumber(added) + 1);
    EXPECT_EQ(status.result, 1);
    EXPECT_EQ(status.code, 30026);
    EXPECT_EQ(status.text, "BWHITE is already a direct member of ZT7_G .");
    EXPECT_EQ(refused.code, 30026);
    status = Status(999999);
    EXPECT_EQ(status.result, 0);
    EXPECT_EQ(status.code, 31009);
    EXPECT_EQ(status.text, "No change request 999999.");
    long code = 0;
    std::list<std::string> log = ChangeLog("ZT7_G", &code);
    ASSERT_EQ(log.size(), 3u);  // creation, the add, the refused add
    EXPECT_EQ(code, 1);
    EXPECT_NE(log.front().find("CREATE GROUP ZT7_G applied"), std::string::npos) << log.front();
    const Answer entry = LogEntry(applied);
    EXPECT_EQ(entry.result, 1);
    EXPECT_EQ(entry.text.rfind("Change " + std::to_string(applied) + " ", 0), 0u) << entry.text;
    EXPECT_NE(entry.text.find("ASMITH ADD MEMBER ZT7_G BWHITE applied"), std::string::npos)
        << entry.text;
    EXPECT_EQ(LogEntry(999999).code, 31010);
    // A reset empties the log but for itself; the changes still answer by number.
    EXPECT_EQ(Send(ChangeRequest::kResetGroupChangeLogs, By(kAdmin, "ZT7_G")).result, 1);
    EXPECT_EQ(ChangeLog("ZT7_G").size(), 1u);
    EXPECT_EQ(Status(applied).code, 1);
    EXPECT_EQ(Send(ChangeRequest::kResetGroupChangeLogs, By("BWHITE", "ZT7_G")).code, 30015);
    EXPECT_TRUE(ChangeLog("ZT7_NEVER").empty());
}

TEST_F(AdminServer, ConcurrentClientsLeaveATrueClosure) {
    // ROOT > MID1, MID2 > LEAF1..LEAF4 (each leaf under both mids).
    Create({"ZT8_ROOT", "ZT8_MID1", "ZT8_MID2", "ZT8_LEAF1", "ZT8_LEAF2", "ZT8_LEAF3", "ZT8_LEAF4"});
    Link("ZT8_ROOT", "ZT8_MID1");
    Link("ZT8_ROOT", "ZT8_MID2");
    for (const char* leaf : {"ZT8_LEAF1", "ZT8_LEAF2", "ZT8_LEAF3", "ZT8_LEAF4"}) {
        Link("ZT8_MID1", leaf);
        Link("ZT8_MID2", leaf);
    }
    const std::vector<std::string> people = {"asmith", "jdoe", "bwhite", "cgreen", "egray", "cdoe",
                                             "dblack", "fbrown"};
    std::atomic<int> applied{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < 32; ++i) {
        clients.emplace_back([&, i] {
            std::string leaf = "ZT8_LEAF" + std::to_string(i % 4 + 1);
            const std::string& who = people[static_cast<std::size_t>(i / 4)];
            if (Send(ChangeRequest::kAddMember, By(kAdmin, leaf, who)).result == 1) ++applied;
            // Every third client takes its member out again.
            if (i % 3 == 0 && Send(ChangeRequest::kDeleteMember, By(kAdmin, leaf, who)).result == 1) {
                ++applied;
            }
        });
    }
    for (std::thread& t : clients) t.join();
    EXPECT_EQ(applied.load(), 32 + 11);
    std::set<std::string> expected;
    std::size_t memberships = 0;
    for (int leaf = 1; leaf <= 4; ++leaf) {
        std::string name = "ZT8_LEAF" + std::to_string(leaf);
        std::set<std::string> direct = Values(name, "explicitMember");
        EXPECT_EQ(Eventual(name), direct) << name;
        expected.insert(direct.begin(), direct.end());
        memberships += direct.size();
    }
    EXPECT_EQ(memberships, 32u - 11u);
    EXPECT_EQ(Eventual("ZT8_MID1"), expected);
    EXPECT_EQ(Eventual("ZT8_MID2"), expected);
    EXPECT_EQ(Eventual("ZT8_ROOT"), expected);
}

}  // namespace
}  // namespace zntest
