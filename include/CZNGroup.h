// CZNGroup: one mail or distribution group of the company directory.
//
// Every method is const and reports failure through its return value and the error status
// (GetErrorStatusCode / GetErrorStatusText), never by throwing. A status method returns 1 for
// success or a true answer and 0 otherwise; count methods return the count, 0 on failure.
//
// Results are references to members of the object: they stay valid while the object lives
// and is not assigned to, and keep their contents until the next call on the same object that
// rewrites them. Several queries share a member: every group-list query rewrites the same
// list of groups, every people-list query the same list of workers, and GetOrganizationalUnits
// returns the object's list of values, which every search rewrites. Checks and changes
// rewrite no list of groups or workers. Copy a result to keep it.
//
// Overloads put the operation's context first: (group, x) sets the group name, which stays
// in the object for later calls. The group name is kept upper-cased and cut to 80 characters;
// the reference GetGroupName gives stays valid and unchanged until the name is set again.
// Every method copies its arguments on entry, so the object's own name, or any name taken
// from one of its lists, may be passed to any of its methods.
//
// Groups and workers in result lists are independent objects that carry only their name;
// until one is used for a directory question it costs little more than that name, whatever
// it is asked of its status, time-outs or domain. Constructors throw std::bad_alloc only when
// memory runs out.
//
// Threads: one object is used by one thread at a time, its const methods included (they fill
// the object's results and its directory session). Different objects may be used by
// different threads at once, the elements of one result list among them, while no call
// rewrites that list.
#pragma once

#include <list>
#include <string>

#include "CZNWorker.h"
#include "zngroups_export.h"

class CZNGroupImpl;
struct CZNGroupBody;

class ZNGROUPS_API CZNGroup {
  public:
    CZNGroup();
    CZNGroup(const char* groupName);
    CZNGroup(const std::string& groupName);
    // A copy has this group's name, context and results but a fresh directory session (no
    // domain, default time-outs, fresh error status) and an empty list of domains.
    CZNGroup(const CZNGroup& other);
    CZNGroup& operator=(const CZNGroup& other);
    ~CZNGroup();

    // Context.
    void SetGroupName(const std::string& groupName) const;
    void SetAccess(const std::string& userName, const std::string& password) const;
    void SetAccess(const std::string& userName, const std::string& password,
                   const std::string& groupName) const;
    const std::string& GetGroupName() const;

    // Reads the description, company number, mail-aliased flag and organizational unit of
    // every group of `groups` through shared searches of a few hundred names, rather than
    // a search per group and attribute. Afterwards those getters of each loaded group answer
    // from memory what their own search would have answered, status included, until the
    // group is renamed or a change is sent through it. Each group's error status says
    // whether it was found (30004 when not); a group whose search failed keeps the failure
    // and reads afresh. Names with blanks the directory would fold, or with characters
    // that need escaping, read afresh too. Returns the number of groups found.
    static long LoadGroups(const std::list<CZNGroup>& groups);

    // Attributes of the group, read afresh on every call unless loaded by LoadGroups. A group
    // that does not exist reads as empty with success; IsValidGroup tells the two apart.
    const std::string& GetCompanyNumber() const;
    const std::string& GetCompanyNumber(const std::string& groupName) const;
    const std::string& GetDescription() const;
    const std::string& GetDescription(const std::string& groupName) const;
    const std::string& GetOrganizationalUnit() const;
    const std::string& GetOrganizationalUnit(const std::string& groupName) const;
    const std::string& GetGenericAttributeValue(const std::string& attribute) const;
    const std::string& GetGenericAttributeValue(const std::string& groupName,
                                                const std::string& attribute) const;
    // The character code of the flag's first character ('Y' is 89), 0 when there is none.
    long GetMailAliasedFlag() const;
    long GetMailAliasedFlag(const std::string& groupName) const;
    // Not provided by the directory: always empty, status 30020.
    const std::string& GetOutlookDisplayName() const;
    const std::string& GetOutlookDisplayName(const std::string& groupName) const;

