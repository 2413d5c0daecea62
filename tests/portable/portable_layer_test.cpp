// What the portable classes add to the exported ones' shape: explicit constructors, moves, and
// list elements that carry only their name.
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <type_traits>
#include <utility>

#include "CZNGroup.h"
#include "tests/support/sandbox_fixture.h"
#include "tests/support/scoped_spool.h"

namespace {

// A handle, the name and the results made on first use: a listed element costs its name.
static_assert(sizeof(CZNWorker) <= 2 * sizeof(void*) + sizeof(std::string));
static_assert(sizeof(CZNGroup) <= 2 * sizeof(void*) + sizeof(std::string));
static_assert(std::is_nothrow_move_constructible_v<CZNWorker> &&
              std::is_nothrow_move_assignable_v<CZNWorker>);
static_assert(std::is_nothrow_move_constructible_v<CZNGroup> &&
              std::is_nothrow_move_assignable_v<CZNGroup>);
// show(42) does not make worker 42, nor does a name become a group unasked.
static_assert(!std::is_convertible_v<long, CZNWorker> &&
              !std::is_convertible_v<std::string, CZNWorker>);
static_assert(!std::is_convertible_v<const char*, CZNGroup> &&
              !std::is_convertible_v<std::string, CZNGroup>);

// A const object keeps its context: the setters of name, requester, domain and time-outs
// need a non-const one; questions and changes do not.
template <typename T, typename = void>
struct NamedOnConst : std::false_type {};
template <typename T>
struct NamedOnConst<T, std::void_t<decltype(std::declval<const T&>().SetGroupName(""))>>
    : std::true_type {};
template <typename T, typename = void>
struct TimedOnConst : std::false_type {};
template <typename T>
struct TimedOnConst<T, std::void_t<decltype(std::declval<const T&>().SetTimeOut(1L))>>
    : std::true_type {};
template <typename T, typename = void>
struct RenamedOnConst : std::false_type {};
template <typename T>
struct RenamedOnConst<T, std::void_t<decltype(std::declval<const T&>().SetUserName(""))>>
    : std::true_type {};
static_assert(!NamedOnConst<CZNGroup>::value && !TimedOnConst<CZNGroup>::value &&
              !TimedOnConst<CZNWorker>::value && !RenamedOnConst<CZNWorker>::value);
static_assert(std::is_same_v<decltype(std::declval<const CZNGroup&>().SetDescription("")), long> &&
              std::is_same_v<decltype(std::declval<const CZNGroup&>().IsValidGroup()), long>);

// Inside the sandbox, with a spool of its own for the usage reports, as the other suites.
class PortableLayer : public zntest::SandboxTest {
    zntest::ScopedSpool m_spool;
};

TEST_F(PortableLayer, MovedObjectsKeepEverythingAndLeaveANewOneBehind) {
    CZNGroup group("ENG-ALL");
    ASSERT_EQ(group.GetDescription(), "All engineering staff");
    group.SetTimeOut(7);
    CZNGroup moved(std::move(group));
    EXPECT_EQ(moved.GetGroupName(), "ENG-ALL");
    EXPECT_EQ(moved.GetTimeOut(), 7);
    EXPECT_EQ(moved.GetDescription(), "All engineering staff");
    // The moved-from object is usable, as a group made without a name.
    EXPECT_EQ(group.GetTimeOut(), 120);
    EXPECT_EQ(group.GetGroupName(), "");

    std::list<CZNWorker> members = moved.GetEventualMembers();
    ASSERT_EQ(members.size(), 6u);
    CZNWorker first(std::move(members.front()));
    EXPECT_EQ(first.GetName(), "asmith");
    EXPECT_EQ(first.GetFullName(), "Alice Smith");
    CZNWorker other(std::string("jdoe"));
    other = std::move(first);
    EXPECT_EQ(other.GetEmailAddress(), "alice.smith@example.com");
    EXPECT_EQ(CZNWorker(1002L).GetUserNameA(), "jdoe");
}

TEST_F(PortableLayer, DomainsTakeStringsToo) {
    CZNWorker worker;
    const std::string europe = "EUROPE";
    EXPECT_EQ(worker.IsValidDomain(europe), 1);
    EXPECT_EQ(worker.SetDomain(europe), 1);
    EXPECT_EQ(worker.GetDomain(), "EUROPE");
    CZNGroup group;
    EXPECT_EQ(group.SetDomain(std::string("NOWHERE")), 0);
    EXPECT_EQ(group.GetErrorStatusCode(), 30044);
}

}  // namespace
