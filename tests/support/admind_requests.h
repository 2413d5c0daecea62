// Requests to the real administration server as the library sends them, and the directory
// read back with plain LDAP, for the server's end-to-end tests.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <list>
#include <set>
#include <string>
#include <vector>

#include "admin/change_request.h"
#include "tests/support/admin_daemon.h"
#include "tests/support/sandbox.h"

namespace zntest {

struct Answer {
    long result = 0;
    long code = 0;
    std::string text;
    std::chrono::steady_clock::duration took{};  // the whole exchange
};

// One request, formatted by the library's protocol module and carried by its exchange.
Answer Send(zn::ChangeRequest kind, zn::RequestFields fields, std::uint32_t port = 60660,
            const char* domain = nullptr);
zn::RequestFields By(const std::string& user, const std::string& group,
                     const std::string& target = "");
// The questions of record type 00002, asked of the local server.
Answer Status(long number);
Answer LogEntry(long number);
std::list<std::string> ChangeLog(const std::string& group, long* code = nullptr,
                                 long waitSeconds = 10);
// The number in "Change N applied.", 0 in any other answer.
long ChangeNumber(const Answer& answer);

std::string Lower(std::string text);
// The values of one attribute of a group, read from the provider with plain LDAP, as
// lower-case DNs or texts; a missing group reads as no values.
std::set<std::string> Values(const std::string& group, const char* attribute);
// Adds one value to a group's attribute behind the server's back, as cn=admin.
void AddValue(const std::string& group, const char* attribute, const std::string& value);
std::string PersonDN(const std::string& uid);
std::string GroupDN(const std::string& name);

// A raw connection to the server; from `source` when given (in the sandbox every 127.x
// address is this machine's, so a test can be several clients). A receive buffer of
// `receiveBuffer` bytes and segments of `segment` bytes when given, set before the
// connection is made so that they hold.
int Connect(const AdminDaemon& server, const std::string& source = "", int receiveBuffer = 0,
            int segment = 0);
// Everything the server answers until it closes (10 s at the most); closes `fd`.
std::string ReadToClose(int fd);
// Writes `pieces` to the server one after another with `pause` between them and returns
// everything it answers until it closes.
std::string Raw(const AdminDaemon& server, const std::vector<std::string>& pieces,
                std::chrono::milliseconds pause = std::chrono::milliseconds(0), int segment = 0);

inline constexpr const char* kAdmin = "ASMITH";  // the sample's administrator

// A server of the local domain per test, on a sample directory restored around each test.
class AdminServer : public ::testing::Test {
  protected:
    static void TearDownTestSuite() { RestoreDirectory(); }
    void SetUp() override {
        RequireSandbox();
        RestoreAll();
    }
    void TearDown() override { RestoreAll(); }

    // Creates top-level groups in the default unit, as the administrator.
    void Create(std::initializer_list<const char*> names);
    void Link(const char* parent, const char* child);
    void AddMember(const char* group, const char* uid);
    std::set<std::string> Eventual(const std::string& group) {
        return Values(group, "uniqueMember");
    }

    AdminDaemon m_server;
};

}  // namespace zntest
