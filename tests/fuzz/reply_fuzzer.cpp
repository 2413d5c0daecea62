// The administration server's answers: a reply line of any bytes, and record runs cut into
// reads at arbitrary points.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <list>
#include <string>
#include <vector>

#include "admin/reply.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// Record texts from the input: bytes that cannot stand inside a record end one.
std::vector<std::string> RecordTexts(const char* bytes, std::size_t size) {
    std::vector<std::string> texts(1);
    for (std::size_t i = 0; i < size; ++i) {
        const char c = bytes[i];
        if (c == '*' || c == ']' || c == '\0') {
            texts.emplace_back();
        } else {
            texts.back() += c;
        }
    }
    return texts;
}

// Feeds `wire` to a stream in reads whose lengths come from `cuts`; stops at the end record
// as the channel does.
std::list<std::string> ReadInPieces(const std::string& wire, const std::uint8_t* cuts,
                                    std::size_t cutCount, bool& ended) {
    zn::RecordStream stream;
    std::list<std::string> records;
    std::size_t at = 0;
    std::size_t next = 0;
    while (at < wire.size() && !stream.Ended()) {
        std::size_t length = cutCount == 0 ? wire.size() : 1 + cuts[next++ % cutCount] % 97;
        if (length > wire.size() - at) length = wire.size() - at;
        stream.Take(wire.data() + at, length, records);
        at += length;
    }
    ended = stream.Ended();
    return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);

    zn::Reply reply;
    if (zn::ParseReply(bytes, size, reply)) {
        FUZZ_CHECK(reply.text.size() < size);
        FUZZ_CHECK(reply.text.find(',') == std::string::npos);
    }

    // Raw bytes in arbitrary reads: whatever arrives, no record is longer than what came.
    {
        zn::RecordStream stream;
        std::list<std::string> records;
        std::size_t at = 0;
        while (at < size) {
            std::size_t length = 1 + data[at] % 31;
            if (length > size - at) length = size - at;
            stream.Take(bytes + at, length, records);
            at += length;
        }
        for (const std::string& record : records) FUZZ_CHECK(record.size() <= size);
    }

    // A well-formed run, however it is cut, reads back as exactly the records sent. The
    // first half of the input makes the records, the second half the cuts.
    const std::size_t half = size / 2;
    std::vector<std::string> texts = RecordTexts(bytes, half);
    std::string wire;
    std::list<std::string> sent;
    for (const std::string& text : texts) {
        if (text.empty() || text == "End-Of-Data") continue;
        wire += text + "]*";
        sent.push_back(text);
    }
    wire += "End-Of-Data]";
    bool ended = false;
    std::list<std::string> read = ReadInPieces(wire, data + half, size - half, ended);
    FUZZ_CHECK(ended);
    FUZZ_CHECK(read == sent);
    return 0;
}
