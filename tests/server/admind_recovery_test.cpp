// zngroups-admind's durability: change plans through the journal, the allow list, and a
// server killed part way through a change.
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

TEST(ChangeApplier, PlansSurviveTheJournalAndApplyingTwiceChangesNothingMore) {
    RequireSandbox();
    zn::server::DirectorySettings settings{"ldap://" + ServerAddress("ldap5"), "cn=admin," + BaseDN(),
                                           "zngadmin", BaseDN(), 5000};
    zn::server::ChangeApplier applier(settings);
    std::string text;
    RequestFields description = By(kAdmin, "ENG-ALUMNI");
    const char hostile[] = "line one\nline two, ]*\0 end";
    description.value = std::string(hostile, sizeof hostile - 1);
    ASSERT_TRUE(zn::FormatChangeRequest(ChangeRequest::kSetDescription, description, text));
    zn::ParsedRequest request;
    // A NUL byte never reaches the directory: the request is refused as it is read.
    EXPECT_EQ(zn::ParseChangeRequest(text, request), zn::ParseOutcome::kMalformed);
    description.value = "line one, ]* end";
    ASSERT_TRUE(zn::FormatChangeRequest(ChangeRequest::kSetDescription, description, text));
    ASSERT_EQ(zn::ParseChangeRequest(text, request), zn::ParseOutcome::kMayContinue);
    zn::server::ChangePlan plan;
    ASSERT_TRUE(applier.Check(request, plan).Ok());
    zn::server::ChangePlan restored;
    ASSERT_TRUE(zn::server::ChangePlan::Deserialize(plan.Serialize(), restored));
    EXPECT_EQ(restored.Serialize(), plan.Serialize());
    EXPECT_FALSE(zn::server::ChangePlan::Deserialize(plan.Serialize().substr(1), restored));
    EXPECT_FALSE(zn::server::ChangePlan::Deserialize(plan.Serialize() + "x", restored));

    zn::server::Verdict failure;
    using Reached = zn::server::ChangeApplier::Reached;
    EXPECT_EQ(applier.FirstWriteReached(plan, failure), Reached::kNo);
    bool touched = false;
    ASSERT_TRUE(applier.Apply(plan, touched).Ok());
    EXPECT_TRUE(touched);
    EXPECT_EQ(applier.FirstWriteReached(plan, failure), Reached::kYes);
    ASSERT_TRUE(applier.Apply(restored, touched).Ok());
    EXPECT_EQ(Values("ENG-ALUMNI", "description"), std::set<std::string>{"line one, ]* end"});

    // A link applied twice is one link, and the closure stays the same.
    ASSERT_TRUE(zn::FormatChangeRequest(ChangeRequest::kAddSubGroup, By(kAdmin, "ENG-ALUMNI", "ENG-DB"), text));
    ASSERT_EQ(zn::ParseChangeRequest(text, request), zn::ParseOutcome::kMayContinue);
    ASSERT_TRUE(applier.Check(request, plan).Ok());
    ASSERT_TRUE(applier.Apply(plan, touched).Ok());
    ASSERT_TRUE(applier.Apply(plan, touched).Ok());
    EXPECT_EQ(Values("ENG-ALUMNI", "subGroup").size(), 1u);
    EXPECT_EQ(Values("ENG-ALUMNI", "uniqueMember"), std::set<std::string>{PersonDN("cdoe")});
    EXPECT_EQ(Values("ENG-DB", "superGroup").size(), 3u);
    // Once applied, the same request no longer passes its checks.
    EXPECT_EQ(applier.Check(request, plan).code, 30029);
    // A member's direct and eventual values go in one write; run again, as after a kill, it
    // falls back to the direct value and a recomputation, and the closure above holds.
    for (ChangeRequest kind : {ChangeRequest::kAddMember, ChangeRequest::kDeleteMember}) {
        ASSERT_TRUE(zn::FormatChangeRequest(kind, By(kAdmin, "ENG-DB", "hkim"), text));
        ASSERT_EQ(zn::ParseChangeRequest(text, request), zn::ParseOutcome::kMayContinue);
        ASSERT_TRUE(applier.Check(request, plan).Ok());
        ASSERT_TRUE(applier.Apply(plan, touched).Ok());
        ASSERT_TRUE(applier.Apply(plan, touched).Ok());
        const bool added = kind == ChangeRequest::kAddMember;
        for (const char* group : {"ENG-DB", "ENG-ALUMNI", "ENG-BACKEND", "ENG-ALL"}) {
            EXPECT_EQ(Values(group, "uniqueMember").count(PersonDN("hkim")), added ? 1u : 0u) << group;
        }
        EXPECT_EQ(Values("ENG-DB", "explicitMember").count(PersonDN("hkim")), added ? 1u : 0u);
    }
    RestoreDirectory();
}

