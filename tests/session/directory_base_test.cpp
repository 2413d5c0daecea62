// Directory base state, status joining, host names and DN parsing: no server needed.
#include <gtest/gtest.h>

#include <cstring>
#include <list>
#include <string>

#include "platform/ldap_client.h"
#include "session/directory_base.h"

namespace {

using zn::CZNDirectoryBase;

TEST(DirectoryBase, FreshObjectReportsSuccessAndDefaults) {
    CZNDirectoryBase base;
    EXPECT_EQ(base.GetErrorStatusCode(), 1);
    EXPECT_EQ(base.GetErrorStatusText(), "");
    EXPECT_EQ(base.GetChangeStatusCode(), 1);
    EXPECT_EQ(base.GetChangeStatusText(), "");
    EXPECT_EQ(base.GetConnectTimeOutSeconds(), 5);
    EXPECT_EQ(base.GetConnectTimeOutMicroSeconds(), 0);
    EXPECT_EQ(base.GetSearchTimeOutSeconds(), 120);
    EXPECT_EQ(base.GetSearchTimeOutMicroSeconds(), 0);
    EXPECT_EQ(base.GetDomain(), "");
    EXPECT_EQ(base.GetAdministrationPort(), 60660);
    EXPECT_EQ(base.GetPassword(), "");
    EXPECT_EQ(base.GetCredentialsVerified(), 0);
}

TEST(DirectoryBase, SetTimeOutChangesOnlySearchSeconds) {
    CZNDirectoryBase base;
    base.SetSearchTimeOut(10, 500);
    base.SetTimeOut(30);
    EXPECT_EQ(base.GetSearchTimeOutSeconds(), 30);
    EXPECT_EQ(base.GetSearchTimeOutMicroSeconds(), 500);
    EXPECT_EQ(base.GetTimeOut(), 30);
    base.SetConnectTimeOut(2, 250000);
    EXPECT_EQ(base.GetConnectTimeOutSeconds(), 2);
    EXPECT_EQ(base.GetConnectTimeOutMicroSeconds(), 250000);
}

TEST(DirectoryBase, DomainLocalInAnyCaseMeansTheLocalServers) {
    CZNDirectoryBase base("EUROPE");
    EXPECT_EQ(base.GetDomain(), "EUROPE");
    EXPECT_EQ(base.SetDomainAndPort("local", 7000), 1);
    EXPECT_EQ(base.GetDomain(), "");
    EXPECT_EQ(base.GetAdministrationPort(), 7000);

    base.SetDomainAndPort("ASIA2", 60662);
    EXPECT_EQ(base.SetDomainAndPort(nullptr, 7001), 1);
    EXPECT_EQ(base.GetDomain(), "");
    EXPECT_EQ(base.GetAdministrationPort(), 60662);

    base.SetDomainAndPort("LoCaLe", 1);
    EXPECT_EQ(base.GetDomain(), "LoCaLe");
}

TEST(DirectoryBase, CaseHelpersChangeOnlyAsciiLetters) {
    char text[] = "abc-XYZ_09\xe9z";
    CZNDirectoryBase::UpperCase(text);
    EXPECT_STREQ(text, "ABC-XYZ_09\xe9Z");
    CZNDirectoryBase::LowerCase(text);
    EXPECT_STREQ(text, "abc-xyz_09\xe9z");
}

TEST(ErrorStatus, AppendJoinsWithSemicolonOnlyAfterExistingText) {
    CZNDirectoryBase base;
    base.AppendErrorStatusText("first", false);
    EXPECT_EQ(base.GetErrorStatusText(), "first");
    base.AppendErrorStatusText("second", false);
    EXPECT_EQ(base.GetErrorStatusText(), "first; second");
    base.AppendErrorStatusText("only", true);
    EXPECT_EQ(base.GetErrorStatusText(), "only");
    base.SetErrorStatusCode(30006);
    EXPECT_EQ(base.GetErrorStatusCode(), 30006);
    EXPECT_EQ(base.GetErrorStatusText(), "only");
    base.SetChangeStatusCode(7);
    base.SetChangeStatusText("queued");
    EXPECT_EQ(base.GetChangeStatusCode(), 7);
    EXPECT_EQ(base.GetChangeStatusText(), "queued");
    EXPECT_EQ(base.GetErrorStatusCode(), 30006);
}

TEST(HostNames, FollowDomainAndDigitRule) {
    CZNDirectoryBase base;
    std::string host;
    ASSERT_TRUE(base.BuildHostName(5, host));
    EXPECT_EQ(host, "ldap5");
    base.SetDomainAndPort("EUROPE", 60661);
    ASSERT_TRUE(base.BuildHostName(3, host));
    EXPECT_EQ(host, "ldapEUROPE3");
    base.SetDomainAndPort("ASIA2", 60662);
    ASSERT_TRUE(base.BuildHostName(1, host));
    EXPECT_EQ(host, "ldapASIA2-1");

    // The name must fit 255 characters: "ldap" + domain + number.
    base.SetDomainAndPort(std::string(250, 'D').c_str(), 1);
    EXPECT_TRUE(base.BuildHostName(5, host));
    EXPECT_EQ(host.size(), 255u);
    base.SetDomainAndPort(std::string(251, 'D').c_str(), 1);
    EXPECT_FALSE(base.BuildHostName(5, host));
    EXPECT_EQ(host, "");

    // Blanks and colons would make the LDAP library read a host list or a port.
    for (const char* domain : {"EU ROPE", "EUROPE:636", "EU\tROPE", "EU/ROPE"}) {
        base.SetDomainAndPort(domain, 1);
        EXPECT_FALSE(base.BuildHostName(5, host)) << domain;
    }
}

TEST(HostNames, UnusableDomainFailsAsNoConnectionWithoutTraffic) {
    CZNDirectoryBase base(std::string(251, 'D').c_str());
    std::list<std::string> values{"stale"};
    const char* attributes[] = {"member", nullptr};
    base.CollectValues("(cn=Domains)", attributes, values);
    EXPECT_TRUE(values.empty());
    EXPECT_EQ(base.GetErrorStatusCode(), 30006);
    EXPECT_EQ(base.GetErrorStatusText(), std::string(zn::ldapapi::Err2String(52)) +
                                             "; No connection available to an LDAP server.");
    EXPECT_EQ(base.GetLdapResultCode(), 52);
}

TEST(NameFromDN, TakesSecondTokenLikeStrtok) {
    EXPECT_EQ(CZNDirectoryBase::NameFromDN("uid=jdoe,ou=People,o=example.com"), "jdoe");
    EXPECT_EQ(CZNDirectoryBase::NameFromDN("cn=ENG-ALL,ou=Engineering,o=example.com"), "ENG-ALL");
    EXPECT_EQ(CZNDirectoryBase::NameFromDN("==uid==jdoe,,ou=x"), "jdoe");
    EXPECT_EQ(CZNDirectoryBase::NameFromDN("uid=jdoe"), "jdoe");
    EXPECT_EQ(CZNDirectoryBase::NameFromDN("uid="), "");
    EXPECT_EQ(CZNDirectoryBase::NameFromDN("plain text"), "");
    EXPECT_EQ(CZNDirectoryBase::NameFromDN(""), "");
}

TEST(NameFromDN, UndoesEscapesInsteadOfCuttingAtThem) {
    // A name holding a separator is stored escaped; cut at the escape it would be "smith\".
    EXPECT_EQ(CZNDirectoryBase::NameFromDN("uid=smith\\, pat,ou=People,o=x"), "smith, pat");
    EXPECT_EQ(CZNDirectoryBase::NameFromDN("uid=smith\\2C pat,ou=People,o=x"), "smith, pat");
    EXPECT_EQ(CZNDirectoryBase::NameFromDN("uid=back\\\\slash,o=x"), "back\\slash");
    EXPECT_EQ(CZNDirectoryBase::NameFromDN("uid=a\\=b,o=x"), "a=b");
    EXPECT_EQ(CZNDirectoryBase::NameFromDN("uid=trailing\\ ,o=x"), "trailing ");
    // A lone backslash at the very end is kept as it stands.
    EXPECT_EQ(CZNDirectoryBase::NameFromDN("uid=end\\"), "end\\");
}

TEST(LdapCodes, ClientSideFailuresUseClassicNumbers) {
    // OpenLDAP's own numbers for server down, local error, timeout, filter error, connect error.
    EXPECT_EQ(zn::ldapapi::ClassicCode(-1), 81);
    EXPECT_EQ(zn::ldapapi::ClassicCode(-2), 82);
    EXPECT_EQ(zn::ldapapi::ClassicCode(-5), 85);
    EXPECT_EQ(zn::ldapapi::ClassicCode(-7), 87);
    EXPECT_EQ(zn::ldapapi::ClassicCode(-11), 91);
    EXPECT_EQ(zn::ldapapi::ClassicCode(-17), 97);
    EXPECT_EQ(zn::ldapapi::ClassicCode(-18), 80);
    EXPECT_EQ(zn::ldapapi::ClassicCode(49), 49);
    EXPECT_EQ(zn::ldapapi::ClassicCode(0), 0);
    // The library describes the classic numbers, not only its own.
    const std::string unknown = zn::ldapapi::Err2String(123456);
    for (long code : {0L, 49L, 52L, 81L, 82L, 85L, 87L, 91L}) {
        EXPECT_NE(zn::ldapapi::Err2String(code), unknown) << code;
    }
    EXPECT_STRNE(zn::ldapapi::Err2String(81), zn::ldapapi::Err2String(85));
}

TEST(Authentication, RejectsMissingNameAndBadPasswordLengthWithoutTraffic) {
    CZNDirectoryBase base;
    base.SetDomainAndPort("NOSUCHDOMAIN", 1);  // no such servers: any traffic would show
    EXPECT_EQ(base.AuthenticateUser("", "secret"), 0);
    EXPECT_EQ(base.GetErrorStatusCode(), 30005);
    EXPECT_EQ(base.GetErrorStatusText(), "Specified username is not valid.");

    EXPECT_EQ(base.AuthenticateUser("uid=jdoe,ou=People,o=example.com", ""), 0);
    EXPECT_EQ(base.GetErrorStatusCode(), 30007);
    EXPECT_EQ(base.GetErrorStatusText(), "Specified password is not valid.");

    base.SetErrorStatus(1, "");
    EXPECT_EQ(base.AuthenticateUser("uid=jdoe,ou=People,o=example.com", std::string(128, 'x')), 0);
    EXPECT_EQ(base.GetErrorStatusCode(), 30007);
    EXPECT_EQ(base.GetErrorStatusText(), "Specified password is not valid.");
    EXPECT_EQ(base.GetLdapResultCode(), 0);
}

}  // namespace
