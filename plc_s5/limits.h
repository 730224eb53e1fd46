// Limits of field values: from and to text in the field's base with fixed point, defaults,
// validation, runtime limits, scale factors and stored (recipe default) values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "kestra/plc_records.h"
#include "plc_s5/formats.h"
#include "plc_s5/numbers.h"

namespace kestra::s5 {

// Fields read and print their values signed when signed or scaled.
inline bool IsSignedField(const sDISPFORMAT& display) {
    return display.format & (sDISPFORMAT::kSigned | sDISPFORMAT::kScaling);
}
inline bool IsScaled(const sDISPFORMAT& display) {
    return display.format & sDISPFORMAT::kScaling;
}
Scaling ScalingOf(const sDISPFORMAT& display);

// Longest limit text taken into account.
inline constexpr std::size_t kLimitTextLength = 49;

enum class LimitMode : unsigned { Parse = 0, MaximumDefault = 1, MinimumDefault = 2 };
// A limit from its text (or the default of the mode), clamped to the bounds of the format.
std::int32_t LimitFromText(const sDISPFORMAT& display, unsigned format, std::string_view text,
                           LimitMode mode);
// The text of a limit in the field's base, with the decimal point of fixed point fields.
std::string LimitToText(const sDISPFORMAT& display, std::int32_t value);
// Orders and clamps a pair of limits, or resets them to the defaults.
void ValidateLimits(const sDISPFORMAT& display, unsigned format, std::int32_t& minimum,
                    std::int32_t& maximum, bool reset, bool keepMaximum);

// Runtime limits; returns the number of bytes written or read (at most 8).
std::size_t LimitsToRuntime(std::uint8_t* out, const sDISPFORMAT& display, unsigned typeCode,
                            unsigned displayCode, bool applyScaling);
std::size_t LimitsFromRuntime(const std::uint8_t* in, sDISPFORMAT& display, unsigned typeCode,
                              unsigned displayCode, bool applyScaling);

// Scale factors A (0), B (1), C (2); 3 resets all three in the display record.
enum class ScaleFactor : unsigned { A = 0, B = 1, C = 2, Reset = 3 };
std::int32_t ScaleFactorFromText(ScaleFactor which, sDISPFORMAT& display, unsigned format,
                                 std::string_view text);

// One value in runtime form: returns the number of bytes stored.
std::size_t StoreRuntimeValue(std::uint8_t* out, std::int32_t value, const char* text,
                              const sDISPFORMAT& display, const RuntimeFormat& runtime,
                              unsigned displayCode);
// Reads one value back; texts go to `text` (runtime byte 1 characters and a zero).
std::int32_t LoadRuntimeValue(const std::uint8_t* in, char* text, const sDISPFORMAT& display,
                              const RuntimeFormat& runtime, unsigned displayCode);

}  // namespace kestra::s5
