// The compact setup form in which the project editor keeps the panel setup, and its expansion
// into the setup record and back.
#include <cstring>

#include "panel_setup/data_chunk.h"

namespace kestra::panel {
namespace {

// Compact bytes copied one to one: compact offset, record offset, byte count.
struct PlainSpan {
    std::size_t compact, record, count;
};
constexpr PlainSpan kBothWays[] = {
    {2, setup::kDisplayCode, 1},  {3, setup::kInternalMemory, 1}, {9, setup::kMemorySizeCode, 1},
    {10, setup::kCaps405, 1},     {11, setup::kCaps406, 1},       {12, setup::kNetworkEnabled, 1},
    {13, setup::kNodeNumber, 2},  {15, setup::kCommErrorPage, 2}, {18, setup::kCmdTimeout, 5},
    {23, setup::kScreenSaver, 2}, {25, setup::kColours, 1},
};
// Bytes that only travel back to the project editor.
constexpr PlainSpan kReturnOnly[] = {{4, setup::kEditorWord15, 2}, {6, setup::kEditorByte81, 1}};

constexpr std::size_t kCompactFlags = 17;

// Compact byte 17 to record byte 414: bits 0 and 1 as they are, bit 2 inverted into bit 4,
// bits 3, 4 and 5 into bits 5, 6 and 7.
std::uint8_t ExpandFlags(std::uint8_t c) {
    std::uint8_t r = c & 0x03;
    if (!(c & 0x04)) r |= 0x10;
    r |= static_cast<std::uint8_t>((c & 0x38) << 2);
    return r;
}

std::uint8_t CompressFlags(std::uint8_t r) {
    std::uint8_t c = r & 0x03;
    if (!(r & 0x10)) c |= 0x04;
    c |= static_cast<std::uint8_t>((r & 0xE0) >> 2);
    return c;
}

}  // namespace

void ExpandCompactSetup(std::span<const std::uint8_t, kCompactSize> compact,
                        std::span<std::uint8_t, setup::kSize> record) {
    for (const auto& span : kBothWays)
        std::memcpy(&record[span.record], &compact[span.compact], span.count);
    record[setup::kTimeDateFormat] =
        static_cast<std::uint8_t>((compact[0] & 0x0F) | ((compact[1] & 0x0F) << 4));
    record[setup::kFlags414] = ExpandFlags(compact[kCompactFlags]);
}

void CompressCompactSetup(std::span<const std::uint8_t, setup::kSize> record,
                          std::span<std::uint8_t, kCompactSize> compact) {
    for (const auto& span : kBothWays)
        std::memcpy(&compact[span.compact], &record[span.record], span.count);
    for (const auto& span : kReturnOnly)
        std::memcpy(&compact[span.compact], &record[span.record], span.count);
    compact[0] = record[setup::kTimeDateFormat] & 0x0F;
    compact[1] = record[setup::kTimeDateFormat] >> 4;
    compact[7] = record[setup::kEditorByte82] & 0x0F;
    compact[8] = record[setup::kEditorByte82] >> 4;
    compact[kCompactFlags] = CompressFlags(record[setup::kFlags414]);
}

}  // namespace kestra::panel
