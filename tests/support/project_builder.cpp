#include "support/project_builder.h"

#include <cstring>
#include <vector>

#include "kestra/dib.h"
#include "kestra/resource_section.h"
#include "string_table/string_table.h"
#include "utilities/languages.h"

namespace kestra::testing {

mem::Ref HostCopy(std::span<const std::byte> bytes) {
    mem::Ref ref = mem::HostAllocate(static_cast<std::uint32_t>(bytes.size()));
    if (!bytes.empty()) std::memcpy(mem::Data(ref), bytes.data(), bytes.size());
    return ref;
}

HGLOBAL GlobalCopy(std::span<const std::byte> bytes) {
    HGLOBAL handle = GlobalAlloc(GHND, bytes.size());
    if (!bytes.empty()) std::memcpy(mem::Data(handle), bytes.data(), bytes.size());
    return handle;
}

namespace {
std::span<const std::byte> bytesOf(std::string_view s) {
    return std::as_bytes(std::span<const char>(s.data(), s.size()));
}
}  // namespace

mem::Ref HostBlob(std::string_view bytes) {
    std::string blob(4, '\0');
    WriteLe32(blob.data(), static_cast<std::uint32_t>(bytes.size()));
    blob.append(bytes);
    return HostCopy(bytesOf(blob));
}

mem::Ref HostText(std::string_view text) {
    return HostCopy(bytesOf(std::string(text) + '\0'));
}

std::string BlobText(mem::Ref blob) {
    const std::byte* head = mem::At(blob, 0, 4);
    if (!head) return "<none>";
    const std::byte* bytes = mem::At(blob, 4, ReadLe32(head));
    if (!bytes) return "<bad>";
    return std::string(reinterpret_cast<const char*>(bytes), ReadLe32(head));
}

WORD AddText(void* project, std::string_view text) {
    return StrTabAddText(std::string(text).c_str(), project);
}

std::string TextOf(void* project, WORD id) {
    char text[512] = "";
    if (!StrTabGetText(id, project, text, sizeof text, 0))
        return "<no text " + std::to_string(id) + ">";
    return text;
}

ProjectBlock& ProjectAt(HGLOBAL handle) {
    return RecordAt<ProjectBlock>(mem::At(handle, 0, kProjectBlockSize));
}

std::string MakeDib(int width, int height, std::uint8_t fill) {
    BitmapInfoHeader info{};
    info.size = kInfoHeaderSize;
    info.width = width;
    info.height = height;
    info.planes = 1;
    info.bitCount = 8;
    std::string dib(reinterpret_cast<const char*>(&info), sizeof info);
    for (int i = 0; i < 256; ++i)
        dib += std::string{static_cast<char>(i), static_cast<char>(i), 0, 0};
    dib += std::string(static_cast<std::size_t>(std::abs(height)) * DibRowBytes(width, 8),
                       static_cast<char>(fill));
    return dib;
}

namespace {

// The type data of the typed option elements: fixed part, texts, words.
constexpr int kTypedFixed[] = {4, 4, 117, 230, 450, 113, 121, 1098, 819, 620, 10, 534};
constexpr int kTypedTexts[] = {4, 4, 4, 8, 8, 5, 8, 6, 7, 6, 48, 5};
constexpr int kTypedWords[] = {0, 0, 0, 0, 4, 5, 0, 0, 0, 0, 0, 0};

std::string pattern(std::size_t n, int seed) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((seed * 31 + i * 7) & 0xFF);
    return s;
}

template <typename T>
std::span<const std::byte> asBytes(const std::vector<T>& v) {
    return std::as_bytes(std::span<const T>(v));
}

class Builder {
  public:
    explicit Builder(const ProjectShape& shape) : shape_(shape) {
        handle_ = GlobalAlloc(GHND, kProjectBlockSize);
        key_ = mem::Data(handle_);
        p_ = &RecordAt<ProjectBlock>(key_);
    }

