#include "card_service/surface_test.h"

#include <array>
#include <vector>

#include "card_service/card_errors.h"
#include "card_service/spare_area.h"

namespace kestra::card {

SurfaceReport TestSurface(PageDevice& device, ProgressSink* progress) {
    const CardGeometry geometry = device.geometry();
    SurfaceReport report;
    report.blocks = geometry.blocks;
    ProgressScope scope(progress, "Testing the card",
                        std::uint64_t{geometry.blocks} * geometry.blockRawBytes());
    std::array<std::uint8_t, kRawPage> page;
    for (unsigned block = 0; block < geometry.blocks; ++block) {
        bool bad = false, erased = true;
        for (unsigned p = 0; p < geometry.pagesPerBlock; ++p) {
            if (device.readPage(block * geometry.pagesPerBlock + p, page) != DeviceResult::Ok)
                throw CardError(KESSSFDC_READER_FAULT,
                                "The card reader does not answer. Check the reader and the card.");
            const PageLabel label = ReadLabel(page);
            if (p < 2 && !label.blockGood) bad = true;
            if (label.erased || bad) continue;
            erased = false;
            switch (CheckPageData(page)) {
                case PageCheck::Clean:
                    break;
                case PageCheck::Corrected:
                    ++report.correctedPages;
                    break;
                case PageCheck::Uncorrectable:
                    ++report.damagedPages;
                    break;
            }
        }
        report.badBlocks += bad;
        report.erasedBlocks += erased && !bad;
        scope.advance(std::uint64_t{block + 1} * geometry.blockRawBytes());
    }
    scope.complete();
    return report;
}

void PrintSurfaceReport(const SurfaceReport& report, std::FILE* out) {
    std::fprintf(out, "Card test: every page of %u blocks read.\n", report.blocks);
    std::fprintf(out, "Bad blocks:      %u\n", report.badBlocks);
    std::fprintf(out, "Erased blocks:   %u\n", report.erasedBlocks);
    std::fprintf(out, "Corrected pages: %u\n", report.correctedPages);
    std::fprintf(out, "Damaged pages:   %u\n", report.damagedPages);
}

}  // namespace kestra::card
