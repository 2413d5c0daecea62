// The one-line change requests the administration server accepts, built in one place.
#pragma once

#include <cstddef>
#include <string>

namespace zn {

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

// Formats the request. False, with `request` empty, when it would be longer than
// kMaxRequestLength; the caller then reports status::kRequestTooLong with
// kRequestTooLongText and sends nothing.
bool FormatChangeRequest(ChangeRequest kind, const RequestFields& fields, std::string& request);

}  // namespace zn
