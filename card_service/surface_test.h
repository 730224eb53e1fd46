// The card's test mode: every page of the card read once, without writing anything.
#pragma once

#include <cstdint>
#include <cstdio>

#include "card_service/page_device.h"
#include "card_service/progress.h"

namespace kestra::card {

struct SurfaceReport {
    unsigned blocks = 0;
    unsigned badBlocks = 0;       // marked bad in the first or second page
    unsigned erasedBlocks = 0;    // every page reads 0xFF
    unsigned correctedPages = 0;  // a bit error the ECC puts right
    unsigned damagedPages = 0;    // written pages whose errors the ECC cannot put right
};

// Throws CardError when the reader fails.
SurfaceReport TestSurface(PageDevice& device, ProgressSink* progress);
void PrintSurfaceReport(const SurfaceReport& report, std::FILE* out);

}  // namespace kestra::card
