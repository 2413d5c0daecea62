// Proof of the requester: the password a client sent inside its TLS session, checked by a
// bind to the domain's provider as the person the request names.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "server/changes.h"
#include "server/directory.h"

namespace zn::server {

// What a client sent before its request: nothing, or a password (possibly unreadable).
struct Proof {
    bool given = false;
    bool malformed = false;
    std::string password;
};

// The line a proven request starts with: "PROOF " and the password in hexadecimal, then a
// line feed. The password is at most 127 characters, as the library's binds take it.
inline constexpr const char* kProofPrefix = "PROOF ";
inline constexpr std::size_t kMaxProofPassword = 127;
inline constexpr std::size_t kMaxProofLine = 6 + 2 * kMaxProofPassword + 1;

// Takes the proof line off the front of `bytes`. False while the line may still be arriving;
// true when `bytes` starts with a whole line (moved into `proof`) or with no proof at all.
bool TakeProof(std::string& bytes, Proof& proof);

// Checks a proof; the server's is RequesterProof below.
class ProofChecker {
  public:
    enum class Result { kProven, kWrongPassword, kUnknownPerson, kUnreachable };
    virtual ~ProofChecker() = default;
    // `detail` gets the directory's reason when it could not be asked.
    virtual Result Verify(const std::string& userName, const std::string& password,
                          std::string& detail) = 0;
};

class RequesterProof : public ProofChecker {
  public:
    // Finds people through `settings` (the server's own identity) and binds as them on
    // connections of its own to the same provider.
    explicit RequesterProof(DirectorySettings settings);
    ~RequesterProof() override;
    RequesterProof(const RequesterProof&) = delete;
    RequesterProof& operator=(const RequesterProof&) = delete;

    // Binds as the person whose uid is `userName` with `password`, and once more with the
    // password in lower case when the directory calls it invalid, as the library does.
    Result Verify(const std::string& userName, const std::string& password,
                  std::string& detail) override;

  private:
    using Clock = std::chrono::steady_clock;
    // Where a person's entry was found lately: the search costs a directory round trip on
    // every change, the entry seldom moves, and the bind itself still checks the password
    // every time. Only the place is remembered, never whether a password was right.
    struct RememberedEntry {
        std::string dn;
        Clock::time_point at;
    };
    static constexpr std::chrono::seconds kDNLifetime{60};
    static constexpr std::size_t kMostDNs = 4096;

    struct Binder;
    Binder* Borrow(std::string& detail);
    void Return(Binder* binder, bool healthy);
    int Bind(Binder& binder, const std::string& dn, const std::string& password);
    // The DN of the one person whose uid is `userName` (kProven), or why there is none.
    Result Find(const std::string& userName, std::string& dn, std::string& detail);
    // Binds as `dn`, with the password as given and then in lower case.
    Result BindAs(const std::string& dn, const std::string& password, std::string& detail);
    std::string RememberedDN(const std::string& userName);
    void Remember(const std::string& userName, const std::string& dn);
    void Forget(const std::string& userName);

    DirectorySettings m_settings;
    std::mutex m_lock;
    Directory m_finder;  // guarded by m_lock
    std::vector<Binder*> m_idle;
    std::unordered_map<std::string, RememberedEntry> m_dns;  // guarded by m_lock
};

}  // namespace zn::server