    // People related to the group, sorted by user name; duplicates kept.
    const std::list<CZNWorker>& GetContacts() const;
    const std::list<CZNWorker>& GetContacts(const std::string& groupName) const;
    const std::list<CZNWorker>& GetDirectMembers() const;
    const std::list<CZNWorker>& GetDirectMembers(const std::string& groupName) const;
    const std::list<CZNWorker>& GetEventualMembers() const;
    const std::list<CZNWorker>& GetEventualMembers(const std::string& groupName) const;
    const std::list<CZNWorker>& GetOwners() const;
    const std::list<CZNWorker>& GetOwners(const std::string& groupName) const;
    long GetContactsCount() const;
    long GetContactsCount(const std::string& groupName) const;
    long GetDirectMembersCount() const;
    long GetDirectMembersCount(const std::string& groupName) const;
    long GetEventualMembersCount() const;
    long GetEventualMembersCount(const std::string& groupName) const;
    long GetOwnersCount() const;
    long GetOwnersCount(const std::string& groupName) const;

    // Groups related to the group, sorted by name. The eventual supergroups are every group
    // reached by walking "SuperGroup" upwards, each once.
    const std::list<CZNGroup>& GetSubGroups() const;
    const std::list<CZNGroup>& GetSubGroups(const std::string& groupName) const;
    const std::list<CZNGroup>& GetSuperGroups() const;
    const std::list<CZNGroup>& GetSuperGroups(const std::string& groupName) const;
    const std::list<CZNGroup>& GetEventualSuperGroups() const;
    const std::list<CZNGroup>& GetEventualSuperGroups(const std::string& groupName) const;
    long GetSubGroupsCount() const;
    long GetSubGroupsCount(const std::string& groupName) const;
    long GetSuperGroupsCount() const;
    long GetSuperGroupsCount(const std::string& groupName) const;
    long GetEventualSuperGroupsCount() const;
    long GetEventualSuperGroupsCount(const std::string& groupName) const;

    // Groups without a supergroup, and groups by a name pattern ('*' is a wildcard).
    const std::list<CZNGroup>& GetTopGroups() const;
    long GetTopGroupsCount() const;
    const std::list<CZNGroup>& FindGroups(const std::string& searchString) const;
    // Not provided by the directory: empty, status 30020.
    const std::list<CZNGroup>& FindGroupsByKeyWord(const std::string& searchString) const;

    // The directory's configuration lists, in the directory's order.
    const std::list<std::string>& GetActiveCompanies() const;
    const std::list<std::string>& GetDomains() const;
    const std::list<std::string>& GetOrganizationalUnits() const;
    // Not provided by the directory: empty, status 30020.
    const std::list<std::string>& GetAvailableKeyWords() const;

    // Checks: 1 for yes, 0 for no or failure with the reason in the error status.
    long IsValidGroup() const;
    long IsValidGroup(const std::string& groupName) const;
    long IsPublicGroup() const;
    long IsPublicGroup(const std::string& groupName) const;
    long IsValidGroupContact(const std::string& userName) const;
    long IsValidGroupContact(const std::string& groupName, const std::string& userName) const;
    long IsValidGroupDirectMember(const std::string& userName) const;
    long IsValidGroupDirectMember(const std::string& groupName, const std::string& userName) const;
    long IsValidGroupEventualMember(const std::string& userName) const;
    long IsValidGroupEventualMember(const std::string& groupName,
                                    const std::string& userName) const;
    long IsValidGroupOwner(const std::string& userName) const;
    long IsValidGroupOwner(const std::string& groupName, const std::string& userName) const;
    // In the (group, candidate) shapes the group name is applied only once the candidate is
    // known to exist.
    long IsValidGroupSubGroup(const std::string& candidate) const;
    long IsValidGroupSubGroup(const std::string& groupName, const std::string& candidate) const;
    long IsValidGroupSuperGroup(const std::string& candidate) const;
    long IsValidGroupSuperGroup(const std::string& groupName, const std::string& candidate) const;
    long IsValidGroupEventualSuperGroup(const std::string& candidate) const;
    long IsValidGroupEventualSuperGroup(const std::string& groupName,
                                        const std::string& candidate) const;
    long IsValidNewGroupName(const std::string& name) const;
    long IsValidDomain(const char* domain) const;
    // Not provided by the directory: 0, status 30020.
    long IsActiveCompany(const std::string& company) const;
    long IsAvailableKeyWord(const std::string& keyWord) const;
    long IsValidOrganizationalUnit(const std::string& unit) const;

    // The domain whose directory and administration servers the object uses; SetDomain
    // accepts only a domain the directory lists (the empty domain selects the local servers).
    long SetDomain(const char* domain) const;
    const std::string& GetDomain() const;

