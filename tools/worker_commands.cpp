// zngroups worker ...: every query of CZNWorker, and authentication.
#include <cstdio>
#include <string>

#include "CZNWorker.h"
#include "tools/cli.h"
#include "tools/details.h"

namespace zntool {
namespace {

using GroupList = const std::list<CZNGroup>& (CZNWorker::*)() const;

std::string GroupName(const CZNGroup& group) {
    return group.GetGroupName();
}

// A worker by user name, or by worker number when the argument is all digits.
bool Named(Context& c, const CZNWorker& worker, const std::string& who, int& exit) {
    if (!c.Prepare(worker)) {
        exit = c.PrepareFailure();
        return false;
    }
    long number = 0;
    if (ParseNumber(who, number) && number > 0) {
        worker.GetUserNameA(number);
    } else {
        worker.SetUserName(who);
    }
    if (worker.IsValidWorker() != 1) {
        exit = c.Fail(who, worker);
        return false;
    }
    return true;
}

int Show(Context& c, const Arguments& a) {
    const CZNWorker worker;
    int exit = kExitSuccess;
    if (!Named(c, worker, a[0], exit)) return exit;
    Value card = Value::Object();
    card.Add("userName", "Worker", Value::String(worker.GetUserNameA()));
    long number = worker.GetWorkerNumber();
    if (worker.GetErrorStatusCode() != 1) return c.Fail(a[0], worker);
    card.Add("workerNumber", "Worker number", Value::Number(number));
    card.Add("dn", "DN", Value::String(worker.GetWorkerDN()));
    for (const WorkerField& field : kWorkerFields) {
        std::string value = (worker.*field.getter)();
        if (worker.GetErrorStatusCode() != 1) return c.Fail(field.label, worker);
        card.Add(field.key, field.label, Value::String(value));
    }
    return c.Succeed(card);
}

int Find(Context& c, const Arguments& a) {
    const CZNWorker worker;
    if (!c.Prepare(worker)) return c.PrepareFailure();
    if (c.Flag("--first-name") && c.Flag("--last-name"))
        return c.Usage("--first-name and --last-name exclude each other");
    c.StartProgress("Workers like " + a[0]);
    const std::list<CZNWorker>& found = c.Flag("--first-name") ? worker.FindWorkersByFirstName(a[0])
                                        : c.Flag("--last-name") ? worker.FindWorkersByLastName(a[0])
                                                                : worker.FindWorkers(a[0]);
    if (worker.GetErrorStatusCode() != 1) return c.Fail(a[0], worker);
    return c.Succeed(NamesOf(c, found, [](const CZNWorker& w) { return w.GetName(); }));
}

struct Relation {
    const char* flag;
    const char* key;
    const char* label;
    GroupList list;
    long (CZNWorker::*check)(const std::string&) const;
};
const Relation kRelations[] = {
    {"--owner", "owner", "Owner of", &CZNWorker::GetOwnerGroups, &CZNWorker::IsValidOwnerGroup},
    {"--contact", "contact", "Contact of", &CZNWorker::GetContactGroups,
     &CZNWorker::IsValidContactGroup},
    {"--direct", "direct", "Direct member of", &CZNWorker::GetDirectGroups,
     &CZNWorker::IsValidDirectGroup},
    {"--eventual", "eventual", "Eventual member of", &CZNWorker::GetEventualGroups,
     &CZNWorker::IsValidEventualGroup},
};

// The details --with names for groups: group show's JSON keys.
std::vector<Detail<CZNGroup>> GroupDetails() {
    return {
        {"description", "Description", [](const CZNGroup& g) { return g.GetDescription(); }},
        {"companyNumber", "Company number", [](const CZNGroup& g) { return g.GetCompanyNumber(); }},
        {"organizationalUnit", "Organizational unit",
         [](const CZNGroup& g) { return g.GetOrganizationalUnit(); }},
        {"mailAliased", "Mail aliased",
         [](const CZNGroup& g) {
             const long flag = g.GetMailAliasedFlag();
             return flag > 0 ? std::string(1, static_cast<char>(flag)) : std::string();
         }},
    };
}

// The groups of one relation with the details --with names, read together rather than a
// search per group and detail; a group gone since the listing has empty details.
Value GroupsWithDetails(const std::list<CZNGroup>& groups,
                        const std::vector<Detail<CZNGroup>>& details, bool json) {
    CZNGroup::LoadGroups(groups);
    Value objects = Value::Array();
    std::vector<std::vector<std::string>> rows(1, {"Group"});
    for (const Detail<CZNGroup>& detail : details) rows[0].push_back(detail.label);
    for (const CZNGroup& group : groups) {
        const bool found = group.GetErrorStatusCode() == 1;
        Value object = Value::Object();
        object.Add("name", Value::String(group.GetGroupName()));
        rows.push_back({group.GetGroupName()});
        for (const Detail<CZNGroup>& detail : details) {
            const std::string value = found ? detail.read(group) : std::string();
            object.Add(detail.key.c_str(), Value::String(value));
            rows.back().push_back(value);
        }
        if (!found) object.Add("error", Value::String(group.GetErrorStatusText()));
        objects.Push(std::move(object));
    }
    return json ? std::move(objects) : Value::Table(Columns(rows));
}

// Every relation, or only those asked for by flag.
int Groups(Context& c, const Arguments& a) {
    std::vector<Detail<CZNGroup>> details;
    std::string problem;
    if (c.options().withGiven && !ChooseDetails(c.options().with, GroupDetails(), details, problem))
        return c.Usage(problem);
    const CZNWorker worker;
    int exit = kExitSuccess;
    if (!Named(c, worker, a[0], exit)) return exit;
    auto listed = [&](const std::list<CZNGroup>& groups) {
        return c.options().withGiven ? GroupsWithDetails(groups, details, c.options().json)
                                     : NamesOf(c, groups, GroupName);
    };
    int asked = 0;
    for (const Relation& relation : kRelations) asked += c.Flag(relation.flag) ? 1 : 0;
    c.StartProgress("Groups of " + worker.GetUserNameA());
    if (asked == 1) {
        for (const Relation& relation : kRelations) {
            if (!c.Flag(relation.flag)) continue;
            const std::list<CZNGroup>& groups = (worker.*relation.list)();
            if (worker.GetErrorStatusCode() != 1) return c.Fail(relation.label, worker);
            return c.Succeed(listed(groups));
        }
    }
    Value all = Value::Object();
    for (const Relation& relation : kRelations) {
        if (asked > 0 && !c.Flag(relation.flag)) continue;
        const std::list<CZNGroup>& groups = (worker.*relation.list)();
        if (worker.GetErrorStatusCode() != 1) return c.Fail(relation.label, worker);
        all.Add(relation.key, relation.label, listed(groups));
    }
    return c.Succeed(all);
}

int InGroup(Context& c, const Arguments& a) {
    const CZNWorker worker;
    if (!c.Prepare(worker)) return c.PrepareFailure();
    const Relation* chosen = &kRelations[2];
    int asked = 0;
    for (const Relation& relation : kRelations) {
        if (c.Flag(relation.flag)) {
            chosen = &relation;
            ++asked;
        }
    }
    if (asked > 1) return c.Usage("give at most one of --owner, --contact, --direct, --eventual");
    worker.SetUserName(a[0]);
    long yes = (worker.*chosen->check)(a[1]);
    return c.Answer(yes == 1, worker.GetErrorStatusCode(), worker.GetErrorStatusText());
}

int Exists(Context& c, const Arguments& a) {
    const CZNWorker worker;
    if (!c.Prepare(worker)) return c.PrepareFailure();
    long number = 0;
    long yes =
        ParseNumber(a[0], number) ? worker.IsValidWorker(number) : worker.IsValidWorker(a[0]);
    return c.Answer(yes == 1, worker.GetErrorStatusCode(), worker.GetErrorStatusText());
}

int Number(Context& c, const Arguments& a) {
    const CZNWorker worker;
    if (!c.Prepare(worker)) return c.PrepareFailure();
    long number = worker.GetWorkerNumber(a[0]);
    if (worker.GetErrorStatusCode() != 1 || number == 0) return c.Fail(a[0], worker);
    return c.Succeed(Value::Number(number));
}

int Name(Context& c, const Arguments& a) {
    const CZNWorker worker;
    if (!c.Prepare(worker)) return c.PrepareFailure();
    long number = 0;
    if (!ParseNumber(a[0], number)) return c.Usage("not a worker number: " + a[0]);
    std::string name = worker.GetUserNameA(number);
    if (worker.GetErrorStatusCode() != 1 || name.empty()) return c.Fail(a[0], worker);
    return c.Succeed(Value::String(name));
}

int Dn(Context& c, const Arguments& a) {
    const CZNWorker worker;
    if (!c.Prepare(worker)) return c.PrepareFailure();
    std::string dn = worker.GetWorkerDN(a[0]);
    if (worker.GetErrorStatusCode() != 1 || dn.empty()) return c.Fail(a[0], worker);
    return c.Succeed(Value::String(dn));
}

// The user is the argument or --user; the password never comes from the command line.
int Authenticate(Context& c, const Arguments& a) {
    const std::string user = !a.empty() ? a[0] : c.options().user;
    if (user.empty()) return c.Usage("name the user: worker authenticate USER");
    const CZNWorker worker;
    if (!c.Prepare(worker)) return c.PrepareFailure();
    if (c.Flag("--refuse-generic")) worker.SetAllowGenericAuthentication(0);
    std::string password;
    if (!c.Password(user, password)) {
        std::fprintf(stderr, "zngroups: no password: give --password-file or run on a terminal\n");
        return kExitUsage;
    }
    long result = worker.Authenticate(user, password);
    if (result != 1) return c.Fail(user, worker);
    return c.Succeed(Value::String(worker.GetErrorStatusText()), worker.GetErrorStatusCode(),
                     worker.GetErrorStatusText());
}

// The login dialog, drawn on the terminal; single sign-on when the directory allows it.
int Login(Context& c, const Arguments& a) {
    const CZNWorker worker;
    if (!c.Prepare(worker)) return c.PrepareFailure();
    long result = a.size() == 2   ? worker.Login(a[1], a[0])
                  : a.size() == 1 ? worker.Login(a[0])
                                  : worker.Login();
    if (result != 1) {
        // 5 is the user's own cancel, not a refusal by the directory.
        if (result == 5) {
            std::fprintf(stderr, "zngroups: login cancelled\n");
            return kExitRefused;
        }
        return c.Fail("login", worker);
    }
    Value outcome = Value::Object();
    outcome.Add("userName", "Signed on", Value::String(worker.GetUserNameA()));
    return c.Succeed(outcome, worker.GetErrorStatusCode(), worker.GetErrorStatusText());
}

const Command kCommands[] = {
    {"show", "USER|NUMBER", "every attribute the directory holds for the worker", 1, 1, "", Show},
    {"find", "PATTERN", "workers by user name, given name or surname ('*' is a wildcard)", 1, 1,
     "--first-name --last-name", Find},
    {"groups", "USER|NUMBER",
     "groups the worker owns, is a contact or member of (--with FIELD,...: with the details "
     "group show names)",
     1, 1, "--owner --contact --direct --eventual", Groups},
    {"in-group", "USER GROUP",
     "whether the worker is a direct member (or --owner, --contact, --eventual)", 2, 2,
     "--owner --contact --direct --eventual", InGroup},
    {"exists", "USER|NUMBER", "whether the directory knows the worker", 1, 1, "", Exists},
    {"number", "USER", "the worker number of a user name", 1, 1, "", Number},
    {"name", "NUMBER", "the user name of a worker number", 1, 1, "", Name},
    {"dn", "USER", "the worker's directory entry", 1, 1, "", Dn},
    {"authenticate", "[USER]", "check a password (asked on the terminal, or --password-file)", 0, 1,
     "--refuse-generic", Authenticate},
    {"login", "[USER [TITLE]]", "sign on: single sign-on, or the login dialog on the terminal", 0,
     2, "", Login},
};

}  // namespace

const CommandGroup kWorkerCommands = {"worker", "workers: attributes, searches, groups, sign-on",
                                      kCommands, sizeof kCommands / sizeof kCommands[0]};

}  // namespace zntool
