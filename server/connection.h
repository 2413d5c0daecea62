// Reading one request off a connection the way the library sends it, and writing a reply.
#pragma once

#include <cstddef>
#include <string>

namespace zn::server {

// How one request is read. A request has no terminator and no length, and the client
// neither half-closes nor says it is done: the request is complete when its layout says so
// (a last field at its full length), when the client closes, or when a request whose last
// field could still grow has been followed by `quietMilliseconds` of silence.
struct ReadLimits {
    int quietMilliseconds = 20;
    int requestTimeoutMilliseconds = 5000;
    // Once this many bytes are in, the tail of one send may travel in a later segment
    // (536 is the smallest segment size IPv4 allows), so the longer wait applies.
    int longQuietMilliseconds = 250;
};
inline constexpr std::size_t kOneSegment = 536;

struct ReceivedRequest {
    std::string bytes;
    bool tooLong = false;  // more than kMaxRequestLength characters arrived
    bool failed = false;   // the connection broke, or nothing arrived before the client left
};

// Reads one request from a connected socket.
ReceivedRequest ReadRequest(int socket, const ReadLimits& limits);

// Writes all of `bytes` within `timeoutMilliseconds`; false when the client stopped reading.
bool SendAll(int socket, const std::string& bytes, int timeoutMilliseconds);

// One exchange as a client: connects to host:port, sends `request`, reads the answer until
// the server closes (at most 1024 bytes, within 5 s). False when any step fails.
bool ExchangeWith(const std::string& host, int port, const std::string& request,
                  std::string& answer);

// Reads what the client still sends after an oversized request, so that closing does not
// reset the connection before the client has read its reply.
void Drain(int socket, int milliseconds);

}  // namespace zn::server
