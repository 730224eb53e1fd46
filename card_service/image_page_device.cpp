#include "card_service/image_page_device.h"

#include <algorithm>

#include "card_service/card_errors.h"
#include "devices/sim_card.h"
#include "platform/files.h"
#include "platform/image_cursor.h"

namespace kestra::card {

ImagePageDevice ImagePageDevice::Load(const std::string& path) {
    const auto contents = platform::ReadWholeFile(path);
    if (!contents)
        throw CardError(KESSSFDC_HOST_FILE, "The card image '" + path + "' cannot be read.");
    return FromBytes({contents->begin(), contents->end()}, path);
}

ImagePageDevice ImagePageDevice::FromBytes(std::vector<std::uint8_t> image,
                                           const std::string& name) {
    platform::SimCardLayout layout;
    try {
        layout = platform::ParseSimCardHeader(std::as_bytes(std::span(image)), image.size());
    } catch (const ImageError& error) {
        throw CardError(KESSSFDC_HOST_FILE,
                        "'" + name + "' is not a card image: " + std::string(error.what()));
    }
    const auto& g = layout.geometry;
    if (g.dataSize != kPageData || g.spareSize != kPageSpare)
        throw CardError(KESSSFDC_BAD_CARD, "The card in '" + name + "' has pages of " +
                                               std::to_string(g.dataSize) +
                                               " bytes; only cards with pages of 512 bytes "
                                               "carry logical blocks.");
    return ImagePageDevice(std::move(image), layout.headerSize, {g.blocks, g.pagesPerBlock});
}

DeviceResult ImagePageDevice::readPage(unsigned row, RawPage page) {
    if (row >= geometry_.pages()) return DeviceResult::Fault;
    const auto first = image_.begin() + std::ptrdiff_t(pagesAt_ + std::size_t{row} * kRawPage);
    std::copy_n(first, kRawPage, page.begin());
    return DeviceResult::Ok;
}

}  // namespace kestra::card
