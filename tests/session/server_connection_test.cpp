// Server selection, bind waits and password verification against the sandboxed servers.
#include <string>

#include "tests/session/session_fixture.h"

namespace zntest {
namespace {

using zn::CZNDirectoryBase;

class ServerConnection : public DirectoryTest {};

TEST_F(ServerConnection, FailsOverToNextServerWhenFirstIsDown) {
    ScopedFault refused(Fault::kRefuse, "ldap5");
    CZNDirectoryBase base;
    long counter = 5;
    zn::LdapConnection connection = base.ConnectToServer(counter);
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(counter, 3) << "exactly two attempts: ldap5 refused, ldap4 accepted";
    EXPECT_EQ(base.GetLdapResultCode(), 0);
    EXPECT_EQ(base.GetErrorStatusText(), Describe(0));
    EXPECT_EQ(base.GetErrorStatusCode(), 1);
}

TEST_F(ServerConnection, DomainHostNamesReachTheirOwnServers) {
    for (const char* domain : {"EUROPE", "ASIA2"}) {
        ScopedFault refused(Fault::kRefuse, std::string("ldap") + domain +
                                                (std::string(domain) == "ASIA2" ? "-5" : "5"));
        CZNDirectoryBase base(domain);
        long counter = 5;
        zn::LdapConnection connection = base.ConnectToServer(counter);
        ASSERT_NE(connection, nullptr) << domain;
        EXPECT_EQ(counter, 3) << domain;
    }
}

TEST_F(ServerConnection, SilentServerEndsIn52AfterTheDoubleWait) {
    ScopedFault silent(Fault::kSilent, "ldap5");
    CZNDirectoryBase base;
    base.SetConnectTimeOut(1, 0);
    Stopwatch watch;
    zn::LdapConnection connection = base.OpenServerSession("ldap5");
    double seconds = watch.Seconds();
    EXPECT_NE(connection, nullptr);
    EXPECT_EQ(base.GetLdapResultCode(), 52);
    EXPECT_EQ(base.GetErrorStatusText(), Describe(52));
    // One second of waiting, one of pause, one of waiting again.
    EXPECT_GE(seconds, 2.9);
    EXPECT_LT(seconds, 6.0);
}

TEST_F(ServerConnection, ZeroConnectTimeOutPollsWithoutPause) {
    ScopedFault silent(Fault::kSilent, "ldap5");
    CZNDirectoryBase base;
    base.SetConnectTimeOut(0, 0);
    Stopwatch watch;
    zn::LdapConnection connection = base.OpenServerSession("ldap5");
    EXPECT_EQ(base.GetLdapResultCode(), 52);
    EXPECT_LT(watch.Seconds(), 1.0);
}

TEST_F(ServerConnection, NegativeConnectTimeOutWaitsNoLongerThanZero) {
    ScopedFault silent(Fault::kSilent, "ldap5");
    CZNDirectoryBase base;
    base.SetConnectTimeOut(-1, 0);
    EXPECT_EQ(base.GetConnectTimeOutSeconds(), -1) << "the setter keeps what it was given";
    Stopwatch watch;
    zn::LdapConnection connection = base.OpenServerSession("ldap5");
    EXPECT_EQ(base.GetLdapResultCode(), 52);
    EXPECT_LT(watch.Seconds(), 1.0);

    base.SetConnectTimeOut(0, -250000);
    watch = Stopwatch();
    connection = base.OpenServerSession("ldap5");
    EXPECT_EQ(base.GetLdapResultCode(), 52);
    EXPECT_LT(watch.Seconds(), 1.0);
}

TEST_F(ServerConnection, HostThatNeverAnswersTheConnectIsBoundedByTheConnectTimeOut) {
    ScopedFault unresponsive(Fault::kUnresponsive, "ldap5");
    CZNDirectoryBase base;
    base.SetConnectTimeOut(1, 0);
    Stopwatch watch;
    long counter = 5;
    zn::LdapConnection connection = base.ConnectToServer(counter);
    EXPECT_NE(connection, nullptr);
    EXPECT_EQ(counter, 3);
    EXPECT_LT(watch.Seconds(), 4.0);
}

TEST_F(ServerConnection, AllServersDownLeavesNoHandle) {
    ScopedFault down(Fault::kRefuse,
                     {"ldapEUROPE5", "ldapEUROPE4", "ldapEUROPE3", "ldapEUROPE2", "ldapEUROPE1"});
    CZNDirectoryBase base("EUROPE");
    long counter = 5;
    EXPECT_EQ(base.ConnectToServer(counter), nullptr);
    EXPECT_EQ(counter, 0);
    EXPECT_EQ(base.GetLdapResultCode(), 81);
    EXPECT_EQ(base.GetErrorStatusText(), Describe(81));
    EXPECT_EQ(base.ConnectToServerAs(PersonDN("jdoe").c_str(), "secret"), nullptr);
}

TEST_F(ServerConnection, AuthenticatesAndRetriesThePasswordInLowerCase) {
    CZNDirectoryBase base;
    base.SetErrorStatusCode(30041);  // success must not touch the code
    EXPECT_EQ(base.AuthenticateUser(PersonDN("jdoe"), "secret"), 1);
    EXPECT_EQ(base.GetPassword(), "secret");
    EXPECT_EQ(base.GetErrorStatusCode(), 30041);
    EXPECT_EQ(base.GetErrorStatusText(), Describe(0));

    CZNDirectoryBase upper;
    EXPECT_EQ(upper.AuthenticateUser(PersonDN("jdoe"), "SeCrEt"), 1);
    EXPECT_EQ(upper.GetPassword(), "secret");
    EXPECT_EQ(upper.GetErrorStatusCode(), 1);
}

TEST_F(ServerConnection, WrongPasswordIsRefusedAfterBothPasses) {
    CZNDirectoryBase base;
    EXPECT_EQ(base.AuthenticateUser(PersonDN("jdoe"), "Wrong"), 0);
    EXPECT_EQ(base.GetErrorStatusCode(), 30000);
    EXPECT_EQ(base.GetErrorStatusText(), "Username/Password combination is not valid.");
    EXPECT_EQ(base.GetPassword(), "");

    // A verified password is forgotten when the next verification starts.
    ASSERT_EQ(base.AuthenticateUser(PersonDN("jdoe"), "secret"), 1);
    EXPECT_EQ(base.AuthenticateUser(PersonDN("jdoe"), "nope"), 0);
    EXPECT_EQ(base.GetPassword(), "");
}

TEST_F(ServerConnection, PasswordOf127CharactersIsUsedForTheBind) {
    CZNDirectoryBase base;
    EXPECT_EQ(base.AuthenticateUser(PersonDN("longpw"), LongPassword()), 1)
        << base.GetErrorStatusText();
    EXPECT_EQ(base.GetPassword().size(), 127u);
}

TEST_F(ServerConnection, FailedBindsOtherThanAWrongPasswordEndIn30042WithTheLdapText) {
    {
        ScopedFault down(Fault::kRefuse, {"ldap5", "ldap4", "ldap3", "ldap2", "ldap1"});
        CZNDirectoryBase base;
        EXPECT_EQ(base.AuthenticateUser(PersonDN("jdoe"), "secret"), 0);
        EXPECT_EQ(base.GetErrorStatusCode(), 30042) << "an outage is no successful login";
        EXPECT_EQ(base.GetErrorStatusText(), Describe(81));
        EXPECT_EQ(base.GetPassword(), "");
    }
    CZNDirectoryBase base;
    EXPECT_EQ(base.AuthenticateUser("not a dn", "secret"), 0);
    EXPECT_EQ(base.GetErrorStatusCode(), 30042);
    EXPECT_EQ(base.GetLdapResultCode(), 34);
    // The platform's own description: OpenLDAP's wording, or wldap32's (under Wine too).
    EXPECT_TRUE(base.GetErrorStatusText() == "Invalid DN syntax" ||
                base.GetErrorStatusText() == "Invalid DN Syntax")
        << base.GetErrorStatusText();
    EXPECT_EQ(base.GetErrorStatusText(), Describe(34));
}

TEST_F(ServerConnection, NonRetryableBindFailureEndsTheLoop) {
    // Any refusal other than an outage is the directory's answer; other servers would say
    // the same, so the first one is final.
    ScopedFault silent(Fault::kSilent, "ldap4");
    CZNDirectoryBase base;
    base.SetConnectTimeOut(1, 0);
    Stopwatch watch;
    zn::LdapConnection connection = base.ConnectToServerAs(PersonDN("jdoe").c_str(), "bad");
    EXPECT_NE(connection, nullptr);
    EXPECT_EQ(base.GetLdapResultCode(), 49);
    EXPECT_LT(watch.Seconds(), 1.5) << "the silent ldap4 must not have been tried";
}

}  // namespace
}  // namespace zntest
