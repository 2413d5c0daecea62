// Who the user is: password checks by real binds, generic accounts, single sign-on, and the
// login dialog — its behaviour without a screen, and on a pseudo-terminal.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "CZNWorker.h"
#include "platform/host_info.h"
#include "session/trace.h"
#include "tests/support/sandbox_fixture.h"
#include "tests/support/terminal_script.h"
#include "workers/login_dialog.h"
#include "workers/worker_impl.h"

namespace zntest {
namespace {

class Authentication : public SandboxTest {
  protected:
    void TearDown() override {
        zn::platform::RestoreAccountNameForTesting();
        SandboxTest::TearDown();
    }
};

TEST_F(Authentication, PasswordsAreCheckedByBindingAsThePerson) {
    CZNWorkerImpl worker;
    EXPECT_EQ(worker.Authenticate("jdoe", "secret"), 1);
    EXPECT_EQ(worker.GetErrorStatusCode(), 1);
    EXPECT_EQ(worker.GetErrorStatusText(), "Success");
    // Upper case fails the first bind; the lower-case retry succeeds and is remembered.
    EXPECT_EQ(worker.Authenticate("jdoe", "SECRET"), 1);
    EXPECT_EQ(worker.GetPassword(), "secret");
    // A directory password with capitals has no lower-case retry to help it.
    EXPECT_EQ(worker.Authenticate("asmith", "tr0ubadour"), 0);
    EXPECT_EQ(worker.GetErrorStatusCode(), 30000);
    EXPECT_EQ(worker.GetErrorStatusText(), "Username/Password combination is not valid.");
    EXPECT_EQ(worker.Authenticate("longpw", LongPassword()), 1);
    EXPECT_EQ(worker.Authenticate("longpw", LongPassword() + "x"), 0);
    EXPECT_EQ(worker.GetErrorStatusCode(), 30007);
    EXPECT_EQ(worker.Authenticate("nobody", "secret"), 0);
    EXPECT_EQ(worker.GetErrorStatusCode(), 30005);
    EXPECT_EQ(worker.GetErrorStatusText(), "Specified username is not valid.");
    EXPECT_EQ(worker.Authenticate("", "secret"), 0);
    EXPECT_EQ(worker.GetErrorStatusCode(), 30005);
}

TEST_F(Authentication, GenericAccountsAreRefusedOnlyWhenAskedAndOnlyDirectMembers) {
    CZNWorker worker;
    EXPECT_EQ(worker.Authenticate("genacct", "generic"), 1);
    worker.SetAllowGenericAuthentication(0);
    EXPECT_EQ(worker.Authenticate("genacct", "generic"), 0);
    EXPECT_EQ(worker.GetErrorStatusCode(), 30049);
    EXPECT_EQ(worker.GetErrorStatusText(), "Specified username is a GENERIC Username");
    // batchacct is an eventual member through ZNGENERICS-BATCH, not a direct one.
    EXPECT_EQ(worker.Authenticate("batchacct", "batch"), 1);
    CZNWorker copy = worker;
    EXPECT_EQ(copy.Authenticate("genacct", "generic"), 0);
}

TEST_F(Authentication, AnOutageIsReportedAsAnOutageAfterOneLookup) {
    struct BindCounter : zn::trace::TraceSink {
        int binds = 0;
        void OnBind(const zn::trace::BindRecord&) override { ++binds; }
        void OnSearch(const zn::trace::SearchRecord&) override {}
        void OnAdminRequest(const zn::trace::AdminRecord&) override {}
    } counter;
    zn::trace::SetSink(&counter);
    CZNWorkerImpl worker;
    {
        ScopedFault down(Fault::kRefuse, {"ldap5", "ldap4", "ldap3", "ldap2", "ldap1"});
        // Nobody is authenticated, and the reason is the directory, not the user name.
        EXPECT_EQ(worker.Authenticate("jdoe", "secret"), 0);
        EXPECT_EQ(worker.GetErrorStatusCode(), 30006);
        EXPECT_NE(worker.GetErrorStatusText().find("No connection available to an LDAP server."),
                  std::string::npos)
            << worker.GetErrorStatusText();
        EXPECT_EQ(counter.binds, 5) << "each server tried once";
    }
    // Once the directory answers again, an unknown user is one lookup and no bind as him.
    counter.binds = 0;
    EXPECT_EQ(worker.Authenticate("nobody", "secret"), 0);
    EXPECT_EQ(worker.GetErrorStatusCode(), 30005);
    EXPECT_EQ(worker.GetErrorStatusText(), "Specified username is not valid.");
    EXPECT_EQ(counter.binds, 1);
    zn::trace::SetSink(nullptr);
}

TEST_F(Authentication, SingleSignOnTakesDirectAndNestedMembersWithoutAPassword) {
    for (const std::string account : {"egray", "ssouser"}) {
        zn::platform::OverrideAccountNameForTesting(&account);
        CZNWorker worker;
        EXPECT_EQ(worker.Login(), 1) << account;
        EXPECT_EQ(worker.GetUserNameA(), account);
    }
}

// The dialog's behaviour, driven as a back end drives it.
TEST_F(Authentication, TheDialogModelFollowsEveryRowOfItsFailureTable) {
    CZNWorkerImpl worker;
    worker.SetLoginDialogTitle("Payroll sign-in");
    worker.SetUserName("jdoe");
    zn::LoginDialog dialog(worker);
    std::string caption, prefill, question;
    dialog.Create(caption, prefill);
    EXPECT_EQ(caption, "Payroll sign-in");
    EXPECT_EQ(prefill, "jdoe");
    zn::platform::LoginField focus = zn::platform::LoginField::kPassword;
    // Both empty: the user name is reported, the password not looked at.
    EXPECT_FALSE(dialog.Ok("", "", question, focus));
    EXPECT_EQ(question, "No username entered. Retry ?");
    EXPECT_EQ(focus, zn::platform::LoginField::kUserName);
    EXPECT_EQ(worker.GetErrorStatusCode(), 30005);
    EXPECT_EQ(dialog.GetState(), zn::LoginDialog::State::kAskingRetry);
    EXPECT_FALSE(dialog.Retry(true));
    EXPECT_EQ(dialog.GetState(), zn::LoginDialog::State::kWaiting);
    EXPECT_FALSE(dialog.Ok("cdoe", "", question, focus));
    EXPECT_EQ(question, "No password entered. Retry ?");
    EXPECT_EQ(focus, zn::platform::LoginField::kPassword);
    EXPECT_EQ(worker.GetErrorStatusCode(), 30007);
    EXPECT_FALSE(dialog.Retry(true));
    EXPECT_FALSE(dialog.Ok("jdoe", "wrong", question, focus));
    EXPECT_EQ(question, "Username/Password combination is not valid. Retry ?");
    EXPECT_TRUE(dialog.Retry(false));
    EXPECT_EQ(dialog.EndValue(), 2);
    EXPECT_EQ(worker.GetErrorStatusCode(), 30000);

    zn::LoginDialog second(worker);
    second.Create(caption, prefill);
    EXPECT_TRUE(second.Ok("jdoe", "secret", question, focus));
    EXPECT_EQ(second.EndValue(), 1);
    EXPECT_EQ(worker.GetErrorStatusText(), "Success");
    // No memory for a field's text: asked again, the status left as the last step set it.
    zn::LoginDialog starved(worker);
    starved.Create(caption, prefill);
    worker.SetErrorStatus(30007, "Specified password is not valid.");
    EXPECT_EQ(std::string(starved.OutOfMemory()), std::string(zn::kOutOfMemory) + zn::kRetrySuffix);
    EXPECT_EQ(starved.GetState(), zn::LoginDialog::State::kAskingRetry);
    EXPECT_EQ(worker.GetErrorStatusCode(), 30007);
    EXPECT_TRUE(starved.Retry(false));
    EXPECT_EQ(starved.EndValue(), 2);

    zn::LoginDialog cancelled(worker);
    cancelled.Create(caption, prefill);
    cancelled.Cancel();
    EXPECT_EQ(cancelled.EndValue(), 2);
    EXPECT_EQ(worker.GetErrorStatusText(), "Username/Password combination is not valid.");
}

using Step = zntest::TerminalStep;

// Runs Login in a child whose controlling terminal is a pseudo-terminal, answers its
// prompts from `script`, and returns the child's Login result.
long LoginOnTerminal(const std::string& account, const std::string& prefill,
                     const std::vector<Step>& script, std::string& screen) {
    return zntest::RunOnTerminal(
        [&] {
            zn::platform::OverrideAccountNameForTesting(&account);
            CZNWorker worker;
            worker.SetLoginDialogTitle("ZN Groups Authentication");
            long result = prefill.empty() ? worker.Login() : worker.Login(prefill);
            _exit(static_cast<int>(result & 0xFF));
        },
        script, screen);
}

TEST_F(Authentication, TheTerminalDialogAsksRetriesAndCancels) {
    std::string screen;
    // A wrong password, Yes, then the right one: only the password is asked again.
    EXPECT_EQ(LoginOnTerminal("nobody", "jdoe",
                              {{"Username [jdoe]: ", "\n"},
                               {"Password: ", "wrong\n"},
                               {"Retry ? [y/N] ", "y\n"},
                               {"Password: ", "secret\n"}},
                              screen),
              1)
        << screen;
    EXPECT_NE(screen.find("ZN Groups Authentication\r\n"), std::string::npos) << screen;
    EXPECT_NE(screen.find("Username/Password combination is not valid. Retry ? [y/N] "),
              std::string::npos);
    // The password is never echoed.
    EXPECT_EQ(screen.find("secret"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("wrong"), std::string::npos) << screen;
    // No: Login answers 5.
    EXPECT_EQ(
        LoginOnTerminal(
            "nobody", "jdoe",
            {{"Username [jdoe]: ", "\n"}, {"Password: ", "wrong\n"}, {"Retry ? [y/N] ", "n\n"}},
            screen),
        5);
    // No user name at all, then No.
    EXPECT_EQ(LoginOnTerminal("nobody", "",
                              {{"Username: ", "\n"},
                               {"Password: ", "x\n"},
                               {"No username entered. Retry ? [y/N] ", "\n"}},
                              screen),
              5);
    // End of input cancels.
    EXPECT_EQ(LoginOnTerminal("nobody", "", {{"Username: ", "\x04"}}, screen), 5);
}

TEST_F(Authentication, WithoutATerminalTheDialogCannotAppear) {
    pid_t child = fork();
    if (child == 0) {
        setsid();  // no controlling terminal from here on
        const std::string account = "nobody";
        zn::platform::OverrideAccountNameForTesting(&account);
        _exit(static_cast<int>(CZNWorker().Login() & 0xFF));
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), ENXIO);
}

}  // namespace
}  // namespace zntest
