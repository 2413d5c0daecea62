// CZNGroupImpl: the state behind one CZNGroup, its context and every group query.
#pragma once

#include <list>
#include <memory>
#include <string>
#include <vector>

#include "CZNGroup.h"
#include "CZNWorker.h"
#include "admin/change_request.h"
#include "session/directory_base.h"

namespace zn {
// Descriptions of the group's related lists and person checks, defined beside their queries.
struct RelatedList;
struct PersonCheck;
struct PersonChangeRule;
}  // namespace zn

class CZNGroupImpl : public zn::CZNDirectoryBase {
  public:
    CZNGroupImpl() = default;
    // Copies the group side into a fresh session; the domains list starts empty.
    CZNGroupImpl(const CZNGroupImpl& other);
    CZNGroupImpl& operator=(const CZNGroupImpl&) = delete;
    ~CZNGroupImpl() override;

    // Context; none touches the directory.
    // A group name as the group side keeps it: its first 80 characters, upper-cased.
    static std::string KeptGroupName(const std::string& groupName);
    void SetGroupName(const std::string& groupName);
    void SetUser(const std::string& userName);
    void SetPassword(const std::string& password);
    const std::string& GetGroupName() const { return m_groupName; }
    const std::string& GetUser() const { return m_userName; }
    const std::string& GetPasswordContext() const { return m_password; }

    // Operations the directory offers no data for: status 30020, result 0 or empty.
    long NotImplemented();
    const std::list<CZNGroup>& FindGroupsByKeyWord();
    const std::list<std::string>& GetAvailableKeyWords();
    const std::string& GetOutlookDisplayName();

    // Reads the entry attributes of every group of `groups` in shared searches of a few
    // hundred names; afterwards each group's description, company number, mail-aliased flag
    // and organizational unit answer from what was read, with the status and the usage
    // report their own search would have left, until the group is renamed or changed
    // through. Returns the number of groups found.
    static long LoadGroups(const std::vector<CZNGroupImpl*>& groups);

    // Attributes of the group's entry.
    const std::string& GetCompanyNumber();
    const std::string& GetDescription();
    const std::string& GetGenericAttributeValue(const std::string& attribute);
    long GetMailAliasedFlag();
    const std::string& GetOrganizationalUnit();

    // People and groups related to the group, and the configuration lists.
    const std::list<CZNWorker>& GetContacts();
    const std::list<CZNWorker>& GetDirectMembers();
    const std::list<CZNWorker>& GetEventualMembers();
    const std::list<CZNWorker>& GetOwners();
    long GetContactsCount();
    long GetDirectMembersCount();
    long GetEventualMembersCount();
    long GetOwnersCount();
    const std::list<CZNGroup>& GetSubGroups();
    const std::list<CZNGroup>& GetSuperGroups();
    const std::list<CZNGroup>& GetEventualSuperGroups();
    long GetSubGroupsCount();
    long GetSuperGroupsCount();
    long GetEventualSuperGroupsCount();
    const std::list<CZNGroup>& GetTopGroups();
    long GetTopGroupsCount();
    const std::list<CZNGroup>& FindGroups(const std::string& searchString);
    const std::list<std::string>& GetActiveCompanies();
    void CollectActiveCompanies(std::list<std::string>& companies);
    const std::list<std::string>& GetDomains();
    const std::list<std::string>& GetOrganizationalUnits();
    long GetDomainPort(const char* domain);

    // Yes-or-no questions; 0 for no or failure, the reason in the error status.
    long IsValidGroup();
    long IsValidGroupContact(const std::string& userName);
    long IsValidGroupDirectMember(const std::string& userName);
    long IsValidGroupEventualMember(const std::string& userName);
    long IsValidGroupOwner(const std::string& userName);
    // The candidate is looked up first; a group name given with the question is applied only
    // once the candidate exists.
    long IsValidGroupSubGroup(const std::string& candidate, const std::string* groupName);
    long IsValidGroupSuperGroup(const std::string& candidate, const std::string* groupName);
    long IsValidGroupEventualSuperGroup(const std::string& candidate, const std::string* groupName);
    long IsPublicGroup();
    long IsValidNewGroupName(const std::string& name);
    long IsValidDomain(const char* domain);
    long SetDomain(const char* domain);

    // Lookups the change operations share. Each reports usage under `label`: the public query
    // that asked, or the lookup's own name (as when a change asks, so that a change refused
    // by its checks leaves no report under the change's name).
    const std::string& GetGroupDN(const std::string& name, const char* label = "GetGroupDN");
    const char* GetUserDN(const std::string& userName);
    long IsAdministrator(const std::string& userName);
    long IsValidCompanyNumber(const std::string& number);
    long IsSubGroupByDN(const std::string& dn, const char* label = "IsSubGroupByDN");
    long IsSuperGroupByDN(const std::string& dn, const char* label = "IsSuperGroupByDN");
    long IsEventualSuperGroupByDN(const std::string& dn,
                                  const char* label = "IsEventualSuperGroupByDN");

