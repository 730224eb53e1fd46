// Texts and bytes in the JSON form of a project.
//
// Project texts are single bytes. They appear in a document as UTF-8 through the Windows-1252
// code page, whose five undefined bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control
// characters of the same number, so that every byte has exactly one character and back.
// Bytes that carry no text are written as lower-case hex or, for bitmaps, as base64.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestra::json {

// A code point appended as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);
// A member name or index as a token of a JSON pointer ('~' and '/' escaped).
std::string EscapeToken(std::string_view token);

// The UTF-8 text of project text bytes.
std::string BytesToUtf8(std::span<const std::uint8_t> bytes);

// Project text bytes of a UTF-8 text; on a character outside the code page, nothing, and
// `badChar` (when given) holds the character's code point and `badIndex` its position in
// characters.
struct TextFault {
    char32_t character = 0;
    std::size_t index = 0;
};
std::optional<std::vector<std::uint8_t>> Utf8ToBytes(std::string_view text,
                                                     TextFault* fault = nullptr);
// The same, appended to `out`; false on a character outside the code page (then `out` may
// hold part of the text).
bool AppendFromUtf8(std::vector<std::uint8_t>& out, std::string_view text,
                    TextFault* fault = nullptr);

// The JSON string (quotes included) of project text bytes, escaped as the document writes it.
void AppendQuotedText(std::string& out, std::span<const std::uint8_t> bytes);
// Hex digits and base64 characters of bytes, appended.
void AppendHex(std::string& out, std::span<const std::uint8_t> bytes);
// The hex digits of bytes written at `to` (room for two a byte); returns their end.
char* WriteHex(char* to, std::span<const std::uint8_t> bytes);
void AppendBase64(std::string& out, std::span<const std::uint8_t> bytes);

std::string ToHex(std::span<const std::uint8_t> bytes);
// Nothing for an odd length or a character that is not a hex digit (either case).
std::optional<std::vector<std::uint8_t>> FromHex(std::string_view text);
bool AppendFromHex(std::vector<std::uint8_t>& out, std::string_view text);
// The bytes of an even number of hex digits written at `to` (room for half as many); false on
// a character that is not a hex digit, with part of the bytes written.
bool DecodeHex(std::uint8_t* to, std::string_view digits);

std::string ToBase64(std::span<const std::uint8_t> bytes);
// Strict: padded to a multiple of four, no whitespace, no bits after the last byte.
std::optional<std::vector<std::uint8_t>> FromBase64(std::string_view text);
bool AppendFromBase64(std::vector<std::uint8_t>& out, std::string_view text);

}  // namespace kestra::json
