// What Apply writes for one accepted change, as the checks worked it out; kept in the
// journal with the pending change.
#include "server/change_plan.h"

#include <cstdlib>

#include "server/changes.h"

namespace zn::server {
namespace {

// Plans journalled by the previous version (without the created and deleted groups) are
// still read after an upgrade.
constexpr const char* kPlanMagic = "zngplan2";
constexpr const char* kPlanMagicBefore = "zngplan1";

void PutList(std::string& out, const std::vector<std::string>& list) {
    PutField(out, std::to_string(list.size()));
    for (const std::string& item : list) PutField(out, item);
}

bool TakeList(const std::string& in, std::size_t& at, std::vector<std::string>& list) {
    std::string count;
    if (!TakeField(in, at, count) || count.empty() || count.size() > 9) return false;
    for (char c : count) {
        if (c < '0' || c > '9') return false;
    }
    list.clear();
    for (long n = std::atol(count.c_str()); n > 0; --n) {
        std::string item;
        if (!TakeField(in, at, item)) return false;
        list.push_back(std::move(item));
    }
    return true;
}

}  // namespace

void PutField(std::string& out, const std::string& field) {
    out += std::to_string(field.size());
    out += ':';
    out += field;
}

bool TakeField(const std::string& in, std::size_t& at, std::string& field) {
    std::size_t colon = in.find(':', at);
    if (colon == std::string::npos || colon == at || colon - at > 9) return false;
    std::size_t length = 0;
    for (std::size_t i = at; i < colon; ++i) {
        if (in[i] < '0' || in[i] > '9') return false;
        length = length * 10 + static_cast<std::size_t>(in[i] - '0');
    }
    if (length > in.size() - colon - 1) return false;
    field = in.substr(colon + 1, length);
    at = colon + 1 + length;
    return true;
}

std::string PlanDetails::Encode() const {
    std::string out;
    for (const std::string* field : {&operation, &group, &target, &attribute}) PutField(out, *field);
    PutList(out, values);
    PutList(out, recompute);
    for (const std::string* field : {&newRdn, &company, &unitDN, &unit}) PutField(out, *field);
    if (!removals.empty()) PutList(out, removals);
    return out;
}

bool PlanDetails::Decode(const std::string& text, PlanDetails& details) {
    std::size_t at = 0;
    for (std::string* field : {&details.operation, &details.group, &details.target, &details.attribute}) {
        if (!TakeField(text, at, *field)) return false;
    }
    if (!TakeList(text, at, details.values) || !TakeList(text, at, details.recompute)) return false;
    for (std::string* field : {&details.newRdn, &details.company, &details.unitDN, &details.unit}) {
        if (!TakeField(text, at, *field)) return false;
    }
    details.removals.clear();
    // The removals come last and only in repairs, so older plans read the same.
    if (at < text.size() && !TakeList(text, at, details.removals)) return false;
    return at == text.size();
}

std::string ChangePlan::Serialize() const {
    std::string out;
    PutField(out, kPlanMagic);
    PutField(out, std::to_string(static_cast<int>(kind)));
    std::vector<std::string> groups = logGroups;
    PutField(out, std::to_string(groups.size()));
    for (const std::string& group : groups) PutField(out, group);
    PutField(out, renamedFrom);
    PutField(out, renamedTo);
    PutField(out, details);
    PutField(out, createdGroup);
    PutField(out, deletedGroup);
    return out;
}

bool ChangePlan::Deserialize(const std::string& text, ChangePlan& plan) {
    std::size_t at = 0;
    std::string magic, kind, count;
    if (!TakeField(text, at, magic) || (magic != kPlanMagic && magic != kPlanMagicBefore) ||
        !TakeField(text, at, kind) ||
        !TakeField(text, at, count)) {
        return false;
    }
    int number = std::atoi(kind.c_str());
    if (number < kFirstChangeRequest || number > kLastChangeRequest) return false;
    plan.kind = static_cast<ChangeRequest>(number);
    plan.logGroups.clear();
    for (long n = std::atol(count.c_str()); n > 0; --n) {
        std::string group;
        if (!TakeField(text, at, group)) return false;
        plan.logGroups.push_back(std::move(group));
    }
    if (!TakeField(text, at, plan.renamedFrom) || !TakeField(text, at, plan.renamedTo) ||
        !TakeField(text, at, plan.details)) {
        return false;
    }
    plan.createdGroup.clear();
    plan.deletedGroup.clear();
    if (magic == kPlanMagic &&
        (!TakeField(text, at, plan.createdGroup) || !TakeField(text, at, plan.deletedGroup))) {
        return false;
    }
    return at == text.size();
}

}  // namespace zn::server
