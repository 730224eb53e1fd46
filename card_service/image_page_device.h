// A card image file of the simulated reader (devices/sim_card.h) read as a page device, for
// looking at a card without a reader. It only reads: programs and erases fail.
#pragma once

#include <string>
#include <vector>

#include "card_service/page_device.h"

namespace kestra::card {

class ImagePageDevice : public PageDevice {
  public:
    // Reads the whole image; throws CardError when the file cannot be read, is not a card
    // image, or its pages are not of 512 data and 16 spare bytes.
    static ImagePageDevice Load(const std::string& path);
    // The same from the bytes of an image.
    static ImagePageDevice FromBytes(std::vector<std::uint8_t> image, const std::string& name);

    CardGeometry geometry() const override { return geometry_; }
    DeviceResult readPage(unsigned row, RawPage page) override;
    DeviceResult programPage(unsigned, ConstRawPage) override { return DeviceResult::Fault; }
    DeviceResult eraseBlock(unsigned) override { return DeviceResult::Fault; }

  private:
    ImagePageDevice(std::vector<std::uint8_t> image, std::size_t pagesAt, CardGeometry geometry)
        : image_(std::move(image)), pagesAt_(pagesAt), geometry_(geometry) {}

    std::vector<std::uint8_t> image_;
    std::size_t pagesAt_;
    CardGeometry geometry_;
};

}  // namespace kestra::card
