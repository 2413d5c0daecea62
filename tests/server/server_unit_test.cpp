// The administration server's parts that need no directory: settings, the journal, and
// reading a request off a connection.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <netinet/tcp.h>
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
#include "server/connection.h"
#include "server/journal.h"
#include "server/requester_proof.h"

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
                                              "max-connections-per-client = 0\n"
                                              "quiet-ms=5\n";  // of older versions
    Config config;
    std::string error;
    std::string path = dir.File("admind.conf");
    ASSERT_EQ(Parse({"--port", "60662", "--config", path.c_str(), "--idle-timeout-ms", "250"},
                    config, error),
              CommandLine::kRun)
        << error;
    EXPECT_EQ(config.port, 60662);
    // 0 is the default, as is no setting.
    EXPECT_EQ(config.maxConnectionsPerClient, 64);
    EXPECT_EQ(config.idleTimeoutMilliseconds, 250);
    EXPECT_EQ(config.baseDN, "o=example.com");
    EXPECT_EQ(config.obsoleteSettings, std::vector<std::string>{"quiet-ms"});
    ASSERT_EQ(config.allowChanges.size(), 1u);
    EXPECT_TRUE(config.allowChanges[0].Contains(0x0A01FFFE));
    EXPECT_FALSE(config.allowChanges[0].Contains(0x0A020001));
    // Networks given as options replace the file's.
    Config replaced;
    ASSERT_EQ(Parse({"--config", path.c_str(), "--allow=127.0.1.5",
                     "--max-connections-per-client=3"},
                    replaced, error),
              CommandLine::kRun);
    EXPECT_EQ(replaced.maxConnectionsPerClient, 3);
    ASSERT_EQ(replaced.allowChanges.size(), 1u);
    EXPECT_TRUE(replaced.allowChanges[0].Contains(0x7F000105));
    EXPECT_FALSE(replaced.allowChanges[0].Contains(0x7F000106));
    // No allow setting anywhere: loopback only; "any" is every address.
    Config unset;
    ASSERT_EQ(Parse({"--port", "60662"}, unset, error), CommandLine::kRun);
    EXPECT_EQ(unset.maxConnectionsPerClient, 64);
    EXPECT_EQ(unset.idleTimeoutMilliseconds, 1000);
    ASSERT_EQ(unset.allowChanges.size(), 1u);
    EXPECT_EQ(unset.allowChanges[0].Text(), "127.0.0.0/8");
    EXPECT_TRUE(unset.allowChanges[0].Contains(0x7F0A0005));
    EXPECT_FALSE(unset.allowChanges[0].Contains(0x0A010001));
    Config any;
    ASSERT_EQ(Parse({"--allow", "any"}, any, error), CommandLine::kRun);
    ASSERT_EQ(any.allowChanges.size(), 1u);
    EXPECT_TRUE(any.allowChanges[0].Contains(0xC0A80101));
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
    EXPECT_EQ(Parse({"--idle-timeout-ms", "0"}, config, error), CommandLine::kError);
    EXPECT_EQ(error, "--idle-timeout-ms: '0' is not a number from 1 to 600000");
    EXPECT_EQ(Parse({"--max-connections-per-client", "-1"}, config, error), CommandLine::kError);
    EXPECT_EQ(error, "--max-connections-per-client: '-1' is not a number from 0 to 4096");
    // Shorter than the library's own reuse bound allows, a kept connection could be closed
    // under a request.
    EXPECT_EQ(Parse({"--keep-alive-ms", "5000"}, config, error), CommandLine::kError);
    EXPECT_EQ(error, "--keep-alive-ms: '5000' is neither 0 nor at least 10000");
    std::ofstream(dir.File("bad.conf")) << "port = 1\nnonsense\n";
    std::string path = dir.File("bad.conf");
    EXPECT_EQ(Parse({"--config", path.c_str()}, config, error), CommandLine::kError);
    EXPECT_EQ(error, path + ":2: expected key = value");
    EXPECT_EQ(Parse({"--port", "x", "--help"}, config, error), CommandLine::kHelp);
    EXPECT_NE(std::string(kUsageText).find("--password-file FILE"), std::string::npos);
}

