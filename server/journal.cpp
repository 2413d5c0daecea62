// The durable change journal: every accepted change request, its number and its fate, and
// the change logs of the groups, in one SQLite database in WAL mode.
#include "server/journal.h"

#include <sqlite3.h>

#include <cctype>
#include <ctime>

#include "server/sqlite_statement.h"
#include "server/text.h"

namespace zn::server {
namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS changes ("
    "  number INTEGER PRIMARY KEY,"
    "  received TEXT NOT NULL,"
    "  completed TEXT NOT NULL DEFAULT '',"
    "  client TEXT NOT NULL,"
    "  user_name TEXT NOT NULL,"
    "  request TEXT NOT NULL,"
    "  kind TEXT NOT NULL,"
    "  group_name TEXT NOT NULL,"
    "  target TEXT NOT NULL,"
    "  state TEXT NOT NULL CHECK (state IN ('pending', 'applied', 'rejected')),"
    "  code INTEGER NOT NULL,"
    "  reason TEXT NOT NULL,"
    "  plan BLOB NOT NULL);"
    "CREATE INDEX IF NOT EXISTS changes_pending ON changes(state) WHERE state = 'pending';"
    // A group's change log belongs to the group, not to its name: a rename carries it along,
    // and a group made later under a name that another group had starts a log of its own.
    // `live` marks the log of the group that holds the name now.
    "CREATE TABLE IF NOT EXISTS group_logs ("
    "  id INTEGER PRIMARY KEY,"
    "  name TEXT NOT NULL COLLATE NOCASE,"
    "  live INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS group_logs_name ON group_logs(name, live);"
    "CREATE TABLE IF NOT EXISTS group_changes ("
    "  log INTEGER NOT NULL REFERENCES group_logs(id),"
    "  number INTEGER NOT NULL REFERENCES changes(number),"
    "  PRIMARY KEY (log, number)) WITHOUT ROWID;";

// Journals written before the logs were kept per group: one log per name, and a count of
// the tries a pending change has had.
constexpr const char* kUpgradeNameLogs =
    "INSERT INTO group_logs (name, live) SELECT DISTINCT group_name, 1 FROM change_log;"
    "INSERT OR IGNORE INTO group_changes (log, number)"
    "  SELECT g.id, l.number FROM change_log l JOIN group_logs g ON g.name = l.group_name;"
    "DROP TABLE change_log;";
constexpr const char* kUpgradeTries =
    "ALTER TABLE changes ADD COLUMN tries INTEGER NOT NULL DEFAULT 0;";
// The log a name stands for: the live group's, else the last group's that had the name.
constexpr const char* kLogOfName =
    "SELECT id FROM group_logs WHERE name = ?1 ORDER BY live DESC, id DESC LIMIT 1;";

constexpr const char* kEntryColumns =
    "number, received, completed, client, user_name, request, kind, group_name, target, "
    "state, code, reason, plan";
// The same columns where change_log is joined in, which has group_name and number too.
constexpr const char* kJoinedEntryColumns =
    "c.number, c.received, c.completed, c.client, c.user_name, c.request, c.kind, "
    "c.group_name, c.target, c.state, c.code, c.reason, c.plan";

std::string UtcNow() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

ChangeState StateFromName(const std::string& name) {
    if (name == "applied") return ChangeState::kApplied;
    if (name == "rejected") return ChangeState::kRejected;
    return ChangeState::kPending;
}

JournalEntry ReadEntry(const Statement& row) {
    JournalEntry entry;
    entry.number = row.Long(0);
    entry.received = row.Text(1);
    entry.completed = row.Text(2);
    entry.change.client = row.Text(3);
    entry.change.userName = row.Text(4);
    entry.change.request = row.Text(5);
    entry.change.kind = row.Text(6);
    entry.change.groupName = row.Text(7);
    entry.change.target = row.Text(8);
    entry.state = StateFromName(row.Text(9));
    entry.code = row.Long(10);
    entry.reason = row.Text(11);
    entry.plan = row.Text(12);
    return entry;
}

std::string Cleaned(const std::string& text) {
    std::string result = text;
    for (char& c : result) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == ',' || c == ']' || c == '*' || u < 0x20 || u == 0x7F) {
            c = '_';
        }
    }
    return result;
}

}  // namespace

