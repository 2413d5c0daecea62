// zngroups: shows what the directory holds, through the library's own search routines.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <string>
#include <vector>

#include "CZNGroup.h"
#include "CZNWorker.h"
#include "session/directory_base.h"
#include "tools/change_commands.h"

namespace {

class DirectoryReader : public zn::CZNDirectoryBase {
  public:
    std::list<std::string> values;
    std::list<std::string> names;
};

void PrintStatus(const DirectoryReader& reader) {
    std::printf("  status %ld: %s\n", reader.GetErrorStatusCode(),
                reader.GetErrorStatusText().c_str());
}

void PrintList(const char* title, const std::list<std::string>& items) {
    std::printf("%s (%zu)\n", title, items.size());
    for (const std::string& item : items) {
        std::printf("  %s\n", item.c_str());
    }
}

int Usage() {
    std::fprintf(stderr,
                 "usage: zngroups [--domain NAME] overview\n"
                 "       zngroups [--domain NAME] values FILTER ATTRIBUTE...\n"
                 "       zngroups [--domain NAME] names FILTER ATTRIBUTE...\n"
                 "       zngroups worker USERNAME|NUMBER\n"
                 "       zngroups [--domain NAME] group NAME\n"
                 "       zngroups [--domain NAME] find PATTERN      ('*' is a wildcard)\n"
                 "       zngroups [--domain NAME] top\n"
                 "       zngroups [--domain NAME] change [--user NAME] [--password-file FILE] VERB GROUP [ARG...]\n"
                 "       zngroups [--domain NAME] status NUMBER | log-entry NUMBER | logs GROUP\n");
    return 2;
}

// Errors go to standard error with the library's own text and code, so a script can tell a
// missing group from a directory that does not answer.
template <typename Object>
int Failure(const char* what, const Object& object) {
    std::fprintf(stderr, "zngroups: %s: %s (status %ld)\n", what,
                 object.GetErrorStatusText().c_str(), object.GetErrorStatusCode());
    return 1;
}

// Every list query rewrites the object's one shared list, so each is printed before the next
// query runs.
void PrintWorkers(const char* title, const std::list<CZNWorker>& workers) {
    std::printf("  %s (%zu)\n", title, workers.size());
    for (const CZNWorker& worker : workers) {
        std::printf("    %s\n", worker.GetUserNameA().c_str());
    }
}

void PrintGroups(const char* title, const std::list<CZNGroup>& groups) {
    std::printf("  %s (%zu)\n", title, groups.size());
    for (const CZNGroup& group : groups) {
        std::printf("    %s\n", group.GetGroupName().c_str());
    }
}

// Everything the directory says about one worker, through the exported CZNWorker.
int ShowWorker(const CZNWorker& worker) {
    struct Field {
        const char* label;
        const std::string& (CZNWorker::*getter)() const;
    };
    static const Field kFields[] = {
        {"Full name", &CZNWorker::GetFullName},
        {"Given name", &CZNWorker::GetGivenName},
        {"Surname", &CZNWorker::GetSurName},
        {"Display name", &CZNWorker::GetDisplayName},
        {"Job title", &CZNWorker::GetJobTitle},
        {"Employee type", &CZNWorker::GetEmployeeType},
        {"Email", &CZNWorker::GetEmailAddress},
        {"Phone", &CZNWorker::GetPhoneNumber},
        {"Fax", &CZNWorker::GetFaxNumber},
        {"Pager", &CZNWorker::GetPagerNumber},
        {"Office", &CZNWorker::GetOfficeLocation},
        {"Mail stop", &CZNWorker::GetMailStop},
        {"Street", &CZNWorker::GetStreet},
        {"City", &CZNWorker::GetCity},
        {"State", &CZNWorker::GetState},
        {"Zip code", &CZNWorker::GetZipCode},
        {"Country", &CZNWorker::GetCountry},
        {"Company", &CZNWorker::GetCompanyName},
        {"Company number", &CZNWorker::GetCompanyNumber},
        {"Cost center", &CZNWorker::GetCostCenter},
        {"Cost center text", &CZNWorker::GetCostCenterDescription},
        {"Shift code", &CZNWorker::GetShiftCode},
        {"Ship-to street", &CZNWorker::GetShipToStreet},
        {"Ship-to city", &CZNWorker::GetShipToCity},
        {"Ship-to state", &CZNWorker::GetShipToState},
        {"Ship-to zip code", &CZNWorker::GetShipToZipCode},
        {"Ship-to country", &CZNWorker::GetShipToCountry},
        {"Supervisor", &CZNWorker::GetSupervisorUserName},
    };
    if (worker.IsValidWorker() == 0) {
        std::printf("No such worker\n  status %ld: %s\n", worker.GetErrorStatusCode(),
                    worker.GetErrorStatusText().c_str());
        return 1;
    }
    std::printf("Worker %s (number %ld)\n  %-18s %s\n", worker.GetUserNameA().c_str(),
                worker.GetWorkerNumber(), "DN", worker.GetWorkerDN().c_str());
    for (const Field& field : kFields) {
        const std::string& value = (worker.*field.getter)();
        if (!value.empty()) {
            std::printf("  %-18s %s\n", field.label, value.c_str());
        }
    }
    struct GroupList {
        const char* title;
        const std::list<CZNGroup>& (CZNWorker::*getter)() const;
    };
    static const GroupList kGroupLists[] = {
        {"Owner of", &CZNWorker::GetOwnerGroups},
        {"Contact of", &CZNWorker::GetContactGroups},
        {"Direct member of", &CZNWorker::GetDirectGroups},
        {"Eventual member of", &CZNWorker::GetEventualGroups},
    };
    for (const GroupList& list : kGroupLists) {
        const std::list<CZNGroup>& groups = (worker.*list.getter)();
        if (worker.GetErrorStatusCode() != 1) {
            return Failure(list.title, worker);
        }
        PrintGroups(list.title, groups);
    }
    std::printf("  status %ld: %s\n", worker.GetErrorStatusCode(),
                worker.GetErrorStatusText().c_str());
    return 0;
}

// A group's card: its attributes, then the people and the groups around it.
int ShowGroup(const CZNGroup& group) {
    if (group.IsValidGroup() == 0) {
        return Failure(group.GetGroupName().c_str(), group);
    }
    struct Field {
        const char* label;
        const std::string& (CZNGroup::*getter)() const;
    };
    static const Field kFields[] = {
        {"Description", &CZNGroup::GetDescription},
        {"Company number", &CZNGroup::GetCompanyNumber},
        {"Organizational unit", &CZNGroup::GetOrganizationalUnit},
    };
    struct PeopleList {
        const char* title;
        const std::list<CZNWorker>& (CZNGroup::*getter)() const;
    };
    static const PeopleList kPeopleLists[] = {
        {"Owners", &CZNGroup::GetOwners},
        {"Contacts", &CZNGroup::GetContacts},
        {"Direct members", &CZNGroup::GetDirectMembers},
        {"Eventual members", &CZNGroup::GetEventualMembers},
    };
    struct GroupList {
        const char* title;
        const std::list<CZNGroup>& (CZNGroup::*getter)() const;
    };
    static const GroupList kGroupLists[] = {
        {"Subgroups", &CZNGroup::GetSubGroups},
        {"Supergroups", &CZNGroup::GetSuperGroups},
        {"Eventual supergroups", &CZNGroup::GetEventualSuperGroups},
    };
    std::printf("Group %s\n", group.GetGroupName().c_str());
    for (const Field& field : kFields) {
        const std::string& value = (group.*field.getter)();
        if (group.GetErrorStatusCode() != 1) {
            return Failure(field.label, group);
        }
        if (!value.empty()) {
            std::printf("  %-20s %s\n", field.label, value.c_str());
        }
    }
    for (const PeopleList& list : kPeopleLists) {
        const std::list<CZNWorker>& workers = (group.*list.getter)();
        if (group.GetErrorStatusCode() != 1) {
            return Failure(list.title, group);
        }
        PrintWorkers(list.title, workers);
    }
    for (const GroupList& list : kGroupLists) {
        const std::list<CZNGroup>& groups = (group.*list.getter)();
        if (group.GetErrorStatusCode() != 1) {
            return Failure(list.title, group);
        }
        PrintGroups(list.title, groups);
    }
    return 0;
}

// One group name a line and nothing else, for scripts.
int PrintGroupNames(const CZNGroup& query, const std::list<CZNGroup>& groups, const char* what) {
    if (query.GetErrorStatusCode() != 1) {
        return Failure(what, query);
    }
    for (const CZNGroup& group : groups) {
        std::printf("%s\n", group.GetGroupName().c_str());
    }
    return 0;
}

int GroupCommand(const char* domain, const char* command, int argc, char** argv) {
    const CZNGroup group;
    if (domain != nullptr && group.SetDomain(domain) == 0) {
        return Failure(domain, group);
    }
    if (std::strcmp(command, "group") == 0 && argc == 1) {
        group.SetGroupName(argv[0]);
        return ShowGroup(group);
    }
    if (std::strcmp(command, "find") == 0 && argc == 1) {
        return PrintGroupNames(group, group.FindGroups(argv[0]), argv[0]);
    }
    if (std::strcmp(command, "top") == 0 && argc == 0) {
        return PrintGroupNames(group, group.GetTopGroups(), "top groups");
    }
    return Usage();
}

int Overview(DirectoryReader& reader) {
    const char* member[] = {"member", nullptr};
    const char* ou[] = {"ou", nullptr};
    const char* description[] = {"description", nullptr};
    const char* uniqueMember[] = {"uniqueMember", nullptr};

    std::printf("Directory under %s\n\n", zn::OrganizationBaseDN());
    reader.CollectValues("(&(objectclass=groupOfNames)(cn=Domains))", member, reader.values);
    PrintList("Domains", reader.values);
    PrintStatus(reader);
    reader.CollectValues("(&(objectclass=groupOfNames)(cn=Companies))", member, reader.values);
    PrintList("Active companies", reader.values);
    reader.CollectValues("(&(objectclass=OrganizationalUnit)(ou=*))", ou, reader.values);
    PrintList("Organizational units", reader.values);
    reader.CollectValues("(&(objectclass=groupOfUniqueNames)(cn=*))", description, reader.values);
    PrintList("Group descriptions", reader.values);
    reader.CollectNames("(cn=ENG-ALL)", uniqueMember, reader.values, reader.names);
    PrintList("Eventual members of ENG-ALL", reader.names);
    long count =
        reader.CountValues("(&(objectclass=groupOfUniqueNames)(cn=ENG-ALL))", uniqueMember);
    std::printf("Member count of ENG-ALL: %ld\n", count);
    PrintStatus(reader);
    if (reader.GetErrorStatusCode() != 1) {
        return 1;
    }
    std::printf("\n");
    if (ShowWorker(CZNWorker(std::string("jdoe"))) != 0) {
        return 1;
    }
    std::printf("\n");
    return ShowGroup(CZNGroup("ENG-ALL"));
}

}  // namespace

