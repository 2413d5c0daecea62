// Which checks each change makes, in the library's order, and what it will write.
#include <ldap.h>

#include <cctype>

#include "server/text.h"
#include "server/applier_impl.h"
#include "server/change_codes.h"
#include "session/format.h"
#include "session/status_codes.h"

namespace zn::server {
namespace {

namespace status = zn::status;
using Rule = ChangeApplier::Impl::Rule;

constexpr const char* kDefaultUnit = "zngroups";
constexpr const char* kAdministratorsGroup = "ZN_GROUPS_ADMINISTRATORS";
const Verdict kGranted{};

Verdict Refuse(long code, std::string text) { return Verdict{code, std::move(text)}; }



// The people relations: attribute, and what "already" and "not" say.
struct PeopleChange {
    ChangeRequest kind;
    const char* attribute;
    bool add;
    Rule rule;
};
const PeopleChange kPeopleChanges[] = {
    {ChangeRequest::kAddContact, "contactUserName", true, Rule::kOwner},
    {ChangeRequest::kAddMember, "explicitMember", true, Rule::kOwnerOrContact},
    {ChangeRequest::kAddOwner, "owner", true, Rule::kOwner},
    {ChangeRequest::kDeleteContact, "contactUserName", false, Rule::kOwner},
    {ChangeRequest::kDeleteMember, "explicitMember", false, Rule::kOwnerOrContact},
    {ChangeRequest::kDeleteOwner, "owner", false, Rule::kOwner},
};

Verdict RelationRefusal(const std::string& attribute, bool add, const std::string& target,
                        const std::string& group) {
    if (add) {
        if (attribute == "contactUserName") {
            return Refuse(status::kAlreadyContact, target + " is already a contact of " + group + " .");
        }
        if (attribute == "owner") {
            return Refuse(status::kAlreadyOwner, target + " is already an owner of " + group + " .");
        }
        return Refuse(status::kAlreadyDirectMember,
                      target + " is already a direct member of " + group + " .");
    }
    if (attribute == "contactUserName") {
        return Refuse(status::kNotContact, FormatText("%s is not a valid contact of group %s.",
                                                      target.c_str(), group.c_str()));
    }
    if (attribute == "owner") {
        return Refuse(status::kNotOwner, FormatText("%s is not a valid owner of group %s.",
                                                    target.c_str(), group.c_str()));
    }
    return Refuse(status::kNotDirectMember, FormatText("%s is not a valid direct member of group %s.",
                                                       target.c_str(), group.c_str()));
}

const std::vector<std::string>& Holders(const Group& group, const std::string& attribute) {
    if (attribute == "contactUserName") return group.contacts;
    if (attribute == "owner") return group.owners;
    return group.direct;
}

}  // namespace

Verdict ChangeApplier::Impl::Check(const ParsedRequest& request, ChangePlan& plan) {
    plan = ChangePlan();
    plan.kind = request.kind;
    PlanDetails details;
    Verdict verdict;
    switch (request.kind) {
        case ChangeRequest::kAddContact:
        case ChangeRequest::kAddMember:
        case ChangeRequest::kAddOwner:
        case ChangeRequest::kDeleteContact:
        case ChangeRequest::kDeleteMember:
        case ChangeRequest::kDeleteOwner: verdict = CheckPeople(request, plan, details); break;
        case ChangeRequest::kAddSubGroup:
        case ChangeRequest::kRemoveSubGroup: verdict = CheckLink(request, plan, details); break;
        case ChangeRequest::kCreateSubGroup:
        case ChangeRequest::kCreateGroup: verdict = CheckCreate(request, plan, details); break;
        case ChangeRequest::kDeleteSubGroup:
        case ChangeRequest::kDeleteGroup: verdict = CheckDelete(request, plan, details); break;
        case ChangeRequest::kModifyGroup: verdict = CheckModify(request, plan, details); break;
        case ChangeRequest::kResetGroupChangeLogs:
            details.operation = "none";
            verdict = CheckReset(request, plan);
            break;
        case ChangeRequest::kGetGroupChangeLogs:
        case ChangeRequest::kGetChangeLogEntry:
        case ChangeRequest::kGetChangeStatus:
            return Refuse(kDirectoryRefusedCode, "Not a change.");
        default: verdict = CheckProperty(request, plan, details); break;
    }
    plan.details = details.Encode();
    return verdict;
}

namespace {

// The change is logged under the groups it concerns, by their entries' names.
void LogUnder(ChangePlan& plan, const Group* group, const Group* target) {
    plan.logGroups.clear();
    plan.groupName = group != nullptr ? group->entryName : std::string();
    plan.targetName = target != nullptr ? target->entryName : std::string();
    for (const Group* g : {target, group}) {
        if (g != nullptr) plan.logGroups.push_back(g->entryName);
    }
}

}  // namespace

Verdict ChangeApplier::Impl::CheckPeople(const ParsedRequest& request, ChangePlan& plan,
                                         PlanDetails& details) {
    const RequestFields& f = request.fields;
    const PeopleChange* change = nullptr;
    for (const PeopleChange& c : kPeopleChanges) {
        if (c.kind == request.kind) change = &c;
    }
    Snapshot snapshot;
    Verdict v = ReadAtOnce({f.targetName, f.userName}, {f.groupName}, snapshot);
    if (!v.Ok()) return v;
    const Group* named = snapshot.FoundGroup(f.groupName);
    if (!f.userName.empty() && snapshot.Person(f.userName) != nullptr) LogUnder(plan, named, nullptr);
    const std::string* target = snapshot.Person(f.targetName);
    if (target == nullptr || f.targetName.empty()) {
        return Refuse(status::kInvalidUserName, f.targetName + " is not a valid username.");
    }
    const std::string targetDN = *target;
    const bool holds = named != nullptr && HoldsDN(Holders(*named, change->attribute), targetDN);
    if (holds == change->add && (named != nullptr || !change->add)) {
        return RelationRefusal(change->attribute, change->add, f.targetName, f.groupName);
    }
    std::string userDN;
    Group group;
    if (!(v = Requester(f.userName, snapshot, userDN)).Ok()) return v;
    if (!(v = ExistingGroup(f.groupName, snapshot, group)).Ok()) return v;
    if (!(v = Privilege(change->rule, f.userName, userDN, group, snapshot.administrators)).Ok()) return v;
    const bool members = std::string(change->attribute) == "explicitMember";
    // Members taken out of a group leave every group above it too: the role groups among
    // them guard the removal as they guard an addition.
    if (members &&
        !(v = RoleGroupsAllow(group, f.userName, userDN, snapshot.administrators)).Ok()) {
        return v;
    }
    if (change->add && !(v = members ? EntryTakes(group, {"explicitMember", "uniqueMember"})
                                     : EntryTakes(group, {change->attribute})).Ok()) {
        return v;
    }
    details.operation = change->add ? "add-value" : "delete-value";
    details.group = group.dn;
    details.attribute = change->attribute;
    details.values = {targetDN};
    if (members) {
        // The member's own group gains or loses the member with the same write, when that
        // is all its eventual members do: always on an add, on a delete when no subgroup
        // can hold the member too. The groups above follow.
        if (change->add || group.subGroups.empty()) {
            details.operation = change->add ? "add-member" : "delete-member";
            details.recompute = group.superGroups;
        } else {
            details.recompute = {group.dn};
        }
    }
    return kGranted;
}

Verdict ChangeApplier::Impl::CheckLink(const ParsedRequest& request, ChangePlan& plan,
                                       PlanDetails& details) {
    const RequestFields& f = request.fields;
    const bool add = request.kind == ChangeRequest::kAddSubGroup;
    Snapshot snapshot;
    Verdict v = ReadAtOnce({f.userName}, {f.targetName, f.groupName}, snapshot);
    if (!v.Ok()) return v;
    if (!f.userName.empty() && snapshot.Person(f.userName) != nullptr) {
        LogUnder(plan, snapshot.FoundGroup(f.groupName), snapshot.FoundGroup(f.targetName));
    }
    if (snapshot.FoundGroup(f.targetName) == nullptr || f.targetName.empty()) {
        return Refuse(status::kInvalidGroupName, f.targetName + " is not a valid group name.");
    }
    const Group child = *snapshot.FoundGroup(f.targetName);
    Group parent;
    const bool parentFound = snapshot.FoundGroup(f.groupName) != nullptr;
    if (parentFound) parent = *snapshot.FoundGroup(f.groupName);
    // The same entry under two spellings is still the same group: compare what the names
    // resolve to, not the names.
    if (add && parentFound && NormalDN(child.dn) == NormalDN(parent.dn)) {
        return Refuse(status::kCannotBeSubGroup, f.targetName + " can't be a subgroup.");
    }
    const bool linked = parentFound && HoldsDN(parent.subGroups, child.dn);
    if (add) {
        bool above = false;
        if (parentFound && !(v = IsEventualSuperGroup(parent, child.dn, above)).Ok()) return v;
        if (above) {
            return Refuse(status::kSubGroupCycle, f.targetName + " is a supergroup of " + f.groupName + " .");
        }
        if (linked) {
            return Refuse(status::kAlreadySubGroup,
                          f.targetName + " is already a subgroup of " + f.groupName + " .");
        }
    } else if (!linked) {
        return Refuse(status::kNotSubGroup, f.targetName + " is not a subgroup of " + f.groupName + " .");
    }
    std::string userDN;
    if (!(v = Requester(f.userName, snapshot, userDN)).Ok()) return v;
    if (!(v = ExistingGroup(f.groupName, snapshot, parent)).Ok()) return v;
    if (!(v = Privilege(Rule::kPublicOwnerOrContact, f.userName, userDN, parent, snapshot.administrators)).Ok()) {
        return v;
    }
    // Linking needs rights on the parent only; but a role group nested elsewhere carries its
    // rights to whoever the groups above hold, so only an administrator moves one.
    const bool admin = HoldsDN(snapshot.administrators, userDN);
    if (!admin && child.IsRoleGroup()) {
        return Refuse(status::kDeleteNotAllowed,
                      "Insufficient privilege or group protection violation.");
    }
    if (!(v = RoleGroupsAllow(parent, f.userName, userDN, snapshot.administrators)).Ok()) return v;
    if (add && (!(v = EntryTakes(parent, {"subGroup", "uniqueMember"})).Ok() ||
                !(v = EntryTakes(child, {"superGroup"})).Ok())) {
        return v;
    }
    details.operation = add ? "link" : "unlink";
    details.group = parent.dn;
    details.target = child.dn;
    details.recompute = {parent.dn};
    return kGranted;
}

Verdict ChangeApplier::Impl::CheckCreate(const ParsedRequest& request, ChangePlan& plan,
                                         PlanDetails& details) {
    const RequestFields& f = request.fields;
    Verdict v = ValidNewName(f.targetName);
    if (!v.Ok()) return v;
    std::string userDN;
    if (!(v = Requester(f.userName, userDN)).Ok()) return v;
    const std::string newName = Upper(f.targetName);
    plan.logGroups = {newName};
    plan.targetName = newName;
    bool admin = false;
    if (!(v = IsEventualMember(kAdministratorsGroup, userDN, admin)).Ok()) return v;
    const std::string& unit = f.organizationalUnit;
    const Verdict badUnit = Refuse(status::kInvalidOrganizationalUnit, unit + " is an invalid organizational unit.");
    const std::string unitDN = "ou=" + EscapeDNValue(unit) + "," + directory.BaseDN();
    if (unit != kDefaultUnit) {
        bool privileged = admin;
        if (!privileged &&
            !(v = IsEventualMember("ZN_GROUP_ORG_UNIT_" + unit + "_PRIV", userDN, privileged)).Ok()) {
            return v;
        }
        if (!privileged || unit.empty()) return badUnit;
        std::vector<Entry> entries;
        if (directory.Search(unitDN, false, "(objectClass=organizationalUnit)", {"ou"}, entries) !=
            LDAP_SUCCESS) {
            return Unreadable();
        }
        if (entries.empty()) return badUnit;
    }
    if (request.kind == ChangeRequest::kCreateSubGroup) {
        Group parent;
        if (!(v = ExistingGroup(f.groupName, parent)).Ok()) return v;
        LogUnder(plan, &parent, nullptr);
        plan.logGroups.insert(plan.logGroups.begin(), newName);
        plan.targetName = newName;
        const bool isPublic = parent.owners.empty() && parent.contacts.empty();
        if (!admin && !isPublic && !HoldsDN(parent.owners, userDN)) {
            return Refuse(status::kNotOwner, FormatText("%s is not a valid owner of group %s.",
                                                        f.userName.c_str(), f.groupName.c_str()));
        }
        // A group made under a role group is one step from giving that role to its
        // members: making it needs what adding to the role group needs.
        if (!(v = RoleGroupsAllow(
                  parent, f.userName, userDN,
                  admin ? std::vector<std::string>{userDN} : std::vector<std::string>()))
                 .Ok() ||
            !(v = EntryTakes(parent, {"subGroup"})).Ok()) {
            return v;
        }
        details.group = parent.dn;
    }
    // A group with a role's name grants that role to whoever its members become.
    if (!admin && zn::IsRoleGroupName(newName)) {
        return Refuse(status::kDeleteNotAllowed, "Insufficient privilege or group protection violation.");
    }
    details.operation = "create";
    // Owned by its maker, so that no group is public by accident: the public rule lets
    // anyone link into a group and write its log.
    details.values = {newName, userDN};
    details.target = "cn=" + EscapeDNValue(newName) + "," + unitDN;
    // The write takes an existing entry for a creation already done (a retry after a
    // restart), so an entry of another kind at the new DN must be refused here, or the
    // change would be answered applied with nothing created.
    std::vector<Entry> occupant;
    const int rc = directory.Search(details.target, false, "(objectClass=*)", {"objectClass"}, occupant);
    if (rc == LDAP_SUCCESS && !occupant.empty()) {
        return Refuse(status::kInvalidNewGroupName, f.targetName + " is not a valid new group name.");
    }
    if (rc != LDAP_SUCCESS && rc != LDAP_NO_SUCH_OBJECT) return Unreadable();
    details.unitDN = unitDN;
    details.unit = unit;
    plan.createdGroup = newName;
    return kGranted;
}

Verdict ChangeApplier::Impl::CheckDelete(const ParsedRequest& request, ChangePlan& plan,
                                         PlanDetails& details) {
    const RequestFields& f = request.fields;
    const bool withParent = request.kind == ChangeRequest::kDeleteSubGroup;
    Group doomed;
    bool found = false;
    Verdict v = FindGroup(f.targetName, doomed, found);
    if (!v.Ok()) return v;
    if (!found || f.targetName.empty()) {
        return Refuse(status::kInvalidGroupName, f.targetName + " is not a valid group name.");
    }
    std::string userDN;
    if (!(v = Requester(f.userName, userDN)).Ok()) return v;
    LogUnder(plan, nullptr, &doomed);
    const Verdict protectedGroup = Refuse(status::kDeleteNotAllowed,
                                          "Insufficient privilege or group protection violation.");
    bool admin = false;
    if (!(v = IsEventualMember(kAdministratorsGroup, userDN, admin)).Ok()) return v;
    const std::vector<std::string> administrators =
        admin ? std::vector<std::string>{userDN} : std::vector<std::string>();
    const bool ownsDoomed = HoldsDN(doomed.owners, userDN);
    if (withParent) {
        Group parent;
        bool parentFound = false;
        if (!(v = FindGroup(f.groupName, parent, parentFound)).Ok()) return v;
        if (parentFound) LogUnder(plan, &parent, &doomed);
        if (!parentFound || !HoldsDN(parent.subGroups, doomed.dn)) {
            return Refuse(status::kNotSubGroup, f.targetName + " is not a subgroup of " + f.groupName + " .");
        }
        details.group = parent.dn;
        if (!admin) {
            // Those who hold the parent may take a group from under it only while it has
            // another supergroup left.
            if (!ownsDoomed && doomed.superGroups.size() < 2) return protectedGroup;
            if (!HoldsDN(parent.owners, userDN) && !HoldsDN(parent.contacts, userDN) && !ownsDoomed) {
                return Refuse(status::kNotContact, FormatText("%s is not a valid contact of group %s.",
                                                              f.userName.c_str(), f.groupName.c_str()));
            }
        }
        if (!admin && doomed.IsRoleGroup()) return protectedGroup;
        if (!(v = RoleGroupsAllow(parent, f.userName, userDN, administrators)).Ok()) return v;
    } else if (!admin && !ownsDoomed) {
        return protectedGroup;
    }
    if (withParent) {
        std::vector<std::string> others;
        for (const std::string& dn : doomed.superGroups) {
            if (NormalDN(dn) != NormalDN(details.group)) others.push_back(dn);
        }
        if (!others.empty()) {
            // Taken from under one parent, the group lives on under the others: only the
            // link goes, and the closures above the parent.
            details.operation = "unlink";
            details.target = doomed.dn;
            details.recompute = {details.group};
            return kGranted;
        }
        // Its last supergroup: taking it deletes it, which the rules above let only an
        // administrator or its owner do, the same people who may delete it without a parent.
    }
    if (!(v = RoleGroupGuard(doomed, f.userName, userDN, admin, false)).Ok() ||
        !(v = RoleGroupsAllow(doomed, f.userName, userDN, administrators)).Ok()) {
        return v;
    }
    details.operation = "delete";
    details.target = doomed.dn;
    details.recompute = doomed.superGroups;
    plan.deletedGroup = doomed.entryName;
    if (!details.recompute.empty()) {
        // What the groups above lose with it; kept in the plan, as a retry after a crash
        // finds the entry gone.
        std::vector<Entry> entries;
        if (directory.Search(doomed.dn, false, "(objectClass=*)", {"uniqueMember"}, entries) != LDAP_SUCCESS) {
            return Unreadable();
        }
        if (!entries.empty()) details.values = entries.front().Values("uniquemember");
    }
    return kGranted;
}

Verdict ChangeApplier::Impl::CheckModify(const ParsedRequest& request, ChangePlan& plan,
                                         PlanDetails& details) {
    const RequestFields& f = request.fields;
    Verdict v;
    if (!f.targetName.empty() && !(v = ValidNewName(f.targetName)).Ok()) return v;
    std::string company;
    if (!f.companyNumber.empty()) {
        company = f.companyNumber.size() <= 4 ? ("000" + f.companyNumber).substr(f.companyNumber.size() - 1)
                                              : std::string();
        bool active = false;
        if (!company.empty()) {
            std::vector<std::string> companies;
            if (!(v = ActiveCompanies(companies)).Ok()) return v;
            for (const std::string& value : companies) active = active || value.compare(0, 4, company) == 0;
        }
        if (!active) return Refuse(status::kInvalidCompanyNumber, "Specified SAP Company Number is invalid.");
    }
    std::string userDN;
    if (!(v = Requester(f.userName, userDN)).Ok()) return v;
    if (!f.organizationalUnit.empty()) return Refuse(kUnitChangeCode, kUnitChangeText);
    if (!f.value.empty()) return Refuse(kReservedValueCode, kReservedValueText);
    Group group;
    if (!(v = ExistingGroup(f.groupName, group)).Ok()) return v;
    LogUnder(plan, &group, nullptr);
    if (!(v = Privilege(Rule::kOwner, f.userName, userDN, group)).Ok()) return v;
    if (!company.empty() && !(v = EntryTakes(group, {"companyNumber"})).Ok()) return v;
    if (!f.targetName.empty()) {
        // A role group keeps its name, and no group takes a role's name, but by an
        // administrator.
        bool admin = false;
        if (!(v = IsEventualMember(kAdministratorsGroup, userDN, admin)).Ok()) return v;
        Group renamed = group;
        renamed.names.push_back(Upper(f.targetName));
        if (!(v = RoleGroupGuard(renamed, f.userName, userDN, admin, false)).Ok()) return v;
    }
    details.operation = "modify";
    details.group = group.dn;
    details.company = company;
    if (!f.targetName.empty()) {
        details.newRdn = "cn=" + EscapeDNValue(Upper(f.targetName));
        plan.renamedFrom = group.entryName;
        plan.renamedTo = Upper(f.targetName);
    }
    return kGranted;
}

Verdict ChangeApplier::Impl::CheckProperty(const ParsedRequest& request, ChangePlan& plan,
                                           PlanDetails& details) {
    const RequestFields& f = request.fields;
    std::string userDN;
    Verdict v = Requester(f.userName, userDN);
    if (!v.Ok()) return v;
    Group group;
    if (!(v = ExistingGroup(f.groupName, group)).Ok()) return v;
    LogUnder(plan, &group, nullptr);
    if (!(v = Privilege(Rule::kOwner, f.userName, userDN, group)).Ok()) return v;
    details.operation = "replace";
    details.group = group.dn;
    switch (request.kind) {
        case ChangeRequest::kSetExchangeSynchronization:
        case ChangeRequest::kClearExchangeSynchronization:
            details.attribute = "exchangeSynchronization";
            details.values = {request.kind == ChangeRequest::kSetExchangeSynchronization ? "Y" : "N"};
            return EntryTakes(group, {"exchangeSynchronization"});
        case ChangeRequest::kSetMailAliased:
        case ChangeRequest::kClearMailAliased:
            details.attribute = "mailAliased";
            details.values = {request.kind == ChangeRequest::kSetMailAliased ? "Y" : "N"};
            return EntryTakes(group, {"mailAliased"});
        case ChangeRequest::kSetDescription:
            details.attribute = "description";
            break;
        default: {
            details.attribute = f.attributeName;
            if (!(v = ReadSchema()).Ok()) return v;
            // Whatever has a request of its own is changed only through it, where its own
            // checks apply; under any of its names or its OID.
            const std::string type = AttributeType(f.attributeName);
            for (const char* managed : {"cn", "objectclass", "owner", "contactusername", "explicitmember",
                                        "uniquemember", "subgroup", "supergroup", "companynumber",
                                        "mailaliased", "exchangesynchronization", "description"}) {
                if (type == managed) {
                    return Refuse(kManagedAttributeCode,
                                  FormatText(kManagedAttributeFormat, f.attributeName.c_str()));
                }
            }
            bool allowed = false;
            if (!(v = AllowedAttribute(group, f.attributeName, allowed)).Ok()) return v;
            if (!allowed || f.attributeName.empty()) {
                return Refuse(kAttributeNotAllowedCode,
                              FormatText(kAttributeNotAllowedFormat, f.attributeName.c_str()));
            }
            break;
        }
    }
    if (!f.value.empty()) details.values = {f.value};
    return kGranted;
}

Verdict ChangeApplier::Impl::CheckReset(const ParsedRequest& request, ChangePlan& plan) {
    const RequestFields& f = request.fields;
    std::string userDN;
    Verdict v = Requester(f.userName, userDN);
    if (!v.Ok()) return v;
    // The log the name stands for, whether or not its group is still there.
    plan.logGroups = {MatchKey(f.groupName)};
    plan.groupName = MatchKey(f.groupName);
    bool admin = false;
    if (!(v = IsEventualMember(kAdministratorsGroup, userDN, admin)).Ok()) return v;
    if (admin) return kGranted;  // also the log of a group that is gone
    Group group;
    if (!(v = ExistingGroup(f.groupName, group)).Ok()) return v;
    LogUnder(plan, &group, nullptr);
    return Privilege(Rule::kOwner, f.userName, userDN, group);
}

}  // namespace zn::server
