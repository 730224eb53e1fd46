// The option block (section 13), in its two layouts.
//
// Layout 1 keeps lists of 28-byte elements (stored as 12-byte elements, only the word at 8,
// when the element form is 2 or less). Layout 2 keeps lists of typed elements, each stepping
// by its own size, and may add a text list and an extra list. Both end with an open-ended
// series of lists after the ten optional ones.
#include <string>
#include <vector>

#include "kestra/logfont.h"
#include "kestra/project_sections.h"
#include "platform/message_box.h"
#include "project_store/store.h"
#include "utilities/services.h"

namespace kestra::store {
namespace {

constexpr std::uint16_t kNoText = 0xFFFF;
constexpr std::uint16_t kOldLayout2 = 4;   // read as layout 3 with level 1
constexpr std::uint8_t kWrittenLevel = 3;  // level written with a text list or extra list

// The type-specific data of the typed elements: a fixed part, zero-terminated texts and
// words. Type 8 adds per sub-record (their count is the byte at fixed-part offset 818).
struct TypedLayout {
    std::uint16_t fixed;
    std::uint8_t texts;
    std::uint8_t words;
};
constexpr TypedLayout kTypedLayouts[kTypedElementKinds] = {
    {4, 4, 0},   {4, 4, 0},    {117, 4, 0}, {230, 8, 0}, {450, 8, 4}, {113, 5, 5},
    {121, 8, 0}, {1098, 6, 0}, {819, 7, 0}, {620, 6, 0}, {10, 48, 0}, {534, 5, 0},
};
constexpr std::uint16_t kSubRecordType = 8;
constexpr std::size_t kSubRecordCountAt = 818;
constexpr std::size_t kSubRecordFixed = 752;
constexpr std::size_t kSubRecordTexts = 6;
constexpr std::size_t kFontAt = offsetof(TypedElementHead, font);

// Checks the description and type data that follow the common head; throws when they do not
// fit in the element.
void checkTypedBody(std::uint16_t type, std::span<const std::byte> body) {
    ImageReader in(body);
    in.cstring("element description");
    const TypedLayout& layout = kTypedLayouts[type];
    std::size_t fixed = layout.fixed;
    std::size_t texts = layout.texts;
    if (type == kSubRecordType) {
        const std::size_t subRecords =
            static_cast<std::uint8_t>(in.peek(fixed, "element data")[kSubRecordCountAt]);
        fixed += subRecords * kSubRecordFixed;
        texts += subRecords * kSubRecordTexts;
    }
    in.skip(fixed, "element data");
    for (std::size_t i = 0; i < texts; ++i) in.cstring("element text");
    in.skip(layout.words * std::size_t{2}, "element words");
}

bool typedBodyFits(std::uint16_t type, std::span<const std::byte> body) {
    try {
        checkTypedBody(type, body);
        return true;
    } catch (const ImageError&) {
        return false;
    }
}

// ---- Loading

class OptionReader {
  public:
    explicit OptionReader(LoadContext& c) : c_(c) {}

    void read(ExtensionRecord& ext) {
        auto start = c_.in.peek(OptionHead::kShortSize, "option block head");
        OptionHead head{};
        std::memcpy(static_cast<void*>(&head), start.data(), OptionHead::kShortSize);
        if (head.check2 == 0 || head.check4 == 0) {
            ext.optionFlags &= ~ExtensionRecord::kOptionBits;
            return;
        }
        c_.in.skip(OptionHead::kShortSize);
        if (head.layout == kOldLayout2) {
            head.layout = 3;
            head.level = 1;
        }
        if (head.level != 0) {
            head.textRecordCount = c_.in.u16("text list count");
            head.extraCount = c_.in.u16("extra list count");
        }
        layout2_ = head.layout2();
        longElements_ = head.elementForm > 2;
        if (!layout2_) {
            head.level = 0;
            head.textRecordCount = 0;
            head.extraCount = 0;
        }
        OptionBlock block{};
        for (std::size_t i = 0; i < kOptionLists; ++i)
            if (head.listCounts[i] != 0) block.lists[i] = readList();
        block.series = readSeries(head.seriesCount);
        if (layout2_ && head.level >= 1) block.textList = readTextList();
        if (layout2_ && head.level >= 2 && head.extraCount != 0) block.extraList = readList();
        block.head = head;
        ext.optionBlock = c_.blocks.host(AsBytes(block));
    }

