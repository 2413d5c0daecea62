// Reading one request off a connection the way the library sends it, and writing a reply.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zn::server {

// How one request is read. A request has no terminator and no length, and the client
// neither half-closes nor says it is done. The library sends each request with one send,
// which TCP carries as full-sized segments and one last, shorter segment, and delivers in
// order: what has arrived is either a whole number of full segments or the whole request.
// So a request whose layout is complete is complete at once, unless its length is a whole
// multiple of a size a full segment of this connection may have (see FullSegmentSizes);
// then the next segment may still be due (lost, waiting for its retransmission) and the
// read waits for more bytes, up to the request bound.
// A connection that has sent nothing yet has a much shorter bound: the library sends its
// request at once after connecting, so a silent one only holds a worker.
struct ReadLimits {
    // Bound for a whole request to arrive.
    int requestTimeoutMilliseconds = 5000;
    // Bound for its first bytes (the shorter of the two counts).
    int idleTimeoutMilliseconds = 1000;
};
// The smallest segment every IPv4 host takes (576-byte datagrams less 40 bytes of headers).
inline constexpr std::size_t kOneSegment = 536;

// The payload sizes a full segment from the client may have on this connection: the IPv4
// minimum, with and without the 12 bytes of a timestamp option; the connection's own
// sending segment size (both ends agreed it, on the same path); and the largest segment
// received so far, once more than that has arrived. Empty for a socket that is not TCP,
// whose writes arrive whole.
std::vector<std::size_t> FullSegmentSizes(int socket, std::size_t received);

struct ReceivedRequest {
    std::string bytes;
    bool tooLong = false;  // more than kMaxRequestLength characters arrived
    bool failed = false;   // the connection broke, or nothing arrived before the client left
    bool idle = false;     // nothing arrived within the idle bound
};

// Reads one request from a connected socket.
ReceivedRequest ReadRequest(int socket, const ReadLimits& limits);

// What the bytes read so far from `socket` make: a request still arriving, a whole one (or
// bytes no further byte can mend), or more than kMaxRequestLength characters, when `bytes`
// is cut to that length.
enum class Arrival { kMore, kWhole, kTooLong };
Arrival Judge(int socket, std::string& bytes);
// The same for bytes that arrived in whole TLS records: TLS carries each write of the client
// as one record and hands it over whole, so a complete layout is a complete request.
Arrival JudgeRecords(std::string& bytes);

// Writes all of `bytes` within `timeoutMilliseconds`; false when the client stopped reading.
bool SendAll(int socket, const std::string& bytes, int timeoutMilliseconds);

// Reads what the client still sends after an oversized request, so that closing does not
// reset the connection before the client has read its reply.
void Drain(int socket, int milliseconds);

}  // namespace zn::server
