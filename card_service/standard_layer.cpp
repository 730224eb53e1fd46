#include "card_service/standard_layer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

#include "card_service/block_map.h"
#include "card_service/card_errors.h"
#include "card_service/ecc.h"

namespace kestra::card {
namespace {

// Offsets within the spare area.
constexpr std::size_t kReserved = 0, kDataStatus = 4, kBlockStatus = 5, kAddress1 = 6,
                      kEccSecondHalf = 8, kAddress2 = 11, kEccFirstHalf = 13;

// The CIS tuples: device, JEDEC identifier, maker identifier (none), function (a fixed disk)
// with its interface (ATA), then the end mark.
constexpr std::uint8_t kCisTuples[] = {
    0x01, 0x03, 0xD9, 0x01, 0xFF,        // device
    0x18, 0x02, 0xDF, 0x01,              // JEDEC identifier
    0x20, 0x04, 0x00, 0x00, 0x00, 0x00,  // maker and card identifier
    0x21, 0x02, 0x04, 0x01,              // function: fixed disk
    0x22, 0x02, 0x01, 0x01,              // function extension: ATA interface
    0xFF,                                // end of the tuple chain
};
static_assert(std::equal(std::begin(kCisSignature), std::end(kCisSignature), kCisTuples));

const std::uint8_t* Spare(const std::vector<std::uint8_t>& page) {
    return page.data() + kPageData;
}

bool ReservedIntact(const std::uint8_t* spare) {
    std::uint32_t reserved = 0;
    std::memcpy(&reserved, spare + kReserved, 4);
    return reserved == 0xFFFFFFFF || std::has_single_bit(~reserved);
}
bool BlockGood(const std::uint8_t* spare) {
    return std::popcount(spare[kBlockStatus]) >= 7;
}
bool DataValid(const std::uint8_t* spare) {
    return std::popcount(spare[kDataStatus]) >= 5;
}
bool SpareErased(const std::uint8_t* spare) {
    return std::all_of(spare, spare + kPageSpare, [](std::uint8_t b) { return b == 0xFF; });
}

// The block address of a spare area: -1 erased, -2 unreadable, else the number in the zone.
int BlockAddress(const std::uint8_t* spare) {
    if (SpareErased(spare)) return -1;
    const unsigned differ =
        (spare[kAddress1] ^ spare[kAddress2]) << 8 | (spare[kAddress1 + 1] ^ spare[kAddress2 + 1]);
    if (differ && !std::has_single_bit(differ)) return -2;
    auto decode = [](const std::uint8_t* field) {
        if ((field[0] & 0xF8) != 0x10) return -2;
        if (std::popcount(static_cast<unsigned>(field[0] << 8 | field[1])) & 1) return -2;
        return (field[0] & 0x07) << 7 | field[1] >> 1;
    };
    const int first = decode(spare + kAddress1);
    return first != -2 ? first : decode(spare + kAddress2);
}

class Reader {
  public:
    explicit Reader(PageDevice& device) : device_(device), geometry_(device.geometry()) {}

    const CardGeometry& geometry() const { return geometry_; }

    // The raw page, or null when bytes 0-3 of its spare area are not erased (such a page does
    // not read). Throws when the reader fails.
    const std::vector<std::uint8_t>* tryPage(unsigned block, unsigned page) {
        const unsigned row = block * geometry_.pagesPerBlock + page;
        if (device_.readPage(row, RawPage(buffer_.data(), kRawPage)) != DeviceResult::Ok)
            throw CardError(KESSSFDC_READER_FAULT, "The card reader does not answer.");
        return ReservedIntact(Spare(buffer_)) ? &buffer_ : nullptr;
    }

    // The raw page; throws where tryPage gives null.
    const std::vector<std::uint8_t>& page(unsigned block, unsigned page) {
        if (!tryPage(block, page))
            throw CardError(KESSSFDC_BAD_CARD,
                            "Page " + std::to_string(page) + " of block " + std::to_string(block) +
                                " has a spare area a standard reader cannot read (bytes 0 to 3 "
                                "are not erased).");
        return buffer_;
    }

    // The page's data with single-bit errors put right, or nullopt when it is not valid.
    std::optional<std::vector<std::uint8_t>> data(unsigned block, unsigned page) {
        std::vector<std::uint8_t> raw = this->page(block, page);
        const std::uint8_t* spare = Spare(raw);
        if (!DataValid(spare)) return std::nullopt;
        for (unsigned half = 0; half < 2; ++half) {
            const std::uint8_t* code = spare + (half == 0 ? kEccFirstHalf : kEccSecondHalf);
            const EccCode stored{code[0], code[1], code[2]};
            auto area = std::span(raw).subspan(half * kEccArea).first<kEccArea>();
            if (CheckAndCorrect(area, stored) == EccResult::Uncorrectable) return std::nullopt;
        }
        raw.resize(kPageData);
        return raw;
    }

