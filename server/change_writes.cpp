// The writes of each accepted change, and the eventual members kept true after them. Every
// write is safe to repeat, so that a change cut short by a crash is completed by running it
// again.
#include <ldap.h>

#include <cctype>
#include <deque>
#include <map>
#include <set>
#include <tuple>

#include "server/text.h"
#include "server/applier_impl.h"
#include "server/change_codes.h"
#include "session/format.h"

namespace zn::server {
namespace {

const Verdict kDone{};


// The values of `attribute` in a group's entry; `exists` false when the entry is gone.
int ReadValues(Directory& directory, const std::string& dn, const std::string& attribute,
               std::vector<std::string>& values, bool& exists) {
    std::vector<Entry> entries;
    int rc = directory.Search(dn, false, "(objectClass=*)", {attribute}, entries);
    exists = rc == LDAP_SUCCESS && !entries.empty();
    values = exists ? entries.front().Values(Lower(attribute)) : std::vector<std::string>();
    return rc;
}

// Adds or deletes one value where it is missing or present; repeated, it changes nothing.
int EnsureValue(Directory& directory, const std::string& dn, const std::string& attribute,
                const std::string& value, bool present) {
    int rc = directory.Modify(dn, present ? LDAP_MOD_ADD : LDAP_MOD_DELETE, attribute, {value});
    if ((present && rc == LDAP_TYPE_OR_VALUE_EXISTS) || (!present && rc == LDAP_NO_SUCH_ATTRIBUTE)) {
        return LDAP_SUCCESS;
    }
    return rc;
}
// Every subGroup and superGroup value that names `dn` is replaced by `replacement`, or
// removed when there is none; repeated, it changes nothing.
int RewriteReferences(Directory& directory, const std::string& dn, const std::string& replacement) {
    std::vector<Entry> referring;
    const std::string value = EscapeFilterValue(dn);
    int rc = directory.Search(directory.BaseDN(), true,
                              "(|(subGroup=" + value + ")(superGroup=" + value + "))",
                              {"subGroup", "superGroup"}, referring);
    const std::string wanted = NormalDN(dn);
    for (const Entry& e : referring) {
        for (const char* attribute : {"subGroup", "superGroup"}) {
            for (const std::string& v : e.Values(Lower(attribute))) {
                if (rc != LDAP_SUCCESS || NormalDN(v) != wanted) continue;
                if (!replacement.empty()) rc = EnsureValue(directory, e.dn, attribute, replacement, true);
                if (rc == LDAP_SUCCESS) rc = EnsureValue(directory, e.dn, attribute, v, false);
            }
        }
    }
    return rc;
}
}  // namespace

Verdict ChangeApplier::Impl::Refused() const {
    return Verdict{kDirectoryRefusedCode,
                   FormatText(kDirectoryRefusedFormat, directory.LastError().c_str())};
}

Verdict ChangeApplier::Impl::Apply(const PlanDetails& d, bool& firstWriteDone) {
    firstWriteDone = false;
    const std::string& op = d.operation;
    int rc = LDAP_SUCCESS;
    // The members whose place the change can move: the person added or taken, the members
    // of the group linked, unlinked or deleted.
    std::set<std::string> scope;
    for (const std::string& dn : d.values) scope.insert(NormalDN(dn));
    if (op == "none") {
        return kDone;
    }
    if (op == "add-value" || op == "delete-value") {
        rc = EnsureValue(directory, d.group, d.attribute, d.values.front(), op == "add-value");
        if (rc != LDAP_SUCCESS) return Refused();
        firstWriteDone = true;
    } else if (op == "add-member" || op == "delete-member") {
        // The direct and the eventual member in one write. When the eventual members were
        // not as expected (or this runs again after a crash), the direct member alone, and
        // the group's eventual members recomputed.
        const bool add = op == "add-member";
        const int operation = add ? LDAP_MOD_ADD : LDAP_MOD_DELETE;
        rc = directory.Modify(d.group, {{operation, d.attribute, d.values}, {operation, "uniqueMember", d.values}});
        if (rc == LDAP_TYPE_OR_VALUE_EXISTS || rc == LDAP_NO_SUCH_ATTRIBUTE) {
            if (EnsureValue(directory, d.group, d.attribute, d.values.front(), add) != LDAP_SUCCESS) return Refused();
            firstWriteDone = true;
            Verdict own = Recompute({d.group}, &scope);
            if (!own.Ok()) return own;
        } else if (rc != LDAP_SUCCESS) {
            return Refused();
        }
        firstWriteDone = true;
    } else if (op == "link" || op == "unlink") {
        const bool present = op == "link";
        std::vector<std::string> members;
        bool exists = false;
        if (ReadValues(directory, d.target, "uniqueMember", members, exists) != LDAP_SUCCESS) return Refused();
        for (const std::string& dn : members) scope.insert(NormalDN(dn));
        if (EnsureValue(directory, d.group, "subGroup", d.target, present) != LDAP_SUCCESS) return Refused();
        firstWriteDone = true;
        if (EnsureValue(directory, d.target, "superGroup", d.group, present) != LDAP_SUCCESS) {
            return present ? TakeBack(d, scope, Refused(), firstWriteDone) : Refused();
        }
    } else if (op == "unmirror") {
        // Half a link, taken away: whichever side is there, of entries that may be gone.
        for (const auto& [dn, attribute, value] : {std::tuple{d.group, "subGroup", d.target},
                                                   std::tuple{d.target, "superGroup", d.group}}) {
            rc = EnsureValue(directory, dn, attribute, value, false);
            if (rc != LDAP_SUCCESS && rc != LDAP_NO_SUCH_OBJECT) return Refused();
        }
        firstWriteDone = true;
        return kDone;
    } else if (op == "create") {
        if (d.unit == "zngroups") {
            rc = directory.Add(d.unitDN, {{LDAP_MOD_ADD, "objectClass", {"top", "organizationalUnit"}},
                                          {LDAP_MOD_ADD, "ou", {d.unit}}});
            if (rc != LDAP_SUCCESS && rc != LDAP_ALREADY_EXISTS) return Refused();
        }
        std::vector<Directory::Change> entry = {
            {LDAP_MOD_ADD, "objectClass", {"top", "groupOfUniqueNames", "znGroup"}},
            {LDAP_MOD_ADD, "cn", {d.values.front()}}};
        // Plans of earlier versions name no owner.
        if (d.values.size() > 1) entry.push_back({LDAP_MOD_ADD, "owner", {d.values[1]}});
        rc = directory.Add(d.target, entry);
        if (rc != LDAP_SUCCESS && rc != LDAP_ALREADY_EXISTS) return Refused();
        firstWriteDone = true;
        if (!d.group.empty()) {
            if (EnsureValue(directory, d.group, "subGroup", d.target, true) != LDAP_SUCCESS ||
                EnsureValue(directory, d.target, "superGroup", d.group, true) != LDAP_SUCCESS) {
                return TakeBack(d, scope, Refused(), firstWriteDone);
            }
        }
    } else if (op == "delete") {
        rc = directory.Delete(d.target);
        if (rc != LDAP_SUCCESS && rc != LDAP_NO_SUCH_OBJECT) return Refused();
        firstWriteDone = true;
        if (RewriteReferences(directory, d.target, std::string()) != LDAP_SUCCESS) return Refused();
    } else if (op == "modify") {
        std::string dn = d.group;
        if (!d.newRdn.empty()) {
            const std::string parent = d.group.substr(d.group.find(',') + 1);
            const std::string renamed = d.newRdn + "," + parent;
            rc = directory.Rename(d.group, d.newRdn);
            // Repeated after a crash, the old entry is gone and the new one is there.
            if (rc == LDAP_NO_SUCH_OBJECT) {
                std::vector<std::string> ignored;
                bool exists = false;
                ReadValues(directory, renamed, "cn", ignored, exists);
                rc = exists ? LDAP_SUCCESS : rc;
            }
            if (rc != LDAP_SUCCESS) return Refused();
            firstWriteDone = true;
            dn = renamed;
            if (RewriteReferences(directory, d.group, renamed) != LDAP_SUCCESS) return Refused();
        }
        if (!d.company.empty()) {
            if (directory.Modify(dn, LDAP_MOD_REPLACE, "companyNumber", {d.company}) != LDAP_SUCCESS) {
                return Refused();
            }
            firstWriteDone = true;
        }
        return kDone;
    } else if (op == "repair") {
        // One modification, so that it is whole or absent; what is already as wanted is left
        // out, so that running it again changes nothing.
        std::vector<std::string> current;
        bool exists = false;
        if (ReadValues(directory, d.group, "uniqueMember", current, exists) != LDAP_SUCCESS) return Refused();
        std::set<std::string> now;
        for (const std::string& dn : current) now.insert(NormalDN(dn));
        Directory::Change add{LDAP_MOD_ADD, "uniqueMember", {}};
        Directory::Change remove{LDAP_MOD_DELETE, "uniqueMember", {}};
        for (const std::string& dn : d.values) {
            if (now.count(NormalDN(dn)) == 0) add.values.push_back(dn);
        }
        for (const std::string& dn : d.removals) {
            if (now.count(NormalDN(dn)) != 0) remove.values.push_back(dn);
        }
        std::vector<Directory::Change> changes;
        if (!remove.values.empty()) changes.push_back(remove);
        if (!add.values.empty()) changes.push_back(add);
        if (exists && !changes.empty() && directory.Modify(d.group, changes) != LDAP_SUCCESS) return Refused();
        firstWriteDone = true;
        return kDone;
    } else if (op == "replace") {
        rc = directory.Modify(d.group, LDAP_MOD_REPLACE, d.attribute, d.values);
        if (rc != LDAP_SUCCESS && !(d.values.empty() && rc == LDAP_NO_SUCH_ATTRIBUTE)) return Refused();
        firstWriteDone = true;
        return kDone;
    } else {
        return Verdict{kDirectoryRefusedCode, "Unknown plan " + op + "."};
    }
    Verdict closure = Recompute(d.recompute, &scope);
    return !closure.Ok() && op == "link" ? TakeBack(d, scope, closure, firstWriteDone) : closure;
}

Verdict ChangeApplier::Impl::TakeBack(const PlanDetails& d, const std::set<std::string>& scope,
                                      const Verdict& failure, bool& firstWriteDone) {
    // A directory that could not be asked may have taken the write: the change stays
    // pending and is completed when it answers again.
    if (IsConnectionFailure(directory.LastCode())) return failure;
    auto gone = [](int rc) { return rc == LDAP_SUCCESS || rc == LDAP_NO_SUCH_OBJECT; };
    bool undone = gone(EnsureValue(directory, d.target, "superGroup", d.group, false)) &&
                  gone(EnsureValue(directory, d.group, "subGroup", d.target, false));
    if (undone && d.operation == "create") undone = gone(directory.Delete(d.target));
    // The eventual members the link brought up the hierarchy go with it.
    if (undone && d.operation == "link") undone = Recompute({d.group}, &scope).Ok();
    if (undone) firstWriteDone = false;
    return failure;
}

ChangeApplier::Reached ChangeApplier::Impl::FirstWriteReached(const PlanDetails& d, Verdict& failure) {
    std::vector<std::string> values;
    bool exists = false;
    auto read = [&](const std::string& dn, const std::string& attribute) {
        if (ReadValues(directory, dn, attribute, values, exists) != LDAP_SUCCESS) {
            failure = Verdict{kDirectoryUnreadableCode,
                              FormatText(kDirectoryUnreadableFormat, directory.LastError().c_str())};
            return false;
        }
        return true;
    };
    auto answer = [](bool yes) { return yes ? Reached::kYes : Reached::kNo; };
    const std::string& op = d.operation;
    if (op == "add-value" || op == "delete-value" || op == "add-member" || op == "delete-member") {
        if (!read(d.group, d.attribute)) return Reached::kUnknown;
        return answer(HoldsDN(values, d.values.front()) == (op == "add-value" || op == "add-member"));
    }
    if (op == "unmirror") return Reached::kYes;  // taking away again takes nothing
    if (op == "link" || op == "unlink") {
        if (!read(d.group, "subGroup")) return Reached::kUnknown;
        return answer(HoldsDN(values, d.target) == (op == "link"));
    }
    if (op == "create" || op == "delete") {
        if (!read(d.target, "cn")) return Reached::kUnknown;
        return answer(exists == (op == "create"));
    }
    if (op == "modify") {
        if (!d.newRdn.empty()) {
            if (!read(d.newRdn + "," + d.group.substr(d.group.find(',') + 1), "cn")) return Reached::kUnknown;
            return answer(exists);
        }
        if (!read(d.group, "companyNumber")) return Reached::kUnknown;
        return answer(values.size() == 1 && values.front() == d.company);
    }
    if (op == "replace") {
        if (!read(d.group, d.attribute)) return Reached::kUnknown;
        return answer(values == d.values);
    }
    if (op == "repair") {
        if (!read(d.group, "uniqueMember")) return Reached::kUnknown;
        bool done = true;
        for (const std::string& dn : d.values) done = done && HoldsDN(values, dn);
        for (const std::string& dn : d.removals) done = done && !HoldsDN(values, dn);
        return answer(done);
    }
    return Reached::kNo;
}

namespace {

bool IsPlain(const Entry& e) {
    for (const std::string& oc : e.Values("objectclass")) {
        if (Lower(oc) == "zngroup") return false;
    }
    return true;
}

}  // namespace

// Eventual members of a group = its direct members and the eventual members of its
// subgroups. A change below a group touches it and everything above it, and nothing else:
// those groups are recomputed children first, each once, from their children's values.
Verdict ChangeApplier::Impl::Recompute(const std::vector<std::string>& starts,
                                       const std::set<std::string>* scope) {
    // Only the members the change can have moved are weighed: a closure that some old data
    // contradicts is not rewritten on the side of an unrelated change.
    auto inScope = [scope](const std::string& key) { return scope == nullptr || scope->count(key) != 0; };
    struct Node {
        std::string dn;
        std::vector<std::string> direct, subs, supers, current;
        bool plain = false;  // of a class that cannot hold superGroup
    };
    std::map<std::string, Node> affected;  // by normal DN
    std::deque<std::string> next(starts.begin(), starts.end());
    while (!next.empty()) {
        std::string dn = next.front();
        next.pop_front();
        std::string key = NormalDN(dn);
        if (affected.count(key) != 0) continue;
        std::vector<Entry> entries;
        if (directory.Search(
                dn, false, "(objectClass=*)",
                {"explicitMember", "subGroup", "superGroup", "uniqueMember", "objectClass"},
                entries) != LDAP_SUCCESS) {
            return Refused();
        }
        if (entries.empty()) continue;  // gone: nothing to keep true
        const Entry& e = entries.front();
        Node node{e.dn,
                  e.Values("explicitmember"),
                  e.Values("subgroup"),
                  e.Values("supergroup"),
                  e.Values("uniquemember"),
                  IsPlain(e)};
        for (const std::string& parent : node.supers) next.push_back(parent);
        affected.emplace(key, std::move(node));
    }
    // Children outside the affected set keep their values; read each once.
    std::map<std::string, std::vector<std::string>> outside;
    std::map<std::string, Node> outsideLinks;
    for (auto& [key, node] : affected) {
        for (const std::string& sub : node.subs) {
            std::string subKey = NormalDN(sub);
            if (affected.count(subKey) != 0 || outside.count(subKey) != 0) continue;
            std::vector<Entry> entries;
            if (directory.Search(sub, false, "(objectClass=*)",
                                 {"uniqueMember", "superGroup", "objectClass"},
                                 entries) != LDAP_SUCCESS) {
                return Refused();
            }
            outside[subKey] = entries.empty() ? std::vector<std::string>()
                                              : entries.front().Values("uniquemember");
            if (!entries.empty()) {
                outsideLinks[subKey] = Node{sub, {},
                                            {},  entries.front().Values("supergroup"),
                                            {},  IsPlain(entries.front())};
            }
        }
    }
    // A link counts when both sides hold it, as the checks and the repair count it: half a
    // link (a change the directory refused part way, data written around the server) moves
    // no members. A child of a plain class is linked by its parent's side alone.
    auto linked = [&](const Node& parent, const std::string& sub) {
        const std::string subKey = NormalDN(sub);
        auto found = affected.find(subKey);
        const Node* child = found != affected.end() ? &found->second : nullptr;
        if (child == nullptr && outsideLinks.count(subKey) != 0) child = &outsideLinks.at(subKey);
        return child != nullptr && (child->plain || HoldsDN(child->supers, parent.dn));
    };
    std::map<std::string, std::vector<std::string>> linkedSubs, linkedSupers;
    for (const auto& [key, node] : affected) {
        for (const std::string& sub : node.subs) {
            if (linked(node, sub)) linkedSubs[key].push_back(sub);
        }
        for (const std::string& parent : node.supers) {
            auto found = affected.find(NormalDN(parent));
            if (found != affected.end() && HoldsDN(found->second.subs, node.dn))
                linkedSupers[key].push_back(parent);
        }
    }
    std::map<std::string, int> pendingChildren;
    for (auto& [key, node] : affected) {
        node.subs = linkedSubs[key];
        node.supers = linkedSupers[key];
        int inside = 0;
        for (const std::string& sub : node.subs)
            inside += affected.count(NormalDN(sub)) != 0 ? 1 : 0;
        pendingChildren[key] = inside;
    }
    std::map<std::string, std::map<std::string, std::string>> computed;  // normal → spelling
    std::deque<std::string> ready;
    for (const auto& [key, count] : pendingChildren) {
        if (count == 0) ready.push_back(key);
    }
    auto compute = [&](const std::string& key, bool viaDescendants) {
        std::map<std::string, std::string> members;
        auto admit = [&](const std::string& dn) {
            std::string memberKey = NormalDN(dn);
            if (inScope(memberKey)) members.emplace(std::move(memberKey), dn);
        };
        const Node& node = affected.at(key);
        for (const std::string& dn : node.direct) admit(dn);
        std::set<std::string> seen{key};
        std::deque<std::string> subs(node.subs.begin(), node.subs.end());
        while (!subs.empty()) {
            std::string subKey = NormalDN(subs.front());
            subs.pop_front();
            if (!seen.insert(subKey).second) continue;
            if (!viaDescendants && computed.count(subKey) != 0) {
                members.insert(computed[subKey].begin(), computed[subKey].end());
            } else if (affected.count(subKey) != 0) {
                // Caught in a cycle: walk its descendants' direct members instead.
                const Node& sub = affected.at(subKey);
                for (const std::string& dn : sub.direct) admit(dn);
                subs.insert(subs.end(), sub.subs.begin(), sub.subs.end());
            } else {
                for (const std::string& dn : outside[subKey]) admit(dn);
            }
        }
        computed[key] = std::move(members);
    };
    while (!ready.empty()) {
        std::string key = ready.front();
        ready.pop_front();
        compute(key, false);
        for (const std::string& parent : affected.at(key).supers) {
            auto found = pendingChildren.find(NormalDN(parent));
            if (found != pendingChildren.end() && --found->second == 0) ready.push_back(found->first);
        }
    }
    for (const auto& [key, count] : pendingChildren) {
        if (computed.count(key) == 0) compute(key, true);
    }
    for (const auto& [key, node] : affected) {
        std::map<std::string, std::string> now;
        for (const std::string& dn : node.current) {
            std::string memberKey = NormalDN(dn);
            if (inScope(memberKey)) now.emplace(std::move(memberKey), dn);
        }
        std::vector<Directory::Change> changes;
        Directory::Change add{LDAP_MOD_ADD, "uniqueMember", {}};
        Directory::Change remove{LDAP_MOD_DELETE, "uniqueMember", {}};
        for (const auto& [memberKey, spelling] : computed[key]) {
            if (now.count(memberKey) == 0) add.values.push_back(spelling);
        }
        for (const auto& [memberKey, spelling] : now) {
            if (computed[key].count(memberKey) == 0) remove.values.push_back(spelling);
        }
        if (!remove.values.empty()) changes.push_back(remove);
        if (!add.values.empty()) changes.push_back(add);
        if (!changes.empty() && directory.Modify(node.dn, changes) != LDAP_SUCCESS) return Refused();
    }
    return kDone;
}

namespace {

// Every group entry, by normal DN, with what the closure and the links are made of.
struct AllGroups {
    std::vector<Entry> entries;
    std::map<std::string, const Entry*> byDN;

