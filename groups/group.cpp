// CZNGroup: the exported facade, applying each call's context before forwarding it.
#include "CZNGroup.h"

#include "groups/group_impl.h"
#include "session/facade_session.h"

CZNGroup::CZNGroup() : m_impl(new CZNGroupImpl()) {}

CZNGroup::CZNGroup(const char* groupName) : CZNGroup() {
    m_impl->SetGroupName(groupName != nullptr ? groupName : "");
}

CZNGroup::CZNGroup(const std::string& groupName) : CZNGroup() {
    m_impl->SetGroupName(groupName);
}

CZNGroup::CZNGroup(const CZNGroup& other) : m_impl(new CZNGroupImpl(*other.m_impl)) {}

CZNGroup& CZNGroup::operator=(const CZNGroup& other) {
    if (this != &other) {
        // Copied first, so a failed allocation leaves this object as it was.
        CZNGroupImpl* copy = new CZNGroupImpl(*other.m_impl);
        delete m_impl;
        m_impl = copy;
    }
    return *this;
}

CZNGroup::~CZNGroup() {
    delete m_impl;
    m_impl = nullptr;
}

void CZNGroup::SetGroupName(const std::string& groupName) const {
    m_impl->SetGroupName(groupName);
}

void CZNGroup::SetAccess(const std::string& userName, const std::string& password) const {
    m_impl->SetUser(userName);
    m_impl->SetPassword(password);
}

void CZNGroup::SetAccess(const std::string& userName, const std::string& password,
                         const std::string& groupName) const {
    m_impl->SetUser(userName);
    m_impl->SetPassword(password);
    m_impl->SetGroupName(groupName);
}

const std::string& CZNGroup::GetGroupName() const {
    return m_impl->GetGroupName();
}

// Queries on the object's group, without arguments: (), and (group).
#define ZN_GROUP_QUERY(Result, Query)                            \
    Result CZNGroup::Query() const {                             \
        return m_impl->Query();                                  \
    }                                                            \
    Result CZNGroup::Query(const std::string& groupName) const { \
        m_impl->SetGroupName(groupName);                         \
        return m_impl->Query();                                  \
    }

ZN_GROUP_QUERY(const std::string&, GetCompanyNumber)
ZN_GROUP_QUERY(const std::string&, GetDescription)
ZN_GROUP_QUERY(const std::string&, GetOrganizationalUnit)
ZN_GROUP_QUERY(long, GetMailAliasedFlag)
ZN_GROUP_QUERY(const std::list<CZNWorker>&, GetContacts)
ZN_GROUP_QUERY(const std::list<CZNWorker>&, GetDirectMembers)
ZN_GROUP_QUERY(const std::list<CZNWorker>&, GetEventualMembers)
ZN_GROUP_QUERY(const std::list<CZNWorker>&, GetOwners)
ZN_GROUP_QUERY(long, GetContactsCount)
ZN_GROUP_QUERY(long, GetDirectMembersCount)
ZN_GROUP_QUERY(long, GetEventualMembersCount)
ZN_GROUP_QUERY(long, GetOwnersCount)
ZN_GROUP_QUERY(const std::list<CZNGroup>&, GetSubGroups)
ZN_GROUP_QUERY(const std::list<CZNGroup>&, GetSuperGroups)
ZN_GROUP_QUERY(const std::list<CZNGroup>&, GetEventualSuperGroups)
ZN_GROUP_QUERY(long, GetSubGroupsCount)
ZN_GROUP_QUERY(long, GetSuperGroupsCount)
ZN_GROUP_QUERY(long, GetEventualSuperGroupsCount)
ZN_GROUP_QUERY(long, IsValidGroup)
ZN_GROUP_QUERY(long, IsPublicGroup)

ZN_GROUP_QUERY(const std::list<std::string>&, GetGroupChangeLogs)
#undef ZN_GROUP_QUERY

// Queries on the object's group with one argument: (x), and (group, x).
#define ZN_GROUP_QUESTION(Result, Query)                                                      \
    Result CZNGroup::Query(const std::string& argument) const {                               \
        return m_impl->Query(argument);                                                       \
    }                                                                                         \
    Result CZNGroup::Query(const std::string& groupName, const std::string& argument) const { \
        m_impl->SetGroupName(groupName);                                                      \
        return m_impl->Query(argument);                                                       \
    }

ZN_GROUP_QUESTION(const std::string&, GetGenericAttributeValue)
ZN_GROUP_QUESTION(long, IsValidGroupContact)
ZN_GROUP_QUESTION(long, IsValidGroupDirectMember)
ZN_GROUP_QUESTION(long, IsValidGroupEventualMember)
ZN_GROUP_QUESTION(long, IsValidGroupOwner)