    HGLOBAL build() {
        ProjectRecord& r = p_->record;
        ExtensionRecord& e = p_->ext;
        r.titleId = text("Project title");
        r.settings2 = 0x35;
        r.settings3 = 0x81;
        r.listHead0 = 80;
        r.listHead1 = 60;
        r.plcType = 20;
        std::memcpy(r.plcParams, pattern(sizeof r.plcParams, 1).data(), sizeof r.plcParams);
        e.languageCount = static_cast<std::uint8_t>(shape_.languages);
        if (shape_.recordTables) recordTables();
        pages();
        r.keyedCapacity = static_cast<std::uint16_t>(shape_.pages + kKeyedCapacityReserve);
        r.keyed = keyedTable();
        if (shape_.network) network();
        if (shape_.optionLayout) options();
        if (shape_.bitmaps) bitmaps();
        if (shape_.resources) resources();
        listSection();
        if (shape_.tags) tags();
        for (int i = 0; i < 9; i += 2) e.textIds[i] = text("Extension text " + std::to_string(i));
        if (shape_.languages > 1) languages();
        if (shape_.closing) closing();
        std::vector<std::uint8_t> block(kBlock124Size);
        WriteLe32(block.data(), kBlock124Size);
        block[100] = 0x5A;
        e.block124 = HostRecords<std::uint8_t>(block);
        for (int i = 0; i < shape_.extraTexts; ++i) text("Unreferenced text " + std::to_string(i));
        return handle_;
    }

  private:
    WORD text(const std::string& s) { return AddText(key_, s); }
    // A text of a field or its lists: its own, or one of the shape's cycle of texts.
    WORD fieldText(const std::string& s) {
        if (shape_.distinctTexts == 0) return text(s);
        return text("Text " + std::to_string(cycle_++ % shape_.distinctTexts));
    }

    void recordTables() {
        ProjectRecord& r = p_->record;
        r.section1Count = 2;
        r.section1 = GlobalCopy(bytesOf(pattern(2 * kSection1EntrySize, 2)));
        if (shape_.groups) {
            std::vector<GroupRecord> groups(2);
            for (int g = 0; g < 2; ++g) {
                groups[g].entryCount = 2;
                groups[g].textId = static_cast<std::uint16_t>(g == 0 ? text("Group name") : 0);
                std::vector<ListEntry> list(2);
                for (int i = 0; i < 2; ++i) {
                    list[i].lastKey = static_cast<std::int16_t>(
                        text("Group " + std::to_string(g) + " entry " + std::to_string(i)));
                    list[i].value = 100 * g + i;
                }
                groups[g].entries = GlobalRecords<ListEntry>(list);
            }
            r.groupCount = 2;
            r.groups = GlobalRecords<GroupRecord>(groups);
        } else {
            std::vector<ListEntry> list(3);
            for (int i = 0; i < 3; ++i) {
                list[i].firstKey = static_cast<std::int16_t>(i);
                list[i].lastKey =
                    static_cast<std::int16_t>(i == 0 ? 0 : text("Entry " + std::to_string(i)));
            }
            r.section2aCount = 3;
            r.section2a = GlobalRecords<ListEntry>(list);
            r.groupCount = 4;  // carried, not used while section 2a has entries
        }
        r.section4Present = 1;
        r.section4 = GlobalCopy(bytesOf(pattern(kSection4Size, 4)));
        std::vector<Section5Record> s5(2);
        for (int i = 0; i < 2; ++i) {
            std::memcpy(s5[i].r0, pattern(300, 50 + i).data(), 300);
            s5[i].entryCount = static_cast<std::uint16_t>(i + 1);
            s5[i].entries = GlobalCopy(bytesOf(pattern((i + 1) * kSection5EntrySize, 5 + i)));
        }
        r.section5Count = 2;
        r.section5 = GlobalRecords<Section5Record>(s5);
        r.section6Count = 2;
        r.section6 = HostCopy(bytesOf(pattern(2 * sizeof(ListEntry), 6)));
        std::string variable = pattern(kVariableHeadSize, 7);
        WriteLe16(variable.data() + kVariableCountOffset, 2);
        std::string entry1 = pattern(kVariableEntryUnit + kVariableEntryFixed, 8);
        WriteLe16(entry1.data(), 1);
        std::string entry2 = pattern(kVariableEntryFixed, 9);
        WriteLe16(entry2.data(), 0);
        r.section7Present = 1;
        r.section7 = GlobalCopy(bytesOf(variable + entry1 + entry2));
        r.text1Length = 9;
        r.text1 = GlobalCopy(bytesOf("Text one"));
        r.text2Length = 1;  // an empty text block
        std::vector<Section9Entry> s9(2);
        for (int i = 0; i < 2; ++i) s9[i].textId = text("Section 9 text " + std::to_string(i));
        r.section9Count = 2;
        r.section9 = GlobalRecords<Section9Entry>(s9);
    }

