// A NAND card in memory, for tests, fuzz targets and benchmarks of the card file system.
//
// It behaves as the chip does: programming only clears bits, erasing sets a whole block.
// Faults can be injected: blocks the maker marked bad (their erase fails), erases
// and programs that fail, flipped bits, and a power cut at the n-th operation, which either
// never happens or is left half done (a torn program clears only some of its bits, a torn
// erase sets only some), after which every operation faults until power comes back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <set>
#include <vector>

#include "card_service/page_device.h"

namespace kestra::card::testing {

class MemoryCard : public PageDevice {
  public:
    enum class Cut { Dropped, Torn };

    explicit MemoryCard(CardGeometry geometry)
        : geometry_(geometry), bytes_(geometry.pages() * kRawPage, 0xFF) {}

    CardGeometry geometry() const override { return geometry_; }

    DeviceResult readPage(unsigned row, RawPage page) override {
        if (!tick(row < geometry_.pages())) return DeviceResult::Fault;
        ++reads;
        std::copy_n(bytes_.begin() + offset(row), kRawPage, page.begin());
        return DeviceResult::Ok;
    }

    DeviceResult programPage(unsigned row, ConstRawPage page) override {
        const bool valid = row < geometry_.pages();
        const bool torn = cutNow() && cut_ == Cut::Torn && valid;
        if (!tick(valid)) {
            if (torn) program(row, page, randomMask());
            return DeviceResult::Fault;
        }
        ++programs;
        if (programFails && programFails(row)) {
            program(row, page, everyOtherByte());
            return DeviceResult::Ok;
        }
        program(row, page, {});
        return DeviceResult::Ok;
    }

    DeviceResult eraseBlock(unsigned block) override {
        const bool valid = block < geometry_.blocks;
        const bool torn = cutNow() && cut_ == Cut::Torn && valid;
        if (!tick(valid)) {
            if (torn) {
                auto first = bytes_.begin() + offset(block * geometry_.pagesPerBlock);
                for (auto it = first; it != first + geometry_.blockRawBytes(); ++it)
                    *it |= static_cast<std::uint8_t>(random_());
            }
            return DeviceResult::Fault;
        }
        ++erases;
        eraseAttempts.insert(block);
        if (factoryBad_.count(block) || (eraseFails && eraseFails(block)))
            return DeviceResult::Failed;
        auto first = bytes_.begin() + offset(block * geometry_.pagesPerBlock);
        std::fill_n(first, geometry_.blockRawBytes(), 0xFF);
        return DeviceResult::Ok;
    }

    bool cardPresent() override { return !dead_; }

    // A block the maker marked bad: status byte 0 in the spare area of page `page` (0 or 1).
    void markFactoryBad(unsigned block, unsigned page = 0) {
        factoryBad_.insert(block);
        bytes_[offset(block * geometry_.pagesPerBlock + page) + kPageData + 5] = 0x00;
    }
    void flipBit(unsigned row, std::size_t byte, unsigned bit) {
        bytes_[offset(row) + byte] ^= static_cast<std::uint8_t>(1u << bit);
    }
    std::uint8_t* page(unsigned row) { return bytes_.data() + offset(row); }
    std::vector<std::uint8_t>& bytes() { return bytes_; }

    // Power fails at operation number `operation` (counted from 1 from now on).
    void cutPowerAt(std::uint64_t operation, Cut cut, std::uint32_t seed = 1) {
        cutAt_ = operations_ + operation;
        cut_ = cut;
        random_.seed(seed);
    }
    void restorePower() {
        dead_ = false;
        cutAt_ = 0;
    }
    bool powerCut() const { return dead_; }
    std::uint64_t operations() const { return operations_; }

    std::function<bool(unsigned block)> eraseFails;
    std::function<bool(unsigned row)> programFails;
    std::uint64_t reads = 0, programs = 0, erases = 0;
    std::set<unsigned> eraseAttempts;

  private:
    std::size_t offset(unsigned row) const { return std::size_t{row} * kRawPage; }
    bool cutNow() const { return !dead_ && cutAt_ && operations_ + 1 == cutAt_; }
    // Counts an operation; false when it must fault.
    bool tick(bool valid) {
        if (dead_) return false;
        ++operations_;
        if (cutAt_ && operations_ == cutAt_) {
            dead_ = true;
            return false;
        }
        return valid;
    }
    std::vector<std::uint8_t> randomMask() {
        std::vector<std::uint8_t> mask(kRawPage);
        for (auto& b : mask) b = static_cast<std::uint8_t>(random_());
        return mask;
    }
    // A failing program leaves every other data byte as it was; the spare area takes.
    static std::vector<std::uint8_t> everyOtherByte() {
        std::vector<std::uint8_t> mask(kRawPage, 0);
        for (std::size_t i = 1; i < kPageData; i += 2) mask[i] = 0xFF;
        return mask;
    }
    // Clears the bits the page asks for, except those set in `keep`.
    void program(unsigned row, ConstRawPage page, const std::vector<std::uint8_t>& keep) {
        auto* target = bytes_.data() + offset(row);
        for (std::size_t i = 0; i < kRawPage; ++i)
            target[i] &= static_cast<std::uint8_t>(page[i] | (keep.empty() ? 0 : keep[i]));
    }

    CardGeometry geometry_;
    std::vector<std::uint8_t> bytes_;
    std::set<unsigned> factoryBad_;
    std::uint64_t operations_ = 0;
    std::uint64_t cutAt_ = 0;
    Cut cut_ = Cut::Dropped;
    bool dead_ = false;
    std::mt19937 random_{1};
};

}  // namespace kestra::card::testing
