// Packing a 640 x 400 keyboard background into 256 panel colours, against a plain pass over
// the same pixels (reading each pixel and summing its components). And the texts an edit of a
// large keyboard writes for its undo step (the snapshot, with every symbol's current geometry)
// against the document text as it is saved, and reading a snapshot back as undo does.
#include <benchmark/benchmark.h>

#include <QImage>
#include <memory>
#include <string>

#include "keyboard_editor/clavon_model.h"
#include "keyboard_editor/kbd_document.h"
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

// Keys and value boxes in turn, a thousand of them, moved off the grid as a drag leaves them.
std::unique_ptr<clavon::CClavonModel> LargeKeyboard() {
    auto model = std::make_unique<clavon::CClavonModel>();
    for (int i = 0; i < 1000; ++i) {
        std::unique_ptr<clavon::CODKesSymbol> symbol;
        if (i % 2)
            symbol = std::make_unique<clavon::CSymValue>(*model);
        else
            symbol = std::make_unique<clavon::CKesButton>(*model);
        symbol->Properties().Set(clavon::CKesButton::kLabel, "Key " + std::to_string(i));
        symbol->MoveTo((i % 13) * 48 + 0.5, (i / 13 % 12) * 32 + 0.25);
        model->Add(std::move(symbol));
    }
    return model;
}

void SavedText(benchmark::State& state) {
    const auto model = LargeKeyboard();
    for (auto _ : state) benchmark::DoNotOptimize(clavon::SaveKbd(*model).size());
}

void SnapshotText(benchmark::State& state) {
    const auto model = LargeKeyboard();
    for (auto _ : state) benchmark::DoNotOptimize(clavon::SnapshotKbd(*model).size());
}

void RestoreSnapshot(benchmark::State& state) {
    const QByteArray snapshot = clavon::SnapshotKbd(*LargeKeyboard());
    std::string error;
    for (auto _ : state) benchmark::DoNotOptimize(clavon::ParseKbd(snapshot, error).get());
}

}  // namespace

BENCHMARK(SavedText)->Unit(benchmark::kMillisecond);
BENCHMARK(SnapshotText)->Unit(benchmark::kMillisecond);
BENCHMARK(RestoreSnapshot)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainPass)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(Pack256)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
