// What each requester's accepted changes may write into the directory and the change logs,
// counted in values per minute.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>

namespace zn::server {

// A bucket per requester that holds a minute's worth of values and refills steadily. A
// change is taken while its requester's bucket is not empty and charged with what it wrote
// once it is done, so one change may take the bucket below empty; the requester then
// waits until it has refilled past empty. The user token proves nothing, so the bound is
// per name: a client that names someone else spends that person's minute, never more.
class WriteQuota {
  public:
    // 0 values a minute: no bound.
    explicit WriteQuota(long valuesPerMinute) : m_perMinute(valuesPerMinute) {}
    void SetPerMinute(long valuesPerMinute) { m_perMinute = valuesPerMinute; }

    // Whether `requester` may make a change now; when not, `waitSeconds` says how long
    // until it may.
    bool Allows(const std::string& requester, long& waitSeconds);
    // Charges `values` written by one of the requester's changes.
    void Charge(const std::string& requester, std::size_t values);
    long PerMinute() const { return m_perMinute; }

  private:
    using Clock = std::chrono::steady_clock;
    struct Bucket {
        double values = 0;  // what may still be written; below 0 after a big change
        Clock::time_point last;
    };
    // The bucket refilled to now; a new requester's is full.
    Bucket& Refilled(const std::string& requester);

    std::mutex m_lock;
    std::map<std::string, Bucket> m_buckets;
    long m_perMinute;
};

}  // namespace zn::server
