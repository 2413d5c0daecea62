// Separate objects on separate threads at once: queries, changes through the real
// administration server and usage reports into the real spool. Built under ThreadSanitizer
// as well, where any shared state the library touched without order would be reported.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "CZNGroup.h"
#include "CZNWorker.h"
#include "tests/support/admin_daemon.h"
#include "tests/support/sandbox.h"
#include "tests/support/spool_folder.h"

namespace zntest {
namespace {

constexpr int kThreads = 16;
const std::string kAdminPassword = "Tr0ubadour";  // asmith, the sample's administrator
const char* const kGroups[] = {"ENG-BACKEND",    "ENG-FRONTEND", "ENG-INFRA",  "SALES-EMEA",
                               "SALES-AMERICAS", "ANNOUNCE",     "ENG-ALUMNI", "ENG-DB"};
const char* const kPeople[] = {"kpatel", "longpw"};

struct Pair {
    std::string group;
    std::string person;
};

Pair PairOf(int thread) {
    return {kGroups[thread % 8], kPeople[thread / 8]};
}

// What a single thread reads when nobody else runs: the answers every thread must match.
struct Expected {
    std::string fullName;
    std::string description;
    std::size_t engineers = 0;
};

Expected ReadAlone() {
    Expected expected;
    expected.fullName = CZNWorker("asmith").GetFullName();
    expected.description = CZNGroup("ENG-ALL").GetDescription();
    expected.engineers = CZNGroup("ENG-BACKEND").GetDirectMembers().size();
    return expected;
}

std::vector<std::string> ReportsIn(const std::string& root) {
    std::vector<std::string> reports;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".msg") continue;
        std::ifstream in(entry.path());
        reports.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return reports;
}

class ConcurrentObjects : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { RequireSandbox(); }
    static void TearDownTestSuite() { RestoreDirectory(); }
    void SetUp() override {
        RestoreAll();
        RestoreDirectory();
        m_server = std::make_unique<AdminDaemon>();
    }
    void TearDown() override {
        // Under a sanitizer the server reports into its log rather than to the test.
        EXPECT_EQ(m_server->Log().find("Sanitizer"), std::string::npos) << m_server->Log();
        m_server.reset();
        RestoreAll();
    }
    std::unique_ptr<AdminDaemon> m_server;
};

TEST_F(ConcurrentObjects, SixteenThreadsQueryChangeAndReportWithoutDisturbingEachOther) {
    ScopedSpool spool;
    ASSERT_FALSE(spool.Root().empty());
    const Expected expected = ReadAlone();
    ASSERT_FALSE(expected.fullName.empty());
    for (int i = 0; i < kThreads; ++i) {
        const Pair pair = PairOf(i);
        ASSERT_EQ(CZNGroup(pair.group).IsValidGroupDirectMember(pair.person), 0)
            << pair.group << " " << pair.person;
    }

    std::atomic<int> wrong{0};
    std::vector<std::string> failures(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            const Pair pair = PairOf(i);
            auto fail = [&](const std::string& what) {
                ++wrong;
                failures[i] += what + "; ";
            };
            for (int round = 0; round < 3; ++round) {
                CZNWorker worker("asmith");
                if (worker.GetFullName() != expected.fullName) fail("full name");
                CZNGroup all("ENG-ALL");
                if (all.GetDescription() != expected.description) fail("description");
                if (all.GetEventualMembers().empty()) fail("eventual members");
            }
            CZNGroup group;
            group.SetAccess("asmith", kAdminPassword, pair.group);
            if (group.AddDirectMember(pair.person) != 1) {
                fail("add: " + group.GetErrorStatusText());
            }
            if (group.IsValidGroupDirectMember(pair.person) != 1) fail("member after add");
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int i = 0; i < kThreads; ++i) EXPECT_EQ(failures[i], "") << "thread " << i;
    EXPECT_EQ(wrong.load(), 0);

    // Every change landed, each in its own group, and nothing else moved.
    for (int i = 0; i < kThreads; ++i) {
        const Pair pair = PairOf(i);
        EXPECT_EQ(CZNGroup(pair.group).IsValidGroupDirectMember(pair.person), 1) << pair.group;
    }
    EXPECT_EQ(CZNGroup("ENG-BACKEND").GetDirectMembers().size(), expected.engineers + 2);

    // Each object reported its group once; every report arrived whole.
    const std::vector<std::string> reports = ReportsIn(spool.Root());
    std::set<std::string> reported;
    for (const std::string& report : reports) {
        EXPECT_EQ(report.rfind("ZNGROUP_USAGE APPNAME=", 0), 0u) << report;
        EXPECT_NE(report.find("\" DOMAIN=\""), std::string::npos) << report;
        const std::size_t at = report.find("ZNGROUPNAME=\"");
        if (at != std::string::npos) {
            reported.insert(report.substr(at + 13, report.find('"', at + 13) - at - 13));
        }
    }
    EXPECT_GE(reports.size(), static_cast<std::size_t>(kThreads) * 3);
    for (const char* group : kGroups) EXPECT_EQ(reported.count(group), 1u) << group;
    EXPECT_EQ(reported.count("ENG-ALL"), 1u);
}

