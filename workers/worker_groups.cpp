// Finding workers, the groups a worker is related to, and the worker's domain.
#include "groups/relations.h"
#include "session/format.h"
#include "session/status_codes.h"
#include "workers/worker_impl.h"

namespace {

namespace status = zn::status;
using zn::Holding;
using zn::PersonRelation;

constexpr std::size_t kMaxSearchStringLength = 51;
constexpr std::size_t kMaxGroupNameLength = 80;

constexpr const char* kNoSearchStringText = "No username search string specified.";
constexpr const char* kInvalidSearchStringText = "Specified username search string is not valid.";
constexpr const char* kNoGroupNameText = "No group name specified.";
constexpr const char* kInvalidGroupNameText = "Specified group name is not valid.";

const char* const kUidAttribute[] = {"uid", nullptr};
const char* const kCnAttribute[] = {"cn", nullptr};

}  // namespace

// One relation between the worker and a group, as its test reports it.
struct CZNWorkerImpl::GroupCheck {
    PersonRelation relation;
    long code;
    const char* format;  // the group name, then the worker's user name
    const char* label;
};

// The values go from the directory into the result once, sorted; the value list is left empty.
void CZNWorkerImpl::CollectSortedValues(std::vector<std::string>& values, const std::string& filter,
                                        const char* const* attributes) {
    m_values.clear();
    CollectSorted(filter.c_str(), attributes, values, false);
}

const std::list<CZNWorker>& CZNWorkerImpl::Find(const char* filterFormat,
                                                const std::string& searchString) {
    m_workers.clear();
    if (searchString.empty()) {
        SetErrorStatus(status::kMissingUserName, kNoSearchStringText);
        return m_workers;
    }
    if (searchString.size() > kMaxSearchStringLength) {
        SetErrorStatus(status::kInvalidUserName, kInvalidSearchStringText);
        return m_workers;
    }
    // Deliberately unescaped: the search string is a pattern, and its wildcards act.
    std::string filter;
    if (!BuildFilter(filter, filterFormat, searchString.c_str())) {
        return m_workers;
    }
    // The list is empty already, so none of its workers still refers to the old names.
    CollectSortedValues(m_workerNames, filter, kUidAttribute);
    zn::FillListedWorkers(m_workers, m_workerNames);
    return m_workers;
}

const std::list<CZNWorker>& CZNWorkerImpl::FindWorkers(const std::string& searchString) {
    return Find("(&(objectclass=person)(uid=%s))", searchString);
}

const std::list<CZNWorker>& CZNWorkerImpl::FindWorkersByFirstName(const std::string& searchString) {
    return Find("(&(objectclass=person)(givenName=%s))", searchString);
}

const std::list<CZNWorker>& CZNWorkerImpl::FindWorkersByLastName(const std::string& searchString) {
    return Find("(&(objectclass=person)(sn=%s))", searchString);
}

const std::list<CZNGroup>& CZNWorkerImpl::ListGroups(const char* filterFormat) {
    m_groups.clear();
    ResolveWorkerDN();
    if (m_dnResolved == 0 || m_workerDN.empty()) {
        return m_groups;
    }
    // No object class: every entry that carries the worker's DN in the attribute counts.
    std::string filter;
    if (!BuildFilter(filter, filterFormat, zn::EscapeFilterValue(m_workerDN).c_str())) {
        return m_groups;
    }
    std::vector<std::string> names;
    CollectSortedValues(names, filter, kCnAttribute);
    for (const std::string& name : names) {
        m_groups.emplace_back(name);
    }
    return m_groups;
}

const std::list<CZNGroup>& CZNWorkerImpl::GetContactGroups() {
    return ListGroups("(contactusername=%s)");
}

const std::list<CZNGroup>& CZNWorkerImpl::GetDirectGroups() {
    return ListGroups("(explicitmember=%s)");
}

const std::list<CZNGroup>& CZNWorkerImpl::GetEventualGroups() {
    return ListGroups("(uniquemember=%s)");
}

const std::list<CZNGroup>& CZNWorkerImpl::GetOwnerGroups() {
    return ListGroups("(owner=%s)");
}

long CZNWorkerImpl::IsRelatedGroup(const GroupCheck& check, const std::string& groupName) {
    if (groupName.empty()) {
        SetErrorStatus(status::kMissingGroupName, kNoGroupNameText);
        return 0;
    }
    if (groupName.size() > kMaxGroupNameLength) {
        SetErrorStatus(status::kInvalidGroupName, kInvalidGroupNameText);
        return 0;
    }
    ResolveWorkerDN();
    if (m_dnResolved == 0 || m_workerDN.empty()) {
        return 0;
    }
    Holding holding = zn::GroupHoldsDN(*this, m_values, groupName,
                                       zn::FilterAttribute(check.relation), m_workerDN);
    if (holding == Holding::kRefused) {
        return 0;
    }
    SendUsageReport("ZNWorker", check.label, groupName.c_str());
    if (holding == Holding::kYes) {
        SetErrorStatus(zn::kStatusSuccess, "");
        return 1;
    }
    // A failed search also ends here: the relation is not known to hold.
    SetErrorStatus(check.code, zn::FormatText(check.format, groupName.c_str(), m_userName.c_str()));
    return 0;
}

long CZNWorkerImpl::IsValidContactGroup(const std::string& groupName) {
    static const GroupCheck kCheck{PersonRelation::kContact, status::kWorkerNotContact,
                                   "%s is not a valid contact group for worker %s.",
                                   "IsValidContactGroup"};
    return IsRelatedGroup(kCheck, groupName);
}

long CZNWorkerImpl::IsValidDirectGroup(const std::string& groupName) {
    static const GroupCheck kCheck{PersonRelation::kDirectMember, status::kWorkerNotDirectMember,
                                   "%s is not a valid direct group for worker %s.",
                                   "IsValidDirectGroup"};
    return IsRelatedGroup(kCheck, groupName);
}

long CZNWorkerImpl::IsValidEventualGroup(const std::string& groupName) {
    static const GroupCheck kCheck{PersonRelation::kEventualMember, status::kWorkerNotMember,
                                   "%s is not a valid eventual group for worker %s.",
                                   "IsValidEventualGroup"};
    return IsRelatedGroup(kCheck, groupName);
}

long CZNWorkerImpl::IsValidOwnerGroup(const std::string& groupName) {
    static const GroupCheck kCheck{PersonRelation::kOwner, status::kWorkerNotOwner,
                                   "%s is not a valid owner group for worker %s.",
                                   "IsValidOwnerGroup"};
    return IsRelatedGroup(kCheck, groupName);
}

const std::list<std::string>& CZNWorkerImpl::GetDomains() {
    ReadDomains(m_values, m_domains);
    return m_domains;
}

long CZNWorkerImpl::IsValidDomain(const char* domain) {
    return CheckDomain(domain, m_values);
}

long CZNWorkerImpl::SetDomain(const char* domain) {
    return SwitchDomain(domain, m_values);
}

long CZNWorkerImpl::GetDomainPort(const char* domain) {
    return LookUpDomainPort(domain, m_values);
}
