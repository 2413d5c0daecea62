// The token cipher against published DES answers, and the shape of the user token.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "admin/admin_channel.h"
#include "admin/user_token.h"

namespace {

using zn::des::EncryptBlock;
using zn::des::ReadsAlteredEntry;
using zn::des::ScheduleKey;

struct KnownAnswer {
    std::uint64_t key;
    std::uint64_t plaintext;
    std::uint64_t ciphertext;
};

// NIST SP 800-20 table A.1 (key 0101010101010101, plaintext bit i alone set), the worked
// example of FIPS 46 teaching texts, and the first entries of SP 800-20 table A.2.
constexpr std::uint64_t kVariablePlaintext[64] = {
    0x95F8A5E5DD31D900, 0xDD7F121CA5015619, 0x2E8653104F3834EA, 0x4BD388FF6CD81D4F,
    0x20B9E767B2FB1456, 0x55579380D77138EF, 0x6CC5DEFAAF04512F, 0x0D9F279BA5D87260,
    0xD9031B0271BD5A0A, 0x424250B37C3DD951, 0xB8061B7ECD9A21E5, 0xF15D0F286B65BD28,
    0xADD0CC8D6E5DEBA1, 0xE6D5F82752AD63D1, 0xECBFE3BD3F591A5E, 0xF356834379D165CD,
    0x2B9F982F20037FA9, 0x889DE068A16F0BE6, 0xE19E275D846A1298, 0x329A8ED523D71AEC,
    0xE7FCE22557D23C97, 0x12A9F5817FF2D65D, 0xA484C3AD38DC9C19, 0xFBE00A8A1EF8AD72,
    0x750D079407521363, 0x64FEED9C724C2FAF, 0xF02B263B328E2B60, 0x9D64555A9A10B852,
    0xD106FF0BED5255D7, 0xE1652C6B138C64A5, 0xE428581186EC8F46, 0xAEB5F5EDE22D1A36,
    0xE943D7568AEC0C5C, 0xDF98C8276F54B04B, 0xB160E4680F6C696F, 0xFA0752B07D9C4AB8,
    0xCA3A2B036DBC8502, 0x5E0905517BB59BCF, 0x814EEB3B91D90726, 0x4D49DB1532919C9F,
    0x25EB5FC3F8CF0621, 0xAB6A20C0620D1C6F, 0x79E90DBC98F92CCA, 0x866ECEDD8072BB0E,
    0x8B54536F2F3E64A8, 0xEA51D3975595B86B, 0xCAFFC6AC4542DE31, 0x8DD45A2DDF90796C,
    0x1029D55E880EC2D0, 0x5D86CB23639DBEA9, 0x1D1CA853AE7C0C5F, 0xCE332329248F3228,
    0x8405D1ABE24FB942, 0xE643D78090CA4207, 0x48221B9937748A23, 0xDD7C0BBD61FAFD54,
    0x2FBC291A570DB5C4, 0xE07C30D7E4E26E12, 0x0953E2258E8E90A1, 0x5B711BC4CEEBF2EE,
    0xCC083F1E6D9E85F6, 0xD2FD8867D50D2DFE, 0x06E7EA22CE92708F, 0x166B40B44ABA4BD6};

std::vector<KnownAnswer> PublishedAnswers() {
    std::vector<KnownAnswer> answers;
    for (int i = 0; i < 64; ++i) {
        answers.push_back(
            {0x0101010101010101, std::uint64_t{1} << (63 - i), kVariablePlaintext[i]});
    }
    answers.push_back({0x133457799BBCDFF1, 0x0123456789ABCDEF, 0x85E813540F0AB405});
    answers.push_back({0x8001010101010101, 0, 0x95A8D72813DAA94D});
    answers.push_back({0x4001010101010101, 0, 0x0EEC1487DD8C26D5});
    return answers;
}

TEST(TokenCipher, IsStandardDesExceptWhereS6Row0Column10IsRead) {
    int standard = 0;
    int altered = 0;
    for (const KnownAnswer& answer : PublishedAnswers()) {
        zn::des::RoundKeys keys = ScheduleKey(answer.key);
        std::uint64_t cipher = EncryptBlock(keys, answer.plaintext);
        if (ReadsAlteredEntry(keys, answer.plaintext)) {
            ++altered;
            EXPECT_NE(cipher, answer.ciphertext) << std::hex << answer.plaintext;
        } else {
            ++standard;
            EXPECT_EQ(cipher, answer.ciphertext) << std::hex << answer.plaintext;
        }
    }
    // Both kinds must occur, or the comparison above proves nothing about the altered entry.
    EXPECT_GE(standard, 40);
    EXPECT_GE(altered, 5);
}

bool IsLowerHex(const std::string& text) {
    return text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

TEST(UserToken, Is34LowercaseHexDigitsEndingInZeroByte) {
    for (const std::string& name :
         std::vector<std::string>{"", "A", "ADMIN", "ABCDEFGHIJKLMNOP", std::string(50, 'W'),
                                  std::string("\xe9t\xe9")}) {
        std::string token = zn::CZNAdminChannel::MakeToken(name);
        EXPECT_EQ(token.size(), 34u) << name;
        EXPECT_TRUE(IsLowerHex(token)) << token;
        EXPECT_EQ(token.substr(32), "00") << name;
    }
}

TEST(UserToken, MatchesStandardDesOfTheBlankPaddedNameUnderTheFixedKey) {
    // Neither half of "ADMIN" + 11 blanks reads the altered entry, so standard DES (here
    // OpenSSL's, key "QmrTvLxp") gives the same cipher text.
    zn::des::RoundKeys keys = ScheduleKey(0x516d7254764c7870);
    ASSERT_FALSE(ReadsAlteredEntry(keys, 0x41444D494E202020));
    ASSERT_FALSE(ReadsAlteredEntry(keys, 0x2020202020202020));
    EXPECT_EQ(zn::MakeUserToken("ADMIN"), "1d6c7abbd95c54bca98c9001368ec88000");
    // The half "A" + 7 blanks does read it: standard DES would give f23a900c211b996f.
    ASSERT_TRUE(ReadsAlteredEntry(keys, 0x4120202020202020));
    EXPECT_NE(zn::MakeUserToken("A").substr(0, 16), "f23a900c211b996f");
}

TEST(UserToken, KnownAnswersOfTheVariantCipher) {
    // Worked out apart from this code. The first halves of "A" and "jdoe" read the altered
    // table entry, so any other value there fails them; "" and "ADMIN" pin the rest.
    EXPECT_EQ(zn::MakeUserToken("A"), "ac1674d4b3cd3da4a98c9001368ec88000");
    EXPECT_EQ(zn::MakeUserToken("jdoe"), "1dee7266f9f05060a98c9001368ec88000");
    EXPECT_EQ(zn::MakeUserToken(""), "a98c9001368ec880a98c9001368ec88000");
    EXPECT_EQ(zn::MakeUserToken("ADMIN"), "1d6c7abbd95c54bca98c9001368ec88000");
}

TEST(UserToken, DependsOnTheBlankPaddedFirstSixteenCharacters) {
    EXPECT_EQ(zn::MakeUserToken("A"), zn::MakeUserToken("A" + std::string(15, ' ')));
    EXPECT_EQ(zn::MakeUserToken(""), zn::MakeUserToken(std::string(16, ' ')));
    // Each 8-character half is enciphered on its own.
    std::string first = zn::MakeUserToken("ABCDEFGHX");
    std::string second = zn::MakeUserToken("ABCDEFGHY");
    EXPECT_EQ(first.substr(0, 16), second.substr(0, 16));
    EXPECT_NE(first.substr(16), second.substr(16));
    // Longer names are cut to their first sixteen characters.
    std::string longName = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    EXPECT_EQ(zn::MakeUserToken(longName), zn::MakeUserToken(longName.substr(0, 16)));
    EXPECT_NE(zn::MakeUserToken(longName), zn::MakeUserToken(longName.substr(0, 15)));
}

}  // namespace
