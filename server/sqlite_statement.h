// A prepared statement of the journal's SQLite connections, for one use.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <string>

namespace zn::server {

// One prepared statement, finalized by its owner; or one the journal keeps prepared,
// borrowed for one use and reset afterwards.
class Statement {
  public:
    Statement(sqlite3* db, const std::string& sql) {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &m_statement, nullptr) != SQLITE_OK) {
            m_statement = nullptr;
        }
    }
    explicit Statement(sqlite3_stmt* kept) : m_statement(kept), m_owned(false) {}
    ~Statement() {
        if (m_owned) {
            sqlite3_finalize(m_statement);
        } else if (m_statement != nullptr) {
            sqlite3_reset(m_statement);
            sqlite3_clear_bindings(m_statement);
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return m_statement != nullptr; }
    Statement& Bind(int index, const std::string& text) {
        sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    Statement& BindBlob(int index, const std::string& bytes) {
        sqlite3_bind_blob(m_statement, index, bytes.data(), static_cast<int>(bytes.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Bind(int index, long number) {
        sqlite3_bind_int64(m_statement, index, number);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step() { return m_statement ? sqlite3_step(m_statement) : SQLITE_ERROR; }
    long Long(int column) const {
        return static_cast<long>(sqlite3_column_int64(m_statement, column));
    }
    std::string Text(int column) const {
        const void* bytes = sqlite3_column_blob(m_statement, column);
        int size = sqlite3_column_bytes(m_statement, column);
        return bytes ? std::string(static_cast<const char*>(bytes), static_cast<std::size_t>(size))
                     : std::string();
    }

  private:
    sqlite3_stmt* m_statement = nullptr;
    bool m_owned = true;
};

}  // namespace zn::server
