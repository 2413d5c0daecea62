// The exchange with a scripted administration server inside the sandbox.
#include <gtest/gtest.h>

#include <openssl/ssl.h>
#include <sys/socket.h>

#include <chrono>
#include <list>
#include <string>
#include <thread>
#include <utility>

#include "admin/admin_channel.h"
#include "session/status_codes.h"
#include "tests/support/admin_daemon.h"
#include "tests/support/admin_server.h"
#include "tests/support/fault_listeners.h"
#include "tests/support/sandbox.h"
#include "tests/support/socket_util.h"

namespace zntest {
namespace {

using zn::CZNAdminChannel;
using Records = std::list<std::string>;

class AdminChannel : public ::testing::Test {
  protected:
    void SetUp() override { RequireSandbox(); }
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(AdminChannel, TransactSendsTheRequestAloneAndReturnsTheReply) {
    ScriptedAdminServer server({Answer("1,0,Change request 17 queued."), Answer("1,0,"),
                                Answer("1,0,first, second"), Answer("DONE,12,text")});
    CZNAdminChannel channel;
    EXPECT_EQ(channel.Transact("00002,GET,CHANGE,17"), 1);
    EXPECT_EQ(channel.GetErrorCode(), 0);
    EXPECT_EQ(channel.GetErrorText(), "Change request 17 queued.");
    EXPECT_EQ(channel.Transact("second"), 1);
    EXPECT_EQ(channel.GetErrorCode(), 0);
    EXPECT_EQ(channel.GetErrorText(), "");
    EXPECT_EQ(channel.Transact("third"), 1);
    EXPECT_EQ(channel.GetErrorText(), "first");
    EXPECT_EQ(channel.Transact("fourth"), 0);
    EXPECT_EQ(channel.GetErrorCode(), 12);
    EXPECT_EQ(channel.GetErrorText(), "text");
    // No terminator, no length: the request's characters and nothing else.
    EXPECT_EQ(server.Requests(),
              (std::vector<std::string>{"00002,GET,CHANGE,17", "second", "third", "fourth"}));
}

TEST_F(AdminChannel, IncompleteOrMissingReplyIsAFailedExchange) {
    ScriptedAdminServer server({Answer("1,0"), Answer("")});
    CZNAdminChannel channel;
    EXPECT_EQ(channel.Transact("request"), 0);
    EXPECT_EQ(channel.GetErrorCode(), zn::status::kIncompleteReply);
    EXPECT_EQ(channel.GetErrorText(), zn::kIncompleteReplyText);
    EXPECT_EQ(channel.Transact("request"), 0);
    EXPECT_EQ(channel.GetErrorCode(), zn::sockets::kDisconnected);
    EXPECT_EQ(channel.GetErrorText(), "TCP/IP Sockets Receive data error.");
}

TEST_F(AdminChannel, DomainAndPortSelectTheServer) {
    ScriptedAdminServer server({Answer("1,0,europe")}, "ldapEUROPEadm", 60661);
    CZNAdminChannel channel("EUROPE", 60661);
    EXPECT_EQ(channel.Transact("request"), 1);
    EXPECT_EQ(channel.GetErrorText(), "europe");
    CZNAdminChannel copy(channel);
    EXPECT_EQ(copy.GetErrorText(), "europe");
    EXPECT_EQ(copy.Transact("again"), 1);
    EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(AdminChannel, TransactListJoinsRecordsSplitAcrossReads) {
    const std::string stream = "first]*second]*End-Of-Data]*";
    ScriptedAdminServer server({
        Answer(stream), Answer(stream, {3}),       // inside "first"
        Answer(stream, {stream.find("Of-Data")}),  // inside the end record
        Answer(stream, {5, 6, 14}),                // before "]", before "*", before "]"
    });
    for (int i = 0; i < 4; ++i) {
        CZNAdminChannel channel;
        EXPECT_EQ(channel.TransactList("00002,GET,GROUP,STAFF"), (Records{"first", "second"}))
            << "script step " << i;
        EXPECT_EQ(channel.GetErrorCode(), 1);
        EXPECT_EQ(channel.GetErrorText(), "");
    }
}

TEST_F(AdminChannel, TransactListKeepsRecordsLongerThanOneRead) {
    const std::string longRecord(5000, 'L');
    ScriptedAdminServer server(
        {Answer("a]*" + longRecord + "]*z]*End-Of-Data]*", {1500, 2600, 2601, 4000})});
    CZNAdminChannel channel;
    EXPECT_EQ(channel.TransactList("list"), (Records{"a", longRecord, "z"}));
    EXPECT_EQ(channel.GetErrorCode(), 1);
}

TEST_F(AdminChannel, TransactListEndsWithAReceiveFailureWhenTheStreamBreaks) {
    ScriptedAdminServer server({AnswerThenReset("first]*sec"), Answer("first]*sec")});
    CZNAdminChannel channel;
    EXPECT_EQ(channel.TransactList("list"), Records{"first"});
    EXPECT_EQ(channel.GetErrorCode(), zn::sockets::kConnectionReset);
    EXPECT_EQ(channel.GetErrorText(), "TCP/IP Sockets Receive data error.");
    // Closed before the end record: reading stops instead of going on forever.
    EXPECT_EQ(channel.TransactList("list"), Records{"first"});
    EXPECT_EQ(channel.GetErrorCode(), zn::sockets::kDisconnected);
    EXPECT_EQ(channel.GetErrorText(), "TCP/IP Sockets Receive data error.");
}

TEST_F(AdminChannel, RefusedConnectsAreTriedEightTimes) {
    CZNAdminChannel channel;
    long before = TcpActiveOpens();
    EXPECT_EQ(channel.Transact("request"), 0);
    EXPECT_EQ(TcpActiveOpens() - before, 8);
    EXPECT_EQ(channel.GetErrorCode(), 10061);
    EXPECT_EQ(channel.GetErrorText(), "Sockets connect error.");
    EXPECT_TRUE(channel.TransactList("list").empty());
    EXPECT_EQ(channel.GetErrorCode(), 10061);
}

TEST_F(AdminChannel, HostNameThatCannotBeLookedUpFailsAtOnceWithoutConnecting) {
    // "ldapNO WHEREadm" is no host name at all; "ldapNOWHEREadm" is one the sandbox's
    // unreachable name server cannot answer for.
    for (const auto& [domain, code] : {std::pair<const char*, long>{"NO WHERE", 11001},
                                       std::pair<const char*, long>{"NOWHERE", 11002}}) {
        CZNAdminChannel channel(domain);
        long before = TcpActiveOpens();
        EXPECT_EQ(channel.Transact("request"), 0);
        EXPECT_EQ(TcpActiveOpens(), before) << domain;
        EXPECT_EQ(channel.GetErrorCode(), code) << domain;
        EXPECT_EQ(channel.GetErrorText(), "TCP/IP Sockets Bind error.");
    }
}

TEST_F(AdminChannel, StalledServerEndsWithinTheWaitLimit) {
    ScriptedAdminServer server({Stall(), Stall("first]*")});
    CZNAdminChannel channel;
    channel.SetWaitLimit(1, 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(channel.Transact("request"), 0);
    EXPECT_LT(SecondsSince(start), 5.0);
    EXPECT_EQ(channel.GetErrorCode(), 10060);
    EXPECT_EQ(channel.GetErrorText(), "TCP/IP Sockets Receive data error.");
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(channel.TransactList("list"), Records{"first"});
    EXPECT_LT(SecondsSince(start), 5.0);
    EXPECT_EQ(channel.GetErrorCode(), 10060);
}

TEST_F(AdminChannel, ConnectThatNeverCompletesTimesOutOnEachOfEightAttempts) {
    detail::HungListener hung(ResolveIPv4("ldapadm"), kAdminPort);
    CZNAdminChannel channel;
    channel.SetWaitLimit(0, 200000);
    long before = TcpActiveOpens();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(channel.Transact("request"), 0);
    double seconds = SecondsSince(start);
    EXPECT_EQ(TcpActiveOpens() - before, 8);
    EXPECT_GE(seconds, 8 * 0.2);
    EXPECT_LT(seconds, 8 * 0.2 + 4.0);
    EXPECT_EQ(channel.GetErrorCode(), 10060);
    EXPECT_EQ(channel.GetErrorText(), "Sockets connect error.");
}

TEST_F(AdminChannel, RequestThatCannotBeDeliveredIsASendFailure) {
    // A server that takes the connection but never reads: once both ends' buffers are full
    // the send makes no progress within the wait limit.
    detail::Fd listener = detail::ListenOn(ResolveIPv4("ldapadm"), kAdminPort, 4);
    const std::string request(32u << 20, 'x');
    CZNAdminChannel channel;
    channel.SetWaitLimit(0, 300000);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(channel.Transact(request.c_str()), 0);
    EXPECT_LT(SecondsSince(start), 5.0);
    EXPECT_EQ(channel.GetErrorCode(), 10060);
    EXPECT_EQ(channel.GetErrorText(), "TCP/IP Sockets Send Data error.");
}

TEST_F(AdminChannel, ServerThatNeverEndsItsRecordsIsCutOffAtTheWaitLimit) {
    // Records keep coming, each within the wait for one read, but the end record never does.
    detail::Fd listener = detail::ListenOn(ResolveIPv4("ldapadm"), kAdminPort, 4);
    std::thread server([&] {
        detail::Fd client(accept(listener.Get(), nullptr, nullptr));
        const std::string record = "another record]*";
        // Until the client hangs up.
        while (client.Valid() &&
               send(client.Get(), record.data(), record.size(), MSG_NOSIGNAL) > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    CZNAdminChannel channel;
    channel.SetWaitLimit(1, 0);
    auto start = std::chrono::steady_clock::now();
    const Records records = channel.TransactList("list");
    EXPECT_LT(SecondsSince(start), 3.0);
    EXPECT_FALSE(records.empty());
    EXPECT_EQ(records.front(), "another record");
    EXPECT_EQ(channel.GetErrorCode(), 10060);
    EXPECT_EQ(channel.GetErrorText(), "TCP/IP Sockets Receive data error.");
    server.join();
}

// A TLS administration server that agrees to keep every connection and, for each request
// it reads, follows its script: answer it, close with a close_notify and no answer (it took
// nothing), or end the connection without one (as a crash would). One connection at a time.
class KeepingTlsServer {
  public:
    enum class Step { kAnswer, kCloseNotify, kDrop };

    explicit KeepingTlsServer(std::vector<Step> script)
        : m_script(std::move(script)),
          m_listener(detail::ListenOn(ResolveIPv4("ldapadm"), kPort, 4)),
          m_context(SSL_CTX_new(TLS_server_method())) {
        const std::string tls = SandboxDir() + "/tls/server";
        if (SSL_CTX_use_certificate_chain_file(m_context, (tls + ".pem").c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(m_context, (tls + ".key").c_str(), SSL_FILETYPE_PEM) != 1) {
            throw SandboxError("the sandbox's server certificate cannot be used");
        }
        SSL_CTX_set_alpn_select_cb(
            m_context,
            [](SSL*, const unsigned char** out, unsigned char* outSize, const unsigned char* in,
               unsigned int inSize, void*) {
                return SSL_select_next_proto(const_cast<unsigned char**>(out), outSize, in, inSize,
                                             in, inSize) == OPENSSL_NPN_NEGOTIATED
                           ? SSL_TLSEXT_ERR_OK
                           : SSL_TLSEXT_ERR_NOACK;
            },
            nullptr);
        m_thread = std::thread([this] { Serve(); });
    }
    ~KeepingTlsServer() {
        Wait();
        SSL_CTX_free(m_context);
    }
    // Until the script has run out, or nothing came for ten seconds.
    void Wait() {
        if (m_thread.joinable()) m_thread.join();
    }

    static constexpr int kPort = 60690;
    int connections = 0;
    std::vector<std::string> requests;  // read after the script has run out

  private:
    void Serve() {
        std::size_t step = 0;
        const timeval bound{10, 0};
        while (step < m_script.size()) {
            if (detail::WaitReadable(m_listener.Get(), std::chrono::seconds(10)) !=
                detail::WaitResult::kReady) {
                return;
            }
            detail::Fd fd(accept(m_listener.Get(), nullptr, nullptr));
            if (!fd.Valid()) return;
            setsockopt(fd.Get(), SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
            ++connections;
            SSL* ssl = SSL_new(m_context);
            SSL_set_fd(ssl, fd.Get());
            char buffer[1024];
            int got = 0;
            bool open = SSL_accept(ssl) == 1;
            while (open && step < m_script.size() &&
                   (got = SSL_read(ssl, buffer, sizeof buffer)) > 0) {
                requests.emplace_back(buffer, static_cast<std::size_t>(got));
                switch (m_script[step++]) {
                    case Step::kAnswer: {
                        const std::string answer = "1,0,answer " + std::to_string(step);
                        SSL_write(ssl, answer.data(), static_cast<int>(answer.size()));
                        break;
                    }
                    case Step::kCloseNotify:
                        SSL_shutdown(ssl);
                        open = false;
                        break;
                    case Step::kDrop:
                        open = false;
                        break;
                }
            }
            SSL_free(ssl);
        }
    }

    std::vector<Step> m_script;
    detail::Fd m_listener;
    SSL_CTX* m_context;
    std::thread m_thread;
};

// A kept connection closed with a close_notify under a request did not take it: the request
// goes once more, on a new connection. A connection that breaks after the request may have
// taken it: the failure is reported, and nothing is sent again.
TEST_F(AdminChannel, AKeptConnectionIsTriedAgainOnlyWhenTheServerSaysItTookNothing) {
    using Step = KeepingTlsServer::Step;
    ScopedAdminTls tls;
    {
        KeepingTlsServer server({Step::kAnswer, Step::kCloseNotify, Step::kAnswer, Step::kDrop});
        CZNAdminChannel channel(nullptr, KeepingTlsServer::kPort);
        channel.SetWaitLimit(10, 0);
        EXPECT_EQ(channel.Transact("one"), 1);
        EXPECT_EQ(channel.Transact("two"), 1);
        EXPECT_EQ(channel.GetErrorText(), "answer 3");
        EXPECT_EQ(channel.Transact("three"), 0);
        EXPECT_EQ(channel.GetErrorCode(), zn::sockets::kConnectionReset);
        EXPECT_EQ(channel.GetErrorText(), "TCP/IP Sockets Receive data error.");
        server.Wait();
        EXPECT_EQ(server.requests, (std::vector<std::string>{"one", "two", "two", "three"}));
        EXPECT_EQ(server.connections, 2);
    }
}

}  // namespace
}  // namespace zntest
