// What the administration server answers to one request: parsing, the client and token
// checks, the journal, and the one writer of the domain's directory.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "admin/change_request.h"
#include "server/changes.h"
#include "server/config.h"
#include "server/journal.h"
#include "server/write_quota.h"
#include "server/writer_lock.h"

namespace zn::server {

struct Client {
    std::string text;             // "127.0.1.5:40112"
    std::uint32_t address = 0;    // host byte order
};

// Where one change's time goes, for its log line: reading the directory for the checks,
// writing the journal (pending and completed), writing the directory (the change and the
// eventual members it moves).
enum class Phase { kChecks, kJournal, kDirectory };
class Stopwatch {
  public:
    void Lap(Phase phase);
    // "in 1.234 ms: checks 0.400, journal 0.300, directory 0.500"
    std::string Text() const;

  private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point m_start = Clock::now();
    Clock::time_point m_last = m_start;
    Clock::duration m_spent[3] = {};
};

// How much one client may make the server write for requests that change nothing:
// refusals in the journal and lines in the log. A bucket per client address, refilled at a
// steady rate; what goes over it is answered as usual, counted, and left unwritten.
class WriteBudget {
  public:
    WriteBudget(double perSecond, double burst) : m_perSecond(perSecond), m_burst(burst) {}
    // Whether one more write for `address` fits. When it does after some did not,
    // `skipped` says how many were left unwritten meanwhile (for one line saying so).
    bool Take(std::uint32_t address, std::size_t& skipped);

  private:
    using Clock = std::chrono::steady_clock;
    struct Bucket {
        double tokens = 0;
        Clock::time_point last;
        std::size_t skipped = 0;
    };
    std::mutex m_lock;
    std::map<std::uint32_t, Bucket> m_buckets;
    double m_perSecond;
    double m_burst;
};

class AdminService {
  public:
    // A client's refusals beyond these go unrecorded: enough for any application's
    // mistakes, too few for one client to fill the journal or the log.
    static constexpr double kRefusalsPerSecond = 20;
    static constexpr double kRefusalBurst = 200;
    // Tries at completing a pending change that the directory refuses (rather than cannot
    // be reached for) before it is given up.
    static constexpr int kMaxTries = 3;

    // Changes from outside `allowChanges` are refused; empty refuses every client.
    AdminService(Journal& journal, ChangeApplier& applier, std::vector<Network> allowChanges);

    // The reply bytes to a whole request. `tooLong` when more than kMaxRequestLength
    // characters arrived (`request` then holds the beginning).
    std::string Answer(const std::string& request, bool tooLong, const Client& client);

    // Finishes pending changes whose first write reached the directory and marks the others
    // rejected; run at start-up and before each change. Returns how many remain pending.
    std::size_t Reconcile();

    // Where status questions about other ranges of change numbers go.
    void SetPeers(long firstChangeNumber, std::vector<Peer> peers) {
        m_firstChangeNumber = firstChangeNumber;
        m_peers = std::move(peers);
    }

    // Changes take turns with a --repair run on the same journal.
    bool ShareWriter(const std::string& journalPath, std::string& error) {
        return m_writer.Open(journalPath, error);
    }
    // What one requester's accepted changes may write a minute (0: no bound).
    void SetWriteBound(long valuesPerMinute) { m_quota.SetPerMinute(valuesPerMinute); }

    // Fault injection for crash tests: sleep this long between journalling a change as
    // pending and writing it, so that a test can kill the server inside that window.
    void SetPauseAfterJournal(int milliseconds) { m_pauseAfterJournal = milliseconds; }

  private:
    std::string AnswerChange(const ParsedRequest& request, const std::string& text,
                             const Client& client);
    // Journals and logs a refusal within the client's budget.
    void RecordRefusal(const NewChange& change, const std::vector<std::string>& logGroups,
                       const Verdict& verdict, const Client& client, WriteBudget& budget);
    // Whether the client's budget takes one more record, logging what went unrecorded.
    bool WithinBudget(WriteBudget& budget, const Client& client);
    void LogWithin(WriteBudget& budget, const Client& client, const std::string& line);
    std::string AnswerQuery(const ParsedRequest& request);
    std::string ApplyAccepted(const NewChange& change, const ChangePlan& plan, Stopwatch& watch);
    std::size_t ReconcileLocked();
    std::size_t ReconcileJournal();
    // The peer whose range holds `number`, when it is not this server's own range.
    const Peer* PeerFor(long number) const;

    Journal& m_journal;
    ChangeApplier& m_applier;
    std::vector<Network> m_allowChanges;
    // One writer per domain: checks and writes of two changes never interleave, so the
    // eventual members computed from one state are written before the next change reads it.
    WriterLock m_writer;
    WriteQuota m_quota{0};
    int m_pauseAfterJournal = 0;
    // Changes the journal may still hold as pending; while none, a change need not read
    // the journal's pending list first. Unknown until the first reconciliation.
    std::size_t m_unfinished = 1;
    long m_firstChangeNumber = 1;
    std::vector<Peer> m_peers;
    WriteBudget m_refusals{kRefusalsPerSecond, kRefusalBurst};
    // Forged and garbled requests, and those of clients that may not send changes, have a
    // budget of their own, so that they cannot crowd out the record of real refusals.
    WriteBudget m_forgeries{kRefusalsPerSecond, kRefusalBurst};
};

// The request line as it may be logged and journalled: the user token blanked out.
std::string WithoutToken(const std::string& request, const ParsedRequest& parsed);

// Writes to standard error, one line per call, with a UTC time stamp.
void Log(const std::string& line);

}  // namespace zn::server
