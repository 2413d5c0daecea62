// CZNWorker: one worker (a person) of the company directory, named by user name or number.
//
// The portable layer: this class written inline over the C interface (zngroups.h), so that an
// application compiles it with its own compiler and standard library and links against the
// C functions of zngroups.dll or libzngroups.so only. It has the public methods, overloads
// and reference rule of the class that the library exports; put this folder
// (include/portable) on the include path instead of include/, and code written for it
// compiles against the exported class as well.
//
// Where it differs: a std::string argument ends at its first NUL byte (a C string); results
// are copies kept in this object, refreshed by the methods that return them, so a result that
// the library rewrites through another method (the list of values behind
// GetOrganizationalUnits, the group list behind GetEventualSuperGroupsCount) shows the new
// contents when next returned rather than at once. Groups and workers in result lists are
// made on first use from their names, as the library makes them, and asking one for its
// name (GetGroupName, GetName) needs no handle at all; an element carries its name only, the
// results are made when first asked for. Beyond the exported classes: the one-argument
// constructors are explicit, objects move (a moved-from one is as if newly made), the
// setters of the worker's own context (SetUserName, SetDomain, SetLoginDialogTitle,
// SetAllowGenericAuthentication, the time-outs) are not const, and SetDomain and
// IsValidDomain take a std::string as well. Both classes live in the inline
// namespace zngroups_portable: a forward declaration of either is written inside it.
#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "../zngroups.h"

// Compiled against the portable classes rather than the exported ones (whose one-argument
// constructors convert).
#define ZNGROUPS_PORTABLE 1

