// CZNGroup: the exported facade, applying each call's context before forwarding it.
#include "CZNGroup.h"

#include <memory>

#include "groups/group_impl.h"
#include "session/facade_session.h"

// What a CZNGroup owns. A group made from a name (every group in a result list is) holds only
// that name, upper-cased and cut as the group side keeps it, until it is first used; its
// implementation object, with a directory session and result members, comes into being then.
struct CZNGroupBody {
    std::string groupName;
    std::unique_ptr<CZNGroupImpl> impl;

    CZNGroupBody() = default;
    explicit CZNGroupBody(const std::string& name) : groupName(CZNGroupImpl::KeptGroupName(name)) {}
    CZNGroupBody(const CZNGroupBody& other)
        : groupName(other.groupName),
          impl(other.impl ? std::make_unique<CZNGroupImpl>(*other.impl) : nullptr) {}
};

CZNGroup::CZNGroup() : m_body(new CZNGroupBody()) {}

CZNGroup::CZNGroup(const char* groupName)
    : m_body(new CZNGroupBody(groupName != nullptr ? groupName : "")) {}

CZNGroup::CZNGroup(const std::string& groupName) : m_body(new CZNGroupBody(groupName)) {}

CZNGroup::CZNGroup(const CZNGroup& other) : m_body(new CZNGroupBody(*other.m_body)) {}

CZNGroup& CZNGroup::operator=(const CZNGroup& other) {
    if (this != &other) {
        // Copied first, so a failed allocation leaves this object as it was.
        CZNGroupBody* copy = new CZNGroupBody(*other.m_body);
        delete m_body;
        m_body = copy;
    }
    return *this;
}

CZNGroup::~CZNGroup() {
    delete m_body;
    m_body = nullptr;
}

CZNGroupImpl& CZNGroup::Impl() const {
    if (!m_body->impl) {
        // The body keeps its name: a reference GetGroupName gave before stays valid and
        // unchanged until the name is set again.
        auto impl = std::make_unique<CZNGroupImpl>();
        impl->SetGroupName(m_body->groupName);
        m_body->impl = std::move(impl);
    }
    return *m_body->impl;
}

namespace {

// The session a group has before its first use answers as a fresh one does, so that asking
// an unused group its status, time-outs or domain costs nothing and writes nothing.
const zn::CZNDirectoryBase& SessionOf(const CZNGroupBody* body) {
    if (body->impl) return *body->impl;
    static const zn::CZNDirectoryBase* const fresh = new zn::CZNDirectoryBase();
    return *fresh;
}

// Arguments are copied on entry: a caller may pass the object's own name or a name from one
// of its lists, which the call may rewrite before it is done with the argument.
using Arg = const std::string;

}  // namespace

void CZNGroup::SetGroupName(const std::string& groupName) const {
    Arg name(groupName);
    Impl().SetGroupName(name);
}

void CZNGroup::SetAccess(const std::string& userName, const std::string& password) const {
    Arg user(userName), pass(password);
    Impl().SetUser(user);
    Impl().SetPassword(pass);
}

void CZNGroup::SetAccess(const std::string& userName, const std::string& password,
                         const std::string& groupName) const {
    Arg user(userName), pass(password), name(groupName);
    Impl().SetUser(user);
    Impl().SetPassword(pass);
    Impl().SetGroupName(name);
}

const std::string& CZNGroup::GetGroupName() const {
    return m_body->impl ? m_body->impl->GetGroupName() : m_body->groupName;
}

// Queries on the object's group, without arguments: (), and (group).
#define ZN_GROUP_QUERY(Result, Query)                            \
    Result CZNGroup::Query() const {                             \
        return Impl().Query();                                   \
    }                                                            \
    Result CZNGroup::Query(const std::string& groupName) const { \
        Arg name(groupName);                                     \
        Impl().SetGroupName(name);                               \
        return Impl().Query();                                   \
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
        Arg a(argument);                                                                      \
        return Impl().Query(a);                                                               \
    }                                                                                         \
    Result CZNGroup::Query(const std::string& groupName, const std::string& argument) const { \
        Arg name(groupName), a(argument);                                                     \
        Impl().SetGroupName(name);                                                            \
        return Impl().Query(a);                                                               \
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
        Arg a(candidate);                                                                    \
        return Impl().Query(a, nullptr);                                                     \
    }                                                                                        \
    long CZNGroup::Query(const std::string& groupName, const std::string& candidate) const { \
        Arg name(groupName), a(candidate);                                                   \
        return Impl().Query(a, &name);                                                       \
    }

