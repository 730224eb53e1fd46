// Records the project editor hands the driver when a field's PLC reference is edited.
#pragma once

#include <cstdint>
#include <cstring>

#include "kestra/project.h"
#include "platform/win_types.h"

// Field dialog context, owned by the editor. Its members follow the editor's order; the
// pointers are native pointers, so the record is laid out by the compiler. The first word
// identifies the interface version.
struct _tagDEFIELD {
    std::uint16_t version;       // kFieldContextVersion
    kestra::FieldRecord* field;  // the field being edited
    kestra::ProjectBlock* project;
    void* messageCallback;      // "Edit &Message" and "Edit Graphics"
    std::uint32_t* lineWidths;  // the panel's line widths
    std::uint32_t flags;
    std::uint32_t listCounts[2];  // entries of the copies of list 1 and list 2
    HGLOBAL listCopies[2];
    std::uint16_t messageResult;
    kestra::uPLCSETUP* setup;  // PLC setup block of the field's PLC
    kestra::uPLCSETUP setupCopy;
    std::uint16_t indexResult;
    void* indexCallback;  // "Indexed ..."
    std::uint32_t characterWidth;
    std::uint32_t lineCount;
};

namespace kestra::s5 {

inline constexpr std::uint16_t kFieldContextVersion = 188;

// Context flags that decide the filter flags of the format tests.
enum FieldContextFlag : std::uint32_t {
    kContextWriteA = 1u << 21,
    kContextPreferredOnly = 1u << 22,
    kContextOtherPlc = 1u << 23,
    kContextNumericCodes = 1u << 24,
    kContextKeepCodes = 1u << 25,
    kContextBitOnly = 1u << 26,
    kContextNoBit = 1u << 27,
};

// Filter flags of a field dialog context; the BIT filters only for a format check.
unsigned ContextFilterFlags(const _tagDEFIELD& context, bool formatCheck);

// Tag context of the tag selection: the field record pointer at byte 44, the PLC setup block
// pointer at byte 52 (native pointers, 8 bytes each) and the u16 filter flags at byte 60.
struct TagContext {
    const FieldRecord* field;
    const uPLCSETUP* setup;
    std::uint16_t filter;
};
inline TagContext ReadTagContext(const void* context) {
    const auto* bytes = static_cast<const std::uint8_t*>(context);
    TagContext c{};
    std::memcpy(&c.field, bytes + 44, sizeof c.field);
    std::memcpy(&c.setup, bytes + 52, sizeof c.setup);
    c.filter = ReadLe16(bytes + 60);
    return c;
}

}  // namespace kestra::s5
