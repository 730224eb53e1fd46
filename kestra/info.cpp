// kestra info PROJECT: what a project holds, and which driver serves it.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "kestra/commands.h"
#include "kestra/driver.h"
#include "kestra/host.h"
#include "kestra/resource_section.h"
#include "platform/memory.h"

namespace kestra::host {

namespace {

struct InfoOptions {
    std::string project;
};

template <typename T>
const T* Records(mem::Ref ref, std::size_t count) {
    if (ref == 0 || count == 0) return nullptr;
    return reinterpret_cast<const T*>(mem::At(ref, 0, count * sizeof(T)));
}

struct FieldCounts {
    std::size_t fields = 0, children = 0, recipes = 0;
};

FieldCounts CountFields(const ProjectBlock& p, std::FILE* out) {
    FieldCounts counts;
    const auto* pages = Records<PageRecord>(p.record.pages, p.record.pageCount);
    for (std::size_t i = 0; pages && i < p.record.pageCount; ++i) {
        const PageRecord& page = pages[i];
        const auto* fields = Records<FieldRecord>(page.fields, page.fieldCount);
        std::size_t children = 0;
        for (std::size_t f = 0; fields && f < page.fieldCount; ++f) {
            if (fields[f].hasChildren()) children += fields[f].childCount;
            if (fields[f].namesRecipe == 1) ++counts.recipes;
        }
        counts.fields += page.fieldCount;
        counts.children += children;
        std::fprintf(out, "  page %zu: \"%s\", %u fields, %zu child fields\n", i + 1,
                     ProjectText(p, page.nameId()).c_str(), page.fieldCount.get(), children);
    }
    return counts;
}

std::size_t CountTexts(mem::Ref set, std::size_t count) {
    const auto* entries = Records<TextEntry>(set, count);
    std::size_t texts = 0;
    for (std::size_t i = 0; entries && i < count; ++i)
        if (entries[i].blobA != 0u) ++texts;
    return texts;
}

void PrintLanguages(const ProjectBlock& p, std::FILE* out) {
    const ExtensionRecord& e = p.ext;
    const std::size_t count = e.multiLanguage() ? e.languageCount : 1;
    std::fprintf(out, "Languages:     %zu\n", count);
    const auto* table = e.multiLanguage() ? Records<LanguageEntry>(e.languages, count) : nullptr;
    std::size_t pageTexts = 0;
    const auto* pages = Records<PageRecord>(p.record.pages, p.record.pageCount);
    for (std::size_t i = 0; pages && i < p.record.pageCount; ++i)
        if (pages[i].text != 0u) ++pageTexts;
    std::fprintf(out, "  language 1: \"%s\" (default), %zu page texts, %u strings\n",
                 table && table[0].nameId != 0u ? ProjectText(p, table[0].nameId).c_str() : "",
                 pageTexts, p.record.stringCount.get());
    for (std::size_t i = 1; table && i < count; ++i)
        std::fprintf(out, "  language %zu: \"%s\", %zu page texts, %zu resource texts\n", i + 1,
                     table[i].nameId != 0u ? ProjectText(p, table[i].nameId).c_str() : "",
                     CountTexts(table[i].textSet1, e.set1Count),
                     CountTexts(table[i].textSet2, e.set2Count));
}

// The driver's line. A driver that is listed but cannot serve is named in its line, and its
// failure comes back to end the command once the report is complete.
std::optional<Failure> PrintDriver(const ProjectBlock& p, const std::string& file, std::FILE* out) {
    std::fprintf(out, "PLC type:      %u, project code %u\n", p.record.plcType.get(),
                 p.record.projectType);
    try {
        Driver driver = Driver::ForProjectCode(p.record.projectType, p.record.plcType, file);
        std::fprintf(out, "Driver:        %s (%s)\n", driver.name().c_str(),
                     driver.library().c_str());
    } catch (const Failure& failure) {
        if (failure.code == kExitNoDriver) {
            std::fprintf(out, "Driver:        none installed\n");
            return std::nullopt;
        }
        std::string_view problem = failure.message;
        if (problem.starts_with(file + ": ")) problem.remove_prefix(file.size() + 2);
        std::fprintf(out, "Driver:        unusable: %.*s\n", static_cast<int>(problem.size()),
                     problem.data());
        return failure;
    }
    return std::nullopt;
}

void RunInfo(const InfoOptions& options) {
    const Bytes image = ReadInput(options.project);
    const auto head = ReadProjectImageHead(image);
    const LoadedProject project = Store::Get().load(options.project, image);
    const ProjectBlock& p = project.block();
    std::FILE* out = stdout;
    std::fprintf(out, "Project:       %s\n", options.project.c_str());
    std::fprintf(out, "Image size:    %zu bytes\n", image.size());
    std::fprintf(out, "Format code:   0x%02X\n", head->formatCode);
    std::fprintf(out, "Title:         %s\n", ProjectText(p, p.record.titleId).c_str());
    std::fprintf(out, "Pages:         %u\n", p.record.pageCount.get());
    const FieldCounts fields = CountFields(p, out);
    std::fprintf(out, "Fields:        %zu (and %zu child fields)\n", fields.fields,
                 fields.children);
    PrintLanguages(p, out);
    std::fprintf(out, "Tags:          %u\n", p.ext.tagFolder.count.get());
    std::fprintf(out, "Recipes:       %zu\n", fields.recipes);
    std::fprintf(out, "Alarms:        %u\n", p.record.section2aCount.get());
    if (auto failure = PrintDriver(p, options.project, out)) throw *failure;
}

}  // namespace

void AddInfoCommand(CLI::App& app) {
    static InfoOptions options;
    CLI::App* info = app.add_subcommand(
        "info",
        "Show what a project holds: format, title, pages, fields, languages, tags, "
        "recipes, alarms, PLC type and the driver that serves it.");
    info->add_option("PROJECT", options.project, "The project file.")->required();
    info->callback([] { RunInfo(options); });
}

}  // namespace kestra::host
