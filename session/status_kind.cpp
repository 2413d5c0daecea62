// The kinds of status codes into not found, refused and unreachable.
#include "session/status_kind.h"

#include "session/status_codes.h"

namespace zn::status {
namespace {

// Windows Sockets numbers, which the administration exchange reports, and the administration
// server's own codes for a peer that did not answer, for being too busy to take the request
// (older servers) and for too many connections from this host at once: worth trying again
// later.
constexpr long kFirstSocketError = 10000;
constexpr long kLastSocketError = 11999;
constexpr long kPeerUnreachable = 31013;
constexpr long kServerBusy = 31008;
constexpr long kTooManyConnections = 31014;
// The administration server's answers for a change number or log entry it never gave.
constexpr long kUnknownChange = 31009;
constexpr long kUnknownLogEntry = 31010;

}  // namespace

Kind KindOf(long code) {
    switch (code) {
        case kSuccess:
            return Kind::kSuccess;
        case kInvalidGroupName:
        case kInvalidUserName:
        case kInvalidWorkerNumber:
        case kInvalidDomain:
        case kNotMember:
        case kNotOwner:
        case kNotPublic:
        case kNotContact:
        case kNotDirectMember:
        case kNotSubGroup:
        case kWorkerNotContact:
        case kWorkerNotDirectMember:
        case kWorkerNotMember:
        case kWorkerNotOwner:
        case kUnknownChange:
        case kUnknownLogEntry:
            return Kind::kNotFound;
        case kNoServer:
        // The directory could not be asked safely: a check must not read that as "no".
        case kTlsFailed:
        case kTlsSettingsInvalid:
        case kDirectoryTimeout:
        case kLdapError:
        case kPeerUnreachable:
        case kServerBusy:
        case kTooManyConnections:
            return Kind::kUnreachable;
        default:
            if (code >= kFirstSocketError && code <= kLastSocketError) return Kind::kUnreachable;
            return Kind::kRefused;
    }
}

}  // namespace zn::status
