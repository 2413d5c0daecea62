// The administration server's event loop: one thread that accepts, reads and writes every
// client connection and every call to a peer, and hands changes and change logs to the
// desks (desks.h).
//
// A hand-written epoll loop rather than a library such as Asio: the server has one kind of
// client connection and one kind of outgoing one, the request's end is judged from the
// raw socket (TCP_INFO, see connection.h), and the loop is a few hundred lines that need
// nothing beyond the C library. The server runs on Linux only.
#include "server/event_loop.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "admin/change_request.h"
#include "server/connection.h"
#include "server/reply_codes.h"
#include "session/format.h"

namespace zn::server {
namespace {

using Clock = std::chrono::steady_clock;

// Threads that check and write changes: one writes at a time (the service's writer lock),
// the others refuse what needs no directory write meanwhile.
constexpr int kChangeWorkers = 4;
// A change log waits for the client while this much of it is still unsent.
constexpr std::size_t kRoomMark = 16 * 1024;
// A status question passed on to another domain's server waits this long for its answer.
constexpr std::chrono::milliseconds kPeerBound(1000);
// A whole answer is written within this bound; a client that takes nothing for the
// request bound is dropped sooner.
constexpr std::chrono::seconds kAnswerBound(60);
// A stopping server gives the answers still being written this long.
constexpr std::chrono::seconds kStopBound(5);
constexpr std::chrono::milliseconds kTick(50);
// How long a kept connection the server lets go reads and drops what its client still sends,
// while the server goes on and while it stops.
constexpr int kRetiringDrain = 1000;
constexpr int kStoppingDrain = 100;

constexpr std::uint64_t kListenTag = 1;
constexpr std::uint64_t kWakeTag = 2;
constexpr std::uint64_t kOutcomeTag = 3;
// Marks the socket towards a peer in the epoll entry of a connection's id.
constexpr std::uint64_t kPeerTag = std::uint64_t(1) << 63;

void CloseQuietly(int socket) {
    if (socket >= 0) close(socket);
}

// What the socket takes of `bytes` without waiting: a reply of a few hundred bytes to a
// connection that has sent only its request always fits; the loop writes any rest.
std::size_t SendAtOnce(int socket, SSL* tls, const std::string& bytes) {
    if (tls != nullptr) {
        std::size_t sent = 0;
        std::size_t moved = 0;
        while (sent < bytes.size() &&
               TlsWrite(tls, bytes.data() + sent, bytes.size() - sent, moved) == TlsIo::kDone) {
            sent += moved;
        }
        return sent;
    }
    for (;;) {
        const ssize_t n = send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) return 0;
    }
}

// The listener's own texts carry no comma, which would end the text for the client.
std::string Refusal(long code, const std::string& text) {
    return "0," + std::to_string(code) + "," + text;
}

}  // namespace

EventLoop::EventLoop(int listening, int wake, AdminService& service, const Config& config,
                     const ServerTls* tls)
    : m_listening(listening),
      m_wake(wake),
      m_service(service),
      m_config(config),
      m_tls(tls),
      m_clients(config.maxConnectionsPerClient, config.idleTimeoutMilliseconds,
                config.requestTimeoutMilliseconds) {}

EventLoop::~EventLoop() {
    for (auto& [id, connection] : m_connections) {
        SSL_free(connection.tls);
        CloseQuietly(connection.socket);
        CloseQuietly(connection.peer.socket);
    }
    CloseQuietly(m_epoll);
    CloseQuietly(m_outcomes);
}

bool EventLoop::Prepare(std::string& error) {
    m_epoll = epoll_create1(EPOLL_CLOEXEC);
    m_outcomes = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_epoll < 0 || m_outcomes < 0) {
        error = std::string("epoll: ") + std::strerror(errno);
        return false;
    }
    Watch(m_listening, kListenTag, EPOLLIN, EPOLL_CTL_ADD);
    Watch(m_wake, kWakeTag, EPOLLIN, EPOLL_CTL_ADD);
    Watch(m_outcomes, kOutcomeTag, EPOLLIN, EPOLL_CTL_ADD);
    m_questions = JournalReader::Open(m_config.journalPath, error);
    std::unique_ptr<JournalReader> logs = JournalReader::Open(m_config.journalPath, error);
    if (!m_questions || !logs) return false;
    PostOutcome post = [this](Outcome outcome) { Post(std::move(outcome)); };
    m_streamer = std::make_unique<LogStreamer>(std::move(logs), m_service, post);
    for (int i = 0; i < kChangeWorkers; ++i) {
        m_threads.emplace_back([this] {
            std::function<void()> job;
            while (m_changes.Pop(job)) job();
        });
    }
    ResolvePeers();
    return true;
}

