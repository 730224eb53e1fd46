// The direct port path: the library drives the reader through the parallel port registers.
//
// Data register at the base address P, status at P + 1, control at P + 2. Every change of
// the control register is made on its shadow and then written out; the reader's control
// latch is kept as a shadow too and written through the data register and the latch
// strobe. Waits poll the card's busy line a bounded number of times.
#include <cstdint>

#include "card_access/card_operations.h"
#include "devices/ports.h"

namespace kestra::ssfdc {

namespace {

using platform::ReadPort;
using platform::WritePort;

// Control register bits.
constexpr std::uint8_t kLatchStrobe = 0x01;
constexpr std::uint8_t kReadHold = 0x02;
constexpr std::uint8_t kWriteStrobe = 0x04;
constexpr std::uint8_t kLowNibble = 0x08;
// Status register bits.
constexpr std::uint8_t kBusy = 0x08;
constexpr std::uint8_t kInvertedBit = 0x80;
// Reader control latch bits.
constexpr std::uint8_t kCommandLatch = 0x01;
constexpr std::uint8_t kAddressLatch = 0x02;
constexpr std::uint8_t kWriteEnable = 0x04;
constexpr std::uint8_t kDeselect = 0x08;
constexpr std::uint8_t kCardDrives = 0x10;

// Card commands.
constexpr std::uint8_t kCmdReset = 0xFF;
constexpr std::uint8_t kCmdReadId = 0x90;
constexpr std::uint8_t kCmdReadStatus = 0x70;
constexpr std::uint8_t kCmdRead = 0x00;
constexpr std::uint8_t kCmdDataInput = 0x80;
constexpr std::uint8_t kCmdProgram = 0x10;
constexpr std::uint8_t kCmdEraseSetup = 0x60;
constexpr std::uint8_t kCmdEraseConfirm = 0xD0;

// Poll limits of the waits.
constexpr unsigned kResetPolls = 1000000;
constexpr unsigned kCommandPolls = 1000;
constexpr unsigned kByteWritePolls = 100;
constexpr unsigned kProgramPolls = 10000;
constexpr unsigned kErasePolls = 100000;

WORD dataPort() {
    return static_cast<WORD>(Reader().port);
}
WORD statusPort() {
    return static_cast<WORD>(Reader().port + 1);
}
WORD controlPort() {
    return static_cast<WORD>(Reader().port + 2);
}

void writeControl() {
    WritePort(controlPort(), Reader().control);
}
void setControl(std::uint8_t bits) {
    Reader().control |= bits;
    writeControl();
}
void clearControl(std::uint8_t bits) {
    Reader().control &= static_cast<std::uint8_t>(~bits);
    writeControl();
}

// A value on the data register, taken by a rising edge of one control bit.
void strobe(std::uint8_t value, std::uint8_t bit) {
    WritePort(dataPort(), value);
    clearControl(bit);
    setControl(bit);
}

void latchWrite() {
    strobe(Reader().latch, kLatchStrobe);
}
void latchSet(std::uint8_t bits) {
    Reader().latch |= bits;
    latchWrite();
}
void latchClear(std::uint8_t bits) {
    Reader().latch &= static_cast<std::uint8_t>(~bits);
    latchWrite();
}

void busWrite(std::uint8_t value) {
    strobe(value, kWriteStrobe);
}

std::uint8_t busRead() {
    setControl(kReadHold);
    clearControl(kLowNibble);
    const auto high = static_cast<std::uint8_t>((ReadPort(statusPort()) ^ kInvertedBit) & 0xF0);
    setControl(kLowNibble);
    const auto low =
        static_cast<std::uint8_t>(((ReadPort(statusPort()) ^ kInvertedBit) >> 4) & 0x0F);
    clearControl(kReadHold);
    return high | low;
}

// True when the busy line reads clear within `polls` polls.
bool waitReady(unsigned polls) {
    ReadPort(statusPort());
    ReadPort(statusPort());
    for (unsigned poll = 0; poll < polls; ++poll)
        if (!(ReadPort(statusPort()) & kBusy)) return true;
    return false;
}

void portInit() {
    Reader().control = static_cast<std::uint8_t>((ReadPort(controlPort()) & 0xF5) | 0x05);
    writeControl();
    Reader().latch = kDeselect;
    latchWrite();
}

// Selects the card and gives the bus to the host.
void beginHostCycle() {
    latchClear(kDeselect);
    latchClear(kCardDrives);
}

void sendCommand(std::uint8_t command) {
    latchSet(kCommandLatch);
    busWrite(command);
    latchClear(kCommandLatch);
}

void commandAndAddress(std::uint8_t command, unsigned row, bool withColumn) {
    sendCommand(command);
    latchSet(kAddressLatch);
    if (withColumn) busWrite(0x00);
    for (unsigned i = 0; i < Reader().rowAddressBytes; ++i)
        busWrite(static_cast<std::uint8_t>(row >> (8 * i)));
    latchClear(kAddressLatch);
}

bool portReset() {
    portInit();
    if (!waitReady(kResetPolls)) return false;
    beginHostCycle();
    sendCommand(kCmdReset);
    latchSet(kCardDrives);
    latchSet(kDeselect);
    return waitReady(kCommandPolls);
}

bool portReadId(std::uint32_t& id) {
    if (!waitReady(kCommandPolls)) return false;
    beginHostCycle();
    sendCommand(kCmdReadId);
    latchSet(kAddressLatch);
    busWrite(0x00);
    latchClear(kAddressLatch);
    latchSet(kCardDrives);
    const std::uint8_t maker = busRead();
    const std::uint8_t device = busRead();
    id = maker | (std::uint32_t{device} << 8);
    latchSet(kDeselect);
    return true;
}

bool portReadStatus(std::uint8_t& status) {
    if (!waitReady(kCommandPolls)) return false;
    beginHostCycle();
    sendCommand(kCmdReadStatus);
    latchSet(kCardDrives);
    status = busRead();
    latchSet(kDeselect);
    return true;
}

bool portReadData(unsigned row, std::uint8_t* data, unsigned length) {
    beginHostCycle();
    commandAndAddress(kCmdRead, row, true);
    latchSet(kCardDrives);
    unsigned read = 0;
    for (; read < length; ++read) {
        if (!waitReady(kCommandPolls)) break;
        data[read] = busRead();
    }
    latchSet(kDeselect);
    return read == length;
}

// Ends a write or erase: the card drives the bus again, is deselected and write-protected.
void endWriteCycle() {
    latchSet(kCardDrives);
    latchSet(kDeselect);
    latchClear(kWriteEnable);
}

bool portWriteData(unsigned row, const std::uint8_t* data, unsigned length) {
    latchSet(kWriteEnable);
    beginHostCycle();
    commandAndAddress(kCmdDataInput, row, true);
    unsigned sent = 0;
    for (; sent < length; ++sent) {
        if (!waitReady(kByteWritePolls)) break;
        busWrite(data[sent]);
    }
    sendCommand(kCmdProgram);
    if (!waitReady(kProgramPolls)) return false;
    endWriteCycle();
    return sent == length;
}

bool portErase(unsigned row) {
    latchSet(kWriteEnable);
    beginHostCycle();
    commandAndAddress(kCmdEraseSetup, row, false);
    sendCommand(kCmdEraseConfirm);
    if (!waitReady(kErasePolls)) return false;
    endWriteCycle();
    return true;
}

}  // namespace

const CardOperations kPortOperations = {portReset,    portReadId,    portReadStatus,
                                        portReadData, portWriteData, portErase};

}  // namespace kestra::ssfdc
