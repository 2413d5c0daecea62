/* The C interface as a C program uses it: handles made and freed in pairs, results borrowed
 * from the handle, lists by count and index, the error status of each handle. Runs inside the
 * sandbox against its sample directory and exits with the number of checks that failed. */
#include <stdio.h>
#include <string.h>

#include "zngroups.h"

static int failures = 0;

static void Check(int held, const char* what, int line) {
    if (!held) {
        ++failures;
        fprintf(stderr, "zngroups_c_test.c:%d: check failed: %s\n", line, what);
    }
}
#define CHECK(condition) Check((condition) != 0, #condition, __LINE__)

static int Same(const char* text, const char* expected) {
    return text != NULL && strcmp(text, expected) == 0;
}

static void GroupQueriesAndBorrowedResults(void) {
    zng_group* group = zng_group_new_named("eng-all");
    const char* description;
    const zng_group_list* subgroups;
    zng_group* backend;

    CHECK(group != NULL);
    CHECK(Same(zng_group_get_group_name(group), "ENG-ALL"));
    description = zng_group_get_description(group);
    CHECK(Same(description, "All engineering staff"));
    CHECK(zng_group_get_error_status_code(group) == 1);
    /* Another member's query leaves the description where it was. */
    CHECK(Same(zng_group_get_company_number(group), "0042"));
    CHECK(Same(description, "All engineering staff"));
    CHECK(zng_group_get_mail_aliased_flag(group) == 'Y');

    subgroups = zng_group_get_sub_groups(group);
    CHECK(zng_group_list_count(subgroups) == 3);
    CHECK(Same(zng_group_list_name(subgroups, 0), "ENG-BACKEND"));
    CHECK(Same(zng_group_list_name(subgroups, 2), "ENG-INFRA"));
    CHECK(zng_group_list_name(subgroups, 3) == NULL);
    /* An element as a handle of its own, which knows only its name. */
    backend = zng_group_list_new_group(subgroups, 0);
    CHECK(Same(zng_group_get_group_name(backend), "ENG-BACKEND"));
    CHECK(zng_group_is_valid_group_super_group(backend, "ENG-ALL") == 1);
    CHECK(zng_group_get_timeout(backend) == 120);
    zng_group_free(backend);

    /* The handle's own name and a name from its list go back into it: neither dangles, and
     * a check rewrites neither the name nor the list. */
    {
        const char* name = zng_group_get_group_name(group);
        const char* listed = zng_group_list_name(subgroups, 1);
        CHECK(zng_group_get_error_status_code(group) == 1);
        CHECK(zng_group_is_valid_group(group) == 1 && Same(name, "ENG-ALL"));
        CHECK(zng_group_is_valid_group_of(group, name) == 1);
        CHECK(zng_group_is_valid_group_eventual_super_group(group, listed) == 0);
        CHECK(zng_group_is_public_group(group) == 0);
        CHECK(Same(listed, "ENG-FRONTEND") && zng_group_list_count(subgroups) == 3);
        CHECK(Same(zng_group_get_group_name(group), "ENG-ALL") && Same(name, "ENG-ALL"));
    }

    /* Every group-list query rewrites the one list of groups, as the class's reference shows. */
    CHECK(zng_group_find_groups(group, "SALES-E*") == subgroups);
    CHECK(zng_group_list_count(subgroups) == 1);
    CHECK(Same(zng_group_list_name(subgroups, 0), "SALES-EMEA"));

    CHECK(zng_string_list_count(zng_group_get_active_companies(group)) == 3);
    /* The shapes with context: the group name stays for later calls. */
    CHECK(zng_group_get_direct_members_count_of(group, "ENG-BACKEND") > 0);
    CHECK(Same(zng_group_get_group_name(group), "ENG-BACKEND"));
    CHECK(zng_group_is_valid_group_direct_member_of(group, "ENG-DB", "cdoe") == 1);
    CHECK(Same(zng_group_get_group_name(group), "ENG-DB"));
    zng_group_free(group);
}

