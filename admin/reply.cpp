// Reading the administration server's answers: one reply line, or a run of reply records.
#include "admin/reply.h"

#include <cstdlib>
#include <cstring>

namespace zn {
namespace {

constexpr char kEndRecord[] = "End-Of-Data";

// Next comma-separated field starting at `position`, skipping leading commas.
std::string NextField(const std::string& line, std::size_t& position) {
    position = line.find_first_not_of(',', position);
    if (position == std::string::npos) {
        position = line.size();
        return std::string();
    }
    std::size_t end = line.find(',', position);
    if (end == std::string::npos) end = line.size();
    std::string field = line.substr(position, end - position);
    position = end;
    return field;
}

}  // namespace

bool ParseReply(const char* bytes, std::size_t size, Reply& reply) {
    // The reply is read as a C string: it ends at the first zero byte, if any.
    std::string line(bytes, strnlen(bytes, size));
    std::size_t position = 0;
    std::string result = NextField(line, position);
    std::string code = NextField(line, position);
    // Each of the first two fields must be followed by a comma; the text may then be empty.
    if (result.empty() || code.empty() || position >= line.size()) return false;
    reply.result = std::strtol(result.c_str(), nullptr, 10);
    reply.code = std::strtol(code.c_str(), nullptr, 10);
    reply.text = NextField(line, position);
    return true;
}

bool RecordStream::Take(const char* bytes, std::size_t size, std::list<std::string>& records) {
    std::size_t start = 0;
    while (start < size) {
        const void* found = std::memchr(bytes + start, '*', size - start);
        std::size_t end = found != nullptr
                              ? static_cast<std::size_t>(static_cast<const char*>(found) - bytes)
                              : size;
        if (end > start) TakePiece(std::string(bytes + start, end - start), records);
        start = end + 1;
    }
    return m_ended;
}

void RecordStream::TakePiece(std::string piece, std::list<std::string>& records) {
    if (piece.find(']') == std::string::npos) {
        // The rest of a record still to come. It is kept whole, however many reads it spans.
        m_pending += piece;
        return;
    }
    piece.pop_back();
    std::string record = std::move(m_pending);
    m_pending.clear();
    record += piece;
    if (record == kEndRecord) {
        m_ended = true;
    } else {
        records.push_back(std::move(record));
    }
}

}  // namespace zn
