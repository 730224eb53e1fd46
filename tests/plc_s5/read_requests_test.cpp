#include "plc_s5/read_requests.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "plc_s5/k32plc1.h"

using namespace kestra;
using namespace kestra::s5;

namespace {

FieldRecord Field(std::uint16_t fieldClass, std::uint8_t format, std::uint8_t width = 5) {
    FieldRecord f{};
    f.fieldClass = fieldClass;
    f.width = width;
    f.plc.dataFormat = format;
    f.plc.dataType = 1;
    return f;
}

std::pair<BOOL, int> Optimise(const FieldRecord& f, unsigned model = 1) {
    uPLCSETUP setup{};
    setup.model = static_cast<std::uint16_t>(model);
    BYTE length = 0xEE;
    const BOOL yes = ExpOptimizationSupported(&setup, &f, &length);
    return {yes, length};
}

}  // namespace

TEST(Optimisation, WhichFieldsTakePartAndWithHowManyBytes) {
    EXPECT_EQ(Optimise(Field(1, kWord)), std::pair(FALSE, 0));
    EXPECT_EQ(Optimise(Field(2, kAscii, 12)), std::pair(TRUE, 12));
    EXPECT_EQ(Optimise(Field(2, kBit)), std::pair(TRUE, 1));
    EXPECT_EQ(Optimise(Field(2, kFloat)), std::pair(TRUE, 4));
    EXPECT_EQ(Optimise(Field(2, kTimerValue)), std::pair(TRUE, 2));
    EXPECT_EQ(Optimise(Field(2, kSpcForm6)), std::pair(FALSE, 0));
    EXPECT_EQ(Optimise(Field(2, kNoFormat)), std::pair(FALSE, 0));
    EXPECT_EQ(Optimise(Field(2, kWord), 3), std::pair(FALSE, 0));
    FieldRecord attribute = Field(3, kWord);
    EXPECT_EQ(Optimise(attribute), std::pair(FALSE, 0));
    AttributeByte(attribute) = kAttributeFromPlc;
    EXPECT_EQ(Optimise(attribute), std::pair(TRUE, 2));
    FieldRecord otherArea = Field(2, kWord);
    otherArea.plc.dataType = 2;
    EXPECT_EQ(Optimise(otherArea), std::pair(FALSE, 0));
}

TEST(Optimisation, DatagramExportsLeaveTheWorkToTheEditor) {
    uPLCSETUP setup{};
    setup.model = 2;
    uPLCADR ref{};
    ref.dataType = 1;
    EXPECT_EQ(ExpNumBytesForOptimization(&setup, &ref) & 0xFFFF, 60u);
    ref.dataType = 2;
    EXPECT_EQ(ExpNumBytesForOptimization(&setup, &ref) & 0xFFFF, 0u);
    setup.model = 3;
    ref.dataType = 1;
    EXPECT_EQ(ExpNumBytesForOptimization(&setup, &ref) & 0xFFFF, 0u);
    EXPECT_EQ(ExpPlaceDataGramsInProjectFile(7, 1234), 1234u);
    EXPECT_TRUE(ExpMemoryAreasCompatible(0, 1));
    EXPECT_EQ(ExpCreateNewDataGram(1, 2, 3, 4, 5, 6, 7, 8, 9), 0u);
    EXPECT_EQ(ExpPlaceDataItemInDataGram(1, 2, 3, 4, 5, 6, 7, 8, 9), 0u);
    EXPECT_EQ(ExpDataItemInDataGram(1, 2, 3, 4, 5, 6), 0u);
    EXPECT_EQ(ExpGetByteOffsetAndLengthForOpt(1, 2, 3, 4, 5), 0u);
    EXPECT_EQ(ExpGetSlaveIDFromGA(1, 2, 3), 0u);
    EXPECT_EQ(ExpGetSetGATagIndex(1, 2, 3, 4), 0u);
    EXPECT_EQ(IsRDADefault(1, 2), 0u);
    EXPECT_EQ(ExpGetGALength(), 3u);
}

