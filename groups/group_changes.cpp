// Changes to a group: the requester, the privilege rules, the checks of each change, and the
// one request that goes to the administration server when every check has passed.
#include <cctype>

#include "admin/admin_channel.h"
#include "groups/group_impl.h"
#include "platform/host_info.h"
#include "session/status_codes.h"

namespace zn {

// A change of the people related to a group: its request, how its relation check answers,
// and which privilege it needs.
struct PersonChangeRule {
    ChangeRequest kind;
    long (CZNGroupImpl::*relation)(const std::string&);
    bool adds;                // the relation must not hold yet (adds) or must hold (deletes)
    long alreadyCode;         // for adds
    const char* alreadyText;  // target + this + group + " ."
    int privilege;            // CZNGroupImpl::Privilege
    const char* label;
};

}  // namespace zn

namespace {

namespace status = zn::status;
using zn::ChangeRequest;
using zn::RequestFields;

constexpr const char* kAdministratorsGroup = "ZN_GROUPS_ADMINISTRATORS";
constexpr const char* kUnitPrivilegeFormat = "ZN_GROUP_ORG_UNIT_%s_PRIV";
constexpr const char* kDefaultUnit = "zngroups";
constexpr const char* kInvalidUnitSuffix = " is an invalid organizational unit.";
constexpr const char* kNotSubGroupInfix = " is not a subgroup of ";
constexpr const char* kDeleteNotAllowedText =
    "Insufficient privilege or group protection violation.";
constexpr const char* kInvalidUserNameText = "Specified username is not valid.";
constexpr std::size_t kAccountNameLength = 50;

constexpr int kOwner = 0;
constexpr int kOwnerOrContact = 1;

const zn::PersonChangeRule kAddContact{ChangeRequest::kAddContact, &CZNGroupImpl::IsValidGroupContact,
                                       true, status::kAlreadyContact, " is already a contact of ",
                                       kOwner, "AddContact"};
const zn::PersonChangeRule kAddMember{ChangeRequest::kAddMember, &CZNGroupImpl::IsValidGroupDirectMember,
                                      true, status::kAlreadyDirectMember,
                                      " is already a direct member of ", kOwnerOrContact,
                                      "AddDirectMember"};
const zn::PersonChangeRule kAddOwner{ChangeRequest::kAddOwner, &CZNGroupImpl::IsValidGroupOwner, true,
                                     status::kAlreadyOwner, " is already an owner of ", kOwner,
                                     "AddOwner"};
const zn::PersonChangeRule kDeleteContact{ChangeRequest::kDeleteContact,
                                          &CZNGroupImpl::IsValidGroupContact, false, 0, "", kOwner,
                                          "DeleteContact"};
const zn::PersonChangeRule kDeleteMember{ChangeRequest::kDeleteMember,
                                         &CZNGroupImpl::IsValidGroupDirectMember, false, 0, "",
                                         kOwnerOrContact, "DeleteDirectMember"};
const zn::PersonChangeRule kDeleteOwner{ChangeRequest::kDeleteOwner, &CZNGroupImpl::IsValidGroupOwner,
                                        false, 0, "", kOwner, "DeleteOwner"};

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

RequestFields Target(const std::string& name) {
    RequestFields f;
    f.targetName = name;
    return f;
}

}  // namespace

void CZNGroupImpl::CopyStatusOf(const CZNWorker& worker) {
    SetErrorStatus(worker.GetErrorStatusCode(), worker.GetErrorStatusText());
}

long CZNGroupImpl::VerifyRequester(const std::string& userName, const std::string& password) {
    std::string account;
    const bool known = zn::platform::ReadAccountName(account) && !account.empty();
    if (known && EqualIgnoringCase(userName, account)) {
        return 1;  // the logged-on account needs no password
    }
    if (userName.empty()) {
        // Without an account name there is nobody to stand in as the requester.
        if (!known) {
            SetErrorStatus(status::kInvalidUserName, kInvalidUserNameText);
            return 0;
        }
        m_userName = account.substr(0, kAccountNameLength);
        return 1;
    }
    CZNWorker worker;
    long result = worker.SetDomain(GetDomain().c_str());
    if (result != 1) {
        CopyStatusOf(worker);
        return result;
    }
    const std::string dn = worker.GetWorkerDN(userName);
    if (dn.empty()) {
        SetErrorStatus(status::kInvalidUserName, kInvalidUserNameText);
        return 0;
    }
    result = AuthenticateUser(dn, password);
    if (result == 1) {
        m_password = GetPassword();
    }
    return result;
}