// Looked up once, at the start: a lookup that hangs would hold the loop.
void EventLoop::ResolvePeers() {
    for (const Peer& peer : m_config.peers) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (getaddrinfo(peer.host.c_str(), std::to_string(peer.port).c_str(), &hints, &found) !=
                0 ||
            found == nullptr) {
            Log("the peer " + peer.host + " cannot be looked up; questions for it are answered " +
                std::to_string(kPeerUnreachableCode));
            continue;
        }
        sockaddr_in address{};
        std::memcpy(&address, found->ai_addr, sizeof address);
        freeaddrinfo(found);
        m_peerAddresses[peer.host + ":" + std::to_string(peer.port)] = address;
    }
}

void EventLoop::Watch(int socket, std::uint64_t tag, std::uint32_t events, int op) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = tag;
    epoll_ctl(m_epoll, op, socket, &event);
}

void EventLoop::Forget(Connection& c) {
    if (c.registered) epoll_ctl(m_epoll, EPOLL_CTL_DEL, c.socket, nullptr);
    c.registered = false;
    c.watched = 0;
}

void EventLoop::Interest(std::uint64_t id, Connection& c, std::uint32_t events) {
    if (c.watched == events) return;
    Watch(c.socket, id, events, c.registered ? EPOLL_CTL_MOD : EPOLL_CTL_ADD);
    c.watched = events;
    c.registered = true;
}

// Called by the desks' threads.
void EventLoop::Post(Outcome outcome) {
    {
        std::lock_guard<std::mutex> hold(m_outcomeLock);
        m_posted.push_back(std::move(outcome));
    }
    std::uint64_t one = 1;
    ssize_t ignored = write(m_outcomes, &one, sizeof one);
    (void)ignored;
}

bool EventLoop::Run(std::string& error) {
    if (!Prepare(error)) return false;
    Clock::time_point lastTick = Clock::now();
    Clock::time_point lastSweep = lastTick;
    Clock::time_point stopBy;
    epoll_event events[256];
    while (!m_stopping || !m_connections.empty()) {
        const int count = epoll_wait(m_epoll, events, 256, static_cast<int>(kTick.count()));
        for (int i = 0; i < count; ++i) {
            const std::uint64_t tag = events[i].data.u64;
            if (tag == kListenTag) {
                Accept();
            } else if (tag == kWakeTag) {
                char scrap[16];
                while (read(m_wake, scrap, sizeof scrap) > 0) {
                }
                if (!m_stopping) {
                    m_stopping = true;
                    stopBy = Clock::now() + kStopBound;
                    SetAccepting(false);
                    // Requests not read yet are not taken; the changes in hand finish.
                    std::vector<std::uint64_t> unread;
                    for (auto& [id, c] : m_connections) {
                        if (c.stage == Connection::Stage::kReading) unread.push_back(id);
                    }
                    // A request on its way to a kept connection is dropped on arrival,
                    // briefly: the stop waits for the draining connections.
                    for (std::uint64_t id : unread) Retire(id, kStoppingDrain);
                }
            } else if (tag == kOutcomeTag) {
                std::uint64_t ignored = 0;
                ssize_t got = read(m_outcomes, &ignored, sizeof ignored);
                (void)got;
                std::vector<Outcome> posted;
                {
                    std::lock_guard<std::mutex> hold(m_outcomeLock);
                    posted.swap(m_posted);
                }
                for (Outcome& outcome : posted) Deliver(outcome);
            } else {
                const std::uint64_t id = tag & ~kPeerTag;
                auto found = m_connections.find(id);
                if (found == m_connections.end()) continue;
                Connection& c = found->second;
                // A client gone while its answer is being made: nobody is left to answer,
                // and the hang-up would be reported again at every turn.
                const bool gone =
                    (events[i].events & (EPOLLERR | EPOLLHUP)) != 0 &&
                    (c.stage == Connection::Stage::kAnswering ||
                     (c.stage == Connection::Stage::kWriting && c.sent == c.out.size()));
                if ((tag & kPeerTag) != 0) {
                    PeerReady(id, c);
                } else if (gone) {
                    Close(id);
                } else if (c.stage == Connection::Stage::kReading) {
                    Read(id, c);
                } else if (c.stage == Connection::Stage::kWriting) {
                    Flush(id, c);
                } else if (c.stage == Connection::Stage::kDraining) {
                    Drain(id, c);
                }
            }
        }
        // Kept connections whose next request had arrived inside their TLS session already.
        std::vector<std::uint64_t> ready;
        ready.swap(m_readSoon);
        for (std::uint64_t id : ready) {
            auto found = m_connections.find(id);
            if (found != m_connections.end() &&
                found->second.stage == Connection::Stage::kReading) {
                Read(id, found->second);
            }
        }
        const Clock::time_point now = Clock::now();
        if (now - lastTick >= kTick) {
            lastTick = now;
            Expire(now);
            if (!m_stopping && !m_accepting && now >= m_pausedUntil &&
                (m_connections.size() < static_cast<std::size_t>(m_config.maxConnections) ||
                 RetireIdle(std::nullopt))) {
                SetAccepting(true);
            }
        }
        if (now - lastSweep >= std::chrono::seconds(1)) {
            lastSweep = now;
            m_clients.Sweep();
            m_service.FlushBudgets(false);
        }
        // Answers that the clients do not take are given up at the stop bound; a change
        // still being written is waited for.
        if (m_stopping && now >= stopBy) {
            std::vector<std::uint64_t> stalled;
            for (auto& [id, c] : m_connections) {
                if (c.stage != Connection::Stage::kAnswering || c.stream || c.peer.socket >= 0) {
                    stalled.push_back(id);
                }
            }
            for (std::uint64_t id : stalled) Close(id);
        }
    }
    m_changes.Close();
    for (std::thread& thread : m_threads) thread.join();
    m_streamer.reset();
    m_clients.Flush();
    m_service.FlushBudgets(true);
    return true;
}

