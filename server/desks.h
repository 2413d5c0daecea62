// The desks that answer requests off the event loop: the change workers and the one reader
// that streams change logs.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server/journal_reader.h"
#include "server/service.h"

namespace zn::server {

// What a desk hands back to the event loop for connection `id`.
struct Outcome {
    enum class Kind {
        kReply,  // the whole answer
        kChunk,  // part of a change log; more follows once the loop calls Room
        kEnd,    // the rest of a change log, or nothing when it could not be read
    };
    std::uint64_t id = 0;
    Kind kind = Kind::kReply;
    std::string bytes;
    // How much of a reply its change worker has already written to the client.
    std::size_t sent = 0;
};
using PostOutcome = std::function<void(Outcome)>;

// Jobs for a fixed set of threads, taken in order; Close lets the threads finish the queue
// and end.
template <typename Job>
class JobQueue {
  public:
    void Push(Job job) {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_jobs.push_back(std::move(job));
        }
        m_ready.notify_one();
    }
    // False once the queue is closed and empty.
    bool Pop(Job& job) {
        std::unique_lock<std::mutex> hold(m_lock);
        m_ready.wait(hold, [this] { return m_closed || !m_jobs.empty(); });
        if (m_jobs.empty()) return false;
        job = std::move(m_jobs.front());
        m_jobs.pop_front();
        return true;
    }
    void Close() {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_closed = true;
        }
        m_ready.notify_all();
    }

  private:
    std::mutex m_lock;
    std::condition_variable m_ready;
    std::deque<Job> m_jobs;
    bool m_closed = false;
};

// Streams change logs a page at a time, one page at once for every reader together: a log
// read takes at most one thread's worth of the machine however many clients ask, and gives
// way to a change in progress before each page. A client gets its next page only when the
// loop has passed on most of the last one, so a client that does not read holds a bounded
// buffer and no thread.
class LogStreamer {
  public:
    LogStreamer(std::unique_ptr<JournalReader> reader, AdminService& service, PostOutcome post);
    ~LogStreamer();
    LogStreamer(const LogStreamer&) = delete;
    LogStreamer& operator=(const LogStreamer&) = delete;

    void Start(std::uint64_t id, const std::string& group);
    // The loop has room for the next page of `id`.
    void Room(std::uint64_t id);
    // The connection is gone.
    void Cancel(std::uint64_t id);

  private:
    struct Stream {
        std::string group;
        JournalReader::LogCursor cursor;
        bool started = false;
    };
    void Run();
    // The next page of `stream`, ready to post; true when it is the last.
    bool Page(Stream& stream, Outcome& outcome);

    std::unique_ptr<JournalReader> m_reader;
    AdminService& m_service;
    PostOutcome m_post;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::map<std::uint64_t, Stream> m_streams;
    std::deque<std::uint64_t> m_ready;
    bool m_stopping = false;
    std::thread m_thread;
};

}  // namespace zn::server
