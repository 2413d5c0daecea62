// POSIX form of the spool's folder and file creation.
#include "messaging/spool_files.h"

#include <string>

#include "messaging/spool.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace zni::spool {

std::string DefaultRoot() {
    return "/var/spool/zni";
}

const bool kSenderMakesDefaultRoot = false;

// New folders take the root's permissions (without its sticky bit), whatever the writer's
// umask, so that a root set up for several users (group-writable and setgid, or 1777) stays
// usable by all of them below the first folder one of them created.
int MakeSpoolFolder(const char* path, unsigned rootMode) {
    if (mkdir(path, 0700) != 0) return errno;
    chmod(path, static_cast<mode_t>(rootMode & (S_ISGID | 0777)));
    return 0;
}

int CreateNewFile(const char* path) {
    return open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
}

}  // namespace zni::spool
