// Windows form of the spool's folder and file creation.
#include "messaging/spool_files.h"

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "messaging/spool.h"

namespace zni::spool {

// All users share %ProgramData%; the variable is set in every session since Windows Vista.
std::string DefaultRoot() {
    const char* data = std::getenv("ProgramData");
    return std::string(data != nullptr && *data != '\0' ? data : "C:\\ProgramData") +
           "\\ZNI\\spool";
}

const bool kSenderMakesDefaultRoot = true;

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