    HGLOBAL folder(const std::vector<std::int32_t>& values, bool texts, const std::string& prefix) {
        std::vector<ListEntry> list(values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            list[i].firstKey = static_cast<std::int16_t>(2 * i);
            list[i].lastKey = static_cast<std::int16_t>(2 * i + 1);
            list[i].value = values[i];
            list[i].textId =
                static_cast<std::uint16_t>(texts ? fieldText(prefix + std::to_string(i)) : 0);
        }
        if (texts && !list.empty()) list.back().textId = 0xFFFF;  // no text
        return GlobalRecords<ListEntry>(list);
    }

    FieldRecord field(int page, int n, bool child) {
        FieldRecord f{};
        const std::string name =
            "p" + std::to_string(page) + (child ? "c" : "f") + std::to_string(n);
        f.width = static_cast<std::uint8_t>(10 + n);
        f.height = 2;
        f.fieldClass = static_cast<std::uint16_t>(n % 3);
        f.list1.count = 2;
        f.list1.block = folder({7, 8}, true, name + " list1 ");
        f.textId = static_cast<std::uint16_t>(n % 2 == 0 ? fieldText(name + " text") : 0);
        f.plc.dataBlock = static_cast<std::uint8_t>(n);
        switch (n % 4) {
            case 0:
                f.label = HostText(name + " label");
                f.labelAttribute = 0x1234;
                break;
            case 1:  // a list field whose second list holds texts, with children
                f.display.fieldType = 6;
                f.list2.count = 3;
                f.list2.block = folder({1, 2, 3}, true, name + " list2 ");
                if (!child) {
                    std::vector<FieldRecord> kids = {field(page, 10, true), field(page, 12, true)};
                    f.flags = FieldRecord::kHasChildren;
                    f.childCount = 2;
                    f.children = HostRecords<FieldRecord>(kids);
                }
                break;
            case 2:  // compact-labelled, with an empty label
                f.fieldClass = 2;
                f.mode = 1;
                f.plc.dataFormat = 12;
                f.label = HostText("");
                break;
            default:  // numeric second list
                f.mode = 2;
                f.list2.count = 2;
                f.list2.numeric = 1;
                f.list2.block = folder({-5, 70000}, false, "");
                break;
        }
        return f;
    }

    void pages() {
        ProjectRecord& r = p_->record;
        std::vector<PageRecord> pages(shape_.pages);
        for (int i = 0; i < shape_.pages; ++i) {
            PageRecord& page = pages[i];
            page.setNameId(text("Page " + std::to_string(i)));
            page.b49 = static_cast<std::uint8_t>(i + 1);
            page.text = i == 0 ? 0 : HostBlob("Text of page " + std::to_string(i));
            std::vector<FieldRecord> fields;
            for (int n = 0; n < shape_.fieldsPerPage; ++n) fields.push_back(field(i, n, false));
            page.fieldCount = static_cast<std::uint16_t>(fields.size());
            page.fields = fields.empty() ? 0 : HostRecords<FieldRecord>(fields);
            if (shape_.pageBlobs) {
                page.blob1 = HostBlob("First blob " + std::to_string(i));
                page.blob2 = i == 0 ? 0 : HostBlob("Second blob " + std::to_string(i));
            }
        }
        r.pageCount = static_cast<std::uint16_t>(shape_.pages);
        r.pages = shape_.pages ? HostRecords<PageRecord>(pages) : 0;
        if (shape_.pageBlobs) {
            p_->ext.pageBlobsPresent = 1;
            p_->ext.blobFlags = 1;
        }
    }

    std::string element(std::uint16_t type, std::string body) {
        std::string e(4, '\0');
        WriteLe16(e.data(), type);
        WriteLe16(e.data() + 2, static_cast<std::uint16_t>(body.size()));
        return e + body;
    }

    mem::Ref part(std::uint16_t slot, const std::vector<std::string>& elements) {
        std::string bytes(6, '\0');
        WriteLe16(bytes.data(), slot);
        WriteLe16(bytes.data() + 2, static_cast<std::uint16_t>(slot * 11));
        WriteLe16(bytes.data() + 4, static_cast<std::uint16_t>(elements.size()));
        for (const auto& e : elements) bytes += e;
        return HostBlob(bytes);
    }

