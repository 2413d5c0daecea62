// A usage report through the real messaging component: into the spool and out of the reader.
#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>

#include <string>

#include "tests/support/spool_folder.h"
#include "tests/usage/reporting_object.h"

namespace {

using zntest::FieldOf;

class UsageSpool : public zntest::SpoolFolderTest {};

TEST_F(UsageSpool, ReportLandsAtItsAddressAndTheReaderShowsIt) {
    zntest::ReportingObject group;
    group.SetDomainAndPort("ASIA2", 60662);
    testing::internal::CaptureStderr();
    group.SendUsageReport("ZNGroup", "GetSubGroupsCount", "Eng-All\n");
    group.SendUsageReport("ZNGroup", "GetOwners", "Eng-All");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    const auto files = FilesIn("/BRANTOR/ZNI/IDM/ZNGROUPS/MSG");
    ASSERT_EQ(files.size(), 1u);
    const std::string text = Contents(files[0]);
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    const std::string exe = FieldOf(text, "EXEPATH");
    EXPECT_EQ(text, "ZNGROUP_USAGE APPNAME=\"usage_spool_test\" EXEPATH=\"" + exe +
                        "\" APPVERSION=\"\" ZNGROUPNAME=\"Eng-All\" FUNCTION=\"GetSubGroupsCount\" "
                        "CLASS=\"ZNGroup\" MACHINE=\"" +
                        host + "\" DLLNAME=\"usage_spool_test\" DLLPATH=\"" + exe +
                        "\" DLLVERSION=\"\" DOMAIN=\"ASIA2\"");
    char executable[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", executable, sizeof executable - 1), 0);
    EXPECT_EQ(exe, executable);

    int status = -1;
    const std::string shown =
        Run(std::string(ZNI_SPOOL_TOOL) + " drain /BRANTOR/ZNI/IDM/ZNGROUPS/MSG", status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(shown, "== /BRANTOR/ZNI/IDM/ZNGROUPS/MSG/" + files[0].filename().string() + "\n" +
                         text + "\n");
    EXPECT_TRUE(FilesIn("/BRANTOR/ZNI/IDM/ZNGROUPS/MSG").empty());
}

TEST_F(UsageSpool, MissingSpoolGivesOneLineOnStandardErrorPerProcess) {
    const std::string missing = Root() + "/missing";
    setenv("ZNI_SPOOL", missing.c_str(), 1);
    zntest::ReportingObject group;
    testing::internal::CaptureStderr();
    group.SendUsageReport("ZNGroup", "GetOwners", "ENG-ALL");
    for (const char* name : {"SALES", "ENG-DB", "ENG-INFRA"}) {
        zntest::ReportingObject another;
        another.SendUsageReport("ZNGroup", "GetOwners", name);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Exception occurred. Reported error msg: message spool " + missing +
                  " is not available: No such file or directory (set ZNI_SPOOL to the spool "
                  "folder)\n");
    EXPECT_EQ(group.GetErrorStatusCode(), 1);
    EXPECT_EQ(group.GetErrorStatusText(), "");
}

}  // namespace
