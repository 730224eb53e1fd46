// Converting a 1024 x 768 photo-like picture for an 8-bit panel with each dither kind, for a
// 320 x 240 panel at each depth, and to 1 bit at its own size, against a plain copy of the same
// pixels.
#include <benchmark/benchmark.h>

#include <QImage>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "extension_classes/panel_image.h"

using namespace kestra::kxc;

namespace {

// Smooth colour fields with some grain, as a photo has.
const QImage& Photo() {
    static const QImage photo = [] {
        QImage image(1024, 768, QImage::Format_RGB32);
        std::mt19937 random(3);
        std::uniform_int_distribution<int> grain(-12, 12);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const double r = 128 + 100 * std::sin(x / 97.0) * std::cos(y / 61.0);
                const double g = 128 + 90 * std::sin((x + y) / 143.0);
                const double b = 128 + 110 * std::cos((x - 2 * y) / 211.0);
                line[x] = qRgb(std::clamp(int(r) + grain(random), 0, 255),
                               std::clamp(int(g) + grain(random), 0, 255),
                               std::clamp(int(b) + grain(random), 0, 255));
            }
        }
        return image;
    }();
    return photo;
}

void BM_PlainCopy(benchmark::State& state) {
    const QImage& photo = Photo();
    QImage copy(photo.size(), photo.format());
    for (auto _ : state) {
        std::memcpy(copy.bits(), photo.constBits(), size_t(photo.sizeInBytes()));
        benchmark::DoNotOptimize(copy.bits());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond);

void BM_ConvertTo8Bits(benchmark::State& state) {
    PanelImageSettings settings;
    settings.colorBits = 8;
    settings.dither = int(state.range(0));
    static const char* const names[] = {"None",  "Bayer",  "Floyd-Steinberg", "Stucki",
                                        "Burke", "Sierra", "Stevenson Arce",  "Jarvis"};
    state.SetLabel(names[state.range(0)]);
    for (auto _ : state) benchmark::DoNotOptimize(ConvertPanelImage(Photo(), settings));
}
BENCHMARK(BM_ConvertTo8Bits)->DenseRange(0, 7)->Unit(benchmark::kMillisecond);

// A photo converted for a 320 x 240 panel, scaled smoothly before its colours are reduced,
// at each colour depth (Floyd-Steinberg).
void BM_ConvertForThePanel(benchmark::State& state) {
    PanelImageSettings settings;
    settings.colorBits = int(state.range(0));
    state.SetLabel(std::to_string(state.range(0)) + " bits");
    for (auto _ : state)
        benchmark::DoNotOptimize(ConvertPanelImage(Photo(), settings, QSize(320, 240)));
}
BENCHMARK(BM_ConvertForThePanel)->Arg(1)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);

// The photo at its own size at 1 bit: error diffusion on the grey level.
void BM_ConvertTo1Bit(benchmark::State& state) {
    PanelImageSettings settings;
    settings.colorBits = 1;
    for (auto _ : state) benchmark::DoNotOptimize(ConvertPanelImage(Photo(), settings));
}
BENCHMARK(BM_ConvertTo1Bit)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
