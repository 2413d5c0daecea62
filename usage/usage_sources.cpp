// The platform's answers to the usage report's questions, and their replacement in tests.
#include <atomic>
#include <map>
#include <mutex>

#include "platform/file_version.h"
#include "platform/host_info.h"
#include "usage/usage_report.h"

namespace zn {
namespace {

std::atomic<const UsageSources*> g_replacement{nullptr};

}  // namespace

UsageSources::~UsageSources() = default;

std::string UsageSources::HostName() const {
    // One process-wide value, initialised once even when objects on several threads report
    // at the same moment.
    static const std::string name = [] {
        std::string host;
        return platform::ReadHostName(host) ? host : std::string(kHostNameFailure);
    }();
    return name;
}

bool UsageSources::ExecutablePath(std::string& path) const {
    // The program does not change under a running process; a path that could not be read is
    // asked for again next time.
    static const std::string known = [] {
        std::string found;
        return platform::ExecutablePath(found) ? found : std::string();
    }();
    if (!known.empty()) {
        path = known;
        return true;
    }
    return platform::ExecutablePath(path);
}

bool UsageSources::LibraryPath(std::string& path) const {
    return platform::LibraryModulePath(path);
}

std::string UsageSources::FileVersion(const std::string& path) const {
    // The program's and the library's files stay what they were while the process runs, and
    // reading a version takes a hundred small reads: each path is read once per process, not
    // once per object's first report.
    static std::mutex lock;
    static std::map<std::string, std::string> known;
    {
        std::lock_guard<std::mutex> guard(lock);
        auto found = known.find(path);
        if (found != known.end()) return found->second;
    }
    std::string version = ReadVersion(path);
    std::lock_guard<std::mutex> guard(lock);
    return known.emplace(path, std::move(version)).first->second;
}

std::string UsageSources::ReadVersion(const std::string& path) {
    std::string version;
    switch (platform::ReadFileVersion(path, version)) {
        case platform::VersionLookup::kFound:
            return version;
        case platform::VersionLookup::kNoFileVersionEntry:
            return kNoVersionFound;
        case platform::VersionLookup::kNoBuffer:
            return kVersionBufferFailure;
        case platform::VersionLookup::kNoVersionInformation:
            break;
    }
    return {};
}

const UsageSources& CurrentUsageSources() {
    static const UsageSources platformSources;
    const UsageSources* replacement = g_replacement.load();
    return replacement != nullptr ? *replacement : platformSources;
}

ScopedUsageSources::ScopedUsageSources(const UsageSources& sources)
    : m_previous(g_replacement.exchange(&sources)) {}

ScopedUsageSources::~ScopedUsageSources() {
    g_replacement.store(m_previous);
}

}  // namespace zn
