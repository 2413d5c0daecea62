// Reading the change journal on a connection of its own, beside the writer.
#include "server/journal_reader.h"

#include <sqlite3.h>

#include "server/sqlite_statement.h"
#include "server/text.h"

namespace zn::server {
namespace {

// What a status answer and a change-log line need, and nothing of the plan.
#define ZN_READER_COLUMNS                                                                       \
    "c.number, c.received, c.completed, c.user_name, c.kind, c.group_name, c.target, c.state, " \
    "c.code, c.reason"
constexpr const char* kFind = "SELECT " ZN_READER_COLUMNS " FROM changes c WHERE c.number = ?1;";
constexpr const char* kPage =
    "SELECT " ZN_READER_COLUMNS
    " FROM group_changes l JOIN changes c ON c.number = l.number"
    " WHERE l.log = ?1 AND l.number > ?2 AND l.number <= ?3 ORDER BY l.number LIMIT ?4;";
#undef ZN_READER_COLUMNS
constexpr const char* kLogOfName =
    "SELECT id FROM group_logs WHERE name = ?1 ORDER BY live DESC, id DESC LIMIT 1;";
constexpr const char* kLastOfLog =
    "SELECT COALESCE(MAX(number), 0) FROM group_changes WHERE log = ?1;";

JournalEntry ReadRow(const Statement& row) {
    JournalEntry entry;
    entry.number = row.Long(0);
    entry.received = row.Text(1);
    entry.completed = row.Text(2);
    entry.change.userName = row.Text(3);
    entry.change.kind = row.Text(4);
    entry.change.groupName = row.Text(5);
    entry.change.target = row.Text(6);
    const std::string state = row.Text(7);
    entry.state = state == "applied"    ? ChangeState::kApplied
                  : state == "rejected" ? ChangeState::kRejected
                                        : ChangeState::kPending;
    entry.code = row.Long(8);
    entry.reason = row.Text(9);
    return entry;
}

}  // namespace

std::unique_ptr<JournalReader> JournalReader::Open(const std::string& path, std::string& error) {
    std::unique_ptr<JournalReader> reader(new JournalReader());
    const int rc = sqlite3_open_v2(path.c_str(), &reader->m_db,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        error = "cannot read the journal " + path + ": " +
                (reader->m_db ? sqlite3_errmsg(reader->m_db) : sqlite3_errstr(rc));
        return nullptr;
    }
    // A WAL reader waits only while the writer's connection rebuilds the index after a
    // crash; that wait is short, and better than a failed answer.
    sqlite3_busy_timeout(reader->m_db, 1000);
    return reader;
}

JournalReader::~JournalReader() {
    m_kept.Finalize();
    sqlite3_close(m_db);
}

sqlite3_stmt* JournalReader::Kept(const char* sql) {
    return m_kept.Get(m_db, sql);
}

bool JournalReader::Find(long number, JournalEntry& entry) {
    Statement query(Kept(kFind));
    if (query.Bind(1, number).Step() != SQLITE_ROW) return false;
    entry = ReadRow(query);
    return true;
}

bool JournalReader::StartLog(const std::string& group, LogCursor& cursor) {
    cursor = LogCursor();
    Statement find(Kept(kLogOfName));
    const int rc = find.Bind(1, MatchKey(group)).Step();
    if (rc == SQLITE_DONE) return true;
    if (rc != SQLITE_ROW) return false;
    cursor.log = find.Long(0);
    Statement last(Kept(kLastOfLog));
    if (last.Bind(1, cursor.log).Step() != SQLITE_ROW) return false;
    cursor.last = last.Long(0);
    return true;
}

bool JournalReader::NextPage(LogCursor& cursor, std::size_t limit,
                             std::vector<std::string>& lines) {
    lines.clear();
    if (cursor.log == 0 || cursor.after >= cursor.last) return true;
    Statement page(Kept(kPage));
    page.Bind(1, cursor.log)
        .Bind(2, cursor.after)
        .Bind(3, cursor.last)
        .Bind(4, static_cast<long>(limit));
    int rc = SQLITE_ROW;
    while ((rc = page.Step()) == SQLITE_ROW) {
        JournalEntry entry = ReadRow(page);
        cursor.after = entry.number;
        lines.push_back(LogRecordText(entry));
    }
    // A page cut short by a reset ends the log there.
    if (rc == SQLITE_DONE && lines.size() < limit) cursor.after = cursor.last;
    return rc == SQLITE_DONE;
}

}  // namespace zn::server
