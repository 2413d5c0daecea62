// TCP and LDAP-level probes that tell how a sandbox server currently behaves.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ostream>
#include <thread>
#include <vector>

#include "tests/support/sandbox.h"
#include "tests/support/socket_util.h"

namespace zntest {
namespace {

using Clock = std::chrono::steady_clock;

// BindRequest, message id 1: version 3, empty name, empty simple password.
constexpr std::uint8_t kAnonymousBind[] = {0x30, 0x0c, 0x02, 0x01, 0x01, 0x60, 0x07,
                                           0x02, 0x01, 0x03, 0x04, 0x00, 0x80, 0x00};
constexpr std::uint8_t kBindResponseTag = 0x61;

Milliseconds Left(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<Milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? left : Milliseconds(0);
}

// Skips the envelope (SEQUENCE header and message id) of one LDAP message
// and tells whether the operation inside is a bind response.
bool IsBindResponse(const std::vector<std::uint8_t>& message) {
    std::size_t pos = 1;
    if (message.empty() || message[0] != 0x30 || message.size() < 2) return false;
    pos += (message[1] & 0x80) ? 1 + (message[1] & 0x7f) : 1;
    if (pos + 2 > message.size() || message[pos] != 0x02) return false;
    pos += 2 + message[pos + 1];
    return pos < message.size() && message[pos] == kBindResponseTag;
}

}  // namespace

ConnectResult ProbeConnect(const std::string& host, Milliseconds timeout) {
    detail::Fd fd = detail::StartConnect(ServerAddress(host), detail::kLdapPort);
    int error = 0;
    switch (detail::WaitConnected(fd.Get(), timeout, &error)) {
        case detail::WaitResult::kReady:
            return ConnectResult::kConnected;
        case detail::WaitResult::kTimedOut:
            return ConnectResult::kTimedOut;
        case detail::WaitResult::kError:
            break;
    }
    return error == ECONNREFUSED ? ConnectResult::kRefused : ConnectResult::kFailed;
}

BindResult ProbeAnonymousBind(const std::string& host, Milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    detail::Fd fd = detail::StartConnect(ServerAddress(host), detail::kLdapPort);
    int error = 0;
    switch (detail::WaitConnected(fd.Get(), Left(deadline), &error)) {
        case detail::WaitResult::kReady:
            break;
        case detail::WaitResult::kTimedOut:
            return BindResult::kConnectTimedOut;
        case detail::WaitResult::kError:
            return error == ECONNREFUSED ? BindResult::kRefused : BindResult::kFailed;
    }
    if (!detail::SendAll(fd.Get(), kAnonymousBind, sizeof kAnonymousBind))
        return BindResult::kFailed;

    std::vector<std::uint8_t> reply;
    for (;;) {
        switch (detail::WaitReadable(fd.Get(), Left(deadline))) {
            case detail::WaitResult::kReady:
                break;
            case detail::WaitResult::kTimedOut:
                return BindResult::kNoReply;
            case detail::WaitResult::kError:
                return BindResult::kFailed;
        }
        std::uint8_t chunk[512];
        ssize_t n = read(fd.Get(), chunk, sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return BindResult::kFailed;
        reply.insert(reply.end(), chunk, chunk + n);
        std::size_t length = 0;
        try {
            length = detail::BerElementLength(reply);
        } catch (const SandboxError&) {
            return BindResult::kFailed;
        }
        if (length > 0) {
            reply.resize(length);
            return IsBindResponse(reply) ? BindResult::kAnswered : BindResult::kFailed;
        }
    }
}

bool WaitUntilAnswers(const std::string& host, Milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        // Each attempt is short so that a server resuming from SIGSTOP is seen
        // soon after it resumes, not after one long attempt runs out.
        auto attempt = std::min(Left(deadline), Milliseconds(500));
        if (ProbeAnonymousBind(host, attempt) == BindResult::kAnswered) return true;
        if (Left(deadline).count() == 0) return false;
        std::this_thread::sleep_for(std::min(Left(deadline), Milliseconds(20)));
    }
}

std::ostream& operator<<(std::ostream& out, ConnectResult result) {
    switch (result) {
        case ConnectResult::kConnected:
            return out << "connected";
        case ConnectResult::kRefused:
            return out << "refused";
        case ConnectResult::kTimedOut:
            return out << "timed out";
        case ConnectResult::kFailed:
            return out << "failed";
    }
    return out << "ConnectResult(" << static_cast<int>(result) << ")";
}

std::ostream& operator<<(std::ostream& out, BindResult result) {
    switch (result) {
        case BindResult::kAnswered:
            return out << "answered";
        case BindResult::kRefused:
            return out << "refused";
        case BindResult::kConnectTimedOut:
            return out << "connect timed out";
        case BindResult::kNoReply:
            return out << "no reply";
        case BindResult::kFailed:
            return out << "failed";
    }
    return out << "BindResult(" << static_cast<int>(result) << ")";
}

}  // namespace zntest