// The token proves nothing, so who may send changes is the allow list alone: loopback
// when nobody said otherwise (every other test runs the server that way), "any" opens it.
TEST(AdminServerAllowList, OnlyTheNamedNetworksSendChanges) {
    RequireSandbox();
    const std::string forged =
        "00001,ASMITH," + zn::MakeUserToken("JDOE") + ",ADD,MEMBER,ALLHANDS,BWHITE";
    {
        AdminDaemon server;
        EXPECT_NE(server.Log().find("changes are accepted from 127.0.0.0/8"), std::string::npos)
            << server.Log();
    }
    {
        AdminDaemon server({"", {"--allow", "10.0.0.0/8"}});
        const std::string reply = Raw(server, {forged});
        EXPECT_EQ(reply.rfind("0,31005,Changes are not accepted from 127.", 0), 0u) << reply;
    }
    {
        // Past the allow list, the token check answers.
        AdminDaemon server({"", {"--allow", "10.0.0.0/8", "--allow", "any"}});
        EXPECT_EQ(Raw(server, {forged}), "0,31006,The user token does not match the user name.");
    }
}

TEST(AdminServerCrash, AJournalledChangeIsDisownedOrCompletedAfterAKill) {
    RequireSandbox();
    AdminDaemonOptions options;
    options.pauseAfterJournalMilliseconds = 3000;
    AdminDaemon server(options);
    RequestFields create = By(kAdmin, "", "ZT9_G");
    create.organizationalUnit = "zngroups";
    // Killed inside the pause: journalled as pending, the directory untouched.
    Answer lost;
    std::thread client([&] { lost = Send(ChangeRequest::kCreateGroup, create); });
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    server.Kill(SIGKILL);
    client.join();
    EXPECT_EQ(lost.result, 0);
    CZNGroup library;
    EXPECT_EQ(library.IsValidGroup("ZT9_G"), 0);
    server.SetPauseAfterJournal(0);
    server.Start();
    Answer status = Status(1);
    EXPECT_EQ(status.code, 31012);
    EXPECT_EQ(status.text, "Not applied: the server stopped before the directory was changed.");
    EXPECT_EQ(library.IsValidGroup("ZT9_G"), 0);

    // Killed after the first write of a link (the parent's side): the restart finishes it.
    for (const char* name : {"ZT9_P", "ZT9_C"}) {
        RequestFields f = By(kAdmin, "", name);
        f.organizationalUnit = "zngroups";
        ASSERT_EQ(Send(ChangeRequest::kCreateGroup, f).result, 1);
    }
    Send(ChangeRequest::kAddMember, By(kAdmin, "ZT9_C", "hkim"));
    server.Kill(SIGKILL);
    long number = 0;
    {
        zn::server::DirectorySettings settings{"ldap://" + ServerAddress("ldap5"),
                                               "cn=admin," + BaseDN(), "zngadmin", BaseDN(), 5000};
        zn::server::ChangeApplier applier(settings);
        std::string error;
        auto journal = zn::server::Journal::Open(server.JournalPath(), 1, error);
        ASSERT_TRUE(journal) << error;
        zn::ParsedRequest request;
        std::string text;
        zn::FormatChangeRequest(ChangeRequest::kAddSubGroup, By(kAdmin, "ZT9_P", "ZT9_C"), text);
        ASSERT_EQ(zn::ParseChangeRequest(text, request), zn::ParseOutcome::kMayContinue);
        zn::server::ChangePlan plan;
        ASSERT_TRUE(applier.Check(request, plan).Ok());
        zn::server::NewChange change;
        change.client = "crash test";
        change.userName = kAdmin;
        change.request = text;
        change.kind = "ADD GROUP";
        change.groupName = "ZT9_P";
        change.target = "ZT9_C";
        number = journal->RecordPending(change, plan.logGroups, plan.Serialize());
        ASSERT_GT(number, 0);
        AddValue("ZT9_P", "subGroup", GroupDN("ZT9_C"));
        zn::server::Verdict unknown;
        EXPECT_EQ(applier.FirstWriteReached(plan, unknown), zn::server::ChangeApplier::Reached::kYes);
    }
    EXPECT_TRUE(Values("ZT9_C", "superGroup").empty());
    server.Start();
    EXPECT_EQ(Status(number).code, 1);
    EXPECT_EQ(Values("ZT9_C", "superGroup"), std::set<std::string>{GroupDN("ZT9_P")});
    EXPECT_EQ(Values("ZT9_P", "uniqueMember"), std::set<std::string>{PersonDN("hkim")});
    EXPECT_NE(server.Log().find("completed after an interruption"), std::string::npos);
    RestoreDirectory();
}

}  // namespace
}  // namespace zntest
