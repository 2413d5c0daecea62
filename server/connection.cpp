// Reading one request off a connection the way the library sends it, and writing a reply.
#include "server/connection.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "admin/change_request.h"
#include "server/requester_proof.h"

namespace zn::server {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// poll() for one descriptor, restarted after signals; >0 readable/writable, 0 time-out.
int WaitFor(int socket, short events, int milliseconds) {
    auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        pollfd entry{socket, events, 0};
        int rc = poll(&entry, 1, MillisecondsLeft(deadline));
        if (rc >= 0 || errno != EINTR) {
            return rc;
        }
    }
}

}  // namespace

void Drain(int socket, int milliseconds) {
    char scrap[4096];
    auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (WaitFor(socket, POLLIN, MillisecondsLeft(deadline)) > 0) {
        if (recv(socket, scrap, sizeof scrap, 0) <= 0) {
            return;
        }
    }
}


std::vector<std::size_t> FullSegmentSizes(int socket, std::size_t received) {
    tcp_info info{};
    socklen_t size = sizeof info;
    if (getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &size) != 0) {
        return {};
    }
    constexpr std::size_t kTimestampOption = 12;
    std::vector<std::size_t> sizes = {kOneSegment, kOneSegment - kTimestampOption};
    if (info.tcpi_snd_mss > 0) sizes.push_back(info.tcpi_snd_mss);
    // The kernel's receive estimate is the largest segment seen: with only one segment in,
    // that is the whole request itself, and says nothing about full segments.
    if (info.tcpi_rcv_mss > 0 && info.tcpi_rcv_mss < received) sizes.push_back(info.tcpi_rcv_mss);
    return sizes;
}

namespace {

bool MayEndOnSegmentBoundary(int socket, std::size_t received) {
    for (std::size_t segment : FullSegmentSizes(socket, received)) {
        if (received % segment == 0) return true;
    }
    return false;
}

}  // namespace

ReceivedRequest ReadRequest(int socket, const ReadLimits& limits) {
    ReceivedRequest received;
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::milliseconds(limits.requestTimeoutMilliseconds);
    const auto idleDeadline =
        std::min(deadline, start + std::chrono::milliseconds(limits.idleTimeoutMilliseconds));
    char buffer[kMaxRequestLength + 2];
    for (;;) {
        const bool begun = !received.bytes.empty();
        int ready = WaitFor(socket, POLLIN, MillisecondsLeft(begun ? deadline : idleDeadline));
        if (ready < 0) {
            received.failed = true;
            return received;
        }
        if (ready == 0) {
            received.idle = !begun;
            // The bound: a whole layout that ended on a segment boundary was whole after
            // all; a part goes to the parser, which calls it incomplete.
            return received;
        }
        ssize_t got = recv(socket, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            received.failed = got < 0 || received.bytes.empty();
            return received;
        }
        received.bytes.append(buffer, static_cast<std::size_t>(got));
        switch (Judge(socket, received.bytes)) {
            case Arrival::kMore:
                break;
            case Arrival::kTooLong:
                received.tooLong = true;
                return received;
            case Arrival::kWhole:
                return received;
        }
    }
}

Arrival Judge(int socket, std::string& bytes) {
    // Acknowledge at once: a client whose tail waits for our acknowledgement (Nagle)
    // then sends it after one round trip instead of after our delayed-ACK timer.
    int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    if (bytes.size() > kMaxRequestLength) {
        bytes.resize(kMaxRequestLength);
        return Arrival::kTooLong;
    }
    ParsedRequest parsed;
    switch (ParseChangeRequest(bytes, parsed)) {
        case ParseOutcome::kMayContinue:
            return MayEndOnSegmentBoundary(socket, bytes.size()) ? Arrival::kMore : Arrival::kWhole;
        case ParseOutcome::kIncomplete:
            return Arrival::kMore;
        // A whole request, or bytes no further byte can mend.
        default:
            return Arrival::kWhole;
    }
}

Arrival JudgeRecords(std::string& bytes) {
    if (bytes.size() > kMaxRequestLength) {
        bytes.resize(kMaxRequestLength);
        return Arrival::kTooLong;
    }
    ParsedRequest parsed;
    return ParseChangeRequest(bytes, parsed) == ParseOutcome::kIncomplete ? Arrival::kMore
                                                                          : Arrival::kWhole;
}

bool SendAll(int socket, const std::string& bytes, int timeoutMilliseconds) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        if (WaitFor(socket, POLLOUT, MillisecondsLeft(deadline)) <= 0) {
            return false;
        }
        ssize_t n = send(socket, bytes.data() + sent, bytes.size() - sent,
                         MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool TakeProof(std::string& bytes, Proof& proof) {
    const std::string prefix = kProofPrefix;
    const std::size_t compared = std::min(bytes.size(), prefix.size());
    if (bytes.compare(0, compared, prefix, 0, compared) != 0) return true;
    const std::size_t end = bytes.find('\n');
    if (end == std::string::npos) {
        if (bytes.size() < kMaxProofLine) return false;
        proof.given = proof.malformed = true;
        return true;
    }
    proof.given = true;
    const std::string hex = bytes.substr(prefix.size(), end - prefix.size());
    bytes.erase(0, end + 1);
    if (hex.empty() || hex.size() % 2 != 0 || hex.size() > 2 * kMaxProofPassword) {
        proof.malformed = true;
        return true;
    }
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexDigit(hex[i]);
        const int low = HexDigit(hex[i + 1]);
        // A NUL would end the password early in the bind below.
        if (high < 0 || low < 0 || (high | low) == 0) {
            proof.malformed = true;
            proof.password.clear();
            return true;
        }
        proof.password.push_back(static_cast<char>(high * 16 + low));
    }
    return true;
}

}  // namespace zn::server
