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

#include "admin/change_request.h"
#include "server/reply_codes.h"

namespace zn::server {
namespace {

void CloseQuietly(int socket) {
    if (socket >= 0) {
        close(socket);
    }
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
    const ReadLimits limits{config.requestTimeoutMilliseconds};
    for (;;) {
        pollfd entries[2] = {{m_socket, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
        if (poll(entries, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (entries[1].revents != 0) {
            break;
        }
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        int connection = accept4(m_socket, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC);
        if (connection < 0) {
            // Out of descriptors or a connection that went away before it was accepted:
            // the listener carries on.
            if (errno == EMFILE || errno == ENFILE) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            continue;
        }
        char text[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
        Client client{std::string(text) + ":" + std::to_string(ntohs(peer.sin_port)),
                      ntohl(peer.sin_addr.s_addr)};
        std::unique_lock<std::mutex> hold(m_lock);
        if (m_active >= config.maxConnections) {
            hold.unlock();
            std::string busy = "0," + std::to_string(kServerBusyCode) + "," + kServerBusyText;
            send(connection, busy.data(), busy.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            CloseQuietly(connection);
            Log(client.text + " refused: busy");
            continue;
        }
        ++m_active;
        hold.unlock();
        std::thread([this, connection, client, &service, limits] {
            Handle(connection, client, service, limits);
        }).detach();
    }
    std::unique_lock<std::mutex> hold(m_lock);
    m_idle.wait(hold, [this] { return m_active == 0; });
}

void Listener::Handle(int socket, const Client& client, AdminService& service,
                      const ReadLimits& limits) {
    ReceivedRequest request = ReadRequest(socket, limits);
    if (!request.failed) {
        std::string reply = service.Answer(request.bytes, request.tooLong, client);
        if (!reply.empty()) {
            SendAll(socket, reply, limits.requestTimeoutMilliseconds);
        }
        shutdown(socket, SHUT_WR);
        if (request.tooLong) {
            Drain(socket, 1000);
        }
    }
    CloseQuietly(socket);
    std::lock_guard<std::mutex> hold(m_lock);
    if (--m_active == 0) {
        m_idle.notify_all();
    }
}

}  // namespace zn::server
