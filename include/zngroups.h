/* zngroups.h: the C interface of zngroups, for applications built with any compiler.
 *
 * The classes CZNGroup and CZNWorker carry the C++ standard library of the compiler that
 * built the library in every signature, so only programs built with that same toolchain can
 * call them. These functions are their C form: plain C types only, no exception ever leaves
 * them, and every one is exported from zngroups.dll and libzngroups.so under its own name.
 *
 * Handles. zng_group and zng_worker are opaque; each stands for one CZNGroup or CZNWorker
 * object. Make them with zng_group_new... / zng_worker_new... and release them with
 * zng_group_free / zng_worker_free (freeing NULL does nothing). The _new functions return
 * NULL only when memory runs out. One handle, with the lists it returned, is used by one
 * thread at a time; different handles (those made from the elements of one list among them)
 * may be used by different threads at once.
 *
 * Operations. zng_group_X and zng_worker_X are the method X of the class in lower case with
 * underscores (GetEventualMembersCount: zng_group_get_eventual_members_count; TimeOut,
 * KeyWord, SurName and MicroSeconds are written timeout, keyword, surname, microseconds, and
 * GetUserNameA get_user_name). The overloads that apply context first carry a suffix:
 *   _of      (group, x) on a group, (user name, x) on a worker
 *   _as      (user, password, x)
 *   _as_of   (user, password, group, x)
 * and zng_group_get_error_status_code_of_change / ..._text_of_change, the change-status
 * forms that take a change number; zng_worker_get_user_name_numbered and
 * zng_worker_is_valid_worker_numbered take a worker number, zng_worker_login_titled a dialog
 * title and a user name. The context a call sets stays in the handle for later calls.
 *
 * Results. Each function returns what the method returns: a long as it is; a string as a
 * pointer to text that the handle owns, never NULL; a list as a pointer to a list that the
 * handle owns. Both stay valid, and keep their contents, until the next call on the same
 * handle that rewrites them (zng_group_assign or zng_worker_assign rewrites everything);
 * copy what must live longer. A list of groups or workers is rewritten only by a query
 * returning a list of its kind, never by a check or a change; the group or user name a handle gives stays valid until
 * the name is set again. Every function copies its string arguments on entry, so a handle's
 * own name or a name from one of its lists may be passed back to it. A list gives its count and its elements by index; the name of
 * a group or worker in a list is read without a directory search, and
 * zng_group_list_new_group / zng_worker_list_new_worker make a handle of one's own of that
 * element, to free like any other.
 *
 * Errors. A function reports as its method does: 1 (or nonzero) for success or a true
 * answer, 0, an empty string or an empty list otherwise, with the reason in the handle's error
 * status, read with zng_group_get_error_status_code / _text (zng_worker_... likewise).
 *
 * Strings are NUL-terminated bytes in the system's ANSI code page; a NULL string argument is
 * taken as the empty string, and a NULL handle gives the empty result. A text that holds a NUL
 * byte ends there on its way in and out.
 */
#ifndef ZNGROUPS_H
#define ZNGROUPS_H

#include <stddef.h>

/* The version of the package this header belongs to; zng_version() gives the library's, as
 * "MAJOR.MINOR.PATCH". What stays across versions: within one major version (the 0 of
 * libzngroups.so.0) a function of this header keeps its name, its arguments and what it
 * returns, a ZNG_ name keeps its value, and functions are only added, so a program built
 * against an older header runs with a newer library. Every function is exported with the
 * symbol version ZNGROUPS_0. */
#define ZNGROUPS_VERSION_MAJOR 0
#define ZNGROUPS_VERSION_MINOR 1
#define ZNGROUPS_VERSION_PATCH 0

/* ZNGROUPS_STATIC: the library's objects are linked straight into the program. The calling
 * convention is spelled out so that a program built with another default (MSVC's /Gz) still
 * calls the 32-bit DLL correctly. */
#if defined(_WIN32)
#if defined(ZNGROUPS_BUILDING_LIBRARY)
#define ZNG_API __declspec(dllexport)
#elif defined(ZNGROUPS_STATIC)
#define ZNG_API
#else
#define ZNG_API __declspec(dllimport)
#endif
#define ZNG_CALL __cdecl
#else
#define ZNG_API __attribute__((visibility("default")))
#define ZNG_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct zng_group zng_group;
typedef struct zng_worker zng_worker;
typedef struct zng_group_list zng_group_list;
typedef struct zng_worker_list zng_worker_list;
typedef struct zng_string_list zng_string_list;
typedef struct zng_change_list zng_change_list;

/* Lists. An index at or past the count gives NULL. */
ZNG_API size_t ZNG_CALL zng_group_list_count(const zng_group_list* list);
/* The group's name, as zng_group_get_group_name of the element would give it. */
ZNG_API const char* ZNG_CALL zng_group_list_name(const zng_group_list* list, size_t index);
ZNG_API zng_group* ZNG_CALL zng_group_list_new_group(const zng_group_list* list, size_t index);
ZNG_API size_t ZNG_CALL zng_worker_list_count(const zng_worker_list* list);
/* The user name the element carries, as zng_worker_get_name of the element would give it. */
ZNG_API const char* ZNG_CALL zng_worker_list_name(const zng_worker_list* list, size_t index);
ZNG_API zng_worker* ZNG_CALL zng_worker_list_new_worker(const zng_worker_list* list, size_t index);
/* Details of many listed workers or groups at once, without a search per element.
 * zng_worker_list_load reads every worker's attributes through shared searches of a few
 * hundred user names (one search of every person when the list is most of the company);
 * zng_group_list_load reads every group's description, company number, mail-aliased flag
 * and organizational unit the same way. Each returns the number found. An element's status
 * says why one was not: 30005 or 30004 for a name the directory does not have, or the
 * failure of the search, which no later detail hides.
 * zng_worker_list_detail gives a listed worker's attribute by the key that
 * "zngroups worker show --json" prints (fullName, emailAddress, ..., also workerNumber and
 * dn); zng_group_list_detail a listed group's (description, companyNumber,
 * organizationalUnit, mailAliased). A loaded element answers from memory; any other reads
 * as its own getter would. NULL for an unknown key or an index at or past the count. The
 * text belongs to the element and stays valid until the same detail of the same element is
 * asked again or the list is rewritten. */
ZNG_API long ZNG_CALL zng_worker_list_load(const zng_worker_list* list);
ZNG_API long ZNG_CALL zng_group_list_load(const zng_group_list* list);
ZNG_API const char* ZNG_CALL zng_worker_list_detail(const zng_worker_list* list, size_t index,
                                                     const char* key);
ZNG_API const char* ZNG_CALL zng_group_list_detail(const zng_group_list* list, size_t index,
                                                    const char* key);
/* The element's error status, as zng_*_get_error_status_code/_text of it would give it;
 * 0 and NULL for an index at or past the count. */
ZNG_API long ZNG_CALL zng_worker_list_status_code(const zng_worker_list* list, size_t index);
ZNG_API const char* ZNG_CALL zng_worker_list_status_text(const zng_worker_list* list,
                                                          size_t index);
