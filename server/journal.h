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
    // cannot be written. `logGroups` are the groups whose change log lists it.
    long RecordPending(const NewChange& change, const std::vector<std::string>& logGroups,
                       const std::string& plan);
    // Records a refused change in one step.
    long RecordRejected(const NewChange& change, const std::vector<std::string>& logGroups,
                        long code, const std::string& reason);
    bool Complete(long number, ChangeState state, long code, const std::string& reason);

    std::vector<JournalEntry> Pending();
    bool Find(long number, JournalEntry& entry);
    // The change log of a group, oldest first; `ok` false when the journal cannot be read.
    std::vector<JournalEntry> GroupLog(const std::string& group, bool& ok);
    // Empties a group's change log but for the reset `number` itself, and marks that change
    // applied, in one transaction; the changes stay answerable by number.
    bool CompleteReset(long number, const std::string& group);
    // A renamed group keeps its change log under the new name.
    bool RenameGroupLog(const std::string& from, const std::string& to);

  private:
    Journal() = default;
    long Insert(const NewChange& change, const std::vector<std::string>& logGroups,
                ChangeState state, long code, const std::string& reason,
                const std::string& plan);
    bool Execute(const char* sql);
    // The statement for `sql` (a literal), prepared on first use and kept; null on failure.
    sqlite3_stmt* Kept(const char* sql);

    std::mutex m_lock;
    sqlite3* m_db = nullptr;
    std::map<std::string, sqlite3_stmt*> m_kept;
    long m_firstNumber = 1;
};

const char* StateName(ChangeState state);

// One line describing a change for change-log answers: no comma, "]" or "*" (they end a
// field or a record on the wire), no control characters.
std::string LogRecordText(const JournalEntry& entry);

}  // namespace zn::server
