// A scriptable administration server for the channel tests, listening inside the sandbox.
#include "tests/support/admin_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "tests/support/sandbox.h"
#include "tests/support/socket_util.h"

namespace zntest {

using detail::Fd;

namespace {

// Long enough for the client to have read one write before the next arrives.
constexpr std::chrono::milliseconds kSplitPause(60);

// Waits for fd to become readable; false when the wake pipe fired first.
bool AwaitReadable(int fd, int wake) {
    for (;;) {
        pollfd fds[2] = {{wake, POLLIN, 0}, {fd, POLLIN, 0}};
        int ready = poll(fds, 2, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || fds[0].revents != 0) return false;
        if (fds[1].revents != 0) return true;
    }
}

// What has arrived of the request. The channel sends it with one call, so on loopback it
// is there in full once the first byte is.
std::string ReadRequest(int fd, int wake) {
    std::string request;
    if (!AwaitReadable(fd, wake)) return request;
    char chunk[65536];
    for (;;) {
        ssize_t n = recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        request.append(chunk, static_cast<std::size_t>(n));
    }
    return request;
}

}  // namespace

AdminStep Answer(std::string bytes, std::vector<std::size_t> splits) {
    return AdminStep{std::move(bytes), std::move(splits), AdminStep::Then::kClose};
}

AdminStep AnswerThenReset(std::string bytes) {
    return AdminStep{std::move(bytes), {}, AdminStep::Then::kReset};
}

AdminStep Stall(std::string bytes) {
    return AdminStep{std::move(bytes), {}, AdminStep::Then::kStall};
}

struct ScriptedAdminServer::State {
    std::vector<AdminStep> script;
    Fd listener;
    Fd wakeRead;
    Fd wakeWrite;
    mutable std::mutex mutex;
    std::vector<std::string> requests;
    std::thread thread;

    void Run();
    void Serve(Fd connection, const AdminStep& step);
};

void ScriptedAdminServer::State::Run() {
    std::size_t next = 0;
    for (;;) {
        if (!AwaitReadable(listener.Get(), wakeRead.Get())) return;
        Fd connection(accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!connection.Valid()) continue;
        const AdminStep& step = script[std::min(next, script.size() - 1)];
        ++next;
        Serve(std::move(connection), step);
    }
}

void ScriptedAdminServer::State::Serve(Fd connection, const AdminStep& step) {
    int fd = connection.Get();
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::string request = ReadRequest(fd, wakeRead.Get());
    {
        std::lock_guard<std::mutex> lock(mutex);
        requests.push_back(request);
    }
    std::size_t start = 0;
    std::vector<std::size_t> ends = step.splits;
    ends.push_back(step.bytes.size());
    for (std::size_t end : ends) {
        if (end > step.bytes.size() || end < start) continue;
        if (start > 0) std::this_thread::sleep_for(kSplitPause);
        const auto* data = reinterpret_cast<const std::uint8_t*>(step.bytes.data());
        if (!detail::SendAll(fd, data + start, end - start)) return;
        start = end;
    }
    switch (step.then) {
        case AdminStep::Then::kClose:
            break;
        case AdminStep::Then::kReset: {
            // The client has read the bytes by now and waits for more when the reset comes.
            std::this_thread::sleep_for(kSplitPause);
            linger abort{1, 0};
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            break;
        }
        case AdminStep::Then::kStall: {
            // Silent until the client gives up and closes, or the server is destroyed.
            char sink[4096];
            while (AwaitReadable(fd, wakeRead.Get())) {
                ssize_t n = recv(fd, sink, sizeof sink, 0);
                if (n == 0 || (n < 0 && errno != EINTR)) break;
            }
            break;
        }
    }
}

ScriptedAdminServer::ScriptedAdminServer(std::vector<AdminStep> script, const std::string& host,
                                         int port)
    : m_state(std::make_unique<State>()) {
    RequireSandbox();
    if (script.empty()) throw SandboxError("a scripted administration server needs a step");
    m_state->script = std::move(script);
    m_state->listener = detail::ListenOn(ResolveIPv4(host), port, 16);
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) throw SandboxError("pipe2 failed");
    m_state->wakeRead = Fd(pipeFds[0]);
    m_state->wakeWrite = Fd(pipeFds[1]);
    m_state->thread = std::thread(&State::Run, m_state.get());
}

ScriptedAdminServer::~ScriptedAdminServer() {
    const char stop = 'x';
    while (write(m_state->wakeWrite.Get(), &stop, 1) < 0 && errno == EINTR) {
    }
    m_state->thread.join();
}

std::vector<std::string> ScriptedAdminServer::Requests() const {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->requests;
}

std::string ResolveIPv4(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        throw SandboxError("cannot resolve " + host + " (run inside directory/sandbox)");
    }
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr, text,
              sizeof text);
    freeaddrinfo(found);
    return text;
}

long TcpActiveOpens() {
    // Two "Tcp:" lines: the field names, then their values.
    std::ifstream snmp("/proc/net/snmp");
    std::string line;
    std::vector<std::string> names;
    while (std::getline(snmp, line)) {
        if (line.rfind("Tcp:", 0) != 0) continue;
        std::istringstream fields(line.substr(4));
        std::vector<std::string> values;
        for (std::string field; fields >> field;) values.push_back(field);
        if (names.empty()) {
            names = values;
            continue;
        }
        for (std::size_t i = 0; i < names.size() && i < values.size(); ++i) {
            if (names[i] == "ActiveOpens") return std::stol(values[i]);
        }
    }
    throw SandboxError("no ActiveOpens counter in /proc/net/snmp");
}

}  // namespace zntest
