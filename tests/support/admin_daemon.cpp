// The real administration server, zngroups-admind, run by a test as the administration
// server of one sandbox domain, with a journal of its own.
#include "tests/support/admin_daemon.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/admin_server.h"
#include "tests/support/sandbox.h"

namespace zntest {
namespace {

std::string ProviderOf(const std::string& domain) {
    if (domain.empty()) return "ldap5";
    bool digit = domain.back() >= '0' && domain.back() <= '9';
    return "ldap" + domain + (digit ? "-5" : "5");
}

// Whether something accepts TCP connections on address:port (loopback: refusals are
// immediate, so a short bound suffices).
bool Accepts(const std::string& address, int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, address.c_str(), &peer.sin_addr);
    bool connected = connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0;
    if (!connected && errno == EINPROGRESS) {
        pollfd entry{fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        connected = poll(&entry, 1, 200) == 1 &&
                    getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
    }
    close(fd);
    return connected;
}

bool WaitGone(pid_t pid, std::chrono::milliseconds bound) {
    auto deadline = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        pid_t got = waitpid(pid, &status, WNOHANG);
        if (got == pid || (got < 0 && errno == ECHILD)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

}  // namespace

int AdminPortOf(const std::string& domain) {
    if (domain == "EUROPE") return 60661;
    if (domain == "ASIA2") return 60662;
    return kAdminPort;
}

std::vector<std::string> TlsArguments(bool proof) {
    std::vector<std::string> args = {"--tls-cert", SandboxDir() + "/tls/server.pem", "--tls-key",
                                     SandboxDir() + "/tls/server.key"};
    if (proof) args.push_back("--require-proof");
    return args;
}

ScopedAdminTls::ScopedAdminTls(const std::string& caFile, const char* adminTls) {
    const std::string ca = caFile.empty() ? SandboxDir() + "/tls/ca.pem" : caFile;
    // No machine-wide file may decide for the test.
    const std::pair<const char*, const char*> settings[] = {
        {"ZNGROUPS_ADMIN_TLS", adminTls}, {"ZNGROUPS_TLS_CA", ca.c_str()},
        {"ZNGROUPS_CONFIG", "/dev/null"}};
    for (const auto& [name, value] : settings) {
        const char* old = std::getenv(name);
        m_saved.push_back(Saved{name, old != nullptr, old != nullptr ? old : ""});
        setenv(name, value, 1);
    }
}

ScopedAdminTls::~ScopedAdminTls() {
    for (const Saved& saved : m_saved) {
        if (saved.set) {
            setenv(saved.name, saved.value.c_str(), 1);
        } else {
            unsetenv(saved.name);
        }
    }
}

AdminDaemon::AdminDaemon(AdminDaemonOptions options) : m_options(std::move(options)) {
    std::string pattern = SandboxDir() + "/admind-test.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw SandboxError("cannot make a directory for the administration server");
    }
    m_directory = pattern;
    m_journal = m_directory + "/journal.db";
    std::ofstream(m_directory + "/password") << "zngadmin\n";
    m_address = ResolveIPv4("ldap" + m_options.domain + "adm");
    m_port = m_options.port != 0 ? m_options.port : AdminPortOf(m_options.domain);
    Start();
}

AdminDaemon::~AdminDaemon() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        if (!WaitGone(m_pid, std::chrono::seconds(5))) {
            kill(m_pid, SIGKILL);
            WaitGone(m_pid, std::chrono::seconds(5));
        }
    }
    std::system(("rm -rf '" + m_directory + "'").c_str());
}

int AdminDaemon::RunOnce(const std::vector<std::string>& options, std::string& output) const {
    std::vector<std::string> args = Arguments();
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const std::string file = m_directory + "/run-once.out";
    pid_t pid = fork();
    if (pid == 0) {
        int out = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    output = text.str();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> AdminDaemon::Arguments() const {
    const std::string provider = ResolveIPv4(ProviderOf(m_options.domain));
    const long first = m_options.domain.empty() ? 1 : m_options.domain == "EUROPE" ? 100000001
                                                                                   : 200000001;
    std::vector<std::string> args = {ZNGROUPS_ADMIND_FILE,
                                     "--listen", m_address,
                                     "--port", std::to_string(m_port),
                                     "--uri", "ldap://" + provider,
                                     "--bind-dn", "cn=admin," + BaseDN(),
                                     "--password-file", m_directory + "/password",
                                     "--base-dn", BaseDN(),
                                     "--journal", m_journal,
                                     "--first-change-number", std::to_string(first)};
    args.insert(args.end(), m_options.extraArguments.begin(), m_options.extraArguments.end());
    return args;
}

void AdminDaemon::Start() {
    std::vector<std::string> args = Arguments();
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    // Everything the child needs is made before fork: only async-signal-safe calls after it.
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
    if (m_options.pauseAfterJournalMilliseconds > 0) {
        environment.push_back("ZNGROUPS_ADMIND_PAUSE_AFTER_JOURNAL_MS=" +
                              std::to_string(m_options.pauseAfterJournalMilliseconds));
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    const std::string log = m_directory + "/admind.log";
    pid_t pid = fork();
    if (pid < 0) {
        throw SandboxError("fork failed");
    }
    if (pid == 0) {
        int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (out >= 0) {
            dup2(out, STDERR_FILENO);
            dup2(out, STDOUT_FILENO);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    m_pid = pid;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            throw SandboxError("zngroups-admind exited at start:\n" + Log());
        }
        if (Accepts(m_address, m_port)) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Kill(SIGKILL);
    throw SandboxError("zngroups-admind did not accept connections within 10 s:\n" + Log());
}

void AdminDaemon::Kill(int signal) {
    if (m_pid <= 0) {
        return;
    }
    kill(m_pid, signal);
    if (!WaitGone(m_pid, std::chrono::seconds(10))) {
        kill(m_pid, SIGKILL);
        WaitGone(m_pid, std::chrono::seconds(5));
    }
    m_pid = -1;
}

void AdminDaemon::Signal(int signal) const {
    if (m_pid > 0) kill(m_pid, signal);
}

std::string AdminDaemon::Log() const {
    std::ifstream file(m_directory + "/admind.log");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string AdminDaemon::GrowChangeLog(const std::string& group, int count) const {
    sqlite3* db = nullptr;
    if (sqlite3_open(m_journal.c_str(), &db) != SQLITE_OK) {
        const std::string problem = db != nullptr ? sqlite3_errmsg(db) : "cannot open " + m_journal;
        sqlite3_close(db);
        return problem;
    }
    sqlite3_busy_timeout(db, 5000);
    const std::string sql =
        "BEGIN IMMEDIATE;"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
        std::to_string(count) +
        ")"
        " INSERT INTO changes (number, received, completed, client, user_name, request, kind,"
        "  group_name, target, state, code, reason, plan)"
        " SELECT (SELECT MAX(number) FROM changes) + i, '2026-01-01T00:00:00Z', "
        "'2026-01-01T00:00:00Z',"
        "  'grown', 'ASMITH', 'grown', 'SET DESCRIPTION', '" +
        group +
        "', '', 'applied', 1, '', '' FROM n;"
        "INSERT INTO group_changes (log, number) SELECT"
        " (SELECT id FROM group_logs WHERE name = '" +
        group +
        "' AND live = 1), number"
        " FROM changes WHERE request = 'grown' AND group_name = '" +
        group +
        "';"
        "COMMIT;";
    char* error = nullptr;
    std::string problem;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        problem = error != nullptr ? error : "the journal refused the records";
    }
    sqlite3_free(error);
    sqlite3_close(db);
    return problem;
}

}  // namespace zntest
