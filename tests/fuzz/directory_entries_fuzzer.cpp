// Whatever entries the directory sends: a worker's attributes mapped onto its fields, and the
// names of group members, owners and subgroups read out of DN values. Nothing handed out by
// the LDAP client may outlive the call, and nothing read may come from anywhere but the
// entries sent.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "groups/group_impl.h"
#include "tests/fuzz/fake_directory.h"
#include "tests/fuzz/fuzz_check.h"
#include "workers/worker_impl.h"

namespace {

using zntest::fuzz::FakeAnswer;

std::set<std::string> ValuesSent(const FakeAnswer& answer) {
    std::set<std::string> values{""};
    for (const auto& entry : answer.entries) {
        for (const auto& attribute : entry.attributes) {
            for (const std::string& value : attribute.second) {
                values.insert(value.c_str());  // as a C string, as the client hands it out
            }
        }
    }
    return values;
}

std::size_t LongestValue(const FakeAnswer& answer) {
    std::size_t longest = 0;
    for (const std::string& value : ValuesSent(answer)) longest = std::max(longest, value.size());
    return longest;
}

void CheckWorker(const FakeAnswer& answer) {
    const std::set<std::string> sent = ValuesSent(answer);
    CZNWorkerImpl worker;
    worker.SetUserName("SMITH");
    for (const std::string* field :
         {&worker.GetFullName(), &worker.GetCity(), &worker.GetCompanyNumber(),
          &worker.GetCostCenter(), &worker.GetDisplayName(), &worker.GetEmailAddress(),
          &worker.GetPhoneNumber(), &worker.GetStreet(), &worker.GetZipCode()}) {
        FUZZ_CHECK(sent.count(*field) == 1);
    }
    FUZZ_CHECK(worker.GetSupervisorUserName().size() <= LongestValue(answer));
    (void)worker.GetWorkerNumber();
    FUZZ_CHECK(zntest::fuzz::Outstanding() == 0);
    const long code = worker.GetErrorStatusCode();
    FUZZ_CHECK(code == 1 || (code >= 30000 && code <= 30049));
}

void CheckGroup(const FakeAnswer& answer) {
    const std::size_t longest = LongestValue(answer);
    CZNGroupImpl group;
    group.SetGroupName("SALES");
    FUZZ_CHECK(ValuesSent(answer).count(group.GetDescription()) == 1);
    for (const CZNWorker& member : group.GetDirectMembers()) {
        FUZZ_CHECK(member.GetUserNameA().size() <= longest);
    }
    (void)group.GetDirectMembersCount();
    (void)group.GetMailAliasedFlag();
    for (const CZNGroup& sub : group.GetSubGroups()) {
        FUZZ_CHECK(sub.GetGroupName().size() <= longest);
    }
    // A directory whose every group names itself as sub- and supergroup still ends.
    (void)group.GetEventualSuperGroupsCount();
    (void)group.GetEventualMembersCount();
    FUZZ_CHECK(zntest::fuzz::Outstanding() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const FakeAnswer answer = zntest::fuzz::ReadAnswer(data, size);
    zntest::fuzz::Answer(answer);
    CheckWorker(answer);
    CheckGroup(answer);
    return 0;
}
