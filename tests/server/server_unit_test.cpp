// The administration server's parts that need no directory: settings, the journal, and
// reading a request off a connection.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "admin/change_request.h"
#include "admin/user_token.h"
#include "server/config.h"
#include "server/journal.h"
#include "server/listener.h"

namespace {

using namespace zn::server;

class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/zngroups-server-test.XXXXXX";
        m_path = mkdtemp(pattern);
    }
    ~TempDir() { std::system(("rm -rf '" + m_path + "'").c_str()); }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

  private:
    std::string m_path;
};

CommandLine Parse(std::initializer_list<const char*> args, Config& config, std::string& error) {
    std::vector<const char*> argv{"zngroups-admind"};
    argv.insert(argv.end(), args.begin(), args.end());
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), config, error);
}

TEST(Settings, OptionsOverrideTheFileWhereverConfigStands) {
    TempDir dir;
    std::ofstream(dir.File("admind.conf")) << "# the local domain\n"
                                              "port = 60661\n"
                                              "  base-dn = o=example.com   # trailing comment\n"
                                              "allow = 10.1.0.0/16\n"
                                              "quiet-ms=5\n";
    Config config;
    std::string error;
    std::string path = dir.File("admind.conf");
    ASSERT_EQ(Parse({"--port", "60662", "--config", path.c_str()}, config, error),
              CommandLine::kRun)
        << error;
    EXPECT_EQ(config.port, 60662);
    EXPECT_EQ(config.baseDN, "o=example.com");
    EXPECT_EQ(config.quietMilliseconds, 5);
    ASSERT_EQ(config.allowChanges.size(), 1u);
    EXPECT_TRUE(config.allowChanges[0].Contains(0x0A01FFFE));
    EXPECT_FALSE(config.allowChanges[0].Contains(0x0A020001));
    // Networks given as options replace the file's.
    Config replaced;
    ASSERT_EQ(Parse({"--config", path.c_str(), "--allow=127.0.1.5"}, replaced, error),
              CommandLine::kRun);
    ASSERT_EQ(replaced.allowChanges.size(), 1u);
    EXPECT_TRUE(replaced.allowChanges[0].Contains(0x7F000105));
    EXPECT_FALSE(replaced.allowChanges[0].Contains(0x7F000106));
}

TEST(Settings, MistakesAreNamedAndHelpWins) {
    TempDir dir;
    Config config;
    std::string error;
    EXPECT_EQ(Parse({"--port", "70000"}, config, error), CommandLine::kError);
    EXPECT_EQ(error, "--port: '70000' is not a number from 1 to 65535");
    EXPECT_EQ(Parse({"--colour", "red"}, config, error), CommandLine::kError);
    EXPECT_EQ(error, "--colour: unknown setting");
    EXPECT_EQ(Parse({"--listen", "ldapadm"}, config, error), CommandLine::kError);
    EXPECT_EQ(Parse({"--allow", "10.0.0.0/33"}, config, error), CommandLine::kError);
    EXPECT_EQ(Parse({"--journal"}, config, error), CommandLine::kError);
    EXPECT_EQ(error, "option --journal needs a value");
    EXPECT_EQ(Parse({"--first-change-number", "3000000000"}, config, error), CommandLine::kError);
    std::ofstream(dir.File("bad.conf")) << "port = 1\nnonsense\n";
    std::string path = dir.File("bad.conf");
    EXPECT_EQ(Parse({"--config", path.c_str()}, config, error), CommandLine::kError);
    EXPECT_EQ(error, path + ":2: expected key = value");
    EXPECT_EQ(Parse({"--port", "x", "--help"}, config, error), CommandLine::kHelp);
    EXPECT_NE(std::string(kUsageText).find("--password-file FILE"), std::string::npos);
}

NewChange Change(const std::string& group, const std::string& target) {
    NewChange change;
    change.client = "127.0.0.1:5000";
    change.userName = "JDOE";
    change.request = "00001,JDOE,-,ADD,MEMBER," + group + "," + target;
    change.kind = "ADD MEMBER";
    change.groupName = group;
    change.target = target;
    return change;
}