    // Changes. Each checks its argument and the requester against the directory (the user
    // name and password set by SetAccess or the call itself, verified once per user name),
    // then sends one request to the administration server of the object's domain. Returns
    // the server's result (1: done) or the result of the check that refused; nothing is
    // sent after a refusal. Shapes: (x), (group, x), (user, password, x),
    // (user, password, group, x).
    long AddContact(const std::string& contact) const;
    long AddContact(const std::string& groupName, const std::string& contact) const;
    long AddContact(const std::string& userName, const std::string& password, const std::string& contact) const;
    long AddContact(const std::string& userName, const std::string& password, const std::string& groupName,
              const std::string& contact) const;
    long AddDirectMember(const std::string& member) const;
    long AddDirectMember(const std::string& groupName, const std::string& member) const;
    long AddDirectMember(const std::string& userName, const std::string& password, const std::string& member) const;
    long AddDirectMember(const std::string& userName, const std::string& password, const std::string& groupName,
              const std::string& member) const;
    long AddOwner(const std::string& owner) const;
    long AddOwner(const std::string& groupName, const std::string& owner) const;
    long AddOwner(const std::string& userName, const std::string& password, const std::string& owner) const;
    long AddOwner(const std::string& userName, const std::string& password, const std::string& groupName,
              const std::string& owner) const;
    long AddSubGroup(const std::string& subGroup) const;
    long AddSubGroup(const std::string& groupName, const std::string& subGroup) const;
    long AddSubGroup(const std::string& userName, const std::string& password, const std::string& subGroup) const;
    long AddSubGroup(const std::string& userName, const std::string& password, const std::string& groupName,
              const std::string& subGroup) const;
    long DeleteContact(const std::string& contact) const;
    long DeleteContact(const std::string& groupName, const std::string& contact) const;
    long DeleteContact(const std::string& userName, const std::string& password, const std::string& contact) const;
    long DeleteContact(const std::string& userName, const std::string& password, const std::string& groupName,
              const std::string& contact) const;
    long DeleteDirectMember(const std::string& member) const;
    long DeleteDirectMember(const std::string& groupName, const std::string& member) const;
    long DeleteDirectMember(const std::string& userName, const std::string& password, const std::string& member) const;
    long DeleteDirectMember(const std::string& userName, const std::string& password, const std::string& groupName,
              const std::string& member) const;
    long DeleteOwner(const std::string& owner) const;
    long DeleteOwner(const std::string& groupName, const std::string& owner) const;
    long DeleteOwner(const std::string& userName, const std::string& password, const std::string& owner) const;
    long DeleteOwner(const std::string& userName, const std::string& password, const std::string& groupName,
              const std::string& owner) const;
    long RemoveSubGroup(const std::string& subGroup) const;
    long RemoveSubGroup(const std::string& groupName, const std::string& subGroup) const;
    long RemoveSubGroup(const std::string& userName, const std::string& password, const std::string& subGroup) const;
    long RemoveSubGroup(const std::string& userName, const std::string& password, const std::string& groupName,
              const std::string& subGroup) const;
    long DeleteSubGroup(const std::string& subGroup) const;
    long DeleteSubGroup(const std::string& groupName, const std::string& subGroup) const;
    long DeleteSubGroup(const std::string& userName, const std::string& password, const std::string& subGroup) const;
    long DeleteSubGroup(const std::string& userName, const std::string& password, const std::string& groupName,
              const std::string& subGroup) const;
    long SetNewGroupName(const std::string& newName) const;
    long SetNewGroupName(const std::string& groupName, const std::string& newName) const;
    long SetNewGroupName(const std::string& userName, const std::string& password, const std::string& newName) const;
    long SetNewGroupName(const std::string& userName, const std::string& password, const std::string& groupName,
              const std::string& newName) const;
    long SetCompanyNumber(const std::string& companyNumber) const;
    long SetCompanyNumber(const std::string& groupName, const std::string& companyNumber) const;
    long SetCompanyNumber(const std::string& userName, const std::string& password, const std::string& companyNumber) const;
    long SetCompanyNumber(const std::string& userName, const std::string& password, const std::string& groupName,
              const std::string& companyNumber) const;
    long SetDescription(const std::string& description) const;
    long SetDescription(const std::string& groupName, const std::string& description) const;
    long SetDescription(const std::string& userName, const std::string& password, const std::string& description) const;
    long SetDescription(const std::string& userName, const std::string& password, const std::string& groupName,
              const std::string& description) const;
    long CreateSubGroup(const std::string& newName, const std::string& unit) const;
    long CreateSubGroup(const std::string& groupName, const std::string& newName, const std::string& unit) const;
    long CreateSubGroup(const std::string& userName, const std::string& password, const std::string& newName,
              const std::string& unit) const;
    long CreateSubGroup(const std::string& userName, const std::string& password, const std::string& groupName,
              const std::string& newName, const std::string& unit) const;
    long SetGenericAttributeValue(const std::string& attribute, const std::string& value) const;
    long SetGenericAttributeValue(const std::string& groupName, const std::string& attribute, const std::string& value) const;
    long SetGenericAttributeValue(const std::string& userName, const std::string& password, const std::string& attribute,
              const std::string& value) const;
    long SetGenericAttributeValue(const std::string& userName, const std::string& password, const std::string& groupName,
              const std::string& attribute, const std::string& value) const;
    long SetExchangeSynchronization() const;
    long SetExchangeSynchronization(const std::string& groupName) const;
    long SetExchangeSynchronization(const std::string& userName, const std::string& password, const std::string& groupName) const;
    long ClearExchangeSynchronization() const;
    long ClearExchangeSynchronization(const std::string& groupName) const;
    long ClearExchangeSynchronization(const std::string& userName, const std::string& password, const std::string& groupName) const;
    long SetMailAliasedFlag() const;
    long SetMailAliasedFlag(const std::string& groupName) const;
    long SetMailAliasedFlag(const std::string& userName, const std::string& password, const std::string& groupName) const;
    long ClearMailAliasedFlag() const;
    long ClearMailAliasedFlag(const std::string& groupName) const;
    long ClearMailAliasedFlag(const std::string& userName, const std::string& password, const std::string& groupName) const;
    long ResetGroupChangeLogs() const;
    long ResetGroupChangeLogs(const std::string& groupName) const;
    long ResetGroupChangeLogs(const std::string& userName, const std::string& password, const std::string& groupName) const;

