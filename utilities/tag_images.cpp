// The images of the tag list: bitmap 1201, a packed 4-bit bitmap of three 16 x 16 images in
// one row (closed structure, opened structure, tag). Its first pixel is background, so the
// tree drawing shows that palette entry in the window colour.
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "platform/module.h"
#include "utilities/tag_select.h"
#include "windows/canvas.h"

namespace {

constexpr int kCell = 16;
constexpr int kWidth = 3 * kCell;
constexpr int kHeight = kCell;
constexpr int kRowBytes = kWidth / 2;  // 24, already a multiple of 4
constexpr std::size_t kPaletteSize = 16 * 4;
constexpr std::size_t kSize = 40 + kPaletteSize + kRowBytes * kHeight;

// The pictures, top row first, one character per pixel.
constexpr const char* kPicture[kHeight] = {
    // closed         opened           tag
    "................................................",
    "................................................",
    "..oooo............oooo..........................",
    ".oyyyyo..........oyyyyo..............kkkkkkkkk..",
    ".oooooooooooo....oyyyyyoooooo.......kwwwwwwwwk..",
    ".oyyyyyyyyyyyo...oyyyyyyyyyyo......kwwwwwwwwwk..",
    ".oyyyyyyyyyyyo...oyooooooooooooo..kwwkkwwwwwwk..",
    ".oyyyyyyyyyyyo...oyoyyyyyyyyyyo...kwwkkwwwwwwk..",
    ".oyyyyyyyyyyyo...ooyyyyyyyyyyyo....kwwwwwwwwwk..",
    ".oyyyyyyyyyyyo...ooyyyyyyyyyyo......kwwwwwwwwk..",
    ".oyyyyyyyyyyyo...oyyyyyyyyyyyo.......kkkkkkkkk..",
    ".oyyyyyyyyyyyo...oyyyyyyyyyyo...................",
    ".ooooooooooooo...ooooooooooooo..................",
    "................................................",
    "................................................",
    "................................................",
};

constexpr bool picturesAreWhole() {
    for (const char* row : kPicture)
        for (int x = 0; x <= kWidth; ++x)
            if ((row[x] == 0) != (x == kWidth)) return false;
    return true;
}
static_assert(picturesAreWhole(), "every picture row is 48 pixels");

// Palette indices of the picture characters (the 16 standard colours).
constexpr std::uint8_t indexOf(char c) {
    switch (c) {
        case 'k':
            return 0;  // black
        case 'o':
            return 3;  // olive
        case 'y':
            return 11;  // yellow
        case 'w':
            return 15;  // white
        default:
            return 13;  // background
    }
}

constexpr std::uint8_t kPalette[16][3] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

constexpr void put32(std::array<std::byte, kSize>& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
}

constexpr std::array<std::byte, kSize> makeBitmap() {
    std::array<std::byte, kSize> out{};
    put32(out, 0, 40);
    put32(out, 4, kWidth);
    put32(out, 8, kHeight);
    out[12] = std::byte{1};  // planes
    out[14] = std::byte{4};  // bits per pixel
    for (int i = 0; i < 16; ++i) {
        out[40 + 4 * i] = static_cast<std::byte>(kPalette[i][2]);
        out[40 + 4 * i + 1] = static_cast<std::byte>(kPalette[i][1]);
        out[40 + 4 * i + 2] = static_cast<std::byte>(kPalette[i][0]);
    }
    // Rows are stored bottom row first.
    for (int y = 0; y < kHeight; ++y) {
        const char* row = kPicture[kHeight - 1 - y];
        for (int x = 0; x < kWidth; x += 2) {
            const int byte = (indexOf(row[x]) << 4) | indexOf(row[x + 1]);
            out[40 + kPaletteSize + static_cast<std::size_t>(y * kRowBytes + x / 2)] =
                static_cast<std::byte>(byte);
        }
    }
    return out;
}

constexpr auto kTagImageBits = makeBitmap();

constexpr kestra::platform::BitmapResource kBitmaps[] = {
    {static_cast<std::uint32_t>(kTagImages), kTagImageBits.data(), kTagImageBits.size()},
};
const kestra::platform::ResourceRegistration kBitmapRegistration(
    &kBitmaps, kestra::platform::ResourceKind::Bitmaps, kBitmaps, std::size(kBitmaps));

}  // namespace
