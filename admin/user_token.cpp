// The user token and the DES variant that makes it, built from the tables of FIPS 46.
#include "admin/user_token.h"

#include <algorithm>
#include <cstring>

namespace zn {
namespace {

// The administration servers check tokens made under this key; only its first eight
// characters are used, their eight bytes taken as they stand as the DES key.
constexpr char kTokenKey[] = "QmrTvLxpWcHnZsKbdJfGa";

// Permutation tables of FIPS 46; entry i names the input bit (1 = most significant) that
// becomes output bit i + 1.
constexpr std::uint8_t kInitialPermutation[64] = {
    58, 50, 42, 34, 26, 18, 10, 2,  60, 52, 44, 36, 28, 20, 12, 4,  62, 54, 46, 38, 30, 22,
    14, 6,  64, 56, 48, 40, 32, 24, 16, 8,  57, 49, 41, 33, 25, 17, 9,  1,  59, 51, 43, 35,
    27, 19, 11, 3,  61, 53, 45, 37, 29, 21, 13, 5,  63, 55, 47, 39, 31, 23, 15, 7};
constexpr std::uint8_t kFinalPermutation[64] = {
    40, 8,  48, 16, 56, 24, 64, 32, 39, 7,  47, 15, 55, 23, 63, 31, 38, 6,  46, 14, 54, 22,
    62, 30, 37, 5,  45, 13, 53, 21, 61, 29, 36, 4,  44, 12, 52, 20, 60, 28, 35, 3,  43, 11,
    51, 19, 59, 27, 34, 2,  42, 10, 50, 18, 58, 26, 33, 1,  41, 9,  49, 17, 57, 25};
constexpr std::uint8_t kExpansion[48] = {
    32, 1,  2,  3,  4,  5,  4,  5,  6,  7,  8,  9,  8,  9,  10, 11, 12, 13, 12, 13, 14, 15, 16, 17,
    16, 17, 18, 19, 20, 21, 20, 21, 22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1};
constexpr std::uint8_t kPermutationP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23,
                                            26, 5, 18, 31, 10, 2,  8,  24, 14, 32, 27,
                                            3,  9, 19, 13, 30, 6,  22, 11, 4,  25};
constexpr std::uint8_t kPermutedChoice1[56] = {
    57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
    35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
    46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
constexpr std::uint8_t kPermutedChoice2[48] = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,  26, 8,  16, 7,  27, 20, 13, 2,
    41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr int kLeftShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

// S1 to S8 by row and column. S6 row 0 column 10 holds 0: the directory's cipher has always
// used this table, and the servers check tokens made with it.
constexpr std::uint8_t kSBoxes[8][4][16] = {
    {{14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7},
     {0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8},
     {4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0},
     {15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13}},
    {{15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10},
     {3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5},
     {0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15},
     {13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9}},
    {{10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8},
     {13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1},
     {13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7},
     {1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12}},
    {{7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15},
     {13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9},
     {10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4},
     {3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14}},
    {{2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9},
     {14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6},
     {4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14},
     {11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3}},
    {{12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 0, 4, 14, 7, 5, 11},
     {10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8},
     {9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6},
     {4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13}},
    {{4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1},
     {13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6},
     {1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2},
     {6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12}},
    {{13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7},
     {1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2},
     {7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8},
     {2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11}}};

// The six S6 input bits (b1..b6, b1 most significant) that select row 0, column 10.
constexpr unsigned kAlteredBox = 5;
constexpr unsigned kAlteredInput = 10u << 1;

// Output bit i + 1 (of outWidth) is input bit table[i] (of inWidth), bit 1 the most
// significant.
std::uint64_t Permute(std::uint64_t input, int inWidth, const std::uint8_t* table, int outWidth) {
    std::uint64_t output = 0;
    for (int i = 0; i < outWidth; ++i) {
        output = (output << 1) | ((input >> (inWidth - table[i])) & 1u);
    }
    return output;
}

// The permutations and the S-boxes rearranged for speed: a permutation of a 64- or 32-bit
// value becomes the OR of one lookup per input byte, and each S-box is merged with P.
struct CipherTables {
    std::uint64_t initial[8][256];
    std::uint64_t final[8][256];
    std::uint64_t expansion[4][256];
    std::uint32_t substitution[8][64];

    CipherTables() {
        SliceByBytes(kInitialPermutation, 64, 64, initial);
        SliceByBytes(kFinalPermutation, 64, 64, final);
        SliceByBytes(kExpansion, 32, 48, expansion);
        for (unsigned box = 0; box < 8; ++box) {
            for (unsigned input = 0; input < 64; ++input) {
                unsigned row = ((input >> 4) & 2u) | (input & 1u);
                unsigned column = (input >> 1) & 0xFu;
                std::uint64_t nibble = static_cast<std::uint64_t>(kSBoxes[box][row][column])
                                       << (28 - 4 * box);
                substitution[box][input] =
                    static_cast<std::uint32_t>(Permute(nibble, 32, kPermutationP, 32));
            }
        }
    }

    static void SliceByBytes(const std::uint8_t* table, int inWidth, int outWidth,
                             std::uint64_t (*slices)[256]) {
        for (int byte = 0; byte < inWidth / 8; ++byte) {
            for (std::uint64_t value = 0; value < 256; ++value) {
                std::uint64_t input = value << (inWidth - 8 * (byte + 1));
                slices[byte][value] = Permute(input, inWidth, table, outWidth);
            }
        }
    }
};

// Built once on first use; C++ makes the initialisation of a local static thread-safe, and
// nothing writes the tables afterwards.
const CipherTables& Tables() {
    static const CipherTables tables;
    return tables;
}

std::uint64_t ApplySliced(const std::uint64_t (*slices)[256], std::uint64_t input) {
    std::uint64_t output = 0;
    for (int byte = 0; byte < 8; ++byte) {
        output |= slices[byte][(input >> (56 - 8 * byte)) & 0xFFu];
    }
    return output;
}

template <bool kWatchAlteredEntry>
std::uint64_t Encipher(const des::RoundKeys& keys, std::uint64_t block, bool* readAltered) {
    const CipherTables& tables = Tables();
    std::uint64_t permuted = ApplySliced(tables.initial, block);
    std::uint32_t left = static_cast<std::uint32_t>(permuted >> 32);
    std::uint32_t right = static_cast<std::uint32_t>(permuted);
    for (int round = 0; round < 16; ++round) {
        std::uint64_t expanded =
            tables.expansion[0][right >> 24] | tables.expansion[1][(right >> 16) & 0xFFu] |
            tables.expansion[2][(right >> 8) & 0xFFu] | tables.expansion[3][right & 0xFFu];
        std::uint32_t mixed = 0;
        for (unsigned box = 0; box < 8; ++box) {
            unsigned input = static_cast<unsigned>((expanded >> (42 - 6 * box)) & 0x3Fu) ^
                             keys.groups[round][box];
            if (kWatchAlteredEntry && box == kAlteredBox && input == kAlteredInput) {
                *readAltered = true;
            }
            mixed |= tables.substitution[box][input];
        }
        std::uint32_t next = left ^ mixed;
        left = right;
        right = next;
    }
    // The halves are not exchanged after the last round.
    std::uint64_t preOutput = (static_cast<std::uint64_t>(right) << 32) | left;
    return ApplySliced(tables.final, preOutput);
}

const des::RoundKeys& TokenRoundKeys() {
    static const des::RoundKeys keys = [] {
        std::uint64_t key = 0;
        for (int i = 0; i < 8; ++i) {
            key = (key << 8) | static_cast<unsigned char>(kTokenKey[i]);
        }
        return des::ScheduleKey(key);
    }();
    return keys;
}

std::uint64_t LoadBigEndian(const unsigned char* bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = (value << 8) | bytes[i];
    return value;
}

void StoreBigEndian(std::uint64_t value, unsigned char* bytes) {
    for (int i = 7; i >= 0; --i) {
        bytes[i] = static_cast<unsigned char>(value & 0xFFu);
        value >>= 8;
    }
}

}  // namespace

namespace des {

RoundKeys ScheduleKey(std::uint64_t key) {
    RoundKeys keys{};
    std::uint64_t chosen = Permute(key, 64, kPermutedChoice1, 56);
    std::uint32_t c = static_cast<std::uint32_t>(chosen >> 28) & 0xFFFFFFFu;
    std::uint32_t d = static_cast<std::uint32_t>(chosen) & 0xFFFFFFFu;
    for (int round = 0; round < 16; ++round) {
        for (int shift = 0; shift < kLeftShifts[round]; ++shift) {
            c = ((c << 1) | (c >> 27)) & 0xFFFFFFFu;
            d = ((d << 1) | (d >> 27)) & 0xFFFFFFFu;
        }
        std::uint64_t joined = (static_cast<std::uint64_t>(c) << 28) | d;
        std::uint64_t roundKey = Permute(joined, 56, kPermutedChoice2, 48);
        for (int box = 0; box < 8; ++box) {
            keys.groups[round][box] =
                static_cast<std::uint8_t>((roundKey >> (42 - 6 * box)) & 0x3Fu);
        }
    }
    return keys;
}

std::uint64_t EncryptBlock(const RoundKeys& keys, std::uint64_t block) {
    return Encipher<false>(keys, block, nullptr);
}

bool ReadsAlteredEntry(const RoundKeys& keys, std::uint64_t block) {
    bool readAltered = false;
    Encipher<true>(keys, block, &readAltered);
    return readAltered;
}

}  // namespace des

std::string MakeUserToken(const std::string& userName) {
    // 16 blanks with the name over their start, then the zero byte that is written as "00".
    unsigned char block[kTokenNameLength + 1];
    std::memset(block, ' ', kTokenNameLength);
    block[kTokenNameLength] = 0;
    std::memcpy(block, userName.data(), std::min(userName.size(), kTokenNameLength));

    const des::RoundKeys& keys = TokenRoundKeys();
    StoreBigEndian(des::EncryptBlock(keys, LoadBigEndian(block)), block);
    StoreBigEndian(des::EncryptBlock(keys, LoadBigEndian(block + 8)), block + 8);

    static constexpr char kDigits[] = "0123456789abcdef";
    std::string token(kTokenLength, '0');
    for (std::size_t i = 0; i < kTokenNameLength + 1; ++i) {
        token[2 * i] = kDigits[block[i] >> 4];
        token[2 * i + 1] = kDigits[block[i] & 0xFu];
    }
    return token;
}

}  // namespace zn