    // Questions about changes made. The status of a change goes to the local administration
    // server; the change logs to the object's domain's.
    long GetErrorStatusCode(long changeNumber) const;
    const std::string& GetErrorStatusText(long changeNumber) const;
    const std::string& GetChangeLogEntry(long entryNumber) const;
    const std::list<std::string>& GetGroupChangeLogs() const;
    const std::list<std::string>& GetGroupChangeLogs(const std::string& groupName) const;

    // Not provided by the directory: 0, status 30020, no context applied.
    long AddKeyWord(const std::string& keyWord) const;
    long AddKeyWord(const std::string& groupName, const std::string& keyWord) const;
    long DeleteKeyWord(const std::string& keyWord) const;
    long DeleteKeyWord(const std::string& groupName, const std::string& keyWord) const;
    long SetOrganizationalUnit(const std::string& unit) const;
    long SetOrganizationalUnit(const std::string& groupName, const std::string& unit) const;
    long SetOrganizationalUnit(const std::string& userName, const std::string& password,
                               const std::string& unit) const;
    long SetOrganizationalUnit(const std::string& userName, const std::string& password,
                               const std::string& groupName, const std::string& unit) const;
    long SetOutlookDisplayName(const std::string& name) const;
    long SetOutlookDisplayName(const std::string& groupName, const std::string& name) const;
    long SetOutlookDisplayName(const std::string& userName, const std::string& password,
                               const std::string& name) const;
    long SetOutlookDisplayName(const std::string& userName, const std::string& password,
                               const std::string& groupName, const std::string& name) const;

    // Error status of the last operation: code 1 for success.
    long GetErrorStatusCode() const;
    const std::string& GetErrorStatusText() const;

    // Time-outs: each bind wait is bounded by the connect time-out (default 5 s), each search
    // try by the search time-out (default 120 s). SetTimeOut sets the search seconds.
    long GetConnectTimeOutSeconds() const;
    long GetConnectTimeOutMicroSeconds() const;
    long GetSearchTimeOutSeconds() const;
    long GetSearchTimeOutMicroSeconds() const;
    long GetTimeOut() const;
    void SetConnectTimeOut(long seconds, long microSeconds) const;
    void SetSearchTimeOut(long seconds, long microSeconds) const;
    void SetTimeOut(long seconds) const;

  private:
    // The implementation object, made on first use: a group taken from a result list, or
    // made from a name, costs only its name until it is used (GetGroupName does not use it).
    CZNGroupImpl& Impl() const;
    CZNGroupBody* m_body;
};
