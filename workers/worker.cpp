// CZNWorker: the exported facade, applying each call's context before forwarding it.
#include "CZNWorker.h"

#include <cstdint>
#include <forward_list>
#include <functional>
#include <list>
#include <memory>
#include <vector>

#include "session/facade_session.h"
#include "workers/worker_impl.h"

// What a CZNWorker owns. A worker made from a user name holds only that name until it is
// first used; its implementation object, with a directory session and some thirty
// attributes, comes into being then.
//
// A worker that LoadWorkers found before it was otherwise used keeps what was found in a
// shared record instead, and hands out its values as strings of its own, made on first
// request; its implementation object, when something else asks for one, starts from that
// record.
struct CZNWorkerBody {
    std::string userName;
    std::unique_ptr<CZNWorkerImpl> impl;
    std::shared_ptr<const zn::LoadedWorker> loaded;
    std::forward_list<std::pair<std::size_t, std::string>> given;

    CZNWorkerBody() = default;
    explicit CZNWorkerBody(const std::string& name) : userName(name) {}
    CZNWorkerBody(const CZNWorkerBody& other)
        : userName(other.userName),
          impl(other.impl ? std::make_unique<CZNWorkerImpl>(*other.impl) : nullptr),
          loaded(other.loaded) {}

    // The value of a loaded slot, as a string that lives as long as the body.
    const std::string& Given(std::size_t slot) {
        for (const auto& value : given) {
            if (value.first == slot) return value.second;
        }
        given.emplace_front(slot, loaded->Value(slot));
        return given.front().second;
    }
};

namespace {

// A worker in a list the library fills owns nothing at all: its pointer, marked in its
// lowest bit, names its user name in the names the list was made from, which the object
// owning the list keeps beside it. A list of 100,000 members then costs the list's nodes and
// the names, as the names alone would; the first use, a copy or an assignment gives the
// worker a body of its own. (Strings are aligned, so the bit is free.)
constexpr std::uintptr_t kListedMark = 1;
thread_local const std::vector<std::string>* g_listing = nullptr;

bool IsListed(const CZNWorkerBody* body) {
    return (reinterpret_cast<std::uintptr_t>(body) & kListedMark) != 0;
}

const std::string& ListedName(const CZNWorkerBody* body) {
    return *reinterpret_cast<const std::string*>(reinterpret_cast<std::uintptr_t>(body) &
                                                 ~kListedMark);
}

// A body of its own for a copy of `body`.
CZNWorkerBody* CopyOf(const CZNWorkerBody* body) {
    return IsListed(body) ? new CZNWorkerBody(ListedName(body)) : new CZNWorkerBody(*body);
}

}  // namespace

namespace zn {

void FillListedWorkers(std::list<CZNWorker>& workers, const std::vector<std::string>& names) {
    struct Listing {
        explicit Listing(const std::vector<std::string>& names) { g_listing = &names; }
        ~Listing() { g_listing = nullptr; }
    } listing(names);
    for (const std::string& name : names) {
        workers.emplace_back(name);
    }
}

}  // namespace zn

CZNWorker::CZNWorker() : m_body(new CZNWorkerBody()) {}

CZNWorker::CZNWorker(const std::string& userName) {
    // Only a name that lies in the names of the list being filled on this thread is taken by
    // reference; every other name is copied into a body.
    const std::vector<std::string>* listing = g_listing;
    const std::less<const std::string*> before;
    if (listing != nullptr && !listing->empty() && !before(&userName, listing->data()) &&
        before(&userName, listing->data() + listing->size())) {
        m_body = reinterpret_cast<CZNWorkerBody*>(reinterpret_cast<std::uintptr_t>(&userName) |
                                                  kListedMark);
        return;
    }
    m_body = new CZNWorkerBody(userName);
}

CZNWorker::CZNWorker(long workerNumber) : CZNWorker() {
    Impl().SetWorkerNumber(workerNumber);
}

CZNWorker::CZNWorker(const CZNWorker& other) : m_body(CopyOf(other.m_body)) {}

