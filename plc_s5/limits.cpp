#include "plc_s5/limits.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "platform/records.h"

namespace kestra::s5 {
namespace {

constexpr std::int64_t kParseCap = std::int64_t{1} << 40;  // far beyond any 32-bit bound
constexpr std::array<int, 4> kRadix = {2, 8, 10, 16};

struct Bounds {
    std::int64_t low, high;
};

// Bounds of a limit by the format's type code, signedness and BCD flag.
Bounds LimitBounds(unsigned format, bool signedBounds) {
    const FormatInfo* info = FormatFor(format);
    const unsigned typeCode = info ? info->typeCode : unsigned{kTypeWord};
    const bool bcd = info && info->bcd;
    // The BCD formats carry type code 0; their size tells their width.
    const unsigned size = info ? info->size : 2;
    if (bcd) return {0, size == 1 ? 99 : size == 2 ? 9999 : 99999999};
    switch (typeCode) {
        case kTypeBit:
            return {0, 1};
        case kTypeWord:
            return signedBounds ? Bounds{-32768, 32767} : Bounds{0, 65535};
        case kTypeDword:
            return signedBounds ? Bounds{-2147483647, 2147483647} : Bounds{0, 4294967295ll};
        default:  // byte and text
            return signedBounds ? Bounds{-128, 127} : Bounds{0, 255};
    }
}

int RadixOf(const sDISPFORMAT& display) {
    return display.fieldType == kNumeric ? kRadix[display.baseIndex()] : 10;
}

bool FixedPointDecimal(const sDISPFORMAT& display) {
    return RadixOf(display) == 10 && (display.format & sDISPFORMAT::kFixedPoint) &&
           display.decimals > 0;
}

// The text with its decimal point removed and exactly `decimals` digits behind it (missing
// or non-digit characters become "0"). A text without a point counts as whole units.
std::string WithoutDecimalPoint(std::string_view text, unsigned decimals) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    const std::size_t point = std::min(text.find('.'), text.size());
    std::string out(text.substr(0, point));
    for (unsigned i = 0; i < decimals; ++i) {
        const std::size_t at = point + 1 + i;
        const char c = at < text.size() ? text[at] : '0';
        out += (c >= '0' && c <= '9') ? c : '0';
    }
    return out;
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

// Blanks, a sign, an optional "0x" in base 16, then digits; large numbers are capped.
std::int64_t ParseNumber(std::string_view text, int radix) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (radix == 16 && i + 1 < text.size() && text[i] == '0' &&
        (text[i + 1] == 'x' || text[i + 1] == 'X'))
        i += 2;
    std::int64_t value = 0;
    for (; i < text.size() && DigitValue(text[i]) < radix; ++i)
        value = std::min(value * radix + DigitValue(text[i]), kParseCap);
    return negative ? -value : value;
}

// A 32-bit value as the field reads it: signed, or unsigned.
std::int64_t AsFieldValue(std::int32_t value, bool isSigned) {
    return isSigned ? std::int64_t{value} : std::int64_t{static_cast<std::uint32_t>(value)};
}

std::int32_t FromFieldValue(std::int64_t value, bool isSigned) {
    if (isSigned)
        return static_cast<std::int32_t>(
            std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max()));
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(std::clamp<std::int64_t>(value, 0, 0xFFFFFFFFll)));
}

std::int32_t TowardZero(std::int32_t v) {
    return v > 0 ? v - 1 : v < 0 ? v + 1 : v;
}

std::int32_t DefaultLimit(const sDISPFORMAT& display, LimitMode mode) {
    const bool signedBit = display.format & sDISPFORMAT::kSigned;
    std::int32_t value;
    if (mode == LimitMode::MaximumDefault)
        value = display.fieldType == kGraphics     ? 511
                : (signedBit || IsScaled(display)) ? 0x7FFFFFFF
                                                   : static_cast<std::int32_t>(0xFFFFFFFFu);
    else
        value = display.fieldType == kGraphics ? 0
                : signedBit                    ? static_cast<std::int32_t>(0x80000001u)
                                               : 0;
    return IsScaled(display) ? ScaleForward(value, ScalingOf(display)) : value;
}

void PutValue(std::uint8_t* out, std::uint32_t value, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}
std::uint32_t GetValue(const std::uint8_t* in, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) value |= std::uint32_t{in[i]} << (8 * i);
    return value;
}
std::int32_t SignExtend(std::uint32_t value, std::size_t size) {
    const unsigned shift = 32 - 8 * static_cast<unsigned>(size);
    return static_cast<std::int32_t>(value << shift) >> shift;
}