#undef ZN_GROUP_QUESTION

// Relations to another group: the group name is applied after the candidate is found.
#define ZN_GROUP_RELATION(Query)                                                             \
    long CZNGroup::Query(const std::string& candidate) const {                               \
        return m_impl->Query(candidate, nullptr);                                            \
    }                                                                                        \
    long CZNGroup::Query(const std::string& groupName, const std::string& candidate) const { \
        return m_impl->Query(candidate, &groupName);                                         \
    }

ZN_GROUP_RELATION(IsValidGroupSubGroup)
ZN_GROUP_RELATION(IsValidGroupSuperGroup)
ZN_GROUP_RELATION(IsValidGroupEventualSuperGroup)

#undef ZN_GROUP_RELATION

// The display name is never stored; the group argument is not even applied.
const std::string& CZNGroup::GetOutlookDisplayName() const {
    return m_impl->GetOutlookDisplayName();
}

const std::string& CZNGroup::GetOutlookDisplayName(const std::string&) const {
    return m_impl->GetOutlookDisplayName();
}

const std::list<CZNGroup>& CZNGroup::GetTopGroups() const {
    return m_impl->GetTopGroups();
}

long CZNGroup::GetTopGroupsCount() const {
    return m_impl->GetTopGroupsCount();
}

const std::list<CZNGroup>& CZNGroup::FindGroups(const std::string& searchString) const {
    return m_impl->FindGroups(searchString);
}

const std::list<CZNGroup>& CZNGroup::FindGroupsByKeyWord(const std::string&) const {
    return m_impl->FindGroupsByKeyWord();
}

const std::list<std::string>& CZNGroup::GetActiveCompanies() const {
    return m_impl->GetActiveCompanies();
}

const std::list<std::string>& CZNGroup::GetDomains() const {
    return m_impl->GetDomains();
}

const std::list<std::string>& CZNGroup::GetOrganizationalUnits() const {
    return m_impl->GetOrganizationalUnits();
}

const std::list<std::string>& CZNGroup::GetAvailableKeyWords() const {
    return m_impl->GetAvailableKeyWords();
}

long CZNGroup::IsValidNewGroupName(const std::string& name) const {
    return m_impl->IsValidNewGroupName(name);
}

long CZNGroup::IsValidDomain(const char* domain) const {
    return m_impl->IsValidDomain(domain);
}

long CZNGroup::SetDomain(const char* domain) const {
    return m_impl->SetDomain(domain);
}

const std::string& CZNGroup::GetDomain() const {
    return m_impl->GetDomain();
}

// Operations the directory offers nothing for; none applies its context.
long CZNGroup::IsActiveCompany(const std::string&) const {
    return m_impl->NotImplemented();
}
long CZNGroup::IsAvailableKeyWord(const std::string&) const {
    return m_impl->NotImplemented();
}
long CZNGroup::IsValidOrganizationalUnit(const std::string&) const {
    return m_impl->NotImplemented();
}
long CZNGroup::AddKeyWord(const std::string&) const {
    return m_impl->NotImplemented();
}
long CZNGroup::AddKeyWord(const std::string&, const std::string&) const {
    return m_impl->NotImplemented();
}
long CZNGroup::DeleteKeyWord(const std::string&) const {
    return m_impl->NotImplemented();
}
long CZNGroup::DeleteKeyWord(const std::string&, const std::string&) const {
    return m_impl->NotImplemented();
}
long CZNGroup::SetOrganizationalUnit(const std::string&) const {
    return m_impl->NotImplemented();
}
long CZNGroup::SetOrganizationalUnit(const std::string&, const std::string&) const {
    return m_impl->NotImplemented();
}
long CZNGroup::SetOrganizationalUnit(const std::string&, const std::string&,
                                     const std::string&) const {
    return m_impl->NotImplemented();
}
long CZNGroup::SetOrganizationalUnit(const std::string&, const std::string&, const std::string&,
                                     const std::string&) const {
    return m_impl->NotImplemented();
}
long CZNGroup::SetOutlookDisplayName(const std::string&) const {
    return m_impl->NotImplemented();
}
long CZNGroup::SetOutlookDisplayName(const std::string&, const std::string&) const {
    return m_impl->NotImplemented();
}
long CZNGroup::SetOutlookDisplayName(const std::string&, const std::string&,
                                     const std::string&) const {
    return m_impl->NotImplemented();
}
long CZNGroup::SetOutlookDisplayName(const std::string&, const std::string&, const std::string&,
                                     const std::string&) const {
    return m_impl->NotImplemented();
}

ZN_FORWARD_SESSION_METHODS(CZNGroup)

