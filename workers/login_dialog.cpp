// The login dialog's behaviour: what creation, OK, the retry question and Cancel do to the
// worker, whatever draws the dialog.
#include "workers/login_dialog.h"

#include "session/status_codes.h"
#include "workers/worker_impl.h"

namespace zn {
namespace {

constexpr const char* kInvalidCredentialsText = "Username/Password combination is not valid.";
constexpr const char* kInvalidUserNameText = "Specified username is not valid.";
constexpr const char* kInvalidPasswordText = "Specified password is not valid.";

}  // namespace

void LoginDialog::Create(std::string& caption, std::string& userName) {
    // A dialog closed without success reports this.
    m_worker.SetErrorStatus(status::kInvalidCredentials, kInvalidCredentialsText);
    caption = m_worker.GetLoginDialogTitle();
    userName = m_worker.GetUserNameA();
    m_state = State::kWaiting;
}

bool LoginDialog::Ok(const std::string& userName, const std::string& password,
                     std::string& question, platform::LoginField& focus) {
    std::string message;
    if (userName.empty()) {
        message = kNoUserNameEntered;
        focus = platform::LoginField::kUserName;
        m_worker.SetErrorStatus(status::kInvalidUserName, kInvalidUserNameText);
    } else {
        m_worker.SetUserName(userName);
        focus = platform::LoginField::kPassword;
        if (password.empty()) {
            message = kNoPasswordEntered;
            m_worker.SetErrorStatus(status::kInvalidPassword, kInvalidPasswordText);
        } else if (m_worker.Authenticate(userName, password) == 1) {
            m_state = State::kEnded1;
            return true;
        } else {
            message = m_worker.GetErrorStatusText();
        }
    }
    question = message + kRetrySuffix;
    m_state = State::kAskingRetry;
    return false;
}

bool LoginDialog::Retry(bool yes) {
    m_state = yes ? State::kWaiting : State::kEnded2;
    return !yes;
}

const char* LoginDialog::OutOfMemory() {
    // The error status stays as it was: nothing was checked.
    m_state = State::kAskingRetry;
    return kOutOfMemoryQuestion;
}

void LoginDialog::Cancel() {
    m_worker.SetErrorStatus(status::kInvalidCredentials, kInvalidCredentialsText);
    m_state = State::kEnded2;
}

}  // namespace zn
