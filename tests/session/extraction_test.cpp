// Order and counting rules of the extraction routines, read from the sample directory.
#include <list>
#include <string>

#include "tests/session/session_fixture.h"

namespace zntest {
namespace {

using zn::CZNDirectoryBase;
using Strings = std::list<std::string>;

constexpr const char* kEngAll = "(&(objectclass=groupOfUniqueNames)(cn=ENG-ALL))";

class Extraction : public DirectoryTest {
  protected:
    CZNDirectoryBase base;
    Strings values;
    Strings names;
};

TEST_F(Extraction, ValuesComeAttributeByAttributeInTheServersOrder) {
    // Asked for in the opposite order; the server sends the entry's own order.
    const char* attributes[] = {"companyNumber", "description", nullptr};
    base.CollectValues(kEngAll, attributes, values);
    EXPECT_EQ(values, (Strings{"All engineering staff", "0042"}));
    EXPECT_EQ(base.GetErrorStatusCode(), 1);
    EXPECT_EQ(base.GetErrorStatusText(), Describe(0));

    // The count is that of the last attribute with values: six members, not one description.
    const char* counted[] = {"description", "uniqueMember", nullptr};
    EXPECT_EQ(base.CountValues(kEngAll, counted), 6);
    EXPECT_EQ(values.size(), 2u) << "CountValues leaves the value list alone";
}

TEST_F(Extraction, EntriesComeInTheServersOrder) {
    const char* cn[] = {"cn", nullptr};
    base.CollectValues("(&(objectclass=groupOfUniqueNames)(description=Regional sales team))", cn,
                       values);
    EXPECT_EQ(values, (Strings{"SALES-EMEA", "SALES-AMERICAS", "SALES-APAC"}));

    // Across entries the count is that of the last entry's attribute.
    const char* member[] = {"uniqueMember", nullptr};
    EXPECT_EQ(
        base.CountValues("(&(objectclass=groupOfUniqueNames)(|(cn=ENG-ALL)(cn=ENG-DB)))", member),
        1);
    EXPECT_EQ(base.CountValues("(cn=NO-SUCH-GROUP)", member), 0);
}

TEST_F(Extraction, FirstCharacterIsThatOfTheLastValueRead) {
    const char* flag[] = {"mailAliased", nullptr};
    EXPECT_EQ(base.ReadFirstCharacter(kEngAll, flag), 'Y');
    EXPECT_EQ(base.ReadFirstCharacter("(cn=ENG-BACKEND)", flag), 'N');
    EXPECT_EQ(base.ReadFirstCharacter("(cn=SALES-EMEA)", flag), 0);
    EXPECT_EQ(base.ReadFirstCharacter("(|(cn=ENG-ALL)(cn=ENG-BACKEND))", flag), 'N');
}

TEST_F(Extraction, NamesAreSortedAndKeepDuplicates) {
    const char* member[] = {"uniqueMember", nullptr};
    base.CollectNames(kEngAll, member, values, names);
    EXPECT_EQ(names, (Strings{"asmith", "bwhite", "cdoe", "cgreen", "egray", "jdoe"}));
    EXPECT_EQ(values.front(), "uid=asmith,ou=People," + std::string(zn::OrganizationBaseDN()))
        << "values keep server order";

    base.CollectNames("(|(cn=LOOP-A)(cn=LOOP-B))", member, values, names);
    EXPECT_EQ(names, (Strings{"egray", "egray"}));

    const char* subGroup[] = {"subGroup", nullptr};
    base.CollectNames(kEngAll, subGroup, values, names);
    EXPECT_EQ(names, (Strings{"ENG-BACKEND", "ENG-FRONTEND", "ENG-INFRA"}));
}

TEST_F(Extraction, FailedSearchLeavesEmptyResults) {
    ScopedFault down(Fault::kRefuse, {"ldap5", "ldap4", "ldap3", "ldap2", "ldap1"});
    const char* member[] = {"uniqueMember", nullptr};
    names = {"stale"};
    base.CollectNames(kEngAll, member, values, names);
    EXPECT_TRUE(values.empty());
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(base.GetErrorStatusCode(), 30006);
    EXPECT_EQ(base.CountValues(kEngAll, member), 0);
    const char* flag[] = {"mailAliased", nullptr};
    EXPECT_EQ(base.ReadFirstCharacter(kEngAll, flag), 0);
}

}  // namespace
}  // namespace zntest
