#include "card_service/card_files.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace kestra::card {
namespace {

constexpr std::array<CodeKind, kCodeKinds> kCodeKindTable = {{
    {KESTRA_BOOT, "boot", "boot*.bin"},
    {KESTRA_FIRMWARE, "firmware", "firm*.bin"},
    {KESTRA_MIPS, "MIPS code", "mips*.bin"},
    {KESTRA_MSER, "MIPS service", "mser*.bin"},
}};

struct FontSuffix {
    FONTTYPE kind;
    const char* name;
    std::string_view suffix;
};
// Longest suffix first: "-xl.rom" must not be taken for "-l.rom" (it is not, the "-" sees to
// that, but the order keeps it obvious).
constexpr std::array<FontSuffix, 3> kFontSuffixes = {{
    {FONT_XL, "xl", "-xl.rom"},
    {FONT_D, "d", "-d.rom"},
    {FONT_L, "l", "-l.rom"},
}};

struct TypeName {
    std::uint8_t type;
    const char* name;
};
constexpr std::array<TypeName, 6> kTypeNames = {{
    {kCodeFileType, "code file"},
    {kKeyboardType, "keyboard"},
    {kFontType, "font"},
    {kRomType, "ROM file"},
    {kProjectType, "project"},
    {kApplicationType, "application"},
}};

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<long>(suffix.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

}  // namespace

bool IsReservedType(int type) {
    return std::any_of(kTypeNames.begin(), kTypeNames.end(),
                       [&](const TypeName& t) { return t.type == type; });
}

bool IsCodeKind(int kind) {
    return kind >= 0 && kind < kCodeKinds;
}

const CodeKind& CodeKindInfo(KESTRACODETYPE kind) {
    return kCodeKindTable[static_cast<std::size_t>(kind)];
}

FONTTYPE FontKindOfFile(std::string_view path) {
    for (const FontSuffix& font : kFontSuffixes)
        if (EndsWithIgnoringCase(path, font.suffix)) return font.kind;
    return FONT_OTHER;
}

const char* FontKindName(int kind) {
    for (const FontSuffix& font : kFontSuffixes)
        if (font.kind == kind) return font.name;
    return "other";
}

std::string DescribeFileType(std::uint8_t type, std::uint8_t subtype, bool placeholder) {
    if (placeholder) return "Windows CE file system";
    if (type == kCodeFileType && IsCodeKind(subtype))
        return CodeKindInfo(static_cast<KESTRACODETYPE>(subtype)).name;
    if (type == kFontType) return std::string("font ") + FontKindName(subtype);
    for (const TypeName& t : kTypeNames)
        if (t.type == type) return t.name;
    return "Windows CE file";
}

std::optional<std::string> FindVersionText(std::span<const std::uint8_t> contents) {
    const auto searched = contents.first(std::min(contents.size(), kVersionSearchBytes));
    const auto found =
        std::search(searched.begin(), searched.end(), kVersionMarker.begin(), kVersionMarker.end());
    if (found == searched.end()) return std::nullopt;
    std::string version;
    for (auto it = found + static_cast<long>(kVersionMarker.size());
         it != contents.end() && *it >= 0x20 && *it != 0x7F && version.size() < kVersionLength;
         ++it)
        version.push_back(static_cast<char>(*it));
    while (!version.empty() && version.back() == ' ') version.pop_back();
    return version;
}

}  // namespace kestra::card
