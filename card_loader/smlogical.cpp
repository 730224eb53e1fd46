// smlogical: the logical image of a card, as a USB SmartMedia reader shows it.
//
//   smlogical CARDIMAGE LOGICALIMAGE
//
// Reads a card image of the simulated parallel-port reader the way a standard SmartMedia
// translation layer reads the card (card information structure, zones, block addresses,
// first valid copy of each logical block) and writes the card's logical blocks, one after the
// other, to LOGICALIMAGE. The result can be used wherever a USB reader's disk can, for
// example as KESTRA_CARD_READER=blockdev:LOGICALIMAGE.
#include <cstdio>
#include <span>

#include "card_service/card_errors.h"
#include "card_service/image_page_device.h"
#include "card_service/standard_layer.h"
#include "platform/file_writer.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "Usage: smlogical CARDIMAGE LOGICALIMAGE\n");
        return 2;
    }
    try {
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