void EventLoop::SetAccepting(bool accepting) {
    if (accepting == m_accepting) return;
    m_accepting = accepting;
    // Connections beyond the bound wait in the listening socket's queue.
    Watch(m_listening, kListenTag, accepting ? std::uint32_t(EPOLLIN) : 0u, EPOLL_CTL_MOD);
}

void EventLoop::Accept() {
    while (m_accepting) {
        // Kept connections that wait for nothing give way to new ones.
        if (m_connections.size() >= static_cast<std::size_t>(m_config.maxConnections) &&
            !RetireIdle(std::nullopt)) {
            SetAccepting(false);
            return;
        }
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        const int socket = accept4(m_listening, reinterpret_cast<sockaddr*>(&peer), &size,
                                   SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (socket < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO) continue;
            // Out of descriptors or memory: accepting resumes after a pause.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                m_pausedUntil = Clock::now() + std::chrono::milliseconds(10);
                SetAccepting(false);
            }
            return;
        }
        char text[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
        SSL* tls = nullptr;
        if (m_tls != nullptr && (tls = m_tls->Accept(socket)) == nullptr) {
            close(socket);
            continue;
        }
        if (tls != nullptr) {
            // The session ticket and the answer are separate writes: the answer must not wait
            // for the client to acknowledge the ticket.
            int on = 1;
            setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        }
        const std::uint64_t id = m_nextId++;
        Connection& c = m_connections[id];
        c.socket = socket;
        c.tls = tls;
        c.client = Client{std::string(text) + ":" + std::to_string(ntohs(peer.sin_port)),
                          ntohl(peer.sin_addr.s_addr)};
        c.opened = Clock::now();
        c.deadline =
            c.opened + std::chrono::milliseconds(std::min(m_config.idleTimeoutMilliseconds,
                                                          m_config.requestTimeoutMilliseconds));
        // A client's kept connections that wait for nothing make room for its new ones: a
        // program keeps a few for its next changes, and they must not shut out its others.
        bool counted = m_clients.Admit(c.client.address);
        if (!counted && RetireIdle(c.client.address)) {
            counted = m_clients.Admit(c.client.address);
        }
        c.counted = counted;
        // The request usually arrives with the connection: read it before the loop is told
        // to watch the socket at all, which most connections never need. (A TLS client's
        // hello arrives with it, and the server's answer to it goes out at once.)
        Read(id, c);
        if (!counted) {
            // Over the limit nothing is waited for: a request that has already arrived whole
            // is answered as usual, anything else refused.
            auto still = m_connections.find(id);
            if (still != m_connections.end() &&
                still->second.stage == Connection::Stage::kReading) {
                Connection& over = still->second;
                m_clients.Note(over.client.address, ClientLimits::TurnedAway::kOverLimit);
                const std::string address = Network{over.client.address, 32}.Text();
                Answer(id, over,
                       Refusal(kTooManyConnectionsCode,
                               FormatText(kTooManyConnectionsFormat, address.c_str())),
                       true);
            }
        }
    }
}

