// kestra-make-sample: makes the suite's sample project from the S5 sample editor's project:
// the same fields and alarms on named pages with page texts, a second language ("Deutsch") and a
// tag folder of three tags. The sample in data/samples/ is this project's JSON form.
//
//   kestra-make-sample S5SAMPLE.kpr OUT.kpr
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "kestra/project.h"
#include "kestra/resource_section.h"
#include "platform/file_writer.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "project_store/project_store.h"
#include "string_table/string_table.h"
#include "utilities/languages.h"
#include "utilities/services.h"

namespace {

using namespace kestra;

const char* const kPageNames[] = {"Tanks", "Messages", "Counters"};
const char* const kPageTexts[][2] = {
    {"Tank farm: levels and pumps", "Tanklager: Staende und Pumpen"},
    {"Messages and bar graphs", "Meldungen und Balken"},
    {"Counters and timers", "Zaehler und Zeiten"},
};
const char* const kTags[] = {"Tank level", "Pump speed", "Valve open"};

mem::Ref Blob(const std::string& text) {
    const mem::Ref ref = mem::HostAllocate(static_cast<std::uint32_t>(4 + text.size()));
    std::byte* data = mem::Data(ref);
    WriteLe32(data, static_cast<std::uint32_t>(text.size()));
    std::memcpy(data + 4, text.data(), text.size());
    return ref;
}

template <typename T>
mem::Ref HostRecords(const std::vector<T>& records) {
    const auto size = static_cast<std::uint32_t>(records.size() * sizeof(T));
    const mem::Ref ref = mem::HostAllocate(size);
    std::memcpy(mem::Data(ref), records.data(), size);
    return ref;
}

void AddLanguages(ProjectBlock& p) {
    auto* pages = reinterpret_cast<PageRecord*>(
        mem::At(p.record.pages, 0, std::size_t{p.record.pageCount} * sizeof(PageRecord)));
    std::vector<TextEntry> german(p.record.pageCount);
    for (std::size_t i = 0; i < p.record.pageCount && i < std::size(kPageTexts); ++i) {
        pages[i].setNameId(StrTabAddText(kPageNames[i], &p));
        pages[i].text = Blob(kPageTexts[i][0]);
        german[i].value0 = pages[i].b49;
        german[i].blobA = Blob(kPageTexts[i][1]);
    }
    std::vector<LanguageEntry> languages(2);
    languages[0].nameId = StrTabAddText("English", &p);
    languages[1].nameId = StrTabAddText("Deutsch", &p);
    languages[1].textSet1 = HostRecords(german);
    p.ext.languageCount = 2;
    p.ext.b229 = 1;
    p.ext.set1Count = p.record.pageCount;
    p.ext.set2Count = 0;
    p.ext.languages = HostRecords(languages);
    DefaultToMultiLang(&p);
}

void AddTags(ProjectBlock& p) {
    std::vector<TagElement> tags(std::size(kTags));
    for (std::size_t i = 0; i < tags.size(); ++i) {
        tags[i].key = static_cast<std::uint16_t>(i + 1);
        tags[i].nameId = StrTabAddText(kTags[i], &p);
    }
    const HGLOBAL block = GlobalAlloc(GHND, tags.size() * sizeof(TagElement));
    std::memcpy(GlobalLock(block), tags.data(), tags.size() * sizeof(TagElement));
    GlobalUnlock(block);
    p.ext.tagFolder.count = static_cast<std::uint16_t>(tags.size());
    p.ext.tagFolder.nameId = StrTabAddText("Plant tags", &p);
    p.ext.tagFolder.elements = block;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kestra-make-sample S5SAMPLE.kpr OUT.kpr\n");
        return 2;
    }
    SetAppFmalloc(&mem::HostAllocate);
    const auto image = platform::ReadWholeFile(argv[1]);
    if (!image) {
        std::fprintf(stderr, "kestra-make-sample: %s cannot be read\n", argv[1]);
        return 1;
    }
    HGLOBAL copy = GlobalAlloc(GHND, image->size());
    std::memcpy(GlobalLock(copy), image->data(), image->size());
    GlobalUnlock(copy);
    HGLOBAL project = GetProject(copy, 0);
    GlobalFree(copy);
    if (!project) {
        std::fprintf(stderr, "kestra-make-sample: %s is not a project\n", argv[1]);
        return 1;
    }
    ProjectBlock& p = *reinterpret_cast<ProjectBlock*>(mem::Data(project));
    p.record.titleId = StrTabAddText("Kestra sample: tank farm on an S5", &p);
    AddLanguages(p);
    AddTags(p);
    HGLOBAL saved = 0;
    const DWORD size = SaveProject(project, 0, &saved);
    if (!size) {
        std::fprintf(stderr, "kestra-make-sample: the project cannot be saved\n");
        return 1;
    }
    const std::string bytes(static_cast<const char*>(GlobalLock(saved)), size);
    GlobalUnlock(saved);
    std::string error;
    if (!platform::WriteWholeFile(argv[2], bytes, &error)) {
        std::fprintf(stderr, "kestra-make-sample: %s: %s\n", argv[2], error.c_str());
        return 1;
    }
    std::printf("%s: %u bytes\n", argv[2], size);
    return 0;
}