  private:
    Ref readList() {
        auto head = c_.in.record<OptionListHead>("option list head");
        return layout2_ ? readTypedList(head) : readPlainList(head);
    }

    Ref readPlainList(OptionListHead head) {
        const std::size_t stored = longElements_ ? sizeof(OptionElement) : kShortOptionElementSize;
        auto bytes = c_.in.take(c_.in.needBytes(head.count, stored, "option list"), "option list");
        std::vector<OptionElement> elements(head.count);
        for (std::size_t i = 0; i < elements.size(); ++i) {
            const std::byte* from = bytes.data() + i * stored;
            OptionElement& e = elements[i];
            if (longElements_) {
                std::memcpy(&e, from, sizeof e);
                for (le16* index : {&e.textId20, &e.textId22})
                    if (*index != 0 && *index != kNoText) *index = c_.translate(*index);
            } else {
                e.value8 = ReadLe16(from + offsetof(OptionElement, value8));
            }
        }
        const Ref list = c_.blocks.host(sizeof head + elements.size() * sizeof(OptionElement));
        if (!list) return 0;
        RecordAt<OptionListHead>(mem::Data(list)) = head;
        if (!elements.empty())
            std::memcpy(mem::Data(list) + sizeof head, elements.data(),
                        elements.size() * sizeof(OptionElement));
        return list;
    }

    Ref readTypedList(OptionListHead head) {
        std::vector<Ref> kept;
        for (std::size_t i = 0; i < head.count; ++i) {
            const std::uint32_t size = ReadLe32(c_.in.peek(4, "element size").data());
            if (size < offsetof(TypedElementHead, values))
                c_.in.fail("option element shorter than its type");
            auto element = c_.in.take(size, "option element");
            const std::uint16_t type = ReadLe16(element.data() + offsetof(TypedElementHead, type));
            if (type >= kTypedElementKinds) continue;  // a kind this store does not know
            if (size < kStoredTypedHeadSize) c_.in.fail("option element shorter than its head");
            checkTypedBody(type, element.subspan(kStoredTypedHeadSize));
            if (Ref ref = keepTypedElement(element)) kept.push_back(ref);
        }
        head.count = static_cast<std::uint16_t>(kept.size());
        const Ref list = c_.blocks.host(sizeof head + kept.size() * sizeof(Slot));
        if (!list) return 0;
        RecordAt<OptionListHead>(mem::Data(list)) = head;
        for (std::size_t i = 0; i < kept.size(); ++i)
            WriteLe32(mem::Data(list) + sizeof head + i * sizeof(Slot), kept[i]);
        return list;
    }

    // The element in its memory form, with the 32-bit font.
    Ref keepTypedElement(std::span<const std::byte> stored) {
        const std::size_t size = stored.size() + kFontSizeGrowth;
        const Ref ref = c_.blocks.host(size);
        std::byte* to = mem::Data(ref);
        if (!to) return 0;
        WriteLe32(to, static_cast<std::uint32_t>(size));
        std::memcpy(to + 4, stored.data() + 4, kFontAt - 4);
        std::memcpy(to + kFontAt, LogFont16to32(stored.data() + kFontAt), sizeof(LogFont32));
        const std::size_t afterFont = kFontAt + sizeof(LogFont16);
        std::memcpy(to + kFontAt + sizeof(LogFont32), stored.data() + afterFont,
                    stored.size() - afterFont);
        return ref;
    }

    Ref readSeries(std::size_t count) {
        c_.in.needBytes(count, sizeof(OptionListHead), "option series");
        std::vector<Ref> lists;
        for (std::size_t i = 0; i < count; ++i) lists.push_back(readList());
        if (lists.empty()) return 0;
        const Ref series = c_.blocks.host(lists.size() * sizeof(Slot));
        for (std::size_t i = 0; series && i < lists.size(); ++i)
            WriteLe32(mem::Data(series) + i * sizeof(Slot), lists[i]);
        return series;
    }

