// CZNWorker: the exported facade, applying each call's context before forwarding it.
#include "CZNWorker.h"

#include "session/facade_session.h"
#include "workers/worker_impl.h"

CZNWorker::CZNWorker() : m_impl(new CZNWorkerImpl()) {}

CZNWorker::CZNWorker(const std::string& userName) : CZNWorker() {
    m_impl->SetUserName(userName);
}

CZNWorker::CZNWorker(long workerNumber) : CZNWorker() {
    m_impl->SetWorkerNumber(workerNumber);
}

CZNWorker::CZNWorker(const CZNWorker& other) : m_impl(new CZNWorkerImpl(*other.m_impl)) {}

CZNWorker& CZNWorker::operator=(const CZNWorker& other) {
    if (this != &other) {
        // Copied first, so a failed allocation leaves this object as it was.
        CZNWorkerImpl* copy = new CZNWorkerImpl(*other.m_impl);
        delete m_impl;
        m_impl = copy;
    }
    return *this;
}

CZNWorker::~CZNWorker() {
    delete m_impl;
    m_impl = nullptr;
}

#define ZN_WORKER_ATTRIBUTE(Getter)                                           \
    const std::string& CZNWorker::Getter() const {                            \
        return m_impl->Getter();                                              \
    }                                                                         \
    const std::string& CZNWorker::Getter(const std::string& userName) const { \
        m_impl->SetUserName(userName);                                        \
        return m_impl->Getter();                                              \
    }

ZN_WORKER_ATTRIBUTE(GetCity)
ZN_WORKER_ATTRIBUTE(GetCompanyName)
ZN_WORKER_ATTRIBUTE(GetCompanyNumber)
ZN_WORKER_ATTRIBUTE(GetCostCenter)
ZN_WORKER_ATTRIBUTE(GetCostCenterDescription)
ZN_WORKER_ATTRIBUTE(GetCountry)
ZN_WORKER_ATTRIBUTE(GetDepartment)
ZN_WORKER_ATTRIBUTE(GetDisplayName)
ZN_WORKER_ATTRIBUTE(GetEmailAddress)
ZN_WORKER_ATTRIBUTE(GetEmployeeType)
ZN_WORKER_ATTRIBUTE(GetFaxNumber)
ZN_WORKER_ATTRIBUTE(GetFullName)
ZN_WORKER_ATTRIBUTE(GetGivenName)
ZN_WORKER_ATTRIBUTE(GetJobTitle)
ZN_WORKER_ATTRIBUTE(GetMailStop)
ZN_WORKER_ATTRIBUTE(GetOfficeLocation)
ZN_WORKER_ATTRIBUTE(GetPagerNumber)
ZN_WORKER_ATTRIBUTE(GetPhoneNumber)
ZN_WORKER_ATTRIBUTE(GetShiftCode)
ZN_WORKER_ATTRIBUTE(GetShipToCity)
ZN_WORKER_ATTRIBUTE(GetShipToCountry)
ZN_WORKER_ATTRIBUTE(GetShipToState)
ZN_WORKER_ATTRIBUTE(GetShipToStreet)
ZN_WORKER_ATTRIBUTE(GetShipToZipCode)
ZN_WORKER_ATTRIBUTE(GetState)
ZN_WORKER_ATTRIBUTE(GetStreet)
ZN_WORKER_ATTRIBUTE(GetSupervisorUserName)
ZN_WORKER_ATTRIBUTE(GetSurName)
ZN_WORKER_ATTRIBUTE(GetZipCode)
ZN_WORKER_ATTRIBUTE(GetWorkerDN)

#undef ZN_WORKER_ATTRIBUTE

const std::string& CZNWorker::GetUserNameA() const {
    return m_impl->GetUserNameA();
}

const std::string& CZNWorker::GetUserNameA(long workerNumber) const {
    m_impl->SetWorkerNumber(workerNumber);
    return m_impl->GetUserNameA();
}

long CZNWorker::GetWorkerNumber() const {
    return m_impl->GetWorkerNumber();
}