ZNG_API long ZNG_CALL zng_group_list_status_code(const zng_group_list* list, size_t index);
ZNG_API const char* ZNG_CALL zng_group_list_status_text(const zng_group_list* list,
                                                         size_t index);
ZNG_API size_t ZNG_CALL zng_string_list_count(const zng_string_list* list);
ZNG_API const char* ZNG_CALL zng_string_list_at(const zng_string_list* list, size_t index);

/* What a status code means to the caller, as the zngroups tool's exit statuses tell it:
 * success, not found (no such group, worker, domain; a relation that does not hold), refused
 * (by the library's checks or the administration server), or unreachable (no directory or
 * administration server answered in time). Any code the library or the server may report
 * has one of these four kinds. */
#define ZNG_STATUS_SUCCESS 0
#define ZNG_STATUS_NOT_FOUND 1
#define ZNG_STATUS_REFUSED 3
#define ZNG_STATUS_UNREACHABLE 4
ZNG_API long ZNG_CALL zng_status_kind(long code);

/* The status codes by name. A handle's code is 1 for success; a change's state (the code of
 * zng_group_get_error_status_code_of_change) is ZNG_CHANGE_APPLIED, ZNG_CHANGE_PENDING or the
 * code of the refusal. */
#define ZNG_CHANGE_APPLIED 1
#define ZNG_CHANGE_PENDING 2
/* The library's own codes. */
#define ZNG_CODE_SUCCESS 1
#define ZNG_CODE_INVALID_CREDENTIALS 30000
#define ZNG_CODE_INVALID_GROUP_NAME 30004
#define ZNG_CODE_INVALID_USER_NAME 30005
#define ZNG_CODE_NO_SERVER 30006
#define ZNG_CODE_INVALID_PASSWORD 30007
#define ZNG_CODE_INVALID_FILTER 30009
#define ZNG_CODE_NOT_MEMBER 30012
#define ZNG_CODE_INVALID_WORKER_NUMBER 30013
#define ZNG_CODE_NOT_OWNER 30015
#define ZNG_CODE_MISSING_GROUP_NAME 30016
#define ZNG_CODE_NOT_PUBLIC 30017
#define ZNG_CODE_NOT_CONTACT 30018
#define ZNG_CODE_NOT_DIRECT_MEMBER 30019
#define ZNG_CODE_NOT_IMPLEMENTED 30020
#define ZNG_CODE_MISSING_USER_NAME 30021
#define ZNG_CODE_ALREADY_CONTACT 30024
#define ZNG_CODE_ALREADY_OWNER 30025
#define ZNG_CODE_ALREADY_DIRECT_MEMBER 30026
#define ZNG_CODE_CANNOT_BE_SUB_GROUP 30027
#define ZNG_CODE_SUB_GROUP_CYCLE 30028
#define ZNG_CODE_ALREADY_SUB_GROUP 30029
#define ZNG_CODE_INVALID_NEW_GROUP_NAME 30030
#define ZNG_CODE_INVALID_ORGANIZATIONAL_UNIT 30031
#define ZNG_CODE_INVALID_COMPANY_NUMBER 30032
#define ZNG_CODE_NOT_SUB_GROUP 30034
#define ZNG_CODE_DELETE_NOT_ALLOWED 30035
#define ZNG_CODE_NOT_ADMINISTRATOR 30036
#define ZNG_CODE_WORKER_NOT_CONTACT 30037
#define ZNG_CODE_WORKER_NOT_DIRECT_MEMBER 30038
#define ZNG_CODE_WORKER_NOT_MEMBER 30039
#define ZNG_CODE_WORKER_NOT_OWNER 30040
#define ZNG_CODE_DIRECTORY_TIMEOUT 30041
#define ZNG_CODE_LDAP_ERROR 30042
/* Directory TLS could not be established with any server (a certificate that did not verify,
 * a failed handshake); the text names the first host. Nothing was sent in clear. */
#define ZNG_CODE_TLS_FAILED 30043
#define ZNG_CODE_INVALID_DOMAIN 30044
#define ZNG_CODE_REQUEST_TOO_LONG 30045
#define ZNG_CODE_INCOMPLETE_REPLY 30046
#define ZNG_CODE_REQUEST_UNSENDABLE 30047
/* The TLS settings hold a value that cannot be used (or the CA file cannot be read); no
 * connection was tried. */
#define ZNG_CODE_TLS_SETTINGS_INVALID 30048
#define ZNG_CODE_GENERIC_ACCOUNT 30049
/* The administration server's own codes (older servers answered 31008 when busy). */
#define ZNG_CODE_SERVER_REQUEST_TOO_LONG 31001
#define ZNG_CODE_SERVER_UNKNOWN_REQUEST 31002
#define ZNG_CODE_SERVER_MALFORMED_REQUEST 31003
#define ZNG_CODE_SERVER_INCOMPLETE_REQUEST 31004
#define ZNG_CODE_SERVER_CLIENT_NOT_ALLOWED 31005
#define ZNG_CODE_SERVER_TOKEN_MISMATCH 31006
#define ZNG_CODE_SERVER_JOURNAL_FAILURE 31007
#define ZNG_CODE_SERVER_UNKNOWN_CHANGE 31009
#define ZNG_CODE_SERVER_UNKNOWN_LOG_ENTRY 31010
#define ZNG_CODE_SERVER_CHANGE_UNFINISHED 31011
#define ZNG_CODE_SERVER_INTERRUPTED 31012
#define ZNG_CODE_SERVER_PEER_UNREACHABLE 31013
#define ZNG_CODE_SERVER_TOO_MANY_CONNECTIONS 31014
#define ZNG_CODE_SERVER_GIVEN_UP 31015
#define ZNG_CODE_SERVER_WRITE_BOUND 31016
#define ZNG_CODE_SERVER_DIRECTORY_UNREADABLE 31020
#define ZNG_CODE_SERVER_DIRECTORY_REFUSED 31021
#define ZNG_CODE_SERVER_MANAGED_ATTRIBUTE 31022
#define ZNG_CODE_SERVER_ATTRIBUTE_NOT_ALLOWED 31023
#define ZNG_CODE_SERVER_UNIT_CHANGE 31024
#define ZNG_CODE_SERVER_RESERVED_VALUE 31025
#define ZNG_CODE_SERVER_ENTRY_CANNOT_TAKE 31026
#define ZNG_CODE_SERVER_BUSY 31008
/* Failures of the administration exchange, as Windows Sockets numbers on every system. */
#define ZNG_CODE_SOCKET_INTERRUPTED 10004
#define ZNG_CODE_SOCKET_INVALID_ARGUMENT 10022
#define ZNG_CODE_SOCKET_TOO_MANY_SOCKETS 10024
#define ZNG_CODE_SOCKET_ADDRESS_FAMILY 10047
#define ZNG_CODE_SOCKET_NETWORK_UNREACHABLE 10051
#define ZNG_CODE_SOCKET_CONNECTION_ABORTED 10053
#define ZNG_CODE_SOCKET_CONNECTION_RESET 10054
#define ZNG_CODE_SOCKET_NO_BUFFERS 10055
#define ZNG_CODE_SOCKET_NOT_CONNECTED 10057
#define ZNG_CODE_SOCKET_TIMED_OUT 10060
#define ZNG_CODE_SOCKET_CONNECTION_REFUSED 10061
#define ZNG_CODE_SOCKET_HOST_UNREACHABLE 10065
#define ZNG_CODE_SOCKET_DISCONNECTED 10101
#define ZNG_CODE_SOCKET_SYSTEM_CALL_FAILURE 10107
#define ZNG_CODE_SOCKET_HOST_NOT_FOUND 11001
#define ZNG_CODE_SOCKET_TRY_AGAIN 11002
#define ZNG_CODE_SOCKET_NO_RECOVERY 11003
#define ZNG_CODE_SOCKET_NO_DATA 11004

