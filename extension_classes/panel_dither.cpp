#include "extension_classes/panel_dither.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace kestra::kxc {
namespace {

// One weight of an error-diffusion kernel: the share of the error that goes `dx` pixels to the
// right on the row `dy` below.
struct Tap {
    int dx;
    int dy;
    int weight;
};

struct DiffusionKernel {
    DitherKind kind;
    int divisor;
    std::span<const Tap> taps;
};

constexpr Tap kFloydSteinberg[] = {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}};
constexpr Tap kJarvis[] = {{1, 0, 7}, {2, 0, 5},  {-2, 1, 3}, {-1, 1, 5}, {0, 1, 7}, {1, 1, 5},
                           {2, 1, 3}, {-2, 2, 1}, {-1, 2, 3}, {0, 2, 5},  {1, 2, 3}, {2, 2, 1}};
constexpr Tap kStucki[] = {{1, 0, 8}, {2, 0, 4},  {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4},
                           {2, 1, 2}, {-2, 2, 1}, {-1, 2, 2}, {0, 2, 4},  {1, 2, 2}, {2, 2, 1}};
constexpr Tap kBurkes[] = {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4},
                           {0, 1, 8}, {1, 1, 4}, {2, 1, 2}};
constexpr Tap kSierra[] = {{1, 0, 5}, {2, 0, 3}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 5},
                           {1, 1, 4}, {2, 1, 2}, {-1, 2, 2}, {0, 2, 3},  {1, 2, 2}};
constexpr Tap kStevensonArce[] = {{2, 0, 32}, {-3, 1, 12}, {-1, 1, 26}, {1, 1, 30},
                                  {3, 1, 16}, {-2, 2, 12}, {0, 2, 26},  {2, 2, 12},
                                  {-3, 3, 5}, {-1, 3, 12}, {1, 3, 12},  {3, 3, 5}};

constexpr DiffusionKernel kKernels[] = {
    {DitherKind::FloydSteinberg, 16, kFloydSteinberg},
    {DitherKind::Stucki, 42, kStucki},
    {DitherKind::Burkes, 32, kBurkes},
    {DitherKind::Sierra, 32, kSierra},
    {DitherKind::StevensonArce, 200, kStevensonArce},
    {DitherKind::Jarvis, 48, kJarvis},
};

// Each kernel hands on exactly the error it takes: its weights add up to its divisor. The error
// a pixel carries is then a weighted mean of errors of single pixels, each within one step of
// the value range, so it stays bounded however long the picture.
constexpr bool HandsOnAllItsError(const DiffusionKernel& kernel) {
    int sum = 0;
    for (const Tap& tap : kernel.taps) sum += tap.weight;
    return sum == kernel.divisor;
}
static_assert(std::all_of(std::begin(kKernels), std::end(kKernels), HandsOnAllItsError));

// The kernels reach at most 3 pixels sideways and 3 rows down.
constexpr int kReach = 3;
constexpr int kRows = kReach + 1;

constexpr QRgb kStandardColors[16] = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(128, 128, 128),
    qRgb(192, 192, 192), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
};

// The 4 x 4 ordered dither matrix, thresholds 0 to 15.
constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

int Clamp8(int v) {
    return std::clamp(v, 0, 255);
}

bool IsGreyPalette(const QList<QRgb>& palette) {
    return std::all_of(palette.begin(), palette.end(),
                       [](QRgb c) { return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c); });
}

// The spread between neighbouring palette colours, used to scale the ordered dither.
int Spread(const QList<QRgb>& palette) {
    return palette.size() == 2 ? 255 : palette.size() == 16 ? 128 : 36;
}

// What the reduction works on for a palette of colours: the three components of a pixel. The
// colour cube is separable, so its nearest entry is the nearest level of each component; the
// small palettes are searched whole.
class ColourValues {
  public:
    static constexpr int kChannels = 3;
    using Values = std::array<int, kChannels>;

