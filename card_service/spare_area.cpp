#include "card_service/spare_area.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/records.h"

namespace kestra::card {
namespace {

SpareArea& SpareOf(RawPage page) {
    return RecordAt<SpareArea>(page.data() + kPageData);
}
const SpareArea& SpareOf(ConstRawPage page) {
    return RecordAt<SpareArea>(page.data() + kPageData);
}

std::uint16_t BigEndian(const std::uint8_t (&b)[2]) {
    return static_cast<std::uint16_t>(b[0] << 8 | b[1]);
}
void StoreBigEndian(std::uint8_t (&b)[2], std::uint16_t v) {
    b[0] = static_cast<std::uint8_t>(v >> 8);
    b[1] = static_cast<std::uint8_t>(v);
}

std::span<const std::uint8_t, kEccArea> Half(ConstRawPage page, unsigned half) {
    return page.subspan(half * kEccArea).first<kEccArea>();
}
std::span<std::uint8_t, kEccArea> Half(RawPage page, unsigned half) {
    return page.subspan(half * kEccArea).first<kEccArea>();
}
EccCode Code(const std::uint8_t (&b)[3]) {
    return {b[0], b[1], b[2]};
}

}  // namespace

std::uint16_t EncodeBlockAddress(unsigned zoneAddress) {
    auto field = static_cast<std::uint16_t>(0x1000 | (zoneAddress & kMaxZoneAddress) << 1);
    if (std::popcount(field) & 1) field |= 1;
    return field;
}

std::optional<unsigned> DecodeBlockAddress(std::uint16_t field) {
    if ((field & 0xF800) != 0x1000 || (std::popcount(field) & 1)) return std::nullopt;
    return (field >> 1) & kMaxZoneAddress;
}

PageLabel ReadLabel(ConstRawPage page) {
    const SpareArea& spare = SpareOf(page);
    PageLabel label;
    label.blockGood = BlockStatusGood(spare.blockStatus);
    label.dataValid = DataStatusValid(spare.dataStatus);
    label.erased = std::all_of(page.begin(), page.end(), [](std::uint8_t b) { return b == 0xFF; });
    const auto first = DecodeBlockAddress(BigEndian(spare.blockAddress1));
    const auto second = DecodeBlockAddress(BigEndian(spare.blockAddress2));
    // A copy may be damaged; two readable copies that disagree leave the page unassigned.
    if (first && second)
        label.zoneAddress = *first == *second ? first : std::nullopt;
    else
        label.zoneAddress = first ? first : second;
    const std::uint32_t reserved = ReadLe32(spare.reserved);
    label.reservedErased = reserved == 0xFFFFFFFF || std::has_single_bit(~reserved);
    const std::uint16_t generation = ReadLe16(spare.reserved);
    if (static_cast<std::uint16_t>(~generation) == ReadLe16(spare.reserved + 2))
        label.legacyGeneration = generation;
    return label;
}

namespace {

void Label(RawPage page, std::uint16_t address) {
    SpareArea& spare = SpareOf(page);
    std::fill(std::begin(spare.reserved), std::end(spare.reserved), 0xFF);
    spare.dataStatus = kStatusGood;
    spare.blockStatus = kStatusGood;
    StoreBigEndian(spare.blockAddress1, address);
    StoreBigEndian(spare.blockAddress2, address);
    const EccCode low = ComputeEcc(Half(ConstRawPage(page), 0));
    const EccCode high = ComputeEcc(Half(ConstRawPage(page), 1));
    std::copy(low.begin(), low.end(), spare.eccLow);
    std::copy(high.begin(), high.end(), spare.eccHigh);
}

}  // namespace

void LabelPage(RawPage page, unsigned zoneAddress) {
    Label(page, EncodeBlockAddress(zoneAddress));
}

void LabelCisPage(RawPage page) {
    Label(page, 0x0000);
}

void MakeBadBlockMark(RawPage page) {
    std::fill(page.begin(), page.end(), 0xFF);
    SpareArea& spare = SpareOf(page);
    spare.dataStatus = kStatusMarked;
    spare.blockStatus = kStatusMarked;
}

PageCheck CheckPageData(RawPage page) {
    const SpareArea spare = SpareOf(page);
    PageCheck result = PageCheck::Clean;
    for (unsigned half = 0; half < 2; ++half) {
        switch (CheckAndCorrect(Half(page, half), Code(half == 0 ? spare.eccLow : spare.eccHigh))) {
            case EccResult::Clean:
                break;
            case EccResult::CorrectedData:
            case EccResult::CodeError:
                result = PageCheck::Corrected;
                break;
            case EccResult::Uncorrectable:
                return PageCheck::Uncorrectable;
        }
    }
    return result;
}

}  // namespace kestra::card