TEST(ReadRequests, ShareUpToSixtyBytesOfOneDataBlock) {
    ReadRequestPlan plan(1, 60);
    EXPECT_EQ(plan.add(0, 10, 0, 2), 1u);
    EXPECT_EQ(plan.add(0, 10, 58, 2), 1u);  // 59 - 0 = 59: still one request of 60 bytes
    EXPECT_EQ(plan.add(0, 10, 60, 1), 2u);  // 60 - 0 = 60: too far
    EXPECT_EQ(plan.add(0, 10, 60, 2), 2u);
    EXPECT_EQ(plan.add(0, 11, 0, 2), 3u);   // another data block never shares
    EXPECT_EQ(plan.add(0, 10, 30, 2), 1u);  // the first request that can take it
    const auto& requests = plan.page(0);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].start, 0);
    EXPECT_EQ(requests[0].length, 60);
    EXPECT_EQ(requests[1].start, 60);
    EXPECT_EQ(requests[1].length, 2);
    EXPECT_EQ(requests[2].dataBlock, 11);
}

TEST(ReadRequests, GrowDownwardsAndAreNotMergedAfterwards) {
    ReadRequestPlan plan(1, 60);
    EXPECT_EQ(plan.add(0, 10, 100, 4), 1u);
    EXPECT_EQ(plan.add(0, 10, 50, 1), 1u);  // 103 - 50 = 53
    EXPECT_EQ(plan.page(0)[0].start, 50);
    EXPECT_EQ(plan.page(0)[0].length, 54);
    EXPECT_EQ(plan.add(0, 10, 200, 2), 2u);
    EXPECT_EQ(plan.add(0, 10, 140, 2), 3u);  // too far from both
    EXPECT_EQ(plan.page(0).size(), 3u);
}

// Items spread over a few data blocks and pages, going back to earlier pages now and then,
// are placed as a plain search of every request of the page in order would place them.
TEST(ReadRequests, TheFirstRequestOfThePageThatCanTakeAnItemTakesItWhateverComesBetween) {
    struct Request {
        std::uint8_t dataBlock;
        unsigned start, end;
    };
    for (unsigned seed : {1u, 7u, 42u, 1234u}) {
        constexpr std::size_t kPages = 3;
        ReadRequestPlan plan(kPages, 60);
        std::vector<std::vector<Request>> model(kPages);
        std::uint32_t state = seed;
        auto next = [&](unsigned n) {
            state = state * 1103515245u + 12345u;
            return (state >> 16) % n;
        };
        for (int item = 0; item < 600; ++item) {
            const std::size_t page =
                next(8) == 0 ? next(kPages) : static_cast<std::size_t>(item / 200);
            const auto dataBlock = static_cast<std::uint8_t>(10 + next(3));
            const auto start = static_cast<std::uint16_t>(next(400));
            const auto length = static_cast<std::uint16_t>(1 + next(4));
            unsigned expected = 0;
            auto& requests = model[page];
            for (std::size_t i = 0; i < requests.size() && !expected; ++i) {
                Request& r = requests[i];
                const unsigned low = std::min<unsigned>(r.start, start);
                const unsigned high = std::max<unsigned>(r.end, start + length - 1u);
                if (r.dataBlock == dataBlock && high - low < 60) {
                    r = {dataBlock, low, high};
                    expected = static_cast<unsigned>(i + 1);
                }
            }
            if (!expected) {
                requests.push_back({dataBlock, start, start + length - 1u});
                expected = static_cast<unsigned>(requests.size());
            }
            ASSERT_EQ(plan.add(page, dataBlock, start, length), expected)
                << "seed " << seed << ", item " << item;
        }
        for (std::size_t page = 0; page < kPages; ++page) {
            ASSERT_EQ(plan.page(page).size(), model[page].size());
            for (std::size_t i = 0; i < model[page].size(); ++i) {
                EXPECT_EQ(plan.page(page)[i].dataBlock, model[page][i].dataBlock);
                EXPECT_EQ(plan.page(page)[i].start, model[page][i].start);
                EXPECT_EQ(plan.page(page)[i].length, model[page][i].end - model[page][i].start + 1);
            }
        }
    }
}