CZNWorker& CZNWorker::operator=(const CZNWorker& other) {
    if (this != &other) {
        // Copied first, so a failed allocation leaves this object as it was.
        CZNWorkerBody* copy = CopyOf(other.m_body);
        if (!IsListed(m_body)) delete m_body;
        m_body = copy;
    }
    return *this;
}

CZNWorker::~CZNWorker() {
    if (!IsListed(m_body)) delete m_body;
    m_body = nullptr;
}

CZNWorkerImpl& CZNWorker::Impl() const {
    if (IsListed(m_body)) {
        m_body = new CZNWorkerBody(ListedName(m_body));
    }
    if (!m_body->impl) {
        // The body keeps its name: a reference GetName gave before stays valid and unchanged
        // until the name is set again.
        auto impl = std::make_unique<CZNWorkerImpl>();
        impl->SetUserName(m_body->userName);
        if (m_body->loaded) impl->TakeRecord(*m_body->loaded);
        m_body->impl = std::move(impl);
    }
    return *m_body->impl;
}

namespace {

// An unused worker, listed or not, answers its status, time-outs, domain and dialog title as
// a fresh one does, without making its implementation object: a list of workers asked only
// such questions stays the size of its names.
const CZNWorkerImpl& SessionOf(const CZNWorkerBody* body) {
    if (!IsListed(body) && body->impl) return *body->impl;
    static const CZNWorkerImpl* const fresh = new CZNWorkerImpl();
    return *fresh;
}

// Arguments are copied on entry: a caller may pass the object's own name or a name from one
// of its lists, which the call may rewrite before it is done with the argument.
using Arg = const std::string;

// The body of a worker that a load found before anything else used it, when the load read
// `slot`; null otherwise.
CZNWorkerBody* Recorded(CZNWorkerBody* body, std::size_t slot) {
    return !IsListed(body) && !body->impl && body->loaded && body->loaded->Covers(slot) ? body
                                                                                        : nullptr;
}

}  // namespace

long CZNWorker::LoadWorkers(const std::list<CZNWorker>& workers) {
    return Load(workers, nullptr);
}

long CZNWorker::Load(const std::list<CZNWorker>& workers,
                     const std::vector<const char*>* attributes) {
    std::vector<CZNWorkerImpl::LoadTarget> targets(workers.size());
    auto target = targets.begin();
    for (const CZNWorker& worker : workers) {
        if (!IsListed(worker.m_body) && worker.m_body->impl) {
            target->impl = worker.m_body->impl.get();
            target->userName = &target->impl->GetHeldUserName();
            target->session = target->impl;
        } else {
            target->userName = &worker.GetName();
            target->session = &SessionOf(worker.m_body);
            target->keep = [&worker](std::shared_ptr<const zn::LoadedWorker> record) {
                if (IsListed(worker.m_body)) {
                    worker.m_body = new CZNWorkerBody(ListedName(worker.m_body));
                }
                // Strings handed out before stay where they are, with the new values.
                worker.m_body->loaded = std::move(record);
                for (auto& given : worker.m_body->given) {
                    given.second = worker.m_body->loaded->Value(given.first);
                }
            };
            target->make = [&worker]() -> CZNWorkerImpl& { return worker.Impl(); };
        }
        ++target;
    }
    return CZNWorkerImpl::LoadWorkers(targets, attributes);
}

const std::string& CZNWorker::GetName() const {
    if (IsListed(m_body)) return ListedName(m_body);
    return m_body->impl ? m_body->impl->GetHeldUserName() : m_body->userName;
}