// Proof needs TLS, and TLS needs both files: a password is never taken in clear.
TEST(Settings, ProofWithoutTlsIsRefused) {
    Config config;
    std::string error;
    EXPECT_EQ(Parse({"--require-proof"}, config, error), CommandLine::kError);
    EXPECT_EQ(error, "--require-proof needs TLS: give --tls-cert and --tls-key");
    EXPECT_EQ(Parse({"--tls-cert", "a.pem"}, config, error), CommandLine::kError);
    EXPECT_EQ(error, "TLS needs both --tls-cert and --tls-key");
    Config proven;
    EXPECT_EQ(
        Parse({"--tls-cert", "a.pem", "--tls-key", "a.key", "--require-proof"}, proven, error),
        CommandLine::kRun);
    EXPECT_TRUE(proven.requireProof);
}

TEST(ProofLine, IsTakenOffTheRequestOnlyWhenWholeAndWellFormed) {
    const std::string request = "00002,GET,CHANGE,1";
    std::string bytes = "PROOF 5472307562";
    Proof proof;
    EXPECT_FALSE(TakeProof(bytes, proof));  // the line may still be arriving
    bytes += "6164";
    bytes += "\n" + request;
    EXPECT_TRUE(TakeProof(bytes, proof));
    EXPECT_TRUE(proof.given && !proof.malformed);
    EXPECT_EQ(proof.password, "Tr0ubad");
    EXPECT_EQ(bytes, request);

    bytes = request;
    proof = Proof();
    EXPECT_TRUE(TakeProof(bytes, proof));
    EXPECT_FALSE(proof.given);
    EXPECT_EQ(bytes, request);

    for (const char* bad : {"PROOF 547\n", "PROOF \n", "PROOF 54zz\n", "PROOF 5400\n"}) {
        bytes = std::string(bad) + request;
        proof = Proof();
        EXPECT_TRUE(TakeProof(bytes, proof)) << bad;
        EXPECT_TRUE(proof.malformed) << bad;
        EXPECT_TRUE(proof.password.empty()) << bad;
    }
    // A line that never ends is not waited for beyond the longest password.
    bytes = "PROOF " + std::string(2 * kMaxProofPassword + 2, 'a');
    proof = Proof();
    EXPECT_TRUE(TakeProof(bytes, proof));
    EXPECT_TRUE(proof.malformed);
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

TEST(Journal, GroupLogsBelongToTheGroupThroughRenamesDeletionsAndResets) {
    TempDir dir;
    std::string error;
    auto journal = Journal::Open(dir.File("journal.db"), 1, error);
    ASSERT_TRUE(journal) << error;
    long first = journal->RecordRejected(Change("OLD", "A"), {"OLD"}, 30015, "no");
    long second = journal->RecordRejected(Change("OLD", "B"), {"OLD", "OTHER"}, 30015, "no");
    bool ok = false;
    // Names compare as the directory compares them: case and outer blanks aside.
    ASSERT_EQ(journal->GroupLog(" old ", ok).size(), 2u);
    EXPECT_TRUE(ok);
    auto applied = [&](const GroupFate& fate) {
        long number = journal->RecordPending(Change(fate.renamedFrom + fate.deleted, ""),
                                             {fate.renamedFrom + fate.deleted}, "");
        EXPECT_TRUE(journal->Complete(number, ChangeState::kApplied, 1, "", fate));
        return number;
    };
    const long renamed = applied(GroupFate{"", "OLD", "NEW"});
    EXPECT_TRUE(journal->GroupLog("OLD", ok).empty());
    std::vector<JournalEntry> log = journal->GroupLog("NEW", ok);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].number, first);
    EXPECT_EQ(log[1].number, second);
    EXPECT_EQ(log[2].number, renamed);
    // Deleted, its log stays its own; a group made later with the name starts afresh, and
    // a reset of that one leaves the old history alone.
    const long deleted = applied(GroupFate{"NEW", "", ""});
    EXPECT_EQ(journal->GroupLog("NEW", ok).size(), 4u);
    long created = journal->RecordPending(Change("NEW", ""), {"NEW"}, "", "NEW");
    ASSERT_EQ(journal->GroupLog("NEW", ok).size(), 1u);
    long reset = journal->RecordPending(Change("NEW", ""), {"NEW"}, "");
    EXPECT_TRUE(journal->CompleteReset(reset, "NEW"));
    log = journal->GroupLog("NEW", ok);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].number, reset);
    EXPECT_EQ(log[0].state, ChangeState::kApplied);
    // Another group renamed to a name with history takes over the name, not the history.
    applied(GroupFate{"", "OTHER", "NEW"});
    log = journal->GroupLog("NEW", ok);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].number, second);
    // Every change stays answerable by number.
    JournalEntry entry;
    for (long number : {first, deleted, created}) EXPECT_TRUE(journal->Find(number, entry)) << number;
}

