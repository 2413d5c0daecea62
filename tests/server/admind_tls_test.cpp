// zngroups-admind over TLS: changes carried by the library's TLS channel, a server the
// library cannot verify, proof of the requester (a token alone changes nothing), the
// logged-on account without a password, and TLS clients that never finish their handshake.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CZNGroup.h"
#include "admin/admin_channel.h"
#include "admin/change_request.h"
#include "platform/host_info.h"
#include "server/reply_codes.h"
#include "session/status_codes.h"
#include "session/trace.h"
#include "tests/support/admin_daemon.h"
#include "tests/support/admind_requests.h"
#include "tests/support/sandbox.h"

namespace zntest {
namespace {

using Clock = std::chrono::steady_clock;
using zn::ChangeRequest;

const std::string kAdminPassword = "Tr0ubadour";  // asmith
const std::string kDoePassword = "secret";        // jdoe

// One request through the library's channel, which sends `password` as the proof when it
// speaks TLS.
Answer Proven(ChangeRequest kind, zn::RequestFields fields, const std::string& password,
              const std::string& token = "") {
    std::string request;
    zn::FormatChangeRequest(kind, fields, request);
    if (!token.empty()) {
        const std::string real = zn::CZNAdminChannel::MakeToken(fields.userName);
        request.replace(request.find(real), real.size(), token);
    }
    zn::CZNAdminChannel channel;
    channel.SetWaitLimit(10, 0);
    channel.SetRequesterPassword(password);
    const auto start = Clock::now();
    Answer answer;
    answer.result = channel.Transact(request.c_str());
    answer.code = channel.GetErrorCode();
    answer.text = channel.GetErrorText();
    answer.took = Clock::now() - start;
    return answer;
}

// The transport of each exchange of the channel, as the trace shows it.
struct TransportTrace : zn::trace::TraceSink {
    TransportTrace() { zn::trace::SetSink(this); }
    ~TransportTrace() override { zn::trace::SetSink(nullptr); }
    void OnBind(const zn::trace::BindRecord&) override {}
    void OnSearch(const zn::trace::SearchRecord&) override {}
    void OnAdminRequest(const zn::trace::AdminRecord& record) override {
        std::lock_guard<std::mutex> hold(lock);
        seen.push_back(record.transport);
    }
    std::mutex lock;
    std::vector<std::string> seen;
};

constexpr const char* kProven = "tls, certificate verified, with proof";
constexpr const char* kProvenKept = "tls, certificate verified, with proof, kept connection";

zn::RequestFields NewGroup(const std::string& user, const std::string& name) {
    zn::RequestFields f = By(user, "", name);
    f.organizationalUnit = "zngroups";
    return f;
}

// A server of the local domain that speaks TLS (and wants proof, unless told otherwise),
// and a library whose channel speaks TLS.
class AdminServerTls : public ::testing::Test {
  protected:
    static void TearDownTestSuite() { RestoreDirectory(); }
    void SetUp() override {
        RequireSandbox();
        RestoreAll();
    }
    void TearDown() override {
        zn::platform::RestoreAccountNameForTesting();
        m_server.reset();
        RestoreAll();
    }
    void Start(bool proof, std::vector<std::string> more = {}) {
        AdminDaemonOptions options;
        options.extraArguments = TlsArguments(proof);
        options.extraArguments.insert(options.extraArguments.end(), more.begin(), more.end());
        m_server = std::make_unique<AdminDaemon>(options);
    }

