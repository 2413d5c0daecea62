// CZNGroupImpl: construction, copying, the context setters and the checks every query shares.
#include "groups/group_impl.h"

#include "platform/system.h"
#include "session/format.h"
#include "session/status_codes.h"

namespace {

namespace status = zn::status;

constexpr std::size_t kMaxGroupNameLength = 80;
constexpr std::size_t kMaxUserNameLength = 50;
constexpr std::size_t kMaxPasswordLength = 126;

constexpr const char* kNoGroupNameText = "No group name specified.";
constexpr const char* kInvalidGroupNameText = "Specified group name is not valid.";
constexpr const char* kNotImplementedText = "This method/member function has not been implemented.";
constexpr const char* kGroupFilterFormat = "(&(objectclass=groupOfUniqueNames)(cn=%s))";

// The first `limit` bytes, upper-cased as the directory stores group and user names.
std::string UpperCasedPrefix(const std::string& text, std::size_t limit) {
    std::string result = text.substr(0, limit);
    zn::CZNDirectoryBase::UpperCase(&result[0]);
    return result;
}

}  // namespace

// The session is never copied: the copy starts with no domain, default time-outs, a fresh
// error status and an empty reported-names set, and it rereads the domains on demand.
CZNGroupImpl::CZNGroupImpl(const CZNGroupImpl& other)
    : zn::CZNDirectoryBase(),
      m_values(other.m_values),
      m_names(other.m_names),
      m_groups(other.m_groups),
      m_workers(other.m_workers),
      m_companyNumber(other.m_companyNumber),
      m_description(other.m_description),
      m_genericAttributeValue(other.m_genericAttributeValue),
      m_groupDN(other.m_groupDN),
      m_groupName(other.m_groupName),
      m_organizationalUnit(other.m_organizationalUnit),
      m_displayName(other.m_displayName),
      m_password(other.m_password),
      m_userName(other.m_userName),
      m_userDN(other.m_userDN),
      m_activeCompanies(other.m_activeCompanies),
      m_changeLogs(other.m_changeLogs),
      m_eventualSuperGroups(other.m_eventualSuperGroups),
      m_loadedGroup(other.m_loadedGroup) {}

CZNGroupImpl::~CZNGroupImpl() {
    if (!m_password.empty()) {
        zn::platform::SecureZero(&m_password[0], m_password.size());
    }
}

std::string CZNGroupImpl::KeptGroupName(const std::string& groupName) {
    return UpperCasedPrefix(groupName, kMaxGroupNameLength);
}

void CZNGroupImpl::SetGroupName(const std::string& groupName) {
    m_groupName = KeptGroupName(groupName);
}

void CZNGroupImpl::SetUser(const std::string& userName) {
    m_userName = UpperCasedPrefix(userName, kMaxUserNameLength);
    SetCredentialsVerified(0);
}

void CZNGroupImpl::SetPassword(const std::string& password) {
    if (!m_password.empty()) {
        zn::platform::SecureZero(&m_password[0], m_password.size());
    }
    m_password = password.substr(0, kMaxPasswordLength);
}

long CZNGroupImpl::NotImplemented() {
    SetErrorStatus(status::kNotImplemented, kNotImplementedText);
    return 0;
}

const std::list<CZNGroup>& CZNGroupImpl::FindGroupsByKeyWord() {
    NotImplemented();
    m_groups.clear();
    return m_groups;
}

const std::list<std::string>& CZNGroupImpl::GetAvailableKeyWords() {
    NotImplemented();
    m_values.clear();
    return m_values;
}

const std::string& CZNGroupImpl::GetOutlookDisplayName() {
    NotImplemented();
    return m_displayName;
}

bool CZNGroupImpl::CheckGroupName(const std::string& name) {
    if (name.empty()) {
        SetErrorStatus(status::kMissingGroupName, kNoGroupNameText);
        return false;
    }
    if (name.size() > kMaxGroupNameLength) {
        SetErrorStatus(status::kInvalidGroupName, kInvalidGroupNameText);
        return false;
    }
    return true;
}

void CZNGroupImpl::Report(const char* label) {
    SendUsageReport("ZNGroup", label, m_groupName.c_str());
}

bool CZNGroupImpl::GroupFilter(std::string& filter, const std::string& name) {
    return BuildFilter(filter, kGroupFilterFormat, zn::EscapeFilterValue(name).c_str());
}
