// What each requester's accepted changes may write into the directory and the change logs,
// counted in values per minute.
#include "server/write_quota.h"

#include <algorithm>
#include <cmath>

namespace zn::server {

WriteQuota::Bucket& WriteQuota::Refilled(const std::string& requester) {
    const Clock::time_point now = Clock::now();
    const double perSecond = static_cast<double>(m_perMinute) / 60;
    // Full buckets of quiet requesters are forgotten, so that many names cannot grow the map.
    if (m_buckets.size() > 4096) {
        for (auto it = m_buckets.begin(); it != m_buckets.end();) {
            const double idle = std::chrono::duration<double>(now - it->second.last).count();
            it = it->second.values + idle * perSecond >= static_cast<double>(m_perMinute)
                     ? m_buckets.erase(it)
                     : std::next(it);
        }
    }
    auto [it, fresh] = m_buckets.try_emplace(requester);
    Bucket& bucket = it->second;
    if (fresh) {
        bucket.values = static_cast<double>(m_perMinute);
    } else {
        const double idle = std::chrono::duration<double>(now - bucket.last).count();
        bucket.values =
            std::min(static_cast<double>(m_perMinute), bucket.values + idle * perSecond);
    }
    bucket.last = now;
    return bucket;
}

bool WriteQuota::Allows(const std::string& requester, long& waitSeconds) {
    waitSeconds = 0;
    if (m_perMinute <= 0) return true;
    std::lock_guard<std::mutex> hold(m_lock);
    const Bucket& bucket = Refilled(requester);
    if (bucket.values > 0) return true;
    // Until the bucket holds at least one value again.
    const double perSecond = static_cast<double>(m_perMinute) / 60;
    waitSeconds = std::max(1L, static_cast<long>(std::ceil((1 - bucket.values) / perSecond)));
    return false;
}

void WriteQuota::Charge(const std::string& requester, std::size_t values) {
    if (m_perMinute <= 0) return;
    std::lock_guard<std::mutex> hold(m_lock);
    Refilled(requester).values -= static_cast<double>(values);
}

}  // namespace zn::server
