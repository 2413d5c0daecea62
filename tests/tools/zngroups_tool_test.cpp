// The zngroups command-line tool run as a user runs it, against the sandboxed sample company:
// its output, its JSON answers (parsed), its exit statuses and its terminal behaviour.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/admin_daemon.h"
#include "tests/support/sandbox_fixture.h"
#include "tests/support/spool_folder.h"
#include "tests/support/terminal_script.h"
#include "tests/tools/json_reader.h"

namespace {

using zntest::Json;
using zntest::JsonReader;

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

using Step = zntest::TerminalStep;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Usage reports go to a private spool, so standard error holds only what the tool says.
class ToolCommands : public zntest::SandboxTest {
  protected:
    void SetUp() override {
        SandboxTest::SetUp();
        ASSERT_FALSE(m_spool.Root().empty());
        m_passwordFile = m_spool.Root() + "/password";
        std::ofstream(m_passwordFile) << "Tr0ubadour\n";
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

    // --json answers: exit status as told, and the answer parsed.
    Json RunJson(const std::string& arguments, int expectedExit = 0) const {
        Outcome outcome = Run("--json " + arguments);
        EXPECT_EQ(outcome.exitCode, expectedExit) << arguments << "\n" << outcome.err;
        Json answer = JsonReader::Parse(outcome.out);
        EXPECT_EQ(answer["exit"].number, expectedExit);
        EXPECT_EQ(answer["ok"].boolean,
                  expectedExit == 0 || answer["result"].kind == Json::Kind::kBool);
        return answer;
    }

    // The tool on a pseudo-terminal of its own: everything it drew, and its exit status.
    int RunOnTerminal(const std::vector<std::string>& arguments, const std::vector<Step>& script,
                      std::string& screen) const {
        return zntest::RunOnTerminal(
            [&arguments] {
                std::vector<char*> argv{const_cast<char*>(ZNGROUPS_TOOL)};
                for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
                argv.push_back(nullptr);
                execv(ZNGROUPS_TOOL, argv.data());
            },
            script, screen);
    }

    std::string m_passwordFile;

  private:
    zntest::ScopedSpool m_spool;
};

TEST_F(ToolCommands, GroupCardAndListsAnswerInTextAndJson) {
    const Outcome card = Run("group show ENG-ALL");
    EXPECT_EQ(card.exitCode, 0) << card.err;
    EXPECT_EQ(card.err, "");
    EXPECT_EQ(card.out,
              "Group                ENG-ALL\n"
              "Description          All engineering staff\n"
              "Company number       0042\n"
              "Organizational unit  Engineering\n"
              "Mail aliased         Y\n"
              "Public               no\n"
              "Owners (1)\n  asmith\n"
              "Contacts (1)\n  cgreen\n"
              "Direct members       1\n"
              "Eventual members     6\n"
              "Subgroups (3)\n  ENG-BACKEND\n  ENG-FRONTEND\n  ENG-INFRA\n"
              "Supergroups (0)\n"
              "Eventual supergroups (0)\n");

    const Json shown = RunJson("group show eng-db");
    EXPECT_EQ(shown["command"].string, "group show");
    EXPECT_EQ(shown["status"]["code"].number, 1);
    const Json& group = shown["result"];
    EXPECT_EQ(group["name"].string, "ENG-DB");
    EXPECT_EQ(group["description"].string, "Database administration");
    EXPECT_EQ(group["public"].kind, Json::Kind::kBool);
    EXPECT_EQ(group["owners"].Strings(), (std::vector<std::string>{"jdoe"}));
    EXPECT_EQ(group["superGroups"].Strings(),
              (std::vector<std::string>{"ENG-BACKEND", "ENG-INFRA"}));
    EXPECT_EQ(group["eventualSuperGroups"].Strings(),
              (std::vector<std::string>{"ENG-ALL", "ENG-BACKEND", "ENG-INFRA"}));

    EXPECT_EQ(RunJson("group members ENG-ALL --eventual")["result"].Strings(),
              (std::vector<std::string>{"asmith", "bwhite", "cdoe", "cgreen", "egray", "jdoe"}));
    EXPECT_EQ(RunJson("group members ENG-ALL")["result"].Strings(),
              (std::vector<std::string>{"asmith"}));
    EXPECT_EQ(RunJson("group members ENG-ALL --eventual --count")["result"].number, 6);
    EXPECT_EQ(Run("group subgroups ENG-ALL").out, "ENG-BACKEND\nENG-FRONTEND\nENG-INFRA\n");
    EXPECT_EQ(Run("group supergroups ENG-DB --eventual --count").out, "3\n");
    EXPECT_EQ(Run("group owners ENG-BACKEND").out, "jdoe\n");
    EXPECT_EQ(Run("group contacts ENG-ALL").out, "cgreen\n");
    EXPECT_EQ(Run("group find 'SALES-*'").out,
              "SALES-ALL\nSALES-AMERICAS\nSALES-APAC\nSALES-EMEA\n");
    EXPECT_EQ(Run("group find 'NOTHING-LIKE-THIS*'").out, "");
    EXPECT_EQ(Run("group top").out,
              "ANNOUNCE\nENG-ALL\nENG-ALUMNI\nSALES-ALL\nZNGENERICS\nZNI_SSO_CONTROL\n"
              "ZN_GROUPS_ADMINISTRATORS\nZN_GROUP_ORG_UNIT_ENGINEERING_PRIV\n");
    const std::vector<std::string> units = RunJson("group units")["result"].Strings();
    EXPECT_NE(std::find(units.begin(), units.end(), "Engineering"), units.end());
}

TEST_F(ToolCommands, WorkersAreFoundByNameOrNumberWithTheirGroups) {
    const Json jdoe = RunJson("worker show 1002");
    EXPECT_EQ(jdoe["result"]["userName"].string, "jdoe");
    EXPECT_EQ(jdoe["result"]["workerNumber"].number, 1002);
    EXPECT_EQ(jdoe["result"]["fullName"].string, "John Doe");
    EXPECT_EQ(jdoe["result"]["dn"].string,
              "uid=jdoe,"
              "ou=People,o=example.com");

    const Json answer = RunJson("worker groups jdoe");
    const Json& groups = answer["result"];
    EXPECT_EQ(groups["owner"].Strings(), (std::vector<std::string>{"ENG-BACKEND", "ENG-DB"}));
    EXPECT_EQ(groups["contact"].Strings(), (std::vector<std::string>{"ENG-BACKEND"}));
    EXPECT_EQ(
        groups["eventual"].Strings(),
        (std::vector<std::string>{"ENG-ALL", "ENG-BACKEND", "ZN_GROUP_ORG_UNIT_ENGINEERING_PRIV"}));
    EXPECT_EQ(Run("worker groups jdoe --owner").out, "ENG-BACKEND\nENG-DB\n");
    EXPECT_EQ(Run("worker number jdoe").out, "1002\n");
    EXPECT_EQ(Run("worker name 1002").out, "jdoe\n");
    const std::vector<std::string> found = RunJson("worker find 'j*'")["result"].Strings();
    EXPECT_NE(std::find(found.begin(), found.end(), "jdoe"), found.end());
    EXPECT_EQ(RunJson("worker find Doe --last-name")["result"].Strings(),
              (std::vector<std::string>{"cdoe", "jdoe"}));
}

// The searches a --trace run made.
std::size_t SearchesIn(const std::string& trace) {
    std::size_t searches = 0;
    for (std::size_t at = 0; (at = trace.find("search ", at)) != std::string::npos; ++at)
        ++searches;
    return searches;
}

// Members with their details: columns for people, objects in JSON, every field worker show
// prints, read through one shared search rather than one per member.
TEST_F(ToolCommands, MembersAndGroupsComeWithTheDetailsAskedFor) {
    EXPECT_EQ(Run("group members ENG-BACKEND --with fullName,emailAddress").out,
              "User    Full name  Email\n"
              "bwhite  Bob White  bob.white@example.com\n"
              "jdoe    John Doe   john.doe@example.com\n");
    const Json all = RunJson("group members ENG-ALL --eventual --with all");
    const Json& people = all["result"];
    ASSERT_EQ(people.items.size(), 6u);
    const Json jdoe = RunJson("worker show jdoe")["result"];
    const Json& listed = people.items[5];
    EXPECT_EQ(listed["userName"].string, "jdoe");
    for (const char* key : {"fullName", "emailAddress", "dn", "supervisorUserName", "city"}) {
        EXPECT_EQ(listed[key].string, jdoe[key].string) << key;
    }
    EXPECT_EQ(listed["workerNumber"].string, "1002");
    // The group's check, its member list, and one search for every member's attributes.
    const Outcome traced = Run("--trace group members ENG-ALL --eventual --with fullName");
    EXPECT_EQ(traced.exitCode, 0) << traced.err;
    EXPECT_EQ(SearchesIn(traced.err), 3u) << traced.err;
    EXPECT_EQ(Run("group members ENG-ALL --with nothing").exitCode, 2);
    EXPECT_EQ(Run("group owners ENG-ALL --with fullName").exitCode, 2);

    // A person's groups likewise, with group show's fields, the details of a relation's
    // groups in one search.
    EXPECT_EQ(Run("worker groups jdoe --owner --with description,companyNumber").out,
              "Group        Description              Company number\n"
              "ENG-BACKEND  Backend services team    \n"
              "ENG-DB       Database administration  \n");
    const Json groups = RunJson("worker groups jdoe --with all")["result"];
    const Json& owned = groups["owner"].items.at(0);
    const Json backend = RunJson("group show ENG-BACKEND")["result"];
    EXPECT_EQ(owned["name"].string, "ENG-BACKEND");
    for (const char* key : {"description", "companyNumber", "organizationalUnit", "mailAliased"})
        EXPECT_EQ(owned[key].string, backend[key].string) << key;
    const Outcome owner = Run("--trace worker groups jdoe --owner --with all");
    // The person's check, the owned groups, and one search for every group's details.
    EXPECT_EQ(SearchesIn(owner.err), 3u) << owner.err;
    EXPECT_EQ(Run("worker groups jdoe --with size").exitCode, 2);
}

// Checks answer yes (0) or no (1, the library's reason on standard error); JSON has the
// answer as a boolean either way.
TEST_F(ToolCommands, ChecksAnswerThroughTheExitStatus) {
    const Outcome no = Run("group is-member ENG-ALL jdoe");
    EXPECT_EQ(no.exitCode, 1);
    EXPECT_EQ(no.out, "no\n");
    EXPECT_EQ(no.err,
              "zngroups: jdoe is not a valid direct member of group ENG-ALL. (status 30019)\n");
    const Outcome yes = Run("group is-member ENG-ALL jdoe --eventual");
    EXPECT_EQ(yes.exitCode, 0);
    EXPECT_EQ(yes.out, "yes\n");
    EXPECT_EQ(yes.err, "");
    EXPECT_TRUE(RunJson("group is-owner ENG-DB jdoe")["result"].boolean);
    EXPECT_FALSE(RunJson("group is-supergroup ENG-DB ENG-ALL", 1)["result"].boolean);
    EXPECT_TRUE(RunJson("group is-supergroup ENG-DB ENG-ALL --eventual")["result"].boolean);
    EXPECT_TRUE(RunJson("worker in-group jdoe ENG-DB --owner")["result"].boolean);
    EXPECT_EQ(Run("group exists NO-SUCH-GROUP").exitCode, 1);
    EXPECT_EQ(Run("worker exists 1002").exitCode, 0);
    EXPECT_EQ(Run("domain check EUROPE").exitCode, 0);
    EXPECT_EQ(Run("domain list").out, "EUROPE\nASIA2\n");
}

TEST_F(ToolCommands, FailuresCarryTheLibraryStatusAndADocumentedExitStatus) {
    const Outcome missing = Run("group show NO-SUCH-GROUP");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err,
              "zngroups: NO-SUCH-GROUP: NO-SUCH-GROUP is not a valid group. (status 30004)\n");
    const Json answer = RunJson("group members NO-SUCH-GROUP", 1);
    EXPECT_FALSE(answer["ok"].boolean);
    EXPECT_EQ(answer["status"]["code"].number, 30004);
    EXPECT_EQ(answer["result"].kind, Json::Kind::kNull);