/* "MAJOR.MINOR.PATCH" of the library loaded, never NULL; static storage. */
ZNG_API const char* ZNG_CALL zng_version(void);

/* Tracing: the function is called with one line per bind, LDAP search and administration
 * request of every handle in the process, the lines `zngroups --trace` prints after
 * "trace: " ("search server=ldap1 base=\"o=example.com\" filter=... code=0 entries=1
 * ms=0.4"); user tokens are shown as <token> and passwords never. It is called on the thread
 * that does the work, so it must be safe to call from several at once; the line lives until
 * it returns. NULL stops tracing, which then costs nothing. */
typedef void(ZNG_CALL* zng_trace_function)(const char* line, void* context);
ZNG_API void ZNG_CALL zng_set_trace(zng_trace_function function, void* context);

/* Settings of the whole process that win over the configuration file and the environment:
 * "tls" (off, starttls, ldaps), "tls-ca" (a PEM file), "tls-verify" (on, off) and
 * "admin-tls" (on, off). A NULL value removes the process's own value, so that the file and
 * the environment count again. Returns 1, or 0 for an unknown key or a value the key cannot
 * take (nothing changes then; zng_option_error says why). Safe to call from any thread; a
 * connection opened afterwards uses the new value. */
ZNG_API long ZNG_CALL zng_set_option(const char* key, const char* value);
/* Why the calling thread's last zng_set_option failed, "" after one that succeeded; lives
 * until the thread's next zng_set_option. */
ZNG_API const char* ZNG_CALL zng_option_error(void);

/* Groups. ---------------------------------------------------------------------------- */

/* An empty group name; a group name (kept upper-cased, cut to 80 characters); a copy of
 * another group, which has its name, context and results but a fresh directory session. */
ZNG_API zng_group* ZNG_CALL zng_group_new(void);
ZNG_API zng_group* ZNG_CALL zng_group_new_named(const char* groupName);
ZNG_API zng_group* ZNG_CALL zng_group_copy(const zng_group* other);
/* Makes group a copy of other, as the class's assignment does. */
ZNG_API void ZNG_CALL zng_group_assign(zng_group* group, const zng_group* other);
ZNG_API void ZNG_CALL zng_group_free(zng_group* group);

/* Context. */
ZNG_API void ZNG_CALL zng_group_set_group_name(zng_group* group, const char* groupName);
ZNG_API void ZNG_CALL zng_group_set_access(zng_group* group, const char* userName,
                                           const char* password);
ZNG_API void ZNG_CALL zng_group_set_access_of(zng_group* group, const char* userName,
                                              const char* password, const char* groupName);
ZNG_API const char* ZNG_CALL zng_group_get_group_name(zng_group* group);

/* Attributes of the group, read afresh on every call. A group that does not exist reads
 * as empty with success; IsValidGroup tells the two apart.
 * Storage: each attribute has a text of its own in the handle, rewritten by the next call of
 * the same function (or its _of form); a change that checks a company number may rewrite the
 * company number's. */
ZNG_API const char* ZNG_CALL zng_group_get_company_number(zng_group* group);
ZNG_API const char* ZNG_CALL zng_group_get_company_number_of(zng_group* group,
                                                             const char* groupName);
ZNG_API const char* ZNG_CALL zng_group_get_description(zng_group* group);
ZNG_API const char* ZNG_CALL zng_group_get_description_of(zng_group* group, const char* groupName);
ZNG_API const char* ZNG_CALL zng_group_get_organizational_unit(zng_group* group);
ZNG_API const char* ZNG_CALL zng_group_get_organizational_unit_of(zng_group* group,
                                                                  const char* groupName);
ZNG_API const char* ZNG_CALL zng_group_get_generic_attribute_value(zng_group* group,
                                                                   const char* attribute);
ZNG_API const char* ZNG_CALL zng_group_get_generic_attribute_value_of(zng_group* group,
                                                                      const char* groupName,
                                                                      const char* attribute);

/* The character code of the flag's first character ('Y' is 89), 0 when there is none. */
ZNG_API long ZNG_CALL zng_group_get_mail_aliased_flag(zng_group* group);
ZNG_API long ZNG_CALL zng_group_get_mail_aliased_flag_of(zng_group* group, const char* groupName);

/* Not provided by the directory: always empty, status 30020. */
ZNG_API const char* ZNG_CALL zng_group_get_outlook_display_name(zng_group* group);
ZNG_API const char* ZNG_CALL zng_group_get_outlook_display_name_of(zng_group* group,
                                                                   const char* groupName);

/* People related to the group, sorted by user name; duplicates kept.
 * Storage: these eight functions share the handle's one list of workers. Each returns the
 * same pointer and rewrites the list: after zng_group_get_owners, a list that
 * zng_group_get_contacts returned holds the owners. Copy the names, or use two handles, to
 * keep both. The counts below use no list. */
ZNG_API const zng_worker_list* ZNG_CALL zng_group_get_contacts(zng_group* group);
ZNG_API const zng_worker_list* ZNG_CALL zng_group_get_contacts_of(zng_group* group,
                                                                  const char* groupName);
ZNG_API const zng_worker_list* ZNG_CALL zng_group_get_direct_members(zng_group* group);
ZNG_API const zng_worker_list* ZNG_CALL zng_group_get_direct_members_of(zng_group* group,
                                                                        const char* groupName);
ZNG_API const zng_worker_list* ZNG_CALL zng_group_get_eventual_members(zng_group* group);
ZNG_API const zng_worker_list* ZNG_CALL zng_group_get_eventual_members_of(zng_group* group,
                                                                          const char* groupName);
ZNG_API const zng_worker_list* ZNG_CALL zng_group_get_owners(zng_group* group);
ZNG_API const zng_worker_list* ZNG_CALL zng_group_get_owners_of(zng_group* group,
                                                                const char* groupName);
ZNG_API long ZNG_CALL zng_group_get_contacts_count(zng_group* group);
ZNG_API long ZNG_CALL zng_group_get_contacts_count_of(zng_group* group, const char* groupName);
ZNG_API long ZNG_CALL zng_group_get_direct_members_count(zng_group* group);
ZNG_API long ZNG_CALL zng_group_get_direct_members_count_of(zng_group* group,
                                                            const char* groupName);