    // A sub-entry whose parts in slots 1, 4 and 7 each hold a named element of its own text.
    mem::Ref namedParts(std::uint16_t key) {
        KeyedSubEntry sub{};
        sub.key = 0x23;
        for (std::uint16_t slot : {1, 4, 7}) {
            std::string named = pattern(130, slot);
            WriteLe16(named.data() + kElementNamedText - 4,
                      text("Slot " + std::to_string(slot) + " of " + std::to_string(key)));
            sub.parts[slot - 1] = part(slot, {element(kElementNamed, named)});
        }
        sub.partCount = 3;
        return HostRecords<KeyedSubEntry>(std::vector{sub});
    }

    mem::Ref keyedEntry(std::uint16_t key, bool withParts) {
        std::vector<mem::Ref> subs;
        if (withParts) {
            KeyedSubEntry sub{};
            sub.key = 0x21;
            std::string named = pattern(130, 3);
            WriteLe16(named.data() + kElementNamedText - 4,
                      text("Keyed name " + std::to_string(key)));
            std::string texted = pattern(120, 4);
            TrailerText trailer{};
            trailer.length = 7;
            std::memcpy(trailer.text, "Trailer", 7);
            WriteLe32(texted.data() + kElementTextSlot - 4,
                      HostCopy(std::as_bytes(std::span(&trailer, 1))));
            std::string untexted = pattern(120, 5);
            WriteLe32(untexted.data() + kElementTextSlot - 4, 0);
            std::string captioned = pattern(8, 6);
            const bool multi = shape_.languages > 1;
            WriteLe16(captioned.data() + kElementCaptionedText - 4,
                      multi ? text("Caption " + std::to_string(key)) : 0x0777);
            sub.parts[0] =
                part(1, {element(kElementNamed, named), element(kElementTexted1, texted)});
            sub.parts[2] = part(3, {element(kElementTexted2, untexted),
                                    element(kElementCaptioned, captioned), element(9, "xyz")});
            sub.partCount = 2;
            subs.push_back(HostRecords<KeyedSubEntry>(std::vector{sub}));
            KeyedSubEntry empty{};
            empty.key = 0x22;
            subs.push_back(HostRecords<KeyedSubEntry>(std::vector{empty}));
            if (shape_.keyedNamedParts) subs.push_back(namedParts(key));
        }
        std::string entry(sizeof(KeyedEntryHead), '\0');
        auto& head = RecordAt<KeyedEntryHead>(entry.data());
        head.headSize = 8;
        head.key = key;
        head.subEntryCount = static_cast<std::uint16_t>(subs.size());
        for (mem::Ref s : subs) {
            char ref[4];
            WriteLe32(ref, s);
            entry.append(ref, 4);
        }
        return HostCopy(bytesOf(entry));
    }

    HGLOBAL keyedTable() {
        const std::size_t slots = p_->record.keyedCapacity;
        std::string table(2 + 4 * slots, '\0');
        WriteLe16(table.data(), kKeyedTableTag);
        if (shape_.keyed && slots > 5) {
            WriteLe32(table.data() + 2, keyedEntry(0x101, true));
            WriteLe32(table.data() + 2 + 3 * 4, keyedEntry(0x104, true));
            WriteLe32(table.data() + 2 + 5 * 4, keyedEntry(0x106, false));  // not stored
        }
        return GlobalCopy(bytesOf(table));
    }

    NetworkNode node(const std::string& name, std::uint16_t key, std::uint16_t kind) {
        NetworkNode n{};
        n.nameId = name.empty() ? 0x0ABC : text(name);
        n.nodeKey = key;
        n.nodeKind = kind;
        n.slaveAddress = static_cast<std::uint16_t>(key * 3);
        return n;
    }