TEST(Journal, AJournalOfTheEarlierLayoutKeepsItsLogsAndPendingChanges) {
    TempDir dir;
    const std::string path = dir.File("journal.db");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE changes (number INTEGER PRIMARY KEY, received TEXT NOT NULL,"
                           " completed TEXT NOT NULL DEFAULT '', client TEXT NOT NULL,"
                           " user_name TEXT NOT NULL, request TEXT NOT NULL, kind TEXT NOT NULL,"
                           " group_name TEXT NOT NULL, target TEXT NOT NULL, state TEXT NOT NULL,"
                           " code INTEGER NOT NULL, reason TEXT NOT NULL, plan BLOB NOT NULL);"
                           "CREATE TABLE change_log (group_name TEXT NOT NULL COLLATE NOCASE,"
                           " number INTEGER NOT NULL, PRIMARY KEY (group_name, number)) WITHOUT ROWID;"
                           "INSERT INTO changes VALUES (7, 't', '', 'c', 'JDOE', 'r', 'ADD MEMBER',"
                           " 'ENG', 'X', 'pending', 0, '', 'plan');"
                           "INSERT INTO change_log VALUES ('ENG', 7), ('ENG-ALL', 7);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    std::string error;
    auto journal = Journal::Open(path, 1, error);
    ASSERT_TRUE(journal) << error;
    bool ok = false;
    for (const char* group : {"eng", "ENG-ALL"}) {
        std::vector<JournalEntry> log = journal->GroupLog(group, ok);
        ASSERT_EQ(log.size(), 1u) << group;
        EXPECT_EQ(log[0].number, 7);
    }
    ASSERT_EQ(journal->Pending().size(), 1u);
    EXPECT_EQ(journal->CountTry(7), 1);
    EXPECT_EQ(journal->RecordRejected(Change("ENG", "Y"), {"ENG"}, 30015, "no"), 8);
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

// A loopback TCP connection: the test writes to the client end, ReadRequest reads the
// server end. `segment` > 0 sets the client's TCP_MAXSEG before it connects.
struct Connection {
    explicit Connection(int segment = 0) {
        int listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof local;
        EXPECT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
        EXPECT_EQ(listen(listener, 1), 0);
        getsockname(listener, reinterpret_cast<sockaddr*>(&local), &size);
        ends[1] = socket(AF_INET, SOCK_STREAM, 0);
        if (segment > 0) {
            EXPECT_EQ(setsockopt(ends[1], IPPROTO_TCP, TCP_MAXSEG, &segment, sizeof segment), 0);
        }
        EXPECT_EQ(connect(ends[1], reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
        ends[0] = accept(listener, nullptr, nullptr);
        close(listener);
    }
    ~Connection() {
        close(ends[0]);
        if (ends[1] >= 0) close(ends[1]);
    }
    void Send(const std::string& bytes) const {
        EXPECT_EQ(send(ends[1], bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
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

// What ReadRequest makes of `first`, then `rest` after `pause`, and how long it took.
struct Read {
    ReceivedRequest got;
    long long milliseconds = 0;
};
Read ReadPieces(const std::string& first, const std::string& rest, int pause, int bound,
                int segment = 0, int idleBound = 1000) {
    Connection c(segment);
    std::thread writer([&] {
        c.Send(first);
        if (rest.empty()) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
        c.Send(rest);
    });
    auto start = std::chrono::steady_clock::now();
    Read read{ReadRequest(c.ends[0], ReadLimits{bound, idleBound}), 0};
    read.milliseconds = Milliseconds(std::chrono::steady_clock::now() - start);
    writer.join();
    return read;
}

const std::string kDescriptionHead =
    "00003,JDOE," + zn::MakeUserToken("JDOE") + ",SET,DESCRIPTION,G,";

TEST(RequestReading, AWholeLayoutEndsAtOnceUnlessItEndsOnASegmentBoundary) {
    // A last field of fixed length: complete at once, however it was cut.
    const std::string reset = "00002,RESET,GROUP,ENG-ALL,JDOE," + zn::MakeUserToken("JDOE");
    Read fixed = ReadPieces(reset.substr(0, 20), reset.substr(20), 30, 2000);
    EXPECT_EQ(fixed.got.bytes, reset);
    EXPECT_FALSE(fixed.got.tooLong || fixed.got.failed);
    EXPECT_LT(fixed.milliseconds, 1000);
    // An open last field in one send shorter than a segment: no wait at all, also when
    // the client's segments are the smallest there are.
    for (int segment : {0, 536}) {
        Read whole = ReadPieces(kDescriptionHead + std::string(300, 'd'), "", 0, 3000, segment);
        EXPECT_EQ(whole.got.bytes, kDescriptionHead + std::string(300, 'd'));
        EXPECT_LT(whole.milliseconds, 1500) << segment;
    }
    // A first send that ends where a full segment may end keeps the request open for the
    // rest, however late it comes within the bound: 536 and 524 (a timestamp option less),
    // and their multiples.
    for (std::size_t length : {536u, 524u, 1072u, 1572u}) {
        const std::string first = kDescriptionHead + std::string(length - kDescriptionHead.size(), 'd');
        Read split = ReadPieces(first, "tail", 600, 3000, 536);
        EXPECT_EQ(split.got.bytes, first + "tail") << length;
    }
    // Such a request with nothing after it is taken whole at the bound.
    const std::string exact = kDescriptionHead + std::string(536 - kDescriptionHead.size(), 'd');
    Read alone = ReadPieces(exact, "", 0, 800);
    EXPECT_EQ(alone.got.bytes, exact);
    EXPECT_GE(alone.milliseconds, 790);
    // One send of a long request over a small segment size ends on its short last segment.
    const std::string longer = kDescriptionHead + std::string(1900, 'd');
    Read segmented = ReadPieces(longer, "", 0, 3000, 536);
    EXPECT_EQ(segmented.got.bytes, longer);
    EXPECT_LT(segmented.milliseconds, 1500);
}

TEST(RequestReading, ABeginningWaitsForTheBoundSilenceForTheIdleBoundAndACloseEndsIt) {
    // However short the idle bound, a request that has begun has the whole request bound.
    Read beginning = ReadPieces("00001,JDOE,", "", 0, 600, 0, 100);
    EXPECT_EQ(beginning.got.bytes, "00001,JDOE,");
    EXPECT_FALSE(beginning.got.idle || beginning.got.failed);
    EXPECT_GE(beginning.milliseconds, 590);
    Read silent = ReadPieces("", "", 0, 5000, 0, 200);
    EXPECT_TRUE(silent.got.idle);
    EXPECT_FALSE(silent.got.failed);
    EXPECT_EQ(silent.got.bytes, "");
    EXPECT_GE(silent.milliseconds, 190);
    EXPECT_LT(silent.milliseconds, 2500);
    {
        Connection c;
        c.Send("00002,GET,CHANGE,17");
        c.CloseClient();
        auto start = std::chrono::steady_clock::now();
        ReceivedRequest got = ReadRequest(c.ends[0], ReadLimits{5000});
        EXPECT_EQ(got.bytes, "00002,GET,CHANGE,17");
        EXPECT_FALSE(got.failed);
        EXPECT_LT(Milliseconds(std::chrono::steady_clock::now() - start), 500);
    }
    {
        Connection c;
        c.CloseClient();
        EXPECT_TRUE(ReadRequest(c.ends[0], ReadLimits{2000}).failed);
    }
}

TEST(RequestReading, StopsAtTheLengthLimitAndAtBytesNoLayoutAllows) {
    {
        Connection c;
        std::string request = kDescriptionHead;
        request += std::string(zn::kMaxRequestLength + 10 - request.size(), 'd');
        std::thread writer([&] { c.Send(request); });
        ReceivedRequest got = ReadRequest(c.ends[0], ReadLimits{2000});
        writer.join();
        EXPECT_TRUE(got.tooLong);
        EXPECT_EQ(got.bytes.size(), zn::kMaxRequestLength);
    }
    Read http = ReadPieces("GET / HTTP/1.0\r\n", "", 0, 5000);
    EXPECT_EQ(http.got.bytes, "GET / HTTP/1.0\r\n");
    EXPECT_LT(http.milliseconds, 500);
}

}  // namespace
