// Faults of the directory servers, the administration server and the server's own directory
// connection, each run through the library's public path: every one ends in its defined
// status within its bound, leaves the process with the descriptors it had before, and loses
// nothing the journal accepted. Each case prints one row of the fault table.
//
// Covered elsewhere and not repeated here: an answer after the search time-out
// (Search.SearchTimeOutMovesOnToTheNextServer), an administration server that stalls or
// closes early (AdminChannel.StalledServerEndsWithinTheWaitLimit,
// AdminChannel.IncompleteOrMissingReplyIsAFailedExchange,
// AdminChannel.TransactListEndsWithAReceiveFailureWhenTheStreamBreaks), the server killed
// mid-change (AdminServerCrash.AJournalledChangeIsDisownedOrCompletedAfterAKill).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <list>
#include <memory>
#include <string>
#include <thread>

#include "CZNGroup.h"
#include "admin/admin_channel.h"
#include "server/journal.h"
#include "session/status_codes.h"
#include "tests/support/admin_daemon.h"
#include "tests/support/admin_server.h"
#include "tests/support/sandbox.h"
#include "tests/support/spool_folder.h"

namespace zntest {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

const std::string kAdminPassword = "Tr0ubadour";  // asmith, the sample's administrator

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs `action` on its own thread after `delay`, while the test's call is under way.
class Later {
  public:
    template <typename Action>
    Later(milliseconds delay, Action action)
        : m_thread([delay, action] {
              std::this_thread::sleep_for(delay);
              action();
          }) {}
    ~Later() { m_thread.join(); }

  private:
    std::thread m_thread;
};

class Faults : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { RequireSandbox(); }
    void SetUp() override {
        RestoreAll();
        m_descriptors = OpenDescriptorCount();
    }
    void TearDown() override {
        RestoreAll();
        EXPECT_EQ(OpenDescriptorCount(), m_descriptors) << "descriptors left open";
    }
    // One row of the fault table.
    static void Row(const char* fault, double bound, double took, long code) {
        std::printf("| %-52s | %6.1f s | %6.2f s | %ld |\n", fault, bound, took, code);
    }

  private:
    ScopedSpool m_spool;  // the usage reports of the queries
    int m_descriptors = 0;
};

TEST_F(Faults, DirectoryKilledMidBindFailsOverWithinTheConnectTimeOut) {
    const std::string expected = CZNGroup("SALES-EMEA").GetDescription();
    ASSERT_FALSE(expected.empty());
    SilenceServer("ldap5");
    CZNGroup group("SALES-EMEA");
    group.SetConnectTimeOut(4, 0);
    const auto start = Clock::now();
    std::string description;
    {
        Later kill(milliseconds(1000), [] { StopServer("ldap5"); });
        description = group.GetDescription();
    }
    const double took = SecondsSince(start);
    Row("directory killed mid-bind (next server answers)", 4.0, took, group.GetErrorStatusCode());
    EXPECT_EQ(description, expected);
    EXPECT_EQ(group.GetErrorStatusCode(), 1) << group.GetErrorStatusText();
    EXPECT_LT(took, 4.0);
}

TEST_F(Faults, DirectoryKilledMidSearchFailsOverWithinTheSearchTimeOut) {
    const std::string expected = CZNGroup("SALES-EMEA").GetDescription();
    StallAfterBind("ldap5", "ldap4");
    CZNGroup group("SALES-EMEA");
    group.SetSearchTimeOut(6, 0);
    const auto start = Clock::now();
    std::string description;
    {
        Later kill(milliseconds(1000), [] { StopServer("ldap5"); });
        description = group.GetDescription();
    }
    const double took = SecondsSince(start);
    Row("directory killed mid-search (next server answers)", 6.0, took, group.GetErrorStatusCode());
    // The data are whole; the failed server's code stays, with the description of the
    // connection that answered.
    EXPECT_EQ(description, expected);
    EXPECT_EQ(group.GetErrorStatusCode(), zn::status::kLdapError);
    EXPECT_EQ(group.GetErrorStatusText(), "Success");
    EXPECT_LT(took, 6.0);
}