    // Whether every page of the block carries one block address (not a partly written or
    // partly erased block).
    bool whole(unsigned block) {
        int runs = 0, last = -3;
        for (unsigned p = 0; p < geometry_.pagesPerBlock; ++p) {
            const std::vector<std::uint8_t>* raw = tryPage(block, p);
            if (!raw) return false;
            const int address = BlockAddress(Spare(*raw));
            if (address != last) ++runs;
            last = address;
            if (runs > 2) return false;
        }
        return runs == 1;
    }

  private:
    PageDevice& device_;
    CardGeometry geometry_;
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(kRawPage);
};

std::optional<CisLocation> LocateCis(Reader& reader, const Zone& zone0) {
    // A page that does not read is passed over, as the search goes on.
    const unsigned spareBlocks = zone0.physicalCount - zone0.logicalCount;
    for (unsigned block = 0; block < spareBlocks; ++block) {
        const std::vector<std::uint8_t>* first = reader.tryPage(block, 0);
        if (!first || !BlockGood(Spare(*first))) continue;
        for (unsigned p = 0; p < reader.geometry().pagesPerBlock; ++p) {
            const std::vector<std::uint8_t>* raw = reader.tryPage(block, p);
            if (!raw || !DataValid(Spare(*raw))) continue;
            const auto data = reader.data(block, p);
            if (!data) return std::nullopt;
            for (unsigned offset : {0u, 256u})
                if (std::equal(std::begin(kCisSignature), std::end(kCisSignature),
                               data->begin() + offset))
                    return CisLocation{block, p, offset};
            return std::nullopt;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

void MapZone(Reader& reader, const Zone& zone, unsigned skipThrough, StandardMap& map) {
    for (unsigned b = 0; b < zone.physicalCount; ++b) {
        const unsigned block = zone.firstPhysical + b;
        if (b < skipThrough) continue;
        const std::uint8_t* spare = Spare(reader.page(block, 0));
        if (SpareErased(spare) || !BlockGood(spare)) continue;
        const int address = BlockAddress(spare);
        if (address < 0 || unsigned(address) >= zone.logicalCount) continue;
        std::optional<unsigned>& slot = map.physical[zone.firstLogical + unsigned(address)];
        if (!slot) {
            slot = block;
            continue;
        }
        // Two blocks with one number: the later one wins only when the earlier is not whole.
        if (!reader.whole(block)) continue;
        if (!reader.whole(*slot)) slot = block;
    }
}

}  // namespace

std::vector<std::uint8_t> CisPageData() {
    std::vector<std::uint8_t> data(kPageData, 0xFF);
    std::copy(std::begin(kCisTuples), std::end(kCisTuples), data.begin());
    std::copy(std::begin(kCisTuples), std::end(kCisTuples), data.begin() + 256);
    return data;
}

std::optional<CisLocation> FindCis(PageDevice& device) {
    Reader reader(device);
    const std::vector<Zone> zones = ZonesFor(reader.geometry());
    if (zones.empty()) return std::nullopt;
    return LocateCis(reader, zones[0]);
}

StandardMap MapLikeStandardLayer(PageDevice& device) {
    Reader reader(device);
    const std::vector<Zone> zones = ZonesFor(reader.geometry());
    const std::optional<CisLocation> cis =
        zones.empty() ? std::nullopt : LocateCis(reader, zones[0]);
    if (!cis)
        throw CardError(KESSSFDC_NOT_FORMATTED,
                        "The card has no card information structure: a standard SmartMedia "
                        "reader does not take it.");
    StandardMap map;
    map.cis = *cis;
    map.logicalBlocks = zones.back().firstLogical + zones.back().logicalCount;
    map.physical.assign(map.logicalBlocks, std::nullopt);
    for (std::size_t z = 0; z < zones.size(); ++z)
        MapZone(reader, zones[z], z == 0 ? cis->block + 1 : 0, map);
    return map;
}

LogicalImage ReadLogicalImage(PageDevice& device) {
    const StandardMap map = MapLikeStandardLayer(device);
    Reader reader(device);
    const CardGeometry& geometry = reader.geometry();
    LogicalImage result;
    std::vector<std::uint8_t>& image = result.bytes;
    image.assign(std::size_t{map.logicalBlocks} * geometry.blockDataBytes(), 0xFF);
    for (unsigned logical = 0; logical < map.logicalBlocks; ++logical) {
        if (!map.physical[logical]) continue;
        for (unsigned p = 0; p < geometry.pagesPerBlock; ++p) {
            const auto at = image.begin() + std::ptrdiff_t(logical * geometry.blockDataBytes() +
                                                           std::size_t{p} * kPageData);
            const auto* raw = reader.tryPage(*map.physical[logical], p);
            const auto data = raw ? reader.data(*map.physical[logical], p) : std::nullopt;
            if (!data) {
                std::fill_n(at, kPageData, 0x00);
                result.unreadablePages.push_back({logical, p});
                continue;
            }
            std::copy(data->begin(), data->end(), at);
        }
    }
    return result;
}

}  // namespace kestra::card
