// Releasing a loaded project: every block it references, each once (language entry 0 shares
// its blobs with the pages and resources).
#include <vector>

#include "kestra/resource_section.h"
#include "platform/free_blocks.h"
#include "project_store/store.h"
#include "string_table/string_table.h"

namespace kestra::store {
namespace {

class Collector {
  public:
    // Every block met but the project block itself, some more than once (the table frees
    // each once). A large project names tens of thousands, in room the thread keeps.
    explicit Collector(Ref self) : self_(self) { refs().clear(); }
    std::vector<Ref>& refs() { return room_.get(); }

    void add(Ref ref) {
        if (ref && ref != self_) refs().push_back(ref);
    }
    void blobs(std::initializer_list<Ref> list) {
        for (Ref ref : list) add(ref);
    }

    template <typename T>
    std::span<T> table(Ref ref, std::size_t count) {
        add(ref);
        return Records<T>(ref, count).value_or(std::span<T>());
    }

    void fields(Ref ref, std::size_t count, int depth) {
        if (depth > kMaxFieldNesting) return;
        for (const FieldRecord& f : table<FieldRecord>(ref, count)) {
            blobs({f.list1.block, f.list2.block, f.label});
            if (f.hasChildren()) fields(f.children, f.childCount, depth + 1);
        }
    }

    void nodes(const NetworkNode& node, int depth) {
        if (depth > 3) return;
        for (const NetworkNode& child : table<NetworkNode>(node.children, node.childCount))
            nodes(child, depth + 1);
    }

    void optionList(Ref ref, bool typed) {
        auto head = table<OptionListHead>(ref, 1);
        if (head.empty() || !typed) return;
        auto slots = BytesAt(ref, sizeof(OptionListHead) + head[0].count * sizeof(Slot));
        for (std::size_t i = 0; slots && i < head[0].count; ++i)
            add(ReadLe32(slots->data() + sizeof(OptionListHead) + i * sizeof(Slot)));
    }

    void options(const ExtensionRecord& ext) {
        auto block = table<OptionBlock>(ext.optionBlock, 1);
        if (block.empty()) return;
        const OptionBlock& o = block[0];
        const bool typed = o.head.layout2();
        for (Ref list : o.lists) optionList(list, typed);
        for (Ref list : table<Slot>(o.series, o.head.seriesCount)) optionList(list, typed);
        optionList(o.extraList, typed);
        add(o.textList);
        if (auto count = BytesAt(o.textList, 2)) {
            auto slots = BytesAt(o.textList, 2 + ReadLe16(count->data()) * sizeof(Slot));
            for (std::size_t i = 0; slots && i < ReadLe16(count->data()); ++i)
                add(ReadLe32(slots->data() + 2 + i * sizeof(Slot)));
        }
    }

    void listSection(const ExtensionRecord& ext) {
        for (const ListSection& s : table<ListSection>(ext.listSection, 1)) {
            add(s.title);
            for (Ref t : s.texts) add(t);
            add(s.columns);
            for (const ListNode& node : table<ListNode>(s.nodes, s.nodeCount)) {
                blobs({node.name, node.entries});
                for (const ListItemList& items : node.itemLists)
                    for (const ListItem& item : table<ListItem>(items.items, items.count))
                        add(item.text);
            }
        }
    }

    void project(const ProjectBlock& p) {
        const ProjectRecord& r = p.record;
        const ExtensionRecord& e = p.ext;
        blobs({r.section1, r.section2a, r.section4, r.section6, r.section7, r.text1, r.text2,
               r.section9});
        for (const GroupRecord& g : table<GroupRecord>(r.groups, r.groupCount)) add(g.entries);
        for (const Section5Record& s : table<Section5Record>(r.section5, r.section5Count))
            add(s.entries);
        for (const PageRecord& page : table<PageRecord>(r.pages, r.pageCount)) {
            blobs({page.text, page.blob1, page.blob2});
            fields(page.fields, page.fieldCount, 0);
        }
        ForEachKeyedBlock(r, [this](Ref ref) { add(ref); });
        nodes(r.nodeA, 0);
        nodes(e.nodeB, 0);
        options(e);
        for (const BitmapEntry& b : table<BitmapEntry>(e.bitmaps, e.bitmapCount)) add(b.dib);
        for (const ShapeEntry& s : table<ShapeEntry>(e.shapes, e.shapeCount))
            blobs({s.head.points, s.name});
        for (const ResourceSection& s : table<ResourceSection>(e.resources, 1))
            for (Ref ref : s.records)
                for (const ResourceRecord& rr : table<ResourceRecord>(ref, 1))
                    blobs({rr.blobA, rr.blobB, rr.blobC});
        listSection(e);
        add(e.tagFolder.elements);
        for (const LanguageEntry& language : table<LanguageEntry>(e.languages, e.languageCount)) {
            for (const TextEntry& t : table<TextEntry>(language.textSet1, e.set1Count))
                blobs({t.blobA, t.blobB});
            for (const TextEntry& t : table<TextEntry>(language.textSet2, e.set2Count))
                blobs({t.blobA, t.blobB});
        }
        blobs({e.codeBlock, e.tail, e.table264, e.wordList, e.block124});
    }

  private:
    Ref self_;
    LentRoom<std::vector<Ref>> room_;
};

}  // namespace

void ReleaseProject(HGLOBAL handle) {
    auto block = Records<ProjectBlock>(handle, 1);
    if (!block) return;
    Collector collector(handle);
    collector.project((*block)[0]);
    mem::FreeBlocks(collector.refs());
    StrTabDiscard(mem::Data(handle));
    GlobalFree(handle);
}

}  // namespace kestra::store
