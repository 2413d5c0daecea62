// Directory traffic over TLS against the sandbox's slapd: reads, password checks and a change's
// requester check over StartTLS and LDAPS, and certificates that must not be trusted.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "CZNGroup.h"
#include "CZNWorker.h"
#include "session/directory_base.h"
#include "session/status_codes.h"
#include "session/tls_settings.h"
#include "session/trace.h"
#include "session/trace_lines.h"
#include "tests/session/session_fixture.h"
#include "tests/support/admin_daemon.h"

namespace zntest {
namespace {

using zn::CZNDirectoryBase;

// The bind lines of the library's trace, as the tool prints them.
class BindLines : public zn::trace::TraceSink {
  public:
    BindLines() { zn::trace::SetSink(this); }
    ~BindLines() override { zn::trace::SetSink(nullptr); }
    void OnBind(const zn::trace::BindRecord& record) override {
        lines.push_back(zn::trace::BindLine(record));
    }
    void OnSearch(const zn::trace::SearchRecord&) override {}
    void OnAdminRequest(const zn::trace::AdminRecord&) override {}
    std::vector<std::string> lines;
};

void Set(const char* key, const std::string& value) {
    std::string error;
    ASSERT_TRUE(zn::SetTlsOverride(key, value.c_str(), error)) << error;
}

std::string TestCa() {
    const char* ca = std::getenv("ZNG_TLS_CA");
    if (ca == nullptr) throw SandboxError("ZNG_TLS_CA is not set: run inside directory/sandbox");
    return ca;
}

class DirectoryTls : public DirectoryTest {
  protected:
    static void SetUpTestSuite() {
        RequireSandbox();
        // An authority that signed nothing the servers hold.
        s_otherCa = SandboxDir() + "/other-ca.pem";
        const std::string command =
            "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 "
            "-subj '/CN=not the sandbox CA' -keyout '" +
            SandboxDir() + "/other-ca.key' -out '" + s_otherCa + "' 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        // Names the certificate does not carry, on the local servers' addresses: /etc/hosts
        // is the sandbox's own file, bind-mounted.
        std::ofstream hosts(SandboxDir() + "/hosts", std::ios::app);
        for (int n = 5; n >= 1; --n) {
            hosts << "127.0.1." << n << " ldapELSEWHERE" << n << "\n";
        }
    }
    void SetUp() override {
        DirectoryTest::SetUp();
        zn::ClearTlsOverrides();
        for (const char* name : {"ZNGROUPS_TLS", "ZNGROUPS_TLS_CA", "ZNGROUPS_TLS_VERIFY",
                                 "ZNGROUPS_ADMIN_TLS", "ZNGROUPS_CONFIG"}) {
            unsetenv(name);
        }
    }
    void TearDown() override {
        zn::ClearTlsOverrides();
        DirectoryTest::TearDown();
    }
    static std::string s_otherCa;
};
std::string DirectoryTls::s_otherCa;

struct Mode {
    const char* name;
    const char* port;
};
constexpr Mode kModes[] = {{"starttls", "389"}, {"ldaps", "636"}};

TEST_F(DirectoryTls, ReadsAndPasswordChecksGoEncryptedOverStartTlsAndLdaps) {
    for (const Mode& mode : kModes) {
        SCOPED_TRACE(mode.name);
        Set("tls", mode.name);
        Set("tls-ca", TestCa());
        BindLines trace;
        CZNWorker worker;
        EXPECT_EQ(worker.GetFullName("jdoe"), "John Doe") << worker.GetErrorStatusText();
        EXPECT_EQ(worker.Authenticate("jdoe", SamplePassword("jdoe")), 1)
            << worker.GetErrorStatusText();
        EXPECT_EQ(worker.GetErrorStatusText(), "Success");
        // The lower-case retry goes the same way.
        EXPECT_EQ(worker.Authenticate("jdoe", "SECRET"), 1);
        EXPECT_EQ(worker.Authenticate("jdoe", "wrong"), 0);
        EXPECT_EQ(worker.GetErrorStatusCode(), zn::status::kInvalidCredentials);
        const CZNGroup group("ENG-ALL");
        EXPECT_FALSE(group.GetDescription().empty()) << group.GetErrorStatusText();
        // Every connection, anonymous or as the person, was secured before its bind.
        const std::string expected = std::string("transport=\"") + mode.name +
                                     " to ldap5:" + mode.port + ", certificate verified\"";
        ASSERT_GE(trace.lines.size(), 6u);
        for (const std::string& line : trace.lines) {
            EXPECT_NE(line.find(expected), std::string::npos) << line;
        }
    }
}

TEST_F(DirectoryTls, PlainIsTheDefaultAndSaysSo) {
    BindLines trace;
    CZNWorker worker;
    EXPECT_EQ(worker.Authenticate("jdoe", SamplePassword("jdoe")), 1);
    ASSERT_FALSE(trace.lines.empty());
    for (const std::string& line : trace.lines) {
        EXPECT_NE(line.find(" transport=\"plain\""), std::string::npos) << line;
    }
}

TEST_F(DirectoryTls, ACertificateFromAnotherAuthorityIsRefusedNamingTheHost) {
    for (const Mode& mode : kModes) {
        SCOPED_TRACE(mode.name);
        Set("tls", mode.name);
        Set("tls-ca", s_otherCa);
        const std::string text = std::string("Directory TLS (") + mode.name +
                                 ") with ldap5:" + mode.port +
                                 " failed: the server's certificate could not be verified (CA "
                                 "file " +
                                 s_otherCa + ").";
        BindLines trace;
        CZNWorker worker;
        EXPECT_EQ(worker.GetFullName("jdoe"), "");
        EXPECT_EQ(worker.GetErrorStatusCode(), zn::status::kTlsFailed);
        EXPECT_EQ(worker.GetErrorStatusText(), text);
        // Not "wrong password": the password never left the process.
        EXPECT_EQ(worker.Authenticate("jdoe", SamplePassword("jdoe")), 0);
        EXPECT_EQ(worker.GetErrorStatusCode(), zn::status::kTlsFailed);
        EXPECT_EQ(worker.GetErrorStatusText(), text);
        // Each server was tried once per loop, none in clear and none bound to.
        ASSERT_FALSE(trace.lines.empty());
        for (const std::string& line : trace.lines) {
            EXPECT_NE(line.find(" failed: the server's certificate could not be verified\""),
                      std::string::npos)
                << line;
        }
        // Without verification the same servers are taken: encrypted, proving nothing.
        Set("tls-verify", "off");
        EXPECT_EQ(worker.GetFullName("jdoe"), "John Doe") << worker.GetErrorStatusText();
        Set("tls-verify", "on");
    }
}

TEST_F(DirectoryTls, ACaFileReplacedInPlaceIsReadAgain) {
    // An authority rotated under the same name counts from the next connection on.
    const std::string path = SandboxDir() + "/rotated-ca.pem";
    auto copy = [&path](const std::string& from) {
        std::ifstream in(from, std::ios::binary);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << in.rdbuf();
    };
    Set("tls", "starttls");
    Set("tls-ca", path);
    copy(s_otherCa);
    CZNWorker worker;
    EXPECT_EQ(worker.GetFullName("jdoe"), "");
    EXPECT_EQ(worker.GetErrorStatusCode(), zn::status::kTlsFailed);
    copy(TestCa());
    EXPECT_EQ(worker.GetFullName("jdoe"), "John Doe") << worker.GetErrorStatusText();
    copy(s_otherCa);
    EXPECT_EQ(worker.GetFullName("jdoe"), "");
    EXPECT_EQ(worker.GetErrorStatusCode(), zn::status::kTlsFailed);
}

TEST_F(DirectoryTls, AHostNameTheCertificateDoesNotCarryIsRefused) {
    Set("tls", "starttls");
    Set("tls-ca", TestCa());
    CZNDirectoryBase base("ELSEWHERE");
    long counter = 5;
    EXPECT_EQ(base.ConnectToServer(counter), nullptr);
    EXPECT_TRUE(base.ReportTlsFailure());
    EXPECT_EQ(base.GetErrorStatusCode(), zn::status::kTlsFailed);
    EXPECT_EQ(base.GetErrorStatusText(),
              "Directory TLS (starttls) with ldapELSEWHERE5:389 failed: the server's certificate "
              "could not be verified (CA file " +
                  TestCa() + ").");
    EXPECT_EQ(base.AuthenticateUser(PersonDN("jdoe"), SamplePassword("jdoe")), 0);
    EXPECT_EQ(base.GetErrorStatusCode(), zn::status::kTlsFailed);
    Set("tls", "ldaps");
    EXPECT_EQ(base.AuthenticateUser(PersonDN("jdoe"), SamplePassword("jdoe")), 0);
    EXPECT_EQ(base.GetErrorStatusCode(), zn::status::kTlsFailed);
    EXPECT_NE(base.GetErrorStatusText().find("with ldapELSEWHERE5:636 failed"), std::string::npos)
        << base.GetErrorStatusText();
    // The same servers under their own names verify.
    CZNDirectoryBase local;
    EXPECT_EQ(local.AuthenticateUser(PersonDN("jdoe"), SamplePassword("jdoe")), 1)
        << local.GetErrorStatusText();
}

TEST_F(DirectoryTls, AServerThatIsDownIsStillJustDown) {
    // TLS does not turn an outage into a certificate problem, nor stop the fail-over.
    Set("tls", "starttls");
    Set("tls-ca", TestCa());
    ScopedFault down(Fault::kRefuse, "ldap5");
    BindLines trace;
    CZNWorker worker;
    EXPECT_EQ(worker.GetFullName("jdoe"), "John Doe") << worker.GetErrorStatusText();
    ASSERT_EQ(trace.lines.size(), 2u);
    EXPECT_NE(trace.lines[0].find("starttls to ldap5:389, not connected"), std::string::npos)
        << trace.lines[0];
    EXPECT_NE(trace.lines[1].find("starttls to ldap4:389, certificate verified"), std::string::npos)
        << trace.lines[1];
    ScopedFault all(Fault::kRefuse, {"ldap4", "ldap3", "ldap2", "ldap1"});
    EXPECT_EQ(worker.GetFullName("jdoe"), "");
    EXPECT_EQ(worker.GetErrorStatusCode(), zn::status::kNoServer);
}

TEST_F(DirectoryTls, SettingsThatCannotBeUsedConnectNowhere) {
    BindLines trace;
    CZNWorker worker;
    setenv("ZNGROUPS_TLS", "maybe", 1);
    EXPECT_EQ(worker.GetFullName("jdoe"), "");
    EXPECT_EQ(worker.GetErrorStatusCode(), zn::status::kTlsSettingsInvalid);
    EXPECT_EQ(worker.GetErrorStatusText(),
              "Directory TLS settings cannot be used: ZNGROUPS_TLS: tls = \"maybe\" is not off, "
              "starttls or ldaps; no connection was made.");
    EXPECT_EQ(worker.Authenticate("jdoe", SamplePassword("jdoe")), 0);
    EXPECT_EQ(worker.GetErrorStatusCode(), zn::status::kTlsSettingsInvalid);
    // The program's own value does not paper over a broken environment.
    Set("tls", "starttls");
    EXPECT_EQ(worker.GetFullName("jdoe"), "");
    EXPECT_EQ(worker.GetErrorStatusCode(), zn::status::kTlsSettingsInvalid);
    EXPECT_TRUE(trace.lines.empty());
    unsetenv("ZNGROUPS_TLS");
    Set("tls-ca", SandboxDir() + "/missing.pem");
    EXPECT_EQ(worker.GetFullName("jdoe"), "");
    EXPECT_EQ(worker.GetErrorStatusCode(), zn::status::kTlsSettingsInvalid);
    EXPECT_EQ(worker.GetErrorStatusText(),
              "Directory TLS settings cannot be used: the CA file cannot be read (CA file " +
                  SandboxDir() + "/missing.pem); no connection was made.");
}

struct ToolRun {
    int exitCode = -1;
    std::string output;  // standard output and error together
};

ToolRun RunTool(const std::string& arguments, const std::string& environment = "") {
    const std::string command = environment + " ZNI_SPOOL='" + SandboxDir() + "' " + ZNGROUPS_TOOL +
                                " " + arguments + " 2>&1";
    ToolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        run.output.append(buffer, n);
    }
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST_F(DirectoryTls, TheToolTakesTheSettingsAsOptionsAndTracesTheTransport) {
    ToolRun run = RunTool("--tls ldaps --tls-ca " + TestCa() + " --trace worker show jdoe");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("transport=\"ldaps to ldap5:636, certificate verified\""),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("John Doe"), std::string::npos) << run.output;
    // The option wins over the environment.
    run = RunTool("--tls starttls --tls-ca " + s_otherCa + " worker show jdoe",
                  "ZNGROUPS_TLS=off ZNGROUPS_TLS_CA='" + TestCa() + "'");
    EXPECT_EQ(run.exitCode, 4) << run.output;
    EXPECT_NE(run.output.find("Directory TLS (starttls) with ldap5:389 failed: the server's "
                              "certificate could not be verified (CA file " +
                              s_otherCa + "). (status 30043)"),
              std::string::npos)
        << run.output;
    run = RunTool("--tls sometimes worker show jdoe");
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_NE(
        run.output.find(
            "--tls: the program's setting: tls = \"sometimes\" is not off, starttls or ldaps"),
        std::string::npos)
        << run.output;
}

class DirectoryTlsChanges : public DirectoryTls {
  protected:
    void TearDown() override {
        RestoreDirectory();
        DirectoryTls::TearDown();
    }
};

TEST_F(DirectoryTlsChanges, TheRequesterIsCheckedOverTls) {
    AdminDaemon server;
    const std::string password = "Tr0ubadour";  // asmith, the sample's administrator
    for (const Mode& mode : kModes) {
        SCOPED_TRACE(mode.name);
        Set("tls", mode.name);
        Set("tls-ca", TestCa());
        BindLines trace;
        CZNGroup group;
        group.SetAccess("asmith", password, "ENG-FRONTEND");
        EXPECT_EQ(group.AddDirectMember("bwhite"), 1) << group.GetErrorStatusText();
        EXPECT_EQ(group.DeleteDirectMember("bwhite"), 1) << group.GetErrorStatusText();
        bool requesterBound = false;
        for (const std::string& line : trace.lines) {
            EXPECT_NE(line.find(std::string("transport=\"") + mode.name + " to ldap5:" + mode.port +
                                ", certificate verified\""),
                      std::string::npos)
                << line;
            requesterBound = requesterBound || line.find("dn=\"uid=asmith,") != std::string::npos;
        }
        EXPECT_TRUE(requesterBound);
    }
    // A requester whose password cannot be checked safely changes nothing.
    Set("tls-ca", s_otherCa);
    CZNGroup group;
    group.SetAccess("asmith", password, "ENG-FRONTEND");
    EXPECT_EQ(group.AddDirectMember("bwhite"), 0);
    EXPECT_EQ(group.GetErrorStatusCode(), zn::status::kTlsFailed);
}

}  // namespace
}  // namespace zntest
