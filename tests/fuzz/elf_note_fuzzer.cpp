// The file-version reader on any file: ELF headers, note ranges and descriptors of any size.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file_version.h"
#include "platform/posix/elf_version_note.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The reader takes a path; an anonymous file keeps the runs off the disk.
    static const int fd = memfd_create("elf-note-fuzz", MFD_CLOEXEC);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(ftruncate(fd, 0) == 0);
    FUZZ_CHECK(pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);

    std::string version = "unchanged";
    const zn::platform::VersionLookup found = zn::platform::ReadFileVersion(path, version);
    if (found == zn::platform::VersionLookup::kFound) {
        FUZZ_CHECK(version.size() < zn::platform::kMaxVersionNoteSize);
        FUZZ_CHECK(version.size() < size);
    } else {
        FUZZ_CHECK(version == "unchanged");
    }
    return 0;
}