void EventLoop::Read(std::uint64_t id, Connection& c) {
    char buffer[kMaxRequestLength + kMaxProofLine + 2];
    for (;;) {
        std::size_t got = 0;
        const TlsIo io = Receive(c, buffer, sizeof buffer, got);
        // The first bytes of a handshake count as the request's: from then on the whole
        // exchange, handshake included, has the request bound. On a kept connection the
        // request's own first bytes start it.
        if (!c.begun && (got > 0 || (c.tls != nullptr && !c.kept &&
                                     BIO_number_read(SSL_get_rbio(c.tls)) > 0))) {
            c.begun = true;
            if (c.kept) c.opened = Clock::now();
            c.deadline = c.opened + std::chrono::milliseconds(m_config.requestTimeoutMilliseconds);
        }
        if (io == TlsIo::kWantRead || io == TlsIo::kWantWrite) {
            c.wantsWrite = io == TlsIo::kWantWrite;
            Interest(id, c, c.wantsWrite ? EPOLLOUT : EPOLLIN);
            return;
        }
        if (io != TlsIo::kDone) {
            // Gone before a byte arrived, or broken: nobody to answer.
            if (io == TlsIo::kBroken || c.in.empty()) {
                Close(id);
            } else {
                Dispatch(id, c);
            }
            return;
        }
        c.in.append(buffer, got);
        switch (JudgeArrival(c)) {
            case Arrival::kMore:
                break;
            case Arrival::kTooLong:
                c.tooLong = true;
                // Unread bytes make close() reset the connection, and a reset may destroy
                // the answer before the client reads it.
                c.drainMilliseconds = 1000;
                Dispatch(id, c);
                return;
            case Arrival::kWhole:
                Dispatch(id, c);
                return;
        }
    }
}

TlsIo EventLoop::Receive(Connection& c, char* buffer, std::size_t capacity, std::size_t& got) {
    if (c.tls != nullptr) return TlsRead(c.tls, buffer, capacity, got);
    got = 0;
    for (;;) {
        const ssize_t n = recv(c.socket, buffer, capacity, 0);
        if (n > 0) {
            got = static_cast<std::size_t>(n);
            return TlsIo::kDone;
        }
        if (n == 0) return TlsIo::kClosed;
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? TlsIo::kWantRead : TlsIo::kBroken;
    }
}

TlsIo EventLoop::Transmit(Connection& c, const char* data, std::size_t size, std::size_t& sent) {
    if (c.tls != nullptr) return TlsWrite(c.tls, data, size, sent);
    sent = 0;
    for (;;) {
        const ssize_t n = send(c.socket, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent = static_cast<std::size_t>(n);
            return TlsIo::kDone;
        }
        if (n < 0 && errno == EINTR) continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) ? TlsIo::kWantWrite
                                                                  : TlsIo::kBroken;
    }
}

Arrival EventLoop::JudgeArrival(Connection& c) {
    if (c.tls == nullptr) return Judge(c.socket, c.in);
    // The rest of a record is already here, and is read before anything is judged.
    if (SSL_pending(c.tls) > 0) return Arrival::kMore;
    if (!c.proofRead) {
        if (!TakeProof(c.in, c.proof)) return Arrival::kMore;
        c.proofRead = true;
        if (c.proof.malformed) return Arrival::kWhole;
    }
    return JudgeRecords(c.in);
}

