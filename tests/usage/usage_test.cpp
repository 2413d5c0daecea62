// The usage report through a recording messaging sender and replaceable process facts.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "tests/support/recording_messaging.h"
#include "tests/usage/reporting_object.h"
#include "usage/usage_report.h"

namespace {

using zntest::FieldOf;
using zntest::MessagingFault;
using zntest::RecordingMessaging;
using zntest::ReportingObject;

class FakeSources : public zn::UsageSources {
  public:
    std::string executable = "/opt/apps/orders/orders";
    std::string library = "/usr/lib/libzngroups.so.0";
    bool libraryFound = true;
    std::map<std::string, std::string> versions = {{"/opt/apps/orders/orders", "4.2.0.7"},
                                                   {"/usr/lib/libzngroups.so.0", "0.1.0"}};
    mutable int executableLookups = 0;
    mutable int libraryLookups = 0;
    mutable int versionLookups = 0;

    std::string HostName() const override { return "buildhost"; }
    bool ExecutablePath(std::string& path) const override {
        ++executableLookups;
        path = executable;
        return true;
    }
    bool LibraryPath(std::string& path) const override {
        ++libraryLookups;
        if (!libraryFound) return false;
        path = library;
        return true;
    }
    std::string FileVersion(const std::string& path) const override {
        ++versionLookups;
        auto found = versions.find(path);
        return found == versions.end() ? "" : found->second;
    }
};

class UsageReport : public ::testing::Test {
  protected:
    void SetUp() override {
        RecordingMessaging::Reset();
        m_scope.emplace(sources);
    }
    void TearDown() override { RecordingMessaging::Reset(); }

    static std::size_t SentCount() { return RecordingMessaging::Sent().size(); }
    static const std::string& LastText() { return RecordingMessaging::Sent().back().contents; }

    FakeSources sources;