    ColourValues(const QList<QRgb>& palette, int colorBits)
        : palette_(palette), cube_(colorBits == 8) {
        if (cube_) {
            for (int v = 0; v < 256; ++v) {
                level3_[v] = NearestLevel(v, 7);
                level2_[v] = NearestLevel(v, 3);
            }
        }
    }
    static Values Of(QRgb c) { return {qRed(c), qGreen(c), qBlue(c)}; }
    Values OfEntry(int index) const { return Of(palette_[index]); }
    int Nearest(const Values& v) const {
        if (cube_) return (level3_[v[0]] << 5) | (level3_[v[1]] << 2) | level2_[v[2]];
        return NearestPaletteIndex(palette_, qRgb(v[0], v[1], v[2]));
    }

  private:
    static uint8_t NearestLevel(int v, int maxLevel) {
        int best = 0;
        for (int level = 1; level <= maxLevel; ++level) {
            if (std::abs(level * 255 / maxLevel - v) < std::abs(best * 255 / maxLevel - v))
                best = level;
        }
        return uint8_t(best);
    }
    const QList<QRgb>& palette_;
    bool cube_;
    std::array<uint8_t, 256> level3_{};
    std::array<uint8_t, 256> level2_{};
};

// What the reduction works on for a palette of greys: the brightness of a pixel as the eye
// sees it. Diffusing three colour errors against greys would let the components' errors pull
// the choice their own ways (a dark purple turns half white).
class GreyValues {
  public:
    static constexpr int kChannels = 1;
    using Values = std::array<int, kChannels>;

    explicit GreyValues(const QList<QRgb>& palette) : palette_(palette) {
        for (int v = 0; v < 256; ++v) {
            int best = 0;
            for (int i = 1; i < palette.size(); ++i)
                if (std::abs(qRed(palette[i]) - v) < std::abs(qRed(palette[best]) - v)) best = i;
            nearest_[v] = uint8_t(best);
        }
    }
    static Values Of(QRgb c) {
        return {(qRed(c) * 299 + qGreen(c) * 587 + qBlue(c) * 114 + 500) / 1000};
    }
    Values OfEntry(int index) const { return {qRed(palette_[index])}; }
    int Nearest(const Values& v) const { return nearest_[v[0]]; }

  private:
    const QList<QRgb>& palette_;
    std::array<uint8_t, 256> nearest_{};
};

QImage EmptyIndexed(QSize size, const QList<QRgb>& palette) {
    QImage out(size, QImage::Format_Indexed8);
    if (!out.isNull()) out.setColorTable(palette);
    return out;
}

template <typename Space>
QImage ReduceNearest(const QImage& rgb, const QList<QRgb>& palette, const Space& space) {
    QImage out = EmptyIndexed(rgb.size(), palette);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uchar* dst = out.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x) dst[x] = uchar(space.Nearest(Space::Of(src[x])));
    }
    return out;
}

template <typename Space>
QImage ReduceOrdered(const QImage& rgb, const QList<QRgb>& palette, const Space& space) {
    QImage out = EmptyIndexed(rgb.size(), palette);
    const int spread = Spread(palette);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uchar* dst = out.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x) {
            // Offsets from -spread/2 to +spread/2, centred on zero.
            const int offset = ((2 * kBayer[y & 3][x & 3] + 1) * spread) / 32 - spread / 2;
            typename Space::Values v = Space::Of(src[x]);
            for (int& c : v) c = Clamp8(c + offset);
            dst[x] = uchar(space.Nearest(v));
        }
    }
    return out;
}

