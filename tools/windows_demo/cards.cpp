// Windows demonstration: an application built against the installed headers and zngroups.dll
// prints a worker card and a group card.
//   cards [user name] [group name]
#include <cstdio>
#include <list>
#include <string>

#include "CZNGroup.h"
#include "CZNWorker.h"

namespace {

void Line(const char* label, const std::string& value) {
    if (!value.empty()) std::printf("  %-16s %s\n", label, value.c_str());
}

int WorkerCard(const std::string& userName) {
    CZNWorker worker(userName);
    if (worker.IsValidWorker() == 0) {
        std::printf("No worker %s: status %ld, %s\n", userName.c_str(), worker.GetErrorStatusCode(),
                    worker.GetErrorStatusText().c_str());
        return 1;
    }
    std::printf("Worker %s (number %ld)\n", worker.GetUserNameA().c_str(),
                worker.GetWorkerNumber());
    Line("Name", worker.GetFullName());
    Line("Job title", worker.GetJobTitle());
    Line("Company", worker.GetCompanyName());
    Line("Cost center", worker.GetCostCenter());
    Line("Office", worker.GetOfficeLocation());
    Line("Telephone", worker.GetPhoneNumber());
    Line("Mail", worker.GetEmailAddress());
    Line("Supervisor", worker.GetSupervisorUserName());
    std::string groups;
    for (const CZNGroup& group : worker.GetDirectGroups()) {
        groups += (groups.empty() ? "" : ", ") + group.GetGroupName();
    }
    Line("Member of", groups);
    return 0;
}

int GroupCard(const std::string& groupName) {
    CZNGroup group(groupName);
    if (group.IsValidGroup() == 0) {
        std::printf("No group %s: status %ld, %s\n", groupName.c_str(), group.GetErrorStatusCode(),
                    group.GetErrorStatusText().c_str());
        return 1;
    }
    std::printf("Group %s\n", group.GetGroupName().c_str());
    Line("Description", group.GetDescription());
    Line("Unit", group.GetOrganizationalUnit());
    std::string owners;
    for (const CZNWorker& owner : group.GetOwners()) {
        owners += (owners.empty() ? "" : ", ") + owner.GetUserNameA();
    }
    Line("Owners", owners);
    std::string subGroups;
    for (const CZNGroup& sub : group.GetSubGroups()) {
        subGroups += (subGroups.empty() ? "" : ", ") + sub.GetGroupName();
    }
    Line("Subgroups", subGroups);
    std::printf("  %-16s %ld direct, %ld eventual\n", "Members", group.GetDirectMembersCount(),
                group.GetEventualMembersCount());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string userName = argc > 1 ? argv[1] : "asmith";
    const std::string groupName = argc > 2 ? argv[2] : "ENG-ALL";
    int failures = WorkerCard(userName);
    std::printf("\n");
    failures += GroupCard(groupName);
    return failures == 0 ? 0 : 1;
}
