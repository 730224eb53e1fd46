// The list section (section 17) and the one a load builds for a project that has none.
#include <vector>

#include "kestra/project_sections.h"
#include "project_store/store.h"

namespace kestra::store {
namespace {

constexpr std::size_t kHeadGap = 20;          // zero bytes between the head words and values
constexpr std::size_t kHeadTail = 30;         // after the head values
constexpr std::size_t kSettingsGap = 1 + 40;  // after the settings byte
constexpr std::size_t kSettingsTail = 300;    // after the texts
constexpr std::size_t kListGap = 20;          // inside the column, node, item and entry lists
constexpr std::size_t kNodeGap = 1 + 40;      // after a node's byte

// ---- Loading

class ListReader {
  public:
    explicit ListReader(LoadContext& c) : c_(c), in_(c.in) {}

    Ref read() {
        ListSection s{};
        for (le16& w : s.headWords) w = in_.u16("list head");
        in_.skip(kHeadGap);
        for (le16& v : s.headValues) v = in_.u16("list head");
        in_.skip(kHeadTail);
        s.title = text();
        s.settingsValue = in_.u32("list settings");
        for (le16& v : s.settings) v = in_.u16("list settings");
        s.settingsByte = in_.u8("list settings");
        in_.skip(kSettingsGap);
        for (Slot& t : s.texts) t = text();
        in_.skip(kSettingsTail);
        s.columnCount = in_.u16("column count");
        in_.skip(kListGap);
        std::vector<ListColumn> columns(s.columnCount);
        in_.needBytes(columns.size(), sizeof(ListColumn) + kListGap, "columns");
        for (ListColumn& col : columns) {
            col = in_.record<ListColumn>("column");
            in_.skip(kListGap);
        }
        s.columns = table(columns, s.columnCount);
        in_.skip(kListGap);
        s.nodeCount = in_.u16("node count");
        std::vector<ListNode> nodes(s.nodeCount);
        in_.needBytes(nodes.size(), 2 + 18 + 1 + kNodeGap, "list nodes");
        for (ListNode& node : nodes) node = readNode();
        s.nodes = table(nodes, s.nodeCount);
        return c_.blocks.host(AsBytes(s));
    }

  private:
    Ref text() {
        const std::uint16_t length = in_.u16("list text length");
        auto bytes = in_.take(length, "list text");
        return length ? c_.blocks.blob(bytes) : 0;
    }

    template <typename T>
    Ref table(const std::vector<T>& records, le16& count) {
        if (records.empty()) return 0;
        const Ref ref = c_.blocks.host(std::as_bytes(std::span<const T>(records)));
        if (!ref) count = 0;
        return ref;
    }

    ListNode readNode() {
        ListNode node{};
        node.name = text();
        for (le16& v : node.values) v = in_.u16("list node");
        node.byte22 = in_.u8("list node");
        in_.skip(kNodeGap);
        for (ListItemList& items : node.itemLists) items = readItems();
        node.entryCount = in_.u16("node entry count");
        in_.skip(kListGap);
        auto entries = in_.take(
            in_.needBytes(node.entryCount, sizeof(ListNodeEntry) + kListGap, "node entries"));
        std::vector<ListNodeEntry> kept(node.entryCount);
        for (std::size_t i = 0; i < kept.size(); ++i)
            std::memcpy(&kept[i], entries.data() + i * (sizeof(ListNodeEntry) + kListGap),
                        sizeof(ListNodeEntry));
        node.entries = table(kept, node.entryCount);
        return node;
    }

    ListItemList readItems() {
        ListItemList list{};
        list.word0 = in_.u16("item list");
        list.count = in_.u16("item count");
        in_.skip(kListGap);
        std::vector<ListItem> items(list.count);
        in_.needBytes(items.size(), kListGap + 8, "items");
        for (ListItem& item : items) {
            in_.skip(kListGap);
            item.word0 = in_.u16("item");
            item.word2 = in_.u16("item");
            item.kind = in_.u16("item");
            item.word6 = in_.u16("item");
            item.text = item.hasText() ? text() : 0;
        }
        list.items = table(items, list.count);
        return list;
    }