template <typename Space>
QImage ReduceDiffused(const QImage& rgb, const QList<QRgb>& palette, const Space& space,
                      const DiffusionKernel& kernel) {
    constexpr int kChannels = Space::kChannels;
    QImage out = EmptyIndexed(rgb.size(), palette);
    const int width = rgb.width();
    const int stride = (width + 2 * kReach) * kChannels;
    // Weighted error sums (not yet divided) of the next kRows rows, a ring of rows; each row has
    // kReach pixels of room on either side so that the taps need no bounds checks.
    std::vector<int32_t> errors(size_t(stride) * kRows, 0);
    // Each tap as the row it reaches and its offset from the current pixel's slot.
    constexpr size_t kMaxTaps = 16;
    const size_t tapCount = std::min(kernel.taps.size(), kMaxTaps);
    int tapRow[kMaxTaps], tapOffset[kMaxTaps], tapWeight[kMaxTaps];
    for (size_t t = 0; t < tapCount; ++t) {
        tapRow[t] = kernel.taps[t].dy;
        tapOffset[t] = kernel.taps[t].dx * kChannels;
        tapWeight[t] = kernel.taps[t].weight;
    }
    for (int y = 0; y < rgb.height(); ++y) {
        int32_t* rows[kRows];
        for (int dy = 0; dy < kRows; ++dy) rows[dy] = &errors[size_t((y + dy) % kRows) * stride];
        int32_t* row = rows[0];
        const auto* src = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uchar* dst = out.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const int slot = (x + kReach) * kChannels;
            const int32_t* carried = row + slot;
            typename Space::Values want = Space::Of(src[x]);
            for (int c = 0; c < kChannels; ++c)
                want[c] = Clamp8(want[c] + carried[c] / kernel.divisor);
            const int index = space.Nearest(want);
            dst[x] = uchar(index);
            const typename Space::Values got = space.OfEntry(index);
            int error[kChannels];
            bool none = true;
            for (int c = 0; c < kChannels; ++c) {
                error[c] = want[c] - got[c];
                none = none && error[c] == 0;
            }
            if (none) continue;
            for (size_t t = 0; t < tapCount; ++t) {
                int32_t* target = rows[tapRow[t]] + slot + tapOffset[t];
                for (int c = 0; c < kChannels; ++c) target[c] += error[c] * tapWeight[t];
            }
        }
        std::fill(row, row + stride, 0);
    }
    return out;
}

template <typename Space>
QImage Reduce(const QImage& rgb, const QList<QRgb>& palette, const Space& space, DitherKind kind) {
    if (kind == DitherKind::Bayer) return ReduceOrdered(rgb, palette, space);
    for (const DiffusionKernel& kernel : kKernels)
        if (kernel.kind == kind) return ReduceDiffused(rgb, palette, space, kernel);
    return ReduceNearest(rgb, palette, space);
}

}  // namespace

QList<QRgb> PanelPalette(int colorBits) {
    QList<QRgb> palette;
    switch (colorBits) {
        case 1:
            palette = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
            break;
        case 4:
            palette = QList<QRgb>(std::begin(kStandardColors), std::end(kStandardColors));
            break;
        case 8:
            for (int i = 0; i < 256; ++i)
                palette.append(
                    qRgb(((i >> 5) & 7) * 255 / 7, ((i >> 2) & 7) * 255 / 7, (i & 3) * 85));
            break;
        default:
            break;
    }
    return palette;
}

int NearestPaletteIndex(const QList<QRgb>& palette, QRgb color) {
    int best = 0;
    int bestDistance = INT32_MAX;
    for (int i = 0; i < palette.size(); ++i) {
        const int dr = qRed(palette[i]) - qRed(color);
        const int dg = qGreen(palette[i]) - qGreen(color);
        const int db = qBlue(palette[i]) - qBlue(color);
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

QImage ReduceToPanelPalette(const QImage& picture, int colorBits, DitherKind kind) {
    const QList<QRgb> palette = PanelPalette(colorBits);
    if (picture.isNull() || palette.isEmpty()) return {};
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    if (rgb.isNull()) return {};
    if (IsGreyPalette(palette)) return Reduce(rgb, palette, GreyValues(palette), kind);
    return Reduce(rgb, palette, ColourValues(palette, colorBits), kind);
}

}  // namespace kestra::kxc
