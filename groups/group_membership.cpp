// People and groups related to the group, the eventual supergroups, the top groups, group
// searches and the configuration lists.
#include <algorithm>
#include <set>
#include <vector>

#include "groups/group_impl.h"
#include "session/format.h"
#include "session/status_codes.h"
#include "workers/worker_impl.h"

namespace {

namespace status = zn::status;

constexpr std::size_t kMaxSearchStringLength = 80;

constexpr const char* kPeopleFilterFormat = "(cn=%s)";
constexpr const char* kGroupFilterFormat = "(&(objectclass=groupOfUniqueNames)(cn=%s))";
// Only group entries: people and configuration entries also have a "cn" and no supergroup.
constexpr const char* kTopGroupsFilter =
    "(&(objectclass=groupOfUniqueNames)(cn=*)(!(supergroup=*)))";
constexpr const char* kCompaniesFilter = "(&(objectclass=groupOfNames)(cn=Companies))";
constexpr const char* kUnitsFilter = "(&(objectclass=OrganizationalUnit)(ou=*))";

constexpr const char* kNoSearchStringText = "No group name search string specified.";
constexpr const char* kInvalidSearchStringText = "Specified group name search string is not valid.";

const char* const kCnAttribute[] = {"cn", nullptr};

}  // namespace

// The attribute of the group's entry a list reads, and the labels its two queries report.
struct zn::RelatedList {
    const char* attribute;
    const char* listLabel;
    const char* countLabel;
};

// The names go from the directory's values into the result once: neither the values nor a
// second list of names is kept (the value list and the name list are left empty). The people
// of a list refer to their names in the worker-name member until they are used.
void CZNGroupImpl::CollectListNames(std::vector<std::string>& names, const std::string& filter,
                                    const char* attribute) {
    m_values.clear();
    m_names.clear();
    const char* attributes[] = {attribute, nullptr};
    CollectSorted(filter.c_str(), attributes, names, true);
}

const std::list<CZNWorker>& CZNGroupImpl::ListPeople(const zn::RelatedList& list) {
    m_workers.clear();
    std::string filter;
    if (!CheckGroupName(m_groupName) ||
        !BuildFilter(filter, kPeopleFilterFormat, zn::EscapeFilterValue(m_groupName).c_str())) {
        return m_workers;
    }
    // The list is empty already, so none of its workers still refers to the old names.
    CollectListNames(m_workerNames, filter, list.attribute);
    zn::FillListedWorkers(m_workers, m_workerNames);
    Report(list.listLabel);
    return m_workers;
}

long CZNGroupImpl::CountPeople(const zn::RelatedList& list) {
    if (!CheckGroupName(m_groupName)) {
        return 0;
    }
    Report(list.countLabel);
    std::string filter;
    if (!BuildFilter(filter, kPeopleFilterFormat, zn::EscapeFilterValue(m_groupName).c_str())) {
        return 0;
    }
    const char* attributes[] = {list.attribute, nullptr};
    return CountValues(filter.c_str(), attributes);
}

const std::list<CZNGroup>& CZNGroupImpl::ListGroups(const zn::RelatedList& list) {
    m_groups.clear();
    std::string filter;
    if (!CheckGroupName(m_groupName) || !GroupFilter(filter, m_groupName)) {
        return m_groups;
    }
    std::vector<std::string> names;
    CollectListNames(names, filter, list.attribute);
    for (const std::string& name : names) {
        m_groups.emplace_back(name);
    }
    Report(list.listLabel);
    return m_groups;
}

long CZNGroupImpl::CountGroups(const zn::RelatedList& list) {
    if (!CheckGroupName(m_groupName)) {
        return 0;
    }
    Report(list.countLabel);
    std::string filter;
    if (!GroupFilter(filter, m_groupName)) {
        return 0;
    }
    const char* attributes[] = {list.attribute, nullptr};
    return CountValues(filter.c_str(), attributes);
}

namespace {

const zn::RelatedList kContacts{"contactusername", "GetContacts", "GetContactsCount"};
const zn::RelatedList kDirectMembers{"ExplicitMember", "GetDirectMembers", "GetDirectMembersCount"};
const zn::RelatedList kEventualMembers{"uniqueMember", "GetEventualMembers",
                                       "GetEventualMembersCount"};
const zn::RelatedList kOwners{"owner", "GetOwners", "GetOwnersCount"};
const zn::RelatedList kSubGroups{"SubGroup", "GetSubGroups", "GetSubGroupsCount"};
const zn::RelatedList kSuperGroups{"SuperGroup", "GetSuperGroups", "GetSuperGroupsCount"};

}  // namespace

