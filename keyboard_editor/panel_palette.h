// The panel's colours: the palette of a keyboard (2, 16 or 256 colours), the colour matching
// that turns screen colours into panel palette indexes, and the packing of pixels into the
// panel's bit layout.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class QImage;

namespace clavon {

// A Windows colour value, 0x00BBGGRR.
using Colour = std::uint32_t;

constexpr Colour MakeColour(int red, int green, int blue) {
    return static_cast<Colour>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
constexpr int RedOf(Colour c) {
    return static_cast<int>(c & 0xFF);
}
constexpr int GreenOf(Colour c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int BlueOf(Colour c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

// Shown when a colour is matched against a palette of an unsupported size.
inline constexpr const char* kWrongNumberOfColors = "Wrong number of colors";
// Shown when packed pixels do not come to the length the record expects.
inline constexpr const char* kWrongBitmapSize = "Wrong Bitmap Size";

class CPanelPalette {
  public:
    CPanelPalette() { SetNumColors(16); }

    // 2 or 16: the 16 standard colours; 256: the 3-3-2 cube; anything else leaves the slots
    // and makes the count 0.
    void SetNumColors(int count);
    int NumColors() const { return m_count; }
    int BitsPerPixel() const { return m_count == 2 ? 1 : m_count == 16 ? 4 : 8; }
    int SelectableColors() const { return m_count == 2 ? 16 : m_count; }
    Colour Entry(int index) const { return m_slots.at(static_cast<std::size_t>(index)); }

    // The panel index of a colour: with 2 colours 0 for a bright colour (a component above
    // 200) and 1 otherwise; with 16 or 256 the nearest entry by the sum of component
    // differences, lowest index on a tie. Another count shows "Wrong number of colors" and
    // gives 0.
    int Index(Colour colour) const;
    // The colour a drawing in this colour takes on the panel's screen: the colour itself with
    // 2 colours, the nearest entry otherwise.
    Colour DrawingColour(Colour colour) const;

  private:
    int NearestEntry(Colour colour) const;

    std::array<Colour, 256> m_slots{};
    int m_count = 0;
    // Last colours matched: pixels of one picture repeat their colours.
    mutable std::array<std::uint32_t, 1024> m_cacheKey{};
    mutable std::array<std::uint8_t, 1024> m_cacheIndex{};
};

// Length in bytes of a packed picture of this size.
std::size_t PackedSize(int width, int height, int bitsPerPixel);

// Packs an RGB picture into panel pixels: rows top to bottom, pixels left to right, palette
// indexes shifted in from the most significant end, each row padded to a whole byte. A result
// that would run past `expected` bytes or ends short shows "Wrong Bitmap Size"; the result is
// then cut or padded with zeros to `expected` bytes.
std::vector<std::uint8_t> PackPixels(const QImage& image, const CPanelPalette& palette,
                                     std::size_t expected);

}  // namespace clavon
