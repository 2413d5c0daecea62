// zngroups-admind's rules for what one requester may write where: role groups moved by
// administrators only, nested role groups, a bound on what one requester writes a minute,
// no half-written links, and a --repair that takes turns with the serving server.
#include <gtest/gtest.h>
#include <ldap.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CZNGroup.h"
#include "tests/support/admin_daemon.h"
#include "tests/support/admind_requests.h"
#include "tests/support/ldap_session.h"
#include "tests/support/sandbox.h"

namespace zntest {
namespace {

using zn::ChangeRequest;
using zn::RequestFields;

const std::string kProtection = "Insufficient privilege or group protection violation.";

// The unit the server makes groups in, made as the server makes it on first use.
void EnsureUnit() {
    const int rc =
        WriteAsAdmin("ou=zngroups," + BaseDN(), -1,
                     {{"objectClass", {"top", "organizationalUnit"}}, {"ou", {"zngroups"}}});
    ASSERT_TRUE(rc == LDAP_SUCCESS || rc == LDAP_ALREADY_EXISTS) << rc;
}

// A group of `count` members that no person of the directory is, written around the server.
void WriteBigGroup(const std::string& name, int count) {
    EnsureUnit();
    std::vector<std::string> members;
    for (int i = 0; i < count; ++i) {
        members.push_back("uid=zr-member-" + std::to_string(i) + ",ou=People," + BaseDN());
    }
    ASSERT_EQ(WriteAsAdmin("cn=" + name + ",ou=zngroups," + BaseDN(), -1,
                           {{"objectClass", {"top", "groupOfUniqueNames", "znGroup"}},
                            {"cn", {name}},
                            {"explicitMember", members},
                            {"uniqueMember", members}}),
              LDAP_SUCCESS);
}

bool Holds(const std::list<std::string>& log, const std::string& text) {
    for (const std::string& record : log) {
        if (record.find(text) != std::string::npos) return true;
    }
    return false;
}

TEST_F(AdminServer, RoleGroupsAreLinkedOnlyByAdministratorsAndNewGroupsHaveTheirMaker) {
    // JDOE's own group is his: owned, so not open to every requester as a public one is.
    RequestFields junk = By("JDOE", "", "ZR1_JUNK");
    junk.organizationalUnit = "zngroups";
    ASSERT_EQ(Send(ChangeRequest::kCreateGroup, junk).result, 1);
    EXPECT_EQ(Values("ZR1_JUNK", "owner"), std::set<std::string>{PersonDN("jdoe")});
    Answer stranger = Send(ChangeRequest::kAddSubGroup, By("BWHITE", "ZR1_JUNK", "ENG-DB"));
    EXPECT_EQ(stranger.code, 30018);
    EXPECT_EQ(stranger.text, "BWHITE is not a valid contact of group ZR1_JUNK.");
    // Rights on the parent are enough for an ordinary group, never for a role group.
    EXPECT_EQ(Send(ChangeRequest::kAddSubGroup, By("JDOE", "ZR1_JUNK", "ENG-DB")).result, 1);
    const std::set<std::string> above = Values("ZN_GROUPS_ADMINISTRATORS", "superGroup");
    for (const char* role :
         {"ZN_GROUPS_ADMINISTRATORS", "zngenerics", "ZN_GROUP_ORG_UNIT_ENGINEERING_PRIV"}) {
        Answer a = Send(ChangeRequest::kAddSubGroup, By("JDOE", "ZR1_JUNK", role));
        EXPECT_EQ(a.code, 30035) << role;
        EXPECT_EQ(a.text, kProtection) << role;
    }
    EXPECT_EQ(Values("ZN_GROUPS_ADMINISTRATORS", "superGroup"), above);
    EXPECT_FALSE(Holds(ChangeLog("ZN_GROUPS_ADMINISTRATORS"), "applied"));
    // The library refuses the same before it sends.
    CZNGroup library;
    library.SetAccess("jdoe", SamplePassword("jdoe"), "ZR1_JUNK");
    EXPECT_EQ(library.AddSubGroup("ZN_GROUPS_ADMINISTRATORS"), 0);
    EXPECT_EQ(library.GetErrorStatusCode(), 30035);
    EXPECT_EQ(library.GetErrorStatusText(), kProtection);
    // An administrator links one; its parent's owner can take it away neither way.
    Link("ZR1_JUNK", "ZNI_SSO_CONTROL");
    EXPECT_EQ(Send(ChangeRequest::kRemoveSubGroup, By("JDOE", "ZR1_JUNK", "ZNI_SSO_CONTROL")).text,
              kProtection);
    EXPECT_EQ(Send(ChangeRequest::kDeleteSubGroup, By("JDOE", "ZR1_JUNK", "ZNI_SSO_CONTROL")).text,
              kProtection);
    EXPECT_EQ(library.RemoveSubGroup("ZNI_SSO_CONTROL"), 0);
    EXPECT_EQ(library.GetErrorStatusCode(), 30035);
    EXPECT_EQ(Values("ZR1_JUNK", "subGroup"),
              (std::set<std::string>{Lower("cn=ENG-DB,ou=Engineering," + BaseDN()),
                                     Lower("cn=ZNI_SSO_CONTROL,ou=Configuration," + BaseDN())}));
    EXPECT_EQ(
        Send(ChangeRequest::kRemoveSubGroup, By(kAdmin, "ZR1_JUNK", "ZNI_SSO_CONTROL")).result, 1);
    RestoreDirectory();
}

TEST_F(AdminServer, TakingMembersOutBelowARoleGroupNeedsWhatTheRoleGroupNeeds) {
    // A contact of a group nested under the administrators takes no administrator out.
    ASSERT_EQ(Send(ChangeRequest::kAddContact, By(kAdmin, "ZN-ADMIN-DEPUTIES", "bwhite")).result,
              1);
    Answer a = Send(ChangeRequest::kDeleteMember, By("BWHITE", "ZN-ADMIN-DEPUTIES", "cgreen"));
    EXPECT_EQ(a.code, 30015);
    EXPECT_EQ(a.text, "BWHITE is not a valid owner of group ZN_GROUPS_ADMINISTRATORS.");
    EXPECT_EQ(Eventual("ZN_GROUPS_ADMINISTRATORS").count(PersonDN("cgreen")), 1u);
    // The owner of a group nested under ZNGENERICS deletes it, unlinks it or empties it
    // only as an owner of ZNGENERICS.
    ASSERT_EQ(Send(ChangeRequest::kAddOwner, By(kAdmin, "ZNGENERICS-BATCH", "jdoe")).result, 1);
    Create({"ZR2_SUB", "ZR2_OTHER"});
    Link("ZNGENERICS-BATCH", "ZR2_SUB");
    Link("ZR2_OTHER", "ZR2_SUB");  // so that its link to the batch group may go alone
    AddMember("ZR2_SUB", "hkim");
    const std::string refusal = "JDOE is not a valid owner of group ZNGENERICS.";
    EXPECT_EQ(Send(ChangeRequest::kDeleteGroup, By("JDOE", "", "ZNGENERICS-BATCH")).text, refusal);
    EXPECT_EQ(Send(ChangeRequest::kDeleteMember, By("JDOE", "ZNGENERICS-BATCH", "batchacct")).text,
              refusal);
    EXPECT_EQ(Send(ChangeRequest::kRemoveSubGroup, By("JDOE", "ZNGENERICS-BATCH", "ZR2_SUB")).text,
              refusal);
    EXPECT_EQ(Send(ChangeRequest::kDeleteSubGroup, By("JDOE", "ZNGENERICS-BATCH", "ZR2_SUB")).text,
              refusal);
    EXPECT_EQ(Eventual("ZNGENERICS").count(PersonDN("batchacct")), 1u);
    EXPECT_EQ(Eventual("ZNGENERICS").count(PersonDN("hkim")), 1u);
    // An owner of the role group may.
    ASSERT_EQ(Send(ChangeRequest::kAddOwner, By(kAdmin, "ZNGENERICS", "jdoe")).result, 1);
    EXPECT_EQ(
        Send(ChangeRequest::kRemoveSubGroup, By("JDOE", "ZNGENERICS-BATCH", "ZR2_SUB")).result, 1);
    EXPECT_EQ(Send(ChangeRequest::kDeleteGroup, By("JDOE", "", "ZNGENERICS-BATCH")).result, 1);
    EXPECT_EQ(Eventual("ZNGENERICS").count(PersonDN("batchacct")), 0u);
    RestoreDirectory();
}

// Its own server: the bound is set low, so that a few links of a big group reach it.
TEST(AdminServerRules, WhatOneRequesterWritesAMinuteIsBounded) {
    RequireSandbox();
    RestoreAll();
    AdminDaemon server({"", {"--max-values-per-minute", "2500"}});
    WriteBigGroup("ZR3_BIG", 1000);
    RequestFields mine = By("JDOE", "", "ZR3_MINE");
    mine.organizationalUnit = "zngroups";
    ASSERT_EQ(Send(ChangeRequest::kCreateGroup, mine).result, 1);
    // Linked and unlinked again and again: each moves a thousand eventual members.
    int accepted = 0;
    Answer refused;
    for (int i = 0; i < 10 && refused.code == 0; ++i) {
        const ChangeRequest kind =
            i % 2 == 0 ? ChangeRequest::kAddSubGroup : ChangeRequest::kRemoveSubGroup;
        Answer a = Send(kind, By("JDOE", "ZR3_MINE", "ZR3_BIG"));
        if (a.result == 1) {
            ++accepted;
        } else {
            refused = a;
        }
    }
    EXPECT_GE(accepted, 2);
    EXPECT_LE(accepted, 3);
    EXPECT_EQ(refused.code, 31016);
    const std::regex wait(
        "The changes of JDOE wrote more than 2500 values in a minute; try again in ([0-9]+) s\\.");
    std::smatch seconds;
    ASSERT_TRUE(std::regex_match(refused.text, seconds, wait)) << refused.text;
    EXPECT_GE(std::stoi(seconds[1]), 1);
    EXPECT_LE(std::stoi(seconds[1]), 60);
    // Another requester's minute is his own; JDOE's log is not flooded meanwhile.
    EXPECT_EQ(Send(ChangeRequest::kAddMember, By(kAdmin, "ZR3_MINE", "hkim")).result, 1);
    EXPECT_EQ(Send(ChangeRequest::kAddMember, By("JDOE", "ZR3_MINE", "egray")).code, 31016);
    EXPECT_EQ(ChangeLog("ZR3_MINE").size(), static_cast<std::size_t>(1 + accepted + 1));
    EXPECT_EQ(Values("ZR3_MINE", "subGroup").size(), accepted % 2 == 1 ? 1u : 0u);
    RestoreDirectory();
}

// The provider's database made nearly full: room for a few small writes, none for a
// thousand eventual members.
class FullProvider {
  public:
    FullProvider() {
        const std::string db = SandboxDir() + "/servers/" + ProviderHost() + "/db/data.mdb";
        StopServer(ProviderHost());
        struct stat info {};
        stat(db.c_str(), &info);
        SetMaxSize(static_cast<long>(info.st_blocks) * 512 + 64 * 1024);
        StartServer(ProviderHost());
    }
    ~FullProvider() {
        StopServer(ProviderHost());
        SetMaxSize(16777216);
        StartServer(ProviderHost());
    }

