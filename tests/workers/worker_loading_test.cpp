// Loading workers from the sandboxed directory through the exported CZNWorker.
#include <gtest/gtest.h>

#include <string>

#include "CZNWorker.h"
#include "session/directory_base.h"
#include "tests/support/sandbox_fixture.h"

namespace {

using zntest::Fault;
using zntest::ScopedFault;

const std::string kNoConnection = "No connection available to an LDAP server.";
const std::string kLongestUserName = "lorenzo.bartholomew.fitzgerald.montgomery-whitfield";

std::string PersonDN(const std::string& uid, const std::string& unit = "People") {
    return "uid=" + uid + ",ou=" + unit + "," + zn::OrganizationBaseDN();
}

// All local servers refuse connections while it lives: any directory access then ends in
// 30006, so a status of 1 proves that none was made.
class LocalOutage : public ScopedFault {
  public:
    LocalOutage() : ScopedFault(Fault::kRefuse, {"ldap5", "ldap4", "ldap3", "ldap2", "ldap1"}) {}
};

void ExpectStatus(const CZNWorker& worker, long code, const std::string& text) {
    EXPECT_EQ(worker.GetErrorStatusCode(), code);
    EXPECT_EQ(worker.GetErrorStatusText(), text);
}

void ExpectOutage(const CZNWorker& worker) {
    EXPECT_EQ(worker.GetErrorStatusCode(), 30006);
    const std::string& text = worker.GetErrorStatusText();
    EXPECT_GE(text.size(), kNoConnection.size());
    EXPECT_EQ(text.substr(text.size() - std::min(text.size(), kNoConnection.size())),
              kNoConnection);
}

class WorkerLoading : public zntest::SandboxTest {};

TEST_F(WorkerLoading, ReadsEveryAttributeOfTheTableInOneLoad) {
    CZNWorker worker("jdoe");
    EXPECT_EQ(worker.GetFullName(), "John Doe");
    ExpectStatus(worker, 1, "");
    {
        LocalOutage down;  // every further answer comes from memory
        EXPECT_EQ(worker.GetCity(), "Springfield");
        EXPECT_EQ(worker.GetCompanyName(), "Example Holding");
        EXPECT_EQ(worker.GetCompanyNumber(), "0042");
        EXPECT_EQ(worker.GetCostCenter(), "4711");
        EXPECT_EQ(worker.GetDepartment(), "4711");
        EXPECT_EQ(worker.GetCostCenterDescription(), "Backend Development");
        EXPECT_EQ(worker.GetCountry(), "US");
        EXPECT_EQ(worker.GetDisplayName(), "Doe, John");
        EXPECT_EQ(worker.GetEmailAddress(), "john.doe@example.com");
        EXPECT_EQ(worker.GetEmployeeType(), "Employee");
        EXPECT_EQ(worker.GetFaxNumber(), "+1 555 0199");
        EXPECT_EQ(worker.GetGivenName(), "John");
        EXPECT_EQ(worker.GetJobTitle(), "Senior Software Engineer");
        EXPECT_EQ(worker.GetMailStop(), "MS-12");
        EXPECT_EQ(worker.GetOfficeLocation(), "B2-114");
        EXPECT_EQ(worker.GetPagerNumber(), "+1 555 0177");
        EXPECT_EQ(worker.GetPhoneNumber(), "+1 555 0102");
        EXPECT_EQ(worker.GetShiftCode(), "D1");
        EXPECT_EQ(worker.GetShipToCity(), "Shelbyville");
        EXPECT_EQ(worker.GetShipToCountry(), "United States");
        EXPECT_EQ(worker.GetShipToState(), "IN");
        EXPECT_EQ(worker.GetShipToStreet(), "200 Dock Road");
        EXPECT_EQ(worker.GetShipToZipCode(), "46176");
        EXPECT_EQ(worker.GetState(), "IL");
        EXPECT_EQ(worker.GetStreet(), "100 Main Street");
        EXPECT_EQ(worker.GetSupervisorUserName(), "asmith");
        EXPECT_EQ(worker.GetSurName(), "Doe");
        EXPECT_EQ(worker.GetZipCode(), "62701");
        EXPECT_EQ(worker.GetUserNameA(), "jdoe");
        EXPECT_EQ(worker.GetWorkerNumber(), 1002);
        EXPECT_EQ(worker.GetWorkerDN(), PersonDN("jdoe"));
        ExpectStatus(worker, 1, "");
    }
}

TEST_F(WorkerLoading, ConvertsBetweenUserNameAndWorkerNumber) {
    CZNWorker worker;
    EXPECT_EQ(worker.GetUserNameA(1003), "bwhite");
    EXPECT_EQ(worker.GetWorkerNumber("HKIM"), 3001);
    // The directory's form of the uid replaces the name as it was given.
    EXPECT_EQ(worker.GetUserNameA(), "hkim");
    EXPECT_EQ(worker.IsValidWorker(2001L), 1);
    EXPECT_EQ(worker.GetFullName(), "Dan Black");
    EXPECT_EQ(worker.IsValidWorker(std::string("mlopez")), 1);
    ExpectStatus(worker, 1, "");
}

TEST_F(WorkerLoading, UserNameTakesPrecedenceOverNumberUnlessItIsTooLong) {
    CZNWorker worker(1002L);
    worker.SetUserName("bwhite");
    EXPECT_EQ(worker.GetFullName(), "Bob White");
    EXPECT_EQ(worker.GetWorkerNumber(), 1003);

    // A name beyond 51 characters cannot be looked up; a number still can.
    worker.SetUserName(kLongestUserName + "x");
    EXPECT_EQ(worker.GetFullName(), "Bob White");
    EXPECT_EQ(worker.GetUserNameA(), "bwhite");
}

TEST_F(WorkerLoading, UserNamesUpTo51CharactersAreLookedUp) {
    CZNWorker worker(kLongestUserName);
    EXPECT_EQ(worker.GetSurName(), "Montgomery-Whitfield");
    EXPECT_EQ(worker.GetWorkerNumber(), 1009);

    LocalOutage down;
    CZNWorker tooLong(kLongestUserName + "x");
    EXPECT_EQ(tooLong.GetSurName(), "");
    ExpectStatus(tooLong, 30005, "Specified username is not valid.");
    EXPECT_EQ(tooLong.GetWorkerDN(), "");
    ExpectStatus(tooLong, 30005, "Specified username is not valid.");
}

TEST_F(WorkerLoading, ReportsTheFailureTableExactly) {
    CZNWorker nobody;
    EXPECT_EQ(nobody.GetFullName(), "");
    ExpectStatus(nobody, 30021, "No username or worker number specified.");
    EXPECT_EQ(nobody.GetWorkerDN(), "");
    ExpectStatus(nobody, 30021, "No username specified.");

    {
        LocalOutage down;  // neither of these searches
        CZNWorker zero;
        EXPECT_EQ(zero.IsValidWorker(0L), 0);
        ExpectStatus(zero, 30013, "0 is not a valid worker number.");
        EXPECT_EQ(zero.GetUserNameA(0), "");
        ExpectStatus(zero, 30013, "0 is not a valid worker number.");
    }

    CZNWorker worker;
    EXPECT_EQ(worker.IsValidWorker(999999L), 0);
    ExpectStatus(worker, 30013, "999999 is not a valid worker number.");
    EXPECT_EQ(worker.GetUserNameA(), "");
    EXPECT_EQ(worker.IsValidWorker(-5L), 0);
    ExpectStatus(worker, 30013, "-5 is not a valid worker number.");

    // The name is kept as given, in its case.
    EXPECT_EQ(worker.IsValidWorker(std::string("NoBody")), 0);
    ExpectStatus(worker, 30005, "NoBody is not a valid username.");
    EXPECT_EQ(worker.GetWorkerDN(), "");
    ExpectStatus(worker, 30005, "NoBody is not a valid username.");
    EXPECT_EQ(worker.GetUserNameA(), "NoBody");
    // Asked by user name, reported by number.
    ExpectStatus(worker, 30013, "-5 is not a valid worker number.");
}

TEST_F(WorkerLoading, ANewUserNameKeepsThePreviousWorkerNumber) {
    CZNWorker worker(1004L);
    EXPECT_EQ(worker.GetUserNameA(), "cgreen");
    EXPECT_EQ(worker.GetWorkerNumber("ghost"), 1004);
    ExpectStatus(worker, 30005, "ghost is not a valid username.");
    EXPECT_EQ(worker.GetCity(), "");
}

TEST_F(WorkerLoading, ANewNumberForgetsTheUserName) {
    CZNWorker worker("jdoe");
    EXPECT_EQ(worker.GetWorkerNumber(), 1002);
    EXPECT_EQ(worker.IsValidWorker(888888L), 0);
    EXPECT_EQ(worker.GetUserNameA(), "");
    ExpectStatus(worker, 30013, "888888 is not a valid worker number.");
    EXPECT_EQ(worker.GetWorkerDN(), "");
    ExpectStatus(worker, 30021, "No username specified.");
}

TEST_F(WorkerLoading, SearchesOnlyWhenTheIdentityIsNotLoaded) {
    CZNWorker byName("cgreen");
    CZNWorker byNumber(1001L);
    {
        LocalOutage down;
        // Construction reads nothing...
        CZNWorker built("egray");
        ExpectStatus(built, 1, "");
        // ...the first getter does.
        EXPECT_EQ(built.GetFullName(), "");
        ExpectOutage(built);
        // A load that failed is tried again by every getter, and IsValidWorker keeps the
        // reason of a directory that could not be asked.
        EXPECT_EQ(built.IsValidWorker(), 0);
        ExpectOutage(built);
    }
    EXPECT_EQ(byName.GetJobTitle(), "Front End Lead");
    EXPECT_EQ(byNumber.GetUserNameA(), "asmith");

    LocalOutage down;
    EXPECT_EQ(byName.GetSupervisorUserName(), "asmith");
    EXPECT_EQ(byName.GetWorkerDN(), PersonDN("cgreen"));
    EXPECT_EQ(byNumber.GetFullName(), "Alice Smith");
    ExpectStatus(byName, 1, "");
    ExpectStatus(byNumber, 1, "");
    // IsValidWorker always asks.
    EXPECT_EQ(byName.IsValidWorker(), 0);
    ExpectOutage(byName);
    // A new identity is searched for.
    EXPECT_EQ(byNumber.GetFullName("jdoe"), "");
    ExpectOutage(byNumber);
}

TEST_F(WorkerLoading, RecoversWhenTheServersComeBack) {
    CZNWorker worker("jdoe");
    {
        LocalOutage down;
        EXPECT_EQ(worker.GetFullName(), "");
        EXPECT_EQ(worker.GetWorkerDN(), "");
        ExpectOutage(worker);
    }
    EXPECT_EQ(worker.GetFullName(), "John Doe");
    ExpectStatus(worker, 1, "");
    EXPECT_EQ(worker.GetWorkerDN(), PersonDN("jdoe"));

    CZNWorker unknown("ghost");
    EXPECT_EQ(unknown.GetCity(), "");
    ExpectStatus(unknown, 30005, "ghost is not a valid username.");
    {
        LocalOutage down;
        EXPECT_EQ(unknown.GetCity(), "");
        ExpectOutage(unknown);
    }
}

TEST_F(WorkerLoading, KeepsOnlyFirstValuesAndConvertsNumbersAndManagers) {
    CZNWorker worker("bwhite");
    EXPECT_EQ(worker.GetPhoneNumber(), "+1 555 0103");
    EXPECT_EQ(worker.GetSupervisorUserName(), "jdoe");

    // "0077-B" reads as 77; two titles, the first kept.
    EXPECT_EQ(worker.GetWorkerNumber("kpatel"), 77);
    EXPECT_EQ(worker.GetJobTitle(), "Technical Writer");
    // Nothing is left over from the previous worker.
    EXPECT_EQ(worker.GetPhoneNumber(), "");
    EXPECT_EQ(worker.GetSupervisorUserName(), "");

    EXPECT_EQ(worker.GetSupervisorUserName("asmith"), "");
    EXPECT_EQ(worker.GetPhoneNumber(), "+1 555 0101");
}

TEST_F(WorkerLoading, AUserNameUnderTwoBranchesMergesBothEntries) {
    CZNWorker worker("twin");
    EXPECT_EQ(worker.IsValidWorker(), 1);
    // Whichever entry the server sends last wins the fields it carries; the other entry's
    // own fields stay.
    const bool contractorLast = worker.GetWorkerDN() == PersonDN("twin", "Contractors");
    if (contractorLast) {
        EXPECT_EQ(worker.GetWorkerNumber(), 4002);
        EXPECT_EQ(worker.GetJobTitle(), "Contract Analyst");
        EXPECT_EQ(worker.GetSupervisorUserName(), "dblack");
    } else {
        EXPECT_EQ(worker.GetWorkerDN(), PersonDN("twin"));
        EXPECT_EQ(worker.GetWorkerNumber(), 4001);
        EXPECT_EQ(worker.GetJobTitle(), "Data Analyst");
        EXPECT_EQ(worker.GetSupervisorUserName(), "cgreen");
    }
    EXPECT_EQ(worker.GetCity(), "Springfield");
    EXPECT_EQ(worker.GetEmployeeType(), "Contractor");
}

TEST_F(WorkerLoading, FilterCharactersInANameMatchOnlyThemselves) {
    CZNWorker worker;
    EXPECT_EQ(worker.IsValidWorker(std::string("*")), 0);
    ExpectStatus(worker, 30005, "* is not a valid username.");
    EXPECT_EQ(worker.GetWorkerDN("j*"), "");
    ExpectStatus(worker, 30005, "j* is not a valid username.");
    EXPECT_EQ(worker.GetFullName("jdoe)(uid=*"), "");
    ExpectStatus(worker, 30005, "jdoe)(uid=* is not a valid username.");
}

}  // namespace