    std::unique_ptr<AdminDaemon> m_server;
};

TEST_F(AdminServerTls, AChangeNeedsItsRequestersPasswordAndATokenAloneChangesNothing) {
    Start(true);
    ScopedAdminTls tls;
    const Answer applied =
        Proven(ChangeRequest::kCreateGroup, NewGroup(kAdmin, "ZTLS_A"), kAdminPassword);
    ASSERT_EQ(applied.result, 1) << applied.text;
    EXPECT_EQ(applied.code, 1);
    ASSERT_EQ(Values("ZTLS_A", "cn").size(), 1u);

    // The token computed from the name, as anyone can: no password, no change.
    zn::RequestFields member = By(kAdmin, "ZTLS_A", "jdoe");
    Answer refused = Proven(ChangeRequest::kAddMember, member, "");
    EXPECT_EQ(refused.result, 0);
    EXPECT_EQ(refused.code, zn::server::kProofRequiredCode);
    EXPECT_EQ(refused.text,
              "Changes need proof of the requester: ASMITH sent no password over TLS.");
    // A wrong password, and another person's right one under the administrator's name and
    // token (a request seen once, sent again with the sender's own password).
    for (const std::string& password : {std::string("Tr0ubadouR"), kDoePassword}) {
        refused = Proven(ChangeRequest::kAddMember, member, password);
        EXPECT_EQ(refused.result, 0) << password;
        EXPECT_EQ(refused.code, zn::server::kProofFailedCode) << password;
        EXPECT_EQ(refused.text, "The password does not prove ASMITH: nothing was changed.");
    }
    // A forged token is refused as ever, the right password notwithstanding.
    refused =
        Proven(ChangeRequest::kAddMember, member, kAdminPassword, std::string(32, '0') + "00");
    EXPECT_EQ(refused.code, zn::server::kTokenMismatchCode);
    EXPECT_TRUE(Values("ZTLS_A", "explicitMember").empty());

    const Answer added = Proven(ChangeRequest::kAddMember, member, kAdminPassword);
    EXPECT_EQ(added.result, 1) << added.text;
    EXPECT_EQ(Values("ZTLS_A", "explicitMember"), std::set<std::string>{Lower(PersonDN("jdoe"))});
    // The directory refused the password as given and took it in lower case, as the
    // library's own check does.
    const Answer lowered =
        Proven(ChangeRequest::kCreateGroup, NewGroup("JDOE", "ZTLS_B"), "SECRET");
    EXPECT_EQ(lowered.result, 1) << lowered.text;

    // Questions need no proof.
    const Answer status = Status(ChangeNumber(added));
    EXPECT_EQ(status.code, 1) << status.text;
    // The refusals are in the log, the passwords are not.
    const std::string log = m_server->Log();
    EXPECT_NE(log.find("refused 31018"), std::string::npos) << log;
    for (const char* secret : {"Tr0ubadou", "secret", "SECRET", "5472307562"}) {
        EXPECT_EQ(log.find(secret), std::string::npos) << secret;
    }
}

TEST_F(AdminServerTls, GroupChangesProveTheRequesterAndAnAccountWithoutPasswordIsRefused) {
    Start(true);
    ScopedAdminTls tls;
    ASSERT_EQ(
        Proven(ChangeRequest::kCreateGroup, NewGroup(kAdmin, "ZTLS_G"), kAdminPassword).result, 1);
    // The trace says how each change went: encrypted, with or without the proof, on the
    // connection the first change left open.
    auto transports = std::make_unique<TransportTrace>();
    CZNGroup group;
    EXPECT_EQ(group.AddDirectMember("asmith", kAdminPassword, "ZTLS_G", "jdoe"), 1)
        << group.GetErrorStatusText();
    // The logged-on account needs no password in the library; the server cannot tell it from
    // anybody who types the name, so it refuses.
    const std::string account = "ASMITH";
    zn::platform::OverrideAccountNameForTesting(&account);
    CZNGroup logged;
    EXPECT_EQ(logged.AddDirectMember("asmith", "", "ZTLS_G", "bwhite"), 0);
    EXPECT_EQ(logged.GetErrorStatusCode(), zn::server::kProofRequiredCode);
    EXPECT_EQ(transports->seen, (std::vector<std::string>{
                                    kProvenKept, "tls, certificate verified, kept connection"}));
    transports.reset();
    EXPECT_EQ(Values("ZTLS_G", "explicitMember"), std::set<std::string>{Lower(PersonDN("jdoe"))});
}

// Without require-proof a TLS server takes changes as before, and still refuses a proof
// that is wrong; a plain client gets nothing from it.
TEST_F(AdminServerTls, WithoutRequireProofAProofGivenIsStillChecked) {
    Start(false);
    {
        ScopedAdminTls tls;
        EXPECT_EQ(Proven(ChangeRequest::kCreateGroup, NewGroup(kAdmin, "ZTLS_P"), "").result, 1);
        const Answer wrong =
            Proven(ChangeRequest::kCreateGroup, NewGroup(kAdmin, "ZTLS_Q"), "wrong");
        EXPECT_EQ(wrong.code, zn::server::kProofFailedCode) << wrong.text;
    }
    const Answer plain = Send(ChangeRequest::kCreateGroup, NewGroup(kAdmin, "ZTLS_R"));
    EXPECT_EQ(plain.result, 0);
    EXPECT_TRUE(Values("ZTLS_R", "cn").empty());
}

// The library never falls back to plain text: an authority that did not sign the server's
// certificate, a server that speaks no TLS, and settings it cannot read each fail before
// the request goes out, with the host in the text.
TEST_F(AdminServerTls, AServerTheLibraryCannotVerifyGetsNothing) {
    Start(true);
    {
        // The server's own certificate is no authority.
        ScopedAdminTls tls(SandboxDir() + "/tls/server.pem");
        const Answer a =
            Proven(ChangeRequest::kCreateGroup, NewGroup(kAdmin, "ZTLS_C"), kAdminPassword);
        EXPECT_EQ(a.result, 0);
        EXPECT_EQ(a.code, zn::status::kTlsFailed);
        EXPECT_EQ(a.text,
                  "TLS with the administration server ldapadm:60660 failed: the certificate "
                  "does not verify: unable to get local issuer certificate.");
    }
    {
        ScopedAdminTls tls("", "maybe");
        const Answer a =
            Proven(ChangeRequest::kCreateGroup, NewGroup(kAdmin, "ZTLS_C"), kAdminPassword);
        EXPECT_EQ(a.code, zn::status::kTlsSettingsInvalid);
        EXPECT_NE(a.text.find("ZNGROUPS_ADMIN_TLS"), std::string::npos) << a.text;
        EXPECT_NE(a.text.find("nothing was sent to ldapadm"), std::string::npos) << a.text;
    }
    m_server.reset();
    m_server = std::make_unique<AdminDaemon>();
    {
        ScopedAdminTls tls;
        const Answer a =
            Proven(ChangeRequest::kCreateGroup, NewGroup(kAdmin, "ZTLS_C"), kAdminPassword);
        EXPECT_EQ(a.code, zn::status::kTlsFailed) << a.text;
        EXPECT_EQ(a.text.rfind("TLS with the administration server ldapadm:60660 failed: ", 0), 0u)
            << a.text;
    }
    EXPECT_TRUE(Values("ZTLS_C", "cn").empty());
    // The plain server saw no password: nothing but a handshake reached it.
    EXPECT_EQ(m_server->Log().find(kAdminPassword), std::string::npos);
}

// Clients that open TLS and stop half way through the hello, and clients that send nothing,
// hold a descriptor each and no worker: others are served meanwhile. A started handshake has
// the request bound (5 s) like a started request, a silent connection the idle bound (1 s).
TEST_F(AdminServerTls, AStalledHandshakeHoldsNoWorker) {
    Start(true);
    ScopedAdminTls tls;
    const std::string helloStart("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11);
    std::vector<int> stalled, silent;
    const auto opened = Clock::now();
    for (int i = 0; i < 80; ++i) {
        const int fd = Connect(*m_server, "127.0.0." + std::to_string(81 + i % 4));
        ASSERT_GE(fd, 0);
        if (i % 2 == 0) {
            send(fd, helloStart.data(), helloStart.size(), MSG_NOSIGNAL);
            stalled.push_back(fd);
        } else {
            silent.push_back(fd);
        }
    }
    const Answer served =
        Proven(ChangeRequest::kCreateGroup, NewGroup(kAdmin, "ZTLS_S"), kAdminPassword);
    EXPECT_EQ(served.result, 1) << served.text;
    EXPECT_LT(served.took, std::chrono::seconds(2));
    // When the server closes each of them: the silent ones at the idle bound, the stalled
    // handshakes not before the request bound.
    auto closedAfter = [&](int fd) {
        pollfd entry{fd, POLLIN, 0};
        char scrap[256];
        while (poll(&entry, 1, 10000) == 1 && recv(fd, scrap, sizeof scrap, 0) > 0) {
        }
        close(fd);
        return Clock::now() - opened;
    };
    for (int fd : silent) EXPECT_LT(closedAfter(fd), std::chrono::milliseconds(4500));
    for (int fd : stalled) {
        const auto after = closedAfter(fd);
        EXPECT_GE(after, std::chrono::milliseconds(4500));
        EXPECT_LT(after, std::chrono::seconds(9));
    }
}

// The changes of one program share one TLS connection, each still with its own proof; a
// server that went away, or a child made by fork(), never gets a request on a connection
// that is no longer theirs.
TEST_F(AdminServerTls, ChangesShareAKeptConnectionEachWithItsOwnProof) {
    Start(true);
    ScopedAdminTls tls;
    TransportTrace trace;
    ASSERT_EQ(
        Proven(ChangeRequest::kCreateGroup, NewGroup(kAdmin, "ZTLS_K"), kAdminPassword).result, 1);
    EXPECT_EQ(
        Proven(ChangeRequest::kAddMember, By(kAdmin, "ZTLS_K", "jdoe"), kAdminPassword).result, 1);
    // A proof on a kept connection is checked as on a new one.
    EXPECT_EQ(Proven(ChangeRequest::kAddMember, By(kAdmin, "ZTLS_K", "bwhite"), "Tr0ubadouR").code,
              zn::server::kProofFailedCode);
    EXPECT_EQ(trace.seen, (std::vector<std::string>{kProven, kProvenKept, kProvenKept}));

    // The server restarted: its old connection is seen closed before anything is sent.
    m_server.reset();
    Start(true);
    EXPECT_EQ(
        Proven(ChangeRequest::kAddMember, By(kAdmin, "ZTLS_K", "bwhite"), kAdminPassword).result,
        1);
    EXPECT_EQ(trace.seen.back(), kProven);

    // The child's TLS session state is a copy of its parent's: had it used the connection,
    // the parent's next record would be out of step and its change refused.
    const pid_t child = fork();
    if (child == 0) {
        const Answer a =
            Proven(ChangeRequest::kDeleteMember, By(kAdmin, "ZTLS_K", "bwhite"), kAdminPassword);
        _exit(a.result == 1 ? 0 : 1);
    }
    ASSERT_GT(child, 0);
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const Answer parent =
        Proven(ChangeRequest::kDeleteMember, By(kAdmin, "ZTLS_K", "jdoe"), kAdminPassword);
    EXPECT_EQ(parent.result, 1) << parent.text;
    EXPECT_EQ(trace.seen.back(), kProvenKept);
    EXPECT_TRUE(Values("ZTLS_K", "explicitMember").empty());

    // Threads of one program take kept connections of their own, never one another's.
    const long number = ChangeNumber(parent);
    std::atomic<int> answered{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 5; ++i) answered += Status(number).code == 1 ? 1 : 0;
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(answered.load(), 20);
}

// A program's kept connections count against its address's limit only while nothing else
// needs the room: a new connection over the limit retires one, whose client then sees it
// closed and opens another. A server told to keep nothing closes after each answer.
TEST_F(AdminServerTls, KeptConnectionsGiveWayAndCanBeTurnedOff) {
    Start(true, {"--max-connections-per-client", "1"});
    TransportTrace trace;
    {
        ScopedAdminTls tls;
        ASSERT_EQ(
            Proven(ChangeRequest::kCreateGroup, NewGroup(kAdmin, "ZTLS_L"), kAdminPassword).result,
            1);
    }
    {
        // The same authority under another file name: a connection of its own.
        const std::string copy = SandboxDir() + "/tls/ca-again.pem";
        std::ofstream(copy) << std::ifstream(SandboxDir() + "/tls/ca.pem").rdbuf();
        ScopedAdminTls other(copy);
        const Answer a =
            Proven(ChangeRequest::kAddMember, By(kAdmin, "ZTLS_L", "jdoe"), kAdminPassword);
        EXPECT_EQ(a.result, 1) << a.text;
    }
    {
        ScopedAdminTls tls;
        const Answer b =
            Proven(ChangeRequest::kAddMember, By(kAdmin, "ZTLS_L", "bwhite"), kAdminPassword);
        EXPECT_EQ(b.result, 1) << b.text;
    }
    EXPECT_EQ(trace.seen, (std::vector<std::string>{kProven, kProven, kProven}));

    m_server.reset();
    Start(true, {"--keep-alive-ms", "0"});
    ScopedAdminTls tls;
    for (const char* member : {"jdoe", "bwhite"}) {
        const Answer c =
            Proven(ChangeRequest::kDeleteMember, By(kAdmin, "ZTLS_L", member), kAdminPassword);
        EXPECT_EQ(c.result, 1) << c.text;
    }
    EXPECT_EQ(std::vector<std::string>(trace.seen.end() - 2, trace.seen.end()),
              (std::vector<std::string>{kProven, kProven}));
}

// Questions about another domain's changes, passed on to its (plain) server, one after
// another on one kept connection: each is asked of the peer afresh.
TEST_F(AdminServerTls, AKeptConnectionPassesEachQuestionOnToThePeer) {
    AdminDaemonOptions europeOptions;
    europeOptions.domain = "EUROPE";
    AdminDaemon europe(europeOptions);
    Start(false, {"--peer", "100000001=ldapEUROPEadm:60661"});
    const Answer added =
        Send(ChangeRequest::kAddMember, By(kAdmin, "SALES-EMEA", "hkim"), 60661, "EUROPE");
    ASSERT_EQ(added.result, 1) << added.text;
    const long number = ChangeNumber(added);
    {
        ScopedAdminTls tls;
        TransportTrace trace;
        for (long asked : {number, number, number + 1, number}) {
            const Answer status = Status(asked);
            EXPECT_EQ(status.code, asked == number ? 1 : zn::server::kUnknownChangeCode)
                << status.text;
            EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(status.took).count(),
                      900)
                << asked;
        }
        EXPECT_EQ(trace.seen.back(), "tls, certificate verified, kept connection");
    }
    RestoreDirectory("EUROPE");
}

}  // namespace
}  // namespace zntest