    const Outcome domain = Run("--domain MARS group find 'ENG-*'");
    EXPECT_EQ(domain.exitCode, 1);
    EXPECT_EQ(domain.err, "zngroups: MARS: MARS is not a valid domain. (status 30044)\n");
    EXPECT_EQ(Run("worker show nobody-at-all").exitCode, 1);

    // Wrong password: refused.
    const std::string wrong = m_passwordFile + "-wrong";
    std::ofstream(wrong) << "not-the-password\n";
    const Outcome refused = Run("worker authenticate asmith --password-file " + wrong);
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_EQ(refused.err,
              "zngroups: asmith: Username/Password combination is not valid. (status 30000)\n");

    // No administration server runs: unreachable, with the exchange's Windows Sockets number.
    const Outcome unreachable = Run("change status 1");
    EXPECT_EQ(unreachable.exitCode, 4);
    EXPECT_NE(unreachable.err.find("(status 10061)"), std::string::npos) << unreachable.err;

    // Usage errors, and a password on the command line is refused outright.
    for (const char* line : {"", "frobnicate", "group", "group frobnicate", "group show",
                             "group show A B", "group show A --eventual", "--password x group top",
                             "--search-timeout -1 group top", "change status seven"}) {
        const Outcome usage = Run(line);
        EXPECT_EQ(usage.exitCode, 2) << line;
        EXPECT_EQ(usage.out, "") << line;
        EXPECT_NE(usage.err, "") << line;
    }
    // Time-outs are seconds, fractions allowed.
    EXPECT_EQ(Run("--connect-timeout 2.5 --search-timeout 30 group top --count").out, "8\n");
}

// Every command listed in a group's help has its own help and its entry in the manual page,
// so the help, the manual and the table of commands cannot drift apart.
TEST_F(ToolCommands, HelpOnEveryLevel) {
    std::ifstream manualFile(ZNGROUPS_MANUAL);
    std::ostringstream manualText;
    manualText << manualFile.rdbuf();
    const std::string manual = manualText.str();
    ASSERT_FALSE(manual.empty()) << ZNGROUPS_MANUAL;
    const Outcome top = Run("--help");
    EXPECT_EQ(top.exitCode, 0);
    std::size_t commands = 0;
    for (const char* group : {"group", "worker", "change", "domain"}) {
        EXPECT_NE(top.out.find(std::string("  ") + group + " "), std::string::npos) << group;
        const Outcome help = Run(std::string(group) + " --help");
        EXPECT_EQ(help.exitCode, 0) << group;
        for (const std::string& line : Lines(help.out)) {
            if (line.size() < 3 || line.compare(0, 2, "  ") != 0 || line[2] == ' ' ||
                line[2] == '-')
                continue;
            const std::string name = line.substr(2, line.find(' ', 2) - 2);
            const Outcome one = Run(std::string(group) + " " + name + " --help");
            EXPECT_EQ(one.exitCode, 0) << group << " " << name;
            EXPECT_NE(one.out.find(std::string("zngroups [OPTIONS] ") + group + " " + name),
                      std::string::npos)
                << one.out;
            EXPECT_NE(manual.find(std::string("\\fB") + group + " " + name + "\\fR"),
                      std::string::npos)
                << group << " " << name << " is not in the manual page";
            ++commands;
        }
    }
    // Every public operation has its command: well over sixty of them.
    EXPECT_GE(commands, 60u);
}

TEST_F(ToolCommands, ChangesAreTracedWithTheTokenHiddenAndReadBack) {
    zntest::AdminDaemon server;
    const std::string as = " --user asmith --password-file " + m_passwordFile;
    const Outcome added = Run("--trace group add-member ENG-ALUMNI egray" + as);
    EXPECT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(added.out, "Change 1 applied.\n");
    std::size_t searches = 0;
    std::size_t requests = 0;
    for (const std::string& line : Lines(added.err)) {
        if (line.compare(0, 14, "trace: search ") == 0) {
            ++searches;
            EXPECT_NE(line.find(" server=ldap"), std::string::npos) << line;
            EXPECT_NE(line.find(" filter=\"("), std::string::npos) << line;
            EXPECT_NE(line.find(" entries="), std::string::npos) << line;
            EXPECT_NE(line.find(" ms="), std::string::npos) << line;
        } else if (line.compare(0, 13, "trace: admin ") == 0) {
            ++requests;
            EXPECT_NE(line.find("request=\"00001,ASMITH,<token>,ADD,MEMBER,ENG-ALUMNI,EGRAY\""),
                      std::string::npos)
                << line;
            EXPECT_NE(line.find("result=1 code=1 text=\"Change 1 applied.\""), std::string::npos)
                << line;
            EXPECT_NE(line.find(" transport=\"plain\""), std::string::npos) << line;
        } else {
            EXPECT_EQ(line.compare(0, 12, "trace: bind "), 0) << line;
            // The password never shows, whatever is traced.
            EXPECT_EQ(line.find("Tr0ubadour"), std::string::npos) << line;
        }
    }
    EXPECT_GE(searches, 4u);
    EXPECT_EQ(requests, 1u);
    // Without --trace, nothing on standard error.
    EXPECT_EQ(Run("group set-description ENG-ALUMNI 'Former staff'" + as).err, "");

    const Outcome again = Run("group add-member ENG-ALUMNI egray" + as);
    EXPECT_EQ(again.exitCode, 3);
    EXPECT_EQ(again.err,
              "zngroups: ENG-ALUMNI: egray is already a direct member of ENG-ALUMNI . (status "
              "30026)\n");
    const Json status = RunJson("change status 1");
    EXPECT_EQ(status["result"]["code"].number, 1);
    EXPECT_EQ(status["result"]["text"].string, "Change 1 applied.");
    EXPECT_EQ(RunJson("change log ENG-ALUMNI")["result"].items.size(), 2u);
    EXPECT_EQ(RunJson("group show ENG-ALUMNI")["result"]["description"].string, "Former staff");
    // A directory value holding a terminal escape is shown in text, not obeyed; JSON keeps it.
    EXPECT_EQ(
        Run("group set-description ENG-ALUMNI \"$(printf 'Wiped\\033[2J\\tout')\"" + as).exitCode,
        0);
    EXPECT_NE(
        Run("group show ENG-ALUMNI").out.find("\nDescription          Wiped\\x1b[2J\\x09out\n"),
        std::string::npos);
    EXPECT_EQ(RunJson("group show ENG-ALUMNI")["result"]["description"].string,
              "Wiped\x1b[2J\tout");

    // No terminal and no password file: the tool says so instead of sending an empty password.
    // (setsid leaves the tool without a controlling terminal wherever the test runs.)
    const Outcome noPassword = RunLine("setsid -w " + std::string(ZNGROUPS_TOOL) +
                                       " group add-member ENG-ALUMNI bwhite --user asmith");
    EXPECT_EQ(noPassword.exitCode, 2);
    EXPECT_EQ(noPassword.err, "zngroups: no password: give --password-file or run on a terminal\n");
    zntest::RestoreDirectory();
}

TEST_F(ToolCommands, PasswordIsAskedOnTheTerminalWithoutEcho) {
    std::string screen;
    int exit = RunOnTerminal({"worker", "authenticate", "asmith"},
                             {{"Password for asmith: ", "Tr0ubadour\n"}}, screen);
    EXPECT_EQ(exit, 0) << screen;
    EXPECT_EQ(screen.find("Tr0ubadour"), std::string::npos) << screen;
    EXPECT_NE(screen.find("Success"), std::string::npos) << screen;

    exit = RunOnTerminal({"worker", "authenticate", "asmith"},
                         {{"Password for asmith: ", "guess\n"}}, screen);
    EXPECT_EQ(exit, 3) << screen;
    EXPECT_EQ(screen.find("guess"), std::string::npos) << screen;
}

// On a terminal a list shows what it waits for and how far it got, then erases the line;
// through a pipe (every other test here) standard error stays empty.
TEST_F(ToolCommands, ProgressIsDrawnOnATerminalOnly) {
    std::string screen;
    int exit = RunOnTerminal({"group", "members", "ENG-ALL", "--eventual"}, {}, screen);
    EXPECT_EQ(exit, 0) << screen;
    EXPECT_NE(screen.find("Eventual members of ENG-ALL: "), std::string::npos) << screen;
    EXPECT_NE(screen.find("writing 6 of 6"), std::string::npos) << screen;
    // The line is erased before the answer, which follows whole.
    const std::size_t answer = screen.find("asmith\r\nbwhite\r\n");
    ASSERT_NE(answer, std::string::npos) << screen;
    EXPECT_EQ(screen.rfind("\r\033[K", answer), answer - 4) << screen;

    const Outcome piped = Run("group members ENG-ALL --eventual");
    EXPECT_EQ(piped.err, "");
    EXPECT_EQ(Lines(piped.out).size(), 6u);
}

}  // namespace
