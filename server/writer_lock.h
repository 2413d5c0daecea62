// The one writer of a domain's directory: the serving server's changes and a --repair run
// beside it take turns, so that neither writes what it read before the other wrote.
#pragma once

#include <mutex>
#include <string>

namespace zn::server {

// A mutex for the threads of one process and an flock(2) on a file beside the journal for
// the processes that share the journal. Without a lock file (it could not be opened) only
// the mutex is taken.
class WriterLock {
  public:
    WriterLock() = default;
    ~WriterLock();
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

    // Shares the lock with every process that opens it for the same journal.
    bool Open(const std::string& journalPath, std::string& error);
    void lock();
    void unlock();

  private:
    std::mutex m_threads;
    int m_fd = -1;
};

}  // namespace zn::server
