// The server's reading of change requests, and the library's writing of them with fields of
// any length and content.
#include <cstddef>
#include <cstdint>
#include <string>

#include "admin/change_request.h"
#include "admin/user_token.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// Bytes from the input in turn; zeros once it is used up.
class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    // A field: up to the next 0x01 byte, then stretched by a repeat count so that fields far
    // longer than any input (up to 100,000 characters) are tried.
    std::string Field() {
        std::string text;
        while (m_at < m_size && m_data[m_at] != 0x01) text += static_cast<char>(m_data[m_at++]);
        if (m_at < m_size) ++m_at;
        const std::uint8_t repeat = Byte();
        if (repeat > 250 && !text.empty()) {
            std::string stretched;
            while (stretched.size() < 100000) stretched += text;
            return stretched;
        }
        return text;
    }
    long Number() {
        unsigned long value = 0;
        for (int i = 0; i < 8; ++i) value = (value << 8) | Byte();
        return static_cast<long>(value);
    }

  private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

bool IsParsed(zn::ParseOutcome outcome) {
    return outcome == zn::ParseOutcome::kComplete || outcome == zn::ParseOutcome::kMayContinue;
}

// The server reads back what the library writes, whenever no field holds a byte that the
// request's own syntax uses.
bool Plain(const std::string& text) {
    return text.find_first_of(std::string(",\r\n\0", 4)) == std::string::npos;
}

void CheckWritten(zn::ChangeRequest kind, const zn::RequestFields& fields) {
    std::string request = "left over";
    const bool written = zn::FormatChangeRequest(kind, fields, request);
    FUZZ_CHECK(written ? request.size() <= zn::kMaxRequestLength : request.empty());
    if (!written) return;

    if (!Plain(fields.userName) || !Plain(fields.groupName) || !Plain(fields.targetName) ||
        !Plain(fields.companyNumber) || !Plain(fields.attributeName) ||
        fields.value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos ||
        fields.organizationalUnit.find_first_of(std::string("\r\n\0", 3)) != std::string::npos ||
        fields.groupName == " ") {
        return;
    }
    zn::ParsedRequest parsed;
    FUZZ_CHECK(IsParsed(zn::ParseChangeRequest(request, parsed)));
    FUZZ_CHECK(parsed.kind == kind);
    if (zn::IsChange(kind)) {
        FUZZ_CHECK(parsed.fields.userName == fields.userName);
        FUZZ_CHECK(parsed.userToken == zn::MakeUserToken(fields.userName));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The input as received bytes: whatever it is, the reader answers with one outcome and
    // never takes a request it does not understand.
    const std::string text(reinterpret_cast<const char*>(data), size);
    zn::ParsedRequest parsed;
    const zn::ParseOutcome outcome = zn::ParseChangeRequest(text, parsed);
    if (IsParsed(outcome)) {
        FUZZ_CHECK(static_cast<int>(parsed.kind) >= zn::kFirstChangeRequest &&
                   static_cast<int>(parsed.kind) <= zn::kLastChangeRequest);
        if (zn::IsChange(parsed.kind)) FUZZ_CHECK(parsed.userToken.size() == zn::kTokenLength);
        // Every prefix of a request that reads whole is the beginning of one.
        zn::ParsedRequest partial;
        const zn::ParseOutcome head = zn::ParseChangeRequest(text.substr(0, size / 2), partial);
        FUZZ_CHECK(head != zn::ParseOutcome::kUnknown || size / 2 == 0);
    }

    // The same input as fields for the writer.
    Input input(data, size);
    const int kinds = zn::kLastChangeRequest - zn::kFirstChangeRequest + 1;
    const auto kind =
        static_cast<zn::ChangeRequest>(zn::kFirstChangeRequest + input.Byte() % kinds);
    zn::RequestFields fields;
    fields.userName = input.Field();
    fields.groupName = input.Field();
    fields.targetName = input.Field();
    fields.organizationalUnit = input.Field();
    fields.companyNumber = input.Field();
    fields.attributeName = input.Field();
    fields.value = input.Field();
    fields.number = input.Number();
    CheckWritten(kind, fields);
    return 0;
}