void EventLoop::Dispatch(std::uint64_t id, Connection& c) {
    c.stage = Connection::Stage::kAnswering;
    ParsedRequest parsed;
    switch (AdminService::DeskFor(c.in, c.tooLong, parsed)) {
        case AdminService::Desk::kQuestion: {
            const Peer* peer = nullptr;
            const std::string reply = m_service.AnswerQuestion(parsed, *m_questions, peer);
            if (peer != nullptr) {
                Interest(id, c, 0);
                CallPeer(id, c, peer, parsed.fields.number);
            } else {
                Answer(id, c, reply, true);
            }
            break;
        }
        case AdminService::Desk::kChangeLog:
            Interest(id, c, 0);
            c.stream = true;
            c.stage = Connection::Stage::kWriting;
            c.lastProgress = Clock::now();
            m_streamer->Start(id, parsed.fields.groupName);
            break;
        case AdminService::Desk::kChange:
            // The worker writes the reply itself, so that it does not wait for the loop's next
            // turn; until the outcome comes back the loop leaves the socket alone (nothing
            // watched, nothing that closes a connection whose change is in hand).
            Forget(c);
            // The TLS session goes along with the socket: the loop does not touch either
            // until the outcome is back. The answer on a connection to be kept is written by
            // the loop, which keeps it in the same turn: the client must not have its answer,
            // and send the next request or open another connection, while the server still
            // counts the connection as busy.
            m_changes.Push([this, id, socket = c.socket, tls = c.tls, bytes = c.in,
                            tooLong = c.tooLong, client = c.client, proof = c.proof,
                            write = !MayKeep(c)] {
                Outcome outcome;
                outcome.id = id;
                outcome.bytes = m_service.Answer(bytes, tooLong, client, proof);
                if (write) outcome.sent = SendAtOnce(socket, tls, outcome.bytes);
                Post(std::move(outcome));
            });
            break;
    }
}

void EventLoop::Deliver(Outcome& outcome) {
    auto found = m_connections.find(outcome.id);
    if (found == m_connections.end()) return;
    Connection& c = found->second;
    switch (outcome.kind) {
        case Outcome::Kind::kChunk:
            c.waitsForRoom = true;
            Answer(outcome.id, c, outcome.bytes, false);
            return;
        case Outcome::Kind::kEnd:
        case Outcome::Kind::kReply:
            // What the worker could not write, if anything, and then the close.
            Answer(outcome.id, c, outcome.bytes.substr(outcome.sent), true);
            return;
    }
}

void EventLoop::Answer(std::uint64_t id, Connection& c, const std::string& bytes, bool finished) {
    if (c.stage != Connection::Stage::kWriting) {
        c.stage = Connection::Stage::kWriting;
        c.lastProgress = Clock::now();
    }
    if (c.sent == c.out.size()) {
        c.out.clear();
        c.sent = 0;
        c.lastProgress = Clock::now();
    }
    c.out += bytes;
    c.finished = finished;
    Flush(id, c);
}

void EventLoop::Flush(std::uint64_t id, Connection& c) {
    c.wantsWrite = true;
    while (c.sent < c.out.size()) {
        std::size_t n = 0;
        const TlsIo io = Transmit(c, c.out.data() + c.sent, c.out.size() - c.sent, n);
        if (io == TlsIo::kWantRead || io == TlsIo::kWantWrite) {
            // A TLS session may have to read (the rest of a handshake) before it writes.
            c.wantsWrite = io == TlsIo::kWantWrite;
            break;
        }
        if (io != TlsIo::kDone) {
            Close(id);
            return;
        }
        c.sent += n;
        c.lastProgress = Clock::now();
    }
    const std::size_t unsent = c.out.size() - c.sent;
    if (unsent == 0 && c.finished) {
        Finish(id, c);
        return;
    }
    if (c.sent > kRoomMark) {
        c.out.erase(0, c.sent);
        c.sent = 0;
    }
    Interest(id, c,
             unsent == 0    ? 0u
             : c.wantsWrite ? std::uint32_t(EPOLLOUT)
                            : std::uint32_t(EPOLLIN));
    if (c.stream && c.waitsForRoom && unsent < kRoomMark) {
        c.waitsForRoom = false;
        m_streamer->Room(id);
    }
}

