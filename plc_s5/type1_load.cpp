// Loading a project from a type 1 image.
#include <cstring>
#include <string>
#include <vector>

#include "platform/allocations.h"
#include "platform/image_cursor.h"
#include "platform/memory.h"
#include "plc_s5/limits.h"
#include "plc_s5/protocol.h"
#include "plc_s5/read_requests.h"
#include "plc_s5/type1_image.h"
#include "plc_s5/type1_layout.h"
#include "string_table/string_table.h"
#include "utilities/services.h"

namespace kestra::s5 {
namespace {

constexpr std::uint8_t kLoadedFromImage = 2;
constexpr std::uint8_t kImageProjectType = 1;
constexpr std::uint8_t kImageFirmware = 0x11;
constexpr std::uint8_t kSetupFlagBit4 = 0x10;

using mem::Allocations;

template <typename Record>
Record* Locked(mem::Ref ref) {
    return ref ? reinterpret_cast<Record*>(mem::Data(ref)) : nullptr;
}

std::string_view WithoutTrailingBlanks(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

class Loader {
  public:
    Loader(std::span<const std::byte> data, ProjectBlock& project, Allocations& blocks)
        : reader_(data), project_(project), blocks_(blocks) {}

    void run();

  private:
    // The offset a paged offset names, or nothing when it is absent.
    std::optional<std::size_t> resolve(const PagedOffset& where, std::string_view what);
    std::string textAt(std::optional<std::size_t> offset);
    std::uint16_t addText(std::string_view text);

    void readTitle(std::size_t at);
    void readProtocol(std::size_t at);
    void readEntries20(std::size_t at);
    void readAlarms(std::size_t at);
    void readPages(std::size_t at);
    void readPage(std::size_t at, std::size_t index, std::size_t count, PageRecord& page);
    void readField(std::size_t at, FieldRecord& field);
    void readDataField(std::size_t at, FieldRecord& field);
    void readMessages(std::size_t tableAt, FieldRecord& field);
    void readAttributeField(std::size_t at, FieldRecord& field);
    void readFixedRecords(std::size_t at);
    void readTextBlocks(std::size_t at);
    void readEntries14(std::size_t at);

    ImageReader reader_;
    ProjectBlock& project_;
    Allocations& blocks_;

    // Blocks for the tables read; an empty table gets no block.
    mem::Ref globalBlock(std::size_t bytes) { return bytes ? blocks_.global(bytes) : 0; }
    mem::Ref hostBlock(std::size_t bytes) { return bytes ? blocks_.host(bytes) : 0; }
};

std::optional<std::size_t> Loader::resolve(const PagedOffset& where, std::string_view what) {
    if (where.page == 0 && where.inPage == 0) return std::nullopt;
    auto offset = where.decode();
    if (!offset || *offset >= reader_.size())
        throw ImageError(reader_.position(), std::string(what) + " lies outside the image");
    return *offset;
}

std::string Loader::textAt(std::optional<std::size_t> offset) {
    if (!offset) return {};
    reader_.seek(*offset);
    const std::uint8_t length = reader_.u8("text length");
    auto bytes = reader_.take(length, "text");
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::uint16_t Loader::addText(std::string_view text) {
    const std::string copy(text);
    const std::uint16_t id = StrTabAddText(copy.c_str(), &project_);
    if (id == kNoStringId) throw ImageError(reader_.position(), "the string table refuses a text");
    return id;
}

void Loader::readTitle(std::size_t at) {
    reader_.seek(at);
    const auto title = reader_.record<TitleBlock>("title block");
    project_.record.titleId = addText(textAt(resolve(title.title, "the title")));
}

void Loader::readProtocol(std::size_t at) {
    reader_.seek(at);
    const auto block = reader_.record<ProtocolBlock>("protocol block");
    ProjectRecord& r = project_.record;
    r.settings2 = block.comm2;
    r.settings3 = block.comm3;
    r.listHead0 = block.comm4;
    r.listHead1 = block.comm5;
    WriteLe16(&r.comm6[6 - 6], 0);
    WriteLe16(&r.comm6[8 - 6], block.word8);
    r.comm6[10 - 6] = block.comm10;
    r.comm6[11 - 6] = block.comm11 & 0x0F;
    r.comm6[12 - 6] = block.comm12;
    r.imageSizeClass = static_cast<std::uint8_t>(block.sizeClass + 1);
    r.loadedFrom = kLoadedFromImage;
    r.plcType = kPlcType;
    r.projectType = kImageProjectType;
    r.firmware = kImageFirmware;
    r.nodeA.protocol = block.setupFlags | kSetupFlagBit4;
    r.nodeA.model = (block.model2 & 1) ? 2 : 1;
    ResetAreasForImage(r, block.dataBlock);
}

void Loader::readEntries20(std::size_t at) {
    reader_.seek(at);
    const std::uint8_t count = reader_.u8("entry count");
    reader_.skip(3);
    reader_.needBytes(count, sizeof(ImageEntry20), "20-byte entries");
    project_.record.section1Count = count;
    auto* entries =
        Locked<Entry20>(project_.record.section1 = globalBlock(count * sizeof(Entry20)));
    for (std::size_t i = 0; i < count; ++i) {
        const auto in = reader_.record<ImageEntry20>("20-byte entry");
        if (!entries) continue;
        std::memcpy(entries[i].head, in.head, sizeof in.head);
        entries[i].b5 = in.b5 & 0x1F;
        entries[i].w6 = static_cast<std::uint16_t>(in.w6.get());
        entries[i].w8 = static_cast<std::uint16_t>(in.w8.get());
    }
}

void Loader::readAlarms(std::size_t at) {
    reader_.seek(at);
    reader_.needBytes(kAlarmCount, sizeof(AlarmEntry), "alarm table");
    project_.record.section2aCount = kAlarmCount;
    auto* alarms = Locked<AlarmRecord>(project_.record.section2a =
                                           globalBlock(kAlarmCount * sizeof(AlarmRecord)));
    for (std::size_t i = 0; i < kAlarmCount; ++i) {
        reader_.seek(at + i * sizeof(AlarmEntry));
        const auto entry = reader_.record<AlarmEntry>("alarm");
        const std::uint16_t id = addText(textAt(resolve(entry.text, "an alarm text")));
        if (!alarms) continue;
        alarms[i].flags = entry.flags;
        alarms[i].priority = entry.priority;
        alarms[i].textId = id;
    }
}

void Loader::readPages(std::size_t at) {
    reader_.seek(at);
    const std::uint16_t count = reader_.u16("page count");
    reader_.needBytes(count, sizeof(PagedOffset), "page table");
    std::vector<PagedOffset> where(count);
    for (auto& w : where) w = reader_.record<PagedOffset>("page offset");
    project_.record.pageCount = count;
    auto* pages = Locked<PageRecord>(project_.record.pages = hostBlock(count * sizeof(PageRecord)));
    for (std::size_t p = 0; p < count; ++p) {
        PageRecord scratch{};
        PageRecord& page = pages ? pages[p] : scratch;
        if (auto offset = resolve(where[p], "a page record"))
            readPage(*offset, p, count, page);
        else
            page.setNameId(addText({}));
    }
}

void Loader::readPage(std::size_t at, std::size_t index, std::size_t count, PageRecord& page) {
    reader_.seek(at);
    const auto head = reader_.record<PageHead>("page record");
    const std::size_t fieldCount = head.fieldCount;
    reader_.needBytes(fieldCount, 2, "field offsets");
    std::vector<std::uint16_t> fieldAt(fieldCount);
    for (auto& f : fieldAt) f = reader_.u16("field offset");

    WriteLe16(page.r41,
              static_cast<std::uint16_t>(
                  (head.flags & kNextIsFollowing) && index + 1 < count ? index + 1 : index));
    WriteLe16(page.r41 + 2,
              static_cast<std::uint16_t>(
                  (head.flags & kPreviousIsPreceding) && index > 0 ? index - 1 : index));
    page.b49 = static_cast<std::uint8_t>(head.attribute - 1);
    page.setNameId(addText(textAt(resolve(head.name, "a page name"))));
    if (auto textOffset = resolve(head.text, "a page text")) {
        reader_.seek(*textOffset);
        const std::uint16_t length = reader_.u16("page text length");
        auto bytes = reader_.take(length, "page text");
        if (std::byte* blob = mem::Data(page.text = hostBlock(4 + length))) {
            WriteLe32(blob, length);
            std::memcpy(blob + 4, bytes.data(), length);
        }
    }
    page.fieldCount = static_cast<std::uint16_t>(fieldCount);
    auto* fields = Locked<FieldRecord>(page.fields = hostBlock(fieldCount * sizeof(FieldRecord)));
    const std::size_t blockStart = at - at % kBlockSize;
    for (std::size_t i = 0; i < fieldCount; ++i) {
        FieldRecord scratch{};
        readField(blockStart + fieldAt[i], fields ? fields[i] : scratch);
    }
}

void Loader::readField(std::size_t at, FieldRecord& field) {
    reader_.seek(at);
    const auto head = reader_.record<FieldHead>("field record");
    FieldRow(field) = static_cast<std::uint8_t>(head.row - 1);
    FieldColumn(field) = static_cast<std::uint8_t>(head.column - 1);
    field.fieldClass = head.fieldClass;
    if (head.fieldClass == kClassPlcData)
        readDataField(at, field);
    else if (head.fieldClass == kClassAttribute)
        readAttributeField(at, field);
}

void Loader::readDataField(std::size_t at, FieldRecord& field) {
    reader_.seek(at);
    const auto image = reader_.record<DataFieldImage>("field record");
    if (image.numericKind > kKindText)
        throw ImageError(at + 4, "unknown numeric kind " + std::to_string(image.numericKind));
    const auto kind = static_cast<NumericKind>(image.numericKind);
    static constexpr std::uint8_t kFormatOfKind[] = {kBit, kByte, kWord, kWord, kDword, kAscii};
    unsigned format = kFormatOfKind[kind];
    sDISPFORMAT& d = field.display;
    unsigned base = kDecimal;
    field.width = image.size;
    field.height = 1;
    d.fieldType = kNumeric;
    d.format = 0;
    switch (image.displayKind) {
        case kShowHex:
            base = kHexadecimal;
            break;
        case kShowFixedPoint:
            d.format |= sDISPFORMAT::kFixedPoint;
            d.decimals = image.displayParam;
            break;
        case kShowMessage:
            d.fieldType = kMessage;
            break;
        case kShowText:
            d.fieldType = kAsciiField;
            break;
        case kShowTimer:
            format = kTimer;
            break;
        case kShowCounter:
            format = kCounter;
            break;
        case kShowFloat:
            format = kFloat;
            d.decimals = image.displayParam;
            if (image.displayParam) d.format |= sDISPFORMAT::kFixedPoint;
            break;
        case kShowHorzBar:
            d.fieldType = kHorzBargraph;
            field.height = image.displayParam;
            break;
        case kShowVertBar:
            d.fieldType = kVertBargraph;
            field.height = image.size;
            field.width = image.displayParam;
            break;
        default:
            break;
    }
    d.format |= static_cast<std::uint8_t>(base << 3);
    if (base != kHexadecimal && format != kCounter && d.fieldType != kMessage)
        d.format |= sDISPFORMAT::kSigned;
    if (kind == kKindScaledWord) d.format |= sDISPFORMAT::kScaling;
    d.access = image.access & 1;
    d.scaleA = 1;
    d.scaleB = 1;
    d.scaleC = 0;
    auto limits = reader_.take(kLimitBytes[kind], "field limits");
    ReadImageLimits(reinterpret_cast<const std::uint8_t*>(limits.data()), d, kind,
                    image.displayKind);

    field.plc.dataBlock = image.dataBlock;
    field.plc.byteOffset = image.byteOffset.get();
    field.plc.dataFormat = static_cast<std::uint8_t>(format);
    field.plc.bit = image.bit;
    field.plc.dataType = kDataBlock;
    if (d.fieldType == kMessage)
        readMessages(at + sizeof(DataFieldImage) + kLimitBytes[kind], field);
}

// The message table: a paged offset per value from the minimum upward (256 at most). Values
// with the same text in a row become one range.
void Loader::readMessages(std::size_t tableAt, FieldRecord& field) {
    sDISPFORMAT& d = field.display;
    const std::int64_t low = static_cast<std::uint32_t>(d.minimum.get());
    std::int64_t high = static_cast<std::uint32_t>(d.maximum.get());
    if (high > low + static_cast<std::int64_t>(kMessageTableLimit) - 1) {
        high = low + kMessageTableLimit - 1;
        d.maximum = static_cast<std::int32_t>(high);
    }
    std::vector<ListEntry> ranges;
    std::int64_t lastValue = 0;
    for (std::int64_t v = low; v <= high; ++v) {
        reader_.seek(tableAt + 3 * static_cast<std::size_t>(v - low));
        const auto where = reader_.record<PagedOffset>("message offset");
        auto offset = resolve(where, "a message text");
        if (!offset) continue;
        const std::uint16_t id = addText(WithoutTrailingBlanks(textAt(offset)));
        if (!ranges.empty() && ranges.back().textId == id && lastValue == v - 1) {
            ranges.back().lastKey = static_cast<std::int16_t>(v);
            StrTabGetText(id, &project_, nullptr, 0, 1);
        } else {
            ListEntry range{};
            range.firstKey = static_cast<std::int16_t>(v);
            range.lastKey = static_cast<std::int16_t>(v);
            range.textId = id;
            ranges.push_back(range);
        }
        lastValue = v;
    }
    field.list1.count = static_cast<std::int16_t>(ranges.size());
    field.list1.numeric = 0;
    if (auto* out =
            Locked<ListEntry>(field.list1.block = globalBlock(ranges.size() * sizeof(ListEntry))))
        std::memcpy(out, ranges.data(), ranges.size() * sizeof(ListEntry));
}

void Loader::readAttributeField(std::size_t at, FieldRecord& field) {
    reader_.seek(at);
    auto head = reader_.take(kAttributeFieldSize, "attribute field");
    field.height = static_cast<std::uint8_t>(head[4]);
    field.width = static_cast<std::uint8_t>(head[5]);
    const auto source = static_cast<std::uint8_t>(static_cast<std::uint8_t>(head[6]) & 0x07);
    AttributeByte(field) = source;
    if (source != 0) return;
    reader_.seek(at);
    const auto image = reader_.record<AttributeFieldImage>("attribute field");
    static constexpr std::uint8_t kFormatOfRuntimeKind[] = {kBit,  kByte,  kWord,
                                                            kWord, kDword, kAscii};
    AttributeByte(field) |= kAttributeFromPlc;
    field.plc.dataFormat =
        image.runtimeKind < 6 ? kFormatOfRuntimeKind[image.runtimeKind] : std::uint8_t{kWord};
    field.plc.bit = image.bit;
    field.plc.dataBlock = image.dataBlock;
    field.plc.byteOffset = image.byteOffset.get();
    field.plc.dataType = kDataBlock;
}

void Loader::readFixedRecords(std::size_t at) {
    reader_.seek(at);
    auto head = reader_.take(13, "fixed-record section");
    const auto count = static_cast<std::uint8_t>(head[0]);
    const auto itemBytes = static_cast<std::uint8_t>(head[9]);
    if (itemBytes == 0) throw ImageError(at + 9, "fixed records without a size");
    const std::size_t total = reader_.needBytes(count, itemBytes, "fixed records");
    FixedRecordInfo& info = FixedRecords(project_.record);
    info.count = count;
    std::memcpy(info.data, head.data() + 1, sizeof info.data);
    info.itemSize = static_cast<std::uint16_t>(itemBytes - 1);
    auto items = reader_.take(total, "fixed records");
    if (std::byte* out = mem::Data(info.items = globalBlock(total)))
        std::memcpy(out, items.data(), total);
}

void Loader::readTextBlocks(std::size_t at) {
    reader_.seek(at);
    ProjectRecord& r = project_.record;
    r.text1Length = reader_.u8("text block length");
    r.text2Length = reader_.u8("text block length");
    for (auto [length, slot] :
         {std::pair{r.text1Length, &r.text1}, std::pair{r.text2Length, &r.text2}}) {
        const std::size_t bytes = length ? length - 1u : 0;
        auto text = reader_.take(bytes, "text block");
        if (std::byte* out = mem::Data(*slot = globalBlock(bytes)))
            std::memcpy(out, text.data(), bytes);
    }
}

void Loader::readEntries14(std::size_t at) {
    reader_.seek(at);
    const std::uint16_t count = reader_.u16("entry count");
    reader_.needBytes(count, 2, "entry offsets");
    std::vector<std::uint16_t> offsets(count);
    for (auto& o : offsets) o = reader_.u16("entry offset");
    project_.record.section9Count = count;
    auto* entries =
        Locked<Entry14>(project_.record.section9 = globalBlock(count * sizeof(Entry14)));
    const std::size_t blockStart = at - at % kBlockSize;
    for (std::size_t i = 0; i < count; ++i) {
        if (offsets[i] == 0) continue;
        reader_.seek(blockStart + offsets[i]);
        const std::uint8_t b0 = reader_.u8("entry"), b1 = reader_.u8("entry");
        const std::uint16_t id = addText(reader_.cstring("entry text"));
        if (!entries) continue;
        entries[i].b0 = b0;
        entries[i].b1 = b1;
        entries[i].textId = id;
    }
}

void Loader::run() {
    const auto header = reader_.record<Type1Header>("header");
    readTitle(header.titleBlock);
    readProtocol(header.protocolBlock);
    if (header.entries20 != 0) readEntries20(header.entries20);
    if (header.alarmTable != 0) readAlarms(header.alarmTable);
    if (header.pageTable != 0) readPages(header.pageTable);
    if (auto at = resolve(header.fixedRecords, "the fixed-record section")) readFixedRecords(*at);
    if (auto at = resolve(header.textBlocks, "the text block section")) readTextBlocks(*at);
    if (auto at = resolve(header.entries14, "the 14-byte entry section")) readEntries14(*at);
}

}  // namespace

std::uint32_t PaddedSize(std::span<const std::byte> header) {
    if (header.size() < sizeof(Type1Header)) return 0;
    return RecordAt<Type1Header>(header.data()).checksums.decode().value_or(0);
}

bool WriteChecksums(std::span<std::byte> image) {
    const std::size_t padded = PaddedSize(image);
    const std::size_t blocks = padded / kChecksumBlock;
    if (padded == 0 || padded % kChecksumBlock != 0 || image.size() < padded + blocks) return false;
    auto bytes = std::span(reinterpret_cast<std::uint8_t*>(image.data()), image.size());
    for (std::size_t b = 0; b < blocks; ++b)
        bytes[padded + b] = Checksum(bytes.subspan(b * kChecksumBlock, kChecksumBlock));
    return true;
}

std::variant<HGLOBAL, LoadFailure> LoadType1Image(std::span<const std::byte> image) {
    const std::size_t padded = PaddedSize(image);
    const std::size_t sums = padded / kChecksumBlock;
    if (padded < sizeof(Type1Header) || padded % kChecksumBlock != 0)
        return LoadFailure{25, "the header names no valid image size"};
    if (image.size() < padded + sums)
        return LoadFailure{image.size(), "the image is shorter than its header says"};
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(image.data()), image.size());
    for (std::size_t b = 0; b < sums; ++b)
        if (Checksum(bytes.subspan(b * kChecksumBlock, kChecksumBlock)) != bytes[padded + b])
            return LoadFailure{b * kChecksumBlock,
                               "checksum mismatch in block " + std::to_string(b)};

    mem::HostAllocFn host = GetAppFmalloc();
    if (!host) return LoadFailure{0, "no application allocator"};
    HGLOBAL handle = GlobalAlloc(GHND, kProjectBlockSize);
    if (!handle) return LoadFailure{0, "the project block cannot be allocated"};
    auto* project = static_cast<ProjectBlock*>(GlobalLock(handle));
    if (!project) {
        GlobalFree(handle);
        return LoadFailure{0, "the project block cannot be locked"};
    }
    Allocations blocks(host);
    try {
        Loader(image.first(padded), *project, blocks).run();
    } catch (const std::exception& e) {
        const auto* fault = dynamic_cast<const ImageError*>(&e);
        StrTabDiscard(project);
        GlobalUnlock(handle);
        GlobalFree(handle);
        return LoadFailure{fault ? fault->offset() : 0, e.what()};
    }
    blocks.keep();
    GlobalUnlock(handle);
    return handle;
}

}  // namespace kestra::s5
