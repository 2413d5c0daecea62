// The two file-system calls of the spool whose form differs between operating systems.
#pragma once

namespace zni::spool {

// Creates one folder that takes the permissions of the spool root; 0 or the errno value.
int MakeSpoolFolder(const char* path, unsigned rootMode);

// Creates a file that must not exist yet, for writing; the descriptor, or -1 with errno set.
int CreateNewFile(const char* path);

}  // namespace zni::spool
