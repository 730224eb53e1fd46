#include "project_store/describe.h"

#include <cstring>
#include <sstream>

#include "kestra/project_sections.h"
#include "kestra/resource_section.h"
#include "support/project_builder.h"
#include "utilities/blocks.h"

namespace kestra::testing {
namespace {

constexpr std::uint16_t kNone = 0xFFFF;

std::string hex(const void* data, std::size_t n) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    const auto* b = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < n; ++i) {
        out += digits[b[i] >> 4];
        out += digits[b[i] & 15];
    }
    return out;
}
template <typename T>
std::string hex(const T& record) {
    return hex(&record, sizeof record);
}
std::string bytesHex(mem::Ref ref, std::size_t n) {
    const std::byte* b = mem::At(ref, 0, n);
    return b ? hex(b, n) : "<missing " + std::to_string(n) + ">";
}

template <typename T>
std::span<T> records(mem::Ref ref, std::size_t count) {
    return blocks::Records<T>(ref, count).value_or(std::span<T>());
}

class Describer {
  public:
    explicit Describer(HGLOBAL handle) : p_(ProjectAt(handle)), key_(&p_) {}

    std::string run() {
        record();
        pages();
        keyed();
        extension();
        return out_.str();
    }

  private:
    std::string text(std::uint16_t id) { return "\"" + TextOf(key_, id) + "\""; }
    std::string textIfSet(std::uint16_t id) { return id ? text(id) : "-"; }
    // Takes the word at `at` out of a record copy and gives its text.
    std::string takeText(void* copy, std::size_t at, bool always) {
        auto* word = static_cast<std::byte*>(copy) + at;
        const std::uint16_t id = ReadLe16(word);
        WriteLe16(word, 0);
        return always || (id != 0 && id != kNone) ? text(id) : std::to_string(id);
    }
    std::ostream& line(const std::string& what) { return out_ << "\n" << what << ": "; }

    void listEntries(const char* what, mem::Ref ref, std::size_t count, std::size_t textAt,
                     int mode) {
        for (ListEntry e : records<ListEntry>(ref, count)) {
            const std::uint16_t id = ReadLe16(reinterpret_cast<std::byte*>(&e) + textAt);
            std::string t = std::to_string(id);
            // mode 0: raw; 1: text unless 0xFFFF; 2: text when nonzero; 3: always text
            if ((mode == 1 && id != kNone) || (mode == 2 && id != 0) || mode == 3) {
                t = text(id);
                WriteLe16(reinterpret_cast<std::byte*>(&e) + textAt, 0);
            }
            line(what) << hex(e) << " " << t;
        }
    }

    void record() {
        ProjectRecord r = p_.record;
        line("title") << text(r.titleId);
        r.titleId = 0;
        r.stringCount = 0;
        for (Slot* s : {&r.section1, &r.section2a, &r.groups, &r.section4, &r.pages, &r.text1,
                        &r.text2, &r.section9, &r.keyed, &r.section5, &r.section6, &r.section7})
            *s = 0;
        r.nodeA = NetworkNode{};
        line("record") << hex(r);
        const ProjectRecord& m = p_.record;
        line("section 1") << bytesHex(m.section1, m.section1Count * kSection1EntrySize);
        listEntries("section 2a", m.section2a, m.section2aCount, 2, 2);
        if (m.section2aCount == 0)
            for (GroupRecord g : records<GroupRecord>(m.groups, m.groupCount)) {
                line("group") << textIfSet(g.textId);
                listEntries("group entry", g.entries, g.entryCount, 2, 3);
                g.textId = 0;
                g.entries = 0;
                out_ << hex(g);
            }
        if (m.section4Present) line("section 4") << bytesHex(m.section4, kSection4Size);
        for (Section5Record s : records<Section5Record>(m.section5, m.section5Count)) {
            line("section 5 list") << bytesHex(s.entries, s.entryCount * kSection5EntrySize);
            s.entries = 0;
            out_ << " " << hex(s);
        }
        line("section 6") << bytesHex(m.section6, m.section6Count * sizeof(ListEntry));
        if (m.section7Present)
            line("section 7") << hex(mem::Data(m.section7), mem::Size(m.section7));
        if (m.text1Length > 1) line("text 1") << bytesHex(m.text1, m.text1Length - 1u);
        if (m.text2Length > 1) line("text 2") << bytesHex(m.text2, m.text2Length - 1u);
        for (Section9Entry e : records<Section9Entry>(m.section9, m.section9Count)) {
            line("section 9") << text(e.textId);
            e.textId = 0;
            out_ << hex(e);
        }
    }