    // A record that cannot be allocated ends the list (the rest is still read past).
    Ref readTextList() {
        const std::uint16_t count = c_.in.u16("text list count");
        c_.in.needBytes(count, 4, "text list");
        std::vector<Ref> records;
        bool ended = false;
        for (std::uint16_t i = 0; i < count; ++i) {
            const std::size_t start = c_.in.position();
            const std::uint16_t length = c_.in.u16("text record length");
            c_.in.skip(length + std::size_t{2}, "text record");
            if (ended) continue;
            const Ref record =
                c_.blocks.host(c_.in.image().subspan(start, c_.in.position() - start));
            if (!record) {
                MessageBox(nullptr, "TagRecord not allocated", "Error", MB_OK);
                ended = true;
                continue;
            }
            records.push_back(record);
        }
        const Ref list = c_.blocks.host(2 + records.size() * sizeof(Slot));
        if (!list) return 0;
        WriteLe16(mem::Data(list), static_cast<std::uint16_t>(records.size()));
        for (std::size_t i = 0; i < records.size(); ++i)
            WriteLe32(mem::Data(list) + 2 + i * sizeof(Slot), records[i]);
        return list;
    }

    LoadContext& c_;
    bool layout2_ = false;
    bool longElements_ = false;
};

// ---- The option block of a project in memory

// A list as it will be stored: its head and its elements (memory form).
struct StoredList {
    OptionListHead head;
    std::vector<std::span<const std::byte>> elements;
};

class OptionWriter {
  public:
    explicit OptionWriter(const OptionBlock& block) : block_(block) {
        layout2_ = block.head.layout2();
        longElements_ = block.head.elementForm > 2;
        for (std::size_t i = 0; i < kOptionLists; ++i)
            if (block.head.listCounts[i] != 0) lists_[i] = list(block.lists[i]);
        const std::size_t seriesCount = block.head.seriesCount;
        if (auto series = Records<Slot>(block.series, seriesCount))
            for (Ref ref : *series)
                if (auto l = list(ref)) series_.push_back(*l);
        if (layout2_) {
            textRecords_ = textRecords();
            if (block.head.extraCount != 0) extra_ = list(block.extraList);
            if (extra_ && extra_->elements.empty()) extra_.reset();
        }
    }

    void write(Sink& out) const {
        OptionHead head = block_.head;
        const bool leveled = layout2_ && (!textRecords_.empty() || extra_);
        head.level = leveled ? kWrittenLevel : 0;
        if (layout2_ && head.layout == kOldLayout2) head.layout = 3;
        for (std::size_t i = 0; i < kOptionLists; ++i)
            head.listCounts[i] =
                lists_[i] ? static_cast<std::uint16_t>(lists_[i]->elements.size()) : 0;
        head.seriesCount = static_cast<std::uint16_t>(series_.size());
        head.textRecordCount = static_cast<std::uint16_t>(textRecords_.size());
        head.extraCount = extra_ ? static_cast<std::uint16_t>(extra_->elements.size()) : 0;
        out.bytes(AsBytes(head).first(leveled ? sizeof head : OptionHead::kShortSize));
        for (const auto& l : lists_)
            if (l && !l->elements.empty()) writeList(out, *l);
        for (const StoredList& l : series_) writeList(out, l);
        if (!leveled) return;
        out.u16(static_cast<std::uint16_t>(textRecords_.size()));
        for (auto record : textRecords_) out.bytes(record);
        if (extra_) writeList(out, *extra_);
    }

  private:
    std::optional<StoredList> list(Ref ref) const {
        auto head = Records<OptionListHead>(ref, 1);
        if (!head) return std::nullopt;
        StoredList l{(*head)[0], {}};
        const std::size_t count = l.head.count;
        if (!layout2_) {
            auto bytes = BytesAt(ref, sizeof(OptionListHead) + count * sizeof(OptionElement));
            if (!bytes) return std::nullopt;
            for (std::size_t i = 0; i < count; ++i)
                l.elements.push_back(bytes->subspan(
                    sizeof(OptionListHead) + i * sizeof(OptionElement), sizeof(OptionElement)));
            return l;
        }
        auto bytes = BytesAt(ref, sizeof(OptionListHead) + count * sizeof(Slot));
        if (!bytes) return std::nullopt;
        for (std::size_t i = 0; i < count; ++i)
            if (auto element = typedElement(
                    ReadLe32(bytes->data() + sizeof(OptionListHead) + i * sizeof(Slot))))
                l.elements.push_back(*element);
        return l;
    }