// The byte orders the runtime format asks for: the whole value reversed (bit 7), and for
// values of four bytes and texts also each pair of bytes exchanged (bit 6).
void SwapForPlc(std::uint8_t* bytes, std::size_t size, std::uint8_t runtime0, bool pairs) {
    if (runtime0 & kRuntimeSwap) std::reverse(bytes, bytes + size);
    if (pairs && (runtime0 & kRuntimeHalfSwap))
        for (std::size_t i = 0; i + 1 < size; i += 2) std::swap(bytes[i], bytes[i + 1]);
}
void SwapFromPlc(std::uint8_t* bytes, std::size_t size, std::uint8_t runtime0, bool pairs) {
    if (pairs && (runtime0 & kRuntimeHalfSwap))
        for (std::size_t i = 0; i + 1 < size; i += 2) std::swap(bytes[i], bytes[i + 1]);
    if (runtime0 & kRuntimeSwap) std::reverse(bytes, bytes + size);
}

std::size_t SizeOfTypeCode(unsigned typeCode) {
    return typeCode == kTypeByte ? 1 : typeCode == kTypeWord ? 2 : 4;
}

}  // namespace

Scaling ScalingOf(const sDISPFORMAT& display) {
    return {display.scaleA.get(), display.scaleB.get(), display.scaleC.get()};
}

std::int32_t LimitFromText(const sDISPFORMAT& display, unsigned format, std::string_view text,
                           LimitMode mode) {
    const bool isSigned = IsSignedField(display);
    std::int32_t entered;
    if (mode == LimitMode::Parse) {
        text = text.substr(0, kLimitTextLength);
        const std::string digits = FixedPointDecimal(display)
                                       ? WithoutDecimalPoint(text, display.decimals)
                                       : std::string(text);
        entered = FromFieldValue(ParseNumber(digits, RadixOf(display)), isSigned);
    } else {
        entered = DefaultLimit(display, mode);
    }

    const Bounds bounds = LimitBounds(format, display.format & sDISPFORMAT::kSigned);
    const std::int32_t plcValue =
        IsScaled(display) ? ScaleBackward(entered, ScalingOf(display), isSigned) : entered;
    const std::int64_t asRead = AsFieldValue(plcValue, isSigned);
    const std::int64_t clamped = std::clamp(asRead, bounds.low, bounds.high);
    if (!IsScaled(display)) return static_cast<std::int32_t>(clamped);
    if (clamped == asRead) return entered;
    std::int32_t shown = ScaleForward(static_cast<std::int32_t>(clamped), ScalingOf(display));
    return shown == entered ? TowardZero(shown) : shown;
}

std::string LimitToText(const sDISPFORMAT& display, std::int32_t value) {
    const int radix = RadixOf(display);
    const std::int64_t v = AsFieldValue(value, IsSignedField(display));
    const bool negative = v < 0;
    std::uint64_t magnitude =
        negative ? static_cast<std::uint64_t>(-v) : static_cast<std::uint64_t>(v);
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789ABCDEF"[magnitude % radix]);
        magnitude /= radix;
    } while (magnitude != 0);
    const std::string sign = negative ? "-" : "";
    if (!FixedPointDecimal(display)) return sign + digits;
    const std::size_t d = display.decimals;
    if (digits.size() <= d)
        return (negative ? "-." : "0.") + std::string(d - digits.size(), '0') + digits;
    return sign + digits.substr(0, digits.size() - d) + "." + digits.substr(digits.size() - d);
}

void ValidateLimits(const sDISPFORMAT& display, unsigned format, std::int32_t& minimum,
                    std::int32_t& maximum, bool reset, bool keepMaximum) {
    if (reset) {
        maximum = LimitFromText(display, format, {}, LimitMode::MaximumDefault);
        minimum = LimitFromText(display, format, {}, LimitMode::MinimumDefault);
        return;
    }
    const bool isSigned = IsSignedField(display);
    if (AsFieldValue(minimum, isSigned) > AsFieldValue(maximum, isSigned)) {
        if (keepMaximum)
            minimum = maximum;
        else
            maximum = minimum;
    }
    minimum = LimitFromText(display, format, LimitToText(display, minimum), LimitMode::Parse);
    maximum = LimitFromText(display, format, LimitToText(display, maximum), LimitMode::Parse);
}

