// The login dialog's behaviour: what creation, OK, the retry question and Cancel do to the
// worker, whatever draws the dialog.
#pragma once

#include <string>

#include "platform/login_ui.h"

class CZNWorkerImpl;

namespace zn {

class LoginDialog : public platform::LoginDialogModel {
  public:
    enum class State { kCreated, kWaiting, kAskingRetry, kEnded1, kEnded2 };

    explicit LoginDialog(CZNWorkerImpl& worker) : m_worker(worker) {}

    void Create(std::string& caption, std::string& userName) override;
    bool Ok(const std::string& userName, const std::string& password, std::string& question,
            platform::LoginField& focus) override;
    bool Retry(bool yes) override;
    const char* OutOfMemory() override;
    void Cancel() override;
    int EndValue() const override { return m_state == State::kEnded1 ? 1 : 2; }

    State GetState() const { return m_state; }

  private:
    CZNWorkerImpl& m_worker;
    State m_state = State::kCreated;
};

// Texts the dialog shows.
inline constexpr const char* kNoUserNameEntered = "No username entered.";
inline constexpr const char* kNoPasswordEntered = "No password entered.";
inline constexpr const char* kRetrySuffix = " Retry ?";
inline constexpr const char* kOutOfMemory = "Out of Memory !";
// kOutOfMemory followed by kRetrySuffix, written out so that asking it allocates nothing.
inline constexpr const char* kOutOfMemoryQuestion = "Out of Memory ! Retry ?";

}  // namespace zn
