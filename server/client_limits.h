// Connections being read per client address, shared by the listener's workers, and the log
// of the connections turned away, at most one line per client a minute.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace zn::server {

class ClientLimits {
  public:
    // `perClient` connections of one address may be read at once; `idleMilliseconds` only
    // names the idle bound in the log.
    ClientLimits(int perClient, int idleMilliseconds);

    // Counts a connection from `address` whose request is still to be read; false, and not
    // counted, when that address already has `perClient` such connections.
    bool Admit(std::uint32_t address);
    // The connection Admit counted has its request, or is gone.
    void Release(std::uint32_t address);

    enum class TurnedAway { kOverLimit, kIdle };
    // Counts a connection turned away; logs the counts of its address unless a line about
    // that address was logged less than a minute ago.
    void Note(std::uint32_t address, TurnedAway why);
    // Logs the counts not logged yet, when the server stops.
    void Flush();

  private:
    using Clock = std::chrono::steady_clock;
    struct Entry {
        int reading = 0;
        long overLimit = 0;
        long idle = 0;
        bool logged = false;
        Clock::time_point lastLine;
    };
    std::string TakeLine(std::uint32_t address, Entry& entry, Clock::time_point now);
    void SweepLocked(Clock::time_point now, std::vector<std::string>& lines);

    const int m_perClient;
    const int m_idleMilliseconds;
    std::mutex m_lock;
    std::unordered_map<std::uint32_t, Entry> m_clients;
    Clock::time_point m_lastSweep = Clock::now();
};

}  // namespace zn::server