    void field(FieldRecord f, int depth) {
        std::string indent(depth * 2, ' ');
        line(indent + "field") << textIfSet(f.textId);
        listEntries("  list 1", f.list1.block, f.list1.count, 4, 1);
        if (f.hasList2())
            listEntries("  list 2", f.list2.block, f.list2.count, 4, f.list2HoldsTexts() ? 1 : 0);
        if (f.label != 0u) line(indent + "label") << BlobOrText(f.label);
        auto kids = f.hasChildren() ? records<FieldRecord>(f.children, f.childCount)
                                    : std::span<FieldRecord>();
        f.textId = 0;
        f.list1.block = 0;
        f.list2.block = 0;
        f.children = 0;
        f.label = f.label != 0u;
        out_ << " " << hex(f);
        for (const FieldRecord& kid : kids) field(kid, depth + 1);
    }
    static std::string BlobOrText(mem::Ref ref) {
        auto bytes = mem::Bytes(ref);
        return std::string(reinterpret_cast<const char*>(bytes.data()),
                           strnlen(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }

    void pages() {
        for (PageRecord page : records<PageRecord>(p_.record.pages, p_.record.pageCount)) {
            line("page") << text(page.nameId()) << " text "
                         << (page.text ? BlobText(page.text) : "-") << " blobs "
                         << (page.blob1 ? BlobText(page.blob1) : "-") << "/"
                         << (page.blob2 ? BlobText(page.blob2) : "-");
            for (const FieldRecord& f : records<FieldRecord>(page.fields, page.fieldCount))
                field(f, 1);
            page.setNameId(0);
            page.text = page.fields = page.blob1 = page.blob2 = 0;
            out_ << " " << hex(page);
        }
    }

    void part(mem::Ref ref) {
        std::string bytes = BlobText(ref);
        std::size_t at = 6;
        std::string texts;
        for (std::size_t n = ReadLe16(bytes.data() + 4); n > 0; --n) {
            const std::uint16_t type = ReadLe16(bytes.data() + at);
            const std::size_t length = 4 + ReadLe16(bytes.data() + at + 2);
            char* element = bytes.data() + at;
            if (type == kElementNamed) texts += takeText(element, kElementNamedText, true);
            if (type == kElementCaptioned)
                texts +=
                    p_.ext.multiLanguage() ? takeText(element, kElementCaptionedText, true) : "";
            if ((type == kElementTexted1 || type == kElementTexted2) &&
                length >= kElementTextSlot + 4) {
                const mem::Ref t = ReadLe32(element + kElementTextSlot);
                if (t) texts += "trailer " + bytesHex(t, sizeof(TrailerText));
                WriteLe32(element + kElementTextSlot, 0);
            }
            at += length;
        }
        line("    part") << hex(bytes.data(), bytes.size()) << " " << texts;
    }

    void keyed() {
        const ProjectRecord& r = p_.record;
        line("keyed capacity") << r.keyedCapacity;
        const std::byte* table = mem::At(r.keyed, 0, 2 + 4 * r.keyedCapacity);
        if (!table) return;
        line("keyed tag") << ReadLe16(table);
        for (std::size_t i = 0; i < r.keyedCapacity; ++i) {
            const mem::Ref entry = ReadLe32(table + 2 + 4 * i);
            auto head = records<KeyedEntryHead>(entry, 1);
            if (head.empty() || head[0].subEntryCount == 0) continue;
            line("entry") << hex(head[0]);
            const std::byte* subs = mem::At(entry, 8, 4 * head[0].subEntryCount);
            for (std::size_t s = 0; s < head[0].subEntryCount; ++s) {
                KeyedSubEntry sub = records<KeyedSubEntry>(ReadLe32(subs + 4 * s), 1)[0];
                line("  sub-entry") << sub.key << " parts " << sub.partCount;
                for (mem::Ref part : sub.parts)
                    if (part) this->part(part);
            }
        }
    }

    void node(const char* what, NetworkNode n, bool named) {
        line(what) << (named ? textIfSet(n.nameId) : std::to_string(n.nameId));
        n.nameId = 0;
        n.children = 0;
        out_ << " " << hex(n);
    }
    std::span<NetworkNode> children(const NetworkNode& n) {
        return records<NetworkNode>(n.children, n.childCount);
    }

    // Names are texts where a load translates them: node A's, and those of the active
    // folder's children (on a network: a named child without children, or the children of
    // one with children).
    void network() {
        const bool onNetwork = p_.record.onNetwork != 0;
        const NetworkNode& a = p_.record.nodeA;
        node("node A", a, true);
        for (const NetworkNode& kid : children(a)) node("  child of A", kid, !onNetwork);
        node("node B", p_.ext.nodeB, false);
        for (const NetworkNode& kid : children(p_.ext.nodeB)) {
            const bool named = onNetwork && kid.nodeKind != 2;
            node("  child of B", kid, named && !kid.storesChildren());
            for (const NetworkNode& g : children(kid)) node("    grandchild of B", g, named);
        }
    }

    void options(const ExtensionRecord& e) {
        auto block = records<OptionBlock>(e.optionBlock, 1);
        if (block.empty()) return;
        const OptionBlock& o = block[0];
        line("option head") << hex(o.head);
        auto list = [&](mem::Ref ref) {
            auto head = records<OptionListHead>(ref, 1);
            if (head.empty()) return;
            line("  list") << hex(head[0]);
            for (std::size_t i = 0; i < head[0].count; ++i) {
                if (!o.head.layout2()) {
                    OptionElement el;
                    std::memcpy(&el, mem::At(ref, 8 + 28 * i, 28), 28);
                    std::string t = takeText(&el, 20, false) + "/" + takeText(&el, 22, false);
                    line("    element") << hex(el) << " " << t;
                } else {
                    const mem::Ref element = ReadLe32(mem::At(ref, 8 + 4 * i, 4));
                    line("    element") << hex(mem::Data(element), mem::Size(element));
                }
            }
        };
        for (mem::Ref l : o.lists) list(l);
        for (Slot l : records<Slot>(o.series, o.head.seriesCount)) list(l);
        list(o.extraList);
        if (const std::byte* count = mem::At(o.textList, 0, 2))
            for (std::size_t i = 0; i < ReadLe16(count); ++i) {
                const mem::Ref r = ReadLe32(mem::At(o.textList, 2 + 4 * i, 4));
                line("  text record") << hex(mem::Data(r), mem::Size(r));
            }
    }

    void listSection(const ExtensionRecord& e) {
        auto section = records<ListSection>(e.listSection, 1);
        if (section.empty()) return;
        ListSection s = section[0];
        line("list title") << (s.title ? BlobText(s.title) : "-");
        for (Slot t : s.texts) out_ << "|" << (t ? BlobText(t) : "-");
        for (const ListColumn& c : records<ListColumn>(s.columns, s.columnCount))
            line("  column") << hex(c);
        for (ListNode n : records<ListNode>(s.nodes, s.nodeCount)) {
            line("  list node") << BlobText(n.name);
            for (ListItemList& items : n.itemLists) {
                for (ListItem item : records<ListItem>(items.items, items.count)) {
                    line("    item") << (item.text ? BlobText(item.text) : "-");
                    item.text = 0;
                    out_ << " " << hex(item);
                }
                items.items = 0;
            }
            for (const ListNodeEntry& en : records<ListNodeEntry>(n.entries, n.entryCount))
                line("    entry") << hex(en);
            n.name = n.entries = 0;
            out_ << " " << hex(n);
        }
        s.title = s.columns = s.nodes = 0;
        for (Slot& t : s.texts) t = 0;
        line("list section") << hex(s);
    }

    void textSet(mem::Ref set, std::size_t count) {
        for (TextEntry t : records<TextEntry>(set, count)) {
            line("    text entry") << (t.blobA ? BlobText(t.blobA) : "-") << "/"
                                   << (t.blobB ? BlobText(t.blobB) : "-");
            t.blobA = t.blobB = 0;
            out_ << " " << hex(t);
        }
    }

    void extension() {
        const ExtensionRecord& m = p_.ext;
        ExtensionRecord e = m;
        e.nodeB = NetworkNode{};
        e.optionBlock = e.bitmaps = e.shapes = e.slot99 = e.resources = e.listSection =
            e.languages = 0;
        line("tag folder") << textIfSet(e.tagFolder.nameId);
        e.tagFolder.nameId = 0;
        e.tagFolder.elements = 0;
        for (le16& id : e.textIds) {
            out_ << " " << textIfSet(id);
            id = 0;
        }
        e.codeBlock = e.wordList = e.table264 = e.block124 = e.tail = 0;
        line("extension") << hex(e);
        network();
        options(m);
        for (const BitmapEntry& b : records<BitmapEntry>(m.bitmaps, m.bitmapCount))
            line("bitmap") << hex(b.head) << " "
                           << (b.dib ? hex(mem::Data(b.dib), mem::Size(b.dib)) : "-");
        for (ShapeEntry s : records<ShapeEntry>(m.shapes, m.shapeCount)) {
            line("shape") << bytesHex(s.head.points, s.head.pointCount * kShapePointSize) << " "
                          << (s.name ? BlobOrText(s.name) : "-");
            s.head.points = 0;
            s.name = 0;
            out_ << " " << hex(s);
        }
        for (ResourceSection s : records<ResourceSection>(m.resources, 1)) {
            for (std::size_t i = 0; i < kResourceSlots; ++i) {
                for (ResourceRecord r : records<ResourceRecord>(s.records[i], 1)) {
                    line("resource") << i << " " << BlobText(r.blobA) << "/" << BlobText(r.blobB)
                                     << "/" << (r.blobC ? BlobText(r.blobC) : "-");
                    r.blobA = r.blobB = r.blobC = 0;
                    out_ << " " << hex(r);
                }
                s.records[i] = 0;
            }
            line("resource head") << hex(s);
        }
        listSection(m);
        for (TagElement t : records<TagElement>(m.tagFolder.elements, m.tagFolder.count)) {
            line("tag") << textIfSet(t.nameId);
            t.nameId = 0;
            out_ << " " << hex(t);
        }
        for (LanguageEntry l :
             records<LanguageEntry>(m.languages, m.multiLanguage() ? m.languageCount : 0)) {
            line("language") << textIfSet(l.nameId);
            textSet(l.textSet1, m.set1Count);
            textSet(l.textSet2, m.set2Count);
        }
        if (const std::byte* code = mem::At(m.codeBlock, 0, 2))
            line("code block") << bytesHex(m.codeBlock,
                                           2 + 2 * std::to_integer<std::size_t>(code[1]));
        if (m.tail) line("tail") << bytesHex(m.tail, m.tailLength);
        if (m.table264) line("264 table") << bytesHex(m.table264, kTable264Size);
        if (m.wordList) line("word list") << hex(mem::Data(m.wordList), mem::Size(m.wordList));
        line("124 block") << bytesHex(m.block124, kBlock124Size);
    }

    ProjectBlock& p_;
    void* key_;
    std::ostringstream out_;
};

}  // namespace

std::string DescribeProject(HGLOBAL project) {
    return Describer(project).run();
}

}  // namespace kestra::testing
