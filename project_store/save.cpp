// Saving a project into a new project image.
#include "kestra/paged_offset.h"
#include "kestra/project_image.h"
#include "project_store/store.h"
#include "utilities/languages.h"

namespace kestra::store {
namespace {

constexpr std::uint16_t kSavedMark = 3;

ProjectRecord storedRecord(const ProjectRecord& r) {
    ProjectRecord s = r;
    AdjustStoredTables(s);
    AdjustStoredPages(s);
    s.keyed = 0;
    s.nodeA = StoredNode(r.nodeA, true);
    return s;
}

ExtensionRecord storedExtension(const ExtensionRecord& e) {
    ExtensionRecord s = e;
    s.nodeB = StoredNode(e.nodeB, true);
    AdjustStoredOptionBlock(s);
    AdjustStoredBitmaps(s);
    s.slot99 = 0;
    AdjustStoredResources(s);
    AdjustStoredListSection(s);
    AdjustStoredClosingBlocks(s);
    s.languages = 0;
    return s;
}

void writeImage(SaveContext& c) {
    c.out.u16(kDescriptorOffset);
    c.out.zeros(kDescriptorOffset - 2);
    c.out.record(ImageDescriptor{*PagedOffset::encode(kImageRecordOffset), c.formatCode});
    c.out.record(storedRecord(c.project.record));
    WriteLeadingTables(c);
    WritePages(c);
    WriteMiddleTables(c);
    WriteStringPool(c);
    WriteKeyedTable(c);
    c.out.record(storedExtension(c.project.ext));
    WriteNetworkFolders(c);
    WriteOptionBlock(c);
    WritePageBlobs(c);
    WriteBitmaps(c);
    WriteResources(c);
    WriteListSection(c);
    WriteTagElements(c);
    WriteLanguages(c);
    WriteClosingBlocks(c);
}

// With one language the pages hold their names inline while they are saved, and get their
// identifiers back on every way out.
class InlineNames {
  public:
    InlineNames(ProjectBlock& project, void* key) : project_(project), key_(key) {
        if (!project.ext.multiLanguage()) InlinePageNames(project, key);
    }
    ~InlineNames() {
        if (!project_.ext.multiLanguage()) RestorePageNames(project_, key_);
    }

  private:
    ProjectBlock& project_;
    void* key_;
};

}  // namespace

std::size_t SaveProjectImage(ProjectBlock& project, void* key, HGLOBAL* image) {
    if (project.ext.multiLanguage()) MultiLangToDefault(key);
    InlineNames names(project, key);
    project.ext.savedMark = kSavedMark;
    const std::uint8_t code = FormatCodeFor(project.ext);
    // The last image saved on the thread is the guess for this one's size (most saves store
    // the project that was saved last, or one like it).
    thread_local std::size_t lastSize = 0;
    return WriteNewImage(
        [&](Sink& out) {
            SaveContext c{out, project, key, code};
            writeImage(c);
        },
        image, lastSize);
}

}  // namespace kestra::store
