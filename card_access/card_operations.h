// The six card operations of an access path, and the reader state of the process.
//
// One card reader per process: the chosen path's operations, the parallel port base and
// the shadows of the port's control register and of the reader's control latch, the driver
// device, and the card ID and status last read by detection.
#pragma once

#include <cstdint>

#include "devices/device_io.h"

namespace kestra::ssfdc {

struct CardOperations {
    bool (*reset)();
    bool (*readId)(std::uint32_t& id);
    bool (*readStatus)(std::uint8_t& status);
    bool (*readData)(unsigned row, std::uint8_t* data, unsigned length);
    bool (*writeData)(unsigned row, const std::uint8_t* data, unsigned length);
    bool (*erase)(unsigned row);
};

struct ReaderState {
    // Every operation fails until an access path is chosen.
    const CardOperations* operations;
    unsigned port = 0;
    std::uint8_t control = 0;
    std::uint8_t latch = 0;
    // Row address bytes sent to the card: two, or three for cards of more than 65536 pages.
    unsigned rowAddressBytes = 2;
    HANDLE driver = INVALID_HANDLE_VALUE;
    std::uint32_t lastId = 0;
    std::uint8_t lastStatus = 0;
};

ReaderState& Reader();

extern const CardOperations kNoPathOperations;
extern const CardOperations kPortOperations;
extern const CardOperations kDriverOperations;

// Opens the reader's kernel driver; false when it is open already or cannot be opened.
bool OpenDriver();

// Row address bytes a card with this many pages needs.
inline unsigned RowAddressBytesFor(std::uint64_t pages) {
    return pages > 0x10000 ? 3 : 2;
}

}  // namespace kestra::ssfdc