long CZNWorker::GetWorkerNumber(const std::string& userName) const {
    m_impl->SetUserName(userName);
    return m_impl->GetWorkerNumber();
}

long CZNWorker::IsValidWorker() const {
    return m_impl->IsValidWorker();
}

long CZNWorker::IsValidWorker(long workerNumber) const {
    m_impl->SetWorkerNumber(workerNumber);
    return m_impl->IsValidWorker();
}

long CZNWorker::IsValidWorker(const std::string& userName) const {
    m_impl->SetUserName(userName);
    return m_impl->IsValidWorker();
}

void CZNWorker::SetUserName(const std::string& userName) const {
    m_impl->SetUserName(userName);
}

const std::string& CZNWorker::GetName() const {
    return m_impl->UserName();
}

const std::list<CZNWorker>& CZNWorker::FindWorkers(const std::string& searchString) const {
    return m_impl->FindWorkers(searchString);
}

const std::list<CZNWorker>& CZNWorker::FindWorkersByFirstName(
    const std::string& searchString) const {
    return m_impl->FindWorkersByFirstName(searchString);
}

const std::list<CZNWorker>& CZNWorker::FindWorkersByLastName(
    const std::string& searchString) const {
    return m_impl->FindWorkersByLastName(searchString);
}

#define ZN_WORKER_GROUPS(Query)                                                      \
    const std::list<CZNGroup>& CZNWorker::Query() const {                            \
        return m_impl->Query();                                                      \
    }                                                                                \
    const std::list<CZNGroup>& CZNWorker::Query(const std::string& userName) const { \
        m_impl->SetUserName(userName);                                               \
        return m_impl->Query();                                                      \
    }

ZN_WORKER_GROUPS(GetContactGroups)
ZN_WORKER_GROUPS(GetDirectGroups)
ZN_WORKER_GROUPS(GetEventualGroups)
ZN_WORKER_GROUPS(GetOwnerGroups)

#undef ZN_WORKER_GROUPS

#define ZN_WORKER_GROUP_TEST(Query)                                                          \
    long CZNWorker::Query(const std::string& groupName) const {                              \
        return m_impl->Query(groupName);                                                     \
    }                                                                                        \
    long CZNWorker::Query(const std::string& userName, const std::string& groupName) const { \
        m_impl->SetUserName(userName);                                                       \
        return m_impl->Query(groupName);                                                     \
    }

ZN_WORKER_GROUP_TEST(IsValidContactGroup)
ZN_WORKER_GROUP_TEST(IsValidDirectGroup)
ZN_WORKER_GROUP_TEST(IsValidEventualGroup)
ZN_WORKER_GROUP_TEST(IsValidOwnerGroup)

#undef ZN_WORKER_GROUP_TEST

const std::list<std::string>& CZNWorker::GetDomains() const {
    return m_impl->GetDomains();
}

long CZNWorker::IsValidDomain(const char* domain) const {
    return m_impl->IsValidDomain(domain);
}

long CZNWorker::SetDomain(const char* domain) const {
    return m_impl->SetDomain(domain);
}

const std::string& CZNWorker::GetDomain() const {
    return m_impl->GetDomain();
}

long CZNWorker::Authenticate(const std::string& userName, const std::string& password) const {
    return m_impl->Authenticate(userName, password);
}

long CZNWorker::Login() const { return m_impl->Login(); }

long CZNWorker::Login(const std::string& userName) const {
    m_impl->SetUserName(userName);
    return m_impl->Login();
}

long CZNWorker::Login(const std::string& title, const std::string& userName) const {
    m_impl->SetLoginDialogTitle(title);
    m_impl->SetUserName(userName);
    return m_impl->Login();
}

void CZNWorker::SetAllowGenericAuthentication(long allow) const {
    m_impl->SetAllowGenericAuthentication(allow);
}

void CZNWorker::SetLoginDialogTitle(const std::string& title) const {
    m_impl->SetLoginDialogTitle(title);
}

const std::string& CZNWorker::GetLoginDialogTitle() const {
    return m_impl->GetLoginDialogTitle();
}

ZN_FORWARD_SESSION_METHODS(CZNWorker)