ZN_GROUP_RELATION(IsValidGroupSubGroup)
ZN_GROUP_RELATION(IsValidGroupSuperGroup)
ZN_GROUP_RELATION(IsValidGroupEventualSuperGroup)

#undef ZN_GROUP_RELATION

// The display name is never stored; the group argument is not even applied.
long CZNGroup::LoadGroups(const std::list<CZNGroup>& groups) {
    std::vector<CZNGroupImpl*> impls;
    impls.reserve(groups.size());
    for (const CZNGroup& group : groups) impls.push_back(&group.Impl());
    return CZNGroupImpl::LoadGroups(impls);
}

const std::string& CZNGroup::GetOutlookDisplayName() const {
    return Impl().GetOutlookDisplayName();
}

const std::string& CZNGroup::GetOutlookDisplayName(const std::string&) const {
    return Impl().GetOutlookDisplayName();
}

const std::list<CZNGroup>& CZNGroup::GetTopGroups() const {
    return Impl().GetTopGroups();
}

long CZNGroup::GetTopGroupsCount() const {
    return Impl().GetTopGroupsCount();
}

const std::list<CZNGroup>& CZNGroup::FindGroups(const std::string& searchString) const {
    Arg pattern(searchString);
    return Impl().FindGroups(pattern);
}

const std::list<CZNGroup>& CZNGroup::FindGroupsByKeyWord(const std::string&) const {
    return Impl().FindGroupsByKeyWord();
}

const std::list<std::string>& CZNGroup::GetActiveCompanies() const {
    return Impl().GetActiveCompanies();
}

const std::list<std::string>& CZNGroup::GetDomains() const {
    return Impl().GetDomains();
}

const std::list<std::string>& CZNGroup::GetOrganizationalUnits() const {
    return Impl().GetOrganizationalUnits();
}

const std::list<std::string>& CZNGroup::GetAvailableKeyWords() const {
    return Impl().GetAvailableKeyWords();
}

long CZNGroup::IsValidNewGroupName(const std::string& name) const {
    Arg a(name);
    return Impl().IsValidNewGroupName(a);
}

long CZNGroup::IsValidDomain(const char* domain) const {
    const zn::OwnedText a(domain);
    return Impl().IsValidDomain(a.get());
}

long CZNGroup::SetDomain(const char* domain) const {
    const zn::OwnedText a(domain);
    return Impl().SetDomain(a.get());
}

const std::string& CZNGroup::GetDomain() const {
    return SessionOf(m_body).GetDomain();
}

// Operations the directory offers nothing for; none applies its context.
long CZNGroup::IsActiveCompany(const std::string&) const {
    return Impl().NotImplemented();
}
long CZNGroup::IsAvailableKeyWord(const std::string&) const {
    return Impl().NotImplemented();
}
long CZNGroup::IsValidOrganizationalUnit(const std::string&) const {
    return Impl().NotImplemented();
}
long CZNGroup::AddKeyWord(const std::string&) const {
    return Impl().NotImplemented();
}
long CZNGroup::AddKeyWord(const std::string&, const std::string&) const {
    return Impl().NotImplemented();
}
long CZNGroup::DeleteKeyWord(const std::string&) const {
    return Impl().NotImplemented();
}
long CZNGroup::DeleteKeyWord(const std::string&, const std::string&) const {
    return Impl().NotImplemented();
}
long CZNGroup::SetOrganizationalUnit(const std::string&) const {
    return Impl().NotImplemented();
}
long CZNGroup::SetOrganizationalUnit(const std::string&, const std::string&) const {
    return Impl().NotImplemented();
}
long CZNGroup::SetOrganizationalUnit(const std::string&, const std::string&,
                                     const std::string&) const {
    return Impl().NotImplemented();
}
long CZNGroup::SetOrganizationalUnit(const std::string&, const std::string&, const std::string&,
                                     const std::string&) const {
    return Impl().NotImplemented();
}
long CZNGroup::SetOutlookDisplayName(const std::string&) const {
    return Impl().NotImplemented();
}
long CZNGroup::SetOutlookDisplayName(const std::string&, const std::string&) const {
    return Impl().NotImplemented();
}
long CZNGroup::SetOutlookDisplayName(const std::string&, const std::string&,
                                     const std::string&) const {
    return Impl().NotImplemented();
}
long CZNGroup::SetOutlookDisplayName(const std::string&, const std::string&, const std::string&,
                                     const std::string&) const {
    return Impl().NotImplemented();
}

