#include "plc_s5/formats.h"

namespace kestra::s5 {
namespace {

constexpr std::uint8_t kBaseBits = 0x18;
constexpr unsigned kBaseShift = 3;
// Base indices in the order a display code is traced back: decimal first, so that a plain
// numeric code does not come back as a base the driver never offers.
constexpr std::array<unsigned, 4> kBaseSearchOrder = {kDecimal, kHexadecimal, kBinary, kOctal};

void SetBase(sDISPFORMAT& display, unsigned base) {
    display.format =
        static_cast<std::uint8_t>((display.format & ~kBaseBits) | (base << kBaseShift));
}

}  // namespace

bool FormatPasses(const ModelRow& row, unsigned fieldType, unsigned fieldClass, unsigned dataType,
                  unsigned format, unsigned filter) {
    if (!FormatAllowed(fieldType, fieldClass, dataType, format)) return false;
    if ((filter & kPreferredOnly) && format != row.preferredFormat) return false;
    if ((filter & kNumericCodes) &&
        RuntimeDisplayCode(kNumeric, format, kDecimal).value_or(128) >= 128)
        return false;
    if ((filter & kBitOnly) && format != kBit) return false;
    if ((filter & kNoBit) && format == kBit) return false;
    return true;
}

bool DataTypePasses(const ModelRow& row, unsigned fieldType, unsigned fieldClass, unsigned dataType,
                    unsigned filter) {
    if (dataType >= kDataTypeCount || !row.allowsDataType[dataType]) return false;
    // The lowest element of a data block must be writable.
    if ((filter & kWritingNeeded) && (row.readLow < row.writeLow || row.readLow > row.writeHigh))
        return false;
    for (unsigned format = 1; format <= kFormatCount; ++format)
        if (FormatPasses(row, fieldType, fieldClass, dataType, format, filter)) return true;
    return false;
}

unsigned ResetDataFormat(const ModelRow& row, uPLCADR& ref, unsigned fieldType,
                         unsigned fieldClass) {
    if (!DataTypePasses(row, fieldType, fieldClass, ref.dataType, 0)) {
        for (unsigned type = 0; type < kDataTypeCount; ++type)
            if (DataTypePasses(row, fieldType, fieldClass, type, 0)) {
                ref.dataType = static_cast<std::uint16_t>(type);
                break;
            }
    }
    if (!FormatPasses(row, fieldType, fieldClass, ref.dataType, ref.dataFormat, 0)) {
        ref.dataFormat = kNoFormat;
        for (unsigned format = 1; format <= kFormatCount; ++format)
            if (FormatPasses(row, fieldType, fieldClass, ref.dataType, format, 0)) {
                ref.dataFormat = static_cast<std::uint8_t>(format);
                break;
            }
    }
    return ref.dataFormat;
}

RuntimeFormat DataFormToRuntime(unsigned format, bool signedFlag, unsigned bit,
                                unsigned textLength) {
    const FormatInfo* info = FormatFor(format);
    const unsigned typeCode = info ? info->typeCode : unsigned{kTypeBit};
    RuntimeFormat runtime{};
    runtime[0] = static_cast<std::uint8_t>((typeCode & kRuntimeTypeMask) |
                                           (info && info->swapped ? kRuntimeSwap : 0));
    if (typeCode == kTypeBit)
        runtime[1] = static_cast<std::uint8_t>(bit);
    else if (typeCode == kTypeText)
        runtime[1] = static_cast<std::uint8_t>(textLength);
    else if (info->bcd)
        runtime[1] = kRuntimeBcd;
    else
        runtime[1] = signedFlag ? 0 : 1;
    return runtime;
}

void DataFormFromRuntime(uPLCADR& ref, sDISPFORMAT& display, const RuntimeFormat& runtime,
                         std::optional<std::uint8_t> displayCode) {
    const unsigned typeCode = runtime[0] & kRuntimeTypeMask;
    bool isSigned;
    if (typeCode == kTypeBit || typeCode == kTypeText || runtime[1] == kRuntimeBcd)
        isSigned = false;
    else
        isSigned = runtime[1] == 3 || runtime[1] == 0;
    if (!displayCode) isSigned = false;  // attribute references are never signed
    display.format = static_cast<std::uint8_t>(isSigned ? display.format | sDISPFORMAT::kSigned
                                                        : display.format & ~sDISPFORMAT::kSigned);
    for (unsigned format = 1; format <= kFormatCount; ++format) {
        const FormatInfo& info = *FormatFor(format);
        if (info.typeCode != typeCode) continue;
        if (displayCode && !FormatHasDisplayCode(format, *displayCode)) continue;
        if (typeCode != kTypeBit && typeCode != kTypeText &&
            info.bcd != (runtime[1] == kRuntimeBcd))
            continue;
        ref.dataFormat = static_cast<std::uint8_t>(format);
        return;
    }
}

DisplayForm DisplayFormToRuntime(unsigned format, const sDISPFORMAT& display, unsigned width,
                                 unsigned height) {
    DisplayForm form;
    auto code = RuntimeDisplayCode(display.fieldType, format, display.baseIndex());
    if (!code) return form;
    form.code = *code;
    auto w = static_cast<std::uint8_t>(width), h = static_cast<std::uint8_t>(height);
    switch (display.fieldType) {
        case kNumeric:
            form.size1 = w;
            form.size2 = (display.format & sDISPFORMAT::kFixedPoint) ? display.decimals : 0;
            break;
        case kHorzBargraph:
            form.size1 = w;
            form.size2 = h;
            break;
        case kVertBargraph:
        case kGraphics:
        case kTouchGraphics:
            form.size1 = h;
            form.size2 = w;
            break;
        default:
            form.size1 = w;
            break;
    }
    return form;
}

bool DisplayFormFromRuntime(unsigned format, sDISPFORMAT& display, std::uint8_t& width,
                            std::uint8_t& height, const DisplayForm& form) {
    for (unsigned type = 0; type < kFieldTypeCount; ++type) {
        for (unsigned base : kBaseSearchOrder) {
            if (RuntimeDisplayCode(type, format, base) != form.code) continue;
            display.fieldType = static_cast<std::uint8_t>(type);
            SetBase(display, base);
            display.format &= static_cast<std::uint8_t>(~sDISPFORMAT::kFixedPoint);
            switch (type) {
                case kNumeric:
                    width = form.size1;
                    height = 1;
                    display.decimals = form.size2;
                    if (form.size2 != 0) display.format |= sDISPFORMAT::kFixedPoint;
                    break;
                case kHorzBargraph:
                    width = form.size1;
                    height = form.size2;
                    break;
                case kVertBargraph:
                case kGraphics:
                case kTouchGraphics:
                    width = form.size2;
                    height = form.size1;
                    break;
                default:
                    width = form.size1;
                    height = 1;
                    break;
            }
            return true;
        }
    }
    return false;
}

}  // namespace kestra::s5
