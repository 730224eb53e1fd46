// The driver's string resources.
#include <iterator>

#include "platform/module.h"
#include "plc_s5/strings.h"

namespace {

using kestra::platform::StringResource;
namespace id = kestra::s5::strings;

constexpr StringResource kStrings[] = {
    // Descriptions read by the PLC information list: type.project type.firmware, driver
    // name, library version, compatibility.
    {id::kDescription, "20.1.19"},
    {2, "Simatic S5 - Old"},
    {3, "5.00"},
    {4, "1"},
    {5, "5.01"},
    {id::kWrongPlcType,
     "The Attached Kestra Panel is Made for Simatic S5 PLCs but the Current Project Specifies a "
     "Different Type"},
    // Field types.
    {id::kFieldTypes + 0, "NUMERIC"},
    {id::kFieldTypes + 1, "MESSAGE"},
    {id::kFieldTypes + 2, "ASCII"},
    {id::kFieldTypes + 3, "HORZ.BARGRAPH"},
    {id::kFieldTypes + 4, "VERT.BARGRAPH"},
    {id::kFieldTypes + 5, "GRAPHICS"},
    {id::kFieldTypes + 6, "TOUCH GRAPHICS"},
    // Data formats, long names.
    {id::kFormatLongNames + 1, "BIT"},
    {id::kFormatLongNames + 2, "BYTE(Bin)"},
    {id::kFormatLongNames + 3, "WORD(Bin)"},
    {id::kFormatLongNames + 4, "DBLE WORD(Bin)"},
    {id::kFormatLongNames + 5, "ASCII"},
    {id::kFormatLongNames + 6, "TIMER   [KT]"},
    {id::kFormatLongNames + 7, "COUNTER [KZ]"},
    {id::kFormatLongNames + 8, "FLOAT   [KG]"},
    {id::kFormatLongNames + 9, "TIMER VALUE"},
    {id::kFormatLongNames + 10, "COUNTER VALUE"},
    {id::kFormatLongNames + 11, "SPC FORM 6"},
    {id::kFormatLongNames + 12, "BYTE(BCD)"},
    {id::kFormatLongNames + 13, "WORD(BCD)"},
    {id::kFormatLongNames + 14, "DBLE WORD(BCD)"},
    {id::kAttribute, "ATTRIBUTE"},
    // Models.
    {id::kModelNames + 1, "AG90/100/115/135"},
    {id::kModelNames + 2, "AG115 CPU 945"},
    // Data formats, short names.
    {id::kFormatShortNames + 1, "BIT"},
    {id::kFormatShortNames + 2, "BYTE"},
    {id::kFormatShortNames + 3, "WORD\\O"},
    {id::kFormatShortNames + 4, "DWORD"},
    {id::kFormatShortNames + 5, "ASCII"},
    {id::kFormatShortNames + 6, "KT"},
    {id::kFormatShortNames + 7, "KZ"},
    {id::kFormatShortNames + 8, "KG"},
    {id::kFormatShortNames + 9, "TV"},
    {id::kFormatShortNames + 10, "CV"},
    {id::kFormatShortNames + 11, "SPCF6"},
    {id::kFormatShortNames + 12, "BCDBY"},
    {id::kFormatShortNames + 13, "BCDWD"},
    {id::kFormatShortNames + 14, "BCDDW"},
    // Print lines.
    {id::kPrintSlaveAddress, "PLC slave address   %d"},
    {id::kPrintModel, "PLC model           %s"},
    {id::kPrintError, "ERR"},
    {id::kPrintFieldLine,
     "%3d %3d %3d %5s|%3d |%3d %18s %8s|%4s %10s %10s %3d %4d %8s|%6s %6s %6s"},
    {id::kPrintHeading1,
     "                 | Net|PLC           PLC         Data |                    Format        "
     "          |      Scaling "},
    {id::kPrintHeading2,
     "Num Row Col Type |Node|Slave       Address      Format| RW       Min        Max  Prec "
     "Width   Attr |   A1    A2     B"},
    {id::kPrintReadWrite, "RW"},
    {id::kPrintReadOnly, "RO"},
    // Title endings of the field dialog.
    {810, " - Recipe Item"},
    {811, " - Indexed Reference"},
    {812, " - Index"},
    {id::kIncompatibleContext,
     "Incompatible Controller driver version. Try menu option <Change Controller Driver> and "
     "then press button <Find All>."},
    // Data types.
    {id::kDataTypeNames + 1, "Data Block"},
    // Bit numbers.
    {id::kBitNumbers + 0, "0"},
    {id::kBitNumbers + 1, "1"},
    {id::kBitNumbers + 2, "2"},
    {id::kBitNumbers + 3, "3"},
    {id::kBitNumbers + 4, "4"},
    {id::kBitNumbers + 5, "5"},
    {id::kBitNumbers + 6, "6"},
    {id::kBitNumbers + 7, "7"},
    {id::kBitNumbers + 8, "8"},
    {id::kBitNumbers + 9, "9"},
    {id::kBitNumbers + 10, "10"},
    {id::kBitNumbers + 11, "11"},
    {id::kBitNumbers + 12, "12"},
    {id::kBitNumbers + 13, "13"},
    {id::kBitNumbers + 14, "14"},
    {id::kBitNumbers + 15, "15"},
    {id::kModelChangeQuestion,
     "Changing the model type will reset the reserved block addresses to default values. "
     "Continue ?"},
};

const kestra::platform::ResourceRegistration kRegistration(&kStrings,
                                                           kestra::platform::ResourceKind::Strings,
                                                           kStrings, std::size(kStrings));

}  // namespace

namespace kestra::s5 {

std::string DriverString(std::uint32_t id, int room) {
    std::string text(static_cast<std::size_t>(room > 0 ? room : 1), '\0');
    int n = LoadString(KESTRA_THIS_MODULE(), id, text.data(), room);
    text.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    return text;
}

}  // namespace kestra::s5