// Changes, in their shapes: the context arguments are applied in the order user name,
// password, group name, then the change runs.
#define ZN_GROUP_CHANGE_1(Op)                                                                 \
    long CZNGroup::Op(const std::string& a) const { return m_impl->Op(a); }                  \
    long CZNGroup::Op(const std::string& groupName, const std::string& a) const {            \
        m_impl->SetGroupName(groupName);                                                     \
        return m_impl->Op(a);                                                                \
    }                                                                                        \
    long CZNGroup::Op(const std::string& userName, const std::string& password,              \
                      const std::string& a) const {                                          \
        m_impl->SetUser(userName);                                                           \
        m_impl->SetPassword(password);                                                       \
        return m_impl->Op(a);                                                                \
    }                                                                                        \
    long CZNGroup::Op(const std::string& userName, const std::string& password,              \
                      const std::string& groupName, const std::string& a) const {            \
        m_impl->SetUser(userName);                                                           \
        m_impl->SetPassword(password);                                                       \
        m_impl->SetGroupName(groupName);                                                     \
        return m_impl->Op(a);                                                                \
    }

#define ZN_GROUP_CHANGE_2(Op)                                                                 \
    long CZNGroup::Op(const std::string& a, const std::string& b) const {                   \
        return m_impl->Op(a, b);                                                             \
    }                                                                                        \
    long CZNGroup::Op(const std::string& groupName, const std::string& a,                    \
                      const std::string& b) const {                                          \
        m_impl->SetGroupName(groupName);                                                     \
        return m_impl->Op(a, b);                                                             \
    }                                                                                        \
    long CZNGroup::Op(const std::string& userName, const std::string& password,              \
                      const std::string& a, const std::string& b) const {                    \
        m_impl->SetUser(userName);                                                           \
        m_impl->SetPassword(password);                                                       \
        return m_impl->Op(a, b);                                                             \
    }                                                                                        \
    long CZNGroup::Op(const std::string& userName, const std::string& password,              \
                      const std::string& groupName, const std::string& a,                    \
                      const std::string& b) const {                                          \
        m_impl->SetUser(userName);                                                           \
        m_impl->SetPassword(password);                                                       \
        m_impl->SetGroupName(groupName);                                                     \
        return m_impl->Op(a, b);                                                             \
    }

#define ZN_GROUP_CHANGE_0(Op)                                                                 \
    long CZNGroup::Op() const { return m_impl->Op(); }                                       \
    long CZNGroup::Op(const std::string& groupName) const {                                  \
        m_impl->SetGroupName(groupName);                                                     \
        return m_impl->Op();                                                                 \
    }                                                                                        \
    long CZNGroup::Op(const std::string& userName, const std::string& password,              \
                      const std::string& groupName) const {                                  \
        m_impl->SetUser(userName);                                                           \
        m_impl->SetPassword(password);                                                       \
        m_impl->SetGroupName(groupName);                                                     \
        return m_impl->Op();                                                                 \
    }

ZN_GROUP_CHANGE_1(AddContact)
ZN_GROUP_CHANGE_1(AddDirectMember)
ZN_GROUP_CHANGE_1(AddOwner)
ZN_GROUP_CHANGE_1(AddSubGroup)
ZN_GROUP_CHANGE_1(DeleteContact)
ZN_GROUP_CHANGE_1(DeleteDirectMember)
ZN_GROUP_CHANGE_1(DeleteOwner)
ZN_GROUP_CHANGE_1(RemoveSubGroup)
ZN_GROUP_CHANGE_1(DeleteSubGroup)
ZN_GROUP_CHANGE_1(SetNewGroupName)
ZN_GROUP_CHANGE_1(SetCompanyNumber)
ZN_GROUP_CHANGE_1(SetDescription)
ZN_GROUP_CHANGE_2(CreateSubGroup)
ZN_GROUP_CHANGE_2(SetGenericAttributeValue)
ZN_GROUP_CHANGE_0(SetExchangeSynchronization)
ZN_GROUP_CHANGE_0(ClearExchangeSynchronization)
ZN_GROUP_CHANGE_0(SetMailAliasedFlag)
ZN_GROUP_CHANGE_0(ClearMailAliasedFlag)
ZN_GROUP_CHANGE_0(ResetGroupChangeLogs)

long CZNGroup::GetErrorStatusCode(long changeNumber) const {
    return m_impl->GetChangeStatusCodeOf(changeNumber);
}

const std::string& CZNGroup::GetErrorStatusText(long changeNumber) const {
    return m_impl->GetChangeStatusTextOf(changeNumber);
}

const std::string& CZNGroup::GetChangeLogEntry(long entryNumber) const {
    return m_impl->GetChangeLogEntry(entryNumber);
}

#undef ZN_GROUP_CHANGE_0
#undef ZN_GROUP_CHANGE_1
#undef ZN_GROUP_CHANGE_2
