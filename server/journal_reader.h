// Reading the change journal on a connection of its own, beside the writer.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "server/journal.h"

struct sqlite3;
struct sqlite3_stmt;

namespace zn::server {

// A read-only connection to the journal. In WAL mode a reader sees the last committed state
// and neither waits for the writer nor holds it up, so status questions and change logs are
// read here and never queue behind a change. One thread uses one reader.
class JournalReader {
  public:
    static std::unique_ptr<JournalReader> Open(const std::string& path, std::string& error);
    ~JournalReader();
    JournalReader(const JournalReader&) = delete;
    JournalReader& operator=(const JournalReader&) = delete;

    // The change numbered `number`, without its plan; false when there is none or the
    // journal cannot be read.
    bool Find(long number, JournalEntry& entry);

    // Where a group's change log stands when a reader starts on it: the log the name
    // stands for (see Journal::GroupLog; 0 when none) and its last change number now.
    struct LogCursor {
        long log = 0;
        long after = 0;  // the last number read
        long last = 0;   // the last number the answer goes up to
    };
    bool StartLog(const std::string& group, LogCursor& cursor);
    // Up to `limit` records after the cursor, as change-log lines, moving it on. Each page
    // is a read of its own, so a slow client holds no snapshot of the journal open.
    bool NextPage(LogCursor& cursor, std::size_t limit, std::vector<std::string>& lines);

  private:
    JournalReader() = default;
    // The statement for `sql` (a literal), prepared on first use and kept; null on failure.
    sqlite3_stmt* Kept(const char* sql);

    sqlite3* m_db = nullptr;
    KeptStatements m_kept;
};

}  // namespace zn::server
