// The trace sink sees the session's binds and searches as they happen, fail-over included,
// and nothing once it is removed.
#include <string>
#include <vector>

#include "session/trace.h"
#include "tests/session/session_fixture.h"

namespace zntest {
namespace {

using zn::CZNDirectoryBase;

struct Seen {
    std::string kind;
    std::string server;
    std::string filter;
    std::string attributes;
    long code = 0;
    std::size_t entries = 0;
};

// Copies what it is shown: the records point into the session's own buffers.
class RecordingSink : public zn::trace::TraceSink {
  public:
    std::vector<Seen> seen;
    void OnBind(const zn::trace::BindRecord& record) override {
        seen.push_back(
            {"bind", record.server, "", record.bindDN ? record.bindDN : "", record.ldapCode, 0});
        EXPECT_GE(record.milliseconds, 0.0);
    }
    void OnSearch(const zn::trace::SearchRecord& record) override {
        std::string attributes;
        for (const char* const* a = record.attributes; a != nullptr && *a != nullptr; ++a) {
            attributes += std::string(attributes.empty() ? "" : ",") + *a;
        }
        seen.push_back(
            {"search", record.server, record.filter, attributes, record.ldapCode, record.entries});
        EXPECT_GE(record.milliseconds, 0.0);
    }
    void OnAdminRequest(const zn::trace::AdminRecord&) override {
        seen.push_back({"admin", "", "", "", 0, 0});
    }
};

struct Installed {
    explicit Installed(zn::trace::TraceSink* sink) { zn::trace::SetSink(sink); }
    ~Installed() { zn::trace::SetSink(nullptr); }
};

class Trace : public DirectoryTest {};

TEST_F(Trace, ShowsTheServerThatAnsweredAfterTheOneThatDidNot) {
    const char* const member[] = {"member", "cn", nullptr};
    const std::string filter = "(&(objectclass=groupOfNames)(cn=Domains))";
    RecordingSink sink;
    StopServer("ldap5");
    {
        Installed installed(&sink);
        CZNDirectoryBase base;
        std::list<std::string> values;
        base.CollectValues(filter.c_str(), member, values);
        EXPECT_EQ(base.GetErrorStatusCode(), 1) << base.GetErrorStatusText();
    }
    StartServer("ldap5");
    ASSERT_EQ(sink.seen.size(), 3u);
    EXPECT_EQ(sink.seen[0].kind, "bind");
    EXPECT_EQ(sink.seen[0].server, "ldap5");
    EXPECT_NE(sink.seen[0].code, 0);
    EXPECT_EQ(sink.seen[0].attributes, "");  // the anonymous bind names no DN
    EXPECT_EQ(sink.seen[1].kind, "bind");
    EXPECT_EQ(sink.seen[1].server, "ldap4");
    EXPECT_EQ(sink.seen[1].code, 0);
    EXPECT_EQ(sink.seen[2].kind, "search");
    EXPECT_EQ(sink.seen[2].server, "ldap4");
    EXPECT_EQ(sink.seen[2].filter, filter);
    EXPECT_EQ(sink.seen[2].attributes, "member,cn");
    EXPECT_EQ(sink.seen[2].code, 0);
    EXPECT_EQ(sink.seen[2].entries, 1u);

    // A bind as a user names the user's entry, never the password.
    {
        Installed installed(&sink);
        CZNDirectoryBase base;
        sink.seen.clear();
        EXPECT_EQ(base.AuthenticateUser(PersonDN("jdoe"), SamplePassword("jdoe")), 1);
    }
    ASSERT_FALSE(sink.seen.empty());
    EXPECT_EQ(sink.seen.back().attributes, PersonDN("jdoe"));

    // Removed, it hears of nothing.
    sink.seen.clear();
    CZNDirectoryBase base;
    std::list<std::string> values;
    base.CollectValues(filter.c_str(), member, values);
    EXPECT_TRUE(sink.seen.empty());
}

}  // namespace
}  // namespace zntest
