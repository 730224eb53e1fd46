// Damaged images: truncated at every length, counts and lengths that lie. Each load either
// fails with the message box, leaving nothing allocated and the image as it was, or loads.
#include <algorithm>

#include "project_store/store_test.h"

using namespace kestra;
using namespace kestra::testing;

namespace {

constexpr const char* kLoadFailure = "|Exception in geting project...";

class DamagedImage : public StoreTest {
  protected:
    // Loads the bytes and expects the clean failure.
    void expectRefused(const std::vector<std::uint8_t>& image, const char* options = nullptr,
                       const std::string& what = "") {
        const std::size_t global = mem::LiveBlocks(mem::Kind::Global);
        const std::size_t host = mem::LiveBlocks(mem::Kind::Host);
        HGLOBAL block = GlobalCopy(std::as_bytes(std::span(image)));
        messages.clear();
        EXPECT_EQ(load(block, options), 0u) << what;
        EXPECT_EQ(messages, std::vector<std::string>{kLoadFailure}) << what;
        EXPECT_EQ(bytes(block), image) << what;
        EXPECT_EQ(mem::LockCount(block), 0u);
        GlobalFree(block);
        EXPECT_EQ(mem::LiveBlocks(mem::Kind::Global), global) << what;
        EXPECT_EQ(mem::LiveBlocks(mem::Kind::Host), host) << what;
    }

    std::vector<std::uint8_t> imageOf(const ProjectShape& shape) {
        return bytes(save(build(shape)));
    }
};

const ProjectShape kEverything{.pages = 2,
                               .fieldsPerPage = 4,
                               .languages = 3,
                               .bitmaps = 3,
                               .recordTables = true,
                               .pageBlobs = true,
                               .optionLayout = 2,
                               .keyed = true,
                               .network = true,
                               .resources = true,
                               .tags = true,
                               .closing = true};

}  // namespace

TEST_F(DamagedImage, EveryTruncationIsRefusedCleanly) {
    for (const ProjectShape& shape :
         {kEverything, ProjectShape{.recordTables = true, .groups = true, .optionLayout = 1}}) {
        auto image = imageOf(shape);
        for (std::size_t length = 0; length < image.size(); length += length < 1200 ? 1 : 3) {
            std::vector<std::uint8_t> cut(image.begin(),
                                          image.begin() + static_cast<std::ptrdiff_t>(length));
            expectRefused(cut, nullptr, "cut at " + std::to_string(length));
            if (HasFailure()) return;
        }
    }
}

TEST_F(DamagedImage, WithTheRepairsTruncationsAreRefusedAsWell) {
    auto image = imageOf({.bitmaps = 5});
    for (std::size_t length = image.size() - 1; length > image.size() - 2000; length -= 5) {
        expectRefused(std::vector<std::uint8_t>(
                          image.begin(), image.begin() + static_cast<std::ptrdiff_t>(length)),
                      "fixrmenufield", "cut at " + std::to_string(length));
        if (HasFailure()) return;
    }
}

TEST_F(DamagedImage, CountsAndLengthsThatLieAreRefused) {
    const auto image = imageOf({.pages = 1, .fieldsPerPage = 2});
    constexpr std::size_t kRecord = 48, kPage = 48 + 627;
    struct Lie {
        const char* what;
        std::size_t at;
        std::uint32_t value;
        int width;
    };
    const Lie lies[] = {
        {"descriptor offset", 0, 0xFFFF, 2},
        {"descriptor page", 44, 0, 1},
        {"record beyond the image", 45, 0x7FFF, 2},
        {"page count", kRecord + 470, 0xFFFF, 2},
        {"pool count", kRecord + 573, 0xFFFF, 2},
        {"keyed capacity", kRecord + 595, 0xFFFF, 2},
        {"section 1 count", kRecord + 427, 0xFF, 1},
        {"section 2a count", kRecord + 448, 0x8000, 2},
        {"section 5 count", kRecord + 601, 0x0100, 2},
        {"field count", kPage + 50, 0xFFFF, 2},
        {"field list count", kPage + 77 + 30, 0x7FFF, 2},
        {"negative field list count", kPage + 77 + 30, 0xFFFF, 2},
        // The second field (after the first's record, list and label) has children.
        {"child count", kPage + 77 + 111 + 32 + 13 + 97, 0xFFFF, 2},
    };
    for (const Lie& lie : lies) {
        auto bad = image;
        for (int i = 0; i < lie.width; ++i)
            bad[lie.at + i] = static_cast<std::uint8_t>(lie.value >> (8 * i));
        expectRefused(bad, nullptr, lie.what);
    }
}