// Items in the orders a page lists them, up to the last addresses and longest texts: each
// joins the first request of its data block that can take it, as a plain search of them all
// would find it, however far the plan has moved on past the earlier requests.
TEST(ReadRequests, ItemsInRisingFallingAndReturningOrdersJoinTheFirstRequestThatTakesThem) {
    struct Item {
        std::uint8_t dataBlock;
        std::uint16_t start, length;
    };
    struct Case {
        const char* what;
        std::vector<Item> items;
    };
    auto sequence = [](std::uint16_t from, int step, std::size_t count, std::uint16_t length) {
        std::vector<Item> items;
        for (std::size_t i = 0; i < count; ++i)
            items.push_back({static_cast<std::uint8_t>(10 + i % 3),
                             static_cast<std::uint16_t>(from + step * static_cast<int>(i)),
                             length});
        return items;
    };
    auto join = [](std::vector<Item> a, const std::vector<Item>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<Case> cases = {
        {"rising", sequence(0, 6, 120, 2)},
        {"falling", sequence(720, -6, 120, 2)},
        {"rising, then back to the start", join(sequence(0, 6, 90, 2), sequence(1, 7, 60, 1))},
        {"rising by whole requests, then filling the gaps",
         join(sequence(0, 61, 60, 1), sequence(30, 61, 60, 4))},
        {"long texts at the last addresses", sequence(65000, 40, 13, 255)},
        {"empty items", sequence(100, 20, 30, 0)},
    };
    for (const Case& c : cases) {
        ReadRequestPlan plan(1, 60);
        std::vector<Item> model;  // start and end (not length) of each request
        for (std::size_t n = 0; n < c.items.size(); ++n) {
            const Item& item = c.items[n];
            const unsigned end = item.start + std::max<unsigned>(item.length, 1) - 1u;
            unsigned expected = 0;
            for (std::size_t i = 0; i < model.size() && !expected; ++i) {
                const unsigned low = std::min<unsigned>(model[i].start, item.start);
                const unsigned high =
                    std::max<unsigned>(model[i].start + model[i].length - 1u, end);
                if (model[i].dataBlock == item.dataBlock && high - low < 60) {
                    model[i] = {item.dataBlock, static_cast<std::uint16_t>(low),
                                static_cast<std::uint16_t>(high - low + 1)};
                    expected = static_cast<unsigned>(i + 1);
                }
            }
            if (!expected) {
                model.push_back(
                    {item.dataBlock, item.start, static_cast<std::uint16_t>(end - item.start + 1)});
                expected = static_cast<unsigned>(model.size());
            }
            ASSERT_EQ(plan.add(0, item.dataBlock, item.start, item.length), expected)
                << c.what << ", item " << n;
        }
        ASSERT_EQ(plan.page(0).size(), model.size()) << c.what;
        for (std::size_t i = 0; i < model.size(); ++i) {
            EXPECT_EQ(plan.page(0)[i].start, model[i].start) << c.what << ", request " << i;
            EXPECT_EQ(plan.page(0)[i].length, model[i].length) << c.what << ", request " << i;
        }
    }
}

TEST(ReadRequests, SectionListsEachPageInsideItsBlock) {
    ReadRequestPlan plan(2, 60);
    plan.add(0, 10, 4, 2);
    plan.add(1, 12, 8, 1);
    plan.add(1, 255, 0, 4);
    plan.markDataBlock(20);
    plan.markDataBlock(0);
    ASSERT_EQ(plan.sectionSize(), 32u + 4 + 6 + 10);
    std::vector<std::uint8_t> section(plan.sectionSize());
    plan.write(section.data(), 32768 + 100);
    EXPECT_EQ(section[0], 0);                    // bit 0 never set
    EXPECT_EQ(section[1], (1 << 2) | (1 << 4));  // DB 10 and 12
    EXPECT_EQ(section[2], 1 << 4);               // DB 20
    EXPECT_EQ(section[31], 0x80);                // DB 255
    EXPECT_EQ(ReadLe16(&section[32]), 100 + 36);
    EXPECT_EQ(ReadLe16(&section[34]), 100 + 42);
    const std::vector<std::uint8_t> lists(section.begin() + 36, section.end());
    EXPECT_EQ(lists,
              (std::vector<std::uint8_t>{1, 0, 10, 4, 0, 2, 2, 0, 12, 8, 0, 1, 255, 0, 0, 4}));
}
