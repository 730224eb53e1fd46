// Byte layouts of the records that the panel setup program edits: the setup record, its compact
// form, the display record, the passthrough record and the setup exchange block that travels
// between the project editor and the program.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/records.h"

namespace kestra::panel {

// The setup record: 427 bytes, mostly carried unchanged; the offsets the program interprets.
namespace setup {
inline constexpr std::size_t kSize = 427;
inline constexpr std::size_t kPrinterFlags = 3;
inline constexpr std::size_t kTimeDateFormat = 11;  // low nibble time, high nibble date
inline constexpr std::size_t kDisplayCode = 12;
inline constexpr std::size_t kInternalMemory = 13;
inline constexpr std::size_t kEditorWord15 = 15;
inline constexpr std::size_t kEditorByte81 = 81;
inline constexpr std::size_t kEditorByte82 = 82;
inline constexpr std::size_t kMemorySizeCode = 404;
inline constexpr std::size_t kCaps405 = 405;
inline constexpr std::size_t kCaps406 = 406;
inline constexpr std::size_t kNodeNumber = 409;
inline constexpr std::size_t kNetworkEnabled = 411;
inline constexpr std::size_t kCommErrorPage = 412;
inline constexpr std::size_t kFlags414 = 414;
inline constexpr std::size_t kCmdTimeout = 418;
inline constexpr std::size_t kFieldSelTimeout = 419;
inline constexpr std::size_t kDataTimeout = 420;
inline constexpr std::size_t kScreenSaver = 423;
inline constexpr std::size_t kColours = 425;
}  // namespace setup

// The compact setup form: 26 bytes.
inline constexpr std::size_t kCompactSize = 26;

// The display record: 118 bytes.
struct DisplayRecord {
    char sectionName[10];
    char modelName[80];
    les16 displayCode;
    les16 rows;
    les16 columns;
    les16 charWidth;
    les16 charHeight;
    les16 bargraphStart;
    le16 attributes;
    les16 touchColumns;
    les16 touchRows;
    les16 touchType;
    les16 mfgCode;
    std::uint8_t versionHundreds;
    std::uint8_t versionRemainder;
    les16 colours;
    le16 features;
};
static_assert(sizeof(DisplayRecord) == 118);
static_assert(offsetof(DisplayRecord, displayCode) == 90);
static_assert(offsetof(DisplayRecord, attributes) == 102);
static_assert(offsetof(DisplayRecord, mfgCode) == 110);
static_assert(offsetof(DisplayRecord, versionHundreds) == 112);
static_assert(offsetof(DisplayRecord, colours) == 114);
static_assert(offsetof(DisplayRecord, features) == 116);

// Bits of the display record's attribute word (offset 102).
namespace attr {
inline constexpr std::uint16_t kHighlight = 1u << 0;
inline constexpr std::uint16_t kBlink = 1u << 1;
inline constexpr std::uint16_t kReverse = 1u << 2;
inline constexpr std::uint16_t kTouchscreen = 1u << 3;
inline constexpr std::uint16_t kAnySemigraphics = 1u << 4;
inline constexpr std::uint16_t kColourDisplay = 1u << 9;
}  // namespace attr

// Bits of the display record's feature word (offset 116).
namespace feature {
inline constexpr std::uint16_t kPixelPositioning = 1u << 7;
inline constexpr std::uint16_t kZOrder = 1u << 8;
inline constexpr std::uint16_t kShapes = 1u << 9;
}  // namespace feature

// The passthrough record: 2304 bytes.
inline constexpr std::size_t kCommandTextSize = 255;
struct PassthroughRecord {
    std::uint8_t mode;
    le16 baudRate;
    std::uint8_t parity;
    std::uint8_t dataBits;
    std::uint8_t stopBits;
    std::uint8_t flags6;
    le16 flags7;
    char commands[9][kCommandTextSize];
};
static_assert(sizeof(PassthroughRecord) == 2304);
static_assert(offsetof(PassthroughRecord, commands) == 9);

// Offsets of the passthrough command texts.
namespace rpt {
inline constexpr std::size_t kStartResponse = 774;
inline constexpr std::size_t kStartRequest = 1029;
inline constexpr std::size_t kStopResponse = 1284;
inline constexpr std::size_t kStopRequest = 1539;
inline constexpr std::size_t kCfgResponse = 1794;
inline constexpr std::size_t kCfgRequest = 2049;
}  // namespace rpt

// The setup exchange block.
namespace block {
inline constexpr std::size_t kSetupChanged = 0;
inline constexpr std::size_t kDisplayChanged = 1;
inline constexpr std::size_t kPassthroughChanged = 2;
inline constexpr std::size_t kPasswordChanged = 3;
inline constexpr std::size_t kColourGraphicsUsed = 4;
inline constexpr std::size_t kForthOffered = 5;
inline constexpr std::size_t kCompact = 8;
inline constexpr std::size_t kDisplay = 35;
inline constexpr std::size_t kPassthrough = 153;
inline constexpr std::size_t kEthernet = 2457;
inline constexpr std::size_t kEthernetSize = 20;
inline constexpr std::size_t kByte2477 = 2477;
inline constexpr std::size_t kEthernetAndByteSize = 21;  // the Ethernet bytes and the byte at 2477
inline constexpr std::size_t kProjectSize = 2478;
inline constexpr std::size_t kPassword = 2482;
inline constexpr std::size_t kPasswordSize = 16;
inline constexpr std::size_t kModelPath = 2498;
inline constexpr std::size_t kModelPathSize = 260;
inline constexpr std::size_t kValue2758 = 2758;
inline constexpr std::size_t kNodeCount = 2760;
inline constexpr std::size_t kFixedSize = 2762;  // also the size of the reply
inline constexpr std::size_t kNodeSize = 134;
inline constexpr std::size_t kNodeKind = 132;  // the 16-bit node kind inside an entry
}  // namespace block

}  // namespace kestra::panel
