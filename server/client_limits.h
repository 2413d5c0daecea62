// What one client address may hold and make the server write: its connections open at once
// (and the log of those turned away, at most one line per client a minute), and the budget
// of refusals recorded per requester.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace zn::server {

class ClientLimits {
  public:
    // `perClient` connections of one address may be open at once; `idleMilliseconds` and
    // `stallMilliseconds` only name the idle bound and the bound for a client that takes
    // none of its answer, in the log. Used by the event loop's thread alone.
    ClientLimits(int perClient, int idleMilliseconds, int stallMilliseconds);

    // Counts a connection from `address`; false, and not counted, when that address already
    // has `perClient` connections open.
    bool Admit(std::uint32_t address);
    // The connection Admit counted is closed.
    void Release(std::uint32_t address);

    enum class TurnedAway { kOverLimit, kIdle, kNotReading };
    // Counts a connection turned away; logs the counts of its address unless a line about
    // that address was logged less than a minute ago.
    void Note(std::uint32_t address, TurnedAway why);
    // Logs the counts held back longer than the interval.
    void Sweep();
    // Logs the counts not logged yet, when the server stops.
    void Flush();

  private:
    using Clock = std::chrono::steady_clock;
    struct Entry {
        int open = 0;
        long overLimit = 0;
        long idle = 0;
        long notReading = 0;
        bool logged = false;
        Clock::time_point lastLine;
    };
    std::string TakeLine(std::uint32_t address, Entry& entry, Clock::time_point now);
    void SweepLocked(Clock::time_point now, std::vector<std::string>& lines);

    const int m_perClient;
    const int m_idleMilliseconds;
    const int m_stallMilliseconds;
    std::mutex m_lock;
    std::unordered_map<std::uint32_t, Entry> m_clients;
    Clock::time_point m_lastSweep = Clock::now();
};

// How much one requester may make the server write for requests that change nothing:
// refusals in the journal and lines in the log. A bucket per requester at each client
// address, and a larger one per address, refilled at a steady rate; what goes over either
// is answered as usual, counted, and left unrecorded, and the count is logged, with the
// groups it concerned, before that requester's next record or within ten seconds.
class WriteBudget {
  public:
    // `what` names the records in the log line; an address gets `perAddress` times a
    // requester's rate and burst.
    WriteBudget(std::string what, double perSecond, double burst, double perAddress);
    // Whether one more record of `requester` from `address` fits. `due` gets the line that
    // reports what went unrecorded before it, when there is one to log first.
    bool Take(std::uint32_t address, const std::string& requester, const std::string& group,
              std::string& due);
    // The lines of counts waiting longer than the interval; every waiting count with `all`.
    std::vector<std::string> DueLines(bool all);

  private:
    using Clock = std::chrono::steady_clock;
    struct Bucket {
        double tokens = 0;
        Clock::time_point last;
    };
    struct Unrecorded {
        std::size_t count = 0;
        std::set<std::string> groups;  // the first few
        Clock::time_point since;
    };
    using Key = std::pair<std::uint32_t, std::string>;
    static bool Fill(Bucket& bucket, bool fresh, double perSecond, double burst,
                     Clock::time_point now);
    std::string Line(const Key& key, Unrecorded& unrecorded);

    const std::string m_what;
    const double m_perSecond;
    const double m_burst;
    const double m_perAddress;
    std::mutex m_lock;
    std::map<Key, Bucket> m_requesters;
    std::map<std::uint32_t, Bucket> m_addresses;
    std::map<Key, Unrecorded> m_unrecorded;
};

}  // namespace zn::server
