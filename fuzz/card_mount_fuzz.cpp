// Mounts card images of any contents and uses what it finds: listing, reading every file,
// storing, replacing and deleting files, formatting. Nothing but CardError may come out, and
// what is stored must read back.
//
// The first byte chooses how the rest makes the card: even, the bytes are the card itself
// (pages one after the other, the rest erased); odd, they are changes to a well-formed card
// with files (each four bytes: a 24-bit little-endian offset and a value to XOR there), so
// that the search reaches past the directory's checksum. With bit 1 also set, the well-formed
// card is in the earlier layout (a write generation in spare bytes 0-3, no CIS), so that its
// first change moves it to the current one. Every card is also read the way a standard
// reader reads it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "card_service/card_errors.h"
#include "card_service/card_file_system.h"
#include "card_service/standard_layer.h"
#include "tests/card_service/earlier_layout.h"
#include "tests/card_service/memory_card.h"

using namespace kestra::card;

namespace {

constexpr CardGeometry kGeometry{24, 4};

std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + seed * 7);
    return bytes;
}

const std::vector<std::uint8_t>& WellFormedCard() {
    static const std::vector<std::uint8_t> image = [] {
        testing::MemoryCard card(kGeometry);
        CardFileSystem fs(card);
        fs.mount();
        fs.format();
        CardFile file;
        file.key = {4, 1};
        file.name = "firmware";
        file.version = "1.0";
        fs.store(file, Pattern(3000, 1), "seed");
        file.key = {6, 2};
        fs.store(file, Pattern(100, 2), "seed");
        file.key = {40, 0};
        fs.reserve(file, 2);
        return card.bytes();
    }();
    return image;
}

// The well-formed card as the file system wrote it before the card information structure.
const std::vector<std::uint8_t>& EarlierLayoutCard() {
    static const std::vector<std::uint8_t> image = [] {
        testing::MemoryCard card(kGeometry);
        card.bytes() = WellFormedCard();
        testing::ToEarlierLayout(card, 7);
        return card.bytes();
    }();
    return image;
}

template <typename Action>
void Tolerating(Action action) {
    try {
        action();
    } catch (const CardError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    testing::MemoryCard card(kGeometry);
    std::vector<std::uint8_t>& bytes = card.bytes();
    if (data[0] & 1) {
        bytes = data[0] & 2 ? EarlierLayoutCard() : WellFormedCard();
        for (std::size_t i = 1; i + 4 <= size; i += 4) {
            const std::size_t offset =
                (data[i] | data[i + 1] << 8 | data[i + 2] << 16) % bytes.size();
            bytes[offset] ^= data[i + 3];
        }
    } else {
        std::copy(data + 1, data + std::min(size, bytes.size() + 1), bytes.begin());
    }

    Tolerating([&] { (void)ReadLogicalImage(card); });
    CardFileSystem fs(card);
    Tolerating([&] { fs.mount(); });
    if (fs.state() == MountState::Formatted) {
        for (const CardFile& file : std::vector<CardFile>(fs.files())) {
            Tolerating([&] { fs.load(file.key, "fuzz"); });
            Tolerating([&] { fs.head(file.key, 250); });
        }
        (void)fs.usage();
        const std::vector<std::uint8_t> contents = Pattern(2500, size);
        CardFile file;
        file.key = {4, 1};
        bool stored = false;
        Tolerating([&] {
            fs.store(file, contents, "fuzz");
            stored = true;
        });
        if (stored) {
            fs.mount();
            if (fs.state() != MountState::Formatted || fs.load(file.key, "fuzz") != contents)
                __builtin_trap();
        }
        const FileKey gone{6, 2};
        Tolerating([&] { fs.remove(std::span(&gone, 1)); });
    }
    if (fs.state() != MountState::Formatted) Tolerating([&] { fs.format(); });
    Tolerating([&] { fs.mount(); });
    Tolerating([&] { (void)ReadLogicalImage(card); });
    return 0;
}
