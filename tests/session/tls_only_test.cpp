// Against a directory that refuses any password sent without TLS (directory/sandbox with
// ZNG_TLS_ONLY=1): the library's plain password check is refused by the server, the same check
// over StartTLS or LDAPS passes, so no password of these checks crossed in clear.
#define LDAP_DEPRECATED 1
#include <gtest/gtest.h>
#include <ldap.h>

#include <cstdlib>
#include <string>

#include "CZNWorker.h"
#include "session/status_codes.h"
#include "session/tls_settings.h"
#include "tests/support/sandbox_fixture.h"

namespace zntest {
namespace {

// The server's own answer to a plain simple bind, without the library in between.
int PlainBind(const std::string& dn, const std::string& password) {
    LDAP* handle = nullptr;
    if (ldap_initialize(&handle, "ldap://ldap5:389") != LDAP_SUCCESS) return -1;
    int version = LDAP_VERSION3;
    ldap_set_option(handle, LDAP_OPT_PROTOCOL_VERSION, &version);
    const int code = ldap_simple_bind_s(handle, dn.c_str(), password.c_str());
    ldap_unbind_ext(handle, nullptr, nullptr);
    return code;
}

class TlsOnlyDirectory : public SandboxTest {
  protected:
    void SetUp() override {
        SandboxTest::SetUp();
        for (const char* name :
             {"ZNGROUPS_TLS", "ZNGROUPS_TLS_CA", "ZNGROUPS_TLS_VERIFY", "ZNGROUPS_CONFIG"}) {
            unsetenv(name);
        }
        zn::ClearTlsOverrides();
    }
    void TearDown() override {
        zn::ClearTlsOverrides();
        SandboxTest::TearDown();
    }
};

TEST_F(TlsOnlyDirectory, PasswordsAreTakenOnlyOverTls) {
    const std::string dn = "uid=jdoe,ou=People," + BaseDN();
    const std::string password = SamplePassword("jdoe");
    // The sandbox is in the mode this suite needs: a plain password bind is refused, an
    // anonymous one, which carries no password, is not.
    ASSERT_EQ(PlainBind(dn, password), LDAP_CONFIDENTIALITY_REQUIRED)
        << "run inside directory/sandbox with ZNG_TLS_ONLY=1";
    ASSERT_EQ(PlainBind("", ""), LDAP_SUCCESS);

    CZNWorker worker;
    EXPECT_EQ(worker.GetFullName("jdoe"), "John Doe");
    EXPECT_EQ(worker.Authenticate("jdoe", password), 0);
    EXPECT_EQ(worker.GetErrorStatusCode(), zn::status::kLdapError);
    EXPECT_EQ(worker.GetErrorStatusText(), ldap_err2string(LDAP_CONFIDENTIALITY_REQUIRED));

    std::string error;
    ASSERT_TRUE(zn::SetTlsOverride("tls-ca", std::getenv("ZNG_TLS_CA"), error)) << error;
    for (const char* mode : {"starttls", "ldaps"}) {
        SCOPED_TRACE(mode);
        ASSERT_TRUE(zn::SetTlsOverride("tls", mode, error)) << error;
        EXPECT_EQ(worker.Authenticate("jdoe", password), 1) << worker.GetErrorStatusText();
        EXPECT_EQ(worker.GetErrorStatusText(), "Success");
        EXPECT_EQ(worker.Authenticate("jdoe", "wrong"), 0);
        EXPECT_EQ(worker.GetErrorStatusCode(), zn::status::kInvalidCredentials);
        EXPECT_EQ(worker.GetFullName("asmith"), "Alice Smith") << worker.GetErrorStatusText();
    }
}

}  // namespace
}  // namespace zntest
