// The server reading a request off a connection, bytes arriving in pieces of any size.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

#include "admin/change_request.h"
#include "server/connection.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int pair[2];
    FUZZ_CHECK(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) == 0);
    // The client sends in pieces while the server reads, then leaves. Many small pieces
    // would fill a socket pair's buffer before anyone reads, hence the thread.
    std::thread client([&] {
        std::size_t sent = 0;
        while (sent < size) {
            const std::size_t piece = std::min<std::size_t>(size - sent, 1 + data[sent] % 700);
            if (send(pair[1], data + sent, piece, MSG_NOSIGNAL) != static_cast<ssize_t>(piece)) {
                break;  // the server stopped reading
            }
            sent += piece;
        }
        shutdown(pair[1], SHUT_WR);
    });

    zn::server::ReadLimits limits;
    limits.requestTimeoutMilliseconds = 200;
    const zn::server::ReceivedRequest received = zn::server::ReadRequest(pair[0], limits);
    shutdown(pair[0], SHUT_RD);
    client.join();
    const std::string input(reinterpret_cast<const char*>(data), size);
    // What was read is the beginning of what was sent, and never more than one request.
    FUZZ_CHECK(received.bytes.size() <= zn::kMaxRequestLength);
    FUZZ_CHECK(input.compare(0, received.bytes.size(), received.bytes) == 0);
    FUZZ_CHECK(!received.tooLong ||
               (size > zn::kMaxRequestLength && received.bytes.size() == zn::kMaxRequestLength));
    // Only a client that sent nothing at all failed.
    FUZZ_CHECK(received.failed == (size == 0));
    close(pair[0]);
    close(pair[1]);
    return 0;
}
