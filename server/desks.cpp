// The desks that answer requests off the event loop: the change workers and the one reader
// that streams change logs.
#include "server/desks.h"

#include <chrono>

#include "server/reply_codes.h"

namespace zn::server {
namespace {

// Records per page: about 20 KB, a few milliseconds of reading.
constexpr std::size_t kPageRecords = 256;
// How long a page waits for a change in progress to end; a change never waits for a page.
constexpr std::chrono::milliseconds kGiveWay(20);

}  // namespace

LogStreamer::LogStreamer(std::unique_ptr<JournalReader> reader, AdminService& service,
                         PostOutcome post)
    : m_reader(std::move(reader)),
      m_service(service),
      m_post(std::move(post)),
      m_thread([this] { Run(); }) {}

LogStreamer::~LogStreamer() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void LogStreamer::Start(std::uint64_t id, const std::string& group) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_streams[id].group = group;
        m_ready.push_back(id);
    }
    m_wake.notify_one();
}

void LogStreamer::Room(std::uint64_t id) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_streams.count(id) == 0) return;
        m_ready.push_back(id);
    }
    m_wake.notify_one();
}

void LogStreamer::Cancel(std::uint64_t id) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_streams.erase(id);
}

void LogStreamer::Run() {
    for (;;) {
        std::uint64_t id = 0;
        Stream stream;
        {
            std::unique_lock<std::mutex> hold(m_lock);
            m_wake.wait(hold, [this] { return m_stopping || !m_ready.empty(); });
            if (m_stopping) return;
            id = m_ready.front();
            m_ready.pop_front();
            auto found = m_streams.find(id);
            if (found == m_streams.end()) continue;
            stream = found->second;
        }
        const auto until = std::chrono::steady_clock::now() + kGiveWay;
        while (m_service.ChangeInFlight() && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        Outcome outcome;
        outcome.id = id;
        const bool last = Page(stream, outcome);
        {
            std::lock_guard<std::mutex> hold(m_lock);
            auto found = m_streams.find(id);
            if (found == m_streams.end()) continue;  // cancelled meanwhile
            if (last) {
                m_streams.erase(found);
            } else {
                found->second = stream;
            }
        }
        m_post(std::move(outcome));
    }
}

bool LogStreamer::Page(Stream& stream, Outcome& outcome) {
    // Without the end record the client reports a failed answer rather than a short log.
    outcome.kind = Outcome::Kind::kEnd;
    if (!stream.started) {
        stream.started = true;
        if (!m_reader->StartLog(stream.group, stream.cursor)) return true;
    }
    std::vector<std::string> lines;
    if (!m_reader->NextPage(stream.cursor, kPageRecords, lines)) return true;
    for (const std::string& line : lines) outcome.bytes += line + "]*";
    if (stream.cursor.after < stream.cursor.last) {
        outcome.kind = Outcome::Kind::kChunk;
        return false;
    }
    outcome.bytes += std::string(kEndOfDataRecord) + "]";
    return true;
}

}  // namespace zn::server
