#include "card_access/ssfdc_interface.h"

#include <cstring>

#include "card_access/card_operations.h"
#include "devices/card_reader.h"

using kestra::ssfdc::Reader;

std::uint16_t iSSFDCPages = 0;

namespace {

constexpr char kSimulationFile[] = "simcard.bin";
constexpr unsigned kNoCardDevice = 0xFF;
constexpr std::uint8_t kStatusFailed = 0x01;

const kestra::ssfdc::CardOperations& operations() {
    return *Reader().operations;
}

// Chooses the access path the platform's card reader configuration names.
bool chooseAccessPath() {
    auto access = kestra::platform::ConfigureCardReader();
    if (!access) return false;
    if (*access == kestra::platform::ReaderAccess::Driver) {
        if (!kestra::ssfdc::OpenDriver()) return false;
        Reader().operations = &kestra::ssfdc::kDriverOperations;
    } else {
        Reader().operations = &kestra::ssfdc::kPortOperations;
    }
    return true;
}

// Every export answers with its failure result rather than let an exception out; an
// exception counts as a failure of the operation.
template <typename Body>
bool guarded(ERRCODE& lastError, ERRCODE onException, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        lastError = onException;
        return false;
    }
}

}  // namespace

CSSFDCInterface::CSSFDCInterface(const char* folder)
    : m_types(std::make_shared<CSSFDCTypes>(folder)) {
    std::memset(m_pageBuffer, 0, sizeof m_pageBuffer);
}

CSSFDCInterface::CSSFDCInterface(const CSSFDCInterface& other)
    : m_types(other.m_types), m_card(other.m_card), m_lastError(other.m_lastError) {
    std::memcpy(m_pageBuffer, other.m_pageBuffer, sizeof m_pageBuffer);
}

CSSFDCInterface& CSSFDCInterface::operator=(const CSSFDCInterface& other) {
    if (this == &other) return *this;
    m_types = other.m_types;
    m_card = other.m_card;
    m_lastError = other.m_lastError;
    std::memcpy(m_pageBuffer, other.m_pageBuffer, sizeof m_pageBuffer);
    return *this;
}

CSSFDCInterface::~CSSFDCInterface() {
    CloseCardFile(kSimulationFile);
}

bool CSSFDCInterface::fail(ERRCODE error) {
    m_lastError = error;
    return false;
}

bool CSSFDCInterface::rowOnCard(unsigned row) const {
    const auto pages = std::uint64_t(std::uint32_t(m_card.Blocks)) * std::uint32_t(m_card.Pages);
    return pages == 0 || row < pages;
}

bool CSSFDCInterface::initSSFDC(unsigned port) {
    m_lastError = SSFDC_OK;
    return guarded(m_lastError, SSFDC_ERR_INIT, [&] {
        Reader().port = port;
        if (!chooseAccessPath()) return fail(SSFDC_ERR_INIT);
        operations().reset();
        if (!getSSFDCInfo(m_card)) return false;
        OpenCardFile(kSimulationFile);
        return true;
    });
}

bool CSSFDCInterface::getSSFDCInfo(CSSFDCStatus& out) {
    m_lastError = SSFDC_OK;
    return guarded(m_lastError, SSFDC_ERR_NOCARD, [&] {
        auto& reader = Reader();
        const auto& card = operations();
        if (!card.reset() || !card.readId(reader.lastId) || !card.readStatus(reader.lastStatus))
            return fail(SSFDC_ERR_NOCARD);
        const unsigned device = (reader.lastId >> 8) & 0xFF;

        const std::int32_t keptMB = out.MB;
        out = CSSFDCStatus();
        out.MB = keptMB;
        reader.rowAddressBytes = 2;
        if (device == kNoCardDevice) return fail(SSFDC_ERR_NOCARD);
        const CSSFDCStatus* type = m_types->getSSFDCData(device);
        if (!type) return fail(SSFDC_ERR_UNKNOWN_TYPE);

        std::memcpy(out.Manufacturer, type->Manufacturer, sizeof out.Manufacturer);
        out.Manufacturer[sizeof out.Manufacturer - 1] = 0;
        out.Blocks = type->Blocks;
        out.BlockSize = type->BlockSize;
        out.Pages = type->Pages;
        out.PageSize = type->PageSize;
        out.LastAddr = type->LastAddr;
        out.TypeCode = static_cast<std::int32_t>(device);
        out.StatusByte = reader.lastStatus;
        iSSFDCPages = static_cast<std::uint16_t>(type->Pages);
        reader.rowAddressBytes = kestra::ssfdc::RowAddressBytesFor(
            std::uint64_t(std::uint32_t(type->Blocks)) * std::uint32_t(type->Pages));
        return true;
    });
}

