// Saving a project as a type 1 image.
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/clock.h"
#include "platform/memory.h"
#include "plc_s5/limits.h"
#include "plc_s5/link_params.h"
#include "plc_s5/read_requests.h"
#include "plc_s5/type1_image.h"
#include "plc_s5/type1_layout.h"
#include "string_table/string_table.h"

namespace kestra::s5 {
namespace {

constexpr std::size_t kDefaultReserve = 99328;
constexpr std::size_t kReservePerClass = kBlockSize;
constexpr std::size_t kReserveBase = 10240;
constexpr std::size_t kTextRoom = 255;  // a length byte holds at most this many

struct SaveError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Room for a text of the image and its terminator.
using TextBuffer = std::array<char, kTextRoom + 1>;

// The project's text of an identifier, at most `room` characters (fewer than the buffer
// holds), fetched into `buffer`; empty when unknown.
std::string_view ProjectText(ProjectBlock& project, std::uint16_t id, std::size_t room,
                             TextBuffer& buffer) {
    if (!StrTabGetText(id, &project, buffer.data(), static_cast<DWORD>(room + 1), 0)) return {};
    return {buffer.data(), std::strlen(buffer.data())};
}

// `count` records of `size` bytes in the block a slot names, or an error.
template <typename Record>
Record* TableOf(std::uint32_t slot, std::size_t count, const char* what) {
    if (count == 0) return nullptr;
    auto* bytes = mem::At(slot, 0, count * sizeof(Record));
    if (!bytes) throw SaveError(std::string("the project's ") + what + " do not fill their table");
    return reinterpret_cast<Record*>(bytes);
}

// The image form of one field record: its fixed part, and the room its message table takes.
struct FieldPlan {
    FieldRecord* field = nullptr;
    std::uint8_t bytes[sizeof(DataFieldImage) + 10] = {};
    std::size_t length = 0;
    std::size_t messages = 0;     // entries of the message table
    std::int64_t firstValue = 0;  // value of the first entry
    std::optional<ReadRequest> item;
    std::size_t requestAt = 0;  // where the record keeps its request number

    std::size_t size() const { return length + 3 * messages; }
};

// Bytes a field of the format reads from the PLC.
std::uint16_t ItemLength(unsigned format, unsigned width) {
    switch (format) {
        case kBit:
        case kByte:
            return 1;
        case kDword:
        case kFloat:
            return 4;
        case kAscii:
            return static_cast<std::uint16_t>(std::max(width, 1u));
        default:
            return 2;
    }
}

// Formats the image form knows (1 to 8); any other goes into the image as WORD. The field
// keeps its own: building the panel's image changes nothing of the project.
unsigned NormalisedFormat(const FieldRecord& f) {
    if (f.plc.dataFormat < kBit || f.plc.dataFormat > kFloat) return kWord;
    return f.plc.dataFormat;
}

void PlanAttributeField(FieldPlan& plan) {
    FieldRecord& f = *plan.field;
    auto& image = RecordAt<AttributeFieldImage>(plan.bytes);
    image.height = f.height;
    image.width = f.width;
    image.source = AttributeByte(f) & 0x07;
    if (!(AttributeByte(f) & kAttributeFromPlc)) {
        plan.length = kAttributeFieldSize;
        return;
    }
    const unsigned format = NormalisedFormat(f);
    image.runtimeKind = RuntimeKindOf(format, IsScaled(f.display));
    image.bit = f.plc.bit;
    image.dataBlock = f.plc.dataBlock;
    image.byteOffset = f.plc.byteOffset;
    plan.length = sizeof(AttributeFieldImage);
    plan.item = ReadRequest{f.plc.dataBlock, f.plc.byteOffset, ItemLength(format, f.width)};
    plan.requestAt = offsetof(AttributeFieldImage, request);
}

void PlanDataField(FieldPlan& plan) {
    FieldRecord& f = *plan.field;
    const sDISPFORMAT& d = f.display;
    const unsigned format = NormalisedFormat(f);
    const bool scaled = format == kWord && IsScaled(d);
    const NumericKind kind = NumericKindOf(format, scaled);
    std::uint16_t offset = f.plc.byteOffset;
    if (format != kBit && format != kByte && format != kAscii) offset &= 0xFFFE;

    auto& image = RecordAt<DataFieldImage>(plan.bytes);
    image.numericKind = kind;
    image.bit = f.plc.bit;
    const DisplayKindAndSize shown = DisplayKindOf(d, format, f.width, f.height);
    image.displayKind = shown.kind;
    image.displayParam = shown.parameter;
    image.size = shown.size;
    image.access = d.access & 1;
    image.dataBlock = f.plc.dataBlock;
    image.byteOffset = offset;
    plan.length = sizeof(DataFieldImage) +
                  WriteImageLimits(plan.bytes + sizeof(DataFieldImage), d, format, kind);
    plan.item = ReadRequest{f.plc.dataBlock, offset, ItemLength(format, f.width)};
    plan.requestAt = offsetof(DataFieldImage, request);

    if (d.fieldType == kMessage) {
        const bool isSigned = IsSignedField(d);
        const std::int64_t low = isSigned
                                     ? std::int64_t{d.minimum}
                                     : std::int64_t{static_cast<std::uint32_t>(d.minimum.get())};
        const std::int64_t high = isSigned
                                      ? std::int64_t{d.maximum}
                                      : std::int64_t{static_cast<std::uint32_t>(d.maximum.get())};
        plan.firstValue = low;
        plan.messages = high < low ? 0
                                   : static_cast<std::size_t>(std::min<std::int64_t>(
                                         high - low + 1, kMessageTableLimit));
    }
}

void PlanField(FieldPlan& plan, FieldRecord& f) {
    plan = FieldPlan{};
    plan.field = &f;
    auto& head = RecordAt<FieldHead>(plan.bytes);
    head.row = static_cast<std::uint8_t>(FieldRow(f) + 1);
    head.column = static_cast<std::uint8_t>(FieldColumn(f) + 1);
    head.fieldClass = static_cast<std::uint8_t>(f.fieldClass);
    if (f.fieldClass == kClassPlcData)
        PlanDataField(plan);
    else if (f.fieldClass == kClassAttribute)
        PlanAttributeField(plan);
    else
        plan.length = kPlainFieldSize;
}

// A message field's table in the image, filled in once the texts are placed.
struct MessageTable {
    const FieldRecord* field;
    std::size_t at;  // the image offset of its first entry
    std::size_t entries;
    std::int64_t firstValue;  // the value of its first entry
};

class Saver {
  public:
    Saver(ProjectBlock& project, std::span<std::uint8_t> image)
        : project_(project), space_(image), requests_(0, ModelRowFor(1)->bytesPerRequest) {}