TEST_F(DamagedImage, LyingSectionsAfterTheExtensionRecordAreRefused) {
    // Each case damages one section of an image that has it; the byte offsets are found by
    // what the sections hold.
    auto find = [](const std::vector<std::uint8_t>& image, const std::vector<std::uint8_t>& what) {
        auto it = std::search(image.begin(), image.end(), what.begin(), what.end());
        EXPECT_NE(it, image.end());
        return static_cast<std::size_t>(it - image.begin());
    };
    {
        // A bitmap whose header claims a huge width.
        auto image = imageOf({.bitmaps = 1});
        const std::size_t dib = find(image, {40, 0, 0, 0, 8, 0, 0, 0});
        WriteLe32(&image[dib + 4], 0x7FFFFFFF);
        expectRefused(image, nullptr, "bitmap width");
        WriteLe32(&image[dib], 5);  // a header too small to be one
        expectRefused(image, nullptr, "bitmap header size");
    }
    {
        // A typed option element whose size overruns the image, and one too short for its data.
        auto image = imageOf({.optionLayout = 2});
        std::vector<std::uint8_t> description = {'D', 'e', 's', 'c', 'r', 'i', 'p',
                                                 't', 'i', 'o', 'n', ' ', '0', 0};
        const std::size_t element = find(image, description) - 89;
        auto huge = image;
        WriteLe32(&huge[element], 0xFFFFFFF0u);
        expectRefused(huge, nullptr, "option element size");
        auto shortElement = image;
        WriteLe32(&shortElement[element], 89 + 3);
        expectRefused(shortElement, nullptr, "option element data");
    }
    {
        // A keyed part whose slot number is out of range, and two parts in one slot.
        auto image = imageOf({.pages = 1, .keyed = true});
        const std::size_t keyed = find(image, {0x4B, 0x4C, 2, 0});
        const std::size_t firstPart = keyed + 4 + 2 * 8 + 8 + 4 + 4;
        auto badSlot = image;
        WriteLe16(&badSlot[firstPart], 9);
        expectRefused(badSlot, nullptr, "part slot");
        auto twice = image;
        WriteLe16(&twice[firstPart], 3);
        expectRefused(twice, nullptr, "part slot twice");
    }
    {
        // Languages whose text sets claim more than there is.
        auto bad = imageOf({.languages = 2});
        auto at =
            find(bad, {'L', 'a', 'n', 'g', 'u', 'a', 'g', 'e', ' ', '1', ' ', 't', 'e', 'x', 't'}) -
            4;
        WriteLe32(&bad[at], 0x00FFFFFF);
        expectRefused(bad, nullptr, "language blob length");
    }
}

TEST_F(DamagedImage, ImagesThatCannotBeHadAreRefusedWithoutAMessage) {
    EXPECT_EQ(GetProject(0, 0), 0u);
    EXPECT_EQ(GetProject(0x00FFFFFF, 0), 0u);
    EXPECT_EQ(GetProject(std::uintptr_t{1} << 40, 0), 0u);  // no handle is that wide
    std::vector<std::uint8_t> elsewhere(2000);
    EXPECT_EQ(GetProject(reinterpret_cast<std::uintptr_t>(elsewhere.data()), 1), 0u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(DamagedImage, FieldsNestedWithoutEndAreRefused) {
    // Every child claims a child of its own.
    ProjectRecord record{};
    record.pageCount = 1;
    PageRecord page{};
    page.fieldCount = 1;
    FieldRecord field{};
    field.flags = FieldRecord::kHasChildren;
    field.childCount = 1;
    ImageBytes image;
    image.header(0x22).record(record).record(page).u8(0);
    for (int i = 0; i < 40; ++i) image.record(field);
    image.u16(0x4C4B).u16(0).zeros(375);
    expectRefused(image.bytes);
}
