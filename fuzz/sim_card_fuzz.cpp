// The simulated card: card image headers of any contents, and any sequence of pin cycles
// and driver requests against a small card.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "devices/sim_card.h"
#include "devices/sim_reader.h"
#include "devices/ssfdc_driver.h"
#include "platform/image_cursor.h"

namespace pf = kestra::platform;

namespace {

// A card of 4 blocks of 4 pages, 8 data and 0 spare bytes: pages end right where the spare
// area would begin.
std::shared_ptr<pf::SimCard> smallCard() {
    static const std::string path =
        "/tmp/kestra-sim-card-fuzz-" + std::to_string(getpid()) + ".img";
    static auto card = pf::SimCard::Create(path, pf::SimCardGeometry{0xEC, 0x73, 4, 4, 8, 0}, {3});
    return card;
}

constexpr DWORD kCodes[] = {pf::ssfdc::kReset,
                            pf::ssfdc::kReadId,
                            pf::ssfdc::kReadStatus,
                            pf::ssfdc::kReadPage,
                            pf::ssfdc::kWritePage,
                            pf::ssfdc::kEraseBlock,
                            0x9C402580};

void drive(const std::uint8_t* data, std::size_t size) {
    auto card = smallCard();
    card->restorePower();
    pf::SimDriverDevice driver(card);
    std::vector<std::uint8_t> output(64);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const std::uint8_t op = data[i], value = data[i + 1];
        switch (op % 9) {
            case 0:
                card->command(value);
                break;
            case 1:
                card->address(value);
                break;
            case 2:
                card->writeData(value);
                break;
            case 3:
                card->readData();
                break;
            case 4:
                card->setWriteProtect(value & 1);
                break;
            case 5:
                card->cutPowerAfter(value % 4, value & 0x80);
                break;
            case 6:
                card->failErase(value % 8);
                break;
            case 7:
                card->busy();
                break;
            case 8: {  // a driver request with the following bytes as its input
                const std::size_t inputSize = std::min<std::size_t>(value % 24, size - i - 2);
                DWORD returned = 0, error = 0;
                driver.control(kCodes[op / 9 % std::size(kCodes)], data + i + 2,
                               static_cast<DWORD>(inputSize), output.data(),
                               static_cast<DWORD>(op % output.size()), returned, error);
                if (returned > op % output.size()) std::abort();  // never past the output
                i += inputSize;
                break;
            }
        }
    }
}

}  // namespace

// The sources under test are compiled into this program as well as into their library (for
// coverage); the program's copies serve every call, so the doubled definitions are harmless.
extern "C" const char* __asan_default_options() {
    return "detect_odr_violation=0";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    if (data[0] & 1) {
        drive(data + 1, size - 1);
        return 0;
    }
    // The claimed file size is the input's size plus a multiple of 64 from its second byte.
    const std::uint64_t fileSize = size + (size > 1 ? std::uint64_t{data[1]} * 64 : 0);
    try {
        auto layout = pf::ParseSimCardHeader(
            std::span(reinterpret_cast<const std::byte*>(data), size), fileSize);
        if (layout.fileSize() != fileSize || layout.geometry.pageSize() > pf::kSimMaxPageSize)
            std::abort();
    } catch (const kestra::ImageError&) {
    }
    return 0;
}
