// smlogical: the logical image of a card, as a USB SmartMedia reader shows it.
//
//   smlogical CARDIMAGE LOGICALIMAGE
//
// Reads a card image of the simulated parallel-port reader the way a standard SmartMedia
// translation layer reads the card (card information structure, zones, block addresses,
// first valid copy of each logical block) and writes the card's logical blocks, one after the
// other, to LOGICALIMAGE. The result can be used wherever a USB reader's disk can, for
// example as KESTRA_CARD_READER=blockdev:LOGICALIMAGE. A card image that a program is changing
// is waited for.
#include <cstdio>
#include <cstring>
#include <span>
#include <string>

#include "card_service/card_errors.h"
#include "card_service/image_page_device.h"
#include "card_service/standard_layer.h"
#include "devices/card_lock.h"
#include "platform/file_writer.h"
#include "platform/standard_output.h"

namespace {

constexpr const char* kUsage =
    "Usage: smlogical CARDIMAGE LOGICALIMAGE\n"
    "Writes the logical image of a card image of the simulated reader, as a USB SmartMedia\n"
    "reader shows the card: KESTRA_CARD_READER=blockdev:LOGICALIMAGE then takes it for the\n"
    "reader's disk. Exit codes: 0 done, 1 the card image cannot be read or the logical image\n"
    "(or this usage) cannot be written, 2 the command line is wrong.\n";

int Run(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 3) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        // The card is read as a whole, never half-way through another program's change.
        const auto lock = kestra::platform::CardLock::Take(
            argv[1], kestra::platform::CardUse::Read, [](const std::string& holders) {
                std::fprintf(stderr, "smlogical: the card is in use by %s; waiting for it\n",
                             holders.c_str());
            });
        kestra::card::ImagePageDevice card = kestra::card::ImagePageDevice::Load(argv[1]);
        const kestra::card::LogicalImage image = kestra::card::ReadLogicalImage(card);
        for (const auto& page : image.unreadablePages)
            std::fprintf(stderr, "smlogical: page %u of logical block %u cannot be read\n",
                         page.page, page.logical);
        kestra::platform::FileWriter out(argv[2]);
        if (!out.open() || !out.write(std::span<const std::uint8_t>(image.bytes)) ||
            !out.commit()) {
            std::fprintf(stderr, "smlogical: %s cannot be written: %s\n", argv[2],
                         out.error().c_str());
            return 1;
        }
    } catch (const kestra::card::CardError& error) {
        std::fprintf(stderr, "smlogical: %s\n", error.what());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return kestra::platform::FinishStandardOutput("smlogical", Run(argc, argv), 1);
}
