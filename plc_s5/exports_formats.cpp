// Exports of the data format family: models, formats, capabilities and conversions.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "plc_s5/address.h"
#include "plc_s5/export_guard.h"
#include "plc_s5/formats.h"
#include "plc_s5/k32plc1.h"
#include "plc_s5/limits.h"
#include "plc_s5/strings.h"

using namespace kestra;
using namespace kestra::s5;

namespace {

// Short model names used in the PLC string; this driver's table is empty.
constexpr const char* kModelShortNames[3] = {"", "", ""};
constexpr const char* kPlcStringPrefix = "Simatic S5 Series";

unsigned FormatOf(const uPLCADR* ref) {
    return ref ? ref->dataFormat : unsigned{kWord};
}

// Copies a text cut to `room` bytes with its zero; returns the characters copied.
std::size_t CopyText(const std::string& text, char* buffer, std::size_t room) {
    if (!buffer || room == 0) return 0;
    const std::size_t n = std::min(text.size(), room - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
    return n;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

RuntimeFormat RuntimeOf(const BYTE* runtime) {
    return {runtime[0], runtime[1]};
}

}  // namespace

extern "C" {

DWORD ExpGetPLCType() {
    return kPlcType;
}

void ExpSetPLCModel(DWORD model, uPLCSETUP* setup) {
    if (setup) setup->model = LOWORD(model);
}

BOOL ExpGetModelName(const void* setupNetInfo, DWORD slaveAddress, char* buffer, DWORD size) {
    return Guarded<BOOL>(FALSE, [&] {
        const auto* setup = static_cast<const uPLCSETUP*>(setupNetInfo);
        if (!setup) return FALSE;
        unsigned model = setup->model;
        if (const auto* slaves = reinterpret_cast<const uPLCSETUP*>(
                mem::At(setup->children, 0, std::size_t{setup->childCount} * sizeof(uPLCSETUP)))) {
            for (std::size_t i = 0; i < setup->childCount; ++i)
                if (slaves[i].slaveAddress == LOWORD(slaveAddress)) {
                    model = slaves[i].model;
                    break;
                }
        }
        CopyText(DriverString(strings::kModelNames + model), buffer, size);
        return TRUE;
    });
}

DWORD ExpGetModelIDandNameArrays(const uPLCSETUP* setup, DWORD* ids, char* names) {
    return Guarded<DWORD>(0, [&]() -> DWORD {
        std::vector<unsigned> models =
            setup ? std::vector<unsigned>{setup->model} : std::vector<unsigned>{1, 2};
        std::size_t totalBytes = 0;
        for (std::size_t i = 0; i < models.size(); ++i) {
            const std::string name = DriverString(strings::kModelNames + models[i]);
            if (ids && names) {
                ids[i] = models[i];
                std::memcpy(names + totalBytes, name.c_str(), name.size() + 1);
            }
            totalBytes += name.size() + 1;
        }
        if (!ids || !names) return static_cast<DWORD>(totalBytes * 65536 + models.size());
        return static_cast<DWORD>(models.size());
    });
}

void ExpSetDataFormat(uPLCADR* ref, DWORD format) {
    if (ref) ref->dataFormat = static_cast<std::uint8_t>(format);
}

DWORD ExpGetDataFormat(const uPLCADR* ref) {
    return ref ? ref->dataFormat : 0;
}

DWORD ExpGetDataFormatStringFromId(DWORD id, char* buffer, DWORD size) {
    return Guarded<DWORD>(id, [&]() -> DWORD {
        if (!FormatFor(id)) return id;
        return static_cast<DWORD>(
            CopyText(DriverString(strings::kFormatLongNames + id), buffer, size));
    });
}

DWORD ExpGetDataFormatIdFromString(const char* text) {
    return Guarded<DWORD>(0, [&]() -> DWORD {
        if (!text) return 0;
        for (unsigned id = 1; id <= kFormatCount; ++id)
            if (EqualIgnoringCase(text, DriverString(strings::kFormatLongNames + id, 16)))
                return id;
        return 0;
    });
}

DWORD ExpGetPreferredDataFormat(const uPLCSETUP* setup, const uPLCADR*) {
    const ModelRow* row = RowOf(setup);
    return row ? row->preferredFormat : unsigned{kWord};
}

BOOL ExpIsASCIIDataFormat(const uPLCADR* ref) {
    return ref && ref->dataFormat == kAscii;
}

DWORD ExpResetDataFormat(std::uintptr_t, uPLCADR* ref, const uPLCSETUP* setup,
                         const sDISPFORMAT* display, DWORD fieldClass) {
    const ModelRow* row = RowOf(setup);
    if (!ref || !display || !row) return 0;
    return ResetDataFormat(*row, *ref, display->fieldType, fieldClass);
}

BOOL ExpIsValidAddressAndDataFormat(const _tagDEFIELD* context, const uPLCADR* ref, DWORD format) {
    if (!context || !context->field || !ref) return FALSE;
    const ModelRow* row = RowOf(context->setup);
    if (!row) return FALSE;
    const FieldRecord& field = *context->field;
    return FormatPasses(*row, field.display.fieldType, field.fieldClass, ref->dataType, format,
                        ContextFilterFlags(*context, true));
}

BOOL ExpIsFormatSupported(const uPLCSETUP* setup, DWORD fieldType, const uPLCADR* ref,
                          DWORD fieldClass, DWORD filter) {
    const ModelRow* row = RowOf(setup);
    if (!row || !ref) return FALSE;
    return DataTypePasses(*row, fieldType, fieldClass, ref->dataType, filter) ||
           DataTypePasses(*row, fieldType, fieldClass, kDataBlock, filter);
}

BOOL ExpIsReadWriteSupported(const uPLCSETUP* setup, DWORD fieldType, const uPLCADR* ref,
                             DWORD fieldClass) {
    const ModelRow* row = RowOf(setup);
    if (!row || !ref || fieldClass != kClassPlcData) return FALSE;
    return ReadWriteCapable(fieldType) && ElementRangeFor(*row, ref->dataFormat, kWritingNeeded, 0)
                                              .holds(ref->byteOffset / kElementSize);
}

BOOL ExpIsNumericBaseSupported(const uPLCSETUP* setup, DWORD fieldType, DWORD base,
                               const uPLCADR* ref, DWORD fieldClass) {
    return RowOf(setup) && ref && fieldClass == kClassPlcData &&
           BaseCapable(fieldType, ref->dataFormat, base);
}

BOOL ExpIsFixedPointSupported(const uPLCSETUP* setup, DWORD fieldType, const uPLCADR* ref,
                              DWORD base, DWORD fieldClass) {
    return RowOf(setup) && ref && fieldClass == kClassPlcData &&
           FixedPointCapable(fieldType, ref->dataFormat, base);
}

BOOL ExpIsScalingSupported(const uPLCSETUP* setup, DWORD fieldType, const uPLCADR* ref,
                           DWORD fieldClass) {
    return RowOf(setup) && ref && fieldClass == kClassPlcData &&
           ScalingCapable(fieldType, ref->dataFormat);
}

BOOL ExpIsSignedUnsignedSupported(std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t,
                                  std::uintptr_t) {
    return FALSE;
}

void ExpConvertDataFormProject2PLC(const uPLCADR* ref, BOOL signedFlag, DWORD bit, DWORD textLength,
                                   BYTE* runtime) {
    if (!ref || !runtime) return;
    const RuntimeFormat out = DataFormToRuntime(ref->dataFormat, signedFlag != 0, bit, textLength);
    runtime[0] = out[0];
    runtime[1] = out[1];
}

void ExpConvertDataFormPLC2Project(uPLCADR* ref, sDISPFORMAT* display, const BYTE* runtime,
                                   DWORD displayCode) {
    if (ref && display && runtime)
        DataFormFromRuntime(*ref, *display, RuntimeOf(runtime),
                            static_cast<std::uint8_t>(displayCode));
}

void ExpConvertAttributeDataFormPLC2Project(uPLCADR* ref, sDISPFORMAT* display,
                                            const BYTE* runtime) {
    if (ref && display && runtime)
        DataFormFromRuntime(*ref, *display, RuntimeOf(runtime), std::nullopt);
}

void ExpConvertDisplayFormProject2PLC(const uPLCADR* ref, const sDISPFORMAT* display, DWORD width,
                                      DWORD height, BYTE* code, BYTE* size1, BYTE* size2) {
    if (!display) return;
    const DisplayForm form = DisplayFormToRuntime(FormatOf(ref), *display, width, height);
    if (code) *code = form.code;
    if (size1) *size1 = form.size1;
    if (size2) *size2 = form.size2;
}

void ExpConvertDisplayFormPLC2Project(const uPLCADR* ref, sDISPFORMAT* display, BYTE* width,
                                      BYTE* height, DWORD code, DWORD size1, DWORD size2) {
    if (!display) return;
    std::uint8_t w = width ? *width : 0, h = height ? *height : 0;
    DisplayFormFromRuntime(FormatOf(ref), *display, w, h,
                           {static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(size1),
                            static_cast<std::uint8_t>(size2)});
    if (width) *width = w;
    if (height) *height = h;
}

DWORD ExpConvertMaxMinProject2PLC(BYTE* limits, const sDISPFORMAT* display, DWORD typeCode,
                                  DWORD displayCode, BOOL scaling, const BYTE*) {
    if (!limits || !display) return 0;
    return static_cast<DWORD>(
        LimitsToRuntime(limits, *display, typeCode, displayCode, scaling != 0));
}

DWORD ExpConvertMaxMinPLC2Project(const BYTE* limits, sDISPFORMAT* display, DWORD typeCode,
                                  DWORD displayCode, BOOL scaling, const BYTE*) {
    if (!limits || !display) return 0;
    return static_cast<DWORD>(
        LimitsFromRuntime(limits, *display, typeCode, displayCode, scaling != 0));
}

LONG ExpConvertString2MaxMin(const sDISPFORMAT* display, LONG* value, const char* text,
                             const uPLCADR* ref, DWORD mode) {
    return Guarded<LONG>(0, [&]() -> LONG {
        if (!display) return 0;
        const unsigned m = LOWORD(mode) <= 2 ? LOWORD(mode) : 0;
        const LONG v =
            LimitFromText(*display, FormatOf(ref), text ? text : "", static_cast<LimitMode>(m));
        if (value) *value = v;
        return v;
    });
}

char* ExpConvertMaxMin2String(const sDISPFORMAT* display, LONG value, char* text, const uPLCADR*) {
    Guarded([&] {
        if (display) CopyText(LimitToText(*display, value), text, kLimitTextLength + 1);
    });
    return text;
}

BOOL ExpValidateMaxMin(const sDISPFORMAT* display, LONG* minimum, LONG* maximum, const uPLCADR* ref,
                       BOOL reset, BOOL keepMaximum) {
    return Guarded<BOOL>(FALSE, [&] {
        if (!display || !minimum || !maximum) return FALSE;
        ValidateLimits(*display, FormatOf(ref), *minimum, *maximum, reset != 0, keepMaximum != 0);
        return TRUE;
    });
}

LONG* ExpConvertString2ScaleFac(DWORD which, sDISPFORMAT* display, LONG* value, const char* text,
                                const uPLCADR* ref) {
    Guarded([&] {
        if (!display || LOWORD(which) > 3) return;
        const auto factor = static_cast<ScaleFactor>(LOWORD(which));
        const LONG v = ScaleFactorFromText(factor, *display, FormatOf(ref), text ? text : "");
        if (factor != ScaleFactor::Reset && value) *value = v;
    });
    return value;
}

char* ExpConvertScaleFac2String(DWORD, const sDISPFORMAT*, LONG value, char* text, const uPLCADR*) {
    Guarded([&] { CopyText(std::to_string(value), text, kLimitTextLength + 1); });
    return text;
}

LONG* ExpValidateScaleFac(DWORD which, sDISPFORMAT* display, LONG* value, const uPLCADR* ref) {
    if (!value) return value;
    const std::string text = Guarded<std::string>({}, [&] { return std::to_string(*value); });
    return ExpConvertString2ScaleFac(which, display, value, text.c_str(), ref);
}

DWORD ExpConvertRecDefProject2PLC(BYTE* out, std::uintptr_t value, const sDISPFORMAT* display,
                                  const BYTE* runtime, DWORD displayCode) {
    if (!out || !display || !runtime) return 0;
    const bool text = (runtime[0] & kRuntimeTypeMask) == kTypeText;
    return static_cast<DWORD>(
        StoreRuntimeValue(out, static_cast<std::int32_t>(value),
                          text ? reinterpret_cast<const char*>(value) : nullptr, *display,
                          RuntimeOf(runtime), displayCode));
}

LONG ExpConvertRecDefPLC2Project(const BYTE* in, void* value, const sDISPFORMAT* display,
                                 const BYTE* runtime, DWORD displayCode) {
    if (!in || !value || !display || !runtime) return 0;
    const bool text = (runtime[0] & kRuntimeTypeMask) == kTypeText;
    const LONG v = LoadRuntimeValue(in, text ? static_cast<char*>(value) : nullptr, *display,
                                    RuntimeOf(runtime), displayCode);
    if (!text) *static_cast<LONG*>(value) = v;
    return v;
}

DWORD ExpConvertPLCStringProject2PLC(char* text, const sTARGSETUP* project) {
    if (!text) return 0;
    const unsigned model = project ? project->record.nodeA.model.get() : 1;
    std::string line = std::string(kPlcStringPrefix) + "-";
    if (model < 3) line += kModelShortNames[model];
    std::memcpy(text, line.c_str(), line.size() + 1);
    return 0;
}

void ExpConvertPLCStringPLC2Project(const char* text, sTARGSETUP* project) {
    if (!project) return;
    project->record.nodeA.model = 1;
    const std::string_view line = text ? text : "";
    for (unsigned model = 1; model <= 2; ++model)
        if (line.find(kModelShortNames[model]) != std::string_view::npos) {
            project->record.nodeA.model = static_cast<std::uint16_t>(model);
            return;
        }
}

}  // extern "C"
