// Counts the searches the library sends, at the edge where they leave for libldap: the test
// binary is linked with --wrap=ldap_search_st and --wrap=ldap_search_ext, so every call lands
// here and goes on unchanged.
#define LDAP_DEPRECATED 1
#include <ldap.h>

#include "tests/groups/group_fixture.h"
#include "tests/usage/reporting_object.h"

namespace {

long g_searches = 0;

}  // namespace

extern "C" int __real_ldap_search_st(LDAP* ld, const char* base, int scope, const char* filter,
                                     char** attrs, int attrsonly, struct timeval* timeout,
                                     LDAPMessage** res);

extern "C" int __wrap_ldap_search_st(LDAP* ld, const char* base, int scope, const char* filter,
                                     char** attrs, int attrsonly, struct timeval* timeout,
                                     LDAPMessage** res) {
    ++g_searches;
    return __real_ldap_search_st(ld, base, scope, filter, attrs, attrsonly, timeout, res);
}

extern "C" int __real_ldap_search_ext(LDAP* ld, const char* base, int scope, const char* filter,
                                      char** attrs, int attrsonly, LDAPControl** server,
                                      LDAPControl** client, struct timeval* timeout, int sizelimit,
                                      int* msgid);

extern "C" int __wrap_ldap_search_ext(LDAP* ld, const char* base, int scope, const char* filter,
                                      char** attrs, int attrsonly, LDAPControl** server,
                                      LDAPControl** client, struct timeval* timeout, int sizelimit,
                                      int* msgid) {
    ++g_searches;
    return __real_ldap_search_ext(ld, base, scope, filter, attrs, attrsonly, server, client,
                                  timeout, sizelimit, msgid);
}

namespace zntest {

long SearchesSoFar() {
    return g_searches;
}

}  // namespace zntest

namespace zntest {

std::vector<std::string> GroupTest::Reports() {
    std::vector<std::string> reports;
    for (const SentMessage& sent : RecordingMessaging::Sent()) {
        reports.push_back(FieldOf(sent.contents, "FUNCTION") + "/" +
                          FieldOf(sent.contents, "CLASS") + "/" +
                          FieldOf(sent.contents, "ZNGROUPNAME"));
    }
    return reports;
}

}  // namespace zntest
