// The kinds of file the card holds, their file types and subtypes, and how a code file
// carries its version.
//
// Every file on the card is known by a file type and a subtype (one byte each):
//   type 4   Kestra code file, subtype = code kind (0 boot, 1 firmware, 2 MIPS, 3 MIPS service)
//   type 6   keyboard, subtype 1 to 255
//   type 16  font, subtype = font kind (2 "d", 3 "l", 4 "xl", 5 any other)
//   type 17  ROM file, type 18 project, type 19 application (subtype 0)
// Windows CE files and the placeholder of a Windows CE file system take the type and subtype
// the user gives, any but the types above; a placeholder made with the default type gets 32.
//
// A code file may carry its version as the text "KVER:" followed by the version, ended by a
// zero byte, a line end or any other control character, within the first 64 KB of the file
// (for example a string "KVER:2.14 build 0512" compiled into the firmware). A file without
// one is accepted; its version shows as "no version".
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

enum KESTRACODETYPE : int {
    KESTRA_BOOT = 0,
    KESTRA_FIRMWARE = 1,
    KESTRA_MIPS = 2,
    KESTRA_MSER = 3
};
enum FONTTYPE : int { FONT_D = 2, FONT_L = 3, FONT_XL = 4, FONT_OTHER = 5 };

namespace kestra::card {

inline constexpr std::uint8_t kCodeFileType = 4;
inline constexpr std::uint8_t kKeyboardType = 6;
inline constexpr std::uint8_t kFontType = 16;
inline constexpr std::uint8_t kRomType = 17;
inline constexpr std::uint8_t kProjectType = 18;
inline constexpr std::uint8_t kApplicationType = 19;
inline constexpr std::uint8_t kWceFsDefaultType = 32;
inline constexpr int kCodeKinds = 4;

// What a file of this type is ("firmware", "font l", "Windows CE file" ...), for listings.
std::string DescribeFileType(std::uint8_t type, std::uint8_t subtype, bool placeholder);
// True for the types that the service gives its own files; Windows CE files may not use them.
bool IsReservedType(int type);

struct CodeKind {
    KESTRACODETYPE kind;
    const char* name;     // "boot", "firmware", "MIPS code", "MIPS service"
    const char* pattern;  // names of such files in a code folder
};
const CodeKind& CodeKindInfo(KESTRACODETYPE kind);
bool IsCodeKind(int kind);

// The font kind of a font file, from the end of its name: "-d.rom" 2, "-l.rom" 3,
// "-xl.rom" 4 (letter case ignored), anything else 5.
FONTTYPE FontKindOfFile(std::string_view path);
const char* FontKindName(int kind);  // "d", "l", "xl", "other"

inline constexpr std::string_view kVersionMarker = "KVER:";
inline constexpr std::size_t kVersionSearchBytes = 64 * 1024;
inline constexpr std::size_t kVersionLength = 23;  // what the directory keeps
// The version text of a code file, or nullopt when it carries none.
std::optional<std::string> FindVersionText(std::span<const std::uint8_t> contents);

}  // namespace kestra::card