bool CSSFDCInterface::readPage(unsigned row, char* data, unsigned length, unsigned offset) {
    m_lastError = SSFDC_OK;
    return guarded(m_lastError, SSFDC_ERR_READ, [&] {
        const auto pageSize = static_cast<std::uint32_t>(m_card.PageSize);
        if (std::uint64_t{offset} + length > pageSize || pageSize > kPageBufferSize ||
            (length > 0 && !data) || !rowOnCard(row))
            return fail(SSFDC_ERR_READ);
        auto* bytes = reinterpret_cast<std::uint8_t*>(data);
        if (offset == 0) {
            if (!operations().readData(row, bytes, length)) return fail(SSFDC_ERR_READ);
            return true;
        }
        auto* page = reinterpret_cast<std::uint8_t*>(m_pageBuffer);
        if (!operations().readData(row, page, pageSize)) return fail(SSFDC_ERR_READ);
        std::memcpy(data, m_pageBuffer + offset, length);
        return true;
    });
}

bool CSSFDCInterface::writePage(unsigned row, char* data, unsigned length, unsigned) {
    m_lastError = SSFDC_OK;
    return guarded(m_lastError, SSFDC_ERR_WRITE, [&] {
        // Bytes past the end of the page would never reach the card.
        if (length > static_cast<std::uint32_t>(m_card.PageSize) || (length > 0 && !data) ||
            !rowOnCard(row))
            return fail(SSFDC_ERR_WRITE);
        if (!operations().writeData(row, reinterpret_cast<const std::uint8_t*>(data), length))
            return fail(SSFDC_ERR_WRITE);
        return true;
    });
}

bool CSSFDCInterface::deleteBlock(unsigned row, bool& failed) {
    m_lastError = SSFDC_OK;
    failed = false;
    return guarded(m_lastError, SSFDC_ERR_ERASE, [&] {
        if (!rowOnCard(row)) return fail(SSFDC_ERR_ERASE);
        if (!operations().erase(row)) return fail(SSFDC_ERR_ERASE);
        std::uint8_t status = 0;
        if (!operations().readStatus(status)) return fail(SSFDC_ERR_NOCARD);
        failed = (status & kStatusFailed) != 0;
        return true;
    });
}

int CSSFDCInterface::myEraseSSFDC(unsigned row) {
    return guarded(m_lastError, m_lastError, [&] { return operations().erase(row); }) ? 1 : 0;
}

int CSSFDCInterface::myReadSSFDC(unsigned row, unsigned char* data, int length) {
    if (length < 0 || (length > 0 && !data)) return 0;
    return guarded(m_lastError, m_lastError,
                   [&] { return operations().readData(row, data, unsigned(length)); })
               ? 1
               : 0;
}

int CSSFDCInterface::myWriteSSFDC(unsigned row, unsigned char* data, int length) {
    if (length < 0 || (length > 0 && !data)) return 0;
    return guarded(m_lastError, m_lastError,
                   [&] { return operations().writeData(row, data, unsigned(length)); })
               ? 1
               : 0;
}

ERRCODE CSSFDCInterface::getLastError() {
    return m_lastError;
}

bool CSSFDCInterface::isSimulationMode() {
    return false;
}

void CSSFDCInterface::setSimCardSize(unsigned) {}

void CSSFDCInterface::CloseCardFile(const char*) {}

bool CSSFDCInterface::OpenCardFile(const char*) {
    return true;
}
