// The one-line change requests the administration server accepts: one table of layouts, read
// by the library to write requests and by the server to read them.
#pragma once

#include <cstddef>
#include <string>

namespace zn {

// Over TLS, the protocol (ALPN) a client offers to send more than one request on one
// connection, each after the answer to the last; a server that takes it keeps the connection
// open, idle, between requests.
inline constexpr const char* kKeepConnectionProtocol = "zngroups-admin-keep";

// The requests, in the order of the administration server's protocol table.
enum class ChangeRequest {
    kAddContact = 1,
    kAddMember,
    kAddOwner,
    kDeleteContact,
    kDeleteMember,
    kDeleteOwner,
    kAddSubGroup,
    kRemoveSubGroup,
    kCreateSubGroup,  // under the object's group
    kCreateGroup,     // the object has no group name: blank parent slot
    kDeleteSubGroup,  // of the object's group
    kDeleteGroup,     // the object has no group name: blank parent slot
    kModifyGroup,     // new group name and company number
    kSetExchangeSynchronization,
    kClearExchangeSynchronization,
    kSetMailAliased,
    kClearMailAliased,
    kSetGenericAttribute,
    kSetDescription,
    kResetGroupChangeLogs,
    kGetGroupChangeLogs,
    kGetChangeLogEntry,
    kGetChangeStatus,
};

inline constexpr int kFirstChangeRequest = static_cast<int>(ChangeRequest::kAddContact);
inline constexpr int kLastChangeRequest = static_cast<int>(ChangeRequest::kGetChangeStatus);

// What a request may carry; each request reads only its own fields.
struct RequestFields {
    // The requester; the user token is made from it here.
    std::string userName;
    // The object's group: the group changed, the parent of a subgroup, or the group asked about.
    std::string groupName;
    // Contact, member, owner, subgroup, group to create or delete, or new group name. Copied
    // upper-cased; user names are cut to kTargetUserNameLength characters first.
    std::string targetName;
    std::string organizationalUnit;
    // MODIFY: the company number as normalised by its validation, empty when unchanged.
    std::string companyNumber;
    std::string attributeName;
    // Attribute value or description, sent exactly as given.
    std::string value;
    // Change number or change-log entry number.
    long number = 0;
};

// The server reads requests into 2048-byte buffers.
inline constexpr std::size_t kMaxRequestLength = 2047;
inline constexpr std::size_t kTargetUserNameLength = 51;
inline constexpr const char* kRequestTooLongText =
    "The change request is longer than 2047 characters.";
inline constexpr const char* kRequestUnsendableText =
    "The change request contains a NUL character, which it cannot carry.";

// Formats the request. False, with `request` empty, when it would be longer than
// kMaxRequestLength; the caller then reports status::kRequestTooLong with
// kRequestTooLongText and sends nothing.
bool FormatChangeRequest(ChangeRequest kind, const RequestFields& fields, std::string& request);

// Whether a request changes something (and carries a requester), or only asks.
bool IsChange(ChangeRequest kind);
// "ADD MEMBER", "SET DESCRIPTION", ...: the verb and object of the request's layout.
const char* RequestName(ChangeRequest kind);

// A request as the server reads it back.
struct ParsedRequest {
    ChangeRequest kind = ChangeRequest::kGetChangeStatus;
    // Fields as they stand on the wire: target names already upper case, the MODIFY values
    // without the blank that follows each of the first three.
    RequestFields fields;
    // Empty for requests that carry none.
    std::string userToken;
};

// How far bytes received so far make a request. A request has no terminator, so the last
// field of most layouts may still grow; only a layout whose last field has a fixed or
// greatest length (a user token, a cut user name) says by itself that it is complete.
enum class ParseOutcome {
    kComplete,     // a whole request that no further byte could belong to
    kMayContinue,  // a whole request, but its last field could still grow
    kIncomplete,   // the beginning of a request: more fields are due
    kMalformed,    // a known request whose fields are wrong (token, number, blank slots)
    kUnknown,      // no request of the table starts like this
};

// Reads `text` against every layout. `request` is filled for kComplete and kMayContinue.
ParseOutcome ParseChangeRequest(const std::string& text, ParsedRequest& request);

// The groups whose eventual members the library and the other applications grant rights to:
// ZN_GROUPS_ADMINISTRATORS, ZNGENERICS, ZNI_SSO_CONTROL and every ZN_GROUP_ORG_UNIT_<unit>_PRIV,
// in any case. A change that adds to them is the library's and the server's to check alike.
bool IsRoleGroupName(const std::string& name);

}  // namespace zn
