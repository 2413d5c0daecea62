// The C interface's group handles and group queries: each function is one method of CZNGroup.
#include <new>
#include <utility>

#include "capi/handles.h"

using zn::capi::Do;
using zn::capi::Groups;
using zn::capi::Number;
using zn::capi::Str;
using zn::capi::Strings;
using zn::capi::Text;
using zn::capi::Workers;

extern "C" {

zng_group* zng_group_new(void) {
    try {
        return new zng_group{CZNGroup(), {}, {}, 0};
    } catch (...) {
        return nullptr;
    }
}

zng_group* zng_group_new_named(const char* groupName) {
    try {
        return new zng_group{CZNGroup(Str(groupName)), {}, {}, 0};
    } catch (...) {
        return nullptr;
    }
}

zng_group* zng_group_copy(const zng_group* other) {
    if (other == nullptr) return nullptr;
    try {
        return new zng_group{CZNGroup(other->object), {}, {}, 0};
    } catch (...) {
        return nullptr;
    }
}

void zng_group_assign(zng_group* group, const zng_group* other) {
    if (group == nullptr || other == nullptr || group == other) return;
    group->lists.Clear();
    try {
        group->object = other->object;
        group->changes = other->changes;
        group->lastChange = other->lastChange;
    } catch (...) {
    }
}

void zng_group_free(zng_group* group) {
    delete group;
}

void zng_group_set_group_name(zng_group* group, const char* groupName) {
    return Do(group, [&](const CZNGroup& o) { return o.SetGroupName(Str(groupName)); });
}

void zng_group_set_access(zng_group* group, const char* userName, const char* password) {
    return Do(group, [&](const CZNGroup& o) { return o.SetAccess(Str(userName), Str(password)); });
}

void zng_group_set_access_of(zng_group* group, const char* userName, const char* password,
                             const char* groupName) {
    return Do(group, [&](const CZNGroup& o) {
        return o.SetAccess(Str(userName), Str(password), Str(groupName));
    });
}

const char* zng_group_get_group_name(zng_group* group) {
    return Text(group, [&](const CZNGroup& o) -> decltype(auto) { return o.GetGroupName(); });
}

const char* zng_group_get_company_number(zng_group* group) {
    return Text(group, [&](const CZNGroup& o) -> decltype(auto) { return o.GetCompanyNumber(); });
}

const char* zng_group_get_company_number_of(zng_group* group, const char* groupName) {
    return Text(group, [&](const CZNGroup& o) -> decltype(auto) {
        return o.GetCompanyNumber(Str(groupName));
    });
}

const char* zng_group_get_description(zng_group* group) {
    return Text(group, [&](const CZNGroup& o) -> decltype(auto) { return o.GetDescription(); });
}

const char* zng_group_get_description_of(zng_group* group, const char* groupName) {
    return Text(group, [&](const CZNGroup& o) -> decltype(auto) {
        return o.GetDescription(Str(groupName));
    });
}

const char* zng_group_get_organizational_unit(zng_group* group) {
    return Text(group,
                [&](const CZNGroup& o) -> decltype(auto) { return o.GetOrganizationalUnit(); });
}

const char* zng_group_get_organizational_unit_of(zng_group* group, const char* groupName) {
    return Text(group, [&](const CZNGroup& o) -> decltype(auto) {
        return o.GetOrganizationalUnit(Str(groupName));
    });
}

const char* zng_group_get_generic_attribute_value(zng_group* group, const char* attribute) {
    return Text(group, [&](const CZNGroup& o) -> decltype(auto) {
        return o.GetGenericAttributeValue(Str(attribute));
    });
}

const char* zng_group_get_generic_attribute_value_of(zng_group* group, const char* groupName,
                                                     const char* attribute) {
    return Text(group, [&](const CZNGroup& o) -> decltype(auto) {
        return o.GetGenericAttributeValue(Str(groupName), Str(attribute));
    });
}

long zng_group_get_mail_aliased_flag(zng_group* group) {
    return Number(group, [&](const CZNGroup& o) { return o.GetMailAliasedFlag(); });
}

long zng_group_get_mail_aliased_flag_of(zng_group* group, const char* groupName) {
    return Number(group, [&](const CZNGroup& o) { return o.GetMailAliasedFlag(Str(groupName)); });
}

const char* zng_group_get_outlook_display_name(zng_group* group) {
    return Text(group,
                [&](const CZNGroup& o) -> decltype(auto) { return o.GetOutlookDisplayName(); });
}

const char* zng_group_get_outlook_display_name_of(zng_group* group, const char* groupName) {
    return Text(group, [&](const CZNGroup& o) -> decltype(auto) {
        return o.GetOutlookDisplayName(Str(groupName));
    });
}

const zng_worker_list* zng_group_get_contacts(zng_group* group) {
    return Workers(group, [&](const CZNGroup& o) -> decltype(auto) { return o.GetContacts(); });
}

const zng_worker_list* zng_group_get_contacts_of(zng_group* group, const char* groupName) {
    return Workers(
        group, [&](const CZNGroup& o) -> decltype(auto) { return o.GetContacts(Str(groupName)); });
}

const zng_worker_list* zng_group_get_direct_members(zng_group* group) {
    return Workers(group,
                   [&](const CZNGroup& o) -> decltype(auto) { return o.GetDirectMembers(); });
}

const zng_worker_list* zng_group_get_direct_members_of(zng_group* group, const char* groupName) {
    return Workers(group, [&](const CZNGroup& o) -> decltype(auto) {
        return o.GetDirectMembers(Str(groupName));
    });
}

const zng_worker_list* zng_group_get_eventual_members(zng_group* group) {
    return Workers(group,
                   [&](const CZNGroup& o) -> decltype(auto) { return o.GetEventualMembers(); });
}

const zng_worker_list* zng_group_get_eventual_members_of(zng_group* group, const char* groupName) {
    return Workers(group, [&](const CZNGroup& o) -> decltype(auto) {
        return o.GetEventualMembers(Str(groupName));
    });
}

const zng_worker_list* zng_group_get_owners(zng_group* group) {
    return Workers(group, [&](const CZNGroup& o) -> decltype(auto) { return o.GetOwners(); });
}

const zng_worker_list* zng_group_get_owners_of(zng_group* group, const char* groupName) {
    return Workers(
        group, [&](const CZNGroup& o) -> decltype(auto) { return o.GetOwners(Str(groupName)); });
}

long zng_group_get_contacts_count(zng_group* group) {
    return Number(group, [&](const CZNGroup& o) { return o.GetContactsCount(); });
}

long zng_group_get_contacts_count_of(zng_group* group, const char* groupName) {
    return Number(group, [&](const CZNGroup& o) { return o.GetContactsCount(Str(groupName)); });
}

long zng_group_get_direct_members_count(zng_group* group) {
    return Number(group, [&](const CZNGroup& o) { return o.GetDirectMembersCount(); });
}

long zng_group_get_direct_members_count_of(zng_group* group, const char* groupName) {
    return Number(group,
                  [&](const CZNGroup& o) { return o.GetDirectMembersCount(Str(groupName)); });
}

long zng_group_get_eventual_members_count(zng_group* group) {
    return Number(group, [&](const CZNGroup& o) { return o.GetEventualMembersCount(); });
}

long zng_group_get_eventual_members_count_of(zng_group* group, const char* groupName) {
    return Number(group,
                  [&](const CZNGroup& o) { return o.GetEventualMembersCount(Str(groupName)); });
}

long zng_group_get_owners_count(zng_group* group) {
    return Number(group, [&](const CZNGroup& o) { return o.GetOwnersCount(); });
}

long zng_group_get_owners_count_of(zng_group* group, const char* groupName) {
    return Number(group, [&](const CZNGroup& o) { return o.GetOwnersCount(Str(groupName)); });
}

const zng_group_list* zng_group_get_sub_groups(zng_group* group) {
    return Groups(group, [&](const CZNGroup& o) -> decltype(auto) { return o.GetSubGroups(); });
}

const zng_group_list* zng_group_get_sub_groups_of(zng_group* group, const char* groupName) {
    return Groups(
        group, [&](const CZNGroup& o) -> decltype(auto) { return o.GetSubGroups(Str(groupName)); });
}

const zng_group_list* zng_group_get_super_groups(zng_group* group) {
    return Groups(group, [&](const CZNGroup& o) -> decltype(auto) { return o.GetSuperGroups(); });
}

const zng_group_list* zng_group_get_super_groups_of(zng_group* group, const char* groupName) {
    return Groups(group, [&](const CZNGroup& o) -> decltype(auto) {
        return o.GetSuperGroups(Str(groupName));
    });
}

const zng_group_list* zng_group_get_eventual_super_groups(zng_group* group) {
    return Groups(group,
                  [&](const CZNGroup& o) -> decltype(auto) { return o.GetEventualSuperGroups(); });
}

const zng_group_list* zng_group_get_eventual_super_groups_of(zng_group* group,
                                                             const char* groupName) {
    return Groups(group, [&](const CZNGroup& o) -> decltype(auto) {
        return o.GetEventualSuperGroups(Str(groupName));
    });
}

long zng_group_get_sub_groups_count(zng_group* group) {
    return Number(group, [&](const CZNGroup& o) { return o.GetSubGroupsCount(); });
}

long zng_group_get_sub_groups_count_of(zng_group* group, const char* groupName) {
    return Number(group, [&](const CZNGroup& o) { return o.GetSubGroupsCount(Str(groupName)); });
}

long zng_group_get_super_groups_count(zng_group* group) {
    return Number(group, [&](const CZNGroup& o) { return o.GetSuperGroupsCount(); });
}

long zng_group_get_super_groups_count_of(zng_group* group, const char* groupName) {
    return Number(group, [&](const CZNGroup& o) { return o.GetSuperGroupsCount(Str(groupName)); });
}

long zng_group_get_eventual_super_groups_count(zng_group* group) {
    return Number(group, [&](const CZNGroup& o) { return o.GetEventualSuperGroupsCount(); });
}

long zng_group_get_eventual_super_groups_count_of(zng_group* group, const char* groupName) {
    return Number(group,
                  [&](const CZNGroup& o) { return o.GetEventualSuperGroupsCount(Str(groupName)); });
}

const zng_group_list* zng_group_get_top_groups(zng_group* group) {
    return Groups(group, [&](const CZNGroup& o) -> decltype(auto) { return o.GetTopGroups(); });
}

long zng_group_get_top_groups_count(zng_group* group) {
    return Number(group, [&](const CZNGroup& o) { return o.GetTopGroupsCount(); });
}

const zng_group_list* zng_group_find_groups(zng_group* group, const char* searchString) {
    return Groups(group, [&](const CZNGroup& o) -> decltype(auto) {
        return o.FindGroups(Str(searchString));
    });
}

const zng_group_list* zng_group_find_groups_by_keyword(zng_group* group, const char* searchString) {
    return Groups(group, [&](const CZNGroup& o) -> decltype(auto) {
        return o.FindGroupsByKeyWord(Str(searchString));
    });
}

const zng_string_list* zng_group_get_active_companies(zng_group* group) {
    return Strings(group,
                   [&](const CZNGroup& o) -> decltype(auto) { return o.GetActiveCompanies(); });
}

const zng_string_list* zng_group_get_domains(zng_group* group) {
    return Strings(group, [&](const CZNGroup& o) -> decltype(auto) { return o.GetDomains(); });
}

const zng_string_list* zng_group_get_organizational_units(zng_group* group) {
    return Strings(group,
                   [&](const CZNGroup& o) -> decltype(auto) { return o.GetOrganizationalUnits(); });
}

const zng_string_list* zng_group_get_available_keywords(zng_group* group) {
    return Strings(group,
                   [&](const CZNGroup& o) -> decltype(auto) { return o.GetAvailableKeyWords(); });
}

long zng_group_is_valid_group(zng_group* group) {
    return Number(group, [&](const CZNGroup& o) { return o.IsValidGroup(); });
}

long zng_group_is_valid_group_of(zng_group* group, const char* groupName) {
    return Number(group, [&](const CZNGroup& o) { return o.IsValidGroup(Str(groupName)); });
}

long zng_group_is_public_group(zng_group* group) {
    return Number(group, [&](const CZNGroup& o) { return o.IsPublicGroup(); });
}

long zng_group_is_public_group_of(zng_group* group, const char* groupName) {
    return Number(group, [&](const CZNGroup& o) { return o.IsPublicGroup(Str(groupName)); });
}

long zng_group_is_valid_group_contact(zng_group* group, const char* userName) {
    return Number(group, [&](const CZNGroup& o) { return o.IsValidGroupContact(Str(userName)); });
}

long zng_group_is_valid_group_contact_of(zng_group* group, const char* groupName,
                                         const char* userName) {
    return Number(group, [&](const CZNGroup& o) {
        return o.IsValidGroupContact(Str(groupName), Str(userName));
    });
}

long zng_group_is_valid_group_direct_member(zng_group* group, const char* userName) {
    return Number(group,
                  [&](const CZNGroup& o) { return o.IsValidGroupDirectMember(Str(userName)); });
}

long zng_group_is_valid_group_direct_member_of(zng_group* group, const char* groupName,
                                               const char* userName) {
    return Number(group, [&](const CZNGroup& o) {
        return o.IsValidGroupDirectMember(Str(groupName), Str(userName));
    });
}

long zng_group_is_valid_group_eventual_member(zng_group* group, const char* userName) {
    return Number(group,
                  [&](const CZNGroup& o) { return o.IsValidGroupEventualMember(Str(userName)); });
}

long zng_group_is_valid_group_eventual_member_of(zng_group* group, const char* groupName,
                                                 const char* userName) {
    return Number(group, [&](const CZNGroup& o) {
        return o.IsValidGroupEventualMember(Str(groupName), Str(userName));
    });
}

long zng_group_is_valid_group_owner(zng_group* group, const char* userName) {
    return Number(group, [&](const CZNGroup& o) { return o.IsValidGroupOwner(Str(userName)); });
}

long zng_group_is_valid_group_owner_of(zng_group* group, const char* groupName,
                                       const char* userName) {
    return Number(group, [&](const CZNGroup& o) {
        return o.IsValidGroupOwner(Str(groupName), Str(userName));
    });
}

long zng_group_is_valid_group_sub_group(zng_group* group, const char* candidate) {
    return Number(group, [&](const CZNGroup& o) { return o.IsValidGroupSubGroup(Str(candidate)); });
}

long zng_group_is_valid_group_sub_group_of(zng_group* group, const char* groupName,
                                           const char* candidate) {
    return Number(group, [&](const CZNGroup& o) {
        return o.IsValidGroupSubGroup(Str(groupName), Str(candidate));
    });
}

long zng_group_is_valid_group_super_group(zng_group* group, const char* candidate) {
    return Number(group,
                  [&](const CZNGroup& o) { return o.IsValidGroupSuperGroup(Str(candidate)); });
}

long zng_group_is_valid_group_super_group_of(zng_group* group, const char* groupName,
                                             const char* candidate) {
    return Number(group, [&](const CZNGroup& o) {
        return o.IsValidGroupSuperGroup(Str(groupName), Str(candidate));
    });
}

long zng_group_is_valid_group_eventual_super_group(zng_group* group, const char* candidate) {
    return Number(
        group, [&](const CZNGroup& o) { return o.IsValidGroupEventualSuperGroup(Str(candidate)); });
}

long zng_group_is_valid_group_eventual_super_group_of(zng_group* group, const char* groupName,
                                                      const char* candidate) {
    return Number(group, [&](const CZNGroup& o) {
        return o.IsValidGroupEventualSuperGroup(Str(groupName), Str(candidate));
    });
}

long zng_group_is_valid_new_group_name(zng_group* group, const char* name) {
    return Number(group, [&](const CZNGroup& o) { return o.IsValidNewGroupName(Str(name)); });
}

long zng_group_is_valid_domain(zng_group* group, const char* domain) {
    return Number(group, [&](const CZNGroup& o) { return o.IsValidDomain(domain); });
}

long zng_group_is_active_company(zng_group* group, const char* company) {
    return Number(group, [&](const CZNGroup& o) { return o.IsActiveCompany(Str(company)); });
}

long zng_group_is_available_keyword(zng_group* group, const char* keyWord) {
    return Number(group, [&](const CZNGroup& o) { return o.IsAvailableKeyWord(Str(keyWord)); });
}

long zng_group_is_valid_organizational_unit(zng_group* group, const char* unit) {
    return Number(group, [&](const CZNGroup& o) { return o.IsValidOrganizationalUnit(Str(unit)); });
}

long zng_group_set_domain(zng_group* group, const char* domain) {
    return Number(group, [&](const CZNGroup& o) { return o.SetDomain(domain); });
}

const char* zng_group_get_domain(zng_group* group) {
    return Text(group, [&](const CZNGroup& o) -> decltype(auto) { return o.GetDomain(); });
}

long zng_group_get_error_status_code(zng_group* group) {
    return Number(group, [&](const CZNGroup& o) { return o.GetErrorStatusCode(); });
}

const char* zng_group_get_error_status_text(zng_group* group) {
    return Text(group, [&](const CZNGroup& o) -> decltype(auto) { return o.GetErrorStatusText(); });
}

long zng_group_get_connect_timeout_seconds(zng_group* group) {
    return Number(group, [&](const CZNGroup& o) { return o.GetConnectTimeOutSeconds(); });
}

long zng_group_get_connect_timeout_microseconds(zng_group* group) {
    return Number(group, [&](const CZNGroup& o) { return o.GetConnectTimeOutMicroSeconds(); });
}

long zng_group_get_search_timeout_seconds(zng_group* group) {
    return Number(group, [&](const CZNGroup& o) { return o.GetSearchTimeOutSeconds(); });
}

long zng_group_get_search_timeout_microseconds(zng_group* group) {
    return Number(group, [&](const CZNGroup& o) { return o.GetSearchTimeOutMicroSeconds(); });
}

long zng_group_get_timeout(zng_group* group) {
    return Number(group, [&](const CZNGroup& o) { return o.GetTimeOut(); });
}

void zng_group_set_connect_timeout(zng_group* group, long seconds, long microSeconds) {
    return Do(group, [&](const CZNGroup& o) { return o.SetConnectTimeOut(seconds, microSeconds); });
}

void zng_group_set_search_timeout(zng_group* group, long seconds, long microSeconds) {
    return Do(group, [&](const CZNGroup& o) { return o.SetSearchTimeOut(seconds, microSeconds); });
}

void zng_group_set_timeout(zng_group* group, long seconds) {
    return Do(group, [&](const CZNGroup& o) { return o.SetTimeOut(seconds); });
}

}  // extern "C"
