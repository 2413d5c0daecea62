// CZNDirectoryBase construction, time-outs, domain and the byte-wise case helpers.
#include "session/directory_base.h"

#include <cctype>
#include <cstring>

#include "platform/system.h"
#include "zngroups_config.h"

namespace zn {

const char* OrganizationBaseDN() {
    return ZNGROUPS_ORGANIZATION_BASE_DN;
}

CZNDirectoryBase::CZNDirectoryBase(const char* domain) {
    SetDomainAndPort(domain, kDefaultAdministrationPort);
}

CZNDirectoryBase::~CZNDirectoryBase() {
    ForgetPassword();
}

void CZNDirectoryBase::SetConnectTimeOut(long seconds, long microSeconds) {
    m_connectTimeOutSeconds = seconds;
    m_connectTimeOutMicroSeconds = microSeconds;
}

void CZNDirectoryBase::SetSearchTimeOut(long seconds, long microSeconds) {
    m_searchTimeOutSeconds = seconds;
    m_searchTimeOutMicroSeconds = microSeconds;
}

void CZNDirectoryBase::ConfigureHelper(CZNDirectoryBase& helper) {
    helper.CopySessionSettings(*this);
    helper.m_reportsFor = m_reportsFor != nullptr ? m_reportsFor : this;
}

void CZNDirectoryBase::CopySessionSettings(const CZNDirectoryBase& from) {
    SetDomainAndPort(from.m_domain.c_str(), from.m_administrationPort);
    SetConnectTimeOut(from.m_connectTimeOutSeconds, from.m_connectTimeOutMicroSeconds);
    SetSearchTimeOut(from.m_searchTimeOutSeconds, from.m_searchTimeOutMicroSeconds);
}

bool CZNDirectoryBase::SameSessionAs(const CZNDirectoryBase& other) const {
    return GetDomain() == other.GetDomain() &&
           GetAdministrationPort() == other.GetAdministrationPort() &&
           GetConnectTimeOutSeconds() == other.GetConnectTimeOutSeconds() &&
           GetConnectTimeOutMicroSeconds() == other.GetConnectTimeOutMicroSeconds() &&
           GetSearchTimeOutSeconds() == other.GetSearchTimeOutSeconds() &&
           GetSearchTimeOutMicroSeconds() == other.GetSearchTimeOutMicroSeconds();
}

long CZNDirectoryBase::SetDomainAndPort(const char* domainArgument, long port) {
    // The argument may be this object's own domain.
    const std::string copy = domainArgument != nullptr ? domainArgument : "";
    const char* domain = domainArgument != nullptr ? copy.c_str() : nullptr;
    m_domain.clear();
    if (domain != nullptr) {
        // "LOCAL" in any letter case names the local servers, which the empty domain selects.
        bool isLocal = std::strlen(domain) == 5;
        for (std::size_t i = 0; isLocal && i < 5; ++i) {
            isLocal = std::toupper(static_cast<unsigned char>(domain[i])) == "LOCAL"[i];
        }
        if (!isLocal) {
            m_domain = domain;
        }
        m_administrationPort = port;
    }
    return 1;
}

void CZNDirectoryBase::UpperCase(char* text) {
    for (; *text != '\0'; ++text) {
        *text = static_cast<char>(std::toupper(static_cast<unsigned char>(*text)));
    }
}

void CZNDirectoryBase::LowerCase(char* text) {
    for (; *text != '\0'; ++text) {
        *text = static_cast<char>(std::tolower(static_cast<unsigned char>(*text)));
    }
}

void CZNDirectoryBase::ForgetPassword() {
    if (!m_password.empty()) {
        platform::SecureZero(&m_password[0], m_password.size());
    }
    m_password.clear();
}

}  // namespace zn
