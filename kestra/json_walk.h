// The walk over a whole project image, shared by export and import: the project record with
// the sections up to the keyed-entry table, then the extension record and what follows it.
#pragma once

#include <cstdint>

#include "kestra/json_codec.h"

namespace kestra::json {

struct Walk {
    Codec& c;
    std::uint8_t format = 0;  // the image's format code
    bool multiLanguage = false;
    std::size_t pages = 0;  // the pages the project has
    RecordAt project{};
    RecordAt ext{};
};

inline std::uint32_t Le(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t width) {
    std::uint32_t v = 0;
    for (std::size_t i = width; i > 0; --i) v = v << 8 | bytes[at + i - 1];
    return v;
}

// The project record and sections 1 to 11.
void WalkProjectSections(Walk& w);
// The extension record and sections 12 to 24.
void WalkExtensionSections(Walk& w);
// Sections 13 (option block) and 17 (list section).
void WalkOptionBlock(Walk& w);
void WalkListSection(Codec& c);

}  // namespace kestra::json
