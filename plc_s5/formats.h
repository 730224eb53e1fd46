// Which data formats and data types a field may use, and the conversions of data formats
// and display forms between the project and the runtime form the panel reads.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "kestra/plc_records.h"
#include "plc_s5/tables.h"

namespace kestra::s5 {

// The format test: the format is allowed for the field type and class in the data type,
// and passes the filter flags.
bool FormatPasses(const ModelRow& row, unsigned fieldType, unsigned fieldClass, unsigned dataType,
                  unsigned format, unsigned filter);
// The data type test: the model allows the type, its writing range holds its lowest element
// when writing is needed, and some format passes in it.
bool DataTypePasses(const ModelRow& row, unsigned fieldType, unsigned fieldClass, unsigned dataType,
                    unsigned filter);
// Keeps the reference's data type and format when they pass, else takes the first that do
// (format 0 when none does); returns the format.
unsigned ResetDataFormat(const ModelRow& row, uPLCADR& ref, unsigned fieldType,
                         unsigned fieldClass);

// The two-byte runtime data format: type code and swap flag, then the bit index, the text
// length, 2 for BCD, or the signedness (0 signed, 1 unsigned).
using RuntimeFormat = std::array<std::uint8_t, 2>;
inline constexpr std::uint8_t kRuntimeSwap = 0x80;
inline constexpr std::uint8_t kRuntimeHalfSwap = 0x40;
inline constexpr std::uint8_t kRuntimeTypeMask = 0x3F;
inline constexpr std::uint8_t kRuntimeBcd = 2;
RuntimeFormat DataFormToRuntime(unsigned format, bool signedFlag, unsigned bit,
                                unsigned textLength);
// Sets the reference's format and the display record's signed bit from a runtime format;
// `displayCode` narrows the formats to those that give it, when present.
void DataFormFromRuntime(uPLCADR& ref, sDISPFORMAT& display, const RuntimeFormat& runtime,
                         std::optional<std::uint8_t> displayCode);

// Display form: the runtime display code and two sizes.
struct DisplayForm {
    std::uint8_t code = 0, size1 = 0, size2 = 0;
};
DisplayForm DisplayFormToRuntime(unsigned format, const sDISPFORMAT& display, unsigned width,
                                 unsigned height);
// Sets field type, base, fixed point and decimals, width and height from a display form;
// false when no field type gives the code for the format.
bool DisplayFormFromRuntime(unsigned format, sDISPFORMAT& display, std::uint8_t& width,
                            std::uint8_t& height, const DisplayForm& form);

}  // namespace kestra::s5
