#include "card_service/interface_page_device.h"

namespace kestra::card {

InterfacePageDevice::InterfacePageDevice(CSSFDCInterface& reader, const CSSFDCStatus& card)
    : reader_(reader),
      geometry_{static_cast<unsigned>(card.Blocks), static_cast<unsigned>(card.Pages)},
      pageSize_(static_cast<unsigned>(card.PageSize)),
      typeCode_(card.TypeCode) {}

bool InterfacePageDevice::SuitsFileSystem(const CSSFDCStatus& card) {
    return card.PageSize == static_cast<int>(kRawPage) && card.Pages >= 1 && card.Pages <= 256 &&
           card.Blocks >= 8 && card.Blocks <= 65536;
}

DeviceResult InterfacePageDevice::readPage(unsigned row, RawPage page) {
    return readRaw(row, page);
}

DeviceResult InterfacePageDevice::programPage(unsigned row, ConstRawPage page) {
    return programRaw(row, page);
}

DeviceResult InterfacePageDevice::readRaw(unsigned row, std::span<std::uint8_t> page) {
    return reader_.readPage(row, reinterpret_cast<char*>(page.data()),
                            static_cast<unsigned>(page.size()), 0)
               ? DeviceResult::Ok
               : DeviceResult::Fault;
}

void InterfacePageDevice::setReadOnly(KESSSFDCERRORCODE code, std::string report) {
    readOnly_ = CardError(code, report);
}

void InterfacePageDevice::requireWritable() const {
    if (readOnly_) throw *readOnly_;
}

DeviceResult InterfacePageDevice::programRaw(unsigned row, std::span<const std::uint8_t> page) {
    requireWritable();
    // The interface takes a non-const buffer but only reads it.
    auto* data = const_cast<char*>(reinterpret_cast<const char*>(page.data()));
    return reader_.writePage(row, data, static_cast<unsigned>(page.size()), 0)
               ? DeviceResult::Ok
               : DeviceResult::Fault;
}

DeviceResult InterfacePageDevice::eraseBlock(unsigned block) {
    requireWritable();
    bool failed = false;
    if (!reader_.deleteBlock(block * geometry_.pagesPerBlock, failed)) return DeviceResult::Fault;
    return failed ? DeviceResult::Failed : DeviceResult::Ok;
}

bool InterfacePageDevice::cardPresent() {
    CSSFDCStatus probe;
    return reader_.getSSFDCInfo(probe) && probe.TypeCode == typeCode_;
}

}  // namespace kestra::card
