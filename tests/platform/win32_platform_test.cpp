// The Win32 back ends against what Windows (here Wine) really does: version resources, account
// and host names, Windows Sockets numbers and wldap32's waits, inside the sandbox.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/file_version.h"
#include "platform/host_info.h"
#include "platform/ldap_client.h"
#include "platform/sockets.h"
#include "zngroups_config.h"

#include <windows.h>

namespace {

namespace ldapapi = zn::ldapapi;
namespace platform = zn::platform;
namespace sockets = zn::sockets;
using Clock = std::chrono::steady_clock;

std::string FolderOf(const std::string& path) {
    return path.substr(0, path.find_last_of("\\/") + 1);
}

std::string ProgramPath() {
    std::string path;
    EXPECT_TRUE(platform::ExecutablePath(path));
    return path;
}

// The sandbox's run directory is a Linux path; Wine maps it through its drive for "/".
std::string SandboxFile(const std::string& relative) {
    const char* run = std::getenv("ZNG_SANDBOX");
    if (run == nullptr || *run == '\0') {
        ADD_FAILURE() << "ZNG_SANDBOX is not set: run the suite inside directory/sandbox";
        return {};
    }
    return std::string(run) + "/" + relative;
}

std::string FirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// The suite runs twice: as the prefix's user (US English) and as a user of another language
// (CTest sets LC_ALL, from which Wine takes the user's default language, and
// ZNG_USER_LANGUAGE to the identifier that must come of it).
TEST(Win32FileVersion, RunsAsTheUserLanguageItWasGiven) {
    const char* given = std::getenv("ZNG_USER_LANGUAGE");
    const unsigned long expected = given != nullptr ? std::strtoul(given, nullptr, 16) : 0x0409;
    EXPECT_EQ(GetUserDefaultLangID(), expected);
}

TEST(Win32FileVersion, ReadsTheStringTablesInTheirOrder) {
    std::string version;
    // The DLL's own tables are US English and language neutral, both Unicode: the first
    // sub-block asked for, or for users of another language the last.
    ASSERT_EQ(platform::ReadFileVersion(FolderOf(ProgramPath()) + ZNGROUPS_LIBRARY_FILE, version),
              platform::VersionLookup::kFound);
    EXPECT_EQ(version, ZNGROUPS_VERSION);

    // This program's table is language neutral, Latin-1: found only by the third query.
    version.clear();
    ASSERT_EQ(platform::ReadFileVersion(ProgramPath(), version), platform::VersionLookup::kFound);
    EXPECT_EQ(version, "9.8.7.6 neutral");

    // A DLL without a version resource, and no file at all.
    version = "unchanged";
    EXPECT_EQ(platform::ReadFileVersion(FolderOf(ProgramPath()) + "znimessaging.dll", version),
              platform::VersionLookup::kNoVersionInformation);
    EXPECT_EQ(version, "unchanged");
    EXPECT_EQ(platform::ReadFileVersion(FolderOf(ProgramPath()) + "no-such-file.dll", version),
              platform::VersionLookup::kNoVersionInformation);
}

TEST(Win32HostInfo, ModulePathsAccountAndHostName) {
    const std::string program = ProgramPath();
    EXPECT_NE(program.find(":\\"), std::string::npos) << program;
    EXPECT_EQ(program.substr(program.size() - 24), "\\platform_win32_test.exe");
    // Linked into the program, the library's code has no module of its own.
    std::string module;
    ASSERT_TRUE(platform::LibraryModulePath(module));
    EXPECT_EQ(module, program);
    EXPECT_EQ(std::string(platform::PathSeparators()), "\\/");

    std::string account;
    ASSERT_TRUE(platform::ReadAccountName(account));
    EXPECT_FALSE(account.empty());
    EXPECT_LE(account.size(), platform::kMaxAccountName);
    EXPECT_EQ(account.find('\0'), std::string::npos);
    if (const char* user = std::getenv("USERNAME")) {
        EXPECT_EQ(account, user);
    }

    // gethostname without a Windows Sockets session of the caller's.
    std::string host;
    ASSERT_TRUE(platform::ReadHostName(host));
    EXPECT_FALSE(host.empty());
    EXPECT_LT(host.size(), 256u);
}

TEST(Win32Sockets, ReportsWindowsSocketsNumbersAsTheyAre) {
    sockets::Session session;
    ASSERT_EQ(session.StartupError(), sockets::kNoError);

    sockets::Address address;
    ASSERT_EQ(sockets::ResolveHost("ldap5", 389, address), sockets::kNoError);
    EXPECT_EQ(address.family, 2);  // AF_INET
    const std::string ldap5 = FirstLine(SandboxFile("servers/ldap5/address"));
    const auto* octets = reinterpret_cast<const unsigned char*>(&address.addressNetworkOrder);
    EXPECT_EQ(std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." +
                  std::to_string(octets[2]) + "." + std::to_string(octets[3]),
              ldap5);
    // The sandbox has no name server: an unknown name is "not found" from the hosts file, or
    // "try again" when the resolver went on to a server that is not there.
    long unknown = sockets::ResolveHost("no-such-host.invalid", 389, address);
    EXPECT_TRUE(unknown == sockets::kHostNotFound || unknown == sockets::kTryAgain) << unknown;

    // Nothing listens on port 1 of a server's address: refused, not "would block".
    sockets::Address closed;
    ASSERT_EQ(sockets::ResolveHost("ldap5", 1, closed), sockets::kNoError);
    sockets::Socket refused;
    ASSERT_EQ(refused.Create(), sockets::kNoError);
    EXPECT_EQ(refused.Connect(closed, 5000), sockets::kConnectionRefused);

    // A live server: connected, and an unbind request makes it close the connection.
    sockets::Address server;
    ASSERT_EQ(sockets::ResolveHost("ldap5", 389, server), sockets::kNoError);
    sockets::Socket socket;
    ASSERT_EQ(socket.Create(), sockets::kNoError);
    ASSERT_EQ(socket.Connect(server, 5000), sockets::kNoError);
    std::size_t sent = 0;
    const char unbind[] = {0x30, 0x05, 0x02, 0x01, 0x01, 0x42, 0x00};
    ASSERT_EQ(socket.Send(unbind, sizeof unbind, 5000, sent), sockets::kNoError);
    EXPECT_EQ(sent, sizeof unbind);
    char buffer[64];
    std::size_t received = 1;
    long error = socket.Receive(buffer, sizeof buffer, 5000, received);
    EXPECT_TRUE((error == sockets::kNoError && received == 0) ||
                error == sockets::kConnectionReset)
        << error;

    // A receive that nothing answers ends with the time-out number.
    sockets::Socket quiet;
    ASSERT_EQ(quiet.Create(), sockets::kNoError);
    ASSERT_EQ(quiet.Connect(server, 5000), sockets::kNoError);
    EXPECT_EQ(quiet.Receive(buffer, sizeof buffer, 200, received), sockets::kTimedOut);
}

// One wldap32 handle, unbound by its destructor.
struct Connection {
    explicit Connection(const char* host, int port = ldapapi::kDefaultPort)
        : handle(ldapapi::Init(host, port)) {}
    ~Connection() {
        if (handle != nullptr) ldapapi::Unbind(handle);
    }
    ldapapi::Handle* handle;
};

TEST(Win32Ldap, BindsSearchesAndKeepsEveryWaitBounded) {
    Connection live("ldap5");
    ASSERT_NE(live.handle, nullptr);
    ASSERT_EQ(ldapapi::SetProtocolVersion3(live.handle), 0);
    ldapapi::BoundConnectWait(live.handle, {5, 0});
    long id = ldapapi::Bind(live.handle, nullptr, nullptr, ldapapi::kAuthSimple);
    ASSERT_NE(id, -1);
    ldapapi::Message* reply = nullptr;
    ASSERT_GT(ldapapi::Result(live.handle, id, ldapapi::kMsgAll, {5, 0}, &reply), 0);
    EXPECT_EQ(ldapapi::Result2Error(live.handle, reply), ldapapi::kSuccess);

    const char* attributes[] = {"o", nullptr};
    ldapapi::Message* chain = nullptr;
    const char* suffix = std::getenv("ZNG_BASE_DN");
    ASSERT_NE(suffix, nullptr);
    ASSERT_EQ(ldapapi::SearchSt(live.handle, suffix, ldapapi::kScopeSubtree,
                                "(objectclass=organization)", attributes, 0, {10, 0}, &chain),
              ldapapi::kSuccess);
    ldapapi::Message* entry = ldapapi::FirstEntry(live.handle, chain);
    ASSERT_NE(entry, nullptr);
    char* dn = ldapapi::GetDn(live.handle, entry);
    EXPECT_STREQ(dn, suffix);
    ldapapi::MemFree(dn);
    char** values = ldapapi::GetValues(live.handle, entry, "o");
    EXPECT_EQ(ldapapi::CountValues(values), 1);
    ldapapi::ValueFree(values);
    EXPECT_EQ(ldapapi::NextEntry(live.handle, entry), nullptr);
    ldapapi::MsgFree(chain);

    // The classic numbers come back as they are: a filter error is 87.
    chain = nullptr;
    EXPECT_EQ(ldapapi::SearchSt(live.handle, suffix, ldapapi::kScopeSubtree, "(((", attributes, 0,
                                {10, 0}, &chain),
              ldapapi::kFilterError);
    if (chain != nullptr) ldapapi::MsgFree(chain);
    EXPECT_STRNE(ldapapi::Err2String(ldapapi::kServerDown), "");

    // A zero search time-out would be no limit at all to wldap32; ours still ends.
    chain = nullptr;
    const auto start = Clock::now();
    long code = ldapapi::SearchSt(live.handle, suffix, ldapapi::kScopeSubtree, "(objectclass=*)",
                                  attributes, 0, {0, 0}, &chain);
    EXPECT_TRUE(code == ldapapi::kSuccess || code == ldapapi::kTimeout) << code;
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    if (chain != nullptr) ldapapi::MsgFree(chain);

    // Nothing listens on port 1: the connect fails within the connect time-out and Bind
    // reports it without connecting again.
    Connection refused("ldap5", 1);
    ASSERT_NE(refused.handle, nullptr);
    ASSERT_EQ(ldapapi::SetProtocolVersion3(refused.handle), 0);
    const auto connectStart = Clock::now();
    ldapapi::BoundConnectWait(refused.handle, {2, 0});
    EXPECT_EQ(ldapapi::Bind(refused.handle, nullptr, nullptr, ldapapi::kAuthSimple), -1);
    EXPECT_LT(Clock::now() - connectStart, std::chrono::seconds(10));
    long last = 0;
    ASSERT_TRUE(ldapapi::GetLastError(refused.handle, last));
    EXPECT_TRUE(last == ldapapi::kServerDown || last == ldapapi::kConnectError) << last;
}

}  // namespace