long CZNGroupImpl::RequesterStep() {
    if (GetCredentialsVerified() != 0) {
        return 1;
    }
    long result = VerifyRequester(m_userName, m_password);
    if (result != 1) {
        return result;
    }
    SetCredentialsVerified(1);
    return 1;
}

long CZNGroupImpl::CheckPrivilege(Privilege rule) {
    if (rule == Privilege::kPublicOwnerOrContact && IsPublicGroup() != 0) {
        return 1;
    }
    if (IsAdministrator(m_userName) != 0) {
        return 1;
    }
    long owner = IsValidGroupOwner(m_userName);
    if (owner == 1 || rule == Privilege::kOwner) {
        return owner;
    }
    return IsValidGroupContact(m_userName);
}


long CZNGroupImpl::CheckRoleGroups() {
    if (IsAdministrator(m_userName) != 0) {
        return 1;
    }
    // A separate object walks, so this one keeps its lists and status for the caller.
    CZNGroup walker;
    long result = walker.SetDomain(GetDomain().c_str());
    std::vector<std::string> names{m_groupName};
    if (result == 1) {
        for (const CZNGroup& above : walker.GetEventualSuperGroups(m_groupName)) {
            names.push_back(above.GetGroupName());
        }
    }
    for (const std::string& name : names) {
        if (result == 1 && zn::IsRoleGroupName(name)) {
            result = walker.IsValidGroupOwner(name, m_userName);
        }
    }
    if (result != 1) {
        SetErrorStatus(walker.GetErrorStatusCode(), walker.GetErrorStatusText());
    }
    return result;
}

long CZNGroupImpl::GuardRoleGroup(bool roleGroup) {
    if (!roleGroup || IsAdministrator(m_userName) != 0) {
        return 1;
    }
    SetErrorStatus(status::kDeleteNotAllowed, kDeleteNotAllowedText);
    return 0;
}

long CZNGroupImpl::SendChange(ChangeRequest kind, RequestFields fields, const char* label) {
    fields.userName = m_userName;
    fields.groupName = m_groupName;
    std::string request;
    if (!zn::FormatChangeRequest(kind, fields, request)) {
        // Refused before anything is sent: the server reads at most 2047 characters.
        SetErrorStatus(status::kRequestTooLong, zn::kRequestTooLongText);
        return 0;
    }
    if (request.find('\0') != std::string::npos) {
        SetErrorStatus(status::kRequestUnsendable, zn::kRequestUnsendableText);
        return 0;
    }
    // What was loaded may no longer hold once a change goes out, whatever its answer.
    m_loadedGroup.reset();
    zn::CZNAdminChannel channel(GetDomain().c_str(),
                                static_cast<std::uint32_t>(GetAdministrationPort()));
    // The password the requester step verified: the proof a server may ask for.
    channel.SetRequesterPassword(m_password);
    long result = channel.Transact(request.c_str());
    SetErrorStatus(channel.GetErrorCode(), channel.GetErrorText());
    Report(label);
    return result;
}

