#include "plc_s5/plc_list_print.h"

#include <algorithm>
#include <string>

#include "platform/memory.h"
#include "string_table/string_table.h"
#include "windows/canvas.h"

namespace kestra::s5 {

namespace {

// One print run. The driver's line callback carries no context of the editor's, so the run
// that is going on is reached through `current`.
class PrintRun {
  public:
    PrintRun(const PlcPrintCall& print, ProjectBlock& project, platform::PrintSurface& surface)
        : print_(print),
          project_(project),
          surface_(surface),
          dc_(platform::CreatePrintDC(surface)),
          height_(surface.lineHeight()) {
        current = this;
    }
    ~PrintRun() {
        DeleteDC(dc_);
        current = nullptr;
    }
    PrintRun(const PrintRun&) = delete;
    PrintRun& operator=(const PrintRun&) = delete;

    std::uint32_t run() {
        PLCPRINTREQUEST request = baseRequest();
        request.type = kPrintHeadings;
        print_(request);
        request.type = kPrintPlcHeader;
        print_(request);
        const std::size_t pages = project_.record.pageCount;
        const auto* records = reinterpret_cast<const PageRecord*>(
            mem::At(project_.record.pages, 0, pages * sizeof(PageRecord)));
        std::uint32_t number = 0;
        for (std::size_t p = 0; records && p < pages; ++p) {
            place("Page " + std::to_string(p + 1) + ": " + pageName(records[p]));
            const std::size_t count = records[p].fieldCount;
            const auto* fields = reinterpret_cast<const FieldRecord*>(
                mem::At(records[p].fields, 0, count * sizeof(FieldRecord)));
            for (std::size_t i = 0; fields && i < count; ++i, ++number)
                printField(fields[i], number);
            place("");
        }
        return number;
    }

  private:
    static BOOL PageBreak(LONG* counter, HDC, LONG*) {
        if (*counter >= current->surface_.linesPerPage()) {
            current->surface_.newPage();
            *counter = 0;
        }
        return FALSE;
    }

    PLCPRINTREQUEST baseRequest() {
        PLCPRINTREQUEST request{};
        request.size = kPrintRequestWithFieldNumber;
        request.project = &project_;
        request.dc = dc_;
        request.lineCallback = PageBreak;
        request.lineCounter = &counter_;
        request.lineHeight = &height_;
        request.line = line_;
        request.setup = &project_.record.nodeA;
        return request;
    }

    std::string pageName(const PageRecord& page) {
        char name[kPrintLineRoom] = "";
        StrTabGetText(page.nameId(), &project_, name, sizeof name, 0);
        return name;
    }

    void printField(const FieldRecord& field, std::uint32_t& number) {
        const std::string attributes = FieldAttributeText(field);
        PLCPRINTREQUEST request = baseRequest();
        request.type = kPrintFieldLine;
        request.field = &field;
        request.fieldNumber = &number;
        request.typeText = kFieldTypeTexts[std::min<unsigned>(field.display.fieldType, 6)];
        request.attributeText = attributes.c_str();
        line_[0] = '\0';
        if (print_(request)) place(line_);
    }

    void place(const std::string& text) {
        TextOut(dc_, 0, counter_ * height_, text.c_str(), static_cast<int>(text.size()));
        ++counter_;
        PageBreak(&counter_, dc_, &counter_);
    }

    static inline PrintRun* current = nullptr;
    const PlcPrintCall& print_;
    ProjectBlock& project_;
    platform::PrintSurface& surface_;
    HDC dc_;
    LONG counter_ = 0;
    LONG height_ = 0;
    char line_[kPrintLineRoom] = "";
};

}  // namespace

std::string FieldAttributeText(const FieldRecord& field) {
    const std::uint8_t attributes = reinterpret_cast<const std::uint8_t*>(&field)[62];
    std::string text;
    if (attributes & 0x01) text += "BLINK";
    if (attributes & 0x02) text += text.empty() ? "HIGH" : "+HIGH";
    if (attributes & 0x04) text += text.empty() ? "REV" : "+REV";
    return text.empty() ? "-" : text;
}

std::uint32_t PrintPlcList(const PlcPrintCall& print, ProjectBlock& project,
                           platform::PrintSurface& surface) {
    PrintRun run(print, project, surface);
    return run.run();
}

}  // namespace kestra::s5