    void network() {
        ProjectRecord& r = p_->record;
        r.onNetwork = 1;
        r.nodeA = node("Node A", 1, 0);
        std::vector<NetworkNode> aKids = {node("", 11, 1),
                                          node("", 12, 1)};  // names of a passive folder
        r.nodeA.flags = NetworkNode::kHasChildren;
        r.nodeA.childCount = 2;
        r.nodeA.children = GlobalRecords<NetworkNode>(aKids);
        NetworkNode& b = p_->ext.nodeB;
        b = node("", 2, 0);
        std::vector<NetworkNode> grandchildren = {node("Grandchild 1", 31, 1),
                                                  node("Grandchild 2", 32, 1)};
        std::vector<NetworkNode> bKids = {node("", 21, 1), node("", 22, 2), node("Child 3", 23, 1)};
        bKids[0].flags = NetworkNode::kHasChildren;
        bKids[0].childCount = 2;
        bKids[0].children = GlobalRecords<NetworkNode>(grandchildren);
        b.flags = NetworkNode::kHasChildren;
        b.childCount = 3;
        b.children = GlobalRecords<NetworkNode>(bKids);
    }

    std::string typedElement(std::uint16_t type, int subRecords) {
        std::string body = "Description " + std::to_string(type) + '\0';
        std::string fixed = pattern(kTypedFixed[type] + (type == 8 ? 752 * subRecords : 0), type);
        if (type == 8) fixed[818] = static_cast<char>(subRecords);
        body += fixed;
        const int texts = kTypedTexts[type] + (type == 8 ? 6 * subRecords : 0);
        for (int i = 0; i < texts; ++i)
            body += (i % 2 ? std::string() : "text " + std::to_string(i)) + '\0';
        body += pattern(2 * kTypedWords[type], 40 + type);
        TypedElementHead head{};
        head.size = static_cast<std::uint32_t>(sizeof head + body.size());
        head.type = type;
        head.values[3] = static_cast<std::uint16_t>(type * 5);
        head.byte22 = 0x42;
        head.font.height = -12;
        head.font.weight = 700;
        head.font.italic = 1;
        std::memcpy(head.font.faceName, "Sans", 4);
        head.values3[1] = 9;
        return std::string(reinterpret_cast<const char*>(&head), sizeof head) + body;
    }

    mem::Ref plainList(int elements, int seed) {
        std::string list(sizeof(OptionListHead), '\0');
        auto& head = RecordAt<OptionListHead>(list.data());
        head.value0 = 0x01020304u + seed;
        head.word4 = static_cast<std::uint16_t>(seed);
        head.count = static_cast<std::uint16_t>(elements);
        for (int i = 0; i < elements; ++i) {
            OptionElement e{};
            e.value8 = static_cast<std::uint16_t>(seed * 10 + i);
            if (!shape_.shortOptionElements) {
                std::memcpy(e.r0, pattern(8, seed + i).data(), 8);
                std::memcpy(e.r10, pattern(10, seed - i).data(), 10);
                e.textId20 = static_cast<std::uint16_t>(
                    i == 0 ? text("Option text " + std::to_string(seed)) : 0);
                e.textId22 = 0xFFFF;
            }
            list.append(reinterpret_cast<const char*>(&e), sizeof e);
        }
        return HostCopy(bytesOf(list));
    }

    mem::Ref typedList(const std::vector<std::pair<std::uint16_t, int>>& types, int seed) {
        std::string list(sizeof(OptionListHead), '\0');
        auto& head = RecordAt<OptionListHead>(list.data());
        head.value0 = 77u + seed;
        head.count = static_cast<std::uint16_t>(types.size());
        for (auto [type, sub] : types) {
            char ref[4];
            WriteLe32(ref, HostCopy(bytesOf(typedElement(type, sub))));
            list.append(ref, 4);
        }
        return HostCopy(bytesOf(list));
    }