ZNG_API long ZNG_CALL zng_group_get_eventual_members_count(zng_group* group);
ZNG_API long ZNG_CALL zng_group_get_eventual_members_count_of(zng_group* group,
                                                              const char* groupName);
ZNG_API long ZNG_CALL zng_group_get_owners_count(zng_group* group);
ZNG_API long ZNG_CALL zng_group_get_owners_count_of(zng_group* group, const char* groupName);

/* Groups related to the group, sorted by name. The eventual supergroups are every group
 * reached by walking "SuperGroup" upwards, each once.
 * Storage: these six functions, zng_group_get_top_groups, zng_group_find_groups and
 * zng_group_find_groups_by_keyword share the handle's one list of groups, as the people
 * lists above share theirs. */
ZNG_API const zng_group_list* ZNG_CALL zng_group_get_sub_groups(zng_group* group);
ZNG_API const zng_group_list* ZNG_CALL zng_group_get_sub_groups_of(zng_group* group,
                                                                   const char* groupName);
ZNG_API const zng_group_list* ZNG_CALL zng_group_get_super_groups(zng_group* group);
ZNG_API const zng_group_list* ZNG_CALL zng_group_get_super_groups_of(zng_group* group,
                                                                     const char* groupName);
ZNG_API const zng_group_list* ZNG_CALL zng_group_get_eventual_super_groups(zng_group* group);
ZNG_API const zng_group_list* ZNG_CALL
zng_group_get_eventual_super_groups_of(zng_group* group, const char* groupName);
ZNG_API long ZNG_CALL zng_group_get_sub_groups_count(zng_group* group);
ZNG_API long ZNG_CALL zng_group_get_sub_groups_count_of(zng_group* group, const char* groupName);
ZNG_API long ZNG_CALL zng_group_get_super_groups_count(zng_group* group);
ZNG_API long ZNG_CALL zng_group_get_super_groups_count_of(zng_group* group, const char* groupName);
ZNG_API long ZNG_CALL zng_group_get_eventual_super_groups_count(zng_group* group);
ZNG_API long ZNG_CALL zng_group_get_eventual_super_groups_count_of(zng_group* group,
                                                                   const char* groupName);

/* Groups without a supergroup, and groups by a name pattern ('*' is a wildcard). */
ZNG_API const zng_group_list* ZNG_CALL zng_group_get_top_groups(zng_group* group);
ZNG_API long ZNG_CALL zng_group_get_top_groups_count(zng_group* group);
ZNG_API const zng_group_list* ZNG_CALL zng_group_find_groups(zng_group* group,
                                                             const char* searchString);

/* Not provided by the directory: empty, status 30020. */
ZNG_API const zng_group_list* ZNG_CALL zng_group_find_groups_by_keyword(zng_group* group,
                                                                        const char* searchString);

/* The directory's configuration lists, in the directory's order.
 * Storage: the active companies and the domains have a list each, rewritten only by the same
 * call. The organizational units (and the available keywords) are the handle's list of
 * values, which every directory search of the handle rewrites: read it before the next
 * call. */
ZNG_API const zng_string_list* ZNG_CALL zng_group_get_active_companies(zng_group* group);
ZNG_API const zng_string_list* ZNG_CALL zng_group_get_domains(zng_group* group);
ZNG_API const zng_string_list* ZNG_CALL zng_group_get_organizational_units(zng_group* group);

/* Not provided by the directory: empty, status 30020. */
ZNG_API const zng_string_list* ZNG_CALL zng_group_get_available_keywords(zng_group* group);

/* Checks: 1 for yes, 0 for no or failure with the reason in the error status. */
ZNG_API long ZNG_CALL zng_group_is_valid_group(zng_group* group);
ZNG_API long ZNG_CALL zng_group_is_valid_group_of(zng_group* group, const char* groupName);
ZNG_API long ZNG_CALL zng_group_is_public_group(zng_group* group);
ZNG_API long ZNG_CALL zng_group_is_public_group_of(zng_group* group, const char* groupName);
ZNG_API long ZNG_CALL zng_group_is_valid_group_contact(zng_group* group, const char* userName);
ZNG_API long ZNG_CALL zng_group_is_valid_group_contact_of(zng_group* group, const char* groupName,
                                                          const char* userName);
ZNG_API long ZNG_CALL zng_group_is_valid_group_direct_member(zng_group* group,
                                                             const char* userName);
ZNG_API long ZNG_CALL zng_group_is_valid_group_direct_member_of(zng_group* group,
                                                                const char* groupName,
                                                                const char* userName);
ZNG_API long ZNG_CALL zng_group_is_valid_group_eventual_member(zng_group* group,
                                                               const char* userName);
ZNG_API long ZNG_CALL zng_group_is_valid_group_eventual_member_of(zng_group* group,
                                                                  const char* groupName,
                                                                  const char* userName);
ZNG_API long ZNG_CALL zng_group_is_valid_group_owner(zng_group* group, const char* userName);
ZNG_API long ZNG_CALL zng_group_is_valid_group_owner_of(zng_group* group, const char* groupName,
                                                        const char* userName);

/* In the (group, candidate) shapes the group name is applied only once the candidate is
 * known to exist. */
ZNG_API long ZNG_CALL zng_group_is_valid_group_sub_group(zng_group* group, const char* candidate);
ZNG_API long ZNG_CALL zng_group_is_valid_group_sub_group_of(zng_group* group, const char* groupName,
                                                            const char* candidate);
ZNG_API long ZNG_CALL zng_group_is_valid_group_super_group(zng_group* group, const char* candidate);
ZNG_API long ZNG_CALL zng_group_is_valid_group_super_group_of(zng_group* group,
                                                              const char* groupName,
                                                              const char* candidate);
ZNG_API long ZNG_CALL zng_group_is_valid_group_eventual_super_group(zng_group* group,
                                                                    const char* candidate);
ZNG_API long ZNG_CALL zng_group_is_valid_group_eventual_super_group_of(zng_group* group,
                                                                       const char* groupName,
                                                                       const char* candidate);
ZNG_API long ZNG_CALL zng_group_is_valid_new_group_name(zng_group* group, const char* name);
ZNG_API long ZNG_CALL zng_group_is_valid_domain(zng_group* group, const char* domain);

/* Not provided by the directory: 0, status 30020. */
ZNG_API long ZNG_CALL zng_group_is_active_company(zng_group* group, const char* company);
ZNG_API long ZNG_CALL zng_group_is_available_keyword(zng_group* group, const char* keyWord);
ZNG_API long ZNG_CALL zng_group_is_valid_organizational_unit(zng_group* group, const char* unit);

/* The domain whose directory and administration servers the object uses; SetDomain
 * accepts only a domain the directory lists (the empty domain selects the local servers). */
ZNG_API long ZNG_CALL zng_group_set_domain(zng_group* group, const char* domain);
ZNG_API const char* ZNG_CALL zng_group_get_domain(zng_group* group);

