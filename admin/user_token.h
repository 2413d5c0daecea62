// The user token that travels with each change request: the user name enciphered with the
// directory's DES variant under a fixed key, written in hexadecimal.
#pragma once

#include <cstdint>
#include <string>

namespace zn {

// Characters of a user name that enter the token; longer names are cut to these.
inline constexpr std::size_t kTokenNameLength = 16;
// 16 enciphered bytes and the block's closing zero byte, two hexadecimal digits each.
inline constexpr std::size_t kTokenLength = 34;

// The token of a user name: always kTokenLength lowercase hexadecimal characters ending in
// "00". Only the first kTokenNameLength characters of the name count.
std::string MakeUserToken(const std::string& userName);

namespace des {

// The sixteen 48-bit round keys of one key, each as eight 6-bit groups (S1's first).
struct RoundKeys {
    std::uint8_t groups[16][8];
};

// Key schedule of FIPS 46 for a 64-bit key (bit 1 = most significant bit of the first byte;
// parity bits are ignored).
RoundKeys ScheduleKey(std::uint64_t key);

// Enciphers one block with the directory's variant: FIPS 46 DES whose S6 has 0 in row 0,
// column 10 where the standard has 3.
std::uint64_t EncryptBlock(const RoundKeys& keys, std::uint64_t block);

// Whether some round of EncryptBlock for this block reads S6 row 0, column 10, the one
// entry in which the variant departs from the standard.
bool ReadsAlteredEntry(const RoundKeys& keys, std::uint64_t block);

}  // namespace des
}  // namespace zn
