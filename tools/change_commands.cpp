// zngroups change ...: every group change of the library, and the questions about changes.
#include "tools/change_commands.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "CZNGroup.h"

namespace {

int ChangeUsage() {
    std::fprintf(stderr,
                 "usage: zngroups [--domain NAME] change [--user NAME] [--password-file FILE] VERB GROUP [ARG...]\n"
                 "  verbs: add-contact|add-member|add-owner|delete-contact|delete-member|delete-owner GROUP USER\n"
                 "         add-subgroup|remove-subgroup GROUP SUBGROUP\n"
                 "         create PARENT|- NAME UNIT      delete PARENT|- NAME\n"
                 "         rename GROUP NEWNAME            set-company GROUP NUMBER\n"
                 "         set-mail-aliased|clear-mail-aliased|set-exchange-sync|clear-exchange-sync GROUP\n"
                 "         set-description GROUP TEXT     set-attribute GROUP ATTRIBUTE VALUE\n"
                 "         reset-logs GROUP\n"
                 "       zngroups [--domain NAME] status NUMBER | log-entry NUMBER | logs GROUP\n"
                 "  Without --user the logged-on account acts, with no password. With --user the\n"
                 "  password comes from --password-file, or is asked on the terminal without echo.\n");
    return 2;
}

// The first line of the file, or the terminal's answer typed without echo.
bool ReadPassword(const char* file, const std::string& user, std::string& password) {
    if (file != nullptr) {
        std::ifstream in(file);
        return static_cast<bool>(std::getline(in, password)) || in.eof();
    }
    int tty = open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0) {
        return false;
    }
    std::string prompt = "Password for " + user + ": ";
    termios saved{};
    bool quiet = tcgetattr(tty, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= static_cast<tcflag_t>(~ECHO);
        tcsetattr(tty, TCSANOW, &silent);
    }
    // Echo is off before the prompt appears, so nothing typed in answer is shown.
    ssize_t ignored = write(tty, prompt.data(), prompt.size());
    char c = 0;
    while (read(tty, &c, 1) == 1 && c != '\n' && password.size() < 256) {
        password += c;
    }
    if (quiet) {
        tcsetattr(tty, TCSANOW, &saved);
    }
    ignored = write(tty, "\n", 1);
    (void)ignored;
    close(tty);
    return true;
}

int Outcome(const CZNGroup& group, long result) {
    if (result != 1) {
        std::fprintf(stderr, "zngroups: %s (status %ld)\n", group.GetErrorStatusText().c_str(),
                     group.GetErrorStatusCode());
        return 1;
    }
    std::printf("%s\n", group.GetErrorStatusText().c_str());
    return 0;
}

long Run(const CZNGroup& g, const std::string& verb, const std::vector<std::string>& a, bool& known) {
    known = true;
    const std::size_t n = a.size();
    if (n == 2 && verb == "add-contact") return g.AddContact(a[1]);
    if (n == 2 && verb == "add-member") return g.AddDirectMember(a[1]);
    if (n == 2 && verb == "add-owner") return g.AddOwner(a[1]);
    if (n == 2 && verb == "delete-contact") return g.DeleteContact(a[1]);
    if (n == 2 && verb == "delete-member") return g.DeleteDirectMember(a[1]);
    if (n == 2 && verb == "delete-owner") return g.DeleteOwner(a[1]);
    if (n == 2 && verb == "add-subgroup") return g.AddSubGroup(a[1]);
    if (n == 2 && verb == "remove-subgroup") return g.RemoveSubGroup(a[1]);
    if (n == 3 && verb == "create") return g.CreateSubGroup(a[1], a[2]);
    if (n == 2 && verb == "delete") return g.DeleteSubGroup(a[1]);
    if (n == 2 && verb == "rename") return g.SetNewGroupName(a[1]);
    if (n == 2 && verb == "set-company") return g.SetCompanyNumber(a[1]);
    if (n == 1 && verb == "set-mail-aliased") return g.SetMailAliasedFlag();
    if (n == 1 && verb == "clear-mail-aliased") return g.ClearMailAliasedFlag();
    if (n == 1 && verb == "set-exchange-sync") return g.SetExchangeSynchronization();
    if (n == 1 && verb == "clear-exchange-sync") return g.ClearExchangeSynchronization();
    if (n == 2 && verb == "set-description") return g.SetDescription(a[1]);
    if (n == 3 && verb == "set-attribute") return g.SetGenericAttributeValue(a[1], a[2]);
    if (n == 1 && verb == "reset-logs") return g.ResetGroupChangeLogs();
    known = false;
    return 0;
}

}  // namespace

int ChangeCommand(const char* domain, int argc, char** argv) {
    const char* user = nullptr;
    const char* passwordFile = nullptr;
    std::vector<std::string> words;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--user") == 0 && i + 1 < argc) {
            user = argv[++i];
        } else if (std::strcmp(argv[i], "--password-file") == 0 && i + 1 < argc) {
            passwordFile = argv[++i];
        } else {
            words.emplace_back(argv[i]);
        }
    }
    if (words.size() < 2) {
        return ChangeUsage();
    }
    const std::string verb = words.front();
    words.erase(words.begin());
    const CZNGroup group;
    if (domain != nullptr && group.SetDomain(domain) != 1) {
        return Outcome(group, 0);
    }
    if (user != nullptr) {
        std::string password;
        if (!ReadPassword(passwordFile, user, password)) {
            std::fprintf(stderr, "zngroups: no password: give --password-file or run on a terminal\n");
            return 2;
        }
        group.SetAccess(user, password);
    }
    // "-" stands for no parent group.
    group.SetGroupName(words.front() == "-" ? std::string() : words.front());
    bool known = false;
    long result = Run(group, verb, words, known);
    return known ? Outcome(group, result) : ChangeUsage();
}

int ChangeQuery(const char* domain, const char* command, const char* argument) {
    const CZNGroup group;
    if (domain != nullptr && group.SetDomain(domain) != 1) {
        return Outcome(group, 0);
    }
    if (std::strcmp(command, "logs") == 0) {
        group.SetGroupName(argument);
        const std::list<std::string>& logs = group.GetGroupChangeLogs();
        for (const std::string& line : logs) {
            std::printf("%s\n", line.c_str());
        }
        return group.GetErrorStatusCode() == 1 ? 0 : Outcome(group, 0);
    }
    char* end = nullptr;
    long number = std::strtol(argument, &end, 10);
    if (end == argument || *end != '\0') {
        return ChangeUsage();
    }
    if (std::strcmp(command, "status") == 0) {
        long code = group.GetErrorStatusCode(number);
        std::string text = group.GetErrorStatusText(number);
        if (group.GetErrorStatusCode() != 1) {
            return Outcome(group, 0);
        }
        std::printf("%ld %s\n", code, text.c_str());
        return 0;
    }
    std::string entry = group.GetChangeLogEntry(number);
    if (group.GetErrorStatusCode() != 1) {
        return Outcome(group, 0);
    }
    std::printf("%s\n", entry.c_str());
    return 0;
}