/* Changes. Each checks its argument and the requester against the directory (the user
 * name and password set by SetAccess or the call itself, verified once per user name),
 * then sends one request to the administration server of the object's domain. Returns
 * the server's result (1: done) or the result of the check that refused; nothing is
 * sent after a refusal. Shapes: (x), (group, x), (user, password, x),
 * (user, password, group, x). */
ZNG_API long ZNG_CALL zng_group_add_contact(zng_group* group, const char* contact);
ZNG_API long ZNG_CALL zng_group_add_contact_of(zng_group* group, const char* groupName,
                                               const char* contact);
ZNG_API long ZNG_CALL zng_group_add_contact_as(zng_group* group, const char* userName,
                                               const char* password, const char* contact);
ZNG_API long ZNG_CALL zng_group_add_contact_as_of(zng_group* group, const char* userName,
                                                  const char* password, const char* groupName,
                                                  const char* contact);
ZNG_API long ZNG_CALL zng_group_add_direct_member(zng_group* group, const char* member);
ZNG_API long ZNG_CALL zng_group_add_direct_member_of(zng_group* group, const char* groupName,
                                                     const char* member);
ZNG_API long ZNG_CALL zng_group_add_direct_member_as(zng_group* group, const char* userName,
                                                     const char* password, const char* member);
ZNG_API long ZNG_CALL zng_group_add_direct_member_as_of(zng_group* group, const char* userName,
                                                        const char* password, const char* groupName,
                                                        const char* member);
ZNG_API long ZNG_CALL zng_group_add_owner(zng_group* group, const char* owner);
ZNG_API long ZNG_CALL zng_group_add_owner_of(zng_group* group, const char* groupName,
                                             const char* owner);
ZNG_API long ZNG_CALL zng_group_add_owner_as(zng_group* group, const char* userName,
                                             const char* password, const char* owner);
ZNG_API long ZNG_CALL zng_group_add_owner_as_of(zng_group* group, const char* userName,
                                                const char* password, const char* groupName,
                                                const char* owner);
ZNG_API long ZNG_CALL zng_group_add_sub_group(zng_group* group, const char* subGroup);
ZNG_API long ZNG_CALL zng_group_add_sub_group_of(zng_group* group, const char* groupName,
                                                 const char* subGroup);
ZNG_API long ZNG_CALL zng_group_add_sub_group_as(zng_group* group, const char* userName,
                                                 const char* password, const char* subGroup);
ZNG_API long ZNG_CALL zng_group_add_sub_group_as_of(zng_group* group, const char* userName,
                                                    const char* password, const char* groupName,
                                                    const char* subGroup);
ZNG_API long ZNG_CALL zng_group_delete_contact(zng_group* group, const char* contact);
ZNG_API long ZNG_CALL zng_group_delete_contact_of(zng_group* group, const char* groupName,
                                                  const char* contact);
ZNG_API long ZNG_CALL zng_group_delete_contact_as(zng_group* group, const char* userName,
                                                  const char* password, const char* contact);
ZNG_API long ZNG_CALL zng_group_delete_contact_as_of(zng_group* group, const char* userName,
                                                     const char* password, const char* groupName,
                                                     const char* contact);
ZNG_API long ZNG_CALL zng_group_delete_direct_member(zng_group* group, const char* member);
ZNG_API long ZNG_CALL zng_group_delete_direct_member_of(zng_group* group, const char* groupName,
                                                        const char* member);
ZNG_API long ZNG_CALL zng_group_delete_direct_member_as(zng_group* group, const char* userName,
                                                        const char* password, const char* member);
ZNG_API long ZNG_CALL zng_group_delete_direct_member_as_of(zng_group* group, const char* userName,
                                                           const char* password,
                                                           const char* groupName,
                                                           const char* member);
ZNG_API long ZNG_CALL zng_group_delete_owner(zng_group* group, const char* owner);
ZNG_API long ZNG_CALL zng_group_delete_owner_of(zng_group* group, const char* groupName,
                                                const char* owner);
ZNG_API long ZNG_CALL zng_group_delete_owner_as(zng_group* group, const char* userName,
                                                const char* password, const char* owner);
ZNG_API long ZNG_CALL zng_group_delete_owner_as_of(zng_group* group, const char* userName,
                                                   const char* password, const char* groupName,
                                                   const char* owner);
ZNG_API long ZNG_CALL zng_group_remove_sub_group(zng_group* group, const char* subGroup);
ZNG_API long ZNG_CALL zng_group_remove_sub_group_of(zng_group* group, const char* groupName,
                                                    const char* subGroup);
ZNG_API long ZNG_CALL zng_group_remove_sub_group_as(zng_group* group, const char* userName,
                                                    const char* password, const char* subGroup);
ZNG_API long ZNG_CALL zng_group_remove_sub_group_as_of(zng_group* group, const char* userName,
                                                       const char* password, const char* groupName,
                                                       const char* subGroup);
ZNG_API long ZNG_CALL zng_group_delete_sub_group(zng_group* group, const char* subGroup);
ZNG_API long ZNG_CALL zng_group_delete_sub_group_of(zng_group* group, const char* groupName,
                                                    const char* subGroup);
ZNG_API long ZNG_CALL zng_group_delete_sub_group_as(zng_group* group, const char* userName,
                                                    const char* password, const char* subGroup);
ZNG_API long ZNG_CALL zng_group_delete_sub_group_as_of(zng_group* group, const char* userName,
                                                       const char* password, const char* groupName,
                                                       const char* subGroup);
ZNG_API long ZNG_CALL zng_group_set_new_group_name(zng_group* group, const char* newName);
ZNG_API long ZNG_CALL zng_group_set_new_group_name_of(zng_group* group, const char* groupName,
                                                      const char* newName);
ZNG_API long ZNG_CALL zng_group_set_new_group_name_as(zng_group* group, const char* userName,
                                                      const char* password, const char* newName);
ZNG_API long ZNG_CALL zng_group_set_new_group_name_as_of(zng_group* group, const char* userName,
                                                         const char* password,
                                                         const char* groupName,
                                                         const char* newName);
ZNG_API long ZNG_CALL zng_group_set_company_number(zng_group* group, const char* companyNumber);
ZNG_API long ZNG_CALL zng_group_set_company_number_of(zng_group* group, const char* groupName,
                                                      const char* companyNumber);
ZNG_API long ZNG_CALL zng_group_set_company_number_as(zng_group* group, const char* userName,
                                                      const char* password,
                                                      const char* companyNumber);
ZNG_API long ZNG_CALL zng_group_set_company_number_as_of(zng_group* group, const char* userName,
                                                         const char* password,
                                                         const char* groupName,
                                                         const char* companyNumber);
ZNG_API long ZNG_CALL zng_group_set_description(zng_group* group, const char* description);
ZNG_API long ZNG_CALL zng_group_set_description_of(zng_group* group, const char* groupName,
                                                   const char* description);
ZNG_API long ZNG_CALL zng_group_set_description_as(zng_group* group, const char* userName,
                                                   const char* password, const char* description);
