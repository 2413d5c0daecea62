// Server control of the sandboxed directory: start, stop, silence, listener faults and restore.
#include "tests/support/sandbox.h"

#include <dirent.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "tests/support/fault_listeners.h"

extern char** environ;

namespace zntest {
namespace {

using Clock = std::chrono::steady_clock;

std::string RequiredEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        throw SandboxError(std::string(name) +
                           " is not set: run the tests inside directory/sandbox, e.g. "
                           "`directory/sandbox -- ctest`");
    }
    return value;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ServerDir(const std::string& host) {
    std::string dir = SandboxDir() + "/servers/" + host;
    if (host.empty() || host.find('/') != std::string::npos || !IsDirectory(dir)) {
        throw SandboxError("no sandbox server named '" + host + "'");
    }
    return dir;
}

std::string FirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) throw SandboxError("cannot read " + path);
    return line;
}

// Runs a program of the sandbox and waits for it; `hint` tells where its
// complaint went.
void RunProgram(const std::string& path, std::vector<std::string> args, const char* hint) {
    args.insert(args.begin(), path);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ);
    if (rc != 0) throw SandboxError("cannot run " + path + ": " + std::strerror(rc));
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) throw SandboxError("waitpid for " + path + " failed");
    }
    if (WIFSIGNALED(status)) {
        throw SandboxError(path + " killed by signal " + std::to_string(WTERMSIG(status)));
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw SandboxError(path + " exited with " + std::to_string(WEXITSTATUS(status)) + "; " +
                           hint);
    }
}

// Runs one of the server's control scripts and waits for it.
void RunScript(const std::string& host, const char* script) {
    RunProgram(ServerDir(host) + "/" + script, {},
               "its complaint is on stderr, slapd's in slapd.log beside it");
}

// The name a server's `domain` file holds for a domain argument.
std::string DomainName(const std::string& domain) {
    std::string name = domain.empty() ? "LOCAL" : domain;
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

// Hosts of the domain whose `role` file reads `role`, sorted.
std::vector<std::string> DomainHosts(const std::string& domain, const std::string& role) {
    const std::string name = DomainName(domain);
    std::vector<std::string> hosts;
    bool known = false;
    for (const std::string& host : ServerHosts()) {
        if (FirstLine(ServerDir(host) + "/domain") != name) continue;
        known = true;
        if (FirstLine(ServerDir(host) + "/role") == role) hosts.push_back(host);
    }
    if (!known) throw SandboxError("no sandbox domain named '" + domain + "'");
    return hosts;
}

// State letter from /proc/PID/stat ('R', 'S', 'T', 'Z'…), 0 if gone.
char ProcessState(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    if (!std::getline(in, stat)) return 0;
    // The command name may itself contain ") ", so search from the end.
    auto close = stat.rfind(") ");
    return close == std::string::npos || close + 2 >= stat.size() ? 0 : stat[close + 2];
}

// Pid of the server's running slapd, 0 if none runs.
pid_t SlapdPid(const std::string& host) {
    std::ifstream in(ServerDir(host) + "/slapd.pid");
    long pid = 0;
    if (!(in >> pid) || pid <= 0) return 0;
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    char state = ProcessState(static_cast<pid_t>(pid));
    return name == "slapd" && state != 0 && state != 'Z' ? static_cast<pid_t>(pid) : 0;
}

pid_t RequireSlapdPid(const std::string& host) {
    pid_t pid = SlapdPid(host);
    if (pid == 0) throw SandboxError("the slapd of " + host + " is not running");
    return pid;
}

// Listener faults by host.  Guarded because a ScopedFault may be destroyed
// on another thread than the one that created it.
std::mutex g_faults_mutex;
std::map<std::string, std::unique_ptr<detail::ListenerFault>>& Faults() {
    static auto* faults = new std::map<std::string, std::unique_ptr<detail::ListenerFault>>;
    return *faults;
}

void EndListenerFault(const std::string& host) {
    std::unique_ptr<detail::ListenerFault> fault;
    {
        std::lock_guard<std::mutex> lock(g_faults_mutex);
        auto it = Faults().find(host);
        if (it == Faults().end()) return;
        fault = std::move(it->second);
        Faults().erase(it);
    }
    // Destroyed outside the lock: stopping a relay joins its thread.
}

void AddListenerFault(const std::string& host, std::unique_ptr<detail::ListenerFault> fault) {
    std::lock_guard<std::mutex> lock(g_faults_mutex);
    Faults()[host] = std::move(fault);
}

}  // namespace

void RequireSandbox() {
    std::string dir = RequiredEnv("ZNG_SANDBOX");
    if (!IsDirectory(dir + "/servers")) {
        throw SandboxError("ZNG_SANDBOX=" + dir + " is not a sandbox run directory");
    }
}

std::string SandboxDir() {
    RequireSandbox();
    return RequiredEnv("ZNG_SANDBOX");
}

