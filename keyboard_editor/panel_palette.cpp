#include "keyboard_editor/panel_palette.h"

#include <QImage>
#include <cstdlib>

#include "platform/message_box.h"

namespace clavon {
namespace {

constexpr std::array<Colour, 16> kStandardColours = {
    MakeColour(0, 0, 0),      MakeColour(128, 0, 0),     MakeColour(0, 128, 0),
    MakeColour(128, 128, 0),  MakeColour(0, 0, 128),     MakeColour(128, 0, 128),
    MakeColour(0, 128, 128),  MakeColour(128, 128, 128), MakeColour(192, 192, 192),
    MakeColour(255, 0, 0),    MakeColour(0, 255, 0),     MakeColour(255, 255, 0),
    MakeColour(0, 0, 255),    MakeColour(255, 0, 255),   MakeColour(0, 255, 255),
    MakeColour(255, 255, 255)};

constexpr std::array<int, 8> kThreeBitLevels = {0x00, 0x24, 0x48, 0x6D, 0x91, 0xB6, 0xDA, 0xFF};
constexpr std::array<int, 4> kTwoBitLevels = {0x00, 0x55, 0xAA, 0xFF};

// For each component value, the nearest of the cube's levels (the lower one on a tie). The
// distance is a sum over the components and the cube holds every combination of levels, so
// the nearest entry is made of the nearest level of each component, and the lowest of equal
// entries is the one of the lowest levels.
template <std::size_t N>
std::array<std::uint8_t, 256> NearestLevels(const std::array<int, N>& levels) {
    std::array<std::uint8_t, 256> nearest{};
    for (int value = 0; value < 256; ++value) {
        int best = 256;
        for (std::size_t i = 0; i < N; ++i)
            if (std::abs(levels[i] - value) < best) {
                best = std::abs(levels[i] - value);
                nearest[static_cast<std::size_t>(value)] = static_cast<std::uint8_t>(i);
            }
    }
    return nearest;
}

const std::array<std::uint8_t, 256> kNearestThreeBit = NearestLevels(kThreeBitLevels);
const std::array<std::uint8_t, 256> kNearestTwoBit = NearestLevels(kTwoBitLevels);

// A colour from a Qt pixel, as a Windows colour value.
Colour FromPixel(QRgb pixel) {
    return MakeColour(qRed(pixel), qGreen(pixel), qBlue(pixel));
}

void ShowWarning(const char* text) {
    MessageBox(nullptr, text, "Clavon", MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

void CPanelPalette::SetNumColors(int count) {
    if (count == 2 || count == 16) {
        std::copy(kStandardColours.begin(), kStandardColours.end(), m_slots.begin());
    } else if (count == 256) {
        for (int i = 0; i < 256; ++i)
            m_slots[static_cast<std::size_t>(i)] =
                MakeColour(kThreeBitLevels[static_cast<std::size_t>((i >> 5) & 7)],
                           kThreeBitLevels[static_cast<std::size_t>((i >> 2) & 7)],
                           kTwoBitLevels[static_cast<std::size_t>(i & 3)]);
    } else {
        count = 0;
    }
    m_count = count;
    m_cacheKey.fill(0);
}

int CPanelPalette::NearestEntry(Colour colour) const {
    if (m_count == 256)
        return kNearestThreeBit[static_cast<std::size_t>(RedOf(colour))] << 5 |
               kNearestThreeBit[static_cast<std::size_t>(GreenOf(colour))] << 2 |
               kNearestTwoBit[static_cast<std::size_t>(BlueOf(colour))];
    const std::size_t slot = (colour * 2654435761u) >> 22;
    const std::uint32_t key = colour | 0x80000000u;
    if (m_cacheKey[slot] == key) return m_cacheIndex[slot];
    int best = 765, bestIndex = 0;
    for (int i = 0; i < m_count; ++i) {
        const Colour entry = m_slots[static_cast<std::size_t>(i)];
        const int distance = std::abs(RedOf(entry) - RedOf(colour)) +
                             std::abs(GreenOf(entry) - GreenOf(colour)) +
                             std::abs(BlueOf(entry) - BlueOf(colour));
        if (distance < best) {
            best = distance;
            bestIndex = i;
        }
    }
    m_cacheKey[slot] = key;
    m_cacheIndex[slot] = static_cast<std::uint8_t>(bestIndex);
    return bestIndex;
}

int CPanelPalette::Index(Colour colour) const {
    if (m_count == 2)
        return RedOf(colour) > 200 || GreenOf(colour) > 200 || BlueOf(colour) > 200 ? 0 : 1;
    if (m_count == 16 || m_count == 256) return NearestEntry(colour);
    ShowWarning(kWrongNumberOfColors);
    return 0;
}

Colour CPanelPalette::DrawingColour(Colour colour) const {
    if (m_count == 16 || m_count == 256) return Entry(NearestEntry(colour));
    return colour;
}

std::size_t PackedSize(int width, int height, int bitsPerPixel) {
    if (width <= 0 || height <= 0) return 0;
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * bitsPerPixel + 7) / 8;
    return rowBytes * static_cast<std::size_t>(height);
}

std::vector<std::uint8_t> PackPixels(const QImage& source, const CPanelPalette& palette,
                                     std::size_t expected) {
    const QImage image = source.format() == QImage::Format_RGB32
                             ? source
                             : source.convertToFormat(QImage::Format_RGB32);
    const int bpp = palette.BitsPerPixel();
    std::vector<std::uint8_t> out;
    out.reserve(expected);
    bool overrun = false;
    for (int y = 0; y < image.height() && !overrun; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        unsigned byte = 0;
        int filled = 0;
        for (int x = 0; x < image.width(); ++x) {
            byte = (byte << bpp) | static_cast<unsigned>(palette.Index(FromPixel(row[x])));
            filled += bpp;
            if (filled == 8) {
                if (out.size() >= expected) {
                    overrun = true;
                    break;
                }
                out.push_back(static_cast<std::uint8_t>(byte));
                byte = 0;
                filled = 0;
            }
        }
        if (filled > 0 && !overrun) {
            if (out.size() >= expected) {
                overrun = true;
                break;
            }
            out.push_back(static_cast<std::uint8_t>(byte << (8 - filled)));
        }
    }
    if (overrun || out.size() != expected) {
        ShowWarning(kWrongBitmapSize);
        out.resize(expected, 0);
    }
    return out;
}

}  // namespace clavon
