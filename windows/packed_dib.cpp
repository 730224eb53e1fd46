// Reading packed device-independent bitmaps.
#include "windows/packed_dib.h"

#include "kestra/dib.h"
#include "platform/image_cursor.h"

namespace kestra::platform {
namespace {

constexpr std::int64_t kLargestSide = 16384;

std::uint32_t colourOf(std::span<const std::byte> bgr) {
    return std::to_integer<std::uint32_t>(bgr[2]) | (std::to_integer<std::uint32_t>(bgr[1]) << 8) |
           (std::to_integer<std::uint32_t>(bgr[0]) << 16);
}

}  // namespace

std::optional<DecodedDib> DecodePackedDib(std::span<const std::byte> dib) {
    try {
        ImageReader reader(dib);
        std::uint32_t headerSize = reader.u32("header size");
        std::int64_t width, height;
        unsigned bits;
        std::uint32_t colours = 0, compression = 0;
        bool core = headerSize == 12;
        if (core) {
            width = reader.u16("width");
            height = reader.u16("height");
            reader.u16("planes");
            bits = reader.u16("bit count");
        } else if (headerSize >= kInfoHeaderSize) {
            width = reader.s32("width");
            height = reader.s32("height");
            reader.u16("planes");
            bits = reader.u16("bit count");
            compression = reader.u32("compression");
            reader.skip(12, "header");
            colours = reader.u32("colours used");
            reader.seek(headerSize);
        } else {
            return std::nullopt;
        }
        if (compression != 0 || width <= 0 || height == 0) return std::nullopt;
        if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return std::nullopt;
        bool topDown = height < 0;
        std::int64_t rows = topDown ? -height : height;
        if (width > kLargestSide || rows > kLargestSide) return std::nullopt;
        // A palette says how many colours it has; it never has more than the bits can name.
        if (bits > 8)
            colours = 0;
        else if (colours == 0 || colours > (1u << bits))
            colours = 1u << bits;
        std::size_t entry = core ? 3 : 4;
        reader.needBytes(colours, entry, "palette");
        std::vector<std::uint32_t> palette(colours);
        for (std::uint32_t& c : palette) c = colourOf(reader.take(entry, "palette entry"));
        auto rowBytes =
            static_cast<std::size_t>(DibRowBytes(static_cast<std::uint64_t>(width), bits));
        reader.needBytes(static_cast<std::uint64_t>(rows), rowBytes, "pixels");

        DecodedDib out{static_cast<int>(width), static_cast<int>(rows),
                       std::vector<std::uint32_t>(static_cast<std::size_t>(width * rows))};
        for (std::int64_t r = 0; r < rows; ++r) {
            auto row = reader.take(rowBytes, "pixel row");
            std::int64_t y = topDown ? r : rows - 1 - r;
            for (std::int64_t x = 0; x < width; ++x) {
                std::uint32_t c;
                if (bits >= 24) {
                    c = colourOf(row.subspan(static_cast<std::size_t>(x * (bits / 8)), 3));
                } else {
                    unsigned perByte = 8 / bits;
                    auto value =
                        std::to_integer<unsigned>(row[static_cast<std::size_t>(x / perByte)]);
                    unsigned shift = 8 - bits * (1 + static_cast<unsigned>(x % perByte));
                    unsigned index = (value >> shift) & ((1u << bits) - 1);
                    c = index < palette.size() ? palette[index]
                                               : 0;  // beyond a short palette: black
                }
                out.pixels[static_cast<std::size_t>(y * width + x)] = c;
            }
        }
        return out;
    } catch (const ImageError&) {
        return std::nullopt;
    }
}

}  // namespace kestra::platform
