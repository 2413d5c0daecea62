// Checking and applying one change request against the directory, with a privileged bind.
#include "server/changes.h"

#include "server/applier_impl.h"
#include "server/change_codes.h"

namespace zn::server {

ChangeApplier::ChangeApplier(DirectorySettings settings)
    : m_impl(std::make_unique<Impl>(std::move(settings))) {}

ChangeApplier::~ChangeApplier() = default;

Verdict ChangeApplier::Check(const ParsedRequest& request, ChangePlan& plan) {
    return m_impl->Check(request, plan);
}

Verdict ChangeApplier::Apply(const ChangePlan& plan, bool& firstWriteDone) {
    firstWriteDone = false;
    PlanDetails details;
    if (!PlanDetails::Decode(plan.details, details)) {
        return Verdict{kDirectoryRefusedCode, "The change's plan cannot be read."};
    }
    return m_impl->Apply(details, firstWriteDone);
}

ChangeApplier::Reached ChangeApplier::FirstWriteReached(const ChangePlan& plan, Verdict& failure) {
    PlanDetails details;
    if (!PlanDetails::Decode(plan.details, details)) {
        return Reached::kNo;
    }
    return m_impl->FirstWriteReached(details, failure);
}

Verdict ChangeApplier::FindDrifts(std::vector<Drift>& drifts) { return m_impl->FindDrifts(drifts); }

ChangePlan ChangeApplier::RepairPlan(const Drift& drift) {
    ChangePlan plan;
    // No request makes a repair; the kind only has to be one that a journal reads back.
    plan.kind = ChangeRequest::kModifyGroup;
    plan.logGroups = {drift.name};
    PlanDetails details;
    details.operation = "repair";
    details.group = drift.dn;
    details.values = drift.missing;
    details.removals = drift.extra;
    plan.details = details.Encode();
    return plan;
}

std::size_t ChangeApplier::TakeValuesWritten() {
    return m_impl->directory.TakeValuesWritten();
}

Verdict ChangeApplier::FindHalfLinks(std::vector<HalfLink>& halves) {
    return m_impl->FindHalfLinks(halves);
}

ChangePlan ChangeApplier::RepairPlan(const HalfLink& half) {
    ChangePlan plan;
    plan.kind = ChangeRequest::kRemoveSubGroup;
    plan.logGroups = {half.childName, half.parentName};
    PlanDetails details;
    details.operation = "unmirror";
    details.group = half.parentDN;
    details.target = half.childDN;
    plan.details = details.Encode();
    return plan;
}

bool ChangeApplier::LastFailureWasConnection() const {
    return IsConnectionFailure(m_impl->directory.LastCode());
}

}  // namespace zn::server
