// Saving a project as a type 1 image.
#include <algorithm>
#include <array>
#include <cstring>
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

// What a field's image record takes and reads, from one reading of the project's record.
struct FieldForm {
    std::size_t length = kPlainFieldSize;  // the record without its message table
    std::size_t messages = 0;              // entries of the message table
    std::int64_t firstValue = 0;           // value of the first entry
    unsigned format = 0;                   // the normalised format, when the field reads
    NumericKind kind = kKindWord;          // of a class 2 field
    std::uint16_t offset = 0;              // the byte offset it reads
    std::uint8_t requestAt = 0;            // where the record keeps its request number; 0: no read

    std::size_t size() const { return length + 3 * messages; }
};

FieldForm FormOf(const FieldRecord& f) {
    FieldForm form;
    const std::uint16_t fieldClass = LoadLe(f.fieldClass);
    if (fieldClass == kClassPlcData) {
        const sDISPFORMAT& d = f.display;
        form.format = NormalisedFormat(f);
        form.kind = NumericKindOf(form.format, form.format == kWord && IsScaled(d));
        form.offset = LoadLe(f.plc.byteOffset);
        if (form.format != kBit && form.format != kByte && form.format != kAscii)
            form.offset &= 0xFFFE;
        form.length = sizeof(DataFieldImage) + kLimitBytes[form.kind];
        form.requestAt = offsetof(DataFieldImage, request);
        if (d.fieldType == kMessage) {
            const bool isSigned = IsSignedField(d);
            const std::int32_t minimum = LoadLe(d.minimum), maximum = LoadLe(d.maximum);
            const std::int64_t low = isSigned ? std::int64_t{minimum}
                                              : std::int64_t{static_cast<std::uint32_t>(minimum)};
            const std::int64_t high = isSigned ? std::int64_t{maximum}
                                               : std::int64_t{static_cast<std::uint32_t>(maximum)};
            form.firstValue = low;
            form.messages = high < low ? 0
                                       : static_cast<std::size_t>(std::min<std::int64_t>(
                                             high - low + 1, kMessageTableLimit));
        }
    } else if (fieldClass == kClassAttribute) {
        if (!(AttributeByte(f) & kAttributeFromPlc)) {
            form.length = kAttributeFieldSize;
            return form;
        }
        form.format = NormalisedFormat(f);
        form.offset = LoadLe(f.plc.byteOffset);
        form.length = sizeof(AttributeFieldImage);
        form.requestAt = offsetof(AttributeFieldImage, request);
    }
    return form;
}