const char* StateName(ChangeState state) {
    switch (state) {
        case ChangeState::kPending: return "pending";
        case ChangeState::kApplied: return "applied";
        case ChangeState::kRejected: return "rejected";
    }
    return "pending";
}

std::string LogRecordText(const JournalEntry& entry) {
    std::string text = "Change " + std::to_string(entry.number) + " " + entry.received + " " +
                       entry.change.userName + " " + entry.change.kind + " " +
                       entry.change.groupName;
    if (!entry.change.target.empty()) {
        text += " " + entry.change.target;
    }
    text += std::string(" ") + StateName(entry.state);
    if (entry.state == ChangeState::kRejected) {
        text += " " + std::to_string(entry.code);
    }
    return Cleaned(text);
}

std::unique_ptr<Journal> Journal::Open(const std::string& path, long firstNumber,
                                       std::string& error) {
    std::unique_ptr<Journal> journal(new Journal());
    journal->m_firstNumber = firstNumber;
    int rc = sqlite3_open_v2(path.c_str(), &journal->m_db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        error = "cannot open the journal " + path + ": " +
                (journal->m_db ? sqlite3_errmsg(journal->m_db) : sqlite3_errstr(rc));
        return nullptr;
    }
    sqlite3_busy_timeout(journal->m_db, 5000);
    // WAL keeps readers off the writer's back; FULL makes each committed change survive a
    // crash of the machine, not only of the process.
    if (!journal->Execute("PRAGMA journal_mode=WAL;") ||
        !journal->Execute("PRAGMA synchronous=FULL;") ||
        !journal->Execute("PRAGMA foreign_keys=ON;") || !journal->Execute(kSchema) ||
        !journal->Upgrade()) {
        error = "cannot prepare the journal " + path + ": " + sqlite3_errmsg(journal->m_db);
        return nullptr;
    }
    return journal;
}

bool Journal::Upgrade() {
    auto exists = [this](const std::string& sql) {
        Statement query(m_db, sql);
        return query.Step() == SQLITE_ROW;
    };
    const bool nameLogs = exists("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'change_log';");
    const bool tries = exists("SELECT 1 FROM pragma_table_info('changes') WHERE name = 'tries';");
    if (!nameLogs && tries) return true;
    if (!Execute("BEGIN IMMEDIATE;")) return false;
    if ((nameLogs && !Execute(kUpgradeNameLogs)) || (!tries && !Execute(kUpgradeTries)) ||
        !Execute("COMMIT;")) {
        Execute("ROLLBACK;");
        return false;
    }
    return true;
}

KeptStatements::~KeptStatements() {
    Finalize();
}

sqlite3_stmt* KeptStatements::Get(sqlite3* db, const char* sql) {
    auto found = m_statements.find(sql);
    if (found != m_statements.end()) return found->second;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) return nullptr;
    m_statements.emplace(sql, statement);
    return statement;
}

void KeptStatements::Finalize() {
    for (auto& [sql, statement] : m_statements) sqlite3_finalize(statement);
    m_statements.clear();
}

Journal::~Journal() {
    m_kept.Finalize();
    sqlite3_close(m_db);
}

sqlite3_stmt* Journal::Kept(const char* sql) {
    return m_kept.Get(m_db, sql);
}

