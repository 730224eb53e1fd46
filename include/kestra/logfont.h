// Logical font records in their 32-bit (60 bytes) and 16-bit (50 bytes) layouts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/records.h"

namespace kestra {

inline constexpr std::size_t kFaceNameSize = 32;

struct LogFont32 {
    les32 height, width, escapement, orientation, weight;
    std::uint8_t italic, underline, strikeOut, charSet, outPrecision, clipPrecision, quality,
        pitchAndFamily;
    char faceName[kFaceNameSize];
};
static_assert(sizeof(LogFont32) == 60);

struct LogFont16 {
    les16 height, width, escapement, orientation, weight;
    std::uint8_t italic, underline, strikeOut, charSet, outPrecision, clipPrecision, quality,
        pitchAndFamily;
    char faceName[kFaceNameSize];
};
static_assert(sizeof(LogFont16) == 50);
static_assert(offsetof(LogFont16, italic) == 10 && offsetof(LogFont16, faceName) == 18);
static_assert(offsetof(LogFont32, italic) == 20 && offsetof(LogFont32, faceName) == 28);

}  // namespace kestra