ZNG_API long ZNG_CALL zng_group_set_description_as_of(zng_group* group, const char* userName,
                                                      const char* password, const char* groupName,
                                                      const char* description);
ZNG_API long ZNG_CALL zng_group_create_sub_group(zng_group* group, const char* newName,
                                                 const char* unit);
ZNG_API long ZNG_CALL zng_group_create_sub_group_of(zng_group* group, const char* groupName,
                                                    const char* newName, const char* unit);
ZNG_API long ZNG_CALL zng_group_create_sub_group_as(zng_group* group, const char* userName,
                                                    const char* password, const char* newName,
                                                    const char* unit);
ZNG_API long ZNG_CALL zng_group_create_sub_group_as_of(zng_group* group, const char* userName,
                                                       const char* password, const char* groupName,
                                                       const char* newName, const char* unit);
ZNG_API long ZNG_CALL zng_group_set_generic_attribute_value(zng_group* group, const char* attribute,
                                                            const char* value);
ZNG_API long ZNG_CALL zng_group_set_generic_attribute_value_of(zng_group* group,
                                                               const char* groupName,
                                                               const char* attribute,
                                                               const char* value);
ZNG_API long ZNG_CALL zng_group_set_generic_attribute_value_as(zng_group* group,
                                                               const char* userName,
                                                               const char* password,
                                                               const char* attribute,
                                                               const char* value);
ZNG_API long ZNG_CALL zng_group_set_generic_attribute_value_as_of(
    zng_group* group, const char* userName, const char* password, const char* groupName,
    const char* attribute, const char* value);
ZNG_API long ZNG_CALL zng_group_set_exchange_synchronization(zng_group* group);
ZNG_API long ZNG_CALL zng_group_set_exchange_synchronization_of(zng_group* group,
                                                                const char* groupName);
ZNG_API long ZNG_CALL zng_group_set_exchange_synchronization_as_of(zng_group* group,
                                                                   const char* userName,
                                                                   const char* password,
                                                                   const char* groupName);
ZNG_API long ZNG_CALL zng_group_clear_exchange_synchronization(zng_group* group);
ZNG_API long ZNG_CALL zng_group_clear_exchange_synchronization_of(zng_group* group,
                                                                  const char* groupName);
ZNG_API long ZNG_CALL zng_group_clear_exchange_synchronization_as_of(zng_group* group,
                                                                     const char* userName,
                                                                     const char* password,
                                                                     const char* groupName);
ZNG_API long ZNG_CALL zng_group_set_mail_aliased_flag(zng_group* group);
ZNG_API long ZNG_CALL zng_group_set_mail_aliased_flag_of(zng_group* group, const char* groupName);
ZNG_API long ZNG_CALL zng_group_set_mail_aliased_flag_as_of(zng_group* group, const char* userName,
                                                            const char* password,
                                                            const char* groupName);
ZNG_API long ZNG_CALL zng_group_clear_mail_aliased_flag(zng_group* group);
ZNG_API long ZNG_CALL zng_group_clear_mail_aliased_flag_of(zng_group* group, const char* groupName);
ZNG_API long ZNG_CALL zng_group_clear_mail_aliased_flag_as_of(zng_group* group,
                                                              const char* userName,
                                                              const char* password,
                                                              const char* groupName);
ZNG_API long ZNG_CALL zng_group_reset_group_change_logs(zng_group* group);
ZNG_API long ZNG_CALL zng_group_reset_group_change_logs_of(zng_group* group, const char* groupName);
ZNG_API long ZNG_CALL zng_group_reset_group_change_logs_as_of(zng_group* group,
                                                              const char* userName,
                                                              const char* password,
                                                              const char* groupName);

/* Questions about changes made. The status of a change goes to the local administration
 * server; the change logs to the object's domain's.
 * Storage: the text of a change's status and a change-log entry are one text of the handle,
 * each call rewriting it; the change logs have a list of their own, which the change records
 * below also rewrite. */
ZNG_API long ZNG_CALL zng_group_get_error_status_code_of_change(zng_group* group,
                                                                long changeNumber);
ZNG_API const char* ZNG_CALL zng_group_get_error_status_text_of_change(zng_group* group,
                                                                       long changeNumber);
ZNG_API const char* ZNG_CALL zng_group_get_change_log_entry(zng_group* group, long entryNumber);
ZNG_API const zng_string_list* ZNG_CALL zng_group_get_group_change_logs(zng_group* group);
ZNG_API const zng_string_list* ZNG_CALL zng_group_get_group_change_logs_of(zng_group* group,
                                                                           const char* groupName);

/* The number the administration server gave the last change sent through this handle
 * ("Change 17 applied.", "Change 17 is pending..."): 0 when that change was refused, failed or
 * made no change, or before any. Asks nobody and leaves the error status alone. */
ZNG_API long ZNG_CALL zng_group_get_last_change_number(zng_group* group);

/* Change-log entries as records: the group's log (as zng_group_get_group_change_logs, which
 * it calls, so that list is rewritten too), or the one entry of a number (an empty list when
 * there is none, with the reason in the error status). The list belongs to the handle and is
 * rewritten by the next of these three calls on it. Per record: the change's number, when
 * the server received it (UTC, "2026-12-07T09:27:44Z"), the requester, the kind ("ADD
 * MEMBER", "SET DESCRIPTION"...), the group, the target ("" when the kind has none), the
 * state ("applied", "pending", "rejected") and its code (ZNG_CHANGE_APPLIED,
 * ZNG_CHANGE_PENDING or the code that rejected it), and the line as the server wrote it. A
 * line of another shape keeps only its line: number and code 0, the other fields empty. An
 * index at or past the count gives NULL, or 0 for the numbers. */
ZNG_API const zng_change_list* ZNG_CALL zng_group_get_change_records(zng_group* group);
ZNG_API const zng_change_list* ZNG_CALL zng_group_get_change_records_of(zng_group* group,
                                                                        const char* groupName);
ZNG_API const zng_change_list* ZNG_CALL zng_group_get_change_record(zng_group* group,
                                                                    long entryNumber);
ZNG_API size_t ZNG_CALL zng_change_list_count(const zng_change_list* list);
ZNG_API long ZNG_CALL zng_change_list_number(const zng_change_list* list, size_t index);
ZNG_API const char* ZNG_CALL zng_change_list_time(const zng_change_list* list, size_t index);
ZNG_API const char* ZNG_CALL zng_change_list_requester(const zng_change_list* list, size_t index);
ZNG_API const char* ZNG_CALL zng_change_list_kind(const zng_change_list* list, size_t index);
ZNG_API const char* ZNG_CALL zng_change_list_group(const zng_change_list* list, size_t index);
ZNG_API const char* ZNG_CALL zng_change_list_target(const zng_change_list* list, size_t index);
ZNG_API const char* ZNG_CALL zng_change_list_state(const zng_change_list* list, size_t index);
ZNG_API long ZNG_CALL zng_change_list_code(const zng_change_list* list, size_t index);
ZNG_API const char* ZNG_CALL zng_change_list_line(const zng_change_list* list, size_t index);

