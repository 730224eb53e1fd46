#include "kestra/json_text.h"

#include <array>
#include <cstring>

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace kestra::json {
namespace {

// Code points of the bytes 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t CodePointOf(std::uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
    return byte;
}

std::optional<std::uint8_t> ByteOf(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<std::uint8_t>(cp);
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == cp) return static_cast<std::uint8_t>(0x80 + i);
    return std::nullopt;
}


// The next code point of a UTF-8 text, or nothing for a malformed sequence.
std::optional<char32_t> NextCodePoint(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<std::uint8_t>(text[at++]);
    if (lead < 0x80) return lead;
    int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (more < 0 || lead > 0xF4) return std::nullopt;
    char32_t cp = lead & (0x3F >> more);
    for (; more > 0; --more) {
        if (at >= text.size()) return std::nullopt;
        const auto next = static_cast<std::uint8_t>(text[at++]);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        cp = (cp << 6) | (next & 0x3F);
    }
    return cp;
}

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

constexpr int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The value of every character as a hex digit, -1 for those that are none.
constexpr auto kHexValues = [] {
    std::array<std::int8_t, 256> values{};
    for (int c = 0; c < 256; ++c)
        values[c] = static_cast<std::int8_t>(HexValue(static_cast<char>(c)));
    return values;
}();

}  // namespace

std::string BytesToUtf8(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::uint8_t b : bytes) AppendUtf8(out, CodePointOf(b));
    return out;
}

bool AppendFromUtf8(std::vector<std::uint8_t>& out, std::string_view text, TextFault* fault) {
    out.reserve(out.size() + text.size());
    std::size_t at = 0;
    for (std::size_t index = 0; at < text.size(); ++index) {
        const auto lead = static_cast<std::uint8_t>(text[at]);
        if (lead < 0x80) {  // the common case: ASCII stands for itself
            out.push_back(lead);
            ++at;
            continue;
        }
        const auto cp = NextCodePoint(text, at);
        const auto byte = cp ? ByteOf(*cp) : std::nullopt;
        if (!byte) {
            if (fault) *fault = {cp.value_or(0xFFFD), index};
            return false;
        }
        out.push_back(*byte);
    }
    return true;
}

std::optional<std::vector<std::uint8_t>> Utf8ToBytes(std::string_view text, TextFault* fault) {
    std::vector<std::uint8_t> out;
    if (!AppendFromUtf8(out, text, fault)) return std::nullopt;
    return out;
}

void AppendQuotedText(std::string& out, std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out.push_back('"');
    for (std::uint8_t b : bytes) {
        if (b >= 0x80) {
            AppendUtf8(out, CodePointOf(b));
        } else if (b == '"' || b == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(b));
        } else if (b >= 0x20) {
            out.push_back(static_cast<char>(b));
        } else {
            // The short escapes where JSON has them, else \u00xx in lower case.
            static constexpr char kShort[] = "\0\0\0\0\0\0\0\0btn\0fr";
            out.push_back('\\');
            if (b < sizeof kShort - 1 && kShort[b] != 0) {
                out.push_back(kShort[b]);
            } else {
                out.append("u00");
                out.push_back(kDigits[b >> 4]);
                out.push_back(kDigits[b & 0xF]);
            }
        }
    }
    out.push_back('"');
}

namespace {

// The two digits of every byte value, side by side: one copy of two characters a byte.
constexpr auto kHexPairs = [] {
    constexpr char kDigits[] = "0123456789abcdef";
    std::array<char, 512> pairs{};
    for (std::size_t b = 0; b < 256; ++b) {
        pairs[2 * b] = kDigits[b >> 4];
        pairs[2 * b + 1] = kDigits[b & 0xF];
    }
    return pairs;
}();

#if defined(__SSE2__) && defined(__x86_64__)
// The sixteen hex digits of the eight bytes in the low half of `bytes`.
__m128i HexDigits(__m128i bytes) {
    const __m128i low = _mm_set1_epi8(0x0F);
    const __m128i nibbles = _mm_unpacklo_epi8(_mm_and_si128(_mm_srli_epi16(bytes, 4), low),
                                              _mm_and_si128(bytes, low));
    const __m128i letters =
        _mm_and_si128(_mm_cmpgt_epi8(nibbles, _mm_set1_epi8(9)), _mm_set1_epi8('a' - '0' - 10));
    return _mm_add_epi8(_mm_add_epi8(nibbles, _mm_set1_epi8('0')), letters);
}

__m128i Load8(const std::uint8_t* from) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(from));
}

__m128i Load4And4(const std::uint8_t* first, const std::uint8_t* second) {
    std::uint32_t a, b;
    std::memcpy(&a, first, 4);
    std::memcpy(&b, second, 4);
    return _mm_cvtsi64_si128(static_cast<long long>(std::uint64_t{b} << 32 | a));
}
#endif

}  // namespace

char* WriteHex(char* to, std::span<const std::uint8_t> bytes) {
    const std::uint8_t* from = bytes.data();
    const std::size_t n = bytes.size();
#if defined(__SSE2__) && defined(__x86_64__)
    // Eight bytes at a time, the last eight (overlapping the ones before) where n is not a
    // multiple; four to seven bytes as their first and last four. Nothing is read or written
    // outside the bytes and their digits.
    if (n >= 8) {
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 2 * i), HexDigits(Load8(from + i)));
        if (i < n)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 2 * (n - 8)),
                             HexDigits(Load8(from + n - 8)));
        return to + 2 * n;
    }
    if (n >= 4) {
        const __m128i digits = HexDigits(Load4And4(from, from + n - 4));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(to), digits);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(to + 2 * (n - 4)),
                         _mm_unpackhi_epi64(digits, digits));
        return to + 2 * n;
    }