std::string BaseDN() {
    RequireSandbox();
    return RequiredEnv("ZNG_BASE_DN");
}

std::vector<std::string> ServerHosts() {
    std::string dir = SandboxDir() + "/servers";
    std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(dir.c_str()), closedir);
    if (!listing) throw SandboxError("cannot list " + dir);
    std::vector<std::string> hosts;
    while (dirent* entry = readdir(listing.get())) {
        std::string name = entry->d_name;
        if (name != "." && name != ".." && IsDirectory(dir + "/" + name)) hosts.push_back(name);
    }
    std::sort(hosts.begin(), hosts.end());
    return hosts;
}

std::string ServerAddress(const std::string& host) {
    return FirstLine(ServerDir(host) + "/address");
}

std::string ProviderHost(const std::string& domain) {
    std::vector<std::string> providers = DomainHosts(domain, "provider");
    if (providers.size() != 1) {
        throw SandboxError("domain '" + domain + "' has " + std::to_string(providers.size()) +
                           " providers");
    }
    return providers.front();
}

std::vector<std::string> ConsumerHosts(const std::string& domain) {
    return DomainHosts(domain, "consumer");
}

void RestoreDirectory(const std::string& domain) {
    // A listener fault would hold the port the restarted slapd needs.
    for (const std::string& host : DomainHosts(domain, "provider")) EndListenerFault(host);
    for (const std::string& host : DomainHosts(domain, "consumer")) EndListenerFault(host);
    RunProgram(SandboxDir() + "/bin/restore-directory", {domain},
               "its complaint is on stderr, each slapd's in its slapd.log");
}

int OpenDescriptorCount() {
    std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir("/proc/self/fd"), closedir);
    if (!listing) throw SandboxError("cannot list /proc/self/fd");
    int count = 0;
    while (dirent* entry = readdir(listing.get())) {
        if (entry->d_name[0] != '.') ++count;
    }
    return count - 1;  // the descriptor of the listing itself
}

void StopServer(const std::string& host) {
    EndListenerFault(host);
    RunScript(host, "stop");
}

void StartServer(const std::string& host) {
    EndListenerFault(host);
    RunScript(host, "start");
}

void SilenceServer(const std::string& host) {
    pid_t pid = RequireSlapdPid(host);
    if (kill(pid, SIGSTOP) != 0) throw SandboxError("cannot SIGSTOP the slapd of " + host);
    // SIGSTOP takes effect asynchronously; callers expect silence at once.
    auto deadline = Clock::now() + std::chrono::seconds(2);
    while (ProcessState(pid) != 'T') {
        if (Clock::now() > deadline) throw SandboxError("the slapd of " + host + " did not stop");
        std::this_thread::sleep_for(Milliseconds(2));
    }
}

void ResumeServer(const std::string& host) {
    pid_t pid = RequireSlapdPid(host);
    if (kill(pid, SIGCONT) != 0) throw SandboxError("cannot SIGCONT the slapd of " + host);
    if (!WaitUntilAnswers(host, std::chrono::seconds(10))) {
        throw SandboxError(host + " does not answer after SIGCONT");
    }
}

void MakeUnresponsive(const std::string& host) {
    std::string address = ServerAddress(host);
    StopServer(host);
    AddListenerFault(host, std::make_unique<detail::HungListener>(address));
}

void StallAfterBind(const std::string& host, const std::string& relay_host) {
    if (relay_host == host)
        throw SandboxError("StallAfterBind needs a relay host other than " + host);
    std::string upstream = ServerAddress(relay_host);
    if (!WaitUntilAnswers(relay_host, std::chrono::seconds(5))) {
        throw SandboxError("relay host " + relay_host + " does not answer");
    }
    std::string address = ServerAddress(host);
    StopServer(host);
    AddListenerFault(host, std::make_unique<detail::StallRelay>(address, upstream));
}

void RestoreServer(const std::string& host, Milliseconds timeout) {
    EndListenerFault(host);
    if (pid_t pid = SlapdPid(host)) kill(pid, SIGCONT);
    // A healthy or just resumed server answers at once; anything else gets
    // the start script, which also replaces a slapd that will not recover.
    if (ProbeAnonymousBind(host, Milliseconds(500)) != BindResult::kAnswered) {
        RunScript(host, "start");
    }
    if (!WaitUntilAnswers(host, timeout))
        throw SandboxError(host + " does not answer after restore");
}

void RestoreAll(Milliseconds timeout) {
    std::string failures;
    for (const std::string& host : ServerHosts()) {
        try {
            RestoreServer(host, timeout);
        } catch (const SandboxError& e) {
            failures += std::string(failures.empty() ? "" : "; ") + e.what();
        }
    }
    if (!failures.empty()) throw SandboxError("RestoreAll: " + failures);
}

}  // namespace zntest