/* Not provided by the directory: 0, status 30020, no context applied. */
ZNG_API long ZNG_CALL zng_group_add_keyword(zng_group* group, const char* keyWord);
ZNG_API long ZNG_CALL zng_group_add_keyword_of(zng_group* group, const char* groupName,
                                               const char* keyWord);
ZNG_API long ZNG_CALL zng_group_delete_keyword(zng_group* group, const char* keyWord);
ZNG_API long ZNG_CALL zng_group_delete_keyword_of(zng_group* group, const char* groupName,
                                                  const char* keyWord);
ZNG_API long ZNG_CALL zng_group_set_organizational_unit(zng_group* group, const char* unit);
ZNG_API long ZNG_CALL zng_group_set_organizational_unit_of(zng_group* group, const char* groupName,
                                                           const char* unit);
ZNG_API long ZNG_CALL zng_group_set_organizational_unit_as(zng_group* group, const char* userName,
                                                           const char* password, const char* unit);
ZNG_API long ZNG_CALL zng_group_set_organizational_unit_as_of(zng_group* group,
                                                              const char* userName,
                                                              const char* password,
                                                              const char* groupName,
                                                              const char* unit);
ZNG_API long ZNG_CALL zng_group_set_outlook_display_name(zng_group* group, const char* name);
ZNG_API long ZNG_CALL zng_group_set_outlook_display_name_of(zng_group* group, const char* groupName,
                                                            const char* name);
ZNG_API long ZNG_CALL zng_group_set_outlook_display_name_as(zng_group* group, const char* userName,
                                                            const char* password, const char* name);
ZNG_API long ZNG_CALL zng_group_set_outlook_display_name_as_of(zng_group* group,
                                                               const char* userName,
                                                               const char* password,
                                                               const char* groupName,
                                                               const char* name);

/* Error status of the last operation: code 1 for success. Storage: the text is rewritten by
 * every call on the handle but those that read the status. */
ZNG_API long ZNG_CALL zng_group_get_error_status_code(zng_group* group);
ZNG_API const char* ZNG_CALL zng_group_get_error_status_text(zng_group* group);

/* Time-outs: each bind wait is bounded by the connect time-out (default 5 s), each search
 * try by the search time-out (default 120 s). SetTimeOut sets the search seconds. */
ZNG_API long ZNG_CALL zng_group_get_connect_timeout_seconds(zng_group* group);
ZNG_API long ZNG_CALL zng_group_get_connect_timeout_microseconds(zng_group* group);
ZNG_API long ZNG_CALL zng_group_get_search_timeout_seconds(zng_group* group);
ZNG_API long ZNG_CALL zng_group_get_search_timeout_microseconds(zng_group* group);
ZNG_API long ZNG_CALL zng_group_get_timeout(zng_group* group);
ZNG_API void ZNG_CALL zng_group_set_connect_timeout(zng_group* group, long seconds,
                                                    long microSeconds);
ZNG_API void ZNG_CALL zng_group_set_search_timeout(zng_group* group, long seconds,
                                                   long microSeconds);
ZNG_API void ZNG_CALL zng_group_set_timeout(zng_group* group, long seconds);

/* Workers. --------------------------------------------------------------------------- */

/* A worker named by nothing yet, by user name (kept as given), or by worker number; none
 * reads the directory. A copy has the other's identity and attributes but a fresh session. */
ZNG_API zng_worker* ZNG_CALL zng_worker_new(void);
ZNG_API zng_worker* ZNG_CALL zng_worker_new_named(const char* userName);
ZNG_API zng_worker* ZNG_CALL zng_worker_new_numbered(long workerNumber);
ZNG_API zng_worker* ZNG_CALL zng_worker_copy(const zng_worker* other);
/* Makes worker a copy of other, as the class's assignment does. */
ZNG_API void ZNG_CALL zng_worker_assign(zng_worker* worker, const zng_worker* other);
ZNG_API void ZNG_CALL zng_worker_free(zng_worker* worker);

/* Attributes, read from the directory on first use.
 * Storage: each attribute has a text of its own in the handle; all of them are rewritten
 * when the worker changes (an _of form naming another user, zng_worker_set_user_name) and
 * by zng_worker_assign. */
