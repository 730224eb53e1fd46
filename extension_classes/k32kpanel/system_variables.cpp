#include "extension_classes/k32kpanel/system_variables.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>

#include "platform/module.h"

using kestra::uPLCADR;
using kestra::uPLCSETUP;

namespace {

constexpr DWORD kPlcType = 0;
constexpr WORD kSystemVariableArea = 1;
constexpr WORD kPanelModel = 1;
constexpr DWORD kMaxModeInit = 7;
constexpr DWORD kNameRoom = 101;

enum Format : BYTE { kBit = 1, kByte = 2, kWord = 3, kDword = 4, kAscii = 5 };

constexpr kestra::platform::StringResource kStrings[] = {
    {1, "0.0.1"},   {2, "Kestra Panel System Variables"},
    {3, "1.00"},    {4, "0"},
    {151, "BIT"},   {152, "BYTE"},
    {153, "WORD"},  {154, "DBLE WORD"},
    {155, "ASCII"}, {301, "Kestra Panel"},
};
const kestra::platform::ResourceRegistration kRegistration(&kStrings,
                                                           kestra::platform::ResourceKind::Strings,
                                                           kStrings, std::size(kStrings));

struct SystemVariable {
    const char* name;
    Format format;
    bool writable;
};
// A variable's address is its position in this table.
constexpr SystemVariable kVariables[] = {
    {"SECOND", kWord, true},       {"MINUTE", kWord, true},   {"HOUR", kWord, true},
    {"DAY", kWord, true},          {"MONTH", kWord, true},    {"YEAR", kWord, true},
    {"WEEKDAY", kWord, false},     {"PAGE", kWord, true},     {"ALARMS", kWord, false},
    {"BACKLIGHT", kByte, true},    {"LANGUAGE", kByte, true}, {"BEEP", kBit, true},
    {"PANEL_NAME", kAscii, false},
};

const char* text(UINT id) {
    return kestra::platform::FindString(KESTRA_THIS_MODULE(), id);
}

void copyText(std::string_view source, char* buffer, DWORD size) {
    if (!buffer || size == 0) return;
    const std::size_t n = std::min<std::size_t>(source.size(), size - 1);
    std::memcpy(buffer, source.data(), n);
    buffer[n] = 0;
}

const SystemVariable* variableOf(const uPLCADR* ref) {
    if (!ref || ref->dataType != kSystemVariableArea) return nullptr;
    const unsigned index = ref->byteOffset;
    return index < std::size(kVariables) ? &kVariables[index] : nullptr;
}

}  // namespace

extern "C" {

BOOL InitPlcDefaults(kestra::sTARGSETUP*, const uPLCSETUP*, uPLCSETUP* setup,
                     kestra::tagFIELDREC* field, DWORD mode) {
    if (mode > kMaxModeInit) return FALSE;
    if (mode == 0 && setup) ExpSetPLCModel(kPanelModel, setup);
    if ((mode == 0 || mode == 4 || mode == 6) && field) {
        field->plc.dataType = kSystemVariableArea;
        field->plc.byteOffset = 0;
        field->plc.dataFormat = kVariables[0].format;
    }
    return TRUE;
}

DWORD ExpGetPLCType() {
    return kPlcType;
}

void ExpSetPLCModel(DWORD model, uPLCSETUP* setup) {
    if (setup) setup->model = LOWORD(model);
}

BOOL ExpGetModelName(const void* setup, DWORD, char* buffer, DWORD size) {
    if (!setup) return FALSE;
    copyText(text(300 + kPanelModel), buffer, size);
    return TRUE;
}

DWORD ExpGetModelIDandNameArrays(const uPLCSETUP*, DWORD* ids, char* names) {
    const std::string_view name = text(300 + kPanelModel);
    if (!ids || !names) return static_cast<DWORD>((name.size() + 1) * 65536 + 1);
    ids[0] = kPanelModel;
    std::memcpy(names, name.data(), name.size());
    names[name.size()] = 0;
    return 1;
}

void ExpSetDataFormat(uPLCADR* ref, DWORD format) {
    if (ref) ref->dataFormat = static_cast<BYTE>(format);
}

DWORD ExpGetDataFormat(const uPLCADR* ref) {
    return ref ? ref->dataFormat : 0;
}

DWORD ExpGetDataFormatStringFromId(DWORD id, char* buffer, DWORD size) {
    const char* name = id >= kBit && id <= kAscii ? text(150 + id) : nullptr;
    if (!name) return id;
    copyText(name, buffer, size);
    return static_cast<DWORD>(std::strlen(name));
}

DWORD ExpGetDataFormatIdFromString(const char* name) {
    if (!name) return 0;
    for (DWORD id = kBit; id <= kAscii; ++id)
        if (strcasecmp(text(150 + id), name) == 0) return id;
    return 0;
}

DWORD ExpGetPreferredDataFormat(const uPLCSETUP*, const uPLCADR* ref) {
    const SystemVariable* variable = variableOf(ref);
    return variable ? variable->format : kWord;
}

BOOL ExpIsASCIIDataFormat(const uPLCADR* ref) {
    return ref && ref->dataFormat == kAscii ? TRUE : FALSE;
}

BOOL ExpIsFormatSupported(const uPLCSETUP*, DWORD, const uPLCADR* ref, DWORD, DWORD) {
    const SystemVariable* variable = variableOf(ref);
    return variable && variable->format == ref->dataFormat ? TRUE : FALSE;
}

BOOL ExpIsReadWriteSupported(const uPLCSETUP*, DWORD, const uPLCADR* ref, DWORD) {
    const SystemVariable* variable = variableOf(ref);
    return variable && variable->writable ? TRUE : FALSE;
}

BOOL ExpSetLogicalTag(const char* name, const uPLCSETUP*, uPLCADR* ref) {
    if (!name || !ref) return FALSE;
    for (std::size_t i = 0; i < std::size(kVariables); ++i) {
        if (strcasecmp(kVariables[i].name, name) != 0) continue;
        ref->dataType = kSystemVariableArea;
        ref->byteOffset = static_cast<WORD>(i);
        ref->bit = 0;
        ref->dataFormat = kVariables[i].format;
        return TRUE;
    }
    return FALSE;
}

BOOL ExpGetLogicalTag(char* name, const uPLCSETUP*, const uPLCADR* ref) {
    const SystemVariable* variable = variableOf(ref);
    if (!name || !variable) return FALSE;
    copyText(variable->name, name, kNameRoom);
    return TRUE;
}

BOOL ExpCanCloseDialog(_tagDEFIELD*) {
    return TRUE;
}

}  // extern "C"