    int Read(Directory& directory) {
        const int rc = directory.Search(
            directory.BaseDN(), true, "(objectClass=groupOfUniqueNames)",
            {"cn", "objectClass", "explicitMember", "subGroup", "superGroup", "uniqueMember"},
            entries);
        for (const Entry& e : entries) byDN.emplace(NormalDN(e.dn), &e);
        return rc;
    }
    const Entry* Find(const std::string& dn) const {
        auto found = byDN.find(NormalDN(dn));
        return found != byDN.end() ? found->second : nullptr;
    }
};

bool Derived(const Entry& e) {
    for (const std::string& oc : e.Values("objectclass")) {
        if (Lower(oc) == "zngroup") return true;
    }
    return false;
}

// Whether `child`, a subGroup value of `parent`, is linked to it: both sides hold the link,
// or the child is of a plain class, which cannot hold superGroup.
bool Linked(const Entry& parent, const Entry& child) {
    return !Derived(child) || HoldsDN(child.Values("supergroup"), parent.dn);
}

std::string NameOf(const Entry* e, const std::string& dn) {
    return e == nullptr || e->Values("cn").empty() ? dn : Upper(e->Values("cn").front());
}

}  // namespace

Verdict ChangeApplier::Impl::FindHalfLinks(std::vector<HalfLink>& halves) {
    AllGroups all;
    if (all.Read(directory) != LDAP_SUCCESS) return Refused();
    halves.clear();
    for (const Entry& e : all.entries) {
        for (const std::string& sub : e.Values("subgroup")) {
            const Entry* child = all.Find(sub);
            if (child == nullptr || !Linked(e, *child)) {
                halves.push_back({e.dn, sub, NameOf(&e, e.dn), NameOf(child, sub), true});
            }
        }
        for (const std::string& super : e.Values("supergroup")) {
            const Entry* parent = all.Find(super);
            if (parent == nullptr || !HoldsDN(parent->Values("subgroup"), e.dn)) {
                halves.push_back({super, e.dn, NameOf(parent, super), NameOf(&e, e.dn), false});
            }
        }
    }
    return kDone;
}

Verdict ChangeApplier::Impl::FindDrifts(std::vector<Drift>& drifts) {
    AllGroups all;
    if (all.Read(directory) != LDAP_SUCCESS) return Refused();
    const std::vector<Entry>& entries = all.entries;
    auto derived = Derived;
    drifts.clear();
    for (const Entry& e : entries) {
        if (!derived(e)) continue;
        // Everything reachable down the subgroups, with a visited set for old cycles: the
        // direct members of groups that derive theirs, and the members that plain groups
        // hold. A subgroup that is gone, or linked by half, adds nothing.
        std::map<std::string, std::string> closure;
        std::set<std::string> seen;
        std::deque<const Entry*> next{&e};
        while (!next.empty()) {
            const Entry* group = next.front();
            next.pop_front();
            if (!seen.insert(NormalDN(group->dn)).second) continue;
            const bool ours = derived(*group);
            for (const std::string& dn : group->Values(ours ? "explicitmember" : "uniquemember")) {
                closure.emplace(NormalDN(dn), dn);
            }
            if (!ours) continue;
            for (const std::string& sub : group->Values("subgroup")) {
                const Entry* child = all.Find(sub);
                if (child != nullptr && Linked(*group, *child)) next.push_back(child);
            }
        }
        Drift drift;
        drift.dn = e.dn;
        drift.name = e.Values("cn").empty() ? e.dn : Upper(e.Values("cn").front());
        std::set<std::string> stored;
        for (const std::string& dn : e.Values("uniquemember")) {
            stored.insert(NormalDN(dn));
            if (closure.count(NormalDN(dn)) == 0) drift.extra.push_back(dn);
        }
        for (const auto& [key, dn] : closure) {
            if (stored.count(key) == 0) drift.missing.push_back(dn);
        }
        if (!drift.missing.empty() || !drift.extra.empty()) drifts.push_back(std::move(drift));
    }
    return kDone;
}

}  // namespace zn::server