    void options() {
        OptionBlock block{};
        block.head.elementForm = shape_.shortOptionElements ? 1 : 3;
        block.head.check2 = 1;
        block.head.check4 = 2;
        block.head.word14 = 0x0E0E;
        if (shape_.optionLayout == 1) {
            block.head.layout = 2;
            block.head.listCounts[0] = 2;
            block.lists[0] = plainList(2, 1);
            block.head.listCounts[7] = 1;
            block.lists[7] = plainList(1, 8);
            block.head.seriesCount = 1;
            block.series = HostRecords<Slot>(std::vector<Slot>{plainList(3, 20)});
        } else {
            block.head.layout = 3;
            block.head.level = 3;
            block.head.listCounts[1] = 4;
            block.lists[1] = typedList({{0, 0}, {4, 0}, {8, 1}, {10, 0}}, 2);
            block.head.listCounts[9] = 9;
            block.lists[9] = typedList(
                {{1, 0}, {2, 0}, {3, 0}, {5, 0}, {6, 0}, {7, 0}, {8, 0}, {9, 0}, {11, 0}}, 9);
            block.head.seriesCount = 2;
            block.series =
                HostRecords<Slot>(std::vector<Slot>{typedList({{3, 0}}, 30), typedList({}, 31)});
            std::string textList(2, '\0');
            WriteLe16(textList.data(), 2);
            for (int i = 0; i < 2; ++i) {
                std::string t = "Tag record " + std::to_string(i);
                std::string record(2, '\0');
                WriteLe16(record.data(), static_cast<std::uint16_t>(t.size()));
                record += t + std::string("\x05\x00", 2);
                char ref[4];
                WriteLe32(ref, HostCopy(bytesOf(record)));
                textList.append(ref, 4);
            }
            block.head.textRecordCount = 2;
            block.textList = HostCopy(bytesOf(textList));
            block.head.extraCount = 1;
            block.extraList = typedList({{11, 0}}, 40);
        }
        p_->ext.optionFlags = 0x10005;
        p_->ext.optionBlock = HostRecords<OptionBlock>(std::vector{block});
    }

    void bitmaps() {
        ExtensionRecord& e = p_->ext;
        std::vector<BitmapEntry> entries(shape_.bitmaps);
        for (int i = 0; i < shape_.bitmaps; ++i) {
            BitmapEntry& b = entries[i];
            b.head.nameMark = i % 3 == 1 ? 'B' : BitmapHead::kNumberMark;
            b.head.word4 = static_cast<std::uint32_t>(1000 + i);
            b.head.attribute9 = static_cast<std::uint16_t>(i);
            b.head.dataFlag = i % 3 == 2 ? 0 : 1;  // every third one stores no bitmap
            if (b.head.storesData())
                b.dib = GlobalCopy(
                    bytesOf(MakeDib(8 + i % 5, 4 + i % 3, static_cast<std::uint8_t>(i))));
        }
        e.bitmapCount = static_cast<std::uint16_t>(shape_.bitmaps);
        e.bitmaps = HostRecords<BitmapEntry>(entries);
        std::vector<ShapeEntry> shapes(2);
        shapes[0].head.word0 = 5;
        shapes[0].head.pointCount = 3;
        shapes[0].head.points = HostCopy(bytesOf(pattern(30, 11)));
        shapes[0].name = HostText("Shape one");
        shapes[1].head.word13 = 13;
        e.shapeCount = 2;
        e.shapes = HostRecords<ShapeEntry>(shapes);
    }

    void resources() {
        ExtensionRecord& e = p_->ext;
        ResourceSection section{};
        std::memcpy(section.r2, "resource..", 10);
        for (std::size_t slot : {0u, 4u, 8u}) {
            ResourceRecord r{};
            r.word0 = static_cast<std::uint16_t>(slot);
            r.value4 = 4;
            r.value6 = 6;
            r.value10 = static_cast<std::uint16_t>(10 + slot);
            r.value14 = static_cast<std::uint16_t>(14 + slot);
            std::memcpy(r.bytes18, "eightbyt", 8);
            r.blobA = HostBlob("Resource A " + std::to_string(slot));
            r.blobB = HostBlob(slot == 8 ? "" : "Resource B");
            r.blobC = shape_.pageBlobs ? HostBlob("Resource C " + std::to_string(slot)) : 0;
            section.records[slot] = HostRecords<ResourceRecord>(std::vector{r});
            section.marks[slot] = 1;
        }
        section.storedCount = 3;
        e.resourcesPresent = 1;
        e.resources = HostRecords<ResourceSection>(std::vector{section});
    }

