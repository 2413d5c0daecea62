// Inside ChangeApplier: the reads its checks need and the writes its changes make.
#pragma once

#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "server/change_plan.h"
#include "server/changes.h"
#include "server/directory.h"

namespace zn::server {

// A group entry with the attributes the checks read (not its eventual members).
struct Group {
    std::string dn;
    std::string name;       // as the request named it, for refusal texts
    std::string entryName;  // the entry's own name that the request matched, upper case
    std::vector<std::string> names, owners, contacts, direct, subGroups, superGroups, objectClasses;
    // Whether any name of the entry is one the privilege rules give a role to.
    bool IsRoleGroup() const;
};

// Whether `dns` holds `dn`, comparing normalised DNs.
bool HoldsDN(const std::vector<std::string>& dns, const std::string& dn);

// What one change's checks read, fetched in one round trip.
struct Snapshot {
    // By the name asked for, in lower case: the DN of the last person with that uid.
    std::map<std::string, std::string> people;
    // By the name asked for, in upper case: the first group with that cn.
    std::map<std::string, Group> groups;
    // The eventual members of the administrators group.
    std::vector<std::string> administrators;

    const std::string* Person(const std::string& name) const;
    const Group* FoundGroup(const std::string& name) const;
};

struct ChangeApplier::Impl {
    explicit Impl(DirectorySettings settings) : directory(std::move(settings)) {}

    Directory directory;
    // Attribute names (lower case, every alias) each object class allows, read once.
    bool schemaRead = false;
    std::vector<std::pair<std::string, std::set<std::string>>> allowedByClass;
    std::vector<std::pair<std::string, std::string>> superClasses;
    // Every name and OID of an attribute type (lower case) to its first name (lower case).
    std::map<std::string, std::string> attributeTypes;

    // --- reads (change_checks.cpp) ------------------------------------------------------
    Verdict Unreadable() const;
    // The person's DN; `found` false when no person has the name.
    Verdict FindPerson(const std::string& user, std::string& dn, bool& found);
    Verdict FindGroup(const std::string& name, Group& group, bool& found);
    // The people and groups named, and the administrators, in one round trip.
    Verdict ReadAtOnce(const std::vector<std::string>& people, const std::vector<std::string>& groups,
                       Snapshot& snapshot);
    Verdict IsEventualMember(const std::string& groupName, const std::string& personDN, bool& yes);
    Verdict IsEventualSuperGroup(const Group& group, const std::string& candidateDN, bool& yes);
    Verdict ReadSchema();
    // The attribute's first name in the schema, lower case; the name itself when unknown.
    std::string AttributeType(const std::string& attribute) const;
    Verdict AllowedAttribute(const Group& group, const std::string& attribute, bool& yes);
    // The active companies, found as the library finds them.
    Verdict ActiveCompanies(std::vector<std::string>& companies);

    // --- checks (change_checks.cpp) -----------------------------------------------------
    Verdict Check(const ParsedRequest& request, ChangePlan& plan);
    // Each fills the plan's change-log fields as soon as the requester and the groups are
    // known, so that a refusal after that point is logged too.
    Verdict CheckPeople(const ParsedRequest& request, ChangePlan& plan, PlanDetails& details);
    Verdict CheckLink(const ParsedRequest& request, ChangePlan& plan, PlanDetails& details);
    Verdict CheckCreate(const ParsedRequest& request, ChangePlan& plan, PlanDetails& details);
    Verdict CheckDelete(const ParsedRequest& request, ChangePlan& plan, PlanDetails& details);
    Verdict CheckModify(const ParsedRequest& request, ChangePlan& plan, PlanDetails& details);
    Verdict CheckProperty(const ParsedRequest& request, ChangePlan& plan, PlanDetails& details);
    Verdict CheckReset(const ParsedRequest& request, ChangePlan& plan);
    // The requester: a person of the directory.
    Verdict Requester(const std::string& user, std::string& dn);
    // The group a change is about, which must exist.
    Verdict ExistingGroup(const std::string& name, Group& group);
    enum class Rule { kOwner, kOwnerOrContact, kPublicOwnerOrContact };
    Verdict Privilege(Rule rule, const std::string& user, const std::string& userDN,
                      const Group& group);
    // The same with the administrators already read.
    Verdict Privilege(Rule rule, const std::string& user, const std::string& userDN,
                      const Group& group, const std::vector<std::string>& administrators);
    // Adding to or taking from `group` changes the eventual members of every group above
    // it; where one of them is a role group, only an administrator or an owner of that role
    // group may.
    Verdict RoleGroupsAllow(const Group& group, const std::string& user, const std::string& userDN,
                            const std::vector<std::string>& administrators);
    // A role group is removed, renamed or emptied only by an administrator (or, where
    // `ownerMay`, by an owner of that role group): its contacts and the public rule, which
    // serve every other group, would let anyone take rights from everyone.
    Verdict RoleGroupGuard(const Group& group, const std::string& user, const std::string& userDN,
                           bool admin, bool ownerMay) const;
    // Refused up front when the entry's classes do not allow what the change will write:
    // a write the directory refuses half way would leave the change pending for good.
    Verdict EntryTakes(const Group& group, std::initializer_list<const char*> attributes);
    // The requester's checks against a snapshot.
    Verdict Requester(const std::string& user, const Snapshot& snapshot, std::string& dn) const;
    Verdict ExistingGroup(const std::string& name, const Snapshot& snapshot, Group& group) const;
    Verdict ValidNewName(const std::string& name);

    // --- writes (change_writes.cpp) -----------------------------------------------------
    Verdict Apply(const PlanDetails& details, bool& firstWriteDone);
    Reached FirstWriteReached(const PlanDetails& details, Verdict& failure);
    // Keeps the eventual members of `starts` and every group above them true for the
    // members in `scope` (normal DNs; all members when null).
    Verdict Recompute(const std::vector<std::string>& starts, const std::set<std::string>* scope);
    Verdict Refused() const;
    // A link or a new subgroup that the directory refused part way, taken back: a half
    // written link would let the groups above and below disagree. `firstWriteDone` false
    // when nothing of it is left; `failure` is what the caller answers either way.
    Verdict TakeBack(const PlanDetails& details, const std::set<std::string>& scope,
                     const Verdict& failure, bool& firstWriteDone);
    Verdict FindDrifts(std::vector<Drift>& drifts);
    Verdict FindHalfLinks(std::vector<HalfLink>& halves);
};

}  // namespace zn::server
