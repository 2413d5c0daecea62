// libldap sessions to one sandbox server, for the tests that check the sandbox itself.
#pragma once

#include <ldap.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

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

// Attribute names and their values, for WriteAsAdmin.
using LdapValues = std::vector<std::pair<std::string, std::vector<std::string>>>;

// Writes behind the library's back, bound as cn=admin on `host` (the domain's provider by
// default): `operation` LDAP_MOD_ADD, LDAP_MOD_DELETE or LDAP_MOD_REPLACE of the values in
// the entry `dn`, or -1 to add `dn` as a new entry holding them. The LDAP code.
inline int WriteAsAdmin(const std::string& dn, int operation, LdapValues values,
                        const std::string& host = ProviderHost()) {
    LdapPtr ld = OpenLdap(host);
    if (!ld) return LDAP_SERVER_DOWN;
    if (int rc = BindAsAdmin(ld.get()); rc != LDAP_SUCCESS) return rc;
    std::vector<std::vector<char*>> lists(values.size());
    std::vector<LDAPMod> mods(values.size());
    std::vector<LDAPMod*> pointers;
    for (std::size_t i = 0; i < values.size(); ++i) {
        for (std::string& value : values[i].second) lists[i].push_back(value.data());
        lists[i].push_back(nullptr);
        mods[i].mod_op = operation < 0 ? LDAP_MOD_ADD : operation;
        mods[i].mod_type = values[i].first.data();
        mods[i].mod_values = lists[i].data();
        pointers.push_back(&mods[i]);
    }
    pointers.push_back(nullptr);
    return operation < 0 ? ldap_add_ext_s(ld.get(), dn.c_str(), pointers.data(), nullptr, nullptr)
                         : ldap_modify_ext_s(ld.get(), dn.c_str(), pointers.data(), nullptr, nullptr);
}

}  // namespace zntest
