// Windows form of the spool's folder and file creation.
#include "messaging/spool_files.h"

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>

namespace zni::spool {

// Folders inherit their access rights from the root's; there are no mode bits to copy.
int MakeSpoolFolder(const char* path, unsigned) {
    return _mkdir(path) == 0 ? 0 : errno;
}

// Binary, or the C runtime would write every line feed of a message as CR LF. Not inherited,
// so that a program the application starts meanwhile does not keep the file open.
int CreateNewFile(const char* path) {
    return _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                 _S_IREAD | _S_IWRITE);
}

}  // namespace zni::spool
