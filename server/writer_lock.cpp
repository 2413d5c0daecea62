// The one writer of a domain's directory: the serving server's changes and a --repair run
// beside it take turns, so that neither writes what it read before the other wrote.
#include "server/writer_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zn::server {

bool WriterLock::Open(const std::string& journalPath, std::string& error) {
    const std::string path = journalPath + ".writer";
    m_fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) error = "cannot open " + path + ": " + std::strerror(errno);
    return m_fd >= 0;
}

WriterLock::~WriterLock() {
    if (m_fd >= 0) close(m_fd);
}

void WriterLock::lock() {
    m_threads.lock();
    // An interrupted wait is taken up again; any other failure leaves the mutex alone in
    // charge, as with no lock file.
    while (m_fd >= 0 && flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}

void WriterLock::unlock() {
    if (m_fd >= 0) flock(m_fd, LOCK_UN);
    m_threads.unlock();
}

}  // namespace zn::server
