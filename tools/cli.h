// What every zngroups command shares: the global options, the answer's two forms, the exit
// statuses and the way a library object is prepared and its failure reported.
#pragma once

#include <cstddef>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "CZNWorker.h"
#include "tools/json.h"
#include "tools/progress.h"
#include "workers/worker_fields.h"

namespace zntool {

// The documented exit statuses.
enum ExitStatus : int {
    kExitSuccess = 0,
    kExitNotFound = 1,     // no such group, worker, domain or entry; a check answered no
    kExitUsage = 2,        // the command line is wrong
    kExitRefused = 3,      // the library or the administration server refused
    kExitUnreachable = 4,  // no directory or administration server answered in time
};

// The exit status a library or administration-server status code stands for.
int ExitStatusOf(long code);

struct TimeOut {
    bool given = false;
    long seconds = 0;
    long microSeconds = 0;
};

struct Options {
    bool domainGiven = false;
    std::string domain;
    TimeOut connect;
    TimeOut search;
    bool userGiven = false;
    std::string user;
    std::string passwordFile;
    bool json = false;
    bool trace = false;
    // --with FIELD[,FIELD...]: the details listed beside each person.
    bool withGiven = false;
    std::string with;
};

using Arguments = std::vector<std::string>;

class Context {
  public:
    Context(Options options, std::string command, std::set<std::string> flags);

    const Options& options() const { return m_options; }
    bool Flag(const char* name) const { return m_flags.count(name) != 0; }

    // Applies the domain and the time-outs; false after reporting when the domain is refused.
    template <typename Object>
    bool Prepare(const Object& object) {
        if (m_options.connect.given)
            object.SetConnectTimeOut(m_options.connect.seconds, m_options.connect.microSeconds);
        if (m_options.search.given)
            object.SetSearchTimeOut(m_options.search.seconds, m_options.search.microSeconds);
        if (m_options.domainGiven && object.SetDomain(m_options.domain.c_str()) != 1) {
            m_exit =
                Fail(m_options.domain, object.GetErrorStatusCode(), object.GetErrorStatusText());
            return false;
        }
        return true;
    }
    // The exit status of a Prepare that returned false.
    int PrepareFailure() const { return m_exit; }

    // Writes the answer (text or JSON) and returns kExitSuccess.
    int Succeed(const Value& result, long code = 1, const std::string& text = std::string());
    // A check's answer: yes is success, no is kExitNotFound with the reason on standard error.
    int Answer(bool yes, long code, const std::string& text);
    // Reports a failure of `what` with the library's code and text on standard error (and the
    // JSON answer on standard output); the exit status the code stands for.
    int Fail(const std::string& what, long code, const std::string& text);
    template <typename Object>
    int Fail(const std::string& what, const Object& object) {
        return Fail(what, object.GetErrorStatusCode(), object.GetErrorStatusText());
    }
    int Usage(const std::string& message);

    // The password of `user`: the first line of --password-file, or asked on the terminal.
    bool Password(const std::string& user, std::string& password);

    // Shown on a terminal while a long list is read; fed by the trace sink.
    Progress& StartProgress(const std::string& label);
    Progress* CurrentProgress() { return m_progress.get(); }

  private:
    void Write(bool ok, const Value& result, long code, const std::string& text, int exit);

    Options m_options;
    std::string m_command;
    std::set<std::string> m_flags;
    std::unique_ptr<Progress> m_progress;
    int m_exit = kExitSuccess;
};

struct Command {
    const char* name;
    const char* arguments;
    const char* summary;
    std::size_t minArguments;
    std::size_t maxArguments;
    // Boolean options of this command, space-separated ("--eventual --count").
    const char* flags;
    int (*run)(Context& context, const Arguments& arguments);
};

struct CommandGroup {
    const char* name;
    const char* summary;
    const Command* commands;
    std::size_t count;
};

// A worker attribute the tool prints, under its JSON key and its label for people.
using zn::kWorkerFieldCount;
using zn::kWorkerFields;
using zn::WorkerField;

extern const CommandGroup kGroupCommands;
extern const CommandGroup kWorkerCommands;
extern const CommandGroup kChangeCommands;
extern const CommandGroup kDomainCommands;

// The names of a list of groups or workers, counted on the progress line as they are copied.
template <typename List, typename NameOf>
Value NamesOf(Context& context, const List& list, NameOf nameOf) {
    std::vector<std::string> names;
    const std::size_t total = list.size();
    names.reserve(total);
    Progress* progress = context.CurrentProgress();
    for (const auto& item : list) {
        names.push_back(nameOf(item));
        if (progress != nullptr) progress->SetWritten(names.size(), total);
    }
    return Value::Strings(std::move(names));
}

bool ParseNumber(const std::string& text, long& number);

}  // namespace zntool
