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
    // Groups whose change log records the change (upper-case names).
    std::vector<std::string> logGroups;
    // A rename: the change logs of the old name follow the group to the new one.
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

    enum class Reached { kYes, kNo, kUnknown };
    // After a restart: whether the first write of the plan is in the directory. kUnknown
    // (with the reason in `failure`) when the directory cannot tell now.
    Reached FirstWriteReached(const ChangePlan& plan, Verdict& failure);

    // Defined in applier_impl.h, which the applier's own files share.
    struct Impl;

  private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace zn::server