const std::list<CZNWorker>& CZNGroupImpl::GetContacts() {
    return ListPeople(kContacts);
}
const std::list<CZNWorker>& CZNGroupImpl::GetDirectMembers() {
    return ListPeople(kDirectMembers);
}
const std::list<CZNWorker>& CZNGroupImpl::GetEventualMembers() {
    return ListPeople(kEventualMembers);
}
const std::list<CZNWorker>& CZNGroupImpl::GetOwners() {
    return ListPeople(kOwners);
}
long CZNGroupImpl::GetContactsCount() {
    return CountPeople(kContacts);
}
long CZNGroupImpl::GetDirectMembersCount() {
    return CountPeople(kDirectMembers);
}
long CZNGroupImpl::GetEventualMembersCount() {
    return CountPeople(kEventualMembers);
}
long CZNGroupImpl::GetOwnersCount() {
    return CountPeople(kOwners);
}
const std::list<CZNGroup>& CZNGroupImpl::GetSubGroups() {
    return ListGroups(kSubGroups);
}
const std::list<CZNGroup>& CZNGroupImpl::GetSuperGroups() {
    return ListGroups(kSuperGroups);
}
long CZNGroupImpl::GetSubGroupsCount() {
    return CountGroups(kSubGroups);
}
long CZNGroupImpl::GetSuperGroupsCount() {
    return CountGroups(kSuperGroups);
}

void CZNGroupImpl::CollectEventualSuperGroupNames(const std::string& name) {
    // Depth first as a recursion would go, but with an explicit stack and a visited set: the
    // directory's data may hold cycles, and diamonds would otherwise be walked once per path.
    std::set<std::string> visited;
    std::vector<std::string> pending{name};
    while (!pending.empty()) {
        std::string current = std::move(pending.back());
        pending.pop_back();
        if (!visited.insert(current).second) {
            continue;
        }
        SetGroupName(current);
        GetSuperGroups();
        const std::size_t firstChild = pending.size();
        for (const CZNGroup& supergroup : m_groups) {
            m_eventualSuperGroups.push_back(supergroup.GetGroupName());
            if (visited.count(supergroup.GetGroupName()) == 0) {
                pending.push_back(supergroup.GetGroupName());
            }
        }
        std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(firstChild), pending.end());
    }
}

void CZNGroupImpl::FillGroupListOnce(const std::list<std::string>& names) {
    m_groups.clear();
    const std::string* previous = nullptr;
    for (const std::string& name : names) {
        if (previous == nullptr || name != *previous) {
            m_groups.emplace_back(name);
            previous = &name;
        }
    }
}

bool CZNGroupImpl::WalkEventualSuperGroups() {
    m_eventualSuperGroups.clear();
    std::string filter;
    if (!CheckGroupName(m_groupName) || !GroupFilter(filter, m_groupName)) {
        m_groups.clear();
        return false;
    }
    // The walk names each group it visits; the object's own name comes back afterwards.
    const std::string kept = m_groupName;
    CollectEventualSuperGroupNames(kept);
    m_eventualSuperGroups.sort();
    FillGroupListOnce(m_eventualSuperGroups);
    m_groupName = kept;
    return true;
}

const std::list<CZNGroup>& CZNGroupImpl::GetEventualSuperGroups() {
    if (WalkEventualSuperGroups()) {
        Report("GetEventualSuperGroups");
    }
    return m_groups;
}

long CZNGroupImpl::GetEventualSuperGroupsCount() {
    if (!WalkEventualSuperGroups()) {
        return 0;
    }
    Report("GetEventualSuperGroupsCount");
    return static_cast<long>(m_groups.size());
}

const std::list<CZNGroup>& CZNGroupImpl::GetTopGroups() {
    m_groups.clear();
    CollectValues(kTopGroupsFilter, kCnAttribute, m_values);
    m_values.sort();
    for (const std::string& name : m_values) {
        m_groups.emplace_back(name);
    }
    return m_groups;
}

long CZNGroupImpl::GetTopGroupsCount() {
    m_values.clear();
    CollectValues(kTopGroupsFilter, kCnAttribute, m_values);
    return static_cast<long>(m_values.size());
}

const std::list<CZNGroup>& CZNGroupImpl::FindGroups(const std::string& searchString) {
    m_groups.clear();
    if (searchString.empty()) {
        SetErrorStatus(status::kMissingGroupName, kNoSearchStringText);
        return m_groups;
    }
    if (searchString.size() > kMaxSearchStringLength) {
        SetErrorStatus(status::kInvalidGroupName, kInvalidSearchStringText);
        return m_groups;
    }
    // Deliberately unescaped: the search string is a pattern, and its wildcards act.
    std::string filter;
    if (!BuildFilter(filter, kGroupFilterFormat, searchString.c_str())) {
        return m_groups;
    }
    CollectValues(filter.c_str(), kCnAttribute, m_values);
    m_values.sort();
    for (const std::string& name : m_values) {
        m_groups.emplace_back(name);
    }
    return m_groups;
}

void CZNGroupImpl::CollectActiveCompanies(std::list<std::string>& companies) {
    const char* attributes[] = {"member", nullptr};
    CollectValues(kCompaniesFilter, attributes, companies);
}

const std::list<std::string>& CZNGroupImpl::GetActiveCompanies() {
    CollectActiveCompanies(m_activeCompanies);
    return m_activeCompanies;
}

const std::list<std::string>& CZNGroupImpl::GetDomains() {
    ReadDomains(m_values, m_domains);
    return m_domains;
}

const std::list<std::string>& CZNGroupImpl::GetOrganizationalUnits() {
    const char* attributes[] = {"ou", nullptr};
    CollectValues(kUnitsFilter, attributes, m_values);
    return m_values;
}

long CZNGroupImpl::GetDomainPort(const char* domain) {
    return LookUpDomainPort(domain, m_values);
}