// The elements of one result list are objects of their own: each may serve a thread of its
// own while the others do, the object that returned the list included (as long as nothing
// rewrites the list).
TEST_F(ConcurrentObjects, ElementsOfOneListServeThreadsOfTheirOwnAtOnce) {
    const CZNGroup all("ENG-ALL");
    const std::list<CZNWorker>& members = all.GetEventualMembers();
    const std::list<CZNGroup>& subgroups = all.GetSubGroups();
    ASSERT_EQ(members.size(), 6u);
    ASSERT_EQ(subgroups.size(), 3u);
    std::vector<std::string> fullNames, descriptions;
    for (const CZNWorker& member : members) fullNames.push_back(CZNWorker(member).GetFullName());
    for (const CZNGroup& group : subgroups) {
        descriptions.push_back(CZNGroup(group).GetDescription());
    }

    std::vector<std::string> failures(members.size() + subgroups.size() + 1);
    std::vector<std::thread> threads;
    std::size_t slot = 0;
    for (const CZNWorker& member : members) {
        threads.emplace_back([&, slot, &worker = member] {
            for (int round = 0; round < 3; ++round) {
                if (worker.GetErrorStatusCode() != 1 || worker.GetTimeOut() != 120) {
                    failures[slot] += "fresh status; ";
                }
                if (worker.GetFullName() != fullNames[slot]) failures[slot] += "full name; ";
                if (worker.IsValidEventualGroup("ENG-ALL") != 1) failures[slot] += "group; ";
            }
        });
        ++slot;
    }
    for (const CZNGroup& group : subgroups) {
        threads.emplace_back([&, slot, &subgroup = group] {
            const std::string& description = descriptions[slot - members.size()];
            for (int round = 0; round < 3; ++round) {
                if (subgroup.GetDescription() != description) failures[slot] += "description; ";
                if (subgroup.IsValidGroupEventualSuperGroup("ENG-ALL") != 1) {
                    failures[slot] += "supergroup; ";
                }
            }
        });
        ++slot;
    }
    // The list's owner goes on with checks, which rewrite none of its lists.
    threads.emplace_back([&, slot] {
        for (int round = 0; round < 3; ++round) {
            if (all.IsValidGroupEventualMember("jdoe") != 1) failures[slot] += "member; ";
            if (all.IsPublicGroup() != 0) failures[slot] += "public; ";
        }
    });
    for (std::thread& thread : threads) thread.join();
    for (std::size_t i = 0; i < failures.size(); ++i) EXPECT_EQ(failures[i], "") << "thread " << i;
    EXPECT_EQ(members.size(), 6u);
    EXPECT_EQ(subgroups.front().GetGroupName(), "ENG-BACKEND");
}

// Loaded elements of one name share what the load read; each reads it on a thread of its own.
TEST_F(ConcurrentObjects, LoadedElementsOfOneNameReadWhatTheyShareAtOnce) {
    const std::list<CZNWorker> people(6, CZNWorker(std::string("jdoe")));
    const std::list<CZNGroup> groups(6, CZNGroup("ENG-ALL"));
    ASSERT_EQ(CZNWorker::LoadWorkers(people), 6);
    ASSERT_EQ(CZNGroup::LoadGroups(groups), 6);
    std::vector<std::string> failures(people.size() + groups.size());
    std::vector<std::thread> threads;
    std::size_t slot = 0;
    for (const CZNWorker& person : people) {
        threads.emplace_back([&, slot, &worker = person] {
            for (int round = 0; round < 3; ++round) {
                if (worker.GetFullName() != "John Doe" || worker.GetWorkerNumber() != 1002) {
                    failures[slot] += "details; ";
                }
            }
        });
        ++slot;
    }
    for (const CZNGroup& group : groups) {
        threads.emplace_back([&, slot, &loaded = group] {
            if (loaded.GetDescription() != "All engineering staff" ||
                loaded.GetMailAliasedFlag() != 'Y') {
                failures[slot] += "details; ";
            }
        });
        ++slot;
    }
    for (std::thread& thread : threads) thread.join();
    for (std::size_t i = 0; i < failures.size(); ++i) EXPECT_EQ(failures[i], "") << "thread " << i;
}

}  // namespace
}  // namespace zntest
