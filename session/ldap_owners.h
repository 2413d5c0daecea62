// Single owners for the LDAP library's resources, each released with the call the library
// documents for it.
#pragma once

#include <memory>

#include "platform/ldap_client.h"

namespace zn {

struct UnbindConnection {
    void operator()(ldapapi::Handle* handle) const noexcept { ldapapi::Unbind(handle); }
};
struct FreeMessageChain {
    void operator()(ldapapi::Message* chain) const noexcept { ldapapi::MsgFree(chain); }
};
struct FreeValues {
    void operator()(char** values) const noexcept { ldapapi::ValueFree(values); }
};
struct FreeLdapMemory {
    void operator()(char* memory) const noexcept { ldapapi::MemFree(memory); }
};
struct FreeBerElement {
    void operator()(ldapapi::BerElement* position) const noexcept { ldapapi::BerFree(position); }
};

using LdapConnection = std::unique_ptr<ldapapi::Handle, UnbindConnection>;
using LdapMessageChain = std::unique_ptr<ldapapi::Message, FreeMessageChain>;
using LdapValues = std::unique_ptr<char*, FreeValues>;
using LdapString = std::unique_ptr<char, FreeLdapMemory>;
using LdapBerElement = std::unique_ptr<ldapapi::BerElement, FreeBerElement>;

}  // namespace zn
