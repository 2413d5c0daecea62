// zngroups: the library's groups and workers from the shell, one command per operation.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "session/tls_settings.h"
#include "tools/cli.h"
#include "tools/overview.h"
#include "tools/terminal.h"
#include "tools/trace_output.h"
#include "zngroups_config.h"

namespace {

using namespace zntool;

const CommandGroup* const kGroups[] = {&kGroupCommands, &kWorkerCommands, &kChangeCommands,
                                       &kDomainCommands};

constexpr const char* kGlobalOptions =
    "Options (anywhere on the line):\n"
    "  --domain NAME           use the directory and administration servers of NAME\n"
    "  --connect-timeout SEC   bound each bind wait (default 5; fractions allowed)\n"
    "  --search-timeout SEC    bound each search try (default 120)\n"
    "  --user NAME             the requester of a change; the password is asked on the\n"
    "                          terminal without echo, or read from --password-file\n"
    "  --password-file FILE    the password is the first line of FILE\n"
    "  --json                  one JSON object on standard output (see zngroups(1))\n"
    "  --trace                 every bind, search and administration request on stderr\n"
    "  --tls off|starttls|ldaps  protect the directory connections (wins over\n"
    "                          ZNGROUPS_TLS and the configuration file)\n"
    "  --tls-ca FILE           the PEM file of trusted authorities for TLS\n"
    "  --tls-verify on|off     whether the server's certificate must verify (default on)\n"
    "  --admin-tls on|off      TLS for the administration server's channel\n"
    "  --help, -h              help for the command, its group or the tool\n"
    "  --version               the version\n";

constexpr const char* kExitStatuses =
    "Exit status: 0 success, 1 not found (or a check answered no), 2 usage error,\n"
    "3 refused, 4 directory or administration server unreachable.\n";

void TopHelp(std::FILE* out) {
    std::fprintf(out,
                 "usage: zngroups [OPTIONS] GROUP COMMAND [ARGUMENT...]\n"
                 "       zngroups [OPTIONS] overview\n\nCommand groups:\n");
    for (const CommandGroup* group : kGroups) {
        std::fprintf(out, "  %-8s %s\n", group->name, group->summary);
    }
    std::fprintf(out, "  %-8s %s\n\n%s\n%s\nSee 'zngroups GROUP --help' and zngroups(1).\n",
                 "overview", "a tour of the sample directory", kGlobalOptions, kExitStatuses);
}

// "members GROUP [--eventual] [--count]"
std::string Synopsis(const Command& command) {
    std::string line = command.name;
    if (*command.arguments != '\0') line += std::string(" ") + command.arguments;
    std::string flags = command.flags;
    for (std::size_t at = 0; at < flags.size();) {
        std::size_t end = flags.find(' ', at);
        if (end == std::string::npos) end = flags.size();
        if (end > at) line += " [" + flags.substr(at, end - at) + "]";
        at = end + 1;
    }
    return line;
}

void GroupHelp(const CommandGroup& group) {
    std::printf("usage: zngroups [OPTIONS] %s COMMAND [ARGUMENT...]\n\n%s.\n\nCommands:\n",
                group.name, group.summary);
    for (std::size_t i = 0; i < group.count; ++i) {
        const Command& command = group.commands[i];
        std::printf("  %s\n      %s\n", Synopsis(command).c_str(), command.summary);
    }
    std::printf("\n%s", kGlobalOptions);
}

void CommandHelp(const CommandGroup& group, const Command& command) {
    std::printf("usage: zngroups [OPTIONS] %s %s\n\n%s.\n\n%s\n%s", group.name,
                Synopsis(command).c_str(), command.summary, kGlobalOptions, kExitStatuses);
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "zngroups: %s\nTry 'zngroups --help'.\n", message.c_str());
    return kExitUsage;
}

// "1.5" is 1 second and 500000 microseconds; only positive values make sense as a bound.
bool ParseSeconds(const std::string& text, TimeOut& timeOut) {
    char* end = nullptr;
    double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(seconds > 0) || seconds > 86400.0 * 365) return false;
    timeOut.given = true;
    timeOut.seconds = static_cast<long>(seconds);
    timeOut.microSeconds =
        static_cast<long>((seconds - static_cast<double>(timeOut.seconds)) * 1e6 + 0.5);
    return true;
}

struct CommandLine {
    Options options;
    std::vector<std::string> words;
    std::set<std::string> flags;
    bool help = false;
    bool version = false;
};