TEST(Journal, NumbersChangesDurablyAndKeepsTheirFate) {
    TempDir dir;
    std::string error;
    const std::string path = dir.File("journal.db");
    long applied = 0;
    long pending = 0;
    {
        auto journal = Journal::Open(path, 100000001, error);
        ASSERT_TRUE(journal) << error;
        applied = journal->RecordPending(Change("ENG-ALL", "BWHITE"), {"ENG-ALL"}, "plan\0bytes");
        EXPECT_EQ(applied, 100000001);
        EXPECT_TRUE(journal->Complete(applied, ChangeState::kApplied, 1, ""));
        // A change completes once; its fate is not rewritten.
        EXPECT_FALSE(journal->Complete(applied, ChangeState::kRejected, 30015, "late"));
        long rejected = journal->RecordRejected(Change("ENG-ALL", "X"), {"ENG-ALL"}, 30005,
                                                "X is not a valid username.");
        EXPECT_EQ(rejected, applied + 1);
        pending = journal->RecordPending(Change("ENG-DB", "CDOE"), {"ENG-DB", "ENG-ALL"},
                                         std::string("a\0b", 3));
    }
    // Reopened, as after a crash: numbers go on, the pending change and its plan are there.
    auto journal = Journal::Open(path, 1, error);
    ASSERT_TRUE(journal) << error;
    std::vector<JournalEntry> open = journal->Pending();
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].number, pending);
    EXPECT_EQ(open[0].plan, std::string("a\0b", 3));
    EXPECT_EQ(journal->RecordRejected(Change("G", "T"), {}, 31006, "token"), pending + 1);
    JournalEntry entry;
    ASSERT_TRUE(journal->Find(applied + 1, entry));
    EXPECT_EQ(entry.state, ChangeState::kRejected);
    EXPECT_EQ(entry.code, 30005);
    EXPECT_EQ(entry.reason, "X is not a valid username.");
    EXPECT_FALSE(journal->Find(5, entry));
}

TEST(Journal, GroupLogsFollowResetsAndRenames) {
    TempDir dir;
    std::string error;
    auto journal = Journal::Open(dir.File("journal.db"), 1, error);
    ASSERT_TRUE(journal) << error;
    long first = journal->RecordRejected(Change("OLD", "A"), {"OLD"}, 30015, "no");
    long second = journal->RecordRejected(Change("OLD", "B"), {"OLD", "OTHER"}, 30015, "no");
    bool ok = false;
    ASSERT_EQ(journal->GroupLog("old", ok).size(), 2u);  // names compare without case
    EXPECT_TRUE(ok);
    EXPECT_TRUE(journal->RenameGroupLog("OLD", "NEW"));
    EXPECT_TRUE(journal->GroupLog("OLD", ok).empty());
    std::vector<JournalEntry> log = journal->GroupLog("NEW", ok);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].number, first);
    EXPECT_EQ(log[1].number, second);
    long reset = journal->RecordPending(Change("NEW", ""), {"NEW"}, "");
    EXPECT_TRUE(journal->CompleteReset(reset, "NEW"));
    log = journal->GroupLog("NEW", ok);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].number, reset);
    EXPECT_EQ(log[0].state, ChangeState::kApplied);
    EXPECT_EQ(journal->GroupLog("OTHER", ok).size(), 1u);
    // Reset changes stay answerable by number.
    JournalEntry entry;
    EXPECT_TRUE(journal->Find(first, entry));
}

TEST(Journal, LogRecordsCarryNoCharacterThatEndsAFieldOrRecord) {
    JournalEntry entry;
    entry.number = 7;
    entry.received = "2026-12-07T05:00:00Z";
    entry.change = Change("A,B]C*D", "E\nF");
    entry.state = ChangeState::kRejected;
    entry.code = 30015;
    EXPECT_EQ(LogRecordText(entry),
              "Change 7 2026-12-07T05:00:00Z JDOE ADD MEMBER A_B_C_D E_F rejected 30015");
}

TEST(Journal, RefusesAPlaceItCannotWrite) {
    std::string error;
    EXPECT_FALSE(Journal::Open("/nonexistent-dir/journal.db", 1, error));
    EXPECT_NE(error.find("/nonexistent-dir/journal.db"), std::string::npos);
}