long CZNGroupImpl::PersonChange(const zn::PersonChangeRule& rule, const std::string& target) {
    CZNWorker worker;
    long result = worker.SetDomain(GetDomain().c_str());
    if (result == 1) {
        result = worker.IsValidWorker(target);
    }
    if (result != 1) {
        CopyStatusOf(worker);
        return result;
    }
    long relation = (this->*rule.relation)(target);
    if (rule.adds && relation == 1) {
        SetErrorStatus(rule.alreadyCode, target + rule.alreadyText + m_groupName + " .");
        return 0;
    }
    if (!rule.adds && relation != 1) {
        return relation;
    }
    // A role group's contacts may not take its members out: only its owners manage them.
    const bool ownerOnly = rule.privilege == kOwner ||
                           (rule.kind == ChangeRequest::kDeleteMember && zn::IsRoleGroupName(m_groupName));
    if ((result = RequesterStep()) != 1 || (result = IsValidGroup()) != 1 ||
        (result = CheckPrivilege(ownerOnly ? Privilege::kOwner : Privilege::kOwnerOrContact)) != 1) {
        return result;
    }
    if (rule.kind == ChangeRequest::kAddMember && (result = CheckRoleGroups()) != 1) {
        return result;
    }
    return SendChange(rule.kind, Target(target), rule.label);
}

long CZNGroupImpl::AddContact(const std::string& contact) { return PersonChange(kAddContact, contact); }
long CZNGroupImpl::AddDirectMember(const std::string& member) { return PersonChange(kAddMember, member); }
long CZNGroupImpl::AddOwner(const std::string& owner) { return PersonChange(kAddOwner, owner); }
long CZNGroupImpl::DeleteContact(const std::string& contact) {
    return PersonChange(kDeleteContact, contact);
}
long CZNGroupImpl::DeleteDirectMember(const std::string& member) {
    return PersonChange(kDeleteMember, member);
}
long CZNGroupImpl::DeleteOwner(const std::string& owner) { return PersonChange(kDeleteOwner, owner); }

long CZNGroupImpl::AddSubGroup(const std::string& subGroup) {
    // The lookups report under their own names: a refused change leaves no report of the
    // change itself.
    const std::string dn = GetGroupDN(subGroup);
    if (dn.empty()) {
        return 0;
    }
    // The directory ignores case and insignificant blanks, so two spellings may name one
    // entry: the entries are compared, not the names.
    const std::string own = GetGroupDN(m_groupName);
    if (subGroup == m_groupName || (!own.empty() && EqualIgnoringCase(own, dn))) {
        SetErrorStatus(status::kCannotBeSubGroup, subGroup + " can't be a subgroup.");
        return 0;
    }
    if (IsEventualSuperGroupByDN(dn) == 1) {
        SetErrorStatus(status::kSubGroupCycle, subGroup + " is a supergroup of " + m_groupName + " .");
        return 0;
    }
    // A walk that could not be completed may have missed the cycle: nothing is sent.
    if (LastSearchFailed()) {
        return 0;
    }
    if (IsSubGroupByDN(dn) == 1) {
        SetErrorStatus(status::kAlreadySubGroup,
                       subGroup + " is already a subgroup of " + m_groupName + " .");
        return 0;
    }
    if (LastSearchFailed()) {
        return 0;
    }
    long result = 0;
    // Nesting a role group elsewhere changes who the groups above it reach: administrators'
    // business, like deleting it; the server refuses it too.
    if ((result = RequesterStep()) != 1 ||
        (result = GuardRoleGroup(zn::IsRoleGroupName(subGroup))) != 1 ||
        (result = IsValidGroup()) != 1 ||
        (result = CheckPrivilege(Privilege::kPublicOwnerOrContact)) != 1 ||
        (result = CheckRoleGroups()) != 1) {
        return result;
    }
    return SendChange(ChangeRequest::kAddSubGroup, Target(subGroup), "AddSubGroup");
}

long CZNGroupImpl::RemoveSubGroup(const std::string& subGroup) {
    const std::string dn = GetGroupDN(subGroup);
    if (dn.empty()) {
        return 0;
    }
    if (IsSubGroupByDN(dn) != 1) {
        SetErrorStatus(status::kNotSubGroup, subGroup + kNotSubGroupInfix + m_groupName + " .");
        return 0;
    }
    long result = 0;
    const Privilege rule = zn::IsRoleGroupName(m_groupName) ? Privilege::kOwner : Privilege::kPublicOwnerOrContact;
    if ((result = RequesterStep()) != 1 ||
        (result = GuardRoleGroup(zn::IsRoleGroupName(subGroup))) != 1 ||
        (result = IsValidGroup()) != 1 || (result = CheckPrivilege(rule)) != 1) {
        return result;
    }
    return SendChange(ChangeRequest::kRemoveSubGroup, Target(subGroup), "RemoveSubGroup");
}

