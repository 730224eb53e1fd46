// Packed device-independent bitmap services.
#include "kestra/dib.h"

#include <cstring>

#include "utilities/services.h"

namespace {

bool isInfoHeader(const void* header) {
    return kestra::ReadLe32(header) == kestra::kInfoHeaderSize;
}

constexpr WORD kColorsByBitCount(unsigned bits) {
    switch (bits) {
        case 1:
            return 2;
        case 4:
            return 16;
        case 8:
            return 256;
        default:
            return 0;
    }
}

// The bit counts a new bitmap may have; anything from 25 bits up becomes 4.
WORD roundBitCount(WORD bits) {
    if (bits <= 1) return 1;
    if (bits <= 4) return 4;
    if (bits <= 8) return 8;
    if (bits <= 24) return 24;
    return 4;
}

}  // namespace

extern "C" {

WORD DIBNumColors(const void* header) {
    if (!header) return 0;
    if (isInfoHeader(header)) {
        const auto& info = kestra::RecordAt<kestra::BitmapInfoHeader>(header);
        if (info.colorsUsed != 0u) return static_cast<WORD>(info.colorsUsed.get());
        return kColorsByBitCount(info.bitCount);
    }
    return kColorsByBitCount(kestra::RecordAt<kestra::BitmapCoreHeader>(header).bitCount);
}

WORD PaletteSize(const void* header) {
    if (!header) return 0;
    return static_cast<WORD>(DIBNumColors(header) * (isInfoHeader(header) ? 4 : 3));
}

DWORD DIBWidth(const void* header) {
    if (!header) return 0;
    if (isInfoHeader(header))
        return static_cast<DWORD>(kestra::RecordAt<kestra::BitmapInfoHeader>(header).width.get());
    return kestra::RecordAt<kestra::BitmapCoreHeader>(header).width;
}

DWORD DIBHeight(const void* header) {
    if (!header) return 0;
    if (isInfoHeader(header))
        return static_cast<DWORD>(kestra::RecordAt<kestra::BitmapInfoHeader>(header).height.get());
    return kestra::RecordAt<kestra::BitmapCoreHeader>(header).height;
}

char* FindDIBBits(const void* header) {
    if (!header) return nullptr;
    auto* bytes = static_cast<char*>(const_cast<void*>(header));
    return bytes + kestra::ReadLe32(header) + PaletteSize(header);
}

HGLOBAL CreateDIB(DWORD width, DWORD height, WORD bitCount) {
    const WORD bits = roundBitCount(bitCount);
    const std::uint64_t palette = std::uint64_t{kColorsByBitCount(bits)} * 4;
    const std::uint64_t size = kestra::kInfoHeaderSize + palette +
                               std::uint64_t{height} * kestra::DibRowBytes(width, bits);
    if (size > kestra::mem::kMaxBlockSize) return 0;
    HGLOBAL handle = GlobalAlloc(GHND, static_cast<std::size_t>(size));
    if (!handle) return 0;
    GlobalLockGuard lock(handle);
    if (!lock) {
        GlobalFree(handle);
        return 0;
    }
    auto& info = kestra::RecordAt<kestra::BitmapInfoHeader>(lock.data());
    info.size = kestra::kInfoHeaderSize;
    info.width = static_cast<std::int32_t>(width);
    info.height = static_cast<std::int32_t>(height);
    info.planes = 1;
    info.bitCount = bits;
    return handle;
}

}  // extern "C"