bool Journal::Execute(const char* sql) {
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool Journal::Step(const char* sql) {
    Statement statement(Kept(sql));
    return statement.Step() == SQLITE_DONE;
}

long Journal::LogOf(const std::string& group, bool create) {
    const std::string name = MatchKey(group);
    {
        Statement find(Kept(kLogOfName));
        if (find.Bind(1, name).Step() == SQLITE_ROW) return find.Long(0);
    }
    if (!create) return 0;
    Statement add(Kept("INSERT INTO group_logs (name, live) VALUES (?1, 1);"));
    return add.Bind(1, name).Step() == SQLITE_DONE ? static_cast<long>(sqlite3_last_insert_rowid(m_db)) : 0;
}

long Journal::Insert(const NewChange& change, const std::vector<std::string>& logGroups,
                     ChangeState state, long code, const std::string& reason,
                     const std::string& plan, const std::string& created) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (!Step("BEGIN IMMEDIATE;")) {
        return 0;
    }
    long number = 0;
    {
        Statement next(Kept("SELECT MAX(COALESCE(MAX(number) + 1, ?1), ?1) FROM changes;"));
        next.Bind(1, m_firstNumber);
        if (next.Step() == SQLITE_ROW) {
            number = next.Long(0);
        }
        Statement insert(Kept("INSERT INTO changes (number, received, completed, client, user_name,"
                              " request, kind, group_name, target, state, code, reason, plan)"
                              " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13);"));
        std::string now = UtcNow();
        insert.Bind(1, number).Bind(2, now).Bind(3, state == ChangeState::kPending ? "" : now);
        insert.Bind(4, change.client).Bind(5, change.userName).Bind(6, change.request);
        insert.Bind(7, change.kind).Bind(8, change.groupName).Bind(9, change.target);
        insert.Bind(10, std::string(StateName(state))).Bind(11, code).Bind(12, reason);
        insert.BindBlob(13, plan);
        bool ok = number > 0 && insert.Step() == SQLITE_DONE;
        if (ok && !created.empty()) {
            // Whatever log the name had belongs to a group that is gone.
            Statement end(Kept("UPDATE group_logs SET live = 0 WHERE name = ?1 AND live = 1;"));
            Statement add(Kept("INSERT INTO group_logs (name, live) VALUES (?1, 1);"));
            ok = end.Bind(1, MatchKey(created)).Step() == SQLITE_DONE &&
                 add.Bind(1, MatchKey(created)).Step() == SQLITE_DONE;
        }
        for (const std::string& group : logGroups) {
            const long log = ok ? LogOf(group, true) : 0;
            Statement link(Kept("INSERT OR IGNORE INTO group_changes (log, number) VALUES (?1, ?2);"));
            ok = log != 0 && link.Bind(1, log).Bind(2, number).Step() == SQLITE_DONE;
        }
        if (!ok) {
            Step("ROLLBACK;");
            return 0;
        }
    }
    return Step("COMMIT;") ? number : (Step("ROLLBACK;"), 0);
}

long Journal::RecordPending(const NewChange& change, const std::vector<std::string>& logGroups,
                            const std::string& plan, const std::string& created) {
    return Insert(change, logGroups, ChangeState::kPending, 0, std::string(), plan, created);
}

long Journal::RecordRejected(const NewChange& change, const std::vector<std::string>& logGroups,
                             long code, const std::string& reason) {
    return Insert(change, logGroups, ChangeState::kRejected, code, reason, std::string(), std::string());
}

