// zngroups: shows what the directory holds, through the library's own search routines.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <string>
#include <vector>

#include "CZNWorker.h"
#include "session/directory_base.h"

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
                 "       zngroups worker USERNAME|NUMBER\n");
    return 2;
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
    std::printf("  status %ld: %s\n", worker.GetErrorStatusCode(),
                worker.GetErrorStatusText().c_str());
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
    return ShowWorker(CZNWorker(std::string("jdoe")));
}

}  // namespace

int main(int argc, char** argv) {
    DirectoryReader reader;
    int next = 1;
    if (next + 1 < argc && std::strcmp(argv[next], "--domain") == 0) {
        reader.SetDomainAndPort(argv[next + 1], zn::kDefaultAdministrationPort);
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
