// Yes-or-no questions about the group and about names, and the lookups the change
// operations share: the group's and a user's DN, administrators, company numbers and the
// relations between groups.
#include <algorithm>
#include <set>
#include <vector>

#include "groups/group_impl.h"
#include "groups/relations.h"
#include "session/format.h"
#include "session/status_codes.h"

namespace {

namespace status = zn::status;
using zn::Holding;

// One more than the group side keeps of its own user name: the directory is asked about 51.
constexpr std::size_t kMaxLookedUpUserNameLength = 51;
constexpr std::size_t kCompanyNumberLength = 4;

constexpr const char* kUserFilterFormat = "(&(objectclass=organizationalPerson)(uid=%s))";
constexpr const char* kAdministratorFilterFormat =
    "(&(objectclass=groupOfUniqueNames)(cn=ZN_GROUPS_ADMINISTRATORS)(uniquemember=%s))";

constexpr const char* kNoUserNameText = "No username specified.";
constexpr const char* kInvalidUserNameText = "Specified username is not valid.";
constexpr const char* kUnknownUserSuffix = " is not a valid username.";
constexpr const char* kUnknownGroupNameSuffix = " is not a valid group name.";
constexpr const char* kUnknownGroupSuffix = " is not a valid group.";
constexpr const char* kNotPublicSuffix = " is not a public group.";
constexpr const char* kInvalidNewNameSuffix = " is not a valid new group name.";
constexpr const char* kNotAdministratorFormat = "%s is not an administrator.";
constexpr const char* kInvalidCompanyNumberText = "Specified SAP Company Number is invalid.";

bool IsNewGroupNameCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '.' || c == '_';
}

}  // namespace

// A person's relation to the group as its check reports it.
struct zn::PersonCheck {
    PersonRelation relation;
    long code;
    const char* format;  // the user name as passed, then the group name
    const char* label;
    bool reportsOnYes;
};

namespace {

const zn::PersonCheck kContactCheck{zn::PersonRelation::kContact, status::kNotContact,
                                    "%s is not a valid contact of group %s.", "IsValidGroupContact",
                                    false};
const zn::PersonCheck kDirectMemberCheck{
    zn::PersonRelation::kDirectMember, status::kNotDirectMember,
    "%s is not a valid direct member of group %s.", "IsValidGroupDirectMember", true};
const zn::PersonCheck kEventualMemberCheck{zn::PersonRelation::kEventualMember, status::kNotMember,
                                           "%s is not a valid member of group %s.",
                                           "IsValidGroupEventualMember", true};
const zn::PersonCheck kOwnerCheck{zn::PersonRelation::kOwner, status::kNotOwner,
                                  "%s is not a valid owner of group %s.", "IsValidGroupOwner",
                                  true};

}  // namespace

const std::string& CZNGroupImpl::GetGroupDN(const std::string& name, const char* label) {
    SetErrorStatus(zn::kStatusSuccess, "");
    m_groupDN.clear();
    if (!CheckGroupName(name)) {
        return m_groupDN;
    }
    std::string filter;
    if (!GroupFilter(filter, name)) {
        return m_groupDN;
    }
    // Only "cn": the entry's member lists may run to a hundred thousand values.
    const char* attributes[] = {"cn", nullptr};
    bool seenEntry = false;
    bool searched = SearchAndWalk(
        filter.c_str(), attributes,
        [this, &seenEntry](const char* dn) {
            if (!seenEntry && dn != nullptr) {
                m_groupDN = dn;
            }
            seenEntry = true;
        },
        [](const char*, char**) {});
    if (searched) {
        if (!m_groupDN.empty()) {
            SetErrorStatus(zn::kStatusSuccess, "");
        } else {
            SetErrorStatus(status::kInvalidGroupName, name + kUnknownGroupNameSuffix);
        }
    }
    Report(label);
    return m_groupDN;
}

