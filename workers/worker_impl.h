// CZNWorkerImpl: the state behind one CZNWorker, its identity, attributes and result lists.
#pragma once

#include <functional>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "CZNGroup.h"
#include "CZNWorker.h"
#include "session/directory_base.h"
#include "workers/loaded_worker.h"

namespace zn {
// Appends a worker for each of `names` to `workers`. The workers refer to the names until they
// are used, copied or assigned, so the names must stay, unchanged, while the workers live:
// keep them beside the list and replace them only after the list has been cleared.
void FillListedWorkers(std::list<CZNWorker>& workers, const std::vector<std::string>& names);
}  // namespace zn

class CZNWorkerImpl : public zn::CZNDirectoryBase {
  public:
    CZNWorkerImpl() = default;
    // Copies the worker's identity, attributes and lists into a fresh session.
    CZNWorkerImpl(const CZNWorkerImpl& other);
    CZNWorkerImpl& operator=(const CZNWorkerImpl&) = delete;
    ~CZNWorkerImpl() override;

    // Identity and settings; none touches the directory.
    void SetUserName(const std::string& userName);
    // The user name as the worker holds it now, without loading it.
    const std::string& GetHeldUserName() const { return m_userName; }
    void SetWorkerNumber(long workerNumber);
    void SetLoginDialogTitle(const std::string& title);
    const std::string& GetLoginDialogTitle() const { return m_loginDialogTitle; }
    void SetAllowGenericAuthentication(long allow) { m_allowGeneric = allow; }
    long GetAllowGenericAuthentication() const { return m_allowGeneric; }

    // The user name set, then its password checked by a bind as the worker's entry; generic
    // accounts refused unless allowed. 1 with "Success", or 0 with the reason.
    long Authenticate(const std::string& userName, const std::string& password);
    // Single sign-on for the accounts the directory names, the login dialog otherwise:
    // 1 authenticated, 5 cancelled or not retried, 0 other ends, else the platform's error.
    long Login();

    // Reads every attribute of the worker in one search; see the attribute table.
    void LoadWorker();
    // One worker of a shared load, as its facade hands it over. A worker without an
    // implementation object yet is given a compact record of what was found (`keep`), and
    // an implementation object (`make`) only when its status must say why nothing was.
    struct LoadTarget {
        // The user name its own search would ask for, and the session it would ask with.
        const std::string* userName = nullptr;
        const zn::CZNDirectoryBase* session = nullptr;
        CZNWorkerImpl* impl = nullptr;
        std::function<void(std::shared_ptr<const zn::LoadedWorker>)> keep;
        std::function<CZNWorkerImpl&()> make;
    };
    // Loads every target as LoadWorker would, those named by a plain user name through
    // shared searches of a few hundred names each; the number found. Each worker's getters
    // and error status then answer what its own LoadWorker would have left.
    // `attributes` names the directory attributes to read (null: all of them); a worker that
    // had an implementation object before then loads whole, by itself.
    static long LoadWorkers(std::vector<LoadTarget>& targets,
                            const std::vector<const char*>* attributes = nullptr);
    // The record slot of a directory attribute (or of the DN), for the facade's getters.
    static std::size_t SlotOf(const char* attribute);
    static constexpr std::size_t kDnSlot = zn::LoadedWorker::kSlots - 1;
    // Takes what a shared load recorded, as if the worker's own load had found it.
    void TakeRecord(const zn::LoadedWorker& record);
    // One entry of a shared search: its DN and the first value of each attribute as a worker
    // keeps them, whether they fit, and every user name (lower-cased) it answers to.
    struct FoundEntry {
        std::shared_ptr<zn::LoadedWorker> record;
        bool fits = true;
        std::vector<std::string> userNames;
    };

    // Finds the worker's DN unless it is known already.
    void ResolveWorkerDN();
    // The DN as the last resolution left it, without resolving again.
    const std::string& GetResolvedWorkerDN() const { return m_workerDN; }

    const std::string& GetUserNameA();
    long GetWorkerNumber();
    long IsValidWorker();
    const std::string& GetWorkerDN();

    // Searches and group lists.
    const std::list<CZNWorker>& FindWorkers(const std::string& searchString);
    const std::list<CZNWorker>& FindWorkersByFirstName(const std::string& searchString);
    const std::list<CZNWorker>& FindWorkersByLastName(const std::string& searchString);
    const std::list<CZNGroup>& GetContactGroups();
    const std::list<CZNGroup>& GetDirectGroups();
    const std::list<CZNGroup>& GetEventualGroups();
    const std::list<CZNGroup>& GetOwnerGroups();
    long IsValidContactGroup(const std::string& groupName);
    long IsValidDirectGroup(const std::string& groupName);
    long IsValidEventualGroup(const std::string& groupName);
    long IsValidOwnerGroup(const std::string& groupName);
    const std::list<std::string>& GetDomains();
    long IsValidDomain(const char* domain);
    long SetDomain(const char* domain);
    long GetDomainPort(const char* domain);

