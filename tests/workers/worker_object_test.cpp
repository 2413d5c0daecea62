// The CZNWorker object itself: settings, copies and assignment.
#include <gtest/gtest.h>

#include <list>
#include <string>

#include "CZNWorker.h"
#include "tests/support/sandbox_fixture.h"

namespace {

using zntest::Fault;
using zntest::ScopedFault;

TEST(WorkerObject, DialogTitleHasTwoDefaultForms) {
    CZNWorker worker;
    EXPECT_EQ(worker.GetLoginDialogTitle(), "ZN Groups Authentication");
    worker.SetLoginDialogTitle("Payroll sign-in");
    EXPECT_EQ(worker.GetLoginDialogTitle(), "Payroll sign-in");
    worker.SetLoginDialogTitle("");
    EXPECT_EQ(worker.GetLoginDialogTitle(), "ZN Groups Authentication.");
}

TEST(WorkerObject, ForwardsTimeOutsAndStartsWithAFreshSession) {
    CZNWorker worker;
    EXPECT_EQ(worker.GetErrorStatusCode(), 1);
    EXPECT_EQ(worker.GetErrorStatusText(), "");
    EXPECT_EQ(worker.GetDomain(), "");
    EXPECT_EQ(worker.GetConnectTimeOutSeconds(), 5);
    EXPECT_EQ(worker.GetSearchTimeOutSeconds(), 120);
    worker.SetConnectTimeOut(2, 250000);
    worker.SetSearchTimeOut(30, 500);
    EXPECT_EQ(worker.GetConnectTimeOutSeconds(), 2);
    EXPECT_EQ(worker.GetConnectTimeOutMicroSeconds(), 250000);
    EXPECT_EQ(worker.GetSearchTimeOutSeconds(), 30);
    EXPECT_EQ(worker.GetSearchTimeOutMicroSeconds(), 500);
    worker.SetTimeOut(45);
    EXPECT_EQ(worker.GetTimeOut(), 45);
    EXPECT_EQ(worker.GetSearchTimeOutSeconds(), 45);
}

class WorkerCopy : public zntest::SandboxTest {};

TEST_F(WorkerCopy, CopiesTheWorkerButNotTheSession) {
    CZNWorker source("jdoe");
    source.SetLoginDialogTitle("Custom");
    ASSERT_EQ(source.GetFullName(), "John Doe");
    source.SetTimeOut(7);
    source.SetConnectTimeOut(1, 5);
    EXPECT_EQ(source.GetWorkerNumber("ghost"), 1002);  // leaves 30005 behind
    source.SetUserName("jdoe");
    ASSERT_EQ(source.GetCity(), "Springfield");
    EXPECT_EQ(source.IsValidWorker(std::string("ghost")), 0);

    CZNWorker copy(source);
    CZNWorker assigned;
    assigned = source;
    for (const CZNWorker* worker : {&copy, &assigned}) {
        EXPECT_EQ(worker->GetErrorStatusCode(), 1);
        EXPECT_EQ(worker->GetErrorStatusText(), "");
        EXPECT_EQ(worker->GetTimeOut(), 120);
        EXPECT_EQ(worker->GetConnectTimeOutSeconds(), 5);
        EXPECT_EQ(worker->GetConnectTimeOutMicroSeconds(), 0);
        EXPECT_EQ(worker->GetLoginDialogTitle(), "Custom");
    }

    // The source's identity is the unknown "ghost": the copies search for it again.
    EXPECT_EQ(copy.GetFullName(), "");
    EXPECT_EQ(copy.GetErrorStatusText(), "ghost is not a valid username.");

    // A copy of a loaded worker answers from its copied fields.
    source.SetUserName("jdoe");
    ASSERT_EQ(source.GetFullName(), "John Doe");
    CZNWorker loaded(source);
    ScopedFault down(Fault::kRefuse, {"ldap5", "ldap4", "ldap3", "ldap2", "ldap1"});
    EXPECT_EQ(loaded.GetMailStop(), "MS-12");
    EXPECT_EQ(loaded.GetUserNameA(), "jdoe");
    EXPECT_EQ(loaded.GetWorkerDN(), source.GetWorkerDN());
    EXPECT_EQ(loaded.GetErrorStatusCode(), 1);
}

TEST_F(WorkerCopy, SelfAssignmentChangesNothing) {
    CZNWorker worker("egray");
    ASSERT_EQ(worker.GetFullName(), "Eve Gray");
    worker.SetTimeOut(9);
    const CZNWorker& alias = worker;
    worker = alias;
    EXPECT_EQ(worker.GetTimeOut(), 9);
    ScopedFault down(Fault::kRefuse, {"ldap5", "ldap4", "ldap3", "ldap2", "ldap1"});
    EXPECT_EQ(worker.GetFullName(), "Eve Gray");
    EXPECT_EQ(worker.GetErrorStatusCode(), 1);
}

TEST_F(WorkerCopy, NamesAndNumbersConvertToWorkers) {
    // Applications build worker lists straight from names and numbers: the exported class
    // converts them, the portable one is told.
    std::list<CZNWorker> workers;
    const std::string name = "egray";
#ifndef ZNGROUPS_PORTABLE
    workers.push_back(name);
    workers.push_back(1002L);
    CZNWorker assigned = std::string("jdoe");
#else
    workers.emplace_back(name);
    workers.emplace_back(1002L);
    CZNWorker assigned(std::string("jdoe"));
#endif
    EXPECT_EQ(workers.front().GetFullName(), "Eve Gray");
    EXPECT_EQ(workers.back().GetUserNameA(), "jdoe");
    EXPECT_EQ(assigned.GetWorkerNumber(), 1002);
}

}  // namespace