ZN_FORWARD_SESSION_METHODS(CZNGroup, SessionOf(m_body))

// Changes, in their shapes: the context arguments are applied in the order user name,
// password, group name, then the change runs.
#define ZN_GROUP_CHANGE_1(Op)                                                     \
    long CZNGroup::Op(const std::string& a) const {                               \
        Arg x(a);                                                                 \
        return Impl().Op(x);                                                      \
    }                                                                             \
    long CZNGroup::Op(const std::string& groupName, const std::string& a) const { \
        Arg name(groupName), x(a);                                                \
        Impl().SetGroupName(name);                                                \
        return Impl().Op(x);                                                      \
    }                                                                             \
    long CZNGroup::Op(const std::string& userName, const std::string& password,   \
                      const std::string& a) const {                               \
        Arg user(userName), pass(password), x(a);                                 \
        Impl().SetUser(user);                                                     \
        Impl().SetPassword(pass);                                                 \
        return Impl().Op(x);                                                      \
    }                                                                             \
    long CZNGroup::Op(const std::string& userName, const std::string& password,   \
                      const std::string& groupName, const std::string& a) const { \
        Arg user(userName), pass(password), name(groupName), x(a);                \
        Impl().SetUser(user);                                                     \
        Impl().SetPassword(pass);                                                 \
        Impl().SetGroupName(name);                                                \
        return Impl().Op(x);                                                      \
    }

#define ZN_GROUP_CHANGE_2(Op)                                                                   \
    long CZNGroup::Op(const std::string& a, const std::string& b) const {                       \
        Arg x(a), y(b);                                                                         \
        return Impl().Op(x, y);                                                                 \
    }                                                                                           \
    long CZNGroup::Op(const std::string& groupName, const std::string& a, const std::string& b) \
        const {                                                                                 \
        Arg name(groupName), x(a), y(b);                                                        \
        Impl().SetGroupName(name);                                                              \
        return Impl().Op(x, y);                                                                 \
    }                                                                                           \
    long CZNGroup::Op(const std::string& userName, const std::string& password,                 \
                      const std::string& a, const std::string& b) const {                       \
        Arg user(userName), pass(password), x(a), y(b);                                         \
        Impl().SetUser(user);                                                                   \
        Impl().SetPassword(pass);                                                               \
        return Impl().Op(x, y);                                                                 \
    }                                                                                           \
    long CZNGroup::Op(const std::string& userName, const std::string& password,                 \
                      const std::string& groupName, const std::string& a, const std::string& b) \
        const {                                                                                 \
        Arg user(userName), pass(password), name(groupName), x(a), y(b);                        \
        Impl().SetUser(user);                                                                   \
        Impl().SetPassword(pass);                                                               \
        Impl().SetGroupName(name);                                                              \
        return Impl().Op(x, y);                                                                 \
    }

#define ZN_GROUP_CHANGE_0(Op)                                                   \
    long CZNGroup::Op() const {                                                 \
        return Impl().Op();                                                     \
    }                                                                           \
    long CZNGroup::Op(const std::string& groupName) const {                     \
        Arg name(groupName);                                                    \
        Impl().SetGroupName(name);                                              \
        return Impl().Op();                                                     \
    }                                                                           \
    long CZNGroup::Op(const std::string& userName, const std::string& password, \
                      const std::string& groupName) const {                     \
        Arg user(userName), pass(password), name(groupName);                    \
        Impl().SetUser(user);                                                   \
        Impl().SetPassword(pass);                                               \
        Impl().SetGroupName(name);                                              \
        return Impl().Op();                                                     \
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
    return Impl().GetChangeStatusCodeOf(changeNumber);
}

const std::string& CZNGroup::GetErrorStatusText(long changeNumber) const {
    return Impl().GetChangeStatusTextOf(changeNumber);
}

const std::string& CZNGroup::GetChangeLogEntry(long entryNumber) const {
    return Impl().GetChangeLogEntry(entryNumber);
}

#undef ZN_GROUP_CHANGE_0
#undef ZN_GROUP_CHANGE_1
#undef ZN_GROUP_CHANGE_2
