// What one client address may hold and make the server write: its connections open at once
// (and the log of those turned away, at most one line per client a minute), and the budget
// of refusals recorded per requester.
#include "server/client_limits.h"

#include <algorithm>

#include "server/config.h"
#include "server/service.h"

namespace zn::server {
namespace {

// A client that opens connections in a loop must not be able to fill the log: its
// refusals are counted and reported together, once per interval.
constexpr std::chrono::seconds kLogInterval(60);

}  // namespace

ClientLimits::ClientLimits(int perClient, int idleMilliseconds, int stallMilliseconds)
    : m_perClient(perClient),
      m_idleMilliseconds(idleMilliseconds),
      m_stallMilliseconds(stallMilliseconds) {}

bool ClientLimits::Admit(std::uint32_t address) {
    std::lock_guard<std::mutex> hold(m_lock);
    Entry& entry = m_clients[address];
    if (entry.open >= m_perClient) {
        return false;
    }
    ++entry.open;
    return true;
}

void ClientLimits::Release(std::uint32_t address) {
    std::lock_guard<std::mutex> hold(m_lock);
    auto found = m_clients.find(address);
    if (found == m_clients.end()) {
        return;
    }
    Entry& entry = found->second;
    --entry.open;
    // An entry that must still hold back a log line stays until the sweep.
    if (entry.open == 0 && !entry.logged) {
        m_clients.erase(found);
    }
}

void ClientLimits::Note(std::uint32_t address, TurnedAway why) {
    const Clock::time_point now = Clock::now();
    std::vector<std::string> lines;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        Entry& entry = m_clients[address];
        ++(why == TurnedAway::kOverLimit ? entry.overLimit
           : why == TurnedAway::kIdle    ? entry.idle
                                         : entry.notReading);
        if (!entry.logged || now - entry.lastLine >= kLogInterval) {
            lines.push_back(TakeLine(address, entry, now));
        }
        if (now - m_lastSweep >= kLogInterval) {
            SweepLocked(now, lines);
        }
    }
    for (const std::string& line : lines) {
        Log(line);
    }
}

void ClientLimits::Sweep() {
    const Clock::time_point now = Clock::now();
    std::vector<std::string> lines;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (now - m_lastSweep < std::chrono::seconds(1)) return;
        SweepLocked(now, lines);
    }
    for (const std::string& line : lines) {
        Log(line);
    }
}

void ClientLimits::Flush() {
    std::vector<std::string> lines;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        for (auto& [address, entry] : m_clients) {
            if (entry.overLimit != 0 || entry.idle != 0 || entry.notReading != 0) {
                lines.push_back(TakeLine(address, entry, Clock::now()));
            }
        }
    }
    for (const std::string& line : lines) {
        Log(line);
    }
}

std::string ClientLimits::TakeLine(std::uint32_t address, Entry& entry, Clock::time_point now) {
    std::string line = Network{address, 32}.Text() +
                       " turned away: " + std::to_string(entry.overLimit) + " connection(s) over " +
                       std::to_string(m_perClient) + " at once, " + std::to_string(entry.idle) +
                       " idle for " + std::to_string(m_idleMilliseconds) + " ms, " +
                       std::to_string(entry.notReading) + " not reading for " +
                       std::to_string(m_stallMilliseconds) + " ms";
    entry.overLimit = 0;
    entry.idle = 0;
    entry.notReading = 0;
    entry.logged = true;
    entry.lastLine = now;
    return line;
}

// Reports the counts held back longer than the interval and forgets the clients with
// nothing left to report, so that the table stays as small as the set of recent clients.
void ClientLimits::SweepLocked(Clock::time_point now, std::vector<std::string>& lines) {
    m_lastSweep = now;
    for (auto it = m_clients.begin(); it != m_clients.end();) {
        Entry& entry = it->second;
        const bool pending = entry.overLimit != 0 || entry.idle != 0 || entry.notReading != 0;
        if (!entry.logged || now - entry.lastLine < kLogInterval) {
            ++it;
        } else if (pending) {
            lines.push_back(TakeLine(it->first, entry, now));
            ++it;
        } else if (entry.open == 0) {
            it = m_clients.erase(it);
        } else {
            entry.logged = false;
            ++it;
        }
    }
}

