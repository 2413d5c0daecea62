// The administration server's event loop: one thread that accepts, reads and writes every
// client connection and every call to a peer, and hands changes and change logs to the
// desks (desks.h). Used by the listener alone.
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "server/client_limits.h"
#include "server/config.h"
#include "server/connection.h"
#include "server/desks.h"
#include "server/journal_reader.h"
#include "server/requester_proof.h"
#include "server/service.h"
#include "server/tls.h"

namespace zn::server {

class EventLoop {
  public:
    // Serves the `listening` socket until `wake` is readable (Listener::Stop); speaks TLS on
    // every connection when `tls` is given.
    EventLoop(int listening, int wake, AdminService& service, const Config& config,
              const ServerTls* tls = nullptr);
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // False, with `error`, when the journal cannot be read or the loop cannot be made.
    bool Run(std::string& error);

  private:
    using Clock = std::chrono::steady_clock;
    // The outgoing exchange of a status question passed on to a peer.
    struct PeerCall {
        int socket = -1;
        const Peer* peer = nullptr;
        long number = 0;
        std::string request;
        std::string answer;
        bool sent = false;
        Clock::time_point deadline;
    };

    struct Connection {
        enum class Stage { kReading, kAnswering, kWriting, kDraining };
        int socket = -1;
        Client client;
        bool counted = false;  // in the per-address count
        Stage stage = Stage::kReading;
        std::string in;
        bool tooLong = false;
        std::string out;
        std::size_t sent = 0;
        bool finished = false;      // the whole answer is in `out`
        bool stream = false;        // a change log, arriving page by page
        bool waitsForRoom = false;  // its streamer waits until the client takes more
        int drainMilliseconds = 0;
        std::uint32_t watched = 0;  // what the loop waits for on `socket`
        bool registered = false;    // `socket` is in the loop's epoll set
        Clock::time_point opened;
        Clock::time_point deadline;      // reading, draining: the stage's bound
        Clock::time_point lastProgress;  // writing: when the client last took bytes
        PeerCall peer;
        // TLS: the session (null on a plain server), whether it waits to write before it can
        // go on, whether any of its bytes have arrived yet, and what came before the request.
        SSL* tls = nullptr;
        bool wantsWrite = false;
        bool begun = false;
        bool proofRead = false;
        Proof proof;
        // Kept after an answer for the client's next request (TLS only); from then on `opened`
        // is when that request's first bytes came.
        bool kept = false;
    };

    bool Prepare(std::string& error);
    void ResolvePeers();
    void Watch(int socket, std::uint64_t tag, std::uint32_t events, int op);
    // The loop stops watching a client's socket altogether.
    void Forget(Connection& c);
    // What the loop waits for on a client's socket, changed only when it differs.
    void Interest(std::uint64_t id, Connection& c, std::uint32_t events);
    void Post(Outcome outcome);
    void Accept();
    void Read(std::uint64_t id, Connection& c);
    // One read or write of the connection, through its TLS session when it has one:
    // kDone with the bytes moved, or what it waits for.
    TlsIo Receive(Connection& c, char* buffer, std::size_t capacity, std::size_t& got);
    TlsIo Transmit(Connection& c, const char* data, std::size_t size, std::size_t& sent);
    // What the read so far makes of the request: on TLS the record that completes its
    // layout ends it.
    Arrival JudgeArrival(Connection& c);
    void Dispatch(std::uint64_t id, Connection& c);
    void Deliver(Outcome& outcome);
    void Answer(std::uint64_t id, Connection& c, const std::string& bytes, bool finished);
    void Flush(std::uint64_t id, Connection& c);
    void Finish(std::uint64_t id, Connection& c);
    void Drain(std::uint64_t id, Connection& c);
    void Close(std::uint64_t id);
    // Whether the connection waits for its client's next request after this answer: both
    // ends agreed to that in the handshake, and nothing about the request ends it.
    bool MayKeep(const Connection& c) const;
    // After the answer: the connection waits for the client's next request when MayKeep;
    // false when it is to be closed.
    bool KeepForNext(std::uint64_t id, Connection& c);
    // Closes a kept connection that waits for nothing, saying so first (close_notify), which
    // tells its client that no request of its was taken; then, for up to `drainMilliseconds`,
    // what the client still sends is read and dropped until it closes too. Any other
    // connection is closed.
    void Retire(std::uint64_t id, int drainMilliseconds);
    // Retires one kept, idle connection of `address` (of any address when none is given);
    // false when there is none.
    bool RetireIdle(std::optional<std::uint32_t> address);
    void CallPeer(std::uint64_t id, Connection& c, const Peer* peer, long number);
    void PeerReady(std::uint64_t id, Connection& c);
    void EndPeerCall(std::uint64_t id, Connection& c);
    void Expire(Clock::time_point now);
    void SetAccepting(bool accepting);

    const int m_listening;
    const int m_wake;
    AdminService& m_service;
    const Config& m_config;
    const ServerTls* m_tls;
    ClientLimits m_clients;
    int m_epoll = -1;
    int m_outcomes = -1;
    std::uint64_t m_nextId = 16;  // below are the loop's own descriptors' tags
    std::unordered_map<std::uint64_t, Connection> m_connections;
    std::vector<std::uint64_t> m_readSoon;  // see KeepForNext
    std::map<std::string, sockaddr_in> m_peerAddresses;
    bool m_accepting = true;
    bool m_stopping = false;
    Clock::time_point m_pausedUntil;

    std::mutex m_outcomeLock;
    std::vector<Outcome> m_posted;

    JobQueue<std::function<void()>> m_changes;
    // Status questions are answered by the loop itself: one read of one row by its key, on
    // a connection of their own that never waits for the writer, costs less than handing
    // the question to another thread and its answer back.
    std::unique_ptr<JournalReader> m_questions;
    std::unique_ptr<LogStreamer> m_streamer;
    std::vector<std::thread> m_threads;
};

}  // namespace zn::server