// The answer is out: the client reads to the close. What it still sends is read first, so
// that the close does not reset the connection under the answer.
void EventLoop::Finish(std::uint64_t id, Connection& c) {
    if (KeepForNext(id, c)) return;
    if (c.tls != nullptr && SSL_is_init_finished(c.tls)) {
        // The close_notify, if the socket takes it now; the client has its answer anyway.
        ERR_clear_error();
        SSL_shutdown(c.tls);
    }
    if (c.drainMilliseconds <= 0) {
        char scrap[4096];
        while (recv(c.socket, scrap, sizeof scrap, MSG_DONTWAIT) > 0) {
        }
        Close(id);
        return;
    }
    shutdown(c.socket, SHUT_WR);
    c.stage = Connection::Stage::kDraining;
    c.deadline = Clock::now() + std::chrono::milliseconds(c.drainMilliseconds);
    Interest(id, c, EPOLLIN);
    Drain(id, c);
}

void EventLoop::Drain(std::uint64_t id, Connection& c) {
    char scrap[4096];
    for (;;) {
        const ssize_t got = recv(c.socket, scrap, sizeof scrap, MSG_DONTWAIT);
        if (got > 0) continue;
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        Close(id);
        return;
    }
}

bool EventLoop::MayKeep(const Connection& c) const {
    // An oversized request, or one over the client's limit, ends its connection as before;
    // so does everything once the server stops.
    return c.tls != nullptr && !m_stopping && m_config.keepAliveMilliseconds > 0 && !c.tooLong &&
           c.counted && c.drainMilliseconds <= 0 && SSL_is_init_finished(c.tls) &&
           ServerTls::KeepsConnection(c.tls);
}

bool EventLoop::KeepForNext(std::uint64_t id, Connection& c) {
    if (!MayKeep(c)) return false;
    c.stage = Connection::Stage::kReading;
    c.in.clear();
    c.out.clear();
    c.sent = 0;
    c.finished = false;
    c.stream = false;
    c.waitsForRoom = false;
    c.begun = false;
    c.proofRead = false;
    c.proof = Proof();
    c.peer = PeerCall();
    c.kept = true;
    c.opened = Clock::now();
    c.deadline = c.opened + std::chrono::milliseconds(m_config.keepAliveMilliseconds);
    Interest(id, c, EPOLLIN);
    // Bytes of the next request inside the TLS session do not make the socket readable; they
    // are read at the end of this turn, not here, where a client that sends many requests
    // at once would have them answered one inside another.
    if (SSL_has_pending(c.tls) == 1) m_readSoon.push_back(id);
    return true;
}

void EventLoop::Retire(std::uint64_t id, int drainMilliseconds) {
    auto found = m_connections.find(id);
    if (found == m_connections.end()) return;
    Connection& c = found->second;
    if (c.tls == nullptr || !c.kept || c.begun || !c.in.empty() ||
        c.stage != Connection::Stage::kReading || !SSL_is_init_finished(c.tls)) {
        Close(id);
        return;
    }
    ERR_clear_error();
    SSL_shutdown(c.tls);
    if (drainMilliseconds <= 0) {
        Close(id);
        return;
    }
    // A request the client sent meanwhile is read and dropped rather than left unread,
    // which would make the close a reset: the client may have taken the close_notify for
    // what it is, and sends its request again elsewhere. The room is free at once.
    if (c.counted) m_clients.Release(c.client.address);
    c.counted = false;
    shutdown(c.socket, SHUT_WR);
    c.stage = Connection::Stage::kDraining;
    c.deadline = Clock::now() + std::chrono::milliseconds(drainMilliseconds);
    Interest(id, c, EPOLLIN);
    Drain(id, c);
}

bool EventLoop::RetireIdle(std::optional<std::uint32_t> address) {
    for (auto& [id, c] : m_connections) {
        if (c.kept && !c.begun && c.stage == Connection::Stage::kReading && c.in.empty() &&
            (!address || (c.counted && c.client.address == *address))) {
            // The server's own bound needs a descriptor now; an address's count is freed
            // by the retiring alone.
            Retire(id, address.has_value() ? kRetiringDrain : 0);
            return true;
        }
    }
    return false;
}

void EventLoop::Close(std::uint64_t id) {
    auto found = m_connections.find(id);
    if (found == m_connections.end()) return;
    Connection& c = found->second;
    if (c.stream) m_streamer->Cancel(id);
    if (c.counted) m_clients.Release(c.client.address);
    SSL_free(c.tls);
    CloseQuietly(c.peer.socket);
    CloseQuietly(c.socket);
    m_connections.erase(found);
}

