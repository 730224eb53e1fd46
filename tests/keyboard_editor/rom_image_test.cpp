// The keyboard ROM image, byte for byte: the header with the time of writing, the records of
// keys, value boxes and the keyboard, pixel packing in 2, 16 and 256 colours, the border.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "keyboard_editor/clavon_model.h"
#include "keyboard_support.h"
#include "platform/clock.h"
#include "support/temp_folder.h"

namespace clavon {
namespace {

using testing::Le16;
using testing::Le32;
using testing::MessageLog;
using testing::PackIndexes;

const ::testing::Environment* const kQt =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

const kestra::platform::LocalTime kSaved{2026, 12, 2, 8, 17, 45, 30, 0};

int Distance(Colour a, Colour b) {
    return std::abs(RedOf(a) - RedOf(b)) + std::abs(GreenOf(a) - GreenOf(b)) +
           std::abs(BlueOf(a) - BlueOf(b));
}

// The palette as the table gives it, and its index rule, written out independently.
struct ExpectedPalette {
    explicit ExpectedPalette(int count) : count(count) {
        const int standard[16][3] = {
            {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
            {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
            {192, 192, 192}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
            {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
        const int three[8] = {0x00, 0x24, 0x48, 0x6D, 0x91, 0xB6, 0xDA, 0xFF};
        const int two[4] = {0x00, 0x55, 0xAA, 0xFF};
        if (count == 256)
            for (int i = 0; i < 256; ++i)
                entries.push_back(MakeColour(three[(i >> 5) & 7], three[(i >> 2) & 7], two[i & 3]));
        else
            for (const auto& c : standard) entries.push_back(MakeColour(c[0], c[1], c[2]));
    }
    int index(Colour c) const {
        if (count == 2) return RedOf(c) > 200 || GreenOf(c) > 200 || BlueOf(c) > 200 ? 0 : 1;
        int best = 765, at = 0;
        for (int i = 0; i < count; ++i)
            if (Distance(entries[static_cast<std::size_t>(i)], c) < best)
                best = Distance(entries[static_cast<std::size_t>(i)], c), at = i;
        return at;
    }
    int bpp() const { return count == 2 ? 1 : count == 16 ? 4 : 8; }
    int count;
    std::vector<Colour> entries;
};

// A key of w x h pixels in a state, as palette indexes, from the drawing rules.
std::vector<std::vector<int>> KeyIndexes(int w, int h, int state, const ExpectedPalette& p) {
    auto drawn = [&](Colour c) {
        return p.count == 2 ? p.index(c) : p.index(p.entries[static_cast<std::size_t>(p.index(c))]);
    };
    const int face = drawn(0xC0C0C0), shadow = drawn(0x505050), line = drawn(0),
              white = p.index(0xFFFFFF);
    std::vector<std::vector<int>> rows(static_cast<std::size_t>(h),
                                       std::vector<int>(static_cast<std::size_t>(w), face));
    auto put = [&](int x0, int y0, int x1, int y1, int v) {  // inclusive
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = v;
    };
    const bool up = state == 1;
    put(0, 0, 0, h - 1, up ? face : line);
    put(0, 0, w - 1, 0, up ? face : line);
    put(1, 1, 1, h - 2, up ? white : shadow);
    put(1, 1, w - 2, 1, up ? white : shadow);
    put(0, h - 1, w - 1, h - 1, up ? line : face);
    put(w - 1, 0, w - 1, h - 1, up ? line : face);
    put(1, h - 2, w - 2, h - 2, up ? shadow : white);
    put(w - 2, 1, w - 2, h - 2, up ? shadow : white);
    return rows;
}

std::vector<std::uint8_t> Head(std::size_t size, std::uint8_t type, std::uint32_t id) {
    std::vector<std::uint8_t> r{type, 0, 0};
    Le32(r, id);
    r.resize(size, 0);
    return r;
}

void Set16(std::vector<std::uint8_t>& r, std::size_t at, unsigned v) {
    r[at] = static_cast<std::uint8_t>(v);
    r[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

std::vector<std::uint8_t> Picture(std::uint32_t id, int x, int y, int w, int h,
                                  const std::vector<std::vector<int>>& rows, int bpp) {
    std::vector<std::uint8_t> r = Head(29, 18, id);
    Set16(r, 17, static_cast<unsigned>(x));
    Set16(r, 19, static_cast<unsigned>(y));
    Set16(r, 21, static_cast<unsigned>(w));
    Set16(r, 23, static_cast<unsigned>(h));
    r[25] = static_cast<std::uint8_t>(bpp);
    const std::vector<std::uint8_t> pixels = PackIndexes(rows, bpp);
    r.insert(r.end(), pixels.begin(), pixels.end());
    return r;
}

// Two keys and a value box on the 8 x 16 grid, without labels.
void Populate(CClavonModel& model) {
    for (double x : {16.0, 64.0}) {
        auto key = std::make_unique<CKesButton>(model);
        key->Properties().Set(CKesButton::kLabel, std::string());
        key->MoveTo(x, 32);
        model.Add(std::move(key));
    }
    model.Symbols()[1]->Properties().Set(CKesButton::kKeyCode, 0x1B);
    auto value = std::make_unique<CSymValue>(model);
    value->MoveTo(17, 63);  // snaps to (16, 64)
    value->Properties().Set(CSymValue::kFontSize, 2);
    value->Properties().Set(CSymValue::kType, 3);
    model.Add(std::move(value));
}

std::vector<std::uint8_t> ExpectedImage(int colours) {
    const ExpectedPalette p(colours);
    const int bpp = p.bpp();
    std::vector<std::vector<std::uint8_t>> records;
    std::uint32_t id = 1;
    const int keyX[] = {16, 64}, keyCode[] = {65, 0x1B};
    for (int k = 0; k < 2; ++k) {
        std::vector<std::uint8_t> key = Head(35, 17, id);
        Set16(key, 17, static_cast<unsigned>(keyX[k] - 16));
        Set16(key, 19, 0);
        Set16(key, 21, 48);
        Set16(key, 23, 32);
        Set16(key, 25, static_cast<unsigned>(keyCode[k]));
        for (int i = 0; i < 4; ++i) {
            key[27 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((id + 1) >> (8 * i));
            key[31 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((id + 2) >> (8 * i));
        }
        records.push_back(key);
        records.push_back(Picture(id + 1, keyX[k], 32, 48, 32, KeyIndexes(48, 32, 1, p), bpp));
        records.push_back(Picture(id + 2, keyX[k], 32, 48, 32, KeyIndexes(48, 32, 2, p), bpp));
        id += 3;
    }
    std::vector<std::uint8_t> value = Head(37, 22, id++);
    value[7] = 16;  // font size 2 x 8
    Set16(value, 17, 0);
    Set16(value, 19, 32);
    Set16(value, 21, 48);
    Set16(value, 23, 32);
    Set16(value, 27, static_cast<unsigned>(p.index(0xC0C0C0)));
    Set16(value, 29, static_cast<unsigned>(p.index(0x0000FF)));
    value[31] = 2;
    value[32] = 2;
    Set16(value, 33, 3);
    records.push_back(value);
    const std::vector<std::vector<int>> background(64, std::vector<int>(96, p.index(0xFFFFFF)));
    records.push_back(Picture(id, 0, 0, 96, 64, background, bpp));
    std::vector<std::uint8_t> keyboard = Head(33, 21, id + 1);
    keyboard[1] = 2;
    keyboard[2] = 0x82;
    Set16(keyboard, 21, 96);
    Set16(keyboard, 23, 64);
    for (int i = 0; i < 4; ++i)
        keyboard[29 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(id >> (8 * i));
    records.push_back(keyboard);

    std::vector<std::uint8_t> image{1};
    Le32(image, 1);
    image.insert(image.end(), {30, 45, 17, 8, 12});
    Le16(image, 2026);
    const std::string name = "Keyboard";
    image.push_back(static_cast<std::uint8_t>(name.size()));
    image.insert(image.end(), name.begin(), name.end());
    Le32(image, 0);
    std::size_t total = 57 + name.size() + 1 + 16;
    for (const auto& r : records) total += 12 + r.size();
    Le32(image, static_cast<std::uint32_t>(total));
    image.insert(image.end(), {12, 35, 16});
    image.resize(image.size() + 13, 0);
    Le16(image, 96);
    Le16(image, 64);
    Le32(image, static_cast<std::uint32_t>(records.size()));
    image.insert(image.end(), {1, 0, 0, 0, 0, 0, 0});  // avoid field, left/top of the border
    Le32(image, 0);
    image.insert(image.end(), {1, 1});  // one associated field: field 0, stored plus one
    for (const auto& r : records) {
        Le32(image, 0xFFFFFFFF);
        Le32(image, static_cast<std::uint32_t>(r.size()));
        std::uint32_t sum = 0;
        for (std::uint8_t b : r) sum += b;
        Le32(image, sum);
        image.insert(image.end(), r.begin(), r.end());
    }
    image.resize(image.size() + 12, 0);
    std::uint32_t sum = 0;
    for (std::uint8_t b : image) sum += b;
    Le32(image, sum);
    EXPECT_EQ(image.size(), total);
    return image;
}

TEST(RomImage, TwoKeysAndAValueBoxInEveryColourCount) {
    for (int colours : {2, 16, 256}) {
        SCOPED_TRACE(colours);
        MessageLog messages;
        CClavonModel model;
        model.SetColourCount(colours);
        Populate(model);
        const CKbdRomImage image = BuildRomImage(model, "");
        EXPECT_EQ(image.Bytes(kSaved), ExpectedImage(colours));
        EXPECT_TRUE(messages.texts.empty());
    }
}

TEST(RomImage, WrittenFileCarriesItsSizeAndChecksumAndTheClocksTime) {
    kestra::testing::TempFolder folder;
    kestra::platform::ManualClock clock(0, kSaved);
    kestra::platform::ScopedClock scoped(clock);
    CClavonModel model;
    Populate(model);
    ASSERT_TRUE(ExportRom(model, folder.file("kbd.rom"), "", nullptr));
    std::ifstream in(folder.file("kbd.rom"), std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(bytes, ExpectedImage(16));

    // The name is the document's path when there is one; a longer one is cut at 255 bytes.
    const std::string longPath = "/keyboards/" + std::string(300, 'k') + ".kbd";
    CClavonModel second;
    Populate(second);
    const CKbdRomImage named = BuildRomImage(second, longPath);
    EXPECT_EQ(named.Name(), longPath.substr(0, 255));
    EXPECT_EQ(named.Bytes(kSaved)[12], 255);
    EXPECT_EQ(named.Bytes(kSaved).size(), named.TotalSize());
}

TEST(RomImage, EmptyModelAndUnwritableTargetAreRefused) {
    kestra::testing::TempFolder folder;
    MessageLog messages;
    CClavonModel empty;
    bool asked = false;
    EXPECT_FALSE(ExportRom(empty, "", "", [&] {
        asked = true;
        return std::optional<std::string>(folder.file("x.rom"));
    }));
    EXPECT_FALSE(asked) << "an empty keyboard is refused before the file is asked for";
    CClavonModel model;
    Populate(model);
    EXPECT_FALSE(ExportRom(model, "", "", [] { return std::optional<std::string>(); }))
        << "Cancel in the file dialog";
    const std::string bad = folder.file("missing/x.rom");
    EXPECT_FALSE(ExportRom(model, bad, "", nullptr));
    EXPECT_EQ(messages.texts,
              (std::vector<std::string>{"Empty project!", "Can not open file: " + bad}));
    EXPECT_FALSE(std::ifstream(bad).good());

    // A failed export leaves the previous image as it was.
    const std::string good = folder.write("kept.rom", "previous");
    if (::geteuid() != 0) {  // the superuser writes into read-only folders
        ::chmod(folder.path().c_str(), 0500);
        EXPECT_FALSE(ExportRom(model, good, "", nullptr));
        ::chmod(folder.path().c_str(), 0700);
        EXPECT_EQ(folder.read("kept.rom"), "previous");
    }
}

TEST(RomImage, PlacementSettingsAndAssociatedFields) {
    CClavonModel model;
    Populate(model);
    model.SetInt(kHorzPosition, 1);
    model.SetInt(kVertPosition, 2);
    model.SetInt(kHorzReference, 1);
    model.SetInt(kVertReference, 0);
    model.SetInt(kAvoidField, 0);
    model.SetInt(kFieldMask, static_cast<std::int32_t>(0x80000005u));
    std::vector<std::uint8_t> bytes = BuildRomImage(model, "").Bytes(kSaved);
    const std::size_t n = 8;
    EXPECT_EQ(bytes[22 + n], 34 + 3);
    EXPECT_EQ(bytes[45 + n], 0);
    EXPECT_EQ(bytes[46 + n], 128);
    EXPECT_EQ(bytes[47 + n], 50);
    EXPECT_EQ(bytes[49 + n], 0);
    EXPECT_EQ(bytes[50 + n], 100);
    EXPECT_EQ(bytes[56 + n], 3);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 57 + n, bytes.begin() + 60 + n),
              (std::vector<std::uint8_t>{1, 3, 32}));

    model.SetInt(kAbsolute, 1);
    bytes = BuildRomImage(model, "").Bytes(kSaved);
    EXPECT_EQ(bytes[46 + n], 2);
    EXPECT_EQ(bytes[47 + n], 16);
    EXPECT_EQ(bytes[49 + n], 2);
    EXPECT_EQ(bytes[50 + n], 32);
}

// The palette index of pixel (x, y) of a 16-colour image record.
int Pixel16(const CRomBlock& block, int x, int y) {
    const int w = block.data[21] | (block.data[22] << 8);
    const std::uint8_t byte = block.data[29 + static_cast<std::size_t>(y * ((w + 1) / 2) + x / 2)];
    return x % 2 ? byte & 15 : byte >> 4;
}

TEST(RomImage, BorderGrowsTheKeyboardByOneCellWhenItFits) {
    CClavonModel model;
    Populate(model);
    model.SetInt(kBorder, 1);
    EXPECT_EQ(model.ComponentBounds(), (PanelRect{16, 32, 112, 96}));
    EXPECT_EQ(model.KeyboardRect(), (PanelRect{8, 16, 120, 112}));
    const std::vector<CRomBlock> blocks = model.ImageBlocks();
    ASSERT_EQ(blocks.size(), 2u);
    const CRomBlock& background = blocks[0];
    EXPECT_EQ(background.data.size(), 29u + 96 * 56);
    EXPECT_EQ(Pixel16(background, 0, 0), 8) << "face band";
    EXPECT_EQ(Pixel16(background, 1, 1), 15) << "highlight";
    EXPECT_EQ(Pixel16(background, 1, 93), 15);
    EXPECT_EQ(Pixel16(background, 1, 94), 7) << "shadow below the left highlight";
    EXPECT_EQ(Pixel16(background, 111, 50), 0) << "line on the right edge";
    EXPECT_EQ(Pixel16(background, 20, 81), 15) << "highlight below the symbols";
    EXPECT_EQ(Pixel16(background, 40, 40), 15) << "background colour inside";
    EXPECT_EQ(blocks[1].data[21], 112);
    EXPECT_EQ(blocks[1].data[23], 96);
    // The keys' records count from the keyboard's grown corner.
    const CKbdRomImage image = BuildRomImage(model, "");
    EXPECT_EQ(image.Blocks()[0].data[17], 8);
    EXPECT_EQ(image.Blocks()[0].data[19], 16);

    // Touching the panel's edge: no room for the border, the plain union, no band.
    model.Symbols()[0]->MoveTo(0, 0);
    EXPECT_EQ(model.KeyboardRect(), model.ComponentBounds());
    const CRomBlock plain = model.ImageBlocks()[0];
    EXPECT_EQ(Pixel16(plain, 0, 0), 15);
}

TEST(RomImage, BackgroundBitmapIsStretchedOverTheSymbolsArea) {
    kestra::testing::TempFolder folder;
    QImage bitmap(2, 1, QImage::Format_RGB32);
    bitmap.setPixel(0, 0, qRgb(255, 0, 0));
    bitmap.setPixel(1, 0, qRgb(0, 0, 255));
    ASSERT_TRUE(bitmap.save(QString::fromStdString(folder.file("bg.bmp"))));
    CClavonModel model;
    Populate(model);
    model.SetText(kBitmapPath, folder.file("bg.bmp"));
    ASSERT_TRUE(model.LoadBackground());
    const CRomBlock background = model.ImageBlocks()[0];
    EXPECT_EQ(Pixel16(background, 10, 10), 9) << "red on the left half";
    EXPECT_EQ(Pixel16(background, 90, 60), 12) << "blue on the right half";

    MessageLog messages;
    folder.write("bad.bmp", "not a bitmap");
    for (const std::string& name : {folder.file("bad.bmp"), folder.file("gone.bmp")}) {
        model.SetText(kBitmapPath, name);
        EXPECT_FALSE(model.LoadBackground());
        EXPECT_TRUE(model.Background().isNull());
        EXPECT_EQ(messages.texts.back(), "Can not load bitmap:" + name);
    }
    EXPECT_EQ(Pixel16(model.ImageBlocks()[0], 10, 10), 15) << "back to the plain colour";
}

// A key whose size snaps to nothing in one direction keeps its snapped extent in the other, in
// its own record, in both of its pictures and in the keyboard's background.
struct DegenerateSize {
    double width, height;
    unsigned snappedWidth, snappedHeight;
};

class DegenerateKey : public ::testing::TestWithParam<DegenerateSize> {};

unsigned At16(const std::vector<std::uint8_t>& data, std::size_t at) {
    return data[at] | (data[at + 1] << 8);
}

TEST_P(DegenerateKey, RecordsKeepTheSnappedSize) {
    const DegenerateSize size = GetParam();
    MessageLog messages;
    CClavonModel model;  // 8 x 16 grid, 16 colours
    auto key = std::make_unique<CKesButton>(model);
    key->MoveTo(16, 32);
    key->width = size.width;
    key->height = size.height;
    model.Add(std::move(key));
    const CKbdRomImage image = BuildRomImage(model, "");
    ASSERT_EQ(image.Blocks().size(), 5u);
    const std::size_t pixelBytes = size.snappedHeight * ((size.snappedWidth * 4 + 7) / 8);
    for (std::size_t record : {0, 1, 2, 3}) {
        SCOPED_TRACE(record);
        const std::vector<std::uint8_t>& data = image.Blocks()[record].data;
        EXPECT_EQ(At16(data, 21), size.snappedWidth);
        EXPECT_EQ(At16(data, 23), size.snappedHeight);
        if (record > 0) EXPECT_EQ(data.size(), 29 + pixelBytes);
    }
    EXPECT_TRUE(messages.texts.empty());
}

INSTANTIATE_TEST_SUITE_P(RomImage, DegenerateKey,
                         ::testing::Values(DegenerateSize{3, 32, 0, 32},
                                           DegenerateSize{48, 7, 48, 0}, DegenerateSize{3, 7, 0, 0},
                                           DegenerateSize{9, 40, 8, 48}),
                         [](const auto& info) {
                             return "Snapped" + std::to_string(info.param.snappedWidth) + "x" +
                                    std::to_string(info.param.snappedHeight);
                         });

TEST(PanelPalette, TablesMatchingAndPacking) {
    CPanelPalette palette;
    palette.SetNumColors(256);
    EXPECT_EQ(palette.Entry(0), MakeColour(0, 0, 0));
    EXPECT_EQ(palette.Entry(255), MakeColour(255, 255, 255));
    EXPECT_EQ(palette.Entry(0x6D), MakeColour(0x6D, 0x6D, 0x55));
    EXPECT_EQ(palette.BitsPerPixel(), 8);
    palette.SetNumColors(2);
    EXPECT_EQ(palette.SelectableColors(), 16);
    EXPECT_EQ(palette.Index(MakeColour(201, 0, 0)), 0);
    EXPECT_EQ(palette.Index(MakeColour(200, 200, 200)), 1);
    // A row of 9 pixels takes 2 bytes, the second holding one pixel in its top bit.
    QImage row(9, 1, QImage::Format_RGB32);
    row.fill(Qt::white);
    row.setPixel(8, 0, qRgb(0, 0, 0));
    row.setPixel(0, 0, qRgb(0, 0, 0));
    EXPECT_EQ(PackPixels(row, palette, 2), (std::vector<std::uint8_t>{0x80, 0x80}));
    palette.SetNumColors(16);
    EXPECT_EQ(palette.Index(MakeColour(130, 1, 0)), 1);
    EXPECT_EQ(palette.Index(MakeColour(64, 64, 64)), 0) << "equal distance: lowest index";

    // The nearest entry, lowest index on a tie, as a search over every entry finds it.
    for (int colours : {16, 256}) {
        palette.SetNumColors(colours);
        const ExpectedPalette expected(colours);
        for (std::uint32_t i = 0; i < 40000; ++i) {
            const Colour c = (i * 2654435761u) & 0xFFFFFF;
            ASSERT_EQ(palette.Index(c), expected.index(c)) << colours << " colours, " << c;
        }
    }
    palette.SetNumColors(16);

    MessageLog messages;
    EXPECT_EQ(PackPixels(row, palette, 4).size(), 4u);
    EXPECT_EQ(PackPixels(row, palette, 6).size(), 6u);
    palette.SetNumColors(7);
    EXPECT_EQ(palette.NumColors(), 0);
    EXPECT_EQ(palette.Index(MakeColour(255, 255, 255)), 0);
    EXPECT_EQ(messages.texts, (std::vector<std::string>{"Wrong Bitmap Size", "Wrong Bitmap Size",
                                                        "Wrong number of colors"}));
}

}  // namespace
}  // namespace clavon
