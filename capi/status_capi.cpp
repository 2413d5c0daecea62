// The kind of a status code and the library's version, for applications and language
// bindings over the C interface; the codes' names in the header are held to the library's.
// The kinds first: their enumerators share names with the codes.
#include "session/status_kind.h"

#include "platform/sockets.h"
#include "server/change_codes.h"
#include "server/reply_codes.h"
#include "session/status_codes.h"
#include "zngroups.h"
#include "zngroups_config.h"

static_assert(static_cast<long>(zn::status::Kind::kSuccess) == ZNG_STATUS_SUCCESS);
static_assert(static_cast<long>(zn::status::Kind::kNotFound) == ZNG_STATUS_NOT_FOUND);
static_assert(static_cast<long>(zn::status::Kind::kRefused) == ZNG_STATUS_REFUSED);
static_assert(static_cast<long>(zn::status::Kind::kUnreachable) == ZNG_STATUS_UNREACHABLE);
static_assert(zn::server::kChangeAppliedStatus == ZNG_CHANGE_APPLIED);
static_assert(zn::server::kChangePendingStatus == ZNG_CHANGE_PENDING);
static_assert(zn::status::kSuccess == ZNG_CODE_SUCCESS);
static_assert(zn::status::kInvalidCredentials == ZNG_CODE_INVALID_CREDENTIALS);
static_assert(zn::status::kInvalidGroupName == ZNG_CODE_INVALID_GROUP_NAME);
static_assert(zn::status::kInvalidUserName == ZNG_CODE_INVALID_USER_NAME);
static_assert(zn::status::kNoServer == ZNG_CODE_NO_SERVER);
static_assert(zn::status::kTlsFailed == ZNG_CODE_TLS_FAILED);
static_assert(zn::status::kTlsSettingsInvalid == ZNG_CODE_TLS_SETTINGS_INVALID);
static_assert(zn::status::kInvalidPassword == ZNG_CODE_INVALID_PASSWORD);
static_assert(zn::status::kInvalidFilter == ZNG_CODE_INVALID_FILTER);
static_assert(zn::status::kNotMember == ZNG_CODE_NOT_MEMBER);
static_assert(zn::status::kInvalidWorkerNumber == ZNG_CODE_INVALID_WORKER_NUMBER);
static_assert(zn::status::kNotOwner == ZNG_CODE_NOT_OWNER);
static_assert(zn::status::kMissingGroupName == ZNG_CODE_MISSING_GROUP_NAME);
static_assert(zn::status::kNotPublic == ZNG_CODE_NOT_PUBLIC);
static_assert(zn::status::kNotContact == ZNG_CODE_NOT_CONTACT);
static_assert(zn::status::kNotDirectMember == ZNG_CODE_NOT_DIRECT_MEMBER);
static_assert(zn::status::kNotImplemented == ZNG_CODE_NOT_IMPLEMENTED);
static_assert(zn::status::kMissingUserName == ZNG_CODE_MISSING_USER_NAME);
static_assert(zn::status::kAlreadyContact == ZNG_CODE_ALREADY_CONTACT);
static_assert(zn::status::kAlreadyOwner == ZNG_CODE_ALREADY_OWNER);
static_assert(zn::status::kAlreadyDirectMember == ZNG_CODE_ALREADY_DIRECT_MEMBER);
static_assert(zn::status::kCannotBeSubGroup == ZNG_CODE_CANNOT_BE_SUB_GROUP);
static_assert(zn::status::kSubGroupCycle == ZNG_CODE_SUB_GROUP_CYCLE);
static_assert(zn::status::kAlreadySubGroup == ZNG_CODE_ALREADY_SUB_GROUP);
static_assert(zn::status::kInvalidNewGroupName == ZNG_CODE_INVALID_NEW_GROUP_NAME);
static_assert(zn::status::kInvalidOrganizationalUnit == ZNG_CODE_INVALID_ORGANIZATIONAL_UNIT);
static_assert(zn::status::kInvalidCompanyNumber == ZNG_CODE_INVALID_COMPANY_NUMBER);
static_assert(zn::status::kNotSubGroup == ZNG_CODE_NOT_SUB_GROUP);
static_assert(zn::status::kDeleteNotAllowed == ZNG_CODE_DELETE_NOT_ALLOWED);
static_assert(zn::status::kNotAdministrator == ZNG_CODE_NOT_ADMINISTRATOR);
static_assert(zn::status::kWorkerNotContact == ZNG_CODE_WORKER_NOT_CONTACT);
static_assert(zn::status::kWorkerNotDirectMember == ZNG_CODE_WORKER_NOT_DIRECT_MEMBER);
static_assert(zn::status::kWorkerNotMember == ZNG_CODE_WORKER_NOT_MEMBER);
static_assert(zn::status::kWorkerNotOwner == ZNG_CODE_WORKER_NOT_OWNER);
static_assert(zn::status::kDirectoryTimeout == ZNG_CODE_DIRECTORY_TIMEOUT);
static_assert(zn::status::kLdapError == ZNG_CODE_LDAP_ERROR);
static_assert(zn::status::kInvalidDomain == ZNG_CODE_INVALID_DOMAIN);
static_assert(zn::status::kRequestTooLong == ZNG_CODE_REQUEST_TOO_LONG);
static_assert(zn::status::kIncompleteReply == ZNG_CODE_INCOMPLETE_REPLY);
static_assert(zn::status::kRequestUnsendable == ZNG_CODE_REQUEST_UNSENDABLE);
static_assert(zn::status::kGenericAccount == ZNG_CODE_GENERIC_ACCOUNT);
static_assert(zn::server::kRequestTooLongCode == ZNG_CODE_SERVER_REQUEST_TOO_LONG);
static_assert(zn::server::kUnknownRequestCode == ZNG_CODE_SERVER_UNKNOWN_REQUEST);
static_assert(zn::server::kMalformedRequestCode == ZNG_CODE_SERVER_MALFORMED_REQUEST);
static_assert(zn::server::kIncompleteRequestCode == ZNG_CODE_SERVER_INCOMPLETE_REQUEST);
static_assert(zn::server::kClientNotAllowedCode == ZNG_CODE_SERVER_CLIENT_NOT_ALLOWED);
static_assert(zn::server::kTokenMismatchCode == ZNG_CODE_SERVER_TOKEN_MISMATCH);
static_assert(zn::server::kJournalFailureCode == ZNG_CODE_SERVER_JOURNAL_FAILURE);
static_assert(zn::server::kUnknownChangeCode == ZNG_CODE_SERVER_UNKNOWN_CHANGE);
static_assert(zn::server::kUnknownLogEntryCode == ZNG_CODE_SERVER_UNKNOWN_LOG_ENTRY);
static_assert(zn::server::kChangeUnfinishedCode == ZNG_CODE_SERVER_CHANGE_UNFINISHED);
static_assert(zn::server::kInterruptedCode == ZNG_CODE_SERVER_INTERRUPTED);
static_assert(zn::server::kPeerUnreachableCode == ZNG_CODE_SERVER_PEER_UNREACHABLE);
static_assert(zn::server::kTooManyConnectionsCode == ZNG_CODE_SERVER_TOO_MANY_CONNECTIONS);
static_assert(zn::server::kGivenUpCode == ZNG_CODE_SERVER_GIVEN_UP);
static_assert(zn::server::kWriteBoundCode == ZNG_CODE_SERVER_WRITE_BOUND);
static_assert(zn::server::kDirectoryUnreadableCode == ZNG_CODE_SERVER_DIRECTORY_UNREADABLE);
static_assert(zn::server::kDirectoryRefusedCode == ZNG_CODE_SERVER_DIRECTORY_REFUSED);
static_assert(zn::server::kManagedAttributeCode == ZNG_CODE_SERVER_MANAGED_ATTRIBUTE);
static_assert(zn::server::kAttributeNotAllowedCode == ZNG_CODE_SERVER_ATTRIBUTE_NOT_ALLOWED);
static_assert(zn::server::kUnitChangeCode == ZNG_CODE_SERVER_UNIT_CHANGE);
static_assert(zn::server::kReservedValueCode == ZNG_CODE_SERVER_RESERVED_VALUE);
static_assert(zn::server::kEntryCannotTakeCode == ZNG_CODE_SERVER_ENTRY_CANNOT_TAKE);
static_assert(zn::sockets::kInterrupted == ZNG_CODE_SOCKET_INTERRUPTED);
static_assert(zn::sockets::kInvalidArgument == ZNG_CODE_SOCKET_INVALID_ARGUMENT);
static_assert(zn::sockets::kTooManySockets == ZNG_CODE_SOCKET_TOO_MANY_SOCKETS);
static_assert(zn::sockets::kAddressFamily == ZNG_CODE_SOCKET_ADDRESS_FAMILY);
static_assert(zn::sockets::kNetworkUnreachable == ZNG_CODE_SOCKET_NETWORK_UNREACHABLE);
static_assert(zn::sockets::kConnectionAborted == ZNG_CODE_SOCKET_CONNECTION_ABORTED);
static_assert(zn::sockets::kConnectionReset == ZNG_CODE_SOCKET_CONNECTION_RESET);
static_assert(zn::sockets::kNoBuffers == ZNG_CODE_SOCKET_NO_BUFFERS);
static_assert(zn::sockets::kNotConnected == ZNG_CODE_SOCKET_NOT_CONNECTED);
static_assert(zn::sockets::kTimedOut == ZNG_CODE_SOCKET_TIMED_OUT);
static_assert(zn::sockets::kConnectionRefused == ZNG_CODE_SOCKET_CONNECTION_REFUSED);
static_assert(zn::sockets::kHostUnreachable == ZNG_CODE_SOCKET_HOST_UNREACHABLE);
static_assert(zn::sockets::kDisconnected == ZNG_CODE_SOCKET_DISCONNECTED);
static_assert(zn::sockets::kSystemCallFailure == ZNG_CODE_SOCKET_SYSTEM_CALL_FAILURE);
static_assert(zn::sockets::kHostNotFound == ZNG_CODE_SOCKET_HOST_NOT_FOUND);
static_assert(zn::sockets::kTryAgain == ZNG_CODE_SOCKET_TRY_AGAIN);
static_assert(zn::sockets::kNoRecovery == ZNG_CODE_SOCKET_NO_RECOVERY);
static_assert(zn::sockets::kNoData == ZNG_CODE_SOCKET_NO_DATA);

extern "C" {

long zng_status_kind(long code) {
    return static_cast<long>(zn::status::KindOf(code));
}

const char* zng_version(void) {
    return ZNGROUPS_VERSION;
}

}  // extern "C"