const char* CZNGroupImpl::GetUserDN(const std::string& userName) {
    m_userDN.clear();
    if (userName.empty()) {
        SetErrorStatus(status::kMissingUserName, kNoUserNameText);
        return m_userDN.c_str();
    }
    if (userName.size() > kMaxLookedUpUserNameLength) {
        SetErrorStatus(status::kInvalidUserName, kInvalidUserNameText);
        return m_userDN.c_str();
    }
    std::string filter;
    if (!BuildFilter(filter, kUserFilterFormat, zn::EscapeFilterValue(userName).c_str())) {
        return m_userDN.c_str();
    }
    const char* attributes[] = {"uid", nullptr};
    bool searched = SearchAndWalk(
        filter.c_str(), attributes,
        [this](const char* dn) {
            // One uid under two branches: the later entry's DN stands.
            if (dn != nullptr) {
                m_userDN = dn;
            }
        },
        [](const char*, char**) {});
    if (searched) {
        if (m_userDN.empty()) {
            SetErrorStatus(status::kInvalidUserName, userName + kUnknownUserSuffix);
        } else {
            SetErrorStatus(zn::kStatusSuccess, "");
        }
    }
    return m_userDN.c_str();
}

long CZNGroupImpl::IsAdministrator(const std::string& userName) {
    const std::string dn = GetUserDN(userName);
    if (dn.empty()) {
        return 0;
    }
    std::string filter;
    if (!BuildFilter(filter, kAdministratorFilterFormat, zn::EscapeFilterValue(dn).c_str())) {
        return 0;
    }
    // The entry's name is enough to tell it matched; its members would be every administrator.
    const char* attributes[] = {"cn", nullptr};
    CollectValues(filter.c_str(), attributes, m_values);
    if (!m_values.empty()) {
        return 1;
    }
    SetErrorStatus(status::kNotAdministrator,
                   zn::FormatText(kNotAdministratorFormat, userName.c_str()));
    return 0;
}

long CZNGroupImpl::IsRelatedPerson(const zn::PersonCheck& check, const std::string& userName) {
    if (!CheckGroupName(m_groupName)) {
        return 0;
    }
    const std::string dn = GetUserDN(userName);
    if (dn.empty()) {
        return 0;
    }
    Holding holding =
        zn::GroupHoldsDN(*this, m_values, m_groupName, zn::FilterAttribute(check.relation), dn);
    if (holding == Holding::kRefused) {
        return 0;
    }
    if (holding == Holding::kYes) {
        SetErrorStatus(zn::kStatusSuccess, "");
        if (check.reportsOnYes) {
            Report(check.label);
        }
        return 1;
    }
    // A search that failed gives the answer for a missing relation: no.
    SetErrorStatus(check.code, zn::FormatText(check.format, userName.c_str(), m_groupName.c_str()));
    Report(check.label);
    return 0;
}

long CZNGroupImpl::IsValidGroupContact(const std::string& userName) {
    return IsRelatedPerson(kContactCheck, userName);
}

long CZNGroupImpl::IsValidGroupDirectMember(const std::string& userName) {
    return IsRelatedPerson(kDirectMemberCheck, userName);
}

long CZNGroupImpl::IsValidGroupEventualMember(const std::string& userName) {
    return IsRelatedPerson(kEventualMemberCheck, userName);
}

long CZNGroupImpl::IsValidGroupOwner(const std::string& userName) {
    return IsRelatedPerson(kOwnerCheck, userName);
}

long CZNGroupImpl::IsValidGroup() {
    std::string filter;
    if (!CheckGroupName(m_groupName) || !GroupFilter(filter, m_groupName)) {
        return 0;
    }
    const char* attributes[] = {"cn", nullptr};
    CollectValues(filter.c_str(), attributes, m_values);
    if (m_values.empty()) {
        SetErrorStatus(status::kInvalidGroupName, m_groupName + kUnknownGroupSuffix);
        Report("IsValidGroup");
        return 0;
    }
    SetErrorStatus(zn::kStatusSuccess, "");
    return 1;
}

