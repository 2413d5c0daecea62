// Codes and texts of the administration server's own answers. Refusals of a change by the
// directory's rules carry the codes applications already know from the library; these are
// the server's: the request itself, the client, the journal, the state of a change.
#pragma once

namespace zn::server {

inline constexpr long kRequestTooLongCode = 31001;
inline constexpr long kUnknownRequestCode = 31002;
inline constexpr const char* kUnknownRequestText = "Unknown change request.";
inline constexpr long kMalformedRequestCode = 31003;
inline constexpr const char* kMalformedRequestText = "Malformed change request.";
inline constexpr long kIncompleteRequestCode = 31004;
inline constexpr const char* kIncompleteRequestText =
    "Incomplete change request: its fields did not all arrive in time.";
inline constexpr long kClientNotAllowedCode = 31005;
inline constexpr const char* kClientNotAllowedFormat = "Changes are not accepted from %s.";
inline constexpr long kTokenMismatchCode = 31006;
inline constexpr const char* kTokenMismatchText =
    "The user token does not match the user name.";
inline constexpr long kJournalFailureCode = 31007;
inline constexpr const char* kJournalFailureText =
    "The change journal cannot be written; nothing was changed.";
// 31008 was "busy"; connections beyond the served number now wait in the listening queue.
inline constexpr long kUnknownChangeCode = 31009;
inline constexpr const char* kUnknownChangeFormat = "No change request %ld.";
inline constexpr long kUnknownLogEntryCode = 31010;
inline constexpr const char* kUnknownLogEntryFormat = "No change log entry %ld.";
inline constexpr long kChangeUnfinishedCode = 31011;
inline constexpr const char* kChangeUnfinishedFormat =
    "Change %ld is pending: the directory stopped part way (%s); it will be completed.";
inline constexpr long kInterruptedCode = 31012;
inline constexpr const char* kInterruptedText =
    "Not applied: the server stopped before the directory was changed.";

inline constexpr long kGivenUpCode = 31015;
inline constexpr const char* kGivenUpFormat =
    "Not completed after %d tries: %s; what reached the directory stays there.";

// A requester whose accepted changes wrote their minute's worth of values (write-bound).
inline constexpr long kWriteBoundCode = 31016;
inline constexpr const char* kWriteBoundFormat =
    "The changes of %s wrote more than %ld values in a minute; try again in %ld s.";

// Proof of the requester (require-proof): a change must come with the password of the person
// it names, inside the TLS session; the user token alone proves nothing.
inline constexpr long kProofRequiredCode = 31017;
inline constexpr const char* kProofRequiredFormat =
    "Changes need proof of the requester: %s sent no password over TLS.";
inline constexpr long kProofFailedCode = 31018;
inline constexpr const char* kProofFailedFormat =
    "The password does not prove %s: nothing was changed.";
inline constexpr long kProofMalformedCode = 31019;
inline constexpr const char* kProofMalformedText =
    "Malformed proof of the requester: PROOF and 2 to 254 hexadecimal digits are expected.";
inline constexpr long kProofUnverifiableCode = 31050;
inline constexpr const char* kProofUnverifiableFormat =
    "The proof of %s cannot be checked now: %s.";

inline constexpr long kPeerUnreachableCode = 31013;
inline constexpr const char* kPeerUnreachableFormat =
    "Change %ld belongs to the administration server %s, which did not answer.";
// Sent at once, without reading the request, to a client address that already has as many
// connections being read as it may.
inline constexpr long kTooManyConnectionsCode = 31014;
inline constexpr const char* kTooManyConnectionsFormat = "Too many connections from %s.";

// The code field of a change-status answer: applied, pending, or the refusal's own code.
inline constexpr long kChangeAppliedStatus = 1;
inline constexpr long kChangePendingStatus = 2;
inline constexpr const char* kChangeAppliedFormat = "Change %ld applied.";
inline constexpr const char* kChangePendingFormat = "Change %ld is pending.";

// The record that closes a change-log answer.
inline constexpr const char* kEndOfDataRecord = "End-Of-Data";

}  // namespace zn::server
