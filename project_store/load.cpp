// Loading a project image into a new project block.
#include <cstring>
#include <variant>

#include "kestra/project_image.h"
#include "project_store/store.h"
#include "string_table/string_table.h"
#include "utilities/services.h"

namespace kestra::store {
namespace {

// The project record's references are the writer's; each table put in place replaces its own.
void clearRecordSlots(ProjectRecord& r) {
    for (Slot* slot :
         {&r.section1, &r.section2a, &r.groups, &r.section4, &r.pages, &r.text1, &r.text2,
          &r.section9, &r.keyed, &r.section5, &r.section6, &r.section7, &r.nodeA.children})
        *slot = 0;
}

// Extension bytes 175 to 374: what an image written without its later sections cannot hold.
constexpr std::size_t kLaterSectionsStart = offsetof(ExtensionRecord, tagFolder);

void readExtension(LoadContext& c) {
    ExtensionRecord& ext = c.project.ext;
    ext = c.in.record<ExtensionRecord>("extension record");
    ReadNetworkFolders(c);
    ReadOptionBlock(c);
    ReadPageBlobs(c);
    ReadBitmaps(c);
    ext.slot99 = 0;
    ReadResources(c);
    if (c.flags & kLoadWithoutLaterSections) {
        std::memset(reinterpret_cast<std::byte*>(&ext) + kLaterSectionsStart, 0,
                    sizeof(ExtensionRecord) - kLaterSectionsStart);
        ext.languageCount = 1;
        return;
    }
    ReadListSection(c);
    ReadTagElements(c);
    ReadLanguages(c);
}

void loadSections(LoadContext& c) {
    ProjectRecord& r = c.project.record;
    ReadLeadingTables(c);
    ReadPages(c);
    ReadMiddleTables(c);

    c.pool.read(c.in, r.stringCount);
    r.stringCount = 0;
    r.titleId = c.translate(r.titleId);
    TranslateTableTexts(c);
    TranslateFieldLists(c);
    ReadKeyedTable(c);

    if (RulesForFormat(c.formatCode).hasExtensionRecord)
        readExtension(c);
    else
        c.project.ext = ExtensionRecord{};

    TranslatePageNames(c);
    if (c.project.ext.multiLanguage()) TranslateKeyedCaptions(c);
    for (le16& index : c.project.ext.textIds) c.translateIfSet(index);
    ReadClosingBlocks(c);
    TranslateNodeNames(c);
    TranslateFieldTexts(c);
    TranslateGroupNames(c);
    c.settleTexts();
}

}  // namespace

HGLOBAL LoadProjectImage(std::span<const std::byte> image, unsigned flags) {
    auto located = LocateProject(image);
    if (const auto* fault = std::get_if<ImageFault>(&located))
        throw ImageError(fault->offset, fault->message);
    const auto& at = std::get<LocatedProject>(located);
    const APPFMALLOC host = GetAppFmalloc();
    if (!host) return 0;

    // The project's many small blocks share a few large pieces of memory.
    mem::Packing packing;
    Allocations blocks(host);
    const HGLOBAL handle = blocks.global(kProjectBlockSize);
    if (!handle) return 0;
    GlobalLockGuard lock(handle);
    if (!lock) return 0;
    auto& project = RecordAt<ProjectBlock>(lock.data());
    ImageReader in(image, at.recordOffset);
    project.record = in.record<ProjectRecord>("project record");
    clearRecordSlots(project.record);
    LoadContext c{in, project, lock.data(), blocks, flags, at.formatCode, {}};
    try {
        loadSections(c);
    } catch (...) {
        StrTabDiscard(c.key);
        throw;
    }
    blocks.keep();
    return handle;
}

}  // namespace kestra::store
