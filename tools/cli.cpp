// The answer's forms, the exit statuses and the password of the zngroups tool.
#include "tools/cli.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

// First: g++ takes its scoped enumerators for shadows of the status codes' names otherwise.
#include "session/status_kind.h"

#include "session/status_codes.h"
#include "tools/details.h"
#include "tools/json.h"
#include "tools/terminal.h"

namespace zntool {
namespace {

namespace status = zn::status;

// The exit statuses are the kinds of status code themselves.
static_assert(static_cast<int>(status::Kind::kNotFound) == kExitNotFound);
static_assert(static_cast<int>(status::Kind::kRefused) == kExitRefused);
static_assert(static_cast<int>(status::Kind::kUnreachable) == kExitUnreachable);

}  // namespace

int ExitStatusOf(long code) {
    return static_cast<int>(status::KindOf(code));
}

bool ParseNumber(const std::string& text, long& number) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    number = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && end != nullptr && *end == '\0';
}

Context::Context(Options options, std::string command, std::set<std::string> flags)
    : m_options(std::move(options)), m_command(std::move(command)), m_flags(std::move(flags)) {}

void Context::Write(bool ok, const Value& result, long code, const std::string& text, int exit) {
    if (m_progress) m_progress->Finish();
    std::string out;
    if (m_options.json) {
        Value answer = Value::Object();
        answer.Add("command", Value::String(m_command));
        answer.Add("ok", Value::Bool(ok));
        answer.Add("exit", Value::Number(exit));
        Value statusValue = Value::Object();
        statusValue.Add("code", Value::Number(code));
        statusValue.Add("text", Value::String(text));
        answer.Add("status", std::move(statusValue));
        answer.Add("result", result);
        answer.WriteJson(out);
        out += '\n';
    } else if (ok) {
        result.WriteText(out);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

int Context::Succeed(const Value& result, long code, const std::string& text) {
    Write(true, result, code, text, kExitSuccess);
    return kExitSuccess;
}

int Context::Answer(bool yes, long code, const std::string& text) {
    // A plain no may come with the success code and no reason.
    const int exit = yes ? kExitSuccess : code == 1 ? kExitNotFound : ExitStatusOf(code);
    if (exit != kExitSuccess && exit != kExitNotFound) {
        return Fail(m_command, code, text);
    }
    Write(true, Value::Bool(yes), code, text, exit);
    if (!yes && !text.empty()) {
        std::fprintf(stderr, "zngroups: %s (status %ld)\n", Visible(text).c_str(), code);
    }
    return exit;
}

int Context::Fail(const std::string& what, long code, const std::string& text) {
    // A failure that still says success (an empty answer where one was due) is a refusal.
    const int exit = code == status::kSuccess ? kExitRefused : ExitStatusOf(code);
    Write(false, Value(), code, text, exit);
    std::fprintf(stderr, "zngroups: %s: %s (status %ld)\n", Visible(what).c_str(),
                 Visible(text).c_str(), code);
    return exit;
}

int Context::Usage(const std::string& message) {
    std::fprintf(stderr, "zngroups: %s\nTry 'zngroups %s --help'.\n", message.c_str(),
                 m_command.c_str());
    return kExitUsage;
}

bool Context::Password(const std::string& user, std::string& password) {
    if (!m_options.passwordFile.empty()) {
        std::ifstream in(m_options.passwordFile);
        if (!in) return false;
        std::getline(in, password);
        if (!password.empty() && password.back() == '\r') password.pop_back();
        return true;
    }
    return ReadSecretFromTerminal("Password for " + user + ": ", password);
}

Progress& Context::StartProgress(const std::string& label) {
    m_progress = std::make_unique<Progress>(StandardErrorIsTerminal(), label);
    return *m_progress;
}

std::vector<std::string> Columns(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], Visible(row[i]).size());
    }
    std::vector<std::string> lines;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            const std::string cell = Visible(row[i]);
            line += cell;
            if (i + 1 < row.size()) line += std::string(widths[i] - cell.size() + 2, ' ');
        }
        lines.push_back(line);
    }
    return lines;
}

}  // namespace zntool
