// The durable change journal: every accepted change request, its number and its fate, and
// the change logs of the groups, in one SQLite database in WAL mode.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace zn::server {

enum class ChangeState { kPending, kApplied, kRejected };

// A change request as it arrived, without its user token.
struct NewChange {
    std::string client;    // the sender's address
    std::string userName;  // the requester
    std::string request;   // the request line, its user token blanked out
    std::string kind;      // "ADD MEMBER", ...
    std::string groupName;
    std::string target;
};

// What an applied change did to the groups whose logs the journal keeps.
struct GroupFate {
    std::string deleted;
    std::string renamedFrom;
    std::string renamedTo;
};

struct JournalEntry {
    long number = 0;
    std::string received;   // UTC, ISO 8601
    std::string completed;  // empty while pending
    NewChange change;
    ChangeState state = ChangeState::kPending;
    long code = 0;
    std::string reason;
    std::string plan;
};

// Statements kept prepared on one connection, each parsed on its first use; finalized
// before the connection closes.
class KeptStatements {
  public:
    KeptStatements() = default;
    KeptStatements(const KeptStatements&) = delete;
    KeptStatements& operator=(const KeptStatements&) = delete;
    ~KeptStatements();
    // The statement for `sql` on `db`; null when it cannot be prepared.
    sqlite3_stmt* Get(sqlite3* db, const char* sql);
    void Finalize();

  private:
    std::map<std::string, sqlite3_stmt*> m_statements;
};

// Safe for use from several threads: one connection, one lock. Every write is a transaction
// that is on disk when the call returns.
class Journal {
  public:
    // Opens or creates the journal. Numbers start at `firstNumber` in a new journal, and
    // never below it.
    static std::unique_ptr<Journal> Open(const std::string& path, long firstNumber,
                                         std::string& error);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Records a change before the directory is touched; its number, or 0 when the journal
    // cannot be written. `logGroups` are the groups whose change log lists it; `created`,
    // when not empty, is a group the change makes, whose log starts with it.
    long RecordPending(const NewChange& change, const std::vector<std::string>& logGroups,
                       const std::string& plan, const std::string& created = std::string());
    // Records a refused change in one step.
    long RecordRejected(const NewChange& change, const std::vector<std::string>& logGroups,
                        long code, const std::string& reason);
    // Ends a pending change; an applied one's `fate` moves the logs of the groups it renamed
    // or deleted in the same transaction.
    bool Complete(long number, ChangeState state, long code, const std::string& reason,
                  const GroupFate& fate = GroupFate());
    // Counts one more try at completing a pending change; the count after it, 0 on failure.
    int CountTry(long number);

    std::vector<JournalEntry> Pending();
    bool Find(long number, JournalEntry& entry);
    // The change log of a group, oldest first: the log of the group that has the name now,
    // else of the last one that had it. `ok` false when the journal cannot be read.
    std::vector<JournalEntry> GroupLog(const std::string& group, bool& ok);
    // Empties that log but for the reset `number` itself, and marks that change applied, in
    // one transaction; the changes stay answerable by number.
    bool CompleteReset(long number, const std::string& group);

  private:
    Journal() = default;
    long Insert(const NewChange& change, const std::vector<std::string>& logGroups,
                ChangeState state, long code, const std::string& reason,
                const std::string& plan, const std::string& created);
    bool Upgrade();
    // The log `group` names (see GroupLog); with `create`, a new live one when none has the
    // name yet. 0 when there is none. The caller holds m_lock.
    long LogOf(const std::string& group, bool create);
    bool Execute(const char* sql);
    // One statement kept prepared (BEGIN, COMMIT, ROLLBACK): parsed once, not per change.
    bool Step(const char* sql);
    // The statement for `sql` (a literal), prepared on first use and kept; null on failure.
    sqlite3_stmt* Kept(const char* sql);

    std::mutex m_lock;
    sqlite3* m_db = nullptr;
    KeptStatements m_kept;
    long m_firstNumber = 1;
};

const char* StateName(ChangeState state);

// One line describing a change for change-log answers: no comma, "]" or "*" (they end a
// field or a record on the wire), no control characters.
std::string LogRecordText(const JournalEntry& entry);

}  // namespace zn::server
