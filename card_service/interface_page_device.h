// The card interface of the card access library seen as a page device (for the file system)
// and as raw pages (for whole-card images).
#pragma once

#include <optional>
#include <string>

#include "card_access/ssfdc_interface.h"
#include "card_service/card_errors.h"
#include "card_service/page_device.h"
#include "card_service/raw_image.h"

namespace kestra::card {

class InterfacePageDevice : public PageDevice, public RawCard {
  public:
    // `card` is the detected card; the interface must have been initialised.
    InterfacePageDevice(CSSFDCInterface& reader, const CSSFDCStatus& card);

    // Whether the file system can live on this card: pages of 512 data bytes and 16 spare
    // bytes, and a size the directory can describe.
    static bool SuitsFileSystem(const CSSFDCStatus& card);

    CardGeometry geometry() const override { return geometry_; }
    DeviceResult readPage(unsigned row, RawPage page) override;
    DeviceResult programPage(unsigned row, ConstRawPage page) override;
    DeviceResult eraseBlock(unsigned block) override;
    bool cardPresent() override;

    unsigned blocks() const override { return geometry_.blocks; }
    unsigned pagesPerBlock() const override { return geometry_.pagesPerBlock; }
    unsigned pageSize() const override { return pageSize_; }
    DeviceResult readRaw(unsigned row, std::span<std::uint8_t> page) override;
    DeviceResult programRaw(unsigned row, std::span<const std::uint8_t> page) override;
    DeviceResult eraseRawBlock(unsigned block) override { return eraseBlock(block); }
    bool rawCardPresent() override { return cardPresent(); }

    // Every later program or erase throws CardError(code, report) before touching the card:
    // a card that can be read but not written.
    void setReadOnly(KESSSFDCERRORCODE code, std::string report);

  private:
    void requireWritable() const;

    std::optional<CardError> readOnly_;
    CSSFDCInterface& reader_;
    CardGeometry geometry_;
    unsigned pageSize_;
    int typeCode_;
};

}  // namespace kestra::card