    void listSection() {
        ListSection s{};
        s.headWords[0] = 640;
        s.headWords[1] = 480;
        for (int i = 0; i < 5; ++i) s.headValues[i] = static_cast<std::uint16_t>(i * 3);
        s.title = HostBlob("List title");
        s.settingsValue = 0xCAFE;
        for (int i = 0; i < 8; ++i) s.settings[i] = static_cast<std::uint16_t>(i + 2);
        s.settingsByte = 9;
        for (std::size_t i = 0; i < kListTexts; i += 3)
            s.texts[i] = HostBlob("List text " + std::to_string(i));
        std::vector<ListColumn> columns(2);
        columns[0].value4 = 0x11223344;
        columns[1].word8 = 5;
        s.columnCount = 2;
        s.columns = HostRecords<ListColumn>(columns);
        std::vector<ListNode> nodes(2);
        for (int n = 0; n < 2; ++n) {
            nodes[n].name = HostBlob("List node " + std::to_string(n));
            nodes[n].values[8] = static_cast<std::uint16_t>(n + 1);
            nodes[n].byte22 = 3;
            std::vector<ListItem> items(3);
            for (int i = 0; i < 3; ++i) {
                items[i].kind = static_cast<std::uint16_t>(4 + i);
                items[i].word6 = static_cast<std::uint16_t>(i);
                if (items[i].hasText()) items[i].text = HostBlob("Item " + std::to_string(i));
            }
            nodes[n].itemLists[n].word0 = 1;
            nodes[n].itemLists[n].count = 3;
            nodes[n].itemLists[n].items = HostRecords<ListItem>(items);
            std::vector<ListNodeEntry> entries(1);
            entries[0].values[4] = 44;
            nodes[n].entryCount = 1;
            nodes[n].entries = HostRecords<ListNodeEntry>(entries);
        }
        s.nodeCount = 2;
        s.nodes = HostRecords<ListNode>(nodes);
        p_->ext.list199 = 1;
        p_->ext.listSection = HostRecords<ListSection>(std::vector{s});
    }

    void tags() {
        TagFolderHeader& folder = p_->ext.tagFolder;
        std::vector<TagElement> tags(3);
        for (int i = 0; i < 3; ++i) {
            tags[i].key = static_cast<std::uint16_t>(i + 1);
            tags[i].nameId =
                static_cast<std::uint16_t>(i == 1 ? 0 : text("Tag " + std::to_string(i)));
            std::memcpy(tags[i].data, pattern(32, 60 + i).data(), 32);
        }
        folder.count = 3;
        folder.nameId = text("Tag folder");
        folder.elements = GlobalRecords<TagElement>(tags);
    }

    mem::Ref textSet(std::size_t count, int language, bool pages) {
        std::vector<TextEntry> set(count);
        for (std::size_t i = 0; i < count; ++i) {
            set[i].value0 = static_cast<std::uint32_t>(pages ? i + 1 : 0x00100010 + i);
            set[i].value8 = static_cast<std::uint32_t>(language);
            set[i].blobA =
                HostBlob("Language " + std::to_string(language) + " text " + std::to_string(i));
            set[i].blobB = i % 2 ? HostBlob("Language blob " + std::to_string(i)) : 0;
        }
        return HostRecords<TextEntry>(set);
    }

    void languages() {
        ExtensionRecord& e = p_->ext;
        e.b229 = 1;
        e.set1Count = static_cast<std::uint16_t>(shape_.pages);
        e.set2Count = shape_.resources ? kResourceSlots : 0;
        std::vector<LanguageEntry> table(shape_.languages);
        for (int i = 0; i < shape_.languages; ++i) {
            table[i].nameId = text("Language " + std::to_string(i));
            if (i == 0) continue;
            table[i].textSet1 = textSet(e.set1Count, i, true);
            table[i].textSet2 = e.set2Count ? textSet(e.set2Count, i, false) : 0;
        }
        e.languages = HostRecords<LanguageEntry>(table);
        DefaultToMultiLang(key_);
    }

    void closing() {
        ExtensionRecord& e = p_->ext;
        e.codeBlock = HostCopy(bytesOf(std::string("\x01\x03\x10\x00\x20\x00\x30\x00", 8)));
        e.tailLength = 10;
        e.tail = GlobalCopy(bytesOf("0123456789"));
        e.table264 = HostCopy(bytesOf(pattern(kTable264Size, 22)));
        e.wordList = HostCopy(bytesOf(std::string("\x02\x00\x02\x00\x01\x00\x02\x00\x00\x00", 10)));
    }

    ProjectShape shape_;
    int cycle_ = 0;
    HGLOBAL handle_ = 0;
    void* key_ = nullptr;
    ProjectBlock* p_ = nullptr;
};

}  // namespace

HGLOBAL BuildProject(const ProjectShape& shape) {
    return Builder(shape).build();
}

}  // namespace kestra::testing
