// Shared setup of the group tests: the sandboxed directory, recorded usage reports and a
// count of the searches sent.
#pragma once

#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "CZNGroup.h"
#include "session/directory_base.h"
#include "tests/support/recording_messaging.h"
#include "tests/support/sandbox_fixture.h"

namespace zntest {

// Searches handed to libldap by this process so far.
long SearchesSoFar();

// All local servers refuse connections while it lives.
class LocalOutage : public ScopedFault {
  public:
    LocalOutage() : ScopedFault(Fault::kRefuse, {"ldap5", "ldap4", "ldap3", "ldap2", "ldap1"}) {}
};

class GroupTest : public SandboxTest {
  protected:
    void SetUp() override {
        SandboxTest::SetUp();
        RecordingMessaging::Reset();
    }
    void TearDown() override {
        RecordingMessaging::Reset();
        SandboxTest::TearDown();
    }

    static std::string PersonDN(const std::string& uid, const std::string& unit = "People") {
        return "uid=" + uid + ",ou=" + unit + "," + zn::OrganizationBaseDN();
    }
    static std::string GroupDN(const std::string& name, const std::string& unit) {
        return "cn=" + name + ",ou=" + unit + "," + zn::OrganizationBaseDN();
    }

    template <typename Object>
    static std::vector<std::string> NamesOf(const std::list<Object>& objects) {
        std::vector<std::string> names;
        for (const Object& object : objects) names.push_back(NameOf(object));
        return names;
    }
    static std::string NameOf(const CZNGroup& group) { return group.GetGroupName(); }
    static std::string NameOf(const CZNWorker& worker) { return worker.GetUserNameA(); }

    // "FUNCTION/CLASS/ZNGROUPNAME" of every usage report sent so far.
    static std::vector<std::string> Reports();
};

template <typename Object>
void ExpectStatus(const Object& object, long code, const std::string& text) {
    EXPECT_EQ(object.GetErrorStatusCode(), code);
    EXPECT_EQ(object.GetErrorStatusText(), text);
}

}  // namespace zntest