    // Changes: each checks its argument and the requester, then sends one request to the
    // administration server of the object's domain; the reply's result, or the result of
    // the check that refused (nothing is sent then).
    long AddContact(const std::string& contact);
    long AddDirectMember(const std::string& member);
    long AddOwner(const std::string& owner);
    long DeleteContact(const std::string& contact);
    long DeleteDirectMember(const std::string& member);
    long DeleteOwner(const std::string& owner);
    long AddSubGroup(const std::string& subGroup);
    long RemoveSubGroup(const std::string& subGroup);
    long CreateSubGroup(const std::string& newName, const std::string& unit);
    long DeleteSubGroup(const std::string& name);
    long SetNewGroupName(const std::string& newName);
    long SetCompanyNumber(const std::string& companyNumber);
    long Modify(const std::string& newName, const std::string& reserved,
                const std::string& companyNumber, const std::string& unit, const char* label);
    long SetExchangeSynchronization();
    long ClearExchangeSynchronization();
    long SetMailAliasedFlag();
    long ClearMailAliasedFlag();
    long SetGenericAttributeValue(const std::string& attribute, const std::string& value);
    long SetDescription(const std::string& description);
    long ResetGroupChangeLogs();
    // 1 when the requester may act: the logged-on account, or a person whose password binds.
    long VerifyRequester(const std::string& userName, const std::string& password);

    // Questions about changes already made.
    long GetChangeStatusCodeOf(long changeNumber);
    const std::string& GetChangeStatusTextOf(long changeNumber);
    const std::string& GetChangeLogEntry(long entryNumber);
    const std::list<std::string>& GetGroupChangeLogs();

  private:
    // What one shared search found for a group: each entry the group's own search would
    // have found, in the server's order, with the values of the loaded attributes.
    struct LoadedEntry {
        std::string dn;
        std::list<std::string> description;
        std::list<std::string> companyNumber;
        std::list<std::string> mailAliased;
    };
    struct LoadedGroup {
        std::string name;
        std::vector<LoadedEntry> entries;
        long code = 0;
        std::string text;
    };
    // The loaded values of the group's current name, or null: those getters then search.
    const LoadedGroup* Loaded() const;
    // The values of one loaded attribute over every entry, as a search would collect them.
    void LoadedValues(const LoadedGroup& loaded, std::list<std::string> LoadedEntry::*attribute);
    // GetGroupDN of the loaded group, as its own search would answer.
    const std::string& LoadedGroupDN(const LoadedGroup& loaded);

    enum class Privilege { kOwner, kOwnerOrContact, kPublicOwnerOrContact };
    long RequesterStep();
    long CheckPrivilege(Privilege rule);
    // Adding to this group adds to the eventual members of every group above it; where one
    // of them is a role group, only an administrator or an owner of that role group may.
    long CheckRoleGroups();
    // Where `roleGroup` (a role group would be removed, renamed or made), only an
    // administrator may: 1, or 0 with 30035.
    long GuardRoleGroup(bool roleGroup);
    // How many supergroups the group `name` has (0 when they cannot be read).
    long SuperGroupsCountOf(const std::string& name);
    long SendChange(zn::ChangeRequest kind, zn::RequestFields fields, const char* label);
    long PersonChange(const zn::PersonChangeRule& rule, const std::string& target);
    long PropertyChange(zn::ChangeRequest kind, zn::RequestFields fields, const char* label);
    void QueryChangeStatus(long changeNumber);
    void CopyStatusOf(const CZNWorker& worker);

    // Empty group name: 30016; longer than 80 characters: 30004. False when refused.
    bool CheckGroupName(const std::string& name);
    void Report(const char* label);
    const std::string& ReadSingleValue(std::string& member, const char* attribute,
                                       const char* label);
    void CollectListNames(std::vector<std::string>& names, const std::string& filter,
                          const char* attribute);
    const std::list<CZNWorker>& ListPeople(const zn::RelatedList& list);
    long CountPeople(const zn::RelatedList& list);
    const std::list<CZNGroup>& ListGroups(const zn::RelatedList& list);
    long CountGroups(const zn::RelatedList& list);
    long IsRelatedPerson(const zn::PersonCheck& check, const std::string& userName);
    long IsRelatedGroup(const char* attribute, const std::string& candidate,
                        const std::string* groupName, const char* label);
    // Walks "SuperGroup" upwards from `name`, visiting each group once, and collects every
    // supergroup met into the eventual-supergroup list (unsorted, with repeats).
    void CollectEventualSuperGroupNames(const std::string& name);
    // The walk both eventual-supergroup queries share; false when the group name is refused.
    bool WalkEventualSuperGroups();
    // Replaces the group list by one group per distinct name of the sorted `names`.
    void FillGroupListOnce(const std::list<std::string>& names);
    // The group-name filter every query of the group's own entry uses; false when refused.
    bool GroupFilter(std::string& filter, const std::string& name);

    // Members in the order of the group's data model.
    std::list<std::string> m_values;
    std::list<std::string> m_names;
    std::list<CZNGroup> m_groups;
    std::list<CZNWorker> m_workers;
    std::string m_companyNumber;
    std::string m_description;
    std::string m_genericAttributeValue;
    std::string m_groupDN;
    std::string m_groupName;
    std::string m_organizationalUnit;
    std::string m_displayName;
    std::string m_password;
    std::string m_userName;
    std::string m_userDN;
    std::list<std::string> m_activeCompanies;
    std::list<std::string> m_changeLogs;
    std::list<std::string> m_eventualSuperGroups;
    std::list<std::string> m_domains;
    // The names the workers of the worker list refer to until they are used.
    std::vector<std::string> m_workerNames;
    // Shared with copies: what LoadGroups read never changes once read.
    std::shared_ptr<const LoadedGroup> m_loadedGroup;
};
