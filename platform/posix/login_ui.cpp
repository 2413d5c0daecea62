// POSIX back end of the login dialog: the controlling terminal (/dev/tty), a caption line,
// the user name prompt with the pre-filled name, the password without echo, the retry
// question. No terminal, no dialog.
#include "platform/login_ui.h"

#include <errno.h>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <mutex>

namespace zn::platform {
namespace {

std::mutex g_dialogOpen;

// The terminal, closed by its owner.
class Terminal {
  public:
    Terminal() : m_fd(open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY)) {}
    ~Terminal() {
        if (m_fd >= 0) close(m_fd);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;
    bool Open() const { return m_fd >= 0; }

    void Write(const std::string& text) const {
        std::size_t done = 0;
        while (done < text.size()) {
            ssize_t n = write(m_fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
            done += static_cast<std::size_t>(n);
        }
    }
    // Shows the prompt and reads one line without its end; false at end of input. Echo is
    // off before the prompt appears, so that nothing typed in answer to it is echoed, and
    // what was typed ahead is kept.
    bool ReadLine(const std::string& prompt, std::string& line, bool echo) const {
        termios saved{};
        const bool quiet = !echo && tcgetattr(m_fd, &saved) == 0;
        if (quiet) {
            termios silent = saved;
            silent.c_lflag &= static_cast<tcflag_t>(~ECHO);
            silent.c_lflag |= ECHONL;
            tcsetattr(m_fd, TCSANOW, &silent);
        }
        Write(prompt);
        line.clear();
        bool ended = false;
        for (;;) {
            char c = 0;
            ssize_t n = read(m_fd, &c, 1);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ended = line.empty();
                break;
            }
            if (c == '\n') break;
            if (c != '\r') line += c;
        }
        if (quiet) tcsetattr(m_fd, TCSANOW, &saved);
        return !ended;
    }

  private:
    int m_fd;
};

bool IsYes(const std::string& answer) {
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes" || answer == "YES";
}

}  // namespace

int ShowLoginDialog(LoginDialogModel& model, long& lastError) {
    std::unique_lock<std::mutex> only(g_dialogOpen, std::try_to_lock);
    if (!only.owns_lock()) {
        lastError = EBUSY;
        return -1;
    }
    Terminal tty;
    if (!tty.Open()) {
        lastError = errno;
        return -1;
    }
    std::string caption;
    std::string userName;
    model.Create(caption, userName);
    tty.Write(caption + "\n");
    LoginField focus = LoginField::kUserName;
    std::string password;
    for (;;) {
        // A retry after a failed password asks for the password only, as the focus says.
        if (focus == LoginField::kUserName) {
            std::string typed;
            if (!tty.ReadLine(userName.empty() ? "Username: " : "Username [" + userName + "]: ",
                              typed, true)) {
                tty.Write("\n");
                model.Cancel();
                return model.EndValue();
            }
            if (!typed.empty()) userName = typed;
        }
        if (!tty.ReadLine("Password: ", password, false)) {
            tty.Write("\n");
            model.Cancel();
            return model.EndValue();
        }
        std::string question;
        if (model.Ok(userName, password, question, focus)) {
            return model.EndValue();
        }
        std::string answer;
        bool answered = tty.ReadLine(question + " [y/N] ", answer, true);
        if (model.Retry(answered && IsYes(answer))) {
            return model.EndValue();
        }
    }
}

}  // namespace zn::platform