std::size_t LimitsToRuntime(std::uint8_t* out, const sDISPFORMAT& display, unsigned typeCode,
                            unsigned displayCode, bool applyScaling) {
    std::int32_t minimum = display.minimum, maximum = display.maximum;
    if (applyScaling && IsScaled(display)) {
        minimum = ScaleBackward(minimum, ScalingOf(display), IsSignedField(display));
        maximum = ScaleBackward(maximum, ScalingOf(display), IsSignedField(display));
    }
    if (displayCode == 6 && typeCode == kTypeWord) {
        WriteLe16(out, static_cast<std::uint16_t>(
                           ToBcd(AsFieldValue(minimum, IsSignedField(display)), 4)));
        WriteLe16(out + 2, static_cast<std::uint16_t>(
                               ToBcd(AsFieldValue(maximum, IsSignedField(display)), 4)));
        return 4;
    }
    if (displayCode == 7 && typeCode == kTypeDword) {
        WriteLe32(out, KgFromInteger(minimum));
        WriteLe32(out + 4, KgFromInteger(maximum));
        return 8;
    }
    switch (typeCode) {
        case kTypeBit:
            out[0] = static_cast<std::uint8_t>((minimum != 0 ? 1 : 0) | (maximum != 0 ? 2 : 0));
            return 1;
        case kTypeByte:
        case kTypeWord:
        case kTypeDword: {
            const std::size_t size = SizeOfTypeCode(typeCode);
            PutValue(out, static_cast<std::uint32_t>(minimum), size);
            PutValue(out + size, static_cast<std::uint32_t>(maximum), size);
            return 2 * size;
        }
        default:
            return 0;
    }
}

std::size_t LimitsFromRuntime(const std::uint8_t* in, sDISPFORMAT& display, unsigned typeCode,
                              unsigned displayCode, bool applyScaling) {
    const bool isSigned = IsSignedField(display);
    std::int32_t minimum, maximum;
    std::size_t used;
    if (displayCode == 6 && typeCode == kTypeWord) {
        minimum = static_cast<std::int32_t>(FromBcd(ReadLe16(in), 4));
        maximum = static_cast<std::int32_t>(FromBcd(ReadLe16(in + 2), 4));
        used = 4;
    } else if (displayCode == 7 && typeCode == kTypeDword) {
        minimum = IntegerFromKg(ReadLe32(in));
        maximum = IntegerFromKg(ReadLe32(in + 4));
        used = 8;
    } else if (typeCode == kTypeBit) {
        minimum = in[0] & 1;
        maximum = (in[0] >> 1) & 1;
        used = 1;
    } else if (typeCode == kTypeByte || typeCode == kTypeWord || typeCode == kTypeDword) {
        const std::size_t size = SizeOfTypeCode(typeCode);
        const std::uint32_t low = GetValue(in, size), high = GetValue(in + size, size);
        minimum = isSigned ? SignExtend(low, size) : static_cast<std::int32_t>(low);
        maximum = isSigned ? SignExtend(high, size) : static_cast<std::int32_t>(high);
        used = 2 * size;
    } else {
        return 0;
    }
    if (applyScaling && IsScaled(display)) {
        minimum = ScaleForward(minimum, ScalingOf(display));
        maximum = ScaleForward(maximum, ScalingOf(display));
    }
    display.minimum = minimum;
    display.maximum = maximum;
    return used;
}

std::int32_t ScaleFactorFromText(ScaleFactor which, sDISPFORMAT& display, unsigned format,
                                 std::string_view text) {
    if (which == ScaleFactor::Reset) {
        display.scaleA = 1;
        display.scaleB = 1;
        display.scaleC = 0;
        return 0;
    }
    const FormatInfo* info = FormatFor(format);
    const unsigned typeCode = info ? info->typeCode : unsigned{kTypeDword};
    Bounds bounds = typeCode == kTypeBit     ? Bounds{0, 1}
                    : typeCode == kTypeWord  ? Bounds{-32768, 32767}
                    : typeCode == kTypeDword ? Bounds{-2147483647, 2147483647}
                                             : Bounds{-128, 127};
    auto value =
        static_cast<std::int32_t>(std::clamp(ParseNumber(text, 10), bounds.low, bounds.high));
    if (value == 0 && which != ScaleFactor::C) value = 1;
    return value;
}