ZNG_API const char* ZNG_CALL zng_worker_get_city(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_city_of(zng_worker* worker, const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_company_name(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_company_name_of(zng_worker* worker,
                                                            const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_company_number(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_company_number_of(zng_worker* worker,
                                                              const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_cost_center(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_cost_center_of(zng_worker* worker,
                                                           const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_cost_center_description(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_cost_center_description_of(zng_worker* worker,
                                                                       const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_country(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_country_of(zng_worker* worker, const char* userName);

/* The cost center, under its other name. */
ZNG_API const char* ZNG_CALL zng_worker_get_department(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_department_of(zng_worker* worker, const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_display_name(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_display_name_of(zng_worker* worker,
                                                            const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_email_address(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_email_address_of(zng_worker* worker,
                                                             const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_employee_type(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_employee_type_of(zng_worker* worker,
                                                             const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_fax_number(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_fax_number_of(zng_worker* worker, const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_full_name(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_full_name_of(zng_worker* worker, const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_given_name(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_given_name_of(zng_worker* worker, const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_job_title(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_job_title_of(zng_worker* worker, const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_mail_stop(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_mail_stop_of(zng_worker* worker, const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_office_location(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_office_location_of(zng_worker* worker,
                                                               const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_pager_number(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_pager_number_of(zng_worker* worker,
                                                            const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_phone_number(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_phone_number_of(zng_worker* worker,
                                                            const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_shift_code(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_shift_code_of(zng_worker* worker, const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_ship_to_city(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_ship_to_city_of(zng_worker* worker,
                                                            const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_ship_to_country(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_ship_to_country_of(zng_worker* worker,
                                                               const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_ship_to_state(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_ship_to_state_of(zng_worker* worker,
                                                             const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_ship_to_street(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_ship_to_street_of(zng_worker* worker,
                                                              const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_ship_to_zip_code(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_ship_to_zip_code_of(zng_worker* worker,
                                                                const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_state(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_state_of(zng_worker* worker, const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_street(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_street_of(zng_worker* worker, const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_supervisor_user_name(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_supervisor_user_name_of(zng_worker* worker,
                                                                    const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_surname(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_surname_of(zng_worker* worker, const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_zip_code(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_zip_code_of(zng_worker* worker, const char* userName);

/* Identity: the user name of a worker named by number, and the reverse. */
ZNG_API const char* ZNG_CALL zng_worker_get_user_name(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_user_name_numbered(zng_worker* worker,
                                                               long workerNumber);
ZNG_API long ZNG_CALL zng_worker_get_worker_number(zng_worker* worker);
ZNG_API long ZNG_CALL zng_worker_get_worker_number_of(zng_worker* worker, const char* userName);

/* 1 when the directory knows the worker (always searches), else 0. */
ZNG_API long ZNG_CALL zng_worker_is_valid_worker(zng_worker* worker);
ZNG_API long ZNG_CALL zng_worker_is_valid_worker_numbered(zng_worker* worker, long workerNumber);
ZNG_API long ZNG_CALL zng_worker_is_valid_worker_of(zng_worker* worker, const char* userName);
ZNG_API const char* ZNG_CALL zng_worker_get_worker_d_n(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_worker_d_n_of(zng_worker* worker, const char* userName);
ZNG_API void ZNG_CALL zng_worker_set_user_name(zng_worker* worker, const char* userName);

/* The user name this worker carries, as given, without a directory search. */
ZNG_API const char* ZNG_CALL zng_worker_get_name(zng_worker* worker);

/* Workers by user name, given name or surname, sorted by user name; the search string is
 * a pattern ('*' is a wildcard). The workers found carry only their user name.
 * Storage: the three share the handle's one list of workers; each rewrites it. */
ZNG_API const zng_worker_list* ZNG_CALL zng_worker_find_workers(zng_worker* worker,
                                                                const char* searchString);
ZNG_API const zng_worker_list* ZNG_CALL
zng_worker_find_workers_by_first_name(zng_worker* worker, const char* searchString);
ZNG_API const zng_worker_list* ZNG_CALL
zng_worker_find_workers_by_last_name(zng_worker* worker, const char* searchString);

/* The groups the worker is a contact, direct member, eventual member or owner of, sorted.
 * Storage: these eight share the handle's one list of groups; each rewrites it. */
ZNG_API const zng_group_list* ZNG_CALL zng_worker_get_contact_groups(zng_worker* worker);
ZNG_API const zng_group_list* ZNG_CALL zng_worker_get_contact_groups_of(zng_worker* worker,
                                                                        const char* userName);
ZNG_API const zng_group_list* ZNG_CALL zng_worker_get_direct_groups(zng_worker* worker);
ZNG_API const zng_group_list* ZNG_CALL zng_worker_get_direct_groups_of(zng_worker* worker,
                                                                       const char* userName);
ZNG_API const zng_group_list* ZNG_CALL zng_worker_get_eventual_groups(zng_worker* worker);
ZNG_API const zng_group_list* ZNG_CALL zng_worker_get_eventual_groups_of(zng_worker* worker,
                                                                         const char* userName);
ZNG_API const zng_group_list* ZNG_CALL zng_worker_get_owner_groups(zng_worker* worker);
ZNG_API const zng_group_list* ZNG_CALL zng_worker_get_owner_groups_of(zng_worker* worker,
                                                                      const char* userName);

/* 1 when the relation holds, else 0 with the reason in the error status. */
ZNG_API long ZNG_CALL zng_worker_is_valid_contact_group(zng_worker* worker, const char* groupName);
ZNG_API long ZNG_CALL zng_worker_is_valid_contact_group_of(zng_worker* worker, const char* userName,
                                                           const char* groupName);
ZNG_API long ZNG_CALL zng_worker_is_valid_direct_group(zng_worker* worker, const char* groupName);
ZNG_API long ZNG_CALL zng_worker_is_valid_direct_group_of(zng_worker* worker, const char* userName,
                                                          const char* groupName);
ZNG_API long ZNG_CALL zng_worker_is_valid_eventual_group(zng_worker* worker, const char* groupName);
ZNG_API long ZNG_CALL zng_worker_is_valid_eventual_group_of(zng_worker* worker,
                                                            const char* userName,
                                                            const char* groupName);
ZNG_API long ZNG_CALL zng_worker_is_valid_owner_group(zng_worker* worker, const char* groupName);
ZNG_API long ZNG_CALL zng_worker_is_valid_owner_group_of(zng_worker* worker, const char* userName,
                                                         const char* groupName);

/* The domains the directory lists, and the session's domain (empty for the local
 * servers); SetDomain accepts only a listed domain or the empty one. */
ZNG_API const zng_string_list* ZNG_CALL zng_worker_get_domains(zng_worker* worker);
ZNG_API long ZNG_CALL zng_worker_is_valid_domain(zng_worker* worker, const char* domain);
ZNG_API long ZNG_CALL zng_worker_set_domain(zng_worker* worker, const char* domain);
ZNG_API const char* ZNG_CALL zng_worker_get_domain(zng_worker* worker);

/* Authentication settings.
 * Who the user is. Authenticate binds as the user's entry with the password (and once
 * more with it in lower case): 1 with "Success", or 0 with the reason. Login signs on
 * the process's account when the directory allows it without a password, and asks for
 * user name and password in the login dialog otherwise: 1 authenticated, 5 cancelled or
 * not retried, 0 another end, any other value the platform's error when no dialog could
 * be shown. The user name given only pre-fills the dialog. */
ZNG_API long ZNG_CALL zng_worker_authenticate(zng_worker* worker, const char* userName,
                                              const char* password);
ZNG_API long ZNG_CALL zng_worker_login(zng_worker* worker);
ZNG_API long ZNG_CALL zng_worker_login_of(zng_worker* worker, const char* userName);
ZNG_API long ZNG_CALL zng_worker_login_titled(zng_worker* worker, const char* title,
                                              const char* userName);

/* 0: Authenticate refuses the direct members of ZNGENERICS (default 1: no such test). */
ZNG_API void ZNG_CALL zng_worker_set_allow_generic_authentication(zng_worker* worker, long allow);
ZNG_API void ZNG_CALL zng_worker_set_login_dialog_title(zng_worker* worker, const char* title);
ZNG_API const char* ZNG_CALL zng_worker_get_login_dialog_title(zng_worker* worker);

/* Error status of the last operation: code 1 for success. Storage: the text is rewritten by
 * every call on the handle but those that read the status. */
ZNG_API long ZNG_CALL zng_worker_get_error_status_code(zng_worker* worker);
ZNG_API const char* ZNG_CALL zng_worker_get_error_status_text(zng_worker* worker);

/* Time-outs: each bind wait is bounded by the connect time-out (default 5 s), each search
 * try by the search time-out (default 120 s). SetTimeOut sets the search seconds. */
ZNG_API long ZNG_CALL zng_worker_get_connect_timeout_seconds(zng_worker* worker);
ZNG_API long ZNG_CALL zng_worker_get_connect_timeout_microseconds(zng_worker* worker);
ZNG_API long ZNG_CALL zng_worker_get_search_timeout_seconds(zng_worker* worker);
ZNG_API long ZNG_CALL zng_worker_get_search_timeout_microseconds(zng_worker* worker);
ZNG_API long ZNG_CALL zng_worker_get_timeout(zng_worker* worker);
ZNG_API void ZNG_CALL zng_worker_set_connect_timeout(zng_worker* worker, long seconds,
                                                     long microSeconds);
ZNG_API void ZNG_CALL zng_worker_set_search_timeout(zng_worker* worker, long seconds,
                                                    long microSeconds);
ZNG_API void ZNG_CALL zng_worker_set_timeout(zng_worker* worker, long seconds);

#ifdef __cplusplus
}
#endif

#endif /* ZNGROUPS_H */