namespace {

// Counts wait at most this long for their line, and the groups named in it are the first few.
constexpr std::chrono::seconds kUnrecordedInterval(10);
constexpr std::size_t kGroupsNamed = 4;
// Beyond this many requesters the names of the rest of an address are not kept apart: they
// share one bucket, so that invented names cannot grow the table.
constexpr std::size_t kMaxRequesters = 4096;
constexpr const char* kOtherRequesters = "*";

}  // namespace

WriteBudget::WriteBudget(std::string what, double perSecond, double burst, double perAddress)
    : m_what(std::move(what)), m_perSecond(perSecond), m_burst(burst), m_perAddress(perAddress) {}

bool WriteBudget::Fill(Bucket& bucket, bool fresh, double perSecond, double burst,
                       Clock::time_point now) {
    if (fresh) {
        bucket.tokens = burst;
    } else {
        const double idle = std::chrono::duration<double>(now - bucket.last).count();
        bucket.tokens = std::min(burst, bucket.tokens + idle * perSecond);
    }
    bucket.last = now;
    return bucket.tokens >= 1;
}

bool WriteBudget::Take(std::uint32_t address, const std::string& requester,
                       const std::string& group, std::string& due) {
    std::lock_guard<std::mutex> hold(m_lock);
    const Clock::time_point now = Clock::now();
    // Full buckets of quiet requesters are forgotten.
    if (m_requesters.size() >= kMaxRequesters) {
        for (auto it = m_requesters.begin(); it != m_requesters.end();) {
            const double idle = std::chrono::duration<double>(now - it->second.last).count();
            it = it->second.tokens + idle * m_perSecond >= m_burst ? m_requesters.erase(it)
                                                                   : std::next(it);
        }
    }
    Key key{address, requester};
    if (m_requesters.size() >= kMaxRequesters && m_requesters.count(key) == 0) {
        key.second = kOtherRequesters;
    }
    auto [own, freshOwn] = m_requesters.try_emplace(key);
    auto [shared, freshShared] = m_addresses.try_emplace(address);
    const bool ownFits = Fill(own->second, freshOwn, m_perSecond, m_burst, now);
    const bool sharedFits =
        Fill(shared->second, freshShared, m_perSecond * m_perAddress, m_burst * m_perAddress, now);
    auto waiting = m_unrecorded.find(key);
    if (!ownFits || !sharedFits) {
        Unrecorded& unrecorded =
            waiting != m_unrecorded.end() ? waiting->second : m_unrecorded[key];
        if (unrecorded.count++ == 0) unrecorded.since = now;
        if (!group.empty() && unrecorded.groups.size() < kGroupsNamed)
            unrecorded.groups.insert(group);
        return false;
    }
    own->second.tokens -= 1;
    shared->second.tokens -= 1;
    due.clear();
    if (waiting != m_unrecorded.end()) {
        due = Line(key, waiting->second);
        m_unrecorded.erase(waiting);
    }
    return true;
}

std::vector<std::string> WriteBudget::DueLines(bool all) {
    std::lock_guard<std::mutex> hold(m_lock);
    const Clock::time_point now = Clock::now();
    std::vector<std::string> lines;
    for (auto it = m_unrecorded.begin(); it != m_unrecorded.end();) {
        if (all || now - it->second.since >= kUnrecordedInterval) {
            lines.push_back(Line(it->first, it->second));
            it = m_unrecorded.erase(it);
        } else {
            ++it;
        }
    }
    return lines;
}

std::string WriteBudget::Line(const Key& key, Unrecorded& unrecorded) {
    std::string line = Network{key.first, 32}.Text() + " " +
                       (key.second.empty() ? std::string() : "requester " + key.second + ": ") +
                       std::to_string(unrecorded.count) + " " + m_what +
                       " went unrecorded, over the budget";
    if (!unrecorded.groups.empty()) {
        line += "; groups:";
        for (const std::string& group : unrecorded.groups) line += " " + group;
    }
    return line;
}

}  // namespace zn::server
