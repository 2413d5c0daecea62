// The usage report: its text, its address, and where its facts about the process come from.
#pragma once

#include <string>

namespace zn {

inline constexpr char kUsageDestination[] = "/BRANTOR/ZNI/IDM/ZNGROUPS/MSG";
inline constexpr char kUsageKeyword[] = "ZNGROUP_USAGE";
inline constexpr char kHostNameFailure[] = "FAILURE";
inline constexpr char kNoLibraryFileName[] = "Error finding the filename for DLL";
inline constexpr char kVersionBufferFailure[] = "Error finding version";
inline constexpr char kNoVersionFound[] = "No Version found";
inline constexpr char kMessagingErrorLine[] = "Exception occurred. Reported error msg: ";
inline constexpr char kUnknownErrorLine[] =
    "Simple CZIPC SendReceive() test failed. Unknown exception thrown.";

struct UsageFields {
    std::string applicationName;
    std::string applicationPath;
    std::string applicationVersion;
    std::string groupName;
    std::string functionName;
    std::string className;
    std::string machineName;
    std::string libraryFileName;
    std::string libraryPath;
    std::string libraryVersion;
    std::string domain;
};

// "ZNGROUP_USAGE" and the eleven fields, each as ` NAME="value"`, values unescaped.
std::string FormatUsageReport(const UsageFields& fields);

// The group name as reported: only ".", "_", " ", "-", digits and letters are kept, letters
// in their own case; every other byte, non-ASCII ones included, is dropped.
std::string UsageGroupNameValue(const std::string& groupName);

// The text after the last path separator; false, leaving fileName alone, when there is none.
bool SplitFileName(const std::string& path, std::string& fileName);

// Where the report learns the machine, the program and the library. Tests put a double in
// place with ScopedUsageSources; otherwise the platform services answer.
class UsageSources {
  public:
    virtual ~UsageSources();
    // Read once per process; "FAILURE" when the system cannot tell it.
    virtual std::string HostName() const;
    virtual bool ExecutablePath(std::string& path) const;
    virtual bool LibraryPath(std::string& path) const;
    // The version, "" without version information, or one of the failure texts above.
    virtual std::string FileVersion(const std::string& path) const;

  private:
    static std::string ReadVersion(const std::string& path);
};

const UsageSources& CurrentUsageSources();

class ScopedUsageSources {
  public:
    explicit ScopedUsageSources(const UsageSources& sources);
    ~ScopedUsageSources();
    ScopedUsageSources(const ScopedUsageSources&) = delete;
    ScopedUsageSources& operator=(const ScopedUsageSources&) = delete;

  private:
    const UsageSources* m_previous;
};

}  // namespace zn
