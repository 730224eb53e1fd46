// The print request the project editor hands PlcPrint, one per print step.
#pragma once

#include <cstdint>

#include "kestra/project.h"
#include "platform/win_types.h"

using HDC = struct HDC__*;

extern "C" {

// The line callback: called after a heading line with the line counter (twice) and the
// device context; nonzero stops the request.
using PRINTLINEPROC = BOOL (*)(LONG* lineCounter, HDC dc, LONG* sameCounter);

// Print request, owned by the editor. Its members follow the editor's order; the pointers
// are native pointers, so the record is laid out by the compiler. The size word keeps the
// interface's values: 64 and up says that `setup` is there, 68 and up that `fieldNumber` is.
struct PLCPRINTREQUEST {
    std::uint16_t size;
    std::uint16_t type;  // 0 to 5
    kestra::ProjectBlock* project;
    void* reserved8;
    HDC dc;  // where drawing requests draw
    PRINTLINEPROC lineCallback;
    LONG* lineCounter;  // lines drawn so far on the page
    LONG* lineHeight;   // in device units
    const kestra::FieldRecord* field;
    const char* typeText;  // the field's type column
    char* formatName;      // out: the data format's short name
    char* minimumText;     // out: at most 49 characters and a zero
    char* maximumText;     // out: the same
    void* reserved48;
    const char* attributeText;         // the field's attribute column
    char* line;                        // out: the field line, or the model name
    const kestra::uPLCSETUP* setup;    // the field's PLC (size 64 and up)
    const std::uint32_t* fieldNumber;  // size 68 and up
};

}  // extern "C"

namespace kestra::s5 {

// Size words of the request's versions.
inline constexpr std::uint16_t kPrintRequestBase = 60;
inline constexpr std::uint16_t kPrintRequestWithSetup = 64;
inline constexpr std::uint16_t kPrintRequestWithFieldNumber = 68;

// Request types.
enum PrintRequestType : std::uint16_t {
    kPrintHeadings = 0,
    kPrintPlcHeader = 1,
    kPrintFormatTexts = 2,
    kPrintFieldLine = 3,
    kPrintModelName = 4,
    kPrintNothing = 5,
};

// Rooms of the output buffers, zero included.
inline constexpr std::size_t kFormatNameRoom = 10;
inline constexpr std::size_t kLimitTextRoom = 50;
inline constexpr std::size_t kModelNameRoom = 101;  // at most 100 characters
inline constexpr std::size_t kPrintLineRoom = 256;

}  // namespace kestra::s5
