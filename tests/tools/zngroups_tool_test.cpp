// The zngroups command-line tool run as a user runs it, against the sandboxed sample company.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/admin_daemon.h"
#include "tests/support/sandbox_fixture.h"
#include "tests/support/spool_folder.h"

namespace {

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Usage reports go to a private spool, so standard error holds only what the tool says.
class ToolCommands : public zntest::SandboxTest {
  protected:
    void SetUp() override {
        SandboxTest::SetUp();
        ASSERT_FALSE(m_spool.Root().empty());
    }

    Outcome Run(const std::string& arguments) const {
        return RunLine(std::string(ZNGROUPS_TOOL) + " " + arguments);
    }

    // A whole shell command line, its standard error captured.
    Outcome RunLine(const std::string& line) const {
        Outcome outcome;
        const std::string errFile = m_spool.Root() + "/stderr";
        int status = -1;
        outcome.out = zntest::RunCommand(line + " 2>" + errFile, status);
        outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ifstream in(errFile);
        std::ostringstream text;
        text << in.rdbuf();
        outcome.err = text.str();
        return outcome;
    }

  private:
    zntest::ScopedSpool m_spool;
};

TEST_F(ToolCommands, GroupCardShowsAttributesPeopleAndRelatedGroups) {
    const Outcome engAll = Run("group ENG-ALL");
    EXPECT_EQ(engAll.exitCode, 0) << engAll.err;
    EXPECT_EQ(engAll.err, "");
    EXPECT_EQ(engAll.out,
              "Group ENG-ALL\n"
              "  Description          All engineering staff\n"
              "  Company number       0042\n"
              "  Organizational unit  Engineering\n"
              "  Owners (1)\n    asmith\n"
              "  Contacts (1)\n    cgreen\n"
              "  Direct members (1)\n    asmith\n"
              "  Eventual members (6)\n"
              "    asmith\n    bwhite\n    cdoe\n    cgreen\n    egray\n    jdoe\n"
              "  Subgroups (3)\n    ENG-BACKEND\n    ENG-FRONTEND\n    ENG-INFRA\n"
              "  Supergroups (0)\n"
              "  Eventual supergroups (0)\n");

    // Reached from below: the two supergroups and the one they share above them.
    const Outcome engDb = Run("group eng-db");
    EXPECT_EQ(engDb.exitCode, 0) << engDb.err;
    EXPECT_NE(engDb.out.find("Group ENG-DB\n  Description          Database administration\n"
                             "  Organizational unit  Engineering\n"),
              std::string::npos)
        << engDb.out;
    EXPECT_NE(engDb.out.find("  Supergroups (2)\n    ENG-BACKEND\n    ENG-INFRA\n"
                             "  Eventual supergroups (3)\n    ENG-ALL\n    ENG-BACKEND\n"
                             "    ENG-INFRA\n"),
              std::string::npos)
        << engDb.out;
}

TEST_F(ToolCommands, MissingGroupFailsWithTheLibraryStatus) {
    const Outcome missing = Run("group NO-SUCH-GROUP");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err,
              "zngroups: NO-SUCH-GROUP: NO-SUCH-GROUP is not a valid group. (status 30004)\n");

    const Outcome unknownDomain = Run("--domain MARS find 'ENG-*'");
    EXPECT_EQ(unknownDomain.exitCode, 1);
    EXPECT_EQ(unknownDomain.out, "");
    EXPECT_EQ(unknownDomain.err, "zngroups: MARS: MARS is not a valid domain. (status 30044)\n");
}

TEST_F(ToolCommands, FindAndTopPrintOneGroupNamePerLine) {
    const Outcome sales = Run("find 'SALES-*'");
    EXPECT_EQ(sales.exitCode, 0) << sales.err;
    EXPECT_EQ(sales.out, "SALES-ALL\nSALES-AMERICAS\nSALES-APAC\nSALES-EMEA\n");

    const Outcome none = Run("find 'NOTHING-LIKE-THIS*'");
    EXPECT_EQ(none.exitCode, 0) << none.err;
    EXPECT_EQ(none.out, "");

    const Outcome top = Run("top");
    EXPECT_EQ(top.exitCode, 0) << top.err;
    EXPECT_EQ(top.out,
              "ANNOUNCE\nENG-ALL\nENG-ALUMNI\nSALES-ALL\nZNGENERICS\nZNI_SSO_CONTROL\n"
              "ZN_GROUPS_ADMINISTRATORS\nZN_GROUP_ORG_UNIT_ENGINEERING_PRIV\n");
}

TEST_F(ToolCommands, WorkerCardListsTheWorkersGroups) {
    const Outcome jdoe = Run("worker jdoe");
    EXPECT_EQ(jdoe.exitCode, 0) << jdoe.err;
    EXPECT_NE(jdoe.out.find("  Owner of (2)\n    ENG-BACKEND\n    ENG-DB\n"
                            "  Contact of (1)\n    ENG-BACKEND\n"
                            "  Direct member of (2)\n    ENG-BACKEND\n"
                            "    ZN_GROUP_ORG_UNIT_ENGINEERING_PRIV\n"
                            "  Eventual member of (3)\n    ENG-ALL\n    ENG-BACKEND\n"
                            "    ZN_GROUP_ORG_UNIT_ENGINEERING_PRIV\n"),
              std::string::npos)
        << jdoe.out;
}

TEST_F(ToolCommands, ChangesGoThroughTheAdministrationServerAndAreReadBack) {
    zntest::AdminDaemon server;
    const std::string password = zntest::SandboxDir() + "/tool-test-password";
    std::ofstream(password) << "Tr0ubadour\n";
    const std::string as = "change --user asmith --password-file " + password + " ";
    Outcome added = Run(as + "add-member ENG-ALUMNI egray");
    EXPECT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(added.out, "Change 1 applied.\n");
    Outcome again = Run(as + "add-member ENG-ALUMNI egray");
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.err, "zngroups: egray is already a direct member of ENG-ALUMNI . (status 30026)\n");
    EXPECT_EQ(Run(as + "set-description ENG-ALUMNI 'Former staff, kept in touch'").exitCode, 0);
    EXPECT_NE(Run("group ENG-ALUMNI").out.find("Former staff, kept in touch"), std::string::npos);
    EXPECT_EQ(Run("status 1").out, "1 Change 1 applied.\n");
    Outcome logs = Run("logs ENG-ALUMNI");
    EXPECT_EQ(logs.exitCode, 0);
    EXPECT_EQ(std::count(logs.out.begin(), logs.out.end(), '\n'), 2);
    // No terminal and no password file: the tool says so instead of sending an empty password.
    // (setsid leaves the tool without a controlling terminal wherever the test runs.)
    Outcome noPassword = RunLine("setsid -w " + std::string(ZNGROUPS_TOOL) +
                                 " change --user asmith add-member ENG-ALUMNI bwhite");
    EXPECT_EQ(noPassword.exitCode, 2);
    EXPECT_EQ(noPassword.err, "zngroups: no password: give --password-file or run on a terminal\n");
    EXPECT_EQ(Run("change frobnicate ENG-ALUMNI").exitCode, 2);
    zntest::RestoreDirectory();
}

}  // namespace
