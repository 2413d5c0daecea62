// zngroups-admind under load and abuse: clients that never read, a peer that hangs, readers
// of big change logs, silent connections from many addresses, a busy application host, and
// one requester's refusals beside another's. Each asserts that others are served and that
// the log names what was turned away.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <list>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "admin/admin_channel.h"
#include "admin/change_request.h"
#include "admin/user_token.h"
#include "tests/support/admin_daemon.h"
#include "tests/support/admind_requests.h"
#include "tests/support/sandbox.h"

namespace zntest {
namespace {

using Clock = std::chrono::steady_clock;
using zn::ChangeRequest;

std::string LogRequest(const std::string& group) {
    std::string request;
    zn::FormatChangeRequest(ChangeRequest::kGetGroupChangeLogs, By("", group), request);
    return request;
}

std::size_t Mentions(const std::string& log, const std::string& text) {
    std::size_t count = 0;
    for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
        ++count;
    return count;
}

// The sum of the counts that `pattern`'s one group captures over the log's lines.
long Counted(const std::string& log, const std::string& pattern) {
    const std::regex counted(pattern);
    long sum = 0;
    for (std::sregex_iterator it(log.begin(), log.end(), counted), end; it != end; ++it) {
        sum += std::stol((*it)[1]);
    }
    return sum;
}

class AdminServerLoad : public ::testing::Test {
  protected:
    static void TearDownTestSuite() { RestoreDirectory(); }
    void SetUp() override {
        RequireSandbox();
        RestoreAll();
    }
    void TearDown() override { RestoreAll(); }

    void Create(const std::string& name) {
        zn::RequestFields f = By(kAdmin, "", name);
        f.organizationalUnit = "zngroups";
        const Answer a = Send(ChangeRequest::kCreateGroup, f);
        ASSERT_EQ(a.result, 1) << name << ": " << a.text;
    }
    // A change and a question about it, while the attack goes on; both answered well
    // before any bound of the attack (the request bound, 5 s) could have freed a worker.
    void ExpectOthersServed(const std::string& group, const std::string& value) {
        zn::RequestFields f = By(kAdmin, group);
        f.value = value;
        const Answer change = Send(ChangeRequest::kSetDescription, f);
        EXPECT_EQ(change.result, 1) << change.text;
        const Answer status = Status(ChangeNumber(change));
        EXPECT_EQ(status.code, 1) << status.text;
        EXPECT_LT(change.took + status.took, std::chrono::seconds(2));
    }