  private:
    std::optional<zn::ScopedUsageSources> m_scope;
};

TEST_F(UsageReport, SendsOncePerObjectAndGroupNameIgnoringTrailingLineFeeds) {
    ReportingObject group;
    group.SendUsageReport("ZNGroup", "GetOwners", "ENG-ALL");
    group.SendUsageReport("ZNGroup", "GetDescription", "ENG-ALL");
    group.SendUsageReport("ZNGroup", "GetOwners", "ENG-ALL\n\n");
    ASSERT_EQ(SentCount(), 1u);
    const zntest::SentMessage& sent = RecordingMessaging::Sent()[0];
    EXPECT_EQ(sent.source, "");
    EXPECT_EQ(sent.destination, "/BRANTOR/ZNI/IDM/ZNGROUPS/MSG");
    EXPECT_EQ(sent.replyTo, "");
    EXPECT_EQ(FieldOf(sent.contents, "FUNCTION"), "GetOwners");

    // A line feed inside the name makes another name, as does any other name.
    group.SendUsageReport("ZNGroup", "GetOwners", "ENG\nALL");
    group.SendUsageReport("ZNGroup", "GetOwners", "SALES");
    EXPECT_EQ(SentCount(), 3u);
}

TEST_F(UsageReport, TextHoldsElevenQuotedFieldsInOrder) {
    ReportingObject group;
    group.SetDomainAndPort("EUROPE", 60661);
    group.SendUsageReport("ZNGroup", "GetOwners", "Eng-All\n");
    ASSERT_EQ(SentCount(), 1u);
    EXPECT_EQ(LastText(),
              "ZNGROUP_USAGE APPNAME=\"orders\" EXEPATH=\"/opt/apps/orders/orders\" "
              "APPVERSION=\"4.2.0.7\" ZNGROUPNAME=\"Eng-All\" FUNCTION=\"GetOwners\" "
              "CLASS=\"ZNGroup\" MACHINE=\"buildhost\" DLLNAME=\"libzngroups.so.0\" "
              "DLLPATH=\"/usr/lib/libzngroups.so.0\" DLLVERSION=\"0.1.0\" DOMAIN=\"EUROPE\"");
}

TEST_F(UsageReport, GroupNameValueKeepsNameCharactersInTheirOwnCase) {
    EXPECT_EQ(zn::UsageGroupNameValue("a/b"), "ab");
    EXPECT_EQ(zn::UsageGroupNameValue("Eng.Team_1 -x"), "Eng.Team_1 -x");
    EXPECT_EQ(zn::UsageGroupNameValue("caf\xc3\xa9\xff"
                                      "!\"=,;"),
              "caf");
    EXPECT_EQ(zn::UsageGroupNameValue("A\nB\tC"), "ABC");
    EXPECT_EQ(zn::UsageGroupNameValue(""), "");

    ReportingObject group;
    group.SendUsageReport("ZNGroup", "GetOwners", "a/b");
    ASSERT_EQ(SentCount(), 1u);
    EXPECT_EQ(FieldOf(LastText(), "ZNGROUPNAME"), "ab");
    // The cleaned value is what is reported; the name as given is what counts as sent.
    group.SendUsageReport("ZNGroup", "GetOwners", "ab");
    EXPECT_EQ(SentCount(), 2u);
}

TEST_F(UsageReport, ProcessFactsAreLookedUpOnTheFirstReportOnly) {
    ReportingObject group;
    group.SendUsageReport("ZNGroup", "GetOwners", "ENG-ALL");
    sources.executable = "/opt/other/other";
    group.SendUsageReport("ZNGroup", "GetOwners", "SALES");
    group.SendUsageReport("ZNGroup", "GetOwners", "HR");
    ASSERT_EQ(SentCount(), 3u);
    EXPECT_EQ(sources.executableLookups, 1);
    EXPECT_EQ(sources.libraryLookups, 1);
    EXPECT_EQ(sources.versionLookups, 2);
    EXPECT_EQ(FieldOf(LastText(), "APPNAME"), "orders");
    EXPECT_EQ(FieldOf(LastText(), "DLLVERSION"), "0.1.0");
}

TEST_F(UsageReport, CopyStartsWithAFreshBaseAndReportsAgain) {
    ReportingObject group;
    group.SetGroupName("ENG-ALL");
    group.SetDomainAndPort("EUROPE", 60661);
    group.Report("GetOwners");
    ASSERT_EQ(SentCount(), 1u);

    ReportingObject copy(group);
    EXPECT_EQ(copy.ReportedNames(), 0u);
    EXPECT_EQ(copy.ApplicationName(), "");
    copy.Report("GetOwners");
    group.Report("GetOwners");
    ASSERT_EQ(SentCount(), 2u);
    EXPECT_EQ(FieldOf(LastText(), "ZNGROUPNAME"), "ENG-ALL");
    EXPECT_EQ(FieldOf(LastText(), "DOMAIN"), "");
    EXPECT_EQ(sources.executableLookups, 2);
}

TEST_F(UsageReport, MessagingFailureLeavesOneLineAndTheStatusAlone) {
    struct Case {
        MessagingFault fault;
        const char* reported;
        std::string expected;
    };
    const Case cases[] = {
        {MessagingFault::kSendThrowsCZIPCError, "spool full",
         "Exception occurred. Reported error msg: spool full\n"},
        {MessagingFault::kConstructorThrowsCZIPCError, "spool gone",
         "Exception occurred. Reported error msg: spool gone\n"},
        {MessagingFault::kSendThrowsStandardException, "",
         "Simple CZIPC SendReceive() test failed. Unknown exception thrown.\n"},
        {MessagingFault::kSendThrowsInt, "",
         "Simple CZIPC SendReceive() test failed. Unknown exception thrown.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        RecordingMessaging::Fail(c.fault, c.reported);
        ReportingObject group;
        group.SetErrorStatus(30004, "The group does not exist.");
        testing::internal::CaptureStderr();
        group.SendUsageReport("ZNGroup", "IsValidGroup", "ENG-ALL");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.expected);
        EXPECT_EQ(group.GetErrorStatusCode(), 30004);
        EXPECT_EQ(group.GetErrorStatusText(), "The group does not exist.");

        // The same failure of the messaging component, met by another object, is not
        // written again: the process said it once.
        if (*c.reported != '\0') {
            ReportingObject other;
            testing::internal::CaptureStderr();
            other.SendUsageReport("ZNGroup", "GetOwners", "SALES");
            EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        }

        // A failed report is not tried again for that name.
        RecordingMessaging::Fail(MessagingFault::kNone);
        testing::internal::CaptureStderr();
        group.SendUsageReport("ZNGroup", "IsValidGroup", "ENG-ALL");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(SentCount(), 0u);
    }
}

TEST_F(UsageReport, UnknownProgramOrLibraryPathIsLookedUpAgainNextTime) {
    // A path without a folder separator names no file, on either platform.
    sources.executable = "orders.exe";
    sources.versions["orders.exe"] = "4.0";
    sources.libraryFound = false;
    ReportingObject group;
    group.SendUsageReport("ZNGroup", "GetOwners", "ENG-ALL");
    ASSERT_EQ(SentCount(), 1u);
    EXPECT_EQ(FieldOf(LastText(), "APPNAME"), "");
    EXPECT_EQ(FieldOf(LastText(), "EXEPATH"), "");
    EXPECT_EQ(FieldOf(LastText(), "APPVERSION"), "4.0");
    EXPECT_EQ(FieldOf(LastText(), "DLLNAME"), "Error finding the filename for DLL");
    EXPECT_EQ(FieldOf(LastText(), "DLLPATH"), "");
    EXPECT_EQ(FieldOf(LastText(), "DLLVERSION"), "Error finding the filename for DLL");

    sources.executable = "/opt/apps/orders/orders";
    sources.libraryFound = true;
    group.SendUsageReport("ZNGroup", "GetOwners", "SALES");
    ASSERT_EQ(SentCount(), 2u);
    EXPECT_EQ(sources.executableLookups, 2);
    EXPECT_EQ(FieldOf(LastText(), "APPNAME"), "orders");
    EXPECT_EQ(FieldOf(LastText(), "EXEPATH"), "/opt/apps/orders/orders");
    EXPECT_EQ(FieldOf(LastText(), "DLLPATH"), "/usr/lib/libzngroups.so.0");
    // The version found the first time stays.
    EXPECT_EQ(FieldOf(LastText(), "APPVERSION"), "4.0");

    group.SendUsageReport("ZNGroup", "GetOwners", "HR");
    EXPECT_EQ(sources.executableLookups, 2);
}

}  // namespace