bool Journal::Complete(long number, ChangeState state, long code, const std::string& reason,
                       const GroupFate& fate) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (!Step("BEGIN IMMEDIATE;")) return false;
    bool ok = false;
    {
        Statement update(Kept("UPDATE changes SET state = ?1, code = ?2, reason = ?3, completed = ?4"
                              " WHERE number = ?5 AND state = 'pending';"));
        update.Bind(1, std::string(StateName(state))).Bind(2, code).Bind(3, reason);
        update.Bind(4, UtcNow()).Bind(5, number);
        ok = update.Step() == SQLITE_DONE && sqlite3_changes(m_db) == 1;
        if (ok && state == ChangeState::kApplied && !fate.renamedFrom.empty()) {
            const long log = LogOf(fate.renamedFrom, true);
            Statement end(Kept("UPDATE group_logs SET live = 0 WHERE name = ?1 AND live = 1 AND id <> ?2;"));
            Statement rename(Kept("UPDATE group_logs SET name = ?1, live = 1 WHERE id = ?2;"));
            ok = log != 0 && end.Bind(1, MatchKey(fate.renamedTo)).Bind(2, log).Step() == SQLITE_DONE &&
                 rename.Bind(1, MatchKey(fate.renamedTo)).Bind(2, log).Step() == SQLITE_DONE;
        }
        if (ok && state == ChangeState::kApplied && !fate.deleted.empty()) {
            Statement end(Kept("UPDATE group_logs SET live = 0 WHERE name = ?1 AND live = 1;"));
            ok = end.Bind(1, MatchKey(fate.deleted)).Step() == SQLITE_DONE;
        }
    }
    if (!ok || !Step("COMMIT;")) {
        Step("ROLLBACK;");
        return false;
    }
    return true;
}

int Journal::CountTry(long number) {
    std::lock_guard<std::mutex> hold(m_lock);
    Statement update(Kept("UPDATE changes SET tries = tries + 1 WHERE number = ?1 RETURNING tries;"));
    return update.Bind(1, number).Step() == SQLITE_ROW ? static_cast<int>(update.Long(0)) : 0;
}

std::vector<JournalEntry> Journal::Pending() {
    std::lock_guard<std::mutex> hold(m_lock);
    std::vector<JournalEntry> entries;
    Statement query(m_db, std::string("SELECT ") + kEntryColumns +
                              " FROM changes WHERE state = 'pending' ORDER BY number;");
    while (query.Step() == SQLITE_ROW) {
        entries.push_back(ReadEntry(query));
    }
    return entries;
}

bool Journal::Find(long number, JournalEntry& entry) {
    std::lock_guard<std::mutex> hold(m_lock);
    Statement query(m_db,
                    std::string("SELECT ") + kEntryColumns + " FROM changes WHERE number = ?1;");
    query.Bind(1, number);
    if (query.Step() != SQLITE_ROW) {
        return false;
    }
    entry = ReadEntry(query);
    return true;
}

std::vector<JournalEntry> Journal::GroupLog(const std::string& group, bool& ok) {
    std::lock_guard<std::mutex> hold(m_lock);
    std::vector<JournalEntry> entries;
    Statement query(m_db, std::string("SELECT ") + kJoinedEntryColumns +
                              " FROM group_changes l JOIN changes c ON c.number = l.number"
                              " WHERE l.log = ?1 ORDER BY l.number;");
    const long log = LogOf(group, false);
    query.Bind(1, log);
    int rc = SQLITE_ROW;
    while (log != 0 && (rc = query.Step()) == SQLITE_ROW) {
        entries.push_back(ReadEntry(query));
    }
    ok = query.Ok() && (log == 0 || rc == SQLITE_DONE);
    return entries;
}

bool Journal::CompleteReset(long number, const std::string& group) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (!Execute("BEGIN IMMEDIATE;")) {
        return false;
    }
    bool ok = false;
    {
        Statement remove(m_db, "DELETE FROM group_changes WHERE log = ?1 AND number <> ?2;");
        Statement update(m_db,
                         "UPDATE changes SET state = 'applied', code = ?2, completed = ?3"
                         " WHERE number = ?1 AND state = 'pending';");
        const long log = LogOf(group, true);
        ok = log != 0 && remove.Bind(1, log).Bind(2, number).Step() == SQLITE_DONE &&
             update.Bind(1, number).Bind(2, 1L).Bind(3, UtcNow()).Step() == SQLITE_DONE &&
             sqlite3_changes(m_db) == 1;
    }
    if (!ok || !Execute("COMMIT;")) {
        Execute("ROLLBACK;");
        return false;
    }
    return true;
}

}  // namespace zn::server