    std::size_t run();

  private:
    // Where a page's record went, and its first message table.
    struct PagePlace {
        std::size_t headAt;
        std::size_t firstMessage;  // index into messages_
    };

    void writeHeadBlocks();
    void writeEntries20();
    void writeAlarmTable();
    void writePages();
    void writePage(std::size_t p);
    void writeTexts();
    void writeMessages(const MessageTable& table);
    void writeReadRequests();
    void writeFixedRecords();
    void writeTextBlocks();

    std::uint8_t* at(std::size_t offset) { return space_.data() + offset; }
    Type1Header& header() { return RecordAt<Type1Header>(at(0)); }
    PagedOffset placeText(std::string_view text);
    // Places an item in the first block, whose sections have 16-bit offsets.
    std::uint16_t placeInFirstBlock(std::size_t size, const char* what);

    ProjectBlock& project_;
    ImageSpace space_;
    ReadRequestPlan requests_;
    std::size_t titleBlockAt_ = 0, alarmTableAt_ = 0, pageTableAt_ = 0;
    std::vector<PagePlace> pages_;
    std::vector<MessageTable> messages_;
    // The plans of the page being written, made again for every page in the same room.
    std::vector<FieldPlan> plans_;
    PageRecord* pageRecords_ = nullptr;
    std::size_t pageCount_ = 0;
};

std::uint16_t Saver::placeInFirstBlock(std::size_t size, const char* what) {
    std::size_t offset = space_.place(size);
    if (offset + size > kBlockSize)
        throw SaveError(std::string("the ") + what + " does not fit in the first block");
    return static_cast<std::uint16_t>(offset);
}

PagedOffset Saver::placeText(std::string_view text) {
    text = text.substr(0, kTextRoom);
    std::size_t offset = space_.place(1 + text.size());
    *at(offset) = static_cast<std::uint8_t>(text.size());
    if (!text.empty()) std::memcpy(at(offset + 1), text.data(), text.size());
    return Paged(offset);
}

void Saver::writeHeadBlocks() {
    space_.place(sizeof(Type1Header));
    titleBlockAt_ = placeInFirstBlock(sizeof(TitleBlock), "title block");
    header().titleBlock = static_cast<std::uint16_t>(titleBlockAt_);
    auto& title = RecordAt<TitleBlock>(at(titleBlockAt_));
    title.marker = TitleBlock::kMarker;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    title.second = static_cast<std::uint8_t>(now.wSecond);
    title.minute = static_cast<std::uint8_t>(now.wMinute);
    title.hour = static_cast<std::uint8_t>(now.wHour);
    title.day = static_cast<std::uint8_t>(now.wDay);
    title.month = static_cast<std::uint8_t>(now.wMonth);
    title.year = static_cast<std::uint8_t>(now.wYear - 1900);
    std::memset(title.filler, 0xFF, sizeof title.filler);

    const ProjectRecord& r = project_.record;
    const std::uint16_t protocolAt = placeInFirstBlock(sizeof(ProtocolBlock), "protocol block");
    header().protocolBlock = protocolAt;
    auto& protocol = RecordAt<ProtocolBlock>(at(protocolAt));
    protocol.dataBlock = LinkParams(r).area0.ref.dataBlock;
    protocol.comm2 = r.settings2;
    protocol.comm3 = r.settings3 & 0x7F;
    protocol.comm4 = r.listHead0;
    protocol.comm5 = r.listHead1;
    protocol.model2 = r.nodeA.model == 2 ? 1 : 0;
    protocol.word8 = ReadLe16(&r.comm6[8 - 6]);
    protocol.comm10 = r.comm6[10 - 6];
    protocol.setupFlags = r.nodeA.protocol & 0xEF;
    protocol.comm11 = r.comm6[11 - 6] & 0x0F;
    protocol.comm12 = r.comm6[12 - 6];
    protocol.sizeClass =
        r.imageSizeClass == 0 ? 0 : static_cast<std::uint8_t>(r.imageSizeClass - 1);
}

void Saver::writeEntries20() {
    const std::size_t count = project_.record.section1Count;
    if (count == 0) return;
    const Entry20* entries = TableOf<Entry20>(project_.record.section1, count, "20-byte entries");
    const std::uint16_t tableAt =
        placeInFirstBlock(4 + sizeof(ImageEntry20) * count, "table of 20-byte entries");
    header().entries20 = tableAt;
    *at(tableAt) = static_cast<std::uint8_t>(count);
    for (std::size_t i = 0; i < count; ++i) {
        auto& out = RecordAt<ImageEntry20>(at(tableAt + 4 + i * sizeof(ImageEntry20)));
        std::memcpy(out.head, entries[i].head, sizeof out.head);
        out.b5 = entries[i].b5 & 0x1F;
        out.w6 = entries[i].w6.get();
        out.w8 = entries[i].w8.get();
    }
}

void Saver::writeAlarmTable() {
    alarmTableAt_ = placeInFirstBlock(sizeof(AlarmEntry) * kAlarmCount, "alarm table");
    header().alarmTable = static_cast<std::uint16_t>(alarmTableAt_);
}

void Saver::writePages() {
    const ProjectRecord& r = project_.record;
    pageCount_ = r.pageCount;
    pageTableAt_ = placeInFirstBlock(2 + 3 * pageCount_, "page table");
    header().pageTable = static_cast<std::uint16_t>(pageTableAt_);
    WriteLe16(at(pageTableAt_), static_cast<std::uint16_t>(pageCount_));
    if (r.pages == 0u) return;  // a page table without page records
    pageRecords_ = TableOf<PageRecord>(r.pages, pageCount_, "pages");
    requests_ = ReadRequestPlan(pageCount_, ModelRowFor(1)->bytesPerRequest);
    pages_.resize(pageCount_);
    for (std::size_t p = 0; p < pageCount_; ++p) writePage(p);
}

void Saver::writePage(std::size_t p) {
    PageRecord& page = pageRecords_[p];
    FieldRecord* fields = TableOf<FieldRecord>(page.fields, page.fieldCount, "fields of a page");
    std::size_t total = sizeof(PageHead) + 2 * page.fieldCount;
    plans_.resize(page.fieldCount);
    for (std::size_t i = 0; i < page.fieldCount; ++i) {
        PlanField(plans_[i], fields[i]);
        total += plans_[i].size();
    }
    if (total > kBlockSize) throw SaveError("a page with its fields is larger than a block");
    const std::size_t headAt = space_.place(total);
    pages_[p] = {headAt, messages_.size()};
    RecordAt<PagedOffset>(at(pageTableAt_ + 2 + 3 * p)) = Paged(headAt);

    auto& head = RecordAt<PageHead>(at(headAt));
    head.flags = static_cast<std::uint8_t>(
        (NextLink(page) == p + 1 ? kNextIsFollowing : 0) |
        (p > 0 && PreviousLink(page) == p - 1 ? kPreviousIsPreceding : 0));
    head.attribute = static_cast<std::uint8_t>(page.b49 + 1);
    head.fieldCount = page.fieldCount.get();
    std::size_t recordAt = headAt + sizeof(PageHead) + 2 * page.fieldCount;
    for (std::size_t i = 0; i < plans_.size(); ++i) {
        FieldPlan& plan = plans_[i];
        WriteLe16(at(headAt + sizeof(PageHead) + 2 * i),
                  static_cast<std::uint16_t>(recordAt % kBlockSize));
        if (plan.item) {
            const unsigned number =
                requests_.add(p, plan.item->dataBlock, plan.item->start, plan.item->length);
            WriteLe16(plan.bytes + plan.requestAt, static_cast<std::uint16_t>(number));
        }
        std::memcpy(at(recordAt), plan.bytes, plan.length);
        if (plan.messages != 0)
            messages_.push_back(
                {plan.field, recordAt + plan.length, plan.messages, plan.firstValue});
        recordAt += plan.size();
    }
}

void Saver::writeMessages(const MessageTable& table) {
    const FieldRecord& f = *table.field;
    if (f.list1.count <= 0) return;
    const auto count = static_cast<std::size_t>(f.list1.count.get());
    const ListEntry* ranges = TableOf<ListEntry>(f.list1.block, count, "message ranges");
    const std::int64_t first = table.firstValue,
                       last = first + static_cast<std::int64_t>(table.entries) - 1;
    for (std::size_t i = 0; i < count; ++i) {
        const ListEntry& range = ranges[i];
        // An identifier the string table never gave names no text.
        if (range.textId >= project_.record.stringCount) continue;
        const std::int64_t low = std::max<std::int64_t>(range.firstKey, first);
        const std::int64_t high = std::min<std::int64_t>(range.lastKey, last);
        if (low > high) continue;
        TextBuffer buffer;
        std::size_t length = ProjectText(project_, range.textId, kTextRoom, buffer).size();
        // The text is padded with blanks to the field's width.
        if (length < f.width) {
            std::memset(buffer.data() + length, ' ', f.width - length);
            length = f.width;
        }
        const PagedOffset where = placeText({buffer.data(), length});
        for (std::int64_t v = low; v <= high; ++v)
            RecordAt<PagedOffset>(at(table.at + 3 * static_cast<std::size_t>(v - first))) = where;
    }
}

void Saver::writeTexts() {
    ProjectRecord& r = project_.record;
    TextBuffer buffer;
    RecordAt<TitleBlock>(at(titleBlockAt_)).title =
        placeText(ProjectText(project_, r.titleId, TitleBlock::kTitleRoom, buffer));

    const std::size_t defined = std::min<std::size_t>(r.section2aCount, kAlarmCount);
    const AlarmRecord* alarms = TableOf<AlarmRecord>(r.section2a, defined, "alarms");
    for (std::size_t i = 0; i < kAlarmCount; ++i) {
        auto& entry = RecordAt<AlarmEntry>(at(alarmTableAt_ + i * sizeof(AlarmEntry)));
        if (i < defined) {
            const std::string_view text =
                AlarmNamesText(alarms[i])
                    ? ProjectText(project_, alarms[i].textId, kTextRoom, buffer)
                    : std::string_view();
            entry.flags =
                static_cast<std::uint8_t>((alarms[i].flags & kStoredAlarmFlags) | kDefinedAlarm |
                                          (text.empty() ? 0 : kAlarmHasText));
            entry.priority = alarms[i].priority;
            entry.text = placeText(text);
        } else {
            entry.text = placeText({});
        }
    }

    for (std::size_t p = 0; p < pages_.size(); ++p) {
        PageRecord& page = pageRecords_[p];
        auto& head = RecordAt<PageHead>(at(pages_[p].headAt));
        head.name = placeText(ProjectText(project_, page.nameId(), kTextRoom, buffer));
        if (page.text != 0u) {
            auto blob = mem::Blob(page.text);
            if (!blob) throw SaveError("a page text does not fill its block");
            const std::size_t length = blob->size();
            const std::byte* bytes = blob->data();
            if (length > kBlockSize - 2) throw SaveError("a page text is larger than a block");
            if (length != 0) {
                const std::size_t textAt = space_.place(2 + length);
                WriteLe16(at(textAt), static_cast<std::uint16_t>(length));
                std::memcpy(at(textAt + 2), bytes, length);
                head.text = Paged(textAt);
            }
        }
        const std::size_t end =
            p + 1 < pages_.size() ? pages_[p + 1].firstMessage : messages_.size();
        for (std::size_t m = pages_[p].firstMessage; m < end; ++m) writeMessages(messages_[m]);
    }
}

void Saver::writeReadRequests() {
    if (pageCount_ == 0 || pageRecords_ == nullptr) return;
    requests_.markDataBlock(LinkParams(project_.record).area0.ref.dataBlock);
    const std::size_t size = requests_.sectionSize();
    if (size > kBlockSize) throw SaveError("the read requests are larger than a block");
    const std::size_t sectionAt = space_.place(size);
    requests_.write(at(sectionAt), sectionAt);
    header().readRequests = Paged(sectionAt);
}

void Saver::writeFixedRecords() {
    const FixedRecordInfo& info = FixedRecords(project_.record);
    if (info.count == 0) return;
    if (info.itemSize > 254) throw SaveError("the fixed records are too long");
    const std::size_t itemBytes = info.itemSize + 1u;
    const std::uint8_t* items =
        TableOf<std::uint8_t>(info.items, info.count * itemBytes, "fixed records");
    const std::size_t size = 13 + info.count * itemBytes;
    if (size > kBlockSize) throw SaveError("the fixed records are larger than a block");
    const std::size_t sectionAt = space_.place(size);
    *at(sectionAt) = info.count;
    std::memcpy(at(sectionAt + 1), info.data, sizeof info.data);
    *at(sectionAt + 9) = static_cast<std::uint8_t>(itemBytes);
    std::memcpy(at(sectionAt + 13), items, info.count * itemBytes);
    header().fixedRecords = Paged(sectionAt);
}

void Saver::writeTextBlocks() {
    const ProjectRecord& r = project_.record;
    if (r.text1Length == 0 && r.text2Length == 0) return;
    const std::size_t length1 = r.text1Length ? r.text1Length - 1u : 0,
                      length2 = r.text2Length ? r.text2Length - 1u : 0;
    const std::uint8_t* text1 = TableOf<std::uint8_t>(r.text1, length1, "text block 1 bytes");
    const std::uint8_t* text2 = TableOf<std::uint8_t>(r.text2, length2, "text block 2 bytes");
    const std::size_t sectionAt = space_.place(2 + length1 + length2 + 2);
    *at(sectionAt) = r.text1Length;
    *at(sectionAt + 1) = r.text2Length;
    if (length1) std::memcpy(at(sectionAt + 2), text1, length1);
    if (length2) std::memcpy(at(sectionAt + 2 + length1), text2, length2);
    header().textBlocks = Paged(sectionAt);
}

std::size_t Saver::run() {
    writeHeadBlocks();
    writeEntries20();
    writeAlarmTable();
    writePages();
    writeTexts();
    writeReadRequests();
    writeFixedRecords();
    writeTextBlocks();
    const std::size_t total = FinishImage(space_.image(), space_.position());
    if (total == 0) throw SaveError("no room for the checksums");
    return total;
}

}  // namespace

namespace {

// The image is built in room that stays with the thread and then copied into a global block of
// its exact size: a build pays neither for fresh memory, whose first touch costs a page fault
// every 4 KB, nor for moving the image when it is trimmed to its size.
std::vector<std::uint8_t>& BuildRoom() {
    thread_local std::vector<std::uint8_t> room;
    return room;
}

}  // namespace

std::variant<HGLOBAL, SaveFailure> SaveType1Image(ProjectBlock& project, std::size_t& imageSize) {
    const std::size_t sizeClass = project.record.imageSizeClass;
    const std::size_t reserve = std::min<std::size_t>(
        sizeClass == 0 ? kDefaultReserve : sizeClass * kReservePerClass + kReserveBase,
        PagedOffset::kMaxOffset + 1);
    std::vector<std::uint8_t>& room = BuildRoom();
    try {
        room.assign(reserve, 0);
    } catch (const std::bad_alloc&) {
        return SaveFailure{"the image cannot be allocated"};
    }
    std::size_t total;
    try {
        Saver saver(project, std::span(room.data(), reserve));
        total = saver.run();
    } catch (const std::exception& e) {
        return SaveFailure{e.what()};
    }
    // Every byte of the block is copied from the room: it needs no zeros first.
    const mem::NewBlock block = mem::AllocateBlock(total, mem::Kind::Global, false);
    if (!block.data) return SaveFailure{"the image cannot be allocated"};
    std::memcpy(block.data, room.data(), total);
    imageSize = total;
    return block.ref;
}

}  // namespace kestra::s5
