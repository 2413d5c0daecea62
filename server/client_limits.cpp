// Connections being read per client address, shared by the listener's workers, and the log
// of the connections turned away, at most one line per client a minute.
#include "server/client_limits.h"

#include "server/config.h"
#include "server/service.h"

namespace zn::server {
namespace {

// A client that opens connections in a loop must not be able to fill the log: its
// refusals are counted and reported together, once per interval.
constexpr std::chrono::seconds kLogInterval(60);

}  // namespace

ClientLimits::ClientLimits(int perClient, int idleMilliseconds)
    : m_perClient(perClient), m_idleMilliseconds(idleMilliseconds) {}

bool ClientLimits::Admit(std::uint32_t address) {
    std::lock_guard<std::mutex> hold(m_lock);
    Entry& entry = m_clients[address];
    if (entry.reading >= m_perClient) {
        return false;
    }
    ++entry.reading;
    return true;
}

void ClientLimits::Release(std::uint32_t address) {
    std::lock_guard<std::mutex> hold(m_lock);
    auto found = m_clients.find(address);
    if (found == m_clients.end()) {
        return;
    }
    Entry& entry = found->second;
    --entry.reading;
    // An entry that must still hold back a log line stays until the sweep.
    if (entry.reading == 0 && !entry.logged) {
        m_clients.erase(found);
    }
}

void ClientLimits::Note(std::uint32_t address, TurnedAway why) {
    const Clock::time_point now = Clock::now();
    std::vector<std::string> lines;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        Entry& entry = m_clients[address];
        ++(why == TurnedAway::kOverLimit ? entry.overLimit : entry.idle);
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

void ClientLimits::Flush() {
    std::vector<std::string> lines;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        for (auto& [address, entry] : m_clients) {
            if (entry.overLimit != 0 || entry.idle != 0) {
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
                       " idle for " + std::to_string(m_idleMilliseconds) + " ms";
    entry.overLimit = 0;
    entry.idle = 0;
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
        const bool pending = entry.overLimit != 0 || entry.idle != 0;
        if (!entry.logged || now - entry.lastLine < kLogInterval) {
            ++it;
        } else if (pending) {
            lines.push_back(TakeLine(it->first, entry, now));
            ++it;
        } else if (entry.reading == 0) {
            it = m_clients.erase(it);
        } else {
            entry.logged = false;
            ++it;
        }
    }
}

}  // namespace zn::server