TEST_F(Faults, LastServerKilledMidSearchWithTheRestDownEndsInNoConnection) {
    for (const char* host : {"ldap4", "ldap3", "ldap2", "ldap1"}) StopServer(host);
    StallAfterBind("ldap5", ProviderHost("EUROPE"));
    CZNWorker worker("asmith");
    worker.SetSearchTimeOut(20, 0);
    const auto start = Clock::now();
    std::string name;
    {
        Later kill(milliseconds(800), [] { StopServer("ldap5"); });
        name = worker.GetFullName();
    }
    const double took = SecondsSince(start);
    Row("server killed mid-search, the others down", 20.0, took, worker.GetErrorStatusCode());
    EXPECT_EQ(name, "");
    EXPECT_EQ(worker.GetErrorStatusCode(), zn::status::kNoServer);
    EXPECT_EQ(worker.GetErrorStatusText(),
              "Can't contact LDAP server; No connection available to an LDAP server.");
    EXPECT_LT(took, 20.0);
}

TEST_F(Faults, AdministrationServerReplyingByteByByteOrWithAMebibyte) {
    using zn::CZNAdminChannel;
    const std::string line = "1,0,Change request 7 queued.";
    std::vector<std::size_t> everyByte;
    for (std::size_t i = 1; i < line.size(); ++i) everyByte.push_back(i);
    std::string records;
    std::list<std::string> sent;
    for (int i = 0; i < 4; ++i) {
        sent.push_back("record " + std::to_string(i));
        records += sent.back() + "]*";
    }
    records += "End-Of-Data]";
    std::vector<std::size_t> everyRecordByte;
    for (std::size_t i = 1; i < records.size(); ++i) everyRecordByte.push_back(i);

    // A mebibyte: one reply line followed by a tail the one read never reaches, then runs of
    // many records and of one enormous record.
    const std::string hugeLine = line + "," + std::string(1 << 20, 'x');
    std::string manyRecords;
    std::size_t manyCount = 0;
    while (manyRecords.size() < (1u << 20)) {
        manyRecords += "entry " + std::to_string(manyCount++) + " of a long change log]*";
    }
    manyRecords += "End-Of-Data]";
    const std::string oneRecord = std::string(1 << 20, 'r') + "]*End-Of-Data]";

    ScriptedAdminServer server({Answer(line, everyByte), Answer(records, everyRecordByte),
                                Answer(hugeLine), Answer(manyRecords), Answer(oneRecord)});
    CZNAdminChannel channel;
    channel.SetWaitLimit(5, 0);

    auto start = Clock::now();
    // Only the first read counts: the reply did not arrive whole in it.
    EXPECT_EQ(channel.Transact("00002,GET,CHANGE,7"), 0);
    Row("admin reply line byte by byte", 5.0, SecondsSince(start), channel.GetErrorCode());
    EXPECT_EQ(channel.GetErrorCode(), zn::status::kIncompleteReply);

    start = Clock::now();
    EXPECT_EQ(channel.TransactList("00002,GET,GROUP,X"), sent);
    Row("admin records byte by byte", 5.0 * 4, SecondsSince(start), channel.GetErrorCode());
    EXPECT_EQ(channel.GetErrorCode(), 1);

    start = Clock::now();
    EXPECT_EQ(channel.Transact("00002,GET,CHANGE,7"), 1);
    Row("admin reply line with 1 MiB behind it", 5.0, SecondsSince(start), channel.GetErrorCode());
    EXPECT_EQ(channel.GetErrorText(), "Change request 7 queued.");

    start = Clock::now();
    const std::list<std::string> many = channel.TransactList("00002,GET,GROUP,X");
    Row("admin 1 MiB of records", 10.0, SecondsSince(start), channel.GetErrorCode());
    EXPECT_EQ(many.size(), manyCount);
    EXPECT_EQ(many.back(), "entry " + std::to_string(manyCount - 1) + " of a long change log");
    EXPECT_EQ(channel.GetErrorCode(), 1);

    start = Clock::now();
    const std::list<std::string> one = channel.TransactList("00002,GET,GROUP,X");
    Row("admin one record of 1 MiB", 10.0, SecondsSince(start), channel.GetErrorCode());
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one.front().size(), 1u << 20);
    EXPECT_EQ(channel.GetErrorCode(), 1);
}

