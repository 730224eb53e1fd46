// Exports of the address family: address texts, logical tags bound through the project's
// tag folder, and the reserved-area layout.
#include <cstring>
#include <string>

#include "plc_s5/address.h"
#include "plc_s5/export_guard.h"
#include "plc_s5/formats.h"
#include "plc_s5/k32plc1.h"
#include "utilities/tags.h"

using namespace kestra;
using namespace kestra::s5;

namespace {

constexpr int kTagNameRoom = 100;
constexpr std::size_t kAddressBytes = 7;  // DB, byte offset, format, bit, data type
constexpr DWORD kTagModeLookUp = 0;

// The tag data of a tag is a PLC reference, padded to the 32 bytes of a tag element.
struct TagData {
    uPLCADR ref;
    std::uint8_t tail[2];
};
static_assert(sizeof(TagData) == TagElement::kDataSize);

void* TagFolderOf(sTARGSETUP* project) {
    return &project->ext.tagFolder;
}

// The name of the tag a bound reference names, when the tag still exists.
bool TagName(sTARGSETUP* project, const uPLCADR& ref, char* text) {
    if (!(ref.flags & uPLCADR::kBoundToTag)) return false;
    char name[kTagNameRoom] = "";
    if (!GetTagElement(TagFolderOf(project), project, ref.tagIndex, nullptr, nullptr, nullptr, name,
                       kTagNameRoom, nullptr))
        return false;
    std::memcpy(text, name, std::strlen(name) + 1);
    return true;
}

// Binds the reference to the first tag named by the text; false when there is none.
bool BindToTag(sTARGSETUP* project, const char* text, uPLCADR& ref, const uPLCSETUP* setup) {
    TagData descriptor{ref, {}};
    TagData found{};
    const DWORD key = ScanForExistingTag(TagFolderOf(project), project, text, &descriptor, &found,
                                         nullptr, &TagCheckFunction);
    if (key == 0) return false;
    ref.tagIndex = static_cast<std::uint16_t>(key);
    SetToTagAddress(&ref, &found.ref, setup);
    ref.flags |= uPLCADR::kBoundToTag;
    return true;
}

bool CopyOut(const std::optional<std::string>& text, char* out) {
    if (!text) return false;
    std::memcpy(out, text->c_str(), text->size() + 1);
    return true;
}

void NoAddressConversion() {}

}  // namespace

extern "C" {

BOOL ExpWriteLogicalAddressString(char* text, sTARGSETUP* project, const uPLCSETUP* setup,
                                  uPLCADR* ref, std::uintptr_t, BOOL preferred, DWORD tagMode) {
    return Guarded<BOOL>(FALSE, [&] {
        const ModelRow* row = RowOf(setup);
        if (!text || !ref || !row) return FALSE;
        if (tagMode == kTagModeLookUp && project && TagName(project, *ref, text)) return TRUE;
        return CopyOut(WriteAddress(*row, *ref, preferred != 0), text) ? TRUE : FALSE;
    });
}

BOOL ExpDecodeLogicalAddressString(const char* text, sTARGSETUP* project, const uPLCSETUP* setup,
                                   uPLCADR* ref, std::uintptr_t, BOOL preferred, DWORD tagMode) {
    return Guarded<BOOL>(FALSE, [&] {
        const ModelRow* row = RowOf(setup);
        if (!text || !ref || !row) return FALSE;
        if (tagMode == kTagModeLookUp && project) {
            if (BindToTag(project, text, *ref, setup)) return TRUE;
            ref->flags &= static_cast<std::uint8_t>(~uPLCADR::kBoundToTag);
        }
        return ReadAddress(*row, text, *ref, preferred != 0) ? TRUE : FALSE;
    });
}

BOOL ExpGetLogicalTag(char* text, const uPLCSETUP* setup, const uPLCADR* ref) {
    return Guarded<BOOL>(FALSE, [&] {
        const ModelRow* row = RowOf(setup);
        return text && ref && row && CopyOut(WriteAddress(*row, *ref, false), text) ? TRUE : FALSE;
    });
}

BOOL ExpSetLogicalTag(const char* text, const uPLCSETUP* setup, uPLCADR* ref) {
    return Guarded<BOOL>(FALSE, [&] {
        const ModelRow* row = RowOf(setup);
        return text && ref && row && ReadAddress(*row, text, *ref, false) ? TRUE : FALSE;
    });
}

BOOL ExpValidatePLCAddress(uPLCADR* ref, const uPLCSETUP* setup, sTARGSETUP* project,
                           std::uintptr_t) {
    if (!ref || !project || !(ref->flags & uPLCADR::kBoundToTag)) return TRUE;
    TagData tag{};
    if (GetTagElement(TagFolderOf(project), project, ref->tagIndex, &tag, nullptr, nullptr, nullptr,
                      0, nullptr)) {
        SetToTagAddress(ref, &tag.ref, setup);
    } else {
        ref->tagIndex = 0;
        ref->flags &= static_cast<std::uint8_t>(~uPLCADR::kBoundToTag);
    }
    return TRUE;
}

void SetToTagAddress(uPLCADR* destination, const uPLCADR* tagRef, const uPLCSETUP*) {
    if (destination && tagRef) std::memmove(static_cast<void*>(destination), tagRef, kAddressBytes);
}

BOOL IsTagContextValid(const void* context, const uPLCADR* tagRef) {
    if (!context || !tagRef) return FALSE;
    const TagContext c = ReadTagContext(context);
    const ModelRow* row = RowOf(c.setup);
    if (!c.field || !row) return FALSE;
    return DataTypePasses(*row, c.field->display.fieldType, c.field->fieldClass, tagRef->dataType,
                          c.filter);
}

BOOL TagCheckFunction(const void*, const void*, const void*, const void*) {
    return TRUE;
}

void ExpConvertAddressProject2PLC(std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t,
                                  std::uintptr_t, std::uintptr_t) {
    NoAddressConversion();
}

void ExpConvertAddressPLC2Project(std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t,
                                  std::uintptr_t, std::uintptr_t) {
    NoAddressConversion();
}

}  // extern "C"
