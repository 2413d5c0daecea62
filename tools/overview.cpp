// zngroups overview: what the sample directory holds, read through the library's own search
// routines and both classes; the demonstration starts with it.
#include <cstdio>
#include <list>
#include <string>

#include "CZNGroup.h"
#include "CZNWorker.h"
#include "session/directory_base.h"
#include "tools/json.h"
#include "tools/overview.h"

namespace {

using zntool::Visible;

class DirectoryReader : public zn::CZNDirectoryBase {
  public:
    std::list<std::string> values;
    std::list<std::string> names;
};

void PrintStatus(const DirectoryReader& reader) {
    std::printf("  status %ld: %s\n", reader.GetErrorStatusCode(),
                Visible(reader.GetErrorStatusText()).c_str());
}

void PrintList(const char* title, const std::list<std::string>& items) {
    std::printf("%s (%zu)\n", title, items.size());
    for (const std::string& item : items) {
        std::printf("  %s\n", Visible(item).c_str());
    }
}

// Errors go to standard error with the library's own text and code, so a script can tell a
// missing group from a directory that does not answer.
template <typename Object>
int Failure(const char* what, const Object& object) {
    std::fprintf(stderr, "zngroups: %s: %s (status %ld)\n", what,
                 Visible(object.GetErrorStatusText()).c_str(), object.GetErrorStatusCode());
    return 1;
}

// Every list query rewrites the object's one shared list, so each is printed before the next
// query runs.
void PrintWorkers(const char* title, const std::list<CZNWorker>& workers) {
    std::printf("  %s (%zu)\n", title, workers.size());
    for (const CZNWorker& worker : workers) {
        std::printf("    %s\n", Visible(worker.GetName()).c_str());
    }
}

void PrintGroups(const char* title, const std::list<CZNGroup>& groups) {
    std::printf("  %s (%zu)\n", title, groups.size());
    for (const CZNGroup& group : groups) {
        std::printf("    %s\n", Visible(group.GetGroupName()).c_str());
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
                    Visible(worker.GetErrorStatusText()).c_str());
        return 1;
    }
    std::printf("Worker %s (number %ld)\n  %-18s %s\n", Visible(worker.GetUserNameA()).c_str(),
                worker.GetWorkerNumber(), "DN", Visible(worker.GetWorkerDN()).c_str());
    for (const Field& field : kFields) {
        const std::string& value = (worker.*field.getter)();
        if (!value.empty()) {
            std::printf("  %-18s %s\n", field.label, Visible(value).c_str());
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
                Visible(worker.GetErrorStatusText()).c_str());
    return 0;
}

// A group's card: its attributes, then the people and the groups around it.
int ShowGroup(const CZNGroup& group) {
    if (group.IsValidGroup() == 0) {
        return Failure(Visible(group.GetGroupName()).c_str(), group);
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
    std::printf("Group %s\n", Visible(group.GetGroupName()).c_str());
    for (const Field& field : kFields) {
        const std::string& value = (group.*field.getter)();
        if (group.GetErrorStatusCode() != 1) {
            return Failure(field.label, group);
        }
        if (!value.empty()) {
            std::printf("  %-20s %s\n", field.label, Visible(value).c_str());
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

namespace zntool {

int RunOverview(const char* domain) {
    DirectoryReader reader;
    if (domain != nullptr) {
        reader.SetDomainAndPort(domain, zn::kDefaultAdministrationPort);
    }
    return Overview(reader);
}

}  // namespace zntool