// The classes live in an inline namespace: to the application they are ::CZNGroup and
// ::CZNWorker, but their symbols never meet those of the library's exported classes, which a
// process that loads libzngroups.so would otherwise bind in place of these.
inline namespace zngroups_portable {

class CZNGroup;

class CZNWorker {
  public:
    CZNWorker() : m_handle(Made(zng_worker_new())) {}
    // Explicit, unlike the exported class's: show(42) must not quietly make worker 42.
    explicit CZNWorker(const std::string& userName)
        : m_handle(Made(zng_worker_new_named(userName.c_str()))) {}
    explicit CZNWorker(long workerNumber) : m_handle(Made(zng_worker_new_numbered(workerNumber))) {}
    // A copy has this worker's identity and attributes but a fresh directory session
    // (no domain, default time-outs, fresh error status).
    CZNWorker(const CZNWorker& other)
        : m_handle(other.m_handle == nullptr ? nullptr : Made(zng_worker_copy(other.m_handle))),
          m_userName(other.m_userName) {}
    CZNWorker& operator=(const CZNWorker& other) {
        if (this == &other) return *this;
        if (other.m_handle == nullptr) {
            zng_worker_free(m_handle);
            m_handle = nullptr;
            m_userName = other.m_userName;
        } else if (m_handle == nullptr) {
            m_handle = Made(zng_worker_copy(other.m_handle));
        } else {
            zng_worker_assign(m_handle, other.m_handle);
        }
        return *this;
    }
    ~CZNWorker() { zng_worker_free(m_handle); }
    // A moved-from object is an unnamed one, as if newly made.
    CZNWorker(CZNWorker&& other) noexcept
        : m_handle(std::exchange(other.m_handle, nullptr)),
          m_userName(std::move(other.m_userName)),
          m_results(std::move(other.m_results)) {}
    CZNWorker& operator=(CZNWorker&& other) noexcept {
        std::swap(m_handle, other.m_handle);
        std::swap(m_userName, other.m_userName);
        std::swap(m_results, other.m_results);
        return *this;
    }

    // Attributes, read from the directory on first use.
    const std::string& GetCity() const { return Keep(R().city, zng_worker_get_city(Handle())); }
    const std::string& GetCity(const std::string& userName) const {
        return Keep(R().city, zng_worker_get_city_of(Handle(), userName.c_str()));
    }
    const std::string& GetCompanyName() const {
        return Keep(R().companyName, zng_worker_get_company_name(Handle()));
    }
    const std::string& GetCompanyName(const std::string& userName) const {
        return Keep(R().companyName, zng_worker_get_company_name_of(Handle(), userName.c_str()));
    }
    const std::string& GetCompanyNumber() const {
        return Keep(R().companyNumber, zng_worker_get_company_number(Handle()));
    }
    const std::string& GetCompanyNumber(const std::string& userName) const {
        return Keep(R().companyNumber,
                    zng_worker_get_company_number_of(Handle(), userName.c_str()));
    }
    const std::string& GetCostCenter() const {
        return Keep(R().costCenter, zng_worker_get_cost_center(Handle()));
    }
    const std::string& GetCostCenter(const std::string& userName) const {
        return Keep(R().costCenter, zng_worker_get_cost_center_of(Handle(), userName.c_str()));
    }
    const std::string& GetCostCenterDescription() const {
        return Keep(R().costCenterDescription, zng_worker_get_cost_center_description(Handle()));
    }
    const std::string& GetCostCenterDescription(const std::string& userName) const {
        return Keep(R().costCenterDescription,
                    zng_worker_get_cost_center_description_of(Handle(), userName.c_str()));
    }
    const std::string& GetCountry() const {
        return Keep(R().country, zng_worker_get_country(Handle()));
    }
    const std::string& GetCountry(const std::string& userName) const {
        return Keep(R().country, zng_worker_get_country_of(Handle(), userName.c_str()));
    }

    // The cost center, under its other name.
    const std::string& GetDepartment() const {
        return Keep(R().costCenter, zng_worker_get_department(Handle()));
    }
    const std::string& GetDepartment(const std::string& userName) const {
        return Keep(R().costCenter, zng_worker_get_department_of(Handle(), userName.c_str()));
    }
    const std::string& GetDisplayName() const {
        return Keep(R().displayName, zng_worker_get_display_name(Handle()));
    }
    const std::string& GetDisplayName(const std::string& userName) const {
        return Keep(R().displayName, zng_worker_get_display_name_of(Handle(), userName.c_str()));
    }
    const std::string& GetEmailAddress() const {
        return Keep(R().emailAddress, zng_worker_get_email_address(Handle()));
    }
    const std::string& GetEmailAddress(const std::string& userName) const {
        return Keep(R().emailAddress, zng_worker_get_email_address_of(Handle(), userName.c_str()));
    }
    const std::string& GetEmployeeType() const {
        return Keep(R().employeeType, zng_worker_get_employee_type(Handle()));
    }
    const std::string& GetEmployeeType(const std::string& userName) const {
        return Keep(R().employeeType, zng_worker_get_employee_type_of(Handle(), userName.c_str()));
    }
    const std::string& GetFaxNumber() const {
        return Keep(R().faxNumber, zng_worker_get_fax_number(Handle()));
    }
    const std::string& GetFaxNumber(const std::string& userName) const {
        return Keep(R().faxNumber, zng_worker_get_fax_number_of(Handle(), userName.c_str()));
    }
    const std::string& GetFullName() const {
        return Keep(R().fullName, zng_worker_get_full_name(Handle()));
    }
    const std::string& GetFullName(const std::string& userName) const {
        return Keep(R().fullName, zng_worker_get_full_name_of(Handle(), userName.c_str()));
    }
    const std::string& GetGivenName() const {
        return Keep(R().givenName, zng_worker_get_given_name(Handle()));
    }
    const std::string& GetGivenName(const std::string& userName) const {
        return Keep(R().givenName, zng_worker_get_given_name_of(Handle(), userName.c_str()));
    }
    const std::string& GetJobTitle() const {
        return Keep(R().jobTitle, zng_worker_get_job_title(Handle()));
    }
    const std::string& GetJobTitle(const std::string& userName) const {
        return Keep(R().jobTitle, zng_worker_get_job_title_of(Handle(), userName.c_str()));
    }
    const std::string& GetMailStop() const {
        return Keep(R().mailStop, zng_worker_get_mail_stop(Handle()));
    }
    const std::string& GetMailStop(const std::string& userName) const {
        return Keep(R().mailStop, zng_worker_get_mail_stop_of(Handle(), userName.c_str()));
    }
    const std::string& GetOfficeLocation() const {
        return Keep(R().officeLocation, zng_worker_get_office_location(Handle()));
    }
    const std::string& GetOfficeLocation(const std::string& userName) const {
        return Keep(R().officeLocation,
                    zng_worker_get_office_location_of(Handle(), userName.c_str()));
    }
    const std::string& GetPagerNumber() const {
        return Keep(R().pagerNumber, zng_worker_get_pager_number(Handle()));
    }
    const std::string& GetPagerNumber(const std::string& userName) const {
        return Keep(R().pagerNumber, zng_worker_get_pager_number_of(Handle(), userName.c_str()));
    }
    const std::string& GetPhoneNumber() const {
        return Keep(R().phoneNumber, zng_worker_get_phone_number(Handle()));
    }
    const std::string& GetPhoneNumber(const std::string& userName) const {
        return Keep(R().phoneNumber, zng_worker_get_phone_number_of(Handle(), userName.c_str()));
    }
    const std::string& GetShiftCode() const {
        return Keep(R().shiftCode, zng_worker_get_shift_code(Handle()));
    }
    const std::string& GetShiftCode(const std::string& userName) const {
        return Keep(R().shiftCode, zng_worker_get_shift_code_of(Handle(), userName.c_str()));
    }
    const std::string& GetShipToCity() const {
        return Keep(R().shipToCity, zng_worker_get_ship_to_city(Handle()));
    }
    const std::string& GetShipToCity(const std::string& userName) const {
        return Keep(R().shipToCity, zng_worker_get_ship_to_city_of(Handle(), userName.c_str()));
    }
    const std::string& GetShipToCountry() const {
        return Keep(R().shipToCountry, zng_worker_get_ship_to_country(Handle()));
    }
    const std::string& GetShipToCountry(const std::string& userName) const {
        return Keep(R().shipToCountry,
                    zng_worker_get_ship_to_country_of(Handle(), userName.c_str()));
    }
    const std::string& GetShipToState() const {
        return Keep(R().shipToState, zng_worker_get_ship_to_state(Handle()));
    }
    const std::string& GetShipToState(const std::string& userName) const {
        return Keep(R().shipToState, zng_worker_get_ship_to_state_of(Handle(), userName.c_str()));
    }
    const std::string& GetShipToStreet() const {
        return Keep(R().shipToStreet, zng_worker_get_ship_to_street(Handle()));
    }
    const std::string& GetShipToStreet(const std::string& userName) const {
        return Keep(R().shipToStreet, zng_worker_get_ship_to_street_of(Handle(), userName.c_str()));
    }
    const std::string& GetShipToZipCode() const {
        return Keep(R().shipToZipCode, zng_worker_get_ship_to_zip_code(Handle()));
    }
    const std::string& GetShipToZipCode(const std::string& userName) const {
        return Keep(R().shipToZipCode,
                    zng_worker_get_ship_to_zip_code_of(Handle(), userName.c_str()));
    }
    const std::string& GetState() const { return Keep(R().state, zng_worker_get_state(Handle())); }
    const std::string& GetState(const std::string& userName) const {
        return Keep(R().state, zng_worker_get_state_of(Handle(), userName.c_str()));
    }
    const std::string& GetStreet() const {
        return Keep(R().street, zng_worker_get_street(Handle()));
    }
    const std::string& GetStreet(const std::string& userName) const {
        return Keep(R().street, zng_worker_get_street_of(Handle(), userName.c_str()));
    }
    const std::string& GetSupervisorUserName() const {
        return Keep(R().supervisorUserName, zng_worker_get_supervisor_user_name(Handle()));
    }
    const std::string& GetSupervisorUserName(const std::string& userName) const {
        return Keep(R().supervisorUserName,
                    zng_worker_get_supervisor_user_name_of(Handle(), userName.c_str()));
    }
    const std::string& GetSurName() const {
        return Keep(R().surName, zng_worker_get_surname(Handle()));
    }
    const std::string& GetSurName(const std::string& userName) const {
        return Keep(R().surName, zng_worker_get_surname_of(Handle(), userName.c_str()));
    }
    const std::string& GetZipCode() const {
        return Keep(R().zipCode, zng_worker_get_zip_code(Handle()));
    }
    const std::string& GetZipCode(const std::string& userName) const {
        return Keep(R().zipCode, zng_worker_get_zip_code_of(Handle(), userName.c_str()));
    }

    // Identity: the user name of a worker named by number, and the reverse.
    const std::string& GetUserNameA() const {
        return Keep(m_userName, zng_worker_get_user_name(Handle()));
    }
    const std::string& GetUserNameA(long workerNumber) const {
        return Keep(m_userName, zng_worker_get_user_name_numbered(Handle(), workerNumber));
    }
    long GetWorkerNumber() const { return zng_worker_get_worker_number(Handle()); }
    long GetWorkerNumber(const std::string& userName) const {
        return zng_worker_get_worker_number_of(Handle(), userName.c_str());
    }

    // 1 when the directory knows the worker (always searches), else 0.
    long IsValidWorker() const { return zng_worker_is_valid_worker(Handle()); }
    long IsValidWorker(long workerNumber) const {
        return zng_worker_is_valid_worker_numbered(Handle(), workerNumber);
    }
    long IsValidWorker(const std::string& userName) const {
        return zng_worker_is_valid_worker_of(Handle(), userName.c_str());
    }
    const std::string& GetWorkerDN() const {
        return Keep(R().workerDN, zng_worker_get_worker_d_n(Handle()));
    }
    const std::string& GetWorkerDN(const std::string& userName) const {
        return Keep(R().workerDN, zng_worker_get_worker_d_n_of(Handle(), userName.c_str()));
    }
    void SetUserName(const std::string& userName) {
        zng_worker_set_user_name(Handle(), userName.c_str());
    }

    // The user name this worker carries, as given, without a directory search.
    const std::string& GetName() const {
        // A list element carries its name until it is first asked something else.
        return m_handle == nullptr ? m_userName : Keep(m_userName, zng_worker_get_name(m_handle));
    }

    // Workers by user name, given name or surname, sorted by user name; the search string is
    // a pattern ('*' is a wildcard). The workers found carry only their user name.
    const std::list<CZNWorker>& FindWorkers(const std::string& searchString) const {
        return Keep(R().workers, zng_worker_find_workers(Handle(), searchString.c_str()));
    }
    const std::list<CZNWorker>& FindWorkersByFirstName(const std::string& searchString) const {
        return Keep(R().workers,
                    zng_worker_find_workers_by_first_name(Handle(), searchString.c_str()));
    }
    const std::list<CZNWorker>& FindWorkersByLastName(const std::string& searchString) const {
        return Keep(R().workers,
                    zng_worker_find_workers_by_last_name(Handle(), searchString.c_str()));
    }

    // The groups the worker is a contact, direct member, eventual member or owner of, sorted.
    const std::list<CZNGroup>& GetContactGroups() const;
    const std::list<CZNGroup>& GetContactGroups(const std::string& userName) const;
    const std::list<CZNGroup>& GetDirectGroups() const;
    const std::list<CZNGroup>& GetDirectGroups(const std::string& userName) const;
    const std::list<CZNGroup>& GetEventualGroups() const;
    const std::list<CZNGroup>& GetEventualGroups(const std::string& userName) const;
    const std::list<CZNGroup>& GetOwnerGroups() const;
    const std::list<CZNGroup>& GetOwnerGroups(const std::string& userName) const;

    // 1 when the relation holds, else 0 with the reason in the error status.
    long IsValidContactGroup(const std::string& groupName) const {
        return zng_worker_is_valid_contact_group(Handle(), groupName.c_str());
    }
    long IsValidContactGroup(const std::string& userName, const std::string& groupName) const {
        return zng_worker_is_valid_contact_group_of(Handle(), userName.c_str(), groupName.c_str());
    }
    long IsValidDirectGroup(const std::string& groupName) const {
        return zng_worker_is_valid_direct_group(Handle(), groupName.c_str());
    }
    long IsValidDirectGroup(const std::string& userName, const std::string& groupName) const {
        return zng_worker_is_valid_direct_group_of(Handle(), userName.c_str(), groupName.c_str());
    }
    long IsValidEventualGroup(const std::string& groupName) const {
        return zng_worker_is_valid_eventual_group(Handle(), groupName.c_str());
    }
    long IsValidEventualGroup(const std::string& userName, const std::string& groupName) const {
        return zng_worker_is_valid_eventual_group_of(Handle(), userName.c_str(), groupName.c_str());
    }
    long IsValidOwnerGroup(const std::string& groupName) const {
        return zng_worker_is_valid_owner_group(Handle(), groupName.c_str());
    }
    long IsValidOwnerGroup(const std::string& userName, const std::string& groupName) const {
        return zng_worker_is_valid_owner_group_of(Handle(), userName.c_str(), groupName.c_str());
    }

    // The domains the directory lists, and the session's domain (empty for the local
    // servers); SetDomain accepts only a listed domain or the empty one.
    const std::list<std::string>& GetDomains() const {
        return Keep(R().domains, zng_worker_get_domains(Handle()));
    }
    long IsValidDomain(const char* domain) const {
        return zng_worker_is_valid_domain(Handle(), domain);
    }
    long IsValidDomain(const std::string& domain) const { return IsValidDomain(domain.c_str()); }
    long SetDomain(const char* domain) { return zng_worker_set_domain(Handle(), domain); }
    long SetDomain(const std::string& domain) { return SetDomain(domain.c_str()); }
    const std::string& GetDomain() const {
        return Keep(R().domain, zng_worker_get_domain(Handle()));
    }

    // Authentication settings.
    // Who the user is. Authenticate binds as the user's entry with the password (and once
    // more with it in lower case): 1 with "Success", or 0 with the reason. Login signs on
    // the process's account when the directory allows it without a password, and asks for
    // user name and password in the login dialog otherwise: 1 authenticated, 5 cancelled or
    // not retried, 0 another end, any other value the platform's error when no dialog could
    // be shown. The user name given only pre-fills the dialog.
    long Authenticate(const std::string& userName, const std::string& password) const {
        return zng_worker_authenticate(Handle(), userName.c_str(), password.c_str());
    }
    long Login() const { return zng_worker_login(Handle()); }
    long Login(const std::string& userName) const {
        return zng_worker_login_of(Handle(), userName.c_str());
    }
    long Login(const std::string& title, const std::string& userName) const {
        return zng_worker_login_titled(Handle(), title.c_str(), userName.c_str());
    }

    // 0: Authenticate refuses the direct members of ZNGENERICS (default 1: no such test).
    void SetAllowGenericAuthentication(long allow) {
        zng_worker_set_allow_generic_authentication(Handle(), allow);
    }
    void SetLoginDialogTitle(const std::string& title) {
        zng_worker_set_login_dialog_title(Handle(), title.c_str());
    }
    const std::string& GetLoginDialogTitle() const {
        return Keep(R().loginDialogTitle, zng_worker_get_login_dialog_title(Handle()));
    }

    // Error status of the last operation: code 1 for success.
    long GetErrorStatusCode() const { return zng_worker_get_error_status_code(Handle()); }
    const std::string& GetErrorStatusText() const {
        return Keep(R().errorStatusText, zng_worker_get_error_status_text(Handle()));
    }

    // Time-outs: each bind wait is bounded by the connect time-out (default 5 s), each search
    // try by the search time-out (default 120 s). SetTimeOut sets the search seconds.
    long GetConnectTimeOutSeconds() const {
        return zng_worker_get_connect_timeout_seconds(Handle());
    }
    long GetConnectTimeOutMicroSeconds() const {
        return zng_worker_get_connect_timeout_microseconds(Handle());
    }
    long GetSearchTimeOutSeconds() const { return zng_worker_get_search_timeout_seconds(Handle()); }
    long GetSearchTimeOutMicroSeconds() const {
        return zng_worker_get_search_timeout_microseconds(Handle());
    }
    long GetTimeOut() const { return zng_worker_get_timeout(Handle()); }
    void SetConnectTimeOut(long seconds, long microSeconds) {
        zng_worker_set_connect_timeout(Handle(), seconds, microSeconds);
    }
    void SetSearchTimeOut(long seconds, long microSeconds) {
        zng_worker_set_search_timeout(Handle(), seconds, microSeconds);
    }
    void SetTimeOut(long seconds) { zng_worker_set_timeout(Handle(), seconds); }

  private:
    friend class CZNGroup;
    struct Element {};

    // An element of a result list: its name only, until it is first asked something else.
    CZNWorker(Element, const char* userName) : m_handle(nullptr), m_userName(userName) {}

    static zng_worker* Made(zng_worker* handle) {
        if (handle == nullptr) throw std::bad_alloc();
        return handle;
    }
    zng_worker* Handle() const {
        if (m_handle == nullptr) m_handle = Made(zng_worker_new_named(m_userName.c_str()));
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
            kept.push_back(CZNWorker(Element{}, zng_worker_list_name(list, i)));
        }
        return kept;
    }
    static const std::list<CZNGroup>& Keep(std::list<CZNGroup>& kept, const zng_group_list* list);

    mutable zng_worker* m_handle;
    mutable std::string m_userName;
    // The results, one member for each member of the library's object that they show, made
    // when first needed: an element of a result list carries only its name.
    struct Results {
        std::list<CZNGroup> groups;
        std::list<CZNWorker> workers;
        std::string city;
        std::string companyName;
        std::string companyNumber;
        std::string costCenter;
        std::string costCenterDescription;
        std::string country;
        std::string displayName;
        std::string domain;
        std::list<std::string> domains;
        std::string emailAddress;
        std::string employeeType;
        std::string errorStatusText;
        std::string faxNumber;
        std::string fullName;
        std::string givenName;
        std::string jobTitle;
        std::string loginDialogTitle;
        std::string mailStop;
        std::string officeLocation;
        std::string pagerNumber;
        std::string phoneNumber;
        std::string shiftCode;
        std::string shipToCity;
        std::string shipToCountry;
        std::string shipToState;
        std::string shipToStreet;
        std::string shipToZipCode;
        std::string state;
        std::string street;
        std::string supervisorUserName;
        std::string surName;
        std::string workerDN;
        std::string zipCode;
    };
    mutable std::unique_ptr<Results> m_results;
    Results& R() const {
        if (!m_results) m_results.reset(new Results());
        return *m_results;
    }
};

}  // namespace zngroups_portable

// Group lists hold complete groups, so either header brings both classes.
#include "CZNGroup.h"