static void ErrorsStayWithTheirHandle(void) {
    zng_group* group = zng_group_new();
    zng_group* other = zng_group_new_named("ENG-ALL");
    zng_group* copy;

    CHECK(zng_group_is_valid_group_of(group, "NO-SUCH-GROUP") == 0);
    CHECK(zng_group_get_error_status_code(group) != 1);
    CHECK(zng_status_kind(zng_group_get_error_status_code(group)) == ZNG_STATUS_NOT_FOUND);
    CHECK(strlen(zng_group_get_error_status_text(group)) > 0);
    CHECK(zng_group_get_error_status_code(other) == 1);
    CHECK(zng_group_add_keyword(other, "k") == 0);
    CHECK(zng_group_get_error_status_code(other) == ZNG_CODE_NOT_IMPLEMENTED);
    CHECK(zng_status_kind(ZNG_CODE_NOT_IMPLEMENTED) == ZNG_STATUS_REFUSED);
    CHECK(zng_status_kind(ZNG_CODE_SUCCESS) == ZNG_STATUS_SUCCESS);
    /* A refused connection to the administration server, in Windows Sockets numbering. */
    CHECK(zng_status_kind(ZNG_CODE_SOCKET_CONNECTION_REFUSED) == ZNG_STATUS_UNREACHABLE);
    CHECK(zng_status_kind(ZNG_CODE_SERVER_UNKNOWN_CHANGE) == ZNG_STATUS_NOT_FOUND);
    CHECK(Same(zng_group_get_error_status_text(other),
               "This method/member function has not been implemented."));

    /* A copy has the name but a fresh session; an assignment replaces everything. */
    zng_group_set_timeout(other, 7);
    copy = zng_group_copy(other);
    CHECK(Same(zng_group_get_group_name(copy), "ENG-ALL"));
    CHECK(zng_group_get_timeout(copy) == 120);
    CHECK(zng_group_get_error_status_code(copy) == 1);
    zng_group_assign(group, other);
    CHECK(Same(zng_group_get_group_name(group), "ENG-ALL"));

    /* Nothing to act on: empty results, no crash. */
    CHECK(Same(zng_group_get_description(NULL), ""));
    CHECK(zng_group_get_owners(NULL) == NULL);
    CHECK(zng_worker_list_count(NULL) == 0);
    zng_group_free(NULL);
    zng_group_free(copy);
    zng_group_free(other);
    zng_group_free(group);
}

static void WorkersAndTheirGroups(void) {
    zng_worker* worker = zng_worker_new_numbered(1001);
    zng_group* group = zng_group_new_named("ENG-FRONTEND");
    const zng_worker_list* owners;
    const zng_group_list* groups;
    zng_worker* owner;

    CHECK(Same(zng_worker_get_user_name(worker), "asmith"));
    CHECK(Same(zng_worker_get_job_title(worker), "Chief Technology Officer"));
    CHECK(zng_worker_get_worker_number(worker) == 1001);
    CHECK(Same(zng_worker_get_city_of(worker, "jdoe"), "Springfield"));
    CHECK(Same(zng_worker_get_name(worker), "jdoe"));
    CHECK(zng_worker_is_valid_worker_of(worker, "ghost") == 0);
    CHECK(Same(zng_worker_get_error_status_text(worker), "ghost is not a valid username."));

    groups = zng_worker_get_direct_groups_of(worker, "asmith");
    CHECK(zng_group_list_count(groups) == 2);
    CHECK(Same(zng_group_list_name(groups, 0), "ENG-ALL"));
    CHECK(Same(zng_group_list_name(groups, 1), "ZN_GROUPS_ADMINISTRATORS"));
    CHECK(zng_worker_is_valid_direct_group(worker, "ENG-ALL") == 1);

    /* The people lists of one handle are one list: the contacts become the owners. */
    {
        const zng_worker_list* contacts = zng_group_get_contacts(group);
        CHECK(zng_worker_list_count(contacts) == 0);
        CHECK(zng_group_get_owners(group) == contacts && zng_worker_list_count(contacts) == 2);
    }
    owners = zng_group_get_owners(group);
    CHECK(zng_worker_list_count(owners) == 2);
    owner = zng_worker_list_new_worker(owners, 0);
    CHECK(Same(zng_worker_get_name(owner), zng_worker_list_name(owners, 0)));
    CHECK(zng_worker_is_valid_owner_group(owner, "ENG-FRONTEND") == 1);
    zng_worker_free(owner);

    CHECK(zng_worker_authenticate(worker, "asmith", "wrong password") == 0);
    CHECK(zng_worker_get_error_status_code(worker) != 1);
    zng_worker_set_connect_timeout(worker, 2, 250000);
    CHECK(zng_worker_get_connect_timeout_microseconds(worker) == 250000);
    zng_worker_set_login_dialog_title(worker, "");
    CHECK(Same(zng_worker_get_login_dialog_title(worker), "ZN Groups Authentication."));
    zng_group_free(group);
    zng_worker_free(worker);
}

