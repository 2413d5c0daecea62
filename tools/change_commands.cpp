// zngroups change ... and domain ...: questions about changes made, and the domains.
#include <string>

#include "CZNGroup.h"
#include "tools/cli.h"

namespace zntool {
namespace {

int Status(Context& c, const Arguments& a) {
    long number = 0;
    if (!ParseNumber(a[0], number)) return c.Usage("not a change number: " + a[0]);
    const CZNGroup group;
    if (!c.Prepare(group)) return c.PrepareFailure();
    long code = group.GetErrorStatusCode(number);
    std::string text = group.GetErrorStatusText(number);
    if (group.GetErrorStatusCode() != 1) return c.Fail("change " + a[0], group);
    Value outcome = Value::Object();
    outcome.Add("number", "Change", Value::Number(number));
    outcome.Add("code", "Code", Value::Number(code));
    outcome.Add("text", "Text", Value::String(text));
    return c.Succeed(outcome);
}

int Log(Context& c, const Arguments& a) {
    const CZNGroup group;
    if (!c.Prepare(group)) return c.PrepareFailure();
    c.StartProgress("Change log of " + a[0]);
    const std::list<std::string>& lines = group.GetGroupChangeLogs(a[0]);
    if (group.GetErrorStatusCode() != 1) return c.Fail(a[0], group);
    return c.Succeed(NamesOf(c, lines, [](const std::string& line) { return line; }));
}

int Entry(Context& c, const Arguments& a) {
    long number = 0;
    if (!ParseNumber(a[0], number)) return c.Usage("not a log entry number: " + a[0]);
    const CZNGroup group;
    if (!c.Prepare(group)) return c.PrepareFailure();
    std::string entry = group.GetChangeLogEntry(number);
    if (group.GetErrorStatusCode() != 1) return c.Fail("entry " + a[0], group);
    return c.Succeed(Value::String(entry));
}

int List(Context& c, const Arguments&) {
    const CZNGroup group;
    if (!c.Prepare(group)) return c.PrepareFailure();
    const std::list<std::string>& domains = group.GetDomains();
    if (group.GetErrorStatusCode() != 1) return c.Fail("domains", group);
    return c.Succeed(NamesOf(c, domains, [](const std::string& name) { return name; }));
}

int Check(Context& c, const Arguments& a) {
    const CZNGroup group;
    if (!c.Prepare(group)) return c.PrepareFailure();
    long yes = group.IsValidDomain(a[0].c_str());
    return c.Answer(yes == 1, group.GetErrorStatusCode(), group.GetErrorStatusText());
}

// Settings live only as long as the tool's objects: `set` proves that the domain would be
// taken and shows the domain the objects then use, as --domain does for one command.
int Set(Context& c, const Arguments& a) {
    const CZNGroup group;
    if (!c.Prepare(group)) return c.PrepareFailure();
    if (group.SetDomain(a[0].c_str()) != 1) return c.Fail(a[0], group);
    Value outcome = Value::Object();
    outcome.Add("domain", "Domain", Value::String(group.GetDomain()));
    return c.Succeed(outcome);
}

const Command kChanges[] = {
    {"status", "NUMBER", "the state of change NUMBER at the local administration server", 1, 1, "",
     Status},
    {"log", "GROUP", "the group's change log", 1, 1, "", Log},
    {"entry", "NUMBER", "one change-log entry", 1, 1, "", Entry},
};

const Command kDomains[] = {
    {"list", "", "the domains the directory lists", 0, 0, "", List},
    {"check", "DOMAIN", "whether DOMAIN is listed", 1, 1, "", Check},
    {"set", "DOMAIN", "select DOMAIN (the empty name: the local servers) and show it", 1, 1, "",
     Set},
};

}  // namespace

const CommandGroup kChangeCommands = {"change", "changes made: their state and the change logs",
                                      kChanges, sizeof kChanges / sizeof kChanges[0]};
const CommandGroup kDomainCommands = {"domain", "the directory's domains", kDomains,
                                      sizeof kDomains / sizeof kDomains[0]};

}  // namespace zntool
