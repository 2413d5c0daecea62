// The C interface's group changes and change-log questions: each is one method of CZNGroup.
#include <utility>

#include "capi/handles.h"

using zn::capi::Change;
using zn::capi::Number;
using zn::capi::Str;
using zn::capi::Strings;
using zn::capi::Text;

extern "C" {

long zng_group_add_contact(zng_group* group, const char* contact) {
    return Change(group, [&](const CZNGroup& o) { return o.AddContact(Str(contact)); });
}

long zng_group_add_contact_of(zng_group* group, const char* groupName, const char* contact) {
    return Change(group,
                  [&](const CZNGroup& o) { return o.AddContact(Str(groupName), Str(contact)); });
}

long zng_group_add_contact_as(zng_group* group, const char* userName, const char* password,
                              const char* contact) {
    return Change(group, [&](const CZNGroup& o) {
        return o.AddContact(Str(userName), Str(password), Str(contact));
    });
}

long zng_group_add_contact_as_of(zng_group* group, const char* userName, const char* password,
                                 const char* groupName, const char* contact) {
    return Change(group, [&](const CZNGroup& o) {
        return o.AddContact(Str(userName), Str(password), Str(groupName), Str(contact));
    });
}

long zng_group_add_direct_member(zng_group* group, const char* member) {
    return Change(group, [&](const CZNGroup& o) { return o.AddDirectMember(Str(member)); });
}

long zng_group_add_direct_member_of(zng_group* group, const char* groupName, const char* member) {
    return Number(
        group, [&](const CZNGroup& o) { return o.AddDirectMember(Str(groupName), Str(member)); });
}

long zng_group_add_direct_member_as(zng_group* group, const char* userName, const char* password,
                                    const char* member) {
    return Change(group, [&](const CZNGroup& o) {
        return o.AddDirectMember(Str(userName), Str(password), Str(member));
    });
}

long zng_group_add_direct_member_as_of(zng_group* group, const char* userName, const char* password,
                                       const char* groupName, const char* member) {
    return Change(group, [&](const CZNGroup& o) {
        return o.AddDirectMember(Str(userName), Str(password), Str(groupName), Str(member));
    });
}

long zng_group_add_owner(zng_group* group, const char* owner) {
    return Change(group, [&](const CZNGroup& o) { return o.AddOwner(Str(owner)); });
}

long zng_group_add_owner_of(zng_group* group, const char* groupName, const char* owner) {
    return Change(group, [&](const CZNGroup& o) { return o.AddOwner(Str(groupName), Str(owner)); });
}

long zng_group_add_owner_as(zng_group* group, const char* userName, const char* password,
                            const char* owner) {
    return Change(group, [&](const CZNGroup& o) {
        return o.AddOwner(Str(userName), Str(password), Str(owner));
    });
}

long zng_group_add_owner_as_of(zng_group* group, const char* userName, const char* password,
                               const char* groupName, const char* owner) {
    return Change(group, [&](const CZNGroup& o) {
        return o.AddOwner(Str(userName), Str(password), Str(groupName), Str(owner));
    });
}

long zng_group_add_sub_group(zng_group* group, const char* subGroup) {
    return Change(group, [&](const CZNGroup& o) { return o.AddSubGroup(Str(subGroup)); });
}

long zng_group_add_sub_group_of(zng_group* group, const char* groupName, const char* subGroup) {
    return Change(group,
                  [&](const CZNGroup& o) { return o.AddSubGroup(Str(groupName), Str(subGroup)); });
}

long zng_group_add_sub_group_as(zng_group* group, const char* userName, const char* password,
                                const char* subGroup) {
    return Change(group, [&](const CZNGroup& o) {
        return o.AddSubGroup(Str(userName), Str(password), Str(subGroup));
    });
}

long zng_group_add_sub_group_as_of(zng_group* group, const char* userName, const char* password,
                                   const char* groupName, const char* subGroup) {
    return Change(group, [&](const CZNGroup& o) {
        return o.AddSubGroup(Str(userName), Str(password), Str(groupName), Str(subGroup));
    });
}

long zng_group_delete_contact(zng_group* group, const char* contact) {
    return Change(group, [&](const CZNGroup& o) { return o.DeleteContact(Str(contact)); });
}

long zng_group_delete_contact_of(zng_group* group, const char* groupName, const char* contact) {
    return Change(group,
                  [&](const CZNGroup& o) { return o.DeleteContact(Str(groupName), Str(contact)); });
}

long zng_group_delete_contact_as(zng_group* group, const char* userName, const char* password,
                                 const char* contact) {
    return Change(group, [&](const CZNGroup& o) {
        return o.DeleteContact(Str(userName), Str(password), Str(contact));
    });
}

long zng_group_delete_contact_as_of(zng_group* group, const char* userName, const char* password,
                                    const char* groupName, const char* contact) {
    return Change(group, [&](const CZNGroup& o) {
        return o.DeleteContact(Str(userName), Str(password), Str(groupName), Str(contact));
    });
}

long zng_group_delete_direct_member(zng_group* group, const char* member) {
    return Change(group, [&](const CZNGroup& o) { return o.DeleteDirectMember(Str(member)); });
}

long zng_group_delete_direct_member_of(zng_group* group, const char* groupName,
                                       const char* member) {
    return Change(group, [&](const CZNGroup& o) {
        return o.DeleteDirectMember(Str(groupName), Str(member));
    });
}

long zng_group_delete_direct_member_as(zng_group* group, const char* userName, const char* password,
                                       const char* member) {
    return Change(group, [&](const CZNGroup& o) {
        return o.DeleteDirectMember(Str(userName), Str(password), Str(member));
    });
}

long zng_group_delete_direct_member_as_of(zng_group* group, const char* userName,
                                          const char* password, const char* groupName,
                                          const char* member) {
    return Change(group, [&](const CZNGroup& o) {
        return o.DeleteDirectMember(Str(userName), Str(password), Str(groupName), Str(member));
    });
}

long zng_group_delete_owner(zng_group* group, const char* owner) {
    return Change(group, [&](const CZNGroup& o) { return o.DeleteOwner(Str(owner)); });
}

long zng_group_delete_owner_of(zng_group* group, const char* groupName, const char* owner) {
    return Change(group,
                  [&](const CZNGroup& o) { return o.DeleteOwner(Str(groupName), Str(owner)); });
}

long zng_group_delete_owner_as(zng_group* group, const char* userName, const char* password,
                               const char* owner) {
    return Change(group, [&](const CZNGroup& o) {
        return o.DeleteOwner(Str(userName), Str(password), Str(owner));
    });
}

long zng_group_delete_owner_as_of(zng_group* group, const char* userName, const char* password,
                                  const char* groupName, const char* owner) {
    return Change(group, [&](const CZNGroup& o) {
        return o.DeleteOwner(Str(userName), Str(password), Str(groupName), Str(owner));
    });
}

long zng_group_remove_sub_group(zng_group* group, const char* subGroup) {
    return Change(group, [&](const CZNGroup& o) { return o.RemoveSubGroup(Str(subGroup)); });
}

long zng_group_remove_sub_group_of(zng_group* group, const char* groupName, const char* subGroup) {
    return Number(
        group, [&](const CZNGroup& o) { return o.RemoveSubGroup(Str(groupName), Str(subGroup)); });
}

long zng_group_remove_sub_group_as(zng_group* group, const char* userName, const char* password,
                                   const char* subGroup) {
    return Change(group, [&](const CZNGroup& o) {
        return o.RemoveSubGroup(Str(userName), Str(password), Str(subGroup));
    });
}

long zng_group_remove_sub_group_as_of(zng_group* group, const char* userName, const char* password,
                                      const char* groupName, const char* subGroup) {
    return Change(group, [&](const CZNGroup& o) {
        return o.RemoveSubGroup(Str(userName), Str(password), Str(groupName), Str(subGroup));
    });
}

long zng_group_delete_sub_group(zng_group* group, const char* subGroup) {
    return Change(group, [&](const CZNGroup& o) { return o.DeleteSubGroup(Str(subGroup)); });
}

long zng_group_delete_sub_group_of(zng_group* group, const char* groupName, const char* subGroup) {
    return Number(
        group, [&](const CZNGroup& o) { return o.DeleteSubGroup(Str(groupName), Str(subGroup)); });
}

long zng_group_delete_sub_group_as(zng_group* group, const char* userName, const char* password,
                                   const char* subGroup) {
    return Change(group, [&](const CZNGroup& o) {
        return o.DeleteSubGroup(Str(userName), Str(password), Str(subGroup));
    });
}

long zng_group_delete_sub_group_as_of(zng_group* group, const char* userName, const char* password,
                                      const char* groupName, const char* subGroup) {
    return Change(group, [&](const CZNGroup& o) {
        return o.DeleteSubGroup(Str(userName), Str(password), Str(groupName), Str(subGroup));
    });
}

long zng_group_set_new_group_name(zng_group* group, const char* newName) {
    return Change(group, [&](const CZNGroup& o) { return o.SetNewGroupName(Str(newName)); });
}

long zng_group_set_new_group_name_of(zng_group* group, const char* groupName, const char* newName) {
    return Number(
        group, [&](const CZNGroup& o) { return o.SetNewGroupName(Str(groupName), Str(newName)); });
}

long zng_group_set_new_group_name_as(zng_group* group, const char* userName, const char* password,
                                     const char* newName) {
    return Change(group, [&](const CZNGroup& o) {
        return o.SetNewGroupName(Str(userName), Str(password), Str(newName));
    });
}

long zng_group_set_new_group_name_as_of(zng_group* group, const char* userName,
                                        const char* password, const char* groupName,
                                        const char* newName) {
    return Change(group, [&](const CZNGroup& o) {
        return o.SetNewGroupName(Str(userName), Str(password), Str(groupName), Str(newName));
    });
}

long zng_group_set_company_number(zng_group* group, const char* companyNumber) {
    return Change(group, [&](const CZNGroup& o) { return o.SetCompanyNumber(Str(companyNumber)); });
}

long zng_group_set_company_number_of(zng_group* group, const char* groupName,
                                     const char* companyNumber) {
    return Change(group, [&](const CZNGroup& o) {
        return o.SetCompanyNumber(Str(groupName), Str(companyNumber));
    });
}

long zng_group_set_company_number_as(zng_group* group, const char* userName, const char* password,
                                     const char* companyNumber) {
    return Change(group, [&](const CZNGroup& o) {
        return o.SetCompanyNumber(Str(userName), Str(password), Str(companyNumber));
    });
}

long zng_group_set_company_number_as_of(zng_group* group, const char* userName,
                                        const char* password, const char* groupName,
                                        const char* companyNumber) {
    return Change(group, [&](const CZNGroup& o) {
        return o.SetCompanyNumber(Str(userName), Str(password), Str(groupName), Str(companyNumber));
    });
}

long zng_group_set_description(zng_group* group, const char* description) {
    return Change(group, [&](const CZNGroup& o) { return o.SetDescription(Str(description)); });
}

long zng_group_set_description_of(zng_group* group, const char* groupName,
                                  const char* description) {
    return Change(group, [&](const CZNGroup& o) {
        return o.SetDescription(Str(groupName), Str(description));
    });
}

long zng_group_set_description_as(zng_group* group, const char* userName, const char* password,
                                  const char* description) {
    return Change(group, [&](const CZNGroup& o) {
        return o.SetDescription(Str(userName), Str(password), Str(description));
    });
}

long zng_group_set_description_as_of(zng_group* group, const char* userName, const char* password,
                                     const char* groupName, const char* description) {
    return Change(group, [&](const CZNGroup& o) {
        return o.SetDescription(Str(userName), Str(password), Str(groupName), Str(description));
    });
}

long zng_group_create_sub_group(zng_group* group, const char* newName, const char* unit) {
    return Change(group,
                  [&](const CZNGroup& o) { return o.CreateSubGroup(Str(newName), Str(unit)); });
}

long zng_group_create_sub_group_of(zng_group* group, const char* groupName, const char* newName,
                                   const char* unit) {
    return Change(group, [&](const CZNGroup& o) {
        return o.CreateSubGroup(Str(groupName), Str(newName), Str(unit));
    });
}

long zng_group_create_sub_group_as(zng_group* group, const char* userName, const char* password,
                                   const char* newName, const char* unit) {
    return Change(group, [&](const CZNGroup& o) {
        return o.CreateSubGroup(Str(userName), Str(password), Str(newName), Str(unit));
    });
}

long zng_group_create_sub_group_as_of(zng_group* group, const char* userName, const char* password,
                                      const char* groupName, const char* newName,
                                      const char* unit) {
    return Change(group, [&](const CZNGroup& o) {
        return o.CreateSubGroup(Str(userName), Str(password), Str(groupName), Str(newName),
                                Str(unit));
    });
}

long zng_group_set_generic_attribute_value(zng_group* group, const char* attribute,
                                           const char* value) {
    return Change(group, [&](const CZNGroup& o) {
        return o.SetGenericAttributeValue(Str(attribute), Str(value));
    });
}

long zng_group_set_generic_attribute_value_of(zng_group* group, const char* groupName,
                                              const char* attribute, const char* value) {
    return Change(group, [&](const CZNGroup& o) {
        return o.SetGenericAttributeValue(Str(groupName), Str(attribute), Str(value));
    });
}

long zng_group_set_generic_attribute_value_as(zng_group* group, const char* userName,
                                              const char* password, const char* attribute,
                                              const char* value) {
    return Change(group, [&](const CZNGroup& o) {
        return o.SetGenericAttributeValue(Str(userName), Str(password), Str(attribute), Str(value));
    });
}

long zng_group_set_generic_attribute_value_as_of(zng_group* group, const char* userName,
                                                 const char* password, const char* groupName,
                                                 const char* attribute, const char* value) {
    return Change(group, [&](const CZNGroup& o) {
        return o.SetGenericAttributeValue(Str(userName), Str(password), Str(groupName),
                                          Str(attribute), Str(value));
    });
}

long zng_group_set_exchange_synchronization(zng_group* group) {
    return Change(group, [&](const CZNGroup& o) { return o.SetExchangeSynchronization(); });
}

long zng_group_set_exchange_synchronization_of(zng_group* group, const char* groupName) {
    return Change(group,
                  [&](const CZNGroup& o) { return o.SetExchangeSynchronization(Str(groupName)); });
}

long zng_group_set_exchange_synchronization_as_of(zng_group* group, const char* userName,
                                                  const char* password, const char* groupName) {
    return Change(group, [&](const CZNGroup& o) {
        return o.SetExchangeSynchronization(Str(userName), Str(password), Str(groupName));
    });
}

long zng_group_clear_exchange_synchronization(zng_group* group) {
    return Change(group, [&](const CZNGroup& o) { return o.ClearExchangeSynchronization(); });
}

long zng_group_clear_exchange_synchronization_of(zng_group* group, const char* groupName) {
    return Number(
        group, [&](const CZNGroup& o) { return o.ClearExchangeSynchronization(Str(groupName)); });
}

long zng_group_clear_exchange_synchronization_as_of(zng_group* group, const char* userName,
                                                    const char* password, const char* groupName) {
    return Change(group, [&](const CZNGroup& o) {
        return o.ClearExchangeSynchronization(Str(userName), Str(password), Str(groupName));
    });
}

long zng_group_set_mail_aliased_flag(zng_group* group) {
    return Change(group, [&](const CZNGroup& o) { return o.SetMailAliasedFlag(); });
}

long zng_group_set_mail_aliased_flag_of(zng_group* group, const char* groupName) {
    return Change(group, [&](const CZNGroup& o) { return o.SetMailAliasedFlag(Str(groupName)); });
}

long zng_group_set_mail_aliased_flag_as_of(zng_group* group, const char* userName,
                                           const char* password, const char* groupName) {
    return Change(group, [&](const CZNGroup& o) {
        return o.SetMailAliasedFlag(Str(userName), Str(password), Str(groupName));
    });
}

long zng_group_clear_mail_aliased_flag(zng_group* group) {
    return Change(group, [&](const CZNGroup& o) { return o.ClearMailAliasedFlag(); });
}

long zng_group_clear_mail_aliased_flag_of(zng_group* group, const char* groupName) {
    return Change(group, [&](const CZNGroup& o) { return o.ClearMailAliasedFlag(Str(groupName)); });
}

long zng_group_clear_mail_aliased_flag_as_of(zng_group* group, const char* userName,
                                             const char* password, const char* groupName) {
    return Change(group, [&](const CZNGroup& o) {
        return o.ClearMailAliasedFlag(Str(userName), Str(password), Str(groupName));
    });
}

long zng_group_reset_group_change_logs(zng_group* group) {
    return Change(group, [&](const CZNGroup& o) { return o.ResetGroupChangeLogs(); });
}

long zng_group_reset_group_change_logs_of(zng_group* group, const char* groupName) {
    return Change(group, [&](const CZNGroup& o) { return o.ResetGroupChangeLogs(Str(groupName)); });
}

long zng_group_reset_group_change_logs_as_of(zng_group* group, const char* userName,
                                             const char* password, const char* groupName) {
    return Change(group, [&](const CZNGroup& o) {
        return o.ResetGroupChangeLogs(Str(userName), Str(password), Str(groupName));
    });
}

long zng_group_get_error_status_code_of_change(zng_group* group, long changeNumber) {
    return Number(group, [&](const CZNGroup& o) { return o.GetErrorStatusCode(changeNumber); });
}

const char* zng_group_get_error_status_text_of_change(zng_group* group, long changeNumber) {
    return Text(group, [&](const CZNGroup& o) -> decltype(auto) {
        return o.GetErrorStatusText(changeNumber);
    });
}

const char* zng_group_get_change_log_entry(zng_group* group, long entryNumber) {
    return Text(group, [&](const CZNGroup& o) -> decltype(auto) {
        return o.GetChangeLogEntry(entryNumber);
    });
}

const zng_string_list* zng_group_get_group_change_logs(zng_group* group) {
    return Strings(group,
                   [&](const CZNGroup& o) -> decltype(auto) { return o.GetGroupChangeLogs(); });
}

const zng_string_list* zng_group_get_group_change_logs_of(zng_group* group, const char* groupName) {
    return Strings(group, [&](const CZNGroup& o) -> decltype(auto) {
        return o.GetGroupChangeLogs(Str(groupName));
    });
}

long zng_group_add_keyword(zng_group* group, const char* keyWord) {
    return Change(group, [&](const CZNGroup& o) { return o.AddKeyWord(Str(keyWord)); });
}

long zng_group_add_keyword_of(zng_group* group, const char* groupName, const char* keyWord) {
    return Change(group,
                  [&](const CZNGroup& o) { return o.AddKeyWord(Str(groupName), Str(keyWord)); });
}

long zng_group_delete_keyword(zng_group* group, const char* keyWord) {
    return Change(group, [&](const CZNGroup& o) { return o.DeleteKeyWord(Str(keyWord)); });
}

long zng_group_delete_keyword_of(zng_group* group, const char* groupName, const char* keyWord) {
    return Change(group,
                  [&](const CZNGroup& o) { return o.DeleteKeyWord(Str(groupName), Str(keyWord)); });
}

long zng_group_set_organizational_unit(zng_group* group, const char* unit) {
    return Change(group, [&](const CZNGroup& o) { return o.SetOrganizationalUnit(Str(unit)); });
}

long zng_group_set_organizational_unit_of(zng_group* group, const char* groupName,
                                          const char* unit) {
    return Change(group, [&](const CZNGroup& o) {
        return o.SetOrganizationalUnit(Str(groupName), Str(unit));
    });
}

long zng_group_set_organizational_unit_as(zng_group* group, const char* userName,
                                          const char* password, const char* unit) {
    return Change(group, [&](const CZNGroup& o) {
        return o.SetOrganizationalUnit(Str(userName), Str(password), Str(unit));
    });
}

long zng_group_set_organizational_unit_as_of(zng_group* group, const char* userName,
                                             const char* password, const char* groupName,
                                             const char* unit) {
    return Change(group, [&](const CZNGroup& o) {
        return o.SetOrganizationalUnit(Str(userName), Str(password), Str(groupName), Str(unit));
    });
}

long zng_group_set_outlook_display_name(zng_group* group, const char* name) {
    return Change(group, [&](const CZNGroup& o) { return o.SetOutlookDisplayName(Str(name)); });
}

long zng_group_set_outlook_display_name_of(zng_group* group, const char* groupName,
                                           const char* name) {
    return Change(group, [&](const CZNGroup& o) {
        return o.SetOutlookDisplayName(Str(groupName), Str(name));
    });
}

long zng_group_set_outlook_display_name_as(zng_group* group, const char* userName,
                                           const char* password, const char* name) {
    return Change(group, [&](const CZNGroup& o) {
        return o.SetOutlookDisplayName(Str(userName), Str(password), Str(name));
    });
}

long zng_group_set_outlook_display_name_as_of(zng_group* group, const char* userName,
                                              const char* password, const char* groupName,
                                              const char* name) {
    return Change(group, [&](const CZNGroup& o) {
        return o.SetOutlookDisplayName(Str(userName), Str(password), Str(groupName), Str(name));
    });
}

}  // extern "C"
