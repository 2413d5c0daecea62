// Writing, listing and claiming messages in the local spool.
#include "messaging/spool.h"
#include "messaging/spool_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace zni::spool {
namespace {

namespace fs = std::filesystem;

std::string Describe(int error) {
    return std::generic_category().message(error);
}

bool IsAddressCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.';
}

std::vector<std::string> AddressComponents(const std::string& address) {
    std::vector<std::string> components;
    std::size_t start = 1;
    while (start <= address.size()) {
        std::size_t end = address.find('/', start);
        if (end == std::string::npos) end = address.size();
        components.push_back(address.substr(start, end - start));
        start = end + 1;
    }
    return components;
}

// Time first so that names sort in sending order; the process and a counter make the name
// unique among all writers of one machine.
std::string MessageName() {
    static std::atomic<unsigned long> counter{0};
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm utc{};
    gmtime_r(&now.tv_sec, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%S", &utc);
    char name[96];
    std::snprintf(name, sizeof name, "%s.%09ldZ-%ld-%lu.msg", stamp, now.tv_nsec,
                  static_cast<long>(getpid()), counter.fetch_add(1));
    return name;
}

std::string MakeFolders(const std::string& root, unsigned rootMode, const std::string& address,
                        std::string& folder) {
    folder = root;
    for (const std::string& component : AddressComponents(address)) {
        folder += '/';
        folder += component;
        int error = MakeSpoolFolder(folder.c_str(), rootMode);
        if (error == 0) continue;
        struct stat info {};
        if (error == EEXIST && stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            continue;
        }
        return "cannot create spool folder " + folder + ": " +
               Describe(error == EEXIST ? ENOTDIR : error);
    }
    return {};
}

std::string WriteAll(int fd, const std::string& contents) {
    std::size_t written = 0;
    while (written < contents.size()) {
        // Messages are at most kMaxContents bytes, which Windows' unsigned count holds.
        auto n =
            write(fd, contents.data() + written, static_cast<unsigned>(contents.size() - written));
        if (n < 0) {
            if (errno == EINTR) continue;
            return Describe(errno);
        }
        written += static_cast<std::size_t>(n);
    }
    return {};
}

}  // namespace

std::string RootFromEnvironment() {
    const char* root = std::getenv(kRootVariable);
    return root != nullptr && *root != '\0' ? root : DefaultRoot();
}

std::string CheckAddress(const std::string& address) {
    if (address.size() > kMaxAddress) {
        return "destination address is longer than " + std::to_string(kMaxAddress) + " bytes";
    }
    bool valid = !address.empty() && address[0] == '/';
    if (valid) {
        for (const std::string& component : AddressComponents(address)) {
            // A leading dot would hide the folder from readers and allows "." and "..".
            valid = valid && !component.empty() && component[0] != '.' &&
                    std::all_of(component.begin(), component.end(), IsAddressCharacter);
        }
    }
    if (!valid) {
        return "invalid destination address \"" + address +
               "\": expected /NAME/NAME... of letters, digits, '.', '_' and '-'";
    }
    return {};
}

std::string Deliver(const std::string& root, const std::string& address,
                    const std::string& contents) {
    if (contents.size() > kMaxContents) {
        return "message of " + std::to_string(contents.size()) +
               " bytes is larger than the spool's limit of " + std::to_string(kMaxContents) +
               " bytes";
    }
    std::string problem = CheckAddress(address);
    if (!problem.empty()) return problem;

    // The address's folder usually exists already: the file is tried first, and the root
    // checked and the folders made only when it cannot be created there.
    std::string folder = root + address;
    const std::string name = MessageName();
    int fd = CreateNewFile((folder + "/." + name + ".tmp").c_str());
    if (fd < 0 && (errno == ENOENT || errno == ENOTDIR)) {
        struct stat info {};
        if (stat(root.c_str(), &info) != 0) {
            return "message spool " + root + " is not available: " + Describe(errno) + " (set " +
                   kRootVariable + " to the spool folder)";
        }
        if (!S_ISDIR(info.st_mode)) return "message spool " + root + " is not a folder";
        problem = MakeFolders(root, static_cast<unsigned>(info.st_mode), address, folder);
        if (!problem.empty()) return problem;
        fd = CreateNewFile((folder + "/." + name + ".tmp").c_str());
    }
    const std::string temporary = folder + "/." + name + ".tmp";
    const std::string final = folder + "/" + name;
    if (fd < 0) return "cannot write to spool folder " + folder + ": " + Describe(errno);
    problem = WriteAll(fd, contents);
    if (close(fd) != 0 && problem.empty()) problem = Describe(errno);
    if (problem.empty() && rename(temporary.c_str(), final.c_str()) != 0) {
        problem = Describe(errno);
    }
    if (!problem.empty()) {
        unlink(temporary.c_str());
        return "cannot write message " + final + ": " + problem;
    }
    return {};
}

bool List(const std::string& root, const std::string& address, std::vector<Entry>& entries,
          std::string& error) {
    entries.clear();
    std::error_code code;
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, code);
    if (code) {
        error = "cannot read message spool " + root + ": " + code.message();
        return false;
    }
    std::string prefix = address;
    while (!prefix.empty() && prefix.back() == '/') prefix.pop_back();
    for (; it != fs::recursive_directory_iterator(); it.increment(code)) {
        if (code) break;
        const fs::path& path = it->path();
        const std::string name = path.filename().string();
        if (name.empty() || name[0] == '.' || path.extension() != ".msg") continue;
        if (!it->is_regular_file(code)) continue;
        Entry entry;
        entry.address = "/" + path.parent_path().lexically_relative(root).generic_string();
        if (!prefix.empty() && entry.address != prefix &&
            entry.address.compare(0, prefix.size() + 1, prefix + "/") != 0) {
            continue;
        }
        entry.path = path.string();
        entry.name = name;
        entry.size = it->file_size(code);
        entries.push_back(std::move(entry));
    }
    if (code) {
        error = "cannot read message spool " + root + ": " + code.message();
        return false;
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.name != b.name ? a.name < b.name : a.address < b.address;
    });
    return true;
}

bool ReadMessage(const std::string& path, std::string& contents, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    if (in) buffer << in.rdbuf();
    if (!in) {
        error = "cannot read message " + path;
        return false;
    }
    contents = buffer.str();
    return true;
}

bool Claim(const Entry& entry, std::string& claimedPath, std::string& error) {
    claimedPath = fs::path(entry.path).parent_path().string() + "/." + entry.name + ".claimed";
    if (rename(entry.path.c_str(), claimedPath.c_str()) == 0) return true;
    error = errno == ENOENT ? std::string()
                            : "cannot take message " + entry.path + ": " + Describe(errno);
    return false;
}

}  // namespace zni::spool
