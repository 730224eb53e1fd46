// Projects built in memory, as a project editor holds them, for the project store's tests and
// benchmark: every section can be switched on, and every text is a real string of the
// project's string table.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "kestra/project.h"
#include "kestra/project_sections.h"
#include "platform/memory.h"

namespace kestra::testing {

struct ProjectShape {
    int pages = 2;
    int fieldsPerPage = 4;
    int languages = 1;
    int bitmaps = 0;            // bitmaps are followed by two shapes
    int extraTexts = 0;         // texts in the string table that nothing references
    bool recordTables = false;  // sections 1, 2a, 4 to 9
    bool groups = false;        // section 2b instead of 2a (with recordTables)
    bool pageBlobs = false;     // section 14, both blobs
    int optionLayout = 0;       // 0: none; 1 or 2
    bool shortOptionElements = false;
    bool keyed = false;            // keyed entries in slots 0 and 3, an empty entry in slot 5
    bool keyedNamedParts = false;  // with keyed: a sub-entry 0x23 of named parts in slots 1, 4, 7
    bool network = false;          // network folders A and B with children and grandchildren
    bool resources = false;
    bool tags = false;
    bool closing = false;   // code block, tail, 264-byte table, grouped word list
    int distinctTexts = 0;  // nonzero: field and list texts cycle through this many texts
};

// The large project of the benchmarks: 200 pages of 100 fields in three languages, with every
// kind of section.
inline constexpr ProjectShape kBenchmarkShape{.pages = 200,
                                              .fieldsPerPage = 100,
                                              .languages = 3,
                                              .bitmaps = 50,
                                              .pageBlobs = true,
                                              .optionLayout = 2,
                                              .keyed = true,
                                              .network = true,
                                              .resources = true,
                                              .tags = true,
                                              .closing = true,
                                              .distinctTexts = 5000};

// A project block in a global block (its address keys its string table); release it with
// kestra::store::ReleaseProject.
HGLOBAL BuildProject(const ProjectShape& shape);

ProjectBlock& ProjectAt(HGLOBAL handle);

// Blocks and texts, as a host makes them.
mem::Ref HostBlob(std::string_view bytes);
mem::Ref HostText(std::string_view text);
mem::Ref HostCopy(std::span<const std::byte> bytes);
HGLOBAL GlobalCopy(std::span<const std::byte> bytes);
template <typename T>
HGLOBAL GlobalRecords(std::span<const T> records) {
    return GlobalCopy(std::as_bytes(records));
}
template <typename T>
mem::Ref HostRecords(std::span<const T> records) {
    return HostCopy(std::as_bytes(records));
}
std::string BlobText(mem::Ref blob);

WORD AddText(void* project, std::string_view text);
std::string TextOf(void* project, WORD id);

// A packed 8-bit bitmap of the given size with a 256-colour palette.
std::string MakeDib(int width, int height, std::uint8_t fill);

}  // namespace kestra::testing
