// The writes of each accepted change, and the eventual members kept true after them. Every
// write is safe to repeat, so that a change cut short by a crash is completed by running it
// again.
#include <ldap.h>

#include <cctype>
#include <deque>
#include <map>

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
            Verdict own = Recompute({d.group});
            if (!own.Ok()) return own;
        } else if (rc != LDAP_SUCCESS) {
            return Refused();
        }
        firstWriteDone = true;
    } else if (op == "link" || op == "unlink") {
        const bool present = op == "link";
        if (EnsureValue(directory, d.group, "subGroup", d.target, present) != LDAP_SUCCESS) return Refused();
        firstWriteDone = true;
        if (EnsureValue(directory, d.target, "superGroup", d.group, present) != LDAP_SUCCESS) return Refused();
    } else if (op == "create") {
        if (d.unit == "zngroups") {
            rc = directory.Add(d.unitDN, {{LDAP_MOD_ADD, "objectClass", {"top", "organizationalUnit"}},
                                          {LDAP_MOD_ADD, "ou", {d.unit}}});
            if (rc != LDAP_SUCCESS && rc != LDAP_ALREADY_EXISTS) return Refused();
        }
        rc = directory.Add(d.target, {{LDAP_MOD_ADD, "objectClass", {"top", "groupOfUniqueNames", "znGroup"}},
                                      {LDAP_MOD_ADD, "cn", d.values}});
        if (rc != LDAP_SUCCESS && rc != LDAP_ALREADY_EXISTS) return Refused();
        firstWriteDone = true;
        if (!d.group.empty()) {
            if (EnsureValue(directory, d.group, "subGroup", d.target, true) != LDAP_SUCCESS ||
                EnsureValue(directory, d.target, "superGroup", d.group, true) != LDAP_SUCCESS) {
                return Refused();
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
    } else if (op == "replace") {
        rc = directory.Modify(d.group, LDAP_MOD_REPLACE, d.attribute, d.values);
        if (rc != LDAP_SUCCESS && !(d.values.empty() && rc == LDAP_NO_SUCH_ATTRIBUTE)) return Refused();
        firstWriteDone = true;
        return kDone;
    } else {
        return Verdict{kDirectoryRefusedCode, "Unknown plan " + op + "."};
    }
    return Recompute(d.recompute);
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
    return Reached::kNo;
}

// Eventual members of a group = its direct members and the eventual members of its
// subgroups. A change below a group touches it and everything above it, and nothing else:
// those groups are recomputed children first, each once, from their children's values.
Verdict ChangeApplier::Impl::Recompute(const std::vector<std::string>& starts) {
    struct Node {
        std::string dn;
        std::vector<std::string> direct, subs, supers, current;
    };
    std::map<std::string, Node> affected;  // by normal DN
    std::deque<std::string> next(starts.begin(), starts.end());
    while (!next.empty()) {
        std::string dn = next.front();
        next.pop_front();
        std::string key = NormalDN(dn);
        if (affected.count(key) != 0) continue;
        std::vector<Entry> entries;
        if (directory.Search(dn, false, "(objectClass=*)",
                             {"explicitMember", "subGroup", "superGroup", "uniqueMember"}, entries) != LDAP_SUCCESS) {
            return Refused();
        }
        if (entries.empty()) continue;  // gone: nothing to keep true
        const Entry& e = entries.front();
        Node node{e.dn, e.Values("explicitmember"), e.Values("subgroup"), e.Values("supergroup"),
                  e.Values("uniquemember")};
        for (const std::string& parent : node.supers) next.push_back(parent);
        affected.emplace(key, std::move(node));
    }
    // Children outside the affected set keep their values; read each once.
    std::map<std::string, std::vector<std::string>> outside;
    std::map<std::string, int> pendingChildren;
    for (auto& [key, node] : affected) {
        int inside = 0;
        for (const std::string& sub : node.subs) {
            std::string subKey = NormalDN(sub);
            if (affected.count(subKey) != 0) {
                ++inside;
            } else if (outside.count(subKey) == 0) {
                std::vector<std::string> values;
                bool exists = false;
                if (ReadValues(directory, sub, "uniqueMember", values, exists) != LDAP_SUCCESS) {
                    return Refused();
                }
                outside[subKey] = std::move(values);
            }
        }
        pendingChildren[key] = inside;
    }
    std::map<std::string, std::map<std::string, std::string>> computed;  // normal → spelling
    std::deque<std::string> ready;
    for (const auto& [key, count] : pendingChildren) {
        if (count == 0) ready.push_back(key);
    }
    auto compute = [&](const std::string& key, bool viaDescendants) {
        std::map<std::string, std::string> members;
        const Node& node = affected.at(key);
        for (const std::string& dn : node.direct) members.emplace(NormalDN(dn), dn);
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
                for (const std::string& dn : sub.direct) members.emplace(NormalDN(dn), dn);
                subs.insert(subs.end(), sub.subs.begin(), sub.subs.end());
            } else {
                for (const std::string& dn : outside[subKey]) members.emplace(NormalDN(dn), dn);
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
        for (const std::string& dn : node.current) now.emplace(NormalDN(dn), dn);
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

}  // namespace zn::server
