// CZNGroup: one mail or distribution group of the company directory.
//
// The portable layer: this class written inline over the C interface (zngroups.h), so that an
// application compiles it with its own compiler and standard library and links against the
// C functions of zngroups.dll or libzngroups.so only. It has the public methods, overloads
// and reference rule of the class that the library exports; put this folder
// (include/portable) on the include path instead of include/, and code written for it
// compiles against the exported class as well.
//
// Where it differs: its one-argument constructors are explicit (a name or a number does not
// become an object unasked); the setters of the object's own context (SetGroupName,
// SetAccess, SetDomain, the time-outs) are not const, so a const object keeps its context;
// it moves as well as copies. A std::string argument ends at its first NUL byte (a C string); results
// are copies kept in this object, refreshed by the methods that return them, so a result that
// the library rewrites through another method (the list of values behind
// GetOrganizationalUnits, the group list behind GetEventualSuperGroupsCount) shows the new contents
// when next returned rather than at once. As in the library, one object is used by one thread at a
// time, and different objects by different threads at once. Groups and workers in result lists are
// made on first use from their names, as the library makes them, and asking one for its
// name (GetGroupName, GetName) needs no handle at all. Both classes live in the inline
// namespace zngroups_portable: a forward declaration of either is written inside it.
#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "CZNWorker.h"

