// The library's own error status codes.
#pragma once

namespace zn::status {

inline constexpr long kSuccess = 1;
inline constexpr long kInvalidCredentials = 30000;
inline constexpr long kInvalidGroupName = 30004;
inline constexpr long kInvalidUserName = 30005;
inline constexpr long kNoServer = 30006;
inline constexpr long kInvalidPassword = 30007;
inline constexpr long kInvalidFilter = 30009;
inline constexpr long kNotMember = 30012;
inline constexpr long kInvalidWorkerNumber = 30013;
inline constexpr long kNotOwner = 30015;
inline constexpr long kMissingGroupName = 30016;
inline constexpr long kNotPublic = 30017;
inline constexpr long kNotContact = 30018;
inline constexpr long kNotDirectMember = 30019;
inline constexpr long kNotImplemented = 30020;
inline constexpr long kMissingUserName = 30021;
inline constexpr long kAlreadyContact = 30024;
inline constexpr long kAlreadyOwner = 30025;
inline constexpr long kAlreadyDirectMember = 30026;
inline constexpr long kCannotBeSubGroup = 30027;
inline constexpr long kSubGroupCycle = 30028;
inline constexpr long kAlreadySubGroup = 30029;
inline constexpr long kInvalidNewGroupName = 30030;
inline constexpr long kInvalidOrganizationalUnit = 30031;
inline constexpr long kInvalidCompanyNumber = 30032;
inline constexpr long kNotSubGroup = 30034;
inline constexpr long kDeleteNotAllowed = 30035;
inline constexpr long kNotAdministrator = 30036;
inline constexpr long kWorkerNotContact = 30037;
inline constexpr long kWorkerNotDirectMember = 30038;
inline constexpr long kWorkerNotMember = 30039;
inline constexpr long kWorkerNotOwner = 30040;
inline constexpr long kDirectoryTimeout = 30041;
inline constexpr long kLdapError = 30042;
// Directory TLS was asked for and could not be established with any server: a certificate
// that did not verify, a failed handshake, a server refusing StartTLS. Nothing was sent in
// clear; the text names the first host that failed.
inline constexpr long kTlsFailed = 30043;
inline constexpr long kInvalidDomain = 30044;
// A change request longer than the administration server's 2047-character limit.
inline constexpr long kRequestTooLong = 30045;
// A reply line from the administration server without its three fields.
inline constexpr long kIncompleteReply = 30046;
// A change request with a NUL character in a field: the line would end there and the server
// would apply a value cut short, so it is not sent.
inline constexpr long kRequestUnsendable = 30047;
// The TLS settings (file, environment or the program's own) hold a value that cannot be used,
// or the CA file cannot be read: no connection is tried, rather than one in clear.
inline constexpr long kTlsSettingsInvalid = 30048;
inline constexpr long kGenericAccount = 30049;

}  // namespace zn::status