int main(int argc, char** argv) {
    DirectoryReader reader;
    const char* domain = nullptr;
    int next = 1;
    if (next + 1 < argc && std::strcmp(argv[next], "--domain") == 0) {
        domain = argv[next + 1];
        reader.SetDomainAndPort(domain, zn::kDefaultAdministrationPort);
        next += 2;
    }
    if (next >= argc || std::strcmp(argv[next], "overview") == 0) {
        return Overview(reader);
    }
    if (std::strcmp(argv[next], "worker") == 0 && next + 2 == argc) {
        char* end = nullptr;
        long number = std::strtol(argv[next + 1], &end, 10);
        return *end == '\0' && end != argv[next + 1]
                   ? ShowWorker(CZNWorker(number))
                   : ShowWorker(CZNWorker(std::string(argv[next + 1])));
    }
    if (std::strcmp(argv[next], "change") == 0) {
        return ChangeCommand(domain, argc - next - 1, argv + next + 1);
    }
    for (const char* command : {"status", "log-entry", "logs"}) {
        if (std::strcmp(argv[next], command) == 0 && next + 2 == argc) {
            return ChangeQuery(domain, command, argv[next + 1]);
        }
    }
    for (const char* command : {"group", "find", "top"}) {
        if (std::strcmp(argv[next], command) == 0) {
            return GroupCommand(domain, command, argc - next - 1, argv + next + 1);
        }
    }
    bool names = std::strcmp(argv[next], "names") == 0;
    if ((!names && std::strcmp(argv[next], "values") != 0) || next + 2 >= argc) {
        return Usage();
    }
    const char* filter = argv[next + 1];
    std::vector<const char*> attributes(argv + next + 2, argv + argc);
    attributes.push_back(nullptr);
    if (names) {
        reader.CollectNames(filter, attributes.data(), reader.values, reader.names);
        PrintList("Names", reader.names);
    } else {
        reader.CollectValues(filter, attributes.data(), reader.values);
        PrintList("Values", reader.values);
    }
    PrintStatus(reader);
    return reader.GetErrorStatusCode() == 1 ? 0 : 1;
}
