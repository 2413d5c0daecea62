// Codes and texts of refusals that only the server's side of the directory can give.
#pragma once

namespace zn::server {

inline constexpr long kDirectoryUnreadableCode = 31020;
inline constexpr const char* kDirectoryUnreadableFormat = "The directory could not be read: %s.";
inline constexpr long kDirectoryRefusedCode = 31021;
inline constexpr const char* kDirectoryRefusedFormat = "The directory refused the change: %s.";
inline constexpr long kManagedAttributeCode = 31022;
inline constexpr const char* kManagedAttributeFormat =
    "%s has a change request of its own and cannot be set as a generic attribute.";
inline constexpr long kAttributeNotAllowedCode = 31023;
inline constexpr const char* kAttributeNotAllowedFormat = "%s is not an attribute a group may hold.";
inline constexpr long kUnitChangeCode = 31024;
inline constexpr const char* kUnitChangeText =
    "A modification cannot move a group to another organizational unit.";
inline constexpr long kReservedValueCode = 31025;
inline constexpr const char* kReservedValueText = "The reserved modification value must be empty.";
inline constexpr long kEntryCannotTakeCode = 31026;
inline constexpr const char* kEntryCannotTakeFormat =
    "The entry of %s cannot take this change: its object classes do not allow %s.";

}  // namespace zn::server
