#include "card_service/card_names.h"

#include <cstdint>
#include <cstdio>

namespace kestra::card {

namespace {

// The length of the UTF-8 character at the start of `text`, or 0 when it starts with a byte
// that is no UTF-8 there (a stray continuation byte, an overlong or surrogate form, a code
// point beyond U+10FFFF, a sequence cut short).
std::size_t CharacterLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    std::uint32_t code = 0, least = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

// C0 controls, DEL and the C1 controls (U+0080 to U+009F, "\xC2\x80" to "\xC2\x9F").
bool IsControl(std::string_view character) {
    const auto lead = static_cast<std::uint8_t>(character[0]);
    if (character.size() == 1) return lead < 0x20 || lead == 0x7F;
    return character.size() == 2 && lead == 0xC2 && static_cast<std::uint8_t>(character[1]) < 0xA0;
}

// Calls `each(character, valid)` for every character of `text`; a byte that is no UTF-8
// comes as a character of its own, not valid.
template <typename Each>
void ForEachCharacter(std::string_view text, Each each) {
    while (!text.empty()) {
        const std::size_t length = CharacterLength(text);
        each(text.substr(0, length ? length : 1), length != 0);
        text.remove_prefix(length ? length : 1);
    }
}

// What is wrong with the characters of `name`, whatever its length.
std::optional<std::string> CharactersProblem(std::string_view name) {
    if (name.empty()) return "is empty";
    std::optional<std::string> problem;
    ForEachCharacter(name, [&](std::string_view character, bool valid) {
        if (problem) return;
        if (!valid)
            problem = "is not UTF-8 text, as a name on the card must be";
        else if (IsControl(character))
            problem = "holds a control character (" + PrintableName(character) +
                      "); a name on the card holds none";
    });
    return problem;
}

}  // namespace

std::optional<std::string> CardNameProblem(std::string_view name) {
    if (auto problem = CharactersProblem(name)) return problem;
    if (name.size() > kMaxNameBytes)
        return "is " + std::to_string(name.size()) +
               " bytes long; a name on the card holds at most " + std::to_string(kMaxNameBytes) +
               " bytes of UTF-8";
    return std::nullopt;
}

bool OnlyTooLong(std::string_view name) {
    return name.size() > kMaxNameBytes && !CharactersProblem(name);
}

std::string_view WholeCharacters(std::string_view text, std::size_t bytes) {
    std::size_t kept = 0;
    while (kept < text.size()) {
        const std::size_t length = CharacterLength(text.substr(kept));
        const std::size_t step = length ? length : 1;
        if (kept + step > bytes) break;
        kept += step;
    }
    return text.substr(0, kept);
}

std::string CardNameOfFile(std::string_view fileName) {
    std::string name;
    ForEachCharacter(fileName, [&](std::string_view character, bool valid) {
        name += valid && !IsControl(character) ? character : std::string_view("?");
    });
    return std::string(WholeCharacters(name, kMaxNameBytes));
}

std::string PrintableName(std::string_view name) {
    std::string shown;
    ForEachCharacter(name, [&](std::string_view character, bool valid) {
        if (valid && !IsControl(character) && character != "\\") {
            shown += character;
            return;
        }
        for (char c : character) {
            switch (c) {
                case '\n':
                    shown += "\\n";
                    break;
                case '\t':
                    shown += "\\t";
                    break;
                case '\r':
                    shown += "\\r";
                    break;
                case '\\':
                    shown += "\\\\";
                    break;
                default: {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\x%02X",
                                  static_cast<unsigned>(static_cast<std::uint8_t>(c)));
                    shown += escape;
                }
            }
        }
    });
    return shown;
}

}  // namespace kestra::card
