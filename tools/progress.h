// A one-line progress display on standard error for work that may take long: what the tool
// is waiting for, how many directory entries and values have arrived, and the time so far.
// Drawn only on a terminal; a pipe or a file gets nothing.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>

namespace zntool {

class Progress {
  public:
    // Does nothing at all unless `enabled` (standard error is a terminal).
    Progress(bool enabled, std::string label);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    bool Enabled() const { return m_enabled; }
    // What is being waited for now ("searching ldap5", "writing").
    void SetPhase(const std::string& phase);
    void AddEntries(std::size_t entries);
    // Items written so far of a known total.
    void SetWritten(std::size_t written, std::size_t total);
    // Erases the line; nothing is drawn after.
    void Finish();

  private:
    void Tick();
    void Draw();

    const bool m_enabled;
    const std::string m_label;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::string m_phase;
    std::size_t m_entries = 0;
    std::size_t m_written = 0;
    std::size_t m_total = 0;
    bool m_finished = false;
    std::chrono::steady_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_lastDrawn;
    std::thread m_ticker;
};

}  // namespace zntool
