// libldap sessions to one sandbox server, for the tests that check the sandbox itself.
#pragma once

#include <ldap.h>

#include <memory>
#include <string>

#include "tests/support/sandbox.h"

namespace zntest {

struct LdapCloser {
    void operator()(LDAP* ld) const { ldap_unbind_ext_s(ld, nullptr, nullptr); }
};
using LdapPtr = std::unique_ptr<LDAP, LdapCloser>;

// A libldap handle for ldap://host, resolved through the sandbox's hosts
// file as the library resolves it.  Synchronous calls give up after 3 s so
// a misbehaving fault fails the test instead of hanging it.
inline LdapPtr OpenLdap(const std::string& host) {
    LDAP* ld = nullptr;
    std::string uri = "ldap://" + host + ":389";
    if (ldap_initialize(&ld, uri.c_str()) != LDAP_SUCCESS) return nullptr;
    LdapPtr handle(ld);
    int version = LDAP_VERSION3;
    timeval limit{3, 0};
    ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld, LDAP_OPT_NETWORK_TIMEOUT, &limit);
    ldap_set_option(ld, LDAP_OPT_TIMEOUT, &limit);
    return handle;
}

// Binds as cn=admin,<base>, every server's rootdn; the LDAP code.
inline int BindAsAdmin(LDAP* ld) {
    const std::string dn = "cn=admin," + BaseDN();
    char password[] = "zngadmin";
    berval credentials{sizeof password - 1, password};
    return ldap_sasl_bind_s(ld, dn.c_str(), LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr,
                            nullptr);
}

}  // namespace zntest
