#include "plc_s5/type1_layout.h"

#include <cstring>
#include <stdexcept>

#include "plc_s5/limits.h"
#include "plc_s5/numbers.h"
#include "plc_s5/tables.h"

namespace kestra::s5 {

std::size_t ImageSpace::placeAtNextBlock(std::size_t size) {
    if (size > kBlockSize) throw std::length_error("an item is larger than a block");
    const std::size_t blockEnd = (position_ / kBlockSize + 1) * kBlockSize;
    std::size_t at = position_;
    if (at + size > blockEnd) at = blockEnd;
    if (at + size > image_.size())
        throw std::length_error("the project does not fit in its reserved image size");
    std::memset(image_.data() + position_, 0xFF, at - position_);
    position_ = at + size;
    return at;
}

void ThrowBeyondLastBlock() {
    throw std::length_error("an offset beyond the last block");
}

std::uint8_t Checksum(std::span<const std::uint8_t> block) {
    // Summed in 8 bits (the sum is taken modulo 256 anyway), which the compiler does 16 bytes
    // at a time.
    std::uint8_t sum = 0;
    for (std::uint8_t b : block) sum = static_cast<std::uint8_t>(sum + b);
    return sum;
}

std::size_t FinishImage(std::span<std::uint8_t> image, std::size_t end) {
    std::size_t padded = (end + kChecksumBlock - 1) / kChecksumBlock * kChecksumBlock;
    if (padded % kBlockSize + padded / kChecksumBlock > kBlockSize)
        padded = (padded / kBlockSize + 1) * kBlockSize;
    const std::size_t blocks = padded / kChecksumBlock;
    const auto paged = PagedOffset::encode(static_cast<std::uint32_t>(padded));
    if (!paged || blocks > kBlockSize || padded + blocks > image.size() ||
        image.size() < sizeof(Type1Header))
        return 0;
    if (padded > end) {
        std::memset(image.data() + end, 0xFF, padded - end);
        image[padded - 1] = 0;
    }
    RecordAt<Type1Header>(image.data()).checksums = *paged;
    for (std::size_t b = 0; b < blocks; ++b)
        image[padded + b] = Checksum(image.subspan(b * kChecksumBlock, kChecksumBlock));
    return padded + blocks;
}

void ReadImageLimits(const std::uint8_t* in, sDISPFORMAT& d, NumericKind kind,
                     std::uint8_t displayKind) {
    const bool isSigned = d.format & sDISPFORMAT::kSigned;
    auto word = [&](const std::uint8_t* p) -> std::int32_t {
        const std::uint16_t w = ReadLe16(p);
        if (displayKind == kShowCounter) return static_cast<std::int32_t>(FromBcd(w, 4));
        return isSigned ? static_cast<std::int16_t>(w) : w;
    };
    switch (kind) {
        case kKindBit:
            d.minimum = in[0] & 1;
            d.maximum = (in[0] >> 1) & 1;
            break;
        case kKindByte:
            d.minimum = in[0];
            d.maximum = in[1];
            break;
        case kKindWord:
        case kKindScaledWord:
            d.minimum = word(in);
            d.maximum = word(in + 2);
            if (kind == kKindScaledWord) {
                d.scaleA = static_cast<std::int16_t>(ReadLe16(in + 4));
                d.scaleB = static_cast<std::int16_t>(ReadLe16(in + 6));
                d.scaleC = static_cast<std::int16_t>(ReadLe16(in + 8));
            }
            break;
        case kKindDword:
            if (displayKind == kShowFloat) {
                d.minimum = IntegerFromKg(ReadLe32(in));
                d.maximum = IntegerFromKg(ReadLe32(in + 4));
            } else {
                d.minimum = static_cast<std::int32_t>(ReadLe32(in));
                d.maximum = static_cast<std::int32_t>(ReadLe32(in + 4));
            }
            break;
        case kKindText:
            d.minimum = 0;
            d.maximum = 0;
            break;
    }
}

}  // namespace kestra::s5
