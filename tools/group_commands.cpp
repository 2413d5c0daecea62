// zngroups group ...: every query and change of CZNGroup.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "CZNGroup.h"
#include "tools/cli.h"
#include "tools/details.h"

namespace zntool {
namespace {

using GroupList = const std::list<CZNGroup>& (CZNGroup::*)() const;
using WorkerList = const std::list<CZNWorker>& (CZNGroup::*)() const;
using Count = long (CZNGroup::*)() const;

std::string GroupName(const CZNGroup& group) {
    return group.GetGroupName();
}
std::string UserName(const CZNWorker& worker) {
    return worker.GetName();
}

// A group named on the command line must exist before its lists mean anything: an unknown
// group reads as an empty list with success.
bool Existing(Context& c, const CZNGroup& group, const std::string& name, int& exit) {
    if (!c.Prepare(group)) {
        exit = c.PrepareFailure();
        return false;
    }
    group.SetGroupName(name);
    if (group.IsValidGroup() != 1) {
        exit = c.Fail(name, group);
        return false;
    }
    return true;
}

template <typename List, typename NameOf>
int ListOrCount(Context& c, const CZNGroup& group, const std::string& label,
                const List& (CZNGroup::*list)() const, Count count, NameOf nameOf) {
    if (c.Flag("--count")) {
        long n = (group.*count)();
        if (group.GetErrorStatusCode() != 1) return c.Fail(label, group);
        return c.Succeed(Value::Number(n));
    }
    c.StartProgress(label);
    const List& items = (group.*list)();
    if (group.GetErrorStatusCode() != 1) return c.Fail(label, group);
    return c.Succeed(NamesOf(c, items, nameOf));
}

template <typename List, typename NameOf>
int GroupListCommand(Context& c, const Arguments& a, const char* what,
                     const List& (CZNGroup::*list)() const, Count count, NameOf nameOf) {
    const CZNGroup group;
    int exit = kExitSuccess;
    if (!Existing(c, group, a[0], exit)) return exit;
    return ListOrCount(c, group, std::string(what) + " of " + group.GetGroupName(), list, count,
                       nameOf);
}

// The details --with names for people: worker show's JSON keys.
std::vector<Detail<CZNWorker>> WorkerDetails() {
    std::vector<Detail<CZNWorker>> known = {
        {"workerNumber", "Worker number",
         [](const CZNWorker& w) { return std::to_string(w.GetWorkerNumber()); }},
        {"dn", "DN", [](const CZNWorker& w) { return w.GetWorkerDN(); }}};
    for (std::size_t i = 0; i < kWorkerFieldCount; ++i) {
        const WorkerField& field = kWorkerFields[i];
        known.push_back({field.key, field.label,
                         [getter = field.getter](const CZNWorker& w) { return (w.*getter)(); }});
    }
    return known;
}

// Members with the details --with names, loaded together rather than one search a person.
// A member whose entry is gone is listed with empty details; a directory that could not be
// asked fails the command.
int MembersWithDetails(Context& c, const Arguments& a, WorkerList list, const char* what) {
    std::vector<Detail<CZNWorker>> details;
    std::string problem;
    if (!ChooseDetails(c.options().with, WorkerDetails(), details, problem))
        return c.Usage(problem);
    const CZNGroup group;
    int exit = kExitSuccess;
    if (!Existing(c, group, a[0], exit)) return exit;
    const std::string label = std::string(what) + " of " + group.GetGroupName();
    c.StartProgress(label);
    const std::list<CZNWorker>& members = (group.*list)();
    if (group.GetErrorStatusCode() != 1) return c.Fail(label, group);
    // Only the attributes asked for travel; the user name, number and DN always do.
    std::vector<CZNWorker::AttributeGetter> getters;
    for (const Detail<CZNWorker>& detail : details) {
        for (const WorkerField& field : kWorkerFields) {
            if (detail.key == field.key) getters.push_back(field.getter);
        }
    }
    CZNWorker::LoadWorkers(members, getters);
    const bool json = c.options().json;
    Value objects = Value::Array();
    std::vector<std::vector<std::string>> rows;
    if (!json) {
        rows.push_back({"User"});
        for (const Detail<CZNWorker>& detail : details) rows[0].push_back(detail.label);
    }
    for (const CZNWorker& member : members) {
        const long code = member.GetErrorStatusCode();
        if (code != 1 && ExitStatusOf(code) != kExitNotFound)
            return c.Fail(member.GetName(), member);
        Value object = Value::Object();
        if (json) {
            object.Add("userName", Value::String(member.GetName()));
        } else {
            rows.push_back({member.GetName()});
        }
        for (const Detail<CZNWorker>& detail : details) {
            // An unknown person's getters would search again, for nothing.
            std::string value = code == 1 ? detail.read(member) : std::string();
            if (json) {
                object.Add(detail.key.c_str(), Value::String(std::move(value)));
            } else {
                rows.back().push_back(std::move(value));
            }
        }
        if (!json) continue;
        if (code != 1) object.Add("error", Value::String(member.GetErrorStatusText()));
        objects.Push(std::move(object));
    }
    return c.Succeed(json ? std::move(objects) : Value::Table(Columns(rows)));
}

int Members(Context& c, const Arguments& a) {
    if (c.options().withGiven) {
        if (c.Flag("--count")) return c.Usage("--with and --count exclude each other");
        return c.Flag("--eventual")
                   ? MembersWithDetails(c, a, &CZNGroup::GetEventualMembers, "Eventual members")
                   : MembersWithDetails(c, a, &CZNGroup::GetDirectMembers, "Direct members");
    }
    if (c.Flag("--eventual"))
        return GroupListCommand(c, a, "Eventual members", &CZNGroup::GetEventualMembers,
                                &CZNGroup::GetEventualMembersCount, UserName);
    return GroupListCommand(c, a, "Direct members", &CZNGroup::GetDirectMembers,
                            &CZNGroup::GetDirectMembersCount, UserName);
}
int Owners(Context& c, const Arguments& a) {
    return GroupListCommand(c, a, "Owners", &CZNGroup::GetOwners, &CZNGroup::GetOwnersCount,
                            UserName);
}
int Contacts(Context& c, const Arguments& a) {
    return GroupListCommand(c, a, "Contacts", &CZNGroup::GetContacts, &CZNGroup::GetContactsCount,
                            UserName);
}
int SubGroups(Context& c, const Arguments& a) {
    return GroupListCommand(c, a, "Subgroups", &CZNGroup::GetSubGroups,
                            &CZNGroup::GetSubGroupsCount, GroupName);
}
int SuperGroups(Context& c, const Arguments& a) {
    if (c.Flag("--eventual"))
        return GroupListCommand(c, a, "Eventual supergroups", &CZNGroup::GetEventualSuperGroups,
                                &CZNGroup::GetEventualSuperGroupsCount, GroupName);
    return GroupListCommand(c, a, "Supergroups", &CZNGroup::GetSuperGroups,
                            &CZNGroup::GetSuperGroupsCount, GroupName);
}

int Top(Context& c, const Arguments&) {
    const CZNGroup group;
    if (!c.Prepare(group)) return c.PrepareFailure();
    return ListOrCount(c, group, "Top groups", &CZNGroup::GetTopGroups,
                       &CZNGroup::GetTopGroupsCount, GroupName);
}

int Find(Context& c, const Arguments& a) {
    const CZNGroup group;
    if (!c.Prepare(group)) return c.PrepareFailure();
    c.StartProgress("Groups like " + a[0]);
    const std::list<CZNGroup>& found =
        c.Flag("--keyword") ? group.FindGroupsByKeyWord(a[0]) : group.FindGroups(a[0]);
    if (group.GetErrorStatusCode() != 1) return c.Fail(a[0], group);
    return c.Succeed(NamesOf(c, found, GroupName));
}

// The group's card: its attributes, the people who run it, and the groups around it.
int Show(Context& c, const Arguments& a) {
    const CZNGroup group;
    int exit = kExitSuccess;
    if (!Existing(c, group, a[0], exit)) return exit;
    Value card = Value::Object();
    card.Add("name", "Group", Value::String(group.GetGroupName()));
    struct Field {
        const char* key;
        const char* label;
        const std::string& (CZNGroup::*getter)() const;
    };
    static const Field kFields[] = {
        {"description", "Description", &CZNGroup::GetDescription},
        {"companyNumber", "Company number", &CZNGroup::GetCompanyNumber},
        {"organizationalUnit", "Organizational unit", &CZNGroup::GetOrganizationalUnit},
    };
    for (const Field& field : kFields) {
        std::string value = (group.*field.getter)();
        if (group.GetErrorStatusCode() != 1) return c.Fail(field.label, group);
        card.Add(field.key, field.label, Value::String(value));
    }
    long flag = group.GetMailAliasedFlag();
    if (group.GetErrorStatusCode() != 1) return c.Fail("Mail aliased", group);
    card.Add("mailAliased", "Mail aliased",
             Value::String(flag > 0 ? std::string(1, static_cast<char>(flag)) : std::string()));
    long isPublic = group.IsPublicGroup();
    if (isPublic != 1 && ExitStatusOf(group.GetErrorStatusCode()) != kExitNotFound)
        return c.Fail("Public", group);
    card.Add("public", "Public", Value::Bool(isPublic == 1));
    struct People {
        const char* key;
        const char* label;
        WorkerList list;
    };
    static const People kPeople[] = {
        {"owners", "Owners", &CZNGroup::GetOwners},
        {"contacts", "Contacts", &CZNGroup::GetContacts},
    };
    for (const People& people : kPeople) {
        Value names = NamesOf(c, (group.*people.list)(), UserName);
        if (group.GetErrorStatusCode() != 1) return c.Fail(people.label, group);
        card.Add(people.key, people.label, std::move(names));
    }
    struct Counted {
        const char* key;
        const char* label;
        Count count;
    };
    // Member lists can be long; the card counts them and `group members` lists them.
    static const Counted kCounts[] = {
        {"directMembers", "Direct members", &CZNGroup::GetDirectMembersCount},
        {"eventualMembers", "Eventual members", &CZNGroup::GetEventualMembersCount},
    };
    for (const Counted& counted : kCounts) {
        long n = (group.*counted.count)();
        if (group.GetErrorStatusCode() != 1) return c.Fail(counted.label, group);
        card.Add(counted.key, counted.label, Value::Number(n));
    }
    struct Groups {
        const char* key;
        const char* label;
        GroupList list;
    };
    static const Groups kGroups[] = {
        {"subGroups", "Subgroups", &CZNGroup::GetSubGroups},
        {"superGroups", "Supergroups", &CZNGroup::GetSuperGroups},
        {"eventualSuperGroups", "Eventual supergroups", &CZNGroup::GetEventualSuperGroups},
    };
    for (const Groups& groups : kGroups) {
        Value names = NamesOf(c, (group.*groups.list)(), GroupName);
        if (group.GetErrorStatusCode() != 1) return c.Fail(groups.label, group);
        card.Add(groups.key, groups.label, std::move(names));
    }
    return c.Succeed(card);
}

int Attribute(Context& c, const Arguments& a) {
    const CZNGroup group;
    int exit = kExitSuccess;
    if (!Existing(c, group, a[0], exit)) return exit;
    std::string value = group.GetGenericAttributeValue(a[1]);
    if (group.GetErrorStatusCode() != 1) return c.Fail(a[1], group);
    return c.Succeed(Value::String(value));
}

int OutlookName(Context& c, const Arguments& a) {
    const CZNGroup group;
    if (!c.Prepare(group)) return c.PrepareFailure();
    std::string value = group.GetOutlookDisplayName(a[0]);
    if (group.GetErrorStatusCode() != 1) return c.Fail(a[0], group);
    return c.Succeed(Value::String(value));
}

int StringList(Context& c, const char* what,
               const std::list<std::string>& (CZNGroup::*list)() const) {
    const CZNGroup group;
    if (!c.Prepare(group)) return c.PrepareFailure();
    const std::list<std::string>& items = (group.*list)();
    if (group.GetErrorStatusCode() != 1) return c.Fail(what, group);
    return c.Succeed(NamesOf(c, items, [](const std::string& s) { return s; }));
}
int Companies(Context& c, const Arguments&) {
    return StringList(c, "companies", &CZNGroup::GetActiveCompanies);
}
int Units(Context& c, const Arguments&) {
    return StringList(c, "units", &CZNGroup::GetOrganizationalUnits);
}
int KeyWords(Context& c, const Arguments&) {
    return StringList(c, "keywords", &CZNGroup::GetAvailableKeyWords);
}

// The checks: yes, or no with the library's reason.
template <typename Check>
int Checked(Context& c, Check check) {
    const CZNGroup group;
    if (!c.Prepare(group)) return c.PrepareFailure();
    long yes = check(group);
    return c.Answer(yes == 1, group.GetErrorStatusCode(), group.GetErrorStatusText());
}
int Exists(Context& c, const Arguments& a) {
    return Checked(c, [&](const CZNGroup& g) { return g.IsValidGroup(a[0]); });
}
int IsPublic(Context& c, const Arguments& a) {
    return Checked(c, [&](const CZNGroup& g) { return g.IsPublicGroup(a[0]); });
}
int IsMember(Context& c, const Arguments& a) {
    const bool eventual = c.Flag("--eventual");
    return Checked(c, [&](const CZNGroup& g) {
        return eventual ? g.IsValidGroupEventualMember(a[0], a[1])
                        : g.IsValidGroupDirectMember(a[0], a[1]);
    });
}
int IsOwner(Context& c, const Arguments& a) {
    return Checked(c, [&](const CZNGroup& g) { return g.IsValidGroupOwner(a[0], a[1]); });
}
int IsContact(Context& c, const Arguments& a) {
    return Checked(c, [&](const CZNGroup& g) { return g.IsValidGroupContact(a[0], a[1]); });
}
int IsSubGroup(Context& c, const Arguments& a) {
    return Checked(c, [&](const CZNGroup& g) { return g.IsValidGroupSubGroup(a[0], a[1]); });
}
int IsSuperGroup(Context& c, const Arguments& a) {
    const bool eventual = c.Flag("--eventual");
    return Checked(c, [&](const CZNGroup& g) {
        return eventual ? g.IsValidGroupEventualSuperGroup(a[0], a[1])
                        : g.IsValidGroupSuperGroup(a[0], a[1]);
    });
}
int ValidName(Context& c, const Arguments& a) {
    return Checked(c, [&](const CZNGroup& g) { return g.IsValidNewGroupName(a[0]); });
}
int IsUnit(Context& c, const Arguments& a) {
    return Checked(c, [&](const CZNGroup& g) { return g.IsValidOrganizationalUnit(a[0]); });
}
int IsCompany(Context& c, const Arguments& a) {
    return Checked(c, [&](const CZNGroup& g) { return g.IsActiveCompany(a[0]); });
}
int IsKeyWord(Context& c, const Arguments& a) {
    return Checked(c, [&](const CZNGroup& g) { return g.IsAvailableKeyWord(a[0]); });
}

// Changes: the requester is --user with its password, or else the account running the tool.
// The group argument "-" stands for no group (a group created or deleted at the top).
template <typename Change>
int Changed(Context& c, const Arguments& a, Change change) {
    const CZNGroup group;
    if (!c.Prepare(group)) return c.PrepareFailure();
    if (c.options().userGiven) {
        std::string password;
        if (!c.Password(c.options().user, password)) {
            std::fprintf(stderr,
                         "zngroups: no password: give --password-file or run on a terminal\n");
            return kExitUsage;
        }
        group.SetAccess(c.options().user, password);
    }
    group.SetGroupName(a[0] == "-" ? std::string() : a[0]);
    long result = change(group);
    if (result != 1) return c.Fail(a[0], group);
    Value outcome = Value::Object();
    outcome.Add("result", "Result", Value::Number(result));
    outcome.Add("text", "Text", Value::String(group.GetErrorStatusText()));
    // Text output is the server's own sentence ("Change 1 applied.").
    if (!c.options().json) {
        return c.Succeed(Value::String(group.GetErrorStatusText()), group.GetErrorStatusCode(),
                         group.GetErrorStatusText());
    }
    return c.Succeed(outcome, group.GetErrorStatusCode(), group.GetErrorStatusText());
}

#define ZN_CHANGE(Name, Call)                                          \
    int Name(Context& c, const Arguments& a) {                         \
        return Changed(c, a, [&](const CZNGroup& g) { return Call; }); \
    }
ZN_CHANGE(AddMember, g.AddDirectMember(a[1]))
ZN_CHANGE(DeleteMember, g.DeleteDirectMember(a[1]))
ZN_CHANGE(AddOwner, g.AddOwner(a[1]))
ZN_CHANGE(DeleteOwner, g.DeleteOwner(a[1]))
ZN_CHANGE(AddContact, g.AddContact(a[1]))
ZN_CHANGE(DeleteContact, g.DeleteContact(a[1]))
ZN_CHANGE(AddSubGroup, g.AddSubGroup(a[1]))
ZN_CHANGE(RemoveSubGroup, g.RemoveSubGroup(a[1]))
ZN_CHANGE(Create, g.CreateSubGroup(a[1], a[2]))
ZN_CHANGE(Delete, g.DeleteSubGroup(a[1]))
ZN_CHANGE(Rename, g.SetNewGroupName(a[1]))
ZN_CHANGE(SetCompany, g.SetCompanyNumber(a[1]))
ZN_CHANGE(SetDescription, g.SetDescription(a[1]))
ZN_CHANGE(SetAttribute, g.SetGenericAttributeValue(a[1], a[2]))
ZN_CHANGE(SetMailAliased, g.SetMailAliasedFlag())
ZN_CHANGE(ClearMailAliased, g.ClearMailAliasedFlag())
ZN_CHANGE(SetExchangeSync, g.SetExchangeSynchronization())
ZN_CHANGE(ClearExchangeSync, g.ClearExchangeSynchronization())
ZN_CHANGE(ResetLogs, g.ResetGroupChangeLogs())
ZN_CHANGE(AddKeyWord, g.AddKeyWord(a[1]))
ZN_CHANGE(DeleteKeyWord, g.DeleteKeyWord(a[1]))
ZN_CHANGE(SetUnit, g.SetOrganizationalUnit(a[1]))
ZN_CHANGE(SetOutlookName, g.SetOutlookDisplayName(a[1]))
#undef ZN_CHANGE

const Command kCommands[] = {
    {"show", "GROUP", "the group's attributes, owners, contacts, member counts and related groups",
     1, 1, "", Show},
    {"members", "GROUP",
     "direct members (--eventual: every member through subgroups; --with FIELD,...: with the "
     "details worker show names)",
     1, 1, "--eventual --count", Members},
    {"owners", "GROUP", "owners", 1, 1, "--count", Owners},
    {"contacts", "GROUP", "contacts", 1, 1, "--count", Contacts},
    {"subgroups", "GROUP", "direct subgroups", 1, 1, "--count", SubGroups},
    {"supergroups", "GROUP", "direct supergroups (--eventual: all above)", 1, 1,
     "--eventual --count", SuperGroups},
    {"top", "", "groups without a supergroup", 0, 0, "--count", Top},
    {"find", "PATTERN", "groups by name ('*' is a wildcard; --keyword: by keyword)", 1, 1,
     "--keyword", Find},
    {"attribute", "GROUP NAME", "the value of a generic attribute", 2, 2, "", Attribute},
    {"outlook-name", "GROUP", "the Outlook display name", 1, 1, "", OutlookName},
    {"companies", "", "the active companies", 0, 0, "", Companies},
    {"units", "", "the organizational units", 0, 0, "", Units},
    {"keywords", "", "the available keywords", 0, 0, "", KeyWords},
    {"exists", "GROUP", "whether the group exists", 1, 1, "", Exists},
    {"is-public", "GROUP", "whether the group is public", 1, 1, "", IsPublic},
    {"is-member", "GROUP USER", "whether USER is a direct (--eventual: any) member", 2, 2,
     "--eventual", IsMember},
    {"is-owner", "GROUP USER", "whether USER owns the group", 2, 2, "", IsOwner},
    {"is-contact", "GROUP USER", "whether USER is a contact", 2, 2, "", IsContact},
    {"is-subgroup", "GROUP CANDIDATE", "whether CANDIDATE is a subgroup", 2, 2, "", IsSubGroup},
    {"is-supergroup", "GROUP CANDIDATE",
     "whether CANDIDATE is a direct (--eventual: any) supergroup", 2, 2, "--eventual",
     IsSuperGroup},
    {"valid-name", "NAME", "whether NAME may be given to a new group", 1, 1, "", ValidName},
    {"is-unit", "UNIT", "whether UNIT is an organizational unit", 1, 1, "", IsUnit},
    {"is-company", "COMPANY", "whether COMPANY is active", 1, 1, "", IsCompany},
    {"is-keyword", "WORD", "whether WORD is an available keyword", 1, 1, "", IsKeyWord},
    {"add-member", "GROUP USER", "add a direct member", 2, 2, "", AddMember},
    {"delete-member", "GROUP USER", "delete a direct member", 2, 2, "", DeleteMember},
    {"add-owner", "GROUP USER", "add an owner", 2, 2, "", AddOwner},
    {"delete-owner", "GROUP USER", "delete an owner", 2, 2, "", DeleteOwner},
    {"add-contact", "GROUP USER", "add a contact", 2, 2, "", AddContact},
    {"delete-contact", "GROUP USER", "delete a contact", 2, 2, "", DeleteContact},
    {"add-subgroup", "GROUP SUBGROUP", "link SUBGROUP below GROUP", 2, 2, "", AddSubGroup},
    {"remove-subgroup", "GROUP SUBGROUP", "unlink SUBGROUP from GROUP", 2, 2, "", RemoveSubGroup},
    {"create", "PARENT|- NAME UNIT", "create group NAME in UNIT, below PARENT or at the top", 3, 3,
     "", Create},
    {"delete", "PARENT|- NAME", "delete group NAME, below PARENT or at the top", 2, 2, "", Delete},
    {"rename", "GROUP NEWNAME", "rename the group", 2, 2, "", Rename},
    {"set-company", "GROUP NUMBER", "set the company number", 2, 2, "", SetCompany},
    {"set-description", "GROUP TEXT", "set the description", 2, 2, "", SetDescription},
    {"set-attribute", "GROUP NAME VALUE", "set a generic attribute", 3, 3, "", SetAttribute},
    {"set-mail-aliased", "GROUP", "set the mail-aliased flag", 1, 1, "", SetMailAliased},
    {"clear-mail-aliased", "GROUP", "clear the mail-aliased flag", 1, 1, "", ClearMailAliased},
    {"set-exchange-sync", "GROUP", "set Exchange synchronization", 1, 1, "", SetExchangeSync},
    {"clear-exchange-sync", "GROUP", "clear Exchange synchronization", 1, 1, "", ClearExchangeSync},
    {"reset-logs", "GROUP", "empty the group's change logs", 1, 1, "", ResetLogs},
    {"add-keyword", "GROUP WORD", "add a keyword", 2, 2, "", AddKeyWord},
    {"delete-keyword", "GROUP WORD", "delete a keyword", 2, 2, "", DeleteKeyWord},
    {"set-unit", "GROUP UNIT", "move the group to another organizational unit", 2, 2, "", SetUnit},
    {"set-outlook-name", "GROUP NAME", "set the Outlook display name", 2, 2, "", SetOutlookName},
};

}  // namespace

const CommandGroup kGroupCommands = {"group", "groups: queries, checks and changes", kCommands,
                                     sizeof kCommands / sizeof kCommands[0]};

}  // namespace zntool