void EventLoop::CallPeer(std::uint64_t id, Connection& c, const Peer* peer, long number) {
    PeerCall& call = c.peer;
    call.peer = peer;
    call.number = number;
    call.deadline = Clock::now() + kPeerBound;
    call.request = "00002,GET,CHANGE," + std::to_string(number);
    auto address = m_peerAddresses.find(peer->host + ":" + std::to_string(peer->port));
    if (address == m_peerAddresses.end()) {
        EndPeerCall(id, c);
        return;
    }
    call.socket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (call.socket < 0 ||
        (connect(call.socket, reinterpret_cast<const sockaddr*>(&address->second),
                 sizeof address->second) != 0 &&
         errno != EINPROGRESS)) {
        EndPeerCall(id, c);
        return;
    }
    Watch(call.socket, id | kPeerTag, EPOLLOUT, EPOLL_CTL_ADD);
}

void EventLoop::PeerReady(std::uint64_t id, Connection& c) {
    PeerCall& call = c.peer;
    if (call.socket < 0) return;  // ended earlier in the same turn
    if (!call.sent) {
        int error = 0;
        socklen_t size = sizeof error;
        if (getsockopt(call.socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0 ||
            send(call.socket, call.request.data(), call.request.size(), MSG_NOSIGNAL) !=
                static_cast<ssize_t>(call.request.size())) {
            EndPeerCall(id, c);
            return;
        }
        call.sent = true;
        Watch(call.socket, id | kPeerTag, EPOLLIN, EPOLL_CTL_MOD);
        return;
    }
    // The library reads one reply of at most 1024 bytes, and so does this call.
    char buffer[1024];
    for (;;) {
        const ssize_t got = recv(call.socket, buffer, sizeof buffer - call.answer.size(), 0);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (got > 0) call.answer.append(buffer, static_cast<std::size_t>(got));
        if (got <= 0 || call.answer.size() >= sizeof buffer) break;
    }
    EndPeerCall(id, c);
}

void EventLoop::EndPeerCall(std::uint64_t id, Connection& c) {
    PeerCall& call = c.peer;
    if (call.socket >= 0) {
        close(call.socket);
        call.socket = -1;
    }
    Answer(id, c, AdminService::PeerReply(*call.peer, call.number, call.answer), true);
}

void EventLoop::Expire(Clock::time_point now) {
    std::vector<std::uint64_t> expired;
    for (auto& [id, c] : m_connections) {
        bool due = c.peer.socket >= 0 && now >= c.peer.deadline;
        switch (c.stage) {
            case Connection::Stage::kReading:
            case Connection::Stage::kDraining:
                due = due || now >= c.deadline;
                break;
            case Connection::Stage::kWriting:
                due = due || now - c.opened >= kAnswerBound ||
                      (c.sent < c.out.size() &&
                       now - c.lastProgress >=
                           std::chrono::milliseconds(m_config.requestTimeoutMilliseconds));
                break;
            case Connection::Stage::kAnswering:
                break;
        }
        if (due) expired.push_back(id);
    }
    for (std::uint64_t id : expired) {
        auto found = m_connections.find(id);
        if (found == m_connections.end()) continue;
        Connection& c = found->second;
        if (c.peer.socket >= 0 && now >= c.peer.deadline) {
            EndPeerCall(id, c);
        } else if (c.stage == Connection::Stage::kReading && c.in.empty() && c.kept) {
            // A kept connection whose client sent nothing more: its keeping ends.
            Retire(id, kRetiringDrain);
        } else if (c.stage == Connection::Stage::kReading && c.in.empty()) {
            // Silent so far: the same answer as a request that did not all arrive in time;
            // a TLS client still in its handshake cannot be answered at all.
            m_clients.Note(c.client.address, ClientLimits::TurnedAway::kIdle);
            if (c.tls != nullptr && !SSL_is_init_finished(c.tls)) {
                Close(id);
                continue;
            }
            Answer(id, c, Refusal(kIncompleteRequestCode, kIncompleteRequestText), true);
        } else if (c.stage == Connection::Stage::kReading) {
            // The bound: a whole layout that ended on a segment boundary was whole after
            // all; a part goes to the parser, which calls it incomplete.
            Dispatch(id, c);
        } else {
            if (c.stage == Connection::Stage::kWriting) {
                m_clients.Note(c.client.address, ClientLimits::TurnedAway::kNotReading);
            }
            Close(id);
        }
    }
}

}  // namespace zn::server
