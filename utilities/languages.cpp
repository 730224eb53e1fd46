// The default language's text sets.
#include "utilities/languages.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "kestra/project.h"
#include "kestra/resource_section.h"
#include "string_table/string_table.h"
#include "utilities/blocks.h"
#include "utilities/services.h"
#include "windows/controls.h"

using kestra::LanguageEntry;
using kestra::PageRecord;
using kestra::ProjectBlock;
using kestra::ResourceRecord;
using kestra::ResourceSection;
using kestra::TextEntry;
namespace blocks = kestra::blocks;
namespace mem = kestra::mem;

namespace {

constexpr std::size_t kLanguageNameRoom = 256;

// Language entry 0 of a project with several languages. Otherwise the result the conversions
// give at once: TRUE for a single-language project (no table), FALSE for a table that does not
// resolve.
std::optional<BOOL> findDefaultLanguage(ProjectBlock& project, LanguageEntry*& entry) {
    if (project.ext.languageCount < 2 || project.ext.languages == 0u) return TRUE;
    auto entries = blocks::Records<LanguageEntry>(project.ext.languages, 1);
    if (!entries) return FALSE;
    entry = &(*entries)[0];
    return std::nullopt;
}

std::span<PageRecord> pagesOf(ProjectBlock& project) {
    return blocks::RecordsUpTo<PageRecord>(project.record.pages, project.record.pageCount);
}

// The resource record of each slot, null for an empty slot; nothing when the project has no
// resource section.
ResourceSection* resourcesOf(ProjectBlock& project) {
    if (project.ext.resourcesPresent == 0u) return nullptr;
    auto section = blocks::Records<ResourceSection>(project.ext.resources, 1);
    return section ? &(*section)[0] : nullptr;
}
ResourceRecord* resourceAt(const ResourceSection& section, std::size_t slot) {
    auto record = blocks::Records<ResourceRecord>(section.records[slot], 1);
    return record && section.records[slot] != 0u ? &(*record)[0] : nullptr;
}

}  // namespace

extern "C" {

BOOL DefaultToMultiLang(void* projectBlock) {
    if (!projectBlock) return FALSE;
    auto& project = kestra::RecordAt<ProjectBlock>(projectBlock);
    LanguageEntry* language = nullptr;
    if (auto early = findDefaultLanguage(project, language)) return *early;
    APPFMALLOC allocate = GetAppFmalloc();
    if (!allocate) return FALSE;

    auto pages = pagesOf(project);
    if (!pages.empty()) {
        const std::size_t count = project.ext.set1Count;
        mem::Ref set = allocate(static_cast<std::uint32_t>(count * sizeof(TextEntry)));
        auto entries = blocks::Records<TextEntry>(set, count);
        if (!set || !entries) return FALSE;
        std::fill(entries->begin(), entries->end(), TextEntry{});
        for (std::size_t i = 0; i < std::min(count, pages.size()); ++i) {
            (*entries)[i].value0 = pages[i].b49;
            (*entries)[i].blobA = pages[i].text;
            (*entries)[i].blobB = pages[i].blob1;
        }
        language->textSet1 = set;
    }
    if (ResourceSection* resources = resourcesOf(project)) {
        mem::Ref set = allocate(kestra::kResourceSlots * sizeof(TextEntry));
        auto entries = blocks::Records<TextEntry>(set, kestra::kResourceSlots);
        if (!set || !entries) return FALSE;
        std::memset(static_cast<void*>(entries->data()), 0, entries->size_bytes());
        for (std::size_t slot = 0; slot < kestra::kResourceSlots; ++slot) {
            if (ResourceRecord* resource = resourceAt(*resources, slot)) {
                (*entries)[slot].value0 =
                    std::uint32_t{resource->value10} | (std::uint32_t{resource->value14} << 16);
                (*entries)[slot].blobA = resource->blobA;
                (*entries)[slot].blobB = resource->blobB;
            }
        }
        language->textSet2 = set;
    }
    return TRUE;
}

BOOL MultiLangToDefault(void* projectBlock) {
    if (!projectBlock) return FALSE;
    auto& project = kestra::RecordAt<ProjectBlock>(projectBlock);
    LanguageEntry* language = nullptr;
    if (auto early = findDefaultLanguage(project, language)) return *early;
    auto pages = pagesOf(project);
    if (!pages.empty()) {
        if (language->textSet1 == 0u) return FALSE;
        auto entries = blocks::RecordsUpTo<TextEntry>(language->textSet1, project.ext.set1Count);
        for (std::size_t i = 0; i < std::min(entries.size(), pages.size()); ++i) {
            pages[i].b49 = static_cast<std::uint8_t>(entries[i].value0.get());
            pages[i].text = entries[i].blobA;
            pages[i].blob1 = entries[i].blobB;
        }
    }
    if (ResourceSection* resources = resourcesOf(project)) {
        if (language->textSet2 == 0u) return FALSE;
        auto entries = blocks::RecordsUpTo<TextEntry>(language->textSet2, kestra::kResourceSlots);
        for (std::size_t slot = 0; slot < entries.size(); ++slot) {
            if (ResourceRecord* resource = resourceAt(*resources, slot)) {
                resource->value10 = static_cast<std::uint16_t>(entries[slot].value0.get());
                resource->value14 = static_cast<std::uint16_t>(entries[slot].value0.get() >> 16);
                resource->blobA = entries[slot].blobA;
                resource->blobB = entries[slot].blobB;
            }
        }
    }
    return TRUE;
}

}  // extern "C"

namespace {

// One display line per language, in table order; a language whose name cannot be fetched
// loses its name identifier and shows an empty line.
std::vector<std::string> languageLines(ProjectBlock& project, void* projectBlock) {
    std::vector<std::string> lines;
    auto entries =
        blocks::RecordsUpTo<LanguageEntry>(project.ext.languages, project.ext.languageCount);
    const std::size_t room = entries.size() * kLanguageNameRoom + 1;
    std::vector<char> name(room);
    for (LanguageEntry& entry : entries) {
        std::string line;
        if (entry.nameId != 0) {
            name[0] = 0;
            if (!StrTabGetText(entry.nameId, projectBlock, name.data(), static_cast<DWORD>(room),
                               0)) {
                entry.nameId = 0;
            } else {
                std::uintptr_t list = StrTabListPrepare(projectBlock);
                std::vector<char> shown(room);
                if (list && StrTabListAdd(list, name.data()))
                    StrTabListFormat(list, shown.data(), static_cast<DWORD>(room));
                if (list) StrTabListRelease(list);
                line = shown.data();
            }
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace

extern "C" BOOL InitLangListBox(DWORD, HWND listBox, void* project, void*) {
    if (!project || !listBox) return FALSE;
    auto& block = kestra::RecordAt<ProjectBlock>(project);
    for (const std::string& line : languageLines(block, project))
        SendMessage(listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    return TRUE;
}
