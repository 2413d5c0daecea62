// The real administration server, zngroups-admind, run by a test as the administration
// server of one sandbox domain, with a journal of its own.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace zntest {

struct AdminDaemonOptions {
    // "" for the local servers, "EUROPE", "ASIA2".
    std::string domain;
    // Further options, e.g. {"--allow", "127.0.9.9"}.
    std::vector<std::string> extraArguments;
    // Another port than the domain's (0), e.g. for a second server on the same address.
    int port = 0;
    // Sets the server's pause between journalling a change and writing it (crash tests).
    int pauseAfterJournalMilliseconds = 0;
};

class AdminDaemon {
  public:
    // Starts the server on the domain's administration address and port against the
    // domain's provider (server 5) and returns once it accepts connections. Throws
    // SandboxError when it cannot (its log is in the message).
    explicit AdminDaemon(AdminDaemonOptions options = {});
    // Stops it with SIGTERM (SIGKILL after 5 s) and removes its journal.
    ~AdminDaemon();
    AdminDaemon(const AdminDaemon&) = delete;
    AdminDaemon& operator=(const AdminDaemon&) = delete;

    // Sends `signal` and waits until the process is gone.
    void Kill(int signal);
    // Sends `signal` and returns at once (SIGSTOP, SIGCONT).
    void Signal(int signal) const;
    // Starts it again on the same journal.
    void Start();
    bool Running() const { return m_pid > 0; }
    // Takes effect at the next Start.
    void SetPauseAfterJournal(int milliseconds) {
        m_options.pauseAfterJournalMilliseconds = milliseconds;
    }

    const std::string& Address() const { return m_address; }
    int Port() const { return m_port; }
    const std::string& JournalPath() const { return m_journal; }
    // Gives `group`'s change log `count` more records, written straight into the journal in
    // one transaction (through the server they would take minutes); empty, or what failed.
    std::string GrowChangeLog(const std::string& group, int count) const;
    // What it wrote to standard error so far.
    std::string Log() const;
    // Runs the server once more with the same settings and `options` (e.g. --check) beside
    // this one; its exit status, and in `output` what it wrote.
    int RunOnce(const std::vector<std::string>& options, std::string& output) const;

  private:
    std::vector<std::string> Arguments() const;

    AdminDaemonOptions m_options;
    std::string m_directory;
    std::string m_journal;
    std::string m_address;
    int m_port = 0;
    pid_t m_pid = -1;
};

// The domain's administration port: 60660 for the local servers, as DomainPorts says for
// the others.
int AdminPortOf(const std::string& domain);

// The options that make a server speak TLS with the sandbox's certificate, and with `proof`
// take changes only with their requester's password.
std::vector<std::string> TlsArguments(bool proof);

// The library's administration channel speaks TLS, trusting `caFile` (the sandbox's
// authority when empty), for the life of the object; the settings it found are restored after.
class ScopedAdminTls {
  public:
    explicit ScopedAdminTls(const std::string& caFile = "", const char* adminTls = "on");
    ~ScopedAdminTls();
    ScopedAdminTls(const ScopedAdminTls&) = delete;
    ScopedAdminTls& operator=(const ScopedAdminTls&) = delete;

  private:
    struct Saved {
        const char* name;
        bool set;
        std::string value;
    };
    std::vector<Saved> m_saved;
};

}  // namespace zntest