std::size_t StoreRuntimeValue(std::uint8_t* out, std::int32_t value, const char* text,
                              const sDISPFORMAT& display, const RuntimeFormat& runtime,
                              unsigned displayCode) {
    const unsigned typeCode = runtime[0] & kRuntimeTypeMask;
    const bool isSigned = IsSignedField(display);
    if (displayCode == 5 && typeCode == kTypeWord) {
        WriteLe16(out, static_cast<std::uint16_t>(value));
        SwapForPlc(out, 2, runtime[0], false);
        return 2;
    }
    if (displayCode == 6 && typeCode == kTypeWord) {
        WriteLe16(out, static_cast<std::uint16_t>(ToBcd(AsFieldValue(value, isSigned), 4)));
        SwapForPlc(out, 2, runtime[0], false);
        return 2;
    }
    if (displayCode == 7 && typeCode == kTypeDword) {
        WriteLe32(out, KgFromInteger(value));
        return 4;
    }
    switch (typeCode) {
        case kTypeBit: {
            if (runtime[1] > 7) return 0;
            const auto mask = static_cast<std::uint8_t>(1u << runtime[1]);
            out[0] = static_cast<std::uint8_t>(value != 0 ? out[0] | mask : out[0] & ~mask);
            return 1;
        }
        case kTypeByte:
        case kTypeWord:
        case kTypeDword: {
            const std::size_t size = SizeOfTypeCode(typeCode);
            std::int32_t plcValue =
                IsScaled(display) ? ScaleBackward(value, ScalingOf(display), isSigned) : value;
            std::uint32_t raw =
                runtime[1] == kRuntimeBcd
                    ? ToBcd(static_cast<std::uint32_t>(plcValue), static_cast<unsigned>(2 * size))
                    : static_cast<std::uint32_t>(plcValue);
            PutValue(out, raw, size);
            if (size > 1) SwapForPlc(out, size, runtime[0], size == 4);
            return size;
        }
        case kTypeText: {
            const std::size_t length = runtime[1];
            const std::size_t given = text ? strnlen(text, length) : 0;
            if (given) std::memcpy(out, text, given);
            std::memset(out + given, 0, length - given);
            SwapForPlc(out, length, runtime[0], true);
            return length;
        }
        default:
            return 0;
    }
}

std::int32_t LoadRuntimeValue(const std::uint8_t* in, char* text, const sDISPFORMAT& display,
                              const RuntimeFormat& runtime, unsigned displayCode) {
    const unsigned typeCode = runtime[0] & kRuntimeTypeMask;
    std::uint8_t bytes[4];
    if (displayCode == 5 && typeCode == kTypeWord) {
        std::memcpy(bytes, in, 2);
        SwapFromPlc(bytes, 2, runtime[0], false);
        return runtime[1] == 0 ? SignExtend(ReadLe16(bytes), 2) : ReadLe16(bytes);
    }
    if (displayCode == 6 && typeCode == kTypeWord) {
        std::memcpy(bytes, in, 2);
        SwapFromPlc(bytes, 2, runtime[0], false);
        return static_cast<std::int32_t>(FromBcd(ReadLe16(bytes), 4));
    }
    if (displayCode == 7 && typeCode == kTypeDword) return IntegerFromKg(ReadLe32(in));
    switch (typeCode) {
        case kTypeBit:
            return runtime[1] > 7 ? 0 : (in[0] >> runtime[1]) & 1;
        case kTypeByte:
        case kTypeWord:
        case kTypeDword: {
            const std::size_t size = SizeOfTypeCode(typeCode);
            std::memcpy(bytes, in, size);
            if (size > 1) SwapFromPlc(bytes, size, runtime[0], size == 4);
            const std::uint32_t raw = GetValue(bytes, size);
            std::int32_t value;
            if (runtime[1] == kRuntimeBcd)
                value = static_cast<std::int32_t>(FromBcd(raw, static_cast<unsigned>(2 * size)));
            else if (runtime[1] == 0)
                value = SignExtend(raw, size);
            else
                value = static_cast<std::int32_t>(raw);
            return IsScaled(display) ? ScaleForward(value, ScalingOf(display)) : value;
        }
        case kTypeText: {
            if (!text) return 0;
            const std::size_t length = runtime[1];
            std::memcpy(text, in, length);
            SwapFromPlc(reinterpret_cast<std::uint8_t*>(text), length, runtime[0], true);
            text[length] = 0;
            return 0;
        }
        default:
            return 0;
    }
}

}  // namespace kestra::s5
