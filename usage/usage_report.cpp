// SendUsageReport: one report per object and group name, handed to the messaging component.
#include <iostream>
#include <mutex>
#include <set>
#include <utility>

#include "messaging/czipc_lite.h"
#include "messaging/zni_message.h"
#include "platform/host_info.h"
#include "session/directory_base.h"
#include "usage/usage_report.h"

namespace zn {

std::string FormatUsageReport(const UsageFields& fields) {
    const std::pair<const char*, const std::string*> named[] = {
        {"APPNAME", &fields.applicationName},
        {"EXEPATH", &fields.applicationPath},
        {"APPVERSION", &fields.applicationVersion},
        {"ZNGROUPNAME", &fields.groupName},
        {"FUNCTION", &fields.functionName},
        {"CLASS", &fields.className},
        {"MACHINE", &fields.machineName},
        {"DLLNAME", &fields.libraryFileName},
        {"DLLPATH", &fields.libraryPath},
        {"DLLVERSION", &fields.libraryVersion},
        {"DOMAIN", &fields.domain},
    };
    std::string text = kUsageKeyword;
    for (const auto& [name, value] : named) {
        text += ' ';
        text += name;
        text += "=\"";
        text += *value;
        text += '"';
    }
    return text;
}

std::string UsageGroupNameValue(const std::string& groupName) {
    std::string upper = groupName;
    CZNDirectoryBase::UpperCase(upper.data());
    std::string value;
    for (std::size_t i = 0; i < groupName.size(); ++i) {
        const char c = upper[i];
        if (c == '.' || c == '_' || c == ' ' || c == '-' || (c >= '0' && c <= '9') ||
            (c >= 'A' && c <= 'Z')) {
            value += groupName[i];
        }
    }
    return value;
}

bool SplitFileName(const std::string& path, std::string& fileName) {
    const std::size_t separator = path.find_last_of(platform::PathSeparators());
    if (separator == std::string::npos) return false;
    fileName = path.substr(separator + 1);
    return true;
}

namespace {

// A spool that is missing fails every report of every object the same way; one line per
// process says it, a line per object would bury the program's own output. Distinct texts
// still each get theirs, up to a bound on what is remembered.
constexpr std::size_t kMaxRememberedFailures = 64;

bool FirstTimeSeen(const std::string& line) {
    static std::mutex guard;
    static std::set<std::string> seen;
    const std::lock_guard<std::mutex> lock(guard);
    if (seen.count(line) != 0) return false;
    if (seen.size() < kMaxRememberedFailures) seen.insert(line);
    return true;
}

}  // namespace

void CZNDirectoryBase::SendUsageReport(const char* className, const char* functionName,
                                       const char* groupName) {
    if (m_reportsFor != nullptr) {
        m_reportsFor->SendUsageReport(className, functionName, groupName);
        return;
    }
    std::string key = groupName != nullptr ? groupName : "";
    key.erase(key.find_last_not_of('\n') + 1);
    m_lastInsertion = m_reportedNames.insert(key);
    if (!m_lastInsertion.second) return;

    const UsageSources& sources = CurrentUsageSources();
    m_machineName = sources.HostName();
    if (m_applicationName.empty()) LoadUsageModuleInformation(sources);

    // Nothing the messaging component throws may reach the operation that reports.
    try {
        UsageFields fields{m_applicationName,
                           m_applicationPath,
                           m_applicationVersion,
                           UsageGroupNameValue(key),
                           functionName != nullptr ? functionName : "",
                           className != nullptr ? className : "",
                           m_machineName,
                           m_libraryFileName,
                           m_libraryPath,
                           m_libraryVersion,
                           GetDomain()};
        CZIPCLite sender;
        zni::CIPCMessage message("", kUsageDestination, "", FormatUsageReport(fields));
        sender.SendAsync(message);
    } catch (const CZIPCError& error) {
        const std::string line = kMessagingErrorLine + error.ReportErrorMessage();
        if (FirstTimeSeen(line)) std::cerr << line << std::endl;
    } catch (...) {
        std::cerr << kUnknownErrorLine << std::endl;
    }
}

// Runs while the application name is unknown, so a program path without a separator is
// looked up again on the next report.
void CZNDirectoryBase::LoadUsageModuleInformation(const UsageSources& sources) {
    std::string path;
    std::string fileName;
    if (sources.ExecutablePath(path)) {
        if (SplitFileName(path, fileName)) {
            m_applicationName = fileName;
            m_applicationPath = path;
        }
        if (m_applicationVersion.empty()) m_applicationVersion = sources.FileVersion(path);
    }
    if (!sources.LibraryPath(path)) {
        m_libraryFileName = kNoLibraryFileName;
        m_libraryVersion = kNoLibraryFileName;
        return;
    }
    if (SplitFileName(path, fileName)) {
        m_libraryFileName = fileName;
        m_libraryPath = path;
    }
    if (m_libraryVersion.empty()) m_libraryVersion = sources.FileVersion(path);
}

}  // namespace zn