  private:
    static void SetMaxSize(long bytes) {
        const std::string path = SandboxDir() + "/servers/" + ProviderHost() + "/slapd.conf";
        std::ifstream in(path);
        std::stringstream text;
        for (std::string line; std::getline(in, line);) {
            text << (line.rfind("maxsize ", 0) == 0 ? "maxsize " + std::to_string(bytes) : line)
                 << "\n";
        }
        in.close();
        std::ofstream(path) << text.str();
    }
};

TEST_F(AdminServer, ALinkTheDirectoryRefusesPartWayIsTakenBackWhole) {
    Create({"ZR4_TOP", "ZR4_P"});
    Link("ZR4_TOP", "ZR4_P");
    AddMember("ZR4_P", "hkim");
    WriteBigGroup("ZR4_BIG", 5000);
    {
        FullProvider full;
        Answer a = Send(ChangeRequest::kAddSubGroup, By(kAdmin, "ZR4_P", "ZR4_BIG"));
        EXPECT_EQ(a.result, 0);
        EXPECT_EQ(a.code, 31021) << a.text;
        EXPECT_TRUE(Values("ZR4_P", "subGroup").empty());
        EXPECT_TRUE(Values("ZR4_BIG", "superGroup").empty());
        EXPECT_EQ(Eventual("ZR4_P"), std::set<std::string>{PersonDN("hkim")});
        EXPECT_EQ(Eventual("ZR4_TOP"), std::set<std::string>{PersonDN("hkim")});
        // Nothing is left pending to be tried before every change.
        EXPECT_EQ(Send(ChangeRequest::kAddMember, By(kAdmin, "ZR4_P", "egray")).result, 1);
        EXPECT_EQ(m_server.Log().find("pending"), std::string::npos) << m_server.Log();
    }
    std::string out;
    EXPECT_EQ(m_server.RunOnce({"--check"}, out), 0) << out;
    RestoreDirectory();
}

TEST_F(AdminServer, HalfLinksCountNowhereAndAreReportedAndTakenAway) {
    Create({"ZR6_P", "ZR6_C", "ZR6_D"});
    AddMember("ZR6_C", "hkim");
    // Halves of links written around the server, as a refused change of an older server left
    // them: the parent's side alone, and the child's side alone.
    AddValue("ZR6_P", "subGroup", GroupDN("ZR6_C"));
    AddValue("ZR6_D", "superGroup", GroupDN("ZR6_P"));
    // Checks, eventual members and the repair count whole links only.
    AddMember("ZR6_P", "egray");
    AddMember("ZR6_D", "bwhite");
    EXPECT_EQ(Eventual("ZR6_P"), std::set<std::string>{PersonDN("egray")});
    std::string out;
    EXPECT_EQ(m_server.RunOnce({"--check"}, out), 3) << out;
    EXPECT_NE(out.find("ZR6_P > ZR6_C: half a link, only in ZR6_P's subGroup\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find("ZR6_P > ZR6_D: half a link, only in ZR6_D's superGroup\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("2 half link(s), 0 group(s)"), std::string::npos) << out;
    EXPECT_EQ(m_server.RunOnce({"--repair"}, out), 0) << out;
    EXPECT_TRUE(Values("ZR6_P", "subGroup").empty());
    EXPECT_TRUE(Values("ZR6_D", "superGroup").empty());
    EXPECT_TRUE(Holds(ChangeLog("ZR6_C"), "zngroups-admind REPAIR HALF LINK ZR6_P ZR6_C applied"))
        << out;
    EXPECT_EQ(m_server.RunOnce({"--check"}, out), 0) << out;
    // Whole again through the server, the link counts.
    Link("ZR6_P", "ZR6_C");
    EXPECT_EQ(Eventual("ZR6_P"), (std::set<std::string>{PersonDN("egray"), PersonDN("hkim")}));
}

TEST_F(AdminServer, RepairTakesTurnsWithTheServersChanges) {
    // Many groups to repair ahead of the last one, whose eventual members lack its member.
    constexpr int kDrifted = 300;
    EnsureUnit();
    for (int i = 0; i < kDrifted; ++i) {
        const std::string name = "ZR5_D" + std::to_string(1000 + i);
        ASSERT_EQ(WriteAsAdmin("cn=" + name + ",ou=zngroups," + BaseDN(), -1,
                               {{"objectClass", {"top", "groupOfUniqueNames", "znGroup"}},
                                {"cn", {name}},
                                {"uniqueMember", {PersonDN("egray")}}}),
                  LDAP_SUCCESS);
    }
    ASSERT_EQ(WriteAsAdmin("cn=ZR5_LAST,ou=zngroups," + BaseDN(), -1,
                           {{"objectClass", {"top", "groupOfUniqueNames", "znGroup"}},
                            {"cn", {"ZR5_LAST"}},
                            {"explicitMember", {PersonDN("hkim")}}}),
              LDAP_SUCCESS);
    // The member leaves while the repair runs: the repair must not write it back.
    std::string out;
    int status = -1;
    std::thread repair([&] { status = m_server.RunOnce({"--repair"}, out); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!Holds(ChangeLog("ZR5_D1000"), "REPAIR") &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Answer removed = Send(ChangeRequest::kDeleteMember, By(kAdmin, "ZR5_LAST", "hkim"));
    repair.join();
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(removed.result, 1) << removed.text;
    EXPECT_TRUE(Values("ZR5_LAST", "explicitMember").empty());
    EXPECT_TRUE(Eventual("ZR5_LAST").empty());
    EXPECT_EQ(m_server.RunOnce({"--check"}, out), 0) << out;
    RestoreDirectory();
}

}  // namespace
}  // namespace zntest
