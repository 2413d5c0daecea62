// The pseudo-terminal driver: forkpty, a poll loop over the master side, waitpid.
#include "tests/support/terminal_script.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace zntest {

int RunOnTerminal(const std::function<void()>& child, const std::vector<TerminalStep>& script,
                  std::string& screen) {
    int master = -1;
    pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) {
        ADD_FAILURE() << "forkpty failed";
        return -1;
    }
    if (pid == 0) {
        child();
        _exit(127);
    }
    screen.clear();
    std::size_t seen = 0;
    auto readUntil = [&](const std::string& text) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (screen.find(text, seen) == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            pollfd entry{master, POLLIN, 0};
            if (poll(&entry, 1, 100) <= 0) continue;
            char buffer[512];
            ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) break;
            screen.append(buffer, static_cast<std::size_t>(n));
        }
        std::size_t at = screen.find(text, seen);
        if (at == std::string::npos) return false;
        seen = at + text.size();
        return true;
    };
    for (const TerminalStep& step : script) {
        if (!readUntil(step.waitFor)) {
            ADD_FAILURE() << "no '" << step.waitFor << "' on the terminal:\n" << screen;
            kill(pid, SIGKILL);
            break;
        }
        ssize_t written = write(master, step.type.data(), step.type.size());
        (void)written;
    }
    // Whatever is left, until the child closes the terminal; it never shows \x01.
    readUntil("\x01");
    int status = 0;
    waitpid(pid, &status, 0);
    close(master);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace zntest
