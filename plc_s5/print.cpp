// PlcPrint: the PLC lines of a project print. Headings and the PLC header are drawn on the
// editor's device context, line by line; the field line and its column texts are returned
// for the editor to place.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "plc_s5/export_guard.h"
#include "plc_s5/k32plc1.h"
#include "plc_s5/strings.h"
#include "plc_s5/tables.h"
#include "plc_s5/type1_image.h"
#include "windows/canvas.h"

using namespace kestra;
using namespace kestra::s5;

namespace {

constexpr int kHeadingRuleLength = 124;
constexpr std::size_t kScaleTextRoom = 50;
constexpr std::uint8_t kReadWrite = 0x01;

// Copies a text cut to `room` bytes with its zero.
void CopyText(const std::string& text, char* buffer, std::size_t room) {
    if (!buffer || room == 0) return;
    const std::size_t n = std::min(text.size(), room - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
}

// A string resource that holds a printf format, filled.
template <typename... Args>
std::string Formatted(std::uint32_t id, Args... args) {
    const std::string format = DriverString(id);
    char line[kPrintLineRoom];
    const int n = std::snprintf(line, sizeof line, format.c_str(), args...);
    return n < 0 ? std::string() : std::string(line);
}

// Draws one line at the counter's row and counts it; the result of the drawing call.
BOOL DrawLine(const PLCPRINTREQUEST& request, const std::string& text) {
    const LONG y = *request.lineCounter * *request.lineHeight;
    const BOOL drawn =
        TextOut(request.dc, 0, static_cast<int>(y), text.c_str(), static_cast<int>(text.size()));
    ++*request.lineCounter;
    return drawn;
}

// Whether the editor's line callback asks to stop.
bool StopAfterLine(const PLCPRINTREQUEST& request) {
    return request.lineCallback &&
           request.lineCallback(request.lineCounter, request.dc, request.lineCounter) != 0;
}

bool CanDraw(const PLCPRINTREQUEST& request) {
    return request.lineCounter && request.lineHeight;
}

DWORD PrintHeadings(const PLCPRINTREQUEST& request) {
    if (!CanDraw(request)) return 0;
    const std::string lines[] = {DriverString(strings::kPrintHeading1),
                                 DriverString(strings::kPrintHeading2),
                                 std::string(kHeadingRuleLength, '-')};
    BOOL last = FALSE;
    for (const std::string& line : lines) {
        last = DrawLine(request, line);
        if (StopAfterLine(request)) break;
    }
    return static_cast<DWORD>(last);
}

// The model text of the header: string 300 + model for the models the driver knows.
std::string ModelText(unsigned model) {
    return ModelRowFor(model) && model != 0 ? DriverString(strings::kModelNames + model)
                                            : DriverString(strings::kPrintError);
}

DWORD PrintPlcHeader(const PLCPRINTREQUEST& request) {
    if (!CanDraw(request) || !request.project) return 0;
    const uPLCSETUP& setup = request.project->record.nodeA;
    DrawLine(request, Formatted(strings::kPrintSlaveAddress, int{setup.slaveAddress}));
    const BOOL last =
        DrawLine(request, Formatted(strings::kPrintModel, ModelText(setup.model).c_str()));
    ++*request.lineCounter;
    return static_cast<DWORD>(last);
}

struct FormatTexts {
    std::string formatName, minimum, maximum;
};

FormatTexts FieldFormatTexts(const FieldRecord& field) {
    FormatTexts texts;
    const unsigned format = field.plc.dataFormat;
    texts.formatName = FormatFor(format) ? DriverString(strings::kFormatShortNames + format)
                                         : DriverString(strings::kPrintError);
    char text[kLimitTextRoom] = "";
    ExpConvertMaxMin2String(&field.display, field.display.minimum, text, &field.plc);
    texts.minimum = text;
    ExpConvertMaxMin2String(&field.display, field.display.maximum, text, &field.plc);
    texts.maximum = text;
    return texts;
}

DWORD PrintFormatTexts(const PLCPRINTREQUEST& request) {
    if (!request.field) return 0;
    const FormatTexts texts = FieldFormatTexts(*request.field);
    CopyText(texts.formatName, request.formatName, kFormatNameRoom);
    CopyText(texts.minimum, request.minimumText, kLimitTextRoom);
    CopyText(texts.maximum, request.maximumText, kLimitTextRoom);
    return 1;
}

const uPLCSETUP* SetupOf(const PLCPRINTREQUEST& request) {
    if (request.size >= kPrintRequestWithSetup && request.setup) return request.setup;
    return request.project ? &request.project->record.nodeA : nullptr;
}

std::uint32_t FieldNumberOf(const PLCPRINTREQUEST& request) {
    if (request.size >= kPrintRequestWithFieldNumber && request.fieldNumber)
        return *request.fieldNumber;
    return 0;
}

// The scaling texts A, B and C, in three work buffers that live for one field line.
struct ScaleTexts {
    std::unique_ptr<char[]> text[3];
    bool made() const { return text[0] && text[1] && text[2]; }
};

ScaleTexts MakeScaleTexts(const FieldRecord& field) {
    ScaleTexts texts;
    for (auto& t : texts.text) t.reset(new (std::nothrow) char[kScaleTextRoom]());
    if (!texts.made()) return texts;
    const sDISPFORMAT& d = field.display;
    const LONG values[3] = {d.scaleA, d.scaleB, d.scaleC};
    for (DWORD which = 0; which < 3; ++which)
        ExpConvertScaleFac2String(which, &d, values[which], texts.text[which].get(), &field.plc);
    return texts;
}

DWORD PrintFieldLine(const PLCPRINTREQUEST& request) {
    if (!request.field || !request.line) return 0;
    const FieldRecord& field = *request.field;
    const uPLCSETUP* setup = SetupOf(request);
    const ScaleTexts scale = MakeScaleTexts(field);
    if (!scale.made()) return 0;

    char address[101] = "";
    uPLCADR ref = field.plc;
    if (!ExpWriteLogicalAddressString(address, request.project, setup, &ref, 0, FALSE, 0))
        CopyText(DriverString(strings::kPrintError), address, sizeof address);
    const FormatTexts texts = FieldFormatTexts(field);
    const bool numeric = field.display.fieldType == kNumeric;
    const std::string access = DriverString(
        (field.display.access & kReadWrite) ? strings::kPrintReadWrite : strings::kPrintReadOnly);
    const std::string line = Formatted(
        strings::kPrintFieldLine, static_cast<int>(FieldNumberOf(request) + 1), FieldRow(field) + 1,
        FieldColumn(field) + 1, request.typeText ? request.typeText : "",
        int{field.plc.networkNode}, setup ? int{setup->slaveAddress} : 0, address,
        texts.formatName.c_str(), access.c_str(), texts.minimum.c_str(), texts.maximum.c_str(),
        numeric ? int{field.display.decimals} : 0, int{field.width},
        request.attributeText ? request.attributeText : "", scale.text[0].get(),
        scale.text[1].get(), scale.text[2].get());
    CopyText(line, request.line, kPrintLineRoom);
    return static_cast<DWORD>(std::min(line.size(), kPrintLineRoom - 1));
}

DWORD PrintModelName(const PLCPRINTREQUEST& request) {
    if (request.size < kPrintRequestWithSetup || !request.setup || !request.line) return 0;
    CopyText(DriverString(strings::kModelNames + request.setup->model), request.line,
             kModelNameRoom);
    return 1;
}

}  // namespace

extern "C" {

DWORD PlcPrint(PLCPRINTREQUEST* request) {
    return Guarded<DWORD>(0, [&]() -> DWORD {
        if (!request || request->size < kPrintRequestBase) return 0;
        switch (request->type) {
            case kPrintHeadings:
                return PrintHeadings(*request);
            case kPrintPlcHeader:
                return PrintPlcHeader(*request);
            case kPrintFormatTexts:
                return PrintFormatTexts(*request);
            case kPrintFieldLine:
                return PrintFieldLine(*request);
            case kPrintModelName:
                return PrintModelName(*request);
            default:
                return 0;
        }
    });
}

}  // extern "C"
