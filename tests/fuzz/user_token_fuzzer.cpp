// The user token of any user name, and the cipher under any key.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "admin/user_token.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);
    const std::string token = zn::MakeUserToken(name);
    FUZZ_CHECK(token.size() == zn::kTokenLength);
    FUZZ_CHECK(token.compare(token.size() - 2, 2, "00") == 0);
    for (char c : token) FUZZ_CHECK((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
    // Only the name's first characters count, whatever follows them.
    if (name.size() > zn::kTokenNameLength) {
        FUZZ_CHECK(zn::MakeUserToken(name.substr(0, zn::kTokenNameLength)) == token);
    }

    if (size >= 16) {
        std::uint64_t key = 0, block = 0;
        std::memcpy(&key, data, 8);
        std::memcpy(&block, data + 8, 8);
        const zn::des::RoundKeys keys = zn::des::ScheduleKey(key);
        for (const auto& round : keys.groups) {
            for (std::uint8_t group : round) FUZZ_CHECK(group < 64);
        }
        // Parity bits play no part in the key.
        const zn::des::RoundKeys same = zn::des::ScheduleKey(key ^ 0x0101010101010101ULL);
        FUZZ_CHECK(std::memcmp(&keys, &same, sizeof keys) == 0);
        (void)zn::des::EncryptBlock(keys, block);
        (void)zn::des::ReadsAlteredEntry(keys, block);
    }
    return 0;
}
