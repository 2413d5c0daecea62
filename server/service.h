// What the administration server answers to one request: parsing, the client and token
// checks, the journal, and the one writer of the domain's directory.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "admin/change_request.h"
#include "server/changes.h"
#include "server/client_limits.h"
#include "server/config.h"
#include "server/journal.h"
#include "server/journal_reader.h"
#include "server/requester_proof.h"
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

class AdminService {
  public:
    // A requester's refusals beyond these go unrecorded: enough for any application's
    // mistakes, too few for one client to fill the journal or the log. One address's
    // requesters together get five times as much, so that many invented names cannot.
    static constexpr double kRefusalsPerSecond = 20;
    static constexpr double kRefusalBurst = 200;
    static constexpr double kRequestersPerAddress = 5;
    // Tries at completing a pending change that the directory refuses (rather than cannot
    // be reached for) before it is given up.
    static constexpr int kMaxTries = 3;

    // Changes from outside `allowChanges` are refused; empty refuses every client.
    AdminService(Journal& journal, ChangeApplier& applier, std::vector<Network> allowChanges);

    // Which desk answers a request: the question and change-log readers, which read the
    // journal beside the writer, or the workers, which check and write changes (and refuse
    // whatever is no request).
    enum class Desk { kQuestion, kChangeLog, kChange };
    static Desk DeskFor(const std::string& request, bool tooLong, ParsedRequest& parsed);

    // The reply bytes to a whole request for the change desk. `tooLong` when more than
    // kMaxRequestLength characters arrived (`request` then holds the beginning).
    // `proof` is what the client sent before the request (over TLS only).
    std::string Answer(const std::string& request, bool tooLong, const Client& client,
                       const Proof& proof = Proof());

    // Checks the proofs that clients send through `prover`; with `required`, a change
    // without one is refused.
    void SetProof(ProofChecker* prover, bool required) {
        m_prover = prover;
        m_proofRequired = required;
    }

    // The answer to a status or log-entry question, read through `reader`. Empty, with
    // `forward` set, when the number is another domain's: the caller asks that peer and
    // passes its answer to PeerReply.
    std::string AnswerQuestion(const ParsedRequest& request, JournalReader& reader,
                               const Peer*& forward);
    // The peer's answer as it came when it is one, else the refusal that says it could not
    // be asked.
    static std::string PeerReply(const Peer& peer, long number, const std::string& answer);

    // Whether a change is being checked or written now: long reads give way to it.
    bool ChangeInFlight() const { return m_changesInFlight.load(std::memory_order_relaxed) != 0; }
    // Logs the counts of refusals left unrecorded that are due (all with `all`, at a stop).
    void FlushBudgets(bool all);

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
                             const Client& client, const Proof& proof);
    // The refusal when the proof fails or is missing where it is required; empty when the
    // change may go on.
    std::string CheckProof(const ParsedRequest& request, const std::string& text,
                           const Client& client, const Proof& proof);
    // Journals and logs a refusal within the requester's budget.
    void RecordRefusal(const NewChange& change, const std::vector<std::string>& logGroups,
                       const Verdict& verdict, const Client& client, WriteBudget& budget);
    // Whether the budget takes one more record of `requester` at the client's address,
    // logging first what went unrecorded before it.
    bool WithinBudget(WriteBudget& budget, const Client& client, const std::string& requester,
                      const std::string& group);
    void LogWithin(WriteBudget& budget, const Client& client, const std::string& line);
    std::string ApplyAccepted(const NewChange& change, const ChangePlan& plan, Stopwatch& watch);
    std::size_t ReconcileLocked();
    std::size_t ReconcileJournal();
    // The peer whose range holds `number`, when it is not this server's own range.
    const Peer* PeerFor(long number) const;

    Journal& m_journal;
    ChangeApplier& m_applier;
    std::vector<Network> m_allowChanges;
    ProofChecker* m_prover = nullptr;
    bool m_proofRequired = false;
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
    std::atomic<int> m_changesInFlight{0};
    WriteBudget m_refusals{"refusal(s)", kRefusalsPerSecond, kRefusalBurst, kRequestersPerAddress};
    // Forged and garbled requests, and those of clients that may not send changes, have a
    // budget of their own, so that they cannot crowd out the record of real refusals. Their
    // names prove even less than others', so the address alone counts.
    WriteBudget m_forgeries{"forged or garbled request(s)", kRefusalsPerSecond, kRefusalBurst, 1};
};

// The request line as it may be logged and journalled: the user token blanked out.
std::string WithoutToken(const std::string& request, const ParsedRequest& parsed);

// Writes to standard error, one line per call, with a UTC time stamp.
void Log(const std::string& line);

}  // namespace zn::server
