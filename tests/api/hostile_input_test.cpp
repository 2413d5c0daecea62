// Both public classes given what an application should never pass but some will: filter
// syntax, NUL bytes inside strings, names of 100,000 characters, bytes outside ASCII,
// numbers at the ends of long, and time-outs of zero, below zero and at the limit. Whatever
// arrives, no answer may stand for everything, nothing may overrun, and the status is one
// the library defines.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "CZNGroup.h"
#include "CZNWorker.h"
#include "tests/support/admin_daemon.h"
#include "tests/support/sandbox_fixture.h"
#include "tests/support/spool_folder.h"

namespace {

const std::string kAdminPassword = "Tr0ubadour";  // asmith, the sample's administrator

// Names that are filter syntax, carry a NUL in the middle, are far too long or not ASCII.
// Each would name something real if it were cut at the NUL or read as a pattern.
std::vector<std::string> HostileNames() {
    return {"*",
            ")(",
            "*)(cn=*",
            "SALES-ALL)(cn=*",
            std::string("SALES-ALL\0*", 11),
            std::string("\0", 1),
            std::string("asmith\0", 7),
            std::string(100000, 'A'),
            std::string(100000, '*'),
            "\xc3\x85SA\xff\x80",
            "\\2a"};
}

// 1 or one of the library's own failures; never a code no table lists, never 0.
bool Defined(long code) {
    return code == 1 || (code >= 30000 && code <= 30049);
}

class HostileInput : public zntest::SandboxTest {
  protected:
    zntest::ScopedSpool m_spool;
};

TEST_F(HostileInput, GroupNamesNameNoGroupWhateverTheyHold) {
    for (const std::string& name : HostileNames()) {
        SCOPED_TRACE(testing::PrintToString(name.substr(0, 40)) + " of " +
                     std::to_string(name.size()));
        CZNGroup group(name);
        EXPECT_LE(group.GetGroupName().size(), 80u);
        EXPECT_EQ(group.IsValidGroup(), 0);
        EXPECT_TRUE(Defined(group.GetErrorStatusCode())) << group.GetErrorStatusCode();
        EXPECT_NE(group.GetErrorStatusCode(), 1);
        EXPECT_EQ(group.GetDescription(), "");
        EXPECT_EQ(group.GetCompanyNumber(), "");
        EXPECT_EQ(group.GetMailAliasedFlag(), 0);
        EXPECT_TRUE(group.GetDirectMembers().empty());
        EXPECT_TRUE(group.GetEventualMembers().empty());
        EXPECT_TRUE(group.GetOwners().empty());
        EXPECT_TRUE(group.GetContacts().empty());
        EXPECT_TRUE(group.GetSubGroups().empty());
        EXPECT_TRUE(group.GetSuperGroups().empty());
        EXPECT_TRUE(group.GetEventualSuperGroups().empty());
        EXPECT_EQ(group.GetEventualMembersCount(), 0);
        EXPECT_TRUE(Defined(group.GetErrorStatusCode())) << group.GetErrorStatusCode();
        EXPECT_EQ(group.GetGenericAttributeValue(name), "");
    }
}

TEST_F(HostileInput, PeopleAndCandidatesInRelationQuestionsMatchNobody) {
    // Real groups with members, owners, contacts and subgroups, asked about hostile names.
    CZNGroup apac("SALES-APAC");
    CZNGroup all("SALES-ALL");
    for (const std::string& name : HostileNames()) {
        SCOPED_TRACE(testing::PrintToString(name.substr(0, 40)));
        EXPECT_EQ(apac.IsValidGroupDirectMember(name), 0);
        EXPECT_EQ(all.IsValidGroupEventualMember(name), 0);
        EXPECT_EQ(all.IsValidGroupOwner(name), 0);
        EXPECT_EQ(all.IsValidGroupContact(name), 0);
        EXPECT_EQ(all.IsValidGroupSubGroup(name), 0);
        EXPECT_EQ(apac.IsValidGroupSuperGroup(name), 0);
        EXPECT_EQ(apac.IsValidGroupEventualSuperGroup(name), 0);
        EXPECT_TRUE(Defined(apac.GetErrorStatusCode()));
        EXPECT_EQ(all.IsValidDomain(name.c_str()), name.c_str()[0] == '\0' ? 1 : 0);
        EXPECT_TRUE(Defined(all.GetErrorStatusCode()));

        CZNWorker person(name);
        EXPECT_EQ(person.IsValidWorker(), 0);
        EXPECT_EQ(person.GetFullName(), "");
        EXPECT_EQ(person.GetWorkerNumber(), 0);
        EXPECT_TRUE(person.GetDirectGroups().empty());
        EXPECT_TRUE(Defined(person.GetErrorStatusCode())) << person.GetErrorStatusCode();
        EXPECT_EQ(person.Authenticate(name, name), 0);
        EXPECT_TRUE(Defined(person.GetErrorStatusCode())) << person.GetErrorStatusCode();

        // A real member asked about hostile group names.
        CZNWorker hkim("hkim");
        EXPECT_EQ(hkim.IsValidDirectGroup(name), 0);
        EXPECT_EQ(hkim.IsValidEventualGroup(name), 0);
        EXPECT_EQ(hkim.IsValidOwnerGroup(name), 0);
        EXPECT_EQ(hkim.IsValidContactGroup(name), 0);
        EXPECT_TRUE(Defined(hkim.GetErrorStatusCode()));
    }
}

TEST_F(HostileInput, SearchPatternsEndInAnAnswerOrADefinedRefusal) {
    // Search strings are patterns on purpose; what they must not do is overrun the filter or
    // end in an undefined state.
    for (const std::string& pattern : HostileNames()) {
        SCOPED_TRACE(testing::PrintToString(pattern.substr(0, 40)));
        CZNGroup groups;
        groups.FindGroups(pattern);
        EXPECT_TRUE(Defined(groups.GetErrorStatusCode())) << groups.GetErrorStatusText();
        CZNWorker people;
        people.FindWorkers(pattern);
        EXPECT_TRUE(Defined(people.GetErrorStatusCode())) << people.GetErrorStatusText();
        people.FindWorkersByLastName(pattern);
        EXPECT_TRUE(Defined(people.GetErrorStatusCode())) << people.GetErrorStatusText();
        if (pattern.size() >= 52) {
            // Longer than any user name: refused, not cut into a different question.
            EXPECT_TRUE(people.FindWorkersByFirstName(pattern).empty());
            EXPECT_EQ(people.GetErrorStatusCode(), 30005);
        }
    }
}

TEST_F(HostileInput, WorkerNumbersAtTheEndsOfLongNameNobody) {
    for (long number : {LONG_MIN, LONG_MIN + 1, -1L, 0L, LONG_MAX - 1, LONG_MAX}) {
        SCOPED_TRACE(number);
        CZNWorker worker(number);
        EXPECT_EQ(worker.GetFullName(), "");
        EXPECT_EQ(worker.IsValidWorker(), 0);
        EXPECT_TRUE(Defined(worker.GetErrorStatusCode()));
        EXPECT_NE(worker.GetErrorStatusCode(), 1);
        CZNWorker other;
        EXPECT_EQ(other.GetUserNameA(number), "");
        EXPECT_EQ(other.IsValidWorker(number), 0);
        EXPECT_TRUE(Defined(other.GetErrorStatusCode()));
    }
}

TEST_F(HostileInput, TimeOutsAtAndBeyondTheirEndsGiveAnAnswerOrATimelyFailure) {
    using Clock = std::chrono::steady_clock;
    const std::string expected = CZNGroup("SALES-EMEA").GetDescription();
    ASSERT_FALSE(expected.empty());
    struct Setting {
        long seconds;
        long microSeconds;
    };
    // The largest values must not wrap into "no time at all" anywhere on the way down.
    for (const Setting limit : {Setting{LONG_MAX, LONG_MAX}, Setting{LONG_MAX, 0},
                                Setting{0, LONG_MAX}, Setting{INT_MAX, 999999}}) {
        SCOPED_TRACE(std::to_string(limit.seconds) + "/" + std::to_string(limit.microSeconds));
        CZNGroup group("SALES-EMEA");
        group.SetConnectTimeOut(limit.seconds, limit.microSeconds);
        group.SetSearchTimeOut(limit.seconds, limit.microSeconds);
        EXPECT_EQ(group.GetDescription(), expected);
        EXPECT_EQ(group.GetErrorStatusCode(), 1) << group.GetErrorStatusText();
    }
    // Nothing, or less than nothing: an answer or a defined failure, and at once.
    for (const Setting limit : {Setting{0, 0}, Setting{-1, -1}, Setting{LONG_MIN, LONG_MIN},
                                Setting{LONG_MIN, 0}, Setting{0, LONG_MIN}}) {
        SCOPED_TRACE(std::to_string(limit.seconds) + "/" + std::to_string(limit.microSeconds));
        CZNWorker worker("asmith");
        worker.SetConnectTimeOut(limit.seconds, limit.microSeconds);
        worker.SetSearchTimeOut(limit.seconds, limit.microSeconds);
        const auto start = Clock::now();
        const std::string name = worker.GetFullName();
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
        EXPECT_TRUE(Defined(worker.GetErrorStatusCode())) << worker.GetErrorStatusText();
        if (worker.GetErrorStatusCode() == 1) {
            EXPECT_FALSE(name.empty());
        }
        CZNGroup group("SALES-EMEA");
        group.SetTimeOut(limit.seconds);
        (void)group.GetDescription();
        EXPECT_TRUE(Defined(group.GetErrorStatusCode())) << group.GetErrorStatusText();
    }
}

TEST_F(HostileInput, ChangesWithHostileArgumentsAreRefusedBeforeAnythingIsSent) {
    // No administration server runs: a request that went out would end in a socket error,
    // which no case below may show.
    CZNGroup group;
    group.SetAccess("asmith", kAdminPassword, "SALES-EMEA");
    for (const std::string& name : HostileNames()) {
        SCOPED_TRACE(testing::PrintToString(name.substr(0, 40)));
        for (long result : {group.AddDirectMember(name), group.AddOwner(name),
                            group.AddContact(name), group.DeleteDirectMember(name),
                            group.AddSubGroup(name), group.RemoveSubGroup(name)}) {
            EXPECT_EQ(result, 0);
        }
        EXPECT_TRUE(Defined(group.GetErrorStatusCode())) << group.GetErrorStatusText();
        CZNGroup intruder;
        intruder.SetAccess(name, name, "SALES-EMEA");
        EXPECT_EQ(intruder.AddDirectMember("kpatel"), 0);
        EXPECT_TRUE(Defined(intruder.GetErrorStatusCode())) << intruder.GetErrorStatusText();
    }
    // A description no request can carry is refused whole, not cut.
    EXPECT_EQ(group.SetDescription(std::string(100000, 'd')), 0);
    EXPECT_EQ(group.GetErrorStatusCode(), 30045);
    EXPECT_EQ(group.SetDescription(std::string("in\0side", 7) + std::string(3000, 'x')), 0);
    EXPECT_EQ(group.GetErrorStatusCode(), 30045);
}

TEST_F(HostileInput, ValuesThatAreRequestSyntaxAreStoredWholeOrRefused) {
    zntest::AdminDaemon server;
    CZNGroup group;
    group.SetAccess("asmith", kAdminPassword, "ENG-ALUMNI");
    // The last field takes the rest of the line, commas and filter syntax included; a line
    // end would end the request and is refused by the server; bytes that are not UTF-8 are
    // the directory's to refuse. None may come back as something else.
    const std::string kCommas = "north, south,,east";
    const std::string kFilter = "*)(description=*";
    const std::string kLong(1900, 'v');
    for (const std::string& value : {kCommas, std::string("first line\r\nsecond line"),
                                     std::string("caf\xe9 \xc3\xa9\xff"), kFilter, kLong}) {
        SCOPED_TRACE(testing::PrintToString(value.substr(0, 40)));
        const long stored = group.SetDescription(value);
        EXPECT_TRUE(stored == 1 || group.GetErrorStatusCode() != 1) << group.GetErrorStatusText();
        const std::string read = CZNGroup("ENG-ALUMNI").GetDescription();
        if (stored == 1) {
            EXPECT_EQ(read, value);
        } else {
            EXPECT_NE(read, value);
        }
        if (value == kCommas || value == kFilter || value == kLong) {
            EXPECT_EQ(stored, 1);
        }
        if (value.find('\n') != std::string::npos) {
            EXPECT_EQ(group.GetErrorStatusCode(), 31003);
        }
    }
    // A NUL would end the line early and the server would store what came before it.
    const std::string before = CZNGroup("ENG-ALUMNI").GetDescription();
    EXPECT_EQ(group.SetDescription(std::string("in\0side", 7)), 0);
    EXPECT_EQ(group.GetErrorStatusCode(), 30047);
    EXPECT_EQ(group.GetErrorStatusText(),
              "The change request contains a NUL character, which it cannot carry.");
    EXPECT_EQ(CZNGroup("ENG-ALUMNI").GetDescription(), before);
    zntest::RestoreDirectory();
}

TEST_F(HostileInput, ChangeNumbersAtTheEndsOfLongGetAnAnswerFromTheServer) {
    zntest::AdminDaemon server;
    CZNGroup group("SALES-EMEA");
    for (long number : {LONG_MIN, -1L, 0L, LONG_MAX}) {
        SCOPED_TRACE(number);
        // The number travels whole and the server's own answer comes back.
        EXPECT_EQ(group.GetChangeLogEntry(number), "");
        EXPECT_EQ(group.GetErrorStatusText(),
                  "No change log entry " + std::to_string(number) + ".");
        EXPECT_EQ(group.GetErrorStatusCode(number), 0);
        EXPECT_EQ(group.GetErrorStatusText(number), "Failed to retrieve change request status.");
        EXPECT_NE(group.GetErrorStatusText().find(std::to_string(number)), std::string::npos)
            << group.GetErrorStatusText();
    }
}

}  // namespace
