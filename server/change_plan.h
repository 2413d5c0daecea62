// What Apply writes for one accepted change, as the checks worked it out; kept in the
// journal with the pending change.
#pragma once

#include <string>
#include <vector>

namespace zn::server {

struct PlanDetails {
    // add-value, delete-value, link, unlink, create, delete, modify, replace, none
    std::string operation;
    std::string group;      // the entry written first (the parent of a link)
    std::string target;     // the child of a link; the entry created or deleted
    std::string attribute;  // of add-value, delete-value, replace
    std::vector<std::string> values;
    // Groups whose eventual members are recomputed, up the hierarchy, after the writes.
    std::vector<std::string> recompute;
    std::string newRdn;     // modify: "cn=NEW", empty when the name stays
    std::string company;    // modify: the new company number, empty when it stays
    std::string unitDN;     // create: the unit the group goes under
    std::string unit;       // create: its name, for an ou that is made on demand
    std::vector<std::string> removals;  // repair: eventual members to take out (`values` go in)

    std::string Encode() const;
    static bool Decode(const std::string& text, PlanDetails& details);
};

// Length-prefixed fields ("<length>:<bytes>"), so any bytes survive.
void PutField(std::string& out, const std::string& field);
bool TakeField(const std::string& in, std::size_t& at, std::string& field);

}  // namespace zn::server