// Options and words may be mixed; "--" ends the options, for arguments that start with "-".
int Parse(int argc, char** argv, CommandLine& line) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            line.words.push_back(arg);
            continue;
        }
        std::string value;
        bool hasInlineValue = false;
        const std::size_t equals = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.erase(equals);
            hasInlineValue = true;
        }
        auto next = [&](std::string& out) {
            if (hasInlineValue) {
                out = value;
                return true;
            }
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        Options& o = line.options;
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else if (arg == "--version") {
            line.version = true;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg == "--trace") {
            o.trace = true;
        } else if (arg == "--tls" || arg == "--tls-ca" || arg == "--tls-verify" ||
                   arg == "--admin-tls") {
            // Set at once for the whole process, as an application sets them through
            // zng_set_option; a bad value is a usage error before anything connects.
            std::string error;
            if (!next(value)) return UsageError(arg + " needs a value");
            if (!zn::SetTlsOverride(arg.c_str() + 2, value.c_str(), error))
                return UsageError(arg + ": " + error);
        } else if (arg == "--domain") {
            if (!next(o.domain)) return UsageError("--domain needs a domain name");
            o.domainGiven = true;
        } else if (arg == "--user") {
            if (!next(o.user) || o.user.empty()) return UsageError("--user needs a user name");
            o.userGiven = true;
        } else if (arg == "--password-file") {
            if (!next(o.passwordFile) || o.passwordFile.empty())
                return UsageError("--password-file needs a file name");
        } else if (arg == "--password") {
            return UsageError(
                "passwords are not taken from the command line: use "
                "--password-file or answer the prompt");
        } else if (arg == "--with") {
            if (!next(o.with) || o.with.empty())
                return UsageError("--with needs field names (worker show --json's keys) or all");
            o.withGiven = true;
        } else if (arg == "--connect-timeout" || arg == "--search-timeout") {
            TimeOut& timeOut = arg == "--connect-timeout" ? o.connect : o.search;
            if (!next(value) || !ParseSeconds(value, timeOut))
                return UsageError(arg + " needs a positive number of seconds");
        } else if (arg.compare(0, 2, "--") == 0) {
            line.flags.insert(arg);
        } else {
            return UsageError("unknown option " + arg);
        }
    }
    return -1;
}

const CommandGroup* FindGroup(const std::string& name) {
    for (const CommandGroup* group : kGroups) {
        if (name == group->name) return group;
    }
    return nullptr;
}

const Command* FindCommand(const CommandGroup& group, const std::string& name) {
    for (std::size_t i = 0; i < group.count; ++i) {
        if (name == group.commands[i].name) return &group.commands[i];
    }
    return nullptr;
}

bool FlagAllowed(const Command& command, const std::string& flag) {
    const std::string flags = std::string(" ") + command.flags + " ";
    return flags.find(" " + flag + " ") != std::string::npos;
}

// Removes the sink when the command is done, whatever way it returns.
struct InstalledSink {
    explicit InstalledSink(zn::trace::TraceSink* sink) { zn::trace::SetSink(sink); }
    ~InstalledSink() { zn::trace::SetSink(nullptr); }
    InstalledSink(const InstalledSink&) = delete;
    InstalledSink& operator=(const InstalledSink&) = delete;
};

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    int parsed = Parse(argc, argv, line);
    if (parsed >= 0) return parsed;
    if (line.version) {
        std::printf("zngroups %s\n", ZNGROUPS_VERSION);
        return kExitSuccess;
    }
    if (line.words.empty()) {
        if (line.help) {
            TopHelp(stdout);
            return kExitSuccess;
        }
        TopHelp(stderr);
        return kExitUsage;
    }
    if (line.words[0] == "help") {
        line.help = true;
        line.words.erase(line.words.begin());
        if (line.words.empty()) {
            TopHelp(stdout);
            return kExitSuccess;
        }
    }
    if (line.words[0] == "overview" && line.words.size() == 1 && !line.help) {
        return RunOverview(line.options.domainGiven ? line.options.domain.c_str() : nullptr);
    }
    const CommandGroup* group = FindGroup(line.words[0]);
    if (group == nullptr) return UsageError("unknown command group '" + line.words[0] + "'");
    if (line.words.size() == 1) {
        if (line.help) {
            GroupHelp(*group);
            return kExitSuccess;
        }
        return UsageError(std::string("which ") + group->name + " command? See 'zngroups " +
                          group->name + " --help'");
    }
    const Command* command = FindCommand(*group, line.words[1]);
    if (command == nullptr) {
        return UsageError("unknown command '" + std::string(group->name) + " " + line.words[1] +
                          "'; see 'zngroups " + group->name + " --help'");
    }
    if (line.help) {
        CommandHelp(*group, *command);
        return kExitSuccess;
    }
    Arguments arguments(line.words.begin() + 2, line.words.end());
    Context context(line.options, std::string(group->name) + " " + command->name, line.flags);
    const std::string whole = std::string(group->name) + " " + command->name;
    if (line.options.withGiven && whole != "group members" && whole != "worker groups")
        return context.Usage("--with goes with group members and worker groups only");
    for (const std::string& flag : line.flags) {
        if (!FlagAllowed(*command, flag)) return context.Usage("unknown option " + flag);
    }
    if (arguments.size() < command->minArguments || arguments.size() > command->maxArguments) {
        return context.Usage(std::string("usage: zngroups ") + group->name + " " + command->name +
                             " " + command->arguments);
    }
    // The sink costs a little on every search, so it is there only when someone looks.
    TraceOutput output(line.options.trace, context);
    const bool observed = line.options.trace || StandardErrorIsTerminal();
    InstalledSink sink(observed ? &output : nullptr);
    return command->run(context, arguments);
}
