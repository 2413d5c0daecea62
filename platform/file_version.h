// The file version that a program or library file carries.
#pragma once

#include <string>

namespace zn::platform {

enum class VersionLookup {
    kFound,
    kNoVersionInformation,  // the file carries no version information (or cannot be read)
    kNoFileVersionEntry,    // it does, but without a file version
    kNoBuffer,              // the version information is too large to be read
};

// Looks up the file version of the file at `path`; `version` is set only when found.
VersionLookup ReadFileVersion(const std::string& path, std::string& version);

}  // namespace zn::platform