long CZNGroupImpl::IsRelatedGroup(const char* attribute, const std::string& candidate,
                                  const std::string* groupName, const char* label) {
    const std::string dn = GetGroupDN(candidate, label);
    if (dn.empty()) {
        return 0;
    }
    if (groupName != nullptr) {
        SetGroupName(*groupName);
    }
    if (std::string(attribute) == "SubGroup") {
        return IsSubGroupByDN(dn, label);
    }
    if (std::string(attribute) == "SuperGroup") {
        return IsSuperGroupByDN(dn, label);
    }
    return IsEventualSuperGroupByDN(dn, label);
}

long CZNGroupImpl::IsValidGroupSubGroup(const std::string& candidate,
                                        const std::string* groupName) {
    return IsRelatedGroup("SubGroup", candidate, groupName, "IsValidGroupSubGroup");
}

long CZNGroupImpl::IsValidGroupSuperGroup(const std::string& candidate,
                                          const std::string* groupName) {
    return IsRelatedGroup("SuperGroup", candidate, groupName, "IsValidGroupSuperGroup");
}

long CZNGroupImpl::IsValidGroupEventualSuperGroup(const std::string& candidate,
                                                  const std::string* groupName) {
    return IsRelatedGroup("", candidate, groupName, "IsValidGroupEventualSuperGroup");
}

namespace {

long HoldsGroupDN(CZNGroupImpl& group, std::list<std::string>& values, const char* attribute,
                  const std::string& dn) {
    Holding holding = zn::GroupHoldsDN(group, values, group.GetGroupName(), attribute, dn);
    if (holding == Holding::kRefused) {
        return -1;
    }
    // A no carries no message; a failed search keeps its reason.
    if (!group.LastSearchFailed()) {
        group.SetErrorStatus(zn::kStatusSuccess, "");
    }
    return holding == Holding::kYes ? 1 : 0;
}

}  // namespace

long CZNGroupImpl::IsSubGroupByDN(const std::string& dn, const char* label) {
    long holds = HoldsGroupDN(*this, m_values, "SubGroup", dn);
    if (holds < 0) {
        return 0;
    }
    Report(label);
    return holds;
}

long CZNGroupImpl::IsSuperGroupByDN(const std::string& dn, const char* label) {
    long holds = HoldsGroupDN(*this, m_values, "SuperGroup", dn);
    if (holds < 0) {
        return 0;
    }
    Report(label);
    return holds;
}

long CZNGroupImpl::IsEventualSuperGroupByDN(const std::string& dn, const char* label) {
    // A branch whose question could not be asked does not end the walk: another branch may
    // still answer yes. Only when none does is the first unanswered question the answer, so
    // a walk that could not see every supergroup never says the DN is none of them.
    bool failed = false;
    long failedCode = 0;
    std::string failedText;
    auto remember = [&](const zn::CZNDirectoryBase& session) {
        if (!failed) {
            failed = true;
            failedCode = session.GetErrorStatusCode();
            failedText = session.GetErrorStatusText();
        }
    };
    if (IsSuperGroupByDN(dn, label) == 1) {
        return 1;
    }
    if (LastSearchFailed()) {
        remember(*this);
    }
    // The group's own supergroups are read by a helper: the object's group list may be one
    // the caller holds, and a check must not rewrite it.
    std::vector<std::string> pending;
    {
        CZNGroupImpl lister;
        ConfigureHelper(lister);
        lister.SetGroupName(m_groupName);
        for (const CZNGroup& supergroup : lister.GetSuperGroups()) {
            pending.push_back(supergroup.GetGroupName());
        }
        Report(label);
        if (lister.LastSearchFailed()) {
            remember(lister);
        }
    }
    // Depth first, each group asked once: cycles end, diamonds cost one visit per group. The
    // walker works in this object's domain with its time-outs, so a walk never strays to
    // another domain's servers.
    CZNGroupImpl walker;
    walker.SetDomainAndPort(GetDomain().c_str(), GetAdministrationPort());
    walker.SetConnectTimeOut(GetConnectTimeOutSeconds(), GetConnectTimeOutMicroSeconds());
    walker.SetSearchTimeOut(GetSearchTimeOutSeconds(), GetSearchTimeOutMicroSeconds());
    std::set<std::string> visited{m_groupName};
    std::reverse(pending.begin(), pending.end());
    while (!pending.empty()) {
        std::string name = std::move(pending.back());
        pending.pop_back();
        if (!visited.insert(name).second) {
            continue;
        }
        walker.SetGroupName(name);
        if (walker.IsSuperGroupByDN(dn, label) == 1) {
            SetErrorStatus(zn::kStatusSuccess, "");
            return 1;
        }
        if (walker.LastSearchFailed()) {
            remember(walker);
        }
        // The branch's own supergroups are asked even when its question failed.
        const std::size_t firstChild = pending.size();
        for (const CZNGroup& supergroup : walker.GetSuperGroups()) {
            if (visited.count(supergroup.GetGroupName()) == 0) {
                pending.push_back(supergroup.GetGroupName());
            }
        }
        if (walker.LastSearchFailed()) {
            remember(walker);
        }
        std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(firstChild), pending.end());
    }
    if (failed) {
        SetErrorStatus(failedCode, failedText);
        MarkSearchFailed();
        return 0;
    }
    SetErrorStatus(zn::kStatusSuccess, "");
    return 0;
}