    const std::string& GetCity() { return Loaded(m_city); }
    const std::string& GetCompanyName() { return Loaded(m_companyName); }
    const std::string& GetCompanyNumber() { return Loaded(m_companyNumber); }
    const std::string& GetCostCenter() { return Loaded(m_costCenter); }
    const std::string& GetCostCenterDescription() { return Loaded(m_costCenterDescription); }
    const std::string& GetCountry() { return Loaded(m_country); }
    const std::string& GetDepartment() { return Loaded(m_costCenter); }
    const std::string& GetDisplayName() { return Loaded(m_displayName); }
    const std::string& GetEmailAddress() { return Loaded(m_emailAddress); }
    const std::string& GetEmployeeType() { return Loaded(m_employeeType); }
    const std::string& GetFaxNumber() { return Loaded(m_faxNumber); }
    const std::string& GetFullName() { return Loaded(m_fullName); }
    const std::string& GetGivenName() { return Loaded(m_givenName); }
    const std::string& GetJobTitle() { return Loaded(m_jobTitle); }
    const std::string& GetMailStop() { return Loaded(m_mailStop); }
    const std::string& GetOfficeLocation() { return Loaded(m_officeLocation); }
    const std::string& GetPagerNumber() { return Loaded(m_pagerNumber); }
    const std::string& GetPhoneNumber() { return Loaded(m_phoneNumber); }
    const std::string& GetShiftCode() { return Loaded(m_shiftCode); }
    const std::string& GetShipToCity() { return Loaded(m_shipToCity); }
    const std::string& GetShipToCountry() { return Loaded(m_shipToCountry); }
    const std::string& GetShipToState() { return Loaded(m_shipToState); }
    const std::string& GetShipToStreet() { return Loaded(m_shipToStreet); }
    const std::string& GetShipToZipCode() { return Loaded(m_shipToZipCode); }
    const std::string& GetState() { return Loaded(m_state); }
    const std::string& GetStreet() { return Loaded(m_street); }
    const std::string& GetSupervisorUserName() { return Loaded(m_supervisorUserName); }
    const std::string& GetSurName() { return Loaded(m_surName); }
    const std::string& GetZipCode() { return Loaded(m_zipCode); }

  private:
    struct AttributeRow;
    struct GroupCheck;

    void CollectSortedValues(std::vector<std::string>& values, const std::string& filter,
                             const char* const* attributes);
    const std::list<CZNWorker>& Find(const char* filterFormat, const std::string& searchString);
    const std::list<CZNGroup>& ListGroups(const char* filterFormat);
    long IsRelatedGroup(const GroupCheck& check, const std::string& groupName);
    static const AttributeRow* FindAttributeRow(const char* name);
    static const AttributeRow* AttributeTable(std::size_t& count);
    // Records one attribute of an entry as StoreAttribute would store it; false when the
    // record has no room left.
    static bool Record(zn::LoadedWorker& record, const char* name, const char* firstValue);

    // Loads the worker when its fields do not belong to the current identity yet.
    const std::string& Loaded(const std::string& field);
    void ClearAttributeFields();
    void StoreAttribute(const char* name, const char* firstValue);
    // LoadWorker's steps around its search, for a search another object made: before it,
    // one entry found, and after it (`searcher` is the object that searched).
    void BeginLoad();
    // Runs `filter` on `searcher` and hands each entry, once it is read whole, to `take`.
    // `asked` is the record slots of `attributes` (null: all).
    static bool SearchEntries(CZNWorkerImpl& searcher, const std::string& filter,
                              const char* const* attributes, std::uint32_t asked,
                              const std::function<void(const FoundEntry&)>& take,
                              bool stream = false);
    // Takes the fields `record` carries over those the worker holds, as a found entry does.
    void ApplyRecord(const zn::LoadedWorker& record);
    void EndLoad(const CZNDirectoryBase& searcher, bool searched);
    // The key a shared search can find this worker by (its user name, lower-cased), when the
    // name is one the directory matches plainly; false otherwise.
    static bool SharedSearchKey(const std::string& userName, std::string& key);
    // A shared load's handling of one user name: an entry found for it, and the end.
    struct NameLoad;
    static void TakeForName(NameLoad& load, const FoundEntry& entry);
    static void FinishName(NameLoad& load, const CZNDirectoryBase& searcher, bool searched,
                           long& found);
    void ReportUnknownWorker();
    // The filter that finds the worker by its user name.
    std::string UserNameFilter() const;

    // Members in the order of the worker's data model.
    std::list<std::string> m_values;
    std::list<CZNGroup> m_groups;
    std::list<CZNWorker> m_workers;
    long m_allowGeneric = 1;
    long m_dnResolved = 0;
    long m_loaded = 0;
    long m_workerNumber = 0;
    std::string m_city;
    std::string m_companyName;
    std::string m_companyNumber;
    std::string m_costCenter;
    std::string m_costCenterDescription;
    std::string m_country;
    std::string m_displayName;
    std::string m_emailAddress;
    std::string m_employeeType;
    std::string m_faxNumber;
    std::string m_fullName;
    std::string m_givenName;
    std::string m_jobTitle;
    std::string m_loginDialogTitle = "ZN Groups Authentication";
    std::string m_mailStop;
    std::string m_officeLocation;
    std::string m_pagerNumber;
    std::string m_phoneNumber;
    std::string m_shiftCode;
    std::string m_shipToCity;
    std::string m_shipToCountry;
    std::string m_shipToState;
    std::string m_shipToStreet;
    std::string m_shipToZipCode;
    std::string m_state;
    std::string m_street;
    std::string m_supervisorUserName;
    std::string m_surName;
    std::string m_userName;
    std::string m_workerDN;
    std::string m_zipCode;
    std::list<std::string> m_domains;
    // The names the workers of the worker list refer to until they are used.
    std::vector<std::string> m_workerNames;
};
