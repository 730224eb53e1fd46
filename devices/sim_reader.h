// Simulated SmartMedia readers around a simulated card (platform/sim_card.h).
//
// SimParallelReader is a reader on a PC parallel port, seen through the port registers at
// its base address P: data at P, status at P + 1, control at P + 2. Other addresses are not
// its own: they read 0xFF and ignore writes, so only the configured base finds the reader.
//   - A rising edge of control bit 0x01 (latch strobe) copies the data register into the
//     reader's control latch: 0x01 command latch enable, 0x02 address latch enable, 0x04
//     write enable (the card is write-protected while it is clear), 0x08 card deselect,
//     0x10 bus direction (clear: the host drives the card bus, set: the card does).
//   - A rising edge of control bit 0x04 (write strobe) puts the data register on the card
//     bus as a command, an address or a data byte, as the latch says; it reaches the card
//     only while the card is selected and the host drives the bus.
//   - A rising edge of control bit 0x02 takes the next byte from the card (0xFF when the card
//     does not drive the bus); the status register shows its high nibble while control bit
//     0x08 is clear and its low nibble while it is set, in bits 4-7 with bit 7 inverted by
//     the port. Status bit 0x08 is the card's busy line.
// Without a card (an empty reader) the bus reads 0xFF and the card is never busy.
// The reader counts every port access made to it.
//
// SimDriverDevice serves the control requests of the reader's kernel driver
// (platform/ssfdc_driver.h) on a simulated card, driving the card's pins as a driver does.
#pragma once

#include <cstdint>
#include <memory>

#include "devices/device_io.h"
#include "devices/ports.h"
#include "devices/sim_card.h"

namespace kestra::platform {

class SimParallelReader final : public PortIo {
  public:
    explicit SimParallelReader(WORD base, std::shared_ptr<SimCard> card = nullptr)
        : base_(base), card_(std::move(card)) {}

    BYTE in(WORD port) override;
    void out(WORD port, BYTE value) override;

    WORD base() const { return base_; }
    void insert(std::shared_ptr<SimCard> card) { card_ = std::move(card); }
    void eject() { card_.reset(); }
    const std::shared_ptr<SimCard>& card() const { return card_; }
    BYTE latch() const { return latch_; }

    struct Accesses {
        std::uint64_t reads = 0;
        std::uint64_t writes = 0;
        std::uint64_t total() const { return reads + writes; }
    };
    const Accesses& accesses() const { return accesses_; }
    void resetAccesses() { accesses_ = {}; }

  private:
    bool selected() const { return card_ && !(latch_ & 0x08); }
    void strobeWrite();
    void strobeRead();

    WORD base_;
    std::shared_ptr<SimCard> card_;
    BYTE data_ = 0;
    BYTE control_ = 0xCC;
    BYTE latch_ = 0x18;
    BYTE fromCard_ = 0xFF;
    Accesses accesses_;
};

class SimDriverDevice final : public Device {
  public:
    explicit SimDriverDevice(std::shared_ptr<SimCard> card = nullptr) : card_(std::move(card)) {}

    bool control(DWORD code, const void* input, DWORD inputSize, void* output, DWORD outputSize,
                 DWORD& returned, DWORD& error) override;

    void insert(std::shared_ptr<SimCard> card) { card_ = std::move(card); }
    void eject() { card_.reset(); }
    const std::shared_ptr<SimCard>& card() const { return card_; }
    // Requests served, successful or not.
    std::uint64_t requests() const { return requests_; }

    // Looks at the busy line a driver makes before it gives up on the card.
    static constexpr DWORD kReadyLooks = 1000000;

  private:
    bool waitReady();
    void sendAddress(DWORD row, bool withColumn);
    BYTE readByte();

    std::shared_ptr<SimCard> card_;
    std::uint64_t requests_ = 0;
};

}  // namespace kestra::platform
