// CZNWorker: one worker (a person) of the company directory, named by user name or number.
//
// Every method is const and reports failure through its return value and the error status
// (GetErrorStatusCode / GetErrorStatusText), never by throwing. Getters return references to
// members of the object: they stay valid while the object lives and keep their contents until
// the next call on the same object that rewrites them; copy a result to keep it longer.
//
// A worker is either named by a user name (the constructor from a string, SetUserName or any
// overload taking a user name) or by a worker number (the constructor from a number,
// GetUserNameA(number), IsValidWorker(number)). The first attribute getter reads every
// attribute of the worker in one directory search; the others answer from memory until the
// worker's identity changes. Constructors throw std::bad_alloc only when memory runs out.
//
// The reference GetName gives stays valid and unchanged until the user name is set again.
// Every method copies its arguments on entry, so the worker's own name, or any name taken
// from one of its lists, may be passed to any of its methods; checks rewrite no list. A
// worker taken from a result list costs little more than its name until it is used for a
// directory question, whatever it is asked of its status, time-outs or domain.
//
// Threads: one object is used by one thread at a time, its const methods included. Different
// objects may be used by different threads at once, the elements of one result list among
// them, while no call rewrites that list.
#pragma once

#include <list>
#include <string>
#include <vector>

#include "zngroups_export.h"

class CZNGroup;
class CZNWorkerImpl;
struct CZNWorkerBody;

class ZNGROUPS_API CZNWorker {
  public:
    CZNWorker();
    CZNWorker(const std::string& userName);
    CZNWorker(long workerNumber);
    // A copy has this worker's identity and attributes but a fresh directory session
    // (no domain, default time-outs, fresh error status).
    CZNWorker(const CZNWorker& other);
    CZNWorker& operator=(const CZNWorker& other);
    ~CZNWorker();

    // Loads every worker of `workers` as its first attribute getter would, without a search
    // per person: workers named by a plain user name share searches of a few hundred names,
    // any other loads by itself. Afterwards each worker's getters answer from memory, and its
    // error status is what its own load would have left (an unknown name: 30005). Returns
    // the number of workers found.
    static long LoadWorkers(const std::list<CZNWorker>& workers);
    // The same for the attributes the given getters answer only, with the user name, worker
    // number and DN, which every load reads: the directory sends less. Any other attribute
    // getter of a worker loaded so loads it whole on first use, as an unloaded worker would.
    //     CZNWorker::LoadWorkers(members, {&CZNWorker::GetFullName, &CZNWorker::GetEmailAddress});
    using AttributeGetter = const std::string& (CZNWorker::*)() const;
    static long LoadWorkers(const std::list<CZNWorker>& workers,
                            const std::vector<AttributeGetter>& getters);

    // Attributes, read from the directory on first use.
    const std::string& GetCity() const;
    const std::string& GetCity(const std::string& userName) const;
    const std::string& GetCompanyName() const;
    const std::string& GetCompanyName(const std::string& userName) const;
    const std::string& GetCompanyNumber() const;
    const std::string& GetCompanyNumber(const std::string& userName) const;
    const std::string& GetCostCenter() const;
    const std::string& GetCostCenter(const std::string& userName) const;
    const std::string& GetCostCenterDescription() const;
    const std::string& GetCostCenterDescription(const std::string& userName) const;
    const std::string& GetCountry() const;
    const std::string& GetCountry(const std::string& userName) const;
    // The cost center, under its other name.
    const std::string& GetDepartment() const;
    const std::string& GetDepartment(const std::string& userName) const;
    const std::string& GetDisplayName() const;
    const std::string& GetDisplayName(const std::string& userName) const;
    const std::string& GetEmailAddress() const;
    const std::string& GetEmailAddress(const std::string& userName) const;
    const std::string& GetEmployeeType() const;
    const std::string& GetEmployeeType(const std::string& userName) const;
    const std::string& GetFaxNumber() const;
    const std::string& GetFaxNumber(const std::string& userName) const;
    const std::string& GetFullName() const;
    const std::string& GetFullName(const std::string& userName) const;
    const std::string& GetGivenName() const;
    const std::string& GetGivenName(const std::string& userName) const;
    const std::string& GetJobTitle() const;
    const std::string& GetJobTitle(const std::string& userName) const;
    const std::string& GetMailStop() const;
    const std::string& GetMailStop(const std::string& userName) const;
    const std::string& GetOfficeLocation() const;
    const std::string& GetOfficeLocation(const std::string& userName) const;
    const std::string& GetPagerNumber() const;
    const std::string& GetPagerNumber(const std::string& userName) const;
    const std::string& GetPhoneNumber() const;
    const std::string& GetPhoneNumber(const std::string& userName) const;
    const std::string& GetShiftCode() const;
    const std::string& GetShiftCode(const std::string& userName) const;
    const std::string& GetShipToCity() const;
    const std::string& GetShipToCity(const std::string& userName) const;
    const std::string& GetShipToCountry() const;
    const std::string& GetShipToCountry(const std::string& userName) const;
    const std::string& GetShipToState() const;
    const std::string& GetShipToState(const std::string& userName) const;
    const std::string& GetShipToStreet() const;
    const std::string& GetShipToStreet(const std::string& userName) const;
    const std::string& GetShipToZipCode() const;
    const std::string& GetShipToZipCode(const std::string& userName) const;
    const std::string& GetState() const;
    const std::string& GetState(const std::string& userName) const;
    const std::string& GetStreet() const;
    const std::string& GetStreet(const std::string& userName) const;
    const std::string& GetSupervisorUserName() const;
    const std::string& GetSupervisorUserName(const std::string& userName) const;
    const std::string& GetSurName() const;
    const std::string& GetSurName(const std::string& userName) const;
    const std::string& GetZipCode() const;
    const std::string& GetZipCode(const std::string& userName) const;

