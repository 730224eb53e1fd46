#include "card_service/block_map.h"

#include <algorithm>
#include <cstring>

#include "card_service/card_errors.h"
#include "card_service/standard_layer.h"

namespace kestra::card {
namespace {

constexpr unsigned kZoneBlocks = 1024;

[[noreturn]] void ReaderFault() {
    throw CardError(KESSSFDC_READER_FAULT,
                    "The card reader does not answer. Check the reader and the card.");
}

}  // namespace

std::vector<Zone> ZonesFor(const CardGeometry& geometry) {
    std::vector<Zone> zones;
    unsigned logical = 0;
    for (unsigned first = 0; first < geometry.blocks; first += kZoneBlocks) {
        Zone zone;
        zone.firstPhysical = first;
        zone.physicalCount = std::min(kZoneBlocks, geometry.blocks - first);
        zone.firstLogical = logical;
        zone.logicalCount = zone.physicalCount * 125 / 128;
        logical += zone.logicalCount;
        zones.push_back(zone);
    }
    return zones;
}

BlockMap::BlockMap(PageDevice& device) : device_(device) {}

unsigned BlockMap::zoneOf(unsigned logical) const {
    unsigned zone = 0;
    while (zone + 1 < zones_.size() && logical >= zones_[zone + 1].firstLogical) ++zone;
    return zone;
}

std::optional<unsigned> BlockMap::physicalOf(unsigned logical) const {
    return logical < logicalBlocks_ ? mapping_[logical] : std::nullopt;
}

std::vector<unsigned> BlockMap::mappedLogicalBlocks() const {
    std::vector<unsigned> out;
    for (unsigned logical = 0; logical < logicalBlocks_; ++logical)
        if (mapping_[logical]) out.push_back(logical);
    return out;
}

unsigned BlockMap::badBlocks() const {
    return static_cast<unsigned>(std::count_if(physical_.begin(), physical_.end(),
                                               [](auto& p) { return p.state == State::Bad; }));
}

unsigned BlockMap::badBlocks(unsigned zone) const {
    const Zone& z = zones_[zone];
    return static_cast<unsigned>(std::count_if(
        physical_.begin() + z.firstPhysical, physical_.begin() + z.firstPhysical + z.physicalCount,
        [](auto& p) { return p.state == State::Bad; }));
}

unsigned BlockMap::unusableBlocks(unsigned zone) const {
    const Zone& z = zones_[zone];
    unsigned count = static_cast<unsigned>(std::count_if(
        physical_.begin() + z.firstPhysical, physical_.begin() + z.firstPhysical + z.physicalCount,
        [](auto& p) { return p.state == State::Bad || p.state == State::Reserved; }));
    // A block that still holds data where the CIS is to go will be taken from the zone.
    if (cisBlock_ && *cisBlock_ >= z.firstPhysical &&
        *cisBlock_ < z.firstPhysical + z.physicalCount &&
        physical_[*cisBlock_].state != State::Reserved && physical_[*cisBlock_].state != State::Bad)
        ++count;
    return count;
}

void BlockMap::read(unsigned rowAddress, RawPage page) {
    ++stats_.pageReads;
    if (device_.readPage(rowAddress, page) != DeviceResult::Ok) ReaderFault();
}

void BlockMap::setState(unsigned physical, State state) {
    const unsigned zone = physical / kZoneBlocks;
    if (physical_[physical].state == State::Free) --freeCount_[zone];
    physical_[physical].state = state;
    if (state == State::Free) ++freeCount_[zone];
}

void BlockMap::scan() {
    geometry_ = device_.geometry();
    zones_ = ZonesFor(geometry_);
    logicalBlocks_ = zones_.empty() ? 0 : zones_.back().firstLogical + zones_.back().logicalCount;
    physical_.assign(geometry_.blocks, Physical{});
    mapping_.assign(logicalBlocks_, std::nullopt);
    staleCopies_.clear();
    freeCount_.assign(zones_.size(), 0);
    cursor_.assign(zones_.size(), 0);
    cisBlock_.reset();
    cisPresent_ = false;
    for (const Zone& zone : zones_)
        freeCount_[zone.firstPhysical / kZoneBlocks] = zone.physicalCount;
    pageBuffer_.assign(kRawPage, 0xFF);
    RawPage page(pageBuffer_.data(), kRawPage);
    const unsigned cisRange = zones_.empty() ? 0 : zones_[0].physicalCount - zones_[0].logicalCount;

    std::map<unsigned, std::vector<unsigned>> candidates;
    for (unsigned physical = 0; physical < geometry_.blocks; ++physical) {
        read(row(physical, 0), page);
        PageLabel label = ReadLabel(page);
        if (!label.blockGood) {
            setState(physical, State::Bad);
            continue;
        }
        if (!cisBlock_ && physical < cisRange) {
            cisBlock_ = physical;
            if (isCis(page)) {
                cisPresent_ = true;
                setState(physical, State::Reserved);
                continue;
            }
        }
        physical_[physical].reservedInUse = !label.reservedErased;
        if (label.erased || !label.zoneAddress || !label.dataValid) continue;
        // A generation of the earlier layout that a bit error spoilt in the first page is taken
        // from the last one, so that the block is not lost for it.
        if (!label.legacyGeneration && !label.reservedErased)
            label.legacyGeneration = lastPageGeneration(physical, *label.zoneAddress);
        const Zone& zone = zones_[physical / kZoneBlocks];
        if (*label.zoneAddress >= zone.logicalCount) continue;
        physical_[physical].legacyGeneration = label.legacyGeneration;
        candidates[zone.firstLogical + *label.zoneAddress].push_back(physical);
    }
    for (auto& [logical, copies] : candidates) resolve(logical, copies);
    // Until the CIS is written, its block is kept from everything else.
    if (cisBlock_ && physical_[*cisBlock_].state == State::Free)
        setState(*cisBlock_, State::Reserved);
}

void BlockMap::spreadWrites(std::uint32_t seed) {
    for (std::size_t zone = 0; zone < zones_.size(); ++zone)
        cursor_[zone] = zones_[zone].physicalCount ? seed * 7 % zones_[zone].physicalCount : 0;
}

// Whether a block's first page is the CIS page as this file system writes it.
bool BlockMap::isCis(RawPage firstPage) {
    const PageLabel label = ReadLabel(firstPage);
    if (!label.dataValid || label.erased || label.zoneAddress) return false;
    std::vector<std::uint8_t> copy(firstPage.begin(), firstPage.end());
    RawPage checked(copy.data(), kRawPage);
    if (CheckPageData(checked) == PageCheck::Uncorrectable) return false;
    return std::equal(std::begin(kCisSignature), std::end(kCisSignature), copy.begin());
}

// Orders the copies of one logical block and keeps the first one that was written to its end:
// by generation on a card of the earlier layout, else in block order.
void BlockMap::resolve(unsigned logical, std::vector<unsigned>& candidates) {
    const bool legacy = std::all_of(candidates.begin(), candidates.end(), [&](unsigned physical) {
        return physical_[physical].legacyGeneration.has_value();
    });
    if (legacy && candidates.size() > 1) {
        // Generations wrap, so "newer" is not a total order over arbitrary values: rank each
        // copy by how many others it is newer than.
        auto rank = [&](unsigned physical) {
            return std::count_if(candidates.begin(), candidates.end(), [&](unsigned other) {
                return NewerGeneration(*physical_[physical].legacyGeneration,
                                       *physical_[other].legacyGeneration);
            });
        };
        std::stable_sort(candidates.begin(), candidates.end(),
                         [&](unsigned a, unsigned b) { return rank(a) > rank(b); });
    }

    const unsigned zoneAddress = logical - zones_[zoneOf(logical)].firstLogical;
    std::optional<unsigned> chosen;
    std::vector<unsigned> others;
    for (unsigned physical : candidates) {
        const bool take = !chosen && (candidates.size() == 1 || complete(physical, zoneAddress));
        if (take)
            chosen = physical;
        else
            others.push_back(physical);
    }
    if (chosen) {
        mapping_[logical] = chosen;
        setState(*chosen, State::Mapped);
    }
    for (unsigned physical : others) setState(physical, State::Stale);
    if (!others.empty()) staleCopies_[logical] = std::move(others);
}

std::optional<std::uint16_t> BlockMap::lastPageGeneration(unsigned physical, unsigned zoneAddress) {
    std::vector<std::uint8_t> buffer(kRawPage);
    RawPage page(buffer.data(), kRawPage);
    read(row(physical, geometry_.pagesPerBlock - 1), page);
    const PageLabel label = ReadLabel(page);
    return label.zoneAddress == zoneAddress ? label.legacyGeneration : std::nullopt;
}

bool BlockMap::complete(unsigned physical, unsigned zoneAddress) {
    std::vector<std::uint8_t> buffer(kRawPage);
    RawPage page(buffer.data(), kRawPage);
    read(row(physical, geometry_.pagesPerBlock - 1), page);
    const PageLabel label = ReadLabel(page);
    return label.blockGood && label.dataValid && label.zoneAddress == zoneAddress &&
           label.legacyGeneration == physical_[physical].legacyGeneration &&
           CheckPageData(page) != PageCheck::Uncorrectable;
}

std::vector<unsigned> BlockMap::copies(unsigned logical) const {
    std::vector<unsigned> out;
    if (logical >= logicalBlocks_) return out;
    if (mapping_[logical]) out.push_back(*mapping_[logical]);
    if (auto it = staleCopies_.find(logical); it != staleCopies_.end())
        out.insert(out.end(), it->second.begin(), it->second.end());
    return out;
}

void BlockMap::choose(unsigned logical, std::optional<unsigned> physical) {
    std::vector<unsigned> all = copies(logical);
    for (unsigned copy : all) setState(copy, State::Stale);
    mapping_[logical] = physical;
    if (physical) setState(*physical, State::Mapped);
    std::erase_if(all, [&](unsigned p) { return p == physical; });
    if (all.empty())
        staleCopies_.erase(logical);
    else
        staleCopies_[logical] = std::move(all);
}

BlockMap::ReadResult BlockMap::readPage(unsigned logical, unsigned page,
                                        std::span<std::uint8_t, kPageData> out,
                                        std::optional<unsigned> physical) {
    if (!physical) physical = physicalOf(logical);
    if (!physical || page >= geometry_.pagesPerBlock) return ReadResult::Damaged;
    const unsigned zoneAddress = logical - zones_[zoneOf(logical)].firstLogical;
    RawPage raw(pageBuffer_.data(), kRawPage);
    // A second read tells a disturbed transfer from a damaged page.
    for (int attempt = 0; attempt < 2; ++attempt) {
        read(row(*physical, page), raw);
        const PageLabel label = ReadLabel(raw);
        // The page belongs to the copy when its block address says so. On a card of the
        // earlier layout the generation may stand in for an address a bit error spoilt; it may
        // not say otherwise.
        const auto& legacy = physical_[*physical].legacyGeneration;
        const bool address = label.zoneAddress == zoneAddress,
                   generation = legacy && label.legacyGeneration == legacy;
        if (!label.blockGood || !label.dataValid || label.erased || !(address || generation) ||
            (label.zoneAddress && !address) ||
            (label.legacyGeneration && label.legacyGeneration != legacy))
            continue;
        const PageCheck check = CheckPageData(raw);
        if (check == PageCheck::Uncorrectable) continue;
        std::memcpy(out.data(), raw.data(), kPageData);
        if (check == PageCheck::Corrected) {
            ++stats_.correctedPages;
            return ReadResult::Corrected;
        }
        return ReadResult::Good;
    }
    return ReadResult::Damaged;
}

std::optional<unsigned> BlockMap::takeFree(unsigned zone) {
    const Zone& z = zones_[zone];
    for (unsigned step = 0; step < z.physicalCount; ++step) {
        const unsigned physical = z.firstPhysical + (cursor_[zone] + step) % z.physicalCount;
        if (physical_[physical].state != State::Free) continue;
        cursor_[zone] = (cursor_[zone] + step + 1) % z.physicalCount;
        return physical;
    }
    return std::nullopt;
}

// Makes a free block ready to be programmed: erased and known to be good.
bool BlockMap::prepare(unsigned physical) {
    if (!physical_[physical].checked) {
        // The maker marks a bad block in its first or its second page; the scan read the first.
        RawPage raw(pageBuffer_.data(), kRawPage);
        if (geometry_.pagesPerBlock > 1) {
            read(row(physical, 1), raw);
            if (!ReadLabel(raw).blockGood) {
                // Marked in the first page as well, so that the next scan sees it at once.
                markBad(physical, false);
                return false;
            }
        }
    }
    ++stats_.blockErases;
    switch (device_.eraseBlock(physical)) {
        case DeviceResult::Ok:
            physical_[physical].checked = true;
            physical_[physical].reservedInUse = false;
            return true;
        case DeviceResult::Failed:
            markBad(physical);
            return false;
        case DeviceResult::Fault:
            break;
    }
    ReaderFault();
}

bool BlockMap::programAndVerify(unsigned physical, unsigned pages,
                                std::span<const std::uint8_t> data,
                                const std::function<void(RawPage)>& label) {
    std::vector<std::uint8_t> buffer(2 * kRawPage);
    RawPage written(buffer.data(), kRawPage);
    RawPage readBack(buffer.data() + kRawPage, kRawPage);
    for (unsigned page = 0; page < pages; ++page) {
        std::fill(written.begin(), written.end(), 0xFF);
        const std::size_t offset = std::size_t{page} * kPageData;
        if (offset < data.size())
            std::memcpy(written.data(), data.data() + offset,
                        std::min(kPageData, data.size() - offset));
        label(written);
        ++stats_.pagePrograms;
        if (device_.programPage(row(physical, page), written) == DeviceResult::Fault) ReaderFault();
        read(row(physical, page), readBack);
        if (!std::equal(written.begin(), written.end(), readBack.begin())) return false;
    }
    return true;
}

void BlockMap::markBad(unsigned physical, bool grown) {
    if (!device_.cardPresent())
        throw CardError(KESSSFDC_NO_CARD, "The card was taken out of the reader or lost power.");
    setState(physical, State::Bad);
    if (grown) ++stats_.grownBadBlocks;
    std::vector<std::uint8_t> buffer(kRawPage);
    RawPage mark(buffer.data(), kRawPage);
    MakeBadBlockMark(mark);
    // Programming only clears bits, so the mark takes over whatever the pages hold. If it
    // does not take, the next scan finds the block again and its next failure marks it anew.
    for (unsigned page = 0; page < std::min(2u, geometry_.pagesPerBlock); ++page) {
        ++stats_.pagePrograms;
        if (device_.programPage(row(physical, page), mark) == DeviceResult::Fault) ReaderFault();
    }
}

// An erased block is free, unless it is where the CIS goes.
void BlockMap::freed(unsigned physical) {
    setState(physical, physical == cisBlock_ && !cisPresent_ ? State::Reserved : State::Free);
}

void BlockMap::eraseToFree(unsigned physical) {
    if (physical_[physical].state == State::Bad) return;
    if (physical == cisBlock_ && cisPresent_) return;
    ++stats_.blockErases;
    switch (device_.eraseBlock(physical)) {
        case DeviceResult::Ok:
            physical_[physical].checked = true;
            physical_[physical].reservedInUse = false;
            freed(physical);
            return;
        case DeviceResult::Failed:
            markBad(physical);
            return;
        case DeviceResult::Fault:
            ReaderFault();
    }
}

// Erases the copy that a write has just replaced. The write has taken effect whatever happens
// here: a copy that cannot be erased now stays behind as a stale copy, which the newer
// generation outranks.
void BlockMap::retire(unsigned logical, unsigned physical) {
    try {
        eraseToFree(physical);
    } catch (const CardError&) {
        if (physical_[physical].state == State::Bad) return;
        setState(physical, State::Stale);
        staleCopies_[logical].push_back(physical);
    }
}

void BlockMap::dropStaleCopies(unsigned logical) {
    auto it = staleCopies_.find(logical);
    if (it == staleCopies_.end()) return;
    const std::vector<unsigned> stale = std::move(it->second);
    staleCopies_.erase(it);
    for (unsigned physical : stale) eraseToFree(physical);
}

void BlockMap::write(unsigned logical, std::span<const std::uint8_t> data) {
    // Older copies left by an interrupted write must not compete with the new one.
    dropStaleCopies(logical);
    const std::optional<unsigned> previous = mapping_[logical];
    const unsigned zone = zoneOf(logical);
    const unsigned zoneAddress = logical - zones_[zone].firstLogical;
    while (auto physical = takeFree(zone)) {
        if (!prepare(*physical)) continue;
        if (!programAndVerify(*physical, geometry_.pagesPerBlock, data,
                              [&](RawPage page) { LabelPage(page, zoneAddress); })) {
            markBad(*physical);
            continue;
        }
        physical_[*physical].legacyGeneration.reset();
        mapping_[logical] = physical;
        setState(*physical, State::Mapped);
        if (previous) retire(logical, *previous);
        return;
    }
    throw CardError(
        KESSSFDC_CARD_FULL,
        "No good block is left in zone " + std::to_string(zone) +
            " of the card to take the data. The card has too many bad blocks or is full.");
}

void BlockMap::release(unsigned logical) {
    dropStaleCopies(logical);
    if (const std::optional<unsigned> physical = mapping_[logical]) {
        mapping_[logical].reset();
        // Erased now, so that a later scan cannot bring it back.
        eraseToFree(*physical);
    }
}

void BlockMap::dropStaleCopies() {
    while (!staleCopies_.empty()) dropStaleCopies(staleCopies_.begin()->first);
}

void BlockMap::clearAllBut(unsigned keep, const std::function<void(unsigned)>& step) {
    const std::optional<unsigned> kept = mapping_[keep];
    for (unsigned physical = 0; physical < geometry_.blocks; ++physical) {
        const State state = physical_[physical].state;
        if (physical != kept && state != State::Bad && state != State::Reserved &&
            prepare(physical))
            freed(physical);
        step(physical);
    }
    for (unsigned logical = 0; logical < logicalBlocks_; ++logical)
        if (logical != keep) mapping_[logical].reset();
    staleCopies_.clear();
}

bool BlockMap::needsLayoutUpdate() const {
    if (cisBlock_ && !cisPresent_) return true;
    for (unsigned logical = 0; logical < logicalBlocks_; ++logical)
        if (mapping_[logical] && physical_[*mapping_[logical]].legacyGeneration) return true;
    return std::any_of(physical_.begin(), physical_.end(),
                       [](const Physical& p) { return p.state == State::Free && p.reservedInUse; });
}

// The next block of zone 0's spare blocks that can take the CIS.
std::optional<unsigned> BlockMap::nextCisCandidate(unsigned after) const {
    const unsigned range = zones_[0].physicalCount - zones_[0].logicalCount;
    for (unsigned physical = after + 1; physical < range; ++physical)
        if (physical_[physical].state != State::Bad) return physical;
    return std::nullopt;
}

// Moves a logical block to another physical block with the same data; false when its data
// cannot be read whole (it then stays where it is).
bool BlockMap::relocate(unsigned logical) {
    std::vector<std::uint8_t> data(geometry_.blockDataBytes());
    for (unsigned page = 0; page < geometry_.pagesPerBlock; ++page) {
        auto out = std::span(data).subspan(std::size_t{page} * kPageData).first<kPageData>();
        if (readPage(logical, page, out) == ReadResult::Damaged) return false;
    }
    write(logical, data);
    return true;
}

bool BlockMap::writeCis(unsigned physical) {
    // The CIS fills the first two pages; the others stay erased.
    const unsigned pages = std::min(2u, geometry_.pagesPerBlock);
    const std::vector<std::uint8_t> cis = CisPageData();
    std::vector<std::uint8_t> data(std::size_t{pages} * kPageData);
    for (std::size_t at = 0; at < data.size(); at += kPageData)
        std::copy(cis.begin(), cis.end(), data.begin() + std::ptrdiff_t(at));
    return programAndVerify(physical, pages, data, [](RawPage page) { LabelCisPage(page); });
}

void BlockMap::updateLayout() {
    while (cisBlock_ && !cisPresent_) {
        const unsigned physical = *cisBlock_;
        if (physical_[physical].state == State::Mapped) {
            const auto holder = std::find(mapping_.begin(), mapping_.end(), physical);
            if (holder != mapping_.end() &&
                !relocate(static_cast<unsigned>(holder - mapping_.begin())))
                break;  // its data cannot be moved intact; the CIS waits
        } else if (physical_[physical].state == State::Stale) {
            for (auto& [logical, stale] : staleCopies_) std::erase(stale, physical);
            std::erase_if(staleCopies_, [](const auto& entry) { return entry.second.empty(); });
        }
        if (prepare(physical) && writeCis(physical)) {
            cisPresent_ = true;
            setState(physical, State::Reserved);
            break;
        }
        if (physical_[physical].state != State::Bad) markBad(physical);
        cisBlock_ = nextCisCandidate(physical);
        if (cisBlock_ && physical_[*cisBlock_].state == State::Free)
            setState(*cisBlock_, State::Reserved);
    }
    for (unsigned logical = 0; logical < logicalBlocks_; ++logical)
        if (mapping_[logical] && physical_[*mapping_[logical]].legacyGeneration) relocate(logical);
    // Free blocks left over from the earlier layout (an erase that a power cut interrupted).
    for (unsigned physical = 0; physical < geometry_.blocks; ++physical)
        if (physical_[physical].state == State::Free && physical_[physical].reservedInUse)
            eraseToFree(physical);
}

}  // namespace kestra::card
