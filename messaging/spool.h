// The local message spool: where messages are written and how readers find them.
//
// Layout: <root>/<address components>/<name>.msg, one file per message holding exactly the
// message contents. Writers create ".<name>.tmp" in the destination folder and rename it into
// place, so readers, which skip names beginning with a dot, never see half a message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zni::spool {

inline constexpr const char* kRootVariable = "ZNI_SPOOL";
inline constexpr std::size_t kMaxContents = 64 * 1024;
inline constexpr std::size_t kMaxAddress = 1024;

// The root when ZNI_SPOOL names none: /var/spool/zni on POSIX systems, which the package makes
// (mode 1777) or the administrator with the group and mode its readers need;
// %ProgramData%\ZNI\spool on Windows, where no installer makes it and a sender makes it when
// missing.
std::string DefaultRoot();
extern const bool kSenderMakesDefaultRoot;

// The root named by ZNI_SPOOL, or the default when it is unset or empty.
std::string RootFromEnvironment();

// Empty when the address can name a spool folder, else the reason it cannot.
std::string CheckAddress(const std::string& address);

// Writes one message; empty on success, else what failed.
std::string Deliver(const std::string& root, const std::string& address,
                    const std::string& contents);

struct Entry {
    std::string address;  // "/A/B/C"
    std::string path;     // full path of the file
    std::string name;     // file name, time-ordered
    std::uintmax_t size = 0;
};

// Messages under root whose address is `address` or lies below it ("" or "/" for all),
// oldest first. False with a reason when the root cannot be read.
bool List(const std::string& root, const std::string& address, std::vector<Entry>& entries,
          std::string& error);

// Reads a whole message file.
bool ReadMessage(const std::string& path, std::string& contents, std::string& error);

// Takes a message away from other readers by renaming it to a hidden name; false when it
// is gone (another reader took it) or cannot be renamed. claimedPath receives the new name.
bool Claim(const Entry& entry, std::string& claimedPath, std::string& error);

}  // namespace zni::spool
