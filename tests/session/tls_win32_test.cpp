// Directory TLS through wldap32 (run under Wine inside the sandbox): reads and password checks
// over StartTLS and LDAPS, and the settings wldap32 cannot honour refused rather than ignored.
#include <gtest/gtest.h>

#include <list>
#include <string>

#include "session/directory_base.h"
#include "session/status_codes.h"
#include "session/tls_settings.h"
#include "tests/support/sandbox_fixture.h"

namespace zntest {
namespace {

const char* const kMember[] = {"member", nullptr};
constexpr const char* kDomains = "(&(objectclass=groupOfNames)(cn=Domains))";

class Wldap32Tls : public SandboxTest {
  protected:
    void SetUp() override {
        SandboxTest::SetUp();
        zn::ClearTlsOverrides();
    }
    void TearDown() override {
        zn::ClearTlsOverrides();
        SandboxTest::TearDown();
    }
    static void Set(const char* key, const char* value) {
        std::string error;
        ASSERT_TRUE(zn::SetTlsOverride(key, value, error)) << error;
    }
    static std::string PersonDN(const char* uid) {
        return std::string("uid=") + uid + ",ou=People," + zn::OrganizationBaseDN();
    }
};

TEST_F(Wldap32Tls, ReadsAndPasswordChecksGoOverStartTlsAndLdaps) {
    for (const char* mode : {"starttls", "ldaps"}) {
        SCOPED_TRACE(mode);
        Set("tls", mode);
        zn::CZNDirectoryBase base;
        std::list<std::string> values;
        base.CollectValues(kDomains, kMember, values);
        EXPECT_EQ(values, (std::list<std::string>{"EUROPE", "ASIA2"})) << base.GetErrorStatusText();
        EXPECT_EQ(base.AuthenticateUser(PersonDN("jdoe"), "secret"), 1)
            << base.GetErrorStatusText();
        EXPECT_EQ(base.AuthenticateUser(PersonDN("jdoe"), "wrong"), 0);
        EXPECT_EQ(base.GetErrorStatusCode(), zn::status::kInvalidCredentials);
    }
}

TEST_F(Wldap32Tls, ACaFileOrNoVerificationIsRefusedNotIgnored) {
    Set("tls", "starttls");
    Set("tls-ca", "C:\\company\\ca.pem");
    zn::CZNDirectoryBase base;
    std::list<std::string> values;
    base.CollectValues(kDomains, kMember, values);
    EXPECT_TRUE(values.empty());
    EXPECT_EQ(base.GetErrorStatusCode(), zn::status::kTlsSettingsInvalid);
    EXPECT_EQ(base.GetErrorStatusText(),
              "Directory TLS settings cannot be used: a CA file cannot be given to wldap32: "
              "install the authority in the Windows certificate store and leave tls-ca unset (CA "
              "file C:\\company\\ca.pem); no connection was made.");
    Set("tls-ca", nullptr);
    Set("tls-verify", "off");
    EXPECT_EQ(base.AuthenticateUser(PersonDN("jdoe"), "secret"), 0);
    EXPECT_EQ(base.GetErrorStatusCode(), zn::status::kTlsSettingsInvalid);
    EXPECT_EQ(base.GetErrorStatusText(),
              "Directory TLS settings cannot be used: certificate checks cannot be turned off "
              "with wldap32; no connection was made.");
}

}  // namespace
}  // namespace zntest
