// Checking and applying one change request against the directory, with a privileged bind.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "admin/change_request.h"

namespace zn::server {

struct DirectorySettings {
    std::string uri;       // the domain's provider, e.g. ldap://ldap5
    std::string bindDN;    // an identity that may write every group
    std::string password;  // read from the password file, never from the command line
    std::string baseDN;    // e.g. o=example.com
    int timeoutMilliseconds = 10000;  // bound of each directory operation
};

// The answer to a request: code 1 is success; anything else is a refusal with its text,
// sent to the client as "0,<code>,<text>". Texts contain no comma (a comma ends the text a
// client reads).
struct Verdict {
    long code = 1;
    std::string text;
    bool Ok() const { return code == 1; }
};

// What an accepted change will write, worked out by the checks. It is journalled with the
// pending entry, so that a restarted server can finish or disown the change.
struct ChangePlan {
    ChangeRequest kind = ChangeRequest::kAddContact;
    // Groups whose change log records the change: the names their entries hold, upper
    // case, however the request spelled them. Empty when the requester is no person of the
    // directory: anyone may send a name, and a stranger's requests are no group's history.
    std::vector<std::string> logGroups;
    // The group and the target as the change log names them (their entries' names), or
    // empty where the request's own spelling stands.
    std::string groupName;
    std::string targetName;
    // What the change does to the groups' identities: the log of a created group starts
    // with it; a deleted group's log stays its own; a renamed group's log follows it.
    std::string createdGroup;
    std::string deletedGroup;
    std::string renamedFrom;
    std::string renamedTo;
    // Everything Apply needs (DNs, values, groups whose eventual members to recompute), in
    // the applier's own encoding.
    std::string details;

    std::string Serialize() const;
    static bool Deserialize(const std::string& text, ChangePlan& plan);
};

// Holds one directory connection, opened on first use and again after it breaks. Not
// thread-safe: the caller serialises all use (one writer per domain).
class ChangeApplier {
  public:
    explicit ChangeApplier(DirectorySettings settings);
    ~ChangeApplier();
    ChangeApplier(const ChangeApplier&) = delete;
    ChangeApplier& operator=(const ChangeApplier&) = delete;

    // Checks the requester, the target and the privilege rules against the directory as it
    // stands; the user token has been checked already. Writes nothing.
    Verdict Check(const ParsedRequest& request, ChangePlan& plan);
    // Writes the change. Idempotent: running it again after a partial run completes it.
    // `firstWriteDone` tells whether anything reached the directory, also on failure: a
    // change that failed before its first write changed nothing and is rejected; one that
    // failed after it stays pending until a later Apply completes it.
    Verdict Apply(const ChangePlan& plan, bool& firstWriteDone);

    // Whether the directory's last answer was that it could not be reached, rather than a
    // refusal: the one is passing, the other may not be.
    bool LastFailureWasConnection() const;
    // Values written into directory entries since the last call.
    std::size_t TakeValuesWritten();

    enum class Reached { kYes, kNo, kUnknown };
    // After a restart: whether the first write of the plan is in the directory. kUnknown
    // (with the reason in `failure`) when the directory cannot tell now.
    Reached FirstWriteReached(const ChangePlan& plan, Verdict& failure);

    // A group whose eventual members are not the closure of its direct members and its
    // subgroups' members (data written around the server, or by older tools).
    struct Drift {
        std::string dn;
        std::string name;
        std::vector<std::string> missing;  // in the closure, not among its eventual members
        std::vector<std::string> extra;    // among its eventual members, not in the closure
    };
    // Every group that holds the eventual members of others; a group of a plain class,
    // which keeps its members itself, counts with those it holds. Writes nothing.
    Verdict FindDrifts(std::vector<Drift>& drifts);
    // The plan of writing one group's eventual members to its closure, for the journal.
    ChangePlan RepairPlan(const Drift& drift);

    // Half a link: a subGroup value whose group does not name the parent among its
    // superGroup values (or is gone), or the other way round. A link counts when both sides
    // hold it; a group of a plain class, which cannot hold superGroup, is linked by its
    // parent's subGroup alone.
    struct HalfLink {
        std::string parentDN, childDN;
        std::string parentName, childName;  // the entries' names; the DN when gone
        bool parentSide = true;             // which side holds it: the parent's subGroup
    };
    Verdict FindHalfLinks(std::vector<HalfLink>& halves);
    // The plan of taking the half that is there away, for the journal: what a refused
    // change left, or data written around the server, no longer counts anywhere.
    ChangePlan RepairPlan(const HalfLink& half);

    // Defined in applier_impl.h, which the applier's own files share.
    struct Impl;

  private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace zn::server