    // A typed element in memory that a reader will take back whole.
    static std::optional<std::span<const std::byte>> typedElement(Ref ref) {
        auto head = BytesAt(ref, sizeof(TypedElementHead));
        if (!head) return std::nullopt;
        const std::uint32_t size = ReadLe32(head->data());
        const std::uint16_t type = ReadLe16(head->data() + offsetof(TypedElementHead, type));
        auto element = BytesAt(ref, size);
        if (size < sizeof(TypedElementHead) || !element || type >= kTypedElementKinds)
            return std::nullopt;
        if (!typedBodyFits(type, element->subspan(sizeof(TypedElementHead)))) return std::nullopt;
        return element;
    }

    std::vector<std::span<const std::byte>> textRecords() const {
        std::vector<std::span<const std::byte>> records;
        auto count = BytesAt(block_.textList, 2);
        if (!count) return records;
        auto slots = BytesAt(block_.textList, 2 + ReadLe16(count->data()) * sizeof(Slot));
        if (!slots) return records;
        for (std::size_t i = 0; i < ReadLe16(count->data()); ++i) {
            const Ref ref = ReadLe32(slots->data() + 2 + i * sizeof(Slot));
            auto length = BytesAt(ref, 2);
            if (!length) continue;
            if (auto record = BytesAt(ref, 2 + ReadLe16(length->data()) + std::size_t{2}))
                records.push_back(*record);
        }
        return records;
    }

    void writeList(Sink& out, const StoredList& l) const {
        OptionListHead head = l.head;
        head.count = static_cast<std::uint16_t>(l.elements.size());
        out.record(head);
        for (auto element : l.elements) {
            if (layout2_) {
                writeTypedElement(out, element);
            } else if (longElements_) {
                out.bytes(element);
            } else {
                out.zeros(offsetof(OptionElement, value8));
                out.bytes(element.subspan(offsetof(OptionElement, value8), 2));
                out.zeros(kShortOptionElementSize - offsetof(OptionElement, value8) - 2);
            }
        }
    }

    static void writeTypedElement(Sink& out, std::span<const std::byte> element) {
        out.u32(static_cast<std::uint32_t>(element.size() - kFontSizeGrowth));
        out.bytes(element.subspan(4, kFontAt - 4));
        out.bytes(std::span<const std::byte>(
            static_cast<const std::byte*>(LogFont32to16(element.data() + kFontAt)),
            sizeof(LogFont16)));
        out.bytes(element.subspan(kFontAt + sizeof(LogFont32)));
    }

    const OptionBlock& block_;
    bool layout2_ = false;
    bool longElements_ = false;
    std::optional<StoredList> lists_[kOptionLists];
    std::vector<StoredList> series_;
    std::vector<std::span<const std::byte>> textRecords_;
    std::optional<StoredList> extra_;
};

// The option block that a save stores, if any: its flags set, its block whole, and its head
// words at 2 and 4 set (a reader reads nothing of a block without them, so a block without
// them is not stored).
const OptionBlock* storedOptionBlock(const ExtensionRecord& ext) {
    if ((ext.optionFlags & ExtensionRecord::kOptionBits) == 0 || ext.optionBlock == 0u)
        return nullptr;
    auto block = Records<OptionBlock>(ext.optionBlock, 1);
    if (!block) return nullptr;
    const OptionHead& head = (*block)[0].head;
    return head.check2 != 0 && head.check4 != 0 ? &(*block)[0] : nullptr;
}

}  // namespace

void ReadOptionBlock(LoadContext& c) {
    ExtensionRecord& ext = c.project.ext;
    const bool present =
        (ext.optionFlags & ExtensionRecord::kOptionBits) != 0 && ext.optionBlock != 0u;
    ext.optionBlock = 0;
    if (present) OptionReader(c).read(ext);
}

void AdjustStoredOptionBlock(ExtensionRecord& stored) {
    stored.optionBlock = StoredPresence(storedOptionBlock(stored) != nullptr);
}

void WriteOptionBlock(SaveContext& c) {
    if (const OptionBlock* block = storedOptionBlock(c.project.ext))
        OptionWriter(*block).write(c.out);
}

}  // namespace kestra::store