// Each attribute getter with the directory attribute it gives.
#define ZN_WORKER_ATTRIBUTES(X)                     \
    X(GetCity, "l")                                 \
    X(GetCompanyName, "companyname")                \
    X(GetCompanyNumber, "companynumber")            \
    X(GetCostCenter, "departmentnumber")            \
    X(GetCostCenterDescription, "businesscategory") \
    X(GetCountry, "c")                              \
    X(GetDepartment, "departmentnumber")            \
    X(GetDisplayName, "displayname")                \
    X(GetEmailAddress, "mail")                      \
    X(GetEmployeeType, "employeetype")              \
    X(GetFaxNumber, "facsimiletelephonenumber")     \
    X(GetFullName, "cn")                            \
    X(GetGivenName, "givenname")                    \
    X(GetJobTitle, "title")                         \
    X(GetMailStop, "mailstop")                      \
    X(GetOfficeLocation, "roomnumber")              \
    X(GetPagerNumber, "pager")                      \
    X(GetPhoneNumber, "telephonenumber")            \
    X(GetShiftCode, "shiftcode")                    \
    X(GetShipToCity, "shiptolocality")              \
    X(GetShipToCountry, "shiptocountryname")        \
    X(GetShipToState, "shiptostate")                \
    X(GetShipToStreet, "shiptostreet")              \
    X(GetShipToZipCode, "shiptopostalcode")         \
    X(GetState, "st")                               \
    X(GetStreet, "street")                          \
    X(GetSupervisorUserName, "manager")             \
    X(GetSurName, "sn")                             \
    X(GetZipCode, "postalcode")                     \
    X(GetWorkerDN, "dn")

#define ZN_WORKER_ATTRIBUTE(Getter, attribute)                                      \
    const std::string& CZNWorker::Getter() const {                                  \
        static const std::size_t slot = CZNWorkerImpl::SlotOf(attribute);           \
        if (CZNWorkerBody* body = Recorded(m_body, slot)) return body->Given(slot); \
        return Impl().Getter();                                                     \
    }                                                                               \
    const std::string& CZNWorker::Getter(const std::string& userName) const {       \
        Arg name(userName);                                                         \
        Impl().SetUserName(name);                                                   \
        return Impl().Getter();                                                     \
    }

ZN_WORKER_ATTRIBUTES(ZN_WORKER_ATTRIBUTE)

#undef ZN_WORKER_ATTRIBUTE

long CZNWorker::LoadWorkers(const std::list<CZNWorker>& workers,
                            const std::vector<AttributeGetter>& getters) {
#define ZN_WORKER_GETTER_ROW(Getter, attribute) \
    {static_cast<AttributeGetter>(&CZNWorker::Getter), attribute},
    static const std::pair<AttributeGetter, const char*> kGetters[] = {
        ZN_WORKER_ATTRIBUTES(ZN_WORKER_GETTER_ROW)};
#undef ZN_WORKER_GETTER_ROW
    std::vector<const char*> attributes;
    for (AttributeGetter getter : getters) {
        for (const auto& row : kGetters) {
            if (row.first == getter) attributes.push_back(row.second);
        }
    }
    return Load(workers, &attributes);
}

const std::string& CZNWorker::GetUserNameA() const {
    static const std::size_t slot = CZNWorkerImpl::SlotOf("uid");
    if (CZNWorkerBody* body = Recorded(m_body, slot)) {
        return body->loaded->Has(slot) ? body->Given(slot) : body->userName;
    }
    return Impl().GetUserNameA();
}

const std::string& CZNWorker::GetUserNameA(long workerNumber) const {
    Impl().SetWorkerNumber(workerNumber);
    return Impl().GetUserNameA();
}

long CZNWorker::GetWorkerNumber() const {
    static const std::size_t slot = CZNWorkerImpl::SlotOf("employeenumber");
    if (const CZNWorkerBody* body = Recorded(m_body, slot)) return body->loaded->number;
    return Impl().GetWorkerNumber();
}

long CZNWorker::GetWorkerNumber(const std::string& userName) const {
    Arg name(userName);
    Impl().SetUserName(name);
    return Impl().GetWorkerNumber();
}

long CZNWorker::IsValidWorker() const {
    return Impl().IsValidWorker();
}

long CZNWorker::IsValidWorker(long workerNumber) const {
    Impl().SetWorkerNumber(workerNumber);
    return Impl().IsValidWorker();
}