class ServerFaults : public Faults {
  protected:
    static void TearDownTestSuite() { RestoreDirectory(); }
    void SetUp() override {
        RestoreDirectory();
        Faults::SetUp();
    }
    // Every change the journal holds, with its final state once the server has settled.
    std::vector<zn::server::JournalEntry> Journalled(const AdminDaemon& server) {
        std::string error;
        auto journal = zn::server::Journal::Open(server.JournalPath(), 1, error);
        std::vector<zn::server::JournalEntry> entries;
        zn::server::JournalEntry entry;
        while (journal && journal->Find(static_cast<long>(entries.size()) + 1, entry)) {
            entries.push_back(entry);
        }
        return entries;
    }
};

TEST_F(ServerFaults, DirectoryDroppedMidChangeIsRefusedOrCompletedNeverHalfDone) {
    AdminDaemonOptions options;
    // Journalled, then a pause in which the directory goes away under the server.
    options.pauseAfterJournalMilliseconds = 1500;
    auto server = std::make_unique<AdminDaemon>(options);
    CZNGroup group;
    group.SetAccess("asmith", kAdminPassword, "ENG-DB");
    ASSERT_EQ(group.IsValidGroupDirectMember("kpatel"), 0);
    const auto start = Clock::now();
    long result = 0;
    {
        Later drop(milliseconds(700), [] { StopServer("ldap5"); });
        result = group.AddDirectMember("kpatel");
    }
    const double took = SecondsSince(start);
    const long code = group.GetErrorStatusCode();
    Row("server's directory dropped mid-change", 10.0, took, code);
    EXPECT_LT(took, 10.0);
    StartServer("ldap5");

    // The journal holds the change; the directory agrees with whatever it says became of it.
    const auto entries = Journalled(*server);
    ASSERT_EQ(entries.size(), 1u);
    const std::string state =
        CZNGroup("ENG-DB").IsValidGroupDirectMember("kpatel") == 1 ? "applied" : "not applied";
    // The client's answer and the directory must tell the same story.
    EXPECT_EQ(result == 1, state == "applied") << group.GetErrorStatusText();
    if (result != 1) {
        EXPECT_NE(code, 1);
        EXPECT_FALSE(group.GetErrorStatusText().empty());
    }
    const long status = group.GetErrorStatusCode(entries[0].number);
    // Asked again, the journal gives the verdict the client was given.
    if (result != 1) {
        EXPECT_EQ(status, code);
    }
    std::printf("  change %ld: reply %ld/%ld \"%s\", status %ld \"%s\", directory: %s\n",
                entries[0].number, result, code, group.GetErrorStatusText().c_str(), status,
                group.GetErrorStatusText(entries[0].number).c_str(), state.c_str());
}

TEST_F(ServerFaults, ALaggingConsumerAnswersWithItsOldDataUntilItCatchesUp) {
    AdminDaemon server;
    // Server 4 misses the change: stopped while the provider takes it, and back only once
    // the provider has stopped and cannot pass it on.
    StopServer("ldap4");
    CZNGroup group;
    group.SetAccess("asmith", kAdminPassword, "ENG-DB");
    ASSERT_EQ(group.AddDirectMember("kpatel"), 1) << group.GetErrorStatusText();
    StopServer("ldap5");
    StartServer("ldap4");
    CZNGroup reader("ENG-DB");
    auto start = Clock::now();
    EXPECT_EQ(reader.IsValidGroupDirectMember("kpatel"), 0);
    Row("lagging consumer, provider down (old answer)", 5.0, SecondsSince(start),
        reader.GetErrorStatusCode());
    EXPECT_EQ(reader.GetErrorStatusCode(), zn::status::kNotDirectMember);

    // With the provider back the consumer catches up within its retry interval; then it
    // alone answers once more.
    StartServer("ldap5");
    std::this_thread::sleep_for(seconds(5));
    StopServer("ldap5");
    start = Clock::now();
    EXPECT_EQ(reader.IsValidGroupDirectMember("kpatel"), 1);
    Row("lagging consumer after catching up (new answer)", 5.0, SecondsSince(start),
        reader.GetErrorStatusCode());
    EXPECT_EQ(reader.GetErrorStatusCode(), 1);
    StartServer("ldap5");
    // The journal has the change as applied.
    EXPECT_EQ(Journalled(server).size(), 1u);
    EXPECT_EQ(reader.GetErrorStatusCode(Journalled(server).at(0).number), 1);
}

}  // namespace
}  // namespace zntest