    // Identity: the user name of a worker named by number, and the reverse.
    const std::string& GetUserNameA() const;
    const std::string& GetUserNameA(long workerNumber) const;
    long GetWorkerNumber() const;
    long GetWorkerNumber(const std::string& userName) const;
    // 1 when the directory knows the worker (always searches), else 0.
    long IsValidWorker() const;
    long IsValidWorker(long workerNumber) const;
    long IsValidWorker(const std::string& userName) const;
    const std::string& GetWorkerDN() const;
    const std::string& GetWorkerDN(const std::string& userName) const;
    void SetUserName(const std::string& userName) const;
    // The user name this worker carries, as it stands, without a directory search: as given
    // to the constructor or SetUserName, or as the member value of the group or the search
    // that listed the worker, and in the directory's spelling once the worker has been
    // loaded; empty for a worker named only by number until its user name has been read.
    // GetUserNameA() loads the worker first, as attribute getters do, and then gives the same
    // name for everyone the directory knows. For a member whose DN names no person (a
    // dangling value), both give the name taken from the DN; GetUserNameA() also leaves the
    // reason (30013, no such worker) in the error status. Listing names this way costs no
    // search per name: it is how the zngroups tool prints a group of 100,000 members.
    const std::string& GetName() const;

    // Workers by user name, given name or surname, sorted by user name; the search string is
    // a pattern ('*' is a wildcard). The workers found carry only their user name.
    const std::list<CZNWorker>& FindWorkers(const std::string& searchString) const;
    const std::list<CZNWorker>& FindWorkersByFirstName(const std::string& searchString) const;
    const std::list<CZNWorker>& FindWorkersByLastName(const std::string& searchString) const;

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
    long IsValidContactGroup(const std::string& groupName) const;
    long IsValidContactGroup(const std::string& userName, const std::string& groupName) const;
    long IsValidDirectGroup(const std::string& groupName) const;
    long IsValidDirectGroup(const std::string& userName, const std::string& groupName) const;
    long IsValidEventualGroup(const std::string& groupName) const;
    long IsValidEventualGroup(const std::string& userName, const std::string& groupName) const;
    long IsValidOwnerGroup(const std::string& groupName) const;
    long IsValidOwnerGroup(const std::string& userName, const std::string& groupName) const;

    // The domains the directory lists, and the session's domain (empty for the local
    // servers); SetDomain accepts only a listed domain or the empty one.
    const std::list<std::string>& GetDomains() const;
    long IsValidDomain(const char* domain) const;
    long SetDomain(const char* domain) const;
    const std::string& GetDomain() const;

    // Authentication settings.
    // Who the user is. Authenticate binds as the user's entry with the password (and once
    // more with it in lower case): 1 with "Success", or 0 with the reason. Login signs on
    // the process's account when the directory allows it without a password, and asks for
    // user name and password in the login dialog otherwise: 1 authenticated, 5 cancelled or
    // not retried, 0 another end, any other value the platform's error when no dialog could
    // be shown. The user name given only pre-fills the dialog.
    long Authenticate(const std::string& userName, const std::string& password) const;
    long Login() const;
    long Login(const std::string& userName) const;
    long Login(const std::string& title, const std::string& userName) const;
    // 0: Authenticate refuses the direct members of ZNGENERICS (default 1: no such test).
    void SetAllowGenericAuthentication(long allow) const;
    void SetLoginDialogTitle(const std::string& title) const;
    const std::string& GetLoginDialogTitle() const;

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
    // The implementation object, made on first use: a worker taken from a result list, or
    // made from a user name, costs only its name until it is used.
    CZNWorkerImpl& Impl() const;
    // LoadWorkers of the named directory attributes, or of all when null.
    static long Load(const std::list<CZNWorker>& workers,
                     const std::vector<const char*>* attributes);
    mutable CZNWorkerBody* m_body;
};

// Group lists hold complete groups, so either public header brings both classes.
#include "CZNGroup.h"
