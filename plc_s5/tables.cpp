#include "plc_s5/tables.h"

namespace kestra::s5 {
namespace {

// Models 0, 1 and 2 are identical.
constexpr ModelRow kModel = {
    .lowestDataBlock = 2,
    .highestDataBlock = 255,
    .readLow = 0,
    .readHigh = 255,
    .writeLow = 0,
    .writeHigh = 255,
    .preferredFormat = kWord,
    .addressBase = 10,
    .bitSeparator = '.',
    .defaultSlaveAddress = 10,
    .bytesPerRequest = 60,
    .allowsDataType = {false, true},
};
constexpr std::array<ModelRow, kModelCount> kModels = {kModel, kModel, kModel};

// Indexed by identifier; entry 0 is no format. Size, type code, swap, BCD.
constexpr std::array<FormatInfo, kFormatCount + 1> kFormats = {{
    {0, 0, false, false},          // 0 (none)
    {0, kTypeBit, false, false},   // 1 BIT
    {1, kTypeByte, false, false},  // 2 BYTE(Bin)
    {2, kTypeWord, true, false},   // 3 WORD(Bin)
    {4, kTypeDword, true, false},  // 4 DBLE WORD(Bin)
    {0, kTypeText, false, false},  // 5 ASCII
    {2, kTypeWord, true, false},   // 6 KT
    {2, kTypeWord, true, false},   // 7 KZ
    {4, kTypeDword, true, false},  // 8 KG
    {2, kTypeBit, true, false},    // 9 TIMER VALUE
    {2, kTypeBit, true, false},    // 10 COUNTER VALUE
    {0, kTypeBit, false, false},   // 11 SPC FORM 6
    {1, kTypeBit, false, true},    // 12 BYTE(BCD)
    {2, kTypeBit, true, true},     // 13 WORD(BCD)
    {4, kTypeBit, true, true},     // 14 DBLE WORD(BCD)
}};

constexpr std::array<ElementName, 5> kElementNames = {{
    {"DL", 1, 0},
    {"DR", 1, 1},
    {"DW", 2, 0},
    {"DD", 4, 0},
    {kGenericElement, 0, 0},
}};

// Allowed formats of class 2 fields by field type, as bit masks over the identifiers.
constexpr std::uint16_t Mask(std::initializer_list<unsigned> formats) {
    std::uint16_t mask = 0;
    for (unsigned f : formats) mask = static_cast<std::uint16_t>(mask | (1u << f));
    return mask;
}
constexpr std::array<std::uint16_t, kFieldTypeCount> kClass2Formats = {
    Mask({kBit, kByte, kWord, kDword, kTimer, kCounter, kFloat}),  // NUMERIC
    Mask({kBit, kByte, kWord, kDword}),                            // MESSAGE
    Mask({kAscii}),                                                // ASCII, data type 1 only
    Mask({kWord}),                                                 // HORZ.BARGRAPH
    Mask({kWord}),                                                 // VERT.BARGRAPH
    0,
    0,
};
constexpr std::uint16_t kClass3Formats = Mask({kBit, kByte, kWord, kDword});

// Display codes of field types 1 to 6, the same for every format and base.
constexpr std::array<std::uint8_t, kFieldTypeCount> kPlainDisplayCodes = {0, 3, 4, 8, 9, 10, 11};

constexpr std::uint16_t kHexFormats = Mask({kByte, kWord, kDword});
constexpr std::uint16_t kFixedPointFormats = Mask({kByte, kWord, kDword, kFloat});
constexpr std::uint16_t kOptimisedFormats =
    static_cast<std::uint16_t>(Mask({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13, 14}));

bool InMask(std::uint16_t mask, unsigned format) {
    return format < 16 && ((mask >> format) & 1);
}

}  // namespace

const ModelRow* ModelRowFor(unsigned model) {
    return model < kModels.size() ? &kModels[model] : nullptr;
}

const FormatInfo* FormatFor(unsigned format) {
    return format >= 1 && format <= kFormatCount ? &kFormats[format] : nullptr;
}

unsigned FormatSize(unsigned format) {
    const FormatInfo* info = FormatFor(format);
    return info ? info->size : 0;
}

std::span<const ElementName> ElementNames() {
    return kElementNames;
}

bool FormatAllowed(unsigned fieldType, unsigned fieldClass, unsigned dataType, unsigned format) {
    if (dataType >= kDataTypeCount) return false;
    if (fieldClass == kClassAttribute) return InMask(kClass3Formats, format);
    if (fieldClass != kClassPlcData || fieldType >= kFieldTypeCount) return false;
    if (fieldType == kAsciiField && dataType != kDataBlock) return false;
    return InMask(kClass2Formats[fieldType], format);
}

std::optional<std::uint8_t> RuntimeDisplayCode(unsigned fieldType, unsigned format, unsigned base) {
    if (fieldType >= kFieldTypeCount) return std::nullopt;
    if (fieldType != kNumeric) return kPlainDisplayCodes[fieldType];
    switch (format) {
        case kTimer:
            return 5;
        case kCounter:
            return 6;
        case kFloat:
            return 7;
        default:
            return base == kHexadecimal ? 1 : 0;
    }
}

bool FormatHasDisplayCode(unsigned format, std::uint8_t code) {
    for (unsigned type = 0; type < kFieldTypeCount; ++type)
        for (unsigned base = 0; base < 4; ++base)
            if (RuntimeDisplayCode(type, format, base) == code) return true;
    return false;
}

bool ReadWriteCapable(unsigned fieldType) {
    return fieldType <= kAsciiField;
}

bool BaseCapable(unsigned fieldType, unsigned format, unsigned base) {
    if (fieldType != kNumeric) return false;
    if (base == kDecimal) return FormatFor(format) && format != kSpcForm6;
    if (base == kHexadecimal) return InMask(kHexFormats, format);
    return false;
}

bool FixedPointCapable(unsigned fieldType, unsigned format, unsigned base) {
    return fieldType == kNumeric && base == kDecimal && InMask(kFixedPointFormats, format);
}

bool ScalingCapable(unsigned fieldType, unsigned format) {
    return (fieldType == kNumeric || fieldType == kHorzBargraph || fieldType == kVertBargraph) &&
           format == kWord;
}

bool OptimisationAllowed(unsigned model, unsigned format, unsigned dataType) {
    return model < kModelCount && dataType < kDataTypeCount && InMask(kOptimisedFormats, format);
}

}  // namespace kestra::s5
