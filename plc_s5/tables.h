// The S5 knowledge of the driver as constant tables: models, memory areas, element names,
// data formats, which formats a field may use, capabilities and runtime display codes.
//
// Every rule of the driver looks these tables up by PLC model (0 to 2; models 1 and 2 are
// real, row 0 is a spare copy), data type (memory area 0 or 1) and data format (1 to 14).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kestra::s5 {

inline constexpr std::uint16_t kPlcType = 20;
inline constexpr unsigned kModelCount = 3;      // rows 0, 1, 2
inline constexpr unsigned kDataTypeCount = 2;   // 0 and 1
inline constexpr unsigned kFormatCount = 14;    // identifiers 1 to 14
inline constexpr std::uint16_t kDataBlock = 1;  // the only memory area, "Data Block"
inline constexpr unsigned kElementSize = 2;     // a data block is word-addressed
inline constexpr unsigned kDataBlockElementBits = kElementSize * 8;

// Data format identifiers.
enum Format : std::uint8_t {
    kNoFormat = 0,
    kBit = 1,
    kByte = 2,
    kWord = 3,
    kDword = 4,
    kAscii = 5,
    kTimer = 6,    // KT
    kCounter = 7,  // KZ
    kFloat = 8,    // KG
    kTimerValue = 9,
    kCounterValue = 10,
    kSpcForm6 = 11,
    kBcdByte = 12,
    kBcdWord = 13,
    kBcdDword = 14,
};

// Runtime type codes of the data formats.
enum TypeCode : std::uint8_t {
    kTypeBit = 0,
    kTypeByte = 1,
    kTypeWord = 2,
    kTypeDword = 4,
    kTypeText = 5,
};

// Field types (display record byte 0).
enum FieldType : std::uint8_t {
    kNumeric = 0,
    kMessage = 1,
    kAsciiField = 2,
    kHorzBargraph = 3,
    kVertBargraph = 4,
    kGraphics = 5,
    kTouchGraphics = 6,
};
inline constexpr unsigned kFieldTypeCount = 7;

// Field classes (field record offset 4).
inline constexpr std::uint16_t kClassPlcData = 2;
inline constexpr std::uint16_t kClassAttribute = 3;

// Numeric base indices (display record byte 1, bits 3-4).
enum Base : std::uint8_t { kBinary = 0, kOctal = 1, kDecimal = 2, kHexadecimal = 3 };

// Filter flags of the format tests.
enum FilterFlag : std::uint16_t {
    kFormatKnown = 0x02,    // element limits leave room for the whole value
    kWritingNeeded = 0x04,  // the writing range applies
    kPreferredOnly = 0x08,  // only the preferred format passes; width-sized text
    kNumericCodes = 0x10,   // the numeric display code must be below 128
    kBitOnly = 0x20,
    kNoBit = 0x40,
};

struct ModelRow {
    std::uint8_t lowestDataBlock;
    std::uint8_t highestDataBlock;
    std::uint16_t readLow, readHigh;
    std::uint16_t writeLow, writeHigh;
    std::uint8_t preferredFormat;
    std::uint8_t addressBase;
    char bitSeparator;
    std::uint16_t defaultSlaveAddress;
    std::uint8_t bytesPerRequest;
    std::array<bool, kDataTypeCount> allowsDataType;
};

// The long name of a format is string 150 + id, its short name string 500 + id.
struct FormatInfo {
    std::uint8_t size;  // bytes; 0 for the bit and text forms
    std::uint8_t typeCode;
    bool swapped;  // lies in the PLC in the opposite byte order
    bool bcd;
};

// An element name of the address notation ("DB10 DW5").
struct ElementName {
    std::string_view name;
    std::uint8_t size;       // bytes of the formats it serves; 0 = the generic form
    std::uint8_t rightByte;  // 1 for the right (odd) byte of the word
};

// The row of a model, or nothing for a model the driver does not know.
const ModelRow* ModelRowFor(unsigned model);
// The format's entry, or nothing outside 1 to 14.
const FormatInfo* FormatFor(unsigned format);
// Size in address arithmetic: 0 for unknown formats.
unsigned FormatSize(unsigned format);

// The element names in the order they are searched, the generic "D" last.
std::span<const ElementName> ElementNames();
inline constexpr std::string_view kGenericElement = "D";
inline constexpr std::string_view kDataBlockPrefix = "DB";

// Whether a field of that type and class may use the format in that data type.
bool FormatAllowed(unsigned fieldType, unsigned fieldClass, unsigned dataType, unsigned format);

// Runtime display code of a field type, format and base index; nothing for a field type
// the table does not have.
std::optional<std::uint8_t> RuntimeDisplayCode(unsigned fieldType, unsigned format, unsigned base);
// Whether some field type and base give the format that display code.
bool FormatHasDisplayCode(unsigned format, std::uint8_t code);

// Capability tables for class 2 fields.
bool ReadWriteCapable(unsigned fieldType);
bool BaseCapable(unsigned fieldType, unsigned format, unsigned base);
bool FixedPointCapable(unsigned fieldType, unsigned format, unsigned base);
bool ScalingCapable(unsigned fieldType, unsigned format);

// Read optimisation: whether a field of the format and data type may share a read request.
bool OptimisationAllowed(unsigned model, unsigned format, unsigned dataType);

}  // namespace kestra::s5