    std::unique_ptr<AdminDaemon> m_server = std::make_unique<AdminDaemon>();
};

// 70 clients with tiny receive windows ask for a 600-record log and never read it: they
// hold a buffer each, no thread. They are dropped after the request bound without progress
// and counted in the log under their addresses.
TEST_F(AdminServerLoad, ClientsThatNeverReadTheirAnswerHoldNoWorker) {
    Create("ZTL1_BIG");
    ASSERT_EQ(m_server->GrowChangeLog("ZTL1_BIG", 600), "");
    std::vector<int> readers;
    for (int i = 0; i < 70; ++i) {
        const int fd = Connect(*m_server, i % 2 ? "127.0.0.61" : "127.0.0.62", 1024, 536);
        const std::string request = LogRequest("ZTL1_BIG");
        send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        readers.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ExpectOthersServed("ZTL1_BIG", "while 70 never read");
    long code = 0;
    EXPECT_EQ(ChangeLog("ZTL1_BIG", &code, 30).size(), 602u);
    EXPECT_EQ(code, 1);
    std::this_thread::sleep_for(std::chrono::seconds(6));
    for (int fd : readers) close(fd);
    m_server->Kill(SIGTERM);
    const std::string log = m_server->Log();
    for (const char* address : {"127.0.0.61", "127.0.0.62"}) {
        EXPECT_EQ(
            Counted(log, std::string(address) + " turned away: .* (\\d+) not reading for 5000 ms"),
            35)
            << log;
    }
}

// Status questions about another domain's changes while that domain's server is stopped:
// each is answered 31013 within the peer bound (1 s), and nobody else waits for them.
TEST_F(AdminServerLoad, AStoppedPeerHoldsNoWorker) {
    AdminDaemonOptions europeOptions;
    europeOptions.domain = "EUROPE";
    AdminDaemon europe(europeOptions);
    AdminDaemonOptions localOptions;
    localOptions.extraArguments = {"--peer", "100000001=ldapEUROPEadm:60661"};
    m_server.reset();
    m_server = std::make_unique<AdminDaemon>(localOptions);
    Create("ZTL2_G");
    europe.Signal(SIGSTOP);
    const Clock::time_point start = Clock::now();
    std::vector<int> questions;
    const std::string request = "00002,GET,CHANGE,100000005";
    for (int i = 0; i < 70; ++i) {
        questions.push_back(Connect(*m_server, "127.0.0.71"));
        send(questions.back(), request.data(), request.size(), MSG_NOSIGNAL);
    }
    ExpectOthersServed("ZTL2_G", "while the peer sleeps");
    for (int fd : questions) {
        EXPECT_EQ(ReadToClose(fd).rfind("0,31013,", 0), 0u);
    }
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    europe.Signal(SIGCONT);
    EXPECT_EQ(Status(100000005).code, 31009) << "the awake peer answers for its range";
}

// 16 clients read a 60,000-record log over and over while changes go on: every change and
// every status question is answered within a bound far below what 16 such reads take one
// after another, and every log arrives whole.
TEST_F(AdminServerLoad, ReadersOfABigLogDoNotStarveChanges) {
    Create("ZTL3_BIG");
    Create("ZTL3_G");
    ASSERT_EQ(m_server->GrowChangeLog("ZTL3_BIG", 60000), "");
    std::atomic<bool> done{false};
    std::atomic<int> whole{0}, broken{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 16; ++i) {
        readers.emplace_back([&] {
            while (!done) {
                long code = 0;
                const std::size_t size = ChangeLog("ZTL3_BIG", &code, 30).size();
                ++(size == 60001 && code == 1 ? whole : broken);
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (int i = 0; i < 10; ++i) ExpectOthersServed("ZTL3_G", "change " + std::to_string(i));
    done = true;
    for (std::thread& reader : readers) reader.join();
    EXPECT_GT(whole.load(), 0);
    EXPECT_EQ(broken.load(), 0);
}

// 8 addresses with 8 connections each send "0" and wait: each is answered 31004 after the
// request bound, and meanwhile everybody else is served at once.
TEST_F(AdminServerLoad, HalfSentRequestsFromManyAddressesDelayNobody) {
    Create("ZTL4_G");
    std::vector<int> silent;
    for (int a = 0; a < 8; ++a) {
        for (int i = 0; i < 8; ++i) {
            silent.push_back(Connect(*m_server, "127.0.0." + std::to_string(81 + a)));
            send(silent.back(), "0", 1, MSG_NOSIGNAL);
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ExpectOthersServed("ZTL4_G", "while 64 half-sent requests wait");
    for (int fd : silent) {
        EXPECT_EQ(ReadToClose(fd),
                  "0,31004,Incomplete change request: its fields did not all arrive in time.");
    }
}

// 32 threads of one application host ask status questions at once, 40 each: all answered.
TEST_F(AdminServerLoad, ABusyHostIsServedWhole) {
    Create("ZTL5_G");
    zn::RequestFields f = By(kAdmin, "ZTL5_G");
    f.value = "asked about";
    const long number = ChangeNumber(Send(ChangeRequest::kSetDescription, f));
    ASSERT_GT(number, 0);
    std::atomic<int> applied{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < 32; ++i) {
        clients.emplace_back([&] {
            for (int q = 0; q < 40; ++q) applied += Status(number).code == 1;
        });
    }
    for (std::thread& client : clients) client.join();
    EXPECT_EQ(applied.load(), 32 * 40);
    m_server->Kill(SIGTERM);
    EXPECT_EQ(Mentions(m_server->Log(), "turned away"), 0u) << m_server->Log();
}

// One user spends his refusal budget; another user's refused attempt on a role group from
// the same host is still journalled and logged, and the first user's unrecorded refusals
// are counted in a line naming him and the group.
TEST_F(AdminServerLoad, OneRequesterCannotSpendAnothersRefusalBudget) {
    Create("ZTL6_G");
    constexpr long kAttempts = 260;
    for (long i = 0; i < kAttempts; ++i) {
        ASSERT_EQ(Send(ChangeRequest::kAddOwner, By("BWHITE", "ZTL6_G", "egray")).code, 30015);
    }
    const Answer role =
        Send(ChangeRequest::kAddMember, By("JDOE", "ZN_GROUPS_ADMINISTRATORS", "jdoe"));
    EXPECT_EQ(role.result, 0) << role.text;
    m_server->Kill(SIGTERM);
    const std::string log = m_server->Log();
    EXPECT_EQ(Mentions(log, "ADD,MEMBER,ZN_GROUPS_ADMINISTRATORS,JDOE: refused 300"), 1u) << log;
    const long unrecorded = Counted(
        log,
        "requester BWHITE: (\\d+) refusal\\(s\\) went unrecorded, over the budget; groups: ZTL6_G");
    EXPECT_GT(unrecorded, 0) << log;
    EXPECT_EQ(static_cast<long>(Mentions(log, "BWHITE,-,ADD,OWNER,ZTL6_G,EGRAY: refused 30015")) +
                  unrecorded,
              kAttempts);
}

}  // namespace
}  // namespace zntest
