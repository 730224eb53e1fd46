// The text and byte forms of the document: the code page as a bijection, hex and base64.
#include <gtest/gtest.h>

#include <cctype>

#include "kestra/json_text.h"

using namespace kestra::json;

TEST(TextCodec, EveryByteHasOneCharacterAndBack) {
    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
    const std::string text = BytesToUtf8(all);
    EXPECT_EQ(Utf8ToBytes(text), all);
    EXPECT_EQ(BytesToUtf8(std::vector<std::uint8_t>{0x80, 0x81, 0x9F, 0xE9}),
              "\xe2\x82\xac\xc2\x81\xc5\xb8\xc3\xa9");
    TextFault fault;
    EXPECT_FALSE(Utf8ToBytes("ab\xe2\x80\x83", &fault));  // U+2003, not in the code page
    EXPECT_EQ(fault.character, U'\u2003');
    EXPECT_EQ(fault.index, 2u);
    EXPECT_FALSE(Utf8ToBytes("\xf0\x9f\x98\x80"));  // outside the basic plane
}

TEST(TextCodec, HexAndBase64HaveOneSpellingEach) {
    const std::vector<std::uint8_t> bytes = {0x00, 0xAB, 0xFF};
    EXPECT_EQ(ToHex(bytes), "00abff");
    EXPECT_EQ(FromHex("00ABff"), bytes);
    EXPECT_FALSE(FromHex("0"));
    EXPECT_FALSE(FromHex("0g"));
    for (std::size_t n = 0; n <= 4; ++n) {
        const std::vector<std::uint8_t> part(bytes.begin(),
                                             bytes.begin() + std::min<std::size_t>(n, 3));
        EXPECT_EQ(FromBase64(ToBase64(part)), part);
    }
    EXPECT_EQ(ToBase64(std::vector<std::uint8_t>{'M', 'a'}), "TWE=");
    EXPECT_FALSE(FromBase64("TWF="));  // bits after the last byte
    EXPECT_FALSE(FromBase64("TWE"));
    EXPECT_FALSE(FromBase64("T=E="));
    EXPECT_FALSE(FromBase64("TW E"));
}

// Hex digits are written eight bytes at a time and the rest in overlapping pieces: every length
// around those pieces gives the digits a byte at a time gives, read back the same, with nothing
// written past them.
TEST(TextCodec, HexOfEveryLengthAroundItsPieces) {
    std::vector<std::uint8_t> all(40);
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint8_t>(i * 37 + 0x9A);
    for (std::size_t n = 0; n <= all.size(); ++n) {
        SCOPED_TRACE(n);
        const std::span<const std::uint8_t> bytes(all.data(), n);
        std::string expected;
        for (std::uint8_t b : bytes) {
            expected += "0123456789abcdef"[b >> 4];
            expected += "0123456789abcdef"[b & 15];
        }
        std::string written(2 * n + 16, '#');
        const char* end = WriteHex(written.data(), bytes);
        EXPECT_EQ(end - written.data(), static_cast<std::ptrdiff_t>(2 * n));
        EXPECT_EQ(written, expected + std::string(16, '#'));
        EXPECT_EQ(FromHex(written.substr(0, 2 * n)), std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    }
}

// Hex digits are read sixteen at a time and the rest two by two: a character that is no hex
// digit is refused wherever it stands, at every length, and capitals read as small letters.
TEST(TextCodec, HexRefusedAtEveryPlace) {
    const std::string digits = "0123456789abcdefABCDEF9876543210fedcbaFEDCBA0123456789";
    const char notDigits[] = {'g', 'G', '/', ':', '@', '`', ' ', '.', '\x80', '\xff', '\0'};
    for (std::size_t n = 0; n <= 48; n += 2) {
        SCOPED_TRACE(n);
        const std::string text = digits.substr(0, n);
        std::string lower = text;
        for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        const auto bytes = FromHex(text);
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(bytes, FromHex(lower));
        EXPECT_EQ(ToHex(*bytes), lower);
        for (std::size_t at = 0; at < n; ++at)
            for (char bad : notDigits) {
                std::string broken = text;
                broken[at] = bad;
                EXPECT_FALSE(FromHex(broken).has_value()) << "at " << at << ": " << int(bad);
            }
    }
}
