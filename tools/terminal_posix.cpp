// Terminal services on POSIX: /dev/tty with echo turned off.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "tools/terminal.h"

namespace zntool {
namespace {

constexpr std::size_t kLongestSecret = 256;

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

bool ReadSecretFromTerminal(const std::string& prompt, std::string& secret) {
    // The controlling terminal, not standard input: a password is never read from a pipe.
    int tty = open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0) {
        return false;
    }
    termios saved{};
    bool quiet = tcgetattr(tty, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= static_cast<tcflag_t>(~ECHO);
        silent.c_lflag |= ECHONL;
        tcsetattr(tty, TCSANOW, &silent);
    }
    // Echo is off before the prompt appears, so nothing typed in answer is shown.
    WriteAll(tty, prompt);
    secret.clear();
    char c = 0;
    while (read(tty, &c, 1) == 1 && c != '\n' && c != '\r') {
        if (secret.size() < kLongestSecret) secret += c;
    }
    if (quiet) {
        tcsetattr(tty, TCSANOW, &saved);
    } else {
        WriteAll(tty, "\n");
    }
    close(tty);
    return true;
}

bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

}  // namespace zntool