    LoadContext& c_;
    ImageReader& in_;
};

// ---- Saving

void writeText(Sink& out, Ref ref) {
    auto bytes = mem::Blob(ref).value_or(std::span<std::byte>());
    out.length16(bytes.size(), "list text");
    out.bytes(bytes);
}

template <typename T>
std::span<const T> tableOf(Ref ref, std::size_t count) {
    return Records<T>(ref, count).value_or(std::span<T>());
}

void writeItems(Sink& out, const ListItemList& list) {
    auto items = tableOf<ListItem>(list.items, list.count);
    out.u16(list.word0);
    out.u16(static_cast<std::uint16_t>(items.size()));
    out.zeros(kListGap);
    for (const ListItem& item : items) {
        out.zeros(kListGap);
        for (std::uint16_t w :
             {item.word0.get(), item.word2.get(), item.kind.get(), item.word6.get()})
            out.u16(w);
        if (item.hasText()) writeText(out, item.text);
    }
}

void writeNode(Sink& out, const ListNode& node) {
    writeText(out, node.name);
    for (const le16& v : node.values) out.u16(v);
    out.u8(node.byte22);
    out.zeros(kNodeGap);
    for (const ListItemList& items : node.itemLists) writeItems(out, items);
    auto entries = tableOf<ListNodeEntry>(node.entries, node.entryCount);
    out.u16(static_cast<std::uint16_t>(entries.size()));
    out.zeros(kListGap);
    for (const ListNodeEntry& e : entries) {
        out.record(e);
        out.zeros(kListGap);
    }
}

const ListSection* listSectionOf(const ExtensionRecord& ext) {
    if (!ext.hasListSection()) return nullptr;
    auto section = Records<ListSection>(ext.listSection, 1);
    return section ? &(*section)[0] : nullptr;
}

std::uint16_t bit(std::uint8_t byte, unsigned n) {
    return (byte >> n) & 1;
}

}  // namespace

void ReadListSection(LoadContext& c) {
    ExtensionRecord& ext = c.project.ext;
    ext.listSection = 0;
    if (ext.hasListSection())
        ext.listSection = ListReader(c).read();
    else
        BuildDefaultListSection(c);
}

void BuildDefaultListSection(LoadContext& c) {
    const ProjectRecord& r = c.project.record;
    ListSection s{};
    s.headWords[0] = r.listHead0;
    s.headWords[1] = r.listHead1;
    static constexpr std::uint16_t kHeadValues[5] = {0, 1, 0, 0, 6};
    for (std::size_t i = 0; i < 5; ++i) s.headValues[i] = kHeadValues[i];
    static constexpr std::uint16_t kSettings[8] = {1, 1, 100, 0, 0, 0, 1, 1};
    for (std::size_t i = 0; i < 8; ++i) s.settings[i] = kSettings[i];
    s.settingsByte = 12;
    // What the project record's settings bytes say.
    switch (r.settings2 & 0x60) {
        case 0x00:
            s.headValues[0] = 0;
            break;
        case 0x20:
            s.headValues[0] = 1;
            break;
        case 0x40:
            s.headValues[0] = 2;
            break;
        default:
            break;
    }
    s.headValues[1] = bit(r.settings2, 4);
    s.headValues[2] = bit(r.settings2, 7);
    if ((r.settings3 & 0x3F) == 0)
        s.headValues[3] = 0;
    else if ((r.settings3 & 0x3F) == 1)
        s.headValues[3] = 1;
    s.headValues[4] = r.settings2 & 0x0F;
    s.settings[0] = bit(r.settings3, 6);
    s.settings[1] = bit(r.settings3, 7);
    c.project.ext.listSection = c.blocks.host(AsBytes(s));
    c.project.ext.list195 = 1;  // so that the next save stores it
}

void AdjustStoredListSection(ExtensionRecord& stored) {
    if (stored.hasListSection() && !listSectionOf(stored)) {
        stored.list195 = 0;
        stored.list199 = 0;
        stored.list203 = 0;
    }
    stored.listSection = 0;
}

void WriteListSection(SaveContext& c) {
    const ListSection* s = listSectionOf(c.project.ext);
    if (!s) return;
    for (const le16& w : s->headWords) c.out.u16(w);
    c.out.zeros(kHeadGap);
    for (const le16& v : s->headValues) c.out.u16(v);
    c.out.zeros(kHeadTail);
    writeText(c.out, s->title);
    c.out.u32(s->settingsValue);
    for (const le16& v : s->settings) c.out.u16(v);
    c.out.u8(s->settingsByte);
    c.out.zeros(kSettingsGap);
    for (const Slot& t : s->texts) writeText(c.out, t);
    c.out.zeros(kSettingsTail);
    auto columns = tableOf<ListColumn>(s->columns, s->columnCount);
    c.out.u16(static_cast<std::uint16_t>(columns.size()));
    c.out.zeros(kListGap);
    for (const ListColumn& col : columns) {
        c.out.record(col);
        c.out.zeros(kListGap);
    }
    auto nodes = tableOf<ListNode>(s->nodes, s->nodeCount);
    c.out.zeros(kListGap);
    c.out.u16(static_cast<std::uint16_t>(nodes.size()));
    for (const ListNode& node : nodes) writeNode(c.out, node);
}

}  // namespace kestra::store
