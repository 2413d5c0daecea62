// The administration server's TCP side: one request per connection, read as the library
// sends it, one reply, close.
#include "server/listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "admin/change_request.h"
#include "server/reply_codes.h"
#include "session/format.h"

namespace zn::server {
namespace {

void CloseQuietly(int socket) {
    if (socket >= 0) {
        close(socket);
    }
}

// Unread bytes make close() reset the connection, and a reset may destroy the answer
// before the client reads it: what has arrived is read first, for up to `drainMilliseconds`.
void AnswerAndClose(int socket, const std::string& reply, int sendMilliseconds,
                    int drainMilliseconds) {
    if (!reply.empty()) {
        SendAll(socket, reply, sendMilliseconds);
    }
    shutdown(socket, SHUT_WR);
    Drain(socket, drainMilliseconds);
    CloseQuietly(socket);
}

// The listener's own texts carry no comma, which would end the text for the client.
std::string Refusal(long code, const std::string& text) {
    return "0," + std::to_string(code) + "," + text;
}

bool ArrivedWhole(const ReceivedRequest& request) {
    ParsedRequest parsed;
    const ParseOutcome outcome = ParseChangeRequest(request.bytes, parsed);
    return !request.failed && !request.tooLong &&
           (outcome == ParseOutcome::kComplete || outcome == ParseOutcome::kMayContinue);
}

}  // namespace

Listener::~Listener() {
    CloseQuietly(m_socket);
    CloseQuietly(m_wakeRead);
    CloseQuietly(m_wakeWrite);
}

bool Listener::Open(const std::string& address, int port, std::string& error) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    m_wakeRead = pipeEnds[0];
    m_wakeWrite = pipeEnds[1];
    m_socket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_socket < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    int on = 1;
    setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) {
        error = "not an IPv4 address: " + address;
        return false;
    }
    if (bind(m_socket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        listen(m_socket, 128) != 0) {
        error = "cannot listen on " + address + ":" + std::to_string(port) + ": " +
                std::strerror(errno);
        return false;
    }
    socklen_t size = sizeof local;
    getsockname(m_socket, reinterpret_cast<sockaddr*>(&local), &size);
    m_port = ntohs(local.sin_port);
    return true;
}

void Listener::Stop() {
    char wake = 1;
    ssize_t ignored = write(m_wakeWrite, &wake, 1);
    (void)ignored;
}

void Listener::Serve(AdminService& service, const Config& config) {
    const ReadLimits limits{config.requestTimeoutMilliseconds, config.idleTimeoutMilliseconds};
    ClientLimits clients(config.maxConnectionsPerClient, config.idleTimeoutMilliseconds);
    // Each worker takes its connections itself: the kernel hands a new connection straight
    // to a waiting accept, with no thread to start and no second thread to wake per request.
    std::vector<std::thread> workers;
    for (int i = 0; i < config.maxConnections; ++i) {
        workers.emplace_back(
            [this, &service, &clients, limits] { Work(service, clients, limits); });
    }
    pollfd wake{m_wakeRead, POLLIN, 0};
    while (poll(&wake, 1, -1) < 0 && errno == EINTR) {
    }
    // Ends every accept that waits; a worker in a request finishes it first.
    shutdown(m_socket, SHUT_RDWR);
    for (std::thread& worker : workers) {
        worker.join();
    }
    clients.Flush();
}

void Listener::Work(AdminService& service, ClientLimits& clients, const ReadLimits& limits) {
    for (;;) {
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        int connection = accept4(m_socket, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC);
        if (connection < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO) continue;
            // Out of descriptors or memory: the worker carries on after a pause.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            return;  // the listening socket was shut down: stopping
        }
        char text[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
        Client client{std::string(text) + ":" + std::to_string(ntohs(peer.sin_port)),
                      ntohl(peer.sin_addr.s_addr)};
        Handle(connection, client, service, clients, limits);
    }
}

void Listener::Handle(int socket, const Client& client, AdminService& service,
                      ClientLimits& clients, const ReadLimits& limits) {
    const int sendBound = limits.requestTimeoutMilliseconds;
    ReceivedRequest request;
    if (clients.Admit(client.address)) {
        request = ReadRequest(socket, limits);
        clients.Release(client.address);
    } else {
        // Over the limit nothing is waited for: a request that has already arrived whole
        // is answered as usual, anything else refused.
        request = ReadRequest(socket, ReadLimits{0, 0});
        if (!ArrivedWhole(request)) {
            clients.Note(client.address, ClientLimits::TurnedAway::kOverLimit);
            const std::string address = Network{client.address, 32}.Text();
            AnswerAndClose(socket,
                           Refusal(kTooManyConnectionsCode,
                                   FormatText(kTooManyConnectionsFormat, address.c_str())),
                           sendBound, 0);
            return;
        }
    }
    if (request.failed) {
        CloseQuietly(socket);
        return;
    }
    // Silent so far: the same answer as a request that did not all arrive in time.
    if (request.idle) {
        clients.Note(client.address, ClientLimits::TurnedAway::kIdle);
        AnswerAndClose(socket, Refusal(kIncompleteRequestCode, kIncompleteRequestText), sendBound,
                       0);
        return;
    }
    AnswerAndClose(socket, service.Answer(request.bytes, request.tooLong, client), sendBound,
                   request.tooLong ? 1000 : 0);
}

}  // namespace zn::server