inline namespace zngroups_portable {

class CZNGroup {
  public:
    CZNGroup() : m_handle(Made(zng_group_new())) {}
    // Explicit, unlike the exported class's: a name is not a group until one is made of it.
    explicit CZNGroup(const char* groupName) : m_handle(Made(zng_group_new_named(groupName))) {}
    explicit CZNGroup(const std::string& groupName)
        : m_handle(Made(zng_group_new_named(groupName.c_str()))) {}
    // A copy has this group's name, context and results but a fresh directory session (no
    // domain, default time-outs, fresh error status) and an empty list of domains.
    CZNGroup(const CZNGroup& other)
        : m_handle(other.m_handle == nullptr ? nullptr : Made(zng_group_copy(other.m_handle))),
          m_groupName(other.m_groupName) {}
    CZNGroup& operator=(const CZNGroup& other) {
        if (this == &other) return *this;
        if (other.m_handle == nullptr) {
            zng_group_free(m_handle);
            m_handle = nullptr;
            m_groupName = other.m_groupName;
        } else if (m_handle == nullptr) {
            m_handle = Made(zng_group_copy(other.m_handle));
        } else {
            zng_group_assign(m_handle, other.m_handle);
        }
        return *this;
    }
    ~CZNGroup() { zng_group_free(m_handle); }
    // A moved-from object is an unnamed one, as if newly made.
    CZNGroup(CZNGroup&& other) noexcept
        : m_handle(std::exchange(other.m_handle, nullptr)),
          m_groupName(std::move(other.m_groupName)),
          m_results(std::move(other.m_results)) {}
    CZNGroup& operator=(CZNGroup&& other) noexcept {
        std::swap(m_handle, other.m_handle);
        std::swap(m_groupName, other.m_groupName);
        std::swap(m_results, other.m_results);
        return *this;
    }

    // Context.
    void SetGroupName(const std::string& groupName) {
        zng_group_set_group_name(Handle(), groupName.c_str());
    }
    void SetAccess(const std::string& userName, const std::string& password) {
        zng_group_set_access(Handle(), userName.c_str(), password.c_str());
    }
    void SetAccess(const std::string& userName, const std::string& password,
                   const std::string& groupName) {
        zng_group_set_access_of(Handle(), userName.c_str(), password.c_str(), groupName.c_str());
    }
    const std::string& GetGroupName() const {
        // A list element carries its name until it is first asked something else.
        return m_handle == nullptr ? m_groupName
                                   : Keep(m_groupName, zng_group_get_group_name(m_handle));
    }

    // Attributes of the group, read afresh on every call. A group that does not exist reads
    // as empty with success; IsValidGroup tells the two apart.
    const std::string& GetCompanyNumber() const {
        return Keep(R().companyNumber, zng_group_get_company_number(Handle()));
    }
    const std::string& GetCompanyNumber(const std::string& groupName) const {
        return Keep(R().companyNumber,
                    zng_group_get_company_number_of(Handle(), groupName.c_str()));
    }
    const std::string& GetDescription() const {
        return Keep(R().description, zng_group_get_description(Handle()));
    }
    const std::string& GetDescription(const std::string& groupName) const {
        return Keep(R().description, zng_group_get_description_of(Handle(), groupName.c_str()));
    }
    const std::string& GetOrganizationalUnit() const {
        return Keep(R().organizationalUnit, zng_group_get_organizational_unit(Handle()));
    }
    const std::string& GetOrganizationalUnit(const std::string& groupName) const {
        return Keep(R().organizationalUnit,
                    zng_group_get_organizational_unit_of(Handle(), groupName.c_str()));
    }
    const std::string& GetGenericAttributeValue(const std::string& attribute) const {
        return Keep(R().genericAttributeValue,
                    zng_group_get_generic_attribute_value(Handle(), attribute.c_str()));
    }
    const std::string& GetGenericAttributeValue(const std::string& groupName,
                                                const std::string& attribute) const {
        return Keep(R().genericAttributeValue, zng_group_get_generic_attribute_value_of(
                                                   Handle(), groupName.c_str(), attribute.c_str()));
    }

    // The character code of the flag's first character ('Y' is 89), 0 when there is none.
    long GetMailAliasedFlag() const { return zng_group_get_mail_aliased_flag(Handle()); }
    long GetMailAliasedFlag(const std::string& groupName) const {
        return zng_group_get_mail_aliased_flag_of(Handle(), groupName.c_str());
    }

    // Not provided by the directory: always empty, status 30020.
    const std::string& GetOutlookDisplayName() const {
        return Keep(R().outlookDisplayName, zng_group_get_outlook_display_name(Handle()));
    }
    const std::string& GetOutlookDisplayName(const std::string& groupName) const {
        return Keep(R().outlookDisplayName,
                    zng_group_get_outlook_display_name_of(Handle(), groupName.c_str()));
    }

    // People related to the group, sorted by user name; duplicates kept.
    const std::list<CZNWorker>& GetContacts() const {
        return Keep(R().workers, zng_group_get_contacts(Handle()));
    }
    const std::list<CZNWorker>& GetContacts(const std::string& groupName) const {
        return Keep(R().workers, zng_group_get_contacts_of(Handle(), groupName.c_str()));
    }
    const std::list<CZNWorker>& GetDirectMembers() const {
        return Keep(R().workers, zng_group_get_direct_members(Handle()));
    }
    const std::list<CZNWorker>& GetDirectMembers(const std::string& groupName) const {
        return Keep(R().workers, zng_group_get_direct_members_of(Handle(), groupName.c_str()));
    }
    const std::list<CZNWorker>& GetEventualMembers() const {
        return Keep(R().workers, zng_group_get_eventual_members(Handle()));
    }
    const std::list<CZNWorker>& GetEventualMembers(const std::string& groupName) const {
        return Keep(R().workers, zng_group_get_eventual_members_of(Handle(), groupName.c_str()));
    }
    const std::list<CZNWorker>& GetOwners() const {
        return Keep(R().workers, zng_group_get_owners(Handle()));
    }
    const std::list<CZNWorker>& GetOwners(const std::string& groupName) const {
        return Keep(R().workers, zng_group_get_owners_of(Handle(), groupName.c_str()));
    }
    long GetContactsCount() const { return zng_group_get_contacts_count(Handle()); }
    long GetContactsCount(const std::string& groupName) const {
        return zng_group_get_contacts_count_of(Handle(), groupName.c_str());
    }
    long GetDirectMembersCount() const { return zng_group_get_direct_members_count(Handle()); }
    long GetDirectMembersCount(const std::string& groupName) const {
        return zng_group_get_direct_members_count_of(Handle(), groupName.c_str());
    }
    long GetEventualMembersCount() const { return zng_group_get_eventual_members_count(Handle()); }
    long GetEventualMembersCount(const std::string& groupName) const {
        return zng_group_get_eventual_members_count_of(Handle(), groupName.c_str());
    }
    long GetOwnersCount() const { return zng_group_get_owners_count(Handle()); }
    long GetOwnersCount(const std::string& groupName) const {
        return zng_group_get_owners_count_of(Handle(), groupName.c_str());
    }

    // Groups related to the group, sorted by name. The eventual supergroups are every group
    // reached by walking "SuperGroup" upwards, each once.
    const std::list<CZNGroup>& GetSubGroups() const {
        return Keep(R().groups, zng_group_get_sub_groups(Handle()));
    }
    const std::list<CZNGroup>& GetSubGroups(const std::string& groupName) const {
        return Keep(R().groups, zng_group_get_sub_groups_of(Handle(), groupName.c_str()));
    }
    const std::list<CZNGroup>& GetSuperGroups() const {
        return Keep(R().groups, zng_group_get_super_groups(Handle()));
    }
    const std::list<CZNGroup>& GetSuperGroups(const std::string& groupName) const {
        return Keep(R().groups, zng_group_get_super_groups_of(Handle(), groupName.c_str()));
    }
    const std::list<CZNGroup>& GetEventualSuperGroups() const {
        return Keep(R().groups, zng_group_get_eventual_super_groups(Handle()));
    }
    const std::list<CZNGroup>& GetEventualSuperGroups(const std::string& groupName) const {
        return Keep(R().groups,
                    zng_group_get_eventual_super_groups_of(Handle(), groupName.c_str()));
    }
    long GetSubGroupsCount() const { return zng_group_get_sub_groups_count(Handle()); }
    long GetSubGroupsCount(const std::string& groupName) const {
        return zng_group_get_sub_groups_count_of(Handle(), groupName.c_str());
    }
    long GetSuperGroupsCount() const { return zng_group_get_super_groups_count(Handle()); }
    long GetSuperGroupsCount(const std::string& groupName) const {
        return zng_group_get_super_groups_count_of(Handle(), groupName.c_str());
    }
    long GetEventualSuperGroupsCount() const {
        return zng_group_get_eventual_super_groups_count(Handle());
    }
    long GetEventualSuperGroupsCount(const std::string& groupName) const {
        return zng_group_get_eventual_super_groups_count_of(Handle(), groupName.c_str());
    }

    // Groups without a supergroup, and groups by a name pattern ('*' is a wildcard).
    const std::list<CZNGroup>& GetTopGroups() const {
        return Keep(R().groups, zng_group_get_top_groups(Handle()));
    }
    long GetTopGroupsCount() const { return zng_group_get_top_groups_count(Handle()); }
    const std::list<CZNGroup>& FindGroups(const std::string& searchString) const {
        return Keep(R().groups, zng_group_find_groups(Handle(), searchString.c_str()));
    }

    // Not provided by the directory: empty, status 30020.
    const std::list<CZNGroup>& FindGroupsByKeyWord(const std::string& searchString) const {
        return Keep(R().groups, zng_group_find_groups_by_keyword(Handle(), searchString.c_str()));
    }

    // The directory's configuration lists, in the directory's order.
    const std::list<std::string>& GetActiveCompanies() const {
        return Keep(R().activeCompanies, zng_group_get_active_companies(Handle()));
    }
    const std::list<std::string>& GetDomains() const {
        return Keep(R().domains, zng_group_get_domains(Handle()));
    }
    const std::list<std::string>& GetOrganizationalUnits() const {
        return Keep(R().values, zng_group_get_organizational_units(Handle()));
    }

    // Not provided by the directory: empty, status 30020.
    const std::list<std::string>& GetAvailableKeyWords() const {
        return Keep(R().values, zng_group_get_available_keywords(Handle()));
    }

    // Checks: 1 for yes, 0 for no or failure with the reason in the error status.
    long IsValidGroup() const { return zng_group_is_valid_group(Handle()); }
    long IsValidGroup(const std::string& groupName) const {
        return zng_group_is_valid_group_of(Handle(), groupName.c_str());
    }
    long IsPublicGroup() const { return zng_group_is_public_group(Handle()); }
    long IsPublicGroup(const std::string& groupName) const {
        return zng_group_is_public_group_of(Handle(), groupName.c_str());
    }
    long IsValidGroupContact(const std::string& userName) const {
        return zng_group_is_valid_group_contact(Handle(), userName.c_str());
    }
    long IsValidGroupContact(const std::string& groupName, const std::string& userName) const {
        return zng_group_is_valid_group_contact_of(Handle(), groupName.c_str(), userName.c_str());
    }
    long IsValidGroupDirectMember(const std::string& userName) const {
        return zng_group_is_valid_group_direct_member(Handle(), userName.c_str());
    }
    long IsValidGroupDirectMember(const std::string& groupName, const std::string& userName) const {
        return zng_group_is_valid_group_direct_member_of(Handle(), groupName.c_str(),
                                                         userName.c_str());
    }
    long IsValidGroupEventualMember(const std::string& userName) const {
        return zng_group_is_valid_group_eventual_member(Handle(), userName.c_str());
    }
    long IsValidGroupEventualMember(const std::string& groupName,
                                    const std::string& userName) const {
        return zng_group_is_valid_group_eventual_member_of(Handle(), groupName.c_str(),
                                                           userName.c_str());
    }
    long IsValidGroupOwner(const std::string& userName) const {
        return zng_group_is_valid_group_owner(Handle(), userName.c_str());
    }
    long IsValidGroupOwner(const std::string& groupName, const std::string& userName) const {
        return zng_group_is_valid_group_owner_of(Handle(), groupName.c_str(), userName.c_str());
    }

    // In the (group, candidate) shapes the group name is applied only once the candidate is
    // known to exist.
    long IsValidGroupSubGroup(const std::string& candidate) const {
        return zng_group_is_valid_group_sub_group(Handle(), candidate.c_str());
    }
    long IsValidGroupSubGroup(const std::string& groupName, const std::string& candidate) const {
        return zng_group_is_valid_group_sub_group_of(Handle(), groupName.c_str(),
                                                     candidate.c_str());
    }
    long IsValidGroupSuperGroup(const std::string& candidate) const {
        return zng_group_is_valid_group_super_group(Handle(), candidate.c_str());
    }
    long IsValidGroupSuperGroup(const std::string& groupName, const std::string& candidate) const {
        return zng_group_is_valid_group_super_group_of(Handle(), groupName.c_str(),
                                                       candidate.c_str());
    }
    long IsValidGroupEventualSuperGroup(const std::string& candidate) const {
        return zng_group_is_valid_group_eventual_super_group(Handle(), candidate.c_str());
    }
    long IsValidGroupEventualSuperGroup(const std::string& groupName,
                                        const std::string& candidate) const {
        return zng_group_is_valid_group_eventual_super_group_of(Handle(), groupName.c_str(),
                                                                candidate.c_str());
    }
    long IsValidNewGroupName(const std::string& name) const {
        return zng_group_is_valid_new_group_name(Handle(), name.c_str());
    }
    long IsValidDomain(const char* domain) const {
        return zng_group_is_valid_domain(Handle(), domain);
    }
    long IsValidDomain(const std::string& domain) const { return IsValidDomain(domain.c_str()); }

    // Not provided by the directory: 0, status 30020.
    long IsActiveCompany(const std::string& company) const {
        return zng_group_is_active_company(Handle(), company.c_str());
    }
    long IsAvailableKeyWord(const std::string& keyWord) const {
        return zng_group_is_available_keyword(Handle(), keyWord.c_str());
    }
    long IsValidOrganizationalUnit(const std::string& unit) const {
        return zng_group_is_valid_organizational_unit(Handle(), unit.c_str());
    }

    // The domain whose directory and administration servers the object uses; SetDomain
    // accepts only a domain the directory lists (the empty domain selects the local servers).
    long SetDomain(const char* domain) { return zng_group_set_domain(Handle(), domain); }
    long SetDomain(const std::string& domain) { return SetDomain(domain.c_str()); }
    const std::string& GetDomain() const {
        return Keep(R().domain, zng_group_get_domain(Handle()));
    }

    // Changes. Each checks its argument and the requester against the directory (the user
    // name and password set by SetAccess or the call itself, verified once per user name),
    // then sends one request to the administration server of the object's domain. Returns
    // the server's result (1: done) or the result of the check that refused; nothing is
    // sent after a refusal. Shapes: (x), (group, x), (user, password, x),
    // (user, password, group, x).
    long AddContact(const std::string& contact) const {
        return zng_group_add_contact(Handle(), contact.c_str());
    }
    long AddContact(const std::string& groupName, const std::string& contact) const {
        return zng_group_add_contact_of(Handle(), groupName.c_str(), contact.c_str());
    }
    long AddContact(const std::string& userName, const std::string& password,
                    const std::string& contact) const {
        return zng_group_add_contact_as(Handle(), userName.c_str(), password.c_str(),
                                        contact.c_str());
    }
    long AddContact(const std::string& userName, const std::string& password,
                    const std::string& groupName, const std::string& contact) const {
        return zng_group_add_contact_as_of(Handle(), userName.c_str(), password.c_str(),
                                           groupName.c_str(), contact.c_str());
    }
    long AddDirectMember(const std::string& member) const {
        return zng_group_add_direct_member(Handle(), member.c_str());
    }
    long AddDirectMember(const std::string& groupName, const std::string& member) const {
        return zng_group_add_direct_member_of(Handle(), groupName.c_str(), member.c_str());
    }
    long AddDirectMember(const std::string& userName, const std::string& password,
                         const std::string& member) const {
        return zng_group_add_direct_member_as(Handle(), userName.c_str(), password.c_str(),
                                              member.c_str());
    }
    long AddDirectMember(const std::string& userName, const std::string& password,
                         const std::string& groupName, const std::string& member) const {
        return zng_group_add_direct_member_as_of(Handle(), userName.c_str(), password.c_str(),
                                                 groupName.c_str(), member.c_str());
    }
    long AddOwner(const std::string& owner) const {
        return zng_group_add_owner(Handle(), owner.c_str());
    }
    long AddOwner(const std::string& groupName, const std::string& owner) const {
        return zng_group_add_owner_of(Handle(), groupName.c_str(), owner.c_str());
    }
    long AddOwner(const std::string& userName, const std::string& password,
                  const std::string& owner) const {
        return zng_group_add_owner_as(Handle(), userName.c_str(), password.c_str(), owner.c_str());
    }
    long AddOwner(const std::string& userName, const std::string& password,
                  const std::string& groupName, const std::string& owner) const {
        return zng_group_add_owner_as_of(Handle(), userName.c_str(), password.c_str(),
                                         groupName.c_str(), owner.c_str());
    }
    long AddSubGroup(const std::string& subGroup) const {
        return zng_group_add_sub_group(Handle(), subGroup.c_str());
    }
    long AddSubGroup(const std::string& groupName, const std::string& subGroup) const {
        return zng_group_add_sub_group_of(Handle(), groupName.c_str(), subGroup.c_str());
    }
    long AddSubGroup(const std::string& userName, const std::string& password,
                     const std::string& subGroup) const {
        return zng_group_add_sub_group_as(Handle(), userName.c_str(), password.c_str(),
                                          subGroup.c_str());
    }
    long AddSubGroup(const std::string& userName, const std::string& password,
                     const std::string& groupName, const std::string& subGroup) const {
        return zng_group_add_sub_group_as_of(Handle(), userName.c_str(), password.c_str(),
                                             groupName.c_str(), subGroup.c_str());
    }
    long DeleteContact(const std::string& contact) const {
        return zng_group_delete_contact(Handle(), contact.c_str());
    }
    long DeleteContact(const std::string& groupName, const std::string& contact) const {
        return zng_group_delete_contact_of(Handle(), groupName.c_str(), contact.c_str());
    }
    long DeleteContact(const std::string& userName, const std::string& password,
                       const std::string& contact) const {
        return zng_group_delete_contact_as(Handle(), userName.c_str(), password.c_str(),
                                           contact.c_str());
    }
    long DeleteContact(const std::string& userName, const std::string& password,
                       const std::string& groupName, const std::string& contact) const {
        return zng_group_delete_contact_as_of(Handle(), userName.c_str(), password.c_str(),
                                              groupName.c_str(), contact.c_str());
    }
    long DeleteDirectMember(const std::string& member) const {
        return zng_group_delete_direct_member(Handle(), member.c_str());
    }
    long DeleteDirectMember(const std::string& groupName, const std::string& member) const {
        return zng_group_delete_direct_member_of(Handle(), groupName.c_str(), member.c_str());
    }
    long DeleteDirectMember(const std::string& userName, const std::string& password,
                            const std::string& member) const {
        return zng_group_delete_direct_member_as(Handle(), userName.c_str(), password.c_str(),
                                                 member.c_str());
    }
    long DeleteDirectMember(const std::string& userName, const std::string& password,
                            const std::string& groupName, const std::string& member) const {
        return zng_group_delete_direct_member_as_of(Handle(), userName.c_str(), password.c_str(),
                                                    groupName.c_str(), member.c_str());
    }
    long DeleteOwner(const std::string& owner) const {
        return zng_group_delete_owner(Handle(), owner.c_str());
    }
    long DeleteOwner(const std::string& groupName, const std::string& owner) const {
        return zng_group_delete_owner_of(Handle(), groupName.c_str(), owner.c_str());
    }
    long DeleteOwner(const std::string& userName, const std::string& password,
                     const std::string& owner) const {
        return zng_group_delete_owner_as(Handle(), userName.c_str(), password.c_str(),
                                         owner.c_str());
    }
    long DeleteOwner(const std::string& userName, const std::string& password,
                     const std::string& groupName, const std::string& owner) const {
        return zng_group_delete_owner_as_of(Handle(), userName.c_str(), password.c_str(),
                                            groupName.c_str(), owner.c_str());
    }
    long RemoveSubGroup(const std::string& subGroup) const {
        return zng_group_remove_sub_group(Handle(), subGroup.c_str());
    }
    long RemoveSubGroup(const std::string& groupName, const std::string& subGroup) const {
        return zng_group_remove_sub_group_of(Handle(), groupName.c_str(), subGroup.c_str());
    }
    long RemoveSubGroup(const std::string& userName, const std::string& password,
                        const std::string& subGroup) const {
        return zng_group_remove_sub_group_as(Handle(), userName.c_str(), password.c_str(),
                                             subGroup.c_str());
    }
    long RemoveSubGroup(const std::string& userName, const std::string& password,
                        const std::string& groupName, const std::string& subGroup) const {
        return zng_group_remove_sub_group_as_of(Handle(), userName.c_str(), password.c_str(),
                                                groupName.c_str(), subGroup.c_str());
    }
    long DeleteSubGroup(const std::string& subGroup) const {
        return zng_group_delete_sub_group(Handle(), subGroup.c_str());
    }
    long DeleteSubGroup(const std::string& groupName, const std::string& subGroup) const {
        return zng_group_delete_sub_group_of(Handle(), groupName.c_str(), subGroup.c_str());
    }
    long DeleteSubGroup(const std::string& userName, const std::string& password,
                        const std::string& subGroup) const {
        return zng_group_delete_sub_group_as(Handle(), userName.c_str(), password.c_str(),
                                             subGroup.c_str());
    }
    long DeleteSubGroup(const std::string& userName, const std::string& password,
                        const std::string& groupName, const std::string& subGroup) const {
        return zng_group_delete_sub_group_as_of(Handle(), userName.c_str(), password.c_str(),
                                                groupName.c_str(), subGroup.c_str());
    }
    long SetNewGroupName(const std::string& newName) const {
        return zng_group_set_new_group_name(Handle(), newName.c_str());
    }
    long SetNewGroupName(const std::string& groupName, const std::string& newName) const {
        return zng_group_set_new_group_name_of(Handle(), groupName.c_str(), newName.c_str());
    }
    long SetNewGroupName(const std::string& userName, const std::string& password,
                         const std::string& newName) const {
        return zng_group_set_new_group_name_as(Handle(), userName.c_str(), password.c_str(),
                                               newName.c_str());
    }
    long SetNewGroupName(const std::string& userName, const std::string& password,
                         const std::string& groupName, const std::string& newName) const {
        return zng_group_set_new_group_name_as_of(Handle(), userName.c_str(), password.c_str(),
                                                  groupName.c_str(), newName.c_str());
    }
    long SetCompanyNumber(const std::string& companyNumber) const {
        return zng_group_set_company_number(Handle(), companyNumber.c_str());
    }
    long SetCompanyNumber(const std::string& groupName, const std::string& companyNumber) const {
        return zng_group_set_company_number_of(Handle(), groupName.c_str(), companyNumber.c_str());
    }
    long SetCompanyNumber(const std::string& userName, const std::string& password,
                          const std::string& companyNumber) const {
        return zng_group_set_company_number_as(Handle(), userName.c_str(), password.c_str(),
                                               companyNumber.c_str());
    }
    long SetCompanyNumber(const std::string& userName, const std::string& password,
                          const std::string& groupName, const std::string& companyNumber) const {
        return zng_group_set_company_number_as_of(Handle(), userName.c_str(), password.c_str(),
                                                  groupName.c_str(), companyNumber.c_str());
    }
    long SetDescription(const std::string& description) const {
        return zng_group_set_description(Handle(), description.c_str());
    }
    long SetDescription(const std::string& groupName, const std::string& description) const {
        return zng_group_set_description_of(Handle(), groupName.c_str(), description.c_str());
    }
    long SetDescription(const std::string& userName, const std::string& password,
                        const std::string& description) const {
        return zng_group_set_description_as(Handle(), userName.c_str(), password.c_str(),
                                            description.c_str());
    }
    long SetDescription(const std::string& userName, const std::string& password,
                        const std::string& groupName, const std::string& description) const {
        return zng_group_set_description_as_of(Handle(), userName.c_str(), password.c_str(),
                                               groupName.c_str(), description.c_str());
    }
    long CreateSubGroup(const std::string& newName, const std::string& unit) const {
        return zng_group_create_sub_group(Handle(), newName.c_str(), unit.c_str());
    }
    long CreateSubGroup(const std::string& groupName, const std::string& newName,
                        const std::string& unit) const {
        return zng_group_create_sub_group_of(Handle(), groupName.c_str(), newName.c_str(),
                                             unit.c_str());
    }
    long CreateSubGroup(const std::string& userName, const std::string& password,
                        const std::string& newName, const std::string& unit) const {
        return zng_group_create_sub_group_as(Handle(), userName.c_str(), password.c_str(),
                                             newName.c_str(), unit.c_str());
    }
    long CreateSubGroup(const std::string& userName, const std::string& password,
                        const std::string& groupName, const std::string& newName,
                        const std::string& unit) const {
        return zng_group_create_sub_group_as_of(Handle(), userName.c_str(), password.c_str(),
                                                groupName.c_str(), newName.c_str(), unit.c_str());
    }
    long SetGenericAttributeValue(const std::string& attribute, const std::string& value) const {
        return zng_group_set_generic_attribute_value(Handle(), attribute.c_str(), value.c_str());
    }
    long SetGenericAttributeValue(const std::string& groupName, const std::string& attribute,
                                  const std::string& value) const {
        return zng_group_set_generic_attribute_value_of(Handle(), groupName.c_str(),
                                                        attribute.c_str(), value.c_str());
    }
    long SetGenericAttributeValue(const std::string& userName, const std::string& password,
                                  const std::string& attribute, const std::string& value) const {
        return zng_group_set_generic_attribute_value_as(
            Handle(), userName.c_str(), password.c_str(), attribute.c_str(), value.c_str());
    }
    long SetGenericAttributeValue(const std::string& userName, const std::string& password,
                                  const std::string& groupName, const std::string& attribute,
                                  const std::string& value) const {
        return zng_group_set_generic_attribute_value_as_of(Handle(), userName.c_str(),
                                                           password.c_str(), groupName.c_str(),
                                                           attribute.c_str(), value.c_str());
    }
    long SetExchangeSynchronization() const {
        return zng_group_set_exchange_synchronization(Handle());
    }
    long SetExchangeSynchronization(const std::string& groupName) const {
        return zng_group_set_exchange_synchronization_of(Handle(), groupName.c_str());
    }
    long SetExchangeSynchronization(const std::string& userName, const std::string& password,
                                    const std::string& groupName) const {
        return zng_group_set_exchange_synchronization_as_of(Handle(), userName.c_str(),
                                                            password.c_str(), groupName.c_str());
    }
    long ClearExchangeSynchronization() const {
        return zng_group_clear_exchange_synchronization(Handle());
    }
    long ClearExchangeSynchronization(const std::string& groupName) const {
        return zng_group_clear_exchange_synchronization_of(Handle(), groupName.c_str());
    }
    long ClearExchangeSynchronization(const std::string& userName, const std::string& password,
                                      const std::string& groupName) const {
        return zng_group_clear_exchange_synchronization_as_of(Handle(), userName.c_str(),
                                                              password.c_str(), groupName.c_str());
    }
    long SetMailAliasedFlag() const { return zng_group_set_mail_aliased_flag(Handle()); }
    long SetMailAliasedFlag(const std::string& groupName) const {
        return zng_group_set_mail_aliased_flag_of(Handle(), groupName.c_str());
    }
    long SetMailAliasedFlag(const std::string& userName, const std::string& password,
                            const std::string& groupName) const {
        return zng_group_set_mail_aliased_flag_as_of(Handle(), userName.c_str(), password.c_str(),
                                                     groupName.c_str());
    }
    long ClearMailAliasedFlag() const { return zng_group_clear_mail_aliased_flag(Handle()); }
    long ClearMailAliasedFlag(const std::string& groupName) const {
        return zng_group_clear_mail_aliased_flag_of(Handle(), groupName.c_str());
    }
    long ClearMailAliasedFlag(const std::string& userName, const std::string& password,
                              const std::string& groupName) const {
        return zng_group_clear_mail_aliased_flag_as_of(Handle(), userName.c_str(), password.c_str(),
                                                       groupName.c_str());
    }
    long ResetGroupChangeLogs() const { return zng_group_reset_group_change_logs(Handle()); }
    long ResetGroupChangeLogs(const std::string& groupName) const {
        return zng_group_reset_group_change_logs_of(Handle(), groupName.c_str());
    }
    long ResetGroupChangeLogs(const std::string& userName, const std::string& password,
                              const std::string& groupName) const {
        return zng_group_reset_group_change_logs_as_of(Handle(), userName.c_str(), password.c_str(),
                                                       groupName.c_str());
    }

    // Questions about changes made. The status of a change goes to the local administration
    // server; the change logs to the object's domain's.
    long GetErrorStatusCode(long changeNumber) const {
        return zng_group_get_error_status_code_of_change(Handle(), changeNumber);
    }
    const std::string& GetErrorStatusText(long changeNumber) const {
        return Keep(R().changeStatusText,
                    zng_group_get_error_status_text_of_change(Handle(), changeNumber));
    }
    const std::string& GetChangeLogEntry(long entryNumber) const {
        return Keep(R().changeStatusText, zng_group_get_change_log_entry(Handle(), entryNumber));
    }
    const std::list<std::string>& GetGroupChangeLogs() const {
        return Keep(R().changeLogs, zng_group_get_group_change_logs(Handle()));
    }
    const std::list<std::string>& GetGroupChangeLogs(const std::string& groupName) const {
        return Keep(R().changeLogs,
                    zng_group_get_group_change_logs_of(Handle(), groupName.c_str()));
    }

    // Not provided by the directory: 0, status 30020, no context applied.
    long AddKeyWord(const std::string& keyWord) const {
        return zng_group_add_keyword(Handle(), keyWord.c_str());
    }
    long AddKeyWord(const std::string& groupName, const std::string& keyWord) const {
        return zng_group_add_keyword_of(Handle(), groupName.c_str(), keyWord.c_str());
    }
    long DeleteKeyWord(const std::string& keyWord) const {
        return zng_group_delete_keyword(Handle(), keyWord.c_str());
    }
    long DeleteKeyWord(const std::string& groupName, const std::string& keyWord) const {
        return zng_group_delete_keyword_of(Handle(), groupName.c_str(), keyWord.c_str());
    }
    long SetOrganizationalUnit(const std::string& unit) const {
        return zng_group_set_organizational_unit(Handle(), unit.c_str());
    }
    long SetOrganizationalUnit(const std::string& groupName, const std::string& unit) const {
        return zng_group_set_organizational_unit_of(Handle(), groupName.c_str(), unit.c_str());
    }
    long SetOrganizationalUnit(const std::string& userName, const std::string& password,
                               const std::string& unit) const {
        return zng_group_set_organizational_unit_as(Handle(), userName.c_str(), password.c_str(),
                                                    unit.c_str());
    }
    long SetOrganizationalUnit(const std::string& userName, const std::string& password,
                               const std::string& groupName, const std::string& unit) const {
        return zng_group_set_organizational_unit_as_of(Handle(), userName.c_str(), password.c_str(),
                                                       groupName.c_str(), unit.c_str());
    }
    long SetOutlookDisplayName(const std::string& name) const {
        return zng_group_set_outlook_display_name(Handle(), name.c_str());
    }
    long SetOutlookDisplayName(const std::string& groupName, const std::string& name) const {
        return zng_group_set_outlook_display_name_of(Handle(), groupName.c_str(), name.c_str());
    }
    long SetOutlookDisplayName(const std::string& userName, const std::string& password,
                               const std::string& name) const {
        return zng_group_set_outlook_display_name_as(Handle(), userName.c_str(), password.c_str(),
                                                     name.c_str());
    }
    long SetOutlookDisplayName(const std::string& userName, const std::string& password,
                               const std::string& groupName, const std::string& name) const {
        return zng_group_set_outlook_display_name_as_of(
            Handle(), userName.c_str(), password.c_str(), groupName.c_str(), name.c_str());
    }

    // Error status of the last operation: code 1 for success.
    long GetErrorStatusCode() const { return zng_group_get_error_status_code(Handle()); }
    const std::string& GetErrorStatusText() const {
        return Keep(R().errorStatusText, zng_group_get_error_status_text(Handle()));
    }

    // Time-outs: each bind wait is bounded by the connect time-out (default 5 s), each search
    // try by the search time-out (default 120 s). SetTimeOut sets the search seconds.
    long GetConnectTimeOutSeconds() const {
        return zng_group_get_connect_timeout_seconds(Handle());
    }
    long GetConnectTimeOutMicroSeconds() const {
        return zng_group_get_connect_timeout_microseconds(Handle());
    }
    long GetSearchTimeOutSeconds() const { return zng_group_get_search_timeout_seconds(Handle()); }
    long GetSearchTimeOutMicroSeconds() const {
        return zng_group_get_search_timeout_microseconds(Handle());
    }
    long GetTimeOut() const { return zng_group_get_timeout(Handle()); }
    void SetConnectTimeOut(long seconds, long microSeconds) {
        zng_group_set_connect_timeout(Handle(), seconds, microSeconds);
    }
    void SetSearchTimeOut(long seconds, long microSeconds) {
        zng_group_set_search_timeout(Handle(), seconds, microSeconds);
    }
    void SetTimeOut(long seconds) { zng_group_set_timeout(Handle(), seconds); }

  private:
    friend class CZNWorker;
    struct Element {};

    // An element of a result list: its name only, until it is first asked something else.
    CZNGroup(Element, const char* groupName) : m_handle(nullptr), m_groupName(groupName) {}

    static zng_group* Made(zng_group* handle) {
        if (handle == nullptr) throw std::bad_alloc();
        return handle;
    }
    zng_group* Handle() const {
        if (m_handle == nullptr) m_handle = Made(zng_group_new_named(m_groupName.c_str()));
        return m_handle;
    }

    static const std::string& Keep(std::string& kept, const char* text) {
        kept.assign(text != nullptr ? text : "");
        return kept;
    }
    static const std::list<std::string>& Keep(std::list<std::string>& kept,
                                              const zng_string_list* list) {
        kept.clear();
        const std::size_t count = zng_string_list_count(list);
        for (std::size_t i = 0; i < count; ++i) kept.emplace_back(zng_string_list_at(list, i));
        return kept;
    }
    static const std::list<CZNWorker>& Keep(std::list<CZNWorker>& kept,
                                            const zng_worker_list* list) {
        kept.clear();
        const std::size_t count = zng_worker_list_count(list);
        for (std::size_t i = 0; i < count; ++i) {
            kept.push_back(CZNWorker(CZNWorker::Element{}, zng_worker_list_name(list, i)));
        }
        return kept;
    }
    static const std::list<CZNGroup>& Keep(std::list<CZNGroup>& kept, const zng_group_list* list) {
        kept.clear();
        const std::size_t count = zng_group_list_count(list);
        for (std::size_t i = 0; i < count; ++i) {
            kept.push_back(CZNGroup(Element{}, zng_group_list_name(list, i)));
        }
        return kept;
    }

    mutable zng_group* m_handle;
    mutable std::string m_groupName;
    // The results, one member for each member of the library's object that they show, made
    // when first needed: an element of a result list carries only its name.
    struct Results {
        std::list<CZNGroup> groups;
        std::list<CZNWorker> workers;
        std::list<std::string> activeCompanies;
        std::list<std::string> changeLogs;
        std::string changeStatusText;
        std::string companyNumber;
        std::string description;
        std::string domain;
        std::list<std::string> domains;
        std::string errorStatusText;
        std::string genericAttributeValue;
        std::string organizationalUnit;
        std::string outlookDisplayName;
        std::list<std::string> values;
    };
    mutable std::unique_ptr<Results> m_results;
    Results& R() const {
        if (!m_results) m_results.reset(new Results());
        return *m_results;
    }
};

// CZNWorker's group lists, now that groups are complete.
inline const std::list<CZNGroup>& CZNWorker::Keep(std::list<CZNGroup>& kept,
                                                  const zng_group_list* list) {
    kept.clear();
    const std::size_t count = zng_group_list_count(list);
    for (std::size_t i = 0; i < count; ++i) {
        kept.push_back(CZNGroup(CZNGroup::Element{}, zng_group_list_name(list, i)));
    }
    return kept;
}

inline const std::list<CZNGroup>& CZNWorker::GetContactGroups() const {
    return Keep(R().groups, zng_worker_get_contact_groups(Handle()));
}

inline const std::list<CZNGroup>& CZNWorker::GetContactGroups(const std::string& userName) const {
    return Keep(R().groups, zng_worker_get_contact_groups_of(Handle(), userName.c_str()));
}

inline const std::list<CZNGroup>& CZNWorker::GetDirectGroups() const {
    return Keep(R().groups, zng_worker_get_direct_groups(Handle()));
}

inline const std::list<CZNGroup>& CZNWorker::GetDirectGroups(const std::string& userName) const {
    return Keep(R().groups, zng_worker_get_direct_groups_of(Handle(), userName.c_str()));
}

inline const std::list<CZNGroup>& CZNWorker::GetEventualGroups() const {
    return Keep(R().groups, zng_worker_get_eventual_groups(Handle()));
}

inline const std::list<CZNGroup>& CZNWorker::GetEventualGroups(const std::string& userName) const {
    return Keep(R().groups, zng_worker_get_eventual_groups_of(Handle(), userName.c_str()));
}

inline const std::list<CZNGroup>& CZNWorker::GetOwnerGroups() const {
    return Keep(R().groups, zng_worker_get_owner_groups(Handle()));
}

inline const std::list<CZNGroup>& CZNWorker::GetOwnerGroups(const std::string& userName) const {
    return Keep(R().groups, zng_worker_get_owner_groups_of(Handle(), userName.c_str()));
}

}  // namespace zngroups_portable
