// The progress line: redrawn on each step and every quarter second while a step lasts.
#include "tools/progress.h"

#include <cstdio>

namespace zntool {
namespace {

constexpr auto kTick = std::chrono::milliseconds(250);
// Writing is redrawn at most this often, so that drawing costs nothing beside the output.
constexpr auto kWriteRedraw = std::chrono::milliseconds(100);

}  // namespace

Progress::Progress(bool enabled, std::string label)
    : m_enabled(enabled), m_label(std::move(label)), m_started(std::chrono::steady_clock::now()) {
    if (!m_enabled) return;
    Draw();
    m_ticker = std::thread([this] { Tick(); });
}

Progress::~Progress() {
    Finish();
}

void Progress::SetPhase(const std::string& phase) {
    if (!m_enabled) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_phase = phase;
    Draw();
}

void Progress::AddEntries(std::size_t entries) {
    if (!m_enabled) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries += entries;
    Draw();
}

void Progress::SetWritten(std::size_t written, std::size_t total) {
    if (!m_enabled) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_written = written;
    m_total = total;
    if (written == total || std::chrono::steady_clock::now() - m_lastDrawn >= kWriteRedraw) {
        Draw();
    }
}

void Progress::Finish() {
    if (!m_enabled) return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_finished) return;
        m_finished = true;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
    m_wake.notify_all();
    if (m_ticker.joinable()) m_ticker.join();
}

void Progress::Tick() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_wake.wait_for(lock, kTick, [this] { return m_finished; })) {
        Draw();
    }
}

// Called with the mutex held.
void Progress::Draw() {
    if (m_finished) return;
    const auto now = std::chrono::steady_clock::now();
    m_lastDrawn = now;
    const double seconds = std::chrono::duration<double>(now - m_started).count();
    std::string line = "\r\033[K" + m_label + ": ";
    if (m_total > 0) {
        line += "writing " + std::to_string(m_written) + " of " + std::to_string(m_total);
    } else {
        line += m_phase.empty() ? std::string("starting") : m_phase;
        line += ", " + std::to_string(m_entries) + " entries";
    }
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, ", %.1f s", seconds);
    line += elapsed;
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace zntool