long CZNWorker::IsValidWorker(const std::string& userName) const {
    Arg name(userName);
    Impl().SetUserName(name);
    return Impl().IsValidWorker();
}

void CZNWorker::SetUserName(const std::string& userName) const {
    Arg name(userName);
    Impl().SetUserName(name);
}

const std::list<CZNWorker>& CZNWorker::FindWorkers(const std::string& searchString) const {
    Arg pattern(searchString);
    return Impl().FindWorkers(pattern);
}

const std::list<CZNWorker>& CZNWorker::FindWorkersByFirstName(
    const std::string& searchString) const {
    Arg pattern(searchString);
    return Impl().FindWorkersByFirstName(pattern);
}

const std::list<CZNWorker>& CZNWorker::FindWorkersByLastName(
    const std::string& searchString) const {
    Arg pattern(searchString);
    return Impl().FindWorkersByLastName(pattern);
}

#define ZN_WORKER_GROUPS(Query)                                                      \
    const std::list<CZNGroup>& CZNWorker::Query() const {                            \
        return Impl().Query();                                                       \
    }                                                                                \
    const std::list<CZNGroup>& CZNWorker::Query(const std::string& userName) const { \
        Arg name(userName);                                                          \
        Impl().SetUserName(name);                                                    \
        return Impl().Query();                                                       \
    }

ZN_WORKER_GROUPS(GetContactGroups)
ZN_WORKER_GROUPS(GetDirectGroups)
ZN_WORKER_GROUPS(GetEventualGroups)
ZN_WORKER_GROUPS(GetOwnerGroups)

#undef ZN_WORKER_GROUPS

#define ZN_WORKER_GROUP_TEST(Query)                                                          \
    long CZNWorker::Query(const std::string& groupName) const {                              \
        Arg group(groupName);                                                                \
        return Impl().Query(group);                                                          \
    }                                                                                        \
    long CZNWorker::Query(const std::string& userName, const std::string& groupName) const { \
        Arg name(userName), group(groupName);                                                \
        Impl().SetUserName(name);                                                            \
        return Impl().Query(group);                                                          \
    }

ZN_WORKER_GROUP_TEST(IsValidContactGroup)
ZN_WORKER_GROUP_TEST(IsValidDirectGroup)
ZN_WORKER_GROUP_TEST(IsValidEventualGroup)
ZN_WORKER_GROUP_TEST(IsValidOwnerGroup)

#undef ZN_WORKER_GROUP_TEST

const std::list<std::string>& CZNWorker::GetDomains() const {
    return Impl().GetDomains();
}

long CZNWorker::IsValidDomain(const char* domain) const {
    const zn::OwnedText a(domain);
    return Impl().IsValidDomain(a.get());
}

long CZNWorker::SetDomain(const char* domain) const {
    const zn::OwnedText a(domain);
    return Impl().SetDomain(a.get());
}

const std::string& CZNWorker::GetDomain() const {
    return SessionOf(m_body).GetDomain();
}

long CZNWorker::Authenticate(const std::string& userName, const std::string& password) const {
    Arg name(userName), pass(password);
    return Impl().Authenticate(name, pass);
}

long CZNWorker::Login() const {
    return Impl().Login();
}

long CZNWorker::Login(const std::string& userName) const {
    Arg name(userName);
    Impl().SetUserName(name);
    return Impl().Login();
}

long CZNWorker::Login(const std::string& title, const std::string& userName) const {
    Arg caption(title), name(userName);
    Impl().SetLoginDialogTitle(caption);
    Impl().SetUserName(name);
    return Impl().Login();
}

void CZNWorker::SetAllowGenericAuthentication(long allow) const {
    Impl().SetAllowGenericAuthentication(allow);
}

void CZNWorker::SetLoginDialogTitle(const std::string& title) const {
    Arg caption(title);
    Impl().SetLoginDialogTitle(caption);
}

const std::string& CZNWorker::GetLoginDialogTitle() const {
    return SessionOf(m_body).GetLoginDialogTitle();
}

ZN_FORWARD_SESSION_METHODS(CZNWorker, SessionOf(m_body))