// Writes a field's record (all but its request number) into zeroed room.
void WriteField(const FieldRecord& f, const FieldForm& form, std::uint8_t* out) {
    auto& head = RecordAt<FieldHead>(out);
    head.row = static_cast<std::uint8_t>(FieldRow(f) + 1);
    head.column = static_cast<std::uint8_t>(FieldColumn(f) + 1);
    const std::uint16_t fieldClass = LoadLe(f.fieldClass);
    head.fieldClass = static_cast<std::uint8_t>(fieldClass);
    if (fieldClass == kClassPlcData) {
        const sDISPFORMAT& d = f.display;
        auto& image = RecordAt<DataFieldImage>(out);
        image.numericKind = form.kind;
        image.bit = f.plc.bit;
        const DisplayKindAndSize shown = DisplayKindOf(d, form.format, f.width, f.height);
        image.displayKind = shown.kind;
        image.displayParam = shown.parameter;
        image.size = shown.size;
        image.access = d.access & 1;
        image.dataBlock = f.plc.dataBlock;
        image.byteOffset = form.offset;
        WriteImageLimits(out + sizeof(DataFieldImage), d, form.format, form.kind);
    } else if (fieldClass == kClassAttribute) {
        auto& image = RecordAt<AttributeFieldImage>(out);
        image.height = f.height;
        image.width = f.width;
        image.source = AttributeByte(f) & 0x07;
        if (form.requestAt == 0) return;
        image.runtimeKind = RuntimeKindOf(form.format, IsScaled(f.display));
        image.bit = f.plc.bit;
        image.dataBlock = f.plc.dataBlock;
        image.byteOffset = form.offset;
    }
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
    // Writes the page head's offsets and the records of the fields at headAt, when they end
    // by `limit`; returns their end, or 0 (with nothing noted) when they do not.
    std::size_t writeFields(const FieldRecord* fields, std::size_t count, std::size_t headAt,
                            std::size_t limit);
    void writeTexts();
    void writeMessages(const MessageTable& table);
    void writeReadRequests();
    void writeFixedRecords();
    void writeTextBlocks();

    std::uint8_t* at(std::size_t offset) { return space_.data() + offset; }
    Type1Header& header() { return RecordAt<Type1Header>(at(0)); }
    PagedOffset placeText(std::string_view text);
    // The project's text of a message range; the few texts of many message fields are
    // fetched from the string table once.
    std::string_view messageText(std::uint16_t id);
    // Places an item in the first block, whose sections have 16-bit offsets.
    std::uint16_t placeInFirstBlock(std::size_t size, const char* what);

    ProjectBlock& project_;
    ImageSpace space_;
    ReadRequestPlan requests_;
    std::size_t titleBlockAt_ = 0, alarmTableAt_ = 0, pageTableAt_ = 0;
    std::vector<PagePlace> pages_;
    std::vector<MessageTable> messages_;
    // The reads of the page being written: where each record keeps its request number.
    struct PendingRead {
        std::size_t numberAt;
        ReadRequest item;
    };
    std::vector<PendingRead> reads_;
    // The message texts fetched so far, each in the place its identifier (modulo 16) names.
    static constexpr std::uint32_t kNoText = 0x10000;  // no identifier: nothing fetched there
    struct FetchedText {
        std::uint32_t id = kNoText;
        std::size_t length = 0;
        TextBuffer text;
    };
    std::array<FetchedText, 16> messageTexts_;
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

std::string_view Saver::messageText(std::uint16_t id) {
    FetchedText& fetched = messageTexts_[id % messageTexts_.size()];
    if (fetched.id != id) {
        fetched.length = ProjectText(project_, id, kTextRoom, fetched.text).size();
        fetched.id = id;
    }
    return {fetched.text.data(), fetched.length};
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

std::size_t Saver::writeFields(const FieldRecord* fields, std::size_t count, std::size_t headAt,
                               std::size_t limit) {
    const std::size_t firstMessage = messages_.size();
    reads_.clear();
    std::size_t recordAt = headAt + sizeof(PageHead) + 2 * count;
    if (recordAt > limit) return 0;
    for (std::size_t i = 0; i < count; ++i) {
        const FieldRecord& f = fields[i];
        const FieldForm form = FormOf(f);
        if (recordAt + form.size() > limit) {
            messages_.resize(firstMessage);
            return 0;
        }
        WriteLe16(at(headAt + sizeof(PageHead) + 2 * i),
                  static_cast<std::uint16_t>(recordAt % kBlockSize));
        WriteField(f, form, at(recordAt));
        if (form.requestAt != 0)
            reads_.push_back({recordAt + form.requestAt,
                              {f.plc.dataBlock, form.offset, ItemLength(form.format, f.width)}});
        if (form.messages != 0)
            messages_.push_back({&f, recordAt + form.length, form.messages, form.firstValue});
        recordAt += form.size();
    }
    return recordAt;
}

void Saver::writePage(std::size_t p) {
    PageRecord& page = pageRecords_[p];
    const std::size_t count = page.fieldCount;
    const FieldRecord* fields = TableOf<FieldRecord>(page.fields, count, "fields of a page");
    const std::size_t firstMessage = messages_.size();
    // The records are written where the image stands, each as its field is read, when the
    // page fits before the block ends; otherwise it is measured, placed and written again.
    std::size_t headAt = space_.position();
    const std::size_t blockEnd = (headAt / kBlockSize + 1) * kBlockSize;
    const std::size_t end =
        writeFields(fields, count, headAt, std::min(blockEnd, space_.image().size()));
    if (end != 0) {
        space_.place(end - headAt);
    } else {
        std::size_t total = sizeof(PageHead) + 2 * count;
        for (std::size_t i = 0; i < count; ++i) total += FormOf(fields[i]).size();
        if (total > kBlockSize) throw SaveError("a page with its fields is larger than a block");
        headAt = space_.place(total);
        writeFields(fields, count, headAt, headAt + total);  // it fits: it was measured
    }
    pages_[p] = {headAt, firstMessage};
    RecordAt<PagedOffset>(at(pageTableAt_ + 2 + 3 * p)) = Paged(headAt);

    auto& head = RecordAt<PageHead>(at(headAt));
    head.flags = static_cast<std::uint8_t>(
        (NextLink(page) == p + 1 ? kNextIsFollowing : 0) |
        (p > 0 && PreviousLink(page) == p - 1 ? kPreviousIsPreceding : 0));
    head.attribute = static_cast<std::uint8_t>(page.b49 + 1);
    head.fieldCount = page.fieldCount.get();
    for (const PendingRead& read : reads_) {
        const unsigned number =
            requests_.add(p, read.item.dataBlock, read.item.start, read.item.length);
        WriteLe16(at(read.numberAt), static_cast<std::uint16_t>(number));
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
        std::string_view text = messageText(range.textId);
        // The text is padded with blanks to the field's width.
        TextBuffer padded;
        if (text.size() < f.width) {
            std::memcpy(padded.data(), text.data(), text.size());
            std::memset(padded.data() + text.size(), ' ', f.width - text.size());
            text = {padded.data(), f.width};
        }
        const PagedOffset where = placeText(text);
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
