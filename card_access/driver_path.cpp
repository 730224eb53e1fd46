// The driver path: every operation is one control request to the reader's kernel driver.
#include <cstring>
#include <memory>
#include <new>

#include "card_access/card_operations.h"
#include "devices/ssfdc_driver.h"
#include "platform/records.h"

namespace kestra::ssfdc {

namespace driver = platform::ssfdc;

namespace {

// One synchronous request; true when it succeeded and returned exactly `expected` bytes.
bool request(DWORD code, void* input, DWORD inputSize, void* output, DWORD outputSize,
             DWORD expected) {
    HANDLE device = Reader().driver;
    if (device == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    if (!DeviceIoControl(device, code, input, inputSize, output, outputSize, &returned, nullptr))
        return false;
    return returned == expected;
}

bool driverReset() {
    return request(driver::kReset, nullptr, 0, nullptr, 0, 0);
}

bool driverReadId(std::uint32_t& id) {
    std::uint8_t bytes[4] = {};
    if (!request(driver::kReadId, nullptr, 0, bytes, sizeof bytes, sizeof bytes)) return false;
    id = ReadLe32(bytes);
    return true;
}

bool driverReadStatus(std::uint8_t& status) {
    return request(driver::kReadStatus, nullptr, 0, &status, 1, 1);
}

bool driverReadData(unsigned row, std::uint8_t* data, unsigned length) {
    std::uint8_t input[driver::kReadRequestSize];
    WriteLe32(input, row);
    WriteLe32(input + 4, length);
    return request(driver::kReadPage, input, sizeof input, data, length, length);
}

bool driverWriteData(unsigned row, const std::uint8_t* data, unsigned length) {
    const std::size_t size =
        std::size_t{length} + driver::kWriteRequestHead + driver::kWriteRequestPad;
    if (size > 0xFFFFFFFFu) return false;
    std::unique_ptr<std::uint8_t[]> input(new (std::nothrow) std::uint8_t[size]());
    if (!input) return false;
    WriteLe32(input.get(), row);
    WriteLe32(input.get() + 4, length);
    if (length) std::memcpy(input.get() + driver::kWriteRequestHead, data, length);
    return request(driver::kWritePage, input.get(), static_cast<DWORD>(size), nullptr, 0, 0);
}

bool driverErase(unsigned row) {
    std::uint8_t input[driver::kEraseRequestSize];
    WriteLe32(input, row);
    return request(driver::kEraseBlock, input, sizeof input, nullptr, 0, 0);
}

}  // namespace

const CardOperations kDriverOperations = {driverReset,    driverReadId,    driverReadStatus,
                                          driverReadData, driverWriteData, driverErase};

bool OpenDriver() {
    auto& reader = Reader();
    if (reader.driver != INVALID_HANDLE_VALUE) return false;
    reader.driver = CreateFile(driver::kDevicePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return reader.driver != INVALID_HANDLE_VALUE;
}

}  // namespace kestra::ssfdc
