// Packing a 640 x 400 keyboard background into 256 panel colours, against a plain pass over
// the same pixels (reading each pixel and summing its components).
#include <benchmark/benchmark.h>

#include <QImage>

#include "keyboard_editor/panel_palette.h"

namespace {

// A picture with many colours (a smooth photograph-like gradient) or with few (a drawn
// keyboard background with bands).
QImage Picture(bool manyColours) {
    QImage image(640, 400, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y,
                           manyColours ? qRgb((x * 255) / 639, (y * 255) / 399, (x + y) & 255)
                           : (x / 40 + y / 40) % 3 == 0 ? qRgb(192, 192, 192)
                                                        : qRgb(255, 255, 255));
    return image;
}

void PlainPass(benchmark::State& state) {
    const QImage image = Picture(state.range(0) != 0);
    for (auto _ : state) {
        std::uint64_t sum = 0;
        for (int y = 0; y < image.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                sum += static_cast<unsigned>(qRed(row[x]) + qGreen(row[x]) + qBlue(row[x]));
        }
        benchmark::DoNotOptimize(sum);
    }
}

void Pack256(benchmark::State& state) {
    const QImage image = Picture(state.range(0) != 0);
    clavon::CPanelPalette palette;
    palette.SetNumColors(256);
    const std::size_t size = clavon::PackedSize(640, 400, 8);
    for (auto _ : state) {
        std::vector<std::uint8_t> packed = clavon::PackPixels(image, palette, size);
        benchmark::DoNotOptimize(packed.data());
    }
}

}  // namespace

BENCHMARK(PlainPass)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(Pack256)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