long CZNGroupImpl::IsPublicGroup() {
    if (!CheckGroupName(m_groupName)) {
        return 0;
    }
    // Owners or contacts that could not be read are not known to be absent: a group whose
    // lists the directory did not give is not public. A helper reads them, so that the
    // object's worker list, which the caller may hold, stays as it was.
    CZNGroupImpl lister;
    ConfigureHelper(lister);
    lister.SetGroupName(m_groupName);
    for (auto list : {&CZNGroupImpl::GetOwners, &CZNGroupImpl::GetContacts}) {
        const std::list<CZNWorker>& people = (lister.*list)();
        if (lister.LastSearchFailed()) {
            SetErrorStatus(lister.GetErrorStatusCode(), lister.GetErrorStatusText());
            MarkSearchFailed();
            return 0;
        }
        if (!people.empty()) {
            SetErrorStatus(status::kNotPublic, m_groupName + kNotPublicSuffix);
            return 0;
        }
    }
    SetErrorStatus(zn::kStatusSuccess, "");
    return 1;
}

long CZNGroupImpl::IsValidNewGroupName(const std::string& name) {
    if (!CheckGroupName(name)) {
        return 0;
    }
    std::string upper = name;
    UpperCase(&upper[0]);
    // A NUL inside the name ends the C string UpperCase sees, and is no name character.
    for (char c : upper) {
        if (!IsNewGroupNameCharacter(c)) {
            SetErrorStatus(status::kInvalidNewGroupName, name + kInvalidNewNameSuffix);
            return 0;
        }
    }
    std::string filter;
    if (!GroupFilter(filter, upper)) {
        return 0;
    }
    const char* attributes[] = {"cn", nullptr};
    CollectValues(filter.c_str(), attributes, m_values);
    // Whether the name is free is unknown when the search failed; its reason stands.
    if (LastSearchFailed()) {
        return 0;
    }
    if (!m_values.empty()) {
        SetErrorStatus(status::kInvalidNewGroupName, name + kInvalidNewNameSuffix);
        return 0;
    }
    SetErrorStatus(zn::kStatusSuccess, "");
    return 1;
}

long CZNGroupImpl::IsValidCompanyNumber(const std::string& number) {
    if (!number.empty() && number.size() <= kCompanyNumberLength) {
        const std::string padded = "000" + number;
        m_companyNumber = padded.substr(padded.size() - kCompanyNumberLength);
        // Read into a list of its own: the active-company list may be one the caller holds.
        std::list<std::string> companies;
        CollectActiveCompanies(companies);
        for (const std::string& company : companies) {
            if (company.compare(0, kCompanyNumberLength, m_companyNumber) == 0) {
                SetErrorStatus(zn::kStatusSuccess, "");
                return 1;
            }
        }
    }
    SetErrorStatus(status::kInvalidCompanyNumber, kInvalidCompanyNumberText);
    return 0;
}

long CZNGroupImpl::IsValidDomain(const char* domain) {
    return CheckDomain(domain, m_values);
}

long CZNGroupImpl::SetDomain(const char* domain) {
    return SwitchDomain(domain, m_values);
}
