// The checks of each change, made again on the server: a client's own checks are a
// courtesy, and its user token proves nothing. Refusals carry the codes and texts the
// library gives for the same refusal.
#include <ldap.h>
#include <ldap_schema.h>

#include <cctype>
#include <deque>

#include "server/text.h"
#include "server/applier_impl.h"
#include "server/change_codes.h"
#include "session/format.h"
#include "session/status_codes.h"

namespace zn::server {
namespace {

namespace status = zn::status;

constexpr std::size_t kMaxGroupNameLength = 80;
constexpr std::size_t kMaxUserNameLength = 51;
constexpr const char* kAdministratorsGroup = "ZN_GROUPS_ADMINISTRATORS";


Verdict Refuse(long code, std::string text) { return Verdict{code, std::move(text)}; }

// A group as its entry holds it, named as the request named it.
void ReadGroupEntry(const Entry& e, const std::string& name, Group& group) {
    group.dn = e.dn;
    group.name = name;
    group.names = e.Values("cn");
    group.entryName = group.names.empty() ? MatchKey(name) : Upper(group.names.front());
    for (const std::string& cn : group.names) {
        if (MatchKey(cn) == MatchKey(name)) group.entryName = Upper(cn);
    }
    group.owners = e.Values("owner");
    group.contacts = e.Values("contactusername");
    group.direct = e.Values("explicitmember");
    group.subGroups = e.Values("subgroup");
    group.superGroups = e.Values("supergroup");
    group.objectClasses = e.Values("objectclass");
}
const Verdict kGranted{};

std::string GroupFilter(const std::string& name) {
    return "(&(objectClass=groupOfUniqueNames)(cn=" + EscapeFilterValue(name) + "))";
}

const std::vector<std::string> kGroupAttributes = {
    "cn", "owner", "contactUserName", "explicitMember", "subGroup", "superGroup", "objectClass"};

}  // namespace

bool Group::IsRoleGroup() const {
    for (const std::string& cn : names) {
        if (zn::IsRoleGroupName(cn)) return true;
    }
    return false;
}

bool HoldsDN(const std::vector<std::string>& dns, const std::string& dn) {
    const std::string wanted = NormalDN(dn);
    for (const std::string& value : dns) {
        if (NormalDN(value) == wanted) return true;
    }
    return false;
}

Verdict ChangeApplier::Impl::Unreadable() const {
    return Refuse(kDirectoryUnreadableCode,
                  FormatText(kDirectoryUnreadableFormat, directory.LastError().c_str()));
}

Verdict ChangeApplier::Impl::FindPerson(const std::string& user, std::string& dn, bool& found) {
    std::vector<Entry> entries;
    std::string filter = "(&(objectClass=organizationalPerson)(uid=" + EscapeFilterValue(user) + "))";
    if (directory.Search(directory.BaseDN(), true, filter, {"uid"}, entries) != LDAP_SUCCESS) {
        return Unreadable();
    }
    // As the library does: the last of several people with the name.
    found = !entries.empty();
    dn = found ? entries.back().dn : std::string();
    return kGranted;
}

Verdict ChangeApplier::Impl::FindGroup(const std::string& name, Group& group, bool& found) {
    std::vector<Entry> entries;
    if (directory.Search(directory.BaseDN(), true, GroupFilter(name), kGroupAttributes, entries) !=
        LDAP_SUCCESS) {
        return Unreadable();
    }
    found = !entries.empty();
    if (found) {
        // Texts name the group as the request did.
        ReadGroupEntry(entries.front(), name, group);
    }
    return kGranted;
}

const std::string* Snapshot::Person(const std::string& name) const {
    auto found = people.find(Lower(name));
    return found != people.end() ? &found->second : nullptr;
}

const Group* Snapshot::FoundGroup(const std::string& name) const {
    auto found = groups.find(MatchKey(name));
    return found != groups.end() ? &found->second : nullptr;
}

Verdict ChangeApplier::Impl::ReadAtOnce(const std::vector<std::string>& people,
                                        const std::vector<std::string>& groups, Snapshot& snapshot) {
    std::vector<Directory::Query> queries(2);
    std::string anyPerson, anyGroup;
    for (const std::string& name : people) {
        if (!name.empty()) anyPerson += "(uid=" + EscapeFilterValue(name) + ")";
    }
    for (const std::string& name : groups) {
        if (!name.empty()) anyGroup += "(cn=" + EscapeFilterValue(name) + ")";
    }
    // The people and the administrators in one search (no person holds uniqueMember, the
    // administrators group has no uid); the group apart, as its eventual members may be many.
    queries[0].base = queries[1].base = directory.BaseDN();
    const std::string personFilter = anyPerson.empty() ? "(!(objectClass=*))"
                                                         : "(&(objectClass=organizationalPerson)(|" + anyPerson + "))";
    queries[0].filter = "(|" + personFilter + GroupFilter(kAdministratorsGroup) + ")";
    queries[0].attributes = {"uid", "uniqueMember"};
    queries[1].filter = "(&(objectClass=groupOfUniqueNames)(|" + anyGroup + "))";
    queries[1].attributes = kGroupAttributes;
    if (anyGroup.empty()) queries[1].filter = "(!(objectClass=*))";
    if (directory.SearchAll(queries) != LDAP_SUCCESS) return Unreadable();
    snapshot = Snapshot();
    // As the library does: the last of several people with the name, the first group.
    for (const Entry& e : queries[0].entries) {
        for (const std::string& name : people) {
            for (const std::string& uid : e.Values("uid")) {
                if (Lower(uid) == Lower(name)) snapshot.people[Lower(name)] = e.dn;
            }
        }
    }
    for (const Entry& e : queries[1].entries) {
        for (const std::string& name : groups) {
            bool named = false;
            for (const std::string& cn : e.Values("cn")) named = named || MatchKey(cn) == MatchKey(name);
            if (!named || snapshot.groups.count(MatchKey(name)) != 0) continue;
            ReadGroupEntry(e, name, snapshot.groups[MatchKey(name)]);
        }
    }
    for (const Entry& e : queries[0].entries) {
        const std::vector<std::string>& members = e.Values("uniquemember");
        snapshot.administrators.insert(snapshot.administrators.end(), members.begin(), members.end());
    }
    return kGranted;
}

Verdict ChangeApplier::Impl::IsEventualMember(const std::string& groupName,
                                              const std::string& personDN, bool& yes) {
    std::vector<Entry> entries;
    std::string filter = "(&(objectClass=groupOfUniqueNames)(cn=" + EscapeFilterValue(groupName) +
                         ")(uniqueMember=" + EscapeFilterValue(personDN) + "))";
    if (directory.Search(directory.BaseDN(), true, filter, {"cn"}, entries) != LDAP_SUCCESS) {
        return Unreadable();
    }
    yes = !entries.empty();
    return kGranted;
}

Verdict ChangeApplier::Impl::IsEventualSuperGroup(const Group& group,
                                                  const std::string& candidateDN, bool& yes) {
    // Breadth first over superGroup with a visited set: existing data may hold a cycle.
    const std::string wanted = NormalDN(candidateDN);
    std::set<std::string> seen{NormalDN(group.dn)};
    std::deque<std::string> next(group.superGroups.begin(), group.superGroups.end());
    yes = false;
    while (!next.empty()) {
        std::string dn = next.front();
        next.pop_front();
        std::string key = NormalDN(dn);
        if (key == wanted) {
            yes = true;
            return kGranted;
        }
        if (!seen.insert(key).second) continue;
        std::vector<Entry> entries;
        if (directory.Search(dn, false, "(objectClass=*)", {"superGroup"}, entries) != LDAP_SUCCESS) {
            return Unreadable();
        }
        for (const Entry& e : entries) {
            for (const std::string& parent : e.Values("supergroup")) next.push_back(parent);
        }
    }
    return kGranted;
}

Verdict ChangeApplier::Impl::ReadSchema() {
    if (schemaRead) return kGranted;
    std::vector<Entry> entries;
    if (directory.Search("cn=Subschema", false, "(objectClass=subschema)",
                         {"objectClasses", "attributeTypes"}, entries) != LDAP_SUCCESS ||
        entries.empty()) {
        return Unreadable();
    }
    for (const std::string& text : entries.front().Values("objectclasses")) {
        int code = 0;
        const char* error = nullptr;
        LDAPObjectClass* oc = ldap_str2objectclass(text.c_str(), &code, &error, LDAP_SCHEMA_ALLOW_ALL);
        if (oc == nullptr) continue;
        std::set<std::string> allowed;
        for (char** list : {oc->oc_at_oids_must, oc->oc_at_oids_may}) {
            for (int i = 0; list != nullptr && list[i] != nullptr; ++i) allowed.insert(Lower(list[i]));
        }
        for (int n = 0; oc->oc_names != nullptr && oc->oc_names[n] != nullptr; ++n) {
            allowedByClass.emplace_back(Lower(oc->oc_names[n]), allowed);
            for (int s = 0; oc->oc_sup_oids != nullptr && oc->oc_sup_oids[s] != nullptr; ++s) {
                superClasses.emplace_back(Lower(oc->oc_names[n]), Lower(oc->oc_sup_oids[s]));
            }
        }
        ldap_objectclass_free(oc);
    }
    for (const std::string& text : entries.front().Values("attributetypes")) {
        int code = 0;
        const char* error = nullptr;
        LDAPAttributeType* at = ldap_str2attributetype(text.c_str(), &code, &error, LDAP_SCHEMA_ALLOW_ALL);
        if (at == nullptr) continue;
        if (at->at_names != nullptr && at->at_names[0] != nullptr) {
            const std::string first = Lower(at->at_names[0]);
            for (int n = 0; at->at_names[n] != nullptr; ++n) attributeTypes[Lower(at->at_names[n])] = first;
            if (at->at_oid != nullptr) attributeTypes[Lower(at->at_oid)] = first;
        }
        ldap_attributetype_free(at);
    }
    schemaRead = true;
    return kGranted;
}

std::string ChangeApplier::Impl::AttributeType(const std::string& attribute) const {
    // An attribute description may carry options ("description;lang-de"): the type is
    // what comes before them.
    const std::string type = Lower(attribute.substr(0, attribute.find(';')));
    auto found = attributeTypes.find(type);
    return found != attributeTypes.end() ? found->second : type;
}

Verdict ChangeApplier::Impl::ActiveCompanies(std::vector<std::string>& companies) {
    std::vector<Entry> entries;
    if (directory.Search(directory.BaseDN(), true, "(&(objectclass=groupOfNames)(cn=Companies))",
                         {"member"}, entries) != LDAP_SUCCESS) {
        return Unreadable();
    }
    companies.clear();
    for (const Entry& e : entries) {
        for (const std::string& value : e.Values("member")) companies.push_back(value);
    }
    return kGranted;
}

Verdict ChangeApplier::Impl::AllowedAttribute(const Group& group, const std::string& attribute,
                                              bool& yes) {
    Verdict read = ReadSchema();
    if (!read.Ok()) return read;
    // The classes of the entry and all their superclasses.
    std::set<std::string> classes;
    std::deque<std::string> next;
    for (const std::string& oc : group.objectClasses) next.push_back(Lower(oc));
    while (!next.empty()) {
        std::string oc = next.front();
        next.pop_front();
        if (!classes.insert(oc).second) continue;
        for (const auto& [name, parent] : superClasses) {
            if (name == oc) next.push_back(parent);
        }
    }
    const std::string wanted = AttributeType(attribute);
    yes = false;
    for (const auto& [name, allowed] : allowedByClass) {
        if (classes.count(name) == 0) continue;
        for (const std::string& type : allowed) yes = yes || AttributeType(type) == wanted;
    }
    return kGranted;
}

// ---------------------------------------------------------------------------------------

Verdict ChangeApplier::Impl::Requester(const std::string& user, std::string& dn) {
    if (user.empty()) return Refuse(status::kMissingUserName, "No username specified.");
    if (user.size() > kMaxUserNameLength) {
        return Refuse(status::kInvalidUserName, "Specified username is not valid.");
    }
    bool found = false;
    Verdict read = FindPerson(user, dn, found);
    if (!read.Ok()) return read;
    return found ? kGranted : Refuse(status::kInvalidUserName, user + " is not a valid username.");
}

Verdict ChangeApplier::Impl::Requester(const std::string& user, const Snapshot& snapshot,
                                       std::string& dn) const {
    if (user.empty()) return Refuse(status::kMissingUserName, "No username specified.");
    if (user.size() > kMaxUserNameLength) {
        return Refuse(status::kInvalidUserName, "Specified username is not valid.");
    }
    const std::string* found = snapshot.Person(user);
    if (found == nullptr) return Refuse(status::kInvalidUserName, user + " is not a valid username.");
    dn = *found;
    return kGranted;
}

Verdict ChangeApplier::Impl::ExistingGroup(const std::string& name, const Snapshot& snapshot,
                                           Group& group) const {
    if (name.empty()) return Refuse(status::kMissingGroupName, "No group name specified.");
    if (name.size() > kMaxGroupNameLength) {
        return Refuse(status::kInvalidGroupName, "Specified group name is not valid.");
    }
    const Group* found = snapshot.FoundGroup(name);
    if (found == nullptr) return Refuse(status::kInvalidGroupName, name + " is not a valid group.");
    group = *found;
    return kGranted;
}

Verdict ChangeApplier::Impl::ExistingGroup(const std::string& name, Group& group) {
    if (name.empty()) return Refuse(status::kMissingGroupName, "No group name specified.");
    if (name.size() > kMaxGroupNameLength) {
        return Refuse(status::kInvalidGroupName, "Specified group name is not valid.");
    }
    bool found = false;
    Verdict read = FindGroup(name, group, found);
    if (!read.Ok()) return read;
    return found ? kGranted : Refuse(status::kInvalidGroupName, name + " is not a valid group.");
}

Verdict ChangeApplier::Impl::Privilege(Rule rule, const std::string& user,
                                       const std::string& userDN, const Group& group) {
    if (rule == Rule::kPublicOwnerOrContact && group.owners.empty() && group.contacts.empty()) {
        return kGranted;
    }
    bool admin = false;
    Verdict read = IsEventualMember(kAdministratorsGroup, userDN, admin);
    if (!read.Ok()) return read;
    return Privilege(rule, user, userDN, group, admin ? std::vector<std::string>{userDN}
                                                      : std::vector<std::string>());
}

Verdict ChangeApplier::Impl::Privilege(Rule rule, const std::string& user,
                                       const std::string& userDN, const Group& group,
                                       const std::vector<std::string>& administrators) {
    if (rule == Rule::kPublicOwnerOrContact && group.owners.empty() && group.contacts.empty()) {
        return kGranted;
    }
    if (HoldsDN(administrators, userDN) || HoldsDN(group.owners, userDN)) return kGranted;
    if (rule == Rule::kOwner) {
        return Refuse(status::kNotOwner,
                      FormatText("%s is not a valid owner of group %s.", user.c_str(), group.name.c_str()));
    }
    if (HoldsDN(group.contacts, userDN)) return kGranted;
    return Refuse(status::kNotContact,
                  FormatText("%s is not a valid contact of group %s.", user.c_str(), group.name.c_str()));
}

Verdict ChangeApplier::Impl::RoleGroupsAllow(const Group& group, const std::string& user,
                                             const std::string& userDN,
                                             const std::vector<std::string>& administrators) {
    if (HoldsDN(administrators, userDN)) return kGranted;
    // Breadth first with a visited set, as existing data may hold a cycle. The group itself
    // counts, so a role group's own contacts and the public rule grant nothing here; every
    // cn of an entry counts, as the directory finds the entry by any of them.
    std::deque<std::string> next{group.dn};
    std::set<std::string> seen;
    while (!next.empty()) {
        const std::string dn = next.front();
        next.pop_front();
        if (!seen.insert(NormalDN(dn)).second) continue;
        std::vector<Entry> entries;
        if (directory.Search(dn, false, "(objectClass=*)", {"cn", "owner", "superGroup"}, entries) !=
            LDAP_SUCCESS) {
            return Unreadable();
        }
        for (const Entry& e : entries) {
            for (const std::string& name : e.Values("cn")) {
                if (zn::IsRoleGroupName(name) && !HoldsDN(e.Values("owner"), userDN)) {
                    return Refuse(status::kNotOwner,
                                  FormatText("%s is not a valid owner of group %s.", user.c_str(),
                                             Upper(name).c_str()));
                }
            }
            for (const std::string& parent : e.Values("supergroup")) next.push_back(parent);
        }
    }
    return kGranted;
}

Verdict ChangeApplier::Impl::RoleGroupGuard(const Group& group, const std::string& user,
                                            const std::string& userDN, bool admin,
                                            bool ownerMay) const {
    if (admin || !group.IsRoleGroup()) return kGranted;
    if (!ownerMay) {
        return Refuse(status::kDeleteNotAllowed, "Insufficient privilege or group protection violation.");
    }
    if (HoldsDN(group.owners, userDN)) return kGranted;
    return Refuse(status::kNotOwner,
                  FormatText("%s is not a valid owner of group %s.", user.c_str(), group.name.c_str()));
}

Verdict ChangeApplier::Impl::EntryTakes(const Group& group,
                                        std::initializer_list<const char*> attributes) {
    for (const char* attribute : attributes) {
        bool yes = false;
        Verdict read = AllowedAttribute(group, attribute, yes);
        if (!read.Ok()) return read;
        if (!yes) {
            return Refuse(kEntryCannotTakeCode, FormatText(kEntryCannotTakeFormat, group.entryName.c_str(),
                                                           attribute));
        }
    }
    return kGranted;
}

Verdict ChangeApplier::Impl::ValidNewName(const std::string& name) {
    if (name.empty()) return Refuse(status::kMissingGroupName, "No group name specified.");
    if (name.size() > kMaxGroupNameLength) {
        return Refuse(status::kInvalidGroupName, "Specified group name is not valid.");
    }
    const Verdict invalid = Refuse(status::kInvalidNewGroupName, name + " is not a valid new group name.");
    for (char c : Upper(name)) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '.' || c == '_')) return invalid;
    }
    Group existing;
    bool found = false;
    Verdict read = FindGroup(Upper(name), existing, found);
    if (!read.Ok()) return read;
    return found ? invalid : kGranted;
}

}  // namespace zn::server