// A connected pair: the test writes to `client`, ReadRequest reads `server`.
struct Connection {
    Connection() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0); }
    ~Connection() {
        close(ends[0]);
        if (ends[1] >= 0) close(ends[1]);
    }
    void Send(const std::string& bytes) const {
        EXPECT_EQ(write(ends[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void CloseClient() {
        close(ends[1]);
        ends[1] = -1;
    }
    int ends[2] = {-1, -1};
};

long long Milliseconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

TEST(RequestReading, EndsByLayoutByQuietOrByTheClientsClose) {
    const ReadLimits limits{50, 2000};
    const std::string reset = "00002,RESET,GROUP,ENG-ALL,JDOE," + zn::MakeUserToken("JDOE");
    {
        // A last field of fixed length: complete at once, however it was cut.
        Connection c;
        std::thread writer([&] {
            c.Send(reset.substr(0, 20));
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            c.Send(reset.substr(20));
        });
        auto start = std::chrono::steady_clock::now();
        ReceivedRequest got = ReadRequest(c.ends[0], limits);
        writer.join();
        EXPECT_EQ(got.bytes, reset);
        EXPECT_FALSE(got.tooLong || got.failed);
        EXPECT_LT(Milliseconds(std::chrono::steady_clock::now() - start), 45);
    }
    {
        // An open last field: segments closer together than the quiet interval are one
        // request; silence after a whole request ends it.
        Connection c;
        const std::string head = "00003,JDOE," + zn::MakeUserToken("JDOE") + ",SET,DESCRIPTION,G,";
        std::thread writer([&] {
            c.Send(head + "first");
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            c.Send(", second");
        });
        auto start = std::chrono::steady_clock::now();
        ReceivedRequest got = ReadRequest(c.ends[0], limits);
        writer.join();
        EXPECT_EQ(got.bytes, head + "first, second");
        EXPECT_GE(Milliseconds(std::chrono::steady_clock::now() - start), 65);
    }
    {
        // Past one segment's worth, the tail of one send may follow a round trip later:
        // the longer wait holds the request open for it.
        Connection c;
        const std::string head = "00003,JDOE," + zn::MakeUserToken("JDOE") + ",SET,DESCRIPTION,G,";
        const std::string body(600, 'd');
        std::thread writer([&] {
            c.Send(head + body);
            std::this_thread::sleep_for(std::chrono::milliseconds(120));
            c.Send("tail");
        });
        ReceivedRequest got = ReadRequest(c.ends[0], ReadLimits{50, 2000, 250});
        writer.join();
        EXPECT_EQ(got.bytes, head + body + "tail");
    }
    {
        // A beginning waits for the rest up to the request bound, then goes to the parser
        // as it stands.
        Connection c;
        c.Send("00001,JDOE,");
        auto start = std::chrono::steady_clock::now();
        ReceivedRequest got = ReadRequest(c.ends[0], ReadLimits{50, 300});
        EXPECT_EQ(got.bytes, "00001,JDOE,");
        EXPECT_GE(Milliseconds(std::chrono::steady_clock::now() - start), 290);
    }
    {
        Connection c;
        c.Send("00002,GET,CHANGE,17");
        c.CloseClient();
        auto start = std::chrono::steady_clock::now();
        ReceivedRequest got = ReadRequest(c.ends[0], ReadLimits{1000, 5000});
        EXPECT_EQ(got.bytes, "00002,GET,CHANGE,17");
        EXPECT_FALSE(got.failed);
        EXPECT_LT(Milliseconds(std::chrono::steady_clock::now() - start), 500);
    }
    {
        Connection c;
        c.CloseClient();
        EXPECT_TRUE(ReadRequest(c.ends[0], limits).failed);
    }
}

TEST(RequestReading, StopsAtTheLengthLimitAndAtBytesNoLayoutAllows) {
    {
        Connection c;
        std::string request = "00003,JDOE," + zn::MakeUserToken("JDOE") + ",SET,DESCRIPTION,G,";
        request += std::string(zn::kMaxRequestLength + 10 - request.size(), 'd');
        std::thread writer([&] { c.Send(request); });
        ReceivedRequest got = ReadRequest(c.ends[0], ReadLimits{50, 2000});
        writer.join();
        EXPECT_TRUE(got.tooLong);
        EXPECT_EQ(got.bytes.size(), zn::kMaxRequestLength);
    }
    {
        Connection c;
        c.Send("GET / HTTP/1.0\r\n");
        auto start = std::chrono::steady_clock::now();
        ReceivedRequest got = ReadRequest(c.ends[0], ReadLimits{1000, 5000});
        EXPECT_EQ(got.bytes, "GET / HTTP/1.0\r\n");
        EXPECT_LT(Milliseconds(std::chrono::steady_clock::now() - start), 500);
    }
}

}  // namespace
