// zngroups: shows what the directory holds, through the library's own search routines.
#include <cstdio>
#include <cstring>
#include <list>
#include <string>
#include <vector>

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
                 "       zngroups [--domain NAME] names FILTER ATTRIBUTE...\n");
    return 2;
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
    return reader.GetErrorStatusCode() == 1 ? 0 : 1;
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
