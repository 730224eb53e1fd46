// Reads directory blocks of any contents. The checksum is put right first, so that every
// other check is reached; a block that reads as a directory must be written back the same.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "card_service/crc32.h"
#include "card_service/directory.h"

using namespace kestra::card;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const DirectoryShape shape{62, 8, 4096};
    std::vector<std::uint8_t> block(shape.blockBytes, 0xFF);
    std::memcpy(block.data(), data, std::min(size, block.size()));
    if (block.size() >= sizeof(DirectoryHeader)) {
        const std::uint32_t used = std::min<std::uint32_t>(
            kestra::ReadLe32(&block[12]), static_cast<std::uint32_t>(block.size()));
        if (used >= sizeof(DirectoryHeader)) {
            std::vector<std::uint8_t> copy(block.begin(), block.begin() + used);
            kestra::WriteLe32(&copy[24], 0);
            kestra::WriteLe32(&block[24], Crc32(copy));
        }
    }
    const DecodedDirectory decoded = DecodeDirectory(block, shape);
    if (!decoded.directory) return 0;
    const DecodedDirectory again =
        DecodeDirectory(EncodeDirectory(*decoded.directory, shape), shape);
    if (!again.directory || again.directory->files != decoded.directory->files) __builtin_trap();
    return 0;
}
