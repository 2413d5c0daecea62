// Sockets that stand in for a stopped slapd to make its host misbehave in a controlled way.
#include "tests/support/fault_listeners.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "tests/support/sandbox.h"

namespace zntest {
namespace detail {

HungListener::HungListener(const std::string& address, int port)
    : listener_(ListenOn(address, port, 0)) {
    // With backlog 0 the queue holds one connection; once it does, the kernel
    // drops SYNs instead of answering or refusing them.
    Fd queued = StartConnect(address, port);
    int error = 0;
    if (WaitConnected(queued.Get(), std::chrono::seconds(2), &error) != WaitResult::kReady) {
        throw SandboxError("cannot fill the accept queue on " + address + ":" +
                           std::to_string(port));
    }
    fillers_.push_back(std::move(queued));
    Fd dropped = StartConnect(address, port);
    if (WaitConnected(dropped.Get(), std::chrono::milliseconds(300), &error) !=
        WaitResult::kTimedOut) {
        throw SandboxError("a connect to the full listener on " + address + ":" +
                           std::to_string(port) +
                           " did not hang; this kernel answers beyond the accept queue");
    }
    fillers_.push_back(std::move(dropped));
}

namespace {

struct Connection {
    enum class Stage { kAwaitRequest, kAwaitReply, kSwallow };

    Fd client;
    Fd upstream;
    Stage stage = Stage::kAwaitRequest;
    std::vector<std::uint8_t> request;
    std::vector<std::uint8_t> reply;
    bool closed = false;
};

// Reads what is available; false on end of stream or error.
bool ReadInto(int fd, std::vector<std::uint8_t>* buffer) {
    std::uint8_t chunk[4096];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        if (n <= 0) return false;
        if (buffer != nullptr) buffer->insert(buffer->end(), chunk, chunk + n);
        return true;
    }
}

void ForwardRequest(Connection* c, const std::string& upstream_address) {
    std::size_t length = BerElementLength(c->request);
    if (length == 0) return;
    c->upstream = StartConnect(upstream_address, kLdapPort);
    int error = 0;
    if (WaitConnected(c->upstream.Get(), std::chrono::seconds(2), &error) != WaitResult::kReady ||
        !SendAll(c->upstream.Get(), c->request.data(), length)) {
        c->closed = true;
        return;
    }
    c->request.clear();
    c->stage = Connection::Stage::kAwaitReply;
}

void ForwardReply(Connection* c) {
    std::size_t length = BerElementLength(c->reply);
    if (length == 0) return;
    if (!SendAll(c->client.Get(), c->reply.data(), length)) {
        c->closed = true;
        return;
    }
    c->upstream.Reset();
    c->reply.clear();
    c->stage = Connection::Stage::kSwallow;
}

}  // namespace

StallRelay::StallRelay(const std::string& address, std::string upstream_address)
    : listener_(ListenOn(address, kLdapPort, 16)), upstream_address_(std::move(upstream_address)) {
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) throw SandboxError("pipe2 failed");
    wake_read_ = Fd(pipe_fds[0]);
    wake_write_ = Fd(pipe_fds[1]);
    thread_ = std::thread(&StallRelay::Run, this);
}

StallRelay::~StallRelay() {
    const char stop = 'x';
    while (write(wake_write_.Get(), &stop, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
}

void StallRelay::Run() {
    std::vector<std::unique_ptr<Connection>> connections;
    for (;;) {
        std::vector<pollfd> fds{{wake_read_.Get(), POLLIN, 0}, {listener_.Get(), POLLIN, 0}};
        for (const auto& c : connections) {
            fds.push_back({c->client.Get(), POLLIN, 0});
            fds.push_back({c->upstream.Valid() ? c->upstream.Get() : -1, POLLIN, 0});
        }
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            std::perror("zntest: stall relay poll");
            return;
        }
        if (fds[0].revents != 0) return;
        if (fds[1].revents & POLLIN) {
            int fd = accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                connections.push_back(std::make_unique<Connection>());
                connections.back()->client = Fd(fd);
            }
        }
        for (std::size_t i = 0; i < connections.size() && 2 + 2 * i < fds.size(); ++i) {
            Connection* c = connections[i].get();
            try {
                if (fds[2 + 2 * i].revents != 0) {
                    // Only the first request travels on; later ones are read and
                    // dropped so the client's writes never block.
                    bool forward = c->stage == Connection::Stage::kAwaitRequest;
                    if (!ReadInto(c->client.Get(), forward ? &c->request : nullptr)) {
                        c->closed = true;
                    } else if (forward) {
                        ForwardRequest(c, upstream_address_);
                    }
                }
                if (!c->closed && c->upstream.Valid() && fds[3 + 2 * i].revents != 0) {
                    if (!ReadInto(c->upstream.Get(), &c->reply)) {
                        c->closed = true;
                    } else {
                        ForwardReply(c);
                    }
                }
            } catch (const SandboxError& e) {
                std::fprintf(stderr, "zntest: stall relay drops a connection: %s\n", e.what());
                c->closed = true;
            }
        }
        connections.erase(std::remove_if(connections.begin(), connections.end(),
                                         [](const auto& c) { return c->closed; }),
                          connections.end());
    }
}

}  // namespace detail
}  // namespace zntest