long CZNGroupImpl::CreateSubGroup(const std::string& newName, const std::string& unit) {
    long result = IsValidNewGroupName(newName);
    if (result != 1 || (result = RequesterStep()) != 1 ||
        (result = GuardRoleGroup(zn::IsRoleGroupName(newName))) != 1) {
        return result;
    }
    if (unit != kDefaultUnit) {
        // A fresh object on the local servers, as the privilege groups live there.
        CZNGroup checker;
        char privilege[256];
        std::snprintf(privilege, sizeof privilege, kUnitPrivilegeFormat, unit.c_str());
        if (checker.IsValidGroupEventualMember(kAdministratorsGroup, m_userName) != 1 &&
            checker.IsValidGroupEventualMember(privilege, m_userName) != 1) {
            SetErrorStatus(status::kInvalidOrganizationalUnit, unit + kInvalidUnitSuffix);
            return 0;
        }
    }
    RequestFields fields = Target(newName);
    fields.organizationalUnit = unit;
    if (m_groupName.empty()) {
        return SendChange(ChangeRequest::kCreateGroup, fields, "CreateSubGroup");
    }
    if ((result = IsValidGroup()) != 1) {
        return result;
    }
    if (IsAdministrator(m_userName) == 0 && IsPublicGroup() == 0 &&
        (result = IsValidGroupOwner(m_userName)) != 1) {
        return result;
    }
    return SendChange(ChangeRequest::kCreateSubGroup, fields, "CreateSubGroup");
}

long CZNGroupImpl::DeleteSubGroup(const std::string& name) {
    const std::string parent = m_groupName;
    const std::string dn = GetGroupDN(name);
    if (dn.empty()) {
        return 0;
    }
    long result = RequesterStep();
    if (result != 1) {
        return result;
    }
    // A role group is deleted, or taken from under a parent, by administrators alone.
    if ((result = GuardRoleGroup(zn::IsRoleGroupName(name))) != 1) {
        return result;
    }
    if (parent.empty()) {
        if (IsAdministrator(m_userName) == 0) {
            m_groupName = name;
            long owner = IsValidGroupOwner(m_userName);
            m_groupName = parent;
            if (owner != 1) {
                SetErrorStatus(status::kDeleteNotAllowed, kDeleteNotAllowedText);
                return 0;
            }
        }
        return SendChange(ChangeRequest::kDeleteGroup, Target(name), "DeleteSubGroup");
    }
    if (IsSubGroupByDN(dn) != 1) {
        SetErrorStatus(status::kNotSubGroup, name + kNotSubGroupInfix + parent + " .");
        return 0;
    }
    if ((result = IsValidGroup()) != 1) {
        return result;
    }
    if (IsAdministrator(m_userName) == 0) {
        // Those who hold the parent may take a group from under it only while another
        // supergroup keeps it; its own owner always may.
        m_groupName = name;
        const long subGroupOwner = IsValidGroupOwner(m_userName);
        m_groupName = parent;
        const bool protectedGroup = subGroupOwner != 1 && SuperGroupsCountOf(name) < 2;
        if (protectedGroup) {
            SetErrorStatus(status::kDeleteNotAllowed, kDeleteNotAllowedText);
            return 0;
        }
        if (IsValidGroupOwner(m_userName) != 1 && (result = IsValidGroupContact(m_userName)) != 1 &&
            subGroupOwner != 1) {
            return result;
        }
        if (zn::IsRoleGroupName(parent) && (result = CheckPrivilege(Privilege::kOwner)) != 1) {
            return result;
        }
    }
    return SendChange(ChangeRequest::kDeleteSubGroup, Target(name), "DeleteSubGroup");
}

