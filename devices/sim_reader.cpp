#include "devices/sim_reader.h"

#include <cstring>

#include "devices/ssfdc_driver.h"
#include "platform/records.h"

namespace kestra::platform {

namespace {
constexpr BYTE kLatchStrobe = 0x01;
constexpr BYTE kReadStrobe = 0x02;
constexpr BYTE kWriteStrobe = 0x04;
constexpr BYTE kNibbleSelect = 0x08;

constexpr BYTE kCommandLatch = 0x01;
constexpr BYTE kAddressLatch = 0x02;
constexpr BYTE kWriteEnable = 0x04;
constexpr BYTE kCardDrivesBus = 0x10;

constexpr BYTE kBusyLine = 0x08;
// Status bits 0-2 are not connected and read high.
constexpr BYTE kUnusedStatusBits = 0x07;

bool rising(BYTE before, BYTE after, BYTE bit) {
    return !(before & bit) && (after & bit);
}
}  // namespace

BYTE SimParallelReader::in(WORD port) {
    ++accesses_.reads;
    switch (port - base_) {
        case 0:
            return data_;
        case 1: {
            const bool busy = card_ && card_->busy();
            const BYTE nibble = (control_ & kNibbleSelect) ? (fromCard_ & 0x0F) : (fromCard_ >> 4);
            return static_cast<BYTE>(((nibble << 4) ^ 0x80) | (busy ? kBusyLine : 0) |
                                     kUnusedStatusBits);
        }
        case 2:
            return control_;
        default:
            return 0xFF;
    }
}

void SimParallelReader::out(WORD port, BYTE value) {
    ++accesses_.writes;
    if (port == base_) {
        data_ = value;
    } else if (port == base_ + 2) {
        const BYTE before = control_;
        control_ = value;
        if (rising(before, value, kLatchStrobe)) {
            latch_ = data_;
            if (card_) card_->setWriteProtect(!(latch_ & kWriteEnable));
        }
        if (rising(before, value, kWriteStrobe)) strobeWrite();
        if (rising(before, value, kReadStrobe)) strobeRead();
    }
}

void SimParallelReader::strobeWrite() {
    if (!selected() || (latch_ & kCardDrivesBus)) return;
    const BYTE cycle = latch_ & (kCommandLatch | kAddressLatch);
    if (cycle == kCommandLatch)
        card_->command(data_);
    else if (cycle == kAddressLatch)
        card_->address(data_);
    else if (cycle == 0)
        card_->writeData(data_);
}

void SimParallelReader::strobeRead() {
    const bool cardDrives =
        selected() && (latch_ & kCardDrivesBus) && !(latch_ & (kCommandLatch | kAddressLatch));
    fromCard_ = cardDrives ? card_->readData() : 0xFF;
}

bool SimDriverDevice::waitReady() {
    if (!card_) return true;
    for (DWORD look = 0; look < kReadyLooks; ++look)
        if (!card_->busy()) return true;
    return false;
}

void SimDriverDevice::sendAddress(DWORD row, bool withColumn) {
    if (!card_) return;
    if (withColumn) card_->address(0x00);
    for (unsigned i = 0; i < card_->geometry().rowAddressBytes(); ++i)
        card_->address(static_cast<BYTE>(row >> (8 * i)));
}

BYTE SimDriverDevice::readByte() {
    return card_ ? card_->readData() : 0xFF;
}

bool SimDriverDevice::control(DWORD code, const void* input, DWORD inputSize, void* output,
                              DWORD outputSize, DWORD& returned, DWORD& error) {
    ++requests_;
    returned = 0;
    const auto* in = static_cast<const std::byte*>(input);
    auto* out = static_cast<BYTE*>(output);
    auto fail = [&](DWORD why) {
        error = why;
        return false;
    };
    auto command = [&](BYTE c) {
        if (card_) card_->command(c);
    };
    auto inputWord = [&](DWORD at) { return ReadLe32(in + at); };

    switch (code) {
        case ssfdc::kReset:
            command(0xFF);
            return waitReady() ? true : fail(ERROR_NOT_READY);
        case ssfdc::kReadId: {
            if (outputSize < 4 || !out) return fail(ERROR_INSUFFICIENT_BUFFER);
            if (!waitReady()) return fail(ERROR_NOT_READY);
            command(0x90);
            if (card_) card_->address(0x00);
            const BYTE maker = readByte();
            const BYTE device = readByte();
            const BYTE id[4] = {maker, device, 0, 0};
            std::memcpy(out, id, 4);
            returned = 4;
            return true;
        }
        case ssfdc::kReadStatus:
            if (outputSize < 1 || !out) return fail(ERROR_INSUFFICIENT_BUFFER);
            if (!waitReady()) return fail(ERROR_NOT_READY);
            command(0x70);
            out[0] = readByte();
            returned = 1;
            return true;
        case ssfdc::kReadPage: {
            if (inputSize != ssfdc::kReadRequestSize || !in) return fail(ERROR_INVALID_PARAMETER);
            const DWORD row = inputWord(0);
            const DWORD count = inputWord(4);
            if (count > outputSize || (count > 0 && !out)) return fail(ERROR_INSUFFICIENT_BUFFER);
            command(0x00);
            sendAddress(row, true);
            if (!waitReady()) return fail(ERROR_NOT_READY);
            for (DWORD i = 0; i < count; ++i) out[i] = readByte();
            returned = count;
            return true;
        }
        case ssfdc::kWritePage: {
            if (inputSize < ssfdc::kWriteRequestHead || !in) return fail(ERROR_INVALID_PARAMETER);
            const DWORD row = inputWord(0);
            const DWORD count = inputWord(4);
            if (std::uint64_t{count} + ssfdc::kWriteRequestHead > inputSize)
                return fail(ERROR_INVALID_PARAMETER);
            if (card_) card_->setWriteProtect(false);
            command(0x80);
            sendAddress(row, true);
            for (DWORD i = 0; i < count; ++i)
                if (card_) card_->writeData(static_cast<BYTE>(in[ssfdc::kWriteRequestHead + i]));
            command(0x10);
            const bool ready = waitReady();
            if (card_) card_->setWriteProtect(true);
            return ready ? true : fail(ERROR_NOT_READY);
        }
        case ssfdc::kEraseBlock: {
            if (inputSize != ssfdc::kEraseRequestSize || !in) return fail(ERROR_INVALID_PARAMETER);
            if (card_) card_->setWriteProtect(false);
            command(0x60);
            sendAddress(inputWord(0), false);
            command(0xD0);
            const bool ready = waitReady();
            if (card_) card_->setWriteProtect(true);
            return ready ? true : fail(ERROR_NOT_READY);
        }
        default:
            return fail(ERROR_NOT_SUPPORTED);
    }
}

}  // namespace kestra::platform
