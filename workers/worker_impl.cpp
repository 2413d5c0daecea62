// CZNWorkerImpl: construction, copying and the identity setters.
#include "workers/worker_impl.h"

namespace {

constexpr const char* kEmptyTitleReplacement = "ZN Groups Authentication.";

}  // namespace

// The session is never copied: the copy starts with no domain, default time-outs and a fresh
// error status, and the domains list is rebuilt on demand.
CZNWorkerImpl::CZNWorkerImpl(const CZNWorkerImpl& other)
    : zn::CZNDirectoryBase(),
      m_values(other.m_values),
      m_groups(other.m_groups),
      m_workers(other.m_workers),
      m_allowGeneric(other.m_allowGeneric),
      m_dnResolved(other.m_dnResolved),
      m_loaded(other.m_loaded),
      m_workerNumber(other.m_workerNumber),
      m_city(other.m_city),
      m_companyName(other.m_companyName),
      m_companyNumber(other.m_companyNumber),
      m_costCenter(other.m_costCenter),
      m_costCenterDescription(other.m_costCenterDescription),
      m_country(other.m_country),
      m_displayName(other.m_displayName),
      m_emailAddress(other.m_emailAddress),
      m_employeeType(other.m_employeeType),
      m_faxNumber(other.m_faxNumber),
      m_fullName(other.m_fullName),
      m_givenName(other.m_givenName),
      m_jobTitle(other.m_jobTitle),
      m_loginDialogTitle(other.m_loginDialogTitle),
      m_mailStop(other.m_mailStop),
      m_officeLocation(other.m_officeLocation),
      m_pagerNumber(other.m_pagerNumber),
      m_phoneNumber(other.m_phoneNumber),
      m_shiftCode(other.m_shiftCode),
      m_shipToCity(other.m_shipToCity),
      m_shipToCountry(other.m_shipToCountry),
      m_shipToState(other.m_shipToState),
      m_shipToStreet(other.m_shipToStreet),
      m_shipToZipCode(other.m_shipToZipCode),
      m_state(other.m_state),
      m_street(other.m_street),
      m_supervisorUserName(other.m_supervisorUserName),
      m_surName(other.m_surName),
      m_userName(other.m_userName),
      m_workerDN(other.m_workerDN),
      m_zipCode(other.m_zipCode) {}

CZNWorkerImpl::~CZNWorkerImpl() = default;

void CZNWorkerImpl::SetUserName(const std::string& userName) {
    m_dnResolved = 0;
    m_loaded = 0;
    m_userName = userName;
}

void CZNWorkerImpl::SetWorkerNumber(long workerNumber) {
    m_loaded = 0;
    m_dnResolved = 0;
    m_userName.clear();
    m_workerNumber = workerNumber;
}

void CZNWorkerImpl::SetLoginDialogTitle(const std::string& title) {
    m_loginDialogTitle = title.empty() ? kEmptyTitleReplacement : title;
}