long CZNGroupImpl::SuperGroupsCountOf(const std::string& name) {
    // Read by a helper: the object's group list is the caller's, not a change's scratch.
    CZNGroupImpl lister;
    ConfigureHelper(lister);
    lister.SetGroupName(name);
    return static_cast<long>(lister.GetSuperGroups().size());
}

long CZNGroupImpl::Modify(const std::string& newName, const std::string& reserved,
                          const std::string& companyNumber, const std::string& unit,
                          const char* label) {
    long result = 1;
    if (!newName.empty() && (result = IsValidNewGroupName(newName)) != 1) {
        return result;
    }
    RequestFields fields = Target(newName);
    fields.value = reserved;
    if (!companyNumber.empty()) {
        if ((result = IsValidCompanyNumber(companyNumber)) != 1) {
            return result;
        }
        fields.companyNumber = m_companyNumber;
    }
    if ((result = RequesterStep()) != 1) {
        return result;
    }
    if (!unit.empty() && unit != kDefaultUnit && IsAdministrator(m_userName) == 0) {
        SetErrorStatus(status::kInvalidOrganizationalUnit, unit + kInvalidUnitSuffix);
        return 0;
    }
    fields.organizationalUnit = unit;
    if ((result = IsValidGroup()) != 1 || (result = CheckPrivilege(Privilege::kOwner)) != 1) {
        return result;
    }
    // A role group keeps its name, and no group takes a role's name, but by an administrator.
    if (!newName.empty() &&
        (result = GuardRoleGroup(zn::IsRoleGroupName(m_groupName) || zn::IsRoleGroupName(newName))) != 1) {
        return result;
    }
    return SendChange(ChangeRequest::kModifyGroup, fields, label);
}

long CZNGroupImpl::SetNewGroupName(const std::string& newName) {
    return Modify(newName, "", "", "", "SetNewGroupName");
}

long CZNGroupImpl::SetCompanyNumber(const std::string& companyNumber) {
    return Modify("", "", companyNumber, "", "SetCompanyNumber");
}

long CZNGroupImpl::PropertyChange(ChangeRequest kind, RequestFields fields, const char* label) {
    long result = 0;
    if ((result = RequesterStep()) != 1 || (result = IsValidGroup()) != 1 ||
        (result = CheckPrivilege(Privilege::kOwner)) != 1) {
        return result;
    }
    return SendChange(kind, std::move(fields), label);
}

long CZNGroupImpl::SetExchangeSynchronization() {
    return PropertyChange(ChangeRequest::kSetExchangeSynchronization, {}, "SetExchangeSynchronization");
}
long CZNGroupImpl::ClearExchangeSynchronization() {
    return PropertyChange(ChangeRequest::kClearExchangeSynchronization, {},
                          "ClearExchangeSynchronization");
}
long CZNGroupImpl::SetMailAliasedFlag() {
    return PropertyChange(ChangeRequest::kSetMailAliased, {}, "SetMailAliasedFlag");
}
long CZNGroupImpl::ClearMailAliasedFlag() {
    return PropertyChange(ChangeRequest::kClearMailAliased, {}, "ClearMailAliasedFlag");
}

long CZNGroupImpl::SetGenericAttributeValue(const std::string& attribute, const std::string& value) {
    RequestFields fields;
    fields.attributeName = attribute;
    fields.value = value;
    return PropertyChange(ChangeRequest::kSetGenericAttribute, fields, "SetGenericAttributeValue");
}

long CZNGroupImpl::SetDescription(const std::string& description) {
    RequestFields fields;
    fields.value = description;
    return PropertyChange(ChangeRequest::kSetDescription, fields, "SetDescription");
}

long CZNGroupImpl::ResetGroupChangeLogs() {
    if (!CheckGroupName(m_groupName)) {
        Report("ResetGroupChangeLogs");
        return 0;
    }
    long result = 0;
    if ((result = RequesterStep()) != 1 || (result = CheckPrivilege(Privilege::kOwner)) != 1) {
        return result;
    }
    return SendChange(ChangeRequest::kResetGroupChangeLogs, {}, "ResetGroupChangeLogs");
}