#endif
    for (std::size_t i = 0; i < n; ++i) std::memcpy(to + 2 * i, &kHexPairs[2 * from[i]], 2);
    return to + 2 * n;
}

void AppendHex(std::string& out, std::span<const std::uint8_t> bytes) {
    const std::size_t at = out.size();
    out.resize(at + 2 * bytes.size());
    WriteHex(out.data() + at, bytes);
}

std::string ToHex(std::span<const std::uint8_t> bytes) {
    std::string out;
    AppendHex(out, bytes);
    return out;
}

#if defined(__SSE2__) && defined(__x86_64__)
namespace {

// The eight bytes of sixteen hex digits, in the low half; false when any is not a digit.
bool HexBytes(const char* digits, __m128i& bytes) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(digits));
    // Characters of 0x80 and above are negative here, and below every range.
    const __m128i lower = _mm_or_si128(c, _mm_set1_epi8(0x20));
    const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(c, _mm_set1_epi8('0' - 1)),
                                        _mm_cmpgt_epi8(_mm_set1_epi8('9' + 1), c));
    const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(lower, _mm_set1_epi8('a' - 1)),
                                         _mm_cmpgt_epi8(_mm_set1_epi8('f' + 1), lower));
    if (_mm_movemask_epi8(_mm_or_si128(digit, letter)) != 0xFFFF) return false;
    const __m128i values =
        _mm_or_si128(_mm_and_si128(digit, _mm_sub_epi8(c, _mm_set1_epi8('0'))),
                     _mm_and_si128(letter, _mm_sub_epi8(lower, _mm_set1_epi8('a' - 10))));
    // Each pair as a 16-bit lane: the high digit in its low byte.
    const __m128i pairs = _mm_or_si128(
        _mm_slli_epi16(_mm_and_si128(values, _mm_set1_epi16(0xFF)), 4), _mm_srli_epi16(values, 8));
    bytes = _mm_packus_epi16(pairs, pairs);
    return true;
}

}  // namespace
#endif

bool DecodeHex(std::uint8_t* to, std::string_view digits) {
    std::size_t i = 0;
#if defined(__SSE2__) && defined(__x86_64__)
    for (; i + 16 <= digits.size(); i += 16, to += 8) {
        __m128i bytes;
        if (!HexBytes(digits.data() + i, bytes)) return false;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(to), bytes);
    }
#endif
    for (; i + 1 < digits.size(); i += 2) {
        const int high = kHexValues[static_cast<unsigned char>(digits[i])];
        const int low = kHexValues[static_cast<unsigned char>(digits[i + 1])];
        if ((high | low) < 0) return false;
        *to++ = static_cast<std::uint8_t>(high << 4 | low);
    }
    return true;
}

bool AppendFromHex(std::vector<std::uint8_t>& out, std::string_view text) {
    if (text.size() % 2 != 0) return false;
    const std::size_t at = out.size();
    out.resize(at + text.size() / 2);
    return DecodeHex(out.data() + at, text);
}

std::optional<std::vector<std::uint8_t>> FromHex(std::string_view text) {
    std::vector<std::uint8_t> out;
    if (!AppendFromHex(out, text)) return std::nullopt;
    return out;
}

void AppendBase64(std::string& out, std::span<const std::uint8_t> bytes) {
    out.reserve(out.size() + (bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = std::uint32_t{bytes[i]} << 16;
        if (n > 1) group |= std::uint32_t{bytes[i + 1]} << 8;
        if (n > 2) group |= bytes[i + 2];
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= n ? kBase64[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
}

std::string ToBase64(std::span<const std::uint8_t> bytes) {
    std::string out;
    AppendBase64(out, bytes);
    return out;
}

bool AppendFromBase64(std::vector<std::uint8_t>& out, std::string_view text) {
    if (text.size() % 4 != 0) return false;
    out.reserve(out.size() + text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        std::size_t pad = 0;
        if (last) pad = (text[i + 3] == '=') + (text[i + 2] == '=' && text[i + 3] == '=');
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const int v = k >= 4 - pad ? 0 : Base64Value(text[i + k]);
            if (v < 0) return false;
            group = group << 6 | static_cast<std::uint32_t>(v);
        }
        // Bits below the last byte must be zero, so that every byte string has one spelling.
        if ((pad == 1 && (group & 0xFF)) || (pad == 2 && (group & 0xFFFF))) return false;
        out.push_back(static_cast<std::uint8_t>(group >> 16));
        if (pad < 2) out.push_back(static_cast<std::uint8_t>(group >> 8));
        if (pad < 1) out.push_back(static_cast<std::uint8_t>(group));
    }
    return true;
}

std::optional<std::vector<std::uint8_t>> FromBase64(std::string_view text) {
    std::vector<std::uint8_t> out;
    if (!AppendFromBase64(out, text)) return std::nullopt;
    return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string EscapeToken(std::string_view token) {
    std::string out;
    for (char c : token) {
        if (c == '~')
            out += "~0";
        else if (c == '/')
            out += "~1";
        else
            out += c;
    }
    return out;
}

}  // namespace kestra::json
