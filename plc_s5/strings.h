// Numbers of the driver's string resources and reading them.
#pragma once

#include <cstdint>
#include <string>

namespace kestra::s5 {

namespace strings {
inline constexpr std::uint32_t kDescription = 1;  // "20.1.19"
inline constexpr std::uint32_t kWrongPlcType = 50;
inline constexpr std::uint32_t kFieldTypes = 100;       // + field type
inline constexpr std::uint32_t kFormatLongNames = 150;  // + format
inline constexpr std::uint32_t kAttribute = 203;
inline constexpr std::uint32_t kModelNames = 300;        // + model
inline constexpr std::uint32_t kFormatShortNames = 500;  // + format
inline constexpr std::uint32_t kPrintSlaveAddress = 701;
inline constexpr std::uint32_t kPrintModel = 702;
inline constexpr std::uint32_t kPrintError = 703;
inline constexpr std::uint32_t kPrintFieldLine = 704;
inline constexpr std::uint32_t kPrintHeading1 = 705;
inline constexpr std::uint32_t kPrintHeading2 = 706;
inline constexpr std::uint32_t kPrintReadWrite = 707;
inline constexpr std::uint32_t kPrintReadOnly = 708;
inline constexpr std::uint32_t kIncompatibleContext = 813;
inline constexpr std::uint32_t kDataTypeNames = 900;  // + data type
inline constexpr std::uint32_t kBitNumbers = 1000;    // + bit number 0 to 15
inline constexpr std::uint32_t kModelChangeQuestion = 2501;
// Caption of the driver's error boxes: string 1201 of the host module "FABRICON".
inline constexpr std::uint32_t kHostCaption = 1201;
inline constexpr const char* kHostModule = "FABRICON";
}  // namespace strings

// The driver's string resource, empty when it does not exist; at most `room` - 1 characters,
// as a resource buffer of that size would hold.
std::string DriverString(std::uint32_t id, int room = 256);

}  // namespace kestra::s5
