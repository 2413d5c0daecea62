// Proof of the requester: the password a client sent inside its TLS session, checked by a
// bind to the domain's provider as the person the request names.
#include "server/requester_proof.h"

#include <ldap.h>

#include <cctype>

#include "session/format.h"

namespace zn::server {
struct RequesterProof::Binder {
    LDAP* ld = nullptr;
    ~Binder() {
        if (ld != nullptr) ldap_unbind_ext_s(ld, nullptr, nullptr);
    }
};

RequesterProof::RequesterProof(DirectorySettings settings)
    : m_settings(settings), m_finder(std::move(settings)) {}

RequesterProof::~RequesterProof() {
    for (Binder* binder : m_idle) delete binder;
}

// Binds replace the identity of the connection they run on, so one connection serves one
// proof at a time; the connections stay open between proofs, which saves a TCP connection
// (and the provider's accept) on every change.
RequesterProof::Binder* RequesterProof::Borrow(std::string& detail) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_idle.empty()) {
            Binder* binder = m_idle.back();
            m_idle.pop_back();
            return binder;
        }
    }
    LDAP* raw = nullptr;
    const int rc = ldap_initialize(&raw, m_settings.uri.c_str());
    if (rc != LDAP_SUCCESS || raw == nullptr) {
        detail = std::string(ldap_err2string(rc)) + " (" + m_settings.uri + ")";
        return nullptr;
    }
    int version = LDAP_VERSION3;
    ldap_set_option(raw, LDAP_OPT_PROTOCOL_VERSION, &version);
    timeval bound{m_settings.timeoutMilliseconds / 1000,
                  (m_settings.timeoutMilliseconds % 1000) * 1000};
    ldap_set_option(raw, LDAP_OPT_NETWORK_TIMEOUT, &bound);
    ldap_set_option(raw, LDAP_OPT_TIMEOUT, &bound);
    ldap_set_option(raw, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    auto* binder = new Binder;
    binder->ld = raw;
    return binder;
}

void RequesterProof::Return(Binder* binder, bool healthy) {
    if (!healthy) {
        delete binder;
        return;
    }
    std::lock_guard<std::mutex> hold(m_lock);
    m_idle.push_back(binder);
}

int RequesterProof::Bind(Binder& binder, const std::string& dn, const std::string& password) {
    berval secret{password.size(), const_cast<char*>(password.data())};
    return ldap_sasl_bind_s(binder.ld, dn.c_str(), LDAP_SASL_SIMPLE, &secret, nullptr, nullptr,
                            nullptr);
}

RequesterProof::Result RequesterProof::Verify(const std::string& userName,
                                              const std::string& password, std::string& detail) {
    // An empty password would make an unauthenticated bind, which proves nothing.
    if (password.empty() || password.size() > kMaxProofPassword) return Result::kWrongPassword;
    // A person whose entry was found lately is bound as at once; a bind that fails there
    // looks the person up afresh (moved, renamed, deleted) before it counts.
    const std::string remembered = RememberedDN(userName);
    if (!remembered.empty()) {
        const Result result = BindAs(remembered, password, detail);
        if (result == Result::kProven || result == Result::kUnreachable) return result;
        Forget(userName);
    }
    std::string dn;
    const Result found = Find(userName, dn, detail);
    if (found != Result::kProven) return found;
    // The same entry refused this password just now.
    if (dn == remembered) return Result::kWrongPassword;
    const Result result = BindAs(dn, password, detail);
    if (result == Result::kProven) Remember(userName, dn);
    return result;
}

RequesterProof::Result RequesterProof::Find(const std::string& userName, std::string& dn,
                                            std::string& detail) {
    std::vector<Entry> found;
    int rc = 0;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        rc = m_finder.Search(
            m_settings.baseDN, true,
            "(&(objectClass=organizationalPerson)(uid=" + EscapeFilterValue(userName) + "))",
            {"1.1"}, found);
        if (rc != LDAP_SUCCESS && rc != LDAP_NO_SUCH_OBJECT) detail = m_finder.LastError();
    }
    if (rc != LDAP_SUCCESS && rc != LDAP_NO_SUCH_OBJECT) return Result::kUnreachable;
    if (found.size() != 1) return Result::kUnknownPerson;
    dn = found.front().dn;
    return Result::kProven;
}

RequesterProof::Result RequesterProof::BindAs(const std::string& dn, const std::string& password,
                                              std::string& detail) {
    std::string lower = password;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (int attempt = 0; attempt < 2; ++attempt) {
        Binder* binder = Borrow(detail);
        if (binder == nullptr) return Result::kUnreachable;
        int rc = Bind(*binder, dn, password);
        if (rc == LDAP_INVALID_CREDENTIALS && lower != password) rc = Bind(*binder, dn, lower);
        const bool broken = rc == LDAP_SERVER_DOWN || rc == LDAP_CONNECT_ERROR ||
                            rc == LDAP_TIMEOUT || rc == LDAP_UNAVAILABLE;
        Return(binder, !broken);
        if (rc == LDAP_SUCCESS) return Result::kProven;
        if (rc == LDAP_INVALID_CREDENTIALS) return Result::kWrongPassword;
        detail = ldap_err2string(rc);
        // A connection kept from earlier may have been closed by the provider meanwhile:
        // one more try, on a fresh one.
        if (!broken) break;
    }
    return Result::kUnreachable;
}

std::string RequesterProof::RememberedDN(const std::string& userName) {
    std::lock_guard<std::mutex> hold(m_lock);
    auto found = m_dns.find(userName);
    if (found == m_dns.end()) return std::string();
    if (Clock::now() - found->second.at >= kDNLifetime) {
        m_dns.erase(found);
        return std::string();
    }
    return found->second.dn;
}

void RequesterProof::Remember(const std::string& userName, const std::string& dn) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_dns.size() >= kMostDNs) m_dns.clear();
    m_dns[userName] = RememberedEntry{dn, Clock::now()};
}

void RequesterProof::Forget(const std::string& userName) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_dns.erase(userName);
}

}  // namespace zn::server
