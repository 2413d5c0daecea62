// The administration server's TCP side: one request per connection, read as the library
// sends it, one reply, close; every socket is read and written by one event loop.
#include "server/listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "server/event_loop.h"

namespace zn::server {
namespace {

void CloseQuietly(int socket) {
    if (socket >= 0) close(socket);
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
    m_socket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
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
        listen(m_socket, SOMAXCONN) != 0) {
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

bool Listener::Serve(AdminService& service, const Config& config, std::string& error,
                     const ServerTls* tls) {
    // Every connection open at once is a descriptor, and so is each peer call.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
    EventLoop loop(m_socket, m_wakeRead, service, config, tls);
    return loop.Run(error);
}

}  // namespace zn::server