static void VersionOfHeaderAndLibrary(void) {
    char header[32];
    sprintf(header, "%d.%d.%d", ZNGROUPS_VERSION_MAJOR, ZNGROUPS_VERSION_MINOR,
            ZNGROUPS_VERSION_PATCH);
    CHECK(Same(zng_version(), header));
    CHECK(Same(zng_version(), ZNGROUPS_EXPECTED_VERSION));
}

struct TraceLines {
    int searches;
    int others;
    char first[512];
};

static void ZNG_CALL CollectTrace(const char* line, void* context) {
    struct TraceLines* lines = (struct TraceLines*)context;
    if (strncmp(line, "search server=", 14) == 0) {
        if (lines->searches++ == 0) {
            strncpy(lines->first, line, sizeof lines->first - 1);
        }
    } else {
        ++lines->others;
    }
}

static void TraceGoesToTheApplication(void) {
    struct TraceLines lines;
    zng_group* group = zng_group_new_named("ENG-ALL");
    memset(&lines, 0, sizeof lines);
    zng_set_trace(CollectTrace, &lines);
    CHECK(Same(zng_group_get_description(group), "All engineering staff"));
    CHECK(lines.searches == 1);
    CHECK(strstr(lines.first, "filter=\"(&(objectclass=groupOfUniqueNames)(cn=ENG-ALL))\"") !=
          NULL);
    CHECK(strstr(lines.first, " code=0 entries=1 ms=") != NULL);
    /* Stopped, nothing more arrives. */
    zng_set_trace(NULL, &lines);
    CHECK(zng_group_get_owners_count(group) == 1);
    CHECK(lines.searches == 1);
    zng_group_free(group);
}

/* Members and groups with their details: one search for all, then each element answers from
 * memory as its own handle would. */
static void ListsLoadTheirDetailsTogether(void) {
    struct TraceLines lines;
    zng_group* group = zng_group_new_named("ENG-ALL");
    zng_worker* worker = zng_worker_new_named("jdoe");
    const zng_worker_list* members = zng_group_get_eventual_members(group);
    const zng_group_list* groups = zng_worker_get_eventual_groups(worker);
    size_t last = zng_worker_list_count(members) - 1;
    const char* name;
    const char* mail;

    CHECK(zng_worker_list_count(members) == 6);
    memset(&lines, 0, sizeof lines);
    zng_set_trace(CollectTrace, &lines);
    CHECK(zng_worker_list_load(members) == 6);
    CHECK(zng_group_list_load(groups) == (long)zng_group_list_count(groups));
    CHECK(lines.searches == 2);
    name = zng_worker_list_detail(members, last, "fullName");
    mail = zng_worker_list_detail(members, last, "emailAddress");
    CHECK(Same(zng_worker_list_name(members, last), "jdoe"));
    CHECK(Same(name, "John Doe") && Same(mail, "john.doe@example.com"));
    CHECK(Same(zng_worker_list_detail(members, last, "workerNumber"), "1002"));
    CHECK(zng_worker_list_status_code(members, last) == 1);
    CHECK(Same(zng_group_list_name(groups, 0), "ENG-ALL"));
    CHECK(Same(zng_group_list_detail(groups, 0, "description"), "All engineering staff"));
    CHECK(Same(zng_group_list_detail(groups, 0, "mailAliased"), "Y"));
    CHECK(Same(zng_group_list_detail(groups, 0, "organizationalUnit"), "Engineering"));
    CHECK(lines.searches == 2);
    zng_set_trace(NULL, &lines);

    CHECK(zng_worker_list_detail(members, last, "shoeSize") == NULL);
    CHECK(zng_worker_list_detail(members, last + 1, "fullName") == NULL);
    CHECK(zng_group_list_detail(groups, 0, NULL) == NULL);
    CHECK(zng_worker_list_load(NULL) == 0 && zng_worker_list_status_code(NULL, 0) == 0);
    zng_worker_free(worker);
    zng_group_free(group);
}

int main(void) {
    VersionOfHeaderAndLibrary();
    TraceGoesToTheApplication();
    GroupQueriesAndBorrowedResults();
    ErrorsStayWithTheirHandle();
    WorkersAndTheirGroups();
    ListsLoadTheirDetailsTogether();
    if (failures == 0) printf("zngroups_c_test: every check held\n");
    return failures;
}
