// The login dialog on the platform's user interface: the platform shows it and reports what
// the user did; what the dialog means is decided above, by the model it drives.
#pragma once

#include <string>

namespace zn::platform {

// Caption of the retry question's box.
inline constexpr const char* kAuthenticationErrorCaption = "Authentication Error";

// Where the input focus goes, with its text selected, after a failed OK.
enum class LoginField { kUserName, kPassword };

// The dialog's behaviour, independent of how it is drawn.
class LoginDialogModel {
  public:
    virtual ~LoginDialogModel() = default;
    // On creation: the caption and the user name the user-name field starts with.
    virtual void Create(std::string& caption, std::string& userName) = 0;
    // OK with the fields' texts. True when the dialog has ended; otherwise `question` is the
    // retry question to ask and `focus` the field that takes the focus if the user retries.
    virtual bool Ok(const std::string& userName, const std::string& password,
                    std::string& question, LoginField& focus) = 0;
    // The answer to the retry question; true when the dialog has ended.
    virtual bool Retry(bool yes) = 0;
    // A field's text could not be read for want of memory: the retry question to ask, which
    // needs no memory of its own.
    virtual const char* OutOfMemory() = 0;
    virtual void Cancel() = 0;
    // 1 when the user was authenticated, 2 otherwise.
    virtual int EndValue() const = 0;
};

// Shows the dialog modally and returns its end value, or -1 when it cannot be shown, with
// the platform's error number in `lastError`. One dialog per process at a time: a second
// one fails to appear while the first is open.
int ShowLoginDialog(LoginDialogModel& model, long& lastError);

}  // namespace zn::platform
